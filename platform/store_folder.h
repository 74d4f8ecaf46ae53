// The configuration folder as a closed world: every file below it is reached from the folder's own
// descriptor, and no symbolic link inside it is ever followed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace sessiondeck {

// How it works
//
// A StoreFolder holds a descriptor of the configuration folder (which itself
// may be reached through links: a user may keep it anywhere). Every path
// below it is a relative, "/"-separated path that is resolved from that
// descriptor with openat2(RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS), or, where
// the kernel lacks openat2, component by component with O_NOFOLLOW. So a link
// planted inside the folder (to a file, a folder or a device elsewhere) is
// never read, written, listed into or removed through; the operations fail
// with ELOOP instead. Only regular files are read or replaced; a FIFO, socket
// or device where a value file belongs is refused without being opened.
//
// Every operation returns 0 or an errno value, which the store turns into a
// report. Writes go through the fault seam (platform/faults.h).
namespace platform {

enum class EntryKind { kFile, kFolder, kLink, kOther };

// A descriptor that several holders share; the last one closes it.
using SharedDescriptor = std::shared_ptr<const int>;
SharedDescriptor ShareDescriptor(int fd);

struct StoreEntry {
    std::string name;
    EntryKind kind = EntryKind::kOther;
};

class StoreFolder : public std::enable_shared_from_this<StoreFolder> {
public:
    // `root`: the configuration folder's native path. It need not exist yet.
    static std::shared_ptr<StoreFolder> Open(std::string root);
    ~StoreFolder();
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;

    const std::string& Root() const { return m_root; }

    // Reads the regular file at `path` as ReadFileUpTo does. Links, special
    // files and anything not reachable without a link are kUnreadable.
    ReadResult Read(std::string_view path, std::string& bytes, uint64_t limit,
                    std::optional<FileIdentity>* identity = nullptr,
                    std::optional<FileStatus>* status = nullptr);
    // A folder below the root opened for the *At calls (the root itself for
    // ""), or -errno. A caller that works on many entries of one folder
    // (a listing that classifies each child) resolves the folder's path once.
    int OpenFolder(std::string_view path);
    // Read and Status for the entry `name` of a folder opened by OpenFolder:
    // one name, never followed when it is a link.
    static ReadResult ReadAt(int folder, const std::string& name, std::string& bytes,
                             uint64_t limit, std::optional<FileIdentity>* identity = nullptr,
                             std::optional<FileStatus>* status = nullptr);
    static FileStatus StatusAt(int folder, const std::string& name);
    // The entry at `path` as it is, never following a link: a link, FIFO,
    // device or socket exists with `special` set.
    FileStatus Status(std::string_view path);
    // The identity of the regular file at `path`, or nullopt.
    std::optional<FileIdentity> Identity(std::string_view path);
    // The entries of the folder at `path` ("" for the root), "." and ".."
    // left out. 0, or the errno of a folder that could not be listed whole
    // (ENOENT when there is none); `entries` is then empty.
    int List(std::string_view path, std::vector<StoreEntry>& entries);

    struct ReplaceOptions {
        // Fail with EEXIST, writing nothing, when the file exists.
        bool exclusive = false;
        // Fail with ENOENT when the file does not exist (it was removed or
        // renamed away since the caller read it).
        bool mustExist = false;
        // Inside a write batch (platform/write_batch.h) the file is renamed
        // into place only when the batch commits. The bytes were built from
        // the file with this identity (nullopt: from no file); should the file
        // be another by then, `rebuild` is asked for the bytes again, with the
        // file's bytes as they are then (null when it is gone), and may
        // answer nullopt to leave the file alone. Without `rebuild` such a
        // file is left alone and counted as failed.
        std::optional<FileIdentity> basis;
        std::function<std::optional<std::string>(const std::string* current)> rebuild;
    };
    // Replaces (or creates) the regular file at `path` with exactly `bytes`,
    // atomically: a temporary file ".NAME~PID~XXXXXX" beside it, flushed, then
    // renamed over it (never over a link or special file: ELOOP / EINVAL). An
    // existing file keeps its permission bits, and one whose owner-write bit
    // is clear is never replaced (EACCES). Missing folders above it are
    // created, unless `mustExist`. The caller holds the folder's Lock.
    int Replace(std::string_view path, std::string_view bytes, const ReplaceOptions& options);

    // Creates the folders of `path` that are missing (0700, less the umask).
    int MakeFolders(std::string_view path);
    // Creates the one folder `path`: EEXIST when anything has that name.
    int MakeFolder(std::string_view path);
    // Removes the folder `path` with everything in it, or the file `path`;
    // links inside are removed, never followed. 0 when it is gone, including
    // when it never existed.
    int RemoveTree(std::string_view path);
    // Renames `from` to `to`, never replacing anything at `to` (EEXIST).
    int Rename(std::string_view from, std::string_view to);
    // Copies the folder or regular file `from` to the new name `to`, byte for
    // byte and with its permission bits, everything below it included. A
    // link or special file below `from` cannot be carried: ELOOP or EINVAL,
    // and nothing is left at `to`.
    int Copy(std::string_view from, std::string_view to);
    // Flushes the file system holding the folder.
    int Sync();

    // An exclusive advisory lock (flock) on the folder `path`, held for the
    // lock's life, guarding read-modify-write of the files in that folder
    // between processes. Re-entrant within a thread: an operation that holds
    // a folder's lock may call another that takes it. Taking it removes the
    // temporary files in the folder whose writer is gone (inside a write
    // batch only the first time the process locks the folder, so that a walk
    // over a large folder does not list it once per file). Best effort, as
    // FolderLock: IsHeld() false where the file system has no flock.
    class Lock {
    public:
        enum class Sweep { kIfDue, kNever };
        Lock(StoreFolder& folder, std::string_view path, Sweep sweep = Sweep::kIfDue);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        bool IsHeld() const { return m_held; }

    private:
        uint64_t m_device = 0;
        uint64_t m_inode = 0;
        bool m_held = false;
    };

private:
    explicit StoreFolder(std::string root);
    friend class Lock;
    friend bool CommitStoreBatch(int& failures);

    // The root's descriptor, opened on first use (again after it was
    // created); -1 with errno set when it cannot be opened.
    int RootDescriptor();
    // A descriptor for `path` below the root (the root itself for ""), or
    // -errno.
    int OpenBeneath(std::string_view path, int flags, unsigned mode = 0);
    // The folder holding `path`, opened for *at calls, and the last name.
    int OpenParent(std::string_view path, std::string& leaf);
    struct EntryPair;
    int OpenPair(std::string_view from, std::string_view to, EntryPair& pair);
    int CommitOne(struct PendingStoreReplacement& pending);

    std::string m_root;
    int m_rootFd = -1;
};

// Commits the replacements that the thread's open write batch holds for
// store folders; called by WriteBatch. False when any failed; `failures`
// grows by their number.
bool CommitStoreBatch(int& failures);
// Commits the thread's pending replacements once there are enough of them
// that a killed walk would leave too many temporary files behind. Called with
// no folder lock held: the commit takes the lock of each file's folder.
void CommitStoreBatchIfFull();

}  // namespace platform

}  // namespace sessiondeck
