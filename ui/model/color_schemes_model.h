// The Global Options Color Schemes and ANSI Color pages without a toolkit: the global
// configuration's colour scheme list and ANSI palette, edited on a copy that OK puts into the
// configuration and Cancel drops.
#pragma once

#include <string>
#include <vector>

#include "data/binary_records.h"
#include "data/color_scheme.h"
#include "data/color_scheme_editor.h"
#include "foundation/prompt.h"

namespace sessiondeck {

class GlobalConfig;

class ColorSchemesModel {
public:
    using Layer = ColorSchemeEditor::Layer;

    // `shownFirst` names the scheme on show when the page opens (the host's current scheme);
    // an unknown or empty name shows Monochrome, as sessions naming it would get.
    ColorSchemesModel(GlobalConfig& config, IPrompt& prompt, std::u16string caption,
                      std::u16string_view shownFirst);

    std::vector<std::u16string> Names() const;
    // The scheme on show (its index in Names()), -1 only for an empty list.
    int Current() const { return m_current; }
    void Select(int index);
    // What the buttons may do to the scheme on show: the desktop decides "Windows"'s colours,
    // and the three built-in schemes sessions fall back to cannot be deleted.
    bool CanEdit() const;
    bool CanDelete() const;

    // New...: asks the name; a name in the list (any case) is refused with "'name' already
    // exists.". The new scheme (black on white) goes to the end and is shown. Its index, or -1.
    int New();
    // Delete: asks kDeleteColorSchemeQuestion and removes the scheme on show on Yes.
    bool Delete();

    // The scheme on show: its rows ("Normal", "Bold" or all eight combinations), a row's colour
    // and setting one. False, and nothing changed, where the scheme cannot be edited.
    std::vector<std::u16string> Rows() const;
    bool IsAdvanced() const;
    bool SetAdvanced(bool advanced);
    ColorRef RowColor(int row, Layer layer) const;
    bool SetRowColor(int row, Layer layer, ColorRef color);

    // The ANSI Color page: the sixteen colours of the ANSI palette.
    static constexpr int kAnsiCount = CustomColors::kCount;
    static const std::vector<std::u16string>& AnsiNames();
    ColorRef AnsiColor(int index) const;
    void SetAnsiColor(int index, ColorRef color);

    // Whether anything differs from the configuration.
    bool IsModified() const;
    // OK: the edited list and palette go into the configuration (saving it is the caller's).
    void Commit();

private:
    ColorSchemeEditor EditorOf(int index) const;

    GlobalConfig& m_config;
    IPrompt& m_prompt;
    std::u16string m_caption;
    ProfileColorSchemeList m_list;
    CustomColors m_ansi;
    int m_current = -1;
};

}  // namespace sessiondeck
