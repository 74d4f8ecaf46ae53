// The in-memory test store keeps the store contract, so that tests of the layers above learn
// what the real backends would do; and its injected write failures reach Flush.
#include <cerrno>

#include "store_contract.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

class MemoryBackend : public StoreBackend {
public:
    VProfileStoreFactory& Factory() override { return m_factory; }

private:
    MemoryStoreFactory m_factory;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Memory, ProfileStoreContract,
                         testing::Values(StoreBackendParam{
                             .name = "Memory",
                             .make =
                                 [] { return std::unique_ptr<StoreBackend>(new MemoryBackend); },
                             .caseSensitiveNames = false,
                             .sortedNames = false}),
                         StoreBackendName);

TEST(MemoryStore, InjectedWriteFailuresChangeNothingAndReachFlush) {
    MemoryStoreFactory factory;
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), u"K");
    ASSERT_TRUE(key.SetDword(u"Kept", 1));
    factory.FailWrites(ENOSPC);
    EXPECT_FALSE(key.SetDword(u"Kept", 2));
    EXPECT_FALSE(key.SetString(u"New", u"x"));
    EXPECT_FALSE(store.GetRootKey().CopySubKey(u"K", u"L"));
    EXPECT_FALSE(key.Flush());
    EXPECT_EQ(key.GetReport().GetMessageId(), static_cast<uint32_t>(ENOSPC));
    EXPECT_TRUE(key.Flush());
    factory.FailWrites(0);
    EXPECT_EQ(factory.Find(u"K", u"Kept")->dword, 1u);
    EXPECT_EQ(factory.Find(u"K", u"New"), nullptr);
    EXPECT_FALSE(factory.KeyExists(u"L"));
    EXPECT_TRUE(key.SetDword(u"Kept", 3));
    EXPECT_TRUE(key.Flush());
}
