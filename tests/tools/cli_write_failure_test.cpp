// Writes that fail reach the exit status: the host run as an unprivileged user over folders and
// files it may not write or read, so that the store's writes really fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_config_test.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";
constexpr const char* kNobody = "65534";

class CliWriteFailure : public CliConfigTest {
protected:
    void SetUp() override {
        if (getuid() != 0 || !fs::exists(kSetpriv))
            GTEST_SKIP() << "needs root and setpriv to run the host as an unprivileged user";
        // The host as root makes the configuration; then it all belongs to the other user.
        Ok({"mkdir", "Lab"});
        Ok({"new", "Lab\\a"});
        Ok({"new", "s1"});
        Ok({"new", "s2"});
        Ok({"firewall", "set", "Office", "Firewall Address", "gate.example"});
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(lchown(dir.path().c_str(), 65534, 65534), 0);
        if (AsNobody({"ls"}).status != 0) GTEST_SKIP() << "the host cannot run as uid 65534 here";
    }
    ProcessResult AsNobody(std::vector<std::string> args) {
        args.insert(args.begin(), {std::string("--reuid=") + kNobody,
                                   std::string("--regid=") + kNobody, "--clear-groups",
                                   SESSIONDECK_CLI_PATH, "--config", (dir / "Config").string()});
        return RunProcess(
            kSetpriv, args,
            {"XDG_DATA_HOME=" + (dir / "data").string(), "HOME=" + dir.path().string()});
    }
    // Exit status 3 (refused) with a reason on standard error holding `text`.
    void Fails(const std::vector<std::string>& args, const std::string& text) {
        const auto r = AsNobody(args);
        EXPECT_EQ(r.status, 3) << args[0] << ": " << r.out << r.err;
        EXPECT_NE(r.err.find(text), std::string::npos) << args[0] << ": " << r.err;
    }
    void Mode(const fs::path& path, fs::perms perms) { fs::permissions(dir / path, perms); }
};

constexpr fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec;
constexpr fs::perms kFolder = fs::perms::owner_all;

}  // namespace

TEST_F(CliWriteFailure, ReadOnlySessionsFolder) {
    Mode("Config/Sessions", kReadOnlyFolder);
    Fails({"new", "x"}, "could not be created");
    Fails({"new", "--url", "sftp://host.example"}, "could not be created");
    Fails({"mkdir", "L"}, "could not be created");
    Fails({"set", "s1", "Rows", "30"}, "s1");
    const auto applied = AsNobody({"apply-default", "Rows", "40"});
    EXPECT_EQ(applied.status, 3) << applied.out << applied.err;
    // Only Lab\a, in a folder of its own that can be written, took the change.
    EXPECT_EQ(applied.out, "updated 1 of 4 sessions\n");
    EXPECT_NE(applied.err.find("3 sessions could not be written"), std::string::npos)
        << applied.err;
    Mode("Config/Sessions", kFolder);
    EXPECT_FALSE(fs::exists(dir / "Config/Sessions/x.ini"));
    EXPECT_EQ(Ok({"show", "s1"}).find("\nRows=30\n"), std::string::npos);
}

TEST_F(CliWriteFailure, ReadOnlyValueFile) {
    Mode("Config/Sessions/s1.ini", fs::perms::owner_read);
    Fails({"set", "s1", "Rows", "30"}, "s1");
    Mode("Config/Sessions/s1.ini", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Ok({"show", "s1"}).find("\nRows=30\n"), std::string::npos);
}

TEST_F(CliWriteFailure, FirewallFolderThatCannotBeWritten) {
    Mode("Config/Firewalls", kReadOnlyFolder);
    const auto r = AsNobody({"firewall", "set", "Office", "Firewall Port", "99"});
    EXPECT_EQ(r.status, 3) << r.out;
    EXPECT_NE(r.err.find("Office"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("line break"), std::string::npos) << "a reason that does not apply";
    Fails({"firewall", "set", "Home", "Firewall Port", "99"}, "Home");
    Mode("Config/Firewalls", kFolder);
    EXPECT_NE(Ok({"firewall", "show", "Office"}).find("Firewall Port=1080\n"), std::string::npos);
}

TEST_F(CliWriteFailure, UnreadableFolderIsNeitherListedAsEmptyNorCopiedEmpty) {
    Mode("Config/Sessions/Lab", fs::perms::none);
    const auto listed = AsNobody({"ls", "-r"});
    EXPECT_EQ(listed.status, 3);
    EXPECT_NE(listed.out.find("Lab\\\n"), std::string::npos) << "the rest is still listed";
    EXPECT_NE(listed.out.find("s1\n"), std::string::npos) << listed.out;
    EXPECT_NE(listed.err.find("'Lab'"), std::string::npos) << listed.err;
    Fails({"cp", "Lab", ""}, "'Lab' could not be read");
    Mode("Config/Sessions/Lab", kFolder);
    EXPECT_FALSE(fs::exists(dir / "Config/Sessions/Lab (2)"));
    EXPECT_EQ(Ok({"ls"}), "Lab\\\nDefault\ns1\ns2\n");
}
