// Any OptionPage drawn from its description: one control per entry (check box, number, text,
// multi-line text, password, choice, file or folder picker, colour, font, note). Thin: the
// values come from the page's model after it is activated and go back before it validates.
#pragma once

#include <vector>

#include <wx/panel.h>

#include "ui/model/option_page_model.h"
#include "ui/wx/property_tree_dialog.h"

class wxCheckBox;
class wxChoice;
class wxColourPickerCtrl;
class wxFontPickerCtrl;
class wxStaticText;
class wxTextCtrl;

namespace sessiondeck {

class OptionPageView : public wxPanel, public IPropertyPageWindow {
public:
    OptionPageView(wxWindow* parent, OptionPage& page);

    OptionPage& Page() { return m_page; }
    // The window that edits control `index` (the text box of a picker); null for a note.
    wxWindow* ControlWindow(std::size_t index) const;

    void LoadFromPage() override;
    void StoreToPage() override;
    void FocusRefused() override;

private:
    struct Row {
        wxCheckBox* check = nullptr;
        wxChoice* choice = nullptr;
        wxTextCtrl* text = nullptr;
        wxStaticText* secretState = nullptr;
        wxColourPickerCtrl* colour = nullptr;
        wxFontPickerCtrl* font = nullptr;
        bool fontChanged = false;
    };
    void Build();
    void Pick(std::size_t index);

    OptionPage& m_page;
    std::vector<Row> m_rows;
};

// A font setting's text form and a wxFont, both ways. Keeps every field of `base` that a
// wxFont does not carry.
wxFont FontFromText(const std::u16string& text);
std::u16string FontToText(const wxFont& font, const std::u16string& base);

}  // namespace sessiondeck
