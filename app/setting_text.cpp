// Text forms of the setting types: formatting and strict parsing.
#include "app/setting_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace {

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Numbers are ASCII; anything else makes the text invalid.
std::optional<std::string> Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c > 0x7F) return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

std::vector<std::u16string_view> Split(std::u16string_view text, char16_t separator,
                                       size_t maxParts = std::numeric_limits<size_t>::max()) {
    std::vector<std::u16string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const size_t at = text.find(separator);
        if (at == std::u16string_view::npos) break;
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    parts.push_back(text);
    return parts;
}

// A whole text that is a decimal number (with an optional minus sign) or
// 0x-hexadecimal, within [min, max]. Hexadecimal gives the 32-bit pattern,
// so for a signed setting 0xFFFFFFFF is -1.
std::optional<int64_t> ParseNumber(std::u16string_view text, int64_t min, int64_t max) {
    const auto narrow = Narrow(text);
    if (!narrow || narrow->empty()) return std::nullopt;
    std::string_view s = *narrow;
    int64_t value = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        uint64_t bits = 0;
        s.remove_prefix(2);
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), bits, 16);
        if (ec != std::errc() || end != s.data() + s.size() || bits > 0xFFFFFFFFull)
            return std::nullopt;
        value = min < 0 ? static_cast<int32_t>(static_cast<uint32_t>(bits))
                        : static_cast<int64_t>(bits);
    } else {
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
        if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    }
    if (value < min || value > max) return std::nullopt;
    return value;
}

template <class T>
std::optional<T> ParseAs(std::u16string_view text) {
    const auto value = ParseNumber(text, std::numeric_limits<T>::min(),
                                   static_cast<int64_t>(std::numeric_limits<T>::max()));
    if (!value) return std::nullopt;
    return static_cast<T>(*value);
}

// Exactly `count` comma-separated numbers of type T.
template <class T>
bool ParseList(std::u16string_view text, size_t count, std::vector<T>& out) {
    const auto parts = Split(text, u',');
    if (parts.size() != count) return false;
    out.clear();
    for (auto part : parts) {
        const auto value = ParseAs<T>(part);
        if (!value) return false;
        out.push_back(*value);
    }
    return true;
}

template <class T>
void AppendNumber(std::u16string& text, T value) {
    text += Widen(std::to_string(value));
}

std::u16string Hex32(uint32_t value) {
    char buffer[11];
    std::snprintf(buffer, sizeof buffer, "0x%08X", value);
    return Widen(buffer);
}

std::u16string ShortestDouble(double value) {
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? Widen(std::string_view(buffer, end - buffer)) : u"nan";
}

std::optional<double> ParseDouble(std::u16string_view text) {
    const auto narrow = Narrow(text);
    if (!narrow || narrow->empty()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(narrow->data(), narrow->data() + narrow->size(), value);
    if (ec != std::errc() || end != narrow->data() + narrow->size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool HoldsLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

template <class T>
bool SetNumber(VProfile<T>& setting, std::u16string_view text) {
    const auto value =
        ParseAs<std::conditional_t<std::is_same_v<T, unsigned long>, uint32_t, T>>(text);
    if (!value) return false;
    setting = static_cast<T>(*value);
    return true;
}

}  // namespace

std::u16string SettingText(const VProfile<int>& setting) {
    return Widen(std::to_string(setting.Get()));
}
std::u16string SettingText(const VProfile<unsigned int>& setting) {
    return Widen(std::to_string(setting.Get()));
}
std::u16string SettingText(const VProfile<unsigned long>& setting) {
    return Widen(std::to_string(setting.Get()));
}
std::u16string SettingText(const VProfile<bool>& setting) {
    return setting.Get() ? u"true" : u"false";
}
std::u16string SettingText(const VProfile2<VUnicodeString, VProfileSz>& setting) {
    return setting.Get().str();
}
std::u16string SettingText(const VProfile2<VStringArray, VProfileMultiSz>& setting) {
    std::u16string text;
    for (size_t i = 0; i < setting.Get().GetSize(); ++i) {
        if (i) text += u';';
        text += setting.Get()[i].str();
    }
    return text;
}

std::u16string SettingText(const VProfileWindowPlacement& setting) {
    const WINDOWPLACEMENT& p = setting.Get();
    std::u16string text;
    for (int64_t n :
         {int64_t{p.length}, int64_t{p.flags}, int64_t{p.showCmd}, int64_t{p.ptMinPosition.x},
          int64_t{p.ptMinPosition.y}, int64_t{p.ptMaxPosition.x}, int64_t{p.ptMaxPosition.y},
          int64_t{p.rcNormalPosition.left}, int64_t{p.rcNormalPosition.top},
          int64_t{p.rcNormalPosition.right}, int64_t{p.rcNormalPosition.bottom}}) {
        if (!text.empty()) text += u',';
        AppendNumber(text, n);
    }
    return text;
}

std::u16string SettingText(const VProfileMargins& setting) {
    const VMarginData& m = setting.Get();
    return ShortestDouble(m.left) + u"," + ShortestDouble(m.top) + u"," + ShortestDouble(m.right) +
           u"," + ShortestDouble(m.bottom);
}

std::u16string SettingText(const VProfileCustomColors& setting) {
    std::u16string text;
    for (ColorRef color : setting.Get().colors) {
        if (!text.empty()) text += u',';
        text += Hex32(color);
    }
    return text;
}

std::u16string SettingText(const ProfileLogFont& setting) {
    const VLogFont& f = setting.Get();
    std::u16string text;
    for (int64_t n :
         {int64_t{f.pointSize}, int64_t{f.height}, int64_t{f.width}, int64_t{f.escapement},
          int64_t{f.orientation}, int64_t{f.weight}, int64_t{f.italic}, int64_t{f.underline},
          int64_t{f.strikeOut}, int64_t{f.charSet}, int64_t{f.outPrecision},
          int64_t{f.clipPrecision}, int64_t{f.quality}, int64_t{f.pitchAndFamily}}) {
        AppendNumber(text, n);
        text += u',';
    }
    return text += f.Face();
}

std::u16string SettingText(const VProfileTextState& setting) {
    return setting.Format().str();
}

std::u16string SettingText(const VProfileBlob& setting) {
    static const char16_t digits[] = u"0123456789abcdef";
    std::u16string text;
    for (uint8_t b : setting.GetData()) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::u16string SettingText(const ProfileColorSchemeList& setting) {
    std::u16string text;
    for (size_t i = 0; i < setting.GetCount(); ++i) {
        if (i) text += u';';
        text += setting.GetAt(i).GetName().str();
    }
    return text;
}

std::u16string SettingText(const SynchronizeProfile& setting) {
    std::u16string text;
    for (size_t i = 0; i < setting.GetTasks().GetSize(); ++i) {
        if (i) text += u';';
        text += setting.GetTasks()[i].name.str();
    }
    return text;
}

bool SettingFromText(VProfile<int>& setting, std::u16string_view text) {
    return SetNumber(setting, text);
}
bool SettingFromText(VProfile<unsigned int>& setting, std::u16string_view text) {
    return SetNumber(setting, text);
}
bool SettingFromText(VProfile<unsigned long>& setting, std::u16string_view text) {
    return SetNumber(setting, text);
}

bool SettingFromText(VProfile<bool>& setting, std::u16string_view text) {
    if (text == u"true" || text == u"1") {
        setting = true;
    } else if (text == u"false" || text == u"0") {
        setting = false;
    } else {
        return false;
    }
    return true;
}

bool SettingFromText(VProfile2<VUnicodeString, VProfileSz>& setting, std::u16string_view text) {
    if (HoldsLineBreak(text)) return false;
    setting = VUnicodeString(text);
    return true;
}

bool SettingFromText(VProfile2<VStringArray, VProfileMultiSz>& setting, std::u16string_view text) {
    if (HoldsLineBreak(text)) return false;
    VStringArray items;
    if (!text.empty()) {
        for (auto item : Split(text, u';')) items.Add(VUnicodeString(item));
    }
    setting = items;
    return true;
}

bool SettingFromText(VProfileWindowPlacement& setting, std::u16string_view text) {
    const auto parts = Split(text, u',');
    if (parts.size() != 11) return false;
    std::vector<uint32_t> head;
    std::vector<int32_t> rest;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i < 3) {
            const auto value = ParseAs<uint32_t>(parts[i]);
            if (!value) return false;
            head.push_back(*value);
        } else {
            const auto value = ParseAs<int32_t>(parts[i]);
            if (!value) return false;
            rest.push_back(*value);
        }
    }
    setting = WINDOWPLACEMENT{head[0],
                              head[1],
                              head[2],
                              {rest[0], rest[1]},
                              {rest[2], rest[3]},
                              {rest[4], rest[5], rest[6], rest[7]}};
    return true;
}

bool SettingFromText(VProfileMargins& setting, std::u16string_view text) {
    const auto parts = Split(text, u',');
    if (parts.size() != 4) return false;
    double values[4];
    for (size_t i = 0; i < 4; ++i) {
        const auto value = ParseDouble(parts[i]);
        if (!value) return false;
        values[i] = *value;
    }
    setting = VMarginData{values[0], values[1], values[2], values[3]};
    return true;
}

bool SettingFromText(VProfileCustomColors& setting, std::u16string_view text) {
    std::vector<uint32_t> colors;
    if (!ParseList(text, CustomColors::kCount, colors)) return false;
    CustomColors table;
    for (size_t i = 0; i < colors.size(); ++i) table.colors[i] = colors[i];
    setting = table;
    return true;
}

bool SettingFromText(ProfileLogFont& setting, std::u16string_view text) {
    constexpr size_t kNumbers = 14;
    const auto parts = Split(text, u',', kNumbers + 1);
    if (parts.size() != kNumbers + 1 || parts.back().size() >= VLogFont::kFaceSize ||
        HoldsLineBreak(parts.back()))
        return false;
    std::vector<int32_t> wide;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < kNumbers; ++i) {
        if (i < 6) {
            const auto value = ParseAs<int32_t>(parts[i]);
            if (!value) return false;
            wide.push_back(*value);
        } else {
            const auto value = ParseAs<uint8_t>(parts[i]);
            if (!value) return false;
            bytes.push_back(*value);
        }
    }
    VLogFont font;
    font.pointSize = wide[0];
    font.height = wide[1];
    font.width = wide[2];
    font.escapement = wide[3];
    font.orientation = wide[4];
    font.weight = wide[5];
    font.italic = bytes[0];
    font.underline = bytes[1];
    font.strikeOut = bytes[2];
    font.charSet = bytes[3];
    font.outPrecision = bytes[4];
    font.clipPrecision = bytes[5];
    font.quality = bytes[6];
    font.pitchAndFamily = bytes[7];
    font.SetFace(parts.back());
    setting = font;
    return true;
}

bool SettingFromText(VProfileTextState& setting, std::u16string_view text) {
    return setting.SetText(text);
}

bool SettingFromText(VProfileBlob& setting, std::u16string_view text) {
    auto digit = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return false;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return setting.SetData(bytes.data(), bytes.size());
}
