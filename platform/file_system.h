// File-system calls of the library: status, whole-file reads, atomic replacement, folders and
// listing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sessiondeck {

// Paths are UTF-8 (the native narrow form on POSIX). Nothing here throws: every
// failure comes back as a false result or an empty answer.
namespace platform {

struct FileStatus {
    bool exists = false;
    bool isFolder = false;
    // The owner-write permission bit is clear. Checked on the bits rather than
    // with access(), so a file marked read-only is read-only for root too.
    bool readOnly = false;
    // The name begins with ".".
    bool hidden = false;
    // Neither a regular file nor a folder: a link (where links are not
    // followed), FIFO, device or socket, which the store never opens.
    bool special = false;
    uint64_t size = 0;  // in bytes; 0 for a folder
};

// Which file a path named, and in which state: a file replaced by rename
// has a new inode, and one rewritten in place a new modification or change
// time.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the regular file at `path`; nullopt when there is none.
std::optional<FileIdentity> GetFileIdentity(const char* path);

// A path as the store and the hosts write it ("\" between components) in the
// file system's form ("/").
std::string ToNativeSeparators(std::string path);

// Follows symbolic links; a path that cannot be examined counts as not existing.
FileStatus GetFileStatus(const std::filesystem::path& path);
// The same for a native path already at hand: a listing asks this of every
// child, and building a std::filesystem::path costs more than the stat.
FileStatus GetFileStatus(const char* path);

// Whether `path` names a regular file, following symbolic links; false when it
// cannot be examined.
bool IsRegularFile(const std::filesystem::path& path);
// Whether anything is at `path` itself, a symbolic link (dangling or not)
// included; false when it cannot be examined.
bool EntryExists(const std::filesystem::path& path);

// The last-write time of a file, or nullopt when it cannot be examined.
std::optional<std::filesystem::file_time_type> LastWriteTime(const std::filesystem::path& path);

// Reads a whole regular file. False when it is missing, not a regular file or
// unreadable; `bytes` is then left empty.
bool ReadWholeFile(const std::filesystem::path& file, std::string& bytes);

enum class ReadResult { kRead, kUnreadable, kTooLarge };
// As ReadWholeFile, but a file of more than `limit` bytes (when opened or by
// the time it is read) is not read at all: kTooLarge, `bytes` empty. Keeps the
// memory a hostile or runaway file can take bounded by the limit.
ReadResult ReadFileUpTo(const std::filesystem::path& file, std::string& bytes, uint64_t limit);
// `identity`, when given, receives the identity of the file when it was read
// (as it was opened), and nullopt otherwise. `status`, when given, receives
// the opened file's status, read or too large; it is left alone when nothing
// regular could be opened.
ReadResult ReadFileUpTo(const char* file, std::string& bytes, uint64_t limit,
                        std::optional<FileIdentity>* identity = nullptr,
                        std::optional<FileStatus>* status = nullptr);

// Replaces (or creates) `file` with exactly `bytes`, never leaving a partly
// written file behind: the bytes go to a temporary file in the same folder
// (".NAME.XXXXXX", which a listing for "*.ini" never shows), are flushed to
// disk and then renamed over `file`. An existing file keeps its permission
// bits; a new one is created with 0600 (less the umask). An existing file
// without owner-write permission is never replaced: false. A symbolic link is
// followed and its target replaced, so the link stays. False on any failure,
// with no temporary file left.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

// The temporary files that atomic replacement writes beside their target are
// named ".NAME~PID~XXXXXX" (PID: the writing process). A killed writer leaves
// one behind; the next writer in that folder removes those whose writer is
// gone. The process that wrote a temporary file: its id; 0 for the form older
// versions wrote (".NAME.ini.XXXXXX"), whose writer cannot be told; nullopt
// when the name is no temporary file's.
std::optional<long> TemporaryFileOwner(std::string_view fileName);

// Creates `folder` and every missing folder above it, each with mode 0700
// (less the umask). True when the folder exists afterwards.
bool CreateFolders(const std::filesystem::path& folder);

// Creates `folder` with every missing folder above it (with the permissions the
// umask leaves, as a folder the user names should have) and proves it
// writable by creating and removing a file in it. 0 when it is, else the errno
// of the step that failed.
int MakeWritableFolder(const std::filesystem::path& folder);

struct FolderEntry {
    std::string name;
    bool isFolder = false;  // symbolic links count as what they point to
};

// Lists the entries of a folder ("." and ".." left out). False when the
// folder cannot be listed; `entries` is then empty.
bool ListFolder(const std::filesystem::path& folder, std::vector<FolderEntry>& entries);

// Removes a folder with everything in it. True when it is gone, including when
// it never existed. A path that is not a folder is left alone: false.
bool RemoveFolderTree(const std::filesystem::path& folder);

// Removes one file. True when it is gone, including when it never existed. A
// folder at that path is left alone: false.
bool RemoveFile(const std::filesystem::path& file);

// An exclusive advisory lock (flock) on a folder, held from construction to
// destruction; other processes taking the same lock wait for it. It guards
// read-modify-write of the value files in that folder between processes that
// share a configuration folder. Locking is best effort: on a file system
// without flock (some network mounts) IsHeld() is false and the caller goes
// on unguarded, as it would without the lock.
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // False also when the folder does not exist.
    bool IsHeld() const { return m_held; }
    bool FolderExists() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    bool m_held = false;
};

}  // namespace platform

}  // namespace sessiondeck
