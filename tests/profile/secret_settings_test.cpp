// Secret settings against the in-memory store: plain values tracked, encoded texts written, damaged
// texts falling back to the default.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "profile/secret_forms.h"
#include "profile/secret_settings.h"
#include "support/memory_store.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

std::optional<std::u16string> S(const std::optional<VUnicodeString>& value) {
    return value ? std::optional<std::u16string>(value->str()) : std::nullopt;
}

class SecretSettings : public ::testing::Test {
protected:
    std::u16string Stored(std::u16string_view name) const {
        const MemoryValue* value = factory.Find(u"Sessions\\Demo", name);
        return value && value->kind == kValueKindString ? value->string.str() : u"<absent>";
    }

    ScopedKeyFolder keys;
    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"Sessions\\Demo"};
};

// The save rules every form shares, run once per form: a default is written
// once, an unchanged value never again, a changed value (or a forced save)
// with a fresh text each time, and every text reads back as the plain value.
template <class Setting>
void CheckSaveRules(MemoryStoreFactory& factory, VProfileKey& key, Setting& setting,
                    Setting& reader) {
    const char16_t* name = u"Password";
    ASSERT_TRUE(setting.Init(&key, name, u"default pw"));
    EXPECT_TRUE(setting.IsUnsaved());
    EXPECT_FALSE(setting.IsModified());
    EXPECT_EQ(factory.WriteCount(name), 0);

    setting.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(name), 1) << "the default is written once";
    const std::u16string first = factory.Find(u"Sessions\\Demo", name)->string.str();
    EXPECT_NE(first, u"default pw") << "never the plain text";
    setting.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(name), 1) << "nothing changed, nothing written";

    ASSERT_TRUE(reader.Init(&key, name, u"other"));
    EXPECT_EQ(reader.Get().str(), u"default pw");
    EXPECT_FALSE(reader.IsUnsaved());

    setting = std::u16string_view(u"new pw \u00e9");
    EXPECT_TRUE(setting.IsModified());
    setting.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(name), 2);
    EXPECT_FALSE(setting.IsModified());
    const std::u16string second = factory.Find(u"Sessions\\Demo", name)->string.str();

    setting.Save(&key, true);
    EXPECT_EQ(factory.WriteCount(name), 3);
    const std::u16string third = factory.Find(u"Sessions\\Demo", name)->string.str();
    EXPECT_NE(second, third) << "same value, fresh random bytes";

    ASSERT_TRUE(reader.Init(&key, name, u"other"));
    EXPECT_EQ(reader.Get().str(), u"new pw \u00e9");

    // Checkpoint and rollback work on the plain value.
    setting = std::u16string_view(u"typo");
    setting.Rollback();
    EXPECT_EQ(setting.Get().str(), u"new pw \u00e9");
    EXPECT_FALSE(setting.IsModified());
}

}  // namespace

TEST_F(SecretSettings, EncodedStringSaveRulesAndForm) {
    VProfileEncodedString setting, reader;
    CheckSaveRules(factory, key, setting, reader);
    EXPECT_EQ(S(DecodeScrambledString(Stored(u"Password"))), u"new pw \u00e9");
    setting = std::u16string_view(u"");
    setting.Save(&key, false);
    EXPECT_EQ(Stored(u"Password"), u"") << "the empty value is the empty text";
}

TEST_F(SecretSettings, BlowfishStringSaveRulesKindAndForm) {
    VProfileBlowfishString setting(u"Password", kBlowfishKindSSH1);
    VProfileBlowfishString reader(u"Password", kBlowfishKindSSH1);
    CheckSaveRules(factory, key, setting, reader);
    EXPECT_EQ(setting.GetCipherKind(), kBlowfishKindSSH1) << "defaults and rollback keep the kind";
    EXPECT_EQ(setting.Get().GetCipherKind(), kBlowfishKindSSH1);

    // The stored text is in the setting's kind: the current kind cannot read it.
    EXPECT_EQ(S(DecodeBlowfishText(Stored(u"Password"), kBlowfishKindSSH1)), u"new pw \u00e9");
    EXPECT_NE(S(DecodeBlowfishText(Stored(u"Password"), kBlowfishKindCurrent)), u"new pw \u00e9");

    // A delta from a setting of another kind brings the value, not the kind.
    VProfileBlowfishString other(u"Password", kBlowfishKindCurrent);
    other.Init(nullptr, u"");
    other = std::u16string_view(u"from delta");
    setting.ApplyDelta(&other);
    EXPECT_EQ(setting.Get().str(), u"from delta");
    EXPECT_EQ(setting.Get().GetCipherKind(), kBlowfishKindSSH1);
}

TEST_F(SecretSettings, CapiStringSaveRulesAndForm) {
    VProfileCapiString setting, reader;
    CheckSaveRules(factory, key, setting, reader);
    VReportMessageParams report;
    EXPECT_EQ(S(DecodeCapiString(Stored(u"Password"), report)), u"new pw \u00e9");
    EXPECT_EQ(setting.GetReport().GetMessageId(), 0u);
    EXPECT_EQ(reader.GetReport().GetMessageId(), 0u);
}

// A text that does not decode gives the default, counts as unsaved and is
// replaced by the next save; the data-protection form also says why.
TEST_F(SecretSettings, DamagedTextsGiveTheDefaultAndAreRewritten) {
    key.SetString(u"Scrambled", u"abc");         // shorter than the key
    key.SetString(u"Blowfish", u"u0011223344");  // not whole blocks
    key.SetString(u"NoPrefix", u"0011223344556677");
    key.SetString(u"Refused", u"CAPI:00112233445566778899");
    factory.ClearWrites();
    VProfileEncodedString scrambled;
    VProfileBlowfishString blowfish(u"Blowfish", kBlowfishKindCurrent);
    VProfileCapiString noPrefix, refused;
    ASSERT_TRUE(scrambled.Init(&key, u"Scrambled", u"d1"));
    ASSERT_TRUE(blowfish.Init(&key, u"d2"));
    ASSERT_TRUE(noPrefix.Init(&key, u"NoPrefix", u"d3"));
    ASSERT_TRUE(refused.Init(&key, u"Refused", u"d4"));
    EXPECT_FALSE(VProfileBlowfishString(u"Blowfish", 0).Init(&key)) << "no default: no load";
    EXPECT_EQ(noPrefix.GetReport().GetMessageId(), 0xE1040052u);
    EXPECT_EQ(refused.GetReport().GetMessageId(), 0xE1040051u);
    EXPECT_EQ(refused.GetReport().GetInsertCount(), 1u);
    for (VProfileData* setting :
         std::initializer_list<VProfileData*>{&scrambled, &blowfish, &noPrefix, &refused}) {
        EXPECT_TRUE(setting->IsUnsaved());
        setting->Save(&key, false);
    }
    EXPECT_EQ(
        scrambled.Get().str() + blowfish.Get().str() + noPrefix.Get().str() + refused.Get().str(),
        u"d1d2d3d4");
    EXPECT_EQ(factory.Writes().size(), 4u);
    EXPECT_EQ(noPrefix.GetReport().GetMessageId(), 0u) << "the save succeeded";

    // The rewritten texts read back; each load starts a fresh report.
    VProfileEncodedString s2;
    VProfileBlowfishString b2(u"Blowfish", kBlowfishKindCurrent);
    s2.Init(&key, u"Scrambled", u"");
    b2.Init(&key, u"");
    noPrefix.Init(&key, u"Refused", u"");
    EXPECT_EQ(s2.Get().str() + b2.Get().str() + noPrefix.Get().str(), u"d1d2d4");
    EXPECT_EQ(noPrefix.GetReport().GetMessageId(), 0u);
    // Neither an absent value nor a missing key is a failure.
    key.SetString(u"Again", u"bad");
    for (VProfileKey* where : {&key, static_cast<VProfileKey*>(nullptr)}) {
        refused.Init(&key, u"Again", u"");
        refused.Init(where, u"Absent", u"d5");
        EXPECT_EQ(refused.GetReport().GetMessageId(), 0u);
    }
}

// Without a usable key nothing is written, the report says why, and the value
// stays unsaved so that a later save (with the key repaired) writes it.
TEST_F(SecretSettings, CapiSaveWithoutKeyWritesNothingAndRetries) {
    std::filesystem::create_directories(keys.KeyFile().parent_path());
    WriteFileBytes(keys.KeyFile(), "short");
    VProfileCapiString setting;
    setting.Init(&key, u"Password", u"pw");
    setting.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(u"Password"), 0);
    EXPECT_EQ(setting.GetReport().GetMessageId(), 0xE1040051u);
    EXPECT_TRUE(setting.IsUnsaved());

    std::filesystem::remove(keys.KeyFile());
    setting.Save(&key, false);
    EXPECT_EQ(factory.WriteCount(u"Password"), 1);
    EXPECT_FALSE(setting.IsUnsaved());
}
