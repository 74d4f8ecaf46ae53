// Helpers shared by the fuzz targets: turning fuzz input into text and stopping on a broken
// invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/codepage.h"

using namespace sessiondeck;

// An invariant the parser must keep. libFuzzer records the input that breaks
// it, exactly as for a crash, so it is an abort and never a quiet return.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Text given as UTF-8, the form seeds are easiest to write in; damaged
// sequences reach the parsers as replacement characters.
inline std::u16string Text(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}

// The input split at every `separator` byte (a trailing separator gives a
// last, empty field).
inline std::vector<std::string_view> Fields(std::string_view input, char separator) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t end = input.find(separator, start);
        fields.push_back(input.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

// Whether every surrogate is half of a pair: only such text survives a trip
// through UTF-8 unchanged.
inline bool IsWellFormed(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace fuzz

#include <filesystem>

namespace fuzz {

// A private folder for targets that must go through files, made once per
// process and removed when it ends.
inline const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "sd-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

}  // namespace fuzz
