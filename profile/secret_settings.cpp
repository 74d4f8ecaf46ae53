// Secret settings: the plain value is tracked, the encoded text is what the store holds.
#include "profile/secret_settings.h"

#include <optional>

namespace sessiondeck {

namespace {

// The stored text under `name`, or null when there is none.
std::optional<VUnicodeString> QueryText(VProfileKey* key, const VUnicodeString& name) {
    VUnicodeString text;
    if (!key || !key->QueryString(name, text)) return std::nullopt;
    return text;
}

}  // namespace

// Each Save below follows VProfile2::Save with the encoded text in place of
// the value. The checkpoint is taken before the store call: Store clears the
// unsaved flag that Checkpoint may set for a changed value.

// ---- VProfileEncodedString ---------------------------------------------------

bool VProfileEncodedString::LoadBinaryData(VProfileKey* key) {
    const auto text = QueryText(key, GetName());
    if (!text) return false;
    auto value = DecodeScrambledString(*text);
    if (!value) return false;
    Value() = std::move(*value);
    return true;
}

void VProfileEncodedString::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if (!force && !m_unsaved && !differs) return;
    if (!key) return;
    TraceSave(force, differs);
    const VUnicodeString text = EncodeScrambledString(Get());
    Base::Checkpoint();
    Store(key, GetName(), text);
}

// ---- VProfileBlowfishString --------------------------------------------------

VProfileBlowfishString::VProfileBlowfishString(const VUnicodeString& name, int kind)
    : m_kind(kind) {
    SetName(name);
    KeepCipher();
}

void VProfileBlowfishString::KeepCipher() {
    Value().SetCipherKind(m_kind);
    if (m_random) Value().SetRandomSource(m_random);
}

void VProfileBlowfishString::SetRandomSource(VUnknownPointer<IRandomSource> random) {
    m_random = std::move(random);
    Value().SetRandomSource(m_random);
}

bool VProfileBlowfishString::Init(VProfileKey* key) {
    KeepCipher();
    return Base::Init(key);
}

bool VProfileBlowfishString::Init(VProfileKey* key, const VUnicodeString& defaultValue) {
    const bool result = Base::Init(key, VBlowfishString(defaultValue, m_kind));
    KeepCipher();
    return result;
}

bool VProfileBlowfishString::Init(VProfileKey* key, const VUnicodeString& name,
                                  const VUnicodeString& defaultValue) {
    SetName(name);
    return Init(key, defaultValue);
}

bool VProfileBlowfishString::LoadBinaryData(VProfileKey* key) {
    const auto text = QueryText(key, GetName());
    if (!text) return false;
    VBlowfishString decoded(u"", m_kind);
    if (!decoded.Decode(*text)) return false;
    Value() = std::u16string_view(decoded.str());
    return true;
}

void VProfileBlowfishString::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if (!force && !m_unsaved && !differs) return;
    if (!key) return;
    TraceSave(force, differs);
    KeepCipher();
    const auto text = Get().Encode();
    // Without random bytes there is nothing safe to write; the value stays
    // unsaved for the next attempt.
    if (!text) return;
    Base::Checkpoint();
    Store(key, GetName(), *text);
}

void VProfileBlowfishString::Rollback() {
    Base::Rollback();
    KeepCipher();
}

void VProfileBlowfishString::ApplyDelta(const VProfileData* other) {
    if (const auto* same = dynamic_cast<const VProfile2<VBlowfishString, VProfileSz>*>(other))
        Value() = std::u16string_view(same->Get().str());
}

// ---- VProfileCapiString ------------------------------------------------------

bool VProfileCapiString::Init(VProfileKey* key) {
    m_report = VReportMessageParams();
    return Base::Init(key);
}

bool VProfileCapiString::Init(VProfileKey* key, const VUnicodeString& defaultValue) {
    m_report = VReportMessageParams();
    return Base::Init(key, defaultValue);
}

bool VProfileCapiString::Init(VProfileKey* key, const VUnicodeString& name,
                              const VUnicodeString& defaultValue) {
    m_report = VReportMessageParams();
    return Base::Init(key, name, defaultValue);
}

bool VProfileCapiString::LoadBinaryData(VProfileKey* key) {
    const auto text = QueryText(key, GetName());
    if (!text) return false;
    auto value = DecodeCapiString(*text, m_report);
    if (!value) return false;
    Value() = std::move(*value);
    return true;
}

void VProfileCapiString::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if (!force && !m_unsaved && !differs) return;
    if (!key) return;
    TraceSave(force, differs);
    m_report = VReportMessageParams();
    const auto text = EncodeCapiString(Get(), m_report);
    if (!text) {
        m_unsaved = true;
        return;
    }
    Base::Checkpoint();
    Store(key, GetName(), *text);
}

// ---- VProfileEncodedStringFromCapi -------------------------------------------

namespace {
constexpr std::u16string_view kCapiPrefix = u"CAPI:";
}  // namespace

bool VProfileEncodedStringFromCapi::LoadBinaryData(VProfileKey* key) {
    m_protectedText = false;
    m_unreadable = false;
    VUnicodeString text;
    if (!key || !key->QueryString(GetName(), text)) return false;
    if (!std::u16string_view(text).starts_with(kCapiPrefix))
        return VProfileEncodedString::LoadBinaryData(key);
    m_protectedText = true;
    auto value = DecodeCapiString(text, m_report);
    if (!value) {
        m_unreadable = true;
        return false;
    }
    Value() = std::move(*value);
    return true;
}

bool VProfileEncodedStringFromCapi::Init(VProfileKey* key, const VUnicodeString& name,
                                         const VUnicodeString& defaultValue) {
    m_report = VReportMessageParams();
    const bool result = Base::Init(key, name, defaultValue);
    if (m_unreadable) {
        // A protected text that this user or machine cannot read is still
        // somebody's secret: leave it in place until a new one is set, rather
        // than overwrite it with the empty default on the next save.
        m_unsaved = false;
    } else if (m_protectedText) {
        // The scrambled form carries Windows-1252 text only; a value it
        // cannot carry stays in its protected form rather than be mangled.
        const auto back = DecodeScrambledString(EncodeScrambledString(Get()).str());
        if (back && *back == Get()) Save(key, true);
    }
    return result;
}

}  // namespace sessiondeck
