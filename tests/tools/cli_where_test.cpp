// `sessiondeck where`: the configuration folder the host settles on and the rule that chose it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

class CliWhere : public ::testing::Test {
protected:
    ProcessResult Run(std::vector<std::string> args, std::string config = "") {
        return RunProcess(
            SESSIONDECK_CLI_PATH, args,
            {"SESSIONDECK_REGISTRY_DIR=" + (dir / "registry").string(),
             "XDG_CONFIG_HOME=" + (dir / "xdg").string(), "SESSIONDECK_CONFIG=" + config});
    }
    // Remembers `folder` under the registry key of `app` ("Global": every application).
    void Remember(const std::string& app, const std::string& folder) {
        auto r = Run({"--registry", "HKEY_CURRENT_USER\\SOFTWARE\\Norvik", "store", "set", app,
                      "Config Path", "string", folder});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    TempDir dir;
};

}  // namespace

TEST_F(CliWhere, RulesInTheHostsOrder) {
    const std::string byDefault = (dir / "xdg/sessiondeck/Config").string();
    auto r = Run({"where"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, byDefault + "\nchosen by: default\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "xdg"));  // asking changes nothing

    Remember("Global", "/shared");
    EXPECT_EQ(Run({"where"}).out,
              "/shared\nchosen by: remembered for all applications in the "
              "registry store\n");
    Remember("sessiondeck", "/mine");
    EXPECT_EQ(Run({"where"}).out,
              "/mine\nchosen by: remembered for sessiondeck in the registry store\n");
    EXPECT_EQ(Run({"where"}, "/env").out, "/env\nchosen by: SESSIONDECK_CONFIG\n");
    EXPECT_EQ(Run({"--config", "/given", "where"}, "/env").out, "/given\nchosen by: --config\n");
    r = Run({"--registry", "HKCU\\SOFTWARE\\Norvik", "where"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("chosen by: --registry\n"), std::string::npos);
}

TEST_F(CliWhere, MigratedFolderIsFollowedAndAnUnmigratedOneFlagged) {
    const std::filesystem::path old = dir / "old";
    WriteFileBytes(old / "Global.ini", "S:\"Version\"=2.0\r\n");
    WriteFileBytes(old / "NVKRedirect.ini", "S:\"New Config Path\"=/new/place\r\n");
    auto r = Run({"--config", old.string(), "where"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "/new/place\nchosen by: --config\nredirected from: " + old.string() + "\n");

    std::filesystem::remove(old / "NVKRedirect.ini");
    r = Run({"--config", old.string(), "where"});
    EXPECT_EQ(r.out, old.string() +
                         "\nchosen by: --config\nneeds migration: its \"Global\" key "
                         "has no current format identifier\n");
    WriteFileBytes(old / "Global.ini", "S:\"Version\"=7B2F2717-85C8-4729-8394-3B7697039CEB\r\n");
    EXPECT_EQ(Run({"--config", old.string(), "where"}).out,
              old.string() + "\nchosen by: --config\n");
}

TEST_F(CliWhere, ConfigBesideTheExecutableCountsOnceItHoldsTheGlobalKey) {
    // A copy of the host in a folder of its own, finding the library where the build put it.
    const std::filesystem::path built(SESSIONDECK_CLI_PATH);
    const std::filesystem::path host = dir / "bin/sessiondeck";
    std::filesystem::create_directories(host.parent_path());
    std::filesystem::copy_file(built, host);
    const std::vector<std::string> env{
        "LD_LIBRARY_PATH=" + built.parent_path().parent_path().string(),
        "SESSIONDECK_REGISTRY_DIR=" + (dir / "registry").string(),
        "XDG_CONFIG_HOME=" + (dir / "xdg").string(), "SESSIONDECK_CONFIG="};
    const std::string beside =
        (dir / "bin/Config").string() + "\nchosen by: beside the executable\n";

    std::filesystem::create_directories(dir / "bin/Config");
    auto r = RunProcess(host.string(), {"where"}, env);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "xdg/sessiondeck/Config").string() + "\nchosen by: default\n")
        << "an empty Config folder does not count";
    // What the host itself writes there makes the folder count (which names of the global key
    // count is test_app's).
    ASSERT_EQ(
        RunProcess(host.string(),
                   {"--config", (dir / "bin/Config").string(), "global", "set", "MRU Count", "5"},
                   env)
            .status,
        0);
    EXPECT_EQ(RunProcess(host.string(), {"where"}, env).out, beside);
}
