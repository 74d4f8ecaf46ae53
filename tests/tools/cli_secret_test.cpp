// The sessiondeck host's secret commands, run as a real process: forms, round trips and refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

class CliSecret : public ::testing::Test {
protected:
    ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "secret");
        return RunProcess(SESSIONDECK_CLI_PATH, args, {"XDG_DATA_HOME=" + (dir / "data").string()});
    }
    // The single line a successful command prints.
    std::string Line(std::vector<std::string> args) {
        auto r = Run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n') << r.out;
        return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);
    }
    TempDir dir;
};

}  // namespace

TEST_F(CliSecret, EveryFormRoundTrips) {
    // The layout of each form is test_profile's; here: each form is chosen by --form, printed as
    // one line and read back by decode, which tells the form from the text.
    const std::string value = "pa ss\xC3\xA9";  // "pa ssé": all Windows-1252
    const std::string scrambled = Line({"encode", "--form", "scrambled", value});
    const std::string blowfish = Line({"encode", "--form", "blowfish", value});
    EXPECT_EQ(blowfish.rfind("u", 0), 0u) << blowfish;
    const std::string capi = Line({"encode", "--form", "capi", value});
    EXPECT_EQ(capi.rfind("CAPI:", 0), 0u) << capi;
    EXPECT_NE(scrambled, value);

    for (const std::string& stored : {scrambled, blowfish, capi})
        EXPECT_EQ(Line({"decode", stored}), value) << stored;
    EXPECT_EQ(Line({"decode", "00000000616263"}), "abc") << "a fixed scrambled text";
}

// Another user's key (here: another key folder) cannot read a data-protected text.
TEST_F(CliSecret, AnotherKeyCannotDecode) {
    const std::string capi = Line({"encode", "--form", "capi", "x"});
    auto other = RunProcess(SESSIONDECK_CLI_PATH, {"secret", "decode", capi},
                            {"XDG_DATA_HOME=" + (dir / "other").string()});
    EXPECT_EQ(other.status, 3);
    EXPECT_NE(other.err.find("data-protected"), std::string::npos) << other.err;
}
