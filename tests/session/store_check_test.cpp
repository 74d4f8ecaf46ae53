// Checking and repairing damaged stores by hand-built examples: what is found, what a repair
// changes, that it deletes no session, and that a second run finds only what was left.
#include "session/store_check.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <utility>

#include "profile/ini_store.h"
#include "profile/registry_store.h"
#include "session/session_database.h"
#include "support/golden.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

constexpr int64_t kNow = 1'800'000'000;  // 2027-01-15 08:00:00 UTC
constexpr const char* kStamp = "2027-01-15 080000";

// The id of a process that has ended.
long DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

std::string Session(const std::string& host) {
    return "\xEF\xBB\xBF"
           "D:\"Is Session\"=00000001\r\nS:\"Hostname\"=" +
           host + "\r\n";
}

std::string Order(const std::string& sessions, const std::string& folders) {
    return "\xEF\xBB\xBFS:\"Session List\"=" + sessions + "\r\nS:\"Folder List\"=" + folders +
           "\r\n";
}

// The findings as sorted lines, "OUTCOME KIND PATH" (with `full`: ": WHAT => ACTION"), with
// each `from` text replaced by its `to`, so that folders and process ids of the run do not show.
std::string Findings(const StoreCheckResult& result, bool full,
                     const std::vector<std::pair<std::string, std::string>>& names = {}) {
    static const char* const kOutcomes[] = {"repairable", "repaired", "left"};
    std::multiset<std::string> lines;  // sorted
    for (const StoreFinding& f : result.findings) {
        std::string line = std::string(kOutcomes[static_cast<int>(f.outcome)]) + " " +
                           std::to_string(static_cast<int>(f.kind)) + " " + f.path;
        if (full) line += ": " + f.what + " => " + f.action;
        for (const auto& [from, to] : names) {
            for (size_t at = line.find(from); at != line.npos; at = line.find(from, at + to.size()))
                line.replace(at, from.size(), to);
        }
        lines.insert(line + "\n");
    }
    std::string text;
    for (const std::string& line : lines) text += line;
    return text;
}

class StoreCheck : public ::testing::Test {
protected:
    StoreCheckResult Check(bool repair, bool registry = false) {
        StoreCheckOptions options;
        options.repair = repair;
        options.now = kNow;
        return registry ? CheckRegistryStore(VRegistryRoot::CurrentUser, u"Software\\Norvik",
                                             dir / "registry", options)
                        : CheckConfigurationFolder(config.string(), options);
    }
    // The findings of a check, its repair and a second check, for a golden file.
    static std::string Runs(const StoreCheckResult (&runs)[3],
                            const std::vector<std::pair<std::string, std::string>>& names) {
        return "check:\n" + Findings(runs[0], true, names) + "repair:\n" +
               Findings(runs[1], true, names) + "again:\n" + Findings(runs[2], true, names);
    }
    void Write(const std::string& relative, const std::string& bytes) {
        fs::create_directories((config / relative).parent_path());
        WriteFileBytes(config / relative, bytes);
    }
    TempDir dir;
    fs::path config = dir / "Config";
};

}  // namespace

TEST_F(StoreCheck, FindsRepairsAndLeavesExactlyWhatItShould) {
    const long dead = DeadPid();
    const long live = static_cast<long>(::getpid());
    const std::string S = config.string() + "/Sessions/";

    Write("Sessions/web.ini", Session("web"));
    Write("Sessions/WEB.ini", Session("WEB"));  // case twin
    Write("Sessions/db.ini", Session("db"));
    Write("Sessions/CON.ini", Session("con"));         // reserved device name
    Write("Sessions/caf\xE9.ini", Session("cafe"));    // not UTF-8
    Write("Sessions/F2.INI", Session("f2"));           // never read by the store
    Write("Sessions/db/under.ini", Session("under"));  // below a session: never shown
    Write("Sessions/__FolderData__.ini", Order("db:web:ghost:CON", "Servers"));
    Write("Sessions/Servers/a.ini", Session("a"));
    Write("Sessions/Servers/__FolderData__.ini", Order("a:gone:a", "a"));
    fs::create_directories(config / "Sessions/Servers/sub");
    const std::string bad = Session("bad") + "garbage\r\nS:\"Port\"=22\r\n";
    Write("Sessions/bad.ini", bad);
    Write("Sessions/huge.ini", "");
    fs::resize_file(config / "Sessions/huge.ini", kMaxValueFileSize + 1);
    WriteFileBytes(dir / "outside.ini", Session("outside"));
    fs::create_directories(dir / "outside");
    fs::create_symlink(dir / "outside.ini", config / "Sessions/link.ini");
    fs::create_symlink(dir / "outside", config / "Sessions/linkdir");
    ASSERT_EQ(::mkfifo((config / "Sessions/pipe.ini").c_str(), 0600), 0);
    const std::string deadTemp = ".db.ini~" + std::to_string(dead) + "~abcdef";
    const std::string liveTemp = ".web.ini~" + std::to_string(live) + "~abcdef";
    Write("Sessions/" + deadTemp, "half");
    Write("Sessions/" + liveTemp, "half");
    const std::string copy = "_@@TMP@@_" + std::to_string(dead) + "_1";
    Write("Sessions/" + copy + "/x.ini", Session("x"));
    Write("Sessions/" + copy + "/__FolderData__.ini", Order("x", ""));

    const StoreCheckResult found = Check(false);
    EXPECT_FALSE(found.IsClean());
    // A run without repair changes nothing.
    EXPECT_TRUE(fs::exists(config / "Sessions" / deadTemp));
    EXPECT_EQ(ReadFileBytes(config / "Sessions/__FolderData__.ini"),
              Order("db:web:ghost:CON", "Servers"));

    const StoreCheckResult repaired = Check(true);
    EXPECT_FALSE(fs::exists(config / "Sessions" / deadTemp));
    EXPECT_TRUE(fs::exists(config / "Sessions" / liveTemp));
    const fs::path recovered = config / "Recovered" / (std::string(kStamp) + " " + copy);
    EXPECT_EQ(ReadFileBytes(recovered / "x.ini"), Session("x"));
    EXPECT_FALSE(fs::exists(config / "Sessions" / copy));
    EXPECT_EQ(ReadFileBytes(config / "Sessions/Servers/__FolderData__.ini"),
              Order("a", "sub") + "D:\"Is Expanded\"=00000000\r\n");
    const std::string top = ReadFileBytes(config / "Sessions/__FolderData__.ini");
    EXPECT_NE(top.find("\"Session List\"=db:web:CON:"), std::string::npos) << top;
    EXPECT_NE(top.find(":WEB"), std::string::npos) << top;
    EXPECT_EQ(top.find("ghost"), std::string::npos) << top;
    // No session or value was lost, and what is left for a person is untouched.
    for (const char* name : {"web", "WEB", "db", "CON", "caf\xE9", "Servers/a"})
        EXPECT_TRUE(fs::is_regular_file(config / "Sessions" / (std::string(name) + ".ini")))
            << name;
    EXPECT_EQ(ReadFileBytes(config / "Sessions/bad.ini"), bad);
    EXPECT_EQ(fs::file_size(config / "Sessions/huge.ini"), kMaxValueFileSize + 1);
    EXPECT_TRUE(fs::is_symlink(config / "Sessions/link.ini"));
    EXPECT_EQ(ReadFileBytes(dir / "outside.ini"), Session("outside"));

    // Each problem of an order record is its own finding; a leftover names its writer, so a
    // person can tell whether it is still at work; a second run finds only what was left.
    const StoreCheckResult again = Check(false);
    EXPECT_EQ(again.Count(StoreFindingOutcome::kRepairable), 0u);
    ExpectMatchesGolden("session/store-check-folder.txt",
                        Runs({found, repaired, again}, {{dir.path().string(), "<dir>"},
                                                        {std::to_string(dead), "<dead>"},
                                                        {std::to_string(live), "<live>"}}));
}

TEST_F(StoreCheck, OldTemporaryFilesCountAsAbandonedAfterTenMinutes) {
    Write("Sessions/.a.ini.XXXXXX", "old");
    Write("Sessions/.b.ini.YYYYYY", "new");
    const auto setAge = [&](const char* relative, int64_t seconds) {
        const timespec times[2] = {{static_cast<time_t>(kNow - seconds), 0},
                                   {static_cast<time_t>(kNow - seconds), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (config / relative).c_str(), times, 0), 0);
    };
    setAge("Sessions/.a.ini.XXXXXX", kAbandonedAfterSeconds + 5);
    setAge("Sessions/.b.ini.YYYYYY", kAbandonedAfterSeconds - 60);
    EXPECT_EQ(Findings(Check(true), false, {{config.string(), "C"}}),
              "left 7 C/Sessions/.b.ini.YYYYYY\nrepaired 7 C/Sessions/.a.ini.XXXXXX\n");
    EXPECT_FALSE(fs::exists(config / "Sessions/.a.ini.XXXXXX"));
    EXPECT_TRUE(fs::exists(config / "Sessions/.b.ini.YYYYYY"));
}

TEST_F(StoreCheck, RegistryStoreOrderTypesNamesAndHalfBuiltCopies) {
    const long dead = DeadPid();
    const std::u16string copy =
        u"_@@TMP@@_" + VUnicodeString::FromUtf8(std::to_string(dead)).str() + u"_1";
    VRegistryStoreFactory factory(VRegistryRoot::CurrentUser, u"Software\\Norvik",
                                  dir / "registry");
    {
        VProfileStore store(false, &factory);
        VProfileKey a(store.GetRootKey(), u"Sessions\\a"), b(store.GetRootKey(), u"Sessions\\b");
        VProfileKey nul(store.GetRootKey(), u"Sessions\\NUL");
        VProfileKey order(store.GetRootKey(), u"Sessions\\__FolderData__");
        VProfileKey half(store.GetRootKey(), u"Sessions\\" + copy + u"\\x");
        a.SetDword(u"Is Session", 1);
        b.SetString(u"Is Session", u"1");  // as a string it makes b a folder to the store
        nul.SetDword(u"Is Session", 1);
        order.SetString(u"Session List", u"a:zzz:NUL");
        order.SetString(u"Folder List", u"");
        half.SetDword(u"Is Session", 1);
        half.SetBinary(u"Blob", "\x01\x02", 2);
    }
    const StoreCheckResult found = Check(false, true), repaired = Check(true, true);
    {
        VProfileStore store(true, &factory);
        VProfileKey& root = store.GetRootKey();
        EXPECT_FALSE(root.SubKeyExists((u"Sessions\\" + copy).c_str()));
        VProfileKey moved(
            root, u"Recovered\\" + VUnicodeString::FromUtf8(kStamp).str() + u" " + copy + u"\\x");
        uint32_t size = 0;
        EXPECT_TRUE(moved.QueryBinary(u"Blob", nullptr, size));
        EXPECT_EQ(size, 2u);
        VProfileKey order(root, u"Sessions\\__FolderData__");
        VUnicodeString sessions, folders;
        ASSERT_TRUE(order.QueryString(u"Session List", sessions));
        ASSERT_TRUE(order.QueryString(u"Folder List", folders));
        EXPECT_EQ(sessions.str() + u"|" + folders.str(), u"a:NUL|b");
    }
    const StoreCheckResult again = Check(false, true);
    EXPECT_EQ(again.Count(StoreFindingOutcome::kRepairable), 0u);
    ExpectMatchesGolden("session/store-check-registry.txt",
                        Runs({found, repaired, again}, {{(dir / "registry").string(), "<registry>"},
                                                        {std::to_string(dead), "<dead>"}}));
}
