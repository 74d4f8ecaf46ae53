// The session manager dialog's commands that change the tree: New Folder, in-place rename
// and Delete. Questions and refusals go through the IPrompt the dialog is given; the session
// database is always changed first and the tree only when that succeeded.
#pragma once

#include <memory>
#include <optional>

#include "app/global_config.h"
#include "foundation/containers.h"
#include "foundation/prompt.h"
#include "ui/model/multi_sel_tree.h"
#include "ui/model/session_deck_commands.h"
#include "ui/model/session_deck_services.h"
#include "ui/model/session_filter_index.h"

namespace sessiondeck {

class SessionDatabase;

// How the dialog was opened.
struct SessionDeckParams {
    VUnicodeString title;
    bool firstFlag = false;   // the system menu; also hides the sibling-session menu items
    bool secondFlag = false;  // hides "&Open in a tab"
    bool browseMode = false;
    bool multiSelectBrowseMode = false;  // implies browse mode
    VUnicodeString browsePath;           // the path to select first in browse mode
    // The command that starts the sibling ("%1" of the launch command line) and the caption
    // of the dialog's own message boxes.
    VUnicodeString applicationCommandLine;
    VUnicodeString applicationName = u"SessionDeck";
};

// The services the dialog uses; a null one is replaced by the model's default (the library's
// launcher, a desktop file writer, a clipboard inside the process, no timer, no callbacks).
struct SessionDeckServices {
    ISessionDeckHostCallbacks* callbacks = nullptr;
    ISiblingLauncher* launcher = nullptr;
    IShortcutWriter* shortcuts = nullptr;
    IFolderTreeClipboard* clipboard = nullptr;
    ISessionDeckTimer* timer = nullptr;
};

// Which controls are enabled for the current selection.
struct SessionDeckEnabling {
    bool toolbarConnect = false;
    bool connectButton = false;  // 1044, "&Connect" or "OK"
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool deleteItems = false;
    bool properties = false;
    bool createShortcut = false;
    bool connectTerminal = false;      // 32772
    bool connectFileTransfer = false;  // 32773
};

// What a view shows besides the tree when the dialog opens.
struct SessionDeckControls {
    bool startupChecked = false;  // "&Show dialog on startup"
    bool startupVisible = true;
    bool openInTabChecked = false;  // "&Open in a tab"
    bool openInTabVisible = true;
    VUnicodeString connectText;  // "&Connect" or "OK"
    VUnicodeString closeText;    // "Close" or "Cancel"
    // The size the dialog had when it last closed ("Connect Dialog Size"); 0 and 0 when none
    // was kept, and the view takes its default size.
    int width = 0;
    int height = 0;
};

// A launch of a sibling application that runs when the dialog is destroyed.
struct SessionDeckPendingLaunch {
    enum class Kind { kNone, kTerminal, kTransfer } kind = Kind::kNone;
    VUnicodeString commandLine;
};

// Where a dragged entry would land in user-arranged order.
enum class DropPosition { kAbove, kOn, kBelow };
enum class DropEffect { kNone, kCopy, kMove };
// The line a view draws between rows while a drop would go above or below `node`.
struct DropLine {
    TreeNodeId node = kNoNode;
    bool below = false;
};

class SessionDeckModel {
public:
    // A model without a global configuration of its own choosing: every option at its
    // default except those `options` names; the tree is filled, nothing selected.
    SessionDeckModel(IPrompt& prompt, const SessionDeckHost& host,
                     const SessionTreeOptions& options);
    // The dialog as it opens: options copied from `config`, the tree filled, the saved folder
    // states and the path to show first applied. `config` must outlive the model.
    SessionDeckModel(IPrompt& prompt, const SessionDeckHost& host, GlobalConfig& config,
                     const SessionDeckParams& params, const SessionDeckServices& services = {});
    ~SessionDeckModel();

    SessionTreeModel& Tree() { return m_tree; }
    VMultiSelTreeCtrl& Selection() { return m_selection; }

    // The folder a new entry goes into: the root, or the first selected node when it is a
    // folder, else that node's parent.
    TreeNodeId TargetFolder() const;

    // Inserts a folder node "New Folder" (numbered when taken) in the target folder, selects it
    // and starts editing its label; the folder is stored when the edit ends.
    TreeNodeId NewFolder();
    // Starts editing the label of the one selected node; false for the root or a selection of
    // several nodes.
    bool BeginRename();
    TreeNodeId EditingNode() const { return m_editing; }
    bool IsNewFolderPending() const { return m_newFolderPending; }

    enum class EditResult {
        kDone,       // stored, or nothing to do
        kEditAgain,  // refused: the old label stays and the edit box opens again
        kFailed,     // the database refused; the user has been told why
    };
    // Ends the edit with the typed text, or with nullopt when the user cancelled it.
    EditResult EndLabelEdit(const std::optional<VUnicodeString>& text);

    // Asks, then removes every selected node (never the root) from the database and the tree,
    // selecting the next sibling, else the previous one, else the parent. False when the user
    // declined or the database refused (the user has been told).
    bool Delete();

    // ---- dialog state ----
    const SessionDeckParams& Params() const { return m_params; }
    GlobalConfig& Config() { return *m_config; }
    SessionDeckControls Controls() const;
    bool ShowDescriptions() const { return m_showDescriptions; }
    bool IsClipboardFilled() const { return m_clipboardFilled; }
    // The view found a "FolderTree" record on the clipboard, perhaps another process's:
    // Paste becomes possible (it still refuses a record whose source is gone).
    void OnClipboardRecordAvailable() { m_clipboardFilled = true; }
    // Removes every node and fills the tree again as the dialog does when it opens.
    void Refill();
    // Writes the path to show next time and, when folder states are kept, every folder's
    // expanded state.
    void SaveState();
    // The dialog window goes away: its place kept (when the view gave it), state saved, a
    // scheduled launch performed.
    void Destroy();
    // Where the window is as the dialog ends, in screen pixels; Destroy keeps it in "Connect
    // Dialog Size". An empty rectangle (a minimised or maximised window) keeps what was there.
    void SetWindowRect(const VRect& rect) { m_windowRect = rect; }
    void OnStartupCheckBox(bool checked);
    void OnOpenInTabCheckBox(bool checked);

    // ---- enabling, menus, tooltips ----
    SessionDeckEnabling Enabling();
    // The pop-up menu for the selection, with removed items left out and separators tidied;
    // empty when nothing is selected.
    std::vector<SessionDeckMenuItem> ContextMenu();
    // The description of a session node cut to `bufferChars` characters (terminator included)
    // with "..." at the cut; null for a folder, while editing or dragging, or without
    // descriptions.
    std::optional<VUnicodeString> Tooltip(TreeNodeId node, size_t bufferChars = 1024);
    // The command for an id of the toolbar, a menu, a button or the accelerator table; false
    // for an id the dialog does not handle.
    bool RunCommand(int id);
    // A key in the dialog before accelerators: true when the dialog handled it.
    bool OnKey(uint32_t key, bool alt, bool ctrl);
    void OnDoubleClick(TreeNodeId node);

    // ---- ending ----
    // 0 while the dialog runs, then 1 (OK) or 2 (cancel).
    int Result() const { return m_result; }
    void Close() { m_result = 2; }
    const std::vector<VUnknownPointer<ISessionConfig>>& Chosen() const { return m_chosen; }
    const VStringArray& PathResults() const { return m_pathResults; }
    const SessionDeckPendingLaunch& PendingLaunch() const { return m_pendingLaunch; }

    // ---- commands ----
    // Validates one session for connecting; asks for a missing host name and saves it.
    bool ValidateForConnect(TreeNodeId node, bool& canTerminal, bool& canTransfer);
    void Connect();
    void ConnectTerminal();
    void ConnectFileTransfer();
    void ConnectBoth();
    void QuickConnect();
    // Creates a session from the Default one in the target folder through the host's dialog
    // or wizard; the new node, or kNoNode when nothing was created.
    TreeNodeId NewSession();
    void Properties();
    // The argument string of a shortcut to `paths`: /S "path" and a blank for each.
    static VUnicodeString ShortcutArguments(const VStringArray& paths);
    void CreateShortcut();
    void Help();
    void ToggleSortOrder();
    void ToggleDescriptions();
    void ToggleTerminalSessions();
    void ToggleTransferSessions();

    // ---- clipboard and drag ----
    bool Cut() { return CutOrCopy(true); }
    bool Copy() { return CutOrCopy(false); }
    bool Paste();
    TreeNodeId CutNode() const { return m_cutNode; }
    // Copies or moves `source` into `targetFolder` before the entry named `before` (empty:
    // the end, or the sorted place); the new node, or kNoNode (the user has been told).
    TreeNodeId CopyTo(TreeNodeId source, TreeNodeId targetFolder, const VUnicodeString& before);
    TreeNodeId MoveTo(TreeNodeId source, TreeNodeId targetFolder, const VUnicodeString& before);
    // A drag starts on `node` (never the root); false when it may not.
    bool BeginDrag(TreeNodeId node);
    // The record a drag offers: move flag set, the parent's name ("Sessions" for the root).
    FolderTreeRecord DragRecord() const;
    // The pointer is over `node` at `y` pixels below its row's top in a row `rowHeight` high.
    DropEffect DragOver(TreeNodeId node, int y, int rowHeight, KeyModifiers keys);
    void DragLeave();
    // The drop where DragOver last was; the node that now stands for the source, or kNoNode.
    TreeNodeId Drop(KeyModifiers keys);
    void OnTimer(unsigned id);
    bool IsDragging() const { return m_dragSource != kNoNode; }
    TreeNodeId DropHighlight() const { return m_dropHighlight; }
    // Where the last DragOver would drop between rows (user-arranged order, within 3 pixels of
    // a row's edge, with an effect): the view draws a line there instead of highlighting the
    // row. Nothing when the drop goes onto or into the row, or nowhere.
    std::optional<DropLine> InsertionLine() const;
    static constexpr unsigned kHoverTimerId = 2;
    static constexpr unsigned kHoverMilliseconds = 750;

    // ---- filter ----
    enum class FilterState {
        kOff,      // no filter: the tree as the dialog fills it
        kShown,    // the tree shows the matches
        kPending,  // the index is still being read; the tree is unchanged until it is ready
    };
    // Starts reading the filter index on its own thread (once per dialog, and again after the
    // dialog changed the store; SetFilter starts it too). `readyOnAnyThread` is called on the
    // index's thread when it is ready: a view posts it to its own thread and calls
    // ApplyPendingFilter there. The callback is kept for the index read after a change.
    void StartFilterIndex(std::function<void()> readyOnAnyThread = {});
    const SessionFilterIndex& FilterIndex() const { return *m_filterIndex; }
    // Shows only the sessions whose name, host, user or description contains `text` (without
    // case), with their folders open; the first match becomes the selection. An empty text
    // gives back the open folders and the selection from before the filter. Reads the index
    // only, never the store.
    FilterState SetFilter(const VUnicodeString& text);
    // Shows a pending filter once the index is ready; the state it is then in.
    FilterState ApplyPendingFilter();
    FilterState Filter() const;
    const VUnicodeString& FilterText() const { return m_filterText; }
    // Enter in the filter box: the normal Connect of what is selected.
    void OnFilterEnter() { Connect(); }

    // ---- keyboard moves ----
    // Moves the one selected session or folder one place up or down among the entries of its
    // kind in user-arranged order, in the database first and then in the tree. False, with
    // nothing changed, in alphabetical order, at the end of its kind, for the root or for
    // several selected nodes; a database refusal is reported.
    bool MoveSelected(bool up);

    // "New" or "New Folder" with " (1)", " (2)"... until no entry of the folder has the name.
    static VUnicodeString UniqueName(const VUnicodeString& folderPath, const VUnicodeString& base);

private:
    void UseDefaultServices();
    void RefillKeepingView();
    void Open();
    void FinishWithChosen(const std::vector<TreeNodeId>& sessions);
    VUnicodeString LaunchCommandLine(TreeNodeId session) const;
    void ConnectIn(bool terminalApp, bool transferApp);
    bool Connectable();
    bool CutOrCopy(bool cut);
    void ClearCut();
    void DisablePaste() { m_clipboardFilled = false; }
    TreeNodeId CopyOrMove(TreeNodeId source, TreeNodeId targetFolder, const VUnicodeString& before,
                          bool move);
    DropEffect DragEffect(TreeNodeId node, KeyModifiers keys) const;
    void ShowWarning(const VUnicodeString& text);
    void ReportDatabaseFailure(const SessionDatabase& db, const char16_t* fallback);
    EditResult Refuse(const VUnicodeString& text, VPromptIcon icon);
    // The label of the entry a new child goes before, empty for the end.
    VUnicodeString BeforeLabel(TreeNodeId parent, TreeItemKind kind, const VUnicodeString& name,
                               TreeNodeId self) const;

    // The tree as it was before the filter showed its matches, by path.
    struct TreeSnapshot {
        // Every folder, the root first (its path empty), and whether it was open.
        std::vector<std::pair<VUnicodeString, bool>> folders;
        std::vector<VUnicodeString> selected;  // in display order
        VUnicodeString caret;
        bool hasCaret = false;
    };
    TreeSnapshot Snapshot() const;
    void SaveState(const TreeSnapshot& state);
    void ShowFilterMatches();
    void RestoreUnfiltered();
    // The dialog wrote the store: the index to tell of the change when it is read, so that it
    // follows entry by entry; null when it is still being read (or never started), as it cannot
    // tell what it read before the change: that read then starts over.
    SessionFilterIndex* IndexToFollowChange();
    void OutdateFilterIndex();

    IPrompt& m_prompt;
    VUnknownPointer<GlobalConfig> m_ownConfig;  // when the caller gave none
    GlobalConfig* m_config = nullptr;
    SessionDeckParams m_params;
    SessionDeckServices m_services;
    LibrarySiblingLauncher m_defaultLauncher;
    DesktopFileShortcutWriter m_defaultShortcuts;
    ProcessFolderTreeClipboard m_defaultClipboard;
    SessionTreeModel m_tree;
    VMultiSelTreeCtrl m_selection;
    TreeNodeId m_editing = kNoNode;
    bool m_newFolderPending = false;
    bool m_deleting = false;
    bool m_showDescriptions = true;
    bool m_clipboardFilled = false;
    TreeNodeId m_cutNode = kNoNode;
    int m_result = 0;
    std::vector<VUnknownPointer<ISessionConfig>> m_chosen;
    VStringArray m_pathResults;
    SessionDeckPendingLaunch m_pendingLaunch;
    VRect m_windowRect;
    // Drag state: the source, the node under the pointer and where in its row.
    TreeNodeId m_dragSource = kNoNode;
    TreeNodeId m_dropHighlight = kNoNode;
    DropPosition m_dropPosition = DropPosition::kOn;
    DropEffect m_dropEffect = DropEffect::kNone;  // of the last DragOver
    bool m_hoverTimerRunning = false;
    VUnicodeString m_filterText;
    bool m_filterShown = false;
    bool m_filterPending = false;
    TreeSnapshot m_unfiltered;
    std::function<void()> m_filterReady;
    // Last, so that its thread is stopped and joined before anything else goes.
    std::unique_ptr<SessionFilterIndex> m_filterIndex = std::make_unique<SessionFilterIndex>();
};

}  // namespace sessiondeck
