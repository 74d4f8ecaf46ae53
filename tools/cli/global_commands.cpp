// The `global` commands of the sessiondeck host.
#include "tools/cli/global_commands.h"

#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>

#include "app/global_config.h"

using namespace sessiondeck;

namespace cli {
namespace {

const char* const kTerminalAppName = "Vetralon";

struct GlobalArgs {
    bool json = false;
    bool terminal = false;
    std::string name;
    std::string value;
};

// The shared record, built from the store as the library's hosts get it.
GlobalConfig& SharedConfig(GlobalOptions& options, bool terminal) {
    if (terminal) options.appName = kTerminalAppName;
    PrepareHost(options);
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    return *config;
}

std::optional<GlobalOptionText> FindText(const GlobalConfig& config, std::u16string_view name) {
    for (auto& option : config.DescribeOptions()) {
        if (option.name == name) return option;
    }
    return std::nullopt;
}

void RunShow(GlobalOptions& options, const GlobalArgs& args) {
    const GlobalConfig& config = SharedConfig(options, args.terminal);
    const auto described = config.DescribeOptions();
    if (args.json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const auto& option : described) {
            all.push_back({{"name", ToUtf8(option.name)},
                           {"value", ToUtf8(option.value)},
                           {"default", option.isDefault}});
        }
        std::cout << all.dump(2) << '\n';
        return;
    }
    for (const auto& option : described) {
        std::cout << ToUtf8(option.name) << '\t' << ToUtf8(option.value) << '\t'
                  << (option.isDefault ? "default" : "custom") << '\n';
    }
}

void RunSet(GlobalOptions& options, const GlobalArgs& args) {
    GlobalConfig& config = SharedConfig(options, args.terminal);
    const VUnicodeString name = FromUtf8(args.name);
    const auto before = FindText(config, name);
    switch (config.SetOptionText(name, FromUtf8(args.value))) {
        case GlobalOptionSetResult::kSet:
            break;
        case GlobalOptionSetResult::kUnknownName:
            throw Failure(kUsage, "no global option '" + args.name +
                                      "' (see 'sessiondeck global show' for the names)");
        case GlobalOptionSetResult::kBadValue:
            throw Failure(kUsage, "'" + args.value + "' is not a value of '" + args.name +
                                      "'; its current value, in the same form, is '" +
                                      (before ? ToUtf8(before->value) : std::string()) + "'");
        case GlobalOptionSetResult::kNotSettable:
            throw Failure(kRefused, "'" + args.name +
                                        "' cannot be set from the command line: it is reset "
                                        "whenever the options load, or has no text form");
    }
    if (options.readOnly) {
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
    }
    {
        VProfileStore store(false);
        VProfileKey key(store.GetRootKey(), kGlobalKeyName);
        if (!key.IsWritable())
            throw Failure(kRefused, "'Global' is not writable; nothing was changed");
    }
    if (!config.Save())
        throw Failure(kRefused, "the change to '" + args.name + "' could not be written to " +
                                    DescribeStore(options) + ": " +
                                    ReportText(config.GetSaveReport(), "the store refused it"));

    // The store drops what it cannot write when it closes; read the options
    // back so that a lost change is reported rather than passed over.
    VProfileStore check(true);
    VProfileKey key(check.GetRootKey(), kGlobalKeyName);
    VUnknownPointer<GlobalConfig> stored =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(&key));
    const auto wanted = FindText(config, name);
    const auto found = wanted ? FindText(*stored, wanted->name) : std::nullopt;
    if (!wanted || !found || found->value != wanted->value) {
        throw Failure(kRefused, "the change to '" + args.name + "' could not be written to " +
                                    DescribeStore(options));
    }
}

}  // namespace

void AddGlobalCommands(CLI::App& app, GlobalOptions& options) {
    CLI::App* global = app.add_subcommand(
        "global", "Show and change the application-wide options (the key 'Global')");
    global->require_subcommand(1);
    auto args = std::make_shared<GlobalArgs>();
    const char* terminalHelp =
        "Use the terminal application's names for the options the two applications keep apart "
        "('Show Toolbar' rather than 'Show Toolbar FRV')";

    CLI::App* show = global->add_subcommand(
        "show",
        "List every option in table order as NAME<TAB>VALUE<TAB>default|custom; options the "
        "store lacks show their defaults. Nothing is written.");
    show->add_flag("--json", args->json,
                   "Print a JSON array of {name, value, default} objects instead");
    show->add_flag("--terminal", args->terminal, terminalHelp);
    show->callback([&options, args] { RunShow(options, *args); });

    CLI::App* set = global->add_subcommand(
        "set",
        "Set one option and save: only what changed is written (the first save into a store "
        "also fills in the defaults it lacks). VALUE takes the form 'show' prints: numbers in "
        "decimal or 0x hex, true/false, lists joined with ';', records as comma-separated "
        "numbers. Values out of range are corrected as a load would. Exit status 2 for an "
        "unknown NAME or a VALUE not in the option's form, 1 when the change cannot be made.");
    set->add_option("NAME", args->name, "Option name as 'global show' lists it")->required();
    set->add_option("VALUE", args->value, "The new value ('' for empty)")->required();
    set->add_flag("--terminal", args->terminal, terminalHelp);
    set->callback([&options, args] { RunSet(options, *args); });
}

}  // namespace cli
