// Message boxes and pickers for the library's questions.
#include "ui/wx/wx_prompt.h"

#include <wx/checkbox.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/richmsgdlg.h>
#include <wx/textdlg.h>

namespace sessiondeck {

wxString ToWx(const VUnicodeString& text) {
    return wxString::FromUTF8(text.ToUtf8());
}

VUnicodeString FromWx(const wxString& text) {
    return VUnicodeString::FromUtf8(std::string(text.utf8_str()));
}

wxString Wx(std::u16string_view text) {
    return ToWx(VUnicodeString(text));
}

std::u16string FromWxText(const wxString& text) {
    return FromWx(text).str();
}

namespace {

long Style(VPromptButtons buttons, VPromptIcon icon) {
    long style = 0;
    switch (buttons) {
        case VPromptButtons::kOk:
            style = wxOK;
            break;
        case VPromptButtons::kOkCancel:
            style = wxOK | wxCANCEL;
            break;
        case VPromptButtons::kYesNo:
            style = wxYES_NO;
            break;
        case VPromptButtons::kYesNoCancel:
            style = wxYES_NO | wxCANCEL;
            break;
    }
    switch (icon) {
        case VPromptIcon::kNone:
            break;
        case VPromptIcon::kExclamation:
            style |= wxICON_WARNING;
            break;
        case VPromptIcon::kQuestion:
            style |= wxICON_QUESTION;
            break;
        case VPromptIcon::kInformation:
            style |= wxICON_INFORMATION;
            break;
        case VPromptIcon::kError:
            style |= wxICON_ERROR;
            break;
    }
    return style;
}

// A box closed by its window's close button answers wxID_CANCEL even where the box has no
// Cancel; the library's rule (Cancel, else No, else OK) decides instead.
VPromptAnswer Answer(int id, VPromptButtons buttons) {
    switch (id) {
        case wxID_OK:
            return VPromptAnswer::kOk;
        case wxID_YES:
            return VPromptAnswer::kYes;
        case wxID_NO:
            return VPromptAnswer::kNo;
        case wxID_CANCEL:
            return buttons == VPromptButtons::kOkCancel || buttons == VPromptButtons::kYesNoCancel
                       ? VPromptAnswer::kCancel
                       : DismissedAnswer(buttons);
        default:
            return DismissedAnswer(buttons);
    }
}

}  // namespace

wxWindow* WxPrompt::Owner() const {
    // A question asked while a dialog opened over the parent has the focus (a list page's
    // editor, whose OK the model refuses) belongs over that dialog: over the parent it may open
    // behind it, and closing it hands the focus to the parent, which can then cover the dialog
    // the user was typing in.
    wxWindow* focus = wxWindow::FindFocus();
    wxWindow* top = focus ? wxGetTopLevelParent(focus) : nullptr;
    if (!m_parent || !top || top == m_parent) return m_parent;
    for (wxWindow* up = top->GetParent(); up; up = up->GetParent())
        if (up == m_parent) return top;
    return m_parent;
}

VPromptAnswer WxPrompt::ShowMessage(const VUnicodeString& text, const VUnicodeString& caption,
                                    VPromptButtons buttons, VPromptIcon icon) {
    long style = Style(buttons, icon);
    if (m_noDefault && (style & wxYES_NO)) style |= wxNO_DEFAULT;
    wxMessageDialog box(Owner(), ToWx(text), ToWx(caption), style);
    return Answer(box.ShowModal(), buttons);
}

VPromptCheckedAnswer WxPrompt::ShowOptionalMessage(const VUnicodeString& text,
                                                   const VUnicodeString& caption,
                                                   VPromptButtons buttons, VPromptIcon icon,
                                                   const VUnicodeString& checkLabel) {
    wxRichMessageDialog box(Owner(), ToWx(text), ToWx(caption), Style(buttons, icon));
    box.ShowCheckBox(ToWx(checkLabel), false);
    const int id = box.ShowModal();
    return {Answer(id, buttons), box.IsCheckBoxChecked()};
}

std::optional<VUnicodeString> WxPrompt::AskText(const VUnicodeString& caption,
                                                const VUnicodeString& label,
                                                const VUnicodeString& initial, bool password) {
    long style = wxOK | wxCANCEL | wxCENTRE;
    if (password) style |= wxTE_PASSWORD;
    wxTextEntryDialog box(Owner(), ToWx(label), ToWx(caption), ToWx(initial), style);
    if (box.ShowModal() != wxID_OK) return std::nullopt;
    return FromWx(box.GetValue());
}

std::optional<VUnicodeString> WxPrompt::AskFolder(const VUnicodeString& caption,
                                                  const VUnicodeString& initialFolder) {
    wxDirDialog box(Owner(), ToWx(caption), ToWx(initialFolder));
    if (box.ShowModal() != wxID_OK) return std::nullopt;
    return FromWx(box.GetPath());
}

std::optional<VUnicodeString> WxPrompt::AskFile(const VUnicodeString& caption,
                                                const VUnicodeString& initialPath,
                                                const VUnicodeString& filter, bool save) {
    const wxString filterText =
        filter.IsEmpty() ? wxString(wxFileSelectorDefaultWildcardStr) : ToWx(filter);
    const long style = save ? wxFD_SAVE | wxFD_OVERWRITE_PROMPT : wxFD_OPEN | wxFD_FILE_MUST_EXIST;
    wxFileDialog box(Owner(), ToWx(caption), wxEmptyString, ToWx(initialPath), filterText, style);
    if (box.ShowModal() != wxID_OK) return std::nullopt;
    return FromWx(box.GetPath());
}

}  // namespace sessiondeck
