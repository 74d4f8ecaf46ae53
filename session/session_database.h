// The tree of saved sessions and folders under "Sessions": order records, lookup, copy, rename,
// reorder, removal, apply-to-all, and the firewall helpers that live beside it.
#pragma once

#include <functional>

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/buffer.h"
#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"

namespace sessiondeck {

class FirewallConfig;
class ISessionConfig;
class UserButtonMap;

inline constexpr const char16_t* kSessionsKeyName = u"Sessions";
inline constexpr const char16_t* kFolderDataKeyName = u"__FolderData__";
// Left behind by an interrupted copy; never shown as a child.
inline constexpr const char16_t* kTemporaryKeyName = u"_@@TMP@@_";
inline constexpr const char16_t* kDefaultSessionName = u"Default";

// The flag of SessionDatabase and ProfileFolderData: stores are opened
// read-only, so nothing, not even a repaired order record, is written.
inline constexpr int kSessionDatabaseReadOnly = 1;

// A name as the user typed it, without leading and trailing white space: the
// form in which every operation takes a new session or folder name.
SESSIONDECK_API VUnicodeString TrimSessionName(std::u16string_view name);
// Why `name` (trimmed first) cannot name a session or folder, or null when it
// can: empty, one of the nine characters the file system or the path syntax
// reserve, a reserved device name, or a name the store uses for itself
// ("__FolderData__", temporary names). The texts are the Session Options
// page's where it has one.
SESSIONDECK_API std::optional<VUnicodeString> CheckSessionName(std::u16string_view name);
// Whether the store uses `name` for itself, so that no session or folder may
// have it: the order record "__FolderData__" and temporary key names.
SESSIONDECK_API bool IsStoreReservedName(std::u16string_view name);

// A folder's user-defined order: its sessions and sub-folders, reconciled with
// the children the store actually holds.
class SESSIONDECK_API ProfileFolderData : public VProfileRecord<ProfileFolderData> {
public:
    // Gathers the children of `folderKey`, loads "__FolderData__" and
    // reconciles both lists; a list that changed is written back unless `flag`
    // holds kSessionDatabaseReadOnly. When the store could not list the
    // folder, both lists are empty, nothing is written back (the record would
    // lose every name), and GetReport() says why.
    ProfileFolderData(VProfileKey& folderKey, int flag);

    VStringArray& Sessions() { return m_sessions; }
    VStringArray& Folders() { return m_folders; }
    bool GetExpanded() const { return isExpanded.Get() != 0; }
    void SetExpanded(bool expanded) { isExpanded = expanded ? 1 : 0; }
    // Rebuilds both stored lists from the ordered arrays and writes the whole
    // record into the folder's "__FolderData__". False when the write failed
    // (GetReport says why).
    bool Write(VProfileKey& folderKey);
    const VReportMessageParams& GetReport() const { return m_report; }
    // False when the store could not list the folder's children.
    bool IsListed() const { return m_listed; }

    VProfile2<VUnicodeString, VProfileSz> sessionList;
    VProfile2<VUnicodeString, VProfileSz> folderList;
    VProfile<int> isExpanded;
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&ProfileFolderData::sessionList, u"Session List"),
                        VProfileMember(&ProfileFolderData::folderList, u"Folder List"),
                        VProfileMember(&ProfileFolderData::isExpanded, u"Is Expanded", 0));

private:
    VStringArray m_sessions;
    VStringArray m_folders;
    int m_flag;
    bool m_listed = true;
    mutable VReportMessageParams m_report;
};

// Result of the apply-to-all walks.
struct GlobalChangeTally {
    int updated = 0;
    int visited = 0;
    // Sessions whose change could not be written (counted in `visited`, not
    // in `updated`); the database's report says why the last one failed.
    int failed = 0;
};

// Told the number of sessions visited so far by the walks that change every session.
using SessionWalkProgress = std::function<void(int visited)>;

// Called for every session by EnumAllSessions.
using SessionEnumCallback = void (*)(VProfileKey& key, const VUnicodeString& path,
                                     const VUnicodeString& name, void* context);

// Every operation opens the store (through the host's factory getter), works
// and closes it; nothing is cached between calls. Paths are session paths:
// names below "Sessions" joined by "\", the empty path being the root folder.
class SESSIONDECK_API SessionDatabase {
public:
    explicit SessionDatabase(int flag = 0) : m_flag(flag) {}

    // "Sessions" for the root, else "Sessions\" and the path.
    static VUnicodeString KeyPath(const VUnicodeString& path);
    static VUnicodeString JoinPath(const VUnicodeString& folder, const VUnicodeString& name);
    // The folder part (empty at the root) and the last name of a path.
    static VUnicodeString ParentPath(const VUnicodeString& path);
    static VUnicodeString LeafName(const VUnicodeString& path);
    // The names of a path from the top down, as views into `path` (none for the root's "").
    static std::vector<std::u16string_view> PathParts(const VUnicodeString& path);

    // A key is a folder exactly when it holds no "Is Session" value.
    static bool IsFolder(VProfileKey& key);
    // The first key below a session's key, if any: a folder of the session's name beside its
    // value file (made by hand or by a copy), which the tree never shows.
    static std::optional<VUnicodeString> FirstKeyBelowSession(VProfileKey& session);
    bool IsFolder(const VUnicodeString& path) const;
    static bool IsHidden(VProfileKey& key);
    static bool Exists(const VUnicodeString& path);
    static bool Exists(const VUnicodeString& folder, const VUnicodeString& name);
    // Whether a child of `folder` has the name, compared without case: the
    // store's names are file names, which must stay apart on every system.
    static bool IsNameInUse(const VUnicodeString& folder, const VUnicodeString& name);
    bool HasChildren(const VUnicodeString& path) const;
    bool IsEmpty() const;

    static void EnumAllSessions(SessionEnumCallback callback, void* context);
    // The folder's sessions or sub-folders in their order. A folder the store
    // could not list gives an empty list, and GetReport() then holds the
    // system error code (EACCES...) with its text; else GetReport() is clear,
    // so that a caller can tell an unreadable folder from an empty one.
    void GetSessionList(const VUnicodeString& folder, VStringArray& out) const;
    void GetFolderList(const VUnicodeString& folder, VStringArray& out) const;
    bool IsExpanded(const VUnicodeString& path) const;
    void IsExpanded(const VUnicodeString& path, bool expanded) const;

    // A new session (one reference, the caller's) loaded from the path; null
    // for a folder or a missing key, except that "Default" always gives the
    // default session (whose key comes into being on first use, unless the
    // database is read-only).
    ISessionConfig* Lookup(const VUnicodeString& path) const;
    // Loads folder\name without those checks.
    ISessionConfig* GetSessionConfig(const VUnicodeString& folder,
                                     const VUnicodeString& name) const;
    // Creates the key, gives the session its path, saves every setting into
    // it and places the name in the folder's session order before `before`.
    bool InsertSession(const VUnicodeString& folder, const VUnicodeString& name,
                       ISessionConfig* session, const VUnicodeString& before,
                       bool writeOrder) const;
    // Saves what changed, inserting the session first when its key is new.
    // The default session is saved only when `saveDefault`. False when
    // nothing could be saved (refused, read-only store or session file).
    bool Save(ISessionConfig* session, bool saveDefault) const;

    // Creates the folder key (an empty order record) and inserts it into the
    // parent's folder order before `before` (at the end when empty or not
    // found). `writeOrder` false leaves the parent's order record to the
    // caller's next reconcile. False when the name is refused, already taken
    // or the store did not create the key.
    bool InsertFolder(const VUnicodeString& folder, const VUnicodeString& name,
                      const VUnicodeString& before, bool writeOrder) const;

    // Deletes the key (a folder with all below it) and takes the name out of
    // its parent's order. False when nothing was removed.
    bool Remove(const VUnicodeString& path) const;
    // Removes the entries `names` of `folder` in turn, each as Remove does, and takes them out
    // of the folder's order with one read and one write of its order record, where one Remove
    // each would list the whole folder every time. Stops at the first entry that cannot be
    // removed; returns how many were (GetReport says why it stopped).
    size_t RemoveEntries(const VUnicodeString& folder,
                         const std::vector<VUnicodeString>& names) const;
    // Renames a session or folder in place, keeping its position in the
    // parent's order. False for a missing source, a refused name or a name in
    // use by another child.
    bool Rename(const VUnicodeString& folder, const VUnicodeString& oldName,
                const VUnicodeString& newName) const;
    // Copies a session or a folder with its whole sub-tree into
    // `targetFolder`, before `before`. A name taken there gets the first free
    // "%1 (%2!d!)" form when `uniqueName`, else the copy is refused. Every
    // stored value is copied as it stands (so nothing the session record does
    // not know is lost), the folder's "Is Expanded" state included. Returns the
    // new path, or empty when nothing was copied. `writeOrder` as for
    // InsertFolder.
    VUnicodeString Copy(const VUnicodeString& path, const VUnicodeString& targetFolder,
                        bool uniqueName, const VUnicodeString& before, bool writeOrder) const;
    // Moves a session or folder with everything below it into `targetFolder`,
    // before `before`, in one step: the store moves the key whole (never a
    // copy and a removal), so it cannot be left half-moved, and nothing that
    // appeared at the target meanwhile is replaced. Returns the new path, or
    // empty when the source is missing, the name is taken there, the target
    // lies below the source, or the store refused (GetReport says why).
    VUnicodeString MoveTo(const VUnicodeString& path, const VUnicodeString& targetFolder,
                          const VUnicodeString& before, bool writeOrder) const;
    // Moves the item within its parent's order next to the sibling `target`:
    // after it when `after`, else before it. Returns the item's path, or empty
    // when the item or the target is missing.
    VUnicodeString Reorder(const VUnicodeString& path, const VUnicodeString& target,
                           bool after) const;

    static VUnicodeString GetUniqueSessionName(VUnicodeString name);
    // Sessions given or found below the given folders (in folder order) go to
    // `sessions`; every folder met goes to `folders`.
    void ExpandPaths(const VStringArray& paths, VStringArray& sessions,
                     VStringArray& folders) const;

    GlobalChangeTally EnumAndSetAllBoolValues(const VUnicodeString& name, bool value) const;
    GlobalChangeTally DoEnumAndSetAllBoolValues(VProfileKey& key, const VUnicodeString& name,
                                                bool value) const;

    // Carries the members changed in `delta` (a session checkpointed before
    // the change) over to every writable session and saves it; read-only
    // session files are counted but left alone.
    // `progress`, when given, is called after each session with the number visited so far, on
    // the calling thread (a host runs the walk off its user-interface thread and shows it).
    GlobalChangeTally EnumAndApplyDelta(ISessionConfig* delta,
                                        const SessionWalkProgress& progress = {}) const;
    GlobalChangeTally DoEnumAndApplyDelta(VProfileKey& key, ISessionConfig* delta,
                                          const SessionWalkProgress& progress = {}) const;
    // Firewalls renamed (old name, new name; several at once, so two firewalls may swap
    // names): every session that names an old one, as it reads its firewall (the older "Use
    // Firewall" switch included), names the new one. Only that value is written, as apply-to-all
    // writes. The tally counts the sessions that named an old firewall: `visited` all of them,
    // `updated` those changed; the rest were read-only or `failed`. `progress` is told the
    // sessions walked so far, every one counted.
    GlobalChangeTally RenameFirewallInSessions(
        const std::vector<std::pair<VUnicodeString, VUnicodeString>>& renames,
        const SessionWalkProgress& progress = {}) const;
    // How many sessions the store holds, every folder included (the Default session is one).
    static int CountAllSessions();

    // Whether the session stores a terminal (mode 0) or transfer (mode 1)
    // protocol of its own: a recognised name other than "None".
    bool HasMatchingProtocol(unsigned mode, const VUnicodeString& path) const;
    // The same rule asked of a session's key that is already open (a caller
    // walking a folder opens the store once, not once per session).
    // `alone`: the key is asked nothing else, so the store need not keep the session's
    // other values (see VProfileKey::QueryOneString).
    static bool HasMatchingProtocol(unsigned mode, VProfileKey& key, bool alone = false);

    static bool FirewallExists(const VUnicodeString& name);
    // "None", then every stored firewall, as a string array: each name in
    // UTF-16LE with its terminating 0, then a final 0.
    static void GetSerializedFirewallNames(IBuffer* buffer);
    bool SaveFirewall(FirewallConfig* firewall, bool force) const;

    // The button bars under "ButtonBar" (see session/button_bar.h). The two
    // that write refuse on a read-only database.
    VStringArray GetButtonBarNames() const;
    // A new bar, owned by the caller (one reference).
    UserButtonMap* GetButtonMap(const VUnicodeString& name) const;
    bool SaveButtonMap(UserButtonMap* map) const;
    bool DeleteButtonMap(const char16_t* name) const;

    // Why the last operation that returned false (or an empty path) failed:
    // a system error code (errno, e.g. EEXIST for a name in use, ENOSPC for a
    // full disk) as the message id with the system's text, or a library
    // message. Cleared at the start of every changing operation.
    const VReportMessageParams& GetReport() const { return m_report; }

private:
    bool IsReadOnly() const { return (m_flag & kSessionDatabaseReadOnly) != 0; }
    // Whether `name` may become a new child of `folder` (report set when not).
    bool CheckNewChild(const VUnicodeString& folder, const VUnicodeString& name) const;
    // Whether `path` may be copied or moved into `targetFolder` (report set
    // when not): the store is writable, both exist, and the target does not
    // lie in or below the source.
    bool CheckTreeTarget(const VUnicodeString& path, const VUnicodeString& targetFolder) const;
    void CollectSessions(const VUnicodeString& folder, VStringArray& sessions,
                         VStringArray& folders) const;

    int m_flag;
    mutable VReportMessageParams m_report;
};

}  // namespace sessiondeck
