// POSIX implementation of the library's file-system calls.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/faults.h"
#include "platform/posix_fd.h"
#include "platform/process.h"
#include "platform/store_folder.h"
#include "platform/write_batch.h"

namespace sessiondeck {

namespace fs = std::filesystem;

namespace platform {

std::string ToNativeSeparators(std::string path) {
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

namespace {

// Flushes a folder so that a rename inside it survives a crash. Best effort:
// some file systems refuse to sync folders, and the data is already safe.
void SyncFolder(const fs::path& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

// A temporary file written in a batch, waiting for the batch's flush.
struct PendingReplacement {
    std::string temp;
    std::string target;
    std::string folder;
};

// Files of the open batch: bounded, so that a walk over a hundred thousand
// sessions neither holds every name in memory nor leaves a long window of
// unflushed work.
constexpr size_t kBatchLimit = 1024;

struct BatchState {
    bool open = false;
    int failures = 0;
    std::vector<PendingReplacement> pending;
};

BatchState& ThreadBatch() {
    thread_local BatchState state;
    return state;
}

// One sync of the file system holding the files, where the platform has it;
// otherwise one flush per file.
bool FlushPending(const std::vector<PendingReplacement>& pending) {
#ifdef __linux__
    Fd folder(::open(pending.front().folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0 && ::syncfs(folder.get()) == 0) {
        // The folders of one batch may lie on another file system (a linked
        // folder); those are flushed file by file.
        struct stat first;
        if (::fstat(folder.get(), &first) != 0) return false;
        for (const PendingReplacement& p : pending) {
            struct stat st;
            if (::stat(p.folder.c_str(), &st) != 0) return false;
            if (st.st_dev == first.st_dev) continue;
            Fd fd(::open(p.temp.c_str(), O_RDONLY | O_CLOEXEC));
            if (fd.get() < 0 || ::fsync(fd.get()) != 0) return false;
        }
        return true;
    }
#endif
    for (const PendingReplacement& p : pending) {
        Fd fd(::open(p.temp.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0 || ::fsync(fd.get()) != 0) return false;
    }
    return true;
}

bool CommitPending(std::vector<PendingReplacement>& pending) {
    if (pending.empty()) return true;
    bool ok = FlushPending(pending);
    std::vector<std::string> folders;
    for (const PendingReplacement& p : pending) {
        if (ok && ::rename(p.temp.c_str(), p.target.c_str()) == 0) {
            if (folders.empty() || folders.back() != p.folder) folders.push_back(p.folder);
            continue;
        }
        ::unlink(p.temp.c_str());
        ok = false;
    }
    pending.clear();
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const std::string& folder : folders) SyncFolder(folder);
    return ok;
}

// Long enough for any real name, short enough that ".NAME.XXXXXX" stays
// within the usual 255-byte limit on one name.
constexpr size_t kTempNameStemLimit = 200;

}  // namespace

FileStatus GetFileStatus(const fs::path& path) {
    return GetFileStatus(path.c_str());
}

FileStatus GetFileStatus(const char* path) {
    struct stat st;
    if (*path == '\0' || ::stat(path, &st) != 0) return FileStatus();
    return StatusOf(st, LastName(path));
}

bool ReadWholeFile(const fs::path& file, std::string& bytes) {
    return ReadFileUpTo(file, bytes, UINT64_MAX) == ReadResult::kRead;
}

ReadResult ReadFileUpTo(const fs::path& file, std::string& bytes, uint64_t limit) {
    return ReadFileUpTo(file.c_str(), bytes, limit);
}

bool IsRegularFile(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool EntryExists(const fs::path& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::optional<FileIdentity> GetFileIdentity(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return IdentityOf(st);
}

ReadResult ReadFileUpTo(const char* file, std::string& bytes, uint64_t limit,
                        std::optional<FileIdentity>* identity, std::optional<FileStatus>* status) {
    // Non-blocking so that a FIFO placed where a value file belongs cannot
    // hang the reader; only regular files are read.
    return ReadOpened(Fd(::open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK)), LastName(file), bytes,
                      limit, identity, status);
}

FileStatus StatusOf(const struct stat& st, std::string_view name) {
    FileStatus status;
    status.exists = true;
    status.isFolder = S_ISDIR(st.st_mode);
    status.special = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
    status.readOnly = (st.st_mode & S_IWUSR) == 0;
    if (S_ISREG(st.st_mode)) status.size = static_cast<uint64_t>(st.st_size);
    status.hidden = !name.empty() && name[0] == '.';
    return status;
}

std::string_view LastName(std::string_view path) {
    // A path that ends in a separator ("dir/") has an empty name, as
    // std::filesystem sees it.
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

ReadResult ReadOpened(Fd fd, std::string_view name, std::string& bytes, uint64_t limit,
                      std::optional<FileIdentity>* identity, std::optional<FileStatus>* status) {
    bytes.clear();
    if (identity) identity->reset();
    if (fd.get() < 0) return ReadResult::kUnreadable;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kUnreadable;
    if (status) *status = StatusOf(st, name);
    if (static_cast<uint64_t>(st.st_size) > limit) return ReadResult::kTooLarge;
    const ReadResult result =
        ReadOpenFile(fd.get(), static_cast<uint64_t>(st.st_size), bytes, limit);
    if (result == ReadResult::kRead && identity) *identity = IdentityOf(st);
    return result;
}

ReadResult ReadOpenFile(int fd, uint64_t size, std::string& bytes, uint64_t limit) {
    bytes.clear();
    if (size > limit) return ReadResult::kTooLarge;
    try {
        // One byte more than the file's size lets the read that finds the
        // end do so without growing the buffer; a file that grows meanwhile
        // is still read to its end, up to the limit.
        bytes.resize(static_cast<size_t>(size) + 1);
        size_t used = 0;
        for (;;) {
            if (used == bytes.size()) {
                if (used > limit) {
                    bytes.clear();
                    bytes.shrink_to_fit();
                    return ReadResult::kTooLarge;
                }
                bytes.resize(static_cast<size_t>(std::min<uint64_t>(bytes.size() * 2, limit + 1)));
            }
            const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
            if (n < 0) {
                if (errno == EINTR) continue;
                bytes.clear();
                return ReadResult::kUnreadable;
            }
            if (n == 0) break;
            used += static_cast<size_t>(n);
        }
        if (used > limit) {
            bytes.clear();
            bytes.shrink_to_fit();
            return ReadResult::kTooLarge;
        }
        bytes.resize(used);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        bytes.shrink_to_fit();
        return ReadResult::kUnreadable;
    }
    return ReadResult::kRead;
}

bool WriteFileAtomically(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    fs::path target = file;
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        target = fs::canonical(file, ec);
        if (ec) return false;  // a dangling link: nothing sensible to replace
    }
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        exists = true;
        if (!S_ISREG(st.st_mode)) return false;
        // The user marked the file read-only: rename would replace it anyway,
        // since only the folder's permissions matter to rename, so check here.
        if ((st.st_mode & S_IWUSR) == 0) return false;
    } else if (errno != ENOENT) {
        return false;
    }

    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string stem = target.filename().string();
    if (stem.size() > kTempNameStemLimit) stem.resize(kTempNameStemLimit);
    std::string temp =
        (folder / ("." + stem + "~" + std::to_string(CurrentProcessId()) + "~XXXXXX")).string();
    // mkostemp creates the file 0600 (less the umask) and never reuses a name.
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;

    BatchState& batch = ThreadBatch();
    bool ok = WriteAll(fd.get(), bytes);
    if (ok && exists) ok = ::fchmod(fd.get(), st.st_mode & 07777) == 0;
    if (ok && batch.open) {
        if (!fd.Close()) {
            ::unlink(temp.c_str());
            return false;
        }
        try {
            batch.pending.push_back({temp, target.string(), folder.string()});
        } catch (const std::bad_alloc&) {
            ::unlink(temp.c_str());
            return false;
        }
        if (batch.pending.size() >= kBatchLimit) CommitPending(batch.pending);
        return true;
    }
    if (ok) ok = ::fsync(fd.get()) == 0;
    ok = fd.Close() && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncFolder(folder);
    return true;
}

WriteBatch::WriteBatch() : m_joined(ThreadBatch().open), m_failuresAtStart(ThreadBatch().failures) {
    ThreadBatch().open = true;
}

WriteBatch::~WriteBatch() {
    if (m_joined) return;
    Commit();
    ThreadBatch().open = false;
}

bool WriteBatch::Commit() {
    BatchState& batch = ThreadBatch();
    const bool files = CommitPending(batch.pending);
    int failures = 0;
    const bool stores = CommitStoreBatch(failures);
    batch.failures += failures;
    return files && stores;
}

int WriteBatch::Failures() const {
    return ThreadBatch().failures - m_failuresAtStart;
}

bool IsWriteBatchOpen() {
    return ThreadBatch().open;
}

void SetWriteBatchOpen(bool open) {
    ThreadBatch().open = open;
}

void AddWriteBatchFailures(int failures) {
    ThreadBatch().failures += failures;
}

bool CreateFolders(const fs::path& folder) {
    if (folder.empty()) return false;
    fs::path prefix;
    for (const fs::path& part : folder) {
        prefix /= part;
        if (part == prefix.root_path() || part.empty()) continue;
        if (::mkdir(prefix.c_str(), 0700) == 0) continue;
        if (errno != EEXIST) return false;
        struct stat st;
        if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    }
    return true;
}

int MakeWritableFolder(const fs::path& folder) {
    std::error_code created;
    fs::create_directories(folder, created);
    if (created) return created.value();
    // A file that vanishes when closed proves the folder can be written.
    std::string probe = (folder / "TESTXXXXXX").string();
    const int fd = ::mkostemp(probe.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    ::unlink(probe.c_str());
    ::close(fd);
    return 0;
}

bool ListFolder(const fs::path& folder, std::vector<FolderEntry>& entries) {
    entries.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return false;
    try {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
                struct stat st;
                isFolder =
                    ::stat((folder / entry->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
            }
            entries.push_back(FolderEntry{std::string(name), isFolder});
        }
    } catch (const std::bad_alloc&) {
        entries.clear();
        ::closedir(dir);
        return false;
    }
    ::closedir(dir);
    return true;
}

bool RemoveFolderTree(const fs::path& folder) {
    struct stat st;
    if (::lstat(folder.c_str(), &st) != 0) return errno == ENOENT;
    // A link to a folder goes, the folder it points to stays: removing a key
    // must never reach outside the configuration folder.
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (::stat(folder.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return false;
        return ::unlink(folder.c_str()) == 0;
    }
    if (!S_ISDIR(st.st_mode)) return false;
    std::error_code ec;
    fs::remove_all(folder, ec);  // does not follow links inside the tree
    return !ec;
}

bool RemoveFile(const fs::path& file) {
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return false;
    return ::unlink(file.c_str()) == 0 || errno == ENOENT;
}

FolderLock::FolderLock(const fs::path& folder) {
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) return;
    }
    m_held = true;
}

FolderLock::~FolderLock() {
    // Closing the descriptor releases the lock.
    if (m_fd >= 0) ::close(m_fd);
}

std::optional<std::filesystem::file_time_type> LastWriteTime(const std::filesystem::path& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return std::nullopt;
    return time;
}

}  // namespace platform

namespace platform {

std::optional<long> TemporaryFileOwner(std::string_view name) {
    if (name.size() < 2 || name[0] != '.') return std::nullopt;
    // ".NAME~PID~XXXXXX"
    const size_t last = name.rfind('~');
    if (last != std::string_view::npos && last > 1 && name.size() - last - 1 == 6) {
        const size_t first = name.rfind('~', last - 1);
        if (first != std::string_view::npos && first > 0 && last - first > 1) {
            long pid = 0;
            bool digits = true;
            for (char c : name.substr(first + 1, last - first - 1)) {
                if (c < '0' || c > '9' || pid > 100'000'000) {
                    digits = false;
                    break;
                }
                pid = pid * 10 + (c - '0');
            }
            if (digits) return pid;
        }
    }
    // ".NAME.ini.XXXXXX", as older versions named them.
    if (name.size() > 12 && name.substr(name.size() - 11, 5) == ".ini.") return 0;
    return std::nullopt;
}

}  // namespace platform

}  // namespace sessiondeck
