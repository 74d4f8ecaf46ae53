// The backend-neutral configuration store: factories, stores, keys and key iterators.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/security_descriptor.h"

namespace sessiondeck {

// Value kinds, as NextValue reports them and as every stored value has one.
enum VProfileValueKind : int {
    kValueKindForeign = -1,  // a registry type the store does not read
    kValueKindDword = 0,
    kValueKindString = 1,
    kValueKindBinary = 2,
    kValueKindStringArray = 3,
    kValueKindSubKey = 4,
};

class VProfilePrivateKeyIterator {
public:
    virtual ~VProfilePrivateKeyIterator() = default;
    virtual bool NextValue(VUnicodeString& name, int& kind) = 0;
    virtual bool Next(VUnicodeString& name) = 0;
    // Whether the sub-key Next gave last has values of its own, when the listing already knows
    // (a folder store sees the value files as it lists); empty when only opening the key can
    // tell.
    virtual std::optional<bool> LastHasOwnValues() const { return std::nullopt; }
};

// What a backend implements for one key. Names are null-terminated UTF-16.
class VProfilePrivateKey {
public:
    virtual ~VProfilePrivateKey() = default;
    virtual bool QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) = 0;
    virtual bool QueryStringArray(const char16_t* name, VStringArray& value) = 0;
    // With a null buffer: stores the value's size and returns true. With a size
    // smaller than the value: false. Otherwise copies and stores the size.
    virtual bool QueryBinary(const char16_t* name, void* buffer, uint32_t& size) = 0;
    virtual bool QueryString(const char16_t* name, VUnicodeString& value) = 0;
    virtual bool QueryDword(const char16_t* name, uint32_t& value) = 0;
    // The same with the name's length at hand, which settings always have: a
    // backend may use it; by default these ask the forms above.
    virtual bool QueryStringByName(const VUnicodeString& name, VUnicodeString& value) {
        return QueryString(name.c_str(), value);
    }
    virtual bool QueryDwordByName(const VUnicodeString& name, uint32_t& value) {
        return QueryDword(name.c_str(), value);
    }
    // The same answer as QueryString, for a caller that asks the key this one question: a
    // backend may find the value without keeping the key's others (by default it asks
    // QueryString).
    virtual bool QueryOneString(const char16_t* name, VUnicodeString& value) {
        return QueryString(name, value);
    }
    virtual bool SetSecurityDescriptor(const char16_t* name,
                                       const VSecurityDescriptor& descriptor) = 0;
    virtual bool SetStringArray(const char16_t* name, const VStringArray& value) = 0;
    virtual bool SetBinary(const char16_t* name, const void* data, uint32_t size) = 0;
    virtual bool SetString(const char16_t* name, const char16_t* value) = 0;
    virtual bool SetDword(const char16_t* name, uint32_t value) = 0;
    virtual bool DeleteValue(const char16_t* name) = 0;
    virtual bool DeleteSubKey(const char16_t* name) = 0;
    virtual bool SubKeyExists(const char16_t* name) = 0;
    virtual bool IsWritable() = 0;
    // folder true: the key as a folder; false: the key's own value file.
    virtual bool IsHidden(bool folder) = 0;
    virtual bool SetKeySecurity(const VSecurityDescriptor& descriptor) = 0;
    virtual VReportMessageParams& GetReport() = 0;
    // Always returns a key (owned by the caller); whether it exists is asked
    // with SubKeyExists on the parent.
    virtual VProfilePrivateKey* OpenSubKey(const char16_t* name,
                                           const VSecurityDescriptor* descriptor) = 0;
    // values true: value names; false: sub-key names. Owned by the caller. A
    // key whose sub-keys could not be listed lists none, and GetReport() holds
    // the failure (a system error code, e.g. EACCES).
    virtual VProfilePrivateKeyIterator* CreateIterator(bool values) = 0;
    // Reads the key's values now, for a caller about to read them anyway, so
    // that a backend need not look the key up twice. By default nothing.
    virtual void Prefetch() {}

    // Writes now whatever this handle still holds back (the INI backend writes
    // a key's values when its handle closes) and says whether every change made
    // through the handle reached the store. False fills GetReport() with the
    // failure: a system error code (errno) as the message id, with the
    // system's text as its insert. A backend that writes at every call answers
    // whether any of those writes failed. Flushing twice writes once.
    virtual bool Flush() { return true; }
    // This handle creates the key: its first write must find no key of that
    // exact name, else it fails with EEXIST and writes nothing. Of two
    // processes creating one name, exactly one succeeds.
    virtual void SetCreateExclusive() {}
    // This handle changes a key that exists: when the key has been removed
    // (or renamed away) by the time the handle writes, the write fails with
    // ENOENT instead of bringing the key back with only this handle's values.
    virtual void SetUpdateOnly() {}
    // Moves the sub-key `from`, with its values and everything below it, to
    // `to` (both "\"-paths below this key) in one step that is never seen
    // half-done, and that carries everything stored below `from`, whether
    // the store lists it or not. Fails, changing nothing, when `from` is
    // missing (ENOENT), `to` exists under that exact name (EEXIST), `to`
    // lies below `from` (EINVAL), or the store refuses (its system code).
    virtual bool MoveSubKey(const char16_t* /*from*/, const char16_t* /*to*/) {
        GetReport().SetMessageId(kReportNotSupported);
        return false;
    }
    // Copies the sub-key `from` with everything below it to `to`: built aside
    // and published whole, or not at all. Fails as MoveSubKey does, and when
    // something below `from` cannot be carried (a link, a special file, an
    // unreadable entry), leaving nothing behind.
    virtual bool CopySubKey(const char16_t* /*from*/, const char16_t* /*to*/) {
        GetReport().SetMessageId(kReportNotSupported);
        return false;
    }

    // The message id of a report for an operation this backend lacks (ENOTSUP).
    static constexpr uint32_t kReportNotSupported = 95;
};

// Names the store uses for itself while it works: a copy is built under
// "_@@TMP@@_PID_N" and published by one rename, so that a copy interrupted by
// a crash is never listed as a session or folder. A key whose name begins so
// is never listed; `sessiondeck check` finds the ones whose writer is gone.
inline constexpr std::u16string_view kTemporaryKeyPrefix = u"_@@TMP@@_";
// A fresh temporary key name for this process.
SESSIONDECK_API VUnicodeString MakeTemporaryKeyName();
// The process that made a temporary key name: its id, 0 when the name is the
// bare prefix (older copies), nullopt when the name is no temporary key name.
SESSIONDECK_API std::optional<long> TemporaryKeyOwner(std::u16string_view name);

class VProfilePrivateStore {
public:
    virtual ~VProfilePrivateStore() = default;
    virtual VProfilePrivateKey* OpenRootKey(bool readOnly) = 0;
};

class SESSIONDECK_API VProfileStoreFactory {
public:
    virtual ~VProfileStoreFactory() = default;
    virtual VProfilePrivateStore* CreateStore() = 0;
};

// The host's factory getter, recorded by initialisation.
using ProfileStoreFactoryGetter = VProfileStoreFactory* (*)();
SESSIONDECK_API void SetProfileStoreFactoryGetter(ProfileStoreFactoryGetter getter);
SESSIONDECK_API ProfileStoreFactoryGetter GetProfileStoreFactoryGetter();

// A key that holds nothing, accepts nothing and never writes: what a store
// opened without a factory, or a name that leaves the store, yields.
class SESSIONDECK_API VNullProfileKey : public VProfilePrivateKey {
public:
    bool QuerySecurityDescriptor(const char16_t*, VSecurityDescriptor&) override { return false; }
    bool QueryStringArray(const char16_t*, VStringArray&) override { return false; }
    bool QueryBinary(const char16_t*, void*, uint32_t&) override { return false; }
    bool QueryString(const char16_t*, VUnicodeString&) override { return false; }
    bool QueryDword(const char16_t*, uint32_t&) override { return false; }
    bool SetSecurityDescriptor(const char16_t*, const VSecurityDescriptor&) override {
        return false;
    }
    bool SetStringArray(const char16_t*, const VStringArray&) override { return false; }
    bool SetBinary(const char16_t*, const void*, uint32_t) override { return false; }
    bool SetString(const char16_t*, const char16_t*) override { return false; }
    bool SetDword(const char16_t*, uint32_t) override { return false; }
    bool DeleteValue(const char16_t*) override { return false; }
    bool DeleteSubKey(const char16_t*) override { return false; }
    bool SubKeyExists(const char16_t*) override { return false; }
    bool IsWritable() override { return false; }
    bool IsHidden(bool) override { return false; }
    bool SetKeySecurity(const VSecurityDescriptor&) override { return false; }
    VReportMessageParams& GetReport() override { return m_report; }
    VProfilePrivateKey* OpenSubKey(const char16_t*, const VSecurityDescriptor*) override {
        return new VNullProfileKey;
    }
    VProfilePrivateKeyIterator* CreateIterator(bool) override;

private:
    VReportMessageParams m_report;
};

class VProfileStore;

// The key handle callers use; forwards to the backend key it owns.
class SESSIONDECK_API VProfileKey {
public:
    // A further handle on the store's root.
    explicit VProfileKey(VProfileStore& store);
    // The sub-key `name` of `parent` (backslashes name descendants).
    VProfileKey(VProfileKey& parent, const char16_t* name);
    VProfileKey(VProfileKey& parent, const VUnicodeString& name)
        : VProfileKey(parent, name.c_str()) {}
    // Takes ownership of a backend key.
    explicit VProfileKey(VProfilePrivateKey* key);
    virtual ~VProfileKey();
    VProfileKey(const VProfileKey&) = delete;
    VProfileKey& operator=(const VProfileKey&) = delete;

    bool QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& d) {
        return m_key->QuerySecurityDescriptor(name, d);
    }
    bool QueryStringArray(const char16_t* name, VStringArray& v) {
        return m_key->QueryStringArray(name, v);
    }
    bool QueryBinary(const char16_t* name, void* buffer, uint32_t& size) {
        return m_key->QueryBinary(name, buffer, size);
    }
    bool QueryString(const char16_t* name, VUnicodeString& v) {
        return m_key->QueryString(name, v);
    }
    bool QueryDword(const char16_t* name, uint32_t& v) { return m_key->QueryDword(name, v); }
    // For one question to a key that is asked nothing else: see VProfilePrivateKey.
    bool QueryOneString(const char16_t* name, VUnicodeString& v) {
        return m_key->QueryOneString(name, v);
    }
    bool QueryString(const VUnicodeString& name, VUnicodeString& v) {
        return m_key->QueryStringByName(name, v);
    }
    bool QueryDword(const VUnicodeString& name, uint32_t& v) {
        return m_key->QueryDwordByName(name, v);
    }
    bool SetSecurityDescriptor(const char16_t* name, const VSecurityDescriptor& d) {
        return m_key->SetSecurityDescriptor(name, d);
    }
    bool SetStringArray(const char16_t* name, const VStringArray& v) {
        return m_key->SetStringArray(name, v);
    }
    bool SetBinary(const char16_t* name, const void* data, uint32_t size) {
        return m_key->SetBinary(name, data, size);
    }
    bool SetString(const char16_t* name, const char16_t* v) { return m_key->SetString(name, v); }
    bool SetDword(const char16_t* name, uint32_t v) { return m_key->SetDword(name, v); }
    bool DeleteValue(const char16_t* name) { return m_key->DeleteValue(name); }
    bool DeleteSubKey(const char16_t* name) { return m_key->DeleteSubKey(name); }
    bool SubKeyExists(const char16_t* name) { return m_key->SubKeyExists(name); }
    bool IsWritable() { return m_key->IsWritable(); }
    bool IsHidden(bool folder) { return m_key->IsHidden(folder); }
    bool SetKeySecurity(const VSecurityDescriptor& d) { return m_key->SetKeySecurity(d); }
    VReportMessageParams& GetReport() { return m_key->GetReport(); }
    VProfilePrivateKey* OpenSubKey(const char16_t* name, const VSecurityDescriptor* d) {
        return m_key->OpenSubKey(name, d);
    }
    void Prefetch() { m_key->Prefetch(); }
    bool Flush() { return m_key->Flush(); }
    void SetCreateExclusive() { m_key->SetCreateExclusive(); }
    void SetUpdateOnly() { m_key->SetUpdateOnly(); }
    bool MoveSubKey(const char16_t* from, const char16_t* to) {
        return m_key->MoveSubKey(from, to);
    }
    bool CopySubKey(const char16_t* from, const char16_t* to) {
        return m_key->CopySubKey(from, to);
    }
    VProfilePrivateKeyIterator* CreateIterator(bool values) {
        return m_key->CreateIterator(values);
    }

private:
    VProfilePrivateKey* m_key;
};

// The store callers construct on the stack. Without a factory it asks the
// host's getter anew each time; with no getter set it is an empty store whose
// keys hold nothing (and it says so once on standard error), never a crash.
class SESSIONDECK_API VProfileStore {
public:
    explicit VProfileStore(VProfileStoreFactory* factory = nullptr);
    VProfileStore(bool readOnly, VProfileStoreFactory* factory = nullptr);
    virtual ~VProfileStore();
    VProfileStore(const VProfileStore&) = delete;
    VProfileStore& operator=(const VProfileStore&) = delete;

    VProfileKey& GetRootKey() { return *m_root; }
    bool IsReadOnly() const { return m_readOnly; }
    // False when no factory could be had: every key of this store is empty.
    bool HasBackend() const { return m_store != nullptr; }

private:
    friend class VProfileKey;
    VProfilePrivateStore* m_store = nullptr;
    VProfileKey* m_root = nullptr;
    bool m_readOnly = false;
};

// Iterates the names of a key's sub-keys (values false) or values (true).
class SESSIONDECK_API VProfileKeyIterator {
public:
    VProfileKeyIterator(VProfileKey& key, bool values);
    virtual ~VProfileKeyIterator();
    VProfileKeyIterator(const VProfileKeyIterator&) = delete;
    VProfileKeyIterator& operator=(const VProfileKeyIterator&) = delete;

    bool NextValue(VUnicodeString& name, int& kind) { return m_iterator->NextValue(name, kind); }
    bool Next(VUnicodeString& name) { return m_iterator->Next(name); }
    std::optional<bool> LastHasOwnValues() const { return m_iterator->LastHasOwnValues(); }

private:
    VProfilePrivateKeyIterator* m_iterator;
};

}  // namespace sessiondeck
