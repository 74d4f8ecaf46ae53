// The session manager dialog's view: layout, drawing the model, forwarding input.
#include "ui/wx/session_deck_dialog.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/imaglist.h>
#include <wx/sizer.h>
#include <wx/statline.h>

#include "app/global_config.h"
#include "app/init.h"
#include "session/session_config.h"
#include "session/session_database.h"

namespace {

// The tree item's link back to its model node.
class NodeData : public wxTreeItemData {
public:
    explicit NodeData(TreeNodeId node) : m_node(node) {}
    TreeNodeId Node() const { return m_node; }

private:
    TreeNodeId m_node;
};

SessionTreeOptions OptionsFrom(GlobalConfig* config) {
    SessionTreeOptions options;
    if (!config) return options;
    options.sortAlphabetical = config->sortAlphabetical.Get() != 0;
    options.showTerminalOnlySessions = config->showTerminalOnlySessions.Get();
    options.showTransferOnlySessions = config->showTransferOnlySessions.Get();
    return options;
}

GlobalConfig* SharedConfig() {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    return config;
}

struct ToolDef {
    int id;
    const char* art;  // 0 for a separator
    const char* tip;
};

// The toolbar in its order; 0 marks a separator.
constexpr ToolDef kTools[] = {
    {deck_ids::kToolConnect, wxART_GO_FORWARD, "Connect"},
    {deck_ids::kToolQuickConnect, wxART_EXECUTABLE_FILE, "Quick Connect"},
    {0, nullptr, nullptr},
    {deck_ids::kToolNewSession, wxART_NEW, "New Session"},
    {0, nullptr, nullptr},
    {deck_ids::kToolCut, wxART_CUT, "Cut"},
    {deck_ids::kToolCopy, wxART_COPY, "Copy"},
    {deck_ids::kToolPaste, wxART_PASTE, "Paste"},
    {0, nullptr, nullptr},
    {deck_ids::kToolDelete, wxART_DELETE, "Delete"},
    {deck_ids::kToolProperties, wxART_REPORT_VIEW, "Properties"},
    {0, nullptr, nullptr},
    {deck_ids::kToolNewFolder, wxART_NEW_DIR, "New Folder"},
    {0, nullptr, nullptr},
    {deck_ids::kToolShortcut, wxART_ADD_BOOKMARK, "Create Shortcut"},
    {0, nullptr, nullptr},
    {deck_ids::kToolHelp, wxART_HELP, "Help"},
};

int KeyCodeOf(char16_t key) {
    if (key == kAccelKeyF2) return WXK_F2;
    if (key == kAccelKeyEnter) return WXK_RETURN;
    return static_cast<int>(key);
}

}  // namespace

SessionDeckDialog::SessionDeckDialog(wxWindow* parent, const wxString& title,
                                     const SessionDeckMode& mode,
                                     const SessionDeckCallbacks& callbacks)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER, "SessionDeck"),
      m_mode(mode),
      m_callbacks(callbacks),
      m_config(SharedConfig()),
      m_prompt(this),
      m_model(m_prompt, SessionDeckHost::FromLibrary(), OptionsFrom(m_config)) {
    if (m_mode.multiBrowse) m_mode.browse = true;
    BuildControls();
    SelectStartNode();
    Rebuild();

    // The library's accelerators; while a label is edited the char hook keeps them away.
    std::vector<wxAcceleratorEntry> entries;
    for (const VAccelerator& accel : GetSessionDeckAccelerators()) {
        int flags = 0;
        if (accel.modifiers & VAccelerator::kAlt) flags |= wxACCEL_ALT;
        if (accel.modifiers & VAccelerator::kCtrl) flags |= wxACCEL_CTRL;
        if (accel.modifiers & VAccelerator::kShift) flags |= wxACCEL_SHIFT;
        entries.emplace_back(flags, KeyCodeOf(accel.key), accel.command);
    }
    if (!entries.empty()) SetAcceleratorTable(wxAcceleratorTable(entries.size(), entries.data()));

    using namespace deck_ids;
    auto on = [this](int id, void (SessionDeckDialog::*handler)()) {
        Bind(
            wxEVT_MENU, [this, handler](wxCommandEvent&) { (this->*handler)(); }, id);
        Bind(
            wxEVT_TOOL, [this, handler](wxCommandEvent&) { (this->*handler)(); }, id);
    };
    on(kToolConnect, &SessionDeckDialog::OnConnect);
    on(kCmdConnect, &SessionDeckDialog::OnConnect);
    on(kToolQuickConnect, &SessionDeckDialog::OnQuickConnect);
    on(kCmdQuickConnect, &SessionDeckDialog::OnQuickConnect);
    on(kToolProperties, &SessionDeckDialog::OnProperties);
    on(kCmdProperties, &SessionDeckDialog::OnProperties);
    on(kToolDelete, &SessionDeckDialog::OnDelete);
    on(kCmdDelete, &SessionDeckDialog::OnDelete);
    on(kToolNewFolder, &SessionDeckDialog::OnNewFolder);
    on(kCmdNewFolder, &SessionDeckDialog::OnNewFolder);
    on(kCmdRename, &SessionDeckDialog::OnRename);
    on(kToolHelp, &SessionDeckDialog::OnHelp);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { OnConnect(); }, kConnectButton);
    Bind(wxEVT_BUTTON, &SessionDeckDialog::OnCancel, this, wxID_CANCEL);
    Bind(wxEVT_CHECKBOX, &SessionDeckDialog::OnCheckBox, this);
    Bind(wxEVT_CHAR_HOOK, &SessionDeckDialog::OnCharHook, this);

    m_tree->Bind(wxEVT_LEFT_DOWN, &SessionDeckDialog::OnLeftDown, this);
    m_tree->Bind(wxEVT_LEFT_DCLICK, &SessionDeckDialog::OnLeftDoubleClick, this);
    m_tree->Bind(wxEVT_RIGHT_DOWN, &SessionDeckDialog::OnRightDown, this);
    m_tree->Bind(wxEVT_KEY_DOWN, &SessionDeckDialog::OnTreeKey, this);
    m_tree->Bind(wxEVT_TREE_ITEM_EXPANDING, &SessionDeckDialog::OnExpanding, this);
    m_tree->Bind(wxEVT_TREE_ITEM_COLLAPSED, &SessionDeckDialog::OnCollapsed, this);
    m_tree->Bind(wxEVT_TREE_BEGIN_LABEL_EDIT, &SessionDeckDialog::OnBeginEdit, this);
    m_tree->Bind(wxEVT_TREE_END_LABEL_EDIT, &SessionDeckDialog::OnEndEdit, this);
    m_tree->Bind(wxEVT_TREE_ITEM_GETTOOLTIP, &SessionDeckDialog::OnToolTip, this);
    m_tree->SetFocus();
}

SessionDeckDialog::~SessionDeckDialog() {
    // The tree's items point at nothing the model owns, but their deletion must not reach the
    // handlers of a half-destroyed dialog.
    m_syncing = true;
}

void SessionDeckDialog::BuildToolbar() {
    m_toolbar = new wxToolBar(this, deck_ids::kToolbar, wxDefaultPosition, wxDefaultSize,
                              wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    const wxSize size = FromDIP(wxSize(16, 16));
    m_toolbar->SetToolBitmapSize(size);
    // In browse mode nothing is connected: Connect, Quick Connect and their separator go.
    const size_t first = m_mode.browse ? 3 : 0;
    for (size_t i = first; i < std::size(kTools); ++i) {
        const ToolDef& tool = kTools[i];
        if (tool.id == 0) {
            m_toolbar->AddSeparator();
            continue;
        }
        m_toolbar->AddTool(tool.id, tool.tip,
                           wxArtProvider::GetBitmapBundle(tool.art, wxART_TOOLBAR, size), tool.tip);
    }
    m_toolbar->Realize();
}

void SessionDeckDialog::BuildControls() {
    BuildToolbar();
    auto* line = new wxStaticLine(this, deck_ids::kEtchedLine);
    m_tree = new wxTreeCtrl(
        this, deck_ids::kTree, wxDefaultPosition, wxDefaultSize,
        wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_EDIT_LABELS | wxTR_MULTIPLE | wxBORDER_THEME);
    m_tree->SetName("SessionTree");
    // "Connect Dialog Font": face name, then a point size (10 when absent).
    if (m_config && !m_config->connectDialogFont.Get().IsEmpty()) {
        const wxString spec = ToWx(m_config->connectDialogFont.Get());
        const wxString face = spec.BeforeFirst(',').Strip(wxString::both);
        long points = 0;
        if (!spec.AfterFirst(',').Strip(wxString::both).ToLong(&points) || points <= 0) points = 10;
        m_tree->SetFont(wxFont(wxFontInfo(static_cast<double>(points)).FaceName(face)));
    }

    const wxSize iconSize = FromDIP(wxSize(16, 16));
    auto* images = new wxImageList(iconSize.x, iconSize.y, true, 3);
    // Image indices follow the model: closed folder, open folder, session.
    images->Add(wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, iconSize));
    images->Add(wxArtProvider::GetBitmap(wxART_FOLDER_OPEN, wxART_OTHER, iconSize));
    images->Add(wxArtProvider::GetBitmap(wxART_NORMAL_FILE, wxART_OTHER, iconSize));
    m_tree->AssignImageList(images);

    m_showOnStartup = new wxCheckBox(this, deck_ids::kShowOnStartup, "&Show dialog on startup");
    m_openInTab = new wxCheckBox(this, deck_ids::kOpenInTab, "&Open in a tab");
    if (m_config) {
        m_showOnStartup->SetValue(m_config->showConnectDialog.Get() != 0);
        m_openInTab->SetValue(m_config->openSessionsInTab.Get());
    }
    m_connect = new wxButton(this, deck_ids::kConnectButton, m_mode.browse ? "OK" : "&Connect");
    m_close = new wxButton(this, wxID_CANCEL, m_mode.browse ? "Cancel" : "Close");
    m_connect->SetDefault();
    if (m_mode.browse) m_showOnStartup->Hide();
    if (m_mode.secondFlag) m_openInTab->Hide();

    auto* checks = new wxBoxSizer(wxVERTICAL);
    checks->Add(m_showOnStartup, 0, wxBOTTOM, FromDIP(4));
    checks->Add(m_openInTab);
    auto* bottom = new wxBoxSizer(wxHORIZONTAL);
    bottom->Add(checks, 0, wxALIGN_CENTER_VERTICAL);
    // Keeps the buttons at the right edge when browse mode hides the check boxes.
    bottom->AddStretchSpacer(1);
    bottom->Add(m_connect, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(6));
    bottom->Add(m_close, 0, wxALIGN_CENTER_VERTICAL);

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(m_toolbar, 0, wxEXPAND);
    top->Add(line, 0, wxEXPAND | wxTOP, 2);
    top->Add(m_tree, 1, wxEXPAND | wxALL, FromDIP(7));
    top->Add(bottom, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(7));
    SetSizer(top);

    // The size a first opening gets, and the least the layout needs.
    SetSize(ConvertDialogToPixels(wxSize(250, 215)));
    const int buttonsWidth = m_showOnStartup->GetBestSize().x + m_connect->GetBestSize().x +
                             m_close->GetBestSize().x + ConvertDialogToPixels(wxSize(16, 0)).x;
    SetMinSize(wxSize(std::max(ConvertDialogToPixels(wxSize(225, 0)).x, buttonsWidth),
                      ConvertDialogToPixels(wxSize(0, 125)).y));
    if (m_mode.firstFlag) SetWindowStyleFlag(GetWindowStyleFlag() | wxSYSTEM_MENU);
}

void SessionDeckDialog::SelectStartNode() {
    SessionTreeModel& tree = m_model.Tree();
    VUnicodeString path = m_mode.browse ? m_mode.browsePath : VUnicodeString();
    bool expand = false;
    if (!m_mode.browse && m_config) {
        path = m_config->connectExpandPath.Get();
        expand = m_config->isExpanded.Get() != 0;
    }
    const TreeNodeId node = path.IsEmpty() ? kNoNode : tree.FindPath(path);
    if (node != kNoNode) {
        m_model.Selection().SelectOnly(node);
        if (expand && tree.IsFolder(node)) tree.Expand(node);
    } else if (!m_mode.multiBrowse) {
        m_model.Selection().SelectOnly(tree.Root());
    }
    tree.Expand(tree.Root());
}

wxTreeItemId SessionDeckDialog::ItemOf(TreeNodeId node) const {
    auto found = m_items.find(node);
    return found == m_items.end() ? wxTreeItemId() : found->second;
}

TreeNodeId SessionDeckDialog::NodeOf(const wxTreeItemId& item) const {
    if (!item.IsOk()) return kNoNode;
    auto* data = static_cast<NodeData*>(m_tree->GetItemData(item));
    return data ? data->Node() : kNoNode;
}

wxTreeItemId SessionDeckDialog::AddNode(const wxTreeItemId& parent, TreeNodeId node) {
    SessionTreeModel& tree = m_model.Tree();
    const SessionTreeNode& n = tree.Node(node);
    const wxString label = ToWx(n.label);
    wxTreeItemId item = parent.IsOk()
                            ? m_tree->AppendItem(parent, label, tree.Image(node),
                                                 tree.SelectedImage(node), new NodeData(node))
                            : m_tree->AddRoot(label, tree.Image(node), tree.SelectedImage(node),
                                              new NodeData(node));
    m_items[node] = item;
    AddChildren(item, node);
    return item;
}

void SessionDeckDialog::AddChildren(const wxTreeItemId& item, TreeNodeId node) {
    SessionTreeModel& tree = m_model.Tree();
    for (TreeNodeId child : tree.Node(node).children) AddNode(item, child);
    if (tree.IsFolder(node))
        m_tree->SetItemHasChildren(item,
                                   tree.HasExpander(node) || !tree.Node(node).children.empty());
    if (tree.Node(node).cut) m_tree->SetItemTextColour(item, *wxLIGHT_GREY);
    if (tree.Node(node).expanded) m_tree->Expand(item);
}

void SessionDeckDialog::Rebuild() {
    m_syncing = true;
    m_tree->Freeze();
    m_tree->DeleteAllItems();
    m_items.clear();
    const TreeNodeId root = m_model.Tree().Root();
    if (root != kNoNode) AddNode(wxTreeItemId(), root);
    m_tree->Thaw();
    m_syncing = false;
    ShowSelection();
}

void SessionDeckDialog::ShowSelection() {
    m_syncing = true;
    for (const auto& [node, item] : m_items) {
        const bool selected = m_model.Tree().Node(node).selected;
        if (m_tree->IsSelected(item) != selected) m_tree->SelectItem(item, selected);
    }
    const wxTreeItemId caret = ItemOf(m_model.Selection().Caret());
    if (caret.IsOk()) {
        m_tree->SetFocusedItem(caret);
        m_tree->EnsureVisible(caret);
    }
    m_syncing = false;
    UpdateEnabling();
}

// Until the model decides enabling, the view enables only what the model can carry out, so no
// control promises a command that does nothing.
void SessionDeckDialog::UpdateEnabling() {
    SessionTreeModel& tree = m_model.Tree();
    const auto selected = m_model.Selection().AsSelected();
    const bool one = selected.size() == 1;
    const bool oneSession = one && tree.IsSession(selected.front());
    const bool anyNonRoot = std::any_of(selected.begin(), selected.end(),
                                        [&](TreeNodeId node) { return node != tree.Root(); });
    bool connectable = false;
    for (TreeNodeId node : selected) {
        if (tree.IsFolder(node)) {
            connectable = true;
            break;
        }
        ISessionConfig* session = tree.Session(node);
        if (session && (tree.Host().IsTransferHost() ? session->CanConnectTransferConfig()
                                                     : session->CanConnectTerminalConfig())) {
            connectable = true;
            break;
        }
    }
    bool connectButton = connectable;
    if (m_mode.multiBrowse)
        connectButton = connectable && !selected.empty();
    else if (m_mode.browse)
        connectButton = oneSession && connectable;
    m_connect->Enable(connectButton);
    if (!m_mode.browse) m_toolbar->EnableTool(deck_ids::kToolConnect, connectable);
    m_toolbar->EnableTool(deck_ids::kToolDelete, anyNonRoot);
    m_toolbar->EnableTool(deck_ids::kToolProperties,
                          oneSession && m_callbacks.properties != nullptr);
    if (!m_mode.browse)
        m_toolbar->EnableTool(deck_ids::kToolQuickConnect, m_callbacks.quickConnect != nullptr);
    m_toolbar->EnableTool(deck_ids::kToolHelp, m_callbacks.help != nullptr);
    // Not carried out yet: clipboard, new session and shortcuts.
    for (int id : {deck_ids::kToolCut, deck_ids::kToolCopy, deck_ids::kToolPaste,
                   deck_ids::kToolNewSession, deck_ids::kToolShortcut})
        m_toolbar->EnableTool(id, false);
}

TreeNodeId SessionDeckDialog::HitNode(const wxPoint& point, bool labelOnly) const {
    int flags = 0;
    const wxTreeItemId item = m_tree->HitTest(point, flags);
    const int onNode =
        wxTREE_HITTEST_ONITEMLABEL | wxTREE_HITTEST_ONITEMICON | wxTREE_HITTEST_ONITEMSTATEICON;
    if (labelOnly && !(flags & onNode)) return kNoNode;
    return NodeOf(item);
}

void SessionDeckDialog::OnLeftDown(wxMouseEvent& event) {
    int flags = 0;
    m_tree->HitTest(event.GetPosition(), flags);
    if (flags & wxTREE_HITTEST_ONITEMBUTTON) {
        event.Skip();  // the tree expands or collapses; the expanding events reach the model
        return;
    }
    m_tree->SetFocus();
    if (m_tree->GetEditControl()) {
        event.Skip();  // the click ends the edit, keeping the text
        return;
    }
    const TreeNodeId node = HitNode(event.GetPosition(), true);
    if (node == kNoNode) return;  // clicks beside the nodes change nothing
    m_model.Selection().Click(node, {event.ControlDown(), event.ShiftDown(), event.AltDown()});
    ShowSelection();
}

void SessionDeckDialog::OnLeftDoubleClick(wxMouseEvent& event) {
    const TreeNodeId node = HitNode(event.GetPosition(), true);
    if (node == kNoNode) {
        event.Skip();
        return;
    }
    if (m_model.Tree().IsFolder(node)) {
        m_model.Tree().Toggle(node);
        Rebuild();
    } else {
        OnConnect();
    }
}

void SessionDeckDialog::OnRightDown(wxMouseEvent& event) {
    const TreeNodeId node = HitNode(event.GetPosition(), true);
    if (node == kNoNode) return;
    m_model.Selection().RightClick(node);
    ShowSelection();
}

void SessionDeckDialog::OnTreeKey(wxKeyEvent& event) {
    const KeyModifiers keys{event.ControlDown(), event.ShiftDown(), event.AltDown()};
    auto move = [&](TreeKey key) {
        m_model.Selection().KeyDown(key, keys);
        ShowSelection();
    };
    switch (event.GetKeyCode()) {
        case WXK_UP:
            move(TreeKey::kUp);
            return;
        case WXK_DOWN:
            move(TreeKey::kDown);
            return;
        case WXK_HOME:
            move(TreeKey::kHome);
            return;
        case WXK_END:
            move(TreeKey::kEnd);
            return;
        case WXK_DELETE:
            OnDelete();
            return;
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: {
            if (event.AltDown()) break;
            const auto selected = m_model.Selection().AsSelected();
            if (selected.size() == 1 && m_model.Tree().IsFolder(selected.front())) {
                m_model.Tree().Toggle(selected.front());
                Rebuild();
            } else {
                OnConnect();
            }
            return;
        }
        case WXK_LEFT:
        case WXK_RIGHT: {
            // Expanding and collapsing go through the tree's events to the model; the tree's
            // own handling would move its selection behind the model's back.
            const TreeNodeId caret = m_model.Selection().Caret();
            const wxTreeItemId item = ItemOf(caret);
            if (!item.IsOk() || !m_model.Tree().IsFolder(caret)) return;
            const bool expanded = m_model.Tree().Node(caret).expanded;
            if (event.GetKeyCode() == WXK_RIGHT && !expanded) m_tree->Expand(item);
            if (event.GetKeyCode() == WXK_LEFT && expanded) m_tree->Collapse(item);
            return;
        }
        case WXK_TAB:
            break;
        default:
            // Typing a letter would let the tree pick a node by its label on its own.
            if (event.HasAnyModifiers()) break;
            if (event.GetKeyCode() >= WXK_F1 && event.GetKeyCode() <= WXK_F24) break;
            return;
    }
    event.Skip();
}

void SessionDeckDialog::OnCharHook(wxKeyEvent& event) {
    // While a label is edited its keys are the edit box's: Escape cancels the edit and Enter
    // ends it, instead of closing the dialog or pressing Connect, and no accelerator fires.
    if (m_tree->GetEditControl() != nullptr) {
        const TreeNodeId node = m_model.EditingNode();
        const wxTreeItemId item = ItemOf(node);
        if (item.IsOk() && event.GetKeyCode() == WXK_ESCAPE) {
            m_tree->EndEditLabel(item, true);
            return;
        }
        if (item.IsOk() &&
            (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER)) {
            m_tree->EndEditLabel(item, false);
            return;
        }
        event.DoAllowNextEvent();
        event.Skip();
        return;
    }
    event.Skip();
}

void SessionDeckDialog::OnExpanding(wxTreeEvent& event) {
    if (m_syncing) return;
    const TreeNodeId node = NodeOf(event.GetItem());
    if (node == kNoNode || !m_model.Tree().IsFolder(node)) return;
    const bool firstLoad = !m_model.Tree().Node(node).loaded;
    if (firstLoad) wxBeginBusyCursor();
    m_model.Tree().Expand(node);
    m_syncing = true;
    m_tree->DeleteChildren(event.GetItem());
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it->first != node && m_model.Tree().IsAncestor(node, it->first)) {
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    AddChildren(event.GetItem(), node);
    m_syncing = false;
    if (firstLoad) wxEndBusyCursor();
    CallAfter([this] { ShowSelection(); });
}

void SessionDeckDialog::OnCollapsed(wxTreeEvent& event) {
    if (m_syncing) return;
    const TreeNodeId node = NodeOf(event.GetItem());
    if (node == kNoNode) return;
    m_model.Tree().Collapse(node);
    ShowSelection();
}

void SessionDeckDialog::OnToolTip(wxTreeEvent& event) {
    // Sessions show their description while descriptions are on and no label is edited;
    // folders show none. An empty text shows no tooltip.
    event.SetToolTip(wxString());
    if (!m_config || !m_config->showDetailsOnConnectDialog.Get() || m_tree->GetEditControl())
        return;
    const TreeNodeId node = NodeOf(event.GetItem());
    if (node == kNoNode || !m_model.Tree().IsSession(node)) return;
    if (ISessionConfig* session = m_model.Tree().Session(node))
        event.SetToolTip(ToWx(session->GetSessionDeckDescription()));
}

void SessionDeckDialog::StartEdit(TreeNodeId node) {
    const wxTreeItemId item = ItemOf(node);
    if (!item.IsOk()) return;
    m_tree->SetFocus();
    m_tree->EnsureVisible(item);
    m_tree->EditLabel(item);
}

void SessionDeckDialog::OnBeginEdit(wxTreeEvent& event) {
    // Only the model starts an edit, and never of the root.
    const TreeNodeId node = NodeOf(event.GetItem());
    if (m_syncing || node == kNoNode || node != m_model.EditingNode() ||
        node == m_model.Tree().Root())
        event.Veto();
}

void SessionDeckDialog::OnEndEdit(wxTreeEvent& event) {
    // The model rebuilds the node itself, so the tree's own relabelling is always refused.
    event.Veto();
    if (m_syncing || m_model.EditingNode() == kNoNode) return;
    std::optional<VUnicodeString> text;
    if (!event.IsEditCancelled()) text = FromWx(event.GetLabel());
    // The tree is still inside its edit box's handler: redraw once it has returned.
    CallAfter([this, text] {
        const auto result = m_model.EndLabelEdit(text);
        Rebuild();
        if (result == SessionDeckModel::EditResult::kEditAgain) StartEdit(m_model.EditingNode());
    });
}

void SessionDeckDialog::OnConnect() {
    SessionTreeModel& tree = m_model.Tree();
    VMultiSelTreeCtrl& selection = m_model.Selection();
    if (!m_connect->IsEnabled()) return;
    // TODO(model): the host-name prompt, the warning over 20 sessions and launching the
    // sibling application belong to the model's Connect, which does not exist yet.
    m_paths.clear();
    for (TreeNodeId node : selection.TopMost()) m_paths.push_back(tree.Path(node));
    m_chosen.clear();
    for (TreeNodeId node : selection.Sessions()) {
        ISessionConfig* session = tree.Session(node);
        if (!session) continue;
        const bool keep = tree.Host().IsTerminalHost()   ? session->CanConnectTerminalConfig()
                          : tree.Host().IsTransferHost() ? session->CanConnectTransferConfig()
                                                         : false;
        if (keep) m_chosen.emplace_back(session);
    }
    SaveState();
    EndModal(wxID_OK);
}

void SessionDeckDialog::OnQuickConnect() {
    if (m_mode.browse || !m_callbacks.quickConnect) return;
    const TreeNodeId folder = m_model.TargetFolder();
    ISessionConfig* session = nullptr;
    const VUnicodeString path = m_model.Tree().Path(folder);
    if (m_callbacks.quickConnect(path.c_str(), &session) == 1 && session) {
        m_chosen.clear();
        m_chosen.push_back(VUnknownPointer<ISessionConfig>::Adopt(session));
        SaveState();
        EndModal(wxID_OK);
    } else if (session) {
        session->Release();
    }
}

void SessionDeckDialog::OnProperties() {
    const auto selected = m_model.Selection().AsSelected();
    if (selected.size() != 1 || !m_model.Tree().IsSession(selected.front()) ||
        !m_callbacks.properties)
        return;
    ISessionConfig* session = m_model.Tree().Session(selected.front());
    if (!session) {
        m_prompt.ShowMessage(u"Unable to load the session configuration.", u"SessionDeck",
                             VPromptButtons::kOk, VPromptIcon::kExclamation);
        return;
    }
    if (m_callbacks.properties(session, 0) != 1) return;
    SessionDatabase db(m_model.Tree().Options().sortAlphabetical ? 1 : 0);
    if (!db.Save(session, false)) {
        m_prompt.ShowMessage(u"The session could not be saved.", u"SessionDeck",
                             VPromptButtons::kOk, VPromptIcon::kExclamation);
    }
    UpdateEnabling();
}

void SessionDeckDialog::OnDelete() {
    m_model.Delete();
    Rebuild();
}

void SessionDeckDialog::OnNewFolder() {
    const TreeNodeId node = m_model.NewFolder();
    Rebuild();
    StartEdit(node);
}

void SessionDeckDialog::OnRename() {
    if (!m_model.BeginRename()) return;
    ShowSelection();
    StartEdit(m_model.EditingNode());
}

void SessionDeckDialog::OnHelp() {
    if (m_callbacks.help) m_callbacks.help(reinterpret_cast<VWindow*>(this), 11, 0);
}

void SessionDeckDialog::OnCheckBox(wxCommandEvent& event) {
    if (!m_config) return;
    if (event.GetId() == deck_ids::kShowOnStartup) {
        m_config->showConnectDialog = event.IsChecked() ? 1 : 0;
        // The two start-up dialogs exclude each other.
        if (event.IsChecked()) m_config->showQuickConnectDialog = 0;
    } else if (event.GetId() == deck_ids::kOpenInTab) {
        m_config->openSessionsInTab = event.IsChecked();
    }
}

void SessionDeckDialog::OnCancel(wxCommandEvent&) {
    SaveState();
    EndModal(wxID_CANCEL);
}

void SessionDeckDialog::SaveState() {
    if (!m_config || m_mode.browse) return;
    const auto selected = m_model.Selection().AsSelected();
    if (selected.empty()) return;
    SessionTreeModel& tree = m_model.Tree();
    m_config->connectExpandPath = tree.Path(selected.front());
    m_config->isExpanded =
        tree.IsFolder(selected.front()) && tree.Node(selected.front()).expanded ? 1 : 0;
    if (m_config->autoSaveOptions.Get() != 0) m_config->Save();
}
