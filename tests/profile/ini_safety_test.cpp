// The INI backend's safety rules: atomic replacement, permissions, names that would leave the
// store, unwritable text.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/file_system.h"
#include "profile/ini_store.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

std::set<std::string> Tree(const fs::path& root) {
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        paths.insert(fs::relative(entry.path(), root).string());
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

// Sets the umask for one test and puts the old one back.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

class IniSafetyTest : public testing::Test {
protected:
    fs::path Path(const std::string& relative) const { return m_dir / "cfg" / relative; }

    TempDir m_dir;
    VIniFileStoreFactory m_factory{VUnicodeString::FromUtf8((m_dir / "cfg").string())};
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
              (std::set<std::string>{"cfg", "cfg/A", "cfg/A/B", "cfg/A/B/C.ini"}));
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

TEST_F(IniSafetyTest, FileCallsStayOnTheirSideOfLinksAndSpecialFiles) {
    const fs::path real = m_dir / "real.ini", link = m_dir / "link.ini";
    WriteFileBytes(real, "old");
    fs::create_symlink(real, link);
    EXPECT_TRUE(platform::WriteFileAtomically(link, "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "new");

    // Removing a key folder that is a link removes the link, not what it points at.
    WriteFileBytes(m_dir / "elsewhere/keep.ini", "x");
    fs::create_directories(Path("P"));
    fs::create_directory_symlink(m_dir / "elsewhere", Path("P/Linked"));
    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"P");
    EXPECT_TRUE(key.DeleteSubKey(u"Linked"));
    EXPECT_FALSE(fs::exists(Path("P/Linked")));
    EXPECT_TRUE(fs::exists(m_dir / "elsewhere/keep.ini"));

    // A FIFO where a value file belongs is not read (and does not hang).
    ASSERT_EQ(::mkfifo(Path("Fifo.ini").c_str(), 0600), 0);
    std::string bytes = "left";
    EXPECT_FALSE(platform::ReadWholeFile(Path("Fifo.ini"), bytes));
    EXPECT_TRUE(bytes.empty());
    VProfileKey fifoKey(store.GetRootKey(), u"Fifo");
    uint32_t v = 0;
    EXPECT_FALSE(fifoKey.QueryDword(u"v", v));

    EXPECT_TRUE(platform::RemoveFile(m_dir / "never-was"));
    EXPECT_TRUE(platform::RemoveFolderTree(m_dir / "never-was"));
    EXPECT_FALSE(platform::RemoveFile(m_dir / "elsewhere"));
    EXPECT_FALSE(platform::WriteFileAtomically(m_dir / "no/such/folder.ini", "x"));
}
