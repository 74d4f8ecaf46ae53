// Kills a process that is saving sessions (SIGKILL at random moments) and checks that every save is
// found whole or not at all, with the INI store and with the registry hive.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "session/session_config.h"
#include "session/session_database.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "workers/worker_store.h"

extern char** environ;

using namespace sessiondeck;

namespace {

std::unique_ptr<VProfileStoreFactory> g_factory;
VProfileStoreFactory* Factory() {
    return g_factory.get();
}

// Trials per store; SESSIONDECK_CRASH_TRIALS overrides the default.
int TrialCount() {
    const char* text = std::getenv("SESSIONDECK_CRASH_TRIALS");
    return text ? std::atoi(text) : 1000;
}

// The worker's crash server: it forks one writer per trial on request.
class CrashServer {
public:
    CrashServer(const std::string& kind, const std::string& dir) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        std::vector<std::string> args{SESSIONDECK_STORE_WORKER_PATH, "crash", kind, dir};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~CrashServer() {
        close(m_in);  // the server ends at the end of its input
        close(m_out);
        if (m_pid > 0) waitpid(m_pid, nullptr, 0);
    }
    // Starts a writer; its pid, or -1.
    pid_t Start(uint32_t generation, unsigned seed) {
        const std::string line = std::to_string(generation) + " " + std::to_string(seed) + "\n";
        if (m_pid <= 0 ||
            write(m_in, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            return -1;
        return static_cast<pid_t>(std::atoi(ReadLine().c_str()));
    }
    // Waits until the server has seen the writer die; true when it was killed.
    bool Reaped() { return ReadLine() == "killed"; }

private:
    std::string ReadLine() {
        std::string line;
        char c = 0;
        pollfd fd{m_out, POLLIN, 0};
        while (poll(&fd, 1, 20000) > 0 && read(m_out, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1;
};

std::set<std::u16string> Names(const VStringArray& names) {
    std::set<std::u16string> set;
    for (const VUnicodeString& name : names) set.insert(name.str());
    return set;
}

class CrashConsistency : public ::testing::TestWithParam<const char*> {};

TEST_P(CrashConsistency, EverySaveIsFoundWholeAfterTheWriterIsKilled) {
    const std::string kind = GetParam();
    // On a tmpfs a trial takes milliseconds instead of a disk's flush times.
    const auto fast = MakeTempDirInMemory();
    const TempDir& dir = *fast;
    g_factory = worker::MakeFactory(kind, dir.path());
    SetProfileStoreFactoryGetter(Factory);
    std::set<std::u16string> all;
    {
        VProfileStore store;
        for (int i = 0; i < worker::kCrashSessions; ++i) {
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + worker::CrashSessionName(i));
            worker::WriteCrashSession(key, i, 0);
            all.insert(worker::CrashSessionName(i));
        }
    }
    VStringArray listed;
    SessionDatabase().GetSessionList({}, listed);  // writes the first order record
    ASSERT_EQ(Names(listed), all);

    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Each trial's saves count up from their own base, so that a value found
    // afterwards tells which trial wrote it.
    constexpr uint32_t kTrialSpan = 1000000;
    std::vector<std::array<uint32_t, worker::kCrashValues>> last(worker::kCrashSessions);
    const SessionDatabase readOnly(kSessionDatabaseReadOnly);
    const int trials = TrialCount();
    CrashServer server(kind, dir.path().string());
    // The kill falls within this many microseconds of the writer's start. A
    // writer's first save takes longer in a slow build (sanitizers), so the
    // window widens while kills keep landing before any save completes.
    uint32_t window = 8000;
    int emptyInARow = 0;
    int changedValues = 0;
    int mixed = 0;  // registry values of one session from different saves
    for (int trial = 0; trial < trials; ++trial) {
        const uint32_t base = static_cast<uint32_t>(trial + 1) * kTrialSpan;
        const int changedBefore = changedValues;
        const pid_t pid = server.Start(base, static_cast<unsigned>(random()));
        ASSERT_GT(pid, 0) << "the writer did not start";
        usleep(static_cast<useconds_t>(random() % window));
        kill(pid, SIGKILL);
        ASSERT_TRUE(server.Reaped()) << "trial " << trial;

        VStringArray sessions;
        readOnly.GetSessionList({}, sessions);
        ASSERT_EQ(Names(sessions), all) << "trial " << trial;
        VProfileStore store(true);
        {
            // The stored order is the old one or the new one: each names
            // every session once.
            VProfileKey order(store.GetRootKey(), u"Sessions\\__FolderData__");
            VUnicodeString list;
            ASSERT_TRUE(order.QueryString(u"Session List", list)) << "trial " << trial;
            std::multiset<std::u16string> stored;
            for (size_t start = 0; start <= list.Length();) {
                const size_t end = std::min(list.str().find(u':', start), list.Length());
                stored.insert(list.str().substr(start, end - start));
                start = end + 1;
            }
            ASSERT_EQ(stored, std::multiset<std::u16string>(all.begin(), all.end()))
                << "trial " << trial;
        }
        for (int i = 0; i < worker::kCrashSessions; ++i) {
            const std::u16string name = worker::CrashSessionName(i);
            SCOPED_TRACE("trial " + std::to_string(trial) + ", " + VUnicodeString(name).ToUtf8());
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + name);
            uint32_t found[worker::kCrashValues];
            const uint32_t generationBefore = last[i][0];
            ASSERT_TRUE(worker::ReadCrashSession(key, i, found)) << "a value is not whole";
            for (int v = 0; v < worker::kCrashValues; ++v) {
                const bool old = found[v] == last[i][v];
                const bool fresh = found[v] >= base && found[v] < base + kTrialSpan;
                ASSERT_TRUE(old || fresh) << "value " << v << ": generation " << found[v];
                // A value file is written whole; the registry writes value by
                // value, each its own transaction.
                if (kind == "ini") {
                    ASSERT_EQ(found[v], found[0]) << "a file mixes two saves";
                }
                changedValues += fresh ? 1 : 0;
                mixed += found[v] != found[0] ? 1 : 0;
                last[i][v] = found[v];
            }
            // Loading a whole session is the costly check: done for those the
            // trial changed (the others loaded after an earlier trial).
            if (found[0] != generationBefore || trial == trials - 1) {
                const VUnknownPointer<ISessionConfig> session =
                    VUnknownPointer<ISessionConfig>::Adopt(readOnly.Lookup(VUnicodeString(name)));
                ASSERT_TRUE(session);
            }
        }
        emptyInARow = changedValues == changedBefore ? emptyInARow + 1 : 0;
        if (emptyInARow == 4 && window < 256000) {
            window *= 2;
            emptyInARow = 0;
        } else if (emptyInARow == 0 && window > 8000) {
            window -= window / 4;
        }
        if (kind == "registry" && (trial % 100 == 99 || trial == trials - 1)) {
            uint32_t error = 0;
            auto hive = VRegistryHive::Open(dir / "HKEY_CURRENT_USER.db", false, error);
            ASSERT_TRUE(hive) << error;
            EXPECT_EQ(hive->IntegrityCheck(), "ok") << "trial " << trial;
        }
    }
    // Kills that all fell before the first save would prove nothing.
    EXPECT_GT(changedValues, trials / 10);
    // A writer killed between creating its temporary file and renaming it
    // leaves the temporary file; it is never listed (checked above).
    int leftovers = 0;
    if (kind == "ini") {
        for (const auto& entry : std::filesystem::directory_iterator(dir / "Config/Sessions"))
            leftovers += entry.path().filename().string()[0] == '.' ? 1 : 0;
    }
    std::cout << "[ crash    ] " << kind << ": " << trials << " trials, " << changedValues
              << " values found rewritten, none damaged; " << mixed
              << " values of a session from another save than its first; " << leftovers
              << " temporary files left by killed writers\n";
    SetProfileStoreFactoryGetter(nullptr);
    g_factory.reset();
}

INSTANTIATE_TEST_SUITE_P(Stores, CrashConsistency, ::testing::Values("ini", "registry"));

}  // namespace
