// Where the sessiondeck host finds things: the configuration folder it settles on and the rule
// that chose it, a registry store named by --registry, and the protocol modules beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CliWhere : public ::testing::Test {
protected:
    // The host without --config, over a registry and a configuration home of the test's own.
    ProcessResult Run(const std::vector<std::string>& args, const std::string& config = "",
                      const std::string& host = SESSIONDECK_CLI_PATH) {
        return RunProcess(
            host, args,
            {"SESSIONDECK_REGISTRY_DIR=" + registry.string(),
             "XDG_CONFIG_HOME=" + (dir / "xdg").string(), "SESSIONDECK_CONFIG=" + config,
             "LD_LIBRARY_PATH=" +
                 fs::path(SESSIONDECK_CLI_PATH).parent_path().parent_path().string()});
    }
    // The store commands on a registry key.
    ProcessResult Registry(std::vector<std::string> args,
                           const std::string& key = "HKEY_CURRENT_USER\\Software\\Norvik") {
        args.insert(args.begin(), {"--registry", key});
        return Run(args);
    }
    // Remembers `folder` under the registry key of `app` ("Global": every application).
    void Remember(const std::string& app, const std::string& folder) {
        auto r = Registry({"store", "set", app, "Config Path", "string", folder},
                          "HKEY_CURRENT_USER\\SOFTWARE\\Norvik");
        ASSERT_EQ(r.status, 0) << r.err;
    }
    TempDir dir;
    fs::path registry = dir / "registry";
};

}  // namespace

TEST_F(CliWhere, RulesInTheHostsOrder) {
    const std::string byDefault = (dir / "xdg/sessiondeck/Config").string();
    EXPECT_EQ(Run({"where"}).out, byDefault + "\nchosen by: default\n");
    EXPECT_FALSE(fs::exists(dir / "xdg"));  // asking changes nothing

    Remember("Global", "/shared");
    EXPECT_EQ(Run({"where"}).out,
              "/shared\nchosen by: remembered for all applications in the registry store\n");
    Remember("sessiondeck", "/mine");
    EXPECT_EQ(Run({"where"}).out,
              "/mine\nchosen by: remembered for sessiondeck in the registry store\n");
    EXPECT_EQ(Run({"where"}, "/env").out, "/env\nchosen by: SESSIONDECK_CONFIG\n");
    EXPECT_EQ(Run({"--config", "/given", "where"}, "/env").out, "/given\nchosen by: --config\n");
    EXPECT_THAT(Run({"--registry", "HKCU\\SOFTWARE\\Norvik", "where"}).out,
                HasSubstr("chosen by: --registry\n"));
}

TEST_F(CliWhere, MigratedFolderIsFollowedAndAnUnmigratedOneFlagged) {
    const fs::path old = dir / "old";
    WriteFileBytes(old / "Global.ini", "S:\"Version\"=2.0\r\n");
    WriteFileBytes(old / "NVKRedirect.ini", "S:\"New Config Path\"=/new/place\r\n");
    const std::vector<std::string> where = {"--config", old.string(), "where"};
    EXPECT_EQ(Run(where).out,
              "/new/place\nchosen by: --config\nredirected from: " + old.string() + "\n");
    fs::remove(old / "NVKRedirect.ini");
    EXPECT_EQ(Run(where).out, old.string() +
                                  "\nchosen by: --config\nneeds migration: its \"Global\" key "
                                  "has no current format identifier\n");
    WriteFileBytes(old / "Global.ini", "S:\"Version\"=7B2F2717-85C8-4729-8394-3B7697039CEB\r\n");
    EXPECT_EQ(Run(where).out, old.string() + "\nchosen by: --config\n");
}

TEST_F(CliWhere, ConfigBesideTheExecutableCountsOnceItHoldsTheGlobalKey) {
    // A copy of the host in a folder of its own, finding the library where the build put it.
    const fs::path host = dir / "bin/sessiondeck";
    fs::create_directories(dir / "bin/Config");
    fs::copy_file(SESSIONDECK_CLI_PATH, host);
    EXPECT_EQ(Run({"where"}, "", host).out,
              (dir / "xdg/sessiondeck/Config").string() + "\nchosen by: default\n")
        << "an empty Config folder does not count";
    // What the host itself writes there makes the folder count (which names of the global key
    // count is test_app's).
    ASSERT_EQ(Run({"--config", (dir / "bin/Config").string(), "global", "set", "MRU Count", "5"},
                  "", host)
                  .status,
              0);
    EXPECT_EQ(Run({"where"}, "", host).out,
              (dir / "bin/Config").string() + "\nchosen by: beside the executable\n");
}

TEST_F(CliWhere, RegistryStoreCommandsWorkOnTheNamedKeyAndRefuseBadOnes) {
    ASSERT_EQ(Registry({"store", "set", "Global", "Port", "dword", "0x16"}).status, 0);
    ASSERT_EQ(Registry({"store", "set", "Sessions\\Web", "Is Session", "dword", "1"}).status, 0);
    EXPECT_TRUE(fs::exists(registry / "HKEY_CURRENT_USER.db"));
    EXPECT_FALSE(fs::exists(dir / "xdg")) << "no configuration folder is touched";
    EXPECT_EQ(Registry({"store", "keys", "Software"}, "HKCU").out, "Norvik\n");
    EXPECT_EQ(Registry({"store", "keys", ""}, "HKEY_LOCAL_MACHINE").out, "");
    ASSERT_EQ(Registry({"store", "rmkey", "", "Sessions"}).status, 0);
    EXPECT_EQ(Registry({"store", "keys", ""}).out, "Global\n");

    EXPECT_EQ(Registry({"--read-only", "store", "set", "Global", "Port", "dword", "1"}).status, 3);
    fs::permissions(registry / "HKEY_CURRENT_USER.db", fs::perms::owner_read);
    auto refused = Registry({"store", "set", "Global", "Port", "dword", "1"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_THAT(refused.err, HasSubstr("not writable"));
    EXPECT_EQ(Registry({"store", "dump", "Global"}).out, "Port\tdword\t22\n");
    for (const char* bad : {"HKEY_NOWHERE\\Software", "HKCU\\Software\\\\Norvik"})
        EXPECT_EQ(Registry({"store", "keys", ""}, bad).status, 2) << bad;
}

// `sessiondeck protocols`: the modules found beside the executable, loaded as a host of a product
// (which rows load is test_app's).
TEST_F(CliWhere, ProtocolsLoadsTheBuiltModulesPerProductAndReportsAnEmptyFolder) {
    const std::string config = "--config=" + dir.path().string();
    const ProcessResult terminal = Run({config, "protocols"});
    EXPECT_EQ(terminal.status, 0) << terminal.err;
    for (const char* row : {"0\tSSH2\t3\t", "\tSFTP\t6\t", "\tNone\t6\t"})
        EXPECT_THAT(terminal.out, HasSubstr(row));
    EXPECT_THAT(Run({config, "protocols", "--product", "7"}).out, HasSubstr("0\tSSH2\t7\t"));
    fs::create_directories(dir / "empty");
    const ProcessResult none = Run({config, "protocols", "--folder", (dir / "empty").string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_THAT(none.out, HasSubstr("Unable to load any connection protocol DLLs from:"));
}
