// The session tree on real configuration folders: order records, copy, rename, reorder, removal,
// unique names and the apply-to-all walk with read-only session files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>

#include "profile/ini_store.h"
#include "session/button_bar.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

VProfileStoreFactory* g_factory = nullptr;
VProfileStoreFactory* TestFactory() {
    return g_factory;
}

class SessionTree : public ::testing::Test {
protected:
    SessionTree() : factory(VUnicodeString::FromUtf8((dir / "Config").string())) {
        previous = GetProfileStoreFactoryGetter();
        g_factory = &factory;
        SetProfileStoreFactoryGetter(TestFactory);
    }
    ~SessionTree() override {
        SetProfileStoreFactoryGetter(previous);
        g_factory = nullptr;
    }
    // A session as another program would leave it: a value file and nothing else.
    void MakeSession(const std::u16string& path, const char16_t* host = u"example") {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        key.SetDword(u"Is Session", 1);
        key.SetString(u"Hostname", host);
    }
    void SetOrder(const std::u16string& folder, const char16_t* sessions, const char16_t* folders) {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(),
                        SessionDatabase::KeyPath(VUnicodeString(folder)) + u"\\__FolderData__");
        key.SetString(u"Session List", sessions);
        key.SetString(u"Folder List", folders);
    }
    std::u16string Stored(const std::u16string& key, const char16_t* name) {
        VProfileStore store;
        VProfileKey k(store.GetRootKey(), VUnicodeString(key));
        VUnicodeString value;
        return k.QueryString(name, value) ? value.str() : u"<absent>";
    }
    static std::u16string Join(const VStringArray& names) {
        std::u16string text;
        for (const auto& name : names) text += name.str() + u"|";
        return text;
    }
    std::u16string Sessions(const std::u16string& folder = {}) {
        VStringArray out;
        db.GetSessionList(VUnicodeString(folder), out);
        return Join(out);
    }
    std::u16string Folders(const std::u16string& folder = {}) {
        VStringArray out;
        db.GetFolderList(VUnicodeString(folder), out);
        return Join(out);
    }

    TempDir dir;
    VIniFileStoreFactory factory;
    ProfileStoreFactoryGetter previous = nullptr;
    SessionDatabase db;
};

}  // namespace

TEST_F(SessionTree, OrderRecordDropsStaleNamesAndAppendsMissingOnes) {
    for (auto name : {u"a", u"b", u"c"}) MakeSession(name);
    MakeSession(u"F1\\inner");
    MakeSession(u"F2\\inner");
    SetOrder(u"", u"b:a:x", u"F2:gone");
    // A value file without "Is Session" still lists as a session: telling
    // sessions from folders must not read the files.
    WriteFileBytes(dir / "Config/Sessions/d.ini", "\xEF\xBB\xBFS:\"Hostname\"=h\r\n");

    // A read-only database repairs the order for its caller but writes nothing.
    SessionDatabase readOnly(kSessionDatabaseReadOnly);
    VStringArray out;
    readOnly.GetSessionList({}, out);
    EXPECT_EQ(Join(out), u"b|a|c|d|");
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Session List"), u"b:a:x");

    EXPECT_EQ(Sessions(), u"b|a|c|d|");
    EXPECT_EQ(Folders(), u"F2|F1|");
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Session List"), u"b:a:c:d");
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Folder List"), u"F2:F1");
    EXPECT_FALSE(db.IsEmpty());
    EXPECT_TRUE(db.IsFolder(VUnicodeString(u"F1")));
    EXPECT_FALSE(db.IsFolder(VUnicodeString(u"d")));
}

TEST_F(SessionTree, NamesWithAColonComeLastAndStayOutOfTheOrderRecord) {
    // No new session may have such a name, but a hand-made store can. Listed,
    // it would read back as two missing names and be rewritten on every open.
    for (auto name : {u"a", u"x:y", u"b", u"c"}) MakeSession(name);
    SetOrder(u"", u"b:a", u"");
    EXPECT_EQ(Sessions(), u"b|a|c|x:y|");
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Session List"), u"b:a:c");
    EXPECT_EQ(Sessions(), u"b|a|c|x:y|");
}

TEST_F(SessionTree, InsertRenameReorderAndRemoveKeepTheOrder) {
    for (auto name : {u"a", u"b", u"c"}) MakeSession(name);
    EXPECT_TRUE(db.InsertFolder({}, VUnicodeString(u"Lab"), {}, true));
    EXPECT_TRUE(db.InsertFolder({}, VUnicodeString(u"Home"), VUnicodeString(u"Lab"), true));
    EXPECT_FALSE(db.InsertFolder({}, VUnicodeString(u"home"), {}, true)) << "name in use";
    EXPECT_FALSE(db.InsertFolder({}, VUnicodeString(u"LPT1"), {}, true));
    EXPECT_EQ(Folders(), u"Home|Lab|");

    // A change of case only, a plain rename, and a collision that changes nothing.
    EXPECT_TRUE(db.Rename({}, VUnicodeString(u"b"), VUnicodeString(u"B")));
    EXPECT_EQ(Sessions(), u"a|B|c|");
    EXPECT_EQ(Stored(u"Sessions\\B", u"Hostname"), u"example");
    EXPECT_TRUE(db.Rename({}, VUnicodeString(u"a"), VUnicodeString(u"z")));
    EXPECT_FALSE(db.Rename({}, VUnicodeString(u"z"), VUnicodeString(u"C")));
    EXPECT_EQ(Sessions(), u"z|B|c|");
    MakeSession(u"Lab\\box");
    EXPECT_TRUE(db.Rename({}, VUnicodeString(u"Lab"), VUnicodeString(u"lab")));
    EXPECT_EQ(Folders(), u"Home|lab|");
    EXPECT_EQ(Sessions(u"lab"), u"box|");

    EXPECT_EQ(db.Reorder(VUnicodeString(u"z"), VUnicodeString(u"c"), true), VUnicodeString(u"z"));
    EXPECT_EQ(Sessions(), u"B|c|z|");
    db.Reorder(VUnicodeString(u"lab"), VUnicodeString(u"Home"), false);
    EXPECT_EQ(Folders(), u"lab|Home|");
    // Next to itself: the order stays (this once threw out of the library).
    EXPECT_EQ(db.Reorder(VUnicodeString(u"c"), VUnicodeString(u"c"), true), VUnicodeString(u"c"));
    EXPECT_EQ(Sessions(), u"B|c|z|");

    EXPECT_TRUE(db.Remove(VUnicodeString(u"lab")));
    EXPECT_FALSE(db.Remove(VUnicodeString(u"lab")));
    EXPECT_TRUE(db.Remove(VUnicodeString(u"c")));
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Session List"), u"B:z");
    EXPECT_EQ(Stored(u"Sessions\\__FolderData__", u"Folder List"), u"Home");
}

TEST_F(SessionTree, CopyOfAFolderTakesItsSubtreeOrderAndExpandedState) {
    MakeSession(u"Work\\web", u"web.example");
    MakeSession(u"Work\\db");
    MakeSession(u"Work\\Deep\\x");
    SetOrder(u"Work", u"web:db", u"Deep");
    db.IsExpanded(VUnicodeString(u"Work"), true);
    ASSERT_TRUE(db.InsertFolder({}, VUnicodeString(u"Archive"), {}, true));

    EXPECT_EQ(db.Copy(VUnicodeString(u"Work"), VUnicodeString(u"Archive"), true, {}, true),
              VUnicodeString(u"Archive\\Work"));
    EXPECT_EQ(db.Copy(VUnicodeString(u"Work"), VUnicodeString(u"Archive"), true, {}, true),
              VUnicodeString(u"Archive\\Work (2)"));
    EXPECT_TRUE(
        db.Copy(VUnicodeString(u"Work"), VUnicodeString(u"Work\\Deep"), true, {}, true).IsEmpty())
        << "a folder cannot be copied below itself";
    EXPECT_EQ(Folders(u"Archive"), u"Work|Work (2)|");
    EXPECT_EQ(Sessions(u"Archive\\Work (2)"), u"web|db|");
    EXPECT_EQ(Sessions(u"Archive\\Work\\Deep"), u"x|");
    EXPECT_TRUE(db.IsExpanded(VUnicodeString(u"Archive\\Work")));
    EXPECT_EQ(Stored(u"Sessions\\Archive\\Work\\web", u"Hostname"), u"web.example");

    // A session copied into its own folder gets the next free number, placed before `before`.
    EXPECT_EQ(db.Copy(VUnicodeString(u"Work\\db"), VUnicodeString(u"Work"), true,
                      VUnicodeString(u"web"), true),
              VUnicodeString(u"Work\\db (2)"));
    EXPECT_EQ(Sessions(u"Work"), u"db (2)|web|db|");
    EXPECT_EQ(SessionDatabase::GetUniqueSessionName(VUnicodeString(u"Work\\db")),
              VUnicodeString(u"Work\\db (3)"));

    VStringArray sessions, folders;
    db.ExpandPaths(VStringArray{VUnicodeString(u"Work"), VUnicodeString(u"Archive\\Work\\db")},
                   sessions, folders);
    EXPECT_EQ(Join(sessions), u"Work\\db (2)|Work\\web|Work\\db|Work\\Deep\\x|Archive\\Work\\db|");
    EXPECT_EQ(Join(folders), u"Work|Work\\Deep|");
}

// Both walks over every session skip read-only session files, change nothing in them, and count.
TEST_F(SessionTree, ApplyToAllSkipsReadOnlySessionFilesAndCountsThem) {
    for (auto name : {u"a", u"b", u"c", u"F\\d", u"F\\e"}) MakeSession(name);
    EXPECT_FALSE(db.HasChildren(VUnicodeString(u"F\\d")));
    for (auto file : {"Config/Sessions/b.ini", "Config/Sessions/F/e.ini"})
        std::filesystem::permissions(dir / file, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    const std::string before = ReadFileBytes(dir / "Config/Sessions/b.ini");

    GlobalChangeTally tally = db.EnumAndSetAllBoolValues(VUnicodeString(u"Flag"), true);
    EXPECT_EQ(tally.updated, 3);
    EXPECT_EQ(tally.visited, 5);
    {
        VProfileStore store;
        VProfileKey d(store.GetRootKey(), u"Sessions\\F\\d");
        uint32_t flag = 0;
        EXPECT_TRUE(d.QueryDword(u"Flag", flag) && flag == 1u);
    }

    VUnknownPointer<ISessionConfig> defaults =
        VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(u"Default")));
    defaults->Checkpoint();
    dynamic_cast<SessionConfig&>(*defaults).logFilename = VUnicodeString(u"/tmp/%S.log");
    tally = db.EnumAndApplyDelta(defaults.Get());
    EXPECT_EQ(tally.visited, 6);  // the default session is one of them
    EXPECT_EQ(tally.updated, 4);
    EXPECT_EQ(Stored(u"Sessions\\F\\d", u"Log Filename"), u"/tmp/%S.log");
    EXPECT_EQ(Stored(u"Sessions\\F\\d", u"Hostname"), u"example");
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/b.ini"), before);
}

TEST_F(SessionTree, DefaultAloneIsNoChildAndNamesAreChecked) {
    MakeSession(u"Default");
    EXPECT_FALSE(db.HasChildren({}));
    MakeSession(u"x");
    EXPECT_TRUE(db.HasChildren({}));

    EXPECT_FALSE(CheckSessionName(u"my host (2)"));
    EXPECT_EQ(CheckSessionName(u"")->str(), u"The session name must be specified");
    EXPECT_EQ(CheckSessionName(u"a/b?")->str(),
              u"The session name contains an illegal character: ' / '");
    EXPECT_TRUE(CheckSessionName(u"clock$"));
    // NAME.ini must fit in the file system's 255 bytes for one name.
    EXPECT_FALSE(CheckSessionName(std::u16string(251, u'n')));
    EXPECT_EQ(CheckSessionName(std::u16string(252, u'n'))->str(), u"The session name is too long");
    EXPECT_TRUE(CheckSessionName(std::u16string(84, u'\u20AC')));  // 252 bytes in UTF-8
}

TEST_F(SessionTree, LookupInsertAndSaveOfSessions) {
    EXPECT_FALSE(SessionDatabase::Exists(VUnicodeString(u"Default")));
    VUnknownPointer<ISessionConfig> defaults =
        VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(u"Default")));
    ASSERT_TRUE(defaults);
    EXPECT_TRUE(SessionDatabase::Exists(VUnicodeString(u"Default")));
    const std::string stored = ReadFileBytes(dir / "Config/Sessions/Default.ini");
    auto& record = dynamic_cast<SessionConfig&>(*defaults);
    record.titleBar = VUnicodeString(u"changed");
    EXPECT_FALSE(db.Save(defaults.Get(), false));
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/Default.ini"), stored);

    ASSERT_TRUE(db.InsertFolder({}, VUnicodeString(u"F"), {}, true));
    EXPECT_FALSE(db.Lookup(VUnicodeString(u"F")));
    VUnknownPointer<ISessionConfig> copy =
        VUnknownPointer<ISessionConfig>::Adopt(defaults->Clone());
    copy->SetSessionName(VUnicodeString(u"s"));
    copy->SetSessionPath(VUnicodeString(u"F\\s"));
    EXPECT_TRUE(db.Save(copy.Get(), false));
    EXPECT_EQ(Sessions(u"F"), u"s|");
    EXPECT_NE(ReadFileBytes(dir / "Config/Sessions/F/s.ini").find("changed"), std::string::npos);

    // The copy of the Default session stored blank protocol names; a saved session that is not the
    // Default one loads them as "None" and writes that on its next save. From then on, reloading
    // and saving again rewrites nothing.
    {
        VUnknownPointer<ISessionConfig> first =
            VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(u"F\\s")));
        ASSERT_TRUE(first);
        EXPECT_TRUE(db.Save(first.Get(), false));
    }
    const std::string saved = ReadFileBytes(dir / "Config/Sessions/F/s.ini");
    EXPECT_NE(saved.find("S:\"Protocol Name\"=None"), std::string::npos);
    VUnknownPointer<ISessionConfig> again =
        VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(u"F\\s")));
    ASSERT_TRUE(again);
    const auto written = std::filesystem::last_write_time(dir / "Config/Sessions/F/s.ini");
    EXPECT_TRUE(db.Save(again.Get(), false));
    EXPECT_EQ(std::filesystem::last_write_time(dir / "Config/Sessions/F/s.ini"), written);
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/F/s.ini"), saved);
}

TEST_F(SessionTree, ReadOnlyDatabaseWritesNothingAndHelpersForward) {
    SessionDatabase readOnly(kSessionDatabaseReadOnly);
    VUnknownPointer<ISessionConfig> defaults =
        VUnknownPointer<ISessionConfig>::Adopt(readOnly.Lookup(VUnicodeString(u"Default")));
    ASSERT_TRUE(defaults);
    EXPECT_TRUE(defaults->IsDefaultSession());
    EXPECT_FALSE(SessionDatabase::Exists(VUnicodeString(u"Default")));
    EXPECT_FALSE(std::filesystem::exists(dir / "Config/Sessions"));

    MakeSession(u"files");
    {
        VProfileStore store;
        VProfileKey files(store.GetRootKey(), u"Sessions\\files");
        files.SetString(u"Protocol Name", u"None");
        files.SetString(u"Transfer Protocol Name", u"SFTP");
    }
    EXPECT_FALSE(db.HasMatchingProtocol(0, VUnicodeString(u"files")));
    EXPECT_TRUE(db.HasMatchingProtocol(1, VUnicodeString(u"files")));
    EXPECT_FALSE(db.HasMatchingProtocol(0, VUnicodeString(u"missing")));

    // A read-only database refuses to change button bars.
    UserButtonMap* bar = db.GetButtonMap(VUnicodeString(u"Tools"));
    ASSERT_TRUE(bar->SetItem(0, UserButtonMap::Item{}));
    EXPECT_FALSE(readOnly.SaveButtonMap(bar));
    EXPECT_TRUE(db.SaveButtonMap(bar));
    bar->Release();
    EXPECT_FALSE(readOnly.DeleteButtonMap(u"Tools"));
}

TEST_F(SessionTree, PortableCopyTakesSessionFilesToTheDrive) {
    const auto drive = dir / "drive";
    WriteFileBytes(dir / "home/login.txt", "first");
    WriteFileBytes(dir / "other/login.txt", "second");
    MakeSession(u"a");
    MakeSession(u"F\\b");
    MakeSession(u"c");
    {
        VProfileStore store;
        VProfileKey a(store.GetRootKey(), u"Sessions\\a");
        a.SetString(u"Script Filename",
                    VUnicodeString::FromUtf8((dir / "home/login.txt").string()).c_str());
        VProfileKey b(store.GetRootKey(), u"Sessions\\F\\b");
        b.SetString(u"Script Filename",
                    VUnicodeString::FromUtf8((dir / "other/login.txt").string()).c_str());
        VProfileKey c(store.GetRootKey(), u"Sessions\\c");
        c.SetString(u"User Font Map",
                    VUnicodeString::FromUtf8((dir / "home/login.txt").string()).c_str());
    }
    {
        ScopedEnv env("U3_APP_DATA_PATH", drive.string());
        SessionConfig::CopySessionFilesAndUpdatePaths();
    }

    EXPECT_EQ(Stored(u"Sessions\\a", u"Script Filename"), u"%u3data%/login.txt");
    EXPECT_EQ(Stored(u"Sessions\\F\\b", u"Script Filename"), u"%u3data%/login (2).txt");
    // The same file again goes to the copy already there.
    EXPECT_EQ(Stored(u"Sessions\\c", u"User Font Map"), u"%u3data%/login.txt");
    EXPECT_EQ(ReadFileBytes(drive / "login.txt"), "first");
    EXPECT_EQ(ReadFileBytes(drive / "login (2).txt"), "second");
    EXPECT_EQ(ReadFileBytes(dir / "home/login.txt"), "first");
}

namespace {

// Hands the tree under `top` to `uid`, so that a child running as that user
// is bound by the modes the test sets, as the owner.
void ChownTree(const std::filesystem::path& top, uid_t uid) {
    ASSERT_EQ(::lchown(top.c_str(), uid, uid), 0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(top))
        ASSERT_EQ(::lchown(entry.path().c_str(), uid, uid), 0) << entry.path();
}

// Runs `check` in a child process, as the unprivileged user when the test
// runs as root (root lists any folder whatever its mode), and returns its
// exit status: 0 when every expectation held, else the number of the first
// that failed.
int RunAsOwner(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// A folder the store cannot list is reported, not taken for an empty one, the
// report clears once a folder lists again, and the folder's order survives.
TEST_F(SessionTree, UnreadableFolderIsReportedAndItsOrderKept) {
    MakeSession(u"Lab\\s1");
    MakeSession(u"Lab\\s2");
    MakeSession(u"top");
    SetOrder(u"Lab", u"s2:s1", u"");
    ASSERT_EQ(Sessions(u"Lab"), u"s2|s1|");
    const std::filesystem::path lab = dir / "Config/Sessions/Lab";
    if (::geteuid() == 0) {
        std::filesystem::permissions(dir.path(), std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
        ChownTree(dir / "Config", 65534);
    }

    // Mode 000: nothing below can be reached. Mode 0300: what is below can be
    // reached by name, but the folder cannot be listed.
    for (const auto mode : {std::filesystem::perms::none, std::filesystem::perms::owner_write |
                                                              std::filesystem::perms::owner_exec}) {
        SCOPED_TRACE(static_cast<int>(mode));
        std::filesystem::permissions(lab, mode);
        const int failed = RunAsOwner([&] {
            VStringArray out;
            db.GetSessionList(VUnicodeString(u"Lab"), out);
            if (db.GetReport().GetMessageId() != EACCES) return 1;
            if (!out.IsEmpty()) return 2;
            db.GetFolderList(VUnicodeString(u"Lab"), out);
            if (db.GetReport().GetMessageId() != EACCES) return 3;
            if (!out.IsEmpty()) return 4;
            // A folder that lists clears the report.
            db.GetFolderList(VUnicodeString(), out);
            if (db.GetReport().GetMessageId() != 0) return 5;
            if (out.GetSize() != 1 || out[0] != u"Lab") return 6;
            return 0;
        });
        EXPECT_EQ(failed, 0);
        std::filesystem::permissions(lab, std::filesystem::perms::owner_all);
        EXPECT_EQ(Stored(u"Sessions\\Lab\\__FolderData__", u"Session List"), u"s2:s1");
    }
    EXPECT_EQ(Sessions(u"Lab"), u"s2|s1|");
}
