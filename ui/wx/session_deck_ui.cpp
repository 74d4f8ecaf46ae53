// The exported entry points and the process-wide state behind them: the host's callbacks and
// the sessions the last dialog chose.
#include "ui/wx/session_deck_ui.h"

#include "ui/model/session_options_model.h"
#include "ui/wx/session_options_dialog.h"

#include <wx/app.h>
#include <wx/icon.h>
#include <wx/init.h>

#include <memory>

#include "app/global_config.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "ui/model/file_types_model.h"
#include "ui/wx/global_options_dialog.h"
#include "ui/wx/new_session_wizard.h"
#include "ui/wx/session_deck_dialog.h"

namespace sessiondeck {

namespace {

// The configuration format that predates the current one; opening a store in it once loads
// every session and firewall, which rewrites what the old format kept differently.
constexpr char16_t kPreviousConfigVersion[] = u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA";

struct UiState {
    SessionDeckCallbacks callbacks;
    wxString iconFile;
    bool windowClassRegistered = false;
    std::vector<VUnknownPointer<ISessionConfig>> chosen;
};

UiState& State() {
    static UiState state;
    return state;
}

// A host with its own wxApp has wxWidgets running; any other host gets it started here, once.
// wxWidgets would make a console application for a host without one, so a plain wxApp is
// installed first. False when there is no display to start on.
bool EnsureToolkit() {
    static bool started = false;
    if (started || wxTheApp) return true;
    static int argc = 1;
    static char name[] = "SessionDeck";
    static char* argv[] = {name, nullptr};
    wxApp::SetInstance(new wxApp());
    started = wxEntryStart(argc, argv);
    if (!started) wxApp::SetInstance(nullptr);
    return started;
}

void LoadSessionOnce(VProfileKey&, const VUnicodeString& path, const VUnicodeString&, void*) {
    VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(path));
}

void UpgradeOldConfiguration() {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    if (!config || !config->WasVersionStored() ||
        config->version.Get().str() != std::u16string_view(kPreviousConfigVersion))
        return;
    SessionDatabase::EnumAllSessions(&LoadSessionOnce, nullptr);
    for (const VUnicodeString& name : GetFirewallNames()) {
        if (FirewallConfig* firewall = LoadFirewall(name)) firewall->Release();
    }
    config->version = VUnicodeString(kCurrentConfigVersion);
    config->Save();
}

int RunDialog(const char16_t* title, const SessionDeckMode& mode,
              std::vector<VUnicodeString>* paths) {
    if (!EnsureToolkit()) return -1;
    UiState& state = State();
    SessionDeckDialog dialog(nullptr,
                             wxString::FromUTF8(VUnicodeString(title ? title : u"").ToUtf8()), mode,
                             state.callbacks);
    if (!state.iconFile.empty()) dialog.SetIcon(wxIcon(state.iconFile, wxBITMAP_TYPE_ANY));
    const int result = dialog.ShowModal() == wxID_OK ? 1 : 2;
    if (result == 1) {
        for (auto& session : dialog.Chosen()) state.chosen.push_back(session);
        if (paths) *paths = dialog.ChosenPaths();
    }
    return result;
}

}  // namespace

void SessionDeckDllInitGUI(const char* iconFile, SessionDeckQuickConnectCallback quickConnect,
                           SessionDeckSessionPropertiesCallback properties,
                           SessionDeckHelpCallback help) {
    UiState& state = State();
    state.callbacks = {quickConnect, properties, help, state.callbacks.newSessionWizard};
    state.iconFile = iconFile ? wxString::FromUTF8(iconFile) : wxString();
    // There is no window class to register on this platform; the dialog always exists.
    state.windowClassRegistered = true;
    UpgradeOldConfiguration();
}

bool IsSessionDeckWindowClassRegistered() {
    return State().windowClassRegistered;
}

int ShowSessionDeck(const char16_t* title, bool firstFlag, bool secondFlag) {
    CleanupSessionDeckSessionConfigs();
    SessionDeckMode mode;
    mode.firstFlag = firstFlag;
    mode.secondFlag = secondFlag;
    return RunDialog(title, mode, nullptr);
}

int ShowSessionDeckBrowseMode(const char16_t* title, VUnicodeString& path) {
    CleanupSessionDeckSessionConfigs();
    SessionDeckMode mode;
    mode.secondFlag = true;
    mode.browse = true;
    mode.browsePath = path;
    const int result = RunDialog(title, mode, nullptr);
    UiState& state = State();
    if (result == 1 && !state.chosen.empty()) path = state.chosen.front()->GetSessionPath();
    CleanupSessionDeckSessionConfigs();
    return result;
}

int ShowSessionDeckMultiSelectBrowseMode(const char16_t* title, VArray<VUnicodeString>& paths) {
    SessionDeckMode mode;
    mode.secondFlag = true;
    mode.browse = true;
    mode.multiBrowse = true;
    std::vector<VUnicodeString> chosen;
    const int result = RunDialog(title, mode, &chosen);
    if (result == 1) {
        for (const VUnicodeString& path : chosen) paths.Add(path);
    }
    return result;
}

unsigned GetSessionDeckSessionConfigCount() {
    return static_cast<unsigned>(State().chosen.size());
}

ISessionConfig* GetSessionDeckSessionConfig(unsigned index) {
    auto& chosen = State().chosen;
    if (index >= chosen.size()) return nullptr;
    ISessionConfig* session = chosen[index].Get();
    session->AddRef();
    return session;
}

void CleanupSessionDeckSessionConfigs() {
    State().chosen.clear();
}

int ShowGlobalOptionsDialog(const char16_t* colorScheme, bool, bool, bool, unsigned, bool,
                            bool* fileTypesChanged, FileTypeManager* fileTypes, IconManager* icons,
                            void** dialog) {
    if (dialog) *dialog = nullptr;
    if (!EnsureToolkit()) return -1;
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    if (!config) return -1;
    const SessionDeckHost installed = SessionDeckHost::FromLibrary();
    GlobalOptionsHost host;
    host.terminalInstalled = installed.terminalAppInstalled || installed.IsTerminalHost();
    host.transferInstalled = installed.transferAppInstalled || installed.IsTransferHost();
    host.fileTypeManagers = fileTypes && icons;
    WxPrompt prompt;
    GlobalOptionsModel model(*config, host, prompt,
                             colorScheme ? std::u16string_view(colorScheme) : std::u16string_view(),
                             host.fileTypeManagers ? fileTypes : nullptr);
    int result = 2;
    {
        GlobalOptionsDialog window(nullptr, model);
        prompt.SetParent(&window);
        if (!State().iconFile.empty()) window.SetIcon(wxIcon(State().iconFile, wxBITMAP_TYPE_ANY));
        if (dialog) *dialog = &window;
        result = window.ShowModal() == wxID_OK ? 1 : 2;
        if (dialog) *dialog = nullptr;
    }
    if (fileTypesChanged) *fileTypesChanged = model.FileTypes() && model.FileTypes()->Stored();
    return result;
}

// ---- Session Options ------------------------------------------------------------------------

int ShowSessionOptionsDialog(ISessionConfig* session, int mode) {
    if (!EnsureToolkit()) return -1;
    return RunSessionOptionsDialog(nullptr, session, mode);
}

void DeleteSessionOptionsStateMap() {
    SessionOptionsModel::DeleteStateMap();
}

int EditDefaultSessionOptions() {
    if (!EnsureToolkit()) return -1;
    return RunDefaultSessionEdit(nullptr).dialogResult;
}

int EditStoredSession(const VUnicodeString& path, VUnicodeString& error) {
    return RunStoredSessionEdit(path, error, [] { return EnsureToolkit(); });
}

// ---- The new-session wizard ----

void SessionDeckSetNewSessionWizard(SessionDeckNewSessionWizardCallback wizard) {
    State().callbacks.newSessionWizard = wizard;
}

int ShowNewSessionWizard(ISessionConfig* session, int productId, VWindow* parent, bool* useWizard) {
    if (!session || !EnsureToolkit()) return NewSessionWizardModel::kCancelResult;
    bool use = true;
    const int result =
        RunNewSessionWizard(reinterpret_cast<wxWindow*>(parent), session, productId, use);
    if (useWizard && result == NewSessionWizardModel::kFinishResult) *useWizard = use;
    return result;
}

}  // namespace sessiondeck
