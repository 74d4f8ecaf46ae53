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

TEST_F(CliStore, EveryKindIsWrittenAsGivenAndListedInStoreOrder) {
    Ok({"store", "set", "Global", "beta", "string", "b"});
    Ok({"store", "set", "Global", "Alpha", "dword", "0xFFFFFFFF"});
    Ok({"store", "set", "Global", "list", "multi", "x", "", "y"});
    Ok({"store", "set", "Global", "Blob", "binary", "00FFa0"});
    Ok({"store", "set", "Global", "Empty", "binary"});
    Ok({"store", "set", "Sessions\\zeta", "Is Session", "dword", "1"});
    Ok({"store", "set", "Sessions\\Alpha", "Is Session", "dword", "1"});
    std::filesystem::create_directories(config / "Sessions" / "Middle");

    EXPECT_EQ(ReadFileBytes(config / "Global.ini"),
              "\xEF\xBB\xBF"
              "S:\"beta\"=b\r\n"
              "D:\"Alpha\"=ffffffff\r\n"
              "B:\"Blob\"=00000003\r\n 00 ff a0\r\n"
              "B:\"Empty\"=00000000\r\n"
              "Z:\"list\"=00000003\r\n x\r\n \r\n y\r\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Alpha"}).out, "4294967295\n");
    EXPECT_EQ(Run({"store", "get", "Global", "list"}).out, "x\n\ny\n");
    EXPECT_EQ(Run({"store", "get", "Global", "Blob", "--kind", "binary"}).out, "00ffa0\n");
    EXPECT_EQ(Run({"store", "keys", "Sessions"}).out, "Alpha\nMiddle\nzeta\n");
    EXPECT_EQ(Run({"store", "keys", ""}).out, "Global\nSessions\n");
    EXPECT_EQ(Run({"store", "values", "Global"}).out,
              "Alpha\tdword\nbeta\tstring\nBlob\tbinary\nEmpty\tbinary\nlist\tmulti\n");
    EXPECT_EQ(Run({"store", "dump", "Global"}).out,
              "Alpha\tdword\t4294967295\nbeta\tstring\tb\nBlob\tbinary\t00ffa0\n"
              "Empty\tbinary\t\nlist\tmulti\tx\t\ty\n");

    auto json = nlohmann::json::parse(Run({"store", "dump", "Global", "--json"}).out);
    ASSERT_EQ(json.size(), 5u);
    EXPECT_EQ(json[0],
              (nlohmann::json{{"name", "Alpha"}, {"kind", "dword"}, {"value", 4294967295u}}));
    EXPECT_EQ(json[2], (nlohmann::json{{"name", "Blob"}, {"kind", "binary"}, {"value", "00ffa0"}}));
    EXPECT_EQ(json[4]["value"], (nlohmann::json{"x", "", "y"}));
    EXPECT_EQ(nlohmann::json::parse(Run({"store", "dump", "Nothing", "--json"}).out),
              nlohmann::json::array());

    Ok({"store", "rm", "Global", "beta"});
    EXPECT_EQ(Run({"store", "get", "Global", "beta"}).status, 1);
    Ok({"store", "rmkey", "", "Sessions"});
    EXPECT_FALSE(std::filesystem::exists(config / "Sessions"));
    EXPECT_EQ(Run({"store", "keys", ""}).out, "Global\n");
}

// A value file without write permission is never replaced (the owner-write bit decides, so this
// holds for root too).
TEST_F(CliStore, ValueFileWithoutWritePermissionIsNeverReplaced) {
    Ok({"store", "set", "Global", "A", "dword", "1"});
    const std::string before = ReadFileBytes(config / "Global.ini");
    std::filesystem::permissions(config / "Global.ini", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(Run({"store", "set", "Global", "A", "dword", "3"}).status, 3);
    EXPECT_EQ(ReadFileBytes(config / "Global.ini"), before);
}
