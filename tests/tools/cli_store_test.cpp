// The sessiondeck host's store commands, run as a real process: output forms and exit statuses.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/cli_config_test.h"

namespace {

class CliStore : public CliConfigTest {
protected:
    std::filesystem::path config = dir / "Config";
};

}  // namespace

TEST_F(CliStore, SetThenGetEveryKindWritesTheExactValueFile) {
    Ok({"store", "set", "Global", "Port", "dword", "0x16"});
    Ok({"store", "set", "Global", "Hostname", "string", "server1"});
    Ok({"store", "set", "Global", "Key", "binary", "00FFa0"});
    Ok({"store", "set", "Global", "Empty", "binary"});
    Ok({"store", "set", "Global", "Selected Termcap Entries", "multi", "first", "", "second"});

    EXPECT_EQ(Run({"store", "get", "Global", "Port"}).out, "22\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Hostname"}).out, "server1\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Key"}).out, "00ffa0\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Empty"}).out, "\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Selected Termcap Entries"}).out, "first\n\nsecond\n");

    EXPECT_EQ(ReadFileBytes(config / "Global.ini"),
              "\xEF\xBB\xBF"
              "D:\"Port\"=00000016\r\n"
              "S:\"Hostname\"=server1\r\n"
              "B:\"Key\"=00000003\r\n 00 ff a0\r\n"
              "B:\"Empty\"=00000000\r\n"
              "Z:\"Selected Termcap Entries\"=00000003\r\n first\r\n \r\n second\r\n");
}

TEST_F(CliStore, KindFilterAbsentValuesAndRefusalsExitWithOne) {
    Ok({"store", "set", "Sessions\\Default", "Port", "dword", "22"});
    EXPECT_EQ(Run({"store", "get", "Sessions\\Default", "Port", "--kind", "dword"}).out, "22\n");

    auto wrongKind = Run({"store", "get", "Sessions\\Default", "Port", "--kind", "string"});
    EXPECT_EQ(wrongKind.status, 3);
    EXPECT_NE(wrongKind.err.find("is a dword, not a string"), std::string::npos) << wrongKind.err;
    EXPECT_EQ(std::count(wrongKind.err.begin(), wrongKind.err.end(), '\n'), 1) << "one line";

    EXPECT_EQ(Run({"store", "get", "Sessions\\Default", "Nope"}).status, 1);
    EXPECT_EQ(Run({"store", "rm", "Sessions\\Default", "Nope"}).status, 1);
    EXPECT_EQ(Run({"store", "rmkey", "Sessions", "Nope"}).status, 1);
    // A quote in a name cannot be written to a value file: refused, nothing written.
    EXPECT_EQ(Run({"store", "set", "Sessions\\Default", "a\"b", "dword", "1"}).status, 3);
    EXPECT_EQ(Run({"store", "set", "Sessions\\Default", "Text", "string", "two\nlines"}).status, 3);
    EXPECT_EQ(Run({"store", "values", "Sessions\\Default"}).out, "Port\tdword\n");
}

TEST_F(CliStore, UsageErrorsExitWithTwo) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"store"},
             {"store", "set", "Global", "X", "qword", "1"},
             {"store", "set", "Global", "X", "dword", "4294967296"},
             {"store", "set", "Global", "X", "dword", "-1"},
             {"store", "set", "Global", "X", "dword", "0xZZ"},
             {"store", "set", "Global", "X", "dword"},
             {"store", "set", "Global", "X", "string", "a", "b"},
             {"store", "set", "Global", "X", "binary", "abc"},
             {"store", "get", "Global"},
             {"store", "get", "Global", "X", "--kind", "float"},
             {"store", "dump", "..\\outside"},
             {"store", "dump", "Sessions\\\\Default"},
             {"store", "keys", "a/b"},
             {"store", "frobnicate"},
         }) {
        auto r = Run(args);
        EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args) << ": " << r.err;
        EXPECT_FALSE(r.err.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "outside.ini"));
    EXPECT_FALSE(std::filesystem::exists(config)) << "no usage error may write anything";
}

TEST_F(CliStore, DumpKeysValuesInStoreOrderAndJson) {
    Ok({"store", "set", "Global", "beta", "string", "b"});
    Ok({"store", "set", "Global", "Alpha", "dword", "4294967295"});
    Ok({"store", "set", "Global", "list", "multi", "x", "y"});
    Ok({"store", "set", "Global", "Blob", "binary", "0102"});
    Ok({"store", "set", "Sessions\\zeta", "Is Session", "dword", "1"});
    Ok({"store", "set", "Sessions\\Alpha", "Is Session", "dword", "1"});
    std::filesystem::create_directories(config / "Sessions" / "Middle");

    EXPECT_EQ(Run({"store", "keys", "Sessions"}).out, "Alpha\nMiddle\nzeta\n");
    EXPECT_EQ(Run({"store", "keys", ""}).out, "Global\nSessions\n");
    EXPECT_EQ(Run({"store", "values", "Global"}).out,
              "Alpha\tdword\nbeta\tstring\nBlob\tbinary\nlist\tmulti\n");
    EXPECT_EQ(Run({"store", "dump", "Global"}).out,
              "Alpha\tdword\t4294967295\nbeta\tstring\tb\nBlob\tbinary\t0102\nlist\tmulti\tx\ty\n");

    auto json = nlohmann::json::parse(Run({"store", "dump", "Global", "--json"}).out);
    ASSERT_EQ(json.size(), 4u);
    EXPECT_EQ(json[0],
              (nlohmann::json{{"name", "Alpha"}, {"kind", "dword"}, {"value", 4294967295u}}));
    EXPECT_EQ(json[2], (nlohmann::json{{"name", "Blob"}, {"kind", "binary"}, {"value", "0102"}}));
    EXPECT_EQ(json[3]["value"], (nlohmann::json{"x", "y"}));
    EXPECT_EQ(nlohmann::json::parse(Run({"store", "dump", "Nothing", "--json"}).out),
              nlohmann::json::array());
}

TEST_F(CliStore, RemovingValuesAndKeys) {
    Ok({"store", "set", "Sessions\\Servers\\web1", "Port", "dword", "22"});
    Ok({"store", "set", "Sessions\\Servers", "Is Expanded", "dword", "1"});
    Ok({"store", "set", "Global", "A", "dword", "1"});
    Ok({"store", "set", "Global", "B", "dword", "2"});

    Ok({"store", "rm", "Global", "A"});
    EXPECT_EQ(Run({"store", "get", "Global", "A"}).status, 1);
    EXPECT_EQ(Run({"store", "get", "Global", "B"}).out, "2\n");

    Ok({"store", "rmkey", "Sessions", "Servers"});
    EXPECT_FALSE(std::filesystem::exists(config / "Sessions" / "Servers"));
    EXPECT_FALSE(std::filesystem::exists(config / "Sessions" / "Servers.ini"));
    EXPECT_EQ(Run({"store", "keys", "Sessions"}).out, "");
}

// A value file without write permission is never replaced (the owner-write bit decides, so
// this holds for root too). --read-only over every command is cli_read_only_test's.
TEST_F(CliStore, ValueFileWithoutWritePermissionIsNeverReplaced) {
    Ok({"store", "set", "Global", "A", "dword", "1"});
    const std::string before = ReadFileBytes(config / "Global.ini");
    std::filesystem::permissions(config / "Global.ini", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    auto r = Run({"store", "set", "Global", "A", "dword", "3"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), before);
}

TEST_F(CliStore, ConfigFolderFromEnvironmentAndHelp) {
    auto r = RunProcess(SESSIONDECK_CLI_PATH, {"store", "set", "Global", "A", "dword", "7"},
                        {"SESSIONDECK_CONFIG=" + config.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(config / "Global.ini"));

    auto xdg = RunProcess(SESSIONDECK_CLI_PATH, {"store", "set", "Global", "A", "dword", "7"},
                          {"SESSIONDECK_CONFIG=", "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
    ASSERT_EQ(xdg.status, 0) << xdg.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "xdg" / "sessiondeck" / "Config" / "Global.ini"));

    auto help = RunProcess(SESSIONDECK_CLI_PATH, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("store"), std::string::npos);
    auto setHelp = RunProcess(SESSIONDECK_CLI_PATH, {"store", "set", "--help"});
    EXPECT_EQ(setHelp.status, 0);
    EXPECT_NE(setHelp.out.find("multi"), std::string::npos) << setHelp.out;
}
