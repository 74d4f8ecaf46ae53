// Cut, Copy, Paste, the copy and move operations and drag and drop of the session manager:
// every change goes to the session database first and reaches the tree only when it worked.
#include "session/session_database.h"
#include "ui/model/session_deck_model.h"

namespace sessiondeck {

namespace {
bool IsInside(const VUnicodeString& path, const VUnicodeString& folder) {
    // Without case, as the store compares names.
    const std::u16string& p = path.str();
    return p.size() > folder.Length() && p[folder.Length()] == u'\\' &&
           VUnicodeString(p.substr(0, folder.Length())).EqualsNoCase(folder);
}
}  // namespace

void SessionDeckModel::ClearCut() {
    if (m_tree.IsValid(m_cutNode)) m_tree.Node(m_cutNode).cut = false;
    m_cutNode = kNoNode;
}

bool SessionDeckModel::CutOrCopy(bool cut) {
    const auto selected = m_selection.AsSelected();
    if (selected.size() != 1 || selected.front() == m_tree.Root()) return false;
    const TreeNodeId node = selected.front();
    ClearCut();
    FolderTreeRecord record;
    record.sourceNode = node;
    record.sourcePath = m_tree.Path(node);
    record.second = m_tree.Path(m_tree.Node(node).parent);
    record.move = cut;
    const auto bytes = record.Encode();
    if (!bytes || !m_services.clipboard->Put(*bytes)) {
        ShowWarning(u"ERROR: Unable to copy item to clipboard");
        return false;
    }
    if (cut) {
        m_tree.Node(node).cut = true;
        m_cutNode = node;
    }
    m_clipboardFilled = true;
    return true;
}

bool SessionDeckModel::Paste() {
    if (!m_clipboardFilled) return false;
    const auto bytes = m_services.clipboard->Get();
    const auto record = bytes ? FolderTreeRecord::Decode(*bytes) : std::nullopt;
    if (!record) return false;
    if (!SessionDatabase::Exists(record->sourcePath)) {
        ShowWarning(u"Item '" + SessionDatabase::LeafName(record->sourcePath) +
                    u"' is no longer available for pasting");
        DisablePaste();
        return false;
    }
    const auto selected = m_selection.AsSelected();
    if (selected.empty()) return false;
    const TreeNodeId target = selected.front();
    // The handle is trusted only while it still names the recorded path.
    TreeNodeId source = record->sourceNode;
    if (!m_tree.IsValid(source) || !m_tree.Path(source).EqualsNoCase(record->sourcePath))
        source = m_tree.FindPath(record->sourcePath);
    if (source == kNoNode) return false;  // filtered out of this tree
    if (record->move && source == target) {
        DisablePaste();
        ClearCut();
        return false;
    }
    const TreeNodeId folder = m_tree.IsFolder(target) ? target : m_tree.Node(target).parent;
    const VUnicodeString& name = m_tree.Node(source).label;
    VUnicodeString before;
    if (m_tree.Options().sortAlphabetical) {
        before = BeforeLabel(folder, m_tree.Node(source).kind, name, source);
    } else if (m_tree.IsSession(source) && m_tree.IsSession(target)) {
        const TreeNodeId next = m_tree.NextSibling(target);
        if (m_tree.IsValid(next)) before = m_tree.Node(next).label;  // right after the target
    }
    m_tree.LoadSessions(folder);
    TreeNodeId placed = kNoNode;
    if (record->move) {
        placed = MoveTo(source, folder, before);
        if (placed != kNoNode) {
            ClearCut();
            DisablePaste();  // the cut is used up: its source is gone
        }
    } else {
        placed = CopyTo(source, folder, before);
    }
    if (placed == kNoNode) return false;
    m_tree.Expand(folder);
    m_selection.SelectOnly(placed);
    return true;
}

TreeNodeId SessionDeckModel::CopyTo(TreeNodeId source, TreeNodeId targetFolder,
                                    const VUnicodeString& before) {
    return CopyOrMove(source, targetFolder, before, false);
}

TreeNodeId SessionDeckModel::MoveTo(TreeNodeId source, TreeNodeId targetFolder,
                                    const VUnicodeString& before) {
    if (!m_tree.IsValid(source) || m_tree.Node(source).parent == targetFolder) return kNoNode;
    return CopyOrMove(source, targetFolder, before, true);
}

TreeNodeId SessionDeckModel::CopyOrMove(TreeNodeId source, TreeNodeId targetFolder,
                                        const VUnicodeString& before, bool move) {
    if (!m_tree.IsValid(source) || !m_tree.IsFolder(targetFolder)) return kNoNode;
    const VUnicodeString sourcePath = m_tree.Path(source);
    const VUnicodeString targetPath = m_tree.Path(targetFolder);
    const VUnicodeString name = m_tree.Node(source).label;
    const bool isFolder = m_tree.IsFolder(source);
    if (isFolder && source == targetFolder) {
        ShowWarning(u"Cannot copy a folder into itself");
        return kNoNode;
    }
    if (isFolder && (m_tree.IsAncestor(source, targetFolder) || IsInside(targetPath, sourcePath))) {
        ShowWarning(u"Cannot copy or move a parent folder into a child");
        return kNoNode;
    }
    const bool ownFolder = m_tree.Node(source).parent == targetFolder;
    const bool taken = !ownFolder && SessionDatabase::IsNameInUse(targetPath, name);
    if (taken && isFolder) {
        ShowWarning(name + u" already exists in the target folder");
        return kNoNode;
    }
    SessionDatabase db;
    VUnicodeString newPath;
    if (move && !taken) {
        // The store moves the entry whole, so a failure cannot leave it half copied.
        newPath = db.MoveTo(sourcePath, targetPath, before, true);
    } else {
        newPath = db.Copy(sourcePath, targetPath, true, before, true);
        if (move && !newPath.IsEmpty() && !db.Remove(sourcePath)) {
            // Whatever of it the failed removal left.
            if (auto* index = IndexToFollowChange()) index->Refresh(sourcePath);
            ReportDatabaseFailure(db,
                                  u"ERROR: Deletion of folder or session from the database failed");
            move = false;  // both exist now; the tree shows both
        }
    }
    if (auto* index = IndexToFollowChange()) {
        if (move) index->Refresh(sourcePath);
        if (!newPath.IsEmpty()) index->Refresh(newPath);
    }
    if (newPath.IsEmpty()) {
        ReportDatabaseFailure(db, isFolder ? u"ERROR: Could not copy the folder."
                                           : u"ERROR: Could not copy the session.");
        return kNoNode;
    }
    if (move) {
        if (source == m_cutNode) m_cutNode = kNoNode;
        m_tree.Remove(source);
    }
    const VUnicodeString newName = SessionDatabase::LeafName(newPath);
    if (!m_tree.Node(targetFolder).loaded) return m_tree.FindPath(newPath);  // loads it
    const TreeItemKind kind = isFolder ? TreeItemKind::kFolder : TreeItemKind::kSession;
    TreeNodeId at = m_tree.InsertionPoint(targetFolder, kind, newName);
    if (!m_tree.Options().sortAlphabetical && !before.IsEmpty()) {
        const TreeNodeId named = m_tree.FindChild(targetFolder, before.str());
        if (named != kNoNode && m_tree.Node(named).kind == kind) at = named;
    }
    if (isFolder) return m_tree.InsertFolderSubtree(targetFolder, newName, at);
    return m_tree.Insert(targetFolder, kind, newName, at);
}

FolderTreeRecord SessionDeckModel::DragRecord() const {
    FolderTreeRecord record;
    if (!m_tree.IsValid(m_dragSource)) return record;
    const TreeNodeId parent = m_tree.Node(m_dragSource).parent;
    record.sourceNode = m_dragSource;
    record.sourcePath = m_tree.Path(m_dragSource);
    record.second =
        parent == m_tree.Root() ? VUnicodeString(kRootLabel) : m_tree.Node(parent).label;
    record.move = true;
    return record;
}

bool SessionDeckModel::BeginDrag(TreeNodeId node) {
    if (!m_tree.IsValid(node) || node == m_tree.Root() || m_editing != kNoNode) return false;
    m_dragSource = node;
    m_selection.SetCaret(node);
    return true;
}

DropEffect SessionDeckModel::DragEffect(TreeNodeId node, KeyModifiers keys) const {
    if (!m_tree.IsValid(node) || !m_tree.IsValid(m_dragSource)) return DropEffect::kNone;
    DropEffect effect = DropEffect::kNone;
    if (!keys.alt && !keys.shift)
        effect = DropEffect::kCopy;  // no key, or Ctrl alone
    else if (keys.alt && !keys.ctrl && !keys.shift)
        effect = DropEffect::kMove;
    if (m_tree.IsFolder(m_dragSource) &&
        (node == m_dragSource || m_tree.IsAncestor(m_dragSource, node)))
        return DropEffect::kNone;  // into itself or its own subtree
    if (!m_tree.Options().sortAlphabetical && m_dropPosition != DropPosition::kOn &&
        m_tree.Node(node).kind != m_tree.Node(m_dragSource).kind &&
        m_tree.Node(node).parent == m_tree.Node(m_dragSource).parent)
        return DropEffect::kNone;  // folders and sessions keep their own order
    return effect;
}

DropEffect SessionDeckModel::DragOver(TreeNodeId node, int y, int rowHeight, KeyModifiers keys) {
    if (node != m_dropHighlight) {
        if (m_hoverTimerRunning && m_services.timer) m_services.timer->Stop(kHoverTimerId);
        m_hoverTimerRunning = false;
        m_dropHighlight = node;
    } else if (!m_hoverTimerRunning && node != kNoNode) {
        if (m_services.timer) m_services.timer->Start(kHoverTimerId, kHoverMilliseconds);
        m_hoverTimerRunning = true;
    }
    m_dropPosition = DropPosition::kOn;
    if (!m_tree.Options().sortAlphabetical) {
        if (y <= 3)
            m_dropPosition = DropPosition::kAbove;
        else if (y >= rowHeight - 3)
            m_dropPosition = DropPosition::kBelow;
    }
    m_dropEffect = DragEffect(node, keys);
    return m_dropEffect;
}

std::optional<DropLine> SessionDeckModel::InsertionLine() const {
    if (!m_tree.IsValid(m_dropHighlight) || m_dropEffect == DropEffect::kNone ||
        m_tree.Options().sortAlphabetical || m_dropHighlight == m_dragSource)
        return std::nullopt;
    // The middle of a folder's row drops into the folder; the middle of a session's row drops
    // above the session, as Drop places it.
    if (m_dropPosition == DropPosition::kOn && m_tree.IsFolder(m_dropHighlight))
        return std::nullopt;
    return DropLine{m_dropHighlight, m_dropPosition == DropPosition::kBelow};
}

void SessionDeckModel::DragLeave() {
    if (m_hoverTimerRunning && m_services.timer) m_services.timer->Stop(kHoverTimerId);
    m_hoverTimerRunning = false;
    m_dropHighlight = kNoNode;
    m_dropEffect = DropEffect::kNone;
}

void SessionDeckModel::OnTimer(unsigned id) {
    if (id != kHoverTimerId || !m_hoverTimerRunning) return;
    if (m_services.timer) m_services.timer->Stop(kHoverTimerId);
    m_hoverTimerRunning = false;
    if (m_tree.IsFolder(m_dropHighlight)) m_tree.Expand(m_dropHighlight);
}

TreeNodeId SessionDeckModel::Drop(KeyModifiers keys) {
    const TreeNodeId node = m_dropHighlight;
    const DropEffect effect = DragEffect(node, keys);
    const TreeNodeId source = m_dragSource;
    DragLeave();
    m_dragSource = kNoNode;
    if (effect == DropEffect::kNone) return kNoNode;
    const bool move = effect == DropEffect::kMove;
    if (m_tree.Options().sortAlphabetical ||
        (m_dropPosition == DropPosition::kOn && m_tree.IsFolder(node))) {
        // Onto a folder row's middle in user-arranged order: into it, at its end.
        const TreeNodeId folder = m_tree.IsFolder(node) ? node : m_tree.Node(node).parent;
        const VUnicodeString before =
            m_tree.Options().sortAlphabetical
                ? BeforeLabel(folder, m_tree.Node(source).kind, m_tree.Node(source).label, source)
                : VUnicodeString();
        m_tree.LoadSessions(folder);
        const TreeNodeId placed =
            move ? MoveTo(source, folder, before) : CopyTo(source, folder, before);
        if (placed != kNoNode) m_selection.SelectOnly(placed);
        return placed;
    }
    const bool after = m_dropPosition == DropPosition::kBelow;
    const TreeNodeId folder = m_tree.Node(node).parent;
    if (node == source) return kNoNode;
    if (folder == m_tree.Node(source).parent) {
        SessionDatabase db;
        const bool moved =
            !db.Reorder(m_tree.Path(source), m_tree.Node(node).label, after).IsEmpty();
        if (auto* index = IndexToFollowChange()) index->Reordered(m_tree.Path(folder));
        if (!moved) {
            ReportDatabaseFailure(db, u"ERROR: Could not move the item.");
            return kNoNode;
        }
        m_tree.MoveBefore(source, after ? m_tree.NextSibling(node) : node);
        m_selection.SelectOnly(source);
        return source;
    }
    VUnicodeString before;
    const TreeNodeId next = after ? m_tree.NextSibling(node) : node;
    if (m_tree.IsValid(next) && m_tree.Node(next).kind == m_tree.Node(source).kind)
        before = m_tree.Node(next).label;
    const TreeNodeId placed =
        move ? MoveTo(source, folder, before) : CopyTo(source, folder, before);
    if (placed != kNoNode) m_selection.SelectOnly(placed);
    return placed;
}

}  // namespace sessiondeck
