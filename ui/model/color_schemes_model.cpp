// The Global Options Color Schemes and ANSI Color pages: a copy of the configuration's schemes
// and palette, the page's commands through the library's ColorSchemePage and ColorSchemeEditor.
#include "ui/model/color_schemes_model.h"

#include "app/global_config.h"
#include "ui/model/warning.h"

namespace sessiondeck {

ColorSchemesModel::ColorSchemesModel(GlobalConfig& config, IPrompt& prompt, std::u16string caption,
                                     std::u16string_view shownFirst)
    : m_config(config),
      m_prompt(prompt),
      m_caption(std::move(caption)),
      m_list(config.colorSchemes),
      m_ansi(config.ansiColorRgb.Get()) {
    m_current = m_list.IndexOf(shownFirst);
    if (m_current < 0) m_current = m_list.IndexOf(kMonochromeSchemeName);
    if (m_current < 0 && m_list.GetCount() > 0) m_current = 0;
}

std::vector<std::u16string> ColorSchemesModel::Names() const {
    std::vector<std::u16string> names;
    for (std::size_t i = 0; i < m_list.GetCount(); ++i)
        names.push_back(m_list.GetAt(i).GetName().str());
    return names;
}

void ColorSchemesModel::Select(int index) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_list.GetCount()) m_current = index;
}

bool ColorSchemesModel::CanEdit() const {
    return m_current >= 0 && ColorSchemePage::CanEdit(Names()[m_current]);
}

bool ColorSchemesModel::CanDelete() const {
    return m_current >= 0 && ColorSchemePage::CanDelete(Names()[m_current]);
}

int ColorSchemesModel::New() {
    const auto answer =
        m_prompt.AskText(VUnicodeString(kNewColorSchemeTitle),
                         VUnicodeString(kNewColorSchemeNameLabel), VUnicodeString(), false);
    if (!answer) return -1;
    // Blanks around a name are a slip of the keyboard, never part of it.
    const std::u16string name(TrimBlanks(answer->str()));
    VUnicodeString refusal;
    ColorSchemePage page(m_list);
    const int index = page.AddNew(VUnicodeString(name), refusal);
    if (index < 0) {
        if (!refusal.IsEmpty()) Warn(m_prompt, refusal, VUnicodeString(m_caption));
        return -1;
    }
    m_current = index;
    return index;
}

bool ColorSchemesModel::Delete() {
    if (m_current < 0) return false;
    ColorSchemePage page(m_list);
    const bool deleted =
        page.Delete(static_cast<std::size_t>(m_current), [this](const VUnicodeString& question) {
            return m_prompt.ShowMessage(question, VUnicodeString(m_caption), VPromptButtons::kYesNo,
                                        VPromptIcon::kQuestion) == VPromptAnswer::kYes;
        });
    if (!deleted) return false;
    const int count = static_cast<int>(m_list.GetCount());
    if (m_current >= count) m_current = count - 1;
    return true;
}

ColorSchemeEditor ColorSchemesModel::EditorOf(int index) const {
    const ColorSchemeValue& value = m_list.GetAt(static_cast<std::size_t>(index));
    return ColorSchemeEditor(value.GetName(), value.Get());
}

std::vector<std::u16string> ColorSchemesModel::Rows() const {
    std::vector<std::u16string> rows;
    if (m_current < 0) return rows;
    for (const VUnicodeString& row : EditorOf(m_current).GetRows()) rows.push_back(row.str());
    return rows;
}

bool ColorSchemesModel::IsAdvanced() const {
    return m_current >= 0 && EditorOf(m_current).IsAdvanced();
}

bool ColorSchemesModel::SetAdvanced(bool advanced) {
    if (!CanEdit()) return false;
    ColorSchemeEditor editor = EditorOf(m_current);
    editor.SetAdvanced(advanced);
    m_list.GetAt(static_cast<std::size_t>(m_current)) = editor.GetScheme();
    return true;
}

ColorRef ColorSchemesModel::RowColor(int row, Layer layer) const {
    if (m_current < 0) return kMixedSelectionColor;
    ColorSchemeEditor editor = EditorOf(m_current);
    editor.SetSelection({row});
    return editor.GetSwatch(layer);
}

bool ColorSchemesModel::SetRowColor(int row, Layer layer, ColorRef color) {
    if (!CanEdit()) return false;
    ColorSchemeEditor editor = EditorOf(m_current);
    editor.SetSelection({row});
    if (!editor.ApplyColor(layer, color)) return false;
    m_list.GetAt(static_cast<std::size_t>(m_current)) = editor.GetScheme();
    return true;
}

const std::vector<std::u16string>& ColorSchemesModel::AnsiNames() {
    static const std::vector<std::u16string> names = {
        u"Black",        u"Red",           u"Green",       u"Yellow",         u"Blue",
        u"Magenta",      u"Cyan",          u"White",       u"Bright black",   u"Bright red",
        u"Bright green", u"Bright yellow", u"Bright blue", u"Bright magenta", u"Bright cyan",
        u"Bright white",
    };
    return names;
}

ColorRef ColorSchemesModel::AnsiColor(int index) const {
    if (index < 0 || index >= kAnsiCount) return 0;
    return m_ansi.colors[static_cast<std::size_t>(index)];
}

void ColorSchemesModel::SetAnsiColor(int index, ColorRef color) {
    if (index < 0 || index >= kAnsiCount) return;
    m_ansi.colors[static_cast<std::size_t>(index)] = NearestDisplayColor(color);
}

bool ColorSchemesModel::IsModified() const {
    if (!(m_ansi == m_config.ansiColorRgb.Get())) return true;
    if (m_list.GetCount() != m_config.colorSchemes.GetCount()) return true;
    for (std::size_t i = 0; i < m_list.GetCount(); ++i) {
        const ColorSchemeValue& mine = m_list.GetAt(i);
        const ColorSchemeValue& theirs = m_config.colorSchemes.GetAt(i);
        if (mine.GetName() != theirs.GetName() || mine.Get() != theirs.Get()) return true;
    }
    return false;
}

void ColorSchemesModel::Commit() {
    if (!IsModified()) return;
    m_config.colorSchemes = m_list;
    m_config.ansiColorRgb = m_ansi;
}

}  // namespace sessiondeck
