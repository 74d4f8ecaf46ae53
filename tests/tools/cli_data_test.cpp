// The sessiondeck host's filetype and tz commands, run as a real process.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

class CliData : public ::testing::Test {
protected:
    // The association folders are the test's own and empty: the built-in list is used.
    ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", config.string()});
        return RunProcess(
            SESSIONDECK_CLI_PATH, args,
            {"XDG_DATA_HOME=" + (dir / "home").string(), "XDG_DATA_DIRS=" + (dir / "data").string(),
             "XDG_CONFIG_HOME=" + (dir / "xdg-config").string(),
             "XDG_CONFIG_DIRS=" + (dir / "etc").string()});
    }
    TempDir dir;
    std::filesystem::path config = dir / "Config";
};

}  // namespace

TEST_F(CliData, FileTypeWithoutADesktopUsesTheBuiltInListAndStoresIt) {
    auto r = Run({"filetype", ".TXT"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Type Name\tText Document\n"
              "Extensions\ttxt|log\n"
              "Application\t\n"
              "Icon File\t\n"
              "Icon Index\t0\n"
              "Transfer Type\tASCII\n"
              "Remote Open Action\tPrompt for open action\n");
    EXPECT_NE(ReadFileBytes(config / "FileTypes.ini").find("\"Text Document\""), std::string::npos);

    // A stored change is what the next run shows.
    ASSERT_EQ(
        Run({"store", "set", "FileTypes", "Text Document", "multi", "ed", "0", "", "txt", "4", "2"})
            .status,
        0);
    r = Run({"filetype", "txt"});
    EXPECT_NE(r.out.find("Application\ted\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Transfer Type\tBinary\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Remote Open Action\tSave to disk\n"), std::string::npos) << r.out;
    EXPECT_EQ(Run({"filetype", "log"}).status, 1) << "log is no longer stored with txt";

    r = Run({"filetype", "nosuchext"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no file type holds the extension 'nosuchext'"), std::string::npos)
        << r.err;
    EXPECT_EQ(Run({"filetype", "."}).status, 2);
}

TEST_F(CliData, TimeZoneListAndConversions) {
    auto r = Run({"tz", "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    int count = 0;
    bool berlin = false;
    for (std::string line; std::getline(lines, line); ++count) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 1) << line;
        berlin |= line.rfind("Europe/Berlin\t(UTC+01:00) ", 0) == 0;
    }
    EXPECT_GT(count, 300);
    EXPECT_TRUE(berlin);

    // Both directions, told apart by the trailing Z; the rules themselves are test_data's.
    EXPECT_EQ(Run({"tz", "convert", "Europe/Berlin", "2026-03-29T03:30:00"}).out,
              "2026-03-29T01:30:00Z\n");
    EXPECT_EQ(Run({"tz", "convert", "Europe/Berlin", "2026-10-25T01:30:00Z"}).out,
              "2026-10-25T02:30:00\n");
}
