// sessiondeck: the command-line host of the SessionDeck library over a configuration folder or the
// registry store.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>

#include "platform/version_record.h"
#include "tools/cli/check_command.h"
#include "tools/cli/cli_common.h"
#include "tools/cli/connect_command.h"
#include "tools/cli/data_commands.h"
#include "tools/cli/firewall_commands.h"
#include "tools/cli/global_commands.h"
#include "tools/cli/protocol_loading.h"
#include "tools/cli/secret_commands.h"
#include "tools/cli/session_commands.h"
#include "tools/cli/store_commands.h"
#include "tools/cli/url_commands.h"
#include "tools/cli/where_command.h"

using namespace sessiondeck;

SESSIONDECK_VERSION_RECORD(6, 0, 0, 0);

int main(int argc, char** argv) {
    // Run by ssh as its SSH_ASKPASS program for `connect`: answer the prompt and nothing else.
    if (const std::optional<int> status = cli::RunAskpassIfAsked(argc, argv)) return *status;
    cli::GlobalOptions options;
    CLI::App app(
        "sessiondeck: inspect and change SessionDeck configuration stores and sessions.\n"
        "Exit status: 0 success; 1 not found (no such session, folder, key, value, firewall, "
        "file type or protocol; for check, findings remain); 2 usage error; 3 refused (a name "
        "in use or not allowed, a read-only store, an entry of the other kind, a text the "
        "stored form cannot carry, or a write or read the store failed: nothing was changed "
        "that the message does not name).\n"
        "Give passwords with --password-stdin (set, new, firewall set, secret encode), never "
        "as arguments: other users can read a process's arguments.",
        "sessiondeck");
    app.fallthrough();
    app.require_subcommand(1);
    app.add_option("--config", options.configFolder,
                   "Configuration folder (default: $SESSIONDECK_CONFIG, else "
                   "$XDG_CONFIG_HOME/sessiondeck/Config)");
    app.add_option("--registry", options.registry,
                   "Work on the registry store at this key instead of a folder: ROOT\\PATH, e.g. "
                   "HKEY_CURRENT_USER\\Software\\Norvik (roots HKEY_CURRENT_USER or HKCU, "
                   "HKEY_LOCAL_MACHINE or HKLM; hives in $SESSIONDECK_REGISTRY_DIR, else "
                   "$XDG_CONFIG_HOME/sessiondeck/registry)");
    app.add_flag("--read-only", options.readOnly,
                 "Open the store read-only: nothing is ever written, and commands that would "
                 "change it exit 3");
    cli::AddStoreCommands(app, options);
    cli::AddSecretCommands(app, options);
    cli::AddFirewallCommands(app, options);
    cli::AddGlobalCommands(app, options);
    cli::AddWhereCommand(app, options);
    cli::AddCheckCommand(app, options);
    cli::AddFileTypeCommands(app, options);
    cli::AddTimeZoneCommands(app);
    cli::AddProtocolsCommand(app, options);
    cli::AddSessionCommands(app, options);
    cli::AddUrlCommands(app, options);
    cli::AddConnectCommand(app, options);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return cli::kOk;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return cli::kOk;
    } catch (const CLI::ParseError& e) {
        std::cerr << "sessiondeck: " << e.what() << " (see --help)\n";
        return cli::kUsage;
    } catch (const cli::Failure& e) {
        std::cerr << "sessiondeck: " << e.what() << '\n';
        return e.code();
    } catch (const std::exception& e) {
        std::cerr << "sessiondeck: " << e.what() << '\n';
        return cli::kRefused;
    }
    return cli::kOk;
}
