// `sessiondeck check [--repair]`: prints one line per finding, what a repair did or left, and a
// summary; the checking itself is the library's (session/store_check.h).
#include "tools/cli/check_command.h"

#include <iostream>
#include <memory>

#include "profile/registry_store.h"
#include "session/store_check.h"

using namespace sessiondeck;

namespace cli {
namespace {

constexpr const char* kDescription =
    "Verify the configuration folder (or, with --registry, the registry key) as fsck verifies a "
    "file system, and print one line per finding, \"PATH: what\". PATH is the key as the store "
    "names it (\"Sessions\\Servers\") or, for what is found on disk, the file's path.\n"
    "Findings:\n"
    "  order record: a folder's \"Session List\" or \"Folder List\" names a child that is not "
    "there, names one twice, names a session as a folder or the reverse, or misses a child "
    "(repaired: the record is rewritten, keeping the stored order of what exists);\n"
    "  temporary file of an interrupted save (repaired: removed when its writer has ended, or, "
    "when the writer cannot be told, after ten minutes);\n"
    "  half-built copy, a key named \"_@@TMP@@_...\" (repaired: moved aside, never deleted, to "
    "the key \"Recovered\" beside \"Sessions\", named with the date and its temporary name);\n"
    "  value file that does not parse to its end (the line where reading stops) or that is larger "
    "than 16 MiB; case twins (two entries of one folder whose names differ only in case); "
    "symbolic links, FIFOs, devices and sockets; names that are not UTF-8, hold '\\' or ':', are "
    "the store's own or a reserved device name; \"Is Session\" stored as another kind than a "
    "DWORD; folders or files that cannot be read; and, for the registry, SQLite's integrity check "
    "of the hive. These are left for a person, and so is a leftover whose writer still runs.\n"
    "With --repair each finding is followed by \"repaired: PATH: what was done\" or \"left for a "
    "person: PATH: why\"; without it, only what is left for a person gets that line and nothing "
    "is changed. The last line is the summary.\n"
    "Exit status: 0 when nothing was found, or when --repair left nothing for a person; 1 when "
    "something was found and is still there; 2 for a usage error; 3 when --repair is refused "
    "on a read-only store.";

std::string Summary(const StoreCheckResult& result, bool repair) {
    const size_t total = result.findings.size();
    const size_t left = result.Count(StoreFindingOutcome::kLeftForPerson);
    std::string text = std::to_string(total) + (total == 1 ? " finding, " : " findings, ");
    if (repair) {
        text += std::to_string(result.Count(StoreFindingOutcome::kRepaired)) + " repaired, ";
    } else {
        text += std::to_string(result.Count(StoreFindingOutcome::kRepairable)) +
                " repairable with --repair, ";
    }
    return text + std::to_string(left) + " left for a person";
}

int RunCheck(GlobalOptions& options, bool repair) {
    if (repair && options.readOnly)
        throw Failure(kRefused,
                      "the store is open read-only (--read-only); --repair changed nothing");
    PrepareHost(options);
    StoreCheckOptions checkOptions;
    checkOptions.repair = repair;
    StoreCheckResult result;
    if (!options.registry.empty()) {
        const RegistryLocation location = ParseRegistryOption(options.registry);
        result = CheckRegistryStore(location.root, location.path, {}, checkOptions);
    } else {
        result = CheckConfigurationFolder(options.configFolder, checkOptions);
    }
    for (const StoreFinding& finding : result.findings) {
        std::cout << finding.path << ": " << finding.what << '\n';
        switch (finding.outcome) {
            case StoreFindingOutcome::kRepairable:
                break;
            case StoreFindingOutcome::kRepaired:
                std::cout << "repaired: " << finding.path << ": " << finding.action << '\n';
                break;
            case StoreFindingOutcome::kLeftForPerson:
                std::cout << "left for a person: " << finding.path << ": " << finding.action
                          << '\n';
                break;
        }
    }
    std::cout << Summary(result, repair) << '\n';
    return result.IsClean() ? kOk : kFindingsLeft;
}

}  // namespace

void AddCheckCommand(CLI::App& app, GlobalOptions& options) {
    CLI::App* check = app.add_subcommand("check", kDescription);
    auto repair = std::make_shared<bool>(false);
    check->add_flag("--repair", *repair,
                    "Fix what can be fixed without losing data; say what is left for a person");
    check->callback([&options, repair] {
        const int code = RunCheck(options, *repair);
        if (code != kOk) throw Failure(code, "the store has findings that are still there");
    });
}

}  // namespace cli
