// Settings whose stored text is an encoded secret: scrambled, double Blowfish and data-protected.
#pragma once

#include <string_view>

#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/profile_data.h"
#include "profile/random_source.h"
#include "profile/secret_forms.h"

namespace sessiondeck {

// All three settings track changes on the plain value: a value that did not
// change is not written again, although every save of a changed (or unsaved)
// value writes a different text, since each form mixes in fresh random bytes.
//
// A stored text that does not decode is treated like a missing one: the
// setting takes its default and counts as unsaved, so the next Save replaces
// the damaged text with a readable one.
//
// None of them has a text to show (Text() is empty): hosts ask HasSecret().
// SetText takes any text as the new plain value.

// The scrambled form.
class SESSIONDECK_API VProfileEncodedString : public VProfile2<VUnicodeString, VProfileSz> {
public:
    using Base = VProfile2<VUnicodeString, VProfileSz>;

    VProfileEncodedString& operator=(std::u16string_view value) {
        Value() = value;
        return *this;
    }

    SettingKind Kind() const override { return SettingKind::kSecret; }
    std::optional<std::u16string> Text() const override { return std::nullopt; }
    bool SetText(std::u16string_view text) override {
        Value() = text;
        return true;
    }
    bool HasSecret() const override { return !Get().IsEmpty(); }

    void Save(VProfileKey* key, bool force) override;

protected:
    bool LoadBinaryData(VProfileKey* key) override;
};

// The double Blowfish form with the cipher kind the setting was made with.
// The kind belongs to the setting, not to the value: loading a default or
// assigning a value never changes it.
class SESSIONDECK_API VProfileBlowfishString : public VProfile2<VBlowfishString, VProfileSz> {
public:
    using Base = VProfile2<VBlowfishString, VProfileSz>;

    VProfileBlowfishString() = default;
    VProfileBlowfishString(const VUnicodeString& name, int kind);

    VProfileBlowfishString& operator=(std::u16string_view value) {
        Value() = value;  // keeps the value's kind and random source
        return *this;
    }

    SettingKind Kind() const override { return SettingKind::kSecret; }
    std::optional<std::u16string> Text() const override { return std::nullopt; }
    bool SetText(std::u16string_view text) override {
        *this = text;
        return true;
    }
    bool HasSecret() const override { return !VUnicodeString(Get()).IsEmpty(); }

    bool Init(VProfileKey* key);
    bool Init(VProfileKey* key, const VUnicodeString& defaultValue);
    bool Init(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& defaultValue);

    void Save(VProfileKey* key, bool force) override;
    void Rollback() override;
    void ApplyDelta(const VProfileData* other) override;

    int GetCipherKind() const { return m_kind; }
    // Tests hand in a predictable source here; null restores the system source.
    void SetRandomSource(VUnknownPointer<IRandomSource> random);

protected:
    bool LoadBinaryData(VProfileKey* key) override;

private:
    // Puts the setting's kind and source back on the value after a copy of
    // another value (a default, a checkpoint) replaced them.
    void KeepCipher();

    int m_kind = kBlowfishKindCurrent;
    VUnknownPointer<IRandomSource> m_random;
};

// The data-protection form. Its failures are not silent: a stored text that
// cannot be read (kReportCapiPrefixMissing, kReportCapiProtectFailed) or a
// value that cannot be protected (kReportCapiProtectFailed) leaves its report
// in GetReport() for the caller to show. A value that cannot be protected is
// not written and stays unsaved, so a later Save tries again.
class SESSIONDECK_API VProfileCapiString : public VProfile2<VUnicodeString, VProfileSz> {
public:
    using Base = VProfile2<VUnicodeString, VProfileSz>;

    VProfileCapiString& operator=(std::u16string_view value) {
        Value() = value;
        return *this;
    }

    SettingKind Kind() const override { return SettingKind::kSecret; }
    std::optional<std::u16string> Text() const override { return std::nullopt; }
    bool SetText(std::u16string_view text) override {
        Value() = text;
        return true;
    }
    bool HasSecret() const override { return !Get().IsEmpty(); }

    // As VProfile2's, but each starts with a fresh report, also when there is
    // no key to load from.
    bool Init(VProfileKey* key);
    bool Init(VProfileKey* key, const VUnicodeString& defaultValue);
    bool Init(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& defaultValue);

    void Save(VProfileKey* key, bool force) override;

    // The report of the last load or save; id 0 when it succeeded (or there
    // was nothing stored).
    const VReportMessageParams& GetReport() const { return m_report; }

protected:
    bool LoadBinaryData(VProfileKey* key) override;

private:
    VReportMessageParams m_report;
};

// A scrambled-form setting that also reads the data-protection form
// ("CAPI:..."), an older way of storing the same values. A value read in that
// form is rewritten at once in the scrambled form into the key it was read
// from, when the scrambled form can carry it.
class SESSIONDECK_API VProfileEncodedStringFromCapi : public VProfileEncodedString {
public:
    VProfileEncodedStringFromCapi& operator=(std::u16string_view value) {
        Value() = value;
        return *this;
    }

    // The record loads through this overload; it is the one that rewrites a
    // data-protected text.
    using Base::Init;
    bool Init(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& defaultValue);

    // The report of a data-protected text that could not be read (id 0 when
    // the last load had none).
    const VReportMessageParams& GetReport() const { return m_report; }

protected:
    bool LoadBinaryData(VProfileKey* key) override;

private:
    VReportMessageParams m_report;
    bool m_protectedText = false;  // the last load read a "CAPI:" text
    bool m_unreadable = false;     // ... that could not be decoded
};

}  // namespace sessiondeck
