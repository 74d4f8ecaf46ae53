// The list pages of Global Options on wxWidgets.
#include "ui/wx/global_list_pages.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clrpicker.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "session/firewall_config.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

// 0x00BBGGRR and wxColour, both ways.
wxColour ToColour(ColorRef color) {
    return wxColour(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}
ColorRef FromColour(const wxColour& colour) {
    return static_cast<ColorRef>(colour.Red()) | static_cast<ColorRef>(colour.Green()) << 8 |
           static_cast<ColorRef>(colour.Blue()) << 16;
}

// The firewall editor: name, type, host, port, user, password, proxy prompt and command. OK hands
// the fields to the model, which refuses (and says why) or puts them into the page's list; the
// dialog stays open on a refusal.
class FirewallEditor : public wxDialog {
public:
    FirewallEditor(wxWindow* parent, FirewallListModel& model, FirewallFields fields,
                   std::u16string currentName)
        : wxDialog(parent, wxID_ANY, currentName.empty() ? "New Firewall" : "Firewall Properties",
                   wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          m_model(model),
          m_fields(std::move(fields)),
          m_current(std::move(currentName)) {
        SetName("FirewallEditor");
        auto* grid = new wxFlexGridSizer(2, FromDIP(wxSize(8, 6)));
        grid->AddGrowableCol(1);
        auto addText = [&](const wxString& label, const std::u16string& value, const char* name,
                           long style = 0) {
            grid->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
            auto* text = new wxTextCtrl(this, wxID_ANY, Wx(value), wxDefaultPosition,
                                        FromDIP(wxSize(240, -1)), style);
            text->SetName(name);
            grid->Add(text, 1, wxEXPAND);
            return text;
        };
        m_name = addText("&Name:", m_fields.name, "FirewallName");
        grid->Add(new wxStaticText(this, wxID_ANY, "&Type:"), 0, wxALIGN_CENTER_VERTICAL);
        m_type = new wxChoice(this, wxID_ANY);
        m_type->SetName("FirewallType");
        for (const FirewallTypeInfo& row : GetFirewallTypeTable()) {
            m_type->Append(Wx(row.displayName));
            if (m_fields.type == row.storedName) m_type->SetSelection(row.number);
        }
        grid->Add(m_type, 1, wxEXPAND);
        m_host = addText("&Host:", m_fields.host, "FirewallHost");
        m_port = addText("P&ort:", m_fields.port, "FirewallPort");
        m_user = addText(Wx(kFirewallUsernameLabel), m_fields.user, "FirewallUser");
        m_password = addText(Wx(kFirewallPasswordLabel), u"", "FirewallPassword", wxTE_PASSWORD);
        if (m_fields.passwordSet) m_password->SetHint("(unchanged)");
        m_password->Bind(wxEVT_TEXT, [this](wxCommandEvent&) { m_fields.passwordEdited = true; });
        m_prompt = addText(Wx(kFirewallProxyPromptLabel), m_fields.prompt, "FirewallPrompt");
        m_command = addText(Wx(kFirewallProxyCommandLabel), m_fields.command, "FirewallCommand");

        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(grid, 1, wxEXPAND | wxALL, FromDIP(10));
        top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(8));
        SetSizerAndFit(top);
        Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { PressOk(); }, wxID_OK);
        CentreOnParent();
    }

    // What OK does: true when the model took the fields (the dialog then ends).
    bool PressOk() {
        m_fields.name = FromWxText(m_name->GetValue());
        const int type = m_type->GetSelection();
        const auto table = GetFirewallTypeTable();
        m_fields.type = type >= 0 && static_cast<std::size_t>(type) < table.size()
                            ? table[static_cast<std::size_t>(type)].storedName
                            : u"";
        m_fields.host = FromWxText(m_host->GetValue());
        m_fields.port = FromWxText(m_port->GetValue());
        m_fields.user = FromWxText(m_user->GetValue());
        m_fields.password = FromWxText(m_password->GetValue());
        m_fields.prompt = FromWxText(m_prompt->GetValue());
        m_fields.command = FromWxText(m_command->GetValue());
        if (!m_model.Save(m_fields, m_current)) return false;
        EndModal(wxID_OK);
        return true;
    }

    // The name the firewall is listed under.
    std::u16string SavedName() const { return TrimFirewallName(m_fields.name).str(); }

private:
    FirewallListModel& m_model;
    FirewallFields m_fields;
    std::u16string m_current;
    wxTextCtrl* m_name = nullptr;
    wxChoice* m_type = nullptr;
    wxTextCtrl* m_host = nullptr;
    wxTextCtrl* m_port = nullptr;
    wxTextCtrl* m_user = nullptr;
    wxTextCtrl* m_password = nullptr;
    wxTextCtrl* m_prompt = nullptr;
    wxTextCtrl* m_command = nullptr;
};

// The icon chooser: the file that holds the icon and the icon's index in it.
class FileTypeIconChooser : public wxDialog {
public:
    FileTypeIconChooser(wxWindow* parent, const std::u16string& file, int index)
        : wxDialog(parent, wxID_ANY, "Change Icon") {
        SetName("FileTypeIconChooser");
        auto* grid = new wxFlexGridSizer(2, FromDIP(wxSize(8, 6)));
        grid->AddGrowableCol(1);
        grid->Add(new wxStaticText(this, wxID_ANY, "Icon &file:"), 0, wxALIGN_CENTER_VERTICAL);
        m_file =
            new wxTextCtrl(this, wxID_ANY, Wx(file), wxDefaultPosition, FromDIP(wxSize(260, -1)));
        m_file->SetName("FileTypeIconFile");
        auto* browse = new wxButton(this, wxID_ANY, "&Browse...");
        browse->SetName("FileTypeIconBrowse");
        auto* fileRow = new wxBoxSizer(wxHORIZONTAL);
        fileRow->Add(m_file, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(6));
        fileRow->Add(browse, 0);
        grid->Add(fileRow, 1, wxEXPAND);
        grid->Add(new wxStaticText(this, wxID_ANY, "Icon &index:"), 0, wxALIGN_CENTER_VERTICAL);
        m_index = new wxSpinCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                                 wxSP_ARROW_KEYS, -65535, 65535, index);
        m_index->SetName("FileTypeIconIndex");
        grid->Add(m_index, 0);
        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(grid, 1, wxEXPAND | wxALL, FromDIP(10));
        top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(8));
        SetSizerAndFit(top);
        browse->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressBrowse(); });
        // The file is what the user came to change.
        m_file->SetFocus();
        m_file->SelectAll();
        CentreOnParent();
    }
    void PressBrowse() {
        wxFileDialog picker(this, "Choose an Icon File", wxString(), m_file->GetValue(),
                            "Icons (*.ico;*.png;*.svg;*.xpm)|*.ico;*.png;*.svg;*.xpm|All files|*",
                            wxFD_OPEN);
        if (picker.ShowModal() == wxID_OK) m_file->SetValue(picker.GetPath());
    }
    std::u16string File() const { return FromWxText(m_file->GetValue()); }
    int Index() const { return m_index->GetValue(); }

private:
    wxTextCtrl* m_file = nullptr;
    wxSpinCtrl* m_index = nullptr;
};

// The file type editor: type name, transfer type, application, remote open action and icon. OK
// hands the fields to the model, which refuses (and says why) or keeps them in the manager's
// memory; the dialog stays open on a refusal.
class FileTypeEditor : public wxDialog {
public:
    FileTypeEditor(wxWindow* parent, FileTypesModel& model, std::size_t row, FileTypeFields fields)
        : wxDialog(parent, wxID_ANY, "Edit File Type", wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
          m_model(model),
          m_row(row),
          m_fields(std::move(fields)) {
        SetName("FileTypeEditor");
        auto* grid = new wxFlexGridSizer(2, FromDIP(wxSize(8, 6)));
        grid->AddGrowableCol(1);
        auto label = [&](const char* text) {
            grid->Add(new wxStaticText(this, wxID_ANY, text), 0, wxALIGN_CENTER_VERTICAL);
        };
        auto choice = [&](const std::vector<FileTypeChoice>& choices, int value, const char* name) {
            auto* control = new wxChoice(this, wxID_ANY);
            control->SetName(name);
            for (const FileTypeChoice& c : choices) {
                control->Append(Wx(c.text));
                if (c.value == value) control->SetSelection(control->GetCount() - 1);
            }
            grid->Add(control, 1, wxEXPAND);
            return control;
        };
        label("&Type name:");
        m_name = new wxTextCtrl(this, wxID_ANY, Wx(m_fields.typeName), wxDefaultPosition,
                                FromDIP(wxSize(260, -1)));
        m_name->SetName("FileTypeName");
        grid->Add(m_name, 1, wxEXPAND);
        label("T&ransfer type:");
        m_transfer =
            choice(FileTypesModel::TransferChoices(), m_fields.transferType, "FileTypeTransfer");
        label("&Application:");
        m_application = new wxTextCtrl(this, wxID_ANY, Wx(m_fields.application));
        m_application->SetName("FileTypeApplication");
        m_application->SetHint("(%1 is the file itself)");
        grid->Add(m_application, 1, wxEXPAND);
        label("Remote &open action:");
        m_action = choice(FileTypesModel::OpenActionChoices(), m_fields.remoteOpenAction,
                          "FileTypeOpenAction");
        label("Icon:");
        auto* iconRow = new wxBoxSizer(wxHORIZONTAL);
        // A long icon path is shortened in the middle rather than widening the dialog or being
        // cut off at its end; the whole path is in the tooltip.
        m_icon =
            new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition,
                             FromDIP(wxSize(150, -1)), wxST_ELLIPSIZE_MIDDLE | wxST_NO_AUTORESIZE);
        m_icon->SetName("FileTypeIcon");
        // Alt+C is the stock Cancel button's.
        auto* change = new wxButton(this, wxID_ANY, "Change &Icon...");
        change->SetName("FileTypeChangeIcon");
        iconRow->Add(m_icon, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(8));
        iconRow->Add(change, 0);
        grid->Add(iconRow, 1, wxEXPAND);
        ShowIcon();

        auto* top = new wxBoxSizer(wxVERTICAL);
        top->Add(grid, 1, wxEXPAND | wxALL, FromDIP(10));
        top->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, FromDIP(8));
        SetSizerAndFit(top);
        change->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressChangeIcon(); });
        Bind(
            wxEVT_BUTTON, [this](wxCommandEvent&) { PressOk(); }, wxID_OK);
        CentreOnParent();
    }

    void PressChangeIcon() {
        FileTypeIconChooser chooser(this, m_fields.iconFile, m_fields.iconIndex);
        if (chooser.ShowModal() != wxID_OK) return;
        if (m_model.ChooseIcon(m_fields, chooser.File(), chooser.Index())) ShowIcon();
    }

    // What OK does: true when the model took the fields (the dialog then ends).
    bool PressOk() {
        auto chosen = [](wxChoice* control, const std::vector<FileTypeChoice>& choices) {
            const int at = control->GetSelection();
            return at >= 0 && static_cast<std::size_t>(at) < choices.size()
                       ? choices[static_cast<std::size_t>(at)].value
                       : -1;
        };
        m_fields.typeName = FromWxText(m_name->GetValue());
        m_fields.transferType = chosen(m_transfer, FileTypesModel::TransferChoices());
        m_fields.application = FromWxText(m_application->GetValue());
        m_fields.remoteOpenAction = chosen(m_action, FileTypesModel::OpenActionChoices());
        if (!m_model.Edit(m_row, m_fields)) return false;
        EndModal(wxID_OK);
        return true;
    }

private:
    void ShowIcon() {
        const wxString text =
            m_fields.iconFile.empty()
                ? wxString("(none)")
                : Wx(m_fields.iconFile) + wxString::Format(", %d", m_fields.iconIndex);
        m_icon->SetLabel(text);
        m_icon->SetToolTip(text);
        Layout();
    }

    FileTypesModel& m_model;
    std::size_t m_row;
    FileTypeFields m_fields;
    wxTextCtrl* m_name = nullptr;
    wxChoice* m_transfer = nullptr;
    wxTextCtrl* m_application = nullptr;
    wxChoice* m_action = nullptr;
    wxStaticText* m_icon = nullptr;
};

// A list on the left and a column of buttons on its right.
wxBoxSizer* ListWithButtons(wxWindow* page, wxWindow* list,
                            std::initializer_list<wxButton*> buttons) {
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(list, 1, wxEXPAND | wxRIGHT, page->FromDIP(8));
    auto* column = new wxBoxSizer(wxVERTICAL);
    for (wxButton* button : buttons) column->Add(button, 0, wxEXPAND | wxBOTTOM, page->FromDIP(4));
    row->Add(column, 0);
    return row;
}

}  // namespace

using Layer = ColorSchemesModel::Layer;

// ---- Firewall ----------------------------------------------------------------

FirewallPageView::FirewallPageView(wxWindow* parent, FirewallListModel& model)
    : wxPanel(parent), m_model(model) {
    m_list = new wxListBox(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(260, 300)), 0, nullptr,
                           wxLB_SINGLE);
    m_list->SetName(kFirewallListName);
    auto* add = new wxButton(this, wxID_ANY, "&Add...");
    m_edit = new wxButton(this, wxID_ANY, "&Edit...");
    m_delete = new wxButton(this, wxID_ANY, "&Delete");
    add->SetName("FirewallAdd");
    m_edit->SetName("FirewallEdit");
    m_delete->SetName("FirewallDelete");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, "&Firewalls:"), 0, wxBOTTOM, FromDIP(4));
    top->Add(ListWithButtons(this, m_list, {add, m_edit, m_delete}), 1, wxEXPAND);
    m_pending = new wxStaticText(this, wxID_ANY, "");
    m_pending->SetName("FirewallPending");
    top->Add(m_pending, 0, wxTOP | wxEXPAND, FromDIP(6));
    SetSizer(top);

    add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressAdd(); });
    m_edit->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressEdit(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressDelete(); });
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { EnableButtons(); });
    m_list->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { PressEdit(); });
    Fill();
}

void FirewallPageView::Fill() {
    const int selected = m_list->GetSelection();
    m_list->Clear();
    const std::vector<std::u16string>& names = m_model.Names();
    for (std::size_t i = 0; i < names.size(); ++i) {
        wxString label = Wx(names[i]);
        switch (m_model.State(i)) {
            case FirewallListModel::EntryState::kStored:
                break;
            case FirewallListModel::EntryState::kNew:
                label += "  (new: saved on OK)";
                break;
            case FirewallListModel::EntryState::kChanged:
                label += "  (changed: saved on OK)";
                break;
        }
        m_list->Append(label);
    }
    if (selected != wxNOT_FOUND && static_cast<unsigned>(selected) < m_list->GetCount())
        m_list->SetSelection(selected);
    if (m_list->GetSelection() == wxNOT_FOUND && m_list->GetCount() > 0) m_list->SetSelection(0);
    wxString deleted;
    for (const std::u16string& name : m_model.PendingDeletes())
        deleted += (deleted.empty() ? "Deleted on OK: " : ", ") + Wx(name);
    m_pending->SetLabel(deleted);
    m_pending->Show(!deleted.empty());
    Layout();
    EnableButtons();
}

void FirewallPageView::EnableButtons() {
    const bool any = m_list->GetSelection() != wxNOT_FOUND;
    m_edit->Enable(any);
    m_delete->Enable(any);
}

bool FirewallPageView::RunEditor(FirewallFields fields, const std::u16string& currentName) {
    FirewallEditor editor(this, m_model, std::move(fields), currentName);
    const bool saved = editor.ShowModal() == wxID_OK;
    Fill();
    if (saved) {
        const std::vector<std::u16string>& names = m_model.Names();
        const auto found = std::find(names.begin(), names.end(), editor.SavedName());
        if (found != names.end()) m_list->SetSelection(static_cast<int>(found - names.begin()));
        EnableButtons();
    }
    return saved;
}

void FirewallPageView::PressAdd() {
    RunEditor(m_model.NewFields(), u"");
}

void FirewallPageView::PressEdit() {
    const int index = m_list->GetSelection();
    if (index == wxNOT_FOUND) return;
    if (auto fields = m_model.Fields(static_cast<std::size_t>(index)))
        RunEditor(*fields, fields->name);
    else
        Fill();
}

void FirewallPageView::PressDelete() {
    const int index = m_list->GetSelection();
    if (index == wxNOT_FOUND) return;
    m_model.Delete(static_cast<std::size_t>(index));
    Fill();
}

// ---- Color Schemes -----------------------------------------------------------

ColorSchemesPageView::ColorSchemesPageView(wxWindow* parent, ColorSchemesModel& model)
    : wxPanel(parent), m_model(model) {
    m_list = new wxListBox(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(260, 160)), 0, nullptr,
                           wxLB_SINGLE);
    m_list->SetName(kColorSchemeListName);
    auto* add = new wxButton(this, wxID_ANY, "&New...");
    m_delete = new wxButton(this, wxID_ANY, Wx(kDeleteColorSchemeCommand));
    add->SetName("ColorSchemeNew");
    m_delete->SetName("ColorSchemeDelete");
    m_advanced = new wxCheckBox(this, wxID_ANY, "&Advanced (a colour for every attribute)");
    m_advanced->SetName("ColorSchemeAdvanced");
    m_rows = new wxPanel(this);
    m_rows->SetSizer(new wxFlexGridSizer(3, FromDIP(wxSize(8, 4))));

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, "&Color schemes:"), 0, wxBOTTOM, FromDIP(4));
    top->Add(ListWithButtons(this, m_list, {add, m_delete}), 0, wxEXPAND | wxBOTTOM, FromDIP(8));
    top->Add(m_advanced, 0, wxBOTTOM, FromDIP(6));
    top->Add(m_rows, 1, wxEXPAND);
    SetSizer(top);

    add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressNew(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressDelete(); });
    m_list->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
        m_model.Select(m_list->GetSelection());
        FillRows();
    });
    m_advanced->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
        m_model.SetAdvanced(m_advanced->GetValue());
        FillRows();
    });
    Fill();
}

void ColorSchemesPageView::Fill() {
    m_list->Clear();
    for (const std::u16string& name : m_model.Names()) m_list->Append(Wx(name));
    if (m_model.Current() >= 0) {
        m_list->SetSelection(m_model.Current());
        m_list->EnsureVisible(m_model.Current());
    }
    FillRows();
}

void ColorSchemesPageView::FillRows() {
    m_delete->Enable(m_model.CanDelete());
    m_advanced->SetValue(m_model.IsAdvanced());
    m_advanced->Enable(m_model.CanEdit());
    m_rows->DestroyChildren();
    wxSizer* grid = m_rows->GetSizer();
    grid->Clear();
    grid->Add(new wxStaticText(m_rows, wxID_ANY, wxString()));
    grid->Add(new wxStaticText(m_rows, wxID_ANY, "Foreground"));
    grid->Add(new wxStaticText(m_rows, wxID_ANY, "Background"));
    const std::vector<std::u16string> rows = m_model.Rows();
    for (std::size_t row = 0; row < rows.size(); ++row) {
        grid->Add(new wxStaticText(m_rows, wxID_ANY, Wx(rows[row])), 0, wxALIGN_CENTER_VERTICAL);
        for (Layer layer : {Layer::Foreground, Layer::Background}) {
            const int r = static_cast<int>(row);
            auto* picker =
                new wxColourPickerCtrl(m_rows, wxID_ANY, ToColour(m_model.RowColor(r, layer)));
            picker->SetName(
                wxString::Format("ColorScheme%s%d", layer == Layer::Foreground ? "Fg" : "Bg", r));
            picker->Enable(m_model.CanEdit());
            picker->Bind(wxEVT_COLOURPICKER_CHANGED, [this, r, layer](wxColourPickerEvent& event) {
                m_model.SetRowColor(r, layer, FromColour(event.GetColour()));
            });
            grid->Add(picker);
        }
    }
    m_rows->Layout();
    Layout();
}

void ColorSchemesPageView::PressNew() {
    if (m_model.New() >= 0) Fill();
}

void ColorSchemesPageView::PressDelete() {
    if (m_model.Delete()) Fill();
}

// ---- ANSI Color --------------------------------------------------------------

AnsiColorPageView::AnsiColorPageView(wxWindow* parent, ColorSchemesModel& model)
    : wxPanel(parent), m_model(model) {
    auto* grid = new wxFlexGridSizer(4, FromDIP(wxSize(8, 6)));
    const auto& names = ColorSchemesModel::AnsiNames();
    for (int i = 0; i < ColorSchemesModel::kAnsiCount; ++i) {
        grid->Add(new wxStaticText(this, wxID_ANY, Wx(names[static_cast<std::size_t>(i)])), 0,
                  wxALIGN_CENTER_VERTICAL);
        auto* picker = new wxColourPickerCtrl(this, wxID_ANY, ToColour(m_model.AnsiColor(i)));
        picker->SetName(wxString::Format("AnsiColor%d", i));
        picker->Bind(wxEVT_COLOURPICKER_CHANGED, [this, i](wxColourPickerEvent& event) {
            m_model.SetAnsiColor(i, FromColour(event.GetColour()));
        });
        grid->Add(picker);
        m_pickers.push_back(picker);
    }
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY,
                              "The colours terminals show for the sixteen ANSI colour numbers:"),
             0, wxBOTTOM, FromDIP(8));
    top->Add(grid, 0);
    SetSizer(top);
}

void AnsiColorPageView::LoadFromPage() {
    for (int i = 0; i < ColorSchemesModel::kAnsiCount; ++i)
        m_pickers[static_cast<std::size_t>(i)]->SetColour(ToColour(m_model.AnsiColor(i)));
}

// ---- File Types --------------------------------------------------------------

FileTypesPageView::FileTypesPageView(wxWindow* parent, FileTypesModel& model)
    : wxPanel(parent), m_model(model) {
    m_list = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, FromDIP(wxSize(330, 320)),
                            wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_THEME);
    m_list->SetName(kFileTypeListName);
    // The type names are the longest column; the transfer types are one short word.
    m_list->AppendColumn("Extension", wxLIST_FORMAT_LEFT, FromDIP(75));
    m_list->AppendColumn("Type", wxLIST_FORMAT_LEFT, FromDIP(175));
    m_list->AppendColumn("Transfer", wxLIST_FORMAT_LEFT, FromDIP(70));
    auto* add = new wxButton(this, wxID_ANY, "&Add...");
    m_edit = new wxButton(this, wxID_ANY, "&Edit...");
    m_delete = new wxButton(this, wxID_ANY, "&Delete");
    auto* restore = new wxButton(this, wxID_ANY, "&Restore Defaults");
    add->SetName("FileTypeAdd");
    m_edit->SetName("FileTypeEdit");
    m_delete->SetName("FileTypeDelete");
    restore->SetName("FileTypeRestore");
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(new wxStaticText(this, wxID_ANY, "&File types:"), 0, wxBOTTOM, FromDIP(4));
    top->Add(ListWithButtons(this, m_list, {add, m_edit, m_delete, restore}), 1, wxEXPAND);
    SetSizer(top);

    add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressAdd(); });
    m_edit->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressEdit(); });
    m_delete->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressDelete(); });
    restore->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { PressRestore(); });
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { EnableButtons(); });
    m_list->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { EnableButtons(); });
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { PressEdit(); });
    Fill(-1);
}

long FileTypesPageView::Selected() const {
    return m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
}

void FileTypesPageView::Fill(int row) {
    m_list->DeleteAllItems();
    const auto& rows = m_model.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const long item = m_list->InsertItem(static_cast<long>(i), Wx(rows[i].extension));
        m_list->SetItem(item, 1, Wx(rows[i].typeName));
        m_list->SetItem(item, 2, Wx(rows[i].transfer));
    }
    if (row >= 0 && row < m_list->GetItemCount()) {
        m_list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_list->EnsureVisible(row);
    }
    EnableButtons();
}

void FileTypesPageView::EnableButtons() {
    const bool any = Selected() >= 0;
    m_edit->Enable(any);
    m_delete->Enable(any);
}

void FileTypesPageView::PressEdit() {
    const long row = Selected();
    if (row < 0) return;
    const auto fields = m_model.Fields(static_cast<std::size_t>(row));
    if (!fields) return;
    FileTypeEditor editor(this, m_model, static_cast<std::size_t>(row), *fields);
    if (editor.ShowModal() == wxID_OK) Fill(static_cast<int>(row));
}

void FileTypesPageView::PressAdd() {
    const int row = m_model.Add();
    if (row >= 0) Fill(row);
}

void FileTypesPageView::PressDelete() {
    const long row = Selected();
    if (row < 0) return;
    if (m_model.Delete(static_cast<std::size_t>(row)))
        Fill(std::min<int>(static_cast<int>(row), static_cast<int>(m_model.Rows().size()) - 1));
}

void FileTypesPageView::PressRestore() {
    if (m_model.RestoreDefaults()) Fill(-1);
}

}  // namespace sessiondeck
