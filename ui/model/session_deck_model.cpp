// New Folder, rename and Delete of the session manager: database first, then the tree.
#include "ui/model/session_deck_model.h"

#include <algorithm>

#include "foundation/reserved_names.h"
#include "session/session_database.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {
// Searched in this order; the first found is the one reported.
constexpr std::u16string_view kForbiddenCharacters = u"\\/:*?\"<>|";
}  // namespace

namespace {
SessionTreeOptions TreeOptionsFrom(const GlobalConfig& config) {
    SessionTreeOptions options;
    options.sortAlphabetical = config.sortAlphabetical.Get() != 0;
    options.showTerminalOnlySessions = config.showTerminalOnlySessions.Get();
    options.showTransferOnlySessions = config.showTransferOnlySessions.Get();
    return options;
}
}  // namespace

SessionDeckModel::SessionDeckModel(IPrompt& prompt, const SessionDeckHost& host,
                                   const SessionTreeOptions& options)
    : m_prompt(prompt),
      m_ownConfig(VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr))),
      m_config(m_ownConfig.Get()),
      m_tree(host, options),
      m_selection(m_tree) {
    m_config->sortAlphabetical = options.sortAlphabetical ? 1 : 0;
    m_config->showTerminalOnlySessions = options.showTerminalOnlySessions;
    m_config->showTransferOnlySessions = options.showTransferOnlySessions;
    m_config->saveConnectDialogFolderState = 0;
    m_showDescriptions = m_config->showDetailsOnConnectDialog.Get();
    UseDefaultServices();
    m_tree.Fill();
}

SessionDeckModel::SessionDeckModel(IPrompt& prompt, const SessionDeckHost& host,
                                   GlobalConfig& config, const SessionDeckParams& params,
                                   const SessionDeckServices& services)
    : m_prompt(prompt),
      m_config(&config),
      m_params(params),
      m_services(services),
      m_tree(host, TreeOptionsFrom(config)),
      m_selection(m_tree) {
    if (m_params.multiSelectBrowseMode) m_params.browseMode = true;
    m_showDescriptions = config.showDetailsOnConnectDialog.Get();
    UseDefaultServices();
    Open();
}

SessionDeckModel::~SessionDeckModel() = default;

void SessionDeckModel::UseDefaultServices() {
    if (!m_services.launcher) m_services.launcher = &m_defaultLauncher;
    if (!m_services.shortcuts) m_services.shortcuts = &m_defaultShortcuts;
    if (!m_services.clipboard) m_services.clipboard = &m_defaultClipboard;
}

TreeNodeId SessionDeckModel::TargetFolder() const {
    const auto selected = m_selection.AsSelected();
    if (selected.empty()) return m_tree.Root();
    if (m_tree.IsFolder(selected.front())) return selected.front();
    return m_tree.Node(selected.front()).parent;
}

VUnicodeString SessionDeckModel::UniqueName(const VUnicodeString& folderPath,
                                            const VUnicodeString& base) {
    VUnicodeString name = base;
    for (int counter = 1; SessionDatabase::Exists(folderPath, name); ++counter)
        name = base + u" (" + VUnicodeString::FromUtf8(std::to_string(counter)).str() + u")";
    return name;
}

TreeNodeId SessionDeckModel::NewFolder() {
    const TreeNodeId folder = TargetFolder();
    m_tree.LoadSessions(folder);
    m_tree.Expand(folder);
    const VUnicodeString name = UniqueName(m_tree.Path(folder), u"New Folder");
    const TreeNodeId node =
        m_tree.Insert(folder, TreeItemKind::kFolder, name,
                      m_tree.InsertionPoint(folder, TreeItemKind::kFolder, name));
    m_tree.Node(node).loaded = true;  // nothing stored below it yet
    m_selection.SelectOnly(node);
    m_newFolderPending = true;
    m_editing = node;
    return node;
}

bool SessionDeckModel::BeginRename() {
    const auto selected = m_selection.AsSelected();
    if (selected.size() != 1 || selected.front() == m_tree.Root()) return false;
    m_selection.SelectOnly(selected.front());
    m_editing = selected.front();
    return true;
}

void SessionDeckModel::ReportDatabaseFailure(const SessionDatabase& db, const char16_t* fallback) {
    VReportMessageParams report(db.GetReport());
    VUnicodeString text = report.GetMessageId() != 0 ? VUnicodeString(report.GetText()) : fallback;
    if (text.IsEmpty()) text = fallback;
    Warn(m_prompt, text, m_params.applicationName);
}

SessionDeckModel::EditResult SessionDeckModel::Refuse(const VUnicodeString& text,
                                                      VPromptIcon icon) {
    m_prompt.ShowMessage(text, m_params.applicationName, VPromptButtons::kOk, icon);
    return EditResult::kEditAgain;
}

VUnicodeString SessionDeckModel::BeforeLabel(TreeNodeId parent, TreeItemKind kind,
                                             const VUnicodeString& name, TreeNodeId self) const {
    if (!m_tree.Options().sortAlphabetical) return VUnicodeString();
    for (TreeNodeId child : m_tree.Node(parent).children) {
        if (child == self || m_tree.Node(child).kind != kind) continue;
        if (m_tree.Node(child).label.CompareNoCase(name) > 0) return m_tree.Node(child).label;
    }
    return VUnicodeString();
}

SessionDeckModel::EditResult SessionDeckModel::EndLabelEdit(
    const std::optional<VUnicodeString>& typed) {
    const TreeNodeId node = m_editing;
    m_editing = kNoNode;
    if (m_deleting || !m_tree.IsValid(node)) return EditResult::kDone;
    const VUnicodeString oldLabel = m_tree.Node(node).label;
    if (!typed && !m_newFolderPending) return EditResult::kDone;
    // A cancelled edit of a new folder still stores it, under the name it shows.
    const VUnicodeString name = TrimSessionName(typed ? typed->str() : oldLabel.str());
    const TreeNodeId parent = m_tree.Node(node).parent;
    const VUnicodeString folderPath = m_tree.Path(parent);

    m_editing = node;  // every refusal below opens the edit again
    if (name.IsEmpty())
        return Refuse(u"Rename error.\n\nName must be non-empty.", VPromptIcon::kExclamation);
    for (char16_t forbidden : kForbiddenCharacters) {
        if (name.str().find(forbidden) != std::u16string::npos)
            return Refuse(VUnicodeString(u"Rename error.\n\nName cannot contain: ' ") +
                              std::u16string(1, forbidden) + u" '",
                          VPromptIcon::kExclamation);
    }
    if (IsReservedDeviceName(name))
        return Refuse(name +
                          u" is a reserved device name on Windows and cannot be used as a "
                          u"session name.",
                      VPromptIcon::kExclamation);
    const bool caseOnly = !m_newFolderPending && name.EqualsNoCase(oldLabel);
    // Without case, as the store compares names: two names differing only in case would
    // collide on any system whose file names do not keep case apart.
    if (!caseOnly && SessionDatabase::IsNameInUse(folderPath, name))
        return Refuse(u"'" + name + u"' is already in use.", VPromptIcon::kExclamation);
    m_editing = kNoNode;

    SessionDatabase db;
    if (m_newFolderPending) {
        m_newFolderPending = false;
        const TreeItemKind kind = TreeItemKind::kFolder;
        const bool inserted =
            db.InsertFolder(folderPath, name, BeforeLabel(parent, kind, name, node), true);
        if (auto* index = IndexToFollowChange())
            index->Refresh(SessionDatabase::JoinPath(folderPath, name));
        if (!inserted) {
            m_tree.Remove(node);
            m_selection.SelectOnly(parent);
            ReportDatabaseFailure(db, u"ERROR: Could not create the folder.");
            return EditResult::kFailed;
        }
        m_tree.Relabel(node, name);
        m_tree.MoveBefore(node, m_tree.InsertionPoint(parent, kind, name) == node
                                    ? m_tree.NextSibling(node)
                                    : m_tree.InsertionPoint(parent, kind, name));
        m_selection.SelectOnly(node);
        return EditResult::kDone;
    }
    if (name.str() == oldLabel.str()) return EditResult::kDone;
    if (!db.Rename(folderPath, oldLabel, name)) {
        // Whatever the store holds under either name now is what the filter finds.
        if (auto* index = IndexToFollowChange()) {
            index->Refresh(SessionDatabase::JoinPath(folderPath, oldLabel));
            index->Refresh(SessionDatabase::JoinPath(folderPath, name));
        }
        ReportDatabaseFailure(db, u"ERROR: Rename failed.");
        return EditResult::kFailed;
    }
    if (auto* index = IndexToFollowChange()) index->Renamed(folderPath, oldLabel, name);
    TreeNodeId renamed = node;
    if (m_tree.IsSession(node)) {
        m_tree.Relabel(node, name);
    } else {
        // A renamed folder is rebuilt with its children, open where the database says so.
        const TreeNodeId next = m_tree.NextSibling(node);
        m_tree.Remove(node);
        renamed = m_tree.InsertFolderSubtree(parent, name, next);
    }
    if (m_tree.Options().sortAlphabetical) {
        m_tree.MoveBefore(renamed, kNoNode);
        m_tree.MoveBefore(renamed,
                          m_tree.InsertionPoint(parent, m_tree.Node(renamed).kind, name) == renamed
                              ? kNoNode
                              : m_tree.InsertionPoint(parent, m_tree.Node(renamed).kind, name));
    }
    m_selection.SelectOnly(renamed);
    return EditResult::kDone;
}

bool SessionDeckModel::Delete() {
    if (m_prompt.ShowMessage(u"Are you sure you want to delete the selected item(s)?",
                             m_params.applicationName, VPromptButtons::kYesNo,
                             VPromptIcon::kExclamation) != VPromptAnswer::kYes)
        return false;
    // The selection goes in runs of entries of one folder, each taken from the store in one go:
    // one listing of a folder of ten thousand sessions for the run, not one per entry.
    const std::vector<TreeNodeId> selected = m_selection.AsSelected();
    for (size_t at = 0; at < selected.size();) {
        std::vector<TreeNodeId> run;
        std::vector<VUnicodeString> names;
        for (; at < selected.size(); ++at) {
            const TreeNodeId node = selected[at];
            if (node == m_tree.Root() || !m_tree.IsValid(node)) continue;  // inside one deleted
            if (!run.empty() && m_tree.Node(node).parent != m_tree.Node(run.front()).parent) break;
            run.push_back(node);
            names.push_back(m_tree.Node(node).label);
        }
        if (run.empty()) break;
        const VUnicodeString folderPath = m_tree.Path(m_tree.Node(run.front()).parent);
        SessionDatabase db;
        const size_t removed = db.RemoveEntries(folderPath, names);
        if (auto* index = IndexToFollowChange()) {
            // With whatever the failed one left.
            names.resize(std::min(removed + 1, names.size()));
            index->Refresh(folderPath, names);
        }
        for (size_t i = 0; i < removed; ++i) {
            const TreeNodeId node = run[i];
            TreeNodeId next = m_tree.NextSibling(node);
            if (next == kNoNode) next = m_tree.PreviousSibling(node);
            if (next == kNoNode) next = m_tree.Node(node).parent;
            if (next == kNoNode) next = m_tree.Root();
            m_deleting = true;
            m_tree.Remove(node);
            m_deleting = false;
            m_selection.SelectOnly(next);
        }
        if (removed < run.size()) {
            ReportDatabaseFailure(db,
                                  u"ERROR: Deletion of folder or session from the database failed");
            return false;
        }
    }
    return true;
}

}  // namespace sessiondeck
