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
    // For text of several lines, gtest shows the lines that differ ("With diff:").
    EXPECT_EQ(expected, actual) << "differs from " << file.string();
}
