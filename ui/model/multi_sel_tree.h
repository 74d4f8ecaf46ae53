// Several selected nodes in the session tree, independent of its single caret: clicks with
// Ctrl and Shift, right-clicks, arrow keys, and the three selection lists commands read.
#pragma once

#include <functional>
#include <vector>

#include "ui/model/session_tree_model.h"

namespace sessiondeck {

// Modifier keys held during a click or key press.
struct KeyModifiers {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

// Keys the tree handles itself, besides those the dialog turns into commands. kParent is Left on
// a row that cannot close (a session, a closed folder) and kFirstChild Right on an open folder,
// as in any tree; Left and Right on a folder that can open or close do that instead.
enum class TreeKey { kUp, kDown, kHome, kEnd, kParent, kFirstChild };

class VMultiSelTreeCtrl {
public:
    // `changed` is the owner's hook, called after every change of the selection so that it can
    // update its enabling.
    explicit VMultiSelTreeCtrl(SessionTreeModel& tree, std::function<void()> changed = {});

    TreeNodeId Caret() const { return m_caret; }
    // Moves the caret alone (as the tree does on its own); the selection is not touched.
    void SetCaret(TreeNodeId node);
    TreeNodeId Anchor() const { return m_anchor; }

    void ClearSelection();
    // Makes `node` the caret and the only selected node (nothing when kNoNode).
    void SelectOnly(TreeNodeId node);
    void SetSelected(TreeNodeId node, bool selected);
    bool IsSelected(TreeNodeId node) const;
    // Selects the visible nodes from `anchor` to `end` in display order, either way round;
    // unless `add`, every other node is deselected.
    void SelectRange(TreeNodeId anchor, TreeNodeId end, bool add);
    void SetDescendantsSelection(TreeNodeId node, bool selected);
    // Collapses `folder`, which deselects everything inside it. A caret inside moves to the
    // folder, since a hidden row cannot hold it (the tree would open the folder again to show
    // it); the folder is selected too when the collapse left nothing selected, as a
    // single-selection tree moves its selection up.
    void Collapse(TreeNodeId folder);

    TreeNodeId GetFirstSelectedItem() const;
    TreeNodeId GetNextSelectedItem(TreeNodeId after) const;
    size_t SelectedCount() const;

    // A click on a node's label or icon (clicks elsewhere never reach the model).
    void Click(TreeNodeId node, KeyModifiers keys);
    // A right-click on a node: a selected node keeps the selection and takes the caret, any
    // other node becomes the selection alone.
    void RightClick(TreeNodeId node);
    // Moves the caret as the tree does and selects as the modifiers say; false when the caret
    // could not move (already at that end).
    bool KeyDown(TreeKey key, KeyModifiers keys);

    // Every selected node once, in display order.
    std::vector<TreeNodeId> AsSelected() const;
    // Selected nodes none of whose ancestors is selected.
    std::vector<TreeNodeId> TopMost() const;
    // Every selected session and every session inside a selected folder, each once, loading
    // folders that were never loaded; no folders.
    std::vector<TreeNodeId> Sessions();

private:
    void Changed();

    SessionTreeModel& m_tree;
    std::function<void()> m_changed;
    TreeNodeId m_caret = kNoNode;
    TreeNodeId m_anchor = kNoNode;
};

}  // namespace sessiondeck
