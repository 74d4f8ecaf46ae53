// What every store backend promises its callers: typed values, deletes, sub-keys, iteration,
// read-only stores.
#include "store_contract.h"

#include <vector>

std::string StoreBackendName(const testing::TestParamInfo<StoreBackendParam>& info) {
    return info.param.name;
}

namespace {

std::vector<std::u16string> Names(VProfileKey& key, bool values) {
    VProfileKeyIterator it(key, values);
    std::vector<std::u16string> names;
    VUnicodeString name;
    while (it.Next(name)) names.push_back(name.str());
    return names;
}

}  // namespace

TEST_P(ProfileStoreContract, TypedValuesSurviveReopenAndKindsAreStrict) {
    const uint8_t blob[] = {0x00, 0xff, 0x10};
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"Sessions\\Default");
        EXPECT_TRUE(key.SetDword(u"Port", 22));
        EXPECT_TRUE(key.SetString(u"Hostname", u"server1"));
        EXPECT_TRUE(key.SetBinary(u"Blob", blob, sizeof blob));
        EXPECT_TRUE(key.SetStringArray(u"List", VStringArray{u"first", u"", u"third"}));
        EXPECT_TRUE(key.SetString(u"Empty", u""));
    }
    VProfileStore store(true, &Factory());
    VProfileKey key(store.GetRootKey(), u"Sessions\\Default");
    uint32_t port = 0;
    VUnicodeString host, empty(u"x");
    VStringArray list;
    EXPECT_TRUE(key.QueryDword(u"Port", port));
    EXPECT_EQ(port, 22u);
    EXPECT_TRUE(key.QueryString(u"Hostname", host));
    EXPECT_EQ(host, VUnicodeString(u"server1"));
    EXPECT_TRUE(key.QueryString(u"Empty", empty));
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_TRUE(key.QueryStringArray(u"List", list));
    EXPECT_EQ(list, (VStringArray{u"first", u"", u"third"}));

    // No conversions between kinds, and a failed query leaves its output alone.
    uint32_t number = 7;
    VUnicodeString text(u"unchanged");
    VStringArray array{u"unchanged"};
    uint32_t size = 99;
    EXPECT_FALSE(key.QueryDword(u"Hostname", number));
    EXPECT_FALSE(key.QueryString(u"Port", text));
    EXPECT_FALSE(key.QueryStringArray(u"Hostname", array));
    EXPECT_FALSE(key.QueryBinary(u"List", nullptr, size));
    EXPECT_FALSE(key.QueryDword(u"Absent", number));
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(text, VUnicodeString(u"unchanged"));
    EXPECT_EQ(array, VStringArray{u"unchanged"});
    EXPECT_EQ(size, 99u);

    uint32_t otherCase = 0;
    EXPECT_EQ(key.QueryDword(u"PORT", otherCase), !GetParam().caseSensitiveNames);
}

TEST_P(ProfileStoreContract, QueryBinaryReportsSizeAndRefusesSmallBuffers) {
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    const uint8_t blob[] = {1, 2, 3, 4, 5};
    ASSERT_TRUE(key.SetBinary(u"B", blob, sizeof blob));
    ASSERT_TRUE(key.SetBinary(u"Zero", nullptr, 0));

    uint32_t size = 0;
    EXPECT_TRUE(key.QueryBinary(u"B", nullptr, size));
    EXPECT_EQ(size, 5u);
    uint8_t buffer[8] = {};
    size = 4;
    EXPECT_FALSE(key.QueryBinary(u"B", buffer, size));
    EXPECT_EQ(buffer[0], 0);
    size = sizeof buffer;
    EXPECT_TRUE(key.QueryBinary(u"B", buffer, size));
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 5), std::vector<uint8_t>(blob, blob + 5));
    size = 3;
    EXPECT_TRUE(key.QueryBinary(u"Zero", buffer, size));
    EXPECT_EQ(size, 0u);
}

TEST_P(ProfileStoreContract, SettersReplaceAnyKindAndDeletesSucceed) {
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetString(u"V", u"text"));
        ASSERT_TRUE(key.SetDword(u"V", 5));
        ASSERT_TRUE(key.SetDword(u"Gone", 1));
        ASSERT_TRUE(key.SetDword(u"Kept", 2));
        EXPECT_TRUE(key.DeleteValue(u"Gone"));
        EXPECT_TRUE(key.DeleteValue(u"Never There"));
        uint32_t value = 0;
        EXPECT_FALSE(key.QueryDword(u"Gone", value));
    }
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    VUnicodeString text;
    uint32_t value = 0;
    EXPECT_FALSE(key.QueryString(u"V", text));
    EXPECT_TRUE(key.QueryDword(u"V", value));
    EXPECT_EQ(value, 5u);
    EXPECT_FALSE(key.QueryDword(u"Gone", value));
    EXPECT_TRUE(key.QueryDword(u"Kept", value));
    EXPECT_EQ(value, 2u);
}

TEST_P(ProfileStoreContract, SubKeysOpenExistAndDeleteRecursively) {
    {
        VProfileStore store(&Factory());
        VProfileKey deep(store.GetRootKey(), u"A\\B\\C");
        ASSERT_TRUE(deep.SetDword(u"v", 1));
        VProfileKey sibling(store.GetRootKey(), u"A\\D");
        ASSERT_TRUE(sibling.SetDword(u"v", 2));
        VProfileKey other(store.GetRootKey(), u"Other");
        ASSERT_TRUE(other.SetDword(u"v", 3));
    }
    VProfileStore store(&Factory());
    VProfileKey& root = store.GetRootKey();
    EXPECT_TRUE(root.SubKeyExists(u"A"));
    EXPECT_TRUE(root.SubKeyExists(u"A\\B\\C"));
    EXPECT_FALSE(root.SubKeyExists(u"Missing"));
    {
        VProfileKey missing(root, u"Missing\\Deeper");
        uint32_t v = 0;
        EXPECT_FALSE(missing.QueryDword(u"v", v));
    }
    EXPECT_EQ(root.SubKeyExists(u"Missing\\Deeper"), GetParam().openingCreatesKeys);
    {
        VProfileKey a(root, u"A");
        EXPECT_TRUE(a.SubKeyExists(u"B"));
        EXPECT_EQ(Names(a, false), (std::vector<std::u16string>{u"B", u"D"}));
    }
    EXPECT_TRUE(root.DeleteSubKey(u"A"));
    EXPECT_FALSE(root.SubKeyExists(u"A"));
    EXPECT_FALSE(root.SubKeyExists(u"A\\B\\C"));
    EXPECT_TRUE(root.SubKeyExists(u"Other"));
    EXPECT_TRUE(root.DeleteSubKey(u"A"));  // already gone: still done
}

TEST_P(ProfileStoreContract, IterationListsNamesCaseInsensitivelyAndEmptyKeysEndAtOnce) {
    VProfileStore store(&Factory());
    {
        VProfileKey empty(store.GetRootKey(), u"Empty");
        VProfileKeyIterator subKeys(empty, false), values(empty, true);
        VUnicodeString name;
        int kind = -5;
        EXPECT_FALSE(subKeys.Next(name));
        EXPECT_FALSE(values.NextValue(name, kind));
        EXPECT_EQ(kind, -5);
    }
    {
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetString(u"gamma", u"g"));
        ASSERT_TRUE(key.SetDword(u"Alpha", 1));
        ASSERT_TRUE(key.SetStringArray(u"beta", VStringArray{u"b"}));
        ASSERT_TRUE(key.SetBinary(u"Al", "x", 1));
        for (const char16_t* child : {u"K\\zeta", u"K\\Eta", u"K\\eta2"}) {
            VProfileKey sub(store.GetRootKey(), child);
            ASSERT_TRUE(sub.SetDword(u"v", 0));
        }
    }
    VProfileKey key(store.GetRootKey(), u"K");
    VProfileKeyIterator values(key, true);
    std::vector<std::pair<std::u16string, int>> seen;
    VUnicodeString name;
    int kind = 0;
    while (values.NextValue(name, kind)) seen.emplace_back(name.str(), kind);
    EXPECT_EQ(seen, (std::vector<std::pair<std::u16string, int>>{{u"Al", kValueKindBinary},
                                                                 {u"Alpha", kValueKindDword},
                                                                 {u"beta", kValueKindStringArray},
                                                                 {u"gamma", kValueKindString}}));
    EXPECT_EQ(Names(key, false), (std::vector<std::u16string>{u"Eta", u"eta2", u"zeta"}));
}

TEST_P(ProfileStoreContract, ReadOnlyStoreChangesOnlyTheHandle) {
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetDword(u"Kept", 1));
    }
    {
        VProfileStore store(true, &Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_FALSE(store.GetRootKey().IsWritable());
        const bool accepts = GetParam().readOnlyKeysAcceptChanges;
        EXPECT_EQ(key.SetDword(u"New", 2), accepts);
        EXPECT_EQ(key.DeleteValue(u"Kept"), accepts);
        uint32_t v = 0;
        EXPECT_EQ(key.QueryDword(u"New", v), accepts);
        if (accepts) {
            EXPECT_EQ(v, 2u);
        }
        EXPECT_EQ(key.QueryDword(u"Kept", v), !accepts);
        VProfileKey child(key, u"Child");
        EXPECT_FALSE(child.IsWritable());
        EXPECT_EQ(child.SetDword(u"v", 3), accepts);
        EXPECT_FALSE(key.DeleteSubKey(u"Child"));
    }
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    EXPECT_TRUE(key.IsWritable());
    uint32_t v = 0;
    EXPECT_FALSE(key.QueryDword(u"New", v));
    EXPECT_TRUE(key.QueryDword(u"Kept", v));
    EXPECT_FALSE(key.SubKeyExists(u"Child"));
}

namespace {
VProfileStoreFactory* g_hostFactories[2];
int g_getterCalls = 0;
VProfileStoreFactory* AlternatingGetter() {
    return g_hostFactories[g_getterCalls++ % 2];
}
}  // namespace

TEST_P(ProfileStoreContract, StoreWithoutFactoryAsksTheHostGetterEachTime) {
    std::unique_ptr<StoreBackend> second = GetParam().make();
    g_hostFactories[0] = &Factory();
    g_hostFactories[1] = &second->Factory();
    g_getterCalls = 0;
    const ProfileStoreFactoryGetter previous = GetProfileStoreFactoryGetter();
    SetProfileStoreFactoryGetter(AlternatingGetter);
    for (uint32_t i = 0; i < 2; ++i) {
        VProfileStore store;  // first backend, then the second
        EXPECT_TRUE(store.HasBackend());
        ASSERT_TRUE(store.GetRootKey().SetDword(u"Which", i));
    }
    SetProfileStoreFactoryGetter(previous);
    EXPECT_EQ(g_getterCalls, 2);

    uint32_t which = 9;
    VProfileStore first(true, &Factory());
    EXPECT_TRUE(first.GetRootKey().QueryDword(u"Which", which));
    EXPECT_EQ(which, 0u);
    VProfileStore other(true, &second->Factory());
    EXPECT_TRUE(other.GetRootKey().QueryDword(u"Which", which));
    EXPECT_EQ(which, 1u);
}
