// The in-memory test store keeps the store contract that the settings tests rely on.
#include <gtest/gtest.h>

#include "support/memory_store.h"

TEST(MemoryStore, KeepsTheStoreContract) {
    MemoryStoreFactory factory;
    {
        VProfileStore store(&factory);
        VProfileKey key(store.GetRootKey(), u"A\\B");
        EXPECT_FALSE(store.GetRootKey().SubKeyExists(u"A"));  // opening creates nothing
        const uint8_t bytes[] = {1, 2, 3};
        key.SetBinary(u"Bin", bytes, 3);
        key.SetString(u"Text", u"x");
        EXPECT_TRUE(store.GetRootKey().SubKeyExists(u"a\\b"));

        uint32_t size = 0;
        EXPECT_TRUE(key.QueryBinary(u"BIN", nullptr, size));
        EXPECT_EQ(size, 3u);
        uint8_t small[2] = {9, 9};
        size = 2;
        EXPECT_FALSE(key.QueryBinary(u"Bin", small, size));
        EXPECT_EQ(small[0], 9);
        uint32_t dword = 7;
        EXPECT_FALSE(key.QueryDword(u"Text", dword));  // strictly typed
        EXPECT_EQ(dword, 7u);
        key.SetDword(u"Text", 5);  // replaces in place, whatever the kind
        EXPECT_TRUE(key.QueryDword(u"Text", dword));

        VProfileKeyIterator values(key, true);
        VUnicodeString name;
        int kind = -1;
        ASSERT_TRUE(values.NextValue(name, kind));
        EXPECT_EQ(name.ToUtf8(), "Bin");
        EXPECT_EQ(kind, kValueKindBinary);
        ASSERT_TRUE(values.NextValue(name, kind));
        EXPECT_EQ(kind, kValueKindDword);
        EXPECT_FALSE(values.Next(name));
    }
    {
        // A read-only handle sees its own writes; the store never does.
        VProfileStore store(true, &factory);
        VProfileKey key(store.GetRootKey(), u"A\\B");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_TRUE(key.SetString(u"New", u"y"));
        VUnicodeString text;
        EXPECT_TRUE(key.QueryString(u"New", text));
        EXPECT_EQ(factory.Find(u"A\\B", u"New"), nullptr);
        EXPECT_FALSE(factory.Writes().back().persisted);
    }
    VProfileStore store(&factory);
    EXPECT_TRUE(store.GetRootKey().DeleteSubKey(u"A"));
    EXPECT_FALSE(factory.KeyExists(u"A\\B"));
    EXPECT_EQ(factory.WriteCount(u"text"), 2);
}
