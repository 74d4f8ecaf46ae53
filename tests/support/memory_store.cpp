// The in-memory test store: typed queries and setters over a map of keys, and the write log.
#include "support/memory_store.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

using MemoryValues = std::vector<std::pair<VUnicodeString, MemoryValue>>;

struct MemoryTree {
    std::map<std::u16string, MemoryValues, std::less<>> keys;  // by full path
    std::vector<VUnicodeString> writes;
};

namespace {

MemoryValue* FindValue(MemoryValues& values, std::u16string_view name) {
    for (auto& [valueName, value] : values) {
        if (valueName.EqualsNoCase(name)) return &value;
    }
    return nullptr;
}

class MemoryKey : public VNullProfileKey {
public:
    MemoryKey(std::shared_ptr<MemoryTree> tree, std::u16string path)
        : m_tree(std::move(tree)), m_path(std::move(path)) {}

    bool QueryStringArray(const char16_t* name, VStringArray& value) override {
        const MemoryValue* v = Get(name, kValueKindStringArray);
        if (v) value = v->strings;
        return v;
    }
    bool QueryBinary(const char16_t* name, void* buffer, uint32_t& size) override {
        const MemoryValue* v = Get(name, kValueKindBinary);
        if (!v) return false;
        const auto stored = static_cast<uint32_t>(v->binary.size());
        if (buffer && size < stored) return false;
        if (buffer && stored) std::memcpy(buffer, v->binary.data(), stored);
        size = stored;
        return true;
    }
    bool QueryString(const char16_t* name, VUnicodeString& value) override {
        const MemoryValue* v = Get(name, kValueKindString);
        if (v) value = v->string;
        return v;
    }
    bool QueryDword(const char16_t* name, uint32_t& value) override {
        const MemoryValue* v = Get(name, kValueKindDword);
        if (v) value = v->dword;
        return v;
    }
    bool SetStringArray(const char16_t* name, const VStringArray& value) override {
        Put(name, kValueKindStringArray).strings = value;
        return true;
    }
    bool SetBinary(const char16_t* name, const void* data, uint32_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        Put(name, kValueKindBinary).binary.assign(bytes, bytes + (bytes ? size : 0));
        return true;
    }
    bool SetString(const char16_t* name, const char16_t* value) override {
        Put(name, kValueKindString).string = VUnicodeString(value);
        return true;
    }
    bool SetDword(const char16_t* name, uint32_t value) override {
        Put(name, kValueKindDword).dword = value;
        return true;
    }
    bool IsWritable() override { return true; }
    VProfilePrivateKey* OpenSubKey(const char16_t* name, const VSecurityDescriptor*) override {
        if (!name || !*name) return new VNullProfileKey;
        return new MemoryKey(m_tree, m_path.empty() ? name : m_path + u"\\" + name);
    }

private:
    // Strictly typed: a value of another kind is no value.
    const MemoryValue* Get(const char16_t* name, int kind) {
        auto key = m_tree->keys.find(m_path);
        const MemoryValue* v = key == m_tree->keys.end() ? nullptr : FindValue(key->second, name);
        return v && v->kind == kind ? v : nullptr;
    }
    // Replaces any value of that name, whatever its kind, keeping its place.
    MemoryValue& Put(const char16_t* name, int kind) {
        m_tree->writes.emplace_back(name);
        MemoryValues& values = m_tree->keys[m_path];
        MemoryValue* v = FindValue(values, name);
        if (!v) v = &values.emplace_back(VUnicodeString(name), MemoryValue{}).second;
        *v = MemoryValue{};
        v->kind = kind;
        return *v;
    }

    std::shared_ptr<MemoryTree> m_tree;
    std::u16string m_path;
};

class MemoryStore : public VProfilePrivateStore {
public:
    explicit MemoryStore(std::shared_ptr<MemoryTree> tree) : m_tree(std::move(tree)) {}
    VProfilePrivateKey* OpenRootKey(bool readOnly) override {
        if (readOnly) return new VNullProfileKey;
        return new MemoryKey(m_tree, u"");
    }

private:
    std::shared_ptr<MemoryTree> m_tree;
};

}  // namespace

MemoryStoreFactory::MemoryStoreFactory() : m_tree(std::make_shared<MemoryTree>()) {}
MemoryStoreFactory::~MemoryStoreFactory() = default;

VProfilePrivateStore* MemoryStoreFactory::CreateStore() {
    return new MemoryStore(m_tree);
}

const MemoryValue* MemoryStoreFactory::Find(std::u16string_view keyPath,
                                            std::u16string_view name) const {
    auto key = m_tree->keys.find(keyPath);
    return key == m_tree->keys.end() ? nullptr : FindValue(key->second, name);
}

std::vector<VUnicodeString> MemoryStoreFactory::ValueNames(std::u16string_view keyPath) const {
    std::vector<VUnicodeString> names;
    auto key = m_tree->keys.find(keyPath);
    if (key != m_tree->keys.end()) {
        for (const auto& entry : key->second) names.push_back(entry.first);
    }
    return names;
}

std::vector<VUnicodeString> MemoryStoreFactory::WrittenNames() const {
    return m_tree->writes;
}

int MemoryStoreFactory::WriteCount(std::u16string_view name) const {
    return static_cast<int>(std::count_if(m_tree->writes.begin(), m_tree->writes.end(),
                                          [&](const auto& w) { return w.EqualsNoCase(name); }));
}

void MemoryStoreFactory::ClearWrites() {
    m_tree->writes.clear();
}
