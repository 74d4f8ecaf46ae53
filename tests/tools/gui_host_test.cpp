// The desktop host, run as a real process: what it prints for /S --print, the terminal it opens
// to connect, how it refuses bad arguments (--edit's among them), and that it says so, with its
// own status, when there is no display for the dialog. Editing itself is driven on Xvfb in
// tests/ui/wx/session_options_gui_test.cpp.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/cli_sandbox.h"

namespace {

class GuiHost : public CliSandboxTest {
protected:
    void SetUp() override {
        Ok({"mkdir", "Servers"});
        Ok({"new", "Servers\\web1", "--protocol", "SSH2", "--host", "web1.example.net", "--user",
            "admin"});
        Ok({"new", "--url", "sftp://deploy@releases.example.net:2222/srv", "Servers\\releases"});
    }
    // The host with the fixture's folder, on no display at all, and `env` added. GTK keeps
    // process-lifetime allocations that a leak checker would report as the host's.
    ProcessResult Gui(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
        env.insert(env.end(), {"XDG_DATA_HOME=" + (dir / "data").string(),
                               "DISPLAY=", "WAYLAND_DISPLAY=", "ASAN_OPTIONS=detect_leaks=0"});
        return RunProcess(SESSIONDECK_GUI_PATH, Args(args), env);
    }
};

}  // namespace

TEST_F(GuiHost, ArgumentsPrintTheSessionOrAreRefusedAndNoDisplayHasItsOwnStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Case cases[] = {
        {{"--print", "/S", "Servers\\web1"},
         0,
         "Servers\\web1\tSSH2\tweb1.example.net\t22\tadmin\n"},
        // The transfer host prints the transfer side of the same kind of line.
        {{"--print", "--transfer", "/S", "Servers\\releases"},
         0,
         "Servers\\releases\tSFTP\treleases.example.net\t2222\tdeploy\n"},
        {{"/S", "Servers\\missing"}, 1, ""},
        {{"/S", "Servers"}, 1, ""},  // a folder is not a session
        {{"/S"}, 2, ""},
        {{"--browse", "--browse-multi"}, 2, ""},
        {{"--no-such-option"}, 2, ""},
        // --edit takes a session and nothing else.
        {{"--edit", "Servers\\missing"}, 1, ""},
        {{"--edit", "Servers"}, 1, ""},
        {{"--edit", ""}, 1, ""},
        {{"--edit", "Servers\\web1", "/S", "Servers\\web1"}, 2, ""},
        {{"--edit", "Servers\\web1", "--browse-multi"}, 2, ""},
        // Without a display every dialog is refused with a status of its own.
        {{}, 3, ""},
        {{"--browse", "Servers"}, 3, ""},
        {{"--browse-multi"}, 3, ""},
        {{"--options"}, 3, ""},
        {{"--edit", "Servers\\web1"}, 3, ""},
    };
    const std::string stored = ReadFileBytes(dir / "Config/Sessions/Servers/web1.ini");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ProcessResult r = Gui(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
        EXPECT_EQ(r.err.find("display") != std::string::npos, c.status == 3) << r.err;
    }
    EXPECT_EQ(ReadFileBytes(dir / "Config/Sessions/Servers/web1.ini"), stored);
    EXPECT_NE(Gui({"--help"}).out.find("--edit"), std::string::npos);
}

TEST_F(GuiHost, ConnectOpensATerminalRunningTheCommandLineHostsConnect) {
    const std::string cli =
        std::filesystem::path(SESSIONDECK_GUI_PATH).parent_path().string() + "/sessiondeck";
    // Stand-in terminals that record their arguments, one per line: one without tabs, and
    // terminals known to have them, which get the session in a new tab.
    struct Case {
        std::string terminal;
        std::vector<std::string> args;  // after --config
        std::string before;             // the terminal's words before the command
        std::string command;
    };
    const Case cases[] = {
        {"xterm", {"/S", "Servers\\web1"}, "-e\n", "connect\nServers\\web1\n"},
        {"konsole",
         {"--transfer", "/S", "Servers\\releases"},
         "--new-tab\n-e\n",
         "connect\n--transfer\nServers\\releases\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.terminal);
        const std::filesystem::path record = dir / (c.terminal + "-args");
        const std::filesystem::path terminal = dir / c.terminal;
        WriteFileBytes(terminal, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" +
                                     record.string() + ".tmp\" && mv \"" + record.string() +
                                     ".tmp\" \"" + record.string() + "\"\n");
        std::filesystem::permissions(terminal, std::filesystem::perms::owner_all);
        const ProcessResult r = Gui(c.args, {"TERMINAL=" + terminal.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "");
        // The terminal is not waited for: give it a moment to write.
        for (int i = 0; i < 100 && !std::filesystem::exists(record); ++i) usleep(20000);
        EXPECT_EQ(ReadFileBytes(record),
                  c.before + cli + "\n--config\n" + config.string() + "\n" + c.command);
    }

    // No terminal at all: a clear message and a status of its own.
    const ProcessResult none =
        Gui({"/S", "Servers\\web1"}, {"TERMINAL=", "PATH=" + (dir / "empty").string()});
    EXPECT_EQ(none.status, 4);
    EXPECT_NE(none.err.find("no terminal"), std::string::npos) << none.err;
}
