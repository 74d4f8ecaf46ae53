// The platform's small file and environment questions that the layers above ask instead of
// calling the system: regular files, entries that are links, a folder proven writable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

TEST(PlatformFiles, RegularFilesAndEntriesFollowOrKeepLinks) {
    TempDir dir;
    const fs::path file = dir.path() / "file.txt";
    std::ofstream(file) << "x";
    fs::create_directory(dir.path() / "folder");
    fs::create_symlink(file, dir.path() / "to-file");
    fs::create_symlink(dir.path() / "gone", dir.path() / "dangling");

    const struct {
        const char* name;
        bool regular;
        bool entry;
    } rows[] = {
        {"file.txt", true, true},  {"folder", false, true},   {"to-file", true, true},
        {"dangling", false, true}, {"missing", false, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(platform::IsRegularFile(dir.path() / row.name), row.regular) << row.name;
        EXPECT_EQ(platform::EntryExists(dir.path() / row.name), row.entry) << row.name;
    }
    EXPECT_FALSE(platform::IsRegularFile(""));
}

TEST(PlatformFiles, WritesFollowLinksAndSpecialFilesAreNotRead) {
    TempDir dir;
    const fs::path real = dir.path() / "real.ini", link = dir.path() / "link.ini";
    std::ofstream(real) << "old";
    fs::create_symlink(real, link);
    EXPECT_TRUE(platform::WriteFileAtomically(link, "new"));
    EXPECT_TRUE(fs::is_symlink(link));
    std::string bytes;
    EXPECT_TRUE(platform::ReadWholeFile(real, bytes));
    EXPECT_EQ(bytes, "new");

    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    bytes = "left";
    EXPECT_FALSE(platform::ReadWholeFile(dir.path() / "fifo", bytes));  // and does not hang
    EXPECT_TRUE(bytes.empty());

    EXPECT_TRUE(platform::RemoveFile(dir.path() / "never-was"));
    EXPECT_TRUE(platform::RemoveFolderTree(dir.path() / "never-was"));
    fs::create_directory(dir.path() / "folder");
    EXPECT_FALSE(platform::RemoveFile(dir.path() / "folder"));
    EXPECT_FALSE(platform::WriteFileAtomically(dir.path() / "no/such/folder.ini", "x"));
}

TEST(PlatformFiles, WritableFolderIsCreatedAndLeftEmpty) {
    TempDir dir;
    const fs::path nested = dir.path() / "a" / "b";
    EXPECT_EQ(platform::MakeWritableFolder(nested), 0);
    EXPECT_TRUE(fs::is_directory(nested));
    EXPECT_TRUE(fs::is_empty(nested)) << "the probe file was left behind";

    std::ofstream(dir.path() / "plain") << "x";
    EXPECT_NE(platform::MakeWritableFolder(dir.path() / "plain" / "sub"), 0);

    if (::geteuid() != 0) {  // root writes into any folder
        const fs::path locked = dir.path() / "locked";
        fs::create_directory(locked);
        fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(platform::MakeWritableFolder(locked), EACCES);
        fs::permissions(locked, fs::perms::owner_all);
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
