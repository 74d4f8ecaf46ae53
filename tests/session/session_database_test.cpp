// The session tree on real configuration folders: order records, copy, rename, reorder, removal,
// unique names and the apply-to-all walk with read-only session files.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "profile/ini_store.h"
#include "session/button_bar.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "support/library_host.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

using namespace sessiondeck;

namespace {

namespace fs = std::filesystem;
using V = VUnicodeString;
using Session = VUnknownPointer<ISessionConfig>;

class SessionTree : public ::testing::Test {
protected:
    // A session as another program would leave it: a value file and nothing else.
    void MakeSession(
        const std::u16string& path,
        std::initializer_list<std::pair<const char16_t*, std::u16string>> values = {}) {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        key.SetDword(u"Is Session", 1);
        key.SetString(u"Hostname", u"example");
        for (const auto& [name, value] : values) key.SetString(name, value.c_str());
    }
    void SetOrder(const std::u16string& folder, const char16_t* sessions, const char16_t* folders) {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(),
                        SessionDatabase::KeyPath(V(folder)) + u"\\__FolderData__");
        key.SetString(u"Session List", sessions);
        key.SetString(u"Folder List", folders);
    }
    std::u16string Stored(const std::u16string& key, const char16_t* name) {
        VProfileStore store;
        VProfileKey k(store.GetRootKey(), V(key));
        V value;
        return k.QueryString(name, value) ? value.str() : u"<absent>";
    }
    // The root's order record, "SESSIONS|FOLDERS".
    std::u16string Order() {
        return Stored(u"Sessions\\__FolderData__", u"Session List") + u"|" +
               Stored(u"Sessions\\__FolderData__", u"Folder List");
    }
    static std::u16string Join(const VStringArray& names) {
        std::u16string text;
        for (const auto& name : names) text += name.str() + u"|";
        return text;
    }
    std::u16string Sessions(const std::u16string& folder = {}, const SessionDatabase* from = {}) {
        VStringArray out;
        (from ? *from : db).GetSessionList(V(folder), out);
        return Join(out);
    }
    std::u16string Folders(const std::u16string& folder = {}) {
        VStringArray out;
        db.GetFolderList(V(folder), out);
        return Join(out);
    }
    Session Look(const SessionDatabase& from, const char16_t* path) {
        return Session::Adopt(from.Lookup(V(path)));
    }

    TempDir dir;
    VIniFileStoreFactory factory{V::FromUtf8((dir / "Config").string())};
    LibraryHost library{u"Vetralon", &factory};
    SessionDatabase db;
};

}  // namespace

TEST_F(SessionTree, OrderRecordDropsStaleNamesAndAppendsMissingOnes) {
    // A name with a colon (a hand-made store can hold one) comes last and stays out of the
    // record: listed, it would read back as two missing names and be rewritten on every open.
    for (auto name : {u"a", u"b", u"c", u"x:y", u"F1\\inner", u"F2\\inner"}) MakeSession(name);
    SetOrder(u"", u"b:a:x", u"F2:gone");
    // A value file without "Is Session" still lists as a session: telling sessions from folders
    // must not read the files.
    WriteFileBytes(dir / "Config/Sessions/d.ini", "\xEF\xBB\xBFS:\"Hostname\"=h\r\n");

    // A read-only database repairs the order for its caller but writes nothing.
    const SessionDatabase readOnly(kSessionDatabaseReadOnly);
    EXPECT_EQ(Sessions({}, &readOnly), u"b|a|c|d|x:y|");
    EXPECT_EQ(Order(), u"b:a:x|F2:gone");

    EXPECT_EQ(Sessions(), u"b|a|c|d|x:y|");
    EXPECT_EQ(Folders(), u"F2|F1|");
    EXPECT_EQ(Order(), u"b:a:c:d|F2:F1");
    EXPECT_TRUE(db.IsFolder(V(u"F1")));
    EXPECT_FALSE(db.IsFolder(V(u"d")));
}

TEST_F(SessionTree, InsertRenameReorderAndRemoveKeepTheOrder) {
    for (auto name : {u"a", u"b", u"c"}) MakeSession(name);
    EXPECT_TRUE(db.InsertFolder({}, V(u"Lab"), {}, true));
    EXPECT_TRUE(db.InsertFolder({}, V(u"Home"), V(u"Lab"), true));
    EXPECT_FALSE(db.InsertFolder({}, V(u"home"), {}, true)) << "name in use";
    EXPECT_FALSE(db.InsertFolder({}, V(u"LPT1"), {}, true));
    EXPECT_EQ(Folders(), u"Home|Lab|");

    // A change of case only, a plain rename, and a collision that changes nothing.
    EXPECT_TRUE(db.Rename({}, V(u"b"), V(u"B")));
    EXPECT_EQ(Stored(u"Sessions\\B", u"Hostname"), u"example");
    EXPECT_TRUE(db.Rename({}, V(u"a"), V(u"z")));
    EXPECT_FALSE(db.Rename({}, V(u"z"), V(u"C")));
    EXPECT_EQ(Sessions(), u"z|B|c|");
    MakeSession(u"Lab\\box");
    EXPECT_TRUE(db.Rename({}, V(u"Lab"), V(u"lab")));
    EXPECT_EQ(Folders(), u"Home|lab|");
    EXPECT_EQ(Sessions(u"lab"), u"box|");

    EXPECT_EQ(db.Reorder(V(u"z"), V(u"c"), true), V(u"z"));
    EXPECT_EQ(Sessions(), u"B|c|z|");
    db.Reorder(V(u"lab"), V(u"Home"), false);
    EXPECT_EQ(Folders(), u"lab|Home|");
    // Next to itself: the order stays (this once threw out of the library).
    EXPECT_EQ(db.Reorder(V(u"c"), V(u"c"), true), V(u"c"));
    EXPECT_EQ(Sessions(), u"B|c|z|");

    EXPECT_TRUE(db.Remove(V(u"lab")));
    EXPECT_FALSE(db.Remove(V(u"lab")));
    EXPECT_TRUE(db.Remove(V(u"c")));
    EXPECT_EQ(Order(), u"B:z|Home");
    // A session with a key below it (made by hand): the tree shows only the session, so its
    // removal would take the hidden session too. Refused, and both stay.
    MakeSession(u"z\\hidden");
    EXPECT_FALSE(db.Remove(V(u"z")));
    EXPECT_EQ(Stored(u"Sessions\\z\\hidden", u"Hostname"), u"example");
    EXPECT_EQ(Stored(u"Sessions\\z", u"Hostname"), u"example");

    // Several entries of one folder at once stop at the first refused, and the order record
    // loses exactly the ones removed.
    for (auto name : {u"p", u"q"}) MakeSession(name);
    EXPECT_EQ(db.RemoveEntries({}, {V(u"p"), V(u"Home"), V(u"z"), V(u"q")}), 2u);
    EXPECT_EQ(db.GetReport().GetMessageId(), static_cast<uint32_t>(ENOTEMPTY));
    EXPECT_EQ(Order(), u"B:z:q|");
    EXPECT_EQ(db.RemoveEntries({}, {V(u"q"), V(u"gone"), V(u"B")}), 1u);
    EXPECT_EQ(db.GetReport().GetMessageId(), static_cast<uint32_t>(ENOENT));
    EXPECT_EQ(Order(), u"B:z|");
}

TEST_F(SessionTree, CopyOfAFolderTakesItsSubtreeOrderAndExpandedState) {
    MakeSession(u"Work\\web", {{u"Hostname", u"web.example"}});
    MakeSession(u"Work\\db");
    MakeSession(u"Work\\Deep\\x");
    SetOrder(u"Work", u"web:db", u"Deep");
    db.IsExpanded(V(u"Work"), true);
    ASSERT_TRUE(db.InsertFolder({}, V(u"Archive"), {}, true));

    EXPECT_EQ(db.Copy(V(u"Work"), V(u"Archive"), true, {}, true), V(u"Archive\\Work"));
    EXPECT_EQ(db.Copy(V(u"Work"), V(u"Archive"), true, {}, true), V(u"Archive\\Work (2)"));
    EXPECT_TRUE(db.Copy(V(u"Work"), V(u"Work\\Deep"), true, {}, true).IsEmpty())
        << "a folder cannot be copied below itself";
    EXPECT_EQ(Folders(u"Archive"), u"Work|Work (2)|");
    EXPECT_EQ(Sessions(u"Archive\\Work (2)"), u"web|db|");
    EXPECT_EQ(Sessions(u"Archive\\Work\\Deep"), u"x|");
    EXPECT_TRUE(db.IsExpanded(V(u"Archive\\Work")));
    EXPECT_EQ(Stored(u"Sessions\\Archive\\Work\\web", u"Hostname"), u"web.example");

    // A session copied into its own folder gets the next free number, placed before `before`.
    EXPECT_EQ(db.Copy(V(u"Work\\db"), V(u"Work"), true, V(u"web"), true), V(u"Work\\db (2)"));
    EXPECT_EQ(Sessions(u"Work"), u"db (2)|web|db|");
    EXPECT_EQ(SessionDatabase::GetUniqueSessionName(V(u"Work\\db")), V(u"Work\\db (3)"));

    VStringArray sessions, folders;
    db.ExpandPaths(VStringArray{V(u"Work"), V(u"Archive\\Work\\db")}, sessions, folders);
    EXPECT_EQ(Join(sessions), u"Work\\db (2)|Work\\web|Work\\db|Work\\Deep\\x|Archive\\Work\\db|");
    EXPECT_EQ(Join(folders), u"Work|Work\\Deep|");
}

// Both walks over every session skip read-only session files, change nothing in them, and count.
TEST_F(SessionTree, ApplyToAllSkipsReadOnlySessionFilesAndCountsThem) {
    for (auto name : {u"a", u"b", u"c", u"F\\d", u"F\\e"}) MakeSession(name);
    EXPECT_FALSE(db.HasChildren(V(u"F\\d")));
    for (auto file : {"Config/Sessions/b.ini", "Config/Sessions/F/e.ini"})
        fs::permissions(dir / file, fs::perms::owner_write, fs::perm_options::remove);
    const std::string before = ReadFileBytes(dir / "Config/Sessions/b.ini");

    GlobalChangeTally tally = db.EnumAndSetAllBoolValues(V(u"Flag"), true);
    EXPECT_EQ(std::pair(tally.visited, tally.updated), std::pair(5, 3));
    EXPECT_NE(ReadFileBytes(dir / "Config/Sessions/F/d.ini").find("D:\"Flag\"=00000001"),
              std::string::npos);

    Session defaults = Look(db, u"Default");
    defaults->Checkpoint();
    dynamic_cast<SessionConfig&>(*defaults).logFilename = V(u"/tmp/%S.log");
    tally = db.EnumAndApplyDelta(defaults.Get());
    EXPECT_EQ(std::pair(tally.visited, tally.updated), std::pair(6, 4)) << "Default is visited";
    EXPECT_EQ(Stored(u"Sessions\\F\\d", u"Log Filename") + Stored(u"Sessions\\F\\d", u"Hostname"),
              u"/tmp/%S.logexample");
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/b.ini"), before);
}

TEST_F(SessionTree, DefaultAloneIsNoChildAndNamesAreChecked) {
    MakeSession(u"Default");
    EXPECT_FALSE(db.HasChildren({}));
    MakeSession(u"x");
    EXPECT_TRUE(db.HasChildren({}));

    EXPECT_EQ(CheckSessionName(u"a/b?")->str(),
              u"The session name contains an illegal character: ' / '");
    // NAME.ini must fit in the file system's 255 bytes for one name.
    EXPECT_FALSE(CheckSessionName(std::u16string(251, u'n')));
    EXPECT_EQ(CheckSessionName(std::u16string(252, u'n'))->str(), u"The session name is too long");
    EXPECT_TRUE(CheckSessionName(std::u16string(84, u'\u20AC')));  // 252 bytes in UTF-8
}

TEST_F(SessionTree, LookupInsertAndSaveOfSessions) {
    // A read-only database loads the default session without writing it.
    const SessionDatabase readOnly(kSessionDatabaseReadOnly);
    ASSERT_TRUE(Look(readOnly, u"Default")->IsDefaultSession());
    EXPECT_FALSE(fs::exists(dir / "Config/Sessions"));

    Session defaults = Look(db, u"Default");
    ASSERT_TRUE(defaults);
    const std::string stored = ReadFileBytes(dir / "Config/Sessions/Default.ini");
    dynamic_cast<SessionConfig&>(*defaults).titleBar = V(u"changed");
    EXPECT_FALSE(db.Save(defaults.Get(), false));
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/Default.ini"), stored);

    ASSERT_TRUE(db.InsertFolder({}, V(u"F"), {}, true));
    EXPECT_FALSE(Look(db, u"F"));
    Session copy = Session::Adopt(defaults->Clone());
    copy->SetSessionName(V(u"s"));
    copy->SetSessionPath(V(u"F\\s"));
    EXPECT_TRUE(db.Save(copy.Get(), false));
    EXPECT_EQ(Sessions(u"F"), u"s|");

    // The copy of the Default session stored blank protocol names; a saved session that is not
    // the Default one loads them as "None" and writes that on its next save. From then on,
    // reloading and saving again rewrites nothing.
    const auto file = dir / "Config/Sessions/F/s.ini";
    EXPECT_TRUE(db.Save(Look(db, u"F\\s").Get(), false));
    const std::string saved = ReadFileBytes(file);
    EXPECT_NE(saved.find("S:\"Protocol Name\"=None"), std::string::npos);
    EXPECT_NE(saved.find("changed"), std::string::npos);
    const auto written = fs::last_write_time(file);
    EXPECT_TRUE(db.Save(Look(db, u"F\\s").Get(), false));
    EXPECT_EQ(fs::last_write_time(file), written);
    EXPECT_EQ(ReadFileBytes(file), saved);

    MakeSession(u"files", {{u"Protocol Name", u"None"}, {u"Transfer Protocol Name", u"SFTP"}});
    EXPECT_FALSE(db.HasMatchingProtocol(0, V(u"files")));
    EXPECT_TRUE(db.HasMatchingProtocol(1, V(u"files")));
    EXPECT_FALSE(db.HasMatchingProtocol(0, V(u"missing")));

    // A read-only database refuses to change button bars.
    UserButtonMap* bar = db.GetButtonMap(V(u"Tools"));
    ASSERT_TRUE(bar->SetItem(0, UserButtonMap::Item{}));
    EXPECT_FALSE(readOnly.SaveButtonMap(bar));
    EXPECT_TRUE(db.SaveButtonMap(bar));
    bar->Release();
    EXPECT_FALSE(readOnly.DeleteButtonMap(u"Tools"));
}

// A folder the store cannot list is reported, not taken for an empty one, the report clears once
// a folder lists again, and the folder's order survives.
TEST_F(SessionTree, UnreadableFolderIsReportedAndItsOrderKept) {
    for (auto name : {u"Lab\\s1", u"Lab\\s2", u"top"}) MakeSession(name);
    SetOrder(u"Lab", u"s2:s1", u"");
    ASSERT_EQ(Sessions(u"Lab"), u"s2|s1|");
    const fs::path lab = dir / "Config/Sessions/Lab";
    if (::geteuid() == 0) {
        // The tree goes to the user the check runs as, so that the modes bind it as the owner.
        fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
        ASSERT_EQ(::lchown((dir / "Config").c_str(), 65534, 65534), 0);
        for (const auto& entry : fs::recursive_directory_iterator(dir / "Config"))
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0) << entry.path();
    }
    // Mode 000: nothing below can be reached. Mode 0300: what is below can be reached by name,
    // but the folder cannot be listed.
    for (const auto mode : {fs::perms::none, fs::perms::owner_write | fs::perms::owner_exec}) {
        SCOPED_TRACE(static_cast<int>(mode));
        fs::permissions(lab, mode);
        // Each failed expectation sets its own bit of the child's exit status.
        const int failed = RunUnprivileged([&] {
            VStringArray sessions, folders, top;
            db.GetSessionList(V(u"Lab"), sessions);
            const bool sessionsRefused = db.GetReport().GetMessageId() == EACCES;
            db.GetFolderList(V(u"Lab"), folders);
            const bool foldersRefused = db.GetReport().GetMessageId() == EACCES;
            db.GetFolderList(V(), top);  // a folder that lists clears the report
            return (sessionsRefused ? 0 : 1) | (sessions.IsEmpty() ? 0 : 2) |
                   (foldersRefused ? 0 : 4) | (folders.IsEmpty() ? 0 : 8) |
                   (db.GetReport().GetMessageId() == 0 ? 0 : 16) | (Join(top) == u"Lab|" ? 0 : 32);
        });
        EXPECT_EQ(failed, 0);
        fs::permissions(lab, fs::perms::owner_all);
        EXPECT_EQ(Stored(u"Sessions\\Lab\\__FolderData__", u"Session List"), u"s2:s1");
    }
    EXPECT_EQ(Sessions(u"Lab"), u"s2|s1|");
}

TEST_F(SessionTree, PortableCopyTakesSessionFilesToTheDrive) {
    const auto drive = dir / "drive";
    WriteFileBytes(dir / "home/login.txt", "first");
    WriteFileBytes(dir / "other/login.txt", "second");
    const auto path = [&](const char* file) { return V::FromUtf8((dir / file).string()).str(); };
    MakeSession(u"a", {{u"Script Filename", path("home/login.txt")},
                       {u"Keymap Filename", u"/nowhere/x.key"}});
    MakeSession(u"F\\b", {{u"Script Filename", path("other/login.txt")}});
    MakeSession(u"c", {{u"User Font Map", path("home/login.txt")}});
    {
        ScopedEnv env("U3_APP_DATA_PATH", drive.string());
        SessionConfig::CopySessionFilesAndUpdatePaths();
    }
    EXPECT_EQ(Stored(u"Sessions\\a", u"Script Filename"), u"%u3data%/login.txt");
    EXPECT_EQ(Stored(u"Sessions\\a", u"Keymap Filename"), u"/nowhere/x.key");
    EXPECT_EQ(Stored(u"Sessions\\F\\b", u"Script Filename"), u"%u3data%/login (2).txt");
    // The same file again goes to the copy already there.
    EXPECT_EQ(Stored(u"Sessions\\c", u"User Font Map"), u"%u3data%/login.txt");
    EXPECT_EQ(ReadFileBytes(drive / "login.txt"), "first");
    EXPECT_EQ(ReadFileBytes(drive / "login (2).txt"), "second");
    EXPECT_EQ(ReadFileBytes(dir / "home/login.txt"), "first");
}
