// Batched replacement of value files: nothing shows before the commit, everything whole after it,
// and the rules of single replacements (read-only files, permissions) still hold.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/file_system.h"
#include "platform/write_batch.h"
#include "profile/ini_store.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

TEST(WriteBatch, ReplacesOnlyAtCommitAndKeepsTheSingleWriteRules) {
    TempDir dir;
    WriteFileBytes(dir / "a.ini", "old a");
    fs::permissions(dir / "a.ini", fs::perms(0640));
    WriteFileBytes(dir / "locked.ini", "locked");
    fs::permissions(dir / "locked.ini", fs::perms(0440));
    {
        platform::WriteBatch batch;
        EXPECT_TRUE(platform::WriteFileAtomically(dir / "a.ini", "new a"));
        EXPECT_TRUE(platform::WriteFileAtomically(dir / "b.ini", "first b"));
        EXPECT_TRUE(platform::WriteFileAtomically(dir / "b.ini", "second b"));
        EXPECT_FALSE(platform::WriteFileAtomically(dir / "locked.ini", "changed"));
        {
            // A batch opened inside another joins it: its end commits nothing.
            platform::WriteBatch inner;
            EXPECT_TRUE(platform::WriteFileAtomically(dir / "c.ini", "c"));
        }
        EXPECT_EQ(ReadFileBytes(dir / "a.ini"), "old a");
        EXPECT_FALSE(fs::exists(dir / "b.ini"));
        EXPECT_FALSE(fs::exists(dir / "c.ini"));
        EXPECT_TRUE(batch.Commit());
        EXPECT_EQ(ReadFileBytes(dir / "a.ini"), "new a");
        // The later of two writes to one file wins.
        EXPECT_EQ(ReadFileBytes(dir / "b.ini"), "second b");
        EXPECT_TRUE(platform::WriteFileAtomically(dir / "d.ini", "d"));
        EXPECT_FALSE(fs::exists(dir / "d.ini"));
    }
    // The end of the batch commits what came after the explicit commit.
    EXPECT_EQ(ReadFileBytes(dir / "d.ini"), "d");
    EXPECT_EQ(ReadFileBytes(dir / "c.ini"), "c");
    EXPECT_EQ(ReadFileBytes(dir / "locked.ini"), "locked");
    EXPECT_EQ(fs::status(dir / "a.ini").permissions() & fs::perms::all, fs::perms(0640));
    // No temporary file is left behind.
    EXPECT_EQ(Paths(dir.path()), "a.ini b.ini c.ini d.ini locked.ini");
    // Without a batch, a write is on disk at once again.
    EXPECT_TRUE(platform::WriteFileAtomically(dir / "e.ini", "e"));
    EXPECT_EQ(ReadFileBytes(dir / "e.ini"), "e");
}

TEST(WriteBatch, KeysClosedInABatchWriteTheirFilesAtItsEnd) {
    TempDir dir;
    VIniFileStoreFactory factory(VUnicodeString::FromUtf8((dir / "store").string()));
    {
        platform::WriteBatch batch;
        VProfileStore store(&factory);
        for (const char16_t* name : {u"Sessions\\One", u"Sessions\\Group\\Two"}) {
            VProfileKey key(store.GetRootKey(), name);
            EXPECT_TRUE(key.SetDword(u"Port", 22));
        }
        // A key's first write creates its folders, even inside a batch.
        EXPECT_TRUE(fs::is_directory(dir / "store/Sessions/Group"));
        EXPECT_FALSE(fs::exists(dir / "store/Sessions/Group/Two.ini"));
    }
    for (const char* file : {"store/Sessions/One.ini", "store/Sessions/Group/Two.ini"})
        EXPECT_EQ(ReadFileBytes(dir / file),
                  "\xEF\xBB\xBF"
                  "D:\"Port\"=00000016\r\n")
            << file;
}

}  // namespace
