// The store contract suite: written once, instantiated for every store backend.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "profile/profile_store.h"

using namespace sessiondeck;

// One backend under test: a fresh, empty store, alive as long as this object.
class StoreBackend {
public:
    virtual ~StoreBackend() = default;
    virtual VProfileStoreFactory& Factory() = 0;
};

// Where backends differ on purpose; everything else the suite expects of all.
struct StoreBackendParam {
    std::string name;
    std::function<std::unique_ptr<StoreBackend>()> make;
    // INI: names compare exactly; registry: case-insensitively.
    bool caseSensitiveNames = true;
    // Registry: opening a missing key writable creates it; INI: opening never creates.
    bool openingCreatesKeys = false;
    // INI: a read-only handle takes changes in memory and never writes them;
    // registry: it refuses them.
    bool readOnlyKeysAcceptChanges = true;
    // INI and registry list names in CompareNoCase order; the in-memory test
    // store in the order they were first written.
    bool sortedNames = true;
};
inline void PrintTo(const StoreBackendParam& param, std::ostream* out) {
    *out << param.name;
}

// Adding a backend is one line beside its own tests:
//   INSTANTIATE_TEST_SUITE_P(Name, ProfileStoreContract,
//                            testing::Values(StoreBackendParam{"Name", MakeNameBackend}),
//                            StoreBackendName);
class ProfileStoreContract : public testing::TestWithParam<StoreBackendParam> {
protected:
    void SetUp() override { m_backend = GetParam().make(); }
    VProfileStoreFactory& Factory() { return m_backend->Factory(); }

    std::unique_ptr<StoreBackend> m_backend;
};

std::string StoreBackendName(const testing::TestParamInfo<StoreBackendParam>& info);

// The sub-keys of a key, in the order the store lists them.
inline std::vector<std::u16string> SubKeyNames(VProfileKey& key) {
    VProfileKeyIterator it(key, false);
    std::vector<std::u16string> names;
    for (VUnicodeString name; it.Next(name);) names.push_back(name.str());
    return names;
}

// A DWORD value, or nothing when there is none of that name and kind.
inline std::optional<uint32_t> Dword(VProfileKey& key, const char16_t* name) {
    uint32_t value = 0;
    return key.QueryDword(name, value) ? std::optional<uint32_t>(value) : std::nullopt;
}
inline std::optional<uint32_t> Dword(VProfileKey&& key, const char16_t* name) {
    return Dword(key, name);
}
