// An in-memory configuration store for the settings tests: strictly typed values and a log of
// every write.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "profile/profile_store.h"

// One stored value; only the field of its kind is meaningful.
struct MemoryValue {
    int kind = kValueKindDword;
    uint32_t dword = 0;
    VUnicodeString string;
    std::vector<uint8_t> binary;
    VStringArray strings;
};

struct MemoryTree;

// Writable stores only: a read-only store yields keys that hold and accept
// nothing. Keys act on the shared tree at once, so a key may outlive the
// factory. Key paths are exact; value names compare without regard to case
// and keep the order in which they were first written. Iteration, deletion
// and security descriptors are not modelled (the settings never use them).
class MemoryStoreFactory : public VProfileStoreFactory {
public:
    MemoryStoreFactory();
    ~MemoryStoreFactory() override;
    VProfilePrivateStore* CreateStore() override;

    // Null when the key or the value is absent; keyPath joins components with "\".
    const MemoryValue* Find(std::u16string_view keyPath, std::u16string_view name) const;
    std::vector<VUnicodeString> ValueNames(std::u16string_view keyPath) const;

    // Value names of every setter call since the last ClearWrites, in order.
    std::vector<VUnicodeString> WrittenNames() const;
    int WriteCount(std::u16string_view name) const;  // any key, any case
    void ClearWrites();

private:
    std::shared_ptr<MemoryTree> m_tree;
};
