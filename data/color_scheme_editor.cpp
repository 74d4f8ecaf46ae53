// The colour-scheme editor and page rules: attribute rows, selection, swatch, enabled commands.
#include "data/color_scheme_editor.h"
#include "foundation/message_format.h"

#include <algorithm>

namespace sessiondeck {

namespace {

// The dialog texts are printf-style with one string; only "%s" is replaced.
VUnicodeString FormatWithName(std::u16string_view format, std::u16string_view name) {
    return VUnicodeString(InsertName(format, name));
}

constexpr int kSimpleRowCount = 2;  // "Normal" and "Bold"

}  // namespace

ColorRef NearestDisplayColor(ColorRef color) {
    return color & 0x00FFFFFF;
}

ColorSchemeEditor::ColorSchemeEditor(const VUnicodeString& name, const ColorScheme& scheme)
    : m_name(name), m_scheme(scheme) {}

VUnicodeString ColorSchemeEditor::GetTitle() const {
    return FormatWithName(kColorSchemeTitleFormat, m_name);
}

void ColorSchemeEditor::SetAdvanced(bool advanced) {
    m_scheme.advanced = advanced ? 1 : 0;
    m_selection.clear();
}

std::vector<VUnicodeString> ColorSchemeEditor::GetRows() const {
    const int count = IsAdvanced() ? kColorAttributeCount : kSimpleRowCount;
    std::vector<VUnicodeString> rows;
    for (int i = 0; i < count; ++i) rows.emplace_back(kColorAttributeNames[i]);
    return rows;
}

std::vector<int> ColorSchemeEditor::GetCombinations(int row) const {
    if (IsAdvanced()) {
        if (row < 0 || row >= kColorAttributeCount) return {};
        return {row};
    }
    // Without Advanced, "Normal" stands for every combination without bold
    // and "Bold" for every one with it: bold is the lowest index bit.
    if (row < 0 || row >= kSimpleRowCount) return {};
    std::vector<int> combinations;
    for (int i = row; i < kColorAttributeCount; i += 2) combinations.push_back(i);
    return combinations;
}

void ColorSchemeEditor::SetSelection(const std::vector<int>& rows) {
    m_selection.clear();
    const int count = static_cast<int>(GetRows().size());
    for (int row : rows) {
        if (row < 0 || row >= count) continue;
        if (std::find(m_selection.begin(), m_selection.end(), row) == m_selection.end()) {
            m_selection.push_back(row);
        }
    }
    std::sort(m_selection.begin(), m_selection.end());
}

std::vector<int> ColorSchemeEditor::GetSelectedCombinations() const {
    std::vector<int> combinations;
    for (int row : m_selection) {
        for (int index : GetCombinations(row)) combinations.push_back(index);
    }
    std::sort(combinations.begin(), combinations.end());
    return combinations;
}

ColorRef ColorSchemeEditor::GetSwatch(Layer layer) const {
    const ColorRef* colors = layer == Layer::Foreground ? m_scheme.foreground : m_scheme.background;
    const std::vector<int> combinations = GetSelectedCombinations();
    if (combinations.empty()) return kMixedSelectionColor;
    const ColorRef first = colors[combinations.front()];
    for (int index : combinations) {
        if (colors[index] != first) return kMixedSelectionColor;
    }
    return first;
}

bool ColorSchemeEditor::AreColorButtonsEnabled() const {
    return m_name != kWindowsSchemeName;
}

bool ColorSchemeEditor::ApplyColor(Layer layer, ColorRef color) {
    if (!AreColorButtonsEnabled()) return false;
    const std::vector<int> combinations = GetSelectedCombinations();
    if (combinations.empty()) return false;
    ColorRef* colors = layer == Layer::Foreground ? m_scheme.foreground : m_scheme.background;
    const ColorRef shown = NearestDisplayColor(color);
    for (int index : combinations) colors[index] = shown;
    return true;
}

bool ColorSchemePage::CanEdit(std::u16string_view name) {
    return name != kWindowsSchemeName;
}

bool ColorSchemePage::CanDelete(std::u16string_view name) {
    return name != kMonochromeSchemeName && name != kTraditionalSchemeName &&
           name != kWindowsSchemeName;
}

int ColorSchemePage::AddNew(const VUnicodeString& name, VUnicodeString& refusal) {
    refusal.Empty();
    if (name.IsEmpty()) return -1;
    if (name.str().find_first_of(u"\"\r\n") != std::u16string::npos) {
        refusal = VUnicodeString(kColorSchemeNameRefused);
        return -1;
    }
    if (m_list.Exists(name)) {
        refusal = FormatWithName(kColorSchemeExistsFormat, name);
        return -1;
    }
    return static_cast<int>(m_list.Add(ProfileColorSchemeList::MakeScheme(name, ColorScheme())));
}

bool ColorSchemePage::Delete(size_t index, const Confirm& confirm) {
    if (index >= m_list.GetCount()) return false;
    if (!CanDelete(m_list.GetAt(index).GetName())) return false;
    if (!confirm || !confirm(VUnicodeString(kDeleteColorSchemeQuestion))) return false;
    m_list.RemoveAt(index);
    return true;
}

}  // namespace sessiondeck
