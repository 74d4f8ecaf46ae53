// The session manager's tree without a toolkit: folder and session nodes filled lazily from the
// session database, filtered for the host, in alphabetical or user-arranged order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/product.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "session/session_config.h"

namespace sessiondeck {

class VProfileKey;

// What the dialog needs to know about its host; the dialog asks the library once and the tests
// state it outright, so that no rule depends on what happens to be installed on the machine.
struct SessionDeckHost {
    // Vetra and Vetralon are terminal hosts, Ferrivo the transfer host; any other is neither.
    Product product = Product::Vetralon;
    bool terminalAppInstalled = false;  // either terminal application
    bool transferAppInstalled = false;  // the transfer application
    bool canLaunchFileTransferApp = false;
    bool integrated = false;  // the host and its sibling share one installation

    bool IsTerminalHost() const {
        return product == Product::Vetra || product == Product::Vetralon;
    }
    bool IsTransferHost() const { return product == Product::Ferrivo; }

    // The host as the library sees it: the current product id and the sibling checks.
    static SessionDeckHost FromLibrary();
};

// The tree item record's kind, with the numbers the dialog stores for it.
enum class TreeItemKind { kSession = 1, kFolder = 2 };

// A node's slot in the low 32 bits and the slot's generation above them: a slot is used again
// once its node is removed, under a new generation, so an old handle never finds the new node.
using TreeNodeId = uint64_t;
inline constexpr TreeNodeId kNoNode = 0;

// Image indices of the tree's image list.
inline constexpr int kImageFolderClosed = 0;
inline constexpr int kImageFolderOpen = 1;
inline constexpr int kImageSession = 2;

inline constexpr const char16_t* kRootLabel = u"Sessions";

struct SessionTreeNode {
    TreeItemKind kind = TreeItemKind::kFolder;
    VUnicodeString label;
    TreeNodeId parent = kNoNode;
    std::vector<TreeNodeId> children;
    bool loaded = false;  // a folder's sessions have been inserted
    bool expanded = false;
    bool everExpanded = false;  // until then a folder shows an expander whatever it holds
    bool selected = false;
    bool cut = false;  // marked by Cut, drawn dimmed
    // Loaded the first time it is needed and released with the node.
    VUnknownPointer<ISessionConfig> session;
};

// Which sessions the tree shows and in which order.
struct SessionTreeOptions {
    bool sortAlphabetical = true;
    bool showTerminalOnlySessions = true;
    bool showTransferOnlySessions = true;
};

// Node handles stay valid until the node is removed; a removed handle never becomes valid
// again, so a stale handle (a clipboard record's, say) finds nothing instead of another node.
class SessionTreeModel {
public:
    SessionTreeModel(const SessionDeckHost& host, const SessionTreeOptions& options);

    const SessionDeckHost& Host() const { return m_host; }
    SessionTreeOptions& Options() { return m_options; }
    const SessionTreeOptions& Options() const { return m_options; }

    // Removes every node and inserts the root and the whole folder hierarchy (folders only).
    void Fill();
    // Removes every node, the root included.
    void Clear();
    // Removes every node and inserts the root alone, marked loaded and expanded: the caller
    // inserts what it shows (the filter's matches) without the database being read.
    void ResetToRoot();

    TreeNodeId Root() const { return m_root; }
    bool IsValid(TreeNodeId id) const;
    const SessionTreeNode& Node(TreeNodeId id) const;
    SessionTreeNode& Node(TreeNodeId id);
    bool IsFolder(TreeNodeId id) const;
    bool IsSession(TreeNodeId id) const;

    // The labels below the root down to the node joined with "\"; empty for the root.
    VUnicodeString Path(TreeNodeId id) const;
    int Image(TreeNodeId id) const;
    int SelectedImage(TreeNodeId id) const;
    bool HasExpander(TreeNodeId id) const;

    // Inserts the folder's sessions once: those the host can open, or all of them when the
    // host's override option is on, never the Default session directly under the root.
    void LoadSessions(TreeNodeId folder);
    // Expanding loads the sessions first; collapsing deselects every node inside the folder.
    void Expand(TreeNodeId folder);
    void Collapse(TreeNodeId folder);
    void Toggle(TreeNodeId folder);
    bool IsAncestor(TreeNodeId ancestor, TreeNodeId node) const;

    // The node for a session path, looked up component by component (without case, as the
    // store compares names); every folder on the way is expanded, which loads its sessions.
    TreeNodeId FindPath(const VUnicodeString& path);
    TreeNodeId FindChild(TreeNodeId folder, std::u16string_view label) const;

    // Inserts a node under `parent` before `before` (at the end when kNoNode).
    TreeNodeId Insert(TreeNodeId parent, TreeItemKind kind, const VUnicodeString& label,
                      TreeNodeId before = kNoNode);
    // Where a new child of this kind and label goes: its sorted place in alphabetical order
    // (folders before sessions), else the end of its kind (folders stay before sessions).
    TreeNodeId InsertionPoint(TreeNodeId parent, TreeItemKind kind,
                              const VUnicodeString& label) const;
    // Inserts a folder node with its sub-folders as the database holds them (sessions of
    // expanded folders are loaded again) and returns it.
    TreeNodeId InsertFolderSubtree(TreeNodeId parent, const VUnicodeString& label,
                                   TreeNodeId before = kNoNode);
    // Removes the node and everything below it, releasing their sessions.
    void Remove(TreeNodeId id);
    void Relabel(TreeNodeId id, const VUnicodeString& label);
    // Moves a node among its siblings to before `before` (the end when kNoNode).
    void MoveBefore(TreeNodeId id, TreeNodeId before);

    // Whether the session at `key` stores a terminal (or transfer) protocol of its own, not
    // "None": the product filter's question.
    // `alone`: the key is asked nothing else (the store then reads only that value).
    static bool HasOwnProtocol(VProfileKey& key, bool terminal, bool alone = false);

    // The session of a session node, loaded once through the database; null for a folder or a
    // session that does not load.
    ISessionConfig* Session(TreeNodeId id);

    // Nodes in display order: every node whose ancestors are all expanded.
    std::vector<TreeNodeId> VisibleNodes() const;
    // Every node in tree order, collapsed children included.
    std::vector<TreeNodeId> AllNodes() const;
    TreeNodeId NextSibling(TreeNodeId id) const;
    TreeNodeId PreviousSibling(TreeNodeId id) const;

private:
    void FillFolders(TreeNodeId node, const VUnicodeString& path);
    void Collect(TreeNodeId id, bool visibleOnly, std::vector<TreeNodeId>& out) const;

    SessionDeckHost m_host;
    SessionTreeOptions m_options;
    struct Slot {
        std::unique_ptr<SessionTreeNode> node;
        uint32_t generation = 0;
        bool live = false;
    };
    std::vector<Slot> m_slots;  // slot 0 is never used: handle 0 is kNoNode
    // Slots of removed nodes, with the node's storage (label, children) kept for the next node
    // inserted: a filter keystroke replaces the whole tree, and allocating every node and label
    // again (and growing the table by every node) each time was most of its cost.
    std::vector<uint32_t> m_freeSlots;
    TreeNodeId m_root = kNoNode;
};

}  // namespace sessiondeck
