// Colour schemes: record layout, system colours, and loading and saving the list of schemes.
#include "data/color_scheme.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace sessiondeck {

const std::array<const char16_t*, kColorAttributeCount> kColorAttributeNames = {
    u"Normal", u"Bold",       u"Underline",       u"Bold Underline",
    u"Blink",  u"Blink Bold", u"Blink Underline", u"Blink Bold Underline"};

ColorScheme::ColorScheme(ColorRef foregroundColor, ColorRef backgroundColor) {
    std::fill(std::begin(foreground), std::end(foreground), foregroundColor);
    std::fill(std::begin(background), std::end(background), backgroundColor);
}

bool operator==(const ColorScheme& a, const ColorScheme& b) {
    return a.advanced == b.advanced && a.overstrikeBold == b.overstrikeBold &&
           a.showUnderline == b.showUnderline && a.enableBlink == b.enableBlink &&
           std::equal(std::begin(a.foreground), std::end(a.foreground), std::begin(b.foreground)) &&
           std::equal(std::begin(a.background), std::end(a.background), std::begin(b.background));
}

namespace {

constexpr size_t kForegroundOffset = 4;
constexpr size_t kBackgroundOffset = kForegroundOffset + 4 * kColorAttributeCount;
static_assert(kBackgroundOffset + 4 * kColorAttributeCount == 68);

void PutLittleEndian(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* bytes) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

}  // namespace

void VProfileBinaryTraits<ColorScheme>::ToBytes(const ColorScheme& value, uint8_t* bytes) {
    bytes[0] = value.advanced;
    bytes[1] = value.overstrikeBold;
    bytes[2] = value.showUnderline;
    bytes[3] = value.enableBlink;
    for (int i = 0; i < kColorAttributeCount; ++i) {
        PutLittleEndian(bytes + kForegroundOffset + 4 * i, value.foreground[i]);
        PutLittleEndian(bytes + kBackgroundOffset + 4 * i, value.background[i]);
    }
}

void VProfileBinaryTraits<ColorScheme>::FromBytes(const uint8_t* bytes, ColorScheme& value) {
    value.advanced = bytes[0];
    value.overstrikeBold = bytes[1];
    value.showUnderline = bytes[2];
    value.enableBlink = bytes[3];
    for (int i = 0; i < kColorAttributeCount; ++i) {
        value.foreground[i] = GetLittleEndian(bytes + kForegroundOffset + 4 * i);
        value.background[i] = GetLittleEndian(bytes + kBackgroundOffset + 4 * i);
    }
}

ColorRef GetSystemColor(int index) {
    return index == kSysColorWindow ? 0xFFFFFF : 0x000000;
}

namespace {

// The "Windows" scheme always shows the desktop's own colours; only its
// switches are its own.
void ApplySystemColors(ColorScheme& scheme) {
    std::fill(std::begin(scheme.foreground), std::end(scheme.foreground),
              GetSystemColor(kSysColorWindowText));
    std::fill(std::begin(scheme.background), std::end(scheme.background),
              GetSystemColor(kSysColorWindow));
}

ColorScheme MonochromeScheme() {
    return ColorScheme(0x000000, 0xFFFFFF);
}

// The schemes a configuration starts with, in the order the user sees them.
std::vector<std::pair<const char16_t*, ColorScheme>> BuiltInSchemes() {
    ColorScheme windows;
    ApplySystemColors(windows);
    ColorScheme blackCyan(0x000000, 0xFFFF00);
    for (int i = 1; i < kColorAttributeCount; i += 2) blackCyan.foreground[i] = 0xFF0000;
    return {
        {kMonochromeSchemeName, MonochromeScheme()},
        {u"Black / Floral White", ColorScheme(0x000000, 0xF0FBFF)},
        {u"Yellow / Black", ColorScheme(0x00FFFF, 0x000000)},
        {kTraditionalSchemeName, ColorScheme(0x00FF00, 0x000000)},
        {kWindowsSchemeName, windows},
        {u"Black / Cyan", blackCyan},
        {u"Floral White / Dark Cyan", ColorScheme(0xF0FBFF, 0x808000)},
        {u"White / Black", ColorScheme(0xFFFFFF, 0x000000)},
    };
}

bool SameScheme(const ColorSchemeValue& a, const ColorSchemeValue& b) {
    return a.GetName() == b.GetName() && a.Get() == b.Get();
}

}  // namespace

ProfileColorSchemeList::~ProfileColorSchemeList() = default;

std::optional<std::u16string> ProfileColorSchemeList::Text() const {
    std::u16string text;
    for (size_t i = 0; i < GetCount(); ++i) {
        if (i) text += u';';
        text += GetAt(i).GetName().str();
    }
    return text;
}

ColorSchemeValue ProfileColorSchemeList::MakeScheme(const VUnicodeString& name,
                                                    const ColorScheme& scheme) {
    ColorSchemeValue value;
    // With no key the load fails, so the value takes `scheme` and counts as
    // unsaved.
    value.Init(nullptr, name, scheme);
    return value;
}

void ProfileColorSchemeList::Init(VProfileKey* key) {
    m_schemes.RemoveAll();
    if (key) {
        VProfileKey schemesKey(*key, kColorSchemesKeyName);
        std::vector<VUnicodeString> names;
        {
            VProfileKeyIterator values(schemesKey, true);
            VUnicodeString name;
            int kind = 0;
            while (values.NextValue(name, kind)) names.push_back(name);
        }
        for (const VUnicodeString& name : names) {
            // A value that is not a 68-byte-or-shorter binary keeps the
            // default scheme; it is still listed, so that its name stays.
            ColorSchemeValue scheme;
            scheme.Init(&schemesKey, name, ColorScheme());
            if (name == kWindowsSchemeName) {
                ColorScheme colors = scheme.Get();
                ApplySystemColors(colors);
                scheme = colors;
            }
            m_schemes.Add(std::move(scheme));
        }
    }
    if (m_schemes.IsEmpty()) {
        for (const auto& [name, scheme] : BuiltInSchemes()) m_schemes.Add(MakeScheme(name, scheme));
    } else if (!Exists(kMonochromeSchemeName)) {
        m_schemes.Add(MakeScheme(kMonochromeSchemeName, MonochromeScheme()));
    }
    m_checkpoint = m_schemes;
    m_unsaved = false;
}

void ProfileColorSchemeList::Save(VProfileKey* key, bool force) {
    if (!key) return;
    VProfileKey schemesKey(*key, kColorSchemesKeyName);
    // Collect first: deleting while the iterator walks the key would skip
    // values on backends that enumerate by index.
    std::vector<VUnicodeString> stale;
    {
        VProfileKeyIterator values(schemesKey, true);
        VUnicodeString name;
        int kind = 0;
        while (values.NextValue(name, kind)) {
            if (!Exists(name)) stale.push_back(name);
        }
    }
    for (const VUnicodeString& name : stale) schemesKey.DeleteValue(name.c_str());
    for (ColorSchemeValue& scheme : m_schemes) scheme.Save(&schemesKey, force);
    m_checkpoint = m_schemes;
    m_unsaved = false;
}

bool ProfileColorSchemeList::IsModified() const {
    if (m_schemes.GetSize() != m_checkpoint.GetSize()) return true;
    for (size_t i = 0; i < m_schemes.GetSize(); ++i) {
        if (!SameScheme(m_schemes[i], m_checkpoint[i])) return true;
    }
    return false;
}

void ProfileColorSchemeList::Checkpoint() {
    if (IsModified()) m_unsaved = true;
    // Each scheme remembers that it still has to be written.
    for (ColorSchemeValue& scheme : m_schemes) scheme.Checkpoint();
    m_checkpoint = m_schemes;
}

void ProfileColorSchemeList::Rollback() {
    m_schemes = m_checkpoint;
}

int ProfileColorSchemeList::IndexOf(std::u16string_view name) const {
    for (size_t i = 0; i < m_schemes.GetSize(); ++i) {
        if (m_schemes[i].GetName().EqualsNoCase(name)) return static_cast<int>(i);
    }
    return -1;
}

bool ProfileColorSchemeList::Exists(std::u16string_view name) const {
    return IndexOf(name) >= 0;
}

ColorSchemeValue ProfileColorSchemeList::Find(std::u16string_view name) const {
    int index = IndexOf(name);
    if (index < 0) index = IndexOf(kMonochromeSchemeName);
    if (index < 0) return MakeScheme(kMonochromeSchemeName, MonochromeScheme());
    return m_schemes[static_cast<size_t>(index)];
}

}  // namespace sessiondeck
