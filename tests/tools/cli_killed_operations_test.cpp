// Kills the sessiondeck host (SIGKILL at random moments) while it renames, copies or applies the
// default session to a large folder, and checks that nothing half-done is ever listed as whole.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "profile/ini_store_private.h"
#include "support/cli_sandbox.h"
#include "support/scoped_env.h"

using namespace sessiondeck;

namespace {

namespace fs = std::filesystem;
using sandbox::Diff;
using sandbox::Lines;
using sandbox::Snapshot;
using Names = std::vector<std::string>;
using ::testing::AnyOf;

// Kills per test; SESSIONDECK_KILL_TRIALS overrides the default.
int Trials() {
    return sandbox::EnvInt("SESSIONDECK_KILL_TRIALS", 6);
}

class CliKilled : public CliSandboxTest {
protected:
    // A SIGKILL tests the process dying, not the machine losing power, so the
    // configuration folder lives on /dev/shm where the host's flushes are free.
    void SetUp() override {
        m_fast = MakeTempDirInMemory();
        config = m_fast->path() / "Config";
        pristine = m_fast->path() / "Pristine";
    }

    // Builds `count` sessions in the folder `name` of a pristine configuration, and their
    // snapshot, which every trial starts from.
    void MakePristine(const std::string& name, int count) {
        const fs::path live = config;
        config = pristine;
        for (int i = 0; i < count; ++i) {
            MakeSession(name + "/s" + std::to_string(i), "host" + std::to_string(i) + ".example",
                        sandbox::DwordLine("Port Index", static_cast<uint32_t>(i)));
        }
        ASSERT_EQ(Run({"ls", "-r"}).status, 0);
        folder = Snapshot(pristine / "Sessions" / name, false);
        ASSERT_EQ(folder.size(), static_cast<size_t>(count));
        config = live;
    }
    void Restore() {
        fs::remove_all(config);
        fs::copy(pristine, config, fs::copy_options::recursive);
    }
    // Runs `args` over the configuration as it is and kills it at a random moment of `window`
    // microseconds.
    void RunAndKill(const std::vector<std::string>& args, long window) {
        const pid_t pid = Start(args);
        ASSERT_GT(pid, 0);
        usleep(static_cast<useconds_t>(random() % static_cast<unsigned>(window)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    // How long `args` takes when it is not killed, in microseconds: the window kills fall in.
    long Duration(const std::vector<std::string>& args) {
        Restore();
        const auto start = std::chrono::steady_clock::now();
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }
    // A session file's value lines in sorted order: a copy may write the values in another
    // order, but each of them whole.
    static std::string ValueLines(const std::string& entry) {
        std::vector<std::string> lines;
        std::string text = entry;
        if (text.starts_with("file ")) text.erase(0, 5);
        if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
        for (size_t start = 0; start < text.size();) {
            const size_t end = std::min(text.find("\r\n", start), text.size());
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        std::sort(lines.begin(), lines.end());
        std::string joined;
        for (const std::string& line : lines) joined += line + "\n";
        return joined;
    }
    // Whether the folder `name` holds every session of the pristine folder with all its values.
    ::testing::AssertionResult Whole(const std::string& name) {
        std::map<std::string, std::string> found;
        for (const auto& [path, entry] : Snapshot(sessions() / name, false, false))
            found[path] = ValueLines(entry);
        std::map<std::string, std::string> expected;
        for (const auto& [path, entry] : folder)
            expected[path] = ValueLines(entry.substr(entry.find(' ') + 1));
        if (found == expected) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "'" << name << "' is not the whole folder:" << Diff(expected, found);
    }
    std::vector<std::string> RootListing() {
        std::vector<std::string> lines = Lines(Run({"ls"}).out);
        std::erase(lines, "Default");
        return lines;
    }

    std::unique_ptr<TempDir> m_fast;
    fs::path pristine;
    std::map<std::string, std::string> folder;  // the pristine folder's sessions
    std::mt19937 random{std::random_device()()};
};

TEST_F(CliKilled, FolderRenameIsWholeUnderExactlyOneName) {
    MakePristine("F", 2000);
    const long window = Duration({"rename", "F", "G"});
    ASSERT_TRUE(Whole("G"));
    for (int trial = 0; trial < Trials(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Restore();
        RunAndKill({"rename", "F", "G"}, window);
        const bool hasF = fs::exists(sessions() / "F"), hasG = fs::exists(sessions() / "G");
        EXPECT_NE(hasF, hasG) << "F " << (hasF ? "and" : "nor") << " G";
        EXPECT_THAT(RootListing(), AnyOf(Names{"F\\"}, Names{"G\\"}));
        if (hasF) {
            EXPECT_TRUE(Whole("F"));
        }
        if (hasG) {
            EXPECT_TRUE(Whole("G"));
        }

        // The user runs the rename again.
        const ProcessResult retry = Run({"rename", "F", "G"});
        if (retry.status == 0) {
            EXPECT_FALSE(fs::exists(sessions() / "F"));
            EXPECT_TRUE(Whole("G"));
        } else if (retry.err.find("in use") != std::string::npos) {
            EXPECT_TRUE(Whole("G")) << "the retry calls a partial G in use";
        } else {
            EXPECT_FALSE(fs::exists(sessions() / "F")) << retry.err;
            EXPECT_TRUE(Whole("G")) << retry.err;
        }
    }
}

TEST_F(CliKilled, CopyIsListedWholeOrNotAtAll) {
    MakePristine("F", 2000);
    const long window = Duration({"cp", "F", ""});
    ASSERT_TRUE(Whole("F (2)"));
    for (int trial = 0; trial < Trials(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Restore();
        RunAndKill({"cp", "F", ""}, window);
        EXPECT_THAT(RootListing(), AnyOf(Names{"F\\"}, Names{"F\\", "F (2)\\"}));
        EXPECT_TRUE(Whole("F")) << "the source was changed";
        if (fs::exists(sessions() / "F (2)")) {
            EXPECT_TRUE(Whole("F (2)")) << "a partial copy is listed";
        }
    }
}

TEST_F(CliKilled, CaseOnlyRenameListsNoHelperFolder) {
    MakePristine("f", 2000);
    const long window = Duration({"rename", "f", "F"});
    ASSERT_TRUE(Whole("F"));
    for (int trial = 0; trial < Trials(); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        Restore();
        RunAndKill({"rename", "f", "F"}, window);
        EXPECT_THAT(RootListing(), AnyOf(Names{"f\\"}, Names{"F\\"}))
            << "helper or duplicate folders listed";
        for (const char* name : {"f", "F"}) {
            if (fs::exists(sessions() / name)) {
                EXPECT_TRUE(Whole(name));
            }
        }
    }
}

TEST_F(CliKilled, ApplyDefaultLeavesFewTemporaryFilesAndTheNextWriteClearsThem) {
    MakePristine("Many", 200);
    const long window = Duration({"apply-default", "Rows", "40"});
    Restore();
    // The kills accumulate: each trial starts from what the last one left.
    for (int trial = 0; trial < Trials() * 3; ++trial) {
        RunAndKill({"apply-default", "Rows", std::to_string(30 + trial % 20)}, window);
    }
    auto temporaries = [&] {
        int count = 0;
        for (const fs::directory_entry& entry : fs::directory_iterator(sessions() / "Many"))
            count += entry.path().filename().string()[0] == '.' ? 1 : 0;
        return count;
    };
    const int left = temporaries();
    EXPECT_LE(left, 64) << "temporary files of killed writers pile up";
    // Every value file is whole: killed writers never replace one partly.
    for (const fs::directory_entry& entry : fs::directory_iterator(sessions() / "Many")) {
        if (entry.path().extension() != ".ini") continue;
        VIniFileKey::Map map;
        EXPECT_EQ(VIniFileKey::ParseValueFile(ReadFileBytes(entry.path()), map).stop,
                  VIniStop::EndOfFile)
            << entry.path();
    }
    const ProcessResult set = Run({"set", "Many\\s7", "Cols", "100"});
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(temporaries(), 0) << "a write in the folder leaves the dead writers' temporary "
                                   "files in place ("
                                << left << " before it)";
}

}  // namespace
