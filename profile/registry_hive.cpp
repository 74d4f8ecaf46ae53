// The SQLite hive of the registry store: schema, prepared statements and one transaction per
// change.
#include "profile/registry_hive.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

#include "foundation/hex_digits.h"
#include "foundation/unicode_string.h"
#include "platform/file_system.h"

namespace sessiondeck {

namespace fs = std::filesystem;
using namespace registry_error;

namespace {

// Schema version 1. Names are kept as UTF-16 code units so that every name
// comes back exactly as written, unpaired surrogates included: `name` little-
// endian, `folded` (FoldNoCase) big-endian, so that SQLite's byte order on
// `folded` is CompareNoCase's order and its uniqueness is the registry's
// case-insensitive uniqueness.
constexpr int kSchemaVersion = 1;
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  id INTEGER PRIMARY KEY,"
    "  parent INTEGER REFERENCES reg_keys(id),"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  security BLOB,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,"
    "  name BLOB NOT NULL,"
    "  folded BLOB NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key_id, folded)) WITHOUT ROWID;"
    "INSERT OR IGNORE INTO reg_keys(id, parent, name, folded) VALUES(1, NULL, x'', x'');"
    "PRAGMA user_version = 1;";

// A key's tree is deleted in one statement; the parent constraint is checked
// at its end, when no orphan is left.
// Statements written over several lines are parenthesised: each is one
// element, and the compiler then knows the joined literals are meant.
constexpr const char* kStatementSql[] = {
    "BEGIN IMMEDIATE",
    "COMMIT",
    "ROLLBACK",
    "SELECT id FROM reg_keys WHERE parent = ?1 AND folded = ?2",
    "INSERT INTO reg_keys(parent, name, folded, security) VALUES(?1, ?2, ?3, ?4)",
    ("WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
     "SELECT k.id FROM reg_keys k JOIN tree ON k.parent = tree.id) "
     "DELETE FROM reg_keys WHERE id IN tree"),
    "UPDATE reg_keys SET security = ?2 WHERE id = ?1",
    "SELECT security FROM reg_keys WHERE id = ?1",
    "SELECT type, data FROM reg_values WHERE key_id = ?1 AND folded = ?2",
    // Setting a value again keeps the case its name was first written with.
    ("INSERT INTO reg_values(key_id, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
     "ON CONFLICT(key_id, folded) DO UPDATE SET type = excluded.type, data = excluded.data"),
    "DELETE FROM reg_values WHERE key_id = ?1 AND folded = ?2",
    "SELECT name, type FROM reg_values WHERE key_id = ?1 ORDER BY folded",
    "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY folded",
    "PRAGMA data_version",
    // A copied key takes the new name given, or else keeps its own.
    ("INSERT INTO reg_keys(parent, name, folded, security) "
     "SELECT ?2, coalesce(?3, name), coalesce(?4, folded), security FROM reg_keys WHERE id = ?1"),
    ("INSERT INTO reg_values(key_id, name, folded, type, data) "
     "SELECT ?2, name, folded, type, data FROM reg_values WHERE key_id = ?1"),
    "SELECT id FROM reg_keys WHERE parent = ?1",
    "SELECT name FROM reg_keys WHERE id = ?1",
    "UPDATE reg_keys SET name = ?2 WHERE id = ?1",
    ("SELECT EXISTS(SELECT 1 FROM reg_values WHERE key_id = ?1) "
     "OR EXISTS(SELECT 1 FROM reg_keys WHERE parent = ?1)"),
    "DELETE FROM reg_keys WHERE id = ?1",
};
static_assert(std::size(kStatementSql) == 21, "one statement per Statement");

constexpr int kBusyTimeoutMs = 5000;

std::string NameBytes(std::u16string_view name) {
    std::string bytes(name.size() * 2, '\0');
    for (size_t i = 0; i < name.size(); ++i) {
        bytes[2 * i] = static_cast<char>(name[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(name[i] >> 8);
    }
    return bytes;
}

std::string FoldedBytes(std::u16string_view name) {
    const std::u16string folded = FoldNoCase(name);
    std::string bytes(folded.size() * 2, '\0');
    for (size_t i = 0; i < folded.size(); ++i) {
        bytes[2 * i] = static_cast<char>(folded[i] >> 8);
        bytes[2 * i + 1] = static_cast<char>(folded[i] & 0xFF);
    }
    return bytes;
}

std::u16string NameFromColumn(sqlite3_stmt* statement, int column) {
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, column));
    const size_t size = static_cast<size_t>(sqlite3_column_bytes(statement, column)) / 2;
    std::u16string name(size, u'\0');
    for (size_t i = 0; i < size; ++i)
        name[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return name;
}

void BindBlob(sqlite3_stmt* statement, int index, const std::string& bytes) {
    sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
}

// Resets the statement however the call leaves, so the next user finds it
// ready and no read transaction stays open behind it.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : m_statement(statement) {}
    ~StatementUse() {
        if (m_statement) {
            sqlite3_reset(m_statement);
            sqlite3_clear_bindings(m_statement);
        }
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement;
};

// Splits "A\B\C" into its components; false when one is empty.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& parts) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(path.find(u'\\', start), path.size());
        if (end == start) return false;
        parts.push_back(path.substr(start, end - start));
        if (end == path.size()) return true;
        start = end + 1;
    }
}

int ReadUserVersion(sqlite3* db, int& version) {
    sqlite3_stmt* statement = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(statement);
        if (rc == SQLITE_ROW) {
            version = sqlite3_column_int(statement, 0);
            rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return rc;
}

// "file:" URI of a path, with the characters that would end or escape the
// path part encoded.
std::string ImmutableUri(const fs::path& file) {
    std::string uri = "file:";
    for (char c : file.string()) {
        if (c == '%' || c == '?' || c == '#') {
            const auto byte = static_cast<uint8_t>(c);
            uri += '%';
            AppendHex(uri, &byte, 1);
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

// A new hive is built whole (write-ahead journal, schema) under a temporary
// name and then linked into place, so that another process never finds a
// half-made hive, and two processes creating it at once agree on one. The
// file is created 0600, and SQLite gives its journal files the same mode:
// sessions hold passwords.
bool CreateHiveFile(const fs::path& file, uint32_t& error) {
    platform::CreateFolders(file.parent_path());
    std::string temporary = file.string() + ".new-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        error = errno == ENOENT ? kFileNotFound : kAccessDenied;
        return false;
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    // Closing folds the journal into the file and removes it.
    if (sqlite3_close(db) != SQLITE_OK && rc == SQLITE_OK) rc = SQLITE_IOERR;
    bool placed = false;
    if (rc == SQLITE_OK) {
        // link() never replaces: a hive another process placed first stays.
        placed = ::link(temporary.c_str(), file.c_str()) == 0 || errno == EEXIST;
        if (!placed && errno != EEXIST && !platform::GetFileStatus(file).exists)
            placed = ::rename(temporary.c_str(), file.c_str()) == 0;  // no hard links here
    }
    ::unlink(temporary.c_str());
    if (!placed) error = rc == SQLITE_OK ? kAccessDenied : VRegistryHive::Fail(rc);
    return placed;
}

bool OwnerMayWrite(const fs::path& file) {
    struct stat st;
    return ::stat(file.c_str(), &st) == 0 && (st.st_mode & S_IWUSR) != 0;
}

}  // namespace

// ---- Transaction ---------------------------------------------------------------

// BEGIN IMMEDIATE takes the write lock at once, so that two writers wait for
// each other through the busy timeout instead of failing halfway. A
// transaction begun inside another joins it: it neither commits nor rolls
// back, and its failure reaches the outer one through the error it returns.
class VRegistryHive::Transaction {
public:
    explicit Transaction(VRegistryHive& hive)
        : m_hive(hive), m_nested(hive.m_transactionDepth > 0) {
        if (m_nested) {
            m_result = SQLITE_DONE;
            m_open = true;
        } else {
            StatementUse begin(hive.Prepare(kBegin));
            m_result = begin.get() ? sqlite3_step(begin.get()) : SQLITE_ERROR;
            m_open = m_result == SQLITE_DONE;
        }
        if (m_open) ++m_hive.m_transactionDepth;
    }
    ~Transaction() {
        if (!m_open) return;
        --m_hive.m_transactionDepth;
        if (m_nested) return;
        StatementUse rollback(m_hive.Prepare(kRollback));
        if (rollback.get()) sqlite3_step(rollback.get());
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool IsOpen() const { return m_open; }
    int BeginResult() const { return m_result; }
    int Commit() {
        if (m_nested) {
            --m_hive.m_transactionDepth;
            m_open = false;
            return SQLITE_DONE;
        }
        StatementUse commit(m_hive.Prepare(kCommit));
        const int rc = commit.get() ? sqlite3_step(commit.get()) : SQLITE_ERROR;
        if (rc == SQLITE_DONE) {
            --m_hive.m_transactionDepth;
            m_open = false;
            ++m_hive.m_ownChanges;
        }
        return rc;
    }

private:
    VRegistryHive& m_hive;
    bool m_nested;
    int m_result;
    bool m_open;
};

// ---- Pool of idle connections ----------------------------------------------------------

// Stores are short-lived, and opening a connection (the file, its shared
// memory, the schema, the prepared statements) costs more than reading a
// typical key. A connection that a store lets go waits here for the next
// store on the same hive.
class VRegistryHive::Pool {
public:
    static Pool& Get() {
        // Never destroyed: hives may be let go during exit, after statics.
        // The idle connections are closed at exit, so that the last one
        // folds the journal into the hive and removes it, as closing does.
        static Pool* pool = [] {
            std::atexit([] { Get().CloseIdle(); });
            return new Pool;
        }();
        return *pool;
    }

    void CloseIdle() {
        std::lock_guard<std::mutex> lock(m_mutex);
        ForgetInherited();
        // Readers first: only a writer closing last can fold the journal in.
        std::stable_partition(m_idle.begin(), m_idle.end(),
                              [](const auto& hive) { return !hive->m_writable; });
        for (auto& hive : m_idle) hive.reset();
        m_idle.clear();
    }

    std::unique_ptr<VRegistryHive> Take(const Identity& identity) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ForgetInherited();
        for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
            if ((*it)->m_identity == identity) {
                std::unique_ptr<VRegistryHive> hive = std::move(*it);
                m_idle.erase(it);
                return hive;
            }
        }
        return nullptr;
    }

    void Give(std::unique_ptr<VRegistryHive> hive) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ForgetInherited();
        if (m_idle.size() >= kMaxIdle) m_idle.erase(m_idle.begin());
        m_idle.push_back(std::move(hive));
    }

private:
    static constexpr size_t kMaxIdle = 8;

    // A child process must never use, or close, the connections of the
    // parent it was forked from: their locks are the parent's.
    void ForgetInherited() {
        if (m_owner == ::getpid()) return;
        for (auto& hive : m_idle) hive.release();
        m_idle.clear();
        m_owner = ::getpid();
    }

    std::mutex m_mutex;
    std::vector<std::unique_ptr<VRegistryHive>> m_idle;
    pid_t m_owner = ::getpid();
};

std::shared_ptr<VRegistryHive> VRegistryHive::Share(std::unique_ptr<VRegistryHive> owned) {
    owned->m_ownChangesWhenShared = owned->m_ownChanges;
    return std::shared_ptr<VRegistryHive>(owned.release(), [](VRegistryHive* hive) {
        std::unique_ptr<VRegistryHive> idle(hive);
        // What closing the last connection would do: copy this store's
        // changes into the hive file (without waiting for readers), so the
        // journal does not grow for as long as the process lives.
        if (hive->m_writable && hive->m_ownChanges != hive->m_ownChangesWhenShared) {
            sqlite3_wal_checkpoint_v2(hive->m_db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                      nullptr);
        }
        // A connection that cannot write ends its snapshot; the next user
        // starts a fresh one.
        if (!hive->m_writable) sqlite3_exec(hive->m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (hive->m_poolable && sqlite3_get_autocommit(hive->m_db))
            Pool::Get().Give(std::move(idle));
    });
}

bool VRegistryHive::BeginUse() {
    // A hive this connection cannot change is read in one snapshot, taken at
    // the first read: a load through a read-only store sees one consistent
    // state, never half of another process's changes, and takes the file
    // locks once instead of once per value.
    if (!m_writable && sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    int version = 0;
    return ReadUserVersion(m_db, version) == SQLITE_OK && version == kSchemaVersion;
}

// ---- Opening ----------------------------------------------------------------------

std::shared_ptr<VRegistryHive> VRegistryHive::Open(const fs::path& file, bool writable,
                                                   uint32_t& error) {
    const platform::FileStatus status = platform::GetFileStatus(file);
    if (status.exists && status.isFolder) {
        error = kAccessDenied;
        return nullptr;
    }
    if (!status.exists) {
        if (!writable) {
            error = kFileNotFound;
            return nullptr;
        }
        if (!CreateHiveFile(file, error)) return nullptr;
    }
    // A hive marked read-only stays unchanged even for root; a folder we may
    // not write keeps the journal from being created, which SQLite would only
    // find out at the first change.
    bool canWrite = writable && OwnerMayWrite(file) && ::access(file.c_str(), W_OK) == 0 &&
                    ::access(file.parent_path().c_str(), W_OK) == 0;
    struct stat st = {};
    ::stat(file.c_str(), &st);
    const Identity identity{file.string(), canWrite, static_cast<uint64_t>(st.st_dev),
                            static_cast<uint64_t>(st.st_ino)};
    if (std::unique_ptr<VRegistryHive> idle = Pool::Get().Take(identity)) {
        // The file may have been replaced in place since; then the
        // connection goes, and a new one finds out what the file is now.
        if (idle->BeginUse()) {
            error = kSuccess;
            return Share(std::move(idle));
        }
    }

    sqlite3* db = nullptr;
    auto openWith = [&](const std::string& name, int flags) {
        if (db) sqlite3_close(db);
        db = nullptr;
        const int rc = sqlite3_open_v2(name.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        // Another process may be creating the hive or writing it right now:
        // even the first read waits for it.
        if (rc == SQLITE_OK) sqlite3_busy_timeout(db, kBusyTimeoutMs);
        return rc;
    };
    int rc = openWith(file.string(), canWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY);
    if (rc != SQLITE_OK && canWrite) {
        canWrite = false;
        rc = openWith(file.string(), SQLITE_OPEN_READONLY);
    }
    int version = 0;
    bool immutable = false;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        rc = ReadUserVersion(db, version);
        // Reading a hive in write-ahead mode needs its shared-memory file; in a
        // folder where it cannot be created, the hive can still be read as
        // an unchanging file. (Not when it is merely busy: read that way, it
        // would skip the changes still in the journal.)
        const int primary = rc & 0xFF;
        if (!canWrite && (primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY)) {
            rc = openWith(ImmutableUri(file), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI);
            if (rc == SQLITE_OK) rc = ReadUserVersion(db, version);
            immutable = true;
        }
    }
    if (rc != SQLITE_OK || version > kSchemaVersion || (version == 0 && !canWrite)) {
        // Not a hive we can use (or one with nothing in it yet): answer as a
        // missing hive, and never touch the file.
        error = rc == SQLITE_OK ? kFileNotFound : Fail(rc);
        if (db) sqlite3_close(db);
        return nullptr;
    }
    if (canWrite && sqlite3_db_readonly(db, "main") == 1) canWrite = false;

    std::unique_ptr<VRegistryHive> hive(new VRegistryHive(db, canWrite));
    hive->m_identity = identity;
    hive->m_identity.writable = canWrite;
    // Read as unchanging, it would never see another process's changes.
    hive->m_poolable = !immutable;
    sqlite3_exec(db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    if (canWrite) {
        // FULL: a change is on disk before the call that made it returns.
        rc = sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL", nullptr,
                          nullptr, nullptr);
        if (rc == SQLITE_OK && version == 0) {
            Transaction transaction(*hive);
            rc = transaction.IsOpen() ? sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr)
                                      : transaction.BeginResult();
            if (rc == SQLITE_OK)
                rc = transaction.Commit() == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
        }
        if (rc != SQLITE_OK) {
            error = hive->Fail(rc);
            return nullptr;
        }
    } else {
        hive->BeginUse();
    }
    error = kSuccess;
    return Share(std::move(hive));
}

VRegistryHive::~VRegistryHive() {
    for (sqlite3_stmt* statement : m_statements) sqlite3_finalize(statement);
    sqlite3_close(m_db);
}

sqlite3_stmt* VRegistryHive::Prepare(Statement which) {
    if (!m_statements[which]) {
        sqlite3_prepare_v3(m_db, kStatementSql[which], -1, SQLITE_PREPARE_PERSISTENT,
                           &m_statements[which], nullptr);
    }
    return m_statements[which];
}

uint32_t VRegistryHive::Fail(int rc) {
    switch (rc) {
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            return kKeyDeleted;
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
            return kInvalidParameter;
    }
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return kSuccess;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return kBusy;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_CANTOPEN:
            return kAccessDenied;
        case SQLITE_FULL:
            return kDiskFull;
        case SQLITE_NOMEM:
            return kNotEnoughMemory;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return kRegistryCorrupt;
        case SQLITE_TOOBIG:
            return kInvalidParameter;
        default:
            return kRegistryIoFailed;
    }
}

// ---- Keys ---------------------------------------------------------------------------

uint32_t VRegistryHive::FindChild(KeyId parent, std::u16string_view name, KeyId& child) {
    StatementUse find(Prepare(kFindChild));
    if (!find.get()) return Fail(sqlite3_errcode(m_db));
    sqlite3_bind_int64(find.get(), 1, parent);
    BindBlob(find.get(), 2, FoldedBytes(name));
    const int rc = sqlite3_step(find.get());
    if (rc == SQLITE_ROW) {
        child = sqlite3_column_int64(find.get(), 0);
        return kSuccess;
    }
    return rc == SQLITE_DONE ? kFileNotFound : Fail(rc);
}

uint32_t VRegistryHive::Walk(KeyId parent, std::u16string_view path, bool create,
                             const std::vector<uint8_t>* security, KeyId& key, bool* createdLast) {
    std::vector<std::u16string_view> parts;
    if (!SplitPath(path, parts)) return kInvalidParameter;
    KeyId current = parent;
    bool created = false;
    for (std::u16string_view part : parts) {
        KeyId child = kNoKey;
        const uint32_t lookup = FindChild(current, part, child);
        created = false;
        if (lookup == kSuccess) {
            current = child;
            continue;
        }
        if (lookup != kFileNotFound) return lookup;
        if (!create) return kFileNotFound;
        StatementUse insert(Prepare(kInsertKey));
        if (!insert.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(insert.get(), 1, current);
        BindBlob(insert.get(), 2, NameBytes(part));
        BindBlob(insert.get(), 3, FoldedBytes(part));
        if (security) {
            sqlite3_bind_blob(insert.get(), 4, security->data(), static_cast<int>(security->size()),
                              SQLITE_TRANSIENT);
        }
        const int rc = sqlite3_step(insert.get());
        if (rc != SQLITE_DONE) return Fail(rc);
        current = sqlite3_last_insert_rowid(m_db);
        created = true;
    }
    key = current;
    if (createdLast) *createdLast = created;
    return kSuccess;
}

uint32_t VRegistryHive::FindKey(KeyId parent, std::u16string_view path, KeyId& key) {
    return Walk(parent, path, false, nullptr, key);
}

uint32_t VRegistryHive::CreateKey(KeyId parent, std::u16string_view path,
                                  const std::vector<uint8_t>* security, KeyId& key, bool* created) {
    if (created) *created = false;
    if (!m_writable) return kAccessDenied;
    // Most opens find the key there already: look first, without the write
    // lock that would make every opening wait for other writers.
    KeyId found = kNoKey;
    const uint32_t lookup = Walk(parent, path, false, nullptr, found);
    if (lookup == kSuccess) {
        key = found;
        return kSuccess;
    }
    if (lookup != kFileNotFound) return lookup;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    bool madeHere = false;
    const uint32_t error = Walk(parent, path, true, security, found, &madeHere);
    if (error != kSuccess) return error;
    const int rc = transaction.Commit();
    if (rc != SQLITE_DONE) return Fail(rc);
    key = found;
    if (created) *created = madeHere;
    return kSuccess;
}

uint32_t VRegistryHive::CreateKeyExclusive(KeyId parent, std::u16string_view path,
                                           const std::vector<uint8_t>* security,
                                           const std::function<uint32_t(KeyId)>& write,
                                           KeyId& key) {
    if (!m_writable) return kAccessDenied;
    // The look for an existing key, the creation and the first write share
    // one write lock: of two processes creating one name, the second finds
    // the first one's key.
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    KeyId made = kNoKey;
    bool created = false;
    uint32_t error = Walk(parent, path, true, security, made, &created);
    if (error != kSuccess) return error;
    if (!created) return kAlreadyExists;
    if (write && (error = write(made)) != kSuccess) return error;
    const int rc = transaction.Commit();
    if (rc != SQLITE_DONE) return Fail(rc);
    key = made;
    return kSuccess;
}

uint32_t VRegistryHive::DeleteKeyIfEmpty(KeyId key, bool& deleted) {
    deleted = false;
    if (!m_writable) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    {
        StatementUse inUse(Prepare(kKeyInUse));
        if (!inUse.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(inUse.get(), 1, key);
        const int rc = sqlite3_step(inUse.get());
        if (rc != SQLITE_ROW) return Fail(rc);
        if (sqlite3_column_int(inUse.get(), 0) != 0) return kSuccess;
    }
    {
        StatementUse remove(Prepare(kDeleteKey));
        if (!remove.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(remove.get(), 1, key);
        const int rc = sqlite3_step(remove.get());
        if (rc != SQLITE_DONE) return Fail(rc);
        if (sqlite3_changes(m_db) == 0) return kSuccess;
    }
    const int rc = transaction.Commit();
    if (rc != SQLITE_DONE) return Fail(rc);
    deleted = true;
    return kSuccess;
}

uint32_t VRegistryHive::CheckKey(KeyId key) {
    std::vector<uint8_t> security;
    return GetKeySecurity(key, security);
}

uint32_t VRegistryHive::CopyTreeRows(KeyId source, KeyId newParent, std::u16string_view name) {
    // Breadth first: each key is copied under the copy of its parent, then
    // its values; the keys below it wait their turn in the queue.
    std::vector<std::pair<KeyId, KeyId>> queue;  // (original, copy)
    auto copyRow = [&](KeyId original, KeyId parent, const std::u16string_view* newName) {
        StatementUse insert(Prepare(kCopyKeyRow));
        if (!insert.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(insert.get(), 1, original);
        sqlite3_bind_int64(insert.get(), 2, parent);
        if (newName) {
            BindBlob(insert.get(), 3, NameBytes(*newName));
            BindBlob(insert.get(), 4, FoldedBytes(*newName));
        }
        const int rc = sqlite3_step(insert.get());
        if (rc != SQLITE_DONE) return Fail(rc);
        if (sqlite3_changes(m_db) != 1) return kKeyDeleted;
        queue.emplace_back(original, sqlite3_last_insert_rowid(m_db));
        return kSuccess;
    };
    uint32_t error = copyRow(source, newParent, &name);
    for (size_t next = 0; error == kSuccess && next < queue.size(); ++next) {
        const auto [original, copy] = queue[next];
        {
            StatementUse values(Prepare(kCopyValues));
            if (!values.get()) return Fail(sqlite3_errcode(m_db));
            sqlite3_bind_int64(values.get(), 1, original);
            sqlite3_bind_int64(values.get(), 2, copy);
            const int rc = sqlite3_step(values.get());
            if (rc != SQLITE_DONE) return Fail(rc);
        }
        std::vector<KeyId> children;
        {
            StatementUse list(Prepare(kListChildIds));
            if (!list.get()) return Fail(sqlite3_errcode(m_db));
            sqlite3_bind_int64(list.get(), 1, original);
            int rc;
            while ((rc = sqlite3_step(list.get())) == SQLITE_ROW)
                children.push_back(sqlite3_column_int64(list.get(), 0));
            if (rc != SQLITE_DONE) return Fail(rc);
        }
        for (KeyId child : children) {
            if ((error = copyRow(child, copy, nullptr)) != kSuccess) break;
        }
    }
    return error;
}

uint32_t VRegistryHive::CopyKeyTree(KeyId parent, std::u16string_view from, std::u16string_view to,
                                    bool move, const std::vector<uint8_t>* security) {
    if (!m_writable) return kAccessDenied;
    std::vector<std::u16string_view> fromParts, toParts;
    if (!SplitPath(from, fromParts) || !SplitPath(to, toParts)) return kInvalidParameter;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    KeyId source = kNoKey;
    uint32_t error = Walk(parent, from, false, nullptr, source);
    if (error != kSuccess) return error;
    // Names resolve by their folded forms, so comparing those says whether
    // `to` would land inside the tree being carried.
    if (toParts.size() > fromParts.size() &&
        std::equal(fromParts.begin(), fromParts.end(), toParts.begin(),
                   [](std::u16string_view a, std::u16string_view b) { return EqualsNoCase(a, b); }))
        return kInvalidParameter;

    const std::u16string_view leaf = toParts.back();
    const std::u16string_view targetParentPath =
        to.substr(0, to.size() - leaf.size() - (toParts.size() > 1 ? 1 : 0));
    KeyId targetParent = parent;
    if (!targetParentPath.empty()) {
        error = Walk(parent, targetParentPath, true, security, targetParent);
        if (error != kSuccess) return error;
    }
    KeyId existing = kNoKey;
    error = FindChild(targetParent, leaf, existing);
    if (error == kSuccess) {
        if (!move || existing != source) return kAlreadyExists;
        // The same key under another case: only its name changes.
        std::u16string stored;
        {
            StatementUse name(Prepare(kKeyName));
            if (!name.get()) return Fail(sqlite3_errcode(m_db));
            sqlite3_bind_int64(name.get(), 1, source);
            const int rc = sqlite3_step(name.get());
            if (rc != SQLITE_ROW) return Fail(rc);
            stored = NameFromColumn(name.get(), 0);
        }
        if (stored == leaf) return kAlreadyExists;
        StatementUse rename(Prepare(kRenameKey));
        if (!rename.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(rename.get(), 1, source);
        BindBlob(rename.get(), 2, NameBytes(leaf));
        const int rc = sqlite3_step(rename.get());
        if (rc != SQLITE_DONE) return Fail(rc);
    } else if (error != kFileNotFound) {
        return error;
    } else {
        if ((error = CopyTreeRows(source, targetParent, leaf)) != kSuccess) return error;
        if (move) {
            StatementUse remove(Prepare(kDeleteTree));
            if (!remove.get()) return Fail(sqlite3_errcode(m_db));
            sqlite3_bind_int64(remove.get(), 1, source);
            const int rc = sqlite3_step(remove.get());
            if (rc != SQLITE_DONE) return Fail(rc);
        }
    }
    const int rc = transaction.Commit();
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint32_t VRegistryHive::DeleteKeyTree(KeyId parent, std::u16string_view path) {
    if (!m_writable) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    KeyId key = kNoKey;
    const uint32_t error = Walk(parent, path, false, nullptr, key);
    if (error == kFileNotFound) return kSuccess;
    if (error != kSuccess) return error;
    {
        StatementUse remove(Prepare(kDeleteTree));
        if (!remove.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(remove.get(), 1, key);
        const int rc = sqlite3_step(remove.get());
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    const int rc = transaction.Commit();
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint32_t VRegistryHive::SetKeySecurity(KeyId key, const std::vector<uint8_t>& security) {
    if (!m_writable) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    {
        StatementUse update(Prepare(kSetSecurity));
        if (!update.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(update.get(), 1, key);
        sqlite3_bind_blob(update.get(), 2, security.data(), static_cast<int>(security.size()),
                          SQLITE_TRANSIENT);
        const int rc = sqlite3_step(update.get());
        if (rc != SQLITE_DONE) return Fail(rc);
        if (sqlite3_changes(m_db) == 0) return kKeyDeleted;
    }
    const int rc = transaction.Commit();
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint32_t VRegistryHive::GetKeySecurity(KeyId key, std::vector<uint8_t>& security) {
    StatementUse query(Prepare(kGetSecurity));
    if (!query.get()) return Fail(sqlite3_errcode(m_db));
    sqlite3_bind_int64(query.get(), 1, key);
    const int rc = sqlite3_step(query.get());
    if (rc == SQLITE_DONE) return kKeyDeleted;
    if (rc != SQLITE_ROW) return Fail(rc);
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(query.get(), 0));
    security.assign(bytes, bytes + sqlite3_column_bytes(query.get(), 0));
    return kSuccess;
}

// ---- Values -------------------------------------------------------------------------

uint32_t VRegistryHive::QueryValue(KeyId key, std::u16string_view name, uint32_t& type,
                                   std::vector<uint8_t>& data) {
    StatementUse query(Prepare(kQueryValue));
    if (!query.get()) return Fail(sqlite3_errcode(m_db));
    sqlite3_bind_int64(query.get(), 1, key);
    BindBlob(query.get(), 2, FoldedBytes(name));
    const int rc = sqlite3_step(query.get());
    if (rc == SQLITE_DONE) return kFileNotFound;
    if (rc != SQLITE_ROW) return Fail(rc);
    type = static_cast<uint32_t>(sqlite3_column_int64(query.get(), 0));
    const auto* bytes = static_cast<const uint8_t*>(sqlite3_column_blob(query.get(), 1));
    data.assign(bytes, bytes + sqlite3_column_bytes(query.get(), 1));
    return kSuccess;
}

uint32_t VRegistryHive::SetValue(KeyId key, std::u16string_view name, uint32_t type,
                                 const void* data, size_t size) {
    if (!m_writable) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    {
        StatementUse set(Prepare(kSetValue));
        if (!set.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(set.get(), 1, key);
        BindBlob(set.get(), 2, NameBytes(name));
        BindBlob(set.get(), 3, FoldedBytes(name));
        sqlite3_bind_int64(set.get(), 4, type);
        // A zero-length blob, not NULL, for an empty value.
        static const uint8_t kNothing = 0;
        int rc = sqlite3_bind_blob64(set.get(), 5, size ? data : &kNothing, size, SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) return Fail(rc);
        rc = sqlite3_step(set.get());
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    const int rc = transaction.Commit();
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint32_t VRegistryHive::DeleteValue(KeyId key, std::u16string_view name) {
    if (!m_writable) return kAccessDenied;
    Transaction transaction(*this);
    if (!transaction.IsOpen()) return Fail(transaction.BeginResult());
    {
        StatementUse remove(Prepare(kDeleteValue));
        if (!remove.get()) return Fail(sqlite3_errcode(m_db));
        sqlite3_bind_int64(remove.get(), 1, key);
        BindBlob(remove.get(), 2, FoldedBytes(name));
        const int rc = sqlite3_step(remove.get());
        if (rc != SQLITE_DONE) return Fail(rc);
        if (sqlite3_changes(m_db) == 0) return kFileNotFound;
    }
    const int rc = transaction.Commit();
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint32_t VRegistryHive::List(KeyId key, bool values, std::vector<Entry>& entries) {
    entries.clear();
    StatementUse list(Prepare(values ? kListValues : kListKeys));
    if (!list.get()) return Fail(sqlite3_errcode(m_db));
    sqlite3_bind_int64(list.get(), 1, key);
    int rc;
    while ((rc = sqlite3_step(list.get())) == SQLITE_ROW) {
        Entry entry;
        entry.name = NameFromColumn(list.get(), 0);
        if (values) entry.type = static_cast<uint32_t>(sqlite3_column_int64(list.get(), 1));
        entries.push_back(std::move(entry));
    }
    return rc == SQLITE_DONE ? kSuccess : Fail(rc);
}

uint64_t VRegistryHive::ChangeStamp() {
    StatementUse version(Prepare(kDataVersion));
    uint64_t dataVersion = 0;
    if (version.get() && sqlite3_step(version.get()) == SQLITE_ROW)
        dataVersion = static_cast<uint64_t>(sqlite3_column_int64(version.get(), 0));
    return (dataVersion << 32) + m_ownChanges;
}

std::string VRegistryHive::IntegrityCheck() {
    std::string result;
    sqlite3_exec(
        m_db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            auto& text = *static_cast<std::string*>(out);
            if (!text.empty()) text += '\n';
            text += values[0] ? values[0] : "";
            return 0;
        },
        &result, nullptr);
    return result;
}

}  // namespace sessiondeck
