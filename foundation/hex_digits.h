// The value of a hexadecimal digit, for the text forms that store bytes as digits.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

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
