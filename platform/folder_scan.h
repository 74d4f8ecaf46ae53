// A walk over everything on disk below a configuration folder that follows no link and opens no
// special file, and the few changes `check --repair` makes there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace sessiondeck {

// How it works: every path is resolved one component at a time from a
// descriptor of the scanned folder, each component opened with O_NOFOLLOW, so
// a symbolic link anywhere on the way is refused rather than followed, and a
// name that was replaced by a link after the walk saw it is refused too.
// Entries are examined with fstatat(AT_SYMLINK_NOFOLLOW) only; a regular file
// is opened (O_NONBLOCK, so even a FIFO that took its place cannot block) and
// checked again with fstat before it is read. Folders are visited from a work
// list, not by recursion, so a deep tree needs neither a deep stack nor one
// open descriptor per level.
namespace platform {

enum class ScannedType {
    kRegular,
    kFolder,
    kSymbolicLink,
    kFifo,
    kCharacterDevice,
    kBlockDevice,
    kSocket,
    kOther,
};

struct ScannedEntry {
    std::string relativePath;  // below the scanned folder, "/"-separated
    std::string name;          // the last component, as the file system has it
    ScannedType type = ScannedType::kOther;
    uint64_t size = 0;
    int64_t modifiedNs = 0;  // since the epoch
    std::string linkTarget;  // symbolic links: what the link names
};

struct FolderScan {
    // Every entry below the folder (not the folder itself), parents before
    // their children.
    std::vector<ScannedEntry> entries;
    // Folders that could not be listed: relative path and errno.
    std::vector<std::pair<std::string, int>> unreadable;
};

// Walks `folder` (the path given is resolved as it stands: a configuration
// folder reached through a link is still that folder). Returns 0, or the
// errno that kept the folder itself from being opened.
int ScanFolderTree(const std::string& folder, FolderScan& scan);

}  // namespace platform

}  // namespace sessiondeck
