// The session manager's filter over the index, and the keyboard moves in user-arranged order.
#include <functional>
#include <unordered_set>

#include "session/session_database.h"
#include "ui/model/session_deck_model.h"

namespace sessiondeck {

void SessionDeckModel::StartFilterIndex(std::function<void()> readyOnAnyThread) {
    if (readyOnAnyThread) m_filterReady = std::move(readyOnAnyThread);
    m_filterIndex->Start(m_filterReady);
}

void SessionDeckModel::OutdateFilterIndex() {
    // An index never started has read nothing yet; one under way stops at its next session.
    if (!m_filterIndex->Started()) return;
    m_filterIndex = std::make_unique<SessionFilterIndex>();
    // The read was wanted (the dialog opened, or text was typed): it starts over at once, so a
    // filter waiting for it shows without another keystroke, and the next one need not wait.
    StartFilterIndex();
}

SessionFilterIndex* SessionDeckModel::IndexToFollowChange() {
    if (m_filterIndex->Ready()) return m_filterIndex.get();
    OutdateFilterIndex();
    return nullptr;
}

SessionDeckModel::FilterState SessionDeckModel::Filter() const {
    if (m_filterShown) return FilterState::kShown;
    return m_filterPending ? FilterState::kPending : FilterState::kOff;
}

SessionDeckModel::FilterState SessionDeckModel::SetFilter(const VUnicodeString& text) {
    m_filterText = text;
    if (text.IsEmpty()) {
        m_filterPending = false;
        if (m_filterShown) RestoreUnfiltered();
        return FilterState::kOff;
    }
    StartFilterIndex();
    m_filterPending = true;
    return ApplyPendingFilter();
}

SessionDeckModel::FilterState SessionDeckModel::ApplyPendingFilter() {
    if (m_filterPending && m_filterIndex->Ready()) {
        m_filterPending = false;
        ShowFilterMatches();
    }
    return Filter();
}

SessionDeckModel::TreeSnapshot SessionDeckModel::Snapshot() const {
    TreeSnapshot snapshot;
    for (TreeNodeId node : m_tree.AllNodes())
        if (m_tree.IsFolder(node))
            snapshot.folders.emplace_back(m_tree.Path(node), m_tree.Node(node).expanded);
    for (TreeNodeId node : m_selection.AsSelected()) snapshot.selected.push_back(m_tree.Path(node));
    if (m_tree.IsValid(m_selection.Caret())) {
        snapshot.hasCaret = true;
        snapshot.caret = m_tree.Path(m_selection.Caret());
    }
    return snapshot;
}

void SessionDeckModel::ShowFilterMatches() {
    if (!m_filterShown) {
        m_unfiltered = Snapshot();
        m_filterShown = true;
    }
    // Nodes go away: an edit, a drag and the cut mark end with them (a cut entry is still on
    // the clipboard by path and pastes as before).
    m_editing = kNoNode;
    m_newFolderPending = false;
    m_cutNode = kNoNode;
    DragLeave();
    m_dragSource = kNoNode;

    const SessionFilterIndex& index = *m_filterIndex;
    const auto& folders = index.Folders();
    const auto& sessions = index.Sessions();
    const std::u16string folded = FoldNoCase(m_filterText.str());
    std::vector<char> sessionShown(sessions.size()), folderShown(folders.size());
    for (size_t i = 0; i < sessions.size(); ++i) {
        const auto& session = sessions[i];
        if (session.gone || !SessionFilterIndex::Shows(session, m_tree.Host(), m_tree.Options()) ||
            !index.Matches(session, folded))
            continue;
        sessionShown[i] = 1;
        for (int at = session.folder; at >= 0 && !folderShown[at]; at = folders[at].parent)
            folderShown[at] = 1;
    }

    m_tree.ResetToRoot();
    m_selection.SetCaret(kNoNode);  // the old caret's node is gone
    const bool sorted = m_tree.Options().sortAlphabetical;
    TreeNodeId firstSession = kNoNode;
    // Folders before sessions in every folder, each kind in the order the tree would give it.
    std::function<void(int, TreeNodeId)> insert = [&](int folder, TreeNodeId node) {
        for (int child : sorted ? folders[folder].foldersSorted : folders[folder].folders) {
            if (!folderShown[child]) continue;
            const TreeNodeId childNode =
                m_tree.Insert(node, TreeItemKind::kFolder, folders[child].name);
            auto& added = m_tree.Node(childNode);
            added.loaded = added.expanded = added.everExpanded = true;
            insert(child, childNode);
        }
        for (int session : sorted ? folders[folder].sessionsSorted : folders[folder].sessions) {
            if (!sessionShown[session]) continue;
            const TreeNodeId added =
                m_tree.Insert(node, TreeItemKind::kSession, sessions[session].name);
            if (firstSession == kNoNode) firstSession = added;
        }
    };
    if (!folders.empty() && folderShown[0]) insert(0, m_tree.Root());
    // Every folder is open and each one's sub-folders come before its sessions, so the first
    // session inserted is the first in display order: Enter connects it.
    if (firstSession != kNoNode) {
        m_selection.SetSelected(firstSession, true);  // the new nodes are all unselected
        m_selection.SetCaret(firstSession);
    } else {
        m_selection.ClearSelection();  // tells the owner, as every other outcome does
    }
}

void SessionDeckModel::RestoreUnfiltered() {
    m_filterShown = false;
    m_editing = kNoNode;
    m_newFolderPending = false;
    m_cutNode = kNoNode;
    DragLeave();
    m_dragSource = kNoNode;
    m_selection.ClearSelection();
    const TreeSnapshot snapshot = std::move(m_unfiltered);
    m_unfiltered = {};
    m_tree.Fill();
    std::unordered_set<std::u16string> open;
    for (const auto& [path, expanded] : snapshot.folders)
        if (expanded) open.insert(path.str());
    // Top-down, so a folder opens after everything above it; a folder open inside a closed
    // one stays open without opening its parent, as it was.
    for (TreeNodeId node : m_tree.AllNodes())
        if (m_tree.IsFolder(node) && open.contains(m_tree.Path(node).str())) m_tree.Expand(node);
    // A selected node was visible, so its folders are open again and it is found without
    // opening anything; one that went meanwhile (deleted while filtered) is left out.
    auto find = [&](const VUnicodeString& path) {
        TreeNodeId at = m_tree.Root();
        for (const std::u16string_view part : SessionDatabase::PathParts(path)) {
            at = m_tree.FindChild(at, part);
            if (at == kNoNode) break;
        }
        return at;
    };
    for (const VUnicodeString& path : snapshot.selected) {
        const TreeNodeId node = find(path);
        if (node != kNoNode) m_selection.SetSelected(node, true);
    }
    if (snapshot.hasCaret) {
        const TreeNodeId caret = find(snapshot.caret);
        if (caret != kNoNode) m_selection.SetCaret(caret);
    }
}

bool SessionDeckModel::MoveSelected(bool up) {
    if (m_tree.Options().sortAlphabetical || m_editing != kNoNode) return false;
    const auto selected = m_selection.AsSelected();
    if (selected.size() != 1 || selected.front() == m_tree.Root()) return false;
    const TreeNodeId node = selected.front();
    // Folders and sessions keep orders of their own: the neighbour is the next entry of the
    // same kind.
    const TreeNodeId neighbour = up ? m_tree.PreviousSibling(node) : m_tree.NextSibling(node);
    if (!m_tree.IsValid(neighbour) || m_tree.Node(neighbour).kind != m_tree.Node(node).kind)
        return false;
    SessionDatabase db;
    const bool moved = !db.Reorder(m_tree.Path(node), m_tree.Node(neighbour).label, !up).IsEmpty();
    if (auto* index = IndexToFollowChange())
        index->Reordered(m_tree.Path(m_tree.Node(node).parent));
    if (!moved) {
        ReportDatabaseFailure(db, u"ERROR: Could not move the item.");
        return false;
    }
    m_tree.MoveBefore(node, up ? neighbour : m_tree.NextSibling(neighbour));
    m_selection.SelectOnly(node);
    return true;
}

}  // namespace sessiondeck
