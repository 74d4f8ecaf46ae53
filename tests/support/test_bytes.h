// Small helpers shared by tests that pin exact bytes: hex in both directions, and a private folder
// for the data-protection key.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/scoped_env.h"
#include "support/temp_dir.h"

using Bytes = std::vector<uint8_t>;

// Lower-case hex, two digits a byte.
inline std::string Hex(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) (text += digits[bytes[i] >> 4]) += digits[bytes[i] & 15];
    return text;
}
inline std::string Hex(const Bytes& bytes) {
    return Hex(bytes.data(), bytes.size());
}
inline std::u16string Hex16(const Bytes& bytes) {
    const std::string text = Hex(bytes);
    return std::u16string(text.begin(), text.end());
}

inline std::string Repeat(const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
}

// Either case; a trailing odd digit is dropped.
template <class Char>
Bytes FromHex(std::basic_string_view<Char> hex) {
    const auto digit = [](Char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    Bytes bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    return bytes;
}
inline Bytes FromHex(std::string_view hex) {
    return FromHex<char>(hex);
}
inline Bytes FromHex(std::u16string_view hex) {
    return FromHex<char16_t>(hex);
}

// Points the protection key at a folder of the test's own; env() changes more variables (HOME, to
// test the fall-back) and puts them back with the rest.
class ScopedKeyFolder {
public:
    ScopedKeyFolder() { m_env.Set("XDG_DATA_HOME", (m_dir / "data").string()); }

    const TempDir& dir() const { return m_dir; }
    ScopedEnv& env() { return m_env; }
    std::filesystem::path KeyFile() const { return m_dir / "data/sessiondeck/protect.key"; }

private:
    TempDir m_dir;
    ScopedEnv m_env;
};
