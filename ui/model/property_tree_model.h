// The option dialogs' frame without a toolkit: the tree of pages, the page on show, validation
// before a page is left, the page state map that outlives a dialog, and the keys that step
// through the tree. A view draws what the model tells it through IPropertyTreeView.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/model/property_tree.h"

namespace sessiondeck {

using PropertyNodeId = uint32_t;
inline constexpr PropertyNodeId kNoPropertyNode = 0;

// What the frame asks of its window. Node ids are the model's; a view keeps its own handle per
// id. The model never reads the control's selection or expansion back: every change the user
// asks for goes through the model first (OnSelect, OnExpand) and comes back as one of these.
class IPropertyTreeView {
public:
    virtual ~IPropertyTreeView() = default;
    virtual void SetTitle(std::u16string_view title) = 0;
    // Inserts a node under `parent` (none: top level) right after `after` (none: first).
    virtual void InsertNode(PropertyNodeId id, PropertyNodeId parent, PropertyNodeId after,
                            std::u16string_view label) = 0;
    virtual void DeleteNode(PropertyNodeId id) = 0;
    // Highlights a node (none: no node highlighted).
    virtual void SelectNode(PropertyNodeId id) = 0;
    virtual void ExpandNode(PropertyNodeId id, bool expand) = 0;
    // Hides the page on show and shows `page` (none: an empty page area).
    virtual void ShowPage(PropertyTreePage* page) = 0;
    virtual void SetCaption(std::u16string_view text) = 0;
    virtual void FocusTree() = 0;
};

// The keys the frame answers wherever the focus is in the dialog.
enum class PropertyTreeKey { kTab, kPageDown, kPageUp };

enum class PropertyTreeResult { kOpen = 0, kOk = 1, kCancel = 2 };

class PropertyTreeModel : public IPropertyTreeDialog {
public:
    // `stateMap` is the owning dialog kind's map; it must outlive the model.
    PropertyTreeModel(std::u16string title, PropertyPageStateMap& stateMap);
    ~PropertyTreeModel() override;
    PropertyTreeModel(const PropertyTreeModel&) = delete;
    PropertyTreeModel& operator=(const PropertyTreeModel&) = delete;

    // Set before Open by Session Options: opening does not select the first node by itself.
    bool keepSelection = false;
    // Set by Session Options while it changes its protocol pages: pages shown meanwhile come in
    // unselected, so the page the user is on stays on show.
    bool protocolUpdate = false;
    // Leaving a page does not validate it (hiding the page on show sets it for a moment).
    bool noValidation = false;

    // IPropertyTreeDialog
    void AddPage(PropertyTreePage* page) override;
    void RemovePage(PropertyTreePage* page) override;
    void ShowPage(PropertyTreePage* page) override;
    void HidePage(PropertyTreePage* page) override;
    PropertyPageStateMap& PageStateMap() override { return m_stateMap; }

    // Fills the view: the title, every top-level page with its sub-pages in order, and the
    // selection restored from the state map, or the first node. The view must outlive the model
    // or be detached with Close.
    void Open(IPropertyTreeView* view);
    // OK: the page on show must validate; true ends the dialog with kOk.
    bool Ok();
    void Cancel();
    PropertyTreeResult Result() const { return m_result; }
    // Forgets the view (the window is going away); the pages stay in the state map.
    void Close();

    // The user asks for `node`: validates the page on show (unless noValidation), activates the
    // new one, and only when both agree makes it current. False leaves everything as it was.
    bool OnSelect(PropertyNodeId node);
    // The user opened or closed a node; the state is kept in the map.
    void OnExpand(PropertyNodeId node, bool expanded);
    // Ctrl+Tab / Ctrl+PageDown go to the next visible node, Ctrl+Shift+Tab / Ctrl+PageUp to the
    // previous one, wrapping at either end. True when the key was the frame's.
    bool OnKey(PropertyTreeKey key, bool ctrl, bool shift);

    const std::u16string& Title() const { return m_title; }
    const std::vector<PropertyTreePage*>& TopLevelPages() const { return m_topLevel; }
    PropertyTreePage* CurrentPage() const { return m_current; }
    PropertyNodeId NodeOf(const PropertyTreePage* page) const;
    PropertyTreePage* PageOf(PropertyNodeId node) const;
    bool IsExpanded(PropertyNodeId node) const;
    // Nodes whose ancestors are all expanded, in the order the tree shows them.
    std::vector<PropertyNodeId> VisibleNodes() const;
    // The caption bar's text for a page: two blanks, then its caption text.
    static std::u16string CaptionBarText(const PropertyTreePage& page);

private:
    struct Node {
        PropertyTreePage* page = nullptr;
        PropertyNodeId parent = kNoPropertyNode;
        std::vector<PropertyNodeId> children;
        bool expanded = false;
    };

    PropertyNodeId Insert(PropertyTreePage* page, PropertyNodeId parent, PropertyNodeId after);
    void Remove(PropertyTreePage* page);
    bool Select(PropertyNodeId node);
    void StoreState(const PropertyTreePage& page);
    Node* Find(PropertyNodeId node);
    const Node* Find(PropertyNodeId node) const;
    // Where `page` belongs in the tree: its parent page (none at the top level) and the sibling
    // before it that is in the tree (none when it goes first).
    bool Locate(const PropertyTreePage* page, PropertyTreePage*& parent,
                PropertyTreePage*& previous) const;
    bool IsWithin(const PropertyTreePage* page, const PropertyTreePage* ancestor) const;
    std::vector<PropertyNodeId>& SiblingsOf(PropertyNodeId parent);

    std::u16string m_title;
    PropertyPageStateMap& m_stateMap;
    std::vector<PropertyTreePage*> m_topLevel;
    std::map<PropertyNodeId, Node> m_nodes;
    std::vector<PropertyNodeId> m_roots;
    PropertyNodeId m_nextId = 1;
    PropertyNodeId m_selected = kNoPropertyNode;
    PropertyTreePage* m_current = nullptr;
    IPropertyTreeView* m_view = nullptr;
    bool m_open = false;
    bool m_insertUnselected = false;
    PropertyTreeResult m_result = PropertyTreeResult::kOpen;
};

// Empties a dialog kind's page state map; hosts call it at shutdown.
void DeleteStateMap(PropertyPageStateMap& stateMap);

// The page states as the global configuration keeps them between processes, in two strings:
//
// - "... Tree Selected": the tree labels from the top level down to the selected page, each
//   followed by '+' ("Global+", "Terminal+Appearance+").
// - "... Tree State": one entry per page, "path=1" (expanded) or "path=0", the path written as
//   above, entries separated by ';' ("Terminal+=1;Terminal+Emulation+=0").
//   A text of '0' and '1' digits only (the shipped defaults) gives the pages' expanded states
//   in the order the tree shows them, all pages counted.
//
// Pages are found by their label path, so a page a module adds or leaves out moves no other
// page's state; entries for pages that are not there are skipped. A label holding '+', ';' or
// '=' is not written (it could not be read back unambiguously).
struct PersistedTreeState {
    std::u16string state;
    std::u16string selected;
};

// Puts the persisted states of `pages` (and their sub-pages) into `stateMap`, except for pages
// that already have an entry: the map of this process is newer than what was persisted. The
// selection is taken only when no page in the map is selected yet.
void SeedPageStateMap(PropertyPageStateMap& stateMap, const std::vector<PropertyTreePage*>& pages,
                      std::u16string_view treeState, std::u16string_view treeSelected);
// The strings to persist for `pages` as `stateMap` holds them. Entries of `previousState` for
// pages that are not among `pages` (a module that was not loaded this time) are kept. The
// selection is empty when no page is selected; the caller then keeps what it had.
PersistedTreeState PersistPageStateMap(const PropertyPageStateMap& stateMap,
                                       const std::vector<PropertyTreePage*>& pages,
                                       std::u16string_view previousState = {});

}  // namespace sessiondeck
