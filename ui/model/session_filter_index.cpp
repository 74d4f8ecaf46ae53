// The filter index: one read of the whole store, folded once, on the index's own thread.
#include "ui/model/session_filter_index.h"

#include <algorithm>
#include <chrono>

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

template <class Name>
std::vector<int> SortedByName(const std::vector<int>& ids, Name name) {
    std::vector<int> sorted = ids;
    // Stable, as the tree inserts an entry after the ones whose names equal it.
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](int a, int b) { return name(a).CompareNoCase(name(b).str()) < 0; });
    return sorted;
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
    for (Folder& folder : folders) {
        folder.foldersSorted = SortedByName(
            folder.folders, [&](int id) -> const VUnicodeString& { return folders[id].name; });
        folder.sessionsSorted = SortedByName(
            folder.sessions, [&](int id) -> const VUnicodeString& { return sessions[id].name; });
    }
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
            VProfileKey key(folderKey, name);
            Session entry;
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
            folders[folder].sessions.push_back(static_cast<int>(sessions.size()));
            sessions.push_back(std::move(entry));
            m_progress.fetch_add(1, std::memory_order_relaxed);
        }
    }
    VStringArray subFolders;
    db.GetFolderList(path, subFolders);
    for (const VUnicodeString& name : subFolders) {
        if (stop.stop_requested()) return;
        const int child = static_cast<int>(folders.size());
        Folder entry;
        entry.path = SessionDatabase::JoinPath(path, name);
        entry.name = name;
        entry.parent = folder;
        folders.push_back(std::move(entry));
        folders[folder].folders.push_back(child);
        ReadFolder(stop, child, folders, sessions);
    }
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
