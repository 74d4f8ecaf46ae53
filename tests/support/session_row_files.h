// Expectation tables of the data and session tests kept as golden files of rows, "INPUT => WHAT".
// The test reads each row's input, describes what the code makes of it, and compares the whole
// file with the rows so rebuilt: a wrong row shows as a "-"/"+" pair. Lines that are empty or
// start with '#' are comments and are kept as they stand. Inputs and descriptions are written
// with C escapes (\t \n \r \0 \\) and \uXXXX for anything outside printable ASCII, so that every
// text, control characters included, fits on one line.
#pragma once

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "support/golden.h"

inline std::string EscapeRowText(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {
        char code[8];
        std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
        out += c == u'\\'              ? "\\\\"
               : c == u'\t'            ? "\\t"
               : c == u'\n'            ? "\\n"
               : c == u'\r'            ? "\\r"
               : c == 0                ? "\\0"
               : c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c))
                                       : code;
    }
    return out;
}

inline std::u16string UnescapeRowText(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += static_cast<char16_t>(static_cast<unsigned char>(text[i]));
            continue;
        }
        const char next = text[++i];
        if (next == 'u' && i + 4 < text.size()) {
            out += static_cast<char16_t>(std::stoul(text.substr(i + 1, 4), nullptr, 16));
            i += 4;
        } else {
            out += next == 't'   ? u'\t'
                   : next == 'n' ? u'\n'
                   : next == 'r' ? u'\r'
                   : next == '0' ? u'\0'
                                 : static_cast<char16_t>(next);
        }
    }
    return out;
}

// Rebuilds the rows of golden file `name` with `describe(input)` and compares.
inline void ExpectRowsMatchGolden(
    const std::string& name, const std::function<std::string(const std::u16string&)>& describe) {
    std::ifstream in(GoldenPath(name), std::ios::binary);
    ASSERT_TRUE(in) << "no row file " << GoldenPath(name).string();
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string rebuilt;
    int rows = 0;
    for (const std::string& line : golden_detail::Lines(text)) {
        const size_t arrow = line.find(" => ");
        if (line.empty() || line[0] == '#' || arrow == std::string::npos) {
            rebuilt += line + "\n";
            continue;
        }
        const std::string input = line.substr(0, arrow);
        rebuilt += input + " => " + describe(UnescapeRowText(input)) + "\n";
        ++rows;
    }
    EXPECT_GT(rows, 0) << name << " holds no rows";
    ExpectMatchesGolden(name, rebuilt);
}
