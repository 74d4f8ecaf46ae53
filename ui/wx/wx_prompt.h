// IPrompt as wxWidgets message boxes and pickers, opened over one parent window.
#pragma once

#include <wx/window.h>

#include <string>
#include <string_view>

#include "foundation/prompt.h"

namespace sessiondeck {

wxString ToWx(const VUnicodeString& text);
VUnicodeString FromWx(const wxString& text);
// The same for the models' std::u16string texts.
wxString Wx(std::u16string_view text);
std::u16string FromWxText(const wxString& text);

class WxPrompt : public IPrompt {
public:
    explicit WxPrompt(wxWindow* parent = nullptr) : m_parent(parent) {}
    void SetParent(wxWindow* parent) { m_parent = parent; }
    // Yes/No questions default to No: for a question whose Yes cannot be undone.
    void SetNoDefault(bool noDefault) { m_noDefault = noDefault; }

    VPromptAnswer ShowMessage(const VUnicodeString& text, const VUnicodeString& caption,
                              VPromptButtons buttons, VPromptIcon icon) override;
    VPromptCheckedAnswer ShowOptionalMessage(const VUnicodeString& text,
                                             const VUnicodeString& caption, VPromptButtons buttons,
                                             VPromptIcon icon,
                                             const VUnicodeString& checkLabel) override;
    std::optional<VUnicodeString> AskText(const VUnicodeString& caption,
                                          const VUnicodeString& label,
                                          const VUnicodeString& initial, bool password) override;
    std::optional<VUnicodeString> AskFolder(const VUnicodeString& caption,
                                            const VUnicodeString& initialFolder) override;
    std::optional<VUnicodeString> AskFile(const VUnicodeString& caption,
                                          const VUnicodeString& initialPath,
                                          const VUnicodeString& filter, bool save) override;

private:
    // The window a box opens over: the parent, or a dialog opened over it that has the focus.
    wxWindow* Owner() const;

    wxWindow* m_parent;
    bool m_noDefault = false;
};

}  // namespace sessiondeck
