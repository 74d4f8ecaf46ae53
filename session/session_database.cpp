// The session tree under "Sessions": every operation opens the store, works and closes it.
#include "session/session_database.h"

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "foundation/message_format.h"
#include "foundation/reserved_names.h"
#include "profile/write_batch.h"
#include "session/button_bar.h"
#include "session/firewall_store.h"
#include "session/remote_host_config.h"
#include "session/session_config.h"

namespace sessiondeck {

namespace {

constexpr std::u16string_view kIllegalSessionNameCharacters = u"\\/:*?\"<>|";
constexpr size_t kMaxFileNameBytes = 255;

// The order record and the store's temporary keys (a copy being built) are
// never shown as sessions or folders.
bool IsHiddenChild(std::u16string_view name) {
    return name == kFolderDataKeyName || TemporaryKeyOwner(name).has_value();
}

// The stored lists separate names with ':', so a name holding one (which no
// new session or folder may have, but a store written by hand can) cannot be
// listed: it would come back as two names that do not exist.
bool IsListable(std::u16string_view name) {
    return name.find(u':') == std::u16string_view::npos;
}

std::u16string JoinNames(const VStringArray& names) {
    std::u16string joined;
    for (const VUnicodeString& name : names) {
        if (!IsListable(name.str())) continue;
        if (!joined.empty()) joined += u':';
        joined += name.str();
    }
    return joined;
}

// Orders `children` by the stored list: listed names first, in list order,
// then those the list misses, in the store's order, and last those no list
// can hold. True when the list named a child that is gone (or named one twice)
// or missed one it could hold; otherwise every open would write the list again.
bool Reconcile(std::u16string_view stored, const std::vector<std::u16string>& children,
               VStringArray& ordered) {
    std::unordered_set<std::u16string> remaining(children.begin(), children.end());
    bool changed = false;
    if (!stored.empty()) {
        size_t start = 0;
        while (start <= stored.size()) {
            size_t end = stored.find(u':', start);
            if (end == std::u16string_view::npos) end = stored.size();
            const std::u16string name(stored.substr(start, end - start));
            if (remaining.erase(name))
                ordered.Add(VUnicodeString(name));
            else
                changed = true;
            start = end + 1;
        }
    }
    for (const std::u16string& child : children) {
        if (remaining.count(child) && IsListable(child)) {
            ordered.Add(VUnicodeString(child));
            changed = true;
        }
    }
    for (const std::u16string& child : children) {
        if (!IsListable(child)) ordered.Add(VUnicodeString(child));
    }
    return changed;
}

std::optional<size_t> IndexOf(const VStringArray& names, const VUnicodeString& name) {
    for (size_t i = 0; i < names.GetSize(); ++i) {
        if (names[i] == name) return i;
    }
    return std::nullopt;
}

// Puts `name` before `before` (at the end when `before` is empty or absent),
// taking out an earlier place of the name first.
void PlaceBefore(VStringArray& names, const VUnicodeString& name, const VUnicodeString& before) {
    if (auto at = IndexOf(names, name)) names.RemoveAt(*at);
    const auto target = before.IsEmpty() ? std::nullopt : IndexOf(names, before);
    names.InsertAt(target ? *target : names.GetSize(), name);
}

// Every session found is handed to `visit` with its values read already:
// visitors load them, and reading them first answers whether the key is a
// session without a separate look at its file.
template <class F>
void WalkSessions(VProfileKey& folder, const VUnicodeString& path, F&& visit) {
    VStringArray names;
    {
        VProfileKeyIterator it(folder, false);
        VUnicodeString name;
        while (it.Next(name)) {
            if (!IsHiddenChild(name.str())) names.Add(name);
        }
    }
    for (const VUnicodeString& name : names) {
        VProfileKey child(folder, name);
        const VUnicodeString childPath = SessionDatabase::JoinPath(path, name);
        child.Prefetch();
        if (SessionDatabase::IsFolder(child))
            WalkSessions(child, childPath, visit);
        else
            visit(child, childPath, name);
    }
}

// The sessions below `folderKey` in folder order, and its sub-folders, depth
// first. One reconcile gives both of a folder's lists: filling a tree of many
// folders would otherwise list and classify every child twice.
void CollectFolder(VProfileKey& folderKey, const VUnicodeString& folder, int flag,
                   VStringArray& sessions, VStringArray& folders) {
    VStringArray subFolders;
    {
        ProfileFolderData order(folderKey, flag);
        for (const VUnicodeString& name : order.Sessions())
            sessions.Add(SessionDatabase::JoinPath(folder, name));
        subFolders = std::move(order.Folders());
    }
    for (const VUnicodeString& name : subFolders) {
        const VUnicodeString path = SessionDatabase::JoinPath(folder, name);
        folders.Add(path);
        VProfileKey child(folderKey, name);
        CollectFolder(child, path, flag, sessions, folders);
    }
}

VUnicodeString NumberedName(const VUnicodeString& name, int number) {
    return VUnicodeString(name.str() + u" (" +
                          VUnicodeString::FromUtf8(std::to_string(number)).str() + u")");
}

}  // namespace

VUnicodeString TrimSessionName(std::u16string_view name) {
    return VUnicodeString(TrimBlanks(name, u" \t\r\n\v\f\u00A0\u3000"));
}

bool IsStoreReservedName(std::u16string_view name) {
    return EqualsNoCase(name, kFolderDataKeyName) || TemporaryKeyOwner(name).has_value();
}

std::optional<VUnicodeString> CheckSessionName(std::u16string_view given) {
    const VUnicodeString trimmed = TrimSessionName(given);
    const std::u16string_view name = trimmed.str();
    if (name.empty()) return VUnicodeString(u"The session name must be specified");
    if (IsStoreReservedName(name)) {
        return VUnicodeString(u"The name '" + std::u16string(name) +
                              u"' is reserved for the configuration store's own use");
    }
    for (char16_t c : kIllegalSessionNameCharacters) {
        if (name.find(c) == std::u16string_view::npos) continue;
        std::u16string text = u"The session name contains an illegal character: ' %c '";
        text.replace(text.find(u"%c"), 2, 1, c);
        return VUnicodeString(std::move(text));
    }
    if (IsReservedDeviceName(name)) {
        return VUnicodeString(InsertName(
            u"%s is a reserved device name on Windows and cannot be used as a session name.",
            name));
    }
    // Not the page's rule, but a name the store cannot keep as a key (a
    // control character, "." or "..") would otherwise vanish silently.
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F)
            return VUnicodeString(u"The session name contains a control character");
    }
    if (name == u"." || name == u"..")
        return VUnicodeString(u"The session name contains an illegal character: ' . '");
    // A session is the file NAME.ini and a folder is NAME, and most file
    // systems allow 255 bytes for one name; a longer one would only fail later,
    // as a session that silently could not be created.
    if (VUnicodeString(name).ToUtf8().size() + 4 > kMaxFileNameBytes)
        return VUnicodeString(u"The session name is too long");
    return std::nullopt;
}

// ---- ProfileFolderData --------------------------------------------------------

ProfileFolderData::ProfileFolderData(VProfileKey& folderKey, int flag) : m_flag(flag) {
    std::vector<std::u16string> sessionNames;
    std::vector<std::u16string> folderNames;
    {
        // The key's report tells whether the listing failed; what it held
        // before is given back when it did not.
        const VReportMessageParams earlier = folderKey.GetReport();
        folderKey.GetReport() = VReportMessageParams();
        VProfileKeyIterator it(folderKey, false);
        if (folderKey.GetReport().GetMessageId() != 0) {
            m_listed = false;
            m_report = folderKey.GetReport();
        } else {
            folderKey.GetReport() = earlier;
        }
        VUnicodeString name;
        while (it.Next(name)) {
            if (IsHiddenChild(name.str())) continue;
            // A folder store answers from its listing, which saves opening a key per child.
            bool folder;
            if (const std::optional<bool> ownValues = it.LastHasOwnValues()) {
                folder = !*ownValues;
            } else {
                VProfileKey child(folderKey, name);
                folder = SessionDatabase::IsFolder(child);
            }
            (folder ? folderNames : sessionNames).push_back(name.str());
        }
    }
    const bool stored = folderKey.SubKeyExists(kFolderDataKeyName);
    {
        VProfileKey data(folderKey, kFolderDataKeyName);
        Load(stored ? &data : nullptr);
    }
    const bool sessionsChanged = Reconcile(sessionList.Get().str(), sessionNames, m_sessions);
    const bool foldersChanged = Reconcile(folderList.Get().str(), folderNames, m_folders);
    if ((sessionsChanged || foldersChanged) && m_listed && !(m_flag & kSessionDatabaseReadOnly))
        Write(folderKey);
}

bool ProfileFolderData::Write(VProfileKey& folderKey) {
    sessionList = VUnicodeString(JoinNames(m_sessions));
    folderList = VUnicodeString(JoinNames(m_folders));
    VProfileKey data(folderKey, kFolderDataKeyName);
    Save(&data, true);
    if (data.Flush()) return true;
    m_report = data.GetReport();
    return false;
}

// ---- SessionDatabase: paths and tests --------------------------------------------

VUnicodeString SessionDatabase::KeyPath(const VUnicodeString& path) {
    if (path.IsEmpty()) return VUnicodeString(kSessionsKeyName);
    return VUnicodeString(std::u16string(kSessionsKeyName) + u"\\" + path.str());
}

VUnicodeString SessionDatabase::JoinPath(const VUnicodeString& folder, const VUnicodeString& name) {
    if (folder.IsEmpty()) return name;
    return VUnicodeString(folder.str() + u"\\" + name.str());
}

VUnicodeString SessionDatabase::ParentPath(const VUnicodeString& path) {
    const size_t at = path.str().rfind(u'\\');
    return at == std::u16string::npos ? VUnicodeString() : VUnicodeString(path.str().substr(0, at));
}

VUnicodeString SessionDatabase::LeafName(const VUnicodeString& path) {
    const size_t at = path.str().rfind(u'\\');
    return at == std::u16string::npos ? path : VUnicodeString(path.str().substr(at + 1));
}

std::vector<std::u16string_view> SessionDatabase::PathParts(const VUnicodeString& path) {
    std::vector<std::u16string_view> parts;
    const std::u16string_view text = path.str();
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find(u'\\', start), text.size());
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool SessionDatabase::IsFolder(VProfileKey& key) {
    // With the INI store this is answered from the value file's existence
    // alone, so a listing never parses session files.
    uint32_t ignored = 0;
    return !key.QueryDword(u"Is Session", ignored);
}

std::optional<VUnicodeString> SessionDatabase::FirstKeyBelowSession(VProfileKey& session) {
    VProfileKeyIterator below(session, false);
    VUnicodeString first;
    if (!below.Next(first)) return std::nullopt;
    return first;
}

bool SessionDatabase::IsFolder(const VUnicodeString& path) const {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    return IsFolder(key);
}

bool SessionDatabase::IsHidden(VProfileKey& key) {
    return key.IsHidden(IsFolder(key));
}

bool SessionDatabase::Exists(const VUnicodeString& path) {
    VProfileStore store(true);
    return store.GetRootKey().SubKeyExists(KeyPath(path).c_str());
}

bool SessionDatabase::Exists(const VUnicodeString& folder, const VUnicodeString& name) {
    return Exists(JoinPath(folder, name));
}

bool SessionDatabase::IsNameInUse(const VUnicodeString& folder, const VUnicodeString& name) {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), KeyPath(folder));
    VProfileKeyIterator it(key, false);
    VUnicodeString child;
    while (it.Next(child)) {
        if (!IsHiddenChild(child.str()) && child.EqualsNoCase(name.str())) return true;
    }
    return false;
}

bool SessionDatabase::HasChildren(const VUnicodeString& path) const {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    VProfileKeyIterator it(key, false);
    VUnicodeString child;
    while (it.Next(child)) {
        if (child != kDefaultSessionName && child != kFolderDataKeyName) return true;
    }
    return false;
}

bool SessionDatabase::IsEmpty() const {
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath({}));
    ProfileFolderData order(key, m_flag);
    return order.Sessions().IsEmpty() && order.Folders().IsEmpty();
}

// ---- listing ----------------------------------------------------------------------

void SessionDatabase::EnumAllSessions(SessionEnumCallback callback, void* context) {
    if (!callback) return;
    VProfileStore store(true);
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    WalkSessions(sessions, VUnicodeString(),
                 [&](VProfileKey& key, const VUnicodeString& path, const VUnicodeString& name) {
                     callback(key, path, name, context);
                 });
}

void SessionDatabase::GetSessionList(const VUnicodeString& folder, VStringArray& out) const {
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath(folder));
    ProfileFolderData order(key, m_flag);
    m_report = order.IsListed() ? VReportMessageParams() : order.GetReport();
    out = order.Sessions();
}

void SessionDatabase::GetFolderList(const VUnicodeString& folder, VStringArray& out) const {
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath(folder));
    ProfileFolderData order(key, m_flag);
    m_report = order.IsListed() ? VReportMessageParams() : order.GetReport();
    out = order.Folders();
}

bool SessionDatabase::IsExpanded(const VUnicodeString& path) const {
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    return ProfileFolderData(key, m_flag).GetExpanded();
}

void SessionDatabase::IsExpanded(const VUnicodeString& path, bool expanded) const {
    if (IsReadOnly() || !Exists(path) || !IsFolder(path)) return;
    VProfileStore store(false);
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    ProfileFolderData order(key, m_flag);
    order.SetExpanded(expanded);
    order.Write(key);
}

// ---- changes ----------------------------------------------------------------------

namespace {

// Sets `report` to a system error code; returns false.
bool Refuse(VReportMessageParams& report, int error) {
    report = VReportMessageParams(static_cast<uint32_t>(error));
    return false;
}

// Copies a key's report into the database's; returns false.
bool Refuse(VReportMessageParams& report, const VReportMessageParams& from) {
    report = from;
    if (report.GetMessageId() == 0) report.SetMessageId(EIO);
    return false;
}

// Puts `name` into `folder`'s order of folders or sessions before `before`
// (at the end when empty or not found) and writes the order record.
bool PlaceInOrder(VProfileStore& store, const VUnicodeString& folder, const VUnicodeString& name,
                  bool isFolder, const VUnicodeString& before, int flag,
                  VReportMessageParams& report) {
    VProfileKey parent(store.GetRootKey(), SessionDatabase::KeyPath(folder));
    ProfileFolderData order(parent, flag | kSessionDatabaseReadOnly);
    PlaceBefore(isFolder ? order.Folders() : order.Sessions(), name, before);
    return order.Write(parent) || Refuse(report, order.GetReport());
}

}  // namespace

bool SessionDatabase::CheckNewChild(const VUnicodeString& folder,
                                    const VUnicodeString& name) const {
    m_report = VReportMessageParams();
    if (IsReadOnly()) return Refuse(m_report, EROFS);
    if (CheckSessionName(name.str())) return Refuse(m_report, EINVAL);
    if (!folder.IsEmpty() && (!Exists(folder) || !IsFolder(folder)))
        return Refuse(m_report, ENOENT);
    if (IsNameInUse(folder, name)) return Refuse(m_report, EEXIST);
    return true;
}

bool SessionDatabase::CheckTreeTarget(const VUnicodeString& path,
                                      const VUnicodeString& targetFolder) const {
    m_report = VReportMessageParams();
    if (IsReadOnly()) return Refuse(m_report, EROFS);
    if (path.IsEmpty() || !Exists(path)) return Refuse(m_report, ENOENT);
    if (!targetFolder.IsEmpty() && (!Exists(targetFolder) || !IsFolder(targetFolder)))
        return Refuse(m_report, ENOENT);
    // A folder copied or moved into itself or below itself would never end.
    if (targetFolder == path || targetFolder.str().starts_with(path.str() + u"\\"))
        return Refuse(m_report, EINVAL);
    return true;
}

bool SessionDatabase::InsertFolder(const VUnicodeString& folder, const VUnicodeString& given,
                                   const VUnicodeString& before, bool writeOrder) const {
    const VUnicodeString name = TrimSessionName(given.str());
    if (!CheckNewChild(folder, name)) return false;
    VProfileStore store(false);
    const VUnicodeString path = JoinPath(folder, name);
    {
        // Created exclusively: of two processes making one name, one fails.
        VProfileKey created(store.GetRootKey(), KeyPath(path));
        created.SetCreateExclusive();
        if (!created.Flush()) return Refuse(m_report, created.GetReport());
        ProfileFolderData order(created, m_flag);
        if (!order.Write(created)) return Refuse(m_report, order.GetReport());
    }
    if (writeOrder && !PlaceInOrder(store, folder, name, true, before, m_flag, m_report))
        return false;
    return true;
}

bool SessionDatabase::Remove(const VUnicodeString& path) const {
    return RemoveEntries(ParentPath(path), {LeafName(path)}) == 1;
}

size_t SessionDatabase::RemoveEntries(const VUnicodeString& folder,
                                      const std::vector<VUnicodeString>& names) const {
    m_report = VReportMessageParams();
    if (IsReadOnly()) {
        Refuse(m_report, EROFS);
        return 0;
    }
    VProfileStore store(false);
    VProfileKey parent(store.GetRootKey(), KeyPath(folder));
    size_t removed = 0;
    std::vector<VUnicodeString> tried;
    for (const VUnicodeString& name : names) {
        if (name.IsEmpty() || !Exists(JoinPath(folder, name))) {
            Refuse(m_report, ENOENT);
            break;
        }
        {
            // A session with keys below it, which the tree never shows: removing it would take
            // what is below it too, unseen, so it is refused.
            VProfileKey key(parent, name);
            if (!IsFolder(key) && FirstKeyBelowSession(key)) {
                Refuse(m_report, ENOTEMPTY);
                break;
            }
        }
        tried.push_back(name);
        if (!parent.DeleteSubKey(name.c_str())) {
            Refuse(m_report, parent.GetReport());
            break;
        }
        ++removed;
    }
    if (tried.empty()) return 0;
    // The order record is read after the deletes, so whatever part of a key is left (the store
    // refused some of it) keeps its place; it is read and written once for all the names, as a
    // folder of ten thousand sessions takes a listing of them all.
    ProfileFolderData order(parent, m_flag | kSessionDatabaseReadOnly);
    std::unordered_set<std::u16string> gone;
    for (const VUnicodeString& name : tried)
        if (!parent.SubKeyExists(name.c_str())) gone.insert(name.str());
    for (VStringArray* list : {&order.Sessions(), &order.Folders()}) {
        VStringArray kept;
        kept.Reserve(list->GetSize());
        for (const VUnicodeString& name : *list)
            if (!gone.contains(name.str())) kept.Add(name);
        *list = std::move(kept);
    }
    // A write that fails after every delete succeeded is the one failure to report.
    if (!order.Write(parent) && removed == tried.size()) Refuse(m_report, order.GetReport());
    return removed;
}

VUnicodeString SessionDatabase::Copy(const VUnicodeString& path, const VUnicodeString& targetFolder,
                                     bool uniqueName, const VUnicodeString& before,
                                     bool writeOrder) const {
    if (!CheckTreeTarget(path, targetFolder)) return {};
    const bool folder = IsFolder(path);

    const VUnicodeString base = LeafName(path);
    VProfileStore store(false);
    VUnicodeString name = base;
    for (int number = 2;; ++number) {
        if (!IsNameInUse(targetFolder, name)) {
            // The copy is built aside and published whole by the store; a
            // name taken meanwhile by another process fails it, and the next
            // number is tried.
            if (store.GetRootKey().CopySubKey(KeyPath(path).c_str(),
                                              KeyPath(JoinPath(targetFolder, name)).c_str()))
                break;
            if (store.GetRootKey().GetReport().GetMessageId() != EEXIST)
                return Refuse(m_report, store.GetRootKey().GetReport()), VUnicodeString();
        }
        if (!uniqueName) return Refuse(m_report, EEXIST), VUnicodeString();
        name = NumberedName(base, number);
    }
    const VUnicodeString newPath = JoinPath(targetFolder, name);
    if (folder) {
        // Repairs the copied order record (and brings one into being).
        VProfileKey to(store.GetRootKey(), KeyPath(newPath));
        ProfileFolderData(to, m_flag);
    }
    if (writeOrder) PlaceInOrder(store, targetFolder, name, folder, before, m_flag, m_report);
    return newPath;
}

VUnicodeString SessionDatabase::MoveTo(const VUnicodeString& path,
                                       const VUnicodeString& targetFolder,
                                       const VUnicodeString& before, bool writeOrder) const {
    if (!CheckTreeTarget(path, targetFolder)) return {};
    const VUnicodeString name = LeafName(path);
    const VUnicodeString source = ParentPath(path);
    if (source == targetFolder) return path;
    if (IsNameInUse(targetFolder, name)) return Refuse(m_report, EEXIST), VUnicodeString();
    const bool folder = IsFolder(path);
    const VUnicodeString newPath = JoinPath(targetFolder, name);
    VProfileStore store(false);
    if (!store.GetRootKey().MoveSubKey(KeyPath(path).c_str(), KeyPath(newPath).c_str()))
        return Refuse(m_report, store.GetRootKey().GetReport()), VUnicodeString();
    {
        VProfileKey parent(store.GetRootKey(), KeyPath(source));
        ProfileFolderData order(parent, m_flag);
        if (!order.Write(parent)) Refuse(m_report, order.GetReport());
    }
    if (writeOrder) PlaceInOrder(store, targetFolder, name, folder, before, m_flag, m_report);
    return newPath;
}

bool SessionDatabase::Rename(const VUnicodeString& folder, const VUnicodeString& oldName,
                             const VUnicodeString& given) const {
    m_report = VReportMessageParams();
    const VUnicodeString newName = TrimSessionName(given.str());
    if (IsReadOnly()) return Refuse(m_report, EROFS);
    if (CheckSessionName(newName.str())) return Refuse(m_report, EINVAL);
    const VUnicodeString oldPath = JoinPath(folder, oldName);
    if (oldName.IsEmpty() || !Exists(oldPath)) return Refuse(m_report, ENOENT);
    if (oldName == newName) return true;
    // A change of case alone may find its own old name taken without case;
    // any other child of that name (a case twin included) refuses it.
    const bool caseOnly = oldName.EqualsNoCase(newName.str());
    if (caseOnly ? Exists(JoinPath(folder, newName)) : IsNameInUse(folder, newName))
        return Refuse(m_report, EEXIST);

    const bool isFolder = IsFolder(oldPath);
    VProfileStore store(false);
    VProfileKey parent(store.GetRootKey(), KeyPath(folder));
    size_t place = 0;
    {
        ProfileFolderData order(parent, m_flag);
        const VStringArray& names = isFolder ? order.Folders() : order.Sessions();
        place = IndexOf(names, oldName).value_or(names.GetSize());
    }
    // One move in the store: a killed rename leaves the old name or the new
    // one, never a half-copied pair.
    if (!parent.MoveSubKey(oldName.c_str(), newName.c_str()))
        return Refuse(m_report, parent.GetReport());

    ProfileFolderData order(parent, m_flag | kSessionDatabaseReadOnly);
    VStringArray& names = isFolder ? order.Folders() : order.Sessions();
    if (auto at = IndexOf(names, oldName)) names.RemoveAt(*at);
    if (auto at = IndexOf(names, newName)) names.RemoveAt(*at);
    names.InsertAt(std::min(place, names.GetSize()), newName);
    if (!order.Write(parent)) Refuse(m_report, order.GetReport());
    return true;
}

VUnicodeString SessionDatabase::Reorder(const VUnicodeString& path, const VUnicodeString& target,
                                        bool after) const {
    if (IsReadOnly() || path.IsEmpty() || !Exists(path)) return {};
    const VUnicodeString folder = ParentPath(path);
    const VUnicodeString name = LeafName(path);
    const bool isFolder = IsFolder(path);
    VProfileStore store(false);
    VProfileKey parent(store.GetRootKey(), KeyPath(folder));
    ProfileFolderData order(parent, m_flag);
    VStringArray& names = isFolder ? order.Folders() : order.Sessions();
    const auto from = IndexOf(names, name);
    if (!from || !IndexOf(names, target)) return {};
    // Before or after itself is where it already is.
    if (name == target) return path;
    names.RemoveAt(*from);
    const size_t at = *IndexOf(names, target) + (after ? 1 : 0);
    names.InsertAt(at, name);
    order.Write(parent);
    return path;
}

VUnicodeString SessionDatabase::GetUniqueSessionName(VUnicodeString name) {
    if (!Exists(name)) return name;
    for (int number = 2;; ++number) {
        VUnicodeString candidate = NumberedName(name, number);
        if (!Exists(candidate)) return candidate;
    }
}

void SessionDatabase::CollectSessions(const VUnicodeString& folder, VStringArray& sessions,
                                      VStringArray& folders) const {
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath(folder));
    CollectFolder(key, folder, m_flag, sessions, folders);
}

void SessionDatabase::ExpandPaths(const VStringArray& paths, VStringArray& sessions,
                                  VStringArray& folders) const {
    for (const VUnicodeString& path : paths) {
        if (!path.IsEmpty() && !Exists(path)) continue;
        if (path.IsEmpty() || IsFolder(path)) {
            folders.Add(path);
            CollectSessions(path, sessions, folders);
        } else {
            sessions.Add(path);
        }
    }
}

// ---- apply to all -------------------------------------------------------------------

namespace {

// Files of the walk still pending in its batch are put in place now; those
// that could not be (their folder failed, or the session went meanwhile)
// count as failed rather than updated.
void CountBatchFailures(VProfileWriteBatch& batch, GlobalChangeTally& tally) {
    batch.Commit();
    const int failures = batch.Failures();
    tally.updated -= failures;
    tally.failed += failures;
    if (tally.updated < 0) tally.updated = 0;
}

// Counts a session of an apply-to-all walk as updated when its key's write
// reached the store, else as failed with the key's report.
void CountWrite(VProfileKey& key, GlobalChangeTally& tally, VReportMessageParams& report) {
    if (key.Flush()) {
        ++tally.updated;
    } else {
        ++tally.failed;
        Refuse(report, key.GetReport());
    }
}

}  // namespace

GlobalChangeTally SessionDatabase::EnumAndSetAllBoolValues(const VUnicodeString& name,
                                                           bool value) const {
    VProfileStore store(IsReadOnly());
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    return DoEnumAndSetAllBoolValues(sessions, name, value);
}

GlobalChangeTally SessionDatabase::DoEnumAndSetAllBoolValues(VProfileKey& key,
                                                             const VUnicodeString& name,
                                                             bool value) const {
    GlobalChangeTally tally;
    m_report = VReportMessageParams();
    VProfileWriteBatch batch;
    WalkSessions(key, VUnicodeString(),
                 [&](VProfileKey& session, const VUnicodeString&, const VUnicodeString&) {
                     ++tally.visited;
                     if (IsReadOnly() || !session.IsWritable()) return;
                     session.SetUpdateOnly();
                     if (session.SetDword(name.c_str(), value ? 1 : 0)) {
                         CountWrite(session, tally, m_report);
                     } else {
                         ++tally.failed;
                         Refuse(m_report, session.GetReport());
                     }
                 });
    CountBatchFailures(batch, tally);
    return tally;
}

GlobalChangeTally SessionDatabase::RenameFirewallInSessions(
    const std::vector<std::pair<VUnicodeString, VUnicodeString>>& renames,
    const SessionWalkProgress& progress) const {
    GlobalChangeTally tally;
    m_report = VReportMessageParams();
    if (renames.empty()) return tally;
    VProfileStore store(IsReadOnly());
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    VProfileWriteBatch batch;
    int walked = 0;
    WalkSessions(sessions, VUnicodeString(),
                 [&](VProfileKey& key, const VUnicodeString&, const VUnicodeString&) {
                     RemoteHostConfig host(&key);
                     const VUnicodeString current = host.GetFirewallName();
                     const auto rename =
                         std::find_if(renames.begin(), renames.end(),
                                      [&](const auto& entry) { return entry.first == current; });
                     if (rename != renames.end()) {
                         ++tally.visited;
                         if (!IsReadOnly() && key.IsWritable()) {
                             host.SetFirewallName(rename->second);
                             // Another program's change to any other value of the session stays.
                             key.SetUpdateOnly();
                             host.Save(&key, false);
                             CountWrite(key, tally, m_report);
                         }
                     }
                     if (progress) progress(++walked);
                 });
    CountBatchFailures(batch, tally);
    return tally;
}

// ---- sessions ------------------------------------------------------------------------

ISessionConfig* SessionDatabase::Lookup(const VUnicodeString& path) const {
    if (path.IsEmpty()) return nullptr;
    if (!Exists(path)) {
        // A read-only database never brings the default session's key into being.
        if (path == kDefaultSessionName)
            return new SessionConfig(path, nullptr,
                                     IsReadOnly() ? SessionConfig::DefaultKey::kLeaveMissing
                                                  : SessionConfig::DefaultKey::kCreate);
        return nullptr;
    }
    if (IsFolder(path)) return nullptr;
    return GetSessionConfig(ParentPath(path), LeafName(path));
}

ISessionConfig* SessionDatabase::GetSessionConfig(const VUnicodeString& folder,
                                                  const VUnicodeString& name) const {
    const VUnicodeString path = JoinPath(folder, name);
    VProfileStore store(IsReadOnly());
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    auto* session = new SessionConfig(name, &key);
    session->SetSessionPath(path);
    session->SetLoadedPath(path);
    return session;
}

bool SessionDatabase::InsertSession(const VUnicodeString& folder, const VUnicodeString& given,
                                    ISessionConfig* session, const VUnicodeString& before,
                                    bool writeOrder) const {
    const VUnicodeString name = TrimSessionName(given.str());
    if (!session) return Refuse(m_report, EINVAL);
    if (!CheckNewChild(folder, name)) return false;
    const VUnicodeString path = JoinPath(folder, name);
    VProfileStore store(false);
    {
        VProfileKey key(store.GetRootKey(), KeyPath(path));
        // Created exclusively: of two processes making one name, one fails,
        // and a folder of that name is never shadowed.
        key.SetCreateExclusive();
        session->SetSessionPath(path);
        session->Save(&key, true);
        if (!key.Flush()) return Refuse(m_report, key.GetReport());
    }
    if (writeOrder) PlaceInOrder(store, folder, name, false, before, m_flag, m_report);
    return true;
}

bool SessionDatabase::Save(ISessionConfig* session, bool saveDefault) const {
    m_report = VReportMessageParams();
    if (!session) return Refuse(m_report, EINVAL);
    if (IsReadOnly()) return Refuse(m_report, EROFS);
    const VUnicodeString& path = session->GetSessionPath();
    if (path.IsEmpty() || (path == kDefaultSessionName && !saveDefault))
        return Refuse(m_report, EINVAL);
    if (!Exists(path)) {
        // A session loaded from this path that is gone now was removed or
        // renamed by another program meanwhile: saving must not bring it
        // back with only this program's idea of it.
        const auto* loaded = dynamic_cast<const SessionConfig*>(session);
        if (loaded && loaded->GetLoadedPath() == path) return Refuse(m_report, ENOENT);
        // The default session comes into being on its first save.
        if (path != kDefaultSessionName)
            return InsertSession(ParentPath(path), session->GetSessionName(), session, {}, true);
        VProfileStore store(false);
        VProfileKey key(store.GetRootKey(), KeyPath(path));
        session->Save(&key, true);
        return key.Flush() || Refuse(m_report, key.GetReport());
    }
    VProfileStore store(false);
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    if (!key.IsWritable()) return Refuse(m_report, EACCES);
    // A session removed or renamed by another program meanwhile is not
    // brought back with only this save's values.
    key.SetUpdateOnly();
    session->Save(&key, false);
    return key.Flush() || Refuse(m_report, key.GetReport());
}

GlobalChangeTally SessionDatabase::EnumAndApplyDelta(ISessionConfig* delta,
                                                     const SessionWalkProgress& progress) const {
    VProfileStore store(IsReadOnly());
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    return DoEnumAndApplyDelta(sessions, delta, progress);
}

int SessionDatabase::CountAllSessions() {
    int count = 0;
    VProfileStore store(true);
    VProfileKey sessions(store.GetRootKey(), kSessionsKeyName);
    WalkSessions(sessions, VUnicodeString(),
                 [&](VProfileKey&, const VUnicodeString&, const VUnicodeString&) { ++count; });
    return count;
}

GlobalChangeTally SessionDatabase::DoEnumAndApplyDelta(VProfileKey& key, ISessionConfig* delta,
                                                       const SessionWalkProgress& progress) const {
    GlobalChangeTally tally;
    m_report = VReportMessageParams();
    const auto* changes = dynamic_cast<const SessionConfig*>(delta);
    VProfileWriteBatch batch;
    WalkSessions(
        key, VUnicodeString(),
        [&](VProfileKey& sessionKey, const VUnicodeString& path, const VUnicodeString& name) {
            ++tally.visited;
            // Told after the session, whichever way it went.
            struct Report {
                const SessionWalkProgress& progress;
                int visited;
                ~Report() {
                    if (progress) progress(visited);
                }
            } report{progress, tally.visited};
            if (!changes || IsReadOnly() || !sessionKey.IsWritable()) return;
            auto* session = new SessionConfig(name, &sessionKey);
            session->SetSessionPath(path);
            session->ClearUnsaved();
            session->Checkpoint();
            session->ApplyDelta(changes);
            // Only the members the delta changed are written, into the file
            // as it is when written (under its folder's lock), and never into
            // a session that was removed or renamed meanwhile: another
            // program's change to any other value stays.
            sessionKey.SetUpdateOnly();
            session->Save(&sessionKey, false);
            session->Release();
            CountWrite(sessionKey, tally, m_report);
        });
    CountBatchFailures(batch, tally);
    return tally;
}

bool SessionDatabase::HasMatchingProtocol(unsigned mode, const VUnicodeString& path) const {
    if (path.IsEmpty()) return false;
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), KeyPath(path));
    return HasMatchingProtocol(mode, key);
}

bool SessionDatabase::HasMatchingProtocol(unsigned mode, VProfileKey& key, bool alone) {
    const bool terminal = mode == ConnectConfigPtr::kTerminalMode;
    const char16_t* valueName =
        terminal ? ConnectConfigPtr::kTerminalValueName : ConnectConfigPtr::kTransferValueName;
    VUnicodeString name;
    if (!(alone ? key.QueryOneString(valueName, name) : key.QueryString(valueName, name)))
        return false;
    ConnectConfigPtr::ValidateProtocolName(terminal, name);
    return !name.IsEmpty() && !name.EqualsNoCase(ConnectConfigPtr::kNoneProtocol);
}

// ---- firewalls ------------------------------------------------------------------------

bool SessionDatabase::FirewallExists(const VUnicodeString& name) {
    return sessiondeck::FirewallExists(name);
}

void SessionDatabase::GetSerializedFirewallNames(IBuffer* buffer) {
    SerializeFirewallNames(buffer);
}

bool SessionDatabase::SaveFirewall(FirewallConfig* firewall, bool force) const {
    return !IsReadOnly() && sessiondeck::SaveFirewall(firewall, force);
}

// ---- button bars ------------------------------------------------------------------------

VStringArray SessionDatabase::GetButtonBarNames() const {
    return sessiondeck::GetButtonBarNames();
}

UserButtonMap* SessionDatabase::GetButtonMap(const VUnicodeString& name) const {
    return sessiondeck::GetButtonMap(name);
}

bool SessionDatabase::SaveButtonMap(UserButtonMap* map) const {
    return !IsReadOnly() && sessiondeck::SaveButtonMap(map);
}

bool SessionDatabase::DeleteButtonMap(const char16_t* name) const {
    return !IsReadOnly() && sessiondeck::DeleteButtonMap(name);
}

}  // namespace sessiondeck
