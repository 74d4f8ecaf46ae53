// The INI backend's iterator over a key's values and sub-keys, the store and its factory.
#include "profile/ini_store.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unordered_set>

#include "profile/ini_store_private.h"

namespace sessiondeck {

// ---- Iterator -------------------------------------------------------------------

namespace {

// The order of names in both iterations: case-insensitive, then exact, so
// that names differing only in case still come in a fixed order.
bool NameBefore(const VUnicodeString& a, const VUnicodeString& b) {
    const int c = CompareNoCase(a.str(), b.str());
    return c != 0 ? c < 0 : a.str() < b.str();
}

// A name found on disk is listed only if opening it would find the same
// entry again: one component, valid, and surviving the UTF-8 round trip.
bool IsListableName(const std::string& onDisk, const VUnicodeString& name) {
    return name.str().find(u'\\') == std::u16string::npos &&
           VIniFileKey::IsValidSubKeyName(name.str()) && name.ToUtf8() == onDisk;
}

}  // namespace

VIniFileKey::Iterator::Iterator(VIniFileKey& key, bool values) : m_key(key), m_values(values) {
    if (values) {
        const Map& map = key.LoadedMap();
        for (size_t i = 0; i < map.GetSize(); ++i) {
            if (map.Exists(i)) m_names.Add(VUnicodeString(std::u16string(map.GetName(i))));
        }
        std::sort(m_names.begin(), m_names.end(), NameBefore);
    } else {
        // Links, FIFOs, devices and sockets are never listed: the store does
        // not follow or open them (`sessiondeck check` reports them).
        std::vector<platform::StoreEntry> entries;
        // A key without a folder (a session, kept in its value file alone)
        // has no sub-keys. Any other failure lists nothing, and the key's
        // report says why: through the store an unreadable folder would
        // otherwise look empty, and a listing or a copy would pass over it.
        const int error = key.m_folder->List(key.RelativePath(), entries);
        if (error != 0 && error != ENOENT && error != ENOTDIR) key.Fail(error);
        auto valueFiles = std::make_shared<std::unordered_set<std::string>>();
        valueFiles->reserve(entries.size());
        // Each listable name with whether it was seen as a value file.
        std::vector<std::pair<VUnicodeString, bool>> found;
        found.reserve(entries.size());
        for (const platform::StoreEntry& entry : entries) {
            // Only the extension the store opens: "F2.INI" (a copy from a system whose file
            // names ignore case) would be listed and then never read, a session that looks
            // like an empty folder. `sessiondeck check` names such files.
            const bool file =
                entry.kind == platform::EntryKind::kFile && entry.name.ends_with(".ini");
            if (!file && entry.kind != platform::EntryKind::kFolder) continue;
            std::string stem = file ? entry.name.substr(0, entry.name.size() - 4) : entry.name;
            VUnicodeString name = VUnicodeString::FromUtf8(stem);
            if (IsListableName(stem, name)) found.emplace_back(std::move(name), file);
            if (file) valueFiles->insert(std::move(stem));
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return NameBefore(a.first, b.first); });
        // A folder and a value file of one name are one key.
        for (auto& [name, file] : found) {
            if (!m_hasValues.empty() && m_names[m_names.GetSize() - 1] == name) {
                m_hasValues.back() = m_hasValues.back() || file;
                continue;
            }
            m_names.Add(std::move(name));
            m_hasValues.push_back(file);
        }
        m_valueFiles = std::move(valueFiles);
        key.m_listedValueFiles = m_valueFiles;
    }
}

std::optional<bool> VIniFileKey::Iterator::LastHasOwnValues() const {
    if (m_values || m_next == 0 || m_next > m_hasValues.size()) return std::nullopt;
    return m_hasValues[m_next - 1];
}

bool VIniFileKey::Iterator::Next(VUnicodeString& name) {
    if (m_next >= m_names.GetSize()) return false;
    name = m_names[m_next++];
    return true;
}

bool VIniFileKey::Iterator::NextValue(VUnicodeString& name, int& kind) {
    if (!m_values) {
        if (!Next(name)) return false;
        kind = kValueKindSubKey;
        return true;
    }
    // Values deleted since the iterator was made are passed over.
    while (m_next < m_names.GetSize()) {
        const VUnicodeString& candidate = m_names[m_next++];
        const Map& map = m_key.LoadedMap();
        const std::optional<size_t> index = map.Find(candidate.str());
        if (index && map.Exists(*index)) {
            name = candidate;
            kind = map.GetKind(*index);
            return true;
        }
    }
    return false;
}
// ---- Store and factory ------------------------------------------------------------

VIniFileStore::VIniFileStore(const VUnicodeString& folder) : m_folder(folder) {
    // "F/" would put the root's value file inside F as ".ini" instead of
    // beside it as "F.ini".
    std::u16string& text = m_folder.str();
    while (text.size() > 1 && text.back() == u'/') text.pop_back();
}

VProfilePrivateKey* VIniFileStore::OpenRootKey(bool readOnly) {
    // An empty folder would make the working directory the store.
    if (m_folder.IsEmpty()) return new VNullProfileKey;
    return new VIniFileKey(m_folder, readOnly, nullptr);
}

VProfilePrivateStore* VIniFileStoreFactory::CreateStore() {
    return new VIniFileStore(m_folder);
}

VIniParseResult VIniFileStoreFactory::ReadLoadResult(const VUnicodeString& keyPath) const {
    VIniFileStore store(m_folder);
    std::unique_ptr<VProfilePrivateKey> root(store.OpenRootKey(true));
    std::unique_ptr<VProfilePrivateKey> sub(
        keyPath.IsEmpty() ? nullptr : root->OpenSubKey(keyPath.c_str(), nullptr));
    auto* key = dynamic_cast<VIniFileKey*>(sub ? sub.get() : root.get());
    if (!key) return {};  // no folder, or a name that leaves the store: nothing is read
    key->Prefetch();
    return key->GetLoadResult();
}

}  // namespace sessiondeck
