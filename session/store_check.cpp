// `check` for configuration stores: the physical walk of a configuration folder, the logical walk
// of the session tree through the store, and the repairs that lose nothing.
//
// How it works. A check runs in two passes.
//  1. Physical (configuration folders only): platform::ScanFolderTree lists
//     every entry without following links. Links and special files, names the
//     store cannot list, value files that do not read to their end, case
//     twins, leftover temporary files and half-built copies are found here.
//     The repairs of this pass (removing a dead writer's temporary file,
//     moving a dead writer's half-built copy under the recovered key) run
//     before the second pass, so it sees the tree as the repair left it.
//  2. Logical (both backends): a walk over "Sessions" through the store,
//     classifying children exactly as ProfileFolderData does and comparing
//     each folder's order record with them. A repair rewrites the record by
//     constructing ProfileFolderData writable, which is the reconcile every
//     listing does anyway, and then reads the record back to confirm it.
// Invariants a change must keep: nothing is ever deleted except a temporary
// file whose writer is gone; a key is never opened through a link or a
// special file, and a value file that does not read to its end is never
// rewritten (that would drop the values after the damage).
#include "session/store_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>

#include "foundation/reserved_names.h"
#include "platform/file_system.h"
#include "platform/folder_scan.h"
#include "platform/process.h"
#include "platform/store_folder.h"
#include "profile/ini_store_private.h"
#include "profile/registry_hive.h"
#include "profile/registry_store.h"
#include "session/session_database.h"

namespace sessiondeck {

namespace {

using Outcome = StoreFindingOutcome;
using Kind = StoreFindingKind;

constexpr std::u16string_view kIsSession = u"Is Session";
constexpr std::u16string_view kSessionList = u"Session List";
constexpr std::u16string_view kFolderList = u"Folder List";

std::string Utf8(std::u16string_view text) {
    return VUnicodeString(text).ToUtf8();
}

// A name from disk as it can be printed: bytes that are not UTF-8 as \xNN.
std::string Printable(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        size_t length = 1;
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4;
        const std::string_view piece = bytes.substr(i, length);
        const bool valid = lead >= 0x20 && lead != 0x7F && (lead < 0x80 || length > 1) &&
                           piece.size() == length &&
                           VUnicodeString::FromUtf8(piece).ToUtf8() == piece;
        if (valid) {
            out += piece;
            i += length;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", lead);
            out += escaped;
            i += 1;
        }
    }
    return out;
}

// A value file's name as the store opens it: the extension in lower case.
bool EndsWithIni(std::string_view name) {
    return name.size() > 4 && name.ends_with(".ini");
}

// "F2.INI": a value file by its look, which the store never reads.
bool EndsWithIniInOtherCase(std::string_view name) {
    return name.size() > 4 && !EndsWithIni(name) &&
           EqualsNoCase(VUnicodeString::FromUtf8(name.substr(name.size() - 4)).str(), u".ini");
}

const char* DescribeSpecial(platform::ScannedType type) {
    switch (type) {
        case platform::ScannedType::kFifo:
            return "a FIFO";
        case platform::ScannedType::kCharacterDevice:
            return "a character device";
        case platform::ScannedType::kBlockDevice:
            return "a block device";
        case platform::ScannedType::kSocket:
            return "a socket";
        case platform::ScannedType::kRegular:
        case platform::ScannedType::kFolder:
        case platform::ScannedType::kSymbolicLink:
        case platform::ScannedType::kOther:
            break;
    }
    return "a special file";
}

std::string ErrnoText(int error) {
    return std::string(std::strerror(error));
}

int64_t Now(const StoreCheckOptions& options) {
    return options.now != 0 ? options.now : static_cast<int64_t>(std::time(nullptr));
}

// "2026-12-07 104512": a recovered copy's name begins with when it was
// recovered, so a person sees at once which run moved it. No ':', which no
// store name may hold.
std::string Stamp(int64_t now) {
    const std::time_t when = static_cast<std::time_t>(now);
    std::tm parts{};
    gmtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H%M%S", &parts);
    return text;
}

std::vector<std::u16string> SplitList(std::u16string_view list) {
    std::vector<std::u16string> names;
    if (list.empty()) return names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(u':', start);
        if (end == std::u16string_view::npos) end = list.size();
        names.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::u16string JoinPath(std::u16string_view parent, std::u16string_view name) {
    return parent.empty() ? std::u16string(name)
                          : std::u16string(parent) + u"\\" + std::u16string(name);
}

class Findings {
public:
    Findings(const StoreCheckOptions& options, StoreCheckResult& result)
        : m_options(options), m_result(result) {}

    bool Repairing() const { return m_options.repair; }
    const StoreCheckOptions& Options() const { return m_options; }

    void Left(Kind kind, std::string path, std::string what, std::string why) {
        m_result.findings.push_back(
            {kind, std::move(path), std::move(what), Outcome::kLeftForPerson, std::move(why)});
    }
    // A finding a repair fixes: `repair` runs only in a repair run and
    // returns empty on success, else why it failed; `done` says what was done.
    void Repairable(Kind kind, std::string path, std::string what,
                    const std::function<std::string()>& repair, const std::string& done) {
        StoreFinding finding{kind, std::move(path), std::move(what), Outcome::kRepairable, {}};
        if (m_options.repair) {
            const std::string failure = repair();
            if (failure.empty()) {
                finding.outcome = Outcome::kRepaired;
                finding.action = done;
            } else {
                finding.outcome = Outcome::kLeftForPerson;
                finding.action = "the repair failed: " + failure;
            }
        }
        m_result.findings.push_back(std::move(finding));
    }
    StoreCheckResult& Result() { return m_result; }

private:
    const StoreCheckOptions& m_options;
    StoreCheckResult& m_result;
};

// ---- The logical walk over "Sessions" ------------------------------------------------

struct LogicalWalk {
    Findings& findings;
    // Whether the key at this store path may be opened: false for one reached
    // through a link or a special file, or whose value file is damaged.
    std::function<bool(std::u16string_view keyPath)> mayOpen;
    // The registry compares value names without case; the INI store exactly.
    bool valueNamesIgnoreCase = false;
};

// The kind of the "Is Session" value, or kValueKindSubKey when there is none.
int IsSessionKind(VProfileKey& key, bool ignoreCase) {
    VProfileKeyIterator values(key, true);
    VUnicodeString name;
    int kind = 0;
    while (values.NextValue(name, kind)) {
        if (ignoreCase ? EqualsNoCase(name.str(), kIsSession) : name.str() == kIsSession)
            return kind;
    }
    return kValueKindSubKey;
}

const char* KindName(int kind) {
    switch (kind) {
        case kValueKindDword:
            return "a DWORD";
        case kValueKindString:
            return "a string";
        case kValueKindBinary:
            return "binary";
        case kValueKindStringArray:
            return "a string array";
        default:
            return "a type the store does not read";
    }
}

// One list of the order record against the children of its kind.
void CompareList(std::u16string_view listName, std::u16string_view stored,
                 const std::vector<std::u16string>& own,
                 const std::unordered_set<std::u16string>& other,
                 const std::unordered_set<std::u16string>& ignored, bool sessions,
                 std::vector<std::string>& problems) {
    const std::unordered_set<std::u16string> ownSet(own.begin(), own.end());
    std::unordered_set<std::u16string> seen;
    const std::string list = "\"" + Utf8(listName) + "\"";
    for (const std::u16string& name : SplitList(stored)) {
        if (IsStoreReservedName(name) || ignored.count(name)) continue;
        const std::string quoted = "'" + Utf8(name) + "'";
        if (name.empty()) {
            problems.push_back(list + " holds an empty name");
        } else if (seen.count(name)) {
            problems.push_back(list + " names " + quoted + " twice");
        } else if (ownSet.count(name)) {
            seen.insert(name);
        } else if (other.count(name)) {
            problems.push_back(list + " names " + quoted + ", which is a " +
                               (sessions ? "folder" : "session"));
        } else {
            problems.push_back(list + " names " + quoted + ", which is not there");
        }
    }
    for (const std::u16string& child : own) {
        if (!seen.count(child) && !ignored.count(child)) {
            problems.push_back(list + " misses the " + (sessions ? "session '" : "folder '") +
                               Utf8(child) + "'");
        }
    }
}

std::u16string JoinNames(const VStringArray& names) {
    std::u16string joined;
    for (const VUnicodeString& name : names) {
        if (name.str().find(u':') != std::u16string::npos) continue;
        if (!joined.empty()) joined += u':';
        joined += name.str();
    }
    return joined;
}

void WalkFolder(LogicalWalk& walk, VProfileKey& key, const std::u16string& keyPath) {
    Findings& findings = walk.findings;
    std::vector<std::u16string> sessions;
    std::vector<std::u16string> folders;
    std::vector<std::u16string> descend;
    // Children left out of the comparison with the order record: those
    // another finding covers, and names no list can hold.
    std::unordered_set<std::u16string> ignored;
    {
        std::vector<VUnicodeString> names;
        {
            VProfileKeyIterator it(key, false);
            VUnicodeString name;
            while (it.Next(name)) names.push_back(name);
        }
        for (const VUnicodeString& nameValue : names) {
            const std::u16string& name = nameValue.str();
            const std::u16string childPath = JoinPath(keyPath, name);
            if (name == kFolderDataKeyName) continue;
            // Half-built copies: found by the physical walk of a folder, and
            // by CollectTemporaryKeys in the registry.
            if (TemporaryKeyOwner(name)) continue;
            // Reached through a link or a special file, or a damaged value
            // file: found by the physical walk, and never opened here.
            if (!walk.mayOpen(childPath)) {
                ignored.insert(name);
                continue;
            }
            if (IsStoreReservedName(name)) {
                findings.Left(Kind::kUnusableName, Utf8(childPath),
                              "the name is the store's own (\"__FolderData__\") in another case",
                              "rename it: the store cannot keep it as a session or folder");
                continue;
            }
            if (IsReservedDeviceName(name)) {
                findings.Left(Kind::kUnusableName, Utf8(childPath),
                              "the name is a reserved device name on Windows",
                              "rename it: no copy of this store to Windows could hold it");
            }
            const bool listable = name.find(u':') == std::u16string::npos;
            if (!listable) {
                findings.Left(Kind::kUnusableName, Utf8(childPath),
                              "the name holds ':', which separates names in the folder's order "
                              "record",
                              "rename it: it cannot be kept in the folder's order");
            }
            VProfileKey child(key, nameValue);
            const bool isFolder = SessionDatabase::IsFolder(child);
            (isFolder ? folders : sessions).push_back(name);
            // A session with keys below it (a folder of its name beside its value file, made
            // by hand or by a copy): the tree shows the session only, and what is below it is
            // reached by nothing but a delete of the session.
            if (const auto below =
                    isFolder ? std::nullopt : SessionDatabase::FirstKeyBelowSession(child))
                findings.Left(Kind::kUnusableName, Utf8(childPath),
                              "a session that also holds keys below it ('" +
                                  Utf8(JoinPath(childPath, below->str())) +
                                  "'), which the session tree never shows",
                              "move what is below it out, or rename the folder of that "
                              "name; the session cannot be removed until then");
            if (!listable) ignored.insert(name);
            if (isFolder) descend.push_back(name);
            // A session stored by hand may carry "Is Session" as text: then
            // the quick answer (the value file exists) and the answer after
            // reading its values disagree, and the store calls it a folder.
            const int kind = IsSessionKind(child, walk.valueNamesIgnoreCase);
            if (kind != kValueKindDword && kind != kValueKindSubKey) {
                findings.Left(Kind::kValueType, Utf8(childPath),
                              "\"Is Session\" is " + std::string(KindName(kind)) + ", not a DWORD",
                              "the store takes it for a folder once its values are read; store "
                              "\"Is Session\" as a DWORD if it is a session");
            }
        }
    }

    const std::u16string recordPath = JoinPath(keyPath, kFolderDataKeyName);
    if (walk.mayOpen(recordPath)) {
        const bool stored = key.SubKeyExists(kFolderDataKeyName);
        VUnicodeString sessionList;
        VUnicodeString folderList;
        if (stored) {
            VProfileKey data(key, kFolderDataKeyName);
            data.QueryString(VUnicodeString(kSessionList), sessionList);
            data.QueryString(VUnicodeString(kFolderList), folderList);
        }
        const std::unordered_set<std::u16string> sessionSet(sessions.begin(), sessions.end());
        const std::unordered_set<std::u16string> folderSet(folders.begin(), folders.end());
        std::vector<std::string> problems;
        CompareList(kSessionList, sessionList.str(), sessions, folderSet, ignored, true, problems);
        CompareList(kFolderList, folderList.str(), folders, sessionSet, ignored, false, problems);
        if (!problems.empty()) {
            // One rewrite repairs every problem of the record; it is done
            // once, for the first, and the others share its outcome.
            std::string failure;
            std::string done;
            if (findings.Repairing()) {
                std::u16string expectedSessions;
                std::u16string expectedFolders;
                {
                    ProfileFolderData order(key, 0);
                    expectedSessions = JoinNames(order.Sessions());
                    expectedFolders = JoinNames(order.Folders());
                }
                VProfileKey data(key, kFolderDataKeyName);
                VUnicodeString nowSessions;
                VUnicodeString nowFolders;
                data.QueryString(VUnicodeString(kSessionList), nowSessions);
                data.QueryString(VUnicodeString(kFolderList), nowFolders);
                if (nowSessions.str() != expectedSessions || nowFolders.str() != expectedFolders)
                    failure = "the order record could not be written";
                done = "order record rewritten: \"Session List\" " + Utf8(expectedSessions) +
                       ", \"Folder List\" " + Utf8(expectedFolders);
            }
            for (const std::string& problem : problems) {
                findings.Repairable(
                    Kind::kOrderRecord, Utf8(keyPath), problem, [&] { return failure; }, done);
            }
        }
    }

    for (const std::u16string& name : descend) {
        VProfileKey child(key, VUnicodeString(name));
        WalkFolder(walk, child, JoinPath(keyPath, name));
    }
}

void WalkSessions(LogicalWalk& walk, VProfileStore& store) {
    VProfileKey& root = store.GetRootKey();
    // Opening a missing key of a writable registry store would create it.
    if (!root.SubKeyExists(kSessionsKeyName)) return;
    if (!walk.mayOpen(kSessionsKeyName)) return;
    VProfileKey sessions(root, kSessionsKeyName);
    WalkFolder(walk, sessions, kSessionsKeyName);
}

// Whether the writer of a leftover is gone: its process has ended, or, when
// it cannot be told, the leftover is older than kAbandonedAfterSeconds.
struct Writer {
    long pid = 0;
    bool gone = false;
    std::string Describe() const {
        if (pid == 0) return "a writer that cannot be told";
        return "process " + std::to_string(pid) + (gone ? ", which has ended" : ", still running");
    }
};

Writer WriterOf(long pid, int64_t ageSeconds) {
    Writer writer;
    writer.pid = pid;
    writer.gone = pid > 0 ? !IsProcessAlive(pid) : ageSeconds > kAbandonedAfterSeconds;
    return writer;
}

std::string LeftBecauseRunning(const Writer& writer) {
    if (writer.pid == 0) {
        return "written less than ten minutes ago by a writer that cannot be told; check again "
               "later";
    }
    return "process " + std::to_string(writer.pid) +
           " is still running and may be writing it; check again when it has ended";
}

// ---- The physical walk of a configuration folder ------------------------------------------

std::string ToStorePath(std::string_view relative) {
    std::string path(relative);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ParentOf(const std::string& relative) {
    const size_t at = relative.rfind('/');
    return at == std::string::npos ? std::string() : relative.substr(0, at);
}

std::string JoinRelative(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "/" + name;
}

using TwinGroups = std::map<std::u16string, std::map<std::string, std::vector<std::string>>>;

struct TemporaryKey {
    bool folder = false;
    bool file = false;
    int64_t newestNs = 0;
};

class FolderChecker {
public:
    FolderChecker(const std::string& folder, Findings& findings)
        : m_folder(folder),
          m_store(platform::StoreFolder::Open(folder)),
          m_findings(findings),
          m_now(Now(findings.Options())) {}

    void Run() {
        platform::FolderScan scan;
        if (const int error = platform::ScanFolderTree(m_folder, scan); error != 0) {
            m_findings.Left(Kind::kUnreadable, m_folder,
                            "the configuration folder cannot be opened: " + ErrnoText(error),
                            "nothing was checked");
            return;
        }
        for (const auto& [relative, error] : scan.unreadable) {
            m_untouchable.insert(relative);
            m_findings.Left(Kind::kUnreadable, Native(relative),
                            "the folder cannot be listed: " + ErrnoText(error),
                            "the store sees nothing in it; give it read permission");
        }
        // Keys first: a twin or a half-built copy is a key, seen as a folder
        // and a value file together.
        // Folder -> folded key name -> key name -> its entries on disk.
        std::map<std::string, TwinGroups> keysByFolder;
        std::map<std::pair<std::string, std::string>, TemporaryKey> temporaryKeys;
        for (const platform::ScannedEntry& entry : scan.entries) CheckEntry(entry);
        for (const platform::ScannedEntry& entry : scan.entries) {
            if (entry.type != platform::ScannedType::kFolder &&
                !(entry.type == platform::ScannedType::kRegular && EndsWithIni(entry.name)))
                continue;
            if (entry.type == platform::ScannedType::kRegular &&
                platform::TemporaryFileOwner(entry.name))
                continue;
            const std::string keyName = entry.type == platform::ScannedType::kFolder
                                            ? entry.name
                                            : entry.name.substr(0, entry.name.size() - 4);
            const VUnicodeString name = VUnicodeString::FromUtf8(keyName);
            if (name.ToUtf8() != keyName) continue;  // reported as a name already
            const std::string parent = ParentOf(entry.relativePath);
            if (TemporaryKeyOwner(name.str())) {
                TemporaryKey& key = temporaryKeys[{parent, keyName}];
                (entry.type == platform::ScannedType::kFolder ? key.folder : key.file) = true;
                key.newestNs = std::max(key.newestNs, entry.modifiedNs);
                continue;
            }
            keysByFolder[parent][FoldNoCase(name.str())][keyName].push_back(entry.name);
        }
        for (const auto& [parent, groups] : keysByFolder) ReportTwins(parent, groups);
        for (const auto& [where, key] : temporaryKeys) MoveAside(where.first, where.second, key);

        VIniFileStoreFactory factory(VUnicodeString::FromUtf8(m_folder));
        VProfileStore store(!m_findings.Repairing(), &factory);
        LogicalWalk walk{m_findings, [this](std::u16string_view keyPath) {
                             const std::string relative = VUnicodeString(keyPath).ToUtf8();
                             std::string native = relative;
                             std::replace(native.begin(), native.end(), '\\', '/');
                             return !m_untouchable.count(native) &&
                                    !m_untouchable.count(native + ".ini");
                         }};
        WalkSessions(walk, store);
    }

private:
    std::string Native(const std::string& relative) const { return m_folder + "/" + relative; }

    void CheckEntry(const platform::ScannedEntry& entry) {
        const std::string path = Printable(Native(entry.relativePath));
        const VUnicodeString decoded = VUnicodeString::FromUtf8(entry.name);
        if (decoded.ToUtf8() != entry.name) {
            m_findings.Left(Kind::kUnusableName, path, "the name is not valid UTF-8",
                            "the store cannot list it; rename it");
        } else if (entry.name.find('\\') != std::string::npos) {
            m_findings.Left(Kind::kUnusableName, path,
                            "the name holds '\\', which the store reads as a key separator",
                            "the store cannot list it; rename it");
        }
        switch (entry.type) {
            case platform::ScannedType::kFolder:
                return;
            case platform::ScannedType::kSymbolicLink:
                m_untouchable.insert(entry.relativePath);
                m_findings.Left(Kind::kSymbolicLink, path,
                                "a symbolic link to '" + Printable(entry.linkTarget) +
                                    "'; the store never follows it",
                                "replace it with what it names, or remove it");
                return;
            case platform::ScannedType::kFifo:
            case platform::ScannedType::kCharacterDevice:
            case platform::ScannedType::kBlockDevice:
            case platform::ScannedType::kSocket:
            case platform::ScannedType::kOther:
                m_untouchable.insert(entry.relativePath);
                m_findings.Left(
                    Kind::kSpecialFile, path,
                    std::string(DescribeSpecial(entry.type)) + "; the store never opens it",
                    "remove it: a configuration folder holds only files and folders");
                return;
            case platform::ScannedType::kRegular:
                break;
        }
        if (const auto owner = platform::TemporaryFileOwner(entry.name)) {
            CheckTemporaryFile(entry, path, *owner);
            return;
        }
        if (EndsWithIni(entry.name)) CheckValueFile(entry, path);
        if (EndsWithIniInOtherCase(entry.name)) {
            const std::string stem = entry.name.substr(0, entry.name.size() - 4);
            m_findings.Left(
                Kind::kUnusableName, path,
                "the extension is not '.ini' in lower case, so the store never reads it",
                "rename it to '" + Printable(stem) + ".ini' if no such file is beside it");
        }
    }

    void CheckTemporaryFile(const platform::ScannedEntry& entry, const std::string& path,
                            long owner) {
        const Writer writer = WriterOf(owner, m_now - entry.modifiedNs / 1'000'000'000);
        const std::string what =
            "a temporary file of an interrupted save, written by " + writer.Describe();
        if (!writer.gone) {
            m_findings.Left(Kind::kTemporaryFile, path, what, LeftBecauseRunning(writer));
            return;
        }
        const std::string relative = entry.relativePath;
        m_findings.Repairable(
            Kind::kTemporaryFile, path, what,
            [&] {
                // Only the regular file that was found, never what took its name.
                const platform::FileStatus status = m_store->Status(relative);
                if (!status.exists) return ErrnoText(ENOENT);
                if (status.isFolder || status.special) return ErrnoText(EPERM);
                const int error = m_store->RemoveTree(relative);
                return error == 0 ? std::string() : ErrnoText(error);
            },
            "removed (the file it was to replace is whole)");
    }

    void CheckValueFile(const platform::ScannedEntry& entry, const std::string& path) {
        std::string bytes;
        const platform::ReadResult read =
            entry.size > kMaxValueFileSize
                ? platform::ReadResult::kTooLarge
                : m_store->Read(entry.relativePath, bytes, kMaxValueFileSize);
        if (read == platform::ReadResult::kTooLarge) {
            m_untouchable.insert(entry.relativePath);
            m_findings.Left(Kind::kValueFileTooLarge, path,
                            "the value file is larger than 16 MiB; the store does not read it",
                            "no file the store writes is this large: look at it, and move it "
                            "away or cut it down");
            return;
        }
        if (read == platform::ReadResult::kUnreadable) {
            m_untouchable.insert(entry.relativePath);
            m_findings.Left(Kind::kUnreadable, path, "the value file cannot be read",
                            "give it read permission");
            return;
        }
        VIniFileKey::Map map;
        const VIniParseResult parsed = VIniFileKey::ParseValueFile(bytes, map);
        if (parsed.stop == VIniStop::EndOfFile) return;
        m_untouchable.insert(entry.relativePath);
        m_findings.Left(Kind::kValueFileDamaged, path,
                        "the value file stops parsing at line " + std::to_string(parsed.line) +
                            " (" + DescribeIniStop(parsed.stop) + "); the store reads only the " +
                            std::to_string(map.GetSize()) +
                            (map.GetSize() == 1 ? " value" : " values") + " before it",
                        "a rewrite would drop the rest: mend the file by hand");
    }

    void ReportTwins(const std::string& parent, const TwinGroups& groups) {
        for (const auto& [folded, keys] : groups) {
            if (keys.size() < 2) continue;
            std::vector<std::string> entries;
            for (const auto& [key, names] : keys)
                entries.insert(entries.end(), names.begin(), names.end());
            std::string others;
            for (size_t i = 1; i < entries.size(); ++i)
                others += (others.empty() ? "'" : ", '") + Printable(entries[i]) + "'";
            m_findings.Left(
                Kind::kCaseTwin, Printable(Native(JoinRelative(parent, entries[0]))),
                "differs only in case from " + others + "; the store keeps both as separate keys",
                "a copy to a system that ignores case would keep only one: rename "
                "or merge them");
        }
    }

    void MoveAside(const std::string& parent, const std::string& name, const TemporaryKey& key) {
        const std::string storePath = ToStorePath(JoinRelative(parent, name));
        const Writer writer = WriterOf(*TemporaryKeyOwner(VUnicodeString::FromUtf8(name).str()),
                                       m_now - key.newestNs / 1'000'000'000);
        const std::string what = "a half-built copy left by " + writer.Describe();
        if (!writer.gone) {
            m_findings.Left(Kind::kHalfBuiltCopy, storePath, what, LeftBecauseRunning(writer));
            return;
        }
        const std::string recovered = Utf8(m_findings.Options().recoveredKey);
        std::string target;
        for (int n = 1;; ++n) {
            target = Stamp(m_now) + " " + name + (n > 1 ? " (" + std::to_string(n) + ")" : "");
            const std::string base = recovered + "/" + target;
            if (!m_store->Status(base).exists && !m_store->Status(base + ".ini").exists) break;
        }
        m_findings.Repairable(
            Kind::kHalfBuiltCopy, storePath, what,
            [&] {
                const std::string from = JoinRelative(parent, name);
                const std::string to = recovered + "/" + target;
                if (const int error = m_store->MakeFolders(recovered)) return ErrnoText(error);
                if (key.folder) {
                    if (const int error = m_store->Rename(from, to)) return ErrnoText(error);
                }
                if (key.file) {
                    if (const int error = m_store->Rename(from + ".ini", to + ".ini"))
                        return ErrnoText(error);
                }
                return std::string();
            },
            "moved aside to " + recovered + "\\" + target + " (nothing was deleted)");
    }

    std::string m_folder;
    // Every file the check reads, removes or moves is reached from the
    // folder's descriptor, never through a link.
    std::shared_ptr<platform::StoreFolder> m_store;
    Findings& m_findings;
    int64_t m_now;
    // Relative paths that no key may be opened through.
    std::unordered_set<std::string> m_untouchable;
};

// ---- The registry store ---------------------------------------------------------------

using KeyId = VRegistryHive::KeyId;

uint32_t CopyHiveTree(VRegistryHive& hive, KeyId from, KeyId toParent, std::u16string_view toName) {
    std::vector<uint8_t> security;
    const bool secured = hive.GetKeySecurity(from, security) == registry_error::kSuccess;
    KeyId to = VRegistryHive::kNoKey;
    if (uint32_t error = hive.CreateKey(toParent, toName, secured ? &security : nullptr, to))
        return error;
    std::vector<VRegistryHive::Entry> entries;
    if (uint32_t error = hive.List(from, true, entries)) return error;
    for (const auto& entry : entries) {
        uint32_t type = 0;
        std::vector<uint8_t> data;
        if (uint32_t error = hive.QueryValue(from, entry.name, type, data)) return error;
        if (uint32_t error = hive.SetValue(to, entry.name, type, data.data(), data.size()))
            return error;
    }
    if (uint32_t error = hive.List(from, false, entries)) return error;
    for (const auto& entry : entries) {
        KeyId child = VRegistryHive::kNoKey;
        if (uint32_t error = hive.FindKey(from, entry.name, child)) return error;
        if (uint32_t error = CopyHiveTree(hive, child, to, entry.name)) return error;
    }
    return registry_error::kSuccess;
}

// Whether two keys hold the same values and sub-keys, all the way down.
bool SameHiveTree(VRegistryHive& hive, KeyId a, KeyId b) {
    for (bool values : {true, false}) {
        std::vector<VRegistryHive::Entry> left;
        std::vector<VRegistryHive::Entry> right;
        if (hive.List(a, values, left) || hive.List(b, values, right)) return false;
        if (left.size() != right.size()) return false;
        for (size_t i = 0; i < left.size(); ++i) {
            if (left[i].name != right[i].name) return false;
            if (values) {
                uint32_t typeA = 0;
                uint32_t typeB = 0;
                std::vector<uint8_t> dataA;
                std::vector<uint8_t> dataB;
                if (hive.QueryValue(a, left[i].name, typeA, dataA) ||
                    hive.QueryValue(b, right[i].name, typeB, dataB) || typeA != typeB ||
                    dataA != dataB)
                    return false;
            } else {
                KeyId childA = VRegistryHive::kNoKey;
                KeyId childB = VRegistryHive::kNoKey;
                if (hive.FindKey(a, left[i].name, childA) ||
                    hive.FindKey(b, right[i].name, childB) || !SameHiveTree(hive, childA, childB))
                    return false;
            }
        }
    }
    return true;
}

// The temporary keys below `key`, which the walk over a folder's children
// never counts among them.
void CollectTemporaryKeys(VProfileKey& key, const std::u16string& keyPath,
                          std::vector<std::u16string>& found) {
    std::vector<VUnicodeString> names;
    {
        VProfileKeyIterator it(key, false);
        VUnicodeString name;
        while (it.Next(name)) names.push_back(name);
    }
    for (const VUnicodeString& name : names) {
        if (name.str() == kFolderDataKeyName) continue;
        if (TemporaryKeyOwner(name.str())) {
            found.push_back(JoinPath(keyPath, name.str()));
            continue;
        }
        VProfileKey child(key, name);
        if (SessionDatabase::IsFolder(child))
            CollectTemporaryKeys(child, JoinPath(keyPath, name.str()), found);
    }
}

// Moves a half-built copy under the recovered key: copied whole, compared,
// and only then removed from its old place. Empty on success, else why not.
std::string MoveHiveKey(VRegistryHive& hive, const std::u16string& base, const std::u16string& from,
                        const std::u16string& to) {
    const std::u16string fromPath = base.empty() ? from : base + u"\\" + from;
    const std::u16string toPath = base.empty() ? to : base + u"\\" + to;
    const size_t split = toPath.rfind(u'\\');
    KeyId source = VRegistryHive::kNoKey;
    if (hive.FindKey(VRegistryHive::kRootKey, fromPath, source)) return "the key is gone";
    KeyId existing = VRegistryHive::kNoKey;
    if (hive.FindKey(VRegistryHive::kRootKey, toPath, existing) == registry_error::kSuccess)
        return "'" + Utf8(to) + "' exists already";
    KeyId parent = VRegistryHive::kNoKey;
    if (uint32_t error =
            hive.CreateKey(VRegistryHive::kRootKey, toPath.substr(0, split), nullptr, parent))
        return "registry error " + std::to_string(error);
    if (uint32_t error = CopyHiveTree(hive, source, parent, toPath.substr(split + 1)))
        return "registry error " + std::to_string(error);
    KeyId copy = VRegistryHive::kNoKey;
    if (hive.FindKey(VRegistryHive::kRootKey, toPath, copy) || !SameHiveTree(hive, source, copy))
        return "the copy did not come out whole; the original is kept";
    if (uint32_t error = hive.DeleteKeyTree(VRegistryHive::kRootKey, fromPath))
        return "copied, but the original could not be removed (registry error " +
               std::to_string(error) + ")";
    return {};
}

}  // namespace

size_t StoreCheckResult::Count(StoreFindingOutcome outcome) const {
    return static_cast<size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [&](const StoreFinding& f) { return f.outcome == outcome; }));
}

bool StoreCheckResult::IsClean() const {
    return Count(StoreFindingOutcome::kRepaired) == findings.size();
}

StoreCheckResult CheckConfigurationFolder(const std::string& folder,
                                          const StoreCheckOptions& options) {
    StoreCheckResult result;
    Findings findings(options, result);
    FolderChecker(folder, findings).Run();
    return result;
}

StoreCheckResult CheckRegistryStore(VRegistryRoot root, const VUnicodeString& basePath,
                                    const std::filesystem::path& registryFolder,
                                    const StoreCheckOptions& options) {
    StoreCheckResult result;
    Findings findings(options, result);
    const std::filesystem::path file = VRegistryStore::HivePath(root, registryFolder);
    if (file.empty() || !platform::IsRegularFile(file)) {
        findings.Left(Kind::kUnreadable, file.string(), "there is no hive file",
                      "nothing was checked");
        return result;
    }
    uint32_t openError = 0;
    std::shared_ptr<VRegistryHive> hive = VRegistryHive::Open(file, options.repair, openError);
    if (!hive) {
        findings.Left(
            Kind::kUnreadable, file.string(),
            "the hive cannot be opened (registry error " + std::to_string(openError) + ")",
            "nothing was checked");
        return result;
    }
    const std::string integrity = hive->IntegrityCheck();
    const bool sound = integrity == "ok";
    if (!sound) {
        std::string line = integrity.substr(0, integrity.find('\n'));
        findings.Left(Kind::kHiveIntegrity, file.string(),
                      "SQLite's integrity check fails: " + line,
                      "restore the hive from a backup; nothing in it is repaired");
    }
    // A damaged hive is only read: a repair could spread the damage.
    StoreCheckOptions walkOptions = options;
    walkOptions.repair = options.repair && sound && hive->IsWritable();
    Findings walkFindings(walkOptions, result);
    VRegistryStoreFactory factory(root, basePath, registryFolder);
    // Half-built copies first: the order records are compared (and
    // rewritten) once they are out of the way.
    std::vector<std::u16string> temporaryKeys;
    {
        VProfileStore store(true, &factory);
        if (store.GetRootKey().SubKeyExists(kSessionsKeyName)) {
            VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
            CollectTemporaryKeys(sessions, kSessionsKeyName, temporaryKeys);
        }
    }
    const int64_t now = Now(options);
    for (const std::u16string& path : temporaryKeys) {
        const size_t at = path.rfind(u'\\');
        const std::u16string name = at == std::u16string::npos ? path : path.substr(at + 1);
        // The registry store builds a copy inside one transaction, so a
        // temporary key another process can see has no writer at work unless
        // its process still runs; one whose writer cannot be told is old.
        const long pid = *TemporaryKeyOwner(name);
        const Writer writer{pid, pid <= 0 || !IsProcessAlive(pid)};
        const std::string what = "a half-built copy left by " + writer.Describe();
        if (!writer.gone) {
            walkFindings.Left(Kind::kHalfBuiltCopy, Utf8(path), what, LeftBecauseRunning(writer));
            continue;
        }
        const std::u16string target =
            options.recoveredKey + u"\\" + VUnicodeString::FromUtf8(Stamp(now)).str() + u" " + name;
        walkFindings.Repairable(
            Kind::kHalfBuiltCopy, Utf8(path), what,
            [&] { return MoveHiveKey(*hive, basePath.str(), path, target); },
            "moved aside to " + Utf8(target) + " (nothing was deleted)");
    }
    {
        VProfileStore store(!walkOptions.repair, &factory);
        LogicalWalk walk{walkFindings, [](std::u16string_view) { return true; }, true};
        WalkSessions(walk, store);
    }
    if (options.repair && !walkOptions.repair) {
        for (StoreFinding& finding : result.findings) {
            if (finding.outcome != Outcome::kRepairable) continue;
            finding.outcome = Outcome::kLeftForPerson;
            finding.action = sound ? "the hive cannot be written"
                                   : "not repaired: the hive fails its integrity check";
        }
    }
    return result;
}

}  // namespace sessiondeck
