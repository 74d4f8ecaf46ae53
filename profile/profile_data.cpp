// The setting base class, the storage policies for strings, DWORDs and string arrays, and the save
// trace.
#include "profile/profile_data.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace sessiondeck {

namespace {

std::mutex g_traceMutex;
std::shared_ptr<const ProfileTraceSink> g_traceSink;

std::shared_ptr<const ProfileTraceSink> CurrentTraceSink() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    return g_traceSink;
}

void AppendNumber(std::u16string& text, int value) {
    for (char c : std::to_string(value)) text += static_cast<char16_t>(c);
}

}  // namespace

void SetProfileTraceSink(ProfileTraceSink sink) {
    auto shared = sink ? std::make_shared<const ProfileTraceSink>(std::move(sink)) : nullptr;
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_traceSink = std::move(shared);
}

const VUnicodeString& VProfileInternName(std::u16string_view name) {
    // The same few literals come back for every session loaded: a small
    // cache per thread, keyed by where the text is and checked by content
    // (an unloaded module's address may come back with other text), spares
    // the lock and the hash.
    struct Slot {
        const char16_t* text = nullptr;
        const VUnicodeString* name = nullptr;
    };
    // The whole address is mixed: modules built from the same sources keep
    // their literals at the same offsets, so low bits alone would collide.
    thread_local std::array<Slot, 256> cache{};
    Slot& slot = cache[(reinterpret_cast<uintptr_t>(name.data()) * 0x9E3779B97F4A7C15ull) >> 56];
    if (slot.text == name.data() && slot.name->Length() == name.size() &&
        std::memcmp(slot.name->c_str(), name.data(), name.size() * sizeof(char16_t)) == 0)
        return *slot.name;

    // Never freed: settings anywhere may point at these strings until the
    // very end, past the destruction of statics and the unloading of the
    // protocol module whose record table named them.
    static auto* mutex = new std::mutex;
    static auto* names = new std::unordered_map<std::u16string, VUnicodeString>;
    std::lock_guard<std::mutex> lock(*mutex);
    const VUnicodeString& interned =
        names->try_emplace(std::u16string(name), VUnicodeString(std::u16string(name)))
            .first->second;
    slot = Slot{name.data(), &interned};
    return interned;
}

// ---- VProfileData ----------------------------------------------------------

VProfileData::~VProfileData() = default;

bool VProfileData::Parse(const VString&, IParser*, IReportMessageParams*) {
    return false;
}
void VProfileData::Save(VProfileKey*, bool) {}
bool VProfileData::IsModified() const {
    return false;
}
void VProfileData::Checkpoint() {}
void VProfileData::Rollback() {}
void VProfileData::ApplyDelta(const VProfileData*) {}
void VProfileData::ClearUnsaved() {
    m_unsaved = false;
}
VProfileData* VProfileData::Lookup(int) const {
    return const_cast<VProfileData*>(this);
}
VSettingDescription VProfileData::Describe(int) const {
    return {};
}
VProfileData* VProfileData::CurrentRecord() const {
    return nullptr;
}
void VProfileData::PreSave(VProfileKey*, bool) {}
bool VProfileData::IsUnsaved() const {
    return m_unsaved;
}
SettingKind VProfileData::Kind() const {
    return SettingKind::kNone;
}
std::optional<std::u16string> VProfileData::Text() const {
    return std::nullopt;
}
bool VProfileData::SetText(std::u16string_view) {
    return false;
}
bool VProfileData::HasSecret() const {
    return false;
}
bool VProfileData::IsReadOnly() const {
    return false;
}

// ---- Text forms of strings and string lists ---------------------------------

std::u16string VProfileTextForm<VUnicodeString>::Format(const VUnicodeString& value) {
    return value.str();
}

bool VProfileTextForm<VUnicodeString>::Parse(std::u16string_view text, VUnicodeString& value) {
    if (textform::HoldsLineBreak(text)) return false;
    value = VUnicodeString(text);
    return true;
}

std::u16string VProfileTextForm<VStringArray>::Format(const VStringArray& value) {
    std::u16string text;
    for (size_t i = 0; i < value.GetSize(); ++i) {
        if (i) text += u';';
        text += value[i].str();
    }
    return text;
}

bool VProfileTextForm<VStringArray>::Parse(std::u16string_view text, VStringArray& value) {
    if (textform::HoldsLineBreak(text)) return false;
    VStringArray items;
    if (!text.empty()) {
        for (auto item : textform::Split(text, u';')) items.Add(VUnicodeString(item));
    }
    value = std::move(items);
    return true;
}

void VProfileData::TraceSave(bool force, bool differs) const {
    const auto sink = CurrentTraceSink();
    if (!sink) return;
    // The message "Save: %1!d! %2!d! %3!d! %4\n": three numbers and the name.
    std::u16string text = u"Save: ";
    AppendNumber(text, force);
    text += u' ';
    AppendNumber(text, m_unsaved);
    text += u' ';
    AppendNumber(text, differs);
    text += u' ';
    text += GetName().str();
    text += u'\n';
    (*sink)(text);
}

// ---- VProfileSz ------------------------------------------------------------

bool VProfileSz::Load(VProfileKey* key, const VUnicodeString& name, VUnicodeString& value) {
    VUnicodeString loaded;
    if (!key || !key->QueryString(name, loaded)) return false;
    value = std::move(loaded);
    return true;
}

void VProfileSz::Store(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& value) {
    if (!key) return;
    key->SetString(name.c_str(), value.c_str());
    m_unsaved = false;
}

bool VProfileSz::ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                            VUnicodeString& value) {
    VUnicodeString parsed;
    if (parser->ParseString(text, parsed, &report)) {
        value = std::move(parsed);
        return true;
    }
    if (report.GetMessageId() != kParseTakeTextAsIs) return false;
    value = VUnicodeString::FromAnsi(text);
    report.SetMessage(0);
    return true;
}

// ---- VProfileDword ---------------------------------------------------------

bool VProfileDword::Load(VProfileKey* key, const VUnicodeString& name, uint32_t& value) {
    uint32_t loaded = 0;
    if (!key || !key->QueryDword(name, loaded)) return false;
    value = loaded;
    return true;
}

void VProfileDword::Store(VProfileKey* key, const VUnicodeString& name, uint32_t value) {
    if (!key) return;
    key->SetDword(name.c_str(), value);
    m_unsaved = false;
}

bool VProfileDword::ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                               uint32_t& value) {
    return parser->ParseInteger(text, value, &report);
}

// ---- VProfileMultiSz -------------------------------------------------------

bool VProfileMultiSz::Load(VProfileKey* key, const VUnicodeString& name, VStringArray& value) {
    VStringArray loaded;
    if (!key || !key->QueryStringArray(name.c_str(), loaded)) return false;
    value = std::move(loaded);
    return true;
}

void VProfileMultiSz::Store(VProfileKey* key, const VUnicodeString& name,
                            const VStringArray& value) {
    if (!key) return;
    key->SetStringArray(name.c_str(), value);
    m_unsaved = false;
}

bool VProfileMultiSz::ParseValue(const VString& text, IParser* parser, IReportMessageParams& report,
                                 VStringArray& value) {
    return parser->ParseList(text, value, !m_skipEmptyItems, &report);
}

}  // namespace sessiondeck
