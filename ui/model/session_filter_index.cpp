// The filter index: one read of the whole store, folded once, on the index's own thread.
#include "ui/model/session_filter_index.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <unordered_set>

#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_database.h"

namespace sessiondeck {

namespace {

// Adds a folded text to a field, one line per distinct text.
void AddText(std::u16string& field, const VUnicodeString& text) {
    if (text.IsEmpty()) return;
    std::u16string folded = FoldNoCase(text.str());
    if (field == folded) return;  // both sides on the same host, say
    if (!field.empty()) field += u'\n';
    field += folded;
}

SessionFilterIndex::Session ReadSession(VProfileKey& folderKey, const VUnicodeString& name,
                                        int folder) {
    VProfileKey key(folderKey, name);
    SessionFilterIndex::Session entry;
    entry.folder = folder;
    entry.name = name;
    entry.foldedName = FoldNoCase(name.str());
    entry.terminalProtocol = SessionTreeModel::HasOwnProtocol(key, true);
    entry.transferProtocol = SessionTreeModel::HasOwnProtocol(key, false);
    auto* config = new SessionConfig(name, &key);
    for (ConnectConfig* side :
         {config->GetTermConnectConfig(), config->GetTransferConnectConfig()}) {
        if (!side) continue;
        AddText(entry.foldedHost, side->GetHostname());
        AddText(entry.foldedUser, side->GetUsername());
    }
    const VStringArray& lines = config->description.Get();
    for (size_t i = 0; i < lines.GetSize(); ++i) {
        if (i) entry.foldedDescription += u'\n';
        entry.foldedDescription += FoldNoCase(lines[i].str());
    }
    config->Release();
    return entry;
}

template <class Name>
std::vector<int> SortedByName(const std::vector<int>& ids, Name name) {
    std::vector<int> sorted = ids;
    // Stable, as the tree inserts an entry after the ones whose names equal it.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](int a, int b) { return name(a).CompareNoCase(name(b).str()) < 0; });
    return sorted;
}

using Folders = std::vector<SessionFilterIndex::Folder>;
using Sessions = std::vector<SessionFilterIndex::Session>;

// Appends the folder `name` of `parent` (its entries still to be read) and returns its index.
int AddFolder(Folders& folders, int parent, const VUnicodeString& name) {
    const int child = static_cast<int>(folders.size());
    SessionFilterIndex::Folder entry;
    entry.path = SessionDatabase::JoinPath(folders[parent].path, name);
    entry.name = name;
    entry.parent = parent;
    folders.push_back(std::move(entry));
    folders[parent].folders.push_back(child);
    return child;
}

// The alphabetical lists of the folders from `first` on, once their entries are read.
void SortFolders(Folders& folders, const Sessions& sessions, size_t first) {
    for (size_t at = first; at < folders.size(); ++at) {
        auto& folder = folders[at];
        folder.foldersSorted = SortedByName(
            folder.folders, [&](int id) -> const VUnicodeString& { return folders[id].name; });
        folder.sessionsSorted = SortedByName(
            folder.sessions, [&](int id) -> const VUnicodeString& { return sessions[id].name; });
    }
}

}  // namespace

SessionFilterIndex::~SessionFilterIndex() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
}

void SessionFilterIndex::Start(std::function<void()> ready) {
    if (m_started) return;
    m_started = true;
    m_readyCallback = std::move(ready);
    m_thread = std::jthread([this](std::stop_token stop) { Build(stop); });
}

void SessionFilterIndex::BuildNow() {
    if (m_started) return;
    m_started = true;
    Build(std::stop_token());
}

bool SessionFilterIndex::WaitReady(int milliseconds) const {
    std::unique_lock lock(m_mutex);
    return m_readyChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                   [this] { return m_settled; });
}

void SessionFilterIndex::Build(std::stop_token stop) {
    std::vector<Folder> folders(1);
    std::vector<Session> sessions;
    ReadFolder(stop, 0, folders, sessions);
    if (stop.stop_requested()) return;
    SortFolders(folders, sessions, 0);
    {
        std::lock_guard lock(m_mutex);
        m_folders = std::move(folders);
        m_sessions = std::move(sessions);
        m_ready.store(true, std::memory_order_release);
    }
    if (m_readyCallback) m_readyCallback();
    {
        // Waiters return after the callback, so a caller that waited has seen it run.
        std::lock_guard lock(m_mutex);
        m_settled = true;
    }
    m_readyChanged.notify_all();
}

void SessionFilterIndex::ReadFolder(std::stop_token& stop, int folder, std::vector<Folder>& folders,
                                    std::vector<Session>& sessions) {
    // Read-only: the index never writes, not even a folder's order record.
    const SessionDatabase db(kSessionDatabaseReadOnly);
    const VUnicodeString path = folders[folder].path;
    VStringArray names;
    db.GetSessionList(path, names);
    {
        VProfileStore store(true);
        VProfileKey folderKey(store.GetRootKey(), SessionDatabase::KeyPath(path));
        for (const VUnicodeString& name : names) {
            if (stop.stop_requested()) return;
            if (path.IsEmpty() && name.EqualsNoCase(kDefaultSessionName)) continue;
            folders[folder].sessions.push_back(static_cast<int>(sessions.size()));
            sessions.push_back(ReadSession(folderKey, name, folder));
            m_progress.fetch_add(1, std::memory_order_relaxed);
        }
    }
    VStringArray subFolders;
    db.GetFolderList(path, subFolders);
    for (const VUnicodeString& name : subFolders) {
        if (stop.stop_requested()) return;
        ReadFolder(stop, AddFolder(folders, folder, name), folders, sessions);
    }
}

int SessionFilterIndex::FindFolder(const VUnicodeString& path) const {
    if (m_folders.empty()) return -1;
    int at = 0;
    for (const std::u16string_view part : SessionDatabase::PathParts(path)) {
        const auto& children = m_folders[at].folders;
        const auto found = std::find_if(children.begin(), children.end(), [&](int child) {
            return m_folders[child].name.EqualsNoCase(part);
        });
        if (found == children.end()) return -1;
        at = *found;
    }
    return at;
}

void SessionFilterIndex::DropBelow(int folder) {
    for (int session : m_folders[folder].sessions) m_sessions[session].gone = true;
    for (int child : m_folders[folder].folders) DropBelow(child);
}

void SessionFilterIndex::Drop(int folder, const std::unordered_set<std::u16string>& folded) {
    Folder& entry = m_folders[folder];
    std::erase_if(entry.sessions, [&](int session) {
        if (!folded.contains(m_sessions[session].foldedName)) return false;
        m_sessions[session].gone = true;
        return true;
    });
    std::erase_if(entry.folders, [&](int child) {
        if (!folded.contains(FoldNoCase(m_folders[child].name.str()))) return false;
        DropBelow(child);
        return true;
    });
}

void SessionFilterIndex::ApplyOrder(int folder, const VStringArray& sessionNames,
                                    const VStringArray& folderNames) {
    // By folded name: a folder of ten thousand sessions is put in order without a search per
    // name. Case twins (names differing in case only, which a store comparing names exactly keeps
    // apart) share a folded name: each stored name takes the entry spelt the same, else the
    // first one left.
    auto order = [](std::vector<int>& ids, const VStringArray& names, auto nameOf, auto foldedOf) {
        std::unordered_map<std::u16string, std::vector<size_t>> byName;  // places in `ids`
        for (size_t at = 0; at < ids.size(); ++at) byName[foldedOf(ids[at])].push_back(at);
        std::vector<char> taken(ids.size());
        std::vector<int> ordered;
        ordered.reserve(ids.size());
        for (size_t i = 0; i < names.GetSize(); ++i) {
            const auto found = byName.find(FoldNoCase(names[i].str()));
            if (found == byName.end()) continue;
            std::vector<size_t>& places = found->second;
            auto place = std::find_if(places.begin(), places.end(), [&](size_t at) {
                return nameOf(ids[at]).str() == names[i].str();
            });
            if (place == places.end()) place = places.begin();
            taken[*place] = 1;
            ordered.push_back(ids[*place]);
            places.erase(place);
            if (places.empty()) byName.erase(found);
        }
        // Whatever the listing no longer names keeps its place at the end; the next refresh
        // of it drops it.
        for (size_t at = 0; at < ids.size(); ++at)
            if (!taken[at]) ordered.push_back(ids[at]);
        ids = std::move(ordered);
    };
    Folder& entry = m_folders[folder];
    auto sessionName = [&](int id) -> const VUnicodeString& { return m_sessions[id].name; };
    auto folderName = [&](int id) -> const VUnicodeString& { return m_folders[id].name; };
    order(entry.sessions, sessionNames, sessionName,
          [&](int id) -> const std::u16string& { return m_sessions[id].foldedName; });
    order(entry.folders, folderNames, folderName,
          [&](int id) { return FoldNoCase(m_folders[id].name.str()); });
    entry.sessionsSorted = SortedByName(entry.sessions, sessionName);
    entry.foldersSorted = SortedByName(entry.folders, folderName);
}

void SessionFilterIndex::Refresh(const VUnicodeString& path) {
    if (!path.IsEmpty())
        Refresh(SessionDatabase::ParentPath(path), {SessionDatabase::LeafName(path)});
}

void SessionFilterIndex::Refresh(const VUnicodeString& folderPath,
                                 const std::vector<VUnicodeString>& names) {
    if (!Ready() || names.empty()) return;
    const int folder = FindFolder(folderPath);
    if (folder < 0) return;  // made since the index was read (by another process): never shown
    std::unordered_set<std::u16string> folded;
    for (const VUnicodeString& name : names) folded.insert(FoldNoCase(name.str()));
    Drop(folder, folded);
    const SessionDatabase db(kSessionDatabaseReadOnly);
    VStringArray sessionNames, folderNames;
    db.GetSessionList(folderPath, sessionNames);
    db.GetFolderList(folderPath, folderNames);
    VProfileStore store(true);
    VProfileKey folderKey(store.GetRootKey(), SessionDatabase::KeyPath(folderPath));
    for (const VUnicodeString& stored : sessionNames) {
        if (!folded.contains(FoldNoCase(stored.str()))) continue;
        if (folderPath.IsEmpty() && stored.EqualsNoCase(kDefaultSessionName)) continue;
        m_folders[folder].sessions.push_back(static_cast<int>(m_sessions.size()));
        m_sessions.push_back(ReadSession(folderKey, stored, folder));
    }
    std::stop_token never;
    for (const VUnicodeString& stored : folderNames) {
        if (!folded.contains(FoldNoCase(stored.str()))) continue;
        const int child = AddFolder(m_folders, folder, stored);
        ReadFolder(never, child, m_folders, m_sessions);
        SortFolders(m_folders, m_sessions, static_cast<size_t>(child));
    }
    ApplyOrder(folder, sessionNames, folderNames);
}

void SessionFilterIndex::Renamed(const VUnicodeString& folderPath, const VUnicodeString& oldName,
                                 const VUnicodeString& newName) {
    if (!Ready()) return;
    const int folder = FindFolder(folderPath);
    if (folder < 0) return;
    // The entry spelt as the dialog showed it: a case twin of it (a name differing in case only,
    // which a store comparing names exactly keeps apart) is another entry. Without one spelt
    // so, the entry differing in case only is the one.
    const Folder& entries = m_folders[folder];
    const bool spelt =
        std::any_of(entries.sessions.begin(), entries.sessions.end(),
                    [&](int id) { return m_sessions[id].name.str() == oldName.str(); }) ||
        std::any_of(entries.folders.begin(), entries.folders.end(),
                    [&](int id) { return m_folders[id].name.str() == oldName.str(); });
    const auto renamed = [&](const VUnicodeString& name) {
        return spelt ? name.str() == oldName.str() : name.EqualsNoCase(oldName);
    };
    for (int session : m_folders[folder].sessions) {
        Session& entry = m_sessions[session];
        if (!renamed(entry.name)) continue;
        entry.name = newName;
        entry.foldedName = FoldNoCase(newName.str());
    }
    std::function<void(int)> repath = [&](int id) {
        m_folders[id].path =
            SessionDatabase::JoinPath(m_folders[m_folders[id].parent].path, m_folders[id].name);
        for (int child : m_folders[id].folders) repath(child);
    };
    for (int child : m_folders[folder].folders) {
        if (!renamed(m_folders[child].name)) continue;
        m_folders[child].name = newName;
        repath(child);
    }
    Reordered(folderPath);
}

void SessionFilterIndex::Reordered(const VUnicodeString& folderPath) {
    if (!Ready()) return;
    const int folder = FindFolder(folderPath);
    if (folder < 0) return;
    const SessionDatabase db(kSessionDatabaseReadOnly);
    VStringArray sessionNames, folderNames;
    db.GetSessionList(folderPath, sessionNames);
    db.GetFolderList(folderPath, folderNames);
    ApplyOrder(folder, sessionNames, folderNames);
}

VUnicodeString SessionFilterIndex::Path(int session) const {
    const Session& entry = m_sessions[session];
    return SessionDatabase::JoinPath(m_folders[entry.folder].path, entry.name);
}

bool SessionFilterIndex::Matches(const Session& session, std::u16string_view folded) const {
    if (folded.empty()) return true;
    for (const std::u16string* field : {&session.foldedName, &session.foldedHost,
                                        &session.foldedUser, &session.foldedDescription})
        if (std::u16string_view(*field).find(folded) != std::u16string_view::npos) return true;
    return false;
}

bool SessionFilterIndex::Shows(const Session& session, const SessionDeckHost& host,
                               const SessionTreeOptions& options) {
    const bool terminal = host.IsTerminalHost();
    const bool override =
        terminal ? options.showTransferOnlySessions : options.showTerminalOnlySessions;
    if (override) return true;
    return terminal ? session.terminalProtocol : session.transferProtocol;
}

}  // namespace sessiondeck
