// The key of the INI backend: loading its value file, the read-modify-write that writes it back,
// queries and setters, and moving, copying and deleting sub-keys.

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "profile/ini_store_private.h"

namespace sessiondeck {

namespace fs = std::filesystem;
using namespace ini_format;

// ---- Key ------------------------------------------------------------------------

namespace {

// Such text would end the readable part of the file: the format has no escapes.
bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool IsStorableName(const char16_t* name) {
    return name && std::u16string_view(name).find_first_of(u"\"\r\n") == std::u16string_view::npos;
}

// A value file too large to load can still lose values: `store rm` must be
// able to repair it. Such a repair reads up to this much.
constexpr uint64_t kRepairReadLimit = uint64_t{1} << 30;

// The values a handle set or deleted, kept for a write that must be built
// again from the file as it is when a write batch commits.
using Changes = std::vector<std::pair<std::u16string, std::unique_ptr<VIniFileData>>>;

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

VIniFileKey::VIniFileKey(const VUnicodeString& folder, bool readOnly,
                         const VSecurityDescriptor* descriptor)
    : VIniFileKey(folder, folder.Length(), readOnly, descriptor,
                  platform::StoreFolder::Open(folder.ToUtf8())) {}

VIniFileKey::VIniFileKey(VUnicodeString path, size_t folderLength, bool readOnly,
                         const VSecurityDescriptor* descriptor,
                         std::shared_ptr<platform::StoreFolder> folder)
    : m_path(std::move(path)),
      m_readOnly(readOnly),
      m_report(0, GetLibraryMessageModule()),
      m_descriptor(descriptor ? std::make_unique<VSecurityDescriptor>(*descriptor) : nullptr),
      m_folderLength(folderLength),
      m_folder(std::move(folder)) {}

VIniFileKey::~VIniFileKey() {
    // The fallback for callers that never flush: a failure here can reach
    // no one, which is why every writer of the library calls Flush.
    try {
        WriteBack();
        platform::CommitStoreBatchIfFull();
    } catch (...) {
    }
}

bool VIniFileKey::Fail(int error) {
    m_report.SetMessageId(static_cast<uint32_t>(error));
    return false;
}

bool VIniFileKey::Flush() {
    int error = 0;
    try {
        if (m_createExclusive && !m_readOnly && !(m_map && m_modified) && !IsRoot()) {
            // A key created with no values of its own (a folder): the folder
            // itself is what must not exist yet, in either form.
            const std::string folder = RelativePath();
            if (const int made = m_folder->MakeFolders(ParentOf(folder))) return Fail(made);
            platform::StoreFolder::Lock lock(*m_folder, ParentOf(folder));
            if (m_folder->Status(folder + ".ini").exists) return Fail(EEXIST);
            if (const int made = m_folder->MakeFolder(folder)) return Fail(made);
            m_createExclusive = false;
            return true;
        }
        error = WriteBack();
        platform::CommitStoreBatchIfFull();
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    return error ? Fail(error) : true;
}

int VIniFileKey::WriteValueFile(const std::string& bytes,
                                const platform::StoreFolder::ReplaceOptions& options) {
    if (bytes.size() > kMaxValueFileSize) return EFBIG;
    return m_folder->Replace(RelativePath({}, ".ini"), bytes, options);
}

// Two processes of the family may share one configuration folder, and both
// may hold a handle on the same key (the terminal saving a session while the
// file-transfer client saves another setting of it). Writing the handle's
// whole map back would silently undo the other process's change. So the
// write-back is a read-modify-write under an advisory lock on the folder that
// holds the value file: the file is read again, only the values this handle
// set or deleted are applied to what it holds now, and the result replaces it
// atomically. Two writers of one value therefore end with the later one's
// value, and writers of different values both keep theirs. Readers take no
// lock: the atomic rename lets them see the old file or the new one, whole.
// Inside a write batch the rename waits for the batch's commit, which checks
// under the same lock that the file is still the one the bytes were built
// from, and builds them again from the file as it is then when it is not.
//
// After a write (or a failed one) the handle forgets its map: what it holds
// next is read from the file again.
int VIniFileKey::WriteBack() {
    if (m_readOnly || !m_map || m_map->IsEmpty() || !m_modified) return 0;
    m_modified = false;
    // A handle creates its key once: whether this write succeeds or not, a
    // later one through it is an ordinary write.
    const bool exclusive = m_createExclusive;
    m_createExclusive = false;
    std::unique_ptr<Map> map = std::move(m_map);
    m_fileStatus.reset();
    const std::optional<platform::FileIdentity> loaded = m_loadedIdentity;
    m_loadedIdentity.reset();
    if (IsRoot()) {
        // The root's own values live beside the configuration folder.
        if (m_loadResult.stop == VIniStop::FileTooLarge) return EFBIG;
        const std::string bytes = BuildValueFile(*map);
        if (bytes.size() > kMaxValueFileSize) return EFBIG;
        const fs::path file = ValueFilePath();
        if (!platform::CreateFolders(file.parent_path())) return errno ? errno : EIO;
        platform::FolderLock lock(file.parent_path());
        return platform::WriteFileAtomically(file, bytes) ? 0 : (errno ? errno : EIO);
    }

    const std::string file = RelativePath({}, ".ini");
    const std::string folder = ParentOf(file);
    if (!m_updateOnly) {
        // The first write of a new key finds its folders missing.
        if (const int error = m_folder->MakeFolders(folder)) return error;
    }
    platform::StoreFolder::Lock lock(*m_folder, folder);
    if (exclusive && m_folder->Status(RelativePath()).exists) return EEXIST;

    auto changes = std::make_shared<Changes>();
    auto takeChanges = [&] {
        for (size_t i = 0; i < map->GetSize(); ++i) {
            if (map->WasSet(i)) changes->emplace_back(map->GetName(i), map->TakeValue(i));
        }
    };
    platform::StoreFolder::ReplaceOptions options;
    options.exclusive = exclusive;
    options.mustExist = m_updateOnly;

    if (m_loadResult.stop == VIniStop::FileTooLarge) {
        // Only removing values is allowed on a file too large to load: that is
        // how such a file is repaired, and it can only shrink it.
        for (size_t i = 0; i < map->GetSize(); ++i) {
            if (map->WasSet(i) && map->Exists(i)) return EFBIG;
        }
        std::string bytes;
        std::optional<platform::FileIdentity> identity;
        if (m_folder->Read(file, bytes, kRepairReadLimit, &identity) != platform::ReadResult::kRead)
            return EFBIG;
        const size_t before = bytes.size();
        Map current;
        current.Parse(std::move(bytes));
        takeChanges();
        for (auto& [name, data] : *changes) current.Set(name, nullptr);
        std::string rebuilt = BuildValueFile(current);
        // Nothing this handle removed was there.
        if (rebuilt.size() >= before) return ENOENT;
        options.basis = identity;
        return m_folder->Replace(file, rebuilt, options);
    }

    // Built again from the file as it is when a batch commits.
    options.rebuild = [changes](const std::string* current) -> std::optional<std::string> {
        Map merged;
        if (current) merged.Parse(*current);
        for (const auto& [name, data] : *changes) merged.Set(name, data ? data->Clone() : nullptr);
        std::string bytes = BuildValueFile(merged);
        if (bytes.size() > kMaxValueFileSize) return std::nullopt;
        return bytes;
    };

    // Unchanged since this handle read it (or still missing, as it was then):
    // the map already is the file plus this handle's changes, and reading it
    // again would find nothing new. Saving every session of a large tree
    // spent a fifth of its time on that read. Writers of the family replace
    // the file, which gives it a new inode; an editor that rewrites it in
    // place changes its times or size. Only a same-size rewrite in place
    // within one tick of the file system's clock would go unseen.
    const std::optional<platform::FileIdentity> now = m_folder->Identity(file);
    if (now == loaded) {
        if (m_updateOnly && !now) return ENOENT;
        std::string bytes = BuildValueFile(*map);
        takeChanges();
        options.basis = now;
        return WriteValueFile(bytes, options);
    }
    takeChanges();
    std::string source;
    std::optional<platform::FileIdentity> identity;
    bool present = false;
    switch (m_folder->Read(file, source, kMaxValueFileSize, &identity)) {
        case platform::ReadResult::kRead:
            present = true;
            break;
        case platform::ReadResult::kTooLarge:
            return EFBIG;
        case platform::ReadResult::kUnreadable: {
            // A folder, link or special file in its place is refused by the
            // replacement below, with its own reason.
            const platform::FileStatus status = m_folder->Status(file);
            if (status.exists && !status.isFolder && !status.special) return EACCES;
            if (!status.exists && m_updateOnly) return ENOENT;
            break;
        }
    }
    std::optional<std::string> bytes = options.rebuild(present ? &source : nullptr);
    if (!bytes) return EFBIG;
    options.basis = identity;
    return m_folder->Replace(file, *bytes, options);
}

std::string VIniFileKey::NativePath(std::u16string_view subKey, std::string_view suffix) const {
    const std::u16string_view path = m_path.str();
    std::string native;
    native.reserve(path.size() + subKey.size() + suffix.size() + 1);
    AppendUtf8(native, path.substr(0, m_folderLength));
    const size_t names = native.size();
    AppendUtf8(native, path.substr(m_folderLength));
    if (!subKey.empty()) {
        native.push_back('\\');
        AppendUtf8(native, subKey);
    }
    // Backslashes between names become the file system's separator; the
    // folder's own path is native already.
    std::replace(native.begin() + static_cast<std::ptrdiff_t>(names), native.end(), '\\', '/');
    native += suffix;
    return native;
}

std::string VIniFileKey::RelativePath(std::u16string_view subKey, std::string_view suffix) const {
    std::string relative;
    std::u16string_view names = std::u16string_view(m_path.str()).substr(m_folderLength);
    if (!names.empty() && names.front() == u'\\') names.remove_prefix(1);
    relative.reserve(names.size() + subKey.size() + suffix.size() + 1);
    AppendUtf8(relative, names);
    if (!subKey.empty()) {
        if (!relative.empty()) relative.push_back('\\');
        AppendUtf8(relative, subKey);
    }
    std::replace(relative.begin(), relative.end(), '\\', '/');
    relative += suffix;
    return relative;
}

fs::path VIniFileKey::DiskPath(std::u16string_view subKey) const {
    return fs::path(NativePath(subKey));
}

fs::path VIniFileKey::ValueFilePath() const {
    return fs::path(NativePath({}, ".ini"));
}

VIniFileKey::Map& VIniFileKey::LoadedMap() {
    if (!m_map) {
        m_map = std::make_unique<Map>();
        m_loadResult = {};  // says where this load stopped, not an earlier one
        std::string bytes;
        switch (ReadValueFile(bytes, &m_loadedIdentity)) {
            case platform::ReadResult::kRead:
                m_loadResult = m_map->Parse(std::move(bytes));
                break;
            case platform::ReadResult::kTooLarge:
                m_loadResult = VIniParseResult{VIniStop::FileTooLarge, 1};
                m_report.SetMessageId(EFBIG);
                break;
            case platform::ReadResult::kUnreadable:
                break;
        }
        m_modified = false;
    }
    return *m_map;
}

platform::ReadResult VIniFileKey::ReadValueFile(std::string& bytes,
                                                std::optional<platform::FileIdentity>* identity) {
    // The status of the file read stands for the one FileStatus would take: a load then
    // costs no separate look at the file.
    std::optional<platform::FileStatus> status;
    const platform::ReadResult result =
        IsRoot() ? platform::ReadFileUpTo(NativePath({}, ".ini").c_str(), bytes, kMaxValueFileSize,
                                          identity, &status)
        : m_parentFolder
            ? platform::StoreFolder::ReadAt(*m_parentFolder, m_leaf + ".ini", bytes,
                                            kMaxValueFileSize, identity, &status)
            : m_folder->Read(RelativePath({}, ".ini"), bytes, kMaxValueFileSize, identity, &status);
    if (!m_fileStatus && status) m_fileStatus = status;
    return result;
}

const platform::FileStatus& VIniFileKey::FileStatus() {
    if (!m_fileStatus) {
        m_fileStatus = IsRoot() ? platform::GetFileStatus(NativePath({}, ".ini").c_str())
                       : m_parentFolder
                           ? platform::StoreFolder::StatusAt(*m_parentFolder, m_leaf + ".ini")
                           : m_folder->Status(RelativePath({}, ".ini"));
    }
    return *m_fileStatus;
}

bool VIniFileKey::IsValidSubKeyName(std::u16string_view name) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find(u'\\', start), name.size());
        const std::u16string_view part = name.substr(start, end - start);
        if (part.empty() || part == u"." || part == u".." ||
            part.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string_view::npos) {
            return false;
        }
        if (end == name.size()) return true;
        start = end + 1;
    }
}

bool VIniFileKey::QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) {
    VStringArray text;
    if (!QueryStringArray(name, text)) return false;
    std::optional<VSecurityDescriptor> parsed = VSecurityDescriptor::FromText(text);
    if (!parsed) return false;
    descriptor = std::move(*parsed);
    return true;
}

bool VIniFileKey::QueryStringArray(const char16_t* name, VStringArray& value) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetStringArray(*index, value);
}

bool VIniFileKey::QueryBinary(const char16_t* name, void* buffer, uint32_t& size) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetBinary(*index, buffer, size);
}

bool VIniFileKey::QueryString(const char16_t* name, VUnicodeString& value) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetString(*index, value);
}

bool VIniFileKey::QueryOneString(const char16_t* name, VUnicodeString& value) {
    if (!name) return false;
    // Values read already, or set through this handle, answer as for any query.
    if (m_map) return QueryString(name, value);
    std::string bytes;
    std::optional<platform::FileIdentity> identity;  // only a loaded map's matters
    switch (ReadValueFile(bytes, &identity)) {
        case platform::ReadResult::kRead:
            return Map::FindString(bytes, name, value);
        case platform::ReadResult::kTooLarge:
            m_report.SetMessageId(EFBIG);  // as a load would say
            return false;
        case platform::ReadResult::kUnreadable:
            return false;
    }
    return false;
}

bool VIniFileKey::QueryDword(const char16_t* name, uint32_t& value) {
    if (!name) return false;
    return QueryDword(std::u16string_view(name), value);
}

bool VIniFileKey::QueryDwordByName(const VUnicodeString& name, uint32_t& value) {
    return QueryDword(name.str(), value);
}

bool VIniFileKey::QueryStringByName(const VUnicodeString& name, VUnicodeString& value) {
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name.str());
    return index && map.GetString(*index, value);
}

bool VIniFileKey::QueryDword(std::u16string_view name, uint32_t& value) {
    // Listing a folder of sessions asks every key this: until the values are
    // read, the value file's existence answers, which saves reading hundreds
    // of value files. Once they are read (see Prefetch), the value itself
    // answers, as for any other name.
    if (!m_map && name == u"Is Session") {
        if (m_listedAsSession.value_or(false) ||
            (!m_listedAsSession && FileStatus().exists && !FileStatus().isFolder &&
             !FileStatus().special)) {
            value = 1;
            return true;
        }
    }
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetDword(*index, value);
}

void VIniFileKey::Prefetch() {
    LoadedMap();
}

bool VIniFileKey::Store(const char16_t* name, std::unique_ptr<VIniFileData> data) {
    LoadedMap().Set(name, std::move(data));
    m_modified = true;
    return true;
}

bool VIniFileKey::SetSecurityDescriptor(const char16_t* name,
                                        const VSecurityDescriptor& descriptor) {
    return SetStringArray(name, descriptor.ToText());
}

bool VIniFileKey::SetStringArray(const char16_t* name, const VStringArray& value) {
    if (!IsStorableName(name)) return false;
    for (const VUnicodeString& element : value) {
        if (HasLineBreak(element.str())) return false;
    }
    return Store(name, std::make_unique<VIniFileDataStringSz>(value));
}

bool VIniFileKey::SetBinary(const char16_t* name, const void* data, uint32_t size) {
    if (!IsStorableName(name) || (!data && size != 0)) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Store(name,
                 std::make_unique<VIniFileDataBinary>(std::vector<uint8_t>(bytes, bytes + size)));
}

bool VIniFileKey::SetString(const char16_t* name, const char16_t* value) {
    const std::u16string_view text = value ? value : u"";
    if (!IsStorableName(name) || HasLineBreak(text)) return false;
    return Store(name, std::make_unique<VIniFileDataString>(VUnicodeString(text)));
}

bool VIniFileKey::SetDword(const char16_t* name, uint32_t value) {
    if (!IsStorableName(name)) return false;
    return Store(name, std::make_unique<VIniFileDataDword>(value));
}

bool VIniFileKey::DeleteValue(const char16_t* name) {
    if (!name) return false;
    return Store(name, nullptr);
}

bool VIniFileKey::DeleteSubKey(const char16_t* name) {
    // A read-only handle never changes the disk, and a name that would leave
    // the store deletes nothing.
    if (!name || m_readOnly || !IsValidSubKeyName(name)) return false;
    const std::string folder = RelativePath(name);
    platform::StoreFolder::Lock lock(*m_folder, ParentOf(folder));
    const platform::FileStatus folderStatus = m_folder->Status(folder);
    const platform::FileStatus fileStatus = m_folder->Status(folder + ".ini");
    // A plain file named like the key's folder is no part of it and stays; a
    // link in either place goes, never what it points to.
    int error = 0;
    if (folderStatus.isFolder || (folderStatus.special && !fileStatus.exists))
        error = m_folder->RemoveTree(folder);
    if (!error && fileStatus.exists && !fileStatus.isFolder)
        error = m_folder->RemoveTree(folder + ".ini");
    return error ? Fail(error) : true;
}

bool VIniFileKey::SubKeyExists(const char16_t* name) {
    if (!name || !IsValidSubKeyName(name)) return false;
    if (std::u16string_view(name).find(u'\\') == std::u16string_view::npos) {
        if (const platform::SharedDescriptor own = OwnFolder()) {
            const std::string leaf = VUnicodeString(name).ToUtf8();
            if (platform::StoreFolder::StatusAt(*own, leaf).isFolder) return true;
            const platform::FileStatus file = platform::StoreFolder::StatusAt(*own, leaf + ".ini");
            return file.exists && !file.isFolder && !file.special;
        }
    }
    const std::string folder = RelativePath(name);
    if (m_folder->Status(folder).isFolder) return true;
    const platform::FileStatus fileStatus = m_folder->Status(folder + ".ini");
    return fileStatus.exists && !fileStatus.isFolder && !fileStatus.special;
}

bool VIniFileKey::IsWritable() {
    if (m_readOnly) return false;
    const platform::FileStatus& status = FileStatus();
    return !(status.exists &&
             (status.readOnly || status.special || status.size > kMaxValueFileSize));
}

bool VIniFileKey::IsHidden(bool folder) {
    const platform::FileStatus status =
        folder ? (IsRoot() ? platform::GetFileStatus(DiskPath()) : m_folder->Status(RelativePath()))
               : FileStatus();
    return status.exists && status.hidden;
}

bool VIniFileKey::MoveSubKey(const char16_t* from, const char16_t* to) {
    if (const int error = MoveOrCopy(from, to, false)) return Fail(error);
    return true;
}

bool VIniFileKey::CopySubKey(const char16_t* from, const char16_t* to) {
    if (const int error = MoveOrCopy(from, to, true)) return Fail(error);
    return true;
}

// A key is a folder and a value file beside it; either may be missing. A
// move renames both with renameat2(RENAME_NOREPLACE), so it never replaces
// what appeared at the target meanwhile, carries every file below the folder
// whether the store lists it or not, and cannot be seen half-done (only a
// key that has both a folder and a value file, which sessions and folders
// never have, takes two renames; the second failing undoes the first). A copy
// is built under a temporary key name beside the target, flushed, and
// published the same way. Both hold the locks of the two parent folders, in
// path order, so a concurrent write-back into the source either lands before
// the move or finds the key gone.
int VIniFileKey::MoveOrCopy(const char16_t* fromName, const char16_t* toName, bool copy) {
    if (!fromName || !toName || !IsValidSubKeyName(fromName) || !IsValidSubKeyName(toName))
        return EINVAL;
    if (m_readOnly) return EROFS;
    const std::u16string_view fromView(fromName);
    const std::u16string_view toView(toName);
    if (toView.starts_with(fromView) &&
        (toView.size() == fromView.size() || toView[fromView.size()] == u'\\'))
        return toView.size() == fromView.size() ? EEXIST : EINVAL;
    const std::string from = RelativePath(fromName);
    const std::string to = RelativePath(toName);
    const std::string fromParent = ParentOf(from);
    const std::string toParent = ParentOf(to);
    // Checked before any folder of the target is made, so that a refused
    // move or copy leaves nothing behind; checked again under the locks.
    {
        const platform::FileStatus folder = m_folder->Status(from);
        const platform::FileStatus file = m_folder->Status(from + ".ini");
        if (!folder.exists && !file.exists) return ENOENT;
        if (m_folder->Status(to).exists || m_folder->Status(to + ".ini").exists) return EEXIST;
    }
    if (const int error = m_folder->MakeFolders(toParent)) return error;
    std::optional<platform::StoreFolder::Lock> first;
    std::optional<platform::StoreFolder::Lock> second;
    first.emplace(*m_folder, std::min(fromParent, toParent));
    second.emplace(*m_folder, std::max(fromParent, toParent));

    const platform::FileStatus fromFolder = m_folder->Status(from);
    const platform::FileStatus fromFile = m_folder->Status(from + ".ini");
    if (fromFolder.special || fromFile.special) return ELOOP;
    const bool hasFolder = fromFolder.isFolder;
    const bool hasFile = fromFile.exists && !fromFile.isFolder;
    if (!hasFolder && !hasFile) return ENOENT;
    if (m_folder->Status(to).exists || m_folder->Status(to + ".ini").exists) return EEXIST;

    // Publishes `source` (and its value file) at `to`.
    auto publish = [&](const std::string& source) -> int {
        if (hasFolder) {
            if (const int error = m_folder->Rename(source, to)) return error;
        }
        if (hasFile) {
            if (const int error = m_folder->Rename(source + ".ini", to + ".ini")) {
                if (hasFolder) m_folder->Rename(to, source);
                return error;
            }
        }
        return 0;
    };
    if (!copy) return publish(from);

    const std::string temporary =
        (toParent.empty() ? std::string() : toParent + "/") + MakeTemporaryKeyName().ToUtf8();
    auto discard = [&](int error) {
        m_folder->RemoveTree(temporary);
        m_folder->RemoveTree(temporary + ".ini");
        return error;
    };
    if (hasFolder) {
        if (const int error = m_folder->Copy(from, temporary)) return discard(error);
    }
    if (hasFile) {
        if (const int error = m_folder->Copy(from + ".ini", temporary + ".ini"))
            return discard(error);
    }
    if (const int error = m_folder->Sync()) return discard(error);
    if (const int error = publish(temporary)) return discard(error);
    return 0;
}

bool VIniFileKey::SetKeySecurity(const VSecurityDescriptor&) {
    return false;
}

platform::SharedDescriptor VIniFileKey::OwnFolder() {
    if (!m_ownFolder) {
        const int fd = m_folder->OpenFolder(RelativePath());
        if (fd >= 0) m_ownFolder = platform::ShareDescriptor(fd);
    }
    return m_ownFolder;
}

VProfilePrivateKey* VIniFileKey::OpenSubKey(const char16_t* name,
                                            const VSecurityDescriptor* descriptor) {
    if (!name || !IsValidSubKeyName(name)) return new VNullProfileKey;
    auto* key =
        new VIniFileKey(m_path + u"\\" + name, m_folderLength, m_readOnly, descriptor, m_folder);
    if (std::u16string_view(name).find(u'\\') == std::u16string_view::npos) {
        key->m_parentFolder = OwnFolder();
        if (key->m_parentFolder) key->m_leaf = VUnicodeString(name).ToUtf8();
        const auto listed = m_listedValueFiles.lock();
        if (listed && key->m_parentFolder) key->m_listedAsSession = listed->contains(key->m_leaf);
    }
    return key;
}

VProfilePrivateKeyIterator* VIniFileKey::CreateIterator(bool values) {
    return new Iterator(*this, values);
}

}  // namespace sessiondeck
