// The session manager dialog's commands that change the tree: New Folder, in-place rename
// and Delete. Questions and refusals go through the IPrompt the dialog is given; the session
// database is always changed first and the tree only when that succeeded.
#pragma once

#include <optional>

#include "foundation/prompt.h"
#include "ui/model/multi_sel_tree.h"

class SessionDatabase;

class SessionDeckModel {
public:
    SessionDeckModel(IPrompt& prompt, const SessionDeckHost& host,
                     const SessionTreeOptions& options);

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

    // "New" or "New Folder" with " (1)", " (2)"... until no entry of the folder has the name.
    static VUnicodeString UniqueName(const VUnicodeString& folderPath, const VUnicodeString& base);

private:
    void ReportDatabaseFailure(const SessionDatabase& db, const char16_t* fallback);
    EditResult Refuse(const VUnicodeString& text, VPromptIcon icon);
    // The label of the entry a new child goes before, empty for the end.
    VUnicodeString BeforeLabel(TreeNodeId parent, TreeItemKind kind, const VUnicodeString& name,
                               TreeNodeId self) const;

    IPrompt& m_prompt;
    SessionTreeModel m_tree;
    VMultiSelTreeCtrl m_selection;
    TreeNodeId m_editing = kNoNode;
    bool m_newFolderPending = false;
    bool m_deleting = false;
};
