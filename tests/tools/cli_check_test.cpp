// `sessiondeck check` through the real executable: its lines, summary and exit status before and
// after a repair. What counts as a finding and how it is repaired is test_session's
// (store_check_test.cpp).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "support/cli_sandbox.h"

class CliCheck : public CliSandboxTest {};

TEST_F(CliCheck, ReportsRepairsAndLeavesWhatIsForAPerson) {
    const std::string clean = "0 findings, 0 repairable with --repair, 0 left for a person\n";
    Ok({"mkdir", "Servers"});
    Ok({"new", "top"});
    EXPECT_EQ(Ok({"check"}), clean) << "a store made by the library";

    std::string list = Ok({"store", "get", "Sessions\\__FolderData__", "Session List"});
    list.pop_back();  // the line end
    Ok({"store", "set", "Sessions\\__FolderData__", "Session List", "string", "ghost:" + list});
    const std::string ghost = "Sessions: \"Session List\" names 'ghost', which is not there\n";
    auto found = Run({"check"});
    EXPECT_EQ(found.status, 1);
    EXPECT_EQ(found.out, ghost + "1 finding, 1 repairable with --repair, 0 left for a person\n");
    EXPECT_EQ(Run({"check"}).out, found.out) << "a check without --repair changes nothing";
    EXPECT_EQ(Ok({"check", "--repair"}),
              ghost + "repaired: Sessions: order record rewritten: \"Session List\" " + list +
                  ", \"Folder List\" Servers\n1 finding, 1 repaired, 0 left for a person\n");
    EXPECT_EQ(Ok({"check"}), clean);

    // What only a person can mend keeps the exit status at 1, before and after a repair.
    const std::string pipe = (sessions() / "pipe.ini").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto left = Run({"check", "--repair"});
    EXPECT_EQ(left.status, 1);
    EXPECT_EQ(left.out, pipe + ": a FIFO; the store never opens it\nleft for a person: " + pipe +
                            ": remove it: a configuration folder holds only files and folders\n"
                            "1 finding, 0 repaired, 1 left for a person\n");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}
