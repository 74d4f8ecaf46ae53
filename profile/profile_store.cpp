// VProfileStore, VProfileKey and VProfileKeyIterator: the handles that forward to a backend.
#include "profile/profile_store.h"

#include "platform/process.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace sessiondeck {

namespace {

std::atomic<ProfileStoreFactoryGetter> g_factoryGetter{nullptr};

class EmptyIterator : public VProfilePrivateKeyIterator {
public:
    bool NextValue(VUnicodeString&, int&) override { return false; }
    bool Next(VUnicodeString&) override { return false; }
};

VProfilePrivateKey* OrNullKey(VProfilePrivateKey* key) {
    return key ? key : new VNullProfileKey;
}

}  // namespace

void SetProfileStoreFactoryGetter(ProfileStoreFactoryGetter getter) {
    g_factoryGetter = getter;
}
ProfileStoreFactoryGetter GetProfileStoreFactoryGetter() {
    return g_factoryGetter.load();
}

VProfilePrivateKeyIterator* VNullProfileKey::CreateIterator(bool) {
    return new EmptyIterator;
}

// ---- VProfileStore ---------------------------------------------------------

VProfileStore::VProfileStore(VProfileStoreFactory* factory) : VProfileStore(false, factory) {}

VProfileStore::VProfileStore(bool readOnly, VProfileStoreFactory* factory) : m_readOnly(readOnly) {
    if (!factory) {
        if (ProfileStoreFactoryGetter getter = g_factoryGetter.load()) factory = getter();
    }
    if (factory) {
        m_store = factory->CreateStore();
    } else {
        // A host that opens the store before recording its factory has made a
        // mistake; say so once and give it an empty store rather than crash.
        static std::atomic<bool> warned{false};
        if (!warned.exchange(true)) {
            std::fputs(
                "SessionDeck: a configuration store was opened before "
                "SessionDeckDllInitProfileFactory "
                "recorded a store factory; it holds nothing and keeps nothing.\n",
                stderr);
        }
    }
    m_root =
        new VProfileKey(m_store ? OrNullKey(m_store->OpenRootKey(readOnly)) : new VNullProfileKey);
}

VProfileStore::~VProfileStore() {
    delete m_store;
    delete m_root;
}

// ---- VProfileKey -----------------------------------------------------------

VProfileKey::VProfileKey(VProfileStore& store)
    : m_key(store.m_store ? OrNullKey(store.m_store->OpenRootKey(store.m_readOnly))
                          : new VNullProfileKey) {}

VProfileKey::VProfileKey(VProfileKey& parent, const char16_t* name)
    : m_key(OrNullKey(parent.m_key->OpenSubKey(name ? name : u"", nullptr))) {}

VProfileKey::VProfileKey(VProfilePrivateKey* key) : m_key(OrNullKey(key)) {}

VProfileKey::~VProfileKey() {
    delete m_key;
}

// ---- VProfileKeyIterator ---------------------------------------------------

VProfileKeyIterator::VProfileKeyIterator(VProfileKey& key, bool values)
    : m_iterator(key.CreateIterator(values)) {
    if (!m_iterator) m_iterator = new EmptyIterator;
}

VProfileKeyIterator::~VProfileKeyIterator() {
    delete m_iterator;
}

// ---- temporary key names -----------------------------------------------------

VUnicodeString MakeTemporaryKeyName() {
    static std::atomic<unsigned> counter{0};
    const std::string suffix = std::to_string(CurrentProcessId()) + "_" + std::to_string(++counter);
    return VUnicodeString(std::u16string(kTemporaryKeyPrefix) +
                          VUnicodeString::FromUtf8(suffix).str());
}

std::optional<long> TemporaryKeyOwner(std::u16string_view name) {
    if (!name.starts_with(kTemporaryKeyPrefix)) return std::nullopt;
    name.remove_prefix(kTemporaryKeyPrefix.size());
    long pid = 0;
    for (char16_t c : name) {
        if (c == u'_') break;
        if (c < u'0' || c > u'9' || pid > 100'000'000) return 0;
        pid = pid * 10 + (c - u'0');
    }
    return pid;
}

}  // namespace sessiondeck
