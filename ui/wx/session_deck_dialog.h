// The session manager dialog: a thin wxWidgets view over SessionDeckModel. It draws the model's
// tree and selection, forwards clicks, keys and label edits to it, and collects the sessions
// (or paths) the user chose.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/srchctrl.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>

#include "foundation/unknown.h"
#include "ui/model/session_deck_model.h"
#include "ui/wx/session_deck_ui.h"
#include "ui/wx/wx_prompt.h"
#include "ui/wx/wx_services.h"

namespace sessiondeck {

class GlobalConfig;

// Control ids the dialog and its tests share; commands use SessionDeckCommand's ids.
namespace deck_ids {
inline constexpr int kTree = SessionDeckCommand::kTree;
inline constexpr int kConnectButton = SessionDeckCommand::kConnectButton;
inline constexpr int kShowOnStartup = SessionDeckCommand::kStartupCheckBox;
inline constexpr int kOpenInTab = SessionDeckCommand::kOpenInTabCheckBox;
inline constexpr int kEtchedLine = 1347;
inline constexpr int kToolbar = 1200;
inline constexpr int kFilterBox = 1201;
inline constexpr int kDropLine = 1202;  // the line between rows while a drop would go there
}  // namespace deck_ids

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

    SessionDeckModel& Model() { return *m_model; }
    wxTreeCtrl* Tree() const { return m_tree; }
    wxSearchCtrl* FilterBox() const { return m_filter; }
    // The tree item that draws a node; invalid when the node is not drawn.
    wxTreeItemId ItemOf(TreeNodeId node) const;
    TreeNodeId NodeOf(const wxTreeItemId& item) const;
    bool IsHoverTimerRunning() const;

private:
    void BuildToolbar();
    void BuildControls();

    // Draws the whole model again: nodes, expansion, selection and caret.
    void Rebuild();
    void AddChildren(const wxTreeItemId& item, TreeNodeId node);
    wxTreeItemId AddNode(const wxTreeItemId& parent, TreeNodeId node);
    // Draws the model's selection and caret, then updates what is enabled.
    void ShowSelection();
    void UpdateEnabling();
    TreeNodeId HitNode(const wxPoint& point, bool labelOnly) const;
    void StartEdit(TreeNodeId node);

    // Runs a command of the toolbar, a menu, a button or the accelerator table in the model,
    // then shows what it changed or ends the dialog when the model has a result.
    void Run(int command);
    // After any change in the model: the dialog ends, or the tree is redrawn (and an edit the
    // model started is opened).
    void AfterModelChange();
    void Finish();
    void ShowContextMenu(const wxPoint& where);
    // The model's key for a wx key event, 0 for a key the model does not know.
    static uint32_t ModelKey(const wxKeyEvent& event);

    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnMotion(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnLeftDoubleClick(wxMouseEvent& event);
    void OnRightDown(wxMouseEvent& event);
    void OnTreeKey(wxKeyEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnExpanding(wxTreeEvent& event);
    void OnCollapsed(wxTreeEvent& event);
    void OnBeginEdit(wxTreeEvent& event);
    void OnEndEdit(wxTreeEvent& event);
    void OnToolTip(wxTreeEvent& event);
    void OnFilterText(wxCommandEvent& event);
    void OnTimer(unsigned id);

    // Drag and drop inside the tree.
    void DragTo(const wxPoint& point, const KeyModifiers& keys);
    void EndDrag(bool drop, const KeyModifiers& keys);
    // Shows the line between rows where the model says a drop would go, or hides it.
    void ShowDropLine(const std::optional<DropLine>& line);

    SessionDeckMode m_mode;
    SessionDeckCallbacks m_callbacks;
    GlobalConfig* m_config = nullptr;
    WxPrompt m_prompt;
    WxHostCallbacks m_hostCallbacks;
    WxFolderTreeClipboard m_clipboard;
    WxSessionDeckTimer m_timer;
    std::unique_ptr<SessionDeckModel> m_model;

    wxToolBar* m_toolbar = nullptr;
    wxSearchCtrl* m_filter = nullptr;
    wxTreeCtrl* m_tree = nullptr;
    wxWindow* m_dropLine = nullptr;  // a thin child of the tree, shown over it during a drag
    wxCheckBox* m_showOnStartup = nullptr;
    wxCheckBox* m_openInTab = nullptr;
    wxButton* m_connect = nullptr;
    wxButton* m_close = nullptr;

    std::map<TreeNodeId, wxTreeItemId> m_items;
    bool m_syncing = false;  // the view is redrawing: tree events are its own echo
    bool m_finished = false;

    // A press on a node that may become a drag once the pointer moves far enough.
    TreeNodeId m_pressNode = kNoNode;
    wxPoint m_pressPoint;
    bool m_dragging = false;

    std::vector<VUnknownPointer<ISessionConfig>> m_chosen;
    std::vector<VUnicodeString> m_paths;
};

}  // namespace sessiondeck
