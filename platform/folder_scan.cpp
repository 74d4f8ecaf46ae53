// The configuration folder's physical walk: lstat-style examination, openat from the folder's own
// descriptor, O_NOFOLLOW on every component.
#include "platform/folder_scan.h"

#include "platform/posix_fd.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>

namespace sessiondeck {

namespace platform {
namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::vector<std::string> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsSafeComponent(const std::string& part) {
    return !part.empty() && part != "." && part != "..";
}

// The folder at `parts[0 .. count)` below the open folder `root`, each level
// opened without following a link. -1 with errno set on failure.
int OpenFolderBelow(int root, const std::vector<std::string>& parts, size_t count) {
    Fd current(::dup(root));
    if (current.get() < 0) return -1;
    for (size_t i = 0; i < count; ++i) {
        if (!IsSafeComponent(parts[i])) {
            errno = EINVAL;
            return -1;
        }
        const int next = ::openat(current.get(), parts[i].c_str(), kFolderFlags);
        if (next < 0) return -1;
        current = Fd(next);
    }
    return current.release();
}

ScannedType TypeOf(mode_t mode) {
    if (S_ISREG(mode)) return ScannedType::kRegular;
    if (S_ISDIR(mode)) return ScannedType::kFolder;
    if (S_ISLNK(mode)) return ScannedType::kSymbolicLink;
    if (S_ISFIFO(mode)) return ScannedType::kFifo;
    if (S_ISCHR(mode)) return ScannedType::kCharacterDevice;
    if (S_ISBLK(mode)) return ScannedType::kBlockDevice;
    if (S_ISSOCK(mode)) return ScannedType::kSocket;
    return ScannedType::kOther;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

}  // namespace

int ScanFolderTree(const std::string& folder, FolderScan& scan) {
    scan = {};
    Fd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) return errno;
    std::deque<std::string> pending{std::string()};
    while (!pending.empty()) {
        const std::string relative = std::move(pending.front());
        pending.pop_front();
        const std::vector<std::string> parts = SplitPath(relative);
        Fd at(OpenFolderBelow(root.get(), parts, parts.size()));
        DIR* listing = at.get() >= 0 ? ::fdopendir(::dup(at.get())) : nullptr;
        if (!listing) {
            scan.unreadable.emplace_back(relative, errno);
            continue;
        }
        std::vector<std::string> subFolders;
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            struct stat st;
            if (::fstatat(at.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            ScannedEntry scanned;
            scanned.relativePath = Join(relative, name);
            scanned.name = name;
            scanned.type = TypeOf(st.st_mode);
            scanned.size = static_cast<uint64_t>(st.st_size);
            scanned.modifiedNs =
                static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
            if (scanned.type == ScannedType::kSymbolicLink) {
                char target[4096];
                const ssize_t length = ::readlinkat(at.get(), name.c_str(), target, sizeof target);
                if (length > 0) scanned.linkTarget.assign(target, static_cast<size_t>(length));
            }
            if (scanned.type == ScannedType::kFolder) subFolders.push_back(scanned.relativePath);
            scan.entries.push_back(std::move(scanned));
        }
        ::closedir(listing);
        // Depth first, so that a folder's children follow it closely.
        pending.insert(pending.begin(), subFolders.begin(), subFolders.end());
    }
    return 0;
}

}  // namespace platform

}  // namespace sessiondeck
