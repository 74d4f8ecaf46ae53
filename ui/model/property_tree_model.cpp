// The option dialogs' frame: tree, page on show, validation before leaving, state map, keys.
#include "ui/model/property_tree_model.h"

#include <algorithm>
#include <cassert>
#include <optional>

namespace sessiondeck {

PropertyTreeModel::PropertyTreeModel(std::u16string title, PropertyPageStateMap& stateMap)
    : m_title(std::move(title)), m_stateMap(stateMap) {}

PropertyTreeModel::~PropertyTreeModel() = default;

void PropertyTreeModel::AddPage(PropertyTreePage* page) {
    assert(page);
    if (!page || std::find(m_topLevel.begin(), m_topLevel.end(), page) != m_topLevel.end()) return;
    m_topLevel.push_back(page);
}

void PropertyTreeModel::RemovePage(PropertyTreePage* page) {
    const auto it = std::find(m_topLevel.begin(), m_topLevel.end(), page);
    if (it == m_topLevel.end()) return;
    // A page leaving the list while on show leaves the tree first, so no node is left pointing
    // at a page the owner may be about to delete.
    if (NodeOf(page) != kNoPropertyNode) HidePage(page);
    m_topLevel.erase(std::find(m_topLevel.begin(), m_topLevel.end(), page));
}

void PropertyTreeModel::Open(IPropertyTreeView* view) {
    m_view = view;
    m_open = true;
    m_result = PropertyTreeResult::kOpen;
    if (m_view) m_view->SetTitle(m_title);
    for (PropertyTreePage* page : m_topLevel)
        Insert(page, kNoPropertyNode, m_roots.empty() ? kNoPropertyNode : m_roots.back());
    // A selection restored from the state map stands. Without one the first node is selected,
    // unless the owner said it selects a page of its own choosing.
    if (!m_current && !keepSelection && !m_roots.empty()) Select(m_roots.front());
    if (m_view) m_view->FocusTree();
}

bool PropertyTreeModel::Ok() {
    // A dialog without a page on show has nothing to check.
    if (m_current && !m_current->Validate()) return false;
    m_result = PropertyTreeResult::kOk;
    return true;
}

void PropertyTreeModel::Cancel() {
    m_result = PropertyTreeResult::kCancel;
}

void PropertyTreeModel::Close() {
    m_view = nullptr;
    m_open = false;
}

PropertyNodeId PropertyTreeModel::Insert(PropertyTreePage* page, PropertyNodeId parent,
                                         PropertyNodeId after) {
    const auto found = m_stateMap.find(page->Caption());
    if (found != m_stateMap.end()) {
        page->expanded = found->second.expanded;
        page->selected = found->second.selected;
    }
    if (m_insertUnselected) page->selected = false;
    StoreState(*page);

    const PropertyNodeId id = m_nextId++;
    Node node;
    node.page = page;
    node.parent = parent;
    m_nodes.emplace(id, node);
    auto& siblings = SiblingsOf(parent);
    const auto place = std::find(siblings.begin(), siblings.end(), after);
    siblings.insert(place == siblings.end() ? siblings.begin() : place + 1, id);
    if (m_view) m_view->InsertNode(id, parent, after, page->TreeLabel());

    PropertyNodeId last = kNoPropertyNode;
    for (PropertyTreePage* child : page->Children()) last = Insert(child, id, last);

    if (page->expanded) {
        Find(id)->expanded = true;
        if (m_view) m_view->ExpandNode(id, true);
    }
    if (page->selected && !Select(id)) {
        // The page on show refused to be left, or this one to come on show: it stays unselected.
        page->selected = false;
        StoreState(*page);
    }
    return id;
}

bool PropertyTreeModel::OnSelect(PropertyNodeId node) {
    if (!Find(node)) return false;
    return Select(node);
}

bool PropertyTreeModel::Select(PropertyNodeId node) {
    if (node == m_selected) return true;
    PropertyTreePage* next = PageOf(node);
    if (!next) return false;
    if (m_current && !noValidation && !m_current->Validate()) return false;
    if (!next->Activate()) return false;

    if (m_current) {
        m_current->selected = false;
        StoreState(*m_current);
    }
    next->selected = true;
    StoreState(*next);
    m_current = next;
    m_selected = node;
    if (m_view) {
        m_view->SelectNode(node);
        m_view->ShowPage(next);
        m_view->SetCaption(CaptionBarText(*next));
    }
    return true;
}

void PropertyTreeModel::OnExpand(PropertyNodeId node, bool expanded) {
    Node* entry = Find(node);
    if (!entry) return;
    entry->expanded = expanded;
    entry->page->expanded = expanded;
    StoreState(*entry->page);
}

bool PropertyTreeModel::OnKey(PropertyTreeKey key, bool ctrl, bool shift) {
    if (!ctrl) return false;
    const bool forward = key == PropertyTreeKey::kTab ? !shift : key == PropertyTreeKey::kPageDown;
    const auto visible = VisibleNodes();
    if (visible.empty()) return true;
    const auto at = std::find(visible.begin(), visible.end(), m_selected);
    PropertyNodeId target;
    if (at == visible.end()) {
        target = forward ? visible.front() : visible.back();
    } else {
        const auto index = static_cast<std::size_t>(at - visible.begin());
        target = forward ? visible[(index + 1) % visible.size()]
                         : visible[(index + visible.size() - 1) % visible.size()];
    }
    Select(target);
    return true;
}

void PropertyTreeModel::ShowPage(PropertyTreePage* page) {
    if (!m_open || !page || NodeOf(page) != kNoPropertyNode) return;
    PropertyTreePage* parent = nullptr;
    PropertyTreePage* previous = nullptr;
    if (!Locate(page, parent, previous)) return;
    const PropertyNodeId parentNode = parent ? NodeOf(parent) : kNoPropertyNode;
    if (parent && parentNode == kNoPropertyNode) return;  // its parent is not shown either
    const PropertyNodeId after = previous ? NodeOf(previous) : kNoPropertyNode;

    m_insertUnselected = keepSelection || protocolUpdate;
    Insert(page, parentNode, after);
    m_insertUnselected = false;
    if (parent && parent->expanded) {
        Find(parentNode)->expanded = true;
        if (m_view) m_view->ExpandNode(parentNode, true);
    }
}

void PropertyTreeModel::HidePage(PropertyTreePage* page) {
    if (!page || NodeOf(page) == kNoPropertyNode) return;
    if (m_current && IsWithin(m_current, page)) {
        // The page on show is going: the first top-level page comes on show without the one
        // going being asked to validate (its values go with it).
        const bool saved = noValidation;
        noValidation = true;
        for (PropertyNodeId root : m_roots) {
            if (IsWithin(PageOf(root), page)) continue;
            if (Select(root)) break;
        }
        noValidation = saved;
        if (m_current && IsWithin(m_current, page)) {
            m_current->selected = false;
            StoreState(*m_current);
            m_current = nullptr;
            m_selected = kNoPropertyNode;
            if (m_view) {
                m_view->SelectNode(kNoPropertyNode);
                m_view->ShowPage(nullptr);
                m_view->SetCaption(u"");
            }
        }
    }
    Remove(page);
}

void PropertyTreeModel::Remove(PropertyTreePage* page) {
    const PropertyNodeId id = NodeOf(page);
    if (id == kNoPropertyNode) return;
    for (PropertyTreePage* child : page->Children()) Remove(child);
    Node* node = Find(id);
    page->expanded = node->expanded;
    if (m_selected == id) {
        m_selected = kNoPropertyNode;
        page->selected = false;
        StoreState(*page);
    }
    auto& siblings = SiblingsOf(node->parent);
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
    m_nodes.erase(id);
    if (m_view) m_view->DeleteNode(id);
}

void PropertyTreeModel::StoreState(const PropertyTreePage& page) {
    m_stateMap[page.Caption()] = PropertyPageState{page.expanded, page.selected};
}

PropertyTreeModel::Node* PropertyTreeModel::Find(PropertyNodeId node) {
    const auto it = m_nodes.find(node);
    return it == m_nodes.end() ? nullptr : &it->second;
}

const PropertyTreeModel::Node* PropertyTreeModel::Find(PropertyNodeId node) const {
    const auto it = m_nodes.find(node);
    return it == m_nodes.end() ? nullptr : &it->second;
}

std::vector<PropertyNodeId>& PropertyTreeModel::SiblingsOf(PropertyNodeId parent) {
    if (parent == kNoPropertyNode) return m_roots;
    return Find(parent)->children;
}

PropertyNodeId PropertyTreeModel::NodeOf(const PropertyTreePage* page) const {
    for (const auto& [id, node] : m_nodes)
        if (node.page == page) return id;
    return kNoPropertyNode;
}

PropertyTreePage* PropertyTreeModel::PageOf(PropertyNodeId node) const {
    const Node* entry = Find(node);
    return entry ? entry->page : nullptr;
}

bool PropertyTreeModel::IsExpanded(PropertyNodeId node) const {
    const Node* entry = Find(node);
    return entry && entry->expanded;
}

std::vector<PropertyNodeId> PropertyTreeModel::VisibleNodes() const {
    std::vector<PropertyNodeId> visible;
    auto walk = [&](auto& self, const std::vector<PropertyNodeId>& level) -> void {
        for (PropertyNodeId id : level) {
            visible.push_back(id);
            const Node* node = Find(id);
            if (node->expanded) self(self, node->children);
        }
    };
    walk(walk, m_roots);
    return visible;
}

std::u16string PropertyTreeModel::CaptionBarText(const PropertyTreePage& page) {
    return u"  " + std::u16string(page.CaptionText());
}

bool PropertyTreeModel::Locate(const PropertyTreePage* page, PropertyTreePage*& parent,
                               PropertyTreePage*& previous) const {
    auto search = [&](auto& self, const std::vector<PropertyTreePage*>& level,
                      PropertyTreePage* owner) -> bool {
        PropertyTreePage* before = nullptr;
        for (PropertyTreePage* candidate : level) {
            if (candidate == page) {
                parent = owner;
                previous = before;
                return true;
            }
            // Only a sibling that is in the tree can be inserted after.
            if (NodeOf(candidate) != kNoPropertyNode) before = candidate;
        }
        for (PropertyTreePage* candidate : level)
            if (self(self, candidate->Children(), candidate)) return true;
        return false;
    };
    return search(search, m_topLevel, nullptr);
}

bool PropertyTreeModel::IsWithin(const PropertyTreePage* page,
                                 const PropertyTreePage* ancestor) const {
    if (page == ancestor) return true;
    for (const PropertyTreePage* child : ancestor->Children())
        if (IsWithin(page, child)) return true;
    return false;
}

void DeleteStateMap(PropertyPageStateMap& stateMap) {
    stateMap.clear();
}

// ---- Persisted strings ------------------------------------------------------

namespace {

struct PagePath {
    PropertyTreePage* page;
    std::u16string path;
    bool writable;
};

void FlattenPages(const std::vector<PropertyTreePage*>& level, const std::u16string& prefix,
                  bool writable, std::vector<PagePath>& out) {
    for (PropertyTreePage* page : level) {
        const std::u16string_view label = page->TreeLabel();
        const bool plain = label.find_first_of(u"+;=") == std::u16string_view::npos;
        std::u16string path = prefix + std::u16string(label) + u"+";
        out.push_back({page, path, writable && plain});
        FlattenPages(page->Children(), path, writable && plain, out);
    }
}

bool IsDigitForm(std::u16string_view text) {
    return !text.empty() && text.find_first_not_of(u"01") == std::u16string_view::npos;
}

// The "path=digit" entries of a state text, in order.
std::vector<std::pair<std::u16string, bool>> ParseEntries(std::u16string_view text) {
    std::vector<std::pair<std::u16string, bool>> entries;
    if (IsDigitForm(text)) return entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(u';', start);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view entry = text.substr(start, end - start);
        const std::size_t equals = entry.rfind(u'=');
        if (equals != std::u16string_view::npos && equals + 2 == entry.size() &&
            (entry[equals + 1] == u'0' || entry[equals + 1] == u'1'))
            entries.emplace_back(std::u16string(entry.substr(0, equals)),
                                 entry[equals + 1] == u'1');
        start = end + 1;
    }
    return entries;
}

}  // namespace

void SeedPageStateMap(PropertyPageStateMap& stateMap, const std::vector<PropertyTreePage*>& pages,
                      std::u16string_view treeState, std::u16string_view treeSelected) {
    std::vector<PagePath> flat;
    FlattenPages(pages, u"", true, flat);
    const bool anySelected = std::any_of(stateMap.begin(), stateMap.end(),
                                         [](const auto& entry) { return entry.second.selected; });
    const auto entries = ParseEntries(treeState);
    const bool digits = IsDigitForm(treeState);

    for (std::size_t i = 0; i < flat.size(); ++i) {
        PropertyTreePage& page = *flat[i].page;
        std::optional<bool> expanded;
        if (digits) {
            if (i < treeState.size()) expanded = treeState[i] == u'1';
        } else {
            for (const auto& [path, value] : entries)
                if (path == flat[i].path) expanded = value;
        }
        const bool chosen = !anySelected && !treeSelected.empty() && flat[i].path == treeSelected;
        auto existing = stateMap.find(page.Caption());
        if (existing == stateMap.end()) {
            if (!expanded && !chosen) continue;
            existing =
                stateMap.emplace(page.Caption(), PropertyPageState{page.expanded, false}).first;
            if (expanded) existing->second.expanded = *expanded;
        }
        if (chosen) existing->second.selected = true;
    }
}

PersistedTreeState PersistPageStateMap(const PropertyPageStateMap& stateMap,
                                       const std::vector<PropertyTreePage*>& pages,
                                       std::u16string_view previousState) {
    std::vector<PagePath> flat;
    FlattenPages(pages, u"", true, flat);
    PersistedTreeState persisted;
    auto append = [&](const std::u16string& path, bool expanded) {
        if (!persisted.state.empty()) persisted.state += u';';
        persisted.state += path + (expanded ? u"=1" : u"=0");
    };
    for (const PagePath& entry : flat) {
        if (!entry.writable) continue;
        const auto found = stateMap.find(entry.page->Caption());
        const PropertyPageState state =
            found != stateMap.end() ? found->second
                                    : PropertyPageState{entry.page->expanded, entry.page->selected};
        append(entry.path, state.expanded);
        if (state.selected && persisted.selected.empty()) persisted.selected = entry.path;
    }
    for (const auto& [path, expanded] : ParseEntries(previousState)) {
        const bool present =
            std::any_of(flat.begin(), flat.end(),
                        [&wanted = path](const PagePath& entry) { return entry.path == wanted; });
        if (!present) append(path, expanded);
    }
    return persisted;
}

}  // namespace sessiondeck
