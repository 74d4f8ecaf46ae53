// Multi-selection of the session tree: gestures and selection lists.
#include "ui/model/multi_sel_tree.h"

#include <algorithm>

namespace sessiondeck {

VMultiSelTreeCtrl::VMultiSelTreeCtrl(SessionTreeModel& tree, std::function<void()> changed)
    : m_tree(tree), m_changed(std::move(changed)) {}

void VMultiSelTreeCtrl::Changed() {
    if (m_changed) m_changed();
}

void VMultiSelTreeCtrl::SetCaret(TreeNodeId node) {
    m_caret = m_tree.IsValid(node) ? node : kNoNode;
}

void VMultiSelTreeCtrl::Collapse(TreeNodeId folder) {
    if (!m_tree.IsFolder(folder)) return;
    m_tree.Collapse(folder);
    if (m_tree.IsAncestor(folder, m_caret)) {
        if (SelectedCount() == 0) {
            SelectOnly(folder);
            return;
        }
        m_caret = folder;
    }
    Changed();
}

void VMultiSelTreeCtrl::ClearSelection() {
    for (TreeNodeId id : m_tree.AllNodes()) m_tree.Node(id).selected = false;
    Changed();
}

void VMultiSelTreeCtrl::SelectOnly(TreeNodeId node) {
    for (TreeNodeId id : m_tree.AllNodes()) m_tree.Node(id).selected = id == node;
    if (m_tree.IsValid(node)) m_caret = node;
    Changed();
}

void VMultiSelTreeCtrl::SetSelected(TreeNodeId node, bool selected) {
    if (!m_tree.IsValid(node)) return;
    m_tree.Node(node).selected = selected;
    Changed();
}

bool VMultiSelTreeCtrl::IsSelected(TreeNodeId node) const {
    return m_tree.IsValid(node) && m_tree.Node(node).selected;
}

void VMultiSelTreeCtrl::SelectRange(TreeNodeId anchor, TreeNodeId end, bool add) {
    const auto visible = m_tree.VisibleNodes();
    auto from = std::find(visible.begin(), visible.end(), anchor);
    auto to = std::find(visible.begin(), visible.end(), end);
    if (to == visible.end()) return;
    if (from == visible.end()) from = to;  // an anchor that scrolled out of view starts anew
    if (from > to) std::swap(from, to);
    if (!add)
        for (TreeNodeId id : m_tree.AllNodes()) m_tree.Node(id).selected = false;
    for (auto it = from; it <= to; ++it) m_tree.Node(*it).selected = true;
    Changed();
}

void VMultiSelTreeCtrl::SetDescendantsSelection(TreeNodeId node, bool selected) {
    if (!m_tree.IsValid(node)) return;
    for (TreeNodeId id : m_tree.AllNodes())
        if (m_tree.IsAncestor(node, id)) m_tree.Node(id).selected = selected;
    Changed();
}

TreeNodeId VMultiSelTreeCtrl::GetFirstSelectedItem() const {
    for (TreeNodeId id : m_tree.AllNodes())
        if (m_tree.Node(id).selected) return id;
    return kNoNode;
}

TreeNodeId VMultiSelTreeCtrl::GetNextSelectedItem(TreeNodeId after) const {
    const auto all = m_tree.AllNodes();
    auto it = std::find(all.begin(), all.end(), after);
    if (it == all.end()) return kNoNode;
    for (++it; it != all.end(); ++it)
        if (m_tree.Node(*it).selected) return *it;
    return kNoNode;
}

size_t VMultiSelTreeCtrl::SelectedCount() const {
    return AsSelected().size();
}

void VMultiSelTreeCtrl::Click(TreeNodeId node, KeyModifiers keys) {
    if (!m_tree.IsValid(node)) return;
    if (keys.shift) {
        if (m_anchor == kNoNode) m_anchor = m_caret != kNoNode ? m_caret : node;
        m_caret = node;
        SelectRange(m_anchor, node, keys.ctrl);
        return;
    }
    m_anchor = kNoNode;
    if (keys.ctrl) {
        m_tree.Node(node).selected = !m_tree.Node(node).selected;
        m_caret = node;
        Changed();
        return;
    }
    SelectOnly(node);
}

void VMultiSelTreeCtrl::RightClick(TreeNodeId node) {
    if (!m_tree.IsValid(node)) return;
    if (m_tree.Node(node).selected) {
        m_caret = node;
        return;
    }
    m_anchor = kNoNode;
    SelectOnly(node);
}

bool VMultiSelTreeCtrl::KeyDown(TreeKey key, KeyModifiers keys) {
    const auto visible = m_tree.VisibleNodes();
    if (visible.empty()) return false;
    auto at = std::find(visible.begin(), visible.end(), m_caret);
    TreeNodeId next = kNoNode;
    switch (key) {
        case TreeKey::kUp:
            if (at != visible.end() && at != visible.begin()) next = *(at - 1);
            if (at == visible.end()) next = visible.front();
            break;
        case TreeKey::kDown:
            if (at != visible.end() && at + 1 != visible.end()) next = *(at + 1);
            if (at == visible.end()) next = visible.front();
            break;
        case TreeKey::kHome:
            next = visible.front();
            break;
        case TreeKey::kEnd:
            next = visible.back();
            break;
        case TreeKey::kParent:
            if (at != visible.end()) next = m_tree.Node(m_caret).parent;
            break;
        case TreeKey::kFirstChild:
            if (at != visible.end() && m_tree.IsFolder(m_caret) && m_tree.Node(m_caret).expanded &&
                !m_tree.Node(m_caret).children.empty())
                next = m_tree.Node(m_caret).children.front();
            break;
    }
    if (!m_tree.IsValid(next) || next == m_caret) return false;
    if (m_anchor == kNoNode) m_anchor = m_caret != kNoNode ? m_caret : next;
    m_caret = next;
    if (keys.shift) {
        SelectRange(m_anchor, next, false);
    } else {
        m_anchor = kNoNode;
        SelectOnly(next);
    }
    return true;
}

std::vector<TreeNodeId> VMultiSelTreeCtrl::AsSelected() const {
    std::vector<TreeNodeId> out;
    for (TreeNodeId id : m_tree.AllNodes())
        if (m_tree.Node(id).selected) out.push_back(id);
    return out;
}

std::vector<TreeNodeId> VMultiSelTreeCtrl::TopMost() const {
    std::vector<TreeNodeId> out;
    for (TreeNodeId id : AsSelected()) {
        bool covered = false;
        for (TreeNodeId up = m_tree.Node(id).parent; m_tree.IsValid(up);
             up = m_tree.Node(up).parent)
            covered = covered || m_tree.Node(up).selected;
        if (!covered) out.push_back(id);
    }
    return out;
}

std::vector<TreeNodeId> VMultiSelTreeCtrl::Sessions() {
    std::vector<TreeNodeId> out;
    // Top-most nodes first: a session inside a selected folder is then met once, through it.
    std::vector<TreeNodeId> pending = TopMost();
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const TreeNodeId id = pending.back();
        pending.pop_back();
        if (m_tree.IsSession(id)) {
            out.push_back(id);
            continue;
        }
        m_tree.LoadSessions(id);
        const auto& children = m_tree.Node(id).children;
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return out;
}

}  // namespace sessiondeck
