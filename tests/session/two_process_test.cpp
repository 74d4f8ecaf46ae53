// Two host processes edit one configuration folder at once; afterwards nothing either of them kept
// is missing, no file is damaged, both processes' saves into shared sessions survive, and the
// folders' order records reconcile to exactly their children.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "profile/ini_store_private.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "workers/worker_store.h"

using namespace sessiondeck;

namespace {

namespace fs = std::filesystem;

std::unique_ptr<VProfileStoreFactory> g_factory;
VProfileStoreFactory* Factory() {
    return g_factory.get();
}

struct WorkerReport {
    std::map<std::string, int> counts;
    std::set<std::string> sessions, folders;
    std::map<std::string, uint32_t> saved;
};

WorkerReport ParseReport(const std::string& out) {
    WorkerReport report;
    std::istringstream lines(out);
    std::string kind;
    while (lines >> kind) {
        std::string rest;
        if (kind == "count") {
            int count = 0;
            lines >> rest >> count;
            report.counts[rest] = count;
        } else if (kind == "saved") {
            uint32_t value = 0;
            lines >> value >> rest;
            report.saved[rest] = value;
        } else {
            lines.ignore(1);
            std::getline(lines, rest);
            (kind == "session" ? report.sessions : report.folders).insert(rest);
        }
    }
    return report;
}

// The sessions and folders below `path`, read from the store; with `deep`, recursively and as
// paths, else as names.
void Walk(VProfileKey& folder, const std::string& path, std::multiset<std::string>& sessions,
          std::multiset<std::string>& folders, bool deep) {
    VProfileKeyIterator it(folder, false);
    VUnicodeString name;
    while (it.Next(name)) {
        if (name == kFolderDataKeyName || name == kTemporaryKeyName) continue;
        VProfileKey child(folder, name);
        const std::string childPath =
            path.empty() || !deep ? name.ToUtf8() : path + "\\" + name.ToUtf8();
        const bool isFolder = SessionDatabase::IsFolder(child);
        (isFolder ? folders : sessions).insert(childPath);
        if (isFolder && deep) Walk(child, childPath, sessions, folders, deep);
    }
}

std::multiset<std::string> SplitOrder(const std::u16string& list) {
    std::multiset<std::string> names;
    for (size_t start = 0; !list.empty() && start <= list.size();) {
        const size_t end = std::min(list.find(u':', start), list.size());
        names.insert(VUnicodeString(list.substr(start, end - start)).ToUtf8());
        start = end + 1;
    }
    return names;
}

// Whether the folder's stored order lists name exactly its children.
bool OrderIsExact(const std::string& path) {
    VProfileStore store(true);
    VProfileKey folder(store.GetRootKey(),
                       SessionDatabase::KeyPath(VUnicodeString::FromUtf8(path)));
    std::multiset<std::string> sessions, folders;
    Walk(folder, path, sessions, folders, false);
    VProfileKey order(folder, kFolderDataKeyName);
    VUnicodeString sessionList, folderList;
    order.QueryString(u"Session List", sessionList);
    order.QueryString(u"Folder List", folderList);
    return SplitOrder(sessionList.str()) == sessions && SplitOrder(folderList.str()) == folders;
}

TEST(TwoProcesses, EditOneConfigurationFolderTogether) {
    TempDir dir;
    g_factory = worker::MakeFactory("ini", dir.path());
    SetProfileStoreFactoryGetter(Factory);
    const SessionDatabase db;
    ASSERT_TRUE(db.InsertFolder({}, VUnicodeString(u"Shared"), {}, true));
    std::set<std::string> shared;
    {
        const VUnknownPointer<ISessionConfig> defaults =
            VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
        for (const std::string folder : {"", "Shared"}) {
            for (int i = 1; i <= 4; ++i) {
                const std::string name = "Keep" + std::to_string(i);
                const VUnknownPointer<ISessionConfig> session =
                    VUnknownPointer<ISessionConfig>::Adopt(defaults->Clone());
                session->SetSessionName(VUnicodeString::FromUtf8(name));
                ASSERT_TRUE(db.InsertSession(VUnicodeString::FromUtf8(folder),
                                             VUnicodeString::FromUtf8(name), session.Get(), {},
                                             true));
                shared.insert(folder.empty() ? name : folder + "\\" + name);
            }
        }
    }

    const char* secondsText = std::getenv("SESSIONDECK_TWO_PROCESS_SECONDS");
    const std::string seconds = secondsText ? secondsText : "3";
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    ProcessResult results[2];
    std::thread workers[2];
    const char* tags[2] = {"A", "B"};
    for (int i = 0; i < 2; ++i) {
        workers[i] = std::thread([&, i] {
            results[i] = RunProcess(SESSIONDECK_STORE_WORKER_PATH,
                                    {"churn", dir.path().string(), tags[i], seconds,
                                     std::to_string(seed + static_cast<unsigned>(i))});
        });
    }
    for (std::thread& worker : workers) worker.join();

    std::set<std::string> expectedSessions = shared, expectedFolders = {"Shared"};
    WorkerReport reports[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(results[i].status, 0) << results[i].err;
        const WorkerReport& report = reports[i] = ParseReport(results[i].out);
        std::cout << "[ two      ] worker " << tags[i] << ":";
        for (const auto& [op, count] : report.counts) std::cout << " " << op << " " << count;
        std::cout << "; keeps " << report.sessions.size() << " sessions, " << report.folders.size()
                  << " folders\n";
        EXPECT_GT(report.counts.size(), 5u) << "too few kinds of operation were done";
        expectedSessions.insert(report.sessions.begin(), report.sessions.end());
        expectedFolders.insert(report.folders.begin(), report.folders.end());
        // Each process's saves into the shared sessions all survive the other's.
        for (const auto& [keep, value] : report.saved) {
            VProfileStore store(true);
            VProfileKey key(store.GetRootKey(),
                            SessionDatabase::KeyPath(VUnicodeString::FromUtf8(keep)));
            uint32_t stored = 0;
            EXPECT_TRUE(key.QueryDword(
                VUnicodeString::FromUtf8(std::string(tags[i]) + " Saves").c_str(), stored));
            EXPECT_EQ(stored, value) << keep << " lost a save of worker " << tags[i];
        }
    }

    // Both workers created, renamed onto and copied to the same names: a name
    // each of them was told it won means one of the two changes was lost.
    for (const auto member : {&WorkerReport::sessions, &WorkerReport::folders}) {
        std::vector<std::string> both;
        std::set_intersection((reports[0].*member).begin(), (reports[0].*member).end(),
                              (reports[1].*member).begin(), (reports[1].*member).end(),
                              std::back_inserter(both));
        EXPECT_TRUE(both.empty()) << "both workers won " << ::testing::PrintToString(both);
    }
    for (const char* op : {"race-insert", "race-copy", "apply-delta", "apply-bool"}) {
        EXPECT_GT(reports[0].counts[op] + reports[1].counts[op], 0) << "no " << op << " was done";
    }

    // Exactly what the two kept, nothing missing and nothing brought back.
    std::multiset<std::string> sessions, folders;
    {
        VProfileStore store(true);
        VProfileKey root(store.GetRootKey(), kSessionsKeyName);
        Walk(root, "", sessions, folders, true);
    }
    sessions.erase("Default");
    EXPECT_EQ(std::set<std::string>(sessions.begin(), sessions.end()), expectedSessions);
    EXPECT_EQ(std::set<std::string>(folders.begin(), folders.end()), expectedFolders);
    for (const std::string& session : expectedSessions) {
        EXPECT_TRUE(
            VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString::FromUtf8(session))))
            << session;
    }

    // Every value file reads to its end, and no temporary file is left.
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir / "Config")) {
        const std::string name = entry.path().filename().string();
        EXPECT_NE(name[0], '.') << entry.path();
        if (!entry.is_regular_file()) continue;
        VIniFileKey::Map map;
        EXPECT_EQ(VIniFileKey::ParseValueFile(ReadFileBytes(entry.path()), map).stop,
                  VIniStop::EndOfFile)
            << entry.path();
        ++files;
    }

    // Order records written last by one process may miss what the other did
    // meanwhile; the next reconcile (any listing) repairs them.
    int stale = 0;
    folders.insert("");
    for (const std::string& folder : folders) stale += OrderIsExact(folder) ? 0 : 1;
    for (const std::string& folder : folders) {
        VStringArray names;
        db.GetSessionList(VUnicodeString::FromUtf8(folder), names);
        EXPECT_TRUE(OrderIsExact(folder)) << "'" << folder << "'";
    }
    std::cout << "[ two      ] " << sessions.size() << " sessions, " << folders.size()
              << " folders, " << files << " value files, all whole; " << stale
              << " order records repaired by the next listing\n";
    SetProfileStoreFactoryGetter(nullptr);
    g_factory.reset();
}

}  // namespace
