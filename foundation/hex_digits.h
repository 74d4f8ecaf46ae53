// Hexadecimal digits for the text forms that store bytes and numbers as digits: their values, and
// the one formatter.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace sessiondeck {

namespace hex_digits_detail {

inline constexpr std::array<int8_t, 128> kValues = [] {
    std::array<int8_t, 128> values{};
    for (int c = 0; c < 128; ++c) {
        values[static_cast<size_t>(c)] = static_cast<int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                                             : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                             : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                                    : -1);
    }
    return values;
}();

}  // namespace hex_digits_detail

// 0 to 15 for 0-9, a-f and A-F; -1 for any other character (a byte of 0x80
// or more included). A table rather than a chain of comparisons: stored bytes
// are random digits, which defeat branch prediction, and loading a session
// reads several hundred of them.
template <class Char>
constexpr int HexDigitValue(Char c) {
    const auto code = static_cast<std::make_unsigned_t<Char>>(c);
    return code < 128 ? hex_digits_detail::kValues[code] : -1;
}

// The digit for the low four bits of `nibble`.
constexpr char HexDigit(unsigned nibble, bool upper = false) {
    return (upper ? "0123456789ABCDEF" : "0123456789abcdef")[nibble & 15];
}

// Appends two digits per byte, the high four bits first, nothing between
// them; for std::string and std::u16string alike.
template <class String>
void AppendHex(String& out, const uint8_t* bytes, size_t size, bool upper = false) {
    using Char = typename String::value_type;
    for (size_t i = 0; i < size; ++i) {
        out.push_back(static_cast<Char>(HexDigit(bytes[i] >> 4, upper)));
        out.push_back(static_cast<Char>(HexDigit(bytes[i], upper)));
    }
}

// Appends `value` as exactly eight digits, most significant first ("%08x").
template <class String>
void AppendHexDword(String& out, uint32_t value, bool upper = false) {
    using Char = typename String::value_type;
    for (int shift = 28; shift >= 0; shift -= 4)
        out.push_back(static_cast<Char>(HexDigit(value >> shift, upper)));
}

// `value` as exactly eight digits ("%08x", or "%08X" when `upper`).
inline std::string HexDword(uint32_t value, bool upper = false) {
    std::string text;
    AppendHexDword(text, value, upper);
    return text;
}

}  // namespace sessiondeck
