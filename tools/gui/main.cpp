// sessiondeck-gui: a desktop host that shows the session manager and prints what the user
// chose, so that it serves people and scripts alike. It settles its configuration folder and
// loads the protocol modules as the command-line host does.
#include <spawn.h>
#include <sys/wait.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/init.h"
#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "tools/cli/cli_common.h"
#include "tools/cli/protocol_loading.h"
#include "ui/wx/host_dialogs.h"
#include "ui/wx/session_deck_ui.h"

using namespace sessiondeck;

namespace {

enum GuiExit : int { kChosen = 0, kClosed = 1, kUsage = 2, kNoDisplay = 3 };

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
    for (unsigned i = 0; i < count; ++i) {
        ISessionConfig* session = GetSessionDeckSessionConfig(i);
        if (!session) continue;
        PrintSession(*session);
        session->Release();
    }
    CleanupSessionDeckSessionConfigs();
    return kChosen;
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
        "Connect prints one line per chosen session, PATH<TAB>PROTOCOL<TAB>HOST<TAB>PORT<TAB>USER, "
        "and exits 0; Close exits 1. /S \"PATH\" prints that session without showing the "
        "dialog. Exit status 2 is a usage error, 3 no display to show the dialog on.",
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
    try {
        if (badSession) throw CLI::ValidationError("/S", "needs a session path");
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (browse && browseMulti)
            throw CLI::ValidationError("--browse", "excludes --browse-multi");
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
        PrintSession(*session);
        return kChosen;
    }

    SessionDeckDllInitGUI(nullptr, &SessionDeckQuickConnectDialog, &SessionDeckSessionSettingsView,
                          &OpenHelp);
    // New Session runs the library's wizard while "New Session Uses Wizard" is on.
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
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
        result = ShowSessionDeck(caption.c_str(), true, false);
        if (result == 1) return ShowChosen();
    }
    if (result < 0) {
        std::cerr << "sessiondeck-gui: cannot open a display for the dialog (is DISPLAY set?)\n";
        return kNoDisplay;
    }
    return result == 1 ? kChosen : kClosed;
}
