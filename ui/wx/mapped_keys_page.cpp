// The Mapped Keys page's key list and the chooser behind Map Key. Every change goes to the model,
// which asks its questions through the dialog's prompt.
#include "ui/wx/mapped_keys_page.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

// The key with its modifiers, and the function with its text.
class MapKeyDialog : public wxDialog {
public:
    explicit MapKeyDialog(wxWindow* parent)
        : wxDialog(parent, wxID_ANY, "Map Key", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER) {
        m_keyNames = MappedKeysModel::KeyNames();
        m_functions = MappedKeysModel::FunctionNames();
        auto* grid = new wxFlexGridSizer(2, FromDIP(6), FromDIP(8));
        grid->AddGrowableCol(1);
        m_key = AddChoice(grid, "&Key:", m_keyNames);
        grid->AddSpacer(0);
        auto* modifiers = new wxBoxSizer(wxHORIZONTAL);
        m_ctrl = AddCheck(modifiers, "&Ctrl");
        m_shift = AddCheck(modifiers, "&Shift");
        m_alt = AddCheck(modifiers, "&Alt");
        m_extended = AddCheck(modifiers, "&Extended");
        grid->Add(modifiers);
        m_function = AddChoice(grid, "&Function:", m_functions);
        grid->Add(new wxStaticText(this, wxID_ANY, "&Text or file:"), 0, wxALIGN_CENTER_VERTICAL);
        m_value = new wxTextCtrl(this, wxID_ANY, "", wxDefaultPosition, FromDIP(wxSize(260, -1)));
        grid->Add(m_value, 1, wxEXPAND);

        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(grid, 1, wxEXPAND | wxALL, FromDIP(10));
        top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(8));
        SetSizerAndFit(top);

        m_key->SetSelection(0);
        m_function->SetSelection(0);  // SEND
        m_function->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { EnableValue(); });
        EnableValue();
    }

    int KeyIndex() const {
        const int key = m_key->GetSelection();
        if (key == wxNOT_FOUND) return -1;
        return MappedKeysModel::KeyIndex(m_keyNames[static_cast<size_t>(key)], m_ctrl->GetValue(),
                                         m_shift->GetValue(), m_alt->GetValue(),
                                         m_extended->GetValue());
    }
    std::u16string Function() const {
        const int row = m_function->GetSelection();
        return row == wxNOT_FOUND ? std::u16string() : m_functions[static_cast<size_t>(row)];
    }
    std::u16string Value() const {
        return MappedKeysModel::TakesValue(Function()) ? FromWxText(m_value->GetValue())
                                                       : std::u16string();
    }

private:
    wxChoice* AddChoice(wxFlexGridSizer* grid, const wxString& label,
                        const std::vector<std::u16string>& names) {
        grid->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        auto* choice = new wxChoice(this, wxID_ANY);
        for (const auto& name : names) choice->Append(Wx(name));
        grid->Add(choice, 1, wxEXPAND);
        return choice;
    }
    wxCheckBox* AddCheck(wxBoxSizer* row, const wxString& label) {
        auto* check = new wxCheckBox(this, wxID_ANY, label);
        row->Add(check, 0, wxRIGHT, FromDIP(8));
        return check;
    }
    void EnableValue() { m_value->Enable(MappedKeysModel::TakesValue(Function())); }

    std::vector<std::u16string> m_keyNames;
    std::vector<std::u16string> m_functions;
    wxChoice* m_key = nullptr;
    wxCheckBox* m_ctrl = nullptr;
    wxCheckBox* m_shift = nullptr;
    wxCheckBox* m_alt = nullptr;
    wxCheckBox* m_extended = nullptr;
    wxChoice* m_function = nullptr;
    wxTextCtrl* m_value = nullptr;
};

}  // namespace

MappedKeysPageView::MappedKeysPageView(wxWindow* parent, OptionPage& page, MappedKeysModel& keys)
    : OptionPageView(parent, page), m_keys(keys) {
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(340, 220)),
                            wxLC_REPORT | wxLC_SINGLE_SEL);
    m_list->SetName(kMappedKeysListName);
    m_list->AppendColumn("Key", wxLIST_FORMAT_LEFT, FromDIP(150));
    m_list->AppendColumn("Action", wxLIST_FORMAT_LEFT, FromDIP(180));
    m_map = new wxButton(this, wxID_ANY, "Map &Key...");
    m_remove = new wxButton(this, wxID_ANY, "&Remove");
    m_map->SetName(kMappedKeysMapName);
    m_remove->SetName(kMappedKeysRemoveName);

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(m_list, 1, wxEXPAND | wxRIGHT, FromDIP(8));
    auto* column = new wxBoxSizer(wxVERTICAL);
    column->Add(m_map, 0, wxEXPAND | wxBOTTOM, FromDIP(4));
    column->Add(m_remove, 0, wxEXPAND);
    row->Add(column, 0);
    m_title = new wxStaticText(this, wxID_ANY, "");
    SetTitle();
    GetSizer()->Add(m_title, 0, wxLEFT | wxTOP, FromDIP(4));
    GetSizer()->Add(row, 1, wxEXPAND | wxALL, FromDIP(4));

    m_map->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressMapKey(); });
    m_remove->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressRemove(); });
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { EnableButtons(); });
    m_list->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { EnableButtons(); });
    Fill(-1);
}

void MappedKeysPageView::SetTitle() {
    // A built-in map is the session's only until the first change copies it.
    const std::u16string title = m_keys.OwnMap() ? u"Keys of this session's own map:"
                                                 : u"Keys of the built-in " + m_keys.BuiltinName() +
                                                       u" map (a change makes a copy):";
    m_title->SetLabel(Wx(title));
}

void MappedKeysPageView::LoadFromPage() {
    OptionPageView::LoadFromPage();
    if (!m_keys.FollowKeymapName()) return;
    SetTitle();
    Fill(-1);
}

void MappedKeysPageView::PressMapKey() {
    MapKeyDialog dialog(this);
    if (dialog.ShowModal() != wxID_OK) return;
    const int index = dialog.KeyIndex();
    if (m_keys.MapKey(index, dialog.Function(), dialog.Value()) ==
        MappedKeysModel::MapResult::kMapped)
        Fill(index);
}

void MappedKeysPageView::PressRemove() {
    const int row = SelectedRow();
    if (row < 0 || !m_keys.Remove(static_cast<size_t>(row))) return;
    Fill(-1);
}

void MappedKeysPageView::Fill(int selectIndex) {
    m_list->DeleteAllItems();
    const auto& rows = m_keys.Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const long item = m_list->InsertItem(static_cast<long>(i), Wx(rows[i].key));
        m_list->SetItem(item, 1, Wx(rows[i].action));
        if (rows[i].index == selectIndex) {
            m_list->SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                 wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            m_list->EnsureVisible(item);
        }
    }
    EnableButtons();
}

void MappedKeysPageView::EnableButtons() {
    m_map->Enable(!m_keys.ReadOnly());
    m_remove->Enable(!m_keys.ReadOnly() && SelectedRow() >= 0);
}

int MappedKeysPageView::SelectedRow() const {
    return static_cast<int>(m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
}

}  // namespace sessiondeck
