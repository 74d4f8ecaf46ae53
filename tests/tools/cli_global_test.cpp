// The sessiondeck host's global commands, run as a real process: listing and setting.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"
#include "support/golden.h"

namespace {

using sandbox::Lines;
using ::testing::Contains;

class CliGlobal : public CliSandboxTest {
protected:
    // "name TAB value" of lines that must all end in "TAB default"; the update prompt dates start
    // at "now", so they are left out of a compare with a fixed table.
    static std::string DefaultsTable(const std::string& text) {
        std::string kept;
        for (const auto& line : Lines(text)) {
            EXPECT_TRUE(line.ends_with("\tdefault")) << line;
            if (line.find("Update Prompt Date\t") == std::string::npos)
                kept += line.substr(0, line.rfind('\t')) + "\n";
        }
        return kept;
    }
};

}  // namespace

TEST_F(CliGlobal, ShowListsEveryOptionAndWritesNothing) {
    const auto lines = Lines(Ok({"global", "show"}));
    EXPECT_FALSE(std::filesystem::exists(config)) << "showing never writes";
    // Every option of a fresh folder is a default; name and value are the library's table, the
    // same golden file test_app compares with.
    const std::string terminal = DefaultsTable(Ok({"global", "show", "--terminal"}));
    ExpectMatchesGolden("global/terminal-defaults.txt", terminal);
    // The transfer host (the default) lists as many options, each a default.
    EXPECT_EQ(Lines(DefaultsTable(Ok({"global", "show"}))).size(), Lines(terminal).size());

    auto json = nlohmann::json::parse(Ok({"global", "show", "--json"}));
    ASSERT_EQ(json.size(), lines.size());
    EXPECT_EQ(json[0], (nlohmann::json{{"name", "Window Placement"},
                                       {"value", "44,0,1,0,0,-4,-4,0,0,0,0"},
                                       {"default", true}}));
}

TEST_F(CliGlobal, SetChangesOnlyThatValue) {
    Ok({"global", "set", "MRU Count", "5"});
    std::string expected = ReadFileBytes(config / "Global.ini");
    const size_t at = expected.find("D:\"Timeout\"=000000b4\r\n");
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, 20, "D:\"Timeout\"=0000003c");
    Ok({"global", "set", "Timeout", "60"});
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), expected);
    EXPECT_THAT(Lines(Ok({"global", "show"})), Contains("Timeout\t60\tcustom"));
    EXPECT_THAT(Lines(Ok({"global", "show"})), Contains("MRU Count\t5\tcustom"));
    // Setting the value it already has writes nothing.
    Ok({"global", "set", "Timeout", "60"});
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), expected);
}
