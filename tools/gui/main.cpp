// sessiondeck-gui: a desktop host that shows the session manager and prints what the user
// chose, so that it serves people and scripts alike. It settles its configuration folder and
// loads the protocol modules as the command-line host does.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/global_config.h"
#include "app/init.h"
#include "data/file_types.h"
#include "session/connect_config.h"
#include "session/firewall_store.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "tools/cli/cli_common.h"
#include "tools/cli/client_table.h"
#include "tools/cli/protocol_loading.h"
#include "ui/wx/host_dialogs.h"
#include "ui/wx/session_deck_ui.h"

using namespace sessiondeck;

namespace {

enum GuiExit : int { kChosen = 0, kClosed = 1, kUsage = 2, kNoDisplay = 3, kNoTerminal = 4 };

bool g_transferHost = false;

// One line per session: PATH, PROTOCOL, HOST, PORT and USER separated by tabs. The side is the
// one this host opens (terminal, or file transfer for the transfer host), unless only the other
// side names a host, as in a quick-connect session made from a URL.
void PrintSession(ISessionConfig& session) {
    bool transfer = g_transferHost;
    ConnectConfig* own =
        transfer ? session.GetTransferConnectConfig() : session.GetTermConnectConfig();
    ConnectConfig* other =
        transfer ? session.GetTermConnectConfig() : session.GetTransferConnectConfig();
    if ((!own || own->GetHostname().IsEmpty()) && other && !other->GetHostname().IsEmpty()) {
        transfer = !transfer;
        own = other;
    }
    const VUnicodeString protocol =
        transfer ? session.GetTransferProtocol() : session.GetTerminalProtocol();
    std::string host, port, user;
    if (own) {
        host = own->GetHostname().ToUtf8();
        port = std::to_string(own->GetPort());
        user = own->GetUsername().ToUtf8();
    }
    std::cout << session.GetSessionPath().ToUtf8() << '\t' << protocol.ToUtf8() << '\t' << host
              << '\t' << port << '\t' << user << '\n';
}

extern "C" char** environ;

// The desktop's handler for a document, not waited for.
bool OpenWithDesktop(const char* target) {
    pid_t child = 0;
    char program[] = "xdg-open";
    std::string copy = target;
    char* argv[] = {program, copy.data(), nullptr};
    if (posix_spawnp(&child, program, nullptr, nullptr, argv, environ) != 0) return false;
    // xdg-open hands the document over and exits at once; reaping it here leaves no zombie.
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void OpenHelp(VWindow*, unsigned, unsigned long) {
    // The project's own documentation stands in for a help system.
    if (!OpenWithDesktop(SESSIONDECK_DOCS_DIR "/ui.md"))
        std::cerr << "sessiondeck-gui: no desktop handler to open " SESSIONDECK_DOCS_DIR "/ui.md\n";
}

// ---- Connect: each chosen session in a terminal window ---------------------------------------
// The terminal runs the command-line host's `connect`, which hands the session to the system's
// own client. --print keeps the picker's lines for scripts instead.
bool g_print = false;
std::string g_configFolder;

// A terminal's name without its folder or Debian's ".wrapper".
std::string TerminalName(const std::string& program) {
    std::string name = program.substr(program.rfind('/') + 1);
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ".wrapper") == 0)
        name.resize(name.size() - 8);
    return name;
}

// The words before the command: for the terminals known to have tabs, those that put it into a
// new tab of the window already open (Connect in Tabs); any other terminal gets a window of its
// own per session with "-e".
std::vector<std::string> TerminalCommandWords(const std::string& terminal) {
    const std::string name = TerminalName(terminal);
    if (name == "gnome-terminal") return {"--tab", "--"};
    if (name == "konsole") return {"--new-tab", "-e"};
    if (name == "xfce4-terminal" || name == "mate-terminal") return {"--tab", "-x"};
    if (name == "terminator") return {"--new-tab", "-x"};
    return {"-e"};
}

// The terminal to open: $TERMINAL, else the desktop's x-terminal-emulator, which is run as the
// terminal it stands for when that one has tabs; empty when there is none.
std::string FindTerminal() {
    if (const char* chosen = std::getenv("TERMINAL"); chosen && *chosen) return chosen;
    const std::optional<std::string> alternative = cli::FindProgram("x-terminal-emulator");
    if (!alternative) return {};
    char real[4096];
    if (const char* resolved = realpath(alternative->c_str(), real)) {
        const std::string name = TerminalName(resolved);
        if (TerminalCommandWords(name).size() > 1 && cli::FindProgram(name)) return name;
    }
    return "x-terminal-emulator";
}

// Starts `TERMINAL -e sessiondeck --config DIR connect [--transfer] PATH` (or the terminal's
// words for a new tab), not waited for: the window lives on after this host exits.
bool ConnectInTerminal(const std::string& terminal, ISessionConfig& session) {
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return false;
    std::string cliPath(self, static_cast<size_t>(length));
    cliPath = cliPath.substr(0, cliPath.rfind('/') + 1) + "sessiondeck";
    std::vector<std::string> words = {terminal};
    for (const std::string& word : TerminalCommandWords(terminal)) words.push_back(word);
    words.insert(words.end(), {cliPath, "--config", g_configFolder, "connect"});
    if (g_transferHost) words.push_back("--transfer");
    words.push_back(session.GetSessionPath().ToUtf8());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, terminal.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        std::cerr << "sessiondeck-gui: cannot start the terminal '" << terminal << "'\n";
        return false;
    }
    return true;
}

// What Connect does with the chosen sessions: prints them (--print) or opens each in a terminal.
int UseChosen(const std::vector<ISessionConfig*>& sessions) {
    if (g_print) {
        for (ISessionConfig* session : sessions) PrintSession(*session);
        return kChosen;
    }
    const std::string terminal = FindTerminal();
    if (terminal.empty()) {
        std::cerr << "sessiondeck-gui: no terminal to connect in: set TERMINAL or install one "
                     "that provides x-terminal-emulator (or use --print)\n";
        return kNoTerminal;
    }
    bool all = true;
    for (ISessionConfig* session : sessions) all = ConnectInTerminal(terminal, *session) && all;
    return all ? kChosen : kNoTerminal;
}
// ---- end of Connect ----------------------------------------------------------------------------

// "/S PATH" is not an option CLI11 understands: take it out before parsing.
std::optional<std::string> TakeSessionArgument(std::vector<std::string>& args, bool& bad) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "/S" && args[i] != "/s") continue;
        if (i + 1 >= args.size()) {
            bad = true;
            return std::nullopt;
        }
        std::string path = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return path;
    }
    return std::nullopt;
}

int ShowChosen() {
    const unsigned count = GetSessionDeckSessionConfigCount();
    std::vector<ISessionConfig*> chosen;
    for (unsigned i = 0; i < count; ++i) {
        if (ISessionConfig* session = GetSessionDeckSessionConfig(i)) chosen.push_back(session);
    }
    const int result = UseChosen(chosen);
    for (ISessionConfig* session : chosen) session->Release();
    CleanupSessionDeckSessionConfigs();
    return result;
}

// Every stored firewall with its values, to tell whether the dialog's OK wrote any (the Firewall
// page writes them itself, not through the global configuration).
std::string StoredFirewalls() {
    std::string all;
    for (const VUnicodeString& name : GetFirewallNames()) {
        all += name.ToUtf8() + '\n';
        auto firewall = VUnknownPointer<FirewallConfig>::Adopt(LoadFirewall(name, true));
        if (!firewall) continue;
        all += firewall->GetFirewallType().ToUtf8() + '\n' + firewall->GetFirewallHostname().str() +
               '\n' + std::to_string(firewall->GetStoredPort()) + '\n' +
               firewall->GetFirewallPrompt().str() + '\n' + firewall->GetFirewallCommand().str() +
               '\n' + firewall->GetStoredUsername().ToUtf8() + '\n' +
               firewall->GetStoredPassword().ToUtf8() + '\n';
    }
    return all;
}

// Global Options on the configuration folder: OK saves them (0); Cancel, or OK with nothing
// changed, writes no option (1). The first opening on a folder without file types seeds them,
// as the first use of the transfer host does.
int RunGlobalOptions() {
    const std::string firewallsBefore = StoredFirewalls();
    void* dialog = nullptr;
    // The File Types page edits the store's file types (seeded on first use, as the transfer
    // host's own first use would) and stores them on OK.
    FileTypeManager fileTypes;
    IconManager icons;
    bool fileTypesChanged = false;
    const int result = ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false,
                                               &fileTypesChanged, &fileTypes, &icons, &dialog);
    if (result < 0) {
        std::cerr << "sessiondeck-gui: cannot open a display for the dialog (is DISPLAY set?)\n";
        return kNoDisplay;
    }
    if (result != 1) return kClosed;
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    // OK without a change writes nothing, and a run that wrote nothing does not report success.
    if (!config->IsModified()) {
        if (StoredFirewalls() != firewallsBefore || fileTypesChanged) return kChosen;
        std::cerr << "sessiondeck-gui: no option was changed; nothing was written\n";
        return kClosed;
    }
    if (!SaveGlobalConfig(false)) {
        std::cerr << "sessiondeck-gui: the global options were not saved: "
                  << cli::ReportText(config->GetSaveReport(), "the store refused it") << '\n';
        return kClosed;
    }
    return kChosen;
}

// ---- Session Options ------------------------------------------------------------------------

// The session manager's Properties and New Session: Session Options on the session; the manager
// saves (and renames) what comes back with OK.
int EditSessionProperties(ISessionConfig* session, int) {
    const int result = ShowSessionOptionsDialog(session, 0);
    return result < 0 ? 2 : result;
}

// --edit PATH: Session Options on one stored session, saved on OK (renamed when the user gave it
// a new name). Exit 0 only when the session was written.
int EditOneSession(const std::string& given) {
    VUnicodeString error;
    const int result = EditStoredSession(VUnicodeString::FromUtf8(given), error);
    DeleteSessionOptionsStateMap();
    switch (result) {
        case 1:
            return kChosen;
        case 2:
            return kClosed;
        case -1:
            std::cerr
                << "sessiondeck-gui: cannot open a display for the dialog (is DISPLAY set?)\n";
            return kNoDisplay;
        default:
            std::cerr << "sessiondeck-gui: " << error.ToUtf8() << '\n';
            return kClosed;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    bool badSession = false;
    const std::optional<std::string> sessionPath = TakeSessionArgument(args, badSession);

    cli::GlobalOptions options;
    std::optional<std::string> browse;
    bool browseMulti = false;
    std::string title = "Connect";
    CLI::App app(
        "sessiondeck-gui: the SessionDeck session manager on the desktop.\n"
        "Connect opens each chosen session in a terminal window ($TERMINAL, else "
        "x-terminal-emulator; a new tab where the terminal has tabs) running 'sessiondeck "
        "connect', and exits 0; with --print it prints one line per chosen session instead, "
        "PATH<TAB>PROTOCOL<TAB>HOST<TAB>PORT<TAB>USER. Close "
        "exits 1. /S \"PATH\" connects (or prints) that session without showing the dialog. Exit "
        "status 2 is a usage error, 3 no display to show the dialog on, 4 no terminal to "
        "connect in.",
        "sessiondeck-gui");
    app.add_option("--config", options.configFolder,
                   "Configuration folder (default: $SESSIONDECK_CONFIG, else "
                   "$XDG_CONFIG_HOME/sessiondeck/Config)");
    app.add_flag("--transfer", g_transferHost,
                 "Act as the file-transfer host instead of the terminal host");
    app.add_option("--browse", browse,
                   "Browse for one session, starting at PATH; prints the chosen path")
        ->expected(0, 1);
    app.add_flag("--browse-multi", browseMulti,
                 "Browse for several sessions and folders; prints one chosen path a line");
    app.add_option("--title", title, "The dialog's caption");
    app.add_flag("--print", g_print,
                 "Print the chosen sessions, one line each, instead of connecting them");
    bool globalOptions = false;
    app.add_flag("--options", globalOptions,
                 "Open Global Options on the configuration folder; OK saves the changed options "
                 "and exits 0, Cancel (or OK without a change) exits 1");

    std::optional<std::string> editPath;
    app.add_option("--edit", editPath,
                   "Open Session Options for the session at PATH and save it on OK (exit 0); "
                   "Cancel exits 1");
    try {
        if (badSession) throw CLI::ValidationError("/S", "needs a session path");
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (browse && browseMulti)
            throw CLI::ValidationError("--browse", "excludes --browse-multi");
        if (editPath && (browse || browseMulti || sessionPath))
            throw CLI::ValidationError("--edit", "excludes --browse, --browse-multi and /S");
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kChosen;
    } catch (const CLI::Error& e) {
        std::cerr << "sessiondeck-gui: " << e.what() << " (see --help)\n";
        return kUsage;
    }

    try {
        options.appName = g_transferHost ? "Ferrivo" : "Vetralon";
        const cli::ProtocolLoadResult loaded = cli::EnsureProtocolsLoaded(
            options, g_transferHost ? Product::Ferrivo : Product::Vetralon);
        if (!loaded.loaded) {
            std::cerr << "sessiondeck-gui: the protocol modules did not load"
                      << (loaded.report.empty() ? "" : ": " + loaded.report) << '\n';
        }
    } catch (const cli::Failure& e) {
        std::cerr << "sessiondeck-gui: " << e.what() << '\n';
        return e.code() == cli::kUsage ? kUsage : kClosed;
    }

    if (sessionPath) {
        const VUnicodeString path = VUnicodeString::FromUtf8(*sessionPath);
        VUnknownPointer<ISessionConfig> session =
            VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(path));
        if (!session || !SessionDatabase::Exists(path) || SessionDatabase().IsFolder(path)) {
            std::cerr << "sessiondeck-gui: no session '" << *sessionPath << "'\n";
            return kClosed;
        }
        g_configFolder = options.configFolder;
        return UseChosen({session.Get()});
    }

    SessionDeckDllInitGUI(nullptr, &SessionDeckQuickConnectDialog, &EditSessionProperties,
                          &OpenHelp);
    // New Session runs the library's wizard while "New Session Uses Wizard" is on.
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
    if (globalOptions) return RunGlobalOptions();

    if (editPath) return EditOneSession(*editPath);
    const VUnicodeString caption = VUnicodeString::FromUtf8(title);
    int result = 0;
    if (browseMulti) {
        VArray<VUnicodeString> paths;
        result = ShowSessionDeckMultiSelectBrowseMode(caption.c_str(), paths);
        if (result == 1)
            for (const VUnicodeString& path : paths) std::cout << path.ToUtf8() << '\n';
    } else if (browse) {
        VUnicodeString path = VUnicodeString::FromUtf8(*browse);
        result = ShowSessionDeckBrowseMode(caption.c_str(), path);
        if (result == 1) std::cout << path.ToUtf8() << '\n';
    } else {
        g_configFolder = options.configFolder;
        result = ShowSessionDeck(caption.c_str(), true, false);
        if (result == 1) return ShowChosen();
    }
    if (result < 0) {
        std::cerr << "sessiondeck-gui: cannot open a display for the dialog (is DISPLAY set?)\n";
        return kNoDisplay;
    }
    return result == 1 ? kChosen : kClosed;
}
