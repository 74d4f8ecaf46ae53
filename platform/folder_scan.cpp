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
// opened without following a link; missing levels are made (0700) when
// `create`. -1 with errno set on failure.
int OpenFolderBelow(int root, const std::vector<std::string>& parts, size_t count, bool create) {
    Fd current(::dup(root));
    if (current.get() < 0) return -1;
    for (size_t i = 0; i < count; ++i) {
        if (!IsSafeComponent(parts[i])) {
            errno = EINVAL;
            return -1;
        }
        int next = ::openat(current.get(), parts[i].c_str(), kFolderFlags);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(current.get(), parts[i].c_str(), 0700) != 0 && errno != EEXIST) return -1;
            next = ::openat(current.get(), parts[i].c_str(), kFolderFlags);
        }
        if (next < 0) return -1;
        current = Fd(next);
    }
    return current.release();
}

// The parent folder of `relativePath` below `folder`, and the last component.
int OpenParentBelow(const std::string& folder, const std::string& relativePath, std::string& leaf,
                    bool create) {
    const std::vector<std::string> parts = SplitPath(relativePath);
    if (parts.empty() || !IsSafeComponent(parts.back())) {
        errno = EINVAL;
        return -1;
    }
    Fd root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (root.get() < 0) return -1;
    leaf = parts.back();
    return OpenFolderBelow(root.get(), parts, parts.size() - 1, create);
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
        Fd at(OpenFolderBelow(root.get(), parts, parts.size(), false));
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

ReadResult ReadFileBelow(const std::string& folder, const std::string& relativePath,
                         std::string& bytes, uint64_t limit) {
    bytes.clear();
    std::string leaf;
    Fd parent(OpenParentBelow(folder, relativePath, leaf, false));
    if (parent.get() < 0) return ReadResult::kUnreadable;
    Fd file(::openat(parent.get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return ReadResult::kUnreadable;
    struct stat st;
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kUnreadable;
    if (static_cast<uint64_t>(st.st_size) > limit) return ReadResult::kTooLarge;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            bytes.clear();
            return ReadResult::kUnreadable;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
        if (bytes.size() > limit) {
            bytes.clear();
            return ReadResult::kTooLarge;
        }
    }
    return ReadResult::kRead;
}

int RemoveRegularFileBelow(const std::string& folder, const std::string& relativePath) {
    std::string leaf;
    Fd parent(OpenParentBelow(folder, relativePath, leaf, false));
    if (parent.get() < 0) return errno;
    struct stat st;
    if (::fstatat(parent.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EPERM;
    return ::unlinkat(parent.get(), leaf.c_str(), 0) == 0 ? 0 : errno;
}

int MoveBelow(const std::string& folder, const std::string& from, const std::string& to) {
    std::string fromLeaf;
    std::string toLeaf;
    Fd fromParent(OpenParentBelow(folder, from, fromLeaf, false));
    if (fromParent.get() < 0) return errno;
    Fd toParent(OpenParentBelow(folder, to, toLeaf, true));
    if (toParent.get() < 0) return errno;
    if (::renameat2(fromParent.get(), fromLeaf.c_str(), toParent.get(), toLeaf.c_str(),
                    RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace flag: look first, then rename.
    struct stat st;
    if (::fstatat(toParent.get(), toLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromParent.get(), fromLeaf.c_str(), toParent.get(), toLeaf.c_str()) == 0
               ? 0
               : errno;
}

}  // namespace platform
