// The sessiondeck host given hostile names and hostile files: every one gets a clear refusal or
// report, nothing is written outside the configuration folder, and memory stays bounded.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

// Every place the host may write (home, configuration and data folders) is inside the sandbox,
// so the sandbox shows anything written anywhere.
class CliHostileInput : public CliSandboxTest {};

TEST_F(CliHostileInput, HostileNamesAreRefusedAndWriteNothing) {
    Ok({"mkdir", "Folder"});
    Ok({"new", "Folder\\Kept"});
    const auto before = sandbox::Snapshot(dir.path());
    const std::string longName(300, 'n');
    std::string longWide;
    for (int i = 0; i < 100; ++i) longWide += "\xE2\x82\xAC";  // 300 bytes in UTF-8
    // Which names are refused is the library's rule; these are one of each kind: a path step, a
    // separator, a device name, a character of the list, a control character, too long.
    const std::vector<std::string> names = {"..",  "../escape", "..\\..\\x", "nul",
                                            "a|b", "a\nb",      longName,    longWide};
    for (const std::string& name : names) {
        SCOPED_TRACE("name '" + name + "'");
        for (const std::vector<std::string>& command :
             std::vector<std::vector<std::string>>{{"new", name},
                                                   {"mkdir", name},
                                                   {"new", "Folder\\" + name},
                                                   {"rename", "Folder\\Kept", name}}) {
            const ProcessResult result = Run(command);
            // A name holding "\\" is a path whose folders are not there (1);
            // every other name is refused as a name (3). rename takes a name,
            // never a path, so it refuses them all.
            const bool pathToNowhere =
                command[0] != "rename" && name.find('\\') != std::string::npos;
            EXPECT_EQ(result.status, pathToNowhere ? 1 : 3) << command[0];
            EXPECT_FALSE(result.err.empty()) << command[0] << ": no reason given";
        }
        const ProcessResult shown = Run({"show", name});
        EXPECT_EQ(shown.status, 1);
        EXPECT_FALSE(shown.err.empty());
    }
    EXPECT_TRUE(sandbox::Same(before, sandbox::Snapshot(dir.path())));
    EXPECT_EQ(Run({"ls", "-r"}).out, "Folder\\\nFolder\\Kept\nDefault\n");
}

// The largest resident size of any child process waited for so far, in kB.
long ChildrenMaxRss() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

TEST_F(CliHostileInput, HugeAndGarbageValueFilesAreReportedAndNeverOverwritten) {
    Ok({"new", "Small"});
    Ok({"ls"});
    const long baseline = ChildrenMaxRss();

    // 100 MB, sparse: a valid first value and then zeros.
    const fs::path huge = config / "Sessions" / "Huge.ini";
    const std::string head = sandbox::SessionFile("huge.example");
    WriteFileBytes(huge, head);
    fs::resize_file(huge, 100u * 1024 * 1024);
    // 1 MB of random bytes, and an order record of random bytes.
    std::mt19937 random(7);
    std::string garbage(1024 * 1024, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    WriteFileBytes(config / "Sessions" / "Junk.ini", garbage);
    WriteFileBytes(config / "Sessions" / "__FolderData__.ini", garbage.substr(0, 4096));

    EXPECT_EQ(Ok({"ls"}), "Default\nHuge\nJunk\nSmall\n");
    const ProcessResult shown = Run({"show", "Huge"}), set = Run({"set", "Huge", "Rows", "5"});
    EXPECT_EQ(shown.status, 0);
    EXPECT_THAT(shown.err, HasSubstr("too large"));
    EXPECT_EQ(set.status, 3);
    EXPECT_THAT(set.err, HasSubstr("Huge"));
    EXPECT_EQ(fs::file_size(huge), 100u * 1024 * 1024);
    std::string kept(head.size(), '\0');
    std::ifstream(huge, std::ios::binary).read(kept.data(), static_cast<long>(kept.size()));
    EXPECT_EQ(kept, head);
    // Reading the huge file would have taken 100 MB more than the small commands did.
    EXPECT_LT(ChildrenMaxRss() - baseline, 32 * 1024);

    // A garbage file holds no values: the session loads with its defaults and
    // a save writes a sound file.
    Ok({"show", "Junk"});
    Ok({"set", "Junk", "Idle String", "repaired"});
    EXPECT_THAT(Ok({"show", "Junk"}), HasSubstr("Idle String=repaired"));
}

// A damaged value file loads up to the damage; show says where the rest was lost (where a file
// counts as damaged is the INI store's rule), and says nothing for a whole file.
TEST_F(CliHostileInput, ShowWarnsWhereAValueFileIsDamaged) {
    Ok({"new", "Whole"});
    Ok({"mkdir", "Folder"});
    WriteFileBytes(config / "Sessions" / "Folder" / "Cut.ini",
                   "\xEF\xBB\xBF"
                   "D:\"Is Session\"=00000001\r\nS:\"Hostname\"=kept.example\r\n"
                   "B:\"Blob\"=00000004\r\n 01 02\r\n");
    const ProcessResult shown = Run({"show", "Folder\\Cut"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(
        shown.err,
        "warning: session 'Folder\\Cut': value file damaged at line 3 (the file ends inside a "
        "binary value); values from there on were not read\n");
    // The values before the damage are shown as read.
    EXPECT_THAT(shown.out, HasSubstr("Hostname=kept.example\n"));
    EXPECT_EQ(Run({"show", "Whole"}).err, "");
}

}  // namespace
