// The registry backend: typed values in their registry forms, key opening with read-only fallback,
// enumeration by index, the store, its factory and the search for the maker's key.
#include "profile/registry_store.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/environment.h"
#include "platform/system_messages.h"

namespace sessiondeck {

using namespace registry_error;
namespace fs = std::filesystem;

namespace {

int KindOfType(uint32_t type) {
    switch (type) {
        case kRegDword:
            return kValueKindDword;
        case kRegSz:
            return kValueKindString;
        case kRegBinary:
            return kValueKindBinary;
        case kRegMultiSz:
            return kValueKindStringArray;
        default:
            return kValueKindForeign;
    }
}

// Registry strings are UTF-16 little-endian, each with its terminating 0.
void AppendUnits(std::vector<uint8_t>& out, std::u16string_view text) {
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c & 0xFF));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

std::u16string UnitsOf(const std::vector<uint8_t>& data) {
    std::u16string units(data.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    return units;
}

// Every element ends with a 0 and a final 0 ends the list, so with the exact
// size the list reads back whole, empty elements included ("a", "", "b" is
// a 0 0 b 0 0). Data written elsewhere without the final 0 still reads.
VStringArray ParseMultiSz(const std::vector<uint8_t>& data) {
    std::u16string units = UnitsOf(data);
    const size_t n = units.size();
    if (n >= 1 && units[n - 1] == 0 && (n == 1 || units[n - 2] == 0)) units.pop_back();
    VStringArray elements;
    size_t start = 0;
    while (start < units.size()) {
        size_t end = units.find(u'\0', start);
        if (end == std::u16string::npos) end = units.size();
        elements.Add(VUnicodeString(std::u16string_view(units).substr(start, end - start)));
        start = end + 1;
    }
    return elements;
}

std::u16string TrimSeparators(std::u16string_view path) {
    while (!path.empty() && path.front() == u'\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == u'\\') path.remove_suffix(1);
    return std::u16string(path);
}

}  // namespace

// ---- Roots and folder --------------------------------------------------------------

const char16_t* GetRegistryRootName(VRegistryRoot root) {
    return root == VRegistryRoot::LocalMachine ? u"HKEY_LOCAL_MACHINE" : u"HKEY_CURRENT_USER";
}

bool ParseRegistryRootName(std::u16string_view text, VRegistryRoot& root) {
    if (EqualsNoCase(text, u"HKEY_CURRENT_USER") || EqualsNoCase(text, u"HKCU")) {
        root = VRegistryRoot::CurrentUser;
        return true;
    }
    if (EqualsNoCase(text, u"HKEY_LOCAL_MACHINE") || EqualsNoCase(text, u"HKLM")) {
        root = VRegistryRoot::LocalMachine;
        return true;
    }
    return false;
}

fs::path GetDefaultRegistryFolder() {
    if (const auto dir = platform::NonEmptyEnvironmentVariable("SESSIONDECK_REGISTRY_DIR"))
        return *dir;
    if (const auto xdg = platform::NonEmptyEnvironmentVariable("XDG_CONFIG_HOME"))
        return fs::path(*xdg) / "sessiondeck" / "registry";
    if (const auto home = platform::NonEmptyEnvironmentVariable("HOME"))
        return fs::path(*home) / ".config" / "sessiondeck" / "registry";
    return {};
}

// ---- Key ----------------------------------------------------------------------------

VRegistryKey::VRegistryKey(std::shared_ptr<VRegistryHive> hive, VRegistryHive::KeyId parent,
                           std::u16string_view path, bool readOnly,
                           const VSecurityDescriptor* descriptor,
                           std::shared_ptr<const VSecurityDescriptor> defaultDescriptor,
                           uint32_t openError)
    : m_hive(std::move(hive)),
      m_readOnly(readOnly),
      m_report(0),
      m_defaultDescriptor(std::move(defaultDescriptor)),
      m_parent(parent),
      m_path(path) {
    if (descriptor) m_openDescriptor = descriptor->Bytes();
    if (!m_hive || parent == VRegistryHive::kNoKey) {
        Record(m_hive ? kInvalidHandle : openError);
        return;
    }
    VRegistryHive::KeyId key = VRegistryHive::kNoKey;
    if (path.empty()) {
        // No name opens the parent itself again.
        key = parent;
    }
    if (!readOnly && m_hive->IsWritable()) {
        const uint32_t error =
            key ? kSuccess
                : m_hive->CreateKey(parent, path, CreationSecurity(), key, &m_createdOnOpen);
        if (error == kSuccess) {
            m_handle = key;
            m_access = kWriteRights;
            Record(kSuccess);
            return;
        }
        if (error == kInvalidParameter) {
            Record(error);
            return;
        }
    }
    // Read-only, or the writable open was refused: changes will not be kept,
    // and IsWritable says so.
    const uint32_t error = key ? kSuccess : m_hive->FindKey(parent, path, key);
    if (error == kSuccess) {
        m_handle = key;
        m_access = kReadRights;
    }
    Record(error);
}

const std::vector<uint8_t>* VRegistryKey::CreationSecurity() const {
    if (m_openDescriptor) return &*m_openDescriptor;
    return m_defaultDescriptor ? &m_defaultDescriptor->Bytes() : nullptr;
}

bool VRegistryKey::Record(uint32_t error) {
    m_report.SetMessage(error);
    return error == kSuccess;
}

bool VRegistryKey::ReadValue(const char16_t* name, uint32_t type, std::vector<uint8_t>& data) {
    if (!name) return Record(kInvalidParameter);
    if (!IsOpen()) return Record(kInvalidHandle);
    uint32_t stored = kRegNone;
    if (!Record(m_hive->QueryValue(m_handle, name, stored, data))) return false;
    return stored == type || Record(kDatatypeMismatch);
}

VReportMessageParams VRegistryKey::SystemErrorReport(int error) {
    VReportMessageParams report(static_cast<uint32_t>(error));
    report.AddInsert(
        VUnicodeString::FromUtf8(SystemErrorDescription(static_cast<uint32_t>(error)).value_or(""))
            .str());
    return report;
}

bool VRegistryKey::WriteFailed(const VReportMessageParams& report) {
    m_report = report;
    if (!m_writeFailure) m_writeFailure = report;
    return false;
}

bool VRegistryKey::WriteFailed(uint32_t registryError) {
    return WriteFailed(VReportMessageParams(registryError));
}

bool VRegistryKey::MayWrite(bool& pending) {
    pending = false;
    if (!IsOpen() && !m_createPending && !m_keyMissing) return WriteFailed(kInvalidHandle);
    if (!(m_access & kSetValue)) return WriteFailed(kAccessDenied);
    if (m_refusal) return WriteFailed(*m_refusal);
    if (m_keyMissing) return WriteFailed(SystemErrorReport(ENOENT));
    pending = m_createPending;
    return true;
}

bool VRegistryKey::WriteResult(uint32_t error) {
    if (error == kSuccess) return Record(kSuccess);
    if (error == kKeyDeleted && m_writeMode == WriteMode::kUpdateOnly)
        return WriteFailed(SystemErrorReport(ENOENT));
    return WriteFailed(error);
}

bool VRegistryKey::Change(const std::function<uint32_t(VRegistryHive::KeyId)>& change) {
    m_exclusiveSettled = true;
    bool pending = false;
    if (!MayWrite(pending)) return false;
    if (!pending) return WriteResult(change ? change(m_handle) : kSuccess);
    VRegistryHive::KeyId made = VRegistryHive::kNoKey;
    const uint32_t error =
        m_hive->CreateKeyExclusive(m_parent, m_path, CreationSecurity(), change, made);
    if (error == kAlreadyExists) {
        // Someone else's key now: this handle never writes into it.
        m_refusal = SystemErrorReport(EEXIST);
        return WriteFailed(*m_refusal);
    }
    if (error != kSuccess) return WriteFailed(error);
    m_createPending = false;
    m_handle = made;
    return Record(kSuccess);
}

bool VRegistryKey::WriteValue(const char16_t* name, uint32_t type, const void* data, size_t size) {
    if (!name || (!data && size != 0)) return WriteFailed(kInvalidParameter);
    return Change(
        [&](VRegistryHive::KeyId key) { return m_hive->SetValue(key, name, type, data, size); });
}

bool VRegistryKey::QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) {
    std::vector<uint8_t> data;
    if (!ReadValue(name, kRegBinary, data)) return false;
    descriptor = VSecurityDescriptor(std::move(data));
    return true;
}

bool VRegistryKey::QueryStringArray(const char16_t* name, VStringArray& value) {
    std::vector<uint8_t> data;
    if (!ReadValue(name, kRegMultiSz, data)) return false;
    value = ParseMultiSz(data);
    return true;
}

bool VRegistryKey::QueryBinary(const char16_t* name, void* buffer, uint32_t& size) {
    std::vector<uint8_t> data;
    if (!ReadValue(name, kRegBinary, data)) return false;
    const auto length = static_cast<uint32_t>(data.size());
    if (buffer) {
        if (size < length) return Record(kMoreData);
        if (length) std::memcpy(buffer, data.data(), length);
    }
    size = length;
    return true;
}

bool VRegistryKey::QueryString(const char16_t* name, VUnicodeString& value) {
    std::vector<uint8_t> data;
    if (!ReadValue(name, kRegSz, data)) return false;
    // The terminating 0, and anything a foreign writer left after it, is not
    // part of the text.
    std::u16string units = UnitsOf(data);
    units.resize(std::min(units.find(u'\0'), units.size()));
    value = VUnicodeString(std::move(units));
    return true;
}

bool VRegistryKey::QueryDword(const char16_t* name, uint32_t& value) {
    std::vector<uint8_t> data;
    if (!ReadValue(name, kRegDword, data)) return false;
    if (data.size() != 4) return Record(kInvalidData);
    value = static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
            (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
    return true;
}

bool VRegistryKey::SetSecurityDescriptor(const char16_t* name,
                                         const VSecurityDescriptor& descriptor) {
    return WriteValue(name, kRegBinary, descriptor.Bytes().data(), descriptor.Bytes().size());
}

bool VRegistryKey::SetStringArray(const char16_t* name, const VStringArray& value) {
    std::vector<uint8_t> data;
    for (const VUnicodeString& element : value) AppendUnits(data, element.str());
    data.push_back(0);
    data.push_back(0);
    return WriteValue(name, kRegMultiSz, data.data(), data.size());
}

bool VRegistryKey::SetBinary(const char16_t* name, const void* data, uint32_t size) {
    return WriteValue(name, kRegBinary, data, size);
}

bool VRegistryKey::SetString(const char16_t* name, const char16_t* value) {
    std::vector<uint8_t> data;
    AppendUnits(data, value ? value : u"");
    return WriteValue(name, kRegSz, data.data(), data.size());
}

bool VRegistryKey::SetDword(const char16_t* name, uint32_t value) {
    const uint8_t data[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                             static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return WriteValue(name, kRegDword, data, sizeof data);
}

bool VRegistryKey::DeleteValue(const char16_t* name) {
    if (!name) return WriteFailed(kInvalidParameter);
    bool pending = false;
    if (!MayWrite(pending)) return false;
    // A key still to be made holds no value.
    if (pending) return Record(kSuccess);
    uint32_t error = m_hive->DeleteValue(m_handle, name);
    // What the caller wanted, no such value, holds already; unless the key
    // an update-only handle changes has gone.
    if (error == kFileNotFound)
        error = m_writeMode == WriteMode::kUpdateOnly ? m_hive->CheckKey(m_handle) : kSuccess;
    return WriteResult(error);
}

bool VRegistryKey::DeleteSubKey(const char16_t* name) {
    if (!name || !*name) return WriteFailed(kInvalidParameter);
    if (!IsOpen() && !m_createPending && !m_keyMissing) return WriteFailed(kInvalidHandle);
    if (!(m_access & kCreateSubKey)) return WriteFailed(kAccessDenied);
    bool pending = false;
    if (!MayWrite(pending)) return false;
    if (pending) return Record(kSuccess);
    uint32_t error = m_hive->DeleteKeyTree(m_handle, name);
    if (error == kSuccess && m_writeMode == WriteMode::kUpdateOnly)
        error = m_hive->CheckKey(m_handle);
    return WriteResult(error);
}

bool VRegistryKey::SubKeyExists(const char16_t* name) {
    if (!name || !*name) return Record(kInvalidParameter);
    if (!IsOpen()) return Record(kInvalidHandle);
    VRegistryHive::KeyId key = VRegistryHive::kNoKey;
    return Record(m_hive->FindKey(m_handle, name, key));
}

bool VRegistryKey::IsWritable() {
    return (m_access & (kSetValue | kCreateSubKey)) == (kSetValue | kCreateSubKey);
}

bool VRegistryKey::SetKeySecurity(const VSecurityDescriptor& descriptor) {
    if (!IsOpen() && !m_createPending && !m_keyMissing) return WriteFailed(kInvalidHandle);
    if (!IsWritable()) return WriteFailed(kAccessDenied);
    return Change(
        [&](VRegistryHive::KeyId key) { return m_hive->SetKeySecurity(key, descriptor.Bytes()); });
}

bool VRegistryKey::QueryKeySecurity(VSecurityDescriptor& descriptor) {
    if (!IsOpen()) return Record(kInvalidHandle);
    std::vector<uint8_t> bytes;
    if (!Record(m_hive->GetKeySecurity(m_handle, bytes))) return false;
    if (bytes.empty()) return Record(kFileNotFound);
    descriptor = VSecurityDescriptor(std::move(bytes));
    return true;
}

VProfilePrivateKey* VRegistryKey::OpenSubKey(const char16_t* name,
                                             const VSecurityDescriptor* descriptor) {
    // A writable sub-key is created on opening, so this key must be there:
    // an exclusive handle makes its key now (or learns that it may not).
    if (m_createPending && !m_readOnly) Change(nullptr);
    return new VRegistryKey(m_hive, m_handle, name ? name : u"", m_readOnly, descriptor,
                            m_defaultDescriptor, kInvalidHandle);
}

VProfilePrivateKeyIterator* VRegistryKey::CreateIterator(bool values) {
    return new Iterator(*this, values);
}

// ---- Flushing, creating and updating handles, moves and copies --------------------

bool VRegistryKey::Flush() {
    // An exclusive handle that wrote nothing (a folder, whose values live in
    // its sub-keys) creates its key now, or learns that it may not.
    if (m_writeMode == WriteMode::kCreateExclusive && !m_exclusiveSettled && !m_readOnly)
        Change(nullptr);
    // Every write reached the hive, or failed, when it was made: only the
    // failures remain to be told.
    if (!m_writeFailure) return Record(kSuccess);
    m_report = *m_writeFailure;
    m_writeFailure.reset();
    return false;
}

void VRegistryKey::SetCreateExclusive() {
    if (!IsWritable() || m_writeMode != WriteMode::kCreateOrUpdate) return;
    m_writeMode = WriteMode::kCreateExclusive;
    if (!m_createdOnOpen) {
        m_refusal = SystemErrorReport(EEXIST);
        return;
    }
    // The key this handle made when it opened goes again while it is empty,
    // so that the first write creates it under the check for a competitor.
    // Left in place (the hive refused), it is still this handle's own.
    bool deleted = false;
    const uint32_t error = m_hive->DeleteKeyIfEmpty(m_handle, deleted);
    if (error == kSuccess && !deleted) {
        m_refusal = SystemErrorReport(EEXIST);  // someone has written into it
    } else if (deleted) {
        m_handle = VRegistryHive::kNoKey;
        m_createPending = true;
    }
}

void VRegistryKey::SetUpdateOnly() {
    if (!IsWritable() || m_writeMode != WriteMode::kCreateOrUpdate) return;
    m_writeMode = WriteMode::kUpdateOnly;
    if (!m_createdOnOpen) return;
    // The key was not there: the opening's creation is taken back, and the
    // handle has nothing to update even if that fails.
    bool deleted = false;
    m_hive->DeleteKeyIfEmpty(m_handle, deleted);
    if (deleted) m_handle = VRegistryHive::kNoKey;
    m_keyMissing = true;
}

bool VRegistryKey::MoveSubKey(const char16_t* from, const char16_t* to) {
    return CopyOrMove(from, to, true);
}

bool VRegistryKey::CopySubKey(const char16_t* from, const char16_t* to) {
    return CopyOrMove(from, to, false);
}

bool VRegistryKey::CopyOrMove(const char16_t* from, const char16_t* to, bool move) {
    if (!from || !to || !*from || !*to) return WriteFailed(SystemErrorReport(EINVAL));
    if (!IsOpen() && !m_createPending && !m_keyMissing) return WriteFailed(kInvalidHandle);
    if (!IsWritable()) return WriteFailed(kAccessDenied);
    bool pending = false;
    if (!MayWrite(pending)) return false;
    // Nothing is below a key still to be made.
    if (pending) return WriteFailed(SystemErrorReport(ENOENT));
    // Keys made above `to` get the store's default, as keys opened by name do.
    const uint32_t error = m_hive->CopyKeyTree(
        m_handle, from, to, move, m_defaultDescriptor ? &m_defaultDescriptor->Bytes() : nullptr);
    switch (error) {
        case kSuccess:
            return Record(kSuccess);
        case kFileNotFound:
            return WriteFailed(SystemErrorReport(ENOENT));
        case kAlreadyExists:
            return WriteFailed(SystemErrorReport(EEXIST));
        case kInvalidParameter:
            return WriteFailed(SystemErrorReport(EINVAL));
        default:
            return WriteResult(error);
    }
}

// ---- Iterators -----------------------------------------------------------------------

VRegistryKey::Iterator::Iterator(VRegistryKey& key, bool values)
    : m_hive(key.m_hive), m_handle(key.m_handle), m_values(values) {}

bool VRegistryKey::Iterator::EntryAt(int64_t index, VRegistryHive::Entry& entry) {
    if (!m_hive || m_handle == VRegistryHive::kNoKey) return false;
    // Reading the list once per change, not once per step, keeps a walk over
    // N entries linear while an index still means what it means on the hive
    // as it is now.
    const uint64_t stamp = m_hive->ChangeStamp();
    if (!m_loaded || stamp != m_stamp) {
        if (m_hive->List(m_handle, m_values, m_entries) != kSuccess) m_entries.clear();
        m_stamp = stamp;
        m_loaded = true;
    }
    if (index < 0 || index >= static_cast<int64_t>(m_entries.size())) return false;
    entry = m_entries[static_cast<size_t>(index)];
    return true;
}

bool VRegistryKey::Iterator::NextValue(VUnicodeString& name, int& kind) {
    VRegistryHive::Entry entry;
    if (!EntryAt(m_index, entry)) return false;
    ++m_index;
    name = VUnicodeString(std::move(entry.name));
    kind = m_values ? KindOfType(entry.type) : kValueKindSubKey;
    return true;
}

bool VRegistryKey::Iterator::Next(VUnicodeString& name) {
    int kind = 0;
    return NextValue(name, kind);
}

VRegistryKey::ReverseIterator::ReverseIterator(VRegistryKey& key, bool values)
    : Iterator(key, values) {
    // Start at the last index there is now.
    VRegistryHive::Entry first;
    EntryAt(0, first);
    m_index = static_cast<int64_t>(m_entries.size()) - 1;
}

bool VRegistryKey::ReverseIterator::NextValue(VUnicodeString& name, int& kind) {
    VRegistryHive::Entry entry;
    if (!EntryAt(m_index, entry)) return false;
    --m_index;
    name = VUnicodeString(std::move(entry.name));
    kind = m_values ? KindOfType(entry.type) : kValueKindSubKey;
    return true;
}

bool VRegistryKey::ReverseIterator::Next(VUnicodeString& name) {
    int kind = 0;
    return NextValue(name, kind);
}

// ---- Store and factory -------------------------------------------------------------------

VRegistryStore::VRegistryStore(VRegistryRoot root, const VUnicodeString& basePath, fs::path folder,
                               std::shared_ptr<const VSecurityDescriptor> defaultDescriptor)
    : m_basePath(TrimSeparators(basePath.str())),
      m_file(HivePath(root, folder)),
      m_defaultDescriptor(std::move(defaultDescriptor)) {}

fs::path VRegistryStore::HivePath(VRegistryRoot root, const fs::path& folder) {
    const fs::path base = folder.empty() ? GetDefaultRegistryFolder() : folder;
    if (base.empty()) return {};
    return base / (VUnicodeString(GetRegistryRootName(root)).ToUtf8() + ".db");
}

VProfilePrivateKey* VRegistryStore::OpenRootKey(bool readOnly) {
    // A read-only store never creates the hive; a writable one opens it for
    // writing once, and all keys of the store share that connection.
    const bool wantWritable = !readOnly;
    if (!m_file.empty() && (!m_hive || (wantWritable && !m_hiveWritable))) {
        uint32_t error = kFileNotFound;
        if (auto hive = VRegistryHive::Open(m_file, wantWritable, error)) {
            m_hive = std::move(hive);
            m_hiveWritable = wantWritable;
        } else if (!m_hive) {
            m_openError = error;
        }
    }
    return new VRegistryKey(m_hive, VRegistryHive::kRootKey, m_basePath.str(), readOnly, nullptr,
                            m_defaultDescriptor, m_openError);
}

VRegistryStoreFactory::VRegistryStoreFactory()
    : VRegistryStoreFactory(VRegistryRoot::CurrentUser, u"SOFTWARE\\Norvik") {}

VRegistryStoreFactory::VRegistryStoreFactory(VRegistryRoot root, const VUnicodeString& basePath,
                                             fs::path folder)
    : m_root(root), m_basePath(basePath), m_folder(std::move(folder)) {}

VProfilePrivateStore* VRegistryStoreFactory::CreateStore() {
    return new VRegistryStore(m_root, m_basePath, m_folder, m_defaultDescriptor);
}

void VRegistryStoreFactory::SetDefaultSecurityDescriptor(const VSecurityDescriptor* descriptor) {
    m_defaultDescriptor =
        descriptor ? std::make_shared<const VSecurityDescriptor>(*descriptor) : nullptr;
}

void FindMakerRegistryRoot(VRegistryRoot& root, VUnicodeString& path, const fs::path& folder) {
    static constexpr const char16_t* kPaths[] = {u"SOFTWARE\\Norvik",
                                                 u"SOFTWARE\\Halbrook Systems"};
    static constexpr VRegistryRoot kRoots[] = {VRegistryRoot::CurrentUser,
                                               VRegistryRoot::LocalMachine};
    for (const char16_t* candidate : kPaths) {
        for (VRegistryRoot where : kRoots) {
            VRegistryStore store(where, candidate, folder);
            VRegistryKey* key = static_cast<VRegistryKey*>(store.OpenRootKey(true));
            const bool found = key->IsOpen();
            delete key;
            if (found) {
                root = where;
                path = candidate;
                return;
            }
        }
    }
    root = VRegistryRoot::CurrentUser;
    path = u"SOFTWARE\\Norvik";
}

}  // namespace sessiondeck
