// The platform's small file and environment questions that the layers above ask instead of
// calling the system: regular files, entries that are links, a folder proven writable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

TEST(PlatformFiles, RegularFilesAndEntriesFollowOrKeepLinks) {
    TempDir dir;
    WriteFileBytes(dir / "file.txt", "x");
    fs::create_directory(dir / "folder");
    fs::create_symlink(dir / "file.txt", dir / "to-file");
    fs::create_symlink(dir / "gone", dir / "dangling");
    // Each name: whether it is a regular file, whether there is an entry of that name.
    std::string answers;
    for (const char* name : {"file.txt", "folder", "to-file", "dangling", "missing"}) {
        answers += std::string(name) + (platform::IsRegularFile(dir / name) ? " R" : " -") +
                   (platform::EntryExists(dir / name) ? "E " : "- ");
    }
    EXPECT_EQ(answers, "file.txt RE folder -E to-file RE dangling -E missing -- ");
    EXPECT_FALSE(platform::IsRegularFile(""));
}

TEST(PlatformFiles, WritesFollowLinksAndSpecialFilesAreNotRead) {
    TempDir dir;
    WriteFileBytes(dir / "real.ini", "old");
    fs::create_symlink(dir / "real.ini", dir / "link.ini");
    EXPECT_TRUE(platform::WriteFileAtomically(dir / "link.ini", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(dir / "real.ini", bytes));
    EXPECT_EQ(bytes, "new");

    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    bytes = "left";
    EXPECT_FALSE(platform::ReadWholeFile(dir / "fifo", bytes));  // and does not hang
    EXPECT_TRUE(bytes.empty());

    EXPECT_TRUE(platform::RemoveFile(dir / "never-was"));
    EXPECT_TRUE(platform::RemoveFolderTree(dir / "never-was"));
    fs::create_directory(dir / "folder");
    EXPECT_FALSE(platform::RemoveFile(dir / "folder"));
    EXPECT_FALSE(platform::WriteFileAtomically(dir / "no/such/folder.ini", "x"));
}

TEST(PlatformFiles, WritableFolderIsCreatedAndLeftEmpty) {
    TempDir dir;
    EXPECT_EQ(platform::MakeWritableFolder(dir / "a" / "b"), 0);
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b"));
    EXPECT_TRUE(fs::is_empty(dir / "a" / "b")) << "the probe file was left behind";

    WriteFileBytes(dir / "plain", "x");
    EXPECT_NE(platform::MakeWritableFolder(dir / "plain" / "sub"), 0);

    if (::geteuid() != 0) {  // root writes into any folder
        fs::create_directory(dir / "locked");
        fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(platform::MakeWritableFolder(dir / "locked"), EACCES);
        fs::permissions(dir / "locked", fs::perms::owner_all);
    }
}

TEST(PlatformEnvironment, EmptyVariableCountsAsUnset) {
    ScopedEnv env("SESSIONDECK_TEST_VARIABLE", "");
    EXPECT_EQ(platform::NonEmptyEnvironmentVariable("SESSIONDECK_TEST_VARIABLE"), std::nullopt);
    env.Set("SESSIONDECK_TEST_VARIABLE", "/x");
    EXPECT_EQ(platform::NonEmptyEnvironmentVariable("SESSIONDECK_TEST_VARIABLE"), "/x");
    env.Unset("SESSIONDECK_TEST_VARIABLE");
    EXPECT_EQ(platform::NonEmptyEnvironmentVariable("SESSIONDECK_TEST_VARIABLE"), std::nullopt);
}
