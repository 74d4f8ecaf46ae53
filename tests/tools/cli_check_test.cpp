// `sessiondeck check` through the real executable: a store made by the library checks clean, a
// damaged one is reported line by line, repaired, and checked again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/cli_config_test.h"

namespace fs = std::filesystem;

namespace {

class CliCheck : public CliConfigTest {
protected:
    fs::path Sessions() const { return dir / "Config" / "Sessions"; }
};

}  // namespace

TEST_F(CliCheck, AStoreMadeByTheLibraryChecksClean) {
    Ok({"mkdir", "Servers"});
    Ok({"new", "Servers\\web"});
    Ok({"new", "top"});
    auto r = Run({"check"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "0 findings, 0 repairable with --repair, 0 left for a person\n");
}

TEST_F(CliCheck, ReportsRepairsAndLeavesWhatIsForAPerson) {
    Ok({"mkdir", "Servers"});
    Ok({"new", "top"});
    std::string list = Ok({"store", "get", "Sessions\\__FolderData__", "Session List"});
    ASSERT_FALSE(list.empty());
    list.pop_back();  // the line end
    Ok({"store", "set", "Sessions\\__FolderData__", "Session List", "string", "ghost:" + list});
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string temp = ".top.ini~" + std::to_string(child) + "~abcdef";
    WriteFileBytes(Sessions() / temp, "half");
    const std::string tempPath = (Sessions() / temp).string();

    auto found = Run({"check"});
    EXPECT_EQ(found.status, 1);
    EXPECT_EQ(found.out, tempPath +
                             ": a temporary file of an interrupted save, written by process " +
                             std::to_string(child) +
                             ", which has ended\n"
                             "Sessions: \"Session List\" names 'ghost', which is not there\n"
                             "2 findings, 2 repairable with --repair, 0 left for a person\n");
    EXPECT_TRUE(fs::exists(Sessions() / temp)) << "a check without --repair changes nothing";

    auto repaired = Run({"check", "--repair"});
    EXPECT_EQ(repaired.status, 0) << repaired.out << repaired.err;
    EXPECT_NE(repaired.out.find("repaired: " + tempPath + ": removed"), std::string::npos)
        << repaired.out;
    EXPECT_NE(repaired.out.find("repaired: Sessions: order record rewritten: \"Session List\" " +
                                list + ", \"Folder List\" Servers\n"),
              std::string::npos)
        << repaired.out;
    EXPECT_NE(repaired.out.find("2 findings, 2 repaired, 0 left for a person\n"),
              std::string::npos);
    EXPECT_EQ(Ok({"check"}), "0 findings, 0 repairable with --repair, 0 left for a person\n");

    // What only a person can mend keeps the exit status at 1, before and after a repair.
    ASSERT_EQ(::mkfifo((Sessions() / "pipe.ini").c_str(), 0600), 0);
    const std::string pipe = (Sessions() / "pipe.ini").string();
    const std::string expected = pipe +
                                 ": a FIFO; the store never opens it\nleft for a person: " + pipe +
                                 ": remove it: a configuration folder holds only files and "
                                 "folders\n";
    auto left = Run({"check", "--repair"});
    EXPECT_EQ(left.status, 1);
    EXPECT_EQ(left.out, expected + "1 finding, 0 repaired, 1 left for a person\n");
    EXPECT_TRUE(fs::is_fifo(Sessions() / "pipe.ini"));
    EXPECT_TRUE(fs::is_regular_file(Sessions() / "top.ini"));
}
