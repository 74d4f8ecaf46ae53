// The option dialogs' frame on wxWidgets: tree, caption bar, page area, OK and Cancel.
#include "ui/wx/property_tree_dialog.h"

#include <wx/dcclient.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "ui/model/option_page_model.h"
#include "ui/wx/option_page_view.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

// The item data that ties a tree item to the model's node.
class NodeData : public wxTreeItemData {
public:
    explicit NodeData(PropertyNodeId id) : node(id) {}
    PropertyNodeId node;
};

}  // namespace

// ---- Caption bar -------------------------------------------------------------

PropertyCaptionBar::PropertyCaptionBar(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE) {
    wxFont font = parent->GetFont();
    font.SetWeight(wxFONTWEIGHT_BOLD);
    SetFont(font);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetMinSize(wxSize(-1, GetCharHeight() + FromDIP(8)));
    Bind(wxEVT_PAINT, &PropertyCaptionBar::OnPaint, this);
}

void PropertyCaptionBar::SetText(const wxString& text) {
    m_text = text;
    SetLabel(text);  // what screen readers and tests read; the bar draws m_text itself
    Refresh();
}

void PropertyCaptionBar::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    dc.SetBrush(wxBrush(wxSystemSettings::GetColour(wxSYS_COLOUR_ACTIVECAPTION)));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(0, 0, size.x, size.y);
    dc.SetFont(GetFont());
    dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_CAPTIONTEXT));
    const wxSize extent = dc.GetTextExtent(m_text);
    dc.DrawText(m_text, FromDIP(4), (size.y - extent.y) / 2);
}

// ---- Frame -------------------------------------------------------------------

PropertyTreeDialog::PropertyTreeDialog(wxWindow* parent, PropertyTreeModel& model,
                                       PageWindowFactory factory)
    : wxDialog(parent, wxID_ANY, Wx(model.Title()), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      m_model(model),
      m_factory(std::move(factory)) {
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* columns = new wxBoxSizer(wxHORIZONTAL);

    auto* left = new wxBoxSizer(wxVERTICAL);
    left->Add(new wxStaticText(this, wxID_ANY, "&Category:"), 0, wxBOTTOM, FromDIP(4));
    m_tree = new wxTreeCtrl(
        this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(180, 420)),
        wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_SINGLE | wxBORDER_THEME);
    m_tree->SetName("PropertyTree");
    m_tree->AddRoot(wxString());
    left->Add(m_tree, 1, wxEXPAND);
    columns->Add(left, 0, wxEXPAND | wxALL, FromDIP(8));

    auto* right = new wxBoxSizer(wxVERTICAL);
    right->AddSpacer(GetCharHeight() + FromDIP(4));
    m_caption = new PropertyCaptionBar(this);
    m_caption->SetName("PropertyCaption");
    right->Add(m_caption, 0, wxEXPAND | wxBOTTOM, FromDIP(6));
    m_pageArea = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL,
                             "PropertyPage");
    m_pageArea->SetMinSize(FromDIP(wxSize(480, 420)));
    m_pageArea->SetSizer(new wxBoxSizer(wxVERTICAL));
    right->Add(m_pageArea, 1, wxEXPAND);
    columns->Add(right, 1, wxEXPAND | wxTOP | wxRIGHT | wxBOTTOM, FromDIP(8));
    top->Add(columns, 1, wxEXPAND);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    m_ok = new wxButton(this, wxID_OK, "OK");
    buttons->Add(m_ok, 0, wxRIGHT, FromDIP(6));
    buttons->Add(new wxButton(this, wxID_CANCEL, "Cancel"));
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, FromDIP(8));
    SetSizer(top);

    m_ok->SetDefault();
    m_ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressOk(); });
    Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { PressCancel(); }, wxID_CANCEL);
    m_tree->Bind(wxEVT_TREE_SEL_CHANGING, &PropertyTreeDialog::OnSelChanging, this);
    m_tree->Bind(wxEVT_TREE_ITEM_EXPANDED, &PropertyTreeDialog::OnExpanded, this);
    m_tree->Bind(wxEVT_TREE_ITEM_COLLAPSED, &PropertyTreeDialog::OnCollapsed, this);
    Bind(wxEVT_CHAR_HOOK, &PropertyTreeDialog::OnCharHook, this);
    Bind(wxEVT_CLOSE_WINDOW, &PropertyTreeDialog::OnClose, this);

    m_model.Open(this);
    Layout();
    GetSizer()->SetSizeHints(this);
    CentreOnParent();
}

PropertyTreeDialog::~PropertyTreeDialog() {
    m_model.Close();
}

wxTreeItemId PropertyTreeDialog::ItemOf(PropertyNodeId node) const {
    const auto found = m_items.find(node);
    return found == m_items.end() ? wxTreeItemId() : found->second;
}

PropertyNodeId PropertyTreeDialog::NodeOf(const wxTreeItemId& item) const {
    if (!item.IsOk()) return kNoPropertyNode;
    const auto* data = dynamic_cast<NodeData*>(m_tree->GetItemData(item));
    return data ? data->node : kNoPropertyNode;
}

wxWindow* PropertyTreeDialog::PageWindow(PropertyTreePage* page) const {
    const auto found = m_pages.find(page);
    return found == m_pages.end() ? nullptr : found->second;
}

wxWindow* PropertyTreeDialog::CurrentPageWindow() const {
    return m_shown;
}

void PropertyTreeDialog::SetTitle(std::u16string_view title) {
    wxDialog::SetTitle(Wx(title));
}

void PropertyTreeDialog::InsertNode(PropertyNodeId id, PropertyNodeId parent, PropertyNodeId after,
                                    std::u16string_view label) {
    ++m_updating;
    const wxTreeItemId parentItem =
        parent == kNoPropertyNode ? m_tree->GetRootItem() : ItemOf(parent);
    const wxTreeItemId afterItem = ItemOf(after);
    const wxTreeItemId item =
        afterItem.IsOk()
            ? m_tree->InsertItem(parentItem, afterItem, Wx(label), -1, -1, new NodeData(id))
            : m_tree->InsertItem(parentItem, 0, Wx(label), -1, -1, new NodeData(id));
    m_items[id] = item;
    --m_updating;
}

void PropertyTreeDialog::DeleteNode(PropertyNodeId id) {
    const wxTreeItemId item = ItemOf(id);
    if (!item.IsOk()) return;
    ++m_updating;
    m_tree->Delete(item);
    m_items.erase(id);
    --m_updating;
}

void PropertyTreeDialog::SelectNode(PropertyNodeId id) {
    ++m_updating;
    const wxTreeItemId item = ItemOf(id);
    if (item.IsOk()) {
        m_tree->SelectItem(item);
        m_tree->EnsureVisible(item);
    } else {
        m_tree->UnselectAll();
    }
    --m_updating;
}

void PropertyTreeDialog::ExpandNode(PropertyNodeId id, bool expand) {
    const wxTreeItemId item = ItemOf(id);
    if (!item.IsOk() || !m_tree->ItemHasChildren(item)) return;
    ++m_updating;
    if (expand)
        m_tree->Expand(item);
    else
        m_tree->Collapse(item);
    --m_updating;
}

void PropertyTreeDialog::ShowPage(PropertyTreePage* page) {
    wxWindow* window = nullptr;
    if (page) {
        window = PageWindow(page);
        if (!window) {
            if (m_factory) window = m_factory(m_pageArea, page);
            if (!window) {
                if (auto* optionPage = dynamic_cast<OptionPage*>(page))
                    window = new OptionPageView(m_pageArea, *optionPage);
                else
                    window = new wxPanel(m_pageArea);
            }
            window->Hide();
            m_pageArea->GetSizer()->Add(window, 1, wxEXPAND);
            m_pages[page] = window;
        }
    }
    if (m_shown && m_shown != window) m_shown->Hide();
    m_shown = window;
    if (window) {
        // The model has just activated the page: its controls show what it loaded.
        if (auto* bound = dynamic_cast<IPropertyPageWindow*>(window)) bound->LoadFromPage();
        window->Enable();
        window->Show();
    }
    m_pageArea->Layout();
}

void PropertyTreeDialog::SetCaption(std::u16string_view text) {
    m_caption->SetText(Wx(text));
}

void PropertyTreeDialog::FocusTree() {
    m_tree->SetFocus();
}

void PropertyTreeDialog::StoreCurrent() {
    if (auto* bound = dynamic_cast<IPropertyPageWindow*>(m_shown)) bound->StoreToPage();
}

void PropertyTreeDialog::FocusRefusedCurrent() {
    if (auto* bound = dynamic_cast<IPropertyPageWindow*>(m_shown)) bound->FocusRefused();
}

bool PropertyTreeDialog::RequestNode(PropertyNodeId node) {
    StoreCurrent();
    const bool changed = m_model.OnSelect(node);
    if (!changed) {
        // The control never moved (its change was vetoed): show the model's selection again and
        // put the focus where the refusing page wants it.
        SelectNode(m_model.NodeOf(m_model.CurrentPage()));
        FocusRefusedCurrent();
    }
    return changed;
}

void PropertyTreeDialog::PressOk() {
    StoreCurrent();
    if (DoOk()) {
        EndModal(wxID_OK);
        return;
    }
    FocusRefusedCurrent();
}

void PropertyTreeDialog::PressCancel() {
    DoCancel();
    EndModal(wxID_CANCEL);
}

bool PropertyTreeDialog::PressKey(PropertyTreeKey key, bool ctrl, bool shift) {
    if (!ctrl) return false;
    StoreCurrent();
    PropertyTreePage* before = m_model.CurrentPage();
    const bool handled = m_model.OnKey(key, ctrl, shift);
    if (handled && m_model.CurrentPage() == before) FocusRefusedCurrent();
    return handled;
}

void PropertyTreeDialog::OnSelChanging(wxTreeEvent& event) {
    if (m_updating) return;
    // The control never changes its selection by itself: the model decides, and draws its
    // answer through SelectNode. Asking after the event has run keeps the tree control out of
    // re-entrant selection changes.
    event.Veto();
    const PropertyNodeId node = NodeOf(event.GetItem());
    if (node == kNoPropertyNode) return;
    CallAfter([this, node] { RequestNode(node); });
}

void PropertyTreeDialog::OnExpanded(wxTreeEvent& event) {
    if (!m_updating) m_model.OnExpand(NodeOf(event.GetItem()), true);
}

void PropertyTreeDialog::OnCollapsed(wxTreeEvent& event) {
    if (!m_updating) m_model.OnExpand(NodeOf(event.GetItem()), false);
}

void PropertyTreeDialog::OnCharHook(wxKeyEvent& event) {
    const bool ctrl = event.ControlDown();
    const bool shift = event.ShiftDown();
    switch (event.GetKeyCode()) {
        case WXK_TAB:
            if (ctrl && PressKey(PropertyTreeKey::kTab, ctrl, shift)) return;
            break;
        case WXK_PAGEDOWN:
        case WXK_NUMPAD_PAGEDOWN:
            if (ctrl && PressKey(PropertyTreeKey::kPageDown, ctrl, shift)) return;
            break;
        case WXK_PAGEUP:
        case WXK_NUMPAD_PAGEUP:
            if (ctrl && PressKey(PropertyTreeKey::kPageUp, ctrl, shift)) return;
            break;
        default:
            break;
    }
    event.Skip();
}

void PropertyTreeDialog::OnClose(wxCloseEvent&) {
    PressCancel();
}

}  // namespace sessiondeck
