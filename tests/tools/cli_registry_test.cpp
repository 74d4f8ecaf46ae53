// The sessiondeck host's store commands on the registry store (--registry), run as a real process.
#include <gtest/gtest.h>

#include <filesystem>

#include "profile/registry_store.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

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
    void Ok(std::vector<std::string> args) {
        auto r = Run(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    TempDir dir;
    std::filesystem::path registry = dir / "registry";
};

}  // namespace

TEST_F(CliRegistry, StoreCommandsWorkOnTheRegistryKey) {
    Ok({"store", "set", "Global", "Port", "dword", "0x16"});
    Ok({"store", "set", "Global", "Hostname", "string", "server1"});
    Ok({"store", "set", "Global", "List", "multi", "a", "", "b"});
    Ok({"store", "set", "Sessions\\Web", "Is Session", "dword", "1"});
    Ok({"store", "set", "Sessions\\db", "Is Session", "dword", "1"});

    // What the host wrote is in the hive, under the key it named.
    {
        VRegistryStoreFactory factory(VRegistryRoot::CurrentUser, u"Software\\Norvik", registry);
        VProfileStore store(true, &factory);
        VProfileKey global(store.GetRootKey(), u"Global");
        uint32_t port = 0;
        EXPECT_TRUE(global.QueryDword(u"Port", port));
        EXPECT_EQ(port, 22u);
    }
    EXPECT_TRUE(std::filesystem::exists(registry / "HKEY_CURRENT_USER.db"));
    EXPECT_FALSE(std::filesystem::exists(dir / "xdg")) << "no configuration folder is touched";

    EXPECT_EQ(Run({"store", "get", "global", "PORT"}).out, "22\n");
    EXPECT_EQ(Run({"store", "dump", "Global"}).out,
              "Hostname\tstring\tserver1\nList\tmulti\ta\t\tb\nPort\tdword\t22\n");
    EXPECT_EQ(Run({"store", "keys", "Sessions"}).out, "db\nWeb\n");
    EXPECT_EQ(Run({"store", "keys", "Software"}, "HKCU").out, "Norvik\n");
    EXPECT_EQ(Run({"store", "keys", ""}, "HKEY_LOCAL_MACHINE").out, "");

    Ok({"store", "rm", "Global", "Hostname"});
    EXPECT_EQ(Run({"store", "get", "Global", "Hostname"}).status, 1);
    Ok({"store", "rmkey", "", "Sessions"});
    EXPECT_EQ(Run({"store", "keys", ""}).out, "Global\n");
}

TEST_F(CliRegistry, RefusalsAndUsageErrors) {
    Ok({"store", "set", "Global", "Port", "dword", "22"});
    EXPECT_EQ(Run({"--read-only", "store", "set", "Global", "Port", "dword", "1"}).status, 3);
    std::filesystem::permissions(registry / "HKEY_CURRENT_USER.db",
                                 std::filesystem::perms::owner_read);
    auto refused = Run({"store", "set", "Global", "Port", "dword", "1"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("not writable"), std::string::npos) << refused.err;
    EXPECT_EQ(Run({"store", "get", "Global", "Port"}).out, "22\n");

    EXPECT_EQ(Run({"store", "keys", ""}, "HKEY_NOWHERE\\Software").status, 2);
    EXPECT_EQ(Run({"store", "keys", ""}, "HKCU\\Software\\\\Norvik").status, 2);
    auto both = RunProcess(SESSIONDECK_CLI_PATH, {"--registry", "HKCU", "--config",
                                                  (dir / "cfg").string(), "store", "keys", ""});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(RunProcess(SESSIONDECK_CLI_PATH, {"--help"}).out.find("--registry"),
              std::string::npos);
}
