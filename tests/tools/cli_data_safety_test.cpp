// The sessiondeck host against a hostile or failing configuration folder: failed writes are
// reported and change nothing, links never lead a write outside, the store's own names and
// case twins are respected. The value-file size limit is the INI store's rule (test_profile).
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;
using sandbox::Diff;
using sandbox::Lines;
using sandbox::Snapshot;

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
        return RunProcessFor(std::chrono::seconds(seconds), SESSIONDECK_CLI_PATH, Args(command),
                             Env());
    }
    // `set` and `apply-default` both fail, say so, and leave everything as it was.
    void ExpectWritesRefused() {
        const auto before = Snapshot(sessions());
        const ProcessResult set = RunFor(20, {"set", "Lab\\a", "Cols", "132"});
        EXPECT_FALSE(set.timedOut);
        EXPECT_NE(set.status, 0) << "a set that could not be written exited 0";
        EXPECT_FALSE(set.err.empty());
        const ProcessResult apply = RunFor(20, {"apply-default", "Rows", "50"});
        EXPECT_FALSE(apply.timedOut);
        EXPECT_NE(apply.status, 0) << apply.out;
        EXPECT_EQ(apply.out.find("updated 3 of 3"), std::string::npos) << apply.out;
        const auto after = Snapshot(sessions());
        EXPECT_TRUE(sandbox::Same(before, after)) << "a failed write changed something";
    }
};

TEST_F(CliWriteFailureOnDisk, AFullDiskIsReported) {
    sandbox::SmallTmpfs disk(dir / "disk", 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    config = dir / "disk" / "Config";
    MakeSessions();
    disk.Fill(0);
    ExpectWritesRefused();
}

TEST_F(CliWriteFailureOnDisk, AFifoForAValueFileIsRefusedPromptly) {
    MakeSessions();
    fs::remove(sessions() / "Lab" / "a.ini");
    ASSERT_EQ(mkfifo((sessions() / "Lab" / "a.ini").c_str(), 0600), 0);
    auto before = Snapshot(sessions());
    // Opening a FIFO to read it waits for a writer that never comes.
    const ProcessResult set = RunFor(5, {"set", "Lab\\a", "Cols", "132"});
    EXPECT_FALSE(set.timedOut) << "set blocked on the FIFO";
    EXPECT_NE(set.status, 0);
    EXPECT_FALSE(set.err.empty());
    const ProcessResult list = RunFor(5, {"ls", "Lab"});
    EXPECT_FALSE(list.timedOut) << "ls blocked on the FIFO";
    const bool listed = Lines(list.out) == std::vector<std::string>{"a", "b", "c"};
    const ProcessResult apply = RunFor(5, {"apply-default", "Rows", "50"});
    EXPECT_FALSE(apply.timedOut) << "apply-default blocked on the FIFO";
    // Whether a value file that is no file makes a session is the store's choice; a listed
    // session that could not be updated is never counted as updated.
    if (listed) {
        EXPECT_NE(apply.status, 0) << apply.out;
        EXPECT_EQ(apply.out.find("updated 3 of 3"), std::string::npos) << apply.out;
    }
    auto after = Snapshot(sessions());
    EXPECT_EQ(after["Lab/a.ini"], before["Lab/a.ini"]) << "the FIFO was replaced";
}

class CliLinks : public CliSandboxTest {
protected:
    fs::path outside = dir / "outside";
};

// Each command starts from the link as made, so each one's own effect shows.
TEST_F(CliLinks, AValueFileLinkedOutsideIsNeverWrittenThrough) {
    MakeSession("Here", "here.example");
    const fs::path target = outside / "victim.ini";
    auto makeOutside = [&] {
        fs::remove_all(outside);
        fs::create_directories(outside);
        WriteFileBytes(target, sandbox::SessionFile("victim.example"));
        fs::permissions(target,
                        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        fs::remove(sessions() / "Linked.ini");
        fs::create_symlink(target, sessions() / "Linked.ini");
    };
    makeOutside();
    const auto before = Snapshot(outside);
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"set", "Linked", "Cols", "132"},
             {"apply-default", "Rows", "50"},
             {"store", "set", "Sessions\\Linked", "Rows", "dword", "7"},
             {"rm", "Linked"}}) {
        SCOPED_TRACE(::testing::PrintToString(command));
        makeOutside();
        Run(command);
        EXPECT_TRUE(sandbox::Same(before, Snapshot(outside)));
    }
}

TEST_F(CliLinks, AFolderLinkedOutsideIsNeverChangedThrough) {
    MakeSession("Here", "here.example");
    // The outside folder looks like a folder of sessions, with a folder below it.
    auto makeOutside = [&] {
        fs::remove_all(outside);
        WriteFileBytes(outside / "S.ini", sandbox::SessionFile("outside.example"));
        fs::create_directories(outside / "Deeper");
        WriteFileBytes(outside / "Deeper" / "T.ini", sandbox::SessionFile("outside.example"));
        WriteFileBytes(outside / "README", "the user's own file\n");
        fs::remove(sessions() / "Linked");
        fs::create_symlink(outside, sessions() / "Linked");
    };
    fs::create_directories(outside);
    makeOutside();
    const auto before = Snapshot(outside);
    // Where links lead is the store's rule (test_profile); here, one command of each kind the
    // host runs through the link: a walk, a write below it, a rename, removals and a copy in.
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"apply-default", "Rows", "50"},
                                               {"set", "Linked\\Deeper\\T", "Cols", "132"},
                                               {"rename", "Linked\\S", "U"},
                                               {"rm", "Linked\\Deeper"},
                                               {"cp", "Here", "Linked"},
                                               {"rm", "Linked"}}) {
        SCOPED_TRACE(::testing::PrintToString(command));
        makeOutside();
        Run(command);
        EXPECT_TRUE(sandbox::Same(before, Snapshot(outside)));
    }
}

class CliNames : public CliSandboxTest {};

TEST_F(CliNames, ReservedNamesAreRefusedAndChangeNothing) {
    MakeSession("B", "b.example");
    MakeSession("X/inner", "inner.example");
    ASSERT_EQ(Run({"ls", "-r"}).status, 0);
    const std::string listing = Run({"ls", "-r"}).out;
    const auto before = Snapshot(sessions());
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"new", "X\\__FolderData__"},
                                               {"mkdir", "__FolderData__"},
                                               {"rename", "X\\inner", "__FolderData__"},
                                               {"rename", "X", "_@@TMP@@_"},
                                               {"new", "_@@TMP@@_12_1"},
                                               {"cp", "B", "_@@TMP@@_"}}) {
        SCOPED_TRACE(::testing::PrintToString(command));
        const ProcessResult result = Run(command);
        EXPECT_NE(result.status, 0);
        EXPECT_FALSE(result.err.empty());
        const auto after = Snapshot(sessions());
        EXPECT_TRUE(sandbox::Same(before, after));
        EXPECT_EQ(Run({"ls", "-r"}).out, listing);
    }
}

// Two value files whose names differ only in case, made by hand (Linux allows it).
TEST_F(CliNames, CaseTwinsAreBothKeptShownAndNeverWrittenOverEachOther) {
    MakeSession("WEB", "upper.example");
    MakeSession("web", "lower.example");
    const fs::path upper = sessions() / "WEB.ini", lower = sessions() / "web.ini";
    const std::string upperBytes = ReadFileBytes(upper), lowerBytes = ReadFileBytes(lower);

    const std::vector<std::string> listed = Lines(Run({"ls"}).out);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "WEB"), 1) << Run({"ls"}).out;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "web"), 1);
    const ProcessResult showUpper = Run({"show", "WEB"});
    const ProcessResult showLower = Run({"show", "web"});
    EXPECT_NE(showUpper.out.find("\nHostname=upper.example\n"), std::string::npos)
        << showUpper.out.substr(0, 300) << showUpper.err;
    EXPECT_NE(showLower.out.find("\nHostname=lower.example\n"), std::string::npos)
        << showLower.out.substr(0, 300) << showLower.err;

    const ProcessResult merge = Run({"rename", "WEB", "web"});
    EXPECT_NE(merge.status, 0) << "a rename onto a case twin was not refused";
    EXPECT_EQ(ReadFileBytes(upper), upperBytes);
    EXPECT_EQ(ReadFileBytes(lower), lowerBytes);

    // Again from the twins as made, whatever the refused rename did.
    WriteFileBytes(upper, upperBytes);
    WriteFileBytes(lower, lowerBytes);

    const ProcessResult away = Run({"rename", "WEB", "other"});
    EXPECT_EQ(away.status, 0) << away.err;
    EXPECT_FALSE(fs::exists(upper));
    EXPECT_EQ(ReadFileBytes(lower), lowerBytes) << "the twin was touched";
    EXPECT_NE(Run({"show", "other"}).out.find("\nHostname=upper.example\n"), std::string::npos);
    EXPECT_NE(Run({"show", "web"}).out.find("\nHostname=lower.example\n"), std::string::npos);
}

}  // namespace
