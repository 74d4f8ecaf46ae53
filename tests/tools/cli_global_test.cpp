// The sessiondeck host's global commands, run as a real process: listing, setting, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/cli_config_test.h"
#include "support/golden.h"

namespace {

class CliGlobal : public CliConfigTest {
protected:
    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // "name TAB value" of lines that must all end in "TAB default"; the update prompt dates start
    // at "now", so they are left out of a compare with a fixed table.
    static std::string DefaultsTable(const std::string& text) {
        const std::string suffix = "\tdefault";
        std::string kept;
        for (const auto& line : Lines(text)) {
            EXPECT_TRUE(line.ends_with(suffix)) << line;
            if (line.find("Update Prompt Date\t") != std::string::npos) continue;
            kept += line.substr(0, line.size() - std::min(line.size(), suffix.size())) + "\n";
        }
        return kept;
    }
    std::filesystem::path config = dir / "Config";
};

}  // namespace

TEST_F(CliGlobal, ShowListsEveryOptionAndWritesNothing) {
    auto text = Run({"global", "show"});
    ASSERT_EQ(text.status, 0) << text.err;
    const auto lines = Lines(text.out);
    EXPECT_FALSE(std::filesystem::exists(config)) << "showing never writes";
    // Every option of a fresh folder is a default; name and value are the library's table, the
    // same golden file test_app compares with.
    const std::string terminal = DefaultsTable(Run({"global", "show", "--terminal"}).out);
    ExpectMatchesGolden("global/terminal-defaults.txt", terminal);
    // The transfer host (the default) lists as many options, each a default.
    EXPECT_EQ(Lines(DefaultsTable(text.out)).size(), Lines(terminal).size());

    auto json = nlohmann::json::parse(Run({"global", "show", "--json"}).out);
    ASSERT_EQ(json.size(), lines.size());
    EXPECT_EQ(json[0], (nlohmann::json{{"name", "Window Placement"},
                                       {"value", "44,0,1,0,0,-4,-4,0,0,0,0"},
                                       {"default", true}}));
}

TEST_F(CliGlobal, SetChangesOnlyThatValue) {
    auto first = Run({"global", "set", "MRU Count", "5"});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string before = ReadFileBytes(config / "Global.ini");
    ASSERT_NE(before.find("D:\"Timeout\"=000000b4\r\n"), std::string::npos);

    auto second = Run({"global", "set", "Timeout", "60"});
    ASSERT_EQ(second.status, 0) << second.err;
    std::string expected = before;
    expected.replace(expected.find("D:\"Timeout\"=000000b4"), 20, "D:\"Timeout\"=0000003c");
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), expected);

    const auto shown = Lines(Run({"global", "show"}).out);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "Timeout\t60\tcustom"), shown.end());
    EXPECT_NE(std::find(shown.begin(), shown.end(), "MRU Count\t5\tcustom"), shown.end());

    // Setting the value it already has writes nothing.
    ASSERT_EQ(Run({"global", "set", "Timeout", "60"}).status, 0);
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), expected);
}
