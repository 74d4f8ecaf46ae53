// The INI backend on disk: exact value-file bytes, the folder layout, what it never touches, and
// its safety rules (atomic replacement, permissions, names that would leave the store).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "platform/file_system.h"
#include "profile/ini_store_private.h"
#include "store_contract.h"
#include "support/case_file.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

class IniBackend : public StoreBackend {
public:
    IniBackend() : m_factory(VUnicodeString::FromUtf8((m_dir / "store").string())) {}
    VProfileStoreFactory& Factory() override { return m_factory; }

private:
    TempDir m_dir;
    VIniFileStoreFactory m_factory;
};

const std::string kBom = "\xEF\xBB\xBF";

ino_t Inode(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// One configuration folder F = <temp>/cfg, with helpers to reach its files.
class IniStoreTest : public testing::Test {
protected:
    fs::path Path(const std::string& relative) const { return m_dir / "cfg" / relative; }
    std::string Bytes(const std::string& relative) const { return ReadFileBytes(Path(relative)); }

    TempDir m_dir;
    VIniFileStoreFactory m_factory{VUnicodeString::FromUtf8((m_dir / "cfg").string())};
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Ini, ProfileStoreContract,
                         testing::Values(StoreBackendParam{
                             .name = "Ini",
                             .make = [] { return std::unique_ptr<StoreBackend>(new IniBackend); }}),
                         StoreBackendName);

// What a handle writes, byte for byte (tests/golden/profile/value-files-written.txt): the mark,
// CR LF, eight lower-case digits, 32 bytes to a binary line, string arrays after every other kind,
// rewrites in the places the file gave (a later duplicate put "a" back in its first place; case
// makes another value), and what followed damage dropped by the first real change.
TEST_F(IniStoreTest, WritesValueFilesExactly) {
    std::vector<uint8_t> bytes33(33);
    for (size_t i = 0; i < bytes33.size(); ++i) bytes33[i] = static_cast<uint8_t>(i * 8);
    const auto addDword = [](VProfileKey& key) { key.SetDword(u"D", 1); };
    const std::map<std::string, std::function<void(VProfileKey&)>> changes = {
        {"documented example",
         [](VProfileKey& key) {
             key.SetStringArray(u"Selected Termcap Entries", VStringArray{u"first", u"second"});
             key.SetDword(u"Port", 22);
             key.SetString(u"Hostname", u"server1");
         }},
        {"edge values",
         [&](VProfileKey& key) {
             key.SetDword(u"Max", 0xFFFFFFFFu);
             key.SetBinary(u"B33", bytes33.data(), 33);
             key.SetBinary(u"B0", nullptr, 0);
             key.SetString(u"Caf\u00e9", u"\u20ac 1");
             key.SetStringArray(u"Z", VStringArray{u"", u"x y", u""});
             key.SetStringArray(u"None", VStringArray{});
         }},
        {"security descriptors as their text form",
         [](VProfileKey& key) {
             EXPECT_FALSE(key.SetKeySecurity(VSecurityDescriptor()));
             key.SetSecurityDescriptor(u"SD",
                                       VSecurityDescriptor(std::vector<uint8_t>{0x10, 0xab}));
             key.SetStringArray(u"NotSD", VStringArray{u"plain"});
         }},
        {"rewrites keep file positions",
         [](VProfileKey& key) {
             key.DeleteValue(u"a");
             key.SetString(u"new", u"n");
             key.SetDword(u"a", 5);
         }},
        {"deleting everything leaves the mark",
         [](VProfileKey& key) {
             key.DeleteValue(u"a");
             key.DeleteValue(u"z");
         }},
        {"utf16 read, utf8 written", addDword},
        {"1252 read, utf8 written", addDword},
        {"damaged tail", [](VProfileKey& key) { key.SetString(u"Host", u"h2"); }},
    };
    int file = 0;
    ExpectCaseFile("profile/value-files-written.txt", [&](const std::vector<std::string>& fields) {
        const std::string name = "K" + std::to_string(file++);
        if (!fields[1].empty()) WriteFileBytes(Path(name + ".ini"), fields[1]);
        {
            VProfileStore store(&m_factory);
            VProfileKey key(store.GetRootKey(), VUnicodeString::FromUtf8(name));
            changes.at(fields[0])(key);
        }
        return Bytes(name + ".ini");
    });
    // Values live beside a key's folder, never inside it.
    EXPECT_FALSE(fs::exists(Path("K0")));

    // A descriptor reads back from its text; other arrays are no descriptor.
    VProfileStore store(true, &m_factory);
    VProfileKey key(store.GetRootKey(), u"K2");
    VSecurityDescriptor back;
    EXPECT_TRUE(key.QuerySecurityDescriptor(u"SD", back));
    EXPECT_EQ(back, VSecurityDescriptor(std::vector<uint8_t>{0x10, 0xab}));
    EXPECT_FALSE(key.QuerySecurityDescriptor(u"NotSD", back));
}

TEST_F(IniStoreTest, OnlyModifiedWritableHandlesRewrite) {
    // A file the program would write differently: no mark, LF line ends, upper-case digits and
    // a damaged tail.
    const std::string original =
        "D:\"Port\"=0000001F\nS:\"Host\"=h\n\n; comment\nD:\"Lost\"=00000001\n";
    WriteFileBytes(Path("K.ini"), original);
    const fs::file_time_type before = fs::last_write_time(Path("K.ini"));
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        uint32_t port = 0;
        EXPECT_TRUE(key.QueryDword(u"Port", port));
        VProfileKeyIterator values(key, true);
        VUnicodeString name;
        while (values.Next(name)) {
        }
        VProfileKey untouched(store.GetRootKey(), u"Untouched");
        EXPECT_FALSE(untouched.QueryDword(u"a", port));
    }
    {
        VProfileStore store(true, &m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_TRUE(key.SetDword(u"Port", 1));
        EXPECT_TRUE(key.DeleteValue(u"Host"));
    }
    EXPECT_EQ(Bytes("K.ini"), original);
    EXPECT_EQ(fs::last_write_time(Path("K.ini")), before);
    EXPECT_EQ(Paths(Path("")), "K.ini");
}

// A single question answered without the key's map must give the map's answer, whatever the
// file holds (tests/golden/profile/one-string-query.txt): each file is asked through a fresh key
// both ways.
TEST_F(IniStoreTest, OneStringQueryAnswersAsTheMapDoes) {
    int file = 0;
    ExpectCaseFile("profile/one-string-query.txt", [&](const std::vector<std::string>& fields) {
        const std::string key = "k" + std::to_string(file++);
        WriteFileBytes(Path(key + ".ini"), fields[1]);
        const VUnicodeString asked = VUnicodeString::FromUtf8(fields[2]);
        VProfileStore store(true, &m_factory);
        VProfileKey mapped(store.GetRootKey(), VUnicodeString::FromUtf8(key));
        VProfileKey alone(store.GetRootKey(), VUnicodeString::FromUtf8(key));
        VUnicodeString fromMap(u"unset"), fromFile(u"unset");
        const bool inMap = mapped.QueryString(asked.c_str(), fromMap);
        EXPECT_EQ(alone.QueryOneString(asked.c_str(), fromFile), inMap) << fields[0];
        EXPECT_EQ(fromFile, fromMap) << fields[0];
        return inMap ? fromMap.ToUtf8() : std::string("(none)");
    });
    // A handle that changed the value answers with its change, not the file's.
    WriteFileBytes(Path("changed.ini"), "S:\"P\"=file\r\n");
    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"changed");
    ASSERT_TRUE(key.SetString(u"P", u"set"));
    VUnicodeString value;
    ASSERT_TRUE(key.QueryOneString(u"P", value));
    EXPECT_EQ(value, VUnicodeString(u"set"));
    VProfileKey missing(store.GetRootKey(), u"missing");
    EXPECT_FALSE(missing.QueryOneString(u"P", value));
}

TEST_F(IniStoreTest, IsSessionIsAnsweredFromTheFileAlone) {
    WriteFileBytes(Path("S/Garbage.ini"), "\x01\x02 not a value file");
    fs::create_directories(Path("S/Folder.ini"));
    WriteFileBytes(Path("S/Real.ini"), "D:\"Is Session\"=00000000\r\n");
    VProfileStore store(true, &m_factory);
    const auto ask = [](VProfileKey& key, const char16_t* name) {
        uint32_t v = 7;
        return key.QueryDword(name, v) ? std::to_string(v) : std::string("-");
    };
    VProfileKey garbage(store.GetRootKey(), u"S\\Garbage");
    VProfileKey folder(store.GetRootKey(), u"S\\Folder");
    // The exact name only; asking another reads the file, and once read, the file answers.
    std::string answers = ask(garbage, u"Is Session");
    answers += ask(garbage, u"is session");
    answers += ask(garbage, u"Is Session");
    EXPECT_EQ(answers + ask(folder, u"Is Session"), "1---");
    // Values read ahead (as the walk over all sessions does) answer as values read for any
    // other reason.
    std::string prefetched;
    for (const char16_t* name : {u"S\\Missing", u"S\\Garbage", u"S\\Real"}) {
        VProfileKey key(store.GetRootKey(), name);
        key.Prefetch();
        prefetched += ask(key, u"Is Session");
    }
    EXPECT_EQ(prefetched, "--0");
    VProfileKey real(store.GetRootKey(), u"S\\Real");
    EXPECT_EQ(ask(real, u"Is Session"), "1");  // the shortcut wins over the stored 0
    // Keys opened while a listing of their folder lives take the listing's word for it.
    VProfileKey parent(store.GetRootKey(), u"S");
    VProfileKeyIterator listing(parent, false);
    VProfileKey listedReal(parent, u"Real"), listedFolder(parent, u"Folder");
    answers = ask(listedReal, u"Is Session");
    EXPECT_EQ(answers + ask(listedFolder, u"Is Session"), "1-");
}

TEST_F(IniStoreTest, SubKeysAreFoldersAndIniFilesListedOnce) {
    fs::create_directories(Path("P/Sub"));
    fs::create_directories(Path("P/Both"));
    for (const char* file : {"P/sub.ini", "P/Both.ini", "P/Upper.INI", "P/notes.txt", "P/.ini",
                             "P/ini", "P/both.Ini", "P/.hidden.ini"}) {
        WriteFileBytes(Path(file), "");
    }
    VProfileStore store(true, &m_factory);
    VProfileKey key(store.GetRootKey(), u"P");
    // "Upper.INI" and "both.Ini" are never read, so they are not listed either.
    EXPECT_EQ(SubKeyNames(key), (std::vector<std::u16string>{u".hidden", u"Both", u"Sub", u"sub"}));
    EXPECT_TRUE(key.SubKeyExists(u"sub"));
    EXPECT_FALSE(key.SubKeyExists(u"SUB"));
    EXPECT_FALSE(key.SubKeyExists(u"notes.txt"));  // a plain file is not a key

    VProfileKey hidden(key, u".hidden");
    EXPECT_TRUE(hidden.IsHidden(false));
    EXPECT_FALSE(hidden.IsHidden(true));  // no folder ".hidden"
    VProfileKey sub(key, u"Sub");
    EXPECT_FALSE(sub.IsHidden(true));
    VProfileKey notFolder(key, u"notes.txt");
    EXPECT_TRUE(SubKeyNames(notFolder).empty());
}

TEST_F(IniStoreTest, DeleteSubKeyRemovesTreeAndFileOnly) {
    WriteFileBytes(Path("P/K.ini"), "x");
    WriteFileBytes(Path("P/K/any.txt"), "x");
    WriteFileBytes(Path("P/K/deep/er.ini"), "x");
    WriteFileBytes(Path("P/Kept.ini"), "x");
    WriteFileBytes(Path("P/Plain"), "x");  // a file, not a key folder
    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"P");
    EXPECT_TRUE(key.DeleteSubKey(u"K"));
    EXPECT_TRUE(key.DeleteSubKey(u"Plain"));
    EXPECT_EQ(Paths(Path("P")), "Kept.ini Plain");
}

// New files are private whatever the umask; a rewrite replaces the file by rename and keeps its
// permissions; a read-only file is never replaced.
TEST_F(IniStoreTest, FilesArePrivateAndReplacedByRenameUnlessReadOnly) {
    const mode_t umask = ::umask(022);  // a usual umask would leave 0644/0755 for ordinary creation
    {
        VProfileStore store(&m_factory);
        EXPECT_TRUE(VProfileKey(store.GetRootKey(), u"A\\B\\C").SetString(u"Password", u"x"));
    }
    ::umask(umask);
    for (const char* path : {"", "A", "A/B"}) EXPECT_EQ(FileMode(Path(path)), 0700u) << path;
    EXPECT_EQ(FileMode(Path("A/B/C.ini")), 0600u);
    EXPECT_EQ(Paths(m_dir.path()), "cfg/ cfg/A/ cfg/A/B/ cfg/A/B/C.ini");

    WriteFileBytes(Path("K.ini"), "D:\"a\"=00000001\r\n");
    fs::permissions(Path("K.ini"), fs::perms(0640));
    WriteFileBytes(Path("R.ini"), "D:\"a\"=00000001\n");
    fs::permissions(Path("R.ini"), fs::perms::owner_read);
    const ino_t beforeK = Inode(Path("K.ini")), beforeR = Inode(Path("R.ini"));
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetDword(u"b", 2));
        VProfileKey readOnly(store.GetRootKey(), u"R");
        EXPECT_FALSE(readOnly.IsWritable());
        EXPECT_TRUE(readOnly.SetDword(u"a", 2));  // accepted in memory, dropped on close
        uint32_t v = 0;
        EXPECT_TRUE(readOnly.QueryDword(u"a", v));
        EXPECT_EQ(v, 2u);
    }
    EXPECT_EQ(Bytes("K.ini"), kBom + "D:\"a\"=00000001\r\nD:\"b\"=00000002\r\n");
    EXPECT_EQ(FileMode(Path("K.ini")), 0640u);
    EXPECT_NE(Inode(Path("K.ini")), beforeK);  // a new file took the old one's name
    EXPECT_EQ(Bytes("R.ini"), "D:\"a\"=00000001\n");
    EXPECT_EQ(Inode(Path("R.ini")), beforeR);
    EXPECT_EQ(FileMode(Path("R.ini")), 0400u);
    // No temporary file is left.
    EXPECT_EQ(Paths(Path("")), "A/ A/B/ A/B/C.ini K.ini R.ini");
}

TEST_F(IniStoreTest, NamesThatWouldLeaveTheStoreNameNoKey) {
    // Things a wrong path could reach: the folder above the store and a sibling.
    WriteFileBytes(m_dir / "outside.ini", "D:\"v\"=00000001\r\n");
    WriteFileBytes(Path("a/b.ini"), "D:\"v\"=00000001\r\n");
    fs::create_directories(Path("a/b"));
    const auto before = Snapshot(m_dir.path());

    VProfileStore store(&m_factory);
    VProfileKey& root = store.GetRootKey();
    for (const char16_t* name : {u"..", u"..\\outside", u"a\\..\\..\\outside", u"x/y", u"..\\cfg",
                                 u"", u".", u"a\\", u"\\a", u"a\\\\b", u"a\\.\\b", u"/tmp"}) {
        SCOPED_TRACE(VUnicodeString(name).ToUtf8());
        EXPECT_FALSE(VIniFileKey::IsValidSubKeyName(name));
        EXPECT_FALSE(root.SubKeyExists(name));
        EXPECT_FALSE(root.DeleteSubKey(name));
        VProfileKey key(root, name);
        uint32_t v = 0;
        EXPECT_FALSE(key.QueryDword(u"v", v));
        EXPECT_FALSE(key.SetDword(u"v", 2));
        EXPECT_FALSE(key.IsWritable());
        VProfileKey below(key, u"b");
        EXPECT_FALSE(below.SetDword(u"v", 2));
        VProfileKeyIterator it(key, false);
        VUnicodeString sub;
        EXPECT_FALSE(it.Next(sub));
    }
    // The same names one level down.
    VProfileKey a(root, u"a");
    EXPECT_FALSE(a.DeleteSubKey(u"..\\a"));
    EXPECT_FALSE(a.SubKeyExists(u"b\\..\\b"));
    EXPECT_TRUE(a.SubKeyExists(u"b"));
    EXPECT_EQ(Snapshot(m_dir.path()), before);
}

TEST_F(IniStoreTest, TextTheFormatCannotHoldIsRefused) {
    WriteFileBytes(Path("K.ini"), "S:\"s\"=old\r\n");
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        const uint8_t byte = 1;
        for (const char16_t* bad : {u"a\"b", u"a\rb", u"a\nb", u"\""}) {
            EXPECT_FALSE(key.SetDword(bad, 1));
            EXPECT_FALSE(key.SetString(bad, u"x"));
            EXPECT_FALSE(key.SetBinary(bad, &byte, 1));
            EXPECT_FALSE(key.SetStringArray(bad, VStringArray{u"x"}));
        }
        EXPECT_FALSE(key.SetString(u"s", u"line\r\nbreak"));
        EXPECT_FALSE(key.SetString(u"s", u"cr\r"));
        EXPECT_FALSE(key.SetStringArray(u"z", VStringArray{u"fine", u"l\nf"}));
        EXPECT_FALSE(key.SetBinary(u"b", nullptr, 3));
        // A refused setter leaves the old value alone.
        VUnicodeString value;
        EXPECT_TRUE(key.QueryString(u"s", value));
        EXPECT_EQ(value, VUnicodeString(u"old"));
        // Quotes and other text are fine inside values.
        EXPECT_TRUE(key.SetString(u"q", u"say \"hi\"\t"));
    }
    EXPECT_EQ(Bytes("K.ini"), kBom + "S:\"s\"=old\r\nS:\"q\"=say \"hi\"\t\r\n");
}

TEST_F(IniStoreTest, HandlesOnOneKeyKeepEachOthersChanges) {
    WriteFileBytes(Path("K.ini"),
                   kBom + "D:\"a\"=00000001\r\nD:\"b\"=00000001\r\nD:\"c\"=00000001\r\n");
    {
        VProfileStore store(&m_factory);
        VProfileKey first(store.GetRootKey(), u"K");
        VProfileKey second(store.GetRootKey(), u"K");
        uint32_t v = 0;
        ASSERT_TRUE(first.QueryDword(u"a", v));
        ASSERT_TRUE(second.QueryDword(u"a", v));
        first.SetDword(u"a", 2);
        first.DeleteValue(u"c");
        second.SetDword(u"a", 5);
        second.SetDword(u"b", 3);
        second.SetDword(u"d", 4);
        // `second` closes first; `first` then applies only its own changes.
    }
    EXPECT_EQ(Bytes("K.ini"),
              kBom + "D:\"a\"=00000002\r\nD:\"b\"=00000003\r\nD:\"d\"=00000004\r\n");

    // Another program rewrites the file in place (same inode) after a handle read it, or
    // creates it after a handle found none: neither edit is lost.
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        VProfileKey fresh(store.GetRootKey(), u"New");
        uint32_t v = 0;
        ASSERT_TRUE(key.QueryDword(u"a", v));
        ASSERT_FALSE(fresh.QueryDword(u"x", v));
        const ino_t inode = Inode(Path("K.ini"));
        WriteFileBytes(Path("K.ini"), kBom + "D:\"a\"=00000002\r\nS:\"e\"=by hand\r\n");
        ASSERT_EQ(Inode(Path("K.ini")), inode);
        WriteFileBytes(Path("New.ini"), kBom + "D:\"y\"=00000009\r\n");
        key.SetDword(u"b", 7);
        fresh.SetDword(u"x", 1);
    }
    EXPECT_EQ(Bytes("K.ini"), kBom + "D:\"a\"=00000002\r\nS:\"e\"=by hand\r\nD:\"b\"=00000007\r\n");
    EXPECT_EQ(Bytes("New.ini"), kBom + "D:\"y\"=00000009\r\nD:\"x\"=00000001\r\n");
}

// The key keeps where its last load stopped, so a host can say which values a damaged file
// lost; a load of the rewritten file says it was whole.
TEST_F(IniStoreTest, KeysKeepWhereReadingTheirValueFileStopped) {
    WriteFileBytes(Path("K.ini"),
                   kBom + "D:\"a\"=00000001\r\nB:\"b\"=00000002\r\n 01 zz\r\nD:\"c\"=00000003\r\n");
    const VIniParseResult damaged = m_factory.ReadLoadResult(u"K");
    EXPECT_EQ(damaged.stop, VIniStop::BinaryBadDigit);
    EXPECT_EQ(damaged.line, 2u);
    EXPECT_EQ(m_factory.ReadLoadResult(u"Missing").stop, VIniStop::EndOfFile);
    EXPECT_EQ(m_factory.ReadLoadResult(u"..").stop, VIniStop::EndOfFile);

    VIniFileKey root(VUnicodeString::FromUtf8((m_dir / "cfg").string()), false, nullptr);
    std::unique_ptr<VProfilePrivateKey> opened(root.OpenSubKey(u"K", nullptr));
    auto& key = dynamic_cast<VIniFileKey&>(*opened);
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword(u"a", v));
    EXPECT_EQ(key.GetLoadResult().line, 2u);
    EXPECT_TRUE(key.SetDword(u"d", 4));
    ASSERT_TRUE(key.Flush());
    EXPECT_TRUE(key.QueryDword(u"d", v));  // read again from the rewritten file
    EXPECT_EQ(key.GetLoadResult().stop, VIniStop::EndOfFile);
    EXPECT_EQ(key.GetLoadResult().line, 0u);
}
