// sessiondeck-gui --edit as a process: what it refuses before any window opens, and that with no
// display it writes nothing and says why. Editing itself is driven on Xvfb in
// tests/ui/wx/session_options_gui_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_config_test.h"

namespace {

class GuiEdit : public CliConfigTest {
protected:
    void SetUp() override {
        Ok({"mkdir", "Servers"});
        Ok({"new", "Servers\\web1", "--protocol", "SSH2", "--host", "web1.example.net"});
    }
    ProcessResult Gui(std::vector<std::string> args) {
        args.insert(args.begin(), {"--config", (dir / "Config").string()});
        return RunProcess(SESSIONDECK_GUI_PATH, args,
                          {"XDG_DATA_HOME=" + (dir / "data").string(),
                           "DISPLAY=", "WAYLAND_DISPLAY=", "ASAN_OPTIONS=detect_leaks=0"});
    }
    std::string Stored() const {
        std::ifstream in(dir / "Config" / "Sessions" / "Servers" / "web1.ini");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(GuiEdit, RefusesWhatIsNotASessionAndWritesNothingWithoutADisplay) {
    const std::string before = Stored();
    ASSERT_FALSE(before.empty());
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;
    };
    const Case cases[] = {
        {{"--edit", "Servers\\missing"}, 1, "no session 'Servers\\missing'"},
        {{"--edit", "Servers"}, 1, "no session 'Servers'"},  // a folder
        {{"--edit", ""}, 1, "no session ''"},
        {{"--edit", "Servers\\web1", "/S", "Servers\\web1"}, 2, "--edit"},
        {{"--edit", "Servers\\web1", "--browse-multi"}, 2, "--edit"},
        {{"--edit", "Servers\\web1"}, 3, "display"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult r = Gui(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Stored(), before);
    // The option is in the help.
    EXPECT_NE(Gui({"--help"}).out.find("--edit"), std::string::npos);
}

}  // namespace
