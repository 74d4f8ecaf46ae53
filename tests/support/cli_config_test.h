// A test fixture that runs the sessiondeck host as a real process over a fresh configuration folder
// of its own (and a data folder of its own, so no user's data-protection key is touched).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

class CliConfigTest : public ::testing::Test {
protected:
    ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", (dir / "Config").string()});
        return RunProcess(SESSIONDECK_CLI_PATH, args, {"XDG_DATA_HOME=" + (dir / "data").string()});
    }
    // The output of a command that must succeed.
    std::string Ok(std::vector<std::string> args) {
        auto r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    TempDir dir;
};
