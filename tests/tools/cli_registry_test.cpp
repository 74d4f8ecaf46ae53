// The sessiondeck host's --registry option: the store commands on a registry key, its roots and
// the refusals of a bad key, run as a real process.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

class CliRegistry : public ::testing::Test {
protected:
    ProcessResult Run(std::vector<std::string> args,
                      const std::string& key = "HKEY_CURRENT_USER\\Software\\Norvik") {
        args.insert(args.begin(), {"--registry", key});
        return RunProcess(SESSIONDECK_CLI_PATH, args,
                          {"SESSIONDECK_REGISTRY_DIR=" + registry.string(),
                           "XDG_CONFIG_HOME=" + (dir / "xdg").string()});
    }
    TempDir dir;
    std::filesystem::path registry = dir / "registry";
};

}  // namespace

TEST_F(CliRegistry, StoreCommandsWorkOnTheNamedKeyAndRefuseBadOnes) {
    ASSERT_EQ(Run({"store", "set", "Global", "Port", "dword", "0x16"}).status, 0);
    ASSERT_EQ(Run({"store", "set", "Sessions\\Web", "Is Session", "dword", "1"}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(registry / "HKEY_CURRENT_USER.db"));
    EXPECT_FALSE(std::filesystem::exists(dir / "xdg")) << "no configuration folder is touched";

    EXPECT_EQ(Run({"store", "dump", "Global"}).out, "Port\tdword\t22\n");
    EXPECT_EQ(Run({"store", "keys", "Software"}, "HKCU").out, "Norvik\n");
    EXPECT_EQ(Run({"store", "keys", ""}, "HKEY_LOCAL_MACHINE").out, "");
    ASSERT_EQ(Run({"store", "rmkey", "", "Sessions"}).status, 0);
    EXPECT_EQ(Run({"store", "keys", ""}).out, "Global\n");

    EXPECT_EQ(Run({"--read-only", "store", "set", "Global", "Port", "dword", "1"}).status, 3);
    std::filesystem::permissions(registry / "HKEY_CURRENT_USER.db",
                                 std::filesystem::perms::owner_read);
    auto refused = Run({"store", "set", "Global", "Port", "dword", "1"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("not writable"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"store", "get", "Global", "Port"}).out, "22\n");

    EXPECT_EQ(Run({"store", "keys", ""}, "HKEY_NOWHERE\\Software").status, 2);
    EXPECT_EQ(Run({"store", "keys", ""}, "HKCU\\Software\\\\Norvik").status, 2);
}
