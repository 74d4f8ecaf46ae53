// Several sessiondeck hosts change one configuration folder at the same moment: every change a host
// acknowledged (exit status 0) is found afterwards, and two hosts never both win one name.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;
using sandbox::Lines;
using sandbox::Snapshot;
using Argv = std::vector<std::string>;

// Trials per race; SESSIONDECK_RACE_TRIALS overrides the default.
int Trials() {
    return sandbox::EnvInt("SESSIONDECK_RACE_TRIALS", 20);
}

class CliRace : public CliSandboxTest {
protected:
    // Runs two commands at the same moment; exactly one of them must succeed.
    std::pair<ProcessResult, ProcessResult> OneWinner(const Argv& first, const Argv& second) {
        ProcessResult results[2];
        std::thread other([&] { results[1] = Run(second); });
        results[0] = Run(first);
        other.join();
        EXPECT_EQ((results[0].status == 0) + (results[1].status == 0), 1)
            << "exit statuses " << results[0].status << " and " << results[1].status;
        return {results[0], results[1]};
    }
    // The stored Cols of a session, from its value file; nullopt when it has none.
    std::optional<uint32_t> StoredCols(const std::string& path) {
        const std::string bytes = ReadFileBytes(sessions() / (path + ".ini"));
        const size_t at = bytes.find("D:\"Cols\"=");
        if (at == std::string::npos) return std::nullopt;
        return static_cast<uint32_t>(std::stoul(bytes.substr(at + 9, 8), nullptr, 16));
    }
};

// One host applies a change of the default session to every session while others set another
// value, remove and rename sessions of the same folder.
TEST_F(CliRace, ApplyDefaultNeverUndoesOtherHostsChanges) {
    constexpr int kSessions = 300;
    for (int i = 0; i < kSessions; ++i)
        MakeSession("Pool/p" + std::to_string(i), "p" + std::to_string(i) + ".example");
    ASSERT_EQ(Run({"ls", "Pool"}).status, 0);

    // What each editor knows of the sessions it owns (those whose number is its own modulo 2).
    struct Editor {
        std::map<std::string, std::optional<uint32_t>> live;  // name -> last acknowledged Cols
        std::set<std::string> gone;                           // removed or renamed away
        std::set<std::string> unknown;  // a command failed: its outcome is not checked
    };
    Editor editors[2];
    for (int i = 0; i < kSessions; ++i) editors[i % 2].live["p" + std::to_string(i)] = std::nullopt;
    const int operations = sandbox::EnvInt("SESSIONDECK_RACE_OPERATIONS", 25);
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));

    std::atomic<int> editing{2};
    std::thread applier([&] {
        for (int round = 0; editing > 0 || round == 0; ++round)
            Run({"apply-default", "Rows", std::to_string(30 + round % 40)});
    });
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([&, t] {
            Editor& editor = editors[t];
            std::mt19937 random(seed + static_cast<unsigned>(t));
            for (int op = 0; op < operations && !editor.live.empty(); ++op) {
                auto it = editor.live.begin();
                std::advance(it, static_cast<long>(random() % editor.live.size()));
                const std::string name = it->first, path = "Pool\\" + name;
                const unsigned kind = random() % 10;
                const uint32_t cols = 20 + random() % 200;
                const std::string to = name + "r" + std::to_string(op);
                const bool ok = Run(kind < 6   ? Argv{"set", path, "Cols", std::to_string(cols)}
                                    : kind < 8 ? Argv{"rm", path}
                                               : Argv{"rename", path, to})
                                    .status == 0;
                if (!ok) editor.unknown.insert(name);
                if (kind < 6) {
                    if (ok) it->second = cols;
                    continue;
                }
                if (ok) editor.gone.insert(name);
                if (ok && kind >= 8) editor.live[to] = it->second;
                editor.live.erase(name);
            }
            --editing;
        });
    }
    for (std::thread& thread : threads) thread.join();
    applier.join();

    std::set<std::string> listed;
    for (const std::string& line : Lines(Run({"ls", "Pool"}).out)) listed.insert(line);
    for (const Editor& editor : editors) {
        for (const auto& [name, cols] : editor.live) {
            if (editor.unknown.count(name)) continue;
            EXPECT_TRUE(listed.count(name)) << name << " is gone";
            if (cols && fs::exists(sessions() / "Pool" / (name + ".ini"))) {
                EXPECT_EQ(StoredCols("Pool/" + name), cols) << name << " lost an acknowledged set";
            }
        }
        for (const std::string& name : editor.gone) {
            EXPECT_FALSE(listed.count(name)) << name << " came back after its removal or rename";
            EXPECT_FALSE(fs::exists(sessions() / "Pool" / (name + ".ini"))) << name;
        }
    }
}

// `rename A X` and `rename B X` at once: one wins whole, the other fails and keeps its source.
TEST_F(CliRace, TwoRenamesToOneNameHaveOneWinner) {
    for (const bool folders : {false, true}) {
        SCOPED_TRACE(folders ? "folders" : "sessions");
        const std::string ext = folders ? "" : ".ini";
        for (int trial = 0; trial < Trials(); ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            fs::remove_all(config);
            for (int i = 0; i < (folders ? 150 : 0); ++i) {
                MakeSession("A/a" + std::to_string(i), "a.example");
                MakeSession("B/b" + std::to_string(i), "b.example");
            }
            if (!folders) {
                MakeSession("A", "a.example", "S:\"Only A\"=a\r\n");
                MakeSession("B", "b.example", "S:\"Only B\"=b\r\n");
            }
            ASSERT_EQ(Run({"ls", "-r"}).status, 0);
            const auto a = Snapshot(sessions() / ("A" + ext), false);
            const auto b = Snapshot(sessions() / ("B" + ext), false);
            const bool aWon =
                OneWinner({"rename", "A", "X"}, {"rename", "B", "X"}).first.status == 0;
            EXPECT_TRUE(sandbox::Same(aWon ? a : b, Snapshot(sessions() / ("X" + ext), false)))
                << "X is not the winner's whole content";
            EXPECT_TRUE(sandbox::Same(aWon ? b : a,
                                      Snapshot(sessions() / ((aWon ? "B" : "A") + ext), false)))
                << "the loser's source changed";
            EXPECT_FALSE(fs::exists(sessions() / ((aWon ? "A" : "B") + ext)));
        }
    }
}

// Two hosts create one name at once, as sessions or as a session and a folder.
TEST_F(CliRace, TwoCreationsOfOneNameHaveOneWinner) {
    for (const auto& [first, second] :
         {std::pair{"new", "new"}, {"mkdir", "new"}, {"new", "mkdir"}}) {
        SCOPED_TRACE(std::string(first) + " and " + second);
        for (int trial = 0; trial < Trials(); ++trial) {
            SCOPED_TRACE("trial " + std::to_string(trial));
            fs::remove_all(config);
            ASSERT_EQ(Run({"new", "Other"}).status, 0);
            const auto [r1, r2] = OneWinner({first, "X"}, {second, "X"});
            const std::string winner = r1.status == 0 ? first : second;
            // Only the winner is listed, and nothing of the loser lies beside it, hidden by it.
            const std::vector<std::string> listed = Lines(Run({"ls"}).out);
            EXPECT_EQ(std::count(listed.begin(), listed.end(), "X"), winner == "new" ? 1 : 0);
            EXPECT_EQ(std::count(listed.begin(), listed.end(), "X\\"), winner == "mkdir" ? 1 : 0)
                << ::testing::PrintToString(listed);
            EXPECT_EQ(fs::exists(sessions() / "X"), winner == "mkdir");
            EXPECT_EQ(fs::exists(sessions() / "X.ini"), winner == "new");
        }
    }
}

// `set S` in a loop while another host renames S to T: every acknowledged set is in T, and no set
// brings S back.
TEST_F(CliRace, SetRacingRenameLandsInTheNewName) {
    for (int trial = 0; trial < std::max(1, Trials() / 2); ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        fs::remove_all(config);
        MakeSession("S", "s.example");
        std::atomic<bool> renamed{false};
        std::optional<uint32_t> acknowledged;
        std::thread setter([&] {
            // Sets go on until two have run after the rename ended.
            for (uint32_t cols = 30, after = 0; after < 2; ++cols) {
                const bool done = renamed;
                if (Run({"set", "S", "Cols", std::to_string(cols)}).status == 0)
                    acknowledged = cols;
                after += done ? 1 : 0;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + 20 * (trial % 5)));
        const ProcessResult rename = Run({"rename", "S", "T"});
        renamed = true;
        setter.join();
        ASSERT_EQ(rename.status, 0) << rename.err;
        EXPECT_FALSE(fs::exists(sessions() / "S.ini")) << "a set brought S back beside T";
        EXPECT_EQ(Lines(Run({"ls"}).out), std::vector<std::string>{"T"});
        if (acknowledged) {
            EXPECT_EQ(StoredCols("T"), acknowledged) << "an acknowledged set is not in T";
        }
    }
}

}  // namespace
