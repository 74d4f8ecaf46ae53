// Folder synchronisation profiles: reading and writing tasks under their indexed value names.
#include "data/synchronize_profile.h"

#include <string>
#include <vector>

#include "foundation/message_format.h"

namespace sessiondeck {

namespace {

// The value names, each written once: Exchange below walks them for loading
// and for saving alike.
constexpr char16_t kTaskPrefix[] = u"Task[%1!d!]";
constexpr char16_t kSourcePrefix[] = u"%1.Source[%2!d!]";
constexpr char16_t kTargetPrefix[] = u"%1.Target[%2!d!]";
constexpr char16_t kNameSuffix[] = u".Name";
constexpr char16_t kTypeSuffix[] = u".Type";
constexpr char16_t kMasterOverwritesSuffix[] = u".MasterOverwrites";
constexpr char16_t kSessionSuffix[] = u".Session";
constexpr char16_t kPathSuffix[] = u".Path";
constexpr char16_t kRecurseSuffix[] = u".Recurse";
// Every value the profile owns starts with this.
constexpr char16_t kOwnedValuePrefix[] = u"Task[";

std::u16string TaskPrefix(size_t task) {
    return FormatMessageText(kTaskPrefix, task);
}
std::u16string SourcePrefix(const std::u16string& task, size_t source) {
    return FormatMessageText(kSourcePrefix, task, source);
}
std::u16string TargetPrefix(const std::u16string& task, size_t target) {
    return FormatMessageText(kTargetPrefix, task, target);
}

// Reads values. String answers whether the value was there, and leaves the
// field empty when it was not; a missing number reads as 0.
class Reader {
public:
    static constexpr bool kLoading = true;
    explicit Reader(VProfileKey& key) : m_key(key) {}

    bool String(const std::u16string& name, VUnicodeString& value) {
        if (m_key.QueryString(name.c_str(), value)) return true;
        value.Empty();
        return false;
    }
    void Number(const std::u16string& name, int& value) {
        uint32_t stored = 0;
        value = m_key.QueryDword(name.c_str(), stored) ? static_cast<int>(stored) : 0;
    }

private:
    VProfileKey& m_key;
};

// Writes values and remembers their names, so that the rest can be removed.
class Writer {
public:
    static constexpr bool kLoading = false;
    explicit Writer(VProfileKey& key) : m_key(key) {}

    bool String(const std::u16string& name, VUnicodeString& value) {
        m_key.SetString(name.c_str(), value.c_str());
        m_written.emplace_back(name);
        return true;
    }
    void Number(const std::u16string& name, int& value) {
        m_key.SetDword(name.c_str(), static_cast<uint32_t>(value));
        m_written.emplace_back(name);
    }
    bool Wrote(const VUnicodeString& name) const {
        for (const VUnicodeString& written : m_written) {
            if (written.EqualsNoCase(name)) return true;
        }
        return false;
    }

private:
    VProfileKey& m_key;
    std::vector<VUnicodeString> m_written;
};

// The first field of each entry says whether the entry exists.
template <class Io>
bool Exchange(Io& io, const std::u16string& prefix, SynchronizeSource& source) {
    if (!io.String(prefix + kSessionSuffix, source.session)) return false;
    io.String(prefix + kPathSuffix, source.path);
    io.Number(prefix + kRecurseSuffix, source.recurse);
    return true;
}

template <class Io>
bool Exchange(Io& io, const std::u16string& prefix, SynchronizeTarget& target) {
    if (!io.String(prefix + kSessionSuffix, target.session)) return false;
    io.String(prefix + kPathSuffix, target.path);
    return true;
}

// Loading appends entries until the first missing one; saving writes the
// list as it stands.
template <class Io, class T, class MakePrefix>
void ExchangeList(Io& io, const std::u16string& taskPrefix, VArray<T>& list,
                  MakePrefix makePrefix) {
    if constexpr (Io::kLoading) {
        list.RemoveAll();
        for (size_t j = 0;; ++j) {
            T entry;
            if (!Exchange(io, makePrefix(taskPrefix, j), entry)) break;
            list.Add(std::move(entry));
        }
    } else {
        for (size_t j = 0; j < list.GetSize(); ++j)
            Exchange(io, makePrefix(taskPrefix, j), list[j]);
    }
}

template <class Io>
bool Exchange(Io& io, const std::u16string& prefix, SynchronizeTask& task) {
    if (!io.String(prefix + kNameSuffix, task.name)) return false;
    io.Number(prefix + kTypeSuffix, task.type);
    io.Number(prefix + kMasterOverwritesSuffix, task.masterOverwrites);
    ExchangeList(io, prefix, task.sources, SourcePrefix);
    ExchangeList(io, prefix, task.targets, TargetPrefix);
    return true;
}

}  // namespace

SynchronizeProfile::~SynchronizeProfile() = default;

std::optional<std::u16string> SynchronizeProfile::Text() const {
    std::u16string text;
    for (size_t i = 0; i < m_tasks.GetSize(); ++i) {
        if (i) text += u';';
        text += m_tasks[i].name.str();
    }
    return text;
}

void SynchronizeProfile::Init(VProfileKey* key, const VUnicodeString& name) {
    SetName(name);
    m_tasks.RemoveAll();
    if (key) {
        VProfileKey profileKey(*key, GetName());
        Reader reader(profileKey);
        for (size_t i = 0;; ++i) {
            SynchronizeTask task;
            if (!Exchange(reader, TaskPrefix(i), task)) break;
            m_tasks.Add(std::move(task));
        }
    }
    m_checkpoint = m_tasks;
    m_unsaved = false;
}

void SynchronizeProfile::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if (!force && !m_unsaved && !differs) return;
    if (!key) return;
    TraceSave(force, differs);
    VProfileKey profileKey(*key, GetName());
    Writer writer(profileKey);
    for (size_t i = 0; i < m_tasks.GetSize(); ++i) Exchange(writer, TaskPrefix(i), m_tasks[i]);

    // Collected before deleting: some backends enumerate by index.
    std::vector<VUnicodeString> stale;
    {
        VProfileKeyIterator values(profileKey, true);
        VUnicodeString valueName;
        int kind = 0;
        while (values.NextValue(valueName, kind)) {
            const bool owned = valueName.Length() >= std::size(kOwnedValuePrefix) - 1 &&
                               EqualsNoCase(std::u16string_view(valueName).substr(
                                                0, std::size(kOwnedValuePrefix) - 1),
                                            kOwnedValuePrefix);
            if (owned && !writer.Wrote(valueName)) stale.push_back(valueName);
        }
    }
    for (const VUnicodeString& valueName : stale) profileKey.DeleteValue(valueName.c_str());

    m_checkpoint = m_tasks;
    m_unsaved = false;
}

void SynchronizeProfile::Checkpoint() {
    if (IsModified()) m_unsaved = true;
    m_checkpoint = m_tasks;
}

}  // namespace sessiondeck
