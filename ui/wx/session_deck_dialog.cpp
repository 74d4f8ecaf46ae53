// The session manager dialog's view: layout, drawing the model, forwarding input.
#include "ui/wx/session_deck_dialog.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/imaglist.h>
#include <wx/menu.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stdpaths.h>

#include "app/global_config.h"
#include "app/init.h"
#include "session/session_config.h"
#include "session/session_database.h"

namespace sessiondeck {

namespace {

// The tree item's link back to its model node.
class NodeData : public wxTreeItemData {
public:
    explicit NodeData(TreeNodeId node) : m_node(node) {}
    TreeNodeId Node() const { return m_node; }

private:
    TreeNodeId m_node;
};

GlobalConfig* SharedConfig() {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    return config;
}

// The picture of each toolbar command.
const char* ToolArt(int id) {
    namespace C = SessionDeckCommand;
    switch (id) {
        case C::kConnect:
            return wxART_GO_FORWARD;
        case C::kQuickConnect:
            return wxART_EXECUTABLE_FILE;
        case C::kNewSession:
            return wxART_NEW;
        case C::kCut:
            return wxART_CUT;
        case C::kCopy:
            return wxART_COPY;
        case C::kPaste:
            return wxART_PASTE;
        case C::kDelete:
            return wxART_DELETE;
        case C::kProperties:
            return wxART_REPORT_VIEW;
        case C::kNewFolder:
            return wxART_NEW_DIR;
        case C::kCreateShortcut:
            return wxART_ADD_BOOKMARK;
        default:
            return wxART_HELP;
    }
}

// Pixels from the top or bottom edge within which a drag scrolls the tree.
constexpr int kAutoScrollEdge = 10;

SessionDeckParams ParamsFrom(const SessionDeckMode& mode, const wxString& title) {
    SessionDeckParams params;
    params.title = FromWx(title);
    params.firstFlag = mode.firstFlag;
    params.secondFlag = mode.secondFlag;
    params.browseMode = mode.browse || mode.multiBrowse;
    params.multiSelectBrowseMode = mode.multiBrowse;
    params.browsePath = mode.browsePath;
    params.applicationCommandLine = FromWx(wxStandardPaths::Get().GetExecutablePath());
    return params;
}

}  // namespace

namespace C = SessionDeckCommand;

SessionDeckDialog::SessionDeckDialog(wxWindow* parent, const wxString& title,
                                     const SessionDeckMode& mode,
                                     const SessionDeckCallbacks& callbacks)
    : wxDialog(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER, "SessionDeck"),
      m_mode(mode),
      m_callbacks(callbacks),
      m_config(SharedConfig()),
      m_prompt(this),
      m_hostCallbacks(callbacks, this),
      m_timer([this](unsigned id) { OnTimer(id); }) {
    if (m_mode.multiBrowse) m_mode.browse = true;
    SessionDeckServices services;
    services.callbacks = &m_hostCallbacks;
    services.clipboard = &m_clipboard;
    services.timer = &m_timer;
    if (m_config) {
        m_model =
            std::make_unique<SessionDeckModel>(m_prompt, SessionDeckHost::FromLibrary(), *m_config,
                                               ParamsFrom(m_mode, title), services);
    } else {
        // Without a global configuration the dialog still shows the tree with default options.
        m_model = std::make_unique<SessionDeckModel>(m_prompt, SessionDeckHost::FromLibrary(),
                                                     SessionTreeOptions());
    }
    // The root is always shown open; the model leaves that to the view.
    m_model->Tree().Expand(m_model->Tree().Root());
    BuildControls();
    Rebuild();

    // Every command, whatever sent it, goes to the model.
    Bind(wxEVT_MENU, [this](wxCommandEvent& event) { Run(event.GetId()); });
    Bind(wxEVT_TOOL, [this](wxCommandEvent& event) { Run(event.GetId()); });
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { Run(C::kConnectButton); },
        deck_ids::kConnectButton);
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { Run(C::kCloseButton); }, wxID_CANCEL);
    Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& event) {
        if (event.GetId() == deck_ids::kShowOnStartup)
            m_model->OnStartupCheckBox(event.IsChecked());
        if (event.GetId() == deck_ids::kOpenInTab) m_model->OnOpenInTabCheckBox(event.IsChecked());
    });
    Bind(wxEVT_CHAR_HOOK, &SessionDeckDialog::OnCharHook, this);

    // The tree comes first in the tab order, so the dialog opens with the focus in it.
    m_filter->MoveAfterInTabOrder(m_tree);
    m_tree->Bind(wxEVT_LEFT_DOWN, &SessionDeckDialog::OnLeftDown, this);
    m_tree->Bind(wxEVT_LEFT_UP, &SessionDeckDialog::OnLeftUp, this);
    m_tree->Bind(wxEVT_MOTION, &SessionDeckDialog::OnMotion, this);
    m_tree->Bind(wxEVT_MOUSE_CAPTURE_LOST, &SessionDeckDialog::OnCaptureLost, this);
    m_tree->Bind(wxEVT_LEFT_DCLICK, &SessionDeckDialog::OnLeftDoubleClick, this);
    m_tree->Bind(wxEVT_RIGHT_DOWN, &SessionDeckDialog::OnRightDown, this);
    m_tree->Bind(wxEVT_KEY_DOWN, &SessionDeckDialog::OnTreeKey, this);
    m_tree->Bind(wxEVT_TREE_ITEM_EXPANDING, &SessionDeckDialog::OnExpanding, this);
    m_tree->Bind(wxEVT_TREE_ITEM_COLLAPSED, &SessionDeckDialog::OnCollapsed, this);
    m_tree->Bind(wxEVT_TREE_BEGIN_LABEL_EDIT, &SessionDeckDialog::OnBeginEdit, this);
    m_tree->Bind(wxEVT_TREE_END_LABEL_EDIT, &SessionDeckDialog::OnEndEdit, this);
    m_tree->Bind(wxEVT_TREE_ITEM_GETTOOLTIP, &SessionDeckDialog::OnToolTip, this);
    // The tree's own drag detection would start a drag the model knows nothing of.
    m_tree->Bind(wxEVT_TREE_BEGIN_DRAG, [](wxTreeEvent& event) { event.Veto(); });
    m_filter->Bind(wxEVT_TEXT, &SessionDeckDialog::OnFilterText, this);
    // GTK's search entry turns Enter into a search event before the dialog sees the key.
    auto filterEnter = [this](wxCommandEvent&) {
        if (m_finished) return;
        m_model->OnFilterEnter();
        AfterModelChange();
    };
    m_filter->Bind(wxEVT_SEARCH, filterEnter);
    m_filter->Bind(wxEVT_TEXT_ENTER, filterEnter);
    m_tree->SetFocus();
}

SessionDeckDialog::~SessionDeckDialog() {
    // The tree's items point at nothing the model owns, but their deletion must not reach the
    // handlers of a half-destroyed dialog.
    m_syncing = true;
    if (m_tree->HasCapture()) m_tree->ReleaseMouse();
}

void SessionDeckDialog::BuildToolbar() {
    m_toolbar = new wxToolBar(this, deck_ids::kToolbar, wxDefaultPosition, wxDefaultSize,
                              wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER);
    const wxSize size = FromDIP(wxSize(16, 16));
    m_toolbar->SetToolBitmapSize(size);
    for (const SessionDeckToolbarButton& button : SessionDeckToolbar(m_mode.browse)) {
        if (button.id == 0) {
            m_toolbar->AddSeparator();
            continue;
        }
        const wxString tip = ToWx(button.tooltip);
        m_toolbar->AddTool(button.id, tip,
                           wxArtProvider::GetBitmapBundle(ToolArt(button.id), wxART_TOOLBAR, size),
                           tip);
    }
    m_toolbar->Realize();
}

void SessionDeckDialog::BuildControls() {
    BuildToolbar();
    auto* line = new wxStaticLine(this, deck_ids::kEtchedLine);
    m_filter = new wxSearchCtrl(this, deck_ids::kFilterBox, wxString(), wxDefaultPosition,
                                wxDefaultSize, wxTE_PROCESS_ENTER);
    m_filter->SetDescriptiveText("Filter sessions (Ctrl+F)");
    m_filter->ShowCancelButton(true);
    m_filter->Bind(wxEVT_SEARCH_CANCEL, [this](wxCommandEvent&) { m_filter->Clear(); });
    m_tree = new wxTreeCtrl(
        this, deck_ids::kTree, wxDefaultPosition, wxDefaultSize,
        wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_EDIT_LABELS | wxTR_MULTIPLE | wxBORDER_THEME);
    m_tree->SetName("SessionTree");
    // "Connect Dialog Font": face name, then a point size (10 when absent).
    if (m_config && !m_config->connectDialogFont.Get().IsEmpty()) {
        const wxString fontText = ToWx(m_config->connectDialogFont.Get());
        const wxString face = fontText.BeforeFirst(',').Strip(wxString::both);
        long points = 0;
        if (!fontText.AfterFirst(',').Strip(wxString::both).ToLong(&points) || points <= 0)
            points = 10;
        m_tree->SetFont(wxFont(wxFontInfo(static_cast<double>(points)).FaceName(face)));
    }

    const wxSize iconSize = FromDIP(wxSize(16, 16));
    auto* images = new wxImageList(iconSize.x, iconSize.y, true, 3);
    // Image indices follow the model: closed folder, open folder, session.
    images->Add(wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, iconSize));
    images->Add(wxArtProvider::GetBitmap(wxART_FOLDER_OPEN, wxART_OTHER, iconSize));
    images->Add(wxArtProvider::GetBitmap(wxART_NORMAL_FILE, wxART_OTHER, iconSize));
    m_tree->AssignImageList(images);
    // A child window rather than drawing on the tree: the tree repaints itself whenever it
    // likes, and a line drawn outside its paint would be left behind or lost.
    m_dropLine =
        new wxWindow(m_tree, deck_ids::kDropLine, wxDefaultPosition, wxSize(1, FromDIP(2)));
    m_dropLine->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT));
    m_dropLine->Hide();

    const SessionDeckControls controls = m_model->Controls();
    m_showOnStartup = new wxCheckBox(this, deck_ids::kShowOnStartup, "&Show dialog on startup");
    m_openInTab = new wxCheckBox(this, deck_ids::kOpenInTab, "&Open in a tab");
    m_showOnStartup->SetValue(controls.startupChecked);
    m_openInTab->SetValue(controls.openInTabChecked);
    m_connect = new wxButton(this, deck_ids::kConnectButton, ToWx(controls.connectText));
    m_close = new wxButton(this, wxID_CANCEL, ToWx(controls.closeText));
    m_connect->SetDefault();
    if (!controls.startupVisible) m_showOnStartup->Hide();
    if (!controls.openInTabVisible) m_openInTab->Hide();

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
    top->Add(m_filter, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, FromDIP(7));
    top->Add(m_tree, 1, wxEXPAND | wxALL, FromDIP(7));
    top->Add(bottom, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(7));
    SetSizer(top);

    // The least the layout needs, and the size it had when it last closed (never below the
    // least) or, the first time, the default size.
    const int buttonsWidth = m_showOnStartup->GetBestSize().x + m_connect->GetBestSize().x +
                             m_close->GetBestSize().x + ConvertDialogToPixels(wxSize(16, 0)).x;
    SetMinSize(wxSize(std::max(ConvertDialogToPixels(wxSize(225, 0)).x, buttonsWidth),
                      ConvertDialogToPixels(wxSize(0, 125)).y));
    if (controls.width > 0 && controls.height > 0)
        SetSize(wxSize(std::max(controls.width, GetMinSize().x),
                       std::max(controls.height, GetMinSize().y)));
    else
        SetSize(ConvertDialogToPixels(wxSize(250, 215)));
    if (m_mode.firstFlag) SetWindowStyleFlag(GetWindowStyleFlag() | wxSYSTEM_MENU);
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

bool SessionDeckDialog::IsHoverTimerRunning() const {
    return m_timer.IsRunning(SessionDeckModel::kHoverTimerId);
}

wxTreeItemId SessionDeckDialog::AddNode(const wxTreeItemId& parent, TreeNodeId node) {
    SessionTreeModel& tree = m_model->Tree();
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
    SessionTreeModel& tree = m_model->Tree();
    for (TreeNodeId child : tree.Node(node).children) AddNode(item, child);
    if (tree.IsFolder(node))
        m_tree->SetItemHasChildren(item,
                                   tree.HasExpander(node) || !tree.Node(node).children.empty());
    // A cut entry is drawn dimmed until it is pasted or the cut is given up.
    if (tree.Node(node).cut) m_tree->SetItemTextColour(item, *wxLIGHT_GREY);
    if (tree.Node(node).expanded) m_tree->Expand(item);
}

void SessionDeckDialog::Rebuild() {
    m_syncing = true;
    m_tree->Freeze();
    m_tree->DeleteAllItems();
    m_items.clear();
    const TreeNodeId root = m_model->Tree().Root();
    if (root != kNoNode) AddNode(wxTreeItemId(), root);
    if (const wxTreeItemId target = ItemOf(m_model->DropHighlight()); target.IsOk())
        m_tree->SetItemDropHighlight(target, true);
    m_tree->Thaw();
    m_syncing = false;
    ShowSelection();
}

void SessionDeckDialog::ShowSelection() {
    m_syncing = true;
    for (const auto& [node, item] : m_items) {
        const bool selected = m_model->Tree().Node(node).selected;
        if (m_tree->IsSelected(item) != selected) m_tree->SelectItem(item, selected);
    }
    const wxTreeItemId caret = ItemOf(m_model->Selection().Caret());
    if (caret.IsOk()) {
        m_tree->SetFocusedItem(caret);
        if (!m_dragging) m_tree->EnsureVisible(caret);
    }
    m_syncing = false;
    UpdateEnabling();
}

void SessionDeckDialog::UpdateEnabling() {
    const SessionDeckEnabling on = m_model->Enabling();
    m_connect->Enable(on.connectButton);
    auto tool = [this](int id, bool enabled) {
        if (m_toolbar->FindById(id)) m_toolbar->EnableTool(id, enabled);
    };
    tool(C::kConnect, on.toolbarConnect);
    tool(C::kQuickConnect, m_callbacks.quickConnect != nullptr);
    tool(C::kNewSession, m_callbacks.properties != nullptr);
    tool(C::kCut, on.cut);
    tool(C::kCopy, on.copy);
    tool(C::kPaste, on.paste);
    tool(C::kDelete, on.deleteItems);
    tool(C::kProperties, on.properties && m_callbacks.properties != nullptr);
    tool(C::kCreateShortcut, on.createShortcut);
    tool(C::kHelp, m_callbacks.help != nullptr);
}

void SessionDeckDialog::Run(int command) {
    if (m_finished) return;
    if (m_tree->GetEditControl()) return;  // the edit box has the dialog until it ends
    // A record another process put on the clipboard can be pasted here too. The clipboard is
    // asked only now: asking it runs a nested event loop, which must not happen while input
    // such as a click is being delivered.
    if ((command == C::kPaste || command == C::kMenuPaste) && !m_model->IsClipboardFilled() &&
        WxFolderTreeClipboard::HasRecord())
        m_model->OnClipboardRecordAvailable();
    const bool handled = m_model->RunCommand(command);
    if (handled) AfterModelChange();
}

void SessionDeckDialog::AfterModelChange() {
    if (m_finished) return;
    if (m_model->Result() != 0) {
        Finish();
        return;
    }
    Rebuild();
    const TreeNodeId editing = m_model->EditingNode();
    if (editing != kNoNode && !m_tree->GetEditControl()) StartEdit(editing);
}

void SessionDeckDialog::Finish() {
    m_finished = true;
    if (m_dragging) EndDrag(false, {});
    m_chosen = m_model->Chosen();
    m_paths.clear();
    for (const VUnicodeString& path : m_model->PathResults()) m_paths.push_back(path);
    const int result = m_model->Result();
    // A minimised or maximised window has no size of its own to keep.
    if (!IsIconized() && !IsMaximized()) {
        const wxRect rect = GetRect();
        m_model->SetWindowRect(
            {rect.GetLeft(), rect.GetTop(), rect.GetRight() + 1, rect.GetBottom() + 1});
    }
    // Keeps the size, saves the state and starts a sibling launch the model scheduled.
    m_model->Destroy();
    EndModal(result == 1 ? wxID_OK : wxID_CANCEL);
}

void SessionDeckDialog::ShowContextMenu(const wxPoint& where) {
    if (WxFolderTreeClipboard::HasRecord()) m_model->OnClipboardRecordAvailable();
    const std::vector<SessionDeckMenuItem> items = m_model->ContextMenu();
    if (items.empty()) return;
    // wx refuses menu ids from 0x7fff up, where several of the model's commands are: the
    // menu numbers its items by position and the choice is mapped back to the command.
    constexpr int kFirstMenuId = 1;
    wxMenu menu;
    for (size_t i = 0; i < items.size(); ++i) {
        const SessionDeckMenuItem& item = items[i];
        if (item.IsSeparator()) {
            menu.AppendSeparator();
            continue;
        }
        const bool toggle = item.id == C::kToggleSortOrder || item.id == C::kToggleDescriptions ||
                            item.id == C::kToggleTerminalSessions ||
                            item.id == C::kToggleTransferSessions;
        const int id = kFirstMenuId + static_cast<int>(i);
        wxMenuItem* entry =
            toggle ? menu.AppendCheckItem(id, ToWx(item.text)) : menu.Append(id, ToWx(item.text));
        if (toggle) entry->Check(item.checked);
        entry->Enable(item.enabled);
    }
    const int chosen = m_tree->GetPopupMenuSelectionFromUser(menu, where) - kFirstMenuId;
    if (chosen >= 0 && static_cast<size_t>(chosen) < items.size()) Run(items[chosen].id);
}

uint32_t SessionDeckDialog::ModelKey(const wxKeyEvent& event) {
    const int code = event.GetKeyCode();
    switch (code) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER:
            return SessionDeckKey::kEnter;
        case WXK_DELETE:
        case WXK_NUMPAD_DELETE:
            return SessionDeckKey::kDelete;
        case WXK_F2:
            return SessionDeckKey::kF2;
        case WXK_UP:
            return SessionDeckKey::kUp;
        case WXK_DOWN:
            return SessionDeckKey::kDown;
        default:
            break;
    }
    if (code >= 'A' && code <= 'Z') return static_cast<uint32_t>(code);
    if (code >= 'a' && code <= 'z') return static_cast<uint32_t>(code - 'a' + 'A');
    return 0;
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
    m_model->Selection().Click(node, {event.ControlDown(), event.ShiftDown(), event.AltDown()});
    m_pressNode = node;
    m_pressPoint = event.GetPosition();
    ShowSelection();
}

void SessionDeckDialog::OnMotion(wxMouseEvent& event) {
    event.Skip();
    const KeyModifiers keys{event.ControlDown(), event.ShiftDown(), event.AltDown()};
    if (m_dragging) {
        DragTo(event.GetPosition(), keys);
        return;
    }
    if (m_pressNode == kNoNode || !event.LeftIsDown()) {
        m_pressNode = kNoNode;
        return;
    }
    const wxPoint moved = event.GetPosition() - m_pressPoint;
    const int threshold = wxSystemSettings::GetMetric(wxSYS_DRAG_X, this);
    if (std::abs(moved.x) <= threshold && std::abs(moved.y) <= threshold) return;
    const TreeNodeId node = m_pressNode;
    m_pressNode = kNoNode;
    if (!m_model->BeginDrag(node)) return;
    m_dragging = true;
    m_tree->CaptureMouse();
    m_tree->SetCursor(wxCursor(wxCURSOR_HAND));
    DragTo(event.GetPosition(), keys);
}

void SessionDeckDialog::DragTo(const wxPoint& point, const KeyModifiers& keys) {
    // Near the top or bottom edge the tree scrolls by a row, so a drop target out of sight
    // can be reached.
    const int height = m_tree->GetClientSize().y;
    wxTreeItemId under = m_tree->HitTest(point);
    if (under.IsOk() && point.y < kAutoScrollEdge) {
        const wxTreeItemId above = m_tree->GetPrevVisible(under);
        if (above.IsOk()) m_tree->ScrollTo(above);
    } else if (under.IsOk() && point.y > height - kAutoScrollEdge) {
        const wxTreeItemId below = m_tree->GetNextVisible(under);
        if (below.IsOk()) m_tree->EnsureVisible(below);
    }
    int flags = 0;
    under = m_tree->HitTest(point, flags);
    const TreeNodeId node = NodeOf(under);
    const TreeNodeId before = m_model->DropHighlight();
    DropEffect effect = DropEffect::kNone;
    if (node == kNoNode) {
        m_model->DragLeave();
    } else {
        wxRect row;
        m_tree->GetBoundingRect(under, row);
        effect = m_model->DragOver(node, point.y - row.y, row.height, keys);
    }
    // A drop between rows shows as a line there; one onto or into a row as the row lit.
    const std::optional<DropLine> line = m_model->InsertionLine();
    if (const wxTreeItemId old = ItemOf(before); old.IsOk() && before != m_model->DropHighlight())
        m_tree->SetItemDropHighlight(old, false);
    if (const wxTreeItemId now = ItemOf(m_model->DropHighlight()); now.IsOk())
        m_tree->SetItemDropHighlight(now, !line);
    ShowDropLine(line);
    m_tree->SetCursor(wxCursor(effect == DropEffect::kNone ? wxCURSOR_NO_ENTRY : wxCURSOR_HAND));
}

void SessionDeckDialog::ShowDropLine(const std::optional<DropLine>& line) {
    wxRect row;
    const wxTreeItemId item = line ? ItemOf(line->node) : wxTreeItemId();
    if (!item.IsOk() || !m_tree->GetBoundingRect(item, row)) {
        m_dropLine->Hide();
        return;
    }
    const int thickness = m_dropLine->GetSize().y;
    const int y = line->below ? row.GetBottom() + 1 - thickness / 2 : row.y - thickness / 2;
    m_dropLine->SetSize(row.x, std::max(0, y), m_tree->GetClientSize().x - row.x, thickness);
    m_dropLine->Show();
    m_dropLine->Raise();
}

void SessionDeckDialog::EndDrag(bool drop, const KeyModifiers& keys) {
    m_dragging = false;
    m_dropLine->Hide();
    if (m_tree->HasCapture()) m_tree->ReleaseMouse();
    m_tree->SetCursor(wxNullCursor);
    if (drop) {
        m_model->Drop(keys);
    } else {
        m_model->DragLeave();
        m_model->Drop(keys);  // nothing under the pointer: the drag ends without an effect
    }
    if (!m_finished) AfterModelChange();
}

void SessionDeckDialog::OnLeftUp(wxMouseEvent& event) {
    m_pressNode = kNoNode;
    if (!m_dragging) {
        event.Skip();
        return;
    }
    EndDrag(true, {event.ControlDown(), event.ShiftDown(), event.AltDown()});
}

void SessionDeckDialog::OnCaptureLost(wxMouseCaptureLostEvent&) {
    if (m_dragging) EndDrag(false, {});
}

void SessionDeckDialog::OnTimer(unsigned id) {
    const TreeNodeId hovered = m_model->DropHighlight();
    m_model->OnTimer(id);
    // The hovered folder may have opened. Only its rows are added: a redraw of the whole tree
    // would take the mouse capture from the drag.
    const wxTreeItemId item = ItemOf(hovered);
    if (item.IsOk() && m_model->Tree().IsFolder(hovered) &&
        m_model->Tree().Node(hovered).expanded && !m_tree->IsExpanded(item))
        m_tree->Expand(item);
}

void SessionDeckDialog::OnLeftDoubleClick(wxMouseEvent& event) {
    const TreeNodeId node = HitNode(event.GetPosition(), true);
    if (node == kNoNode) {
        event.Skip();
        return;
    }
    m_model->OnDoubleClick(node);
    AfterModelChange();
}

void SessionDeckDialog::OnRightDown(wxMouseEvent& event) {
    const TreeNodeId node = HitNode(event.GetPosition(), true);
    if (node == kNoNode) return;
    m_model->Selection().RightClick(node);
    ShowSelection();
    ShowContextMenu(event.GetPosition());
}

void SessionDeckDialog::OnTreeKey(wxKeyEvent& event) {
    const KeyModifiers keys{event.ControlDown(), event.ShiftDown(), event.AltDown()};
    auto move = [&](TreeKey key) {
        m_model->Selection().KeyDown(key, keys);
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
        case WXK_LEFT:
        case WXK_RIGHT: {
            // Expanding and collapsing go through the tree's events to the model; the tree's
            // own handling would move its selection behind the model's back.
            const TreeNodeId caret = m_model->Selection().Caret();
            const wxTreeItemId item = ItemOf(caret);
            if (!item.IsOk()) return;
            const bool folder = m_model->Tree().IsFolder(caret);
            const bool expanded = folder && m_model->Tree().Node(caret).expanded;
            if (event.GetKeyCode() == WXK_RIGHT && folder && !expanded) {
                m_tree->Expand(item);
            } else if (event.GetKeyCode() == WXK_LEFT && expanded) {
                m_tree->Collapse(item);
            } else {
                move(event.GetKeyCode() == WXK_LEFT ? TreeKey::kParent : TreeKey::kFirstChild);
            }
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
    const int code = event.GetKeyCode();
    // While a label is edited its keys are the edit box's: Escape cancels the edit and Enter
    // ends it, instead of closing the dialog or pressing Connect, and no accelerator fires.
    if (m_tree->GetEditControl() != nullptr) {
        const wxTreeItemId item = ItemOf(m_model->EditingNode());
        if (item.IsOk() && code == WXK_ESCAPE) {
            m_tree->EndEditLabel(item, true);
            return;
        }
        if (item.IsOk() && (code == WXK_RETURN || code == WXK_NUMPAD_ENTER)) {
            m_tree->EndEditLabel(item, false);
            return;
        }
        event.DoAllowNextEvent();
        event.Skip();
        return;
    }
    if (m_dragging) {
        if (code == WXK_ESCAPE) EndDrag(false, {});
        return;
    }
    const bool alt = event.AltDown();
    const bool ctrl = event.ControlDown();
    if (ctrl && !alt && (code == 'F' || code == 'f')) {
        m_filter->SetFocus();
        m_filter->SelectAll();
        return;
    }
    wxWindow* focus = FindFocus();
    const bool inFilter = focus && (focus == m_filter || focus->GetParent() == m_filter);
    if (inFilter) {
        if (code == WXK_ESCAPE && !m_filter->IsEmpty()) {
            m_filter->Clear();  // clears the filter; Escape in an empty box closes as usual
            return;
        }
        if (code == WXK_RETURN || code == WXK_NUMPAD_ENTER) {
            m_model->OnFilterEnter();
            AfterModelChange();
            return;
        }
        if (code == WXK_DOWN) {
            m_tree->SetFocus();  // from the filter on to its matches
            return;
        }
        event.Skip();  // the box's own typing
        return;
    }
    if (code == WXK_MENU || (code == WXK_F10 && event.ShiftDown() && !alt && !ctrl)) {
        const wxTreeItemId caret = ItemOf(m_model->Selection().Caret());
        wxRect row;
        if (caret.IsOk() && m_tree->GetBoundingRect(caret, row, true))
            ShowContextMenu(row.GetPosition() + wxPoint(0, row.height));
        else
            ShowContextMenu(wxPoint(0, 0));
        return;
    }
    // Arrows without Alt move in the tree; Enter only reaches the model while the tree has the
    // focus, so that a focused button still presses itself.
    const bool treeFocused = focus == m_tree;
    const uint32_t key = ModelKey(event);
    const bool arrow = key == SessionDeckKey::kUp || key == SessionDeckKey::kDown;
    const bool enter = key == SessionDeckKey::kEnter;
    if (key != 0 && !(arrow && !alt) && (!enter || treeFocused || alt) &&
        !(key < 0x110000 && !alt && !ctrl)) {
        if (m_model->OnKey(key, alt, ctrl)) {
            AfterModelChange();
            return;
        }
    }
    event.Skip();
}

void SessionDeckDialog::OnExpanding(wxTreeEvent& event) {
    if (m_syncing) return;
    const TreeNodeId node = NodeOf(event.GetItem());
    if (node == kNoNode || !m_model->Tree().IsFolder(node)) return;
    const bool firstLoad = !m_model->Tree().Node(node).loaded;
    if (firstLoad) wxBeginBusyCursor();
    m_model->Tree().Expand(node);
    m_syncing = true;
    m_tree->DeleteChildren(event.GetItem());
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it->first != node && m_model->Tree().IsAncestor(node, it->first)) {
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
    m_model->Selection().Collapse(node);
    ShowSelection();
}

void SessionDeckDialog::OnToolTip(wxTreeEvent& event) {
    // An empty text shows no tooltip.
    const auto text =
        m_tree->GetEditControl() ? std::nullopt : m_model->Tooltip(NodeOf(event.GetItem()));
    event.SetToolTip(text ? ToWx(*text) : wxString());
}

void SessionDeckDialog::OnFilterText(wxCommandEvent&) {
    if (m_finished) return;
    // The index is read on its own thread; when it is ready the pending filter is shown here.
    m_model->StartFilterIndex([this] {
        CallAfter([this] {
            if (m_finished) return;
            m_model->ApplyPendingFilter();
            Rebuild();
        });
    });
    m_model->SetFilter(FromWx(m_filter->GetValue()));
    Rebuild();
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
    if (m_syncing || node == kNoNode || node != m_model->EditingNode() ||
        node == m_model->Tree().Root())
        event.Veto();
}

void SessionDeckDialog::OnEndEdit(wxTreeEvent& event) {
    // The model rebuilds the node itself, so the tree's own relabelling is always refused.
    event.Veto();
    if (m_syncing || m_model->EditingNode() == kNoNode) return;
    std::optional<VUnicodeString> text;
    if (!event.IsEditCancelled()) text = FromWx(event.GetLabel());
    // The tree is still inside its edit box's handler: redraw once it has returned.
    CallAfter([this, text] {
        const auto result = m_model->EndLabelEdit(text);
        Rebuild();
        if (result == SessionDeckModel::EditResult::kEditAgain) StartEdit(m_model->EditingNode());
    });
}

}  // namespace sessiondeck
