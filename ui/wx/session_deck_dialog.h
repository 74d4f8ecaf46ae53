// The session manager dialog: a thin wxWidgets view over SessionDeckModel. It draws the model's
// tree and selection, forwards clicks, keys and label edits to it, and collects the sessions
// (or paths) the user chose.
#pragma once

#include <map>
#include <vector>

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>

#include "foundation/unknown.h"
#include "ui/model/session_deck_model.h"
#include "ui/wx/session_deck_ui.h"
#include "ui/wx/wx_prompt.h"

class GlobalConfig;

// Control and command ids the dialog and its tests share.
namespace deck_ids {
inline constexpr int kTree = 1036;
inline constexpr int kConnectButton = 1044;
inline constexpr int kEtchedLine = 1347;
inline constexpr int kShowOnStartup = 1339;
inline constexpr int kOpenInTab = 4002;
inline constexpr int kToolbar = 1200;
inline constexpr int kToolConnect = 2000;
inline constexpr int kToolQuickConnect = 2001;
inline constexpr int kToolProperties = 2002;
inline constexpr int kToolCut = 2003;
inline constexpr int kToolCopy = 2004;
inline constexpr int kToolPaste = 2005;
inline constexpr int kToolDelete = 2006;
inline constexpr int kToolNewFolder = 2007;
inline constexpr int kToolNewSession = 2008;
inline constexpr int kToolShortcut = 2009;
inline constexpr int kToolHelp = 2010;
inline constexpr int kCmdNewSession = 2101;
inline constexpr int kCmdProperties = 2102;
inline constexpr int kCmdCut = 2103;
inline constexpr int kCmdCopy = 2104;
inline constexpr int kCmdPaste = 2105;
inline constexpr int kCmdDelete = 2106;
inline constexpr int kCmdNewFolder = 2107;
inline constexpr int kCmdShortcut = 2109;
inline constexpr int kCmdToggleOrder = 2111;
inline constexpr int kCmdConnect = 32777;
inline constexpr int kCmdConnectTerminal = 32772;
inline constexpr int kCmdConnectTransfer = 32773;
inline constexpr int kCmdQuickConnect = 32924;
inline constexpr int kCmdRename = 32922;
}  // namespace deck_ids

struct SessionDeckCallbacks {
    SessionDeckQuickConnectCallback quickConnect = nullptr;
    SessionDeckSessionPropertiesCallback properties = nullptr;
    SessionDeckHelpCallback help = nullptr;
};

struct SessionDeckMode {
    bool firstFlag = false;
    bool secondFlag = false;
    bool browse = false;
    bool multiBrowse = false;  // implies browse
    VUnicodeString browsePath;
};

class SessionDeckDialog : public wxDialog {
public:
    SessionDeckDialog(wxWindow* parent, const wxString& title, const SessionDeckMode& mode,
                      const SessionDeckCallbacks& callbacks);
    ~SessionDeckDialog() override;

    // What Connect chose: sessions (one reference each) and the top-most selected paths.
    std::vector<VUnknownPointer<ISessionConfig>>& Chosen() { return m_chosen; }
    const std::vector<VUnicodeString>& ChosenPaths() const { return m_paths; }

    SessionDeckModel& Model() { return m_model; }
    wxTreeCtrl* Tree() const { return m_tree; }
    // The tree item that draws a node; invalid when the node is not drawn.
    wxTreeItemId ItemOf(TreeNodeId node) const;

private:
    void BuildToolbar();
    void BuildControls();
    void SelectStartNode();

    // Draws the whole model again: nodes, expansion, selection and caret.
    void Rebuild();
    void AddChildren(const wxTreeItemId& item, TreeNodeId node);
    wxTreeItemId AddNode(const wxTreeItemId& parent, TreeNodeId node);
    // Draws the model's selection and caret, then updates what is enabled.
    void ShowSelection();
    void UpdateEnabling();
    TreeNodeId NodeOf(const wxTreeItemId& item) const;
    TreeNodeId HitNode(const wxPoint& point, bool labelOnly) const;
    void StartEdit(TreeNodeId node);

    void OnLeftDown(wxMouseEvent& event);
    void OnLeftDoubleClick(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnTreeKey(wxKeyEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnExpanding(wxTreeEvent& event);
    void OnCollapsed(wxTreeEvent& event);
    void OnBeginEdit(wxTreeEvent& event);
    void OnEndEdit(wxTreeEvent& event);
    void OnToolTip(wxTreeEvent& event);

    void OnConnect();
    void OnQuickConnect();
    void OnProperties();
    void OnDelete();
    void OnNewFolder();
    void OnRename();
    void OnHelp();
    void OnCheckBox(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void SaveState();

    SessionDeckMode m_mode;
    SessionDeckCallbacks m_callbacks;
    GlobalConfig* m_config = nullptr;
    WxPrompt m_prompt;
    SessionDeckModel m_model;

    wxToolBar* m_toolbar = nullptr;
    wxTreeCtrl* m_tree = nullptr;
    wxCheckBox* m_showOnStartup = nullptr;
    wxCheckBox* m_openInTab = nullptr;
    wxButton* m_connect = nullptr;
    wxButton* m_close = nullptr;

    std::map<TreeNodeId, wxTreeItemId> m_items;
    bool m_syncing = false;  // the view is redrawing: tree events are its own echo

    std::vector<VUnknownPointer<ISessionConfig>> m_chosen;
    std::vector<VUnicodeString> m_paths;
};
