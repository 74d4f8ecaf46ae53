// Colour schemes: the 68-byte scheme record, its byte layout, and the stored list of named schemes.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"

namespace sessiondeck {

// Colours are 0x00BBGGRR: red in the low byte, the top byte always 0.
using ColorRef = uint32_t;

inline constexpr int kColorAttributeCount = 8;

// The names of the eight attribute combinations, in index order. Odd indices
// are the combinations with bold.
SESSIONDECK_API extern const std::array<const char16_t*, kColorAttributeCount> kColorAttributeNames;

// What the terminal shows for each combination of bold, underline and blink,
// plus four switches for how those attributes are drawn.
struct SESSIONDECK_API ColorScheme {
    // Advanced off, the other switches on, black on white everywhere.
    ColorScheme() : ColorScheme(0x000000, 0xFFFFFF) {}
    // The same foreground and background for all eight combinations.
    ColorScheme(ColorRef foreground, ColorRef background);

    // Exported by itself: a friend does not take the struct's visibility, and code outside the
    // library that copies a ColorSchemeValue needs it for the setting's virtual functions.
    friend SESSIONDECK_API bool operator==(const ColorScheme& a, const ColorScheme& b);
    friend bool operator!=(const ColorScheme& a, const ColorScheme& b) { return !(a == b); }

    uint8_t advanced = 0;
    uint8_t overstrikeBold = 1;
    uint8_t showUnderline = 1;
    uint8_t enableBlink = 1;
    ColorRef foreground[kColorAttributeCount];
    ColorRef background[kColorAttributeCount];
};

// The stored record is a file format: four switch bytes, then the eight
// foregrounds and the eight backgrounds as little-endian 32-bit values, 68
// bytes whatever the host's byte order or the struct's padding.
template <>
struct SESSIONDECK_API VProfileBinaryTraits<ColorScheme> {
    static constexpr uint32_t kSize = 68;
    static void ToBytes(const ColorScheme& value, uint8_t* bytes);
    static void FromBytes(const uint8_t* bytes, ColorScheme& value);
};

using ColorSchemeValue = VProfile2<ColorScheme, VProfileBinary>;

// System colour indices that the "Windows" scheme follows.
inline constexpr int kSysColorWindow = 5;
inline constexpr int kSysColorWindowText = 8;

// The desktop's current colour for a system colour index. Linux has no
// desktop-wide colour table, so this answers the classic defaults: black
// window text (0x000000) on a white window (0xFFFFFF); every other index is
// black. Kept to this one function so that a platform with real system
// colours changes only here.
SESSIONDECK_API ColorRef GetSystemColor(int index);

// The list of all colour schemes of the global configuration, in insertion
// order, with a copy of the whole list as its checkpoint.
class SESSIONDECK_API ProfileColorSchemeList : public VProfileData {
public:
    ProfileColorSchemeList() = default;
    ProfileColorSchemeList(const ProfileColorSchemeList&) = default;
    ProfileColorSchemeList& operator=(const ProfileColorSchemeList&) = default;
    ~ProfileColorSchemeList() override;

    // Loads the schemes stored under "Color Schemes" below `key` (a null key
    // loads nothing), applies the "Windows" rule, makes sure "Monochrome" is
    // present, or puts the eight built-in schemes in place when nothing was
    // stored. The loaded list is the checkpoint.
    void Init(VProfileKey* key);

    // Deletes the stored schemes that are no longer in the list, then saves
    // each scheme that changed (or every one with `force`). Afterwards the
    // saved list is the checkpoint.
    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override;
    void Checkpoint() override;
    void Rollback() override;

    // The scheme names joined with ";", read only: a scheme has no one-line form.
    SettingKind Kind() const override { return SettingKind::kList; }
    std::optional<std::u16string> Text() const override;
    bool IsReadOnly() const override { return true; }

    // Names compare without regard to case.
    bool Exists(std::u16string_view name) const;
    // The scheme of that name, else "Monochrome". When neither is in the list
    // (only possible for a list not loaded from a key) the built-in Monochrome
    // scheme is returned.
    ColorSchemeValue Find(std::u16string_view name) const;
    // The index of the scheme of that name, or -1.
    int IndexOf(std::u16string_view name) const;

    // Container operations. An index outside the list raises OutOfRange.
    size_t GetCount() const { return m_schemes.GetSize(); }
    const ColorSchemeValue& GetAt(size_t index) const { return m_schemes[index]; }
    ColorSchemeValue& GetAt(size_t index) { return m_schemes[index]; }
    size_t Add(const ColorSchemeValue& scheme) { return m_schemes.Add(scheme); }
    void SetAt(size_t index, const ColorSchemeValue& scheme) { m_schemes[index] = scheme; }
    void RemoveAt(size_t index) { m_schemes.RemoveAt(index); }

    // A scheme value named `name` holding `scheme` that has never been saved,
    // so the next Save writes it.
    static ColorSchemeValue MakeScheme(const VUnicodeString& name, const ColorScheme& scheme);

private:
    VArray<ColorSchemeValue> m_schemes;
    VArray<ColorSchemeValue> m_checkpoint;
};

// The names that the library and the editor treat specially (exact spelling).
inline constexpr char16_t kColorSchemesKeyName[] = u"Color Schemes";
inline constexpr char16_t kMonochromeSchemeName[] = u"Monochrome";
inline constexpr char16_t kTraditionalSchemeName[] = u"Traditional";
inline constexpr char16_t kWindowsSchemeName[] = u"Windows";

}  // namespace sessiondeck
