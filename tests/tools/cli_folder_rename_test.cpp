// Renaming a folder with the sessiondeck host moves everything below it, files the store does not
// list included, or moves nothing and says why; a full disk never leaves a partial copy behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;
using sandbox::Snapshot;

class CliFolderRename : public CliSandboxTest {
protected:
    // Runs `rename F G`: G then holds exactly what F held and F is gone, or nothing moved and the
    // host said why. `mustSucceed` for a folder with nothing unusual in it.
    void ExpectWholeOrUntouched(bool mustSucceed) {
        const auto before = Snapshot(sessions() / "F", false);
        const ProcessResult result = Run({"rename", "F", "G"});
        EXPECT_TRUE(result.status == 0 || !mustSucceed) << result.err;
        const bool moved = result.status == 0;
        EXPECT_TRUE(moved || !result.err.empty()) << "a failed rename gives no reason";
        EXPECT_TRUE(sandbox::Same(before, Snapshot(sessions() / (moved ? "G" : "F"), false)))
            << (moved ? "G is not what F was" : "F was changed by a failed rename");
        EXPECT_FALSE(fs::exists(fs::symlink_status(sessions() / (moved ? "F" : "G"))))
            << (moved ? "F is still there" : "a failed rename left G behind");
        if (moved) {
            EXPECT_EQ(sandbox::Lines(Run({"ls"}).out), (std::vector<std::string>{"G\\"}));
        }
    }
};

TEST_F(CliFolderRename, CarriesEverythingBelowTheFolderOrNothing) {
    struct Case {
        const char* name;
        bool unusual;  // holds what the store itself does not list or read
    };
    for (const Case& c : {Case{"sessions and sub-folders", false},
                          Case{"unlisted, oversized and oddly named files", true}}) {
        SCOPED_TRACE(c.name);
        fs::remove_all(config);
        MakeSession("F/one", "one.example");
        MakeSession("F/two", "two.example", sandbox::DwordLine("Rows", 40));
        MakeSession("F/Sub/three", "three.example");
        MakeSession("F/Sub/Inner/four", "four.example");
        fs::create_directories(sessions() / "F" / "Empty");
        std::string deep = "F";
        for (int level = 0; level < 30; ++level) deep += "/L" + std::to_string(level);
        MakeSession(deep + "/deep", "deep.example");
        if (c.unusual) {
            WriteFileBytes(sessions() / "F" / "README", "not a session, but the user's\n");
            WriteFileBytes(sessions() / "F" / "Sub" / "notes.txt", "more of the user's notes\n");
            // A name that is not UTF-8 (Latin-1 "café").
            WriteFileBytes(sessions() / "F" / "caf\xE9.ini", sandbox::SessionFile("latin1"));
            // A value file over the store's 16 MiB limit: sparse, a sound head and then zeros.
            const fs::path huge = sessions() / "F" / "Huge.ini";
            WriteFileBytes(huge, sandbox::SessionFile("huge.example"));
            fs::resize_file(huge, 17u * 1024 * 1024);
        }
        ASSERT_EQ(Run({"ls", "-r"}).status, 0);  // the order records as a host leaves them
        ExpectWholeOrUntouched(!c.unusual);
    }
}

// The copy-then-remove way needs room for a second copy; on a disk without it the rename must
// fail whole or not need the room at all. Each fill level stops a copy at another point.
TEST_F(CliFolderRename, NearlyFullDiskNeverLeavesAPartialFolder) {
    sandbox::SmallTmpfs disk(dir / "disk", 1024);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    config = dir / "disk" / "Config";
    for (const uint64_t freeBytes : {0u, 8192u, 32768u, 131072u, 262144u}) {
        SCOPED_TRACE("free bytes " + std::to_string(freeBytes));
        for (const fs::directory_entry& entry : fs::directory_iterator(dir / "disk"))
            fs::remove_all(entry.path());
        // About 200 KiB of sessions, a page each, in two levels.
        const std::string padding(3000, 'p');
        for (int i = 0; i < 40; ++i)
            MakeSession("F/s" + std::to_string(i), "host" + std::to_string(i) + padding);
        for (int i = 0; i < 10; ++i)
            MakeSession("F/Sub/t" + std::to_string(i), "sub" + std::to_string(i) + padding);
        ASSERT_EQ(Run({"ls", "-r"}).status, 0);
        disk.Fill(freeBytes);
        ExpectWholeOrUntouched(false);
    }
}

}  // namespace
