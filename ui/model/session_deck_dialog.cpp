// The session manager's state: opening, refilling, saving, the check boxes and toggles, the
// enabling of its controls, the pop-up menus, tooltips and keys.
#include <algorithm>

#include "session/session_database.h"
#include "ui/model/session_deck_model.h"

namespace sessiondeck {

namespace C = SessionDeckCommand;

void SessionDeckModel::Open() {
    m_tree.Fill();
    if (m_config->saveConnectDialogFolderState.Get() != 0) {
        // Top down, so that a folder is expanded only after everything above it.
        SessionDatabase db;
        for (TreeNodeId node : m_tree.AllNodes())
            if (node != m_tree.Root() && m_tree.IsFolder(node) && db.IsExpanded(m_tree.Path(node)))
                m_tree.Expand(node);
    }
    const VUnicodeString path =
        m_params.browseMode ? m_params.browsePath : m_config->connectExpandPath.Get();
    // An empty path names the root, which multi-select browse mode must not select.
    const TreeNodeId node = path.IsEmpty() ? kNoNode : m_tree.FindPath(path);
    if (node != kNoNode) {
        if (!m_params.browseMode && m_tree.IsFolder(node) && node != m_tree.Root()) {
            if (m_config->isExpanded.Get() != 0)
                m_tree.Expand(node);
            else
                m_tree.Collapse(node);
        }
        m_selection.SelectOnly(node);
    } else if (!m_params.multiSelectBrowseMode) {
        m_selection.SelectOnly(m_tree.Root());
    }
}

void SessionDeckModel::Refill() {
    if (m_filterShown) {
        // The matches again under the new options; clearing the filter refills as usual.
        ShowFilterMatches();
        return;
    }
    m_editing = kNoNode;
    m_newFolderPending = false;
    m_cutNode = kNoNode;
    Open();
}

SessionDeckControls SessionDeckModel::Controls() const {
    SessionDeckControls controls;
    controls.startupChecked = m_config->showConnectDialog.Get() != 0;
    controls.openInTabChecked = m_config->openSessionsInTab.Get();
    controls.startupVisible = !m_params.browseMode;
    controls.openInTabVisible = !m_params.secondFlag;
    controls.connectText = m_params.browseMode ? u"OK" : u"&Connect";
    controls.closeText = m_params.browseMode ? u"Cancel" : u"Close";
    const VRect& normal = m_config->connectDialogSize.Get().rcNormalPosition;
    const int width = normal.right - normal.left;
    const int height = normal.bottom - normal.top;
    // Either side 0 (never kept) or a rectangle turned inside out is no size to open at.
    if (width > 0 && height > 0) {
        controls.width = width;
        controls.height = height;
    }
    return controls;
}

void SessionDeckModel::OnStartupCheckBox(bool checked) {
    m_config->showConnectDialog = checked ? 1 : 0;
    // The two start-up dialogs exclude each other.
    if (checked) m_config->showQuickConnectDialog = 0;
}

void SessionDeckModel::OnOpenInTabCheckBox(bool checked) {
    m_config->openSessionsInTab = checked;
}

void SessionDeckModel::SaveState() {
    if (m_filterShown) {
        // The filtered tree is not the user's: what is kept is the tree from before it.
        SaveState(m_unfiltered);
        return;
    }
    const auto selected = m_selection.AsSelected();
    if (!selected.empty() && !m_params.browseMode) {
        const TreeNodeId first = selected.front();
        m_config->connectExpandPath = m_tree.Path(first);
        m_config->isExpanded = m_tree.IsFolder(first) && m_tree.Node(first).expanded ? 1 : 0;
        if (m_config->autoSaveOptions.Get() != 0 && !m_config->Save()) {
            VReportMessageParams report(m_config->GetSaveReport());
            ShowWarning(VUnicodeString(u"ERROR: Unable to save the options.\n\n") +
                        VUnicodeString(report.GetText()));
        }
    }
    if (m_config->saveConnectDialogFolderState.Get() != 0) {
        SessionDatabase db;
        for (TreeNodeId node : m_tree.AllNodes())
            if (node != m_tree.Root() && m_tree.IsFolder(node))
                db.IsExpanded(m_tree.Path(node), m_tree.Node(node).expanded);
    }
}

void SessionDeckModel::SaveState(const TreeSnapshot& state) {
    if (!state.selected.empty() && !m_params.browseMode) {
        const VUnicodeString& first = state.selected.front();
        bool open = false;
        for (const auto& [path, expanded] : state.folders)
            if (path.str() == first.str()) open = expanded;  // the root too, as above
        m_config->connectExpandPath = first;
        m_config->isExpanded = open ? 1 : 0;
        if (m_config->autoSaveOptions.Get() != 0 && !m_config->Save()) {
            VReportMessageParams report(m_config->GetSaveReport());
            ShowWarning(VUnicodeString(u"ERROR: Unable to save the options.\n\n") +
                        VUnicodeString(report.GetText()));
        }
    }
    if (m_config->saveConnectDialogFolderState.Get() != 0) {
        SessionDatabase db;
        for (const auto& [path, expanded] : state.folders)
            if (!path.IsEmpty()) db.IsExpanded(path, expanded);  // the root keeps no state
    }
}

void SessionDeckModel::Destroy() {
    // Kept before the state, whose save writes the options when they are saved automatically.
    if (m_windowRect.right > m_windowRect.left && m_windowRect.bottom > m_windowRect.top) {
        WINDOWPLACEMENT placement = m_config->connectDialogSize.Get();
        placement.rcNormalPosition = m_windowRect;
        m_config->connectDialogSize = placement;
    }
    SaveState();
    const SessionDeckPendingLaunch launch = m_pendingLaunch;
    m_pendingLaunch = {};
    if (launch.kind == SessionDeckPendingLaunch::Kind::kTerminal)
        m_services.launcher->LaunchTerminalApp(launch.commandLine);
    else if (launch.kind == SessionDeckPendingLaunch::Kind::kTransfer)
        m_services.launcher->LaunchFileTransferApp(launch.commandLine);
}

void SessionDeckModel::ToggleDescriptions() {
    m_showDescriptions = !m_showDescriptions;
    m_config->showDetailsOnConnectDialog = m_showDescriptions;
}

namespace {
// The selection and open folders by path, to be found again after a refill.
struct TreeMemory {
    VUnicodeString selected;
    std::vector<VUnicodeString> expanded;
};
}  // namespace

void SessionDeckModel::ToggleTerminalSessions() {
    m_config->showTerminalOnlySessions = !m_config->showTerminalOnlySessions.Get();
    m_tree.Options().showTerminalOnlySessions = m_config->showTerminalOnlySessions.Get();
    RefillKeepingView();
}

void SessionDeckModel::ToggleTransferSessions() {
    m_config->showTransferOnlySessions = !m_config->showTransferOnlySessions.Get();
    m_tree.Options().showTransferOnlySessions = m_config->showTransferOnlySessions.Get();
    RefillKeepingView();
}

void SessionDeckModel::RefillKeepingView() {
    if (m_filterShown) {
        ShowFilterMatches();
        return;
    }
    // The open folders and the selection by path, found again after the refill.
    const auto selected = m_selection.AsSelected();
    const VUnicodeString selectedPath =
        selected.empty() ? VUnicodeString() : m_tree.Path(selected.front());
    std::vector<VUnicodeString> expanded;
    for (TreeNodeId node : m_tree.AllNodes())
        if (m_tree.IsFolder(node) && m_tree.Node(node).expanded)
            expanded.push_back(m_tree.Path(node));
    m_tree.Fill();
    m_cutNode = kNoNode;
    m_editing = kNoNode;
    m_newFolderPending = false;
    for (const auto& path : expanded) m_tree.Expand(m_tree.FindPath(path));
    if (selected.empty()) return;
    const TreeNodeId again = m_tree.FindPath(selectedPath);
    m_selection.SelectOnly(again != kNoNode ? again : m_tree.Root());
}

void SessionDeckModel::ToggleSortOrder() {
    SaveState();
    m_config->sortAlphabetical = m_config->sortAlphabetical.Get() != 0 ? 0 : 1;
    m_tree.Options().sortAlphabetical = m_config->sortAlphabetical.Get() != 0;
    DisablePaste();
    Refill();
}

bool SessionDeckModel::Connectable() {
    const auto selected = m_selection.AsSelected();
    for (TreeNodeId node : selected) {
        if (m_tree.IsFolder(node)) return true;
        ISessionConfig* session = m_tree.Session(node);
        if (!session) continue;
        if (m_tree.Host().IsTerminalHost() && session->CanConnectTerminalConfig()) return true;
        if (m_tree.Host().IsTransferHost() && session->CanConnectTransferConfig()) return true;
    }
    return false;
}

SessionDeckEnabling SessionDeckModel::Enabling() {
    SessionDeckEnabling on;
    const auto selected = m_selection.AsSelected();
    const SessionDeckHost& host = m_tree.Host();
    if (selected.size() == 1) {
        const TreeNodeId node = selected.front();
        const bool root = node == m_tree.Root();
        on.cut = on.copy = on.deleteItems = !root;
        on.properties = on.createShortcut = !m_tree.IsFolder(node);
        if (ISessionConfig* session = m_tree.IsSession(node) ? m_tree.Session(node) : nullptr) {
            on.connectTerminal = host.terminalAppInstalled && session->CanConnectTerminalConfig();
            on.connectFileTransfer =
                host.transferAppInstalled && session->CanConnectTransferConfig();
        }
    } else if (selected.size() > 1) {
        on.deleteItems = on.createShortcut = true;
    }
    on.paste = m_clipboardFilled;
    if (!selected.empty()) {
        const bool connectable = Connectable();
        on.toolbarConnect = connectable && !m_params.browseMode;
        if (!m_params.browseMode || m_params.multiSelectBrowseMode)
            on.connectButton = connectable;
        else
            on.connectButton =
                selected.size() == 1 && m_tree.IsSession(selected.front()) && connectable;
    }
    return on;
}

namespace {
using Items = std::vector<SessionDeckMenuItem>;

// Items that stand in more than one menu, with one text each.
const SessionDeckMenuItem kConnectInTabs{C::kMenuConnect, u"&Connect in Tabs\tAlt+C"};
const SessionDeckMenuItem kNewSession{C::kMenuNewSession, u"&New Session\tAlt+N"};
const SessionDeckMenuItem kNewFolder{C::kMenuNewFolder, u"New &Folder\tAlt+F"};
const SessionDeckMenuItem kCut{C::kMenuCut, u"Cu&t\tCtrl+X"};
const SessionDeckMenuItem kCopy{C::kMenuCopy, u"&Copy\tCtrl+C"};
const SessionDeckMenuItem kPaste{C::kMenuPaste, u"&Paste\tCtrl+V"};
const SessionDeckMenuItem kDelete{C::kMenuDelete, u"&Delete\tDel"};
const SessionDeckMenuItem kRename{C::kRename, u"Rena&me\tAlt+M"};
const SessionDeckMenuItem kShortcut{C::kMenuCreateShortcut, u"Cr&eate Desktop Shortcut\tAlt+E"};
const SessionDeckMenuItem kUserArranged{C::kToggleSortOrder, u"User &Arranged Tree\tAlt+A"};
// The session menu's item has its own mnemonic; the others have none.
const SessionDeckMenuItem kDescriptions{C::kToggleDescriptions, u"Show Descriptions"};
const SessionDeckMenuItem kTerminalSessions{C::kToggleTerminalSessions, u"&Show Terminal Sessions"};
const SessionDeckMenuItem kTransferSessions{C::kToggleTransferSessions, u"&Show Transfer Sessions"};
const SessionDeckMenuItem kSeparator{};

const Items kSessionMenu = {
    {C::kConnectTerminal, u"Connect T&erminal\tAlt+T"},
    {C::kConnectFileTransfer, u"Connect &File Transfer\tAlt+X"},
    {C::kConnectBoth, u"Connect &Both"},
    kSeparator,
    kCut,
    kCopy,
    kPaste,
    kSeparator,
    kDelete,
    kRename,
    kShortcut,
    kSeparator,
    kUserArranged,
    {C::kToggleDescriptions, u"Sho&w Descriptions"},
    kTerminalSessions,
    kTransferSessions,
    kSeparator,
    {C::kMenuProperties, u"P&roperties\tAlt+Enter"},
};

const Items kFolderMenu = {
    kConnectInTabs,
    {C::kMenuQuickConnect, u"&Quick Connect\tAlt+Q"},
    kSeparator,
    kNewSession,
    kNewFolder,
    kSeparator,
    kCut,
    kCopy,
    kPaste,
    kSeparator,
    kDelete,
    kRename,
    kShortcut,
    kSeparator,
    kUserArranged,
    kDescriptions,
    kTerminalSessions,
    kTransferSessions,
};

const Items kMultipleMenu = {
    kConnectInTabs, kSeparator, kNewSession, kNewFolder,    kSeparator,
    kDelete,        kShortcut,  kSeparator,  kUserArranged, kDescriptions,
};

void RemoveIds(Items& items, std::initializer_list<int> ids) {
    std::erase_if(items, [&](const SessionDeckMenuItem& item) {
        return std::find(ids.begin(), ids.end(), item.id) != ids.end();
    });
}

// No separator first, last or twice in a row once items are gone.
void TidySeparators(Items& items) {
    Items tidy;
    for (const auto& item : items) {
        if (item.IsSeparator() && (tidy.empty() || tidy.back().IsSeparator())) continue;
        tidy.push_back(item);
    }
    while (!tidy.empty() && tidy.back().IsSeparator()) tidy.pop_back();
    items = std::move(tidy);
}
}  // namespace

std::vector<SessionDeckMenuItem> SessionDeckModel::ContextMenu() {
    const auto selected = m_selection.AsSelected();
    if (selected.empty()) return {};
    const SessionDeckHost& host = m_tree.Host();
    Items items;
    if (selected.size() == 1 && m_tree.IsSession(selected.front())) {
        items = kSessionMenu;
        if (m_params.browseMode) {
            RemoveIds(items, {C::kConnectTerminal, C::kConnectFileTransfer, C::kConnectBoth});
        } else {
            ISessionConfig* session = m_tree.Session(selected.front());
            const bool terminal =
                session && host.terminalAppInstalled && session->CanConnectTerminalConfig();
            const bool transfer =
                session && host.canLaunchFileTransferApp && session->CanConnectTransferConfig();
            for (auto& item : items) {
                if (item.id == C::kConnectTerminal) item.enabled = terminal;
                if (item.id == C::kConnectFileTransfer) item.enabled = transfer;
                if (item.id == C::kConnectBoth) item.enabled = terminal && transfer;
            }
        }
    } else {
        items = selected.size() == 1 ? kFolderMenu : kMultipleMenu;
        if (selected.size() == 1 && m_params.browseMode)
            RemoveIds(items, {C::kMenuConnect});
        else if (host.IsTransferHost())
            for (auto& item : items)
                if (item.id == C::kMenuConnect) item.text = u"&Connect Sessions\tAlt+C";
    }
    for (auto& item : items) {
        if (item.id == C::kMenuPaste) item.enabled = m_clipboardFilled;
        if (item.id == C::kToggleSortOrder) item.checked = !m_tree.Options().sortAlphabetical;
        if (item.id == C::kToggleDescriptions) item.checked = m_showDescriptions;
        if (item.id == C::kToggleTransferSessions)
            item.checked = m_config->showTransferOnlySessions.Get();
        if (item.id == C::kToggleTerminalSessions)
            item.checked = m_config->showTerminalOnlySessions.Get();
    }
    // Only an integrated host offers its sibling's sessions, and only in a dialog without the
    // system menu.
    if (!m_params.firstFlag && host.integrated && host.IsTerminalHost())
        RemoveIds(items, {C::kToggleTerminalSessions});
    else if (!m_params.firstFlag && host.integrated && host.IsTransferHost())
        RemoveIds(items, {C::kToggleTransferSessions});
    else
        RemoveIds(items, {C::kToggleTerminalSessions, C::kToggleTransferSessions});
    TidySeparators(items);
    return items;
}

std::optional<VUnicodeString> SessionDeckModel::Tooltip(TreeNodeId node, size_t bufferChars) {
    if (!m_showDescriptions || m_editing != kNoNode || IsDragging() || !m_tree.IsSession(node))
        return std::nullopt;
    ISessionConfig* session = m_tree.Session(node);
    if (!session) return std::nullopt;
    std::u16string text = session->GetSessionDeckDescription().str();
    const size_t room = bufferChars > 0 ? bufferChars - 1 : 0;  // the terminator's place
    if (text.size() > room) {
        text.resize(room);
        if (room > 2) text.replace(room - 3, 3, u"...");
    }
    return VUnicodeString(text);
}

bool SessionDeckModel::OnKey(uint32_t key, bool alt, bool ctrl) {
    if (m_editing != kNoNode) return false;  // the edit box has the keys
    if (key == SessionDeckKey::kEnter && !alt && !ctrl) {
        if (m_filterShown) {
            OnFilterEnter();  // the matches are what the user wants to reach
            return true;
        }
        const auto selected = m_selection.AsSelected();
        if (selected.size() == 1 && m_tree.IsFolder(selected.front())) {
            m_tree.Toggle(selected.front());
            return true;
        }
        return RunCommand(C::kConnectButton);  // the default button
    }
    if (key == SessionDeckKey::kDelete && !alt && !ctrl) return RunCommand(C::kMenuDelete);
    const int command = SessionDeckAcceleratorCommand(key, alt, ctrl);
    return command != 0 && RunCommand(command);
}

void SessionDeckModel::OnDoubleClick(TreeNodeId node) {
    if (m_tree.IsFolder(node))
        m_tree.Toggle(node);
    else if (m_tree.IsSession(node))
        Connect();
}

bool SessionDeckModel::RunCommand(int id) {
    switch (id) {
        case C::kConnect:
        case C::kConnectButton:
        case C::kMenuConnect:
            Connect();
            break;
        case C::kMoveUp:
        case C::kMoveDown:
            MoveSelected(id == C::kMoveUp);
            break;
        case C::kQuickConnect:
        case C::kMenuQuickConnect:
            QuickConnect();
            break;
        case C::kProperties:
        case C::kMenuProperties:
            Properties();
            break;
        case C::kCut:
        case C::kMenuCut:
            Cut();
            break;
        case C::kCopy:
        case C::kMenuCopy:
            Copy();
            break;
        case C::kPaste:
        case C::kMenuPaste:
            Paste();
            break;
        case C::kDelete:
        case C::kMenuDelete:
            Delete();
            break;
        case C::kNewFolder:
        case C::kMenuNewFolder:
            NewFolder();
            break;
        case C::kNewSession:
        case C::kMenuNewSession:
            NewSession();
            break;
        case C::kCreateShortcut:
        case C::kMenuCreateShortcut:
            CreateShortcut();
            break;
        case C::kHelp:
            Help();
            break;
        case C::kToggleSortOrder:
            ToggleSortOrder();
            break;
        case C::kToggleDescriptions:
            ToggleDescriptions();
            break;
        case C::kConnectTerminal:
            ConnectTerminal();
            break;
        case C::kConnectFileTransfer:
            ConnectFileTransfer();
            break;
        case C::kConnectBoth:
            ConnectBoth();
            break;
        case C::kToggleTransferSessions:
            ToggleTransferSessions();
            break;
        case C::kToggleTerminalSessions:
            ToggleTerminalSessions();
            break;
        case C::kRename:
            BeginRename();
            break;
        case C::kCloseButton:
            Close();
            break;
        default:
            return false;
    }
    return true;
}

}  // namespace sessiondeck
