// Sessions survive writers killed mid-save (SIGKILL at random moments, with the INI store and the
// registry hive: every save found whole or not at all) and two host processes editing one
// configuration folder at once (nothing either kept is lost, no file damaged, both processes'
// saves into shared sessions kept, the order records reconciled to exactly their children).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include "profile/ini_store_private.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "support/run_process.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "workers/worker_store.h"

using namespace sessiondeck;

namespace {

namespace fs = std::filesystem;
using Session = VUnknownPointer<ISessionConfig>;
using Names = std::multiset<std::string>;

VUnicodeString U(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}
int EnvNumber(const char* name, int otherwise) {
    const char* text = std::getenv(name);
    return text ? std::atoi(text) : otherwise;
}

// The sessions and folders below `folder` in the store, as paths from `path` (with `deep`,
// recursively) or as names.
void Walk(VProfileKey& folder, const std::string& path, Names& sessions, Names& folders,
          bool deep) {
    VProfileKeyIterator it(folder, false);
    for (VUnicodeString name; it.Next(name);) {
        if (name == kFolderDataKeyName || name == kTemporaryKeyName) continue;
        VProfileKey child(folder, name);
        const std::string childPath =
            path.empty() || !deep ? name.ToUtf8() : path + "\\" + name.ToUtf8();
        const bool isFolder = SessionDatabase::IsFolder(child);
        (isFolder ? folders : sessions).insert(childPath);
        if (isFolder && deep) Walk(child, childPath, sessions, folders, deep);
    }
}

// Sorted names as "a:b:|", with folders' after the bar.
std::string Listed(const Names& sessions, const Names& folders = {}) {
    std::string text;
    for (const Names* names : {&sessions, &folders}) {
        for (const std::string& name : *names) text += name + ":";
        text += names == &sessions ? "|" : "";
    }
    return text;
}

// A folder's stored order record, listed; with `children`, what the folder holds.
std::string StoredOrder(const std::string& path, bool children = false) {
    VProfileStore store(true);
    VProfileKey folder(store.GetRootKey(), SessionDatabase::KeyPath(U(path)));
    Names sessions, folders;
    if (children) {
        Walk(folder, path, sessions, folders, false);
    } else {
        VProfileKey order(folder, kFolderDataKeyName);
        VUnicodeString list;
        if (order.QueryString(u"Session List", list)) sessions = worker::SplitOrder(list.str());
        if (order.QueryString(u"Folder List", list)) folders = worker::SplitOrder(list.str());
    }
    return Listed(sessions, folders);
}

class CrashConsistency : public ::testing::TestWithParam<const char*> {
protected:
    ~CrashConsistency() override { worker::UseStore(""); }
};

TEST_P(CrashConsistency, EverySaveIsFoundWholeAfterTheWriterIsKilled) {
    const std::string kind = GetParam();
    const auto fast = MakeTempDirInMemory();  // a trial takes milliseconds, not flush times
    const fs::path dir = fast->path();
    worker::UseStore(kind, dir);
    {
        VProfileStore store;
        for (int i = 0; i < worker::kCrashSessions; ++i) {
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + worker::CrashSessionName(i));
            worker::WriteCrashSession(key, i, 0);
        }
    }
    const SessionDatabase readOnly(kSessionDatabaseReadOnly);
    const auto listed = [&](const SessionDatabase& db) {
        VStringArray names;
        db.GetSessionList({}, names);
        Names sorted;
        for (const VUnicodeString& name : names) sorted.insert(name.ToUtf8());
        return Listed(sorted);
    };
    const std::string all = "S0:S1:S2:S3:S4:S5:S6:S7:|";
    ASSERT_EQ(listed(SessionDatabase()), all);  // writes the first order record
    ASSERT_EQ(StoredOrder(""), all);

    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // Each trial's saves count up from their own base, so a value found afterwards tells which
    // trial wrote it.
    constexpr uint32_t kTrialSpan = 1000000;
    std::vector<std::array<uint32_t, worker::kCrashValues>> last(worker::kCrashSessions);
    const int trials = EnvNumber("SESSIONDECK_CRASH_TRIALS", 1000);
    // The worker's crash server forks, kills and reaps one writer per trial on request.
    RunningProcess server(SESSIONDECK_STORE_WORKER_PATH, {"crash", kind, dir.string()});
    // The kill falls within this many microseconds of the writer's start. A writer's first save
    // takes longer in a slow build (sanitizers), so the window widens while kills keep landing
    // before any save completes.
    uint32_t window = 8000;
    int emptyInARow = 0, changedValues = 0;
    for (int trial = 0; trial < trials; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        const uint32_t base = static_cast<uint32_t>(trial + 1) * kTrialSpan;
        const int changedBefore = changedValues;
        ASSERT_TRUE(server.Write(std::to_string(base) + " " + std::to_string(random()) + " " +
                                 std::to_string(random() % window) + "\n"));
        ASSERT_EQ(server.ReadLine(20000), "killed");

        ASSERT_EQ(listed(readOnly), all);
        // The stored order is the old one or the new one: each names every session once.
        ASSERT_EQ(StoredOrder(""), all);
        VProfileStore store(true);
        for (int i = 0; i < worker::kCrashSessions; ++i) {
            const std::u16string name = worker::CrashSessionName(i);
            SCOPED_TRACE(VUnicodeString(name).ToUtf8());
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + name);
            uint32_t found[worker::kCrashValues];
            const uint32_t generationBefore = last[i][0];
            ASSERT_TRUE(worker::ReadCrashSession(key, i, found)) << "a value is not whole";
            for (int v = 0; v < worker::kCrashValues; ++v) {
                const bool fresh = found[v] >= base && found[v] < base + kTrialSpan;
                ASSERT_TRUE(found[v] == last[i][v] || fresh)
                    << "value " << v << ": generation " << found[v];
                // A value file is written whole; the registry writes value by value, each its own
                // transaction.
                ASSERT_TRUE(kind != "ini" || found[v] == found[0]) << "a file mixes two saves";
                changedValues += fresh ? 1 : 0;
                last[i][v] = found[v];
            }
            // Loading a whole session is the costly check: done for those the trial changed.
            ASSERT_TRUE((found[0] == generationBefore && trial < trials - 1) ||
                        Session::Adopt(readOnly.Lookup(VUnicodeString(name))));
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
            EXPECT_EQ(hive->IntegrityCheck(), "ok");
        }
    }
    // Kills that all fell before the first save would prove nothing.
    EXPECT_GT(changedValues, trials / 10);
    std::cout << "[ crash    ] " << kind << ": " << trials << " trials, " << changedValues
              << " values found rewritten, none damaged\n";
}

INSTANTIATE_TEST_SUITE_P(Stores, CrashConsistency, ::testing::Values("ini", "registry"));

struct WorkerReport {
    std::map<std::string, int> counts;
    std::set<std::string> sessions, folders;
    std::map<std::string, uint32_t> saved;
};

WorkerReport ParseReport(const std::string& out) {
    WorkerReport report;
    std::istringstream lines(out);
    for (std::string kind, rest; lines >> kind;) {
        if (kind == "count") {
            lines >> rest >> report.counts[rest];
        } else if (kind == "saved") {
            uint32_t value = 0;
            lines >> value >> rest;
            report.saved[rest] = value;
        } else {
            std::getline(lines.ignore(1), rest);
            (kind == "session" ? report.sessions : report.folders).insert(rest);
        }
    }
    return report;
}

TEST(TwoProcesses, EditOneConfigurationFolderTogether) {
    TempDir dir;
    worker::UseStore("ini", dir.path());
    const SessionDatabase db;
    ASSERT_TRUE(db.InsertFolder({}, VUnicodeString(u"Shared"), {}, true));
    std::set<std::string> expectedSessions, expectedFolders = {"Shared"};
    const Session defaults = Session::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    for (const std::string folder : {"", "Shared"}) {
        for (const std::string name : {"Keep1", "Keep2", "Keep3", "Keep4"}) {
            const Session session = Session::Adopt(defaults->Clone());
            session->SetSessionName(U(name));
            ASSERT_TRUE(db.InsertSession(U(folder), U(name), session.Get(), {}, true));
            expectedSessions.insert(folder.empty() ? name : folder + "\\" + name);
        }
    }

    const std::string seconds = std::to_string(EnvNumber("SESSIONDECK_TWO_PROCESS_SECONDS", 3));
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    const char* tags[2] = {"A", "B"};
    std::unique_ptr<RunningProcess> workers[2];
    for (int i = 0; i < 2; ++i)
        workers[i] = std::make_unique<RunningProcess>(
            SESSIONDECK_STORE_WORKER_PATH,
            std::vector<std::string>{"churn", dir.path().string(), tags[i], seconds,
                                     std::to_string(seed + static_cast<unsigned>(i))});
    WorkerReport reports[2];
    for (int i = 0; i < 2; ++i) {
        const ProcessResult result = workers[i]->Wait();
        ASSERT_EQ(result.status, 0) << result.err;
        const WorkerReport& report = reports[i] = ParseReport(result.out);
        std::cout << "[ two      ] worker " << tags[i] << ": "
                  << ::testing::PrintToString(report.counts) << "\n";
        EXPECT_GT(report.counts.size(), 5u) << "too few kinds of operation were done";
        expectedSessions.insert(report.sessions.begin(), report.sessions.end());
        expectedFolders.insert(report.folders.begin(), report.folders.end());
        // Each process's saves into the shared sessions all survive the other's.
        for (const auto& [keep, value] : report.saved) {
            VProfileStore store(true);
            VProfileKey key(store.GetRootKey(), SessionDatabase::KeyPath(U(keep)));
            uint32_t stored = 0;
            EXPECT_TRUE(key.QueryDword(U(std::string(tags[i]) + " Saves").c_str(), stored));
            EXPECT_EQ(stored, value) << keep << " lost a save of worker " << tags[i];
        }
    }
    // Both workers created, renamed onto and copied to the same names: a name each of them was
    // told it won means one of the two changes was lost.
    for (const auto member : {&WorkerReport::sessions, &WorkerReport::folders}) {
        std::vector<std::string> both;
        std::ranges::set_intersection(reports[0].*member, reports[1].*member,
                                      std::back_inserter(both));
        EXPECT_TRUE(both.empty()) << "both workers won " << ::testing::PrintToString(both);
    }
    for (const char* op : {"race-insert", "race-copy", "apply-delta", "apply-bool"})
        EXPECT_GT(reports[0].counts[op] + reports[1].counts[op], 0) << "no " << op << " was done";

    // Exactly what the two kept, nothing missing and nothing brought back.
    Names sessions, folders;
    {
        VProfileStore store(true);
        VProfileKey root(store.GetRootKey(), kSessionsKeyName);
        Walk(root, "", sessions, folders, true);
    }
    sessions.erase("Default");
    EXPECT_EQ(std::set<std::string>(sessions.begin(), sessions.end()), expectedSessions);
    EXPECT_EQ(std::set<std::string>(folders.begin(), folders.end()), expectedFolders);
    for (const std::string& session : expectedSessions)
        EXPECT_TRUE(Session::Adopt(db.Lookup(U(session)))) << session;

    // Every value file reads to its end, and no temporary file is left.
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir / "Config")) {
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
        if (!entry.is_regular_file()) continue;
        VIniFileKey::Map map;
        EXPECT_EQ(VIniFileKey::ParseValueFile(ReadFileBytes(entry.path()), map).stop,
                  VIniStop::EndOfFile)
            << entry.path();
        ++files;
    }
    // Order records written last by one process may miss what the other did meanwhile; the next
    // reconcile (any listing) repairs them.
    int stale = 0;
    folders.insert("");
    for (const std::string& folder : folders) {
        stale += StoredOrder(folder) == StoredOrder(folder, true) ? 0 : 1;
        VStringArray names;
        db.GetSessionList(U(folder), names);
        EXPECT_EQ(StoredOrder(folder), StoredOrder(folder, true)) << "'" << folder << "'";
    }
    std::cout << "[ two      ] " << sessions.size() << " sessions, " << folders.size()
              << " folders, " << files << " value files, all whole; " << stale
              << " order records repaired by the next listing\n";
    worker::UseStore("");
}

}  // namespace
