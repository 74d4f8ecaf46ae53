// The sessiondeck host against a hostile or failing configuration folder: failed writes are
// reported and change nothing, links never lead a write outside, the store's own names and
// case twins are respected. The value-file size limit is the INI store's rule (test_profile).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;
using sandbox::Lines;
using sandbox::Snapshot;
using Commands = std::vector<std::vector<std::string>>;

class CliWriteFailureOnDisk : public CliSandboxTest {
protected:
    // A folder of three sessions, as a host leaves it.
    void MakeSessions() {
        for (const char* name : {"a", "b", "c"})
            MakeSession(std::string("Lab/") + name, std::string(name) + ".example");
        ASSERT_EQ(Run({"ls", "-r"}).status, 0);
    }
    // The host with a time limit: a command that blocks is a failure of its own.
    ProcessResult RunFor(int seconds, const std::vector<std::string>& command) {
        const ProcessResult r = RunProcessFor(std::chrono::seconds(seconds), SESSIONDECK_CLI_PATH,
                                              Args(command), Env());
        EXPECT_FALSE(r.timedOut) << command[0] << " blocked";
        return r;
    }
    // `set` fails and says so; `apply-default` never counts a session it could not update (when
    // `counted`, it is listed as one of the three).
    void ExpectWritesRefused(int seconds, bool counted = true) {
        const ProcessResult set = RunFor(seconds, {"set", "Lab\\a", "Cols", "132"});
        EXPECT_NE(set.status, 0) << "a set that could not be written exited 0";
        EXPECT_FALSE(set.err.empty());
        const ProcessResult apply = RunFor(seconds, {"apply-default", "Rows", "50"});
        if (!counted) return;
        EXPECT_NE(apply.status, 0) << apply.out;
        EXPECT_EQ(apply.out.find("updated 3 of 3"), std::string::npos) << apply.out;
    }
};

TEST_F(CliWriteFailureOnDisk, AFullDiskIsReported) {
    sandbox::SmallTmpfs disk(dir / "disk", 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    config = dir / "disk" / "Config";
    MakeSessions();
    disk.Fill(0);
    const auto before = Snapshot(sessions());
    ExpectWritesRefused(20);
    EXPECT_TRUE(sandbox::Same(before, Snapshot(sessions()))) << "a failed write changed something";
}

TEST_F(CliWriteFailureOnDisk, AFifoForAValueFileIsRefusedPromptly) {
    MakeSessions();
    fs::remove(sessions() / "Lab" / "a.ini");
    ASSERT_EQ(mkfifo((sessions() / "Lab" / "a.ini").c_str(), 0600), 0);
    const auto before = Snapshot(sessions());
    // Opening a FIFO to read it waits for a writer that never comes. Whether a value file that is
    // no file makes a session is the store's choice; a listed one is never counted as updated.
    ExpectWritesRefused(
        5, Lines(RunFor(5, {"ls", "Lab"}).out) == std::vector<std::string>{"a", "b", "c"});
    EXPECT_EQ(Snapshot(sessions())["Lab/a.ini"], before.at("Lab/a.ini")) << "the FIFO was replaced";
}

// Each command starts from the link as made by `make`, so each one's own effect shows.
class CliLinks : public CliSandboxTest {
protected:
    void ExpectNeverThrough(const std::function<void()>& make, const Commands& commands) {
        MakeSession("Here", "here.example");
        make();
        const auto before = Snapshot(outside);
        for (const std::vector<std::string>& command : commands) {
            SCOPED_TRACE(::testing::PrintToString(command));
            make();
            Run(command);
            EXPECT_TRUE(sandbox::Same(before, Snapshot(outside)));
        }
    }
    fs::path outside = dir / "outside";
};

TEST_F(CliLinks, AValueFileLinkedOutsideIsNeverWrittenThrough) {
    const fs::path target = outside / "victim.ini";
    ExpectNeverThrough(
        [&] {
            fs::remove_all(outside);
            WriteFileBytes(target, sandbox::SessionFile("victim.example"));
            fs::permissions(target,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            fs::remove(sessions() / "Linked.ini");
            fs::create_symlink(target, sessions() / "Linked.ini");
        },
        {{"set", "Linked", "Cols", "132"},
         {"apply-default", "Rows", "50"},
         {"store", "set", "Sessions\\Linked", "Rows", "dword", "7"},
         {"rm", "Linked"}});
}

// Where links lead is the store's rule (test_profile); here, one command of each kind the host
// runs through a link to a folder that looks like one of sessions: a walk, a write below it, a
// rename, removals and a copy in.
TEST_F(CliLinks, AFolderLinkedOutsideIsNeverChangedThrough) {
    ExpectNeverThrough(
        [&] {
            fs::remove_all(outside);
            WriteFileBytes(outside / "S.ini", sandbox::SessionFile("outside.example"));
            WriteFileBytes(outside / "Deeper" / "T.ini", sandbox::SessionFile("outside.example"));
            WriteFileBytes(outside / "README", "the user's own file\n");
            fs::remove(sessions() / "Linked");
            fs::create_symlink(outside, sessions() / "Linked");
        },
        {{"apply-default", "Rows", "50"},
         {"set", "Linked\\Deeper\\T", "Cols", "132"},
         {"rename", "Linked\\S", "U"},
         {"rm", "Linked\\Deeper"},
         {"cp", "Here", "Linked"},
         {"rm", "Linked"}});
}

class CliNames : public CliSandboxTest {};

TEST_F(CliNames, ReservedNamesAreRefusedAndChangeNothing) {
    MakeSession("B", "b.example");
    MakeSession("X/inner", "inner.example");
    const std::string listing = Ok({"ls", "-r"});
    const auto before = Snapshot(sessions());
    for (const std::vector<std::string>& command :
         Commands{{"new", "X\\__FolderData__"},
                  {"mkdir", "__FolderData__"},
                  {"rename", "X\\inner", "__FolderData__"},
                  {"rename", "X", "_@@TMP@@_"},
                  {"new", "_@@TMP@@_12_1"},
                  {"cp", "B", "_@@TMP@@_"}}) {
        SCOPED_TRACE(::testing::PrintToString(command));
        const ProcessResult result = Run(command);
        EXPECT_NE(result.status, 0);
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(sandbox::Same(before, Snapshot(sessions())));
        EXPECT_EQ(Run({"ls", "-r"}).out, listing);
    }
}

// Two value files whose names differ only in case, made by hand (Linux allows it).
TEST_F(CliNames, CaseTwinsAreBothKeptShownAndNeverWrittenOverEachOther) {
    const fs::path upper = sessions() / "WEB.ini", lower = sessions() / "web.ini";
    auto make = [&] {
        MakeSession("WEB", "upper.example");
        MakeSession("web", "lower.example");
    };
    // Which twin `name` shows, by its host name.
    auto shows = [&](const std::string& name, const std::string& host) {
        return Ok({"show", name}).find("\nHostname=" + host + ".example\n") != std::string::npos;
    };
    make();
    const std::string upperBytes = ReadFileBytes(upper), lowerBytes = ReadFileBytes(lower);
    const std::vector<std::string> listed = Lines(Ok({"ls"}));
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "WEB"), 1) << listed.size();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "web"), 1);
    EXPECT_TRUE(shows("WEB", "upper") && shows("web", "lower"));

    EXPECT_NE(Run({"rename", "WEB", "web"}).status, 0) << "a rename onto a case twin";
    EXPECT_EQ(ReadFileBytes(upper), upperBytes);
    EXPECT_EQ(ReadFileBytes(lower), lowerBytes);

    make();  // again from the twins as made, whatever the refused rename did
    EXPECT_EQ(Run({"rename", "WEB", "other"}).status, 0);
    EXPECT_FALSE(fs::exists(upper));
    EXPECT_EQ(ReadFileBytes(lower), lowerBytes) << "the twin was touched";
    EXPECT_TRUE(shows("other", "upper") && shows("web", "lower"));
}

}  // namespace
