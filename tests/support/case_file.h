// Tables of cases kept as golden files: each line is tab-separated fields, the last one the
// expected answer, the others what the test computes it from. The test recomputes every answer and
// the file must come back unchanged, so a wrong answer shows as a changed line. Fields are escaped:
// \\, \t, \r, \n and \xHH for every other byte outside printable ASCII. Lines that start with "#"
// and blank lines are kept as they are.
#pragma once

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "support/golden.h"

inline std::string EscapeCaseField(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c < 0x20 || c >= 0x7f)
            out += std::string("\\x") + digits[c >> 4] + digits[c & 15];
        else
            out += static_cast<char>(c);
    }
    return out;
}

inline std::string UnescapeCaseField(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
        }
    }
    return out;
}

// Recomputes the golden case file `name`: `answer` gets the unescaped fields but the last.
inline void ExpectCaseFile(
    const std::string& name,
    const std::function<std::string(const std::vector<std::string>& fields)>& answer) {
    std::ifstream in(GoldenPath(name), std::ios::binary);
    ASSERT_TRUE(in) << "no case file " << GoldenPath(name).string();
    std::string actual;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            actual += line + "\n";
            continue;
        }
        std::vector<std::string> fields;
        for (size_t start = 0, tab;; start = tab + 1) {
            tab = line.find('\t', start);
            fields.push_back(UnescapeCaseField(line.substr(start, tab - start)));
            if (tab == std::string::npos) break;
        }
        fields.pop_back();
        for (const std::string& field : fields) actual += EscapeCaseField(field) + "\t";
        actual += EscapeCaseField(answer(fields)) + "\n";
    }
    ExpectMatchesGolden(name, actual);
}
