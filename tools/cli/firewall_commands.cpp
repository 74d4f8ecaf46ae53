// The `firewall` commands of the sessiondeck host.
#include "tools/cli/firewall_commands.h"

#include <array>
#include <iostream>
#include <memory>
#include <string>

#include "profile/secret_forms.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "tools/cli/secret_input.h"

using namespace sessiondeck;

namespace cli {
namespace {

using FirewallPointer = VUnknownPointer<FirewallConfig>;

VUnicodeString ValueName(const FirewallConfig& firewall, int member) {
    return firewall.Lookup(member)->GetName();
}

// The name as the firewall dialogs take it (trimmed), refused when no
// firewall key could carry it.
VUnicodeString ParseFirewallName(const std::string& text) {
    const VUnicodeString name = TrimFirewallName(FromUtf8(text).str());
    if (auto refusal = CheckFirewallName(name.str())) throw Failure(kUsage, ToUtf8(*refusal));
    return name;
}

FirewallPointer LoadExisting(const VUnicodeString& name, bool readOnly) {
    auto firewall = FirewallPointer::Adopt(LoadFirewall(name, readOnly));
    if (!firewall) throw Failure(kNotFound, "no firewall '" + ToUtf8(name) + "'");
    return firewall;
}

// The member a value name stands for, found without regard to case so that
// the user need not type the record's spelling (the member is still saved
// under its own name: the INI store compares names exactly); a usage error
// listing the names otherwise.
int FindMember(const FirewallConfig& firewall, const std::string& text) {
    const VUnicodeString name = FromUtf8(text);
    std::string known;
    for (int member = 0; member < FirewallConfig::kMemberCount; ++member) {
        if (ValueName(firewall, member).EqualsNoCase(name.str())) return member;
        known += (member ? ", '" : "'") + ToUtf8(ValueName(firewall, member)) + "'";
    }
    throw Failure(kUsage, "unknown firewall value '" + text + "': use " + known);
}

int ParsePort(const std::string& text) {
    const bool digits = !text.empty() && text.size() <= 5 &&
                        text.find_first_not_of("0123456789") == std::string::npos;
    const int port = digits ? std::stoi(text) : 0;
    if (port < 1 || port > 65535)
        throw Failure(kUsage, "firewall port '" + text + "' is not a number from 1 to 65535");
    return port;
}

VUnicodeString ParseType(const std::string& text) {
    const VUnicodeString type = FromUtf8(text);
    if (FindFirewallType(type.str())) return type;
    std::string known;
    for (const auto& row : GetFirewallTypeTable())
        known += (row.number ? ", '" : "'") + ToUtf8(row.storedName) + "'";
    throw Failure(kUsage,
                  "unknown firewall type '" + text + "' (names are case-sensitive): use " + known);
}

std::string ShowValue(const FirewallConfig& firewall, int member) {
    switch (member) {
        case FirewallConfig::kMemberPort:
            return std::to_string(firewall.GetStoredPort());
        case FirewallConfig::kMemberPassword:
            if (firewall.GetPasswordReport().GetMessageId() != 0) return "(unreadable)";
            return firewall.GetStoredPassword().IsEmpty() ? "(empty)" : "(set)";
        default: {
            const auto* text =
                dynamic_cast<const VProfile2<VUnicodeString, VProfileSz>*>(firewall.Lookup(member));
            return text ? ToUtf8(text->Get()) : std::string();
        }
    }
}

// Sets one member from its text; the value is checked first.
void SetMember(FirewallConfig& firewall, int member, const std::string& text) {
    const VUnicodeString value = FromUtf8(text);
    switch (member) {
        case FirewallConfig::kMemberType:
            firewall.SetFirewallType(ParseType(text));
            break;
        case FirewallConfig::kMemberAddress:
            firewall.SetFirewallHostname(value);
            break;
        case FirewallConfig::kMemberPort:
            firewall.SetFirewallPort(ParsePort(text));
            break;
        case FirewallConfig::kMemberPrompt:
            firewall.SetFirewallPrompt(value);
            break;
        case FirewallConfig::kMemberCommand:
            firewall.SetFirewallCommand(value);
            break;
        case FirewallConfig::kMemberUser:
            firewall.SetFirewallUsername(value);
            break;
        case FirewallConfig::kMemberPassword: {
            // The stored form keeps Windows-1252 text only: refuse what would
            // read back as another password.
            const auto back = DecodeScrambledString(EncodeScrambledString(value.str()).str());
            if (!back || *back != value)
                throw Failure(
                    kRefused,
                    "the stored password form cannot carry this text; nothing was changed");
            firewall.SetFirewallPassword(value);
            break;
        }
    }
}

void RequireWritable(const GlobalOptions& options) {
    if (options.readOnly)
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
}

// ---- the commands ----------------------------------------------------------

void RunList(GlobalOptions& options) {
    PrepareHost(options);
    for (const auto& name : GetFirewallNames()) std::cout << ToUtf8(name) << '\n';
}

void RunShow(GlobalOptions& options, const std::string& nameText) {
    PrepareHost(options);
    const FirewallPointer firewall = LoadExisting(ParseFirewallName(nameText), options.readOnly);
    for (int member = 0; member < FirewallConfig::kMemberCount; ++member)
        std::cout << ToUtf8(ValueName(*firewall, member)) << '=' << ShowValue(*firewall, member)
                  << '\n';
}

void RunSet(GlobalOptions& options, const std::array<std::string, 3>& args) {
    PrepareHost(options);
    const VUnicodeString name = ParseFirewallName(args[0]);
    FirewallPointer firewall = FirewallPointer::Adopt(LoadFirewall(name, options.readOnly));
    if (!firewall) firewall = FirewallPointer::Adopt(new FirewallConfig(name, nullptr));
    const int member = FindMember(*firewall, args[1]);
    SetMember(*firewall, member, args[2]);
    RequireWritable(options);
    VReportMessageParams report;
    if (!SaveFirewall(firewall.Get(), false, nullptr, &report))
        throw Failure(kRefused, "firewall '" + ToUtf8(name) + "' could not be saved: " +
                                    ReportText(report, "it is not writable") +
                                    "; nothing was changed");

    // The store writes when its keys close and drops what it cannot write
    // (a text holding a line break, a read-only file): read the value back so
    // a dropped change is reported rather than passed over.
    const FirewallPointer check = FirewallPointer::Adopt(LoadFirewall(name, true));
    const bool same = check && (member == FirewallConfig::kMemberPassword
                                    ? check->GetStoredPassword() == firewall->GetStoredPassword()
                                    : ShowValue(*check, member) == ShowValue(*firewall, member));
    if (!same) {
        // The store refuses texts holding a line break; anything else that drops a change is
        // the store's own failure, and naming line breaks then would mislead.
        const bool lineBreak = args[2].find_first_of("\r\n") != std::string::npos;
        throw Failure(kRefused, "the change to '" + args[1] + "' of firewall '" + ToUtf8(name) +
                                    "' could not be written to " + DescribeStore(options) + " (" +
                                    (lineBreak ? std::string("texts must not hold line breaks")
                                               : ReportText(report,
                                                            "the store did not keep it; is the "
                                                            "folder writable?")) +
                                    ")");
    }
}

void RunRemove(GlobalOptions& options, const std::string& nameText) {
    PrepareHost(options);
    const VUnicodeString name = ParseFirewallName(nameText);
    if (!FirewallExists(name)) throw Failure(kNotFound, "no firewall '" + ToUtf8(name) + "'");
    RequireWritable(options);
    if (!RemoveFirewall(name))
        throw Failure(kRefused, "could not delete all of firewall '" + ToUtf8(name) + "'");
}

}  // namespace

void AddFirewallCommands(CLI::App& app, GlobalOptions& options) {
    CLI::App* firewall = app.add_subcommand(
        "firewall", "List, show, set and remove the named firewalls (key \"Firewalls\")");
    firewall->require_subcommand(1);

    CLI::App* lsCmd =
        firewall->add_subcommand("ls", "Print the firewall names, one per line, in stored order");
    lsCmd->callback([&options] { RunList(options); });

    auto show = std::make_shared<std::string>();
    CLI::App* showCmd = firewall->add_subcommand(
        "show",
        "Print the seven values of a firewall as Name=Value lines; the password only as (set), "
        "(empty) or (unreadable). A data-protected password is rewritten in the scrambled form "
        "unless --read-only is given");
    showCmd->add_option("NAME", *show, "Firewall name")->required();
    showCmd->callback([&options, show] { RunShow(options, *show); });

    auto set = std::make_shared<std::array<std::string, 3>>();
    CLI::App* setCmd = firewall->add_subcommand(
        "set",
        "Set one value of a firewall, creating the firewall with default values when missing. "
        "VALUE-NAME is one of \"Firewall Type\" (a type's stored name, case-sensitive), "
        "\"Firewall Address\", \"Firewall Port\" (1-65535), \"Proxy Prompt\", \"Proxy Command\", "
        "\"Firewall User\", \"Firewall Password\" (stored scrambled; give it with "
        "--password-stdin)");
    setCmd->add_option("NAME", (*set)[0], "Firewall name")->required();
    setCmd->add_option("VALUE-NAME", (*set)[1], "Value name")->required();
    auto* value = setCmd->add_option("VALUE", (*set)[2],
                                     "The new value (for the password, prefer --password-stdin)");
    const SecretArgument secret(setCmd, value, "VALUE");
    setCmd->callback([&options, set, secret] {
        secret.Take((*set)[2], "value of '" + (*set)[1] + "'");
        RunSet(options, *set);
    });

    auto rm = std::make_shared<std::string>();
    CLI::App* rmCmd = firewall->add_subcommand("rm", "Delete a firewall with all its values");
    rmCmd->add_option("NAME", *rm, "Firewall name")->required();
    rmCmd->callback([&options, rm] { RunRemove(options, *rm); });
}

}  // namespace cli
