// Kills the sessiondeck host (SIGKILL at random moments) while it renames, copies or applies the
// default session to a large folder, and checks that nothing half-done is ever listed as whole.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
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
using Names = std::vector<std::string>;

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
    // Builds `count` sessions in the folder `name` of a pristine configuration, which every
    // trial starts from, and keeps their values.
    void MakePristine(const std::string& name, int count) {
        const fs::path live = config;
        config = pristine;
        for (int i = 0; i < count; ++i) {
            MakeSession(name + "/s" + std::to_string(i), "host" + std::to_string(i) + ".example",
                        sandbox::DwordLine("Port Index", static_cast<uint32_t>(i)));
        }
        ASSERT_EQ(Run({"ls", "-r"}).status, 0);
        folder = Values(pristine / "Sessions" / name);
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
        EXPECT_EQ(Run(args).status, 0);
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    }
    // Each session file below `root` as its value lines in sorted order: a copy may write the
    // values in another order, but each of them whole.
    static sandbox::Tree Values(const fs::path& root) {
        sandbox::Tree values;
        for (auto [path, text] : sandbox::Snapshot(root, false, false)) {
            if (text.starts_with("file ")) text.erase(0, 5);
            if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
            std::vector<std::string> lines = sandbox::Lines(text);
            std::sort(lines.begin(), lines.end());
            for (const std::string& line : lines) values[path] += line + "\n";
        }
        return values;
    }
    // Whether the folder `name` holds every session of the pristine folder with all its values.
    ::testing::AssertionResult Whole(const std::string& name) {
        const sandbox::Tree found = Values(sessions() / name);
        if (found == folder) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "'" << name << "' is not the whole folder:" << sandbox::Diff(folder, found);
    }
    bool Has(const std::string& name) const { return fs::exists(sessions() / name); }
    std::vector<std::string> RootListing() {
        std::vector<std::string> lines = sandbox::Lines(Run({"ls"}).out);
        std::erase(lines, "Default");
        return lines;
    }
    // Runs `args` whole once (after which `result` is the whole folder), then kills it in each
    // trial from the pristine folder and calls `check` on what is left.
    void KillTrials(const std::vector<std::string>& args, const std::string& result,
                    const std::function<void()>& check) {
        const long window = Duration(args);
        ASSERT_TRUE(Whole(result));
        for (int trial = 0; trial < Trials(); ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            Restore();
            RunAndKill(args, window);
            check();
        }
    }

    std::unique_ptr<TempDir> m_fast;
    fs::path pristine;
    sandbox::Tree folder;  // the pristine folder's sessions, as Values
    std::mt19937 random{std::random_device()()};
};

// A rename, a copy and a rename that changes only the case, each on a folder of 2,000 sessions:
// after a kill, the root lists one of the outcomes it allows, and every folder of the operation
// that exists is listed and whole (a helper folder or a partial copy never is).
TEST_F(CliKilled, RenamesAndCopiesAreListedWholeOrNotAtAll) {
    struct Row {
        std::vector<std::string> args;
        std::string result;
        std::vector<Names> listings;  // what the root may list after a kill
    };
    for (const Row& row : {Row{{"rename", "F", "G"}, "G", {{"F\\"}, {"G\\"}}},
                           Row{{"cp", "F", ""}, "F (2)", {{"F\\"}, {"F\\", "F (2)\\"}}},
                           Row{{"rename", "f", "F"}, "F", {{"f\\"}, {"F\\"}}}}) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        fs::remove_all(pristine);
        MakePristine(row.args[1], 2000);
        KillTrials(row.args, row.result, [&] {
            const Names listed = RootListing();
            EXPECT_THAT(listed, ::testing::AnyOfArray(row.listings));
            for (const std::string& name : {row.args[1], row.result}) {
                if (!Has(name)) continue;
                EXPECT_TRUE(Whole(name));
                EXPECT_THAT(listed, ::testing::Contains(name + "\\")) << "not listed";
            }
            if (row.args[2] != "G") return;
            // The user runs the rename again: it ends whole, or calls a partial G in use.
            const ProcessResult retry = Run(row.args);
            EXPECT_TRUE(Whole("G")) << retry.err;
            if (retry.err.find("in use") == std::string::npos) {
                EXPECT_FALSE(Has("F")) << retry.err;
            }
        });
    }
}

TEST_F(CliKilled, ApplyDefaultLeavesFewTemporaryFilesAndTheNextWriteClearsThem) {
    MakePristine("Many", 200);
    const long window = Duration({"apply-default", "Rows", "40"});
    Restore();
    // The kills accumulate: each trial starts from what the last one left.
    for (int trial = 0; trial < Trials() * 3; ++trial)
        RunAndKill({"apply-default", "Rows", std::to_string(30 + trial % 20)}, window);
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
        VIniFileKey::Map map;
        if (entry.path().extension() == ".ini") {
            EXPECT_EQ(VIniFileKey::ParseValueFile(ReadFileBytes(entry.path()), map).stop,
                      VIniStop::EndOfFile)
                << entry.path();
        }
    }
    EXPECT_EQ(Run({"set", "Many\\s7", "Cols", "100"}).status, 0);
    EXPECT_EQ(temporaries(), 0) << "a write in the folder leaves the dead writers' temporary "
                                   "files in place ("
                                << left << " before it)";
}

}  // namespace
