// The rules of the colour-scheme editor and of the colour-scheme page, without any toolkit.
#pragma once

#include <functional>
#include <vector>

#include "data/color_scheme.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// The colour shown for a selection whose combinations disagree.
inline constexpr ColorRef kMixedSelectionColor = 0xC0C0C0;

// The colour actually stored for a chosen colour. A display here shows every
// 24-bit colour, so this keeps the colour and only clears the top byte, which
// is never part of a stored colour.
SESSIONDECK_API ColorRef NearestDisplayColor(ColorRef color);

// Edits one scheme record: which attribute rows are listed, which
// combinations a selection stands for, and what choosing a colour does.
class SESSIONDECK_API ColorSchemeEditor {
public:
    enum class Layer { Foreground, Background };

    ColorSchemeEditor(const VUnicodeString& name, const ColorScheme& scheme);

    // "Color Scheme: <name>".
    VUnicodeString GetTitle() const;
    const VUnicodeString& GetName() const { return m_name; }
    const ColorScheme& GetScheme() const { return m_scheme; }

    bool IsAdvanced() const { return m_scheme.advanced != 0; }
    // Switches between the two-row and the eight-row list; the selection is
    // cleared, since its rows no longer mean the same combinations.
    void SetAdvanced(bool advanced);
    void SetOverstrikeBold(bool on) { m_scheme.overstrikeBold = on ? 1 : 0; }
    void SetShowUnderline(bool on) { m_scheme.showUnderline = on ? 1 : 0; }
    void SetEnableBlink(bool on) { m_scheme.enableBlink = on ? 1 : 0; }

    // The rows listed: "Normal" and "Bold", or all eight names.
    std::vector<VUnicodeString> GetRows() const;
    // The combinations a row stands for (empty for a row that is not listed).
    std::vector<int> GetCombinations(int row) const;

    // Rows outside the list are ignored; duplicates count once.
    void SetSelection(const std::vector<int>& rows);
    const std::vector<int>& GetSelection() const { return m_selection; }
    // The combinations of every selected row, ascending.
    std::vector<int> GetSelectedCombinations() const;

    // The common colour of the selected combinations, else
    // kMixedSelectionColor (also for an empty selection).
    ColorRef GetSwatch(Layer layer) const;
    // The desktop decides the "Windows" scheme's colours (exact name).
    bool AreColorButtonsEnabled() const;
    // Stores the nearest displayable colour in every selected combination.
    // False, and nothing changed, when the buttons are disabled or nothing is
    // selected.
    bool ApplyColor(Layer layer, ColorRef color);

private:
    VUnicodeString m_name;
    ColorScheme m_scheme;
    std::vector<int> m_selection;
};

// The colour-scheme page of Global Options: which commands apply to which
// scheme, adding a new scheme and deleting one.
class SESSIONDECK_API ColorSchemePage {
public:
    // Asks the user to confirm `question` (OK answers true).
    using Confirm = std::function<bool(const VUnicodeString& question)>;

    explicit ColorSchemePage(ProfileColorSchemeList& list) : m_list(list) {}

    static bool CanEdit(std::u16string_view name);
    static bool CanDelete(std::u16string_view name);

    // Adds a default scheme named `name` at the end of the list and returns
    // its index, or -1 with `refusal` set: "'<name>' already exists." for a
    // name in the list (any case); an empty name is refused with an empty
    // refusal, since the dialog offers nothing to add.
    int AddNew(const VUnicodeString& name, VUnicodeString& refusal);
    // Deletes the scheme at `index` when its name allows it and the user
    // confirms the delete question. False when nothing was deleted.
    bool Delete(size_t index, const Confirm& confirm);

private:
    ProfileColorSchemeList& m_list;
};

inline constexpr char16_t kColorSchemeTitleFormat[] = u"Color Scheme: %s";
inline constexpr char16_t kNewColorSchemeTitle[] = u"New Color Scheme";
inline constexpr char16_t kNewColorSchemeNameLabel[] = u"&Color scheme name:";
inline constexpr char16_t kColorSchemeExistsFormat[] = u"'%s' already exists.";
// The value files keep each scheme under its name in quotes, one per line: such a name could
// not be stored.
inline constexpr char16_t kColorSchemeNameRefused[] =
    u"A color scheme name cannot contain '\"' or a line break.";
inline constexpr char16_t kEditColorSchemeCommand[] = u"&Edit...";
inline constexpr char16_t kDeleteColorSchemeCommand[] = u"&Delete";
inline constexpr char16_t kDeleteColorSchemeQuestion[] =
    u"Sessions using this color scheme will default to Monochrome\n\nDo you still want to delete?";

}  // namespace sessiondeck
