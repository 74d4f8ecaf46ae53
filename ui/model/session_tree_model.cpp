// The session manager's tree: filling, lazy session loading, filtering and node bookkeeping.
#include "ui/model/session_tree_model.h"

#include <algorithm>
#include <cassert>

#include "app/init.h"
#include "app/siblings.h"
#include "session/connect_config.h"
#include "session/session_database.h"

namespace sessiondeck {

SessionDeckHost SessionDeckHost::FromLibrary() {
    SessionDeckHost host;
    host.product = ToProduct(GetCurrentAppProductID());
    host.terminalAppInstalled = IsVetralonOrVetraInstalled();
    host.transferAppInstalled = IsFerrivoInstalled();
    // The library has no separate launch check for the transfer application: being able to
    // launch it means it is installed.
    host.canLaunchFileTransferApp = host.transferAppInstalled;
    host.integrated = IsIntegrated();
    return host;
}

SessionTreeModel::SessionTreeModel(const SessionDeckHost& host, const SessionTreeOptions& options)
    : m_host(host), m_options(options) {
    m_slots.emplace_back();  // slot 0 stands for "no node"
}

namespace {
uint32_t SlotOf(TreeNodeId id) {
    return static_cast<uint32_t>(id);
}
uint32_t GenerationOf(TreeNodeId id) {
    return static_cast<uint32_t>(id >> 32);
}
}  // namespace

bool SessionTreeModel::IsValid(TreeNodeId id) const {
    const uint32_t slot = SlotOf(id);
    return slot != 0 && slot < m_slots.size() && m_slots[slot].live &&
           m_slots[slot].generation == GenerationOf(id);
}

const SessionTreeNode& SessionTreeModel::Node(TreeNodeId id) const {
    assert(IsValid(id));
    return *m_slots[SlotOf(id)].node;
}

SessionTreeNode& SessionTreeModel::Node(TreeNodeId id) {
    assert(IsValid(id));
    return *m_slots[SlotOf(id)].node;
}

bool SessionTreeModel::IsFolder(TreeNodeId id) const {
    return IsValid(id) && Node(id).kind == TreeItemKind::kFolder;
}

bool SessionTreeModel::IsSession(TreeNodeId id) const {
    return IsValid(id) && Node(id).kind == TreeItemKind::kSession;
}

void SessionTreeModel::Clear() {
    if (IsValid(m_root)) Remove(m_root);
    m_root = kNoNode;
}

void SessionTreeModel::ResetToRoot() {
    Clear();
    m_root = Insert(kNoNode, TreeItemKind::kFolder, VUnicodeString(kRootLabel));
    auto& root = Node(m_root);
    root.loaded = root.expanded = root.everExpanded = true;
}

void SessionTreeModel::Fill() {
    Clear();
    m_root = Insert(kNoNode, TreeItemKind::kFolder, VUnicodeString(kRootLabel));
    FillFolders(m_root, VUnicodeString());
}

void SessionTreeModel::FillFolders(TreeNodeId node, const VUnicodeString& path) {
    VStringArray folders;
    SessionDatabase().GetFolderList(path, folders);
    for (const auto& name : folders) {
        const TreeNodeId child = Insert(node, TreeItemKind::kFolder, name,
                                        InsertionPoint(node, TreeItemKind::kFolder, name));
        FillFolders(child, SessionDatabase::JoinPath(path, name));
    }
}

VUnicodeString SessionTreeModel::Path(TreeNodeId id) const {
    std::vector<const VUnicodeString*> labels;
    for (TreeNodeId at = id; IsValid(at) && at != m_root; at = Node(at).parent)
        labels.push_back(&Node(at).label);
    VUnicodeString path;
    for (auto it = labels.rbegin(); it != labels.rend(); ++it) {
        if (!path.IsEmpty()) path += u'\\';
        path += **it;
    }
    return path;
}

int SessionTreeModel::Image(TreeNodeId id) const {
    return IsFolder(id) ? kImageFolderClosed : kImageSession;
}

int SessionTreeModel::SelectedImage(TreeNodeId id) const {
    return IsFolder(id) ? kImageFolderOpen : kImageSession;
}

bool SessionTreeModel::HasExpander(TreeNodeId id) const {
    if (!IsFolder(id)) return false;
    const auto& node = Node(id);
    return !node.everExpanded || !node.children.empty();
}

bool SessionTreeModel::HasOwnProtocol(VProfileKey& key, bool terminal, bool alone) {
    return SessionDatabase::HasMatchingProtocol(
        terminal ? ConnectConfigPtr::kTerminalMode : ConnectConfigPtr::kTransferMode, key, alone);
}

void SessionTreeModel::LoadSessions(TreeNodeId folder) {
    if (!IsFolder(folder) || Node(folder).loaded) return;
    Node(folder).loaded = true;
    const VUnicodeString path = Path(folder);
    VStringArray sessions;
    SessionDatabase().GetSessionList(path, sessions);
    std::vector<const VUnicodeString*> shown;
    {
        const bool terminal = m_host.IsTerminalHost();
        const bool all =
            terminal ? m_options.showTransferOnlySessions : m_options.showTerminalOnlySessions;
        // One store and one folder key for the whole folder: opening the store again for each
        // session's protocol would cost more than reading the session.
        VProfileStore store(true);
        VProfileKey folderKey(store.GetRootKey(), SessionDatabase::KeyPath(path));
        for (const auto& name : sessions) {
            if (path.IsEmpty() && name.EqualsNoCase(kDefaultSessionName)) continue;
            if (!all) {
                VProfileKey key(folderKey, name);
                if (!HasOwnProtocol(key, terminal, true)) continue;
            }
            shown.push_back(&name);
        }
    }
    // A folder without sessions yet takes them in order at its end; looking for each one's
    // place would cost a pass over the folder per session.
    bool append = true;
    for (TreeNodeId child : Node(folder).children)
        if (Node(child).kind == TreeItemKind::kSession) append = false;
    if (append && m_options.sortAlphabetical)
        std::stable_sort(shown.begin(), shown.end(),
                         [](const VUnicodeString* a, const VUnicodeString* b) {
                             return a->CompareNoCase(b->str()) < 0;
                         });
    for (const VUnicodeString* name : shown)
        Insert(folder, TreeItemKind::kSession, *name,
               append ? kNoNode : InsertionPoint(folder, TreeItemKind::kSession, *name));
}

void SessionTreeModel::Expand(TreeNodeId folder) {
    if (!IsFolder(folder)) return;
    LoadSessions(folder);
    Node(folder).expanded = true;
    Node(folder).everExpanded = true;
}

void SessionTreeModel::Collapse(TreeNodeId folder) {
    if (!IsFolder(folder)) return;
    Node(folder).expanded = false;
    std::vector<TreeNodeId> inside;
    for (TreeNodeId child : Node(folder).children) Collect(child, false, inside);
    for (TreeNodeId id : inside) Node(id).selected = false;
}

void SessionTreeModel::Toggle(TreeNodeId folder) {
    if (!IsFolder(folder)) return;
    if (Node(folder).expanded)
        Collapse(folder);
    else
        Expand(folder);
}

bool SessionTreeModel::IsAncestor(TreeNodeId ancestor, TreeNodeId node) const {
    if (!IsValid(node)) return false;
    for (TreeNodeId at = Node(node).parent; IsValid(at); at = Node(at).parent)
        if (at == ancestor) return true;
    return false;
}

TreeNodeId SessionTreeModel::FindChild(TreeNodeId folder, std::u16string_view label) const {
    if (!IsFolder(folder)) return kNoNode;
    // An exact match wins over one that differs in case: two names that differ only in case
    // may both exist in a configuration folder on Linux.
    TreeNodeId loose = kNoNode;
    for (TreeNodeId child : Node(folder).children) {
        if (Node(child).label.str() == label) return child;
        if (loose == kNoNode && Node(child).label.EqualsNoCase(label)) loose = child;
    }
    return loose;
}

TreeNodeId SessionTreeModel::FindPath(const VUnicodeString& path) {
    TreeNodeId at = m_root;
    if (!IsValid(at)) return kNoNode;
    for (const std::u16string_view part : SessionDatabase::PathParts(path)) {
        Expand(at);
        at = FindChild(at, part);
        if (at == kNoNode) return kNoNode;
    }
    return at;
}

TreeNodeId SessionTreeModel::Insert(TreeNodeId parent, TreeItemKind kind,
                                    const VUnicodeString& label, TreeNodeId before) {
    uint32_t slot = 0;
    if (m_freeSlots.empty()) {
        slot = static_cast<uint32_t>(m_slots.size());
        m_slots.push_back(Slot{std::make_unique<SessionTreeNode>()});
    } else {
        slot = m_freeSlots.back();
        m_freeSlots.pop_back();
    }
    Slot& taken = m_slots[slot];
    taken.live = true;
    ++taken.generation;  // an old handle of this slot stays invalid
    SessionTreeNode& node = *taken.node;
    node.kind = kind;
    node.label = label;  // into the removed node's label storage when it is large enough
    node.parent = parent;
    const TreeNodeId id = (static_cast<TreeNodeId>(taken.generation) << 32) | slot;
    if (IsValid(parent)) {
        auto& siblings = Node(parent).children;
        // Appending is the common case (a folder's sessions in order); no search for it.
        if (before == kNoNode)
            siblings.push_back(id);
        else
            siblings.insert(std::find(siblings.begin(), siblings.end(), before), id);
    }
    return id;
}

TreeNodeId SessionTreeModel::InsertionPoint(TreeNodeId parent, TreeItemKind kind,
                                            const VUnicodeString& label) const {
    if (!IsValid(parent)) return kNoNode;
    for (TreeNodeId child : Node(parent).children) {
        const auto& node = Node(child);
        if (node.kind == kind) {
            if (m_options.sortAlphabetical && node.label.CompareNoCase(label) > 0) return child;
        } else if (kind == TreeItemKind::kFolder) {
            return child;  // the first session: folders come first
        }
    }
    return kNoNode;
}

TreeNodeId SessionTreeModel::InsertFolderSubtree(TreeNodeId parent, const VUnicodeString& label,
                                                 TreeNodeId before) {
    const TreeNodeId folder = Insert(parent, TreeItemKind::kFolder, label, before);
    const VUnicodeString path = Path(folder);
    FillFolders(folder, path);
    // Folders the database remembers as open are shown open again, with their sessions.
    std::vector<TreeNodeId> nodes;
    Collect(folder, false, nodes);
    for (TreeNodeId id : nodes)
        if (IsFolder(id) && SessionDatabase().IsExpanded(Path(id))) Expand(id);
    return folder;
}

void SessionTreeModel::Remove(TreeNodeId id) {
    if (!IsValid(id)) return;
    std::vector<TreeNodeId> nodes;
    Collect(id, false, nodes);
    const TreeNodeId parent = Node(id).parent;
    if (IsValid(parent)) {
        auto& siblings = Node(parent).children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    }
    m_freeSlots.reserve(m_freeSlots.size() + nodes.size());
    for (TreeNodeId node : nodes) {
        Slot& slot = m_slots[SlotOf(node)];
        SessionTreeNode& gone = *slot.node;
        // Back to a new node's state, keeping the label's and the children's storage; the
        // session is released now, as a removed node's always was.
        gone.children.clear();
        gone.loaded = gone.expanded = gone.everExpanded = gone.selected = gone.cut = false;
        gone.session.Reset();
        slot.live = false;
        m_freeSlots.push_back(SlotOf(node));
    }
    if (id == m_root) m_root = kNoNode;
}

void SessionTreeModel::Relabel(TreeNodeId id, const VUnicodeString& label) {
    if (!IsValid(id)) return;
    Node(id).label = label;
    Node(id).session.Reset();  // its path changed with it
}

void SessionTreeModel::MoveBefore(TreeNodeId id, TreeNodeId before) {
    if (!IsValid(id) || id == before) return;
    const TreeNodeId parent = Node(id).parent;
    if (!IsValid(parent)) return;
    auto& siblings = Node(parent).children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    siblings.insert(std::find(siblings.begin(), siblings.end(), before), id);
}

ISessionConfig* SessionTreeModel::Session(TreeNodeId id) {
    if (!IsSession(id)) return nullptr;
    auto& node = Node(id);
    if (!node.session)
        node.session = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(Path(id)));
    return node.session.Get();
}

void SessionTreeModel::Collect(TreeNodeId id, bool visibleOnly,
                               std::vector<TreeNodeId>& out) const {
    out.push_back(id);
    const auto& node = Node(id);
    if (visibleOnly && !node.expanded) return;
    for (TreeNodeId child : node.children) Collect(child, visibleOnly, out);
}

std::vector<TreeNodeId> SessionTreeModel::VisibleNodes() const {
    std::vector<TreeNodeId> out;
    if (IsValid(m_root)) Collect(m_root, true, out);
    return out;
}

std::vector<TreeNodeId> SessionTreeModel::AllNodes() const {
    std::vector<TreeNodeId> out;
    if (IsValid(m_root)) Collect(m_root, false, out);
    return out;
}

TreeNodeId SessionTreeModel::NextSibling(TreeNodeId id) const {
    if (!IsValid(id) || !IsValid(Node(id).parent)) return kNoNode;
    const auto& siblings = Node(Node(id).parent).children;
    auto at = std::find(siblings.begin(), siblings.end(), id);
    return (at == siblings.end() || at + 1 == siblings.end()) ? kNoNode : *(at + 1);
}

TreeNodeId SessionTreeModel::PreviousSibling(TreeNodeId id) const {
    if (!IsValid(id) || !IsValid(Node(id).parent)) return kNoNode;
    const auto& siblings = Node(Node(id).parent).children;
    auto at = std::find(siblings.begin(), siblings.end(), id);
    return (at == siblings.begin() || at == siblings.end()) ? kNoNode : *(at - 1);
}

}  // namespace sessiondeck
