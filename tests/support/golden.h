// Exact formats and default tables kept as files beside the tests (tests/golden/), compared byte
// for byte. With SESSIONDECK_UPDATE_GOLDEN=1 the compare writes the file instead of checking it;
// review the diff of tests/golden/ before committing a regenerated file.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

inline std::filesystem::path GoldenPath(const std::string& name) {
    return std::filesystem::path(SESSIONDECK_GOLDEN_DIR) / name;
}

namespace golden_detail {
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
// The lines only one side has, marked "-" (golden) and "+" (actual), in order; enough to see what
// moved or changed without a diff tool.
inline std::string LineDiff(const std::string& expected, const std::string& actual) {
    const auto want = Lines(expected), got = Lines(actual);
    std::vector<std::vector<int>> common(want.size() + 1, std::vector<int>(got.size() + 1, 0));
    for (size_t i = want.size(); i-- > 0;)
        for (size_t j = got.size(); j-- > 0;)
            common[i][j] = want[i] == got[j] ? common[i + 1][j + 1] + 1
                                             : std::max(common[i + 1][j], common[i][j + 1]);
    std::string out;
    size_t i = 0, j = 0;
    while (i < want.size() || j < got.size()) {
        if (i < want.size() && j < got.size() && want[i] == got[j]) {
            ++i, ++j;
        } else if (j < got.size() && (i == want.size() || common[i][j + 1] >= common[i + 1][j])) {
            out += "+" + got[j++] + "\n";
        } else {
            out += "-" + want[i++] + "\n";
        }
    }
    return out.empty() ? "(same lines; the bytes differ in line ends or a final newline)\n" : out;
}
}  // namespace golden_detail

// Compares `actual` with the golden file `name` (a path under tests/golden/).
inline void ExpectMatchesGolden(const std::string& name, const std::string& actual) {
    const auto file = GoldenPath(name);
    const char* update = std::getenv("SESSIONDECK_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << actual;
        std::cout << "[ golden   ] wrote " << file.string() << "\n";
        return;
    }
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << "no golden file " << file.string()
                    << "; run with SESSIONDECK_UPDATE_GOLDEN=1 to write it";
    const std::string expected((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    EXPECT_TRUE(expected == actual) << "differs from " << file.string() << ":\n"
                                    << golden_detail::LineDiff(expected, actual);
}
