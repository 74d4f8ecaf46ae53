// The text form of every setting: the kinds a setting can be, the limits a member table can put on
// it, and the parsing helpers the forms share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/export.h"

namespace sessiondeck {

// What a setting holds, as far as a host that shows or edits it by name cares. Each setting
// answers for itself (VProfileData::Kind), and each kind has one text form (Text/SetText):
//
// - integers: decimal; also read as 0x-hexadecimal (a 32-bit pattern for a signed setting)
// - booleans: "true" / "false"; also read as 1 / 0
// - strings: the text itself; a CR or LF is refused (no store keeps it on one line)
// - string lists: the items joined with ";" (so an item cannot hold ";")
// - window placement: the eleven numbers length,flags,showCmd,minX,minY,maxX,maxY,
//   left,top,right,bottom
// - margins: left,top,right,bottom in inches
// - colour tables: sixteen 0x00BBGGRR values
// - fonts: pointSize(tenths),height,width,escapement,orientation,weight,italic,
//   underline,strikeOut,charSet,outPrecision,clipPrecision,quality,pitchAndFamily,face
//   (the face is the rest of the line, at most 31 units)
// - list view and frame states: their stored text
// - byte blocks: lower-case hexadecimal
// - colour scheme lists and sync profiles: the names they hold, read only
// - secrets: never shown; any text sets the plain value
enum class SettingKind {
    kNone,      // no text form (a binary record without one, a nested record, a connection)
    kInteger,   // signed 32 bits
    kUnsigned,  // unsigned 32 bits
    kBool,
    kText,
    kList,
    kRecord,  // a structure written as comma-separated fields
    kBytes,
    kSecret,
};

// What a member table says about a setting beyond its name and default: the range or the set
// of values a number must keep (a load corrects a stored value outside them), whether the
// setting is put back to its default on every load (and so cannot usefully be set), and a label
// for hosts that show it. A constant, so that tables stay constants.
struct VSettingLimits {
    static constexpr std::size_t kMaxChoices = 8;

    bool hasRange = false;
    int64_t low = 0;
    int64_t high = 0;
    std::size_t choiceCount = 0;
    int64_t choices[kMaxChoices] = {};
    int64_t fallback = 0;  // what a number outside the choices becomes
    bool resetOnLoad = false;
    const char16_t* label = nullptr;

    constexpr bool Constrains() const { return hasRange || choiceCount > 0; }
    // The value a load keeps for `value`: clamped into the range, or the fallback when it is
    // not one of the choices.
    constexpr int64_t Fit(int64_t value) const {
        if (hasRange) {
            if (value > high) value = high;
            if (value < low) value = low;
        }
        if (choiceCount > 0) {
            for (std::size_t i = 0; i < choiceCount; ++i)
                if (choices[i] == value) return value;
            return fallback;
        }
        return value;
    }
};

// Chainable setters for a table entry that holds `limits`, e.g.
//   VProfileMember(&Options::mruCount, u"MRU Count", 4).Range(0, 9)
// Entry is the entry's own type, so that a chain keeps what a derived entry adds.
template <class Entry>
struct VSettingLimitsChain {
    constexpr Entry Range(int64_t low, int64_t high) const {
        Entry entry = Self();
        entry.limits.hasRange = true;
        entry.limits.low = low;
        entry.limits.high = high;
        return entry;
    }
    constexpr Entry AtLeast(int64_t low) const {
        return Range(low, std::numeric_limits<int32_t>::max());
    }
    // More than kMaxChoices values stop a constant table from compiling: the throw is not a
    // constant expression.
    constexpr Entry OneOf(std::initializer_list<int64_t> values, int64_t fallback) const {
        Entry entry = Self();
        entry.limits.choiceCount = 0;
        for (int64_t value : values) {
            if (entry.limits.choiceCount == VSettingLimits::kMaxChoices) throw "too many choices";
            entry.limits.choices[entry.limits.choiceCount++] = value;
        }
        entry.limits.fallback = fallback;
        return entry;
    }
    constexpr Entry ResetOnLoad() const {
        Entry entry = Self();
        entry.limits.resetOnLoad = true;
        return entry;
    }
    constexpr Entry Label(const char16_t* label) const {
        Entry entry = Self();
        entry.limits.label = label;
        return entry;
    }

private:
    constexpr const Entry& Self() const { return static_cast<const Entry&>(*this); }
};

// ---- Helpers the forms share ------------------------------------------------

namespace textform {

SESSIONDECK_API std::u16string Widen(std::string_view ascii);
SESSIONDECK_API std::vector<std::u16string_view> Split(
    std::u16string_view text, char16_t separator,
    std::size_t maxParts = std::numeric_limits<std::size_t>::max());
// A whole text that is a decimal number (with an optional minus sign) or 0x-hexadecimal,
// within [min, max]. Hexadecimal gives the 32-bit pattern, so for a signed range 0xFFFFFFFF
// is -1.
SESSIONDECK_API std::optional<int64_t> ParseNumber(std::u16string_view text, int64_t min,
                                                   int64_t max);
template <class T>
std::optional<T> ParseAs(std::u16string_view text) {
    const auto value = ParseNumber(text, std::numeric_limits<T>::min(),
                                   static_cast<int64_t>(std::numeric_limits<T>::max()));
    if (!value) return std::nullopt;
    return static_cast<T>(*value);
}
// A finite number in the shortest form that reads back the same.
SESSIONDECK_API std::u16string FormatDouble(double value);
SESSIONDECK_API std::optional<double> ParseDouble(std::u16string_view text);
SESSIONDECK_API std::u16string Hex32(uint32_t value);
SESSIONDECK_API std::u16string JoinNumbers(std::initializer_list<int64_t> numbers);
SESSIONDECK_API bool HoldsLineBreak(std::u16string_view text);
SESSIONDECK_API std::u16string FormatBytes(const std::vector<uint8_t>& bytes);
SESSIONDECK_API std::optional<std::vector<uint8_t>> ParseBytes(std::u16string_view text);

}  // namespace textform

}  // namespace sessiondeck
