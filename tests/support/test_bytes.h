// Small helpers shared by tests that pin exact bytes: hex in both directions, a folder's files with
// their bytes and modes, and a private folder for the data-protection key.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
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

// Every entry below `root` with its bytes: folders end in "/" and hold "", links hold "-> target".
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::exists(root) ? fs::recursive_directory_iterator(root)
                                              : fs::recursive_directory_iterator()) {
        const std::string name = fs::relative(entry.path(), root).string();
        if (entry.is_symlink())
            files[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            files[name + "/"] = "";
        else
            files[name] = entry.is_regular_file() ? ReadFileBytes(entry.path()) : "(special)";
    }
    return files;
}
// Just the names of Snapshot, joined by blanks.
inline std::string Paths(const std::filesystem::path& root) {
    std::string names;
    for (const auto& [name, bytes] : Snapshot(root)) names += (names.empty() ? "" : " ") + name;
    return names;
}
// The permission bits, or 0xFFFF when there is no such entry.
inline unsigned FileMode(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFu;
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
