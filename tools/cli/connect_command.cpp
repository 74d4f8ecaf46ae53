// `sessiondeck connect` and the askpass mode.
//
// How it works: the session is loaded read-only; the side asked for (terminal, or transfer with
// --transfer) gives the protocol, whose client template comes from the store's "Connect Clients"
// key or else the built-in table (client_table.h). The session's values and its firewall become
// the template's placeholders, and the resulting argument vector replaces this process (execv),
// so the client owns the terminal. No shell is involved, and no secret is put in the argument
// vector or the environment: for ssh and sftp, SSH_ASKPASS names this very executable, and only
// the session's path travels in the environment; ssh runs it with the prompt as its argument,
// and it decodes the stored password from the store and writes it to ssh's pipe.
#include "tools/cli/connect_command.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "session/connect_config.h"
#include "session/firewall_store.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "tools/cli/client_table.h"
#include "tools/cli/protocol_loading.h"

using namespace sessiondeck;

namespace cli {
namespace {

using SessionPointer = VUnknownPointer<ISessionConfig>;
using FirewallPointer = VUnknownPointer<FirewallConfig>;

struct SessionSide {
    SessionPointer session;
    ConnectConfig* config = nullptr;
    std::string protocol;
};

// The session at `pathText` and its terminal or transfer connection, read without writing
// anything to the store.
SessionSide LoadSide(GlobalOptions& options, const std::string& pathText, bool transfer) {
    options.readOnly = true;
    EnsureProtocolsLoaded(options);
    std::string trimmed = pathText;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    const VUnicodeString path = FromUtf8(trimmed);
    const SessionDatabase db(kSessionDatabaseReadOnly);
    if (path.IsEmpty() || !SessionDatabase::Exists(path))
        throw Failure(kNotFound, "no session '" + pathText + "'");
    if (db.IsFolder(path)) throw Failure(kRefused, "'" + pathText + "' is a folder, not a session");
    SessionSide side;
    side.session = SessionPointer::Adopt(db.Lookup(path));
    if (!side.session) throw Failure(kNotFound, "no session '" + pathText + "'");
    side.protocol = ToUtf8(transfer ? side.session->GetTransferProtocol()
                                    : side.session->GetTerminalProtocol());
    side.config =
        transfer ? side.session->GetTransferConnectConfig() : side.session->GetTermConnectConfig();
    const std::string kind = transfer ? "file-transfer" : "terminal";
    if (side.protocol.empty() || side.protocol == "None")
        throw Failure(kNotFound, "session '" + pathText + "' has no " + kind +
                                     " connection (its protocol is None)" +
                                     (transfer ? "" : "; try --transfer"));
    if (side.config == nullptr)
        throw Failure(kNotFound, "the module of protocol '" + side.protocol +
                                     "' is not loaded (see 'sessiondeck protocols')");
    return side;
}

// A protocol-specific value of the connection by its value name, as text; empty when the
// protocol has no such value.
std::string OptionText(ConnectConfig& config, std::u16string_view name) {
    for (int i = 0;; ++i) {
        VProfileData* setting = config.Lookup(i);
        if (setting == nullptr) return {};
        if (setting->GetName().str() != name) continue;
        const auto text = setting->Text();
        return text ? ToUtf8(VUnicodeString(*text)) : std::string();
    }
}

std::string MemberText(FirewallConfig& firewall, FirewallConfig::Member member) {
    const VProfileData* setting = firewall.Lookup(member);
    const auto text = setting ? setting->Text() : std::nullopt;
    return text ? ToUtf8(VUnicodeString(*text)) : std::string();
}

// A string value of the "Connect Clients" key; nothing when it is not stored.
std::optional<std::string> StoredClientValue(const std::string& name) {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), kConnectClientsKey);
    VUnicodeString value;
    if (!key.QueryString(FromUtf8(name).c_str(), value)) return std::nullopt;
    return ToUtf8(value);
}

// The serial device of a port name as the session stores it: a path as it is, "COM1" as the
// first serial line (/dev/ttyS0), any other name below /dev.
std::string SerialDevice(const std::string& port) {
    if (port.empty() || port.front() == '/') return port;
    if (port.size() > 3 && (port.compare(0, 3, "COM") == 0 || port.compare(0, 3, "com") == 0) &&
        std::all_of(port.begin() + 3, port.end(), [](char c) { return std::isdigit(c); })) {
        const int number = std::atoi(port.c_str() + 3);
        if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
    }
    return "/dev/" + port;
}

// How the session reaches its firewall: the placeholder that carries it, or why no client of
// this table can go through it.
struct FirewallRoute {
    std::string name;         // empty: no firewall
    std::string placeholder;  // "proxycommand" or "jump"
    std::string value;
    std::string refusal;
    std::string jumpHost;  // the gateway, for telling its password prompt from the session's
};

// ssh expands %h, %p and %% in a ProxyCommand, and hands it to a shell: the proxy's address is
// quoted for the shell and its '%' doubled, so a stored address can only ever be an address.
std::string ProxyAddress(const std::string& address, unsigned port) {
    std::string escaped;
    for (char c : address + ":" + std::to_string(port)) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return ShellQuote(escaped);
}

FirewallRoute RouteThroughFirewall(ConnectConfig& config) {
    FirewallRoute route;
    const std::string name = ToUtf8(config.GetFirewallName());
    if (name.empty() || name == "None") return route;
    route.name = name;
    const FirewallPointer firewall = FirewallPointer::Adopt(LoadFirewall(FromUtf8(name), true));
    if (!firewall) {
        route.refusal = "the session names firewall '" + name + "', which does not exist";
        return route;
    }
    const std::string type = ToUtf8(firewall->GetFirewallType());
    const std::string address = MemberText(*firewall, FirewallConfig::kMemberAddress);
    const std::string user = ToUtf8(firewall->GetStoredUsername());
    const unsigned port = firewall->GetFirewallPort();
    const std::string display = ToUtf8(firewall->GetFirewallTypeDisplayName());
    auto netcat = [&](const std::string& protocolOption) {
        if (address.empty() || port == 0) {
            route.refusal = "firewall '" + name + "' has no address or port";
            return;
        }
        route.placeholder = "proxycommand";
        route.value = "nc -X " + protocolOption + " -x " + ProxyAddress(address, port) + " %h %p";
    };
    if (type == "SOCKSv4") {
        netcat("4");
    } else if (type == "SOCKSv5") {
        netcat("5");
    } else if (type == "HTTP") {
        netcat("connect");
    } else if (type == "HTTP_BASICAUTH") {
        if (user.empty()) {
            route.refusal = "firewall '" + name + "' (" + display + ") stores no user name";
            return route;
        }
        // nc asks for the proxy's password on the terminal itself.
        netcat("connect -P " + ShellQuote(user));
    } else if (type == "Generic Proxy") {
        const std::string command = MemberText(*firewall, FirewallConfig::kMemberCommand);
        if (!command.empty()) {
            // The user's own command, run by ssh as it runs any ProxyCommand.
            route.placeholder = "proxycommand";
            route.value = command;
        } else if (!address.empty()) {
            // A generic proxy that names only an address is taken for an SSH gateway. Its port is
            // given unless it is the store's default (1080, never an SSH port) or 22.
            route.placeholder = "jump";
            route.jumpHost = address;
            route.value = (user.empty() ? "" : user + "@") +
                          (address.find(':') != std::string::npos ? "[" + address + "]" : address);
            if (port != 0 && port != 22 && port != FirewallConfig::kDefaultPort)
                route.value += ":" + std::to_string(port);
        } else {
            route.refusal = "firewall '" + name + "' (" + display +
                            ") names neither a proxy command nor a gateway address";
        }
    } else if (type == "SOCKSv5_USERPASS") {
        route.refusal = "firewall '" + name + "' (" + display +
                        "): nc cannot log in to a SOCKS 5 proxy with a user name and password";
    } else if (firewall->GetIntFirewallType() != 0) {
        route.refusal = "firewall '" + name + "' (" + display +
                        ") is an FTP proxy login, which none of the system's clients speaks";
    } else {
        route.refusal = "firewall '" + name + "' has type '" + type +
                        "', which is not one of "
                        "the firewall types";
    }
    return route;
}

std::string Basename(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SpeaksAskpass(const std::string& program) {
    const std::string name = Basename(program);
    return name == "ssh" || name == "sftp";
}

std::string SelfExecutable() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    return std::string(buffer, static_cast<size_t>(length));
}

struct ConnectPlan {
    std::vector<std::string> argv;
    std::optional<std::string> programPath;  // nothing: not installed
    std::string missing;                     // what to install, when not installed
    bool askpass = false;
};

ConnectPlan PlanConnection(GlobalOptions& options, const std::string& pathText, bool transfer) {
    SessionSide side = LoadSide(options, pathText, transfer);
    ConnectConfig& config = *side.config;

    // The template: the store's, else the built-in ones, the first installed of them winning.
    const ClientRow* row = FindDefaultClientRow(side.protocol);
    std::vector<ClientTemplate> templates;
    if (const auto stored = StoredClientValue(side.protocol); stored && !stored->empty()) {
        templates.push_back({*stored, ""});
    } else if (row != nullptr && !row->templates.empty()) {
        templates = row->templates;
    } else {
        throw Failure(kNotFound,
                      "protocol '" + side.protocol + "' has no client: " +
                          (row ? row->noClientReason : "the client table has no row for it") +
                          " (a template can be stored under the key \"Connect "
                          "Clients\", value \"" +
                          side.protocol + "\")");
    }
    const ClientTemplate* chosen = &templates.front();
    for (const ClientTemplate& candidate : templates) {
        if (FindProgram(TemplateProgram(candidate.text))) {
            chosen = &candidate;
            break;
        }
    }

    ClientValues values;
    const std::string host = ToUtf8(config.GetHostname());
    values["host"] = host;
    values["urlhost"] = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    const std::string directory = ToUtf8(config.GetInitialDirectory());
    values["dir"] = directory;
    values["hostpath"] = directory.empty() ? host : values["urlhost"] + ":" + directory;
    const int port = config.GetPort();
    const int usualPort = row ? row->usualPort : 0;
    if (port > 0 && port != usualPort) values["port"] = std::to_string(port);
    values["user"] = ToUtf8(config.GetUsername());
    values["identity"] = OptionText(config, u"Identity Filename");
    if (side.protocol == "Serial") {
        values["device"] = SerialDevice(host);
        values["speed"] = OptionText(config, u"Baud Rate");
        values["databits"] = OptionText(config, u"Data Bits");
        const std::string parity = OptionText(config, u"Parity");
        // Stored as the serial API numbers them: 0 none, 1 odd, 2 even, 3 mark, 4 space.
        if (parity == "0") values["parity"] = "n";
        if (parity == "1") values["parity"] = "o";
        if (parity == "2") values["parity"] = "e";
        if (parity == "3" || parity == "4")
            throw Failure(kNotFound, "session '" + pathText +
                                         "' uses mark or space parity, which picocom cannot set");
        // 0 one stop bit, 1 one and a half, 2 two.
        const std::string stopBits = OptionText(config, u"Stop Bits");
        if (stopBits == "0") values["stopbits"] = "1";
        if (stopBits == "2") values["stopbits"] = "2";
        if (stopBits == "1")
            throw Failure(kNotFound,
                          "session '" + pathText +
                              "' uses one and a half stop bits, which picocom cannot set");
    }
    if (host.empty())
        throw Failure(kRefused, "session '" + pathText + "' names no host to connect to");

    const FirewallRoute route = RouteThroughFirewall(config);
    if (!route.refusal.empty()) throw Failure(kNotFound, route.refusal);
    // A template at fault is named as such before anything is said of its placeholders.
    ClientValues every;
    for (const std::string& name : ClientPlaceholderNames()) every[name] = "x";
    const Expansion trial = ExpandClientTemplate(chosen->text, every);
    if (!trial.error.empty()) throw Failure(kRefused, trial.error);
    const std::vector<std::string>& used = trial.used;
    if (!route.name.empty()) {
        if (std::find(used.begin(), used.end(), route.placeholder) == used.end())
            throw Failure(kNotFound, TemplateProgram(chosen->text) +
                                         " cannot go through firewall '" + route.name +
                                         "': its template has no {" + route.placeholder + "}");
        values[route.placeholder] = route.value;
    }

    Expansion expansion = ExpandClientTemplate(chosen->text, values);
    if (!expansion.error.empty()) throw Failure(kRefused, expansion.error);
    ConnectPlan plan;
    plan.argv = std::move(expansion.argv);
    // Words of the user's own for this client, right after the program.
    if (const auto extra = StoredClientValue(side.protocol + " Options");
        extra && !extra->empty()) {
        Expansion words = ExpandClientTemplate("x " + *extra, values);
        if (!words.error.empty())
            throw Failure(kRefused, "\"" + side.protocol + " Options\": " + words.error);
        plan.argv.insert(plan.argv.begin() + 1, words.argv.begin() + 1, words.argv.end());
    }
    plan.programPath = FindProgram(plan.argv.front());
    if (!plan.programPath) {
        plan.missing =
            "'" + plan.argv.front() + "' is not installed" +
            (chosen->package.empty() ? std::string() : " (Debian package " + chosen->package + ")");
    }
    const bool hasPassword = !config.GetPassword().IsEmpty();
    plan.askpass = SpeaksAskpass(plan.argv.front()) && (hasPassword || !route.jumpHost.empty());
    return plan;
}

void RunConnect(GlobalOptions& options, const std::string& path, bool transfer, bool dryRun) {
    const ConnectPlan plan = PlanConnection(options, path, transfer);
    if (dryRun) {
        for (const std::string& word : plan.argv) std::cout << word << '\n';
        if (!plan.missing.empty()) std::cerr << "sessiondeck: note: " << plan.missing << '\n';
        if (plan.askpass)
            std::cerr << "sessiondeck: note: the stored password would reach "
                      << Basename(plan.argv.front()) << " through SSH_ASKPASS\n";
        return;
    }
    if (!plan.programPath) throw Failure(kNotFound, "cannot connect: " + plan.missing);

    // Whatever askpass request this process inherited is not the client's.
    unsetenv(kAskpassSessionVariable);
    unsetenv(kAskpassSideVariable);
    unsetenv(kAskpassRegistryVariable);
    if (plan.askpass) {
        const std::string self = SelfExecutable();
        if (self.empty()) throw Failure(kRefused, "cannot find this program for SSH_ASKPASS");
        setenv("SSH_ASKPASS", self.c_str(), 1);
        setenv("SSH_ASKPASS_REQUIRE", "force", 1);
        setenv(kAskpassSessionVariable, path.c_str(), 1);
        setenv(kAskpassSideVariable, transfer ? "transfer" : "terminal", 1);
        if (!options.registry.empty()) {
            setenv(kAskpassRegistryVariable, options.registry.c_str(), 1);
        } else {
            setenv("SESSIONDECK_CONFIG", options.configFolder.c_str(), 1);
        }
    }
    std::vector<char*> argv;
    for (const std::string& word : plan.argv) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::cout.flush();
    std::fflush(nullptr);
    execv(plan.programPath->c_str(), argv.data());
    throw Failure(kRefused, "cannot run " + *plan.programPath + ": " + std::strerror(errno));
}

// ---- askpass ----------------------------------------------------------------

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A prompt this mode has no stored answer for goes to the terminal, as ssh would have asked
// there itself; without echo when it asks for a secret. Exit status 1 when there is none.
int AskTerminal(const std::string& prompt, bool secret) {
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) return 1;
    termios saved{};
    const bool restore = secret && tcgetattr(tty, &saved) == 0;
    if (restore) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    ssize_t ignored = write(tty, prompt.data(), prompt.size());
    std::string answer;
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n') answer += c;
    if (restore) {
        tcsetattr(tty, TCSAFLUSH, &saved);
        ignored = write(tty, "\n", 1);
    }
    (void)ignored;
    close(tty);
    std::cout << answer << '\n';
    return 0;
}

int Askpass(const std::string& prompt) {
    GlobalOptions options;
    if (const char* registry = std::getenv(kAskpassRegistryVariable); registry && *registry)
        options.registry = registry;
    const char* sideName = std::getenv(kAskpassSideVariable);
    const bool transfer = sideName && std::string(sideName) == "transfer";
    const std::string lower = Lower(prompt);
    const bool secret = lower.find("password") != std::string::npos ||
                        lower.find("passphrase") != std::string::npos;
    if (!secret) return AskTerminal(prompt, false);
    SessionSide side = LoadSide(options, std::getenv(kAskpassSessionVariable), transfer);
    VUnicodeString answer;
    const FirewallRoute route = RouteThroughFirewall(*side.config);
    if (!route.jumpHost.empty() && lower.find(Lower(route.jumpHost)) != std::string::npos) {
        // The gateway asks for its own password: the firewall's.
        const FirewallPointer firewall =
            FirewallPointer::Adopt(LoadFirewall(FromUtf8(route.name), true));
        if (firewall) answer = firewall->GetStoredPassword();
    } else {
        answer = side.config->GetPassword();
    }
    if (answer.IsEmpty()) return AskTerminal(prompt, true);
    std::cout << ToUtf8(answer) << '\n';
    std::cout.flush();
    return std::cout ? 0 : 1;
}

}  // namespace

std::optional<int> RunAskpassIfAsked(int argc, char** argv) {
    const char* session = std::getenv(kAskpassSessionVariable);
    if (session == nullptr || *session == '\0') return std::nullopt;
    // ssh runs its askpass program with the prompt as the only argument; a prompt always holds
    // a blank, a colon or a question mark, which no command of this host does.
    if (argc != 2 || argv[1][0] == '-' || std::strpbrk(argv[1], " :?") == nullptr)
        return std::nullopt;
    try {
        return Askpass(argv[1]);
    } catch (const std::exception& e) {
        std::cerr << "sessiondeck askpass: " << e.what() << '\n';
        return 1;
    }
}

void AddConnectCommand(CLI::App& app, GlobalOptions& options) {
    struct Args {
        std::string path;
        bool transfer = false;
        bool dryRun = false;
    };
    auto args = std::make_shared<Args>();
    CLI::App* command = app.add_subcommand(
        "connect",
        "Open a saved session in the system's own client (ssh, sftp, telnet, picocom, lftp ...), "
        "which takes this process's place and owns the terminal. The client and its arguments "
        "come from the client table (see docs/connect.md; override per protocol under the store "
        "key \"Connect Clients\"). A stored password reaches ssh and sftp through SSH_ASKPASS, "
        "never through arguments or the environment. Exits 1 when the protocol has no client "
        "or it is not installed, or the session's firewall cannot be used");
    command->add_option("PATH", args->path, "Session path")->required();
    command->add_flag("--transfer", args->transfer,
                      "Use the session's file-transfer protocol instead of its terminal protocol");
    command->add_flag("--dry-run", args->dryRun,
                      "Print the command, one argument per line, and run nothing");
    command->callback(
        [&options, args] { RunConnect(options, args->path, args->transfer, args->dryRun); });
}

}  // namespace cli
