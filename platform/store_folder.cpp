// POSIX implementation of the closed-world configuration folder: openat2, renameat2, flock.
#include "platform/store_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "platform/faults.h"
#include "platform/posix_fd.h"
#include "platform/process.h"
#include "platform/write_batch.h"

namespace sessiondeck {

namespace platform {

namespace {

constexpr int kNoFollow = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
// Long enough for any real name, short enough that ".NAME~PID~XXXXXX" stays
// within the usual 255-byte limit on one name.
constexpr size_t kTempStemLimit = 200;
// A temporary file of a writer that cannot be told (older versions) is taken
// for abandoned after this long: no write takes more than moments.
constexpr auto kUnknownWriterAge = std::chrono::minutes(10);

int SyncFd(int fd) {
    if (const int fault = CheckFault(FaultPoint::kSync)) return fault;
    return ::fsync(fd) == 0 ? 0 : errno;
}

int RenameNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (const int fault = CheckFault(FaultPoint::kRename)) return fault;
    if (::syscall(SYS_renameat2, fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace flag (some network mounts): look
    // first, then rename. The store renames under the folders' locks, so only
    // a program that does not take them could slip in between.
    struct stat st;
    if (::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return ::renameat(fromDir, from, toDir, to) == 0 ? 0 : errno;
}

int RenameOver(int dir, const char* from, const char* to) {
    if (const int fault = CheckFault(FaultPoint::kRename)) return fault;
    return ::renameat(dir, from, dir, to) == 0 ? 0 : errno;
}

// A fresh temporary name beside `leaf`, ".LEAF~PID~XXXXXX".
std::string TemporaryName(std::string_view leaf) {
    static thread_local std::mt19937_64 random(std::random_device{}() ^
                                               static_cast<uint64_t>(CurrentProcessId()));
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".";
    name.append(leaf.substr(0, std::min(leaf.size(), kTempStemLimit)));
    name += "~" + std::to_string(CurrentProcessId()) + "~";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

// Creates a temporary file beside `leaf` in `dir`, named for this process.
int CreateTemporary(int dir, std::string_view leaf, std::string& name, mode_t mode) {
    if (const int fault = CheckFault(FaultPoint::kCreate)) return -fault;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = TemporaryName(leaf);
        const int fd =
            ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -errno;
    }
    return -EEXIST;
}

// The folder `name` of `dir`, opened for listing without following a link;
// null with `error` set when it cannot be.
DIR* OpenListing(int dir, const char* name, int& error) {
    const int fd = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        error = errno;
        ::close(fd);
    }
    return listing;
}

// Removes the entry `name` of `dir` and, for a folder, all below it, never
// following a link.
int RemoveEntry(int dir, const char* name) {
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISDIR(st.st_mode)) {
        if (::unlinkat(dir, name, 0) == 0 || errno == ENOENT) return 0;
        return errno;
    }
    int error = 0;
    DIR* listing = OpenListing(dir, name, error);
    if (!listing) return error;
    int result = 0;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view n = entry->d_name;
        if (n != "." && n != "..") names.emplace_back(n);
    }
    for (const std::string& n : names) {
        if (const int error = RemoveEntry(::dirfd(listing), n.c_str())) result = error;
    }
    ::closedir(listing);
    if (result) return result;
    if (::unlinkat(dir, name, AT_REMOVEDIR) == 0 || errno == ENOENT) return 0;
    return errno;
}

int CopyFileAt(int fromDir, const char* from, int toDir, const char* to, const struct stat& st) {
    Fd in(::openat(fromDir, from, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (in.get() < 0) return errno;
    struct stat opened;
    if (::fstat(in.get(), &opened) != 0) return errno;
    if (!S_ISREG(opened.st_mode)) return EINVAL;
    if (const int fault = CheckFault(FaultPoint::kCreate)) return fault;
    Fd out(::openat(toDir, to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) return errno;
    std::string buffer(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) break;
        if (!WriteAll(out.get(), std::string_view(buffer.data(), static_cast<size_t>(n))))
            return errno;
    }
    if (::fchmod(out.get(), st.st_mode & 07777) != 0) return errno;
    return out.Close() ? 0 : errno;
}

// Copies the entry `from` of `fromDir` to the new entry `to` of `toDir`.
int CopyEntry(int fromDir, const char* from, int toDir, const char* to) {
    struct stat st;
    if (::fstatat(fromDir, from, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISLNK(st.st_mode)) return ELOOP;
    if (S_ISREG(st.st_mode)) return CopyFileAt(fromDir, from, toDir, to, st);
    if (!S_ISDIR(st.st_mode)) return EINVAL;
    if (const int fault = CheckFault(FaultPoint::kMakeFolder)) return fault;
    if (::mkdirat(toDir, to, 0700) != 0) return errno;
    Fd target(::openat(toDir, to, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (target.get() < 0) return errno;
    int error = 0;
    DIR* listing = OpenListing(fromDir, from, error);
    if (!listing) return error;
    int result = 0;
    errno = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view n = entry->d_name;
        if (n == "." || n == "..") continue;
        // Another writer's file on its way into place is no part of the copy.
        if (TemporaryFileOwner(n)) continue;
        result = CopyEntry(::dirfd(listing), entry->d_name, target.get(), entry->d_name);
        if (result) break;
        errno = 0;
    }
    if (!result && errno) result = errno;
    ::closedir(listing);
    if (!result && ::fchmod(target.get(), st.st_mode & 07777) != 0) result = errno;
    return result;
}

// ---- locks ----------------------------------------------------------------------

struct HeldLock {
    int fd = -1;
    int depth = 0;
    std::thread::id owner;
};

std::mutex g_lockMutex;
std::map<std::pair<uint64_t, uint64_t>, HeldLock> g_locks;
std::set<std::pair<uint64_t, uint64_t>> g_swept;

// Removes the temporary files in `dir` whose writer is gone.
void SweepAbandoned(int dir) {
    const int listingFd = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listingFd < 0) return;
    DIR* listing = ::fdopendir(listingFd);
    if (!listing) {
        ::close(listingFd);
        return;
    }
    std::vector<std::string> abandoned;
    const auto now = std::chrono::system_clock::now();
    while (const dirent* entry = ::readdir(listing)) {
        if (entry->d_name[0] != '.') continue;
        const std::optional<long> owner = TemporaryFileOwner(entry->d_name);
        if (!owner) continue;
        if (*owner != 0) {
            if (*owner != CurrentProcessId() && !IsProcessAlive(*owner))
                abandoned.emplace_back(entry->d_name);
            continue;
        }
        struct stat st;
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
            continue;
        const auto modified =
            std::chrono::system_clock::time_point(std::chrono::seconds(st.st_mtim.tv_sec));
        if (now - modified > kUnknownWriterAge) abandoned.emplace_back(entry->d_name);
    }
    ::closedir(listing);
    for (const std::string& name : abandoned) ::unlinkat(dir, name.c_str(), 0);
}

// ---- batches ----------------------------------------------------------------------

// Bounded, so that a walk over a hundred thousand sessions holds few files
// open and little in memory, and, where the file system cannot make unnamed
// files, so that a killed walk leaves few named temporary files behind. Each
// commit flushes the whole file system once, which on a busy machine is what
// a walk spends most of its time waiting for.
constexpr size_t kBatchLimit = 256;
constexpr size_t kNamedBatchLimit = 64;

}  // namespace

struct PendingStoreReplacement {
    std::shared_ptr<StoreFolder> store;
    std::string folder;  // relative
    // The new bytes: a file without a name (O_TMPFILE), so that nothing is
    // left behind when the process dies or the folder moves before the
    // commit; or, where the file system cannot make one, the name of a
    // temporary file in `folder`.
    SharedDescriptor unnamed;
    std::string temp;
    std::string leaf;  // name in `folder`
    StoreFolder::ReplaceOptions options;
};

namespace {

std::vector<PendingStoreReplacement>& ThreadPending() {
    thread_local std::vector<PendingStoreReplacement> pending;
    return pending;
}

}  // namespace

// ---- StoreFolder -------------------------------------------------------------------

SharedDescriptor ShareDescriptor(int fd) {
    return SharedDescriptor(new int(fd), [](const int* held) {
        ::close(*held);
        delete held;
    });
}

std::shared_ptr<StoreFolder> StoreFolder::Open(std::string root) {
    return std::shared_ptr<StoreFolder>(new StoreFolder(std::move(root)));
}

StoreFolder::StoreFolder(std::string root) : m_root(std::move(root)) {}

StoreFolder::~StoreFolder() {
    if (m_rootFd >= 0) ::close(m_rootFd);
}

int StoreFolder::RootDescriptor() {
    if (m_rootFd < 0) m_rootFd = ::open(m_root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_rootFd;
}

int StoreFolder::OpenBeneath(std::string_view path, int flags, unsigned mode) {
    const int root = RootDescriptor();
    if (root < 0) return -errno;
    const std::string relative = path.empty() ? std::string(".") : std::string(path);
    // Learnt once per process; threads may ask at the same time.
    static std::atomic<bool> noOpenat2{false};
    if (!noOpenat2.load(std::memory_order_relaxed)) {
        struct open_how how {};
        how.flags = static_cast<uint64_t>(flags | O_CLOEXEC | O_NOFOLLOW);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = kNoFollow;
        const long fd = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
        if (fd >= 0) return static_cast<int>(fd);
        if (errno != ENOSYS) return -errno;
        noOpenat2.store(true, std::memory_order_relaxed);
    }
    // Component by component, refusing links at every step.
    int dir = ::dup(root);
    if (dir < 0) return -errno;
    size_t start = 0;
    for (;;) {
        const size_t slash = relative.find('/', start);
        const std::string part = relative.substr(start, slash - start);
        const bool last = slash == std::string::npos;
        const int next = ::openat(
            dir, part.c_str(),
            last ? flags | O_NOFOLLOW | O_CLOEXEC : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC,
            mode);
        const int error = errno;
        ::close(dir);
        if (next < 0) return -(error == ENOTDIR && !last ? ELOOP : error);
        if (last) return next;
        dir = next;
        start = slash + 1;
    }
}

int StoreFolder::OpenParent(std::string_view path, std::string& leaf) {
    const size_t slash = path.rfind('/');
    leaf = std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
    return OpenBeneath(slash == std::string_view::npos ? std::string_view() : path.substr(0, slash),
                       O_RDONLY | O_DIRECTORY);
}

namespace {

// Non-blocking, so that a FIFO where a value file belongs cannot hang the
// reader; only a regular file is read.
constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;

}  // namespace

ReadResult StoreFolder::Read(std::string_view path, std::string& bytes, uint64_t limit,
                             std::optional<FileIdentity>* identity,
                             std::optional<FileStatus>* status) {
    return ReadOpened(Fd(OpenBeneath(path, kReadFlags)), LastName(path), bytes, limit, identity,
                      status);
}

ReadResult StoreFolder::ReadAt(int folder, const std::string& name, std::string& bytes,
                               uint64_t limit, std::optional<FileIdentity>* identity,
                               std::optional<FileStatus>* status) {
    return ReadOpened(Fd(::openat(folder, name.c_str(), kReadFlags | O_NOFOLLOW | O_CLOEXEC)), name,
                      bytes, limit, identity, status);
}

FileStatus StoreFolder::StatusAt(int folder, const std::string& name) {
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FileStatus();
    return StatusOf(st, name);
}

int StoreFolder::OpenFolder(std::string_view path) {
    return OpenBeneath(path, O_RDONLY | O_DIRECTORY);
}

FileStatus StoreFolder::Status(std::string_view path) {
    std::string leaf;
    Fd dir(OpenParent(path, leaf));
    if (dir.get() < 0) return FileStatus();
    struct stat st;
    if (::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FileStatus();
    return StatusOf(st, leaf);
}

std::optional<FileIdentity> StoreFolder::Identity(std::string_view path) {
    std::string leaf;
    Fd dir(OpenParent(path, leaf));
    if (dir.get() < 0) return std::nullopt;
    struct stat st;
    if (::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return IdentityOf(st);
}

int StoreFolder::List(std::string_view path, std::vector<StoreEntry>& entries) {
    entries.clear();
    const int fd = OpenBeneath(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return -fd;
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    int result = 0;
    try {
        errno = 0;
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            EntryKind kind = EntryKind::kOther;
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(::dirfd(listing), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                    type = S_ISDIR(st.st_mode)   ? DT_DIR
                           : S_ISREG(st.st_mode) ? DT_REG
                           : S_ISLNK(st.st_mode) ? DT_LNK
                                                 : DT_UNKNOWN;
            }
            if (type == DT_DIR) kind = EntryKind::kFolder;
            if (type == DT_REG) kind = EntryKind::kFile;
            if (type == DT_LNK) kind = EntryKind::kLink;
            entries.push_back(StoreEntry{std::string(name), kind});
            errno = 0;
        }
        if (errno) result = errno;
    } catch (const std::bad_alloc&) {
        result = ENOMEM;
    }
    ::closedir(listing);
    if (result) entries.clear();
    return result;
}

int StoreFolder::MakeFolders(std::string_view path) {
    if (RootDescriptor() < 0) {
        if (!CreateFolders(m_root)) return errno ? errno : EIO;
        if (RootDescriptor() < 0) return errno;
    }
    size_t end = 0;
    while (end < path.size()) {
        end = std::min(path.find('/', end + 1), path.size());
        const std::string_view prefix = path.substr(0, end);
        std::string leaf;
        Fd dir(OpenParent(prefix, leaf));
        if (dir.get() < 0) return -dir.get();
        struct stat st;
        if (::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISLNK(st.st_mode)) return ELOOP;
            if (!S_ISDIR(st.st_mode)) return ENOTDIR;
            continue;
        }
        if (const int fault = CheckFault(FaultPoint::kMakeFolder)) return fault;
        if (::mkdirat(dir.get(), leaf.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    return 0;
}

int StoreFolder::MakeFolder(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash != std::string_view::npos) {
        if (const int error = MakeFolders(path.substr(0, slash))) return error;
    } else if (const int error = MakeFolders({})) {
        return error;
    }
    std::string leaf;
    Fd dir(OpenParent(path, leaf));
    if (dir.get() < 0) return -dir.get();
    if (const int fault = CheckFault(FaultPoint::kMakeFolder)) return fault;
    return ::mkdirat(dir.get(), leaf.c_str(), 0700) == 0 ? 0 : errno;
}

int StoreFolder::RemoveTree(std::string_view path) {
    std::string leaf;
    Fd dir(OpenParent(path, leaf));
    if (dir.get() < 0) return dir.get() == -ENOENT ? 0 : -dir.get();
    if (const int fault = CheckFault(FaultPoint::kRemove)) return fault;
    return RemoveEntry(dir.get(), leaf.c_str());
}

// The folders holding `from` and `to`, opened, with the two last names.
struct StoreFolder::EntryPair {
    Fd fromDir;
    Fd toDir;
    std::string fromLeaf;
    std::string toLeaf;
};

int StoreFolder::OpenPair(std::string_view from, std::string_view to, EntryPair& pair) {
    pair.fromDir = Fd(OpenParent(from, pair.fromLeaf));
    if (pair.fromDir.get() < 0) return -pair.fromDir.get();
    pair.toDir = Fd(OpenParent(to, pair.toLeaf));
    if (pair.toDir.get() < 0) return -pair.toDir.get();
    return 0;
}

int StoreFolder::Rename(std::string_view from, std::string_view to) {
    EntryPair pair;
    if (const int error = OpenPair(from, to, pair)) return error;
    const int error = RenameNoReplace(pair.fromDir.get(), pair.fromLeaf.c_str(), pair.toDir.get(),
                                      pair.toLeaf.c_str());
    if (error) return error;
    ::fsync(pair.toDir.get());
    ::fsync(pair.fromDir.get());
    return 0;
}

int StoreFolder::Copy(std::string_view from, std::string_view to) {
    EntryPair pair;
    if (const int error = OpenPair(from, to, pair)) return error;
    const int error =
        CopyEntry(pair.fromDir.get(), pair.fromLeaf.c_str(), pair.toDir.get(), pair.toLeaf.c_str());
    if (error && error != EEXIST) RemoveEntry(pair.toDir.get(), pair.toLeaf.c_str());
    return error;
}

int StoreFolder::Sync() {
    const int root = RootDescriptor();
    if (root < 0) return errno;
    if (const int fault = CheckFault(FaultPoint::kSync)) return fault;
    return ::syncfs(root) == 0 ? 0 : errno;
}

int StoreFolder::Replace(std::string_view path, std::string_view bytes,
                         const ReplaceOptions& options) {
    const size_t slash = path.rfind('/');
    const std::string folder(slash == std::string_view::npos ? std::string_view()
                                                             : path.substr(0, slash));
    std::string leaf;
    Fd dir(OpenParent(path, leaf));
    if (dir.get() == -ENOENT && !options.mustExist) {
        if (const int error = MakeFolders(folder)) return error;
        dir = Fd(OpenParent(path, leaf));
    }
    if (dir.get() < 0) return -dir.get();
    struct stat st;
    bool exists = false;
    if (::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        exists = true;
        if (S_ISLNK(st.st_mode)) return ELOOP;
        if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        if (options.exclusive) return EEXIST;
        // The user marked the file read-only: rename would replace it anyway,
        // since only the folder's permissions matter to rename.
        if ((st.st_mode & S_IWUSR) == 0) return EACCES;
    } else if (errno != ENOENT) {
        return errno;
    } else if (options.mustExist) {
        return ENOENT;
    }

    if (IsWriteBatchOpen() && !options.exclusive) {
        if (const int error = CheckFault(FaultPoint::kCreate)) return error;
        Fd unnamed(::openat(dir.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (unnamed.get() >= 0) {
            if (!WriteAll(unnamed.get(), bytes)) return errno;
            if (exists && ::fchmod(unnamed.get(), st.st_mode & 07777) != 0) return errno;
            ThreadPending().push_back({shared_from_this(),
                                       folder,
                                       ShareDescriptor(unnamed.release()),
                                       {},
                                       leaf,
                                       options});
            return 0;
        }
    }
    std::string temp;
    Fd fd(CreateTemporary(dir.get(), leaf, temp, 0600));
    if (fd.get() < 0) return -fd.get();
    auto fail = [&](int error) {
        fd.Close();
        ::unlinkat(dir.get(), temp.c_str(), 0);
        return error;
    };
    if (!WriteAll(fd.get(), bytes)) return fail(errno);
    if (exists && ::fchmod(fd.get(), st.st_mode & 07777) != 0) return fail(errno);
    if (IsWriteBatchOpen() && !options.exclusive) {
        if (!fd.Close()) return fail(errno);
        std::vector<PendingStoreReplacement>& pending = ThreadPending();
        try {
            pending.push_back({shared_from_this(), folder, nullptr, temp, leaf, options});
        } catch (const std::bad_alloc&) {
            return fail(ENOMEM);
        }
        return 0;
    }
    if (const int error = SyncFd(fd.get())) return fail(error);
    if (!fd.Close()) return fail(errno);
    const int error = options.exclusive
                          ? RenameNoReplace(dir.get(), temp.c_str(), dir.get(), leaf.c_str())
                          : RenameOver(dir.get(), temp.c_str(), leaf.c_str());
    if (error) return fail(error);
    ::fsync(dir.get());
    return 0;
}

// Renames one pending file into place under its folder's lock, first checking
// that the file it was built from is still the one there.
int StoreFolder::CommitOne(PendingStoreReplacement& p) {
    const std::string path = p.folder.empty() ? p.leaf : p.folder + "/" + p.leaf;
    Lock lock(*this, p.folder, Lock::Sweep::kNever);
    Fd dir(OpenBeneath(p.folder, O_RDONLY | O_DIRECTORY));
    if (dir.get() < 0) return -dir.get();
    auto drop = [&](int error) {
        if (!p.unnamed) ::unlinkat(dir.get(), p.temp.c_str(), 0);
        return error;
    };
    std::optional<FileIdentity> now;
    struct stat st;
    if (::fstatat(dir.get(), p.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
        now = IdentityOf(st);
    if (now != p.options.basis) {
        drop(0);
        if (!p.options.rebuild) return ESTALE;
        std::string current;
        const bool present = Read(path, current, UINT64_MAX) == ReadResult::kRead;
        if (!present && p.options.mustExist) return ENOENT;
        std::optional<std::string> bytes = p.options.rebuild(present ? &current : nullptr);
        if (!bytes) return ENOENT;
        ReplaceOptions direct;
        direct.mustExist = p.options.mustExist;
        return Replace(path, *bytes, direct);
    }
    if (p.options.mustExist && !now) return drop(ENOENT);
    if (p.unnamed) {
        // The unnamed file gets a temporary name only for the moment of the
        // rename, under the folder's lock.
        const std::string source = "/proc/self/fd/" + std::to_string(*p.unnamed);
        std::string name;
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            name = TemporaryName(p.leaf);
            error =
                ::linkat(AT_FDCWD, source.c_str(), dir.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0
                    ? 0
                    : errno;
        }
        if (error) return error;
        p.temp = name;
        p.unnamed.reset();
    }
    if (const int error = RenameOver(dir.get(), p.temp.c_str(), p.leaf.c_str())) return drop(error);
    return 0;
}

void CommitStoreBatchIfFull() {
    const std::vector<PendingStoreReplacement>& pending = ThreadPending();
    const auto named = static_cast<size_t>(
        std::count_if(pending.begin(), pending.end(), [](const auto& p) { return !p.unnamed; }));
    if (pending.size() < kBatchLimit && named < kNamedBatchLimit) return;
    int failures = 0;
    CommitStoreBatch(failures);
    AddWriteBatchFailures(failures);
}

bool CommitStoreBatch(int& failures) {
    std::vector<PendingStoreReplacement> pending;
    pending.swap(ThreadPending());
    if (pending.empty()) return true;
    // One flush of the file system makes every temporary file durable before
    // any is renamed into place.
    int syncError = 0;
    for (size_t i = 0; i < pending.size() && !syncError; ++i) {
        if (i == 0 || pending[i].store != pending[i - 1].store)
            syncError = pending[i].store->Sync();
    }
    bool ok = true;
    std::vector<std::pair<StoreFolder*, std::string>> folders;
    for (PendingStoreReplacement& p : pending) {
        int error = syncError;
        if (!error) {
            // Replace no longer sees the batch while the batch commits: a
            // rebuilt file is written directly.
            const bool nested = IsWriteBatchOpen();
            SetWriteBatchOpen(false);
            error = p.store->CommitOne(p);
            SetWriteBatchOpen(nested);
        } else if (!p.unnamed) {
            Fd dir(p.store->OpenBeneath(p.folder, O_RDONLY | O_DIRECTORY));
            if (dir.get() >= 0) ::unlinkat(dir.get(), p.temp.c_str(), 0);
        }
        if (error) {
            ok = false;
            ++failures;
        } else {
            folders.emplace_back(p.store.get(), p.folder);
        }
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const auto& [store, folder] : folders) {
        Fd dir(store->OpenBeneath(folder, O_RDONLY | O_DIRECTORY));
        if (dir.get() >= 0) ::fsync(dir.get());
    }
    return ok;
}

// ---- Lock --------------------------------------------------------------------------

StoreFolder::Lock::Lock(StoreFolder& folder, std::string_view path, Sweep sweep) {
    Fd fd(folder.OpenBeneath(path, O_RDONLY | O_DIRECTORY));
    if (fd.get() < 0) return;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return;
    m_device = static_cast<uint64_t>(st.st_dev);
    m_inode = static_cast<uint64_t>(st.st_ino);
    const auto key = std::make_pair(m_device, m_inode);
    {
        std::lock_guard<std::mutex> hold(g_lockMutex);
        auto it = g_locks.find(key);
        if (it != g_locks.end() && it->second.owner == std::this_thread::get_id()) {
            ++it->second.depth;
            m_held = true;
            return;
        }
    }
    // Another thread of this process may hold it: flock on a second open
    // file description waits for it as for another process.
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return;
    }
    bool due = false;
    const int held = fd.release();
    {
        std::lock_guard<std::mutex> hold(g_lockMutex);
        g_locks[key] = HeldLock{held, 1, std::this_thread::get_id()};
        const bool first = g_swept.insert(key).second;
        due = sweep == Sweep::kIfDue && (first || !IsWriteBatchOpen());
    }
    m_held = true;
    if (due) SweepAbandoned(held);
}

StoreFolder::Lock::~Lock() {
    if (!m_held) return;
    std::lock_guard<std::mutex> hold(g_lockMutex);
    auto it = g_locks.find(std::make_pair(m_device, m_inode));
    if (it == g_locks.end()) return;
    if (--it->second.depth == 0) {
        // Closing the descriptor lets the lock go.
        ::close(it->second.fd);
        g_locks.erase(it);
    }
}

}  // namespace platform

}  // namespace sessiondeck
