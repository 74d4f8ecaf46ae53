// Records stored as fixed binary values: window placement, page margins, custom colours and fonts.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "data/color_scheme.h"
#include "foundation/export.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// Every record here is a file format: each field is written at a fixed offset
// as a little-endian value of fixed width, whatever the host's byte order or
// the compiler's padding.

struct VPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const VPoint&, const VPoint&) = default;
};

struct VRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    friend bool operator==(const VRect&, const VRect&) = default;
};

// A window's placement as the desktop reports it: 44 bytes, every field 32 bits.
struct WINDOWPLACEMENT {
    uint32_t length = 44;
    uint32_t flags = 0;
    uint32_t showCmd = 1;  // shown normally
    VPoint ptMinPosition{0, 0};
    VPoint ptMaxPosition{-4, -4};
    VRect rcNormalPosition{0, 0, 0, 0};
    friend bool operator==(const WINDOWPLACEMENT&, const WINDOWPLACEMENT&) = default;
};

template <>
struct SESSIONDECK_API VProfileBinaryTraits<WINDOWPLACEMENT> {
    static constexpr uint32_t kSize = 44;
    static void ToBytes(const WINDOWPLACEMENT& value, uint8_t* bytes);
    static void FromBytes(const uint8_t* bytes, WINDOWPLACEMENT& value);
};

template <>
struct SESSIONDECK_API VProfileTextForm<WINDOWPLACEMENT> {
    static constexpr SettingKind kKind = SettingKind::kRecord;
    static std::u16string Format(const WINDOWPLACEMENT& value);
    static bool Parse(std::u16string_view text, WINDOWPLACEMENT& value);
};

// Page margins in inches: 32 bytes, four IEEE doubles.
struct VMarginData {
    double left = 0.5;
    double top = 0.5;
    double right = 0.5;
    double bottom = 0.5;
    friend bool operator==(const VMarginData&, const VMarginData&) = default;
};

template <>
struct SESSIONDECK_API VProfileBinaryTraits<VMarginData> {
    static constexpr uint32_t kSize = 32;
    static void ToBytes(const VMarginData& value, uint8_t* bytes);
    static void FromBytes(const uint8_t* bytes, VMarginData& value);
};

template <>
struct SESSIONDECK_API VProfileTextForm<VMarginData> {
    static constexpr SettingKind kKind = SettingKind::kRecord;
    static std::u16string Format(const VMarginData& value);
    static bool Parse(std::u16string_view text, VMarginData& value);
};

// The sixteen colours of a colour picker's custom row: 64 bytes.
struct CustomColors {
    static constexpr int kCount = 16;
    std::array<ColorRef, kCount> colors{};
    friend bool operator==(const CustomColors&, const CustomColors&) = default;
};

template <>
struct SESSIONDECK_API VProfileBinaryTraits<CustomColors> {
    static constexpr uint32_t kSize = 64;
    static void ToBytes(const CustomColors& value, uint8_t* bytes);
    static void FromBytes(const uint8_t* bytes, CustomColors& value);
};

template <>
struct SESSIONDECK_API VProfileTextForm<CustomColors> {
    static constexpr SettingKind kKind = SettingKind::kRecord;
    static std::u16string Format(const CustomColors& value);
    static bool Parse(std::u16string_view text, CustomColors& value);
};

// A font: the desktop's logical font description followed by the point size
// in tenths of a point, 96 bytes. Offsets: height 0, width 4, escapement 8,
// orientation 12, weight 16 (32-bit each); italic 20, underline 21, strike-out
// 22, character set 23, output precision 24, clip precision 25, quality 26,
// pitch and family 27 (a byte each); face name 28 (32 UTF-16 units, the last
// always 0); point size 92.
struct VLogFont {
    static constexpr int kFaceSize = 32;
    int32_t height = 0;
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 0;
    uint8_t outPrecision = 0;
    uint8_t clipPrecision = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    std::array<char16_t, kFaceSize> faceName{};
    int32_t pointSize = 0;  // tenths of a point

    // The face up to its terminating 0.
    SESSIONDECK_API std::u16string_view Face() const;
    // Copies at most 31 units of `face` and terminates it.
    constexpr void SetFace(std::u16string_view face) {
        faceName = {};
        for (size_t i = 0; i < face.size() && i + 1 < kFaceSize; ++i) faceName[i] = face[i];
    }
    friend bool operator==(const VLogFont&, const VLogFont&) = default;
};

template <>
struct SESSIONDECK_API VProfileBinaryTraits<VLogFont> {
    static constexpr uint32_t kSize = 96;
    static void ToBytes(const VLogFont& value, uint8_t* bytes);
    static void FromBytes(const uint8_t* bytes, VLogFont& value);
};

template <>
struct SESSIONDECK_API VProfileTextForm<VLogFont> {
    static constexpr SettingKind kKind = SettingKind::kRecord;
    static std::u16string Format(const VLogFont& value);
    static bool Parse(std::u16string_view text, VLogFont& value);
};

// The largest point size a stored font size is taken at.
inline constexpr int kMaxFontPoints = 1000;

// A normal-weight, fixed-pitch font of `face` at `points` points (1 to
// kMaxFontPoints), its height given for a 96 dots-per-inch screen as the
// desktop rounds it.
SESSIONDECK_API VLogFont MakeLogFont(std::u16string_view face, int points);

// The printer font both the sessions and the global options start from:
// 10-point Courier New.
SESSIONDECK_API VLogFont DefaultPrinterFont();

// A font setting, stored as its 96-byte record.
class SESSIONDECK_API ProfileLogFont : public VProfile2<VLogFont, VProfileBinary> {
public:
    ProfileLogFont& operator=(const VLogFont& font) {
        Value() = font;
        return *this;
    }
};

using VProfileWindowPlacement = VProfile2<WINDOWPLACEMENT, VProfileBinary>;
using VProfileMargins = VProfile2<VMarginData, VProfileBinary>;
using VProfileCustomColors = VProfile2<CustomColors, VProfileBinary>;

}  // namespace sessiondeck
