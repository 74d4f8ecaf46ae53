// The INI backend on disk: exact value-file bytes, the folder layout, what it never touches, and
// its safety rules (atomic replacement, permissions, names that would leave the store).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <vector>

#include "platform/file_system.h"
#include "profile/ini_store_private.h"
#include "store_contract.h"
#include "support/temp_dir.h"

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

std::unique_ptr<StoreBackend> MakeIniBackend() {
    return std::make_unique<IniBackend>();
}

const std::string kBom = "\xEF\xBB\xBF";

// Every path below `root`, relative, so a test can say exactly what exists.
std::set<std::string> Tree(const fs::path& root) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.insert(fs::relative(entry.path(), root).string() + (entry.is_directory() ? "/" : ""));
    }
    return paths;
}

unsigned Mode(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFu;
}

ino_t Inode(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::vector<std::u16string> SubKeyNames(VProfileKey& key) {
    VProfileKeyIterator it(key, false);
    std::vector<std::u16string> names;
    VUnicodeString name;
    while (it.Next(name)) names.push_back(name.str());
    return names;
}

// One configuration folder F = <temp>/cfg, with helpers to reach its files.
class IniStoreTest : public testing::Test {
protected:
    VIniFileStoreFactory& Factory() { return m_factory; }
    fs::path Path(const std::string& relative) const { return m_dir / "cfg" / relative; }
    std::string Bytes(const std::string& relative) const { return ReadFileBytes(Path(relative)); }

    TempDir m_dir;
    VIniFileStoreFactory m_factory{VUnicodeString::FromUtf8((m_dir / "cfg").string())};
};
using IniSafetyTest = IniStoreTest;

}  // namespace

INSTANTIATE_TEST_SUITE_P(Ini, ProfileStoreContract,
                         testing::Values(StoreBackendParam{.name = "Ini", .make = MakeIniBackend}),
                         StoreBackendName);

TEST_F(IniStoreTest, WritesTheDocumentedExampleExactly) {
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"Sessions\\Default");
        // String arrays go after every other kind, whatever the order of setting.
        ASSERT_TRUE(
            key.SetStringArray(u"Selected Termcap Entries", VStringArray{u"first", u"second"}));
        ASSERT_TRUE(key.SetDword(u"Port", 22));
        ASSERT_TRUE(key.SetString(u"Hostname", u"server1"));
    }
    EXPECT_EQ(Bytes("Sessions/Default.ini"), kBom +
                                                 "D:\"Port\"=00000016\r\n"
                                                 "S:\"Hostname\"=server1\r\n"
                                                 "Z:\"Selected Termcap Entries\"=00000002\r\n"
                                                 " first\r\n"
                                                 " second\r\n");
    // Values live beside the key's folder, never inside it.
    EXPECT_EQ(Tree(m_dir / "cfg"), (std::set<std::string>{"Sessions/", "Sessions/Default.ini"}));
}

TEST_F(IniStoreTest, WritesEdgeValuesExactly) {
    std::vector<uint8_t> bytes33(33);
    for (size_t i = 0; i < bytes33.size(); ++i) bytes33[i] = static_cast<uint8_t>(i * 8);
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetDword(u"Max", 0xFFFFFFFFu));
        ASSERT_TRUE(key.SetBinary(u"B33", bytes33.data(), 33));
        ASSERT_TRUE(key.SetBinary(u"B0", nullptr, 0));
        ASSERT_TRUE(key.SetString(u"Caf\u00e9", u"\u20ac 1"));
        ASSERT_TRUE(key.SetStringArray(u"Z", VStringArray{u"", u"x y", u""}));
        ASSERT_TRUE(key.SetStringArray(u"None", VStringArray{}));
    }
    std::string line32 = "";
    for (size_t i = 0; i < 32; ++i) {
        static const char* hex = "0123456789abcdef";
        const uint8_t b = bytes33[i];
        line32 += std::string(" ") + hex[b >> 4] + hex[b & 15];
    }
    ASSERT_EQ(line32.size(), 96u);
    EXPECT_EQ(Bytes("K.ini"), kBom + "D:\"Max\"=ffffffff\r\n" + "B:\"B33\"=00000021\r\n" + line32 +
                                  "\r\n" + " 00\r\n" +  // 33rd byte: 32*8 wraps to 0
                                  "B:\"B0\"=00000000\r\n" + "S:\"Caf\xC3\xA9\"=\xE2\x82\xAC 1\r\n" +
                                  "Z:\"Z\"=00000003\r\n" + " \r\n x y\r\n \r\n" +
                                  "Z:\"None\"=00000000\r\n");
    VProfileStore store(true, &Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    VStringArray z;
    ASSERT_TRUE(key.QueryStringArray(u"Z", z));
    EXPECT_EQ(z, (VStringArray{u"", u"x y", u""}));
    std::vector<uint8_t> back(40);
    uint32_t size = 40;
    ASSERT_TRUE(key.QueryBinary(u"B33", back.data(), size));
    back.resize(size);
    EXPECT_EQ(back, bytes33);
}

TEST_F(IniStoreTest, RewritesKeepFilePositionsAndCaseMakesDifferentValues) {
    WriteFileBytes(Path("K.ini"),
                   "D:\"a\"=00000001\nS:\"b\"=two\nD:\"A\"=00000003\nD:\"a\"=0000000A\n");
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.DeleteValue(u"a"));
        ASSERT_TRUE(key.SetString(u"new", u"n"));
        ASSERT_TRUE(key.SetDword(u"a", 5));  // back in its first place, as a later duplicate put it
    }
    EXPECT_EQ(Bytes("K.ini"),
              kBom + "D:\"a\"=00000005\r\nS:\"b\"=two\r\nD:\"A\"=00000003\r\nS:\"new\"=n\r\n");
}

TEST_F(IniStoreTest, OnlyModifiedWritableHandlesRewrite) {
    // A file the program would write differently: no mark, LF line ends,
    // upper-case digits and a damaged tail.
    const std::string original =
        "D:\"Port\"=0000001F\nS:\"Host\"=h\n\n; comment\nD:\"Lost\"=00000001\n";
    WriteFileBytes(Path("K.ini"), original);
    const fs::file_time_type before = fs::last_write_time(Path("K.ini"));
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        uint32_t port = 0;
        EXPECT_TRUE(key.QueryDword(u"Port", port));
        EXPECT_EQ(port, 31u);
        VProfileKeyIterator values(key, true);
        VUnicodeString name;
        while (values.Next(name)) {
        }
    }
    {
        VProfileStore store(true, &Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_TRUE(key.SetDword(u"Port", 1));
        EXPECT_TRUE(key.DeleteValue(u"Host"));
    }
    EXPECT_EQ(Bytes("K.ini"), original);
    EXPECT_EQ(fs::last_write_time(Path("K.ini")), before);

    // The first real change drops what followed the damage.
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetString(u"Host", u"h2"));
    }
    EXPECT_EQ(Bytes("K.ini"), kBom + "D:\"Port\"=0000001f\r\nS:\"Host\"=h2\r\n");
}

TEST_F(IniStoreTest, DeletingEverythingLeavesJustTheMark) {
    WriteFileBytes(Path("K.ini"), kBom + "D:\"a\"=00000001\r\nZ:\"z\"=00000001\r\n x\r\n");
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.DeleteValue(u"a"));
        ASSERT_TRUE(key.DeleteValue(u"z"));
    }
    EXPECT_EQ(Bytes("K.ini"), kBom);
    // A handle that changed nothing leaves a missing file missing.
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"Untouched");
        uint32_t v = 0;
        EXPECT_FALSE(key.QueryDword(u"a", v));
    }
    EXPECT_FALSE(fs::exists(Path("Untouched.ini")));
}

TEST_F(IniStoreTest, RewritesUtf8WhateverTheEncodingRead) {
    // Reading each encoding is the parser's table; here, what a change writes back.
    std::string le = "\xFF\xFE";
    for (char16_t c : std::u16string_view(u"S:\"N\"=\u20ac\r\n")) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    const std::vector<std::pair<std::string, std::string>> files = {{"le", le},
                                                                    {"ansi", "S:\"N\"=\x80\r\n"}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        WriteFileBytes(Path(name + ".ini"), bytes);
        {
            VProfileStore store(&Factory());
            VProfileKey key(store.GetRootKey(), VUnicodeString::FromUtf8(name));
            VUnicodeString value;
            ASSERT_TRUE(key.QueryString(u"N", value));
            EXPECT_EQ(value, VUnicodeString(u"\u20ac"));
            ASSERT_TRUE(key.SetDword(u"D", 1));
        }
        EXPECT_EQ(Bytes(name + ".ini"), kBom + "S:\"N\"=\xE2\x82\xAC\r\nD:\"D\"=00000001\r\n");
    }
}

// A single question answered without the key's map must give the map's answer, whatever the
// file holds: each file is asked through a fresh key both ways.
TEST_F(IniStoreTest, OneStringQueryAnswersAsTheMapDoes) {
    std::string le = "\xFF\xFE";
    for (char16_t c : std::u16string_view(u"S:\"P\"=\u20ac\r\nS:\"n\u00e9\"=x\r\n")) {
        le += static_cast<char>(c & 0xFF);
        le += static_cast<char>(c >> 8);
    }
    const struct {
        const char* name;
        std::string bytes;
        const char16_t* asked;
    } files[] = {
        {"plain", "D:\"Is Session\"=00000001\r\nS:\"P\"=SSH2\r\nS:\"Q\"=x\r\n", u"P"},
        {"bom", kBom + "S:\"P\"=\xE2\x82\xAC\r\n", u"P"},
        {"ansi", "S:\"P\"=\x80\r\n", u"P"},
        {"utf16", le, u"P"},
        {"utf16 name", le, u"n\u00e9"},
        {"utf8 name", kBom + "S:\"n\xC3\xA9\"=y\r\n", u"n\u00e9"},
        {"later wins", "S:\"P\"=old\r\nS:\"P\"=new\r\n", u"P"},
        {"later is a number", "S:\"P\"=old\r\nD:\"P\"=00000001\r\n", u"P"},
        {"a number only", "D:\"P\"=00000001\r\n", u"P"},
        {"other case", "S:\"p\"=x\r\n", u"P"},
        {"after arrays", "Z:\"A\"=00000001\r\n S:\"P\"=not a value\r\nS:\"P\"=v\r\n", u"P"},
        {"damage after", "S:\"P\"=kept\r\ngarbage\r\nS:\"P\"=never read\r\n", u"P"},
        {"damage before", "garbage\r\nS:\"P\"=never read\r\n", u"P"},
        {"empty", "", u"P"},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string key = std::string("k") + std::to_string(&file - files);
        WriteFileBytes(Path(key + ".ini"), file.bytes);
        VProfileStore store(true, &Factory());
        VProfileKey mapped(store.GetRootKey(), VUnicodeString::FromUtf8(key));
        VProfileKey alone(store.GetRootKey(), VUnicodeString::FromUtf8(key));
        VUnicodeString fromMap(u"unset"), fromFile(u"unset");
        const bool inMap = mapped.QueryString(file.asked, fromMap);
        EXPECT_EQ(alone.QueryOneString(file.asked, fromFile), inMap);
        EXPECT_EQ(fromFile, fromMap);
    }
    // A handle that changed the value answers with its change, not the file's.
    WriteFileBytes(Path("changed.ini"), "S:\"P\"=file\r\n");
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"changed");
    ASSERT_TRUE(key.SetString(u"P", u"set"));
    VUnicodeString value;
    ASSERT_TRUE(key.QueryOneString(u"P", value));
    EXPECT_EQ(value, VUnicodeString(u"set"));
    // A missing file answers nothing.
    VProfileKey missing(store.GetRootKey(), u"missing");
    EXPECT_FALSE(missing.QueryOneString(u"P", value));
}

TEST_F(IniStoreTest, IsSessionIsAnsweredFromTheFileAlone) {
    WriteFileBytes(Path("S/Garbage.ini"), "\x01\x02 not a value file");
    fs::create_directories(Path("S/Folder.ini"));
    WriteFileBytes(Path("S/Real.ini"), "D:\"Is Session\"=00000000\r\n");
    VProfileStore store(true, &Factory());
    uint32_t v = 7;
    {
        VProfileKey key(store.GetRootKey(), u"S\\Garbage");
        EXPECT_TRUE(key.QueryDword(u"Is Session", v));
        EXPECT_EQ(v, 1u);
        v = 7;
        EXPECT_FALSE(key.QueryDword(u"is session", v));  // exact name only; this read the file
        EXPECT_FALSE(key.QueryDword(u"Is Session", v));  // and once read, the file answers
        EXPECT_EQ(v, 7u);
    }
    {
        VProfileKey key(store.GetRootKey(), u"S\\Folder");
        EXPECT_FALSE(key.QueryDword(u"Is Session", v));
        VProfileKey missing(store.GetRootKey(), u"S\\Missing");
        missing.Prefetch();
        EXPECT_FALSE(missing.QueryDword(u"Is Session", v));
        // Values read ahead (as the walk over all sessions does) answer as
        // values read for any other reason.
        VProfileKey garbage(store.GetRootKey(), u"S\\Garbage");
        garbage.Prefetch();
        EXPECT_FALSE(garbage.QueryDword(u"Is Session", v));
        VProfileKey real(store.GetRootKey(), u"S\\Real");
        real.Prefetch();
        EXPECT_TRUE(real.QueryDword(u"Is Session", v));
        EXPECT_EQ(v, 0u);
    }
    {
        VProfileKey key(store.GetRootKey(), u"S\\Real");
        EXPECT_TRUE(key.QueryDword(u"Is Session", v));
        EXPECT_EQ(v, 1u);  // the shortcut wins over the stored 0
    }
}

TEST_F(IniStoreTest, SubKeysAreFoldersAndIniFilesListedOnce) {
    fs::create_directories(Path("P/Sub"));
    fs::create_directories(Path("P/Both"));
    for (const char* file : {"P/sub.ini", "P/Both.ini", "P/Upper.INI", "P/notes.txt", "P/.ini",
                             "P/ini", "P/both.Ini", "P/.hidden.ini"}) {
        WriteFileBytes(Path(file), "");
    }
    VProfileStore store(true, &Factory());
    VProfileKey key(store.GetRootKey(), u"P");
    EXPECT_EQ(SubKeyNames(key), (std::vector<std::u16string>{u".hidden", u"Both", u"both", u"Sub",
                                                             u"sub", u"Upper"}));
    EXPECT_TRUE(key.SubKeyExists(u"Sub"));
    EXPECT_TRUE(key.SubKeyExists(u"sub"));
    EXPECT_FALSE(key.SubKeyExists(u"SUB"));
    EXPECT_FALSE(key.SubKeyExists(u"notes.txt"));  // a plain file is not a key

    VProfileKey hidden(key, u".hidden");
    EXPECT_TRUE(hidden.IsHidden(false));
    EXPECT_FALSE(hidden.IsHidden(true));  // no folder ".hidden"
    VProfileKey sub(key, u"Sub");
    EXPECT_FALSE(sub.IsHidden(true));

    // A folder that cannot be listed has no sub-keys.
    VProfileKey missing(store.GetRootKey(), u"Nowhere");
    EXPECT_TRUE(SubKeyNames(missing).empty());
    VProfileKey notFolder(key, u"notes.txt");
    EXPECT_TRUE(SubKeyNames(notFolder).empty());
}

TEST_F(IniStoreTest, DeleteSubKeyRemovesTreeAndFileOnly) {
    WriteFileBytes(Path("P/K.ini"), "x");
    WriteFileBytes(Path("P/K/any.txt"), "x");
    WriteFileBytes(Path("P/K/deep/er.ini"), "x");
    WriteFileBytes(Path("P/Kept.ini"), "x");
    WriteFileBytes(Path("P/Plain"), "x");  // a file, not a key folder
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"P");
    EXPECT_TRUE(key.DeleteSubKey(u"K"));
    EXPECT_TRUE(key.DeleteSubKey(u"Plain"));
    EXPECT_EQ(Tree(Path("P")), (std::set<std::string>{"Kept.ini", "Plain"}));

    VProfileStore readOnly(true, &Factory());
    VProfileKey readOnlyKey(readOnly.GetRootKey(), u"P");
    EXPECT_FALSE(readOnlyKey.DeleteSubKey(u"Kept"));
    EXPECT_TRUE(fs::exists(Path("P/Kept.ini")));
}

TEST_F(IniStoreTest, OpeningAndQueryingTouchNothing) {
    fs::create_directories(Path(""));
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"A\\B");
        uint32_t v = 0;
        EXPECT_FALSE(key.QueryDword(u"x", v));
        EXPECT_TRUE(key.IsWritable());
        VProfileKey child(key, u"C");
        EXPECT_TRUE(SubKeyNames(child).empty());
    }
    EXPECT_TRUE(Tree(Path("")).empty());
}

TEST_F(IniStoreTest, SecurityDescriptorsAreStoredAsTheirTextForm) {
    const VSecurityDescriptor descriptor(std::vector<uint8_t>{0x01, 0xab});
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.SetKeySecurity(descriptor));
        ASSERT_TRUE(key.SetSecurityDescriptor(u"SD", descriptor));
        ASSERT_TRUE(key.SetStringArray(u"NotSD", VStringArray{u"plain"}));
    }
    EXPECT_EQ(Bytes("K.ini"),
              kBom + "Z:\"SD\"=00000001\r\n SD:01ab\r\nZ:\"NotSD\"=00000001\r\n plain\r\n");
    VProfileStore store(true, &Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    VSecurityDescriptor back;
    EXPECT_TRUE(key.QuerySecurityDescriptor(u"SD", back));
    EXPECT_EQ(back, descriptor);
    EXPECT_FALSE(key.QuerySecurityDescriptor(u"NotSD", back));
}

namespace {

// Sets the umask for one test and puts the old one back.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

}  // namespace

TEST_F(IniSafetyTest, NewFilesAndFoldersArePrivate) {
    ScopedUmask mask(022);  // a usual umask would leave 0644/0755 for ordinary creation
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"A\\B\\C");
        ASSERT_TRUE(key.SetString(u"Password", u"encoded"));
    }
    EXPECT_EQ(Mode(Path("")), 0700u);
    EXPECT_EQ(Mode(Path("A")), 0700u);
    EXPECT_EQ(Mode(Path("A/B")), 0700u);
    EXPECT_EQ(Mode(Path("A/B/C.ini")), 0600u);
    EXPECT_EQ(Tree(m_dir.path()),
              (std::set<std::string>{"cfg/", "cfg/A/", "cfg/A/B/", "cfg/A/B/C.ini"}));
}

TEST_F(IniSafetyTest, RewritesReplaceByRenameAndKeepPermissions) {
    WriteFileBytes(Path("K.ini"), "D:\"a\"=00000001\r\n");
    fs::permissions(Path("K.ini"), fs::perms(0640));
    const ino_t before = Inode(Path("K.ini"));
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetDword(u"b", 2));
    }
    EXPECT_EQ(ReadFileBytes(Path("K.ini")),
              "\xEF\xBB\xBF"
              "D:\"a\"=00000001\r\nD:\"b\"=00000002\r\n");
    EXPECT_EQ(Mode(Path("K.ini")), 0640u);
    EXPECT_NE(Inode(Path("K.ini")), before);  // a new file took the old one's name
    EXPECT_EQ(Tree(Path("")), std::set<std::string>{"K.ini"});  // no temporary file left
}

TEST_F(IniSafetyTest, ReadOnlyValueFileIsNeverReplaced) {
    const std::string original = "D:\"a\"=00000001\n";
    WriteFileBytes(Path("K.ini"), original);
    fs::permissions(Path("K.ini"), fs::perms::owner_read);
    const ino_t before = Inode(Path("K.ini"));
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_TRUE(key.SetDword(u"a", 2));  // accepted in memory, dropped on close
        uint32_t v = 0;
        EXPECT_TRUE(key.QueryDword(u"a", v));
        EXPECT_EQ(v, 2u);
    }
    EXPECT_EQ(ReadFileBytes(Path("K.ini")), original);
    EXPECT_EQ(Inode(Path("K.ini")), before);
    EXPECT_EQ(Mode(Path("K.ini")), 0400u);
    EXPECT_EQ(Tree(Path("")), std::set<std::string>{"K.ini"});
}

TEST_F(IniSafetyTest, NamesThatWouldLeaveTheStoreNameNoKey) {
    // Things a wrong path could reach: the folder above the store and a sibling.
    WriteFileBytes(m_dir / "outside.ini", "D:\"v\"=00000001\r\n");
    WriteFileBytes(Path("a/b.ini"), "D:\"v\"=00000001\r\n");
    fs::create_directories(Path("a/b"));
    const std::set<std::string> before = Tree(m_dir.path());

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
    EXPECT_EQ(Tree(m_dir.path()), before);
}

TEST_F(IniSafetyTest, TextTheFormatCannotHoldIsRefused) {
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
        // Quotes and other text are fine inside values.
        EXPECT_TRUE(key.SetString(u"q", u"say \"hi\"\t"));
    }
    EXPECT_EQ(ReadFileBytes(Path("K.ini")),
              "\xEF\xBB\xBF"
              "S:\"q\"=say \"hi\"\t\r\n");

    // A refused setter leaves the old value and the file alone.
    WriteFileBytes(Path("L.ini"), "S:\"s\"=old\r\n");
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"L");
        EXPECT_FALSE(key.SetString(u"s", u"new\nline"));
        VUnicodeString value;
        EXPECT_TRUE(key.QueryString(u"s", value));
        EXPECT_EQ(value, VUnicodeString(u"old"));
    }
    EXPECT_EQ(ReadFileBytes(Path("L.ini")), "S:\"s\"=old\r\n");
}

TEST_F(IniSafetyTest, HandlesOnOneKeyKeepEachOthersChanges) {
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

    // Another program rewrites the file in place (same inode) after a handle
    // read it, or creates it after a handle found none: neither edit is lost.
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

TEST_F(IniSafetyTest, ValueFilesOverTheSizeLimitAreNeitherReadNorReplaced) {
    const std::string head = kBom + "D:\"a\"=00000001\r\n";
    WriteFileBytes(Path("K.ini"), head);
    fs::resize_file(Path("K.ini"), kMaxValueFileSize + 1);  // sparse
    const ino_t before = Inode(Path("K.ini"));
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.IsWritable());
        uint32_t v = 0;
        EXPECT_FALSE(key.QueryDword(u"a", v));
        EXPECT_EQ(key.GetReport().GetMessageId(), static_cast<uint32_t>(EFBIG));
        EXPECT_TRUE(key.SetDword(u"a", 2));  // kept in memory, never written
    }
    EXPECT_EQ(m_factory.ReadLoadResult(u"K").stop, VIniStop::FileTooLarge);
    EXPECT_EQ(fs::file_size(Path("K.ini")), kMaxValueFileSize + 1);
    EXPECT_EQ(Inode(Path("K.ini")), before);

    fs::resize_file(Path("K.ini"), kMaxValueFileSize);
    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"K");
    uint32_t v = 0;
    EXPECT_TRUE(key.QueryDword(u"a", v));
    EXPECT_EQ(v, 1u);
    // Read now; the zeros after the first value are no value header.
    const VIniParseResult read = m_factory.ReadLoadResult(u"K");
    EXPECT_EQ(read.stop, VIniStop::MalformedLine);
    EXPECT_EQ(read.line, 2u);
}

// The key keeps where its last load stopped, so a host can say which values
// a damaged file lost; a load of the rewritten file says it was whole.
TEST_F(IniSafetyTest, KeysKeepWhereReadingTheirValueFileStopped) {
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
