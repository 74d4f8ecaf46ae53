// Writes that fail reach the exit status: the host run as an unprivileged user over folders and
// files it may not write or read, so that the store's writes really fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";

class CliWriteFailure : public CliSandboxTest {
protected:
    void SetUp() override {
        if (getuid() != 0 || !fs::exists(kSetpriv))
            GTEST_SKIP() << "needs root and setpriv to run the host as an unprivileged user";
        // The host as root makes the configuration; then it all belongs to the other user.
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"mkdir", "Lab"},
              {"new", "Lab\\a"},
              {"new", "s1"},
              {"new", "s2"},
              {"firewall", "set", "Office", "Firewall Address", "gate.example"}})
            Ok(args);
        fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            ASSERT_EQ(lchown(entry.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(lchown(dir.path().c_str(), 65534, 65534), 0);
        if (AsNobody({"ls"}).status != 0) GTEST_SKIP() << "the host cannot run as uid 65534 here";
    }
    ProcessResult AsNobody(std::vector<std::string> args) {
        args = Args(args);
        args.insert(args.begin(),
                    {"--reuid=65534", "--regid=65534", "--clear-groups", SESSIONDECK_CLI_PATH});
        return RunProcess(kSetpriv, args, Env());
    }
    // Exit status 3 (refused) with a reason on standard error holding `text`.
    ProcessResult Fails(const std::vector<std::string>& args, const std::string& text) {
        const auto r = AsNobody(args);
        EXPECT_EQ(r.status, 3) << args[0] << ": " << r.out << r.err;
        EXPECT_NE(r.err.find(text), std::string::npos) << args[0] << ": " << r.err;
        return r;
    }
    // Runs `steps` with `path` (below the test's folder) at the mode `perms`, then puts it back.
    template <class Steps>
    void With(const char* path, fs::perms perms, Steps steps) {
        SCOPED_TRACE(path);
        const fs::perms before = fs::status(dir / path).permissions();
        fs::permissions(dir / path, perms);
        steps();
        fs::permissions(dir / path, before);
    }
};

constexpr fs::perms kReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec;

}  // namespace

TEST_F(CliWriteFailure, EachRefusedWriteIsReportedAndChangesNothing) {
    With("Config/Sessions", kReadOnlyFolder, [&] {
        Fails({"new", "x"}, "could not be created");
        Fails({"new", "--url", "sftp://host.example"}, "could not be created");
        Fails({"mkdir", "L"}, "could not be created");
        Fails({"set", "s1", "Rows", "30"}, "s1");
        // Only Lab\a, in a folder of its own that can be written, took the change.
        EXPECT_EQ(Fails({"apply-default", "Rows", "40"}, "3 sessions could not be written").out,
                  "updated 1 of 4 sessions\n");
    });
    EXPECT_FALSE(fs::exists(dir / "Config/Sessions/x.ini"));
    With("Config/Sessions/s1.ini", fs::perms::owner_read, [&] {
        Fails({"set", "s1", "Rows", "30"}, "s1");
    });
    EXPECT_EQ(Ok({"show", "s1"}).find("\nRows=30\n"), std::string::npos);

    With("Config/Firewalls", kReadOnlyFolder, [&] {
        EXPECT_EQ(Fails({"firewall", "set", "Office", "Firewall Port", "99"}, "Office")
                      .err.find("line break"),
                  std::string::npos)
            << "a reason that does not apply";
        Fails({"firewall", "set", "Home", "Firewall Port", "99"}, "Home");
    });
    EXPECT_NE(Ok({"firewall", "show", "Office"}).find("Firewall Port=1080\n"), std::string::npos);

    // An unreadable folder is neither listed as empty nor copied empty.
    With("Config/Sessions/Lab", fs::perms::none, [&] {
        const std::string listed = Fails({"ls", "-r"}, "'Lab'").out;
        EXPECT_NE(listed.find("Lab\\\n"), std::string::npos) << "the rest is still listed";
        EXPECT_NE(listed.find("s1\n"), std::string::npos) << listed;
        Fails({"cp", "Lab", ""}, "'Lab' could not be read");
    });
    EXPECT_FALSE(fs::exists(dir / "Config/Sessions/Lab (2)"));
    EXPECT_EQ(Ok({"ls"}), "Lab\\\nDefault\ns1\ns2\n");
}
