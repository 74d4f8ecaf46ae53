// An in-memory configuration store for tests: a tree of keys with strictly typed values and a log
// of every write.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "profile/profile_store.h"

using namespace sessiondeck;

// One stored value; only the field of its kind is meaningful.
struct MemoryValue {
    int kind = kValueKindDword;
    uint32_t dword = 0;
    VUnicodeString string;
    std::vector<uint8_t> binary;
    VStringArray strings;
};

// One setter call as a key received it (a read-only key's writes included, though they stay in
// its handle): the key's path ("" for the root, components joined with "\"), the value name and
// the kind written.
struct MemoryWrite {
    VUnicodeString keyPath;
    VUnicodeString name;
    int kind = kValueKindDword;
};

struct MemoryTree;

// The factory owns the tree; stores and keys made from it share it, so a key
// may outlive the factory without dangling. Keys act on the tree at once,
// like the registry backend, but opening a key creates nothing: its first
// write does, as in the INI backend. Names of keys and values compare without
// regard to case and keep the case they were first written with; values keep
// the order in which they were first written, and iteration lists them in
// that order (the real backends sort them). Write failures are reported
// as system errors (errno) with the system's text; a read-only handle's
// DeleteSubKey, MoveSubKey and CopySubKey are refused with EACCES.
class MemoryStoreFactory : public VProfileStoreFactory {
public:
    MemoryStoreFactory();
    ~MemoryStoreFactory() override;
    MemoryStoreFactory(const MemoryStoreFactory&) = delete;
    MemoryStoreFactory& operator=(const MemoryStoreFactory&) = delete;

    VProfilePrivateStore* CreateStore() override;

    // Inspection: null when the key or the value is absent; value names in stored order.
    const MemoryValue* Find(std::u16string_view keyPath, std::u16string_view name) const;
    bool KeyExists(std::u16string_view keyPath) const;
    std::vector<VUnicodeString> ValueNames(std::u16string_view keyPath) const;

    // Every setter call since construction or the last ClearWrites, in order; just their value
    // names; how often a value of that name (any key, any case) was written.
    const std::vector<MemoryWrite>& Writes() const;
    std::vector<VUnicodeString> WrittenNames() const;
    int WriteCount(std::u16string_view name) const;
    void ClearWrites();
    // From now on every key's Flush fails with this errno, as a full disk would make the folder
    // backend's fail; every write through any key fails with the system error `error` (ENOSPC,
    // EIO...) and changes nothing. 0 ends either.
    void FailFlushes(int error);
    void FailWrites(uint32_t error);

private:
    std::shared_ptr<MemoryTree> m_tree;
};
