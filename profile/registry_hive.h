// VRegistryHive: one registry hive (a tree of keys with typed values) kept in an SQLite database.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/export.h"

// The SQLite handles are only named here, so that a host including the store's
// headers needs no SQLite header; registry_hive.cpp includes the real one.
struct sqlite3;
struct sqlite3_stmt;

namespace sessiondeck {

// Registry value types, with the numbers the registry gives them.
enum VRegistryType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// The system error codes the registry answers with; the key's report carries
// them, so callers that know the registry find the numbers they expect.
namespace registry_error {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kNotEnoughMemory = 8;
inline constexpr uint32_t kInvalidData = 13;
inline constexpr uint32_t kDiskFull = 112;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kBusy = 170;
inline constexpr uint32_t kAlreadyExists = 183;
inline constexpr uint32_t kMoreData = 234;
inline constexpr uint32_t kRegistryCorrupt = 1015;
inline constexpr uint32_t kRegistryIoFailed = 1016;
inline constexpr uint32_t kKeyDeleted = 1018;
inline constexpr uint32_t kDatatypeMismatch = 1629;
}  // namespace registry_error

// One open connection to a hive file. Key names compare case-insensitively
// (CompareNoCase), value names too, and both keep the case they were first
// written with. Every change is one transaction, committed before the call
// returns, so a crash never loses a change that was reported done; several
// processes may use one hive at once (write-ahead journal, busy timeout).
// A connection that cannot write reads one snapshot, taken at its first read.
// A connection let go waits in a per-process pool for the next store on the
// same hive file.
//
// Used by one thread at a time, as every store handle is.
class SESSIONDECK_API VRegistryHive {
public:
    using KeyId = int64_t;
    static constexpr KeyId kNoKey = 0;
    static constexpr KeyId kRootKey = 1;

    struct Entry {
        std::u16string name;
        uint32_t type = kRegNone;  // sub-keys: kRegNone
    };

    // Opens (and, when `writable`, creates with its folder) the hive file.
    // A hive that cannot be written opens read-only instead: so does one
    // whose owner-write permission bit is clear, for root too. Null when the
    // file cannot be opened at all; `error` then says why.
    static std::shared_ptr<VRegistryHive> Open(const std::filesystem::path& file, bool writable,
                                               uint32_t& error);
    ~VRegistryHive();
    VRegistryHive(const VRegistryHive&) = delete;
    VRegistryHive& operator=(const VRegistryHive&) = delete;

    bool IsWritable() const { return m_writable; }

    // `path` is one or more names separated by "\"; an empty component is
    // refused (kInvalidParameter).
    uint32_t FindKey(KeyId parent, std::u16string_view path, KeyId& key);
    // Creates the missing keys along `path`; new keys record `security`
    // (may be null). One transaction for the whole path. `created`, when
    // given, tells whether the last key of the path was made by this call.
    uint32_t CreateKey(KeyId parent, std::u16string_view path, const std::vector<uint8_t>* security,
                       KeyId& key, bool* created = nullptr);
    // Creates the key at `path` (and the missing keys above it) and runs
    // `write` on it, all in one transaction: when a key of that name is there
    // already (kAlreadyExists), or `write` fails, nothing is changed. `write`
    // may call this hive's other operations; they join the transaction.
    uint32_t CreateKeyExclusive(KeyId parent, std::u16string_view path,
                                const std::vector<uint8_t>* security,
                                const std::function<uint32_t(KeyId)>& write, KeyId& key);
    // Deletes `key` when it holds no value and no sub-key; `deleted` says
    // whether it did. A key that is gone already is not deleted again.
    uint32_t DeleteKeyIfEmpty(KeyId key, bool& deleted);
    // Whether `key` is still in the hive (kSuccess) or was deleted (kKeyDeleted).
    uint32_t CheckKey(KeyId key);
    // Copies the key at `from` (below `parent`), with its values of every type,
    // its security and everything below it, to `to` (below `parent`); with
    // `move` the original is then deleted. One transaction: it happens whole
    // or not at all. Missing keys above `to` are created with `security`.
    // kFileNotFound: `from` is missing; kInvalidParameter: `to` lies below
    // `from`, or a path has an empty component; kAlreadyExists: a key named
    // `to` is there. Moving a key onto its own name in another case renames
    // it in place.
    uint32_t CopyKeyTree(KeyId parent, std::u16string_view from, std::u16string_view to, bool move,
                         const std::vector<uint8_t>* security);
    // Deletes the key at `path` with everything below it; an absent key is
    // no error.
    uint32_t DeleteKeyTree(KeyId parent, std::u16string_view path);
    uint32_t SetKeySecurity(KeyId key, const std::vector<uint8_t>& security);
    uint32_t GetKeySecurity(KeyId key, std::vector<uint8_t>& security);

    uint32_t QueryValue(KeyId key, std::u16string_view name, uint32_t& type,
                        std::vector<uint8_t>& data);
    uint32_t SetValue(KeyId key, std::u16string_view name, uint32_t type, const void* data,
                      size_t size);
    uint32_t DeleteValue(KeyId key, std::u16string_view name);

    // The key's values (`values` true) or sub-keys, in the hive's enumeration
    // order: by name, case-insensitively.
    uint32_t List(KeyId key, bool values, std::vector<Entry>& entries);
    // Changes whenever this connection or another commits a change, so that
    // an enumeration knows when its list is stale.
    uint64_t ChangeStamp();

    // SQLite's own consistency check; "ok" when the file is sound.
    std::string IntegrityCheck();

    // The registry's error for an SQLite result.
    static uint32_t Fail(int sqliteResult);

private:
    enum Statement : int {
        kBegin,
        kCommit,
        kRollback,
        kFindChild,
        kInsertKey,
        kDeleteTree,
        kSetSecurity,
        kGetSecurity,
        kQueryValue,
        kSetValue,
        kDeleteValue,
        kListValues,
        kListKeys,
        kDataVersion,
        kCopyKeyRow,
        kCopyValues,
        kListChildIds,
        kKeyName,
        kRenameKey,
        kKeyInUse,
        kDeleteKey,
        kStatementCount
    };
    class Transaction;

    // Which file a connection is open on, and how: a connection is handed
    // out again only for the same file, unchanged, opened the same way.
    struct Identity {
        std::string path;
        bool writable = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    class Pool;

    explicit VRegistryHive(sqlite3* db, bool writable) : m_db(db), m_writable(writable) {}
    static std::shared_ptr<VRegistryHive> Share(std::unique_ptr<VRegistryHive> hive);
    // Starts the snapshot of a connection that cannot write; true when the
    // file still reads as a hive.
    bool BeginUse();
    sqlite3_stmt* Prepare(Statement which);
    uint32_t Walk(KeyId parent, std::u16string_view path, bool create,
                  const std::vector<uint8_t>* security, KeyId& key, bool* createdLast = nullptr);
    uint32_t FindChild(KeyId parent, std::u16string_view name, KeyId& child);
    // Copies the key `source` with everything below it under `newParent`, as
    // `name`. Inside a transaction.
    uint32_t CopyTreeRows(KeyId source, KeyId newParent, std::u16string_view name);

    sqlite3* m_db;
    bool m_writable;
    uint64_t m_ownChanges = 0;
    uint64_t m_ownChangesWhenShared = 0;
    int m_transactionDepth = 0;  // a transaction inside another joins it
    Identity m_identity;
    bool m_poolable = true;  // false for a file read as unchanging
    sqlite3_stmt* m_statements[kStatementCount] = {};
};

}  // namespace sessiondeck
