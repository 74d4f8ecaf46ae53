// The registry backend of the configuration store: keys and typed values in a registry hive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"
#include "profile/registry_hive.h"
#include "profile/security_descriptor.h"

namespace sessiondeck {

// The predefined roots the store can be opened under; each is one hive file
// in the registry folder.
enum class VRegistryRoot { CurrentUser, LocalMachine };

// "HKEY_CURRENT_USER" or "HKEY_LOCAL_MACHINE".
SESSIONDECK_API const char16_t* GetRegistryRootName(VRegistryRoot root);
// Accepts the full root names and their short forms "HKCU" and "HKLM", in any
// case. False for anything else.
SESSIONDECK_API bool ParseRegistryRootName(std::u16string_view text, VRegistryRoot& root);

// Where the hives live: $SESSIONDECK_REGISTRY_DIR, else
// $XDG_CONFIG_HOME/sessiondeck/registry (XDG_CONFIG_HOME defaulting to
// ~/.config). Empty when none of these is set.
SESSIONDECK_API std::filesystem::path GetDefaultRegistryFolder();

// A key of the registry store. It acts on the hive at every call: nothing is
// kept back to be written later.
//
// Creating and updating handles. A writable handle creates its missing key
// when it opens. A handle told to create exclusively, or to update only,
// takes back a creation its own opening made (while the key is still empty)
// and waits for its first write: an exclusive handle then makes the key and
// writes in one transaction that first checks that no key of that name is
// there (EEXIST otherwise, for this and every later write); an update-only
// handle refuses every write with ENOENT. An update-only handle whose key is
// deleted (or moved away, which deletes the original) later gets ENOENT too.
// MoveSubKey and CopySubKey are one transaction each. Failures of these
// operations that the store's rules decide (EEXIST, ENOENT, EINVAL) are
// reported as system errors (errno) with the system's text; failures of the
// hive itself keep the registry's codes, as every other call here does.
class SESSIONDECK_API VRegistryKey : public VProfilePrivateKey {
public:
    // Access rights, as the registry names them.
    static constexpr uint32_t kQueryValue = 0x0001;
    static constexpr uint32_t kSetValue = 0x0002;
    static constexpr uint32_t kCreateSubKey = 0x0004;
    static constexpr uint32_t kEnumerateSubKeys = 0x0008;
    static constexpr uint32_t kNotify = 0x0010;
    static constexpr uint32_t kReadRights = kQueryValue | kEnumerateSubKeys | kNotify;
    static constexpr uint32_t kWriteRights = kReadRights | kSetValue | kCreateSubKey;

    // Enumerates by index, from the first entry up: the list is read once
    // and read again only when the hive has changed, keeping the index.
    class SESSIONDECK_API Iterator : public VProfilePrivateKeyIterator {
    public:
        Iterator(VRegistryKey& key, bool values);
        bool NextValue(VUnicodeString& name, int& kind) override;
        bool Next(VUnicodeString& name) override;

    protected:
        // The entry at `index`, or false past either end.
        bool EntryAt(int64_t index, VRegistryHive::Entry& entry);

        std::shared_ptr<VRegistryHive> m_hive;
        VRegistryHive::KeyId m_handle;
        bool m_values;
        int64_t m_index = 0;
        std::vector<VRegistryHive::Entry> m_entries;

    private:
        uint64_t m_stamp = 0;
        bool m_loaded = false;
    };

    // The same from the last index down, so that deleting each entry as it
    // comes leaves the indices still to come valid.
    class SESSIONDECK_API ReverseIterator : public Iterator {
    public:
        ReverseIterator(VRegistryKey& key, bool values);
        bool NextValue(VUnicodeString& name, int& kind) override;
        bool Next(VUnicodeString& name) override;
    };

    // Opens `path` below `parent` in `hive` (a null hive: the key cannot be
    // opened). Writable: created when missing, with `descriptor` or else
    // `defaultDescriptor`; when that is refused the key opens read-only.
    VRegistryKey(std::shared_ptr<VRegistryHive> hive, VRegistryHive::KeyId parent,
                 std::u16string_view path, bool readOnly, const VSecurityDescriptor* descriptor,
                 std::shared_ptr<const VSecurityDescriptor> defaultDescriptor,
                 uint32_t openError = registry_error::kFileNotFound);

    bool QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) override;
    bool QueryStringArray(const char16_t* name, VStringArray& value) override;
    bool QueryBinary(const char16_t* name, void* buffer, uint32_t& size) override;
    bool QueryString(const char16_t* name, VUnicodeString& value) override;
    bool QueryDword(const char16_t* name, uint32_t& value) override;
    bool SetSecurityDescriptor(const char16_t* name,
                               const VSecurityDescriptor& descriptor) override;
    bool SetStringArray(const char16_t* name, const VStringArray& value) override;
    bool SetBinary(const char16_t* name, const void* data, uint32_t size) override;
    bool SetString(const char16_t* name, const char16_t* value) override;
    bool SetDword(const char16_t* name, uint32_t value) override;
    bool DeleteValue(const char16_t* name) override;
    bool DeleteSubKey(const char16_t* name) override;
    bool SubKeyExists(const char16_t* name) override;
    bool IsWritable() override;
    bool IsHidden(bool) override { return false; }
    bool SetKeySecurity(const VSecurityDescriptor& descriptor) override;
    VReportMessageParams& GetReport() override { return m_report; }
    VProfilePrivateKey* OpenSubKey(const char16_t* name,
                                   const VSecurityDescriptor* descriptor) override;
    VProfilePrivateKeyIterator* CreateIterator(bool values) override;
    bool Flush() override;
    void SetCreateExclusive() override;
    void SetUpdateOnly() override;
    bool MoveSubKey(const char16_t* from, const char16_t* to) override;
    bool CopySubKey(const char16_t* from, const char16_t* to) override;

    // False when the key could not be opened (every query then fails).
    bool IsOpen() const { return m_handle != VRegistryHive::kNoKey; }
    uint32_t GetAccess() const { return m_access; }
    // The descriptor applied to the key itself (SetKeySecurity, or the one it
    // was created with); false when it has none.
    bool QueryKeySecurity(VSecurityDescriptor& descriptor);

private:
    // Records the result of a registry call in the report; true on success.
    bool Record(uint32_t error);
    bool ReadValue(const char16_t* name, uint32_t type, std::vector<uint8_t>& data);
    bool WriteValue(const char16_t* name, uint32_t type, const void* data, size_t size);
    // A system error (errno) with the system's text as its insert.
    static VReportMessageParams SystemErrorReport(int error);
    // Puts `report` in the key's report as the result of a write that failed,
    // keeping the first such failure for Flush. Always false.
    bool WriteFailed(const VReportMessageParams& report);
    bool WriteFailed(uint32_t registryError);
    // Whether a write may go ahead on this handle: false (with the report
    // filled) for a handle that cannot write, has been refused, or updates a
    // key that is not there. A creating handle whose key is still to be made
    // answers true with `pending` set.
    bool MayWrite(bool& pending);
    // Runs one change of the key (a value or its security) as the handle's
    // way of writing wants it; `change` gets the key's id.
    bool Change(const std::function<uint32_t(VRegistryHive::KeyId)>& change);
    // The answer of a write the hive refused, for an update-only handle a
    // deleted key being ENOENT.
    bool WriteResult(uint32_t error);
    bool CopyOrMove(const char16_t* from, const char16_t* to, bool move);
    const std::vector<uint8_t>* CreationSecurity() const;

    enum class WriteMode { kCreateOrUpdate, kCreateExclusive, kUpdateOnly };

    std::shared_ptr<VRegistryHive> m_hive;
    VRegistryHive::KeyId m_handle = VRegistryHive::kNoKey;
    bool m_readOnly;
    uint32_t m_access = 0;
    VReportMessageParams m_report;
    std::shared_ptr<const VSecurityDescriptor> m_defaultDescriptor;
    // Where the key is, for a creation deferred to the first write.
    VRegistryHive::KeyId m_parent = VRegistryHive::kNoKey;
    std::u16string m_path;
    std::optional<std::vector<uint8_t>> m_openDescriptor;  // given at open
    bool m_createdOnOpen = false;
    WriteMode m_writeMode = WriteMode::kCreateOrUpdate;
    bool m_createPending = false;     // exclusive: the key is made by the first write
    bool m_exclusiveSettled = false;  // exclusive: a write or a flush has made the key or failed
    bool m_keyMissing = false;        // update-only: the key was not there
    std::optional<VReportMessageParams> m_refusal;       // every write fails with this
    std::optional<VReportMessageParams> m_writeFailure;  // the first since the last Flush
};

class SESSIONDECK_API VRegistryStore : public VProfilePrivateStore {
public:
    // `folder` empty: the default registry folder.
    VRegistryStore(VRegistryRoot root, const VUnicodeString& basePath,
                   std::filesystem::path folder = {},
                   std::shared_ptr<const VSecurityDescriptor> defaultDescriptor = nullptr);
    VProfilePrivateKey* OpenRootKey(bool readOnly) override;

    // The hive file of `root` in `folder` (empty: the default folder).
    static std::filesystem::path HivePath(VRegistryRoot root, const std::filesystem::path& folder);

private:
    VUnicodeString m_basePath;
    std::filesystem::path m_file;
    std::shared_ptr<const VSecurityDescriptor> m_defaultDescriptor;
    // One connection for all keys of this store; keys share it and keep it
    // alive, since a store may go before its keys.
    std::shared_ptr<VRegistryHive> m_hive;
    bool m_hiveWritable = false;
    uint32_t m_openError = registry_error::kFileNotFound;
};

class SESSIONDECK_API VRegistryStoreFactory : public VProfileStoreFactory {
public:
    // The maker's key under the current user until the host says otherwise.
    VRegistryStoreFactory();
    VRegistryStoreFactory(VRegistryRoot root, const VUnicodeString& basePath,
                          std::filesystem::path folder = {});
    VProfilePrivateStore* CreateStore() override;

    void SetRoot(VRegistryRoot root, const VUnicodeString& basePath) {
        m_root = root;
        m_basePath = basePath;
    }
    VRegistryRoot GetRoot() const { return m_root; }
    const VUnicodeString& GetBasePath() const { return m_basePath; }
    // Applied to keys the store creates when the caller gives no descriptor.
    void SetDefaultSecurityDescriptor(const VSecurityDescriptor* descriptor);

private:
    VRegistryRoot m_root;
    VUnicodeString m_basePath;
    std::filesystem::path m_folder;
    std::shared_ptr<const VSecurityDescriptor> m_defaultDescriptor;
};

// The maker's registry key that older versions left their settings under:
// the first of "SOFTWARE\Norvik" and "SOFTWARE\Halbrook Systems", each
// under the current user and then the local machine, that opens for reading;
// the current user's "SOFTWARE\Norvik" when none does. `folder` as for
// VRegistryStore.
SESSIONDECK_API void FindMakerRegistryRoot(VRegistryRoot& root, VUnicodeString& path,
                                           const std::filesystem::path& folder = {});

}  // namespace sessiondeck
