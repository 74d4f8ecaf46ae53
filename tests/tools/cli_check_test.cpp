// `sessiondeck check` through the real executable: a store made by the library checks clean, a
// damaged one is reported line by line, repaired, and checked again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/cli_sandbox.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class CliCheck : public CliSandboxTest {};

TEST_F(CliCheck, ReportsRepairsAndLeavesWhatIsForAPerson) {
    const std::string clean = "0 findings, 0 repairable with --repair, 0 left for a person\n";
    Ok({"mkdir", "Servers"});
    Ok({"new", "Servers\\web"});
    Ok({"new", "top"});
    EXPECT_EQ(Ok({"check"}), clean) << "a store made by the library";

    std::string list = Ok({"store", "get", "Sessions\\__FolderData__", "Session List"});
    ASSERT_FALSE(list.empty());
    list.pop_back();  // the line end
    Ok({"store", "set", "Sessions\\__FolderData__", "Session List", "string", "ghost:" + list});
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string temp =
        (sessions() / (".top.ini~" + std::to_string(child) + "~abcdef")).string();
    WriteFileBytes(temp, "half");

    auto found = Run({"check"});
    EXPECT_EQ(found.status, 1);
    EXPECT_EQ(found.out, temp + ": a temporary file of an interrupted save, written by process " +
                             std::to_string(child) +
                             ", which has ended\n"
                             "Sessions: \"Session List\" names 'ghost', which is not there\n"
                             "2 findings, 2 repairable with --repair, 0 left for a person\n");
    EXPECT_TRUE(fs::exists(temp)) << "a check without --repair changes nothing";

    const std::string repaired = Ok({"check", "--repair"});
    EXPECT_THAT(repaired, HasSubstr("repaired: " + temp + ": removed"));
    EXPECT_THAT(repaired,
                HasSubstr("repaired: Sessions: order record rewritten: \"Session List\" " + list +
                          ", \"Folder List\" Servers\n"));
    EXPECT_THAT(repaired, HasSubstr("2 findings, 2 repaired, 0 left for a person\n"));
    EXPECT_EQ(Ok({"check"}), clean);

    // What only a person can mend keeps the exit status at 1, before and after a repair.
    const std::string pipe = (sessions() / "pipe.ini").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto left = Run({"check", "--repair"});
    EXPECT_EQ(left.status, 1);
    EXPECT_EQ(left.out, pipe + ": a FIFO; the store never opens it\nleft for a person: " + pipe +
                            ": remove it: a configuration folder holds only files and folders\n"
                            "1 finding, 0 repaired, 1 left for a person\n");
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_TRUE(fs::is_regular_file(sessions() / "top.ini"));
}
