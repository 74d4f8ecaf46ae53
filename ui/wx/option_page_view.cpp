// Drawing an OptionPage from its description and moving values between controls and model.
#include "ui/wx/option_page_view.h"

#include <algorithm>
#include <string_view>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/clrpicker.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/fontpicker.h>
#include <wx/gbsizer.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "data/binary_records.h"
#include "profile/text_form.h"
#include "ui/wx/wx_prompt.h"

namespace sessiondeck {

namespace {

// The pickers take "Name|pattern|Name|pattern"; the tables may end the list with "||".
wxString PickerFilter(const char16_t* filter) {
    wxString text = filter ? Wx(filter) : wxString("All files (*)|*");
    while (text.EndsWith("|")) text.RemoveLast();
    return text;
}

// Colours are stored as 0x00BBGGRR.
wxColour ColourFromText(const std::u16string& text) {
    const auto value = textform::ParseNumber(text, INT32_MIN, UINT32_MAX);
    const uint32_t bgr = value ? static_cast<uint32_t>(*value) : 0;
    return wxColour(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

std::u16string ColourToText(const wxColour& colour) {
    const uint32_t bgr = colour.Red() | (colour.Green() << 8) | (colour.Blue() << 16);
    return textform::Widen(std::to_string(bgr));
}

// The face up to its terminating 0. VLogFont::Face is not exported from the core library, so the
// view reads the array itself.
std::u16string_view FaceOf(const VLogFont& font) {
    const std::u16string_view all(font.faceName.data(), font.faceName.size());
    return all.substr(0, std::min(all.find(u'\0'), all.size()));
}

}  // namespace

wxFont FontFromText(const std::u16string& text) {
    VLogFont font;
    if (!VProfileTextForm<VLogFont>::Parse(text, font)) return wxFont();
    const int points = font.pointSize > 0 ? (font.pointSize + 5) / 10 : 10;
    wxFontInfo info(points);
    info.FaceName(Wx(FaceOf(font)));
    if (font.italic) info.Italic();
    if (font.underline) info.Underlined();
    if (font.strikeOut) info.Strikethrough();
    if (font.weight > 0) info.Weight(font.weight);
    return wxFont(info);
}

std::u16string FontToText(const wxFont& font, const std::u16string& base) {
    VLogFont record;
    VProfileTextForm<VLogFont>::Parse(base, record);
    record.pointSize = font.GetPointSize() * 10;
    // A negative height asks for the character height in pixels at 96 per inch.
    record.height = -(font.GetPointSize() * 96 + 36) / 72;
    record.weight = font.GetNumericWeight();
    record.italic = font.GetStyle() == wxFONTSTYLE_NORMAL ? 0 : 1;
    record.underline = font.GetUnderlined() ? 1 : 0;
    record.strikeOut = font.GetStrikethrough() ? 1 : 0;
    record.SetFace(FromWxText(font.GetFaceName()));
    return VProfileTextForm<VLogFont>::Format(record);
}

OptionPageView::OptionPageView(wxWindow* parent, OptionPage& page)
    : wxPanel(parent, wxID_ANY), m_page(page) {
    Build();
}

void OptionPageView::Build() {
    auto* top = new wxBoxSizer(wxVERTICAL);
    // Two columns, labels and controls; check boxes and notes span both, so a long one does not
    // push every control to the right.
    auto* grid = new wxGridBagSizer(FromDIP(6), FromDIP(8));
    int line = 0;
    auto cell = [&](wxWindow* window, int column, int flags) {
        grid->Add(window, wxGBPosition(line, column), wxDefaultSpan, flags);
    };
    auto cellSizer = [&](wxSizer* sizer, int flags) {
        grid->Add(sizer, wxGBPosition(line, 1), wxDefaultSpan, flags);
    };
    auto wide = [&](wxWindow* window) { grid->Add(window, wxGBPosition(line, 0), wxGBSpan(1, 2)); };
    m_rows.resize(m_page.ControlCount());
    const int gap = FromDIP(6);

    for (std::size_t i = 0; i < m_page.ControlCount(); ++i) {
        const OptionControl& control = m_page.Control(i);
        Row& row = m_rows[i];
        const wxString label = Wx(m_page.Label(i));
        auto labelText = [&] {
            cell(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
        };
        auto labelled = [&](wxWindow* window) {
            labelText();
            cell(window, 1, wxEXPAND);
        };
        switch (control.kind) {
            case OptionControlKind::kCheck:
                row.check = new wxCheckBox(this, wxID_ANY, label);
                wide(row.check);
                break;
            case OptionControlKind::kNumber:
                row.text = new wxTextCtrl(this, wxID_ANY);
                row.text->SetMinSize(wxSize(FromDIP(100), -1));
                labelText();
                cell(row.text, 1, 0);
                break;
            case OptionControlKind::kText:
                row.text = new wxTextCtrl(this, wxID_ANY);
                labelled(row.text);
                break;
            case OptionControlKind::kMultiLine:
                row.text = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition,
                                          wxSize(-1, FromDIP(80)), wxTE_MULTILINE);
                labelled(row.text);
                break;
            case OptionControlKind::kSecret: {
                auto* box = new wxBoxSizer(wxHORIZONTAL);
                row.text = new wxTextCtrl(this, wxID_ANY, wxString(), wxDefaultPosition,
                                          wxDefaultSize, wxTE_PASSWORD);
                row.secretState = new wxStaticText(this, wxID_ANY, wxString());
                box->Add(row.text, 1, wxRIGHT, gap);
                box->Add(row.secretState, 0, wxALIGN_CENTER_VERTICAL);
                labelText();
                cellSizer(box, wxEXPAND);
                break;
            }
            case OptionControlKind::kChoice: {
                // Filled from the page on every load: a list of defined names can change.
                row.choice = new wxChoice(this, wxID_ANY);
                labelText();
                cell(row.choice, 1, 0);
                break;
            }
            case OptionControlKind::kFile:
            case OptionControlKind::kFolder: {
                auto* box = new wxBoxSizer(wxHORIZONTAL);
                row.text = new wxTextCtrl(this, wxID_ANY);
                auto* browse = new wxButton(this, wxID_ANY, "...", wxDefaultPosition,
                                            wxSize(FromDIP(32), -1), wxBU_EXACTFIT);
                browse->Bind(wxEVT_BUTTON, [this, i](wxCommandEvent&) { Pick(i); });
                box->Add(row.text, 1, wxRIGHT, gap / 2);
                box->Add(browse, 0);
                labelText();
                cellSizer(box, wxEXPAND);
                break;
            }
            case OptionControlKind::kColour:
                row.colour = new wxColourPickerCtrl(this, wxID_ANY);
                labelText();
                cell(row.colour, 1, 0);
                break;
            case OptionControlKind::kFont:
                row.font = new wxFontPickerCtrl(this, wxID_ANY);
                row.font->Bind(wxEVT_FONTPICKER_CHANGED,
                               [this, i](wxFontPickerEvent&) { m_rows[i].fontChanged = true; });
                labelled(row.font);
                break;
            case OptionControlKind::kNote: {
                auto* note = new wxStaticText(this, wxID_ANY, label);
                note->Wrap(FromDIP(440));
                wide(note);
                break;
            }
        }
        ++line;
    }
    // A page of nothing but check boxes and notes still has the two columns (their span).
    if (line > 0) grid->AddGrowableCol(1, 1);
    // Each control is named after its setting, so a host or test finds it without knowing the
    // page's layout.
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const char16_t* setting = m_page.Control(i).setting;
        if (wxWindow* window = ControlWindow(i); window && setting) window->SetName(Wx(setting));
    }
    top->Add(grid, 0, wxEXPAND | wxALL, FromDIP(4));
    SetSizer(top);
}

wxWindow* OptionPageView::ControlWindow(std::size_t index) const {
    const Row& row = m_rows[index];
    if (row.check) return row.check;
    if (row.choice) return row.choice;
    if (row.text) return row.text;
    if (row.colour) return row.colour;
    return row.font;
}

void OptionPageView::LoadFromPage() {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        const OptionControlValue& value = m_page.Value(i);
        const OptionControl& control = m_page.Control(i);
        if (wxWindow* window = ControlWindow(i)) window->Enable(value.bound && !m_page.readOnly);
        if (row.check) row.check->SetValue(value.checked);
        if (row.choice) {
            wxArrayString names;
            for (const std::u16string& name : m_page.Choices(i)) names.Add(Wx(name));
            if (row.choice->GetStrings() != names) row.choice->Set(names);
            row.choice->SetSelection(value.choice < 0 ? wxNOT_FOUND : value.choice);
        }
        if (control.kind == OptionControlKind::kSecret) {
            row.text->ChangeValue(wxString());
            row.secretState->SetLabel(value.secretSet ? "(saved)" : "(none)");
        } else if (row.text) {
            row.text->ChangeValue(Wx(value.text));
        }
        if (row.colour) row.colour->SetColour(ColourFromText(value.text));
        if (row.font) {
            row.font->SetSelectedFont(FontFromText(value.text));
            row.fontChanged = false;
        }
    }
    Layout();
}

void OptionPageView::StoreToPage() {
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        OptionControlValue& value = m_page.Value(i);
        const OptionControl& control = m_page.Control(i);
        if (row.check) value.checked = row.check->GetValue();
        if (row.choice) value.choice = row.choice->GetSelection();
        if (control.kind == OptionControlKind::kSecret) {
            // Typing replaces the password; an untouched box keeps it.
            const wxString typed = row.text->GetValue();
            value.secretEdited = !typed.empty();
            value.text = FromWxText(typed);
        } else if (row.text) {
            value.text = FromWxText(row.text->GetValue());
        }
        if (row.colour) {
            // Only a colour the user picked changes the stored number's form.
            const std::u16string picked = ColourToText(row.colour->GetColour());
            if (ColourFromText(value.loaded) != row.colour->GetColour()) value.text = picked;
        }
        if (row.font && row.fontChanged)
            value.text = FontToText(row.font->GetSelectedFont(), value.loaded);
    }
}

void OptionPageView::FocusRefused() {
    const int index = m_page.FocusControl();
    if (index < 0 || static_cast<std::size_t>(index) >= m_rows.size()) return;
    if (wxWindow* window = ControlWindow(static_cast<std::size_t>(index))) {
        window->SetFocus();
        if (auto* text = dynamic_cast<wxTextCtrl*>(window)) text->SelectAll();
    }
}

void OptionPageView::Pick(std::size_t index) {
    const OptionControl& control = m_page.Control(index);
    wxTextCtrl* text = m_rows[index].text;
    const wxString title = control.pickerTitle ? Wx(control.pickerTitle) : wxString("Browse");
    if (control.kind == OptionControlKind::kFolder) {
        wxDirDialog picker(this, title, text->GetValue());
        if (picker.ShowModal() == wxID_OK) text->ChangeValue(picker.GetPath());
    } else {
        const wxString current = text->GetValue().empty() && control.pickerDefault
                                     ? Wx(control.pickerDefault)
                                     : text->GetValue();
        wxFileDialog picker(this, title, wxString(), current, PickerFilter(control.pickerFilter),
                            control.pickerSaves ? wxFD_SAVE : wxFD_OPEN);
        if (picker.ShowModal() == wxID_OK) text->ChangeValue(picker.GetPath());
    }
}

}  // namespace sessiondeck
