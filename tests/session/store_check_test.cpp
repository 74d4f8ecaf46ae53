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
#include <tuple>
#include <utility>

#include "profile/ini_store.h"
#include "profile/registry_store.h"
#include "session/session_database.h"
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

using Seen = std::set<std::pair<StoreFindingKind, std::string>>;

Seen Kinds(const StoreCheckResult& result, StoreFindingOutcome outcome) {
    Seen seen;
    for (const StoreFinding& f : result.findings) {
        if (f.outcome == outcome) seen.insert({f.kind, f.path});
    }
    return seen;
}

std::string Describe(const StoreCheckResult& result) {
    std::string text;
    for (const StoreFinding& f : result.findings)
        text += f.path + ": " + f.what + " => " + f.action + "\n";
    return text;
}

bool Has(const StoreCheckResult& result, StoreFindingKind kind, const std::string& path,
         const std::string& fragment) {
    for (const StoreFinding& f : result.findings) {
        if (f.kind == kind && f.path == path && f.what.find(fragment) != std::string::npos)
            return true;
    }
    return false;
}

class StoreCheck : public ::testing::Test {
protected:
    StoreCheckResult Check(bool repair) {
        StoreCheckOptions options;
        options.repair = repair;
        options.now = kNow;
        return CheckConfigurationFolder(config.string(), options);
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
    Write("Sessions/CON.ini", Session("con"));       // reserved device name
    Write("Sessions/caf\xE9.ini", Session("cafe"));  // not UTF-8
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

    using K = StoreFindingKind;
    const Seen repairable = {
        {K::kOrderRecord, "Sessions"},
        {K::kOrderRecord, "Sessions\\Servers"},
        {K::kTemporaryFile, S + deadTemp},
        {K::kHalfBuiltCopy, "Sessions\\" + copy},
    };
    const Seen left = {
        {K::kCaseTwin, S + "WEB.ini"},           {K::kUnusableName, S + "caf\\xe9.ini"},
        {K::kUnusableName, "Sessions\\CON"},     {K::kValueFileDamaged, S + "bad.ini"},
        {K::kValueFileTooLarge, S + "huge.ini"}, {K::kSymbolicLink, S + "link.ini"},
        {K::kSymbolicLink, S + "linkdir"},       {K::kSpecialFile, S + "pipe.ini"},
        {K::kTemporaryFile, S + liveTemp},
    };

    const StoreCheckResult found = Check(false);
    EXPECT_EQ(Kinds(found, StoreFindingOutcome::kRepairable), repairable) << Describe(found);
    EXPECT_EQ(Kinds(found, StoreFindingOutcome::kLeftForPerson), left) << Describe(found);
    EXPECT_FALSE(found.IsClean());
    // Each problem of an order record is its own finding; a leftover names its writer, so a
    // person can tell whether it is still at work.
    const std::tuple<K, std::string, std::string> details[] = {
        {K::kOrderRecord, "Sessions", "names 'ghost', which is not there"},
        {K::kOrderRecord, "Sessions", "misses the session 'WEB'"},
        {K::kOrderRecord, "Sessions\\Servers", "names 'gone', which is not"},
        {K::kOrderRecord, "Sessions\\Servers", "names 'a' twice"},
        {K::kOrderRecord, "Sessions\\Servers", "names 'a', which is a session"},
        {K::kOrderRecord, "Sessions\\Servers", "misses the folder 'sub'"},
        {K::kValueFileDamaged, S + "bad.ini", "at line 3"},
        {K::kSymbolicLink, S + "linkdir", (dir / "outside").string()},
        {K::kTemporaryFile, S + deadTemp, "process " + std::to_string(dead) + ", which has ended"},
        {K::kTemporaryFile, S + liveTemp, "process " + std::to_string(live) + ", still running"},
    };
    for (const auto& [kind, path, what] : details)
        EXPECT_TRUE(Has(found, kind, path, what)) << path << ": " << what << "\n"
                                                  << Describe(found);
    EXPECT_EQ(found.Count(StoreFindingOutcome::kRepairable), 8u) << Describe(found);
    // A run without repair changes nothing.
    EXPECT_TRUE(fs::exists(config / "Sessions" / deadTemp));
    EXPECT_EQ(ReadFileBytes(config / "Sessions/__FolderData__.ini"),
              Order("db:web:ghost:CON", "Servers"));

    const StoreCheckResult repaired = Check(true);
    EXPECT_EQ(Kinds(repaired, StoreFindingOutcome::kRepaired), repairable) << Describe(repaired);
    EXPECT_EQ(Kinds(repaired, StoreFindingOutcome::kLeftForPerson), left) << Describe(repaired);
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

    const StoreCheckResult again = Check(false);
    EXPECT_EQ(Kinds(again, StoreFindingOutcome::kLeftForPerson), left) << Describe(again);
    EXPECT_EQ(again.findings.size(), left.size()) << Describe(again);
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
    const StoreCheckResult result = Check(true);
    EXPECT_EQ(
        Kinds(result, StoreFindingOutcome::kRepaired),
        (Seen{{StoreFindingKind::kTemporaryFile, (config / "Sessions/.a.ini.XXXXXX").string()}}))
        << Describe(result);
    EXPECT_EQ(
        Kinds(result, StoreFindingOutcome::kLeftForPerson),
        (Seen{{StoreFindingKind::kTemporaryFile, (config / "Sessions/.b.ini.YYYYYY").string()}}))
        << Describe(result);
    EXPECT_FALSE(fs::exists(config / "Sessions/.a.ini.XXXXXX"));
    EXPECT_TRUE(fs::exists(config / "Sessions/.b.ini.YYYYYY"));
}

TEST_F(StoreCheck, RegistryStoreOrderTypesNamesAndHalfBuiltCopies) {
    const fs::path registry = dir / "registry";
    const long dead = DeadPid();
    const std::u16string copy =
        u"_@@TMP@@_" + VUnicodeString::FromUtf8(std::to_string(dead)).str() + u"_1";
    {
        VRegistryStoreFactory factory(VRegistryRoot::CurrentUser, u"Software\\Norvik", registry);
        VProfileStore store(false, &factory);
        VProfileKey a(store.GetRootKey(), u"Sessions\\a");
        a.SetDword(u"Is Session", 1);
        VProfileKey b(store.GetRootKey(), u"Sessions\\b");
        b.SetString(u"Is Session", u"1");
        VProfileKey nul(store.GetRootKey(), u"Sessions\\NUL");
        nul.SetDword(u"Is Session", 1);
        VProfileKey order(store.GetRootKey(), u"Sessions\\__FolderData__");
        order.SetString(u"Session List", u"a:zzz:NUL");
        order.SetString(u"Folder List", u"");
        VProfileKey half(store.GetRootKey(), u"Sessions\\" + copy + u"\\x");
        half.SetDword(u"Is Session", 1);
        half.SetBinary(u"Blob", "\x01\x02", 2);
    }
    const auto check = [&](bool repair) {
        StoreCheckOptions options;
        options.repair = repair;
        options.now = kNow;
        return CheckRegistryStore(VRegistryRoot::CurrentUser, u"Software\\Norvik", registry,
                                  options);
    };
    using K = StoreFindingKind;
    const Seen left = {{K::kValueType, "Sessions\\b"}, {K::kUnusableName, "Sessions\\NUL"}};
    const Seen repairable = {{K::kOrderRecord, "Sessions"},
                             {K::kHalfBuiltCopy, "Sessions\\" + VUnicodeString(copy).ToUtf8()}};

    const StoreCheckResult found = check(false);
    EXPECT_EQ(Kinds(found, StoreFindingOutcome::kLeftForPerson), left) << Describe(found);
    EXPECT_EQ(Kinds(found, StoreFindingOutcome::kRepairable), repairable) << Describe(found);
    // "Is Session" as a string makes b a folder to the store.
    EXPECT_TRUE(Has(found, K::kOrderRecord, "Sessions", "misses the folder 'b'"));
    EXPECT_TRUE(Has(found, K::kOrderRecord, "Sessions", "names 'zzz', which is not there"));

    const StoreCheckResult repaired = check(true);
    EXPECT_EQ(Kinds(repaired, StoreFindingOutcome::kRepaired), repairable) << Describe(repaired);
    {
        VRegistryStoreFactory factory(VRegistryRoot::CurrentUser, u"Software\\Norvik", registry);
        VProfileStore store(true, &factory);
        VProfileKey& root = store.GetRootKey();
        EXPECT_FALSE(root.SubKeyExists((u"Sessions\\" + copy).c_str()));
        VProfileKey moved(
            root, u"Recovered\\" + VUnicodeString::FromUtf8(kStamp).str() + u" " + copy + u"\\x");
        uint32_t size = 0;
        EXPECT_TRUE(moved.QueryBinary(u"Blob", nullptr, size));
        EXPECT_EQ(size, 2u);
        VProfileKey order(root, u"Sessions\\__FolderData__");
        VUnicodeString list;
        ASSERT_TRUE(order.QueryString(u"Session List", list));
        EXPECT_EQ(list.str(), u"a:NUL");
        ASSERT_TRUE(order.QueryString(u"Folder List", list));
        EXPECT_EQ(list.str(), u"b");
    }
    const StoreCheckResult again = check(false);
    EXPECT_EQ(Kinds(again, StoreFindingOutcome::kLeftForPerson), left) << Describe(again);
    EXPECT_EQ(again.findings.size(), left.size()) << Describe(again);
}
