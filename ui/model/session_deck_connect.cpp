// Connecting (in the host or in its sibling), Quick Connect, New Session, Properties, Create
// Shortcut and Help of the session manager.
#include <algorithm>

#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "session/setting_lookup.h"
#include "ui/model/session_deck_model.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {
constexpr size_t kMultiConnectLimit = 20;
constexpr const char16_t* kConnectionPage = u"Connection+";

bool NeedsHostname(ConnectConfig* config, const VUnicodeString& protocol, bool terminal) {
    // A session without a protocol on this side has nothing to connect to.
    if (!config || protocol.IsEmpty() || !config->GetHostname().IsEmpty()) return false;
    if (!terminal) return protocol.str() != u"None";
    return protocol.str() != u"TAPI" && protocol.str() != u"Serial" && protocol.str() != u"None";
}

// Gives the side `config` the typed host, and every other setting of the session stored under
// the same value name the same text. Both connections of a session share one value file, so
// the side saved last would otherwise write its own (empty) host back over the typed one.
void SetTypedHostname(ISessionConfig& session, ConnectConfig& config, const VUnicodeString& host) {
    std::vector<std::pair<VProfileData*, std::optional<std::u16string>>> before;
    for (const FoundSetting& found : CollectSettings(config))
        before.emplace_back(found.setting, found.setting->Text());
    config.SetHostname(host.c_str());
    // The value name is the protocol's to choose ("Hostname", a device, a phone number): it is
    // whichever of its settings the host went into.
    std::vector<VUnicodeString> names;
    for (const auto& [setting, text] : before)
        if (setting->Text() != text) names.push_back(setting->GetName());
    auto* record = dynamic_cast<SessionConfig*>(&session);
    if (!record || names.empty()) return;
    for (const FoundSetting& found :
         CollectSettings(static_cast<SessionConfig::Record&>(*record))) {
        const bool same = std::any_of(names.begin(), names.end(), [&](const VUnicodeString& name) {
            return name.str() == found.setting->GetName().str();
        });
        if (same && found.setting->Text() != std::optional<std::u16string>(host.str()))
            found.setting->SetText(host.str());
    }
}
}  // namespace

bool SessionDeckModel::ValidateForConnect(TreeNodeId node, bool& canTerminal, bool& canTransfer) {
    canTerminal = canTransfer = false;
    if (!m_tree.IsSession(node)) return false;
    ISessionConfig* session = m_tree.Session(node);
    if (!session) return false;
    const SessionDeckHost& host = m_tree.Host();
    ConnectConfig* config = nullptr;
    if (host.IsTerminalHost()) {
        config = session->GetTermConnectConfig();
        if (!NeedsHostname(config, session->GetTerminalProtocol(), true)) config = nullptr;
    } else if (host.IsTransferHost()) {
        config = session->GetTransferConnectConfig();
        if (!NeedsHostname(config, session->GetTransferProtocol(), false)) config = nullptr;
    } else {
        return false;
    }
    if (config) {
        const auto typed =
            m_prompt.AskText(u"Enter Hostname",
                             VUnicodeString(u"Please enter a hostname for this session :\n") +
                                 session->GetSessionName(),
                             VUnicodeString(), false);
        // OK stays disabled while the box is empty, so an empty answer is no answer.
        if (!typed || TrimSessionName(typed->str()).IsEmpty()) return false;
        SetTypedHostname(*session, *config, TrimSessionName(typed->str()));
        SessionDatabase db;
        const bool saved = db.Save(session, false);
        if (auto* index = IndexToFollowChange()) index->Refresh(m_tree.Path(node));
        if (!saved) {
            ReportDatabaseFailure(db, u"ERROR: Unable to save the session.");
            return false;
        }
    }
    canTerminal = host.terminalAppInstalled && session->CanConnectTerminalConfig();
    canTransfer = host.canLaunchFileTransferApp && session->CanConnectTransferConfig();
    return canTerminal || canTransfer;
}

VUnicodeString SessionDeckModel::LaunchCommandLine(TreeNodeId session) const {
    return m_params.applicationCommandLine + u" /S \"" + m_tree.Path(session) + u"\"";
}

void SessionDeckModel::FinishWithChosen(const std::vector<TreeNodeId>& sessions) {
    const SessionDeckHost& host = m_tree.Host();
    for (TreeNodeId node : sessions) {
        ISessionConfig* session = m_tree.Session(node);
        if (!session) continue;
        const bool keep = (host.IsTerminalHost() && session->CanConnectTerminalConfig()) ||
                          (host.IsTransferHost() && session->CanConnectTransferConfig());
        if (keep) m_chosen.emplace_back(session);
    }
    m_result = 1;
}

void SessionDeckModel::Connect() {
    std::vector<TreeNodeId> sessions = m_selection.Sessions();
    if (sessions.size() > kMultiConnectLimit &&
        m_config->suppressMultipleSessionsWarning.Get() == 0) {
        const VPromptCheckedAnswer answer = m_prompt.ShowOptionalMessage(
            u"You have selected more than 20 sessions to open.", m_params.applicationName,
            VPromptButtons::kOkCancel, VPromptIcon::kExclamation,
            u"Do not display this warning again");
        if (answer.button != VPromptAnswer::kOk) return;
        if (answer.checked) m_config->suppressMultipleSessionsWarning = 1;
    }
    if (sessions.empty()) return;
    const size_t original = sessions.size();
    bool canTerminal = false;
    bool canTransfer = false;
    std::erase_if(sessions, [&](TreeNodeId node) {
        return !ValidateForConnect(node, canTerminal, canTransfer);
    });
    const SessionDeckHost& host = m_tree.Host();
    if (original > 1 || (host.IsTerminalHost() && canTerminal) ||
        (host.IsTransferHost() && canTransfer)) {
        m_pathResults.RemoveAll();
        for (TreeNodeId node : m_selection.TopMost()) m_pathResults.Add(m_tree.Path(node));
        FinishWithChosen(sessions);
        return;
    }
    // One session this host cannot open but its sibling can: the sibling opens it now and the
    // dialog stays.
    if (sessions.empty()) return;
    if (canTerminal)
        m_services.launcher->LaunchTerminalApp(LaunchCommandLine(sessions.front()));
    else if (canTransfer)
        m_services.launcher->LaunchFileTransferApp(LaunchCommandLine(sessions.front()));
}

void SessionDeckModel::ConnectIn(bool terminalApp, bool transferApp) {
    const std::vector<TreeNodeId> sessions = m_selection.Sessions();
    bool canTerminal = false;
    bool canTransfer = false;
    if (sessions.empty() || !ValidateForConnect(sessions.front(), canTerminal, canTransfer)) return;
    const bool terminalHost = m_tree.Host().IsTerminalHost();
    // The application that is not the host starts when the dialog goes; the host's own part
    // is the chosen list.
    const bool schedule = terminalHost ? transferApp : terminalApp;
    const bool finish = terminalHost ? terminalApp : transferApp;
    if (schedule) {
        m_pendingLaunch.kind = terminalHost ? SessionDeckPendingLaunch::Kind::kTransfer
                                            : SessionDeckPendingLaunch::Kind::kTerminal;
        m_pendingLaunch.commandLine = LaunchCommandLine(sessions.front());
    }
    if (finish)
        FinishWithChosen(sessions);
    else
        m_result = 2;
}

void SessionDeckModel::ConnectTerminal() {
    ConnectIn(true, false);
}

void SessionDeckModel::ConnectFileTransfer() {
    ConnectIn(false, true);
}

void SessionDeckModel::ConnectBoth() {
    ConnectIn(true, true);
}

void SessionDeckModel::QuickConnect() {
    if (!m_services.callbacks) return;
    VUnknownPointer<ISessionConfig> session;
    if (m_services.callbacks->QuickConnect(m_tree.Path(TargetFolder()), session) == 1 && session) {
        m_chosen.push_back(std::move(session));
        m_result = 1;
    }
}

TreeNodeId SessionDeckModel::NewSession() {
    if (!m_services.callbacks) return kNoNode;
    const TreeNodeId folder = TargetFolder();
    const VUnicodeString folderPath = m_tree.Path(folder);
    SessionDatabase db;
    auto session =
        VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    if (!session) {
        ShowWarning(u"Unable to load the session configuration.");
        return kNoNode;
    }
    const VUnicodeString name = UniqueName(folderPath, u"New");
    session->SetSessionPath(SessionDatabase::JoinPath(folderPath, name));
    session->SetSessionName(name);
    const VUnicodeString page = m_config->sessionOptionsTreeSelected.Get();
    m_config->sessionOptionsTreeSelected = VUnicodeString(kConnectionPage);

    int result = 0;
    if (m_config->newSessionUsesWizard.Get() == 0) {
        result = m_services.callbacks->SessionProperties(session.Get(), 1);
    } else {
        bool useWizard = true;
        result = m_services.callbacks->NewSessionWizard(
            session.Get(), ProductId(m_tree.Host().product), useWizard);
        if (result == ISessionDeckHostCallbacks::kWizardFinish) {
            m_config->newSessionUsesWizard = useWizard ? 1 : 0;
            result = useWizard ? 1 : m_services.callbacks->SessionProperties(session.Get(), 1);
        }
    }
    m_config->sessionOptionsTreeSelected = page;
    if (result != 1) return kNoNode;

    // The host's dialog may have renamed it; a name it took meanwhile is refused below.
    const VUnicodeString finalName =
        session->GetSessionName().IsEmpty() ? name : session->GetSessionName();
    const bool wasLoaded = m_tree.Node(folder).loaded;
    const bool inserted =
        db.InsertSession(folderPath, finalName, session.Get(),
                         BeforeLabel(folder, TreeItemKind::kSession, finalName, kNoNode), true);
    if (auto* index = IndexToFollowChange())
        index->Refresh(SessionDatabase::JoinPath(folderPath, finalName));
    if (!inserted) {
        ReportDatabaseFailure(db, u"ERROR: Could not add a new session to the database.");
        return kNoNode;
    }
    TreeNodeId node = kNoNode;
    if (wasLoaded)
        node = m_tree.Insert(folder, TreeItemKind::kSession, finalName,
                             m_tree.InsertionPoint(folder, TreeItemKind::kSession, finalName));
    m_tree.Expand(folder);  // loads the folder, the new session with it, when it never was
    if (node == kNoNode) node = m_tree.FindChild(folder, finalName.str());
    m_selection.SelectOnly(node != kNoNode ? node : folder);
    return node;
}

void SessionDeckModel::Properties() {
    const auto selected = m_selection.AsSelected();
    if (selected.size() != 1 || !m_tree.IsSession(selected.front()) || !m_services.callbacks)
        return;
    const TreeNodeId node = selected.front();
    ISessionConfig* session = m_tree.Session(node);
    if (!session) {
        ShowWarning(u"Unable to load the session configuration.");
        return;
    }
    const VUnicodeString oldName = m_tree.Node(node).label;
    const VUnicodeString page = m_config->sessionOptionsTreeSelected.Get();
    m_config->sessionOptionsTreeSelected = VUnicodeString(kConnectionPage);
    const int result = m_services.callbacks->SessionProperties(session, 0);
    m_config->sessionOptionsTreeSelected = page;
    if (result != 1) {
        m_tree.Node(node).session.Reset();  // the next use loads what is stored
        return;
    }
    SessionDatabase db;
    const VUnicodeString path = m_tree.Path(node);
    const bool saved = db.Save(session, false);
    const VUnicodeString newName = session->GetSessionName();
    const bool renaming = saved && !newName.IsEmpty() && newName.str() != oldName.str();
    // A rename after the save tells the index of both names itself.
    if (!renaming) {
        if (auto* index = IndexToFollowChange()) index->Refresh(path);
    }
    if (!saved) {
        ReportDatabaseFailure(db, u"ERROR: Unable to save the session.");
        m_tree.Node(node).session.Reset();
        return;
    }
    if (renaming) {
        const TreeNodeId parent = m_tree.Node(node).parent;
        const VUnicodeString folderPath = m_tree.Path(parent);
        const bool renamed = db.Rename(folderPath, oldName, newName);
        if (auto* index = IndexToFollowChange()) {
            index->Refresh(path);
            index->Refresh(SessionDatabase::JoinPath(folderPath, newName));
        }
        if (!renamed) {
            ReportDatabaseFailure(db, u"ERROR: Rename failed.");
            m_tree.Node(node).session.Reset();
            return;
        }
        m_tree.Relabel(node, newName);  // drops the cached session, looked up again by path
        if (m_tree.Options().sortAlphabetical) {
            m_tree.MoveBefore(node, kNoNode);
            const TreeNodeId before =
                m_tree.InsertionPoint(parent, TreeItemKind::kSession, newName);
            m_tree.MoveBefore(node, before == node ? kNoNode : before);
        }
    }
    m_selection.SelectOnly(node);
}

VUnicodeString SessionDeckModel::ShortcutArguments(const VStringArray& paths) {
    VUnicodeString arguments;
    for (const auto& path : paths) arguments += u"/S \"" + path + u"\" ";
    return arguments;
}

void SessionDeckModel::CreateShortcut() {
    const auto selected = m_selection.AsSelected();
    if (selected.empty()) return;
    VStringArray paths;
    SessionDatabase db;
    for (TreeNodeId node : selected) {
        if (m_tree.IsSession(node)) {
            paths.Add(m_tree.Path(node));
            continue;
        }
        VStringArray folder;
        folder.Add(m_tree.Path(node));
        VStringArray sessions;
        VStringArray folders;
        db.ExpandPaths(folder, sessions, folders);
        for (const auto& path : sessions)
            if (!path.EqualsNoCase(kDefaultSessionName)) paths.Add(path);
    }
    if (paths.IsEmpty()) return;
    const bool several = paths.GetSize() > 1;
    const VUnicodeString& app = m_params.applicationName;
    VUnicodeString label =
        several ? app + u" will create a shortcut on the\nDesktop to the selected sessions.\n"
                : app + u" will create a shortcut on the\nDesktop to the following session:\n" +
                      paths[0] + u"\n";
    label += u"Please enter a label for the shortcut:";
    VUnicodeString initial = several ? app + u" sessions" : SessionDatabase::LeafName(paths[0]);
    for (;;) {
        const auto typed = m_prompt.AskText(u"Shortcut Name", label, initial, false);
        if (!typed) return;
        initial = TrimSessionName(typed->str());
        if (!initial.IsEmpty()) break;
        Warn(m_prompt, u"Shortcut name error.\n\nShortcut name must be non-empty.",
             u"Shortcut Name");
    }
    if (!m_services.shortcuts->Write(initial, ShortcutArguments(paths)))
        ShowWarning(u"ERROR: creation of shortcut failed");
}

void SessionDeckModel::Help() {
    if (m_services.callbacks) m_services.callbacks->Help(11, 0);
}

void SessionDeckModel::ShowWarning(const VUnicodeString& text) {
    Warn(m_prompt, text, m_params.applicationName);
}

}  // namespace sessiondeck
