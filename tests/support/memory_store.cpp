// The in-memory test store: key tree, typed queries and setters, iterators and the write log.
#include "support/memory_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/system_messages.h"

using namespace sessiondeck;

struct MemoryNode {
    VUnicodeString name;
    std::vector<std::pair<VUnicodeString, MemoryValue>> values;
    std::vector<std::unique_ptr<MemoryNode>> children;

    MemoryNode* Child(std::u16string_view childName) const {
        for (const auto& child : children)
            if (child->name.EqualsNoCase(childName)) return child.get();
        return nullptr;
    }
    MemoryValue* Value(std::u16string_view valueName) {
        for (auto& [name, value] : values)
            if (name.EqualsNoCase(valueName)) return &value;
        return nullptr;
    }
};

struct MemoryTree {
    MemoryNode root;
    std::vector<MemoryWrite> writes;
    int flushError = 0;  // what every Flush answers with; 0: success
    uint32_t failWritesWith = 0;
};

namespace {

using Path = std::vector<VUnicodeString>;

// Splits "a\b\c" into its components; nullopt when a component is one that
// would leave the store ("", ".", "..", or holding "/" or NUL).
std::optional<Path> SplitPath(std::u16string_view text) {
    Path path;
    for (size_t start = 0; !text.empty(); start = start + path.back().Length() + 1) {
        const size_t end = std::min(text.find(u'\\', start), text.size());
        const std::u16string_view part = text.substr(start, end - start);
        if (part.empty() || part == u"." || part == u".." ||
            part.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string_view::npos)
            return std::nullopt;
        path.emplace_back(part);
        if (end == text.size()) break;
    }
    return path;
}

Path Join(Path base, const Path& more, size_t drop = 0) {
    base.insert(base.end(), more.begin(), more.end() - static_cast<std::ptrdiff_t>(drop));
    return base;
}

// The node at `path`; with `create`, made (with its parents) when absent.
MemoryNode* FindNode(MemoryNode& root, const Path& path, bool create = false) {
    MemoryNode* node = &root;
    for (const auto& part : path) {
        MemoryNode* child = node->Child(part);
        if (!child && create) {
            child = node->children.emplace_back(std::make_unique<MemoryNode>()).get();
            child->name = part;
        }
        if (!(node = child)) return nullptr;
    }
    return node;
}

std::unique_ptr<MemoryNode> CopyNode(const MemoryNode& node) {
    auto copy = std::make_unique<MemoryNode>();
    copy->name = node.name;
    copy->values = node.values;
    for (const auto& child : node.children) copy->children.push_back(CopyNode(*child));
    return copy;
}

VReportMessageParams SystemErrorReport(uint32_t error) {
    VReportMessageParams report(error);
    report.AddInsert(VUnicodeString::FromUtf8(SystemErrorDescription(error).value_or("")).str());
    return report;
}

class MemoryIterator : public VProfilePrivateKeyIterator {
public:
    explicit MemoryIterator(std::vector<std::pair<VUnicodeString, int>> items)
        : m_items(std::move(items)) {}
    bool NextValue(VUnicodeString& name, int& kind) override {
        if (m_next >= m_items.size()) return false;
        std::tie(name, kind) = m_items[m_next++];
        return true;
    }
    bool Next(VUnicodeString& name) override {
        int kind = 0;
        return NextValue(name, kind);
    }

private:
    std::vector<std::pair<VUnicodeString, int>> m_items;
    size_t m_next = 0;
};

class MemoryKey : public VProfilePrivateKey {
public:
    MemoryKey(std::shared_ptr<MemoryTree> tree, Path path, bool readOnly)
        : m_tree(std::move(tree)),
          m_path(std::move(path)),
          m_readOnly(readOnly),
          m_existedAtOpen(FindNode(m_tree->root, m_path) != nullptr) {}

    // No test stores security descriptors here; the file backend's tests cover them.
    bool QuerySecurityDescriptor(const char16_t*, VSecurityDescriptor&) override { return false; }
    bool QueryStringArray(const char16_t* name, VStringArray& value) override {
        return Read(name, kValueKindStringArray, &MemoryValue::strings, value);
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
        return Read(name, kValueKindString, &MemoryValue::string, value);
    }
    bool QueryDword(const char16_t* name, uint32_t& value) override {
        return Read(name, kValueKindDword, &MemoryValue::dword, value);
    }

    bool SetSecurityDescriptor(const char16_t*, const VSecurityDescriptor&) override {
        return false;
    }
    bool SetStringArray(const char16_t* name, const VStringArray& value) override {
        return Write(name, kValueKindStringArray, &MemoryValue::strings, value);
    }
    bool SetBinary(const char16_t* name, const void* data, uint32_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        return Write(name, kValueKindBinary, &MemoryValue::binary,
                     std::vector<uint8_t>(bytes, bytes + (bytes ? size : 0)));
    }
    bool SetString(const char16_t* name, const char16_t* value) override {
        return Write(name, kValueKindString, &MemoryValue::string, VUnicodeString(value));
    }
    bool SetDword(const char16_t* name, uint32_t value) override {
        return Write(name, kValueKindDword, &MemoryValue::dword, value);
    }
    bool DeleteValue(const char16_t* name) override {
        bool pending = false;
        if (!m_readOnly && !MayWrite(pending)) return false;
        // A key still to be created holds no value.
        if (MemoryNode* node = pending ? nullptr : ValuesForWrite(false))
            std::erase_if(node->values,
                          [&](const auto& v) { return v.first.EqualsNoCase(Safe(name)); });
        return true;
    }
    bool DeleteSubKey(const char16_t* name) override {
        auto sub = SplitPath(Safe(name));
        if (m_readOnly) return Failed(SystemErrorReport(EACCES));
        bool pending = false;
        if (!MayWrite(pending)) return false;
        if (!sub || sub->empty() || pending) return true;
        if (MemoryNode* parent = FindNode(m_tree->root, Join(m_path, *sub, 1)))
            std::erase_if(parent->children,
                          [&](const auto& c) { return c->name.EqualsNoCase(sub->back()); });
        return true;
    }
    bool SubKeyExists(const char16_t* name) override {
        auto sub = SplitPath(Safe(name));
        return sub && !sub->empty() && FindNode(m_tree->root, Join(m_path, *sub));
    }
    bool IsWritable() override { return !m_readOnly; }
    bool IsHidden(bool) override { return false; }
    bool SetKeySecurity(const VSecurityDescriptor&) override { return false; }
    VReportMessageParams& GetReport() override { return m_report; }

    VProfilePrivateKey* OpenSubKey(const char16_t* name, const VSecurityDescriptor*) override {
        auto sub = SplitPath(Safe(name));
        if (!sub || sub->empty()) return new VNullProfileKey;
        return new MemoryKey(m_tree, Join(m_path, *sub), m_readOnly);
    }

    VProfilePrivateKeyIterator* CreateIterator(bool values) override {
        std::vector<std::pair<VUnicodeString, int>> items;
        if (const MemoryNode* node = values ? ValuesForRead() : FindNode(m_tree->root, m_path)) {
            if (values)
                for (const auto& [name, value] : node->values) items.emplace_back(name, value.kind);
            else
                for (const auto& child : node->children)
                    items.emplace_back(child->name, kValueKindSubKey);
        }
        return new MemoryIterator(std::move(items));
    }

    bool Flush() override {
        // An exclusive handle that wrote nothing creates its key now.
        if (m_mode == Mode::kCreateExclusive && !m_created && !m_flushedCreation) {
            m_flushedCreation = true;
            bool pending = false;
            if (MayWrite(pending) && pending) Create();
        }
        if (m_tree->flushError != 0) {
            m_report.SetMessage(static_cast<uint32_t>(m_tree->flushError));
            return false;
        }
        if (!m_writeFailure) return true;
        m_report = *m_writeFailure;
        m_writeFailure.reset();
        return false;
    }
    void SetCreateExclusive() override {
        if (m_readOnly || m_mode != Mode::kCreateOrUpdate) return;
        m_mode = Mode::kCreateExclusive;
        if (m_existedAtOpen) m_refusal = SystemErrorReport(EEXIST);
    }
    void SetUpdateOnly() override {
        if (!m_readOnly && m_mode == Mode::kCreateOrUpdate) m_mode = Mode::kUpdateOnly;
    }
    bool MoveSubKey(const char16_t* from, const char16_t* to) override {
        return CopyOrMove(from, to, true);
    }
    bool CopySubKey(const char16_t* from, const char16_t* to) override {
        return CopyOrMove(from, to, false);
    }

private:
    static std::u16string_view Safe(const char16_t* text) { return text ? text : u""; }

    // A read-only key keeps its changes in a private copy of its values.
    MemoryNode* ValuesForRead() {
        return m_shadow ? m_shadow.get() : FindNode(m_tree->root, m_path);
    }
    MemoryNode* ValuesForWrite(bool create) {
        if (!m_readOnly) return FindNode(m_tree->root, m_path, create);
        if (!m_shadow) {
            m_shadow = std::make_unique<MemoryNode>();
            if (const MemoryNode* node = FindNode(m_tree->root, m_path))
                m_shadow->values = node->values;
        }
        return m_shadow.get();
    }

    const MemoryValue* Get(const char16_t* name, int kind) {
        MemoryNode* node = ValuesForRead();
        const MemoryValue* v = node ? node->Value(Safe(name)) : nullptr;
        return v && v->kind == kind ? v : nullptr;
    }
    template <class T>
    bool Read(const char16_t* name, int kind, T MemoryValue::*field, T& out) {
        const MemoryValue* v = Get(name, kind);
        if (v) out = v->*field;
        return v != nullptr;
    }

    // Replaces any value of that name, whatever its kind, keeping its place; false when the write
    // is refused.
    template <class T>
    bool Write(const char16_t* name, int kind, T MemoryValue::*field, T value) {
        m_tree->writes.push_back(MemoryWrite{JoinPath(), VUnicodeString(Safe(name)), kind});
        bool pending = false;
        if (!m_readOnly && !MayWrite(pending)) return false;
        if (pending && !Create()) return false;
        MemoryNode* node = ValuesForWrite(true);
        MemoryValue* v = node->Value(Safe(name));
        if (!v) v = &node->values.emplace_back(VUnicodeString(Safe(name)), MemoryValue{}).second;
        *v = MemoryValue{};
        v->kind = kind;
        v->*field = std::move(value);
        return true;
    }

    VUnicodeString JoinPath() const {
        VUnicodeString joined;
        for (size_t i = 0; i < m_path.size(); ++i) (i ? joined += u'\\' : joined) += m_path[i];
        return joined;
    }

    bool Failed(const VReportMessageParams& report) {
        m_report = report;
        if (!m_writeFailure) m_writeFailure = report;
        return false;
    }

    // Whether a write of a writable handle may go ahead; `pending` when the
    // handle creates its key exclusively and has not yet done so.
    bool MayWrite(bool& pending) {
        pending = false;
        if (m_tree->failWritesWith) return Failed(SystemErrorReport(m_tree->failWritesWith));
        if (m_refusal) return Failed(*m_refusal);
        switch (m_mode) {
            case Mode::kCreateOrUpdate:
                return true;
            case Mode::kCreateExclusive:
                pending = !m_created;
                return true;
            case Mode::kUpdateOnly:
                return FindNode(m_tree->root, m_path) ? true : Failed(SystemErrorReport(ENOENT));
        }
        return true;
    }

    // The exclusive creation, at the first write: refused for good when the
    // key has come into being since the handle opened.
    bool Create() {
        if (FindNode(m_tree->root, m_path)) {
            m_refusal = SystemErrorReport(EEXIST);
            return Failed(*m_refusal);
        }
        FindNode(m_tree->root, m_path, true);
        m_created = true;
        return true;
    }

    bool CopyOrMove(const char16_t* fromText, const char16_t* toText, bool move) {
        if (m_readOnly) return Failed(SystemErrorReport(EACCES));
        bool pending = false;
        if (!MayWrite(pending)) return false;
        if (pending) return Failed(SystemErrorReport(ENOENT));
        auto from = SplitPath(Safe(fromText));
        auto to = SplitPath(Safe(toText));
        if (!from || !to || from->empty() || to->empty()) return Failed(SystemErrorReport(EINVAL));
        const Path fromPath = Join(m_path, *from), toParentPath = Join(m_path, *to, 1);
        const VUnicodeString& leaf = to->back();

        MemoryNode* source = FindNode(m_tree->root, fromPath);
        if (!source) return Failed(SystemErrorReport(ENOENT));
        if (to->size() > from->size() &&
            std::equal(from->begin(), from->end(), to->begin(),
                       [](const auto& a, const auto& b) { return a.EqualsNoCase(b.str()); }))
            return Failed(SystemErrorReport(EINVAL));
        MemoryNode* toParent = FindNode(m_tree->root, toParentPath);
        if (MemoryNode* existing = toParent ? toParent->Child(leaf.str()) : nullptr) {
            // Onto its own name in another case: a rename in place.
            if (!move || existing != source || existing->name == leaf)
                return Failed(SystemErrorReport(EEXIST));
            existing->name = leaf;
            return true;
        }
        toParent = FindNode(m_tree->root, toParentPath, true);
        std::unique_ptr<MemoryNode> placed;
        if (move) {
            auto& siblings =
                FindNode(m_tree->root, Path(fromPath.begin(), fromPath.end() - 1))->children;
            auto at = std::find_if(siblings.begin(), siblings.end(),
                                   [&](const auto& child) { return child.get() == source; });
            placed = std::move(*at);
            siblings.erase(at);
        } else {
            placed = CopyNode(*source);
        }
        placed->name = leaf;
        toParent->children.push_back(std::move(placed));
        return true;
    }

    enum class Mode { kCreateOrUpdate, kCreateExclusive, kUpdateOnly };

    std::shared_ptr<MemoryTree> m_tree;
    Path m_path;
    bool m_readOnly;
    bool m_existedAtOpen;
    Mode m_mode = Mode::kCreateOrUpdate;
    bool m_created = false;
    bool m_flushedCreation = false;
    std::optional<VReportMessageParams> m_refusal;
    std::optional<VReportMessageParams> m_writeFailure;
    std::unique_ptr<MemoryNode> m_shadow;
    VReportMessageParams m_report;
};

class MemoryStore : public VProfilePrivateStore {
public:
    explicit MemoryStore(std::shared_ptr<MemoryTree> tree) : m_tree(std::move(tree)) {}
    VProfilePrivateKey* OpenRootKey(bool readOnly) override {
        return new MemoryKey(m_tree, {}, readOnly);
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
    auto path = SplitPath(keyPath);
    MemoryNode* node = path ? FindNode(m_tree->root, *path) : nullptr;
    return node ? node->Value(name) : nullptr;
}

bool MemoryStoreFactory::KeyExists(std::u16string_view keyPath) const {
    auto path = SplitPath(keyPath);
    return path && FindNode(m_tree->root, *path);
}

std::vector<VUnicodeString> MemoryStoreFactory::ValueNames(std::u16string_view keyPath) const {
    std::vector<VUnicodeString> names;
    auto path = SplitPath(keyPath);
    if (const MemoryNode* node = path ? FindNode(m_tree->root, *path) : nullptr)
        for (const auto& entry : node->values) names.push_back(entry.first);
    return names;
}

const std::vector<MemoryWrite>& MemoryStoreFactory::Writes() const {
    return m_tree->writes;
}

std::vector<VUnicodeString> MemoryStoreFactory::WrittenNames() const {
    std::vector<VUnicodeString> names;
    for (const auto& write : m_tree->writes) names.push_back(write.name);
    return names;
}

int MemoryStoreFactory::WriteCount(std::u16string_view name) const {
    return static_cast<int>(
        std::count_if(m_tree->writes.begin(), m_tree->writes.end(),
                      [&](const auto& w) { return w.name.EqualsNoCase(name); }));
}

void MemoryStoreFactory::FailFlushes(int error) {
    m_tree->flushError = error;
}

void MemoryStoreFactory::ClearWrites() {
    m_tree->writes.clear();
}

void MemoryStoreFactory::FailWrites(uint32_t error) {
    m_tree->failWritesWith = error;
}
