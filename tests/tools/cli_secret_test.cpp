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

bool IsHex(const std::string& text, bool upper) {
    return std::all_of(text.begin(), text.end(), [&](char c) {
        return (c >= '0' && c <= '9') || (upper ? (c >= 'A' && c <= 'F') : (c >= 'a' && c <= 'f'));
    });
}

}  // namespace

TEST_F(CliSecret, EveryFormRoundTrips) {
    // The layout of each form is test_profile's; here: each form is chosen by --form, printed as
    // one line and read back by decode, which tells the form from the text.
    const std::string value = "pa ss\xC3\xA9";  // "pa ssé": all Windows-1252
    const std::string scrambled = Line({"encode", "--form", "scrambled", value});
    EXPECT_TRUE(IsHex(scrambled, false)) << scrambled;
    const std::string blowfish = Line({"encode", "--form", "blowfish", value});
    EXPECT_EQ(blowfish.rfind("u", 0), 0u) << blowfish;
    const std::string capi = Line({"encode", "--form", "capi", value});
    EXPECT_EQ(capi.rfind("CAPI:", 0), 0u) << capi;
    EXPECT_TRUE(std::filesystem::exists(dir / "data/sessiondeck/protect.key"));

    for (const std::string& stored : {scrambled, blowfish, capi})
        EXPECT_EQ(Line({"decode", stored}), value) << stored;
    EXPECT_EQ(Line({"decode", "00000000616263"}), "abc") << "a fixed scrambled text";
}

TEST_F(CliSecret, UndecodableTextsAndBadUsage) {
    const std::string capi = Line({"encode", "--form", "capi", "x"});
    for (const std::string& text : {std::string("CAPI:00"), std::string("not hex at all"),
                                    std::string("u0011"), std::string("abc"), capi + "0"}) {
        auto r = Run({"decode", text});
        EXPECT_EQ(r.status, 3) << text;
        EXPECT_TRUE(r.out.empty()) << text;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }

    // Another user's key (here: another key folder) cannot read the text.
    auto other = RunProcess(SESSIONDECK_CLI_PATH, {"secret", "decode", capi},
                            {"XDG_DATA_HOME=" + (dir / "other").string()});
    EXPECT_EQ(other.status, 3);
    EXPECT_NE(other.err.find("data-protected"), std::string::npos) << other.err;

    // The scrambled form cannot carry text outside Windows-1252: refused, not garbled.
    auto wide = Run({"encode", "--form", "scrambled", "\xE2\x82\xAC\xE4\xB8\xAD"});  // "€中"
    EXPECT_EQ(wide.status, 3);
    EXPECT_TRUE(wide.out.empty());

    EXPECT_EQ(Run({"encode", "--form", "rot13", "x"}).status, 2);
    EXPECT_EQ(Run({"encode", "x"}).status, 2) << "--form is required";
    EXPECT_EQ(Run({"decode"}).status, 2);
    EXPECT_EQ(Run({}).status, 2);
}
