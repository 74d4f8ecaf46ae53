// `sessiondeck where`: prints the store the other commands would work on and the rule that chose
// it, without opening or changing anything.
#include "tools/cli/where_command.h"

#include <iostream>

using namespace sessiondeck;

namespace cli {

void AddWhereCommand(CLI::App& app, GlobalOptions& options) {
    CLI::App* where = app.add_subcommand(
        "where",
        "Print the configuration folder the host settles on (first line) and the rule that chose "
        "it (\"chosen by: RULE\"). Rules, in order: --config, SESSIONDECK_CONFIG, remembered for "
        "this application in the registry store, remembered for all applications, \"Config\" "
        "beside the executable when it holds global.ini, default. A folder that was migrated "
        "elsewhere is followed (\"redirected from: FOLDER\"); one in an older format that was "
        "never "
        "migrated is flagged (\"needs migration: ...\").");
    where->callback([&options] {
        if (!options.registry.empty()) {
            if (!options.configFolder.empty()) {
                throw Failure(kUsage,
                              "--config and --registry name two different stores: give one");
            }
            std::cout << DescribeStore(options) << "\nchosen by: --registry\n";
            return;
        }
        const ConfigFolderChoice choice = ResolveConfigFolder(options);
        std::cout << choice.folder << "\nchosen by: " << choice.rule << '\n';
        if (!choice.redirectedFrom.empty()) {
            std::cout << "redirected from: " << choice.redirectedFrom << '\n';
        }
        if (choice.needsMigration) {
            std::cout << "needs migration: its \"Global\" key has no current format identifier\n";
        }
    });
}

}  // namespace cli
