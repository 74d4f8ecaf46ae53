// The desktop host, run as a real process: what it prints for /S, how it refuses bad arguments,
// and that it says so, with its own status, when there is no display for the dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/cli_config_test.h"

namespace {

class GuiHost : public CliConfigTest {
protected:
    void SetUp() override {
        Ok({"mkdir", "Servers"});
        Ok({"new", "Servers\\web1", "--protocol", "SSH2", "--host", "web1.example.net", "--user",
            "admin"});
        Ok({"new", "--url", "sftp://deploy@releases.example.net:2222/srv", "Servers\\releases"});
    }
    // The host with the fixture's folder, on no display at all. `toolkitStarts`: GTK keeps
    // process-lifetime allocations that a leak checker would report as the host's.
    ProcessResult Gui(std::vector<std::string> args, bool toolkitStarts = false) {
        args.insert(args.begin(), {"--config", (dir / "Config").string()});
        std::vector<std::string> env = {"XDG_DATA_HOME=" + (dir / "data").string(),
                                        "DISPLAY=", "WAYLAND_DISPLAY="};
        if (toolkitStarts) env.push_back("ASAN_OPTIONS=detect_leaks=0");
        return RunProcess(SESSIONDECK_GUI_PATH, args, env);
    }
};

}  // namespace

TEST_F(GuiHost, SessionArgumentPrintsTheSessionForTheHostSide) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"/S", "Servers\\web1"}, 0, "Servers\\web1\tSSH2\tweb1.example.net\t22\tadmin\n"},
        // The transfer host prints the transfer side of the same kind of line.
        {{"--transfer", "/S", "Servers\\releases"},
         0,
         "Servers\\releases\tSFTP\treleases.example.net\t2222\tdeploy\n"},
        {{"/S", "Servers\\missing"}, 1, ""},
        {{"/S", "Servers"}, 1, ""},  // a folder is not a session
        {{"/S"}, 2, ""},
        {{"--browse", "--browse-multi"}, 2, ""},
        {{"--no-such-option"}, 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult r = Gui(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (c.status != 0) {
            EXPECT_FALSE(r.err.empty());
        }
    }
}

TEST_F(GuiHost, WithoutADisplayTheDialogIsRefusedWithItsOwnStatus) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"--browse", "Servers"}, {"--browse-multi"}, {"--options"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ProcessResult r = Gui(args, true);
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("display"), std::string::npos) << r.err;
    }
}
