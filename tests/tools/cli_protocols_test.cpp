// `sessiondeck protocols`: the modules found beside the executable, loaded as a host of a product.
#include <gtest/gtest.h>

#include "support/run_process.h"
#include "support/temp_dir.h"

TEST(CliProtocols, LoadsTheBuiltModulesPerProductAndReportsAnEmptyFolder) {
    TempDir config;
    const std::string base = "--config=" + config.path().string();
    ProcessResult terminal = RunProcess(SESSIONDECK_CLI_PATH, {base, "protocols"});
    EXPECT_EQ(terminal.status, 0) << terminal.err;
    EXPECT_NE(terminal.out.find("0\tSSH2\t3\t"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("\tSFTP\t6\t"), std::string::npos);
    EXPECT_NE(terminal.out.find("\tNone\t6\t"), std::string::npos);
    EXPECT_EQ(terminal.out.find("SSH1"), std::string::npos);  // no SSH1.enable

    ProcessResult ssh2Only =
        RunProcess(SESSIONDECK_CLI_PATH, {base, "protocols", "--product", "7"});
    EXPECT_EQ(ssh2Only.status, 0);
    EXPECT_NE(ssh2Only.out.find("0\tSSH2\t7\t"), std::string::npos) << ssh2Only.out;
    EXPECT_EQ(ssh2Only.out.find("\n1\t"), std::string::npos);

    TempDir empty;
    ProcessResult none =
        RunProcess(SESSIONDECK_CLI_PATH, {base, "protocols", "--folder", empty.path().string()});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("Unable to load any connection protocol DLLs from:"), std::string::npos)
        << none.out;
}
