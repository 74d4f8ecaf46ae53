// The parsing and formatting helpers the settings' text forms share.
#include "profile/text_form.h"

#include <charconv>
#include <cmath>

#include "foundation/hex_digits.h"

namespace sessiondeck {

namespace textform {
namespace {

// Numbers are ASCII; anything else makes the text invalid.
std::optional<std::string> Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) {
        if (c > 0x7F) return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::u16string Widen(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::vector<std::u16string_view> Split(std::u16string_view text, char16_t separator,
                                       std::size_t maxParts) {
    std::vector<std::u16string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const std::size_t at = text.find(separator);
        if (at == std::u16string_view::npos) break;
        parts.push_back(text.substr(0, at));
        text.remove_prefix(at + 1);
    }
    parts.push_back(text);
    return parts;
}

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

std::u16string FormatDouble(double value) {
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

std::u16string Hex32(uint32_t value) {
    std::u16string text = u"0x";
    AppendHexDword(text, value, /*upper=*/true);
    return text;
}

std::u16string JoinNumbers(std::initializer_list<int64_t> numbers) {
    std::u16string text;
    for (int64_t n : numbers) {
        if (!text.empty()) text += u',';
        text += Widen(std::to_string(n));
    }
    return text;
}

bool HoldsLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

std::u16string FormatBytes(const std::vector<uint8_t>& bytes) {
    std::u16string text;
    AppendHex(text, bytes.data(), bytes.size());
    return text;
}

std::optional<std::vector<uint8_t>> ParseBytes(std::u16string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

}  // namespace textform

}  // namespace sessiondeck
