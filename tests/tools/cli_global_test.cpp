// The sessiondeck host's global commands, run as a real process: listing and setting (which
// values are saved, and how an option reads its text, is test_app's).
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

class CliGlobal : public CliSandboxTest {};

}  // namespace

TEST_F(CliGlobal, ShowListsEveryOptionAndSetChangesOnlyThatValue) {
    // Every option of a fresh folder is a default, "name TAB value TAB default"; name and value
    // are the library's table, the golden file test_app compares with. The update prompt dates
    // start at "now", so they are left out.
    std::string terminal;
    for (const auto& line : Lines(Ok({"global", "show", "--terminal"}))) {
        EXPECT_TRUE(line.ends_with("\tdefault")) << line;
        if (line.find("Update Prompt Date\t") == std::string::npos)
            terminal += line.substr(0, line.rfind('\t')) + "\n";
    }
    ExpectMatchesGolden("global/terminal-defaults.txt", terminal);
    const auto lines = Lines(Ok({"global", "show"}));
    EXPECT_FALSE(std::filesystem::exists(config)) << "showing never writes";
    auto json = nlohmann::json::parse(Ok({"global", "show", "--json"}));
    ASSERT_EQ(json.size(), lines.size());
    EXPECT_EQ(json[0], (nlohmann::json{{"name", "Window Placement"},
                                       {"value", "44,0,1,0,0,-4,-4,0,0,0,0"},
                                       {"default", true}}));

    Ok({"global", "set", "MRU Count", "5"});
    std::string expected = ReadFileBytes(config / "Global.ini");
    const size_t at = expected.find("D:\"Timeout\"=000000b4\r\n");
    ASSERT_NE(at, std::string::npos);
    expected.replace(at, 20, "D:\"Timeout\"=0000003c");
    Ok({"global", "set", "Timeout", "60"});
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), expected);
    EXPECT_THAT(Lines(Ok({"global", "show"})), Contains("Timeout\t60\tcustom"));
}
