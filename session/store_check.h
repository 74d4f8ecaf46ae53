// Checking a configuration store the way fsck checks a file system: what is wrong, what a repair
// may fix without losing anything, and what it must leave to a person.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

enum class VRegistryRoot;

// What a finding is about. Each kind is either repaired by a repair run or
// always left for a person; the comment says which.
enum class StoreFindingKind {
    kOrderRecord,        // a folder's order record disagrees with its children: repaired
    kValueFileDamaged,   // a value file does not parse to its end: left
    kValueFileTooLarge,  // a value file larger than the store reads: left
    kCaseTwin,           // two entries of one folder differ only in case: left
    kSymbolicLink,       // a link inside the configuration folder: left
    kSpecialFile,        // a FIFO, device or socket inside it: left
    kUnusableName,       // a name the store cannot list or use as a session or folder: left
    kTemporaryFile,      // a leftover of an atomic write: removed when its writer is gone
    kHalfBuiltCopy,  // a temporary key of an interrupted copy: moved aside when its writer is gone
    kValueType,      // "Is Session" stored with another kind than DWORD: left
    kUnreadable,     // a folder, file or hive that could not be examined: left
    kHiveIntegrity,  // SQLite's integrity check of a registry hive failed: left
};

enum class StoreFindingOutcome {
    kRepairable,     // a repair run would fix it (only in a run without repair)
    kRepaired,       // fixed by this run
    kLeftForPerson,  // never repaired automatically, or the repair failed
};

struct StoreFinding {
    StoreFindingKind kind;
    // The key as the store names it ("Sessions\Servers\web", "\"-separated
    // below the configuration folder or registry key), or, for what is found
    // on disk, the file's path.
    std::string path;
    std::string what;
    StoreFindingOutcome outcome = StoreFindingOutcome::kLeftForPerson;
    // Repaired: what was done. Left for a person: why it was left.
    std::string action;
};

struct SESSIONDECK_API StoreCheckResult {
    std::vector<StoreFinding> findings;
    size_t Count(StoreFindingOutcome outcome) const;
    // Nothing found, or (after a repair) everything found was repaired.
    bool IsClean() const;
};

struct StoreCheckOptions {
    bool repair = false;
    // Where moved-aside half-built copies go, below the store's root.
    std::u16string recoveredKey = u"Recovered";
    // Seconds since the epoch, for the age of leftovers and the names of
    // recovered copies; 0: the current time.
    int64_t now = 0;
};

// A temporary file or key whose writer cannot be told (an older name form)
// counts as abandoned once it is this old.
inline constexpr int64_t kAbandonedAfterSeconds = 10 * 60;

// Checks the configuration folder `folder`: the files on disk (links, special
// files, value files, case twins, names, leftovers of interrupted writes and
// copies) and, through the store, the tree under "Sessions". A folder that
// cannot be opened gives one kUnreadable finding.
SESSIONDECK_API StoreCheckResult CheckConfigurationFolder(const std::string& folder,
                                                          const StoreCheckOptions& options);

// Checks the registry store at `root`\`basePath` in the hives of
// `registryFolder` (empty: the default folder): SQLite's integrity check of
// the hive, then the tree under "Sessions" through the store.
SESSIONDECK_API StoreCheckResult CheckRegistryStore(VRegistryRoot root,
                                                    const VUnicodeString& basePath,
                                                    const std::filesystem::path& registryFolder,
                                                    const StoreCheckOptions& options);

}  // namespace sessiondeck
