// The scrambled, Blowfish and data-protection text forms of stored secrets, byte for byte; and the
// secret settings against the in-memory store: plain values tracked, encoded texts written, damaged
// texts falling back to the default.
#include <gtest/gtest.h>

#include <filesystem>
#include "foundation/codepage.h"
#include "profile/cipher.h"

#include "profile/secret_forms.h"
#include "profile/secret_settings.h"
#include "support/case_file.h"
#include "support/memory_store.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

// Hands out 0x00, 0x01, 0x02, ... and records the size of every request.
class CountingRandomSource : public VUnknown<IRandomSource> {
public:
    bool Fill(void* buffer, size_t size) override {
        sizes.push_back(size);
        for (size_t i = 0; i < size; ++i) static_cast<uint8_t*>(buffer)[i] = next++;
        return !failing;
    }

    uint8_t next = 0;
    bool failing = false;
    std::vector<size_t> sizes;
};

// Plain strings for comparing: VUnicodeString against a literal is ambiguous.
std::optional<std::u16string> S(const std::optional<VUnicodeString>& value) {
    return value ? std::optional<std::u16string>(value->str()) : std::nullopt;
}

// The cipher of a kind, keyed as the inner (A) or outer (B) layer.
std::unique_ptr<ICipher> CipherFor(int kind, bool inner) {
    std::unique_ptr<ICipher> cipher(kind == kBlowfishKindSSH1 ? new VDeprecatedCipherBlowfishSSH1
                                    : kind == kBlowfishKindDeprecated
                                        ? static_cast<ICipher*>(new VDeprecatedCipherBlowfish)
                                        : new VCipherBlowfish);
    cipher->SetKey((inner ? kBlowfishInitialVectorA : kBlowfishInitialVectorB).data(),
                   (inner ? kBlowfishKeyA : kBlowfishKeyB).data());
    return cipher;
}

// Builds a Blowfish text from an inner block of our choosing, one layer at a
// time, as the layout describes it.
std::u16string WrapInner(Bytes inner, int kind, bool utf16, const Bytes& before,
                         const Bytes& after) {
    auto a = CipherFor(kind, true), b = CipherFor(kind, false);
    a->Encrypt(inner.data(), inner.size(), inner.data(), inner.size());
    Bytes outer = before;
    outer.insert(outer.end(), inner.begin(), inner.end());
    outer.insert(outer.end(), after.begin(), after.end());
    b->Encrypt(outer.data(), outer.size(), outer.data(), outer.size());
    return (utf16 ? u"u" : u"") + Hex16(outer);
}

// Undoes both layers by hand: the 4 leading bytes, the inner block, the 4 trailing bytes.
struct Unwrapped {
    Bytes before, inner, after;
};
Unwrapped Unwrap(std::u16string_view text, int kind) {
    Bytes outer = FromHex(text.substr(1));
    auto a = CipherFor(kind, true), b = CipherFor(kind, false);
    b->Decrypt(outer.data(), outer.size(), outer.data(), outer.size());
    Bytes inner(outer.begin() + 4, outer.end() - 4);
    a->Decrypt(inner.data(), inner.size(), inner.data(), inner.size());
    return {Bytes(outer.begin(), outer.begin() + 4), inner, Bytes(outer.end() - 4, outer.end())};
}

// A report as "id: insert|insert".
std::string Said(const VReportMessageParams& report) {
    std::string text = std::to_string(report.GetMessageId()) + ":";
    for (size_t i = 0; i < report.GetInsertCount(); ++i)
        text += (i ? "|" : " ") + Utf16ToUtf8(report.GetInserts()[i]);
    return text;
}

}  // namespace

TEST(ScrambledString, ExactTextWithGivenKey) {
    const VScrambleKey key = {0x12, 0x34, 0x56, 0x78};
    // 'a'^12 'b'^34 'c'^56 'd'^78, then the key starts over: 'e'^12.
    EXPECT_EQ(EncodeScrambledString(u"abcde", key).str(), u"123456787356351c77");
    EXPECT_EQ(EncodeScrambledString(u"", key).str(), u"");
    // Only the low byte of a code unit is kept (read back as U+00AC below).
    EXPECT_EQ(EncodeScrambledString(u"\u20AC", {0, 0, 0, 0}).str(), u"00000000ac");

    const std::u16string values[] = {u"x", u"password", u"caf\u00e9 \u00ff",
                                     std::u16string(1019, u'w')};
    for (const auto& value : values) {
        const VUnicodeString text = EncodeScrambledString(value);
        EXPECT_EQ(text.Length(), 8 + 2 * value.size());
        EXPECT_EQ(S(DecodeScrambledString(text)), value) << Utf16ToUtf8(value);
    }
    // Fresh key bytes every time (equal keys 4 times in a row would be a 2^-96 chance).
    int same = 0;
    for (int i = 0; i < 4; ++i)
        same += EncodeScrambledString(u"secret") == EncodeScrambledString(u"secret");
    EXPECT_LT(same, 4);
}

// Reading is lenient (tests/golden/profile/scrambled-reading.txt) up to 1023 bytes.
TEST(ScrambledString, LenientReadingAndLimits) {
    ExpectCaseFile("profile/scrambled-reading.txt", [](const std::vector<std::string>& fields) {
        const auto value = DecodeScrambledString(Utf8ToUtf16(fields[0]));
        return value ? value->ToUtf8() : std::string("(none)");
    });
}

TEST(BlowfishText, LengthsAndPadding) {
    // L = 2 * length + 2; the padding takes I to whole blocks, 8 bytes when L already is.
    const std::pair<std::u16string, size_t> rows[] = {
        {u"x", 4}, {u"abc", 8}, {u"abcd", 6}, {u"0123456", 8}, {u"01234567", 6}};
    for (const auto& [value, padding] : rows) {
        CountingRandomSource random;
        const auto text = EncodeBlowfishText(value, kBlowfishKindCurrent, random);
        EXPECT_EQ(text.value_or(u"").Length(), 1 + 2 * (2 * value.size() + 2 + padding + 8));
        EXPECT_EQ(random.sizes, (std::vector<size_t>{padding, 4, 4})) << Utf16ToUtf8(value);
    }
    CountingRandomSource random;
    EXPECT_EQ(S(EncodeBlowfishText(u"", kBlowfishKindCurrent, random)), u"");
}

// The text taken apart one layer at a time with the cipher classes: every
// random byte lands where the layout puts it. The pinned text was produced by
// the encoder once this check passed.
TEST(BlowfishText, LayoutWithPredictableRandomBytes) {
    for (int kind : {kBlowfishKindCurrent, kBlowfishKindSSH1, kBlowfishKindDeprecated}) {
        SCOPED_TRACE(kind);
        CountingRandomSource random;
        const auto text = EncodeBlowfishText(u"P\u00e4\u20ac", kind, random);
        ASSERT_TRUE(text);
        ASSERT_EQ(text->str()[0], u'u');
        const Unwrapped parts = Unwrap(*text, kind);
        // Padding 0,1 (L = 8 leaves 8, so 0..7), then 8..11 before and 12..15 after.
        EXPECT_EQ(parts.inner, (Bytes{'P', 0, 0xe4, 0, 0xac, 0x20, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
        EXPECT_EQ(parts.before, (Bytes{8, 9, 10, 11}));
        EXPECT_EQ(parts.after, (Bytes{12, 13, 14, 15}));
        EXPECT_EQ(text->str(), WrapInner(parts.inner, kind, true, parts.before, parts.after));
    }
    CountingRandomSource random;
    EXPECT_EQ(Utf16ToUtf8(EncodeBlowfishText(u"secret", kBlowfishKindCurrent, random)->str()),
              "u3cb645603759ee824ce6827274254ab07e74f77af3880923");
}

TEST(BlowfishText, RoundTripsForEveryKind) {
    const std::u16string values[] = {u"abc", u"P\u00e4ssw\u00f6rd \u20ac\u2713",
                                     u"\U0001F600 emoji", std::u16string(500, u'z')};
    for (int kind : {kBlowfishKindCurrent, kBlowfishKindSSH1, kBlowfishKindDeprecated}) {
        for (const auto& value : values) {
            CountingRandomSource counting;
            const auto text = EncodeBlowfishText(value, kind, counting);
            ASSERT_TRUE(text);
            EXPECT_EQ(S(DecodeBlowfishText(*text, kind)), value)
                << kind << " " << Utf16ToUtf8(value);
        }
    }
    VBlowfishString fresh(u"secret");
    EXPECT_NE(fresh.Encode(), fresh.Encode());
    EXPECT_EQ(S(DecodeBlowfishText(u"", kBlowfishKindCurrent)), u"");

    // A text without the leading "u" holds 8-bit (Windows-1252) characters.
    const Bytes inner = {'c', 'a', 'f', 0xe9, 0x80, 0, 0x11, 0x22};
    const std::u16string text =
        WrapInner(inner, kBlowfishKindCurrent, false, {1, 2, 3, 4}, {5, 6, 7, 8});
    EXPECT_EQ(S(DecodeBlowfishText(text, kBlowfishKindCurrent)), u"caf\u00e9\u20ac");
}

TEST(BlowfishText, DamagedTextsAndUnknownKindsFail) {
    CountingRandomSource random;
    const std::u16string good = EncodeBlowfishText(u"secret", kBlowfishKindCurrent, random)->str();
    const std::u16string rows[] = {
        good.substr(0, good.size() - 1),              // odd number of digits
        u"u" + std::u16string(14, u'a'),              // 7 bytes
        u"u" + std::u16string(24, u'a'),              // 12 bytes: not whole blocks
        good.substr(0, 9) + u"zz" + good.substr(11),  // not hex
        u"u",                                         // nothing after the marker
        u"u" + std::u16string(16, u'0'),              // 8 bytes: no inner block
        WrapInner(Bytes(16, 'A'), kBlowfishKindCurrent, true, Bytes(4), Bytes(4)),  // no terminator
        WrapInner(Bytes(16, 'A'), kBlowfishKindCurrent, false, Bytes(4),
                  Bytes(4)),  // none in 8-bit either
    };
    for (const auto& text : rows)
        EXPECT_FALSE(DecodeBlowfishText(text, kBlowfishKindCurrent)) << Utf16ToUtf8(text);
    EXPECT_EQ(S(DecodeBlowfishText(good, kBlowfishKindCurrent)), u"secret");
    // Unknown kinds read and write empty.
    for (int kind : {3, -1, 100}) {
        EXPECT_EQ(S(EncodeBlowfishText(u"secret", kind, random)), u"");
        EXPECT_EQ(S(DecodeBlowfishText(good, kind)), u"");
    }
}

TEST(BlowfishString, KindSourceAndFailedDecode) {
    VBlowfishString value;
    EXPECT_EQ(value.GetCipherKind(), kBlowfishKindCurrent);

    auto* counting = new CountingRandomSource;
    value.SetRandomSource(VUnknownPointer<IRandomSource>::Adopt(counting));
    value.SetCipherKind(kBlowfishKindDeprecated);
    value = std::u16string_view(u"hunter2");
    const auto text = value.Encode();
    ASSERT_TRUE(text);
    EXPECT_EQ(counting->sizes, (std::vector<size_t>{8, 4, 4}));

    VBlowfishString copy(u"", kBlowfishKindDeprecated);
    ASSERT_TRUE(copy.Decode(*text));
    EXPECT_EQ(copy, VUnicodeString(u"hunter2"));
    EXPECT_FALSE(copy.Decode(u"u0011"));
    EXPECT_EQ(copy, VUnicodeString(u"hunter2")) << "a failed decode keeps the value";

    counting->failing = true;
    EXPECT_FALSE(value.Encode()) << "no text from a failed random source";
}

TEST(CapiString, RoundTripWithKeyCreatedPrivate) {
    ScopedKeyFolder env;
    VReportMessageParams report;
    const std::u16string value = u"s\u00e9cret \u20ac";
    const auto text = EncodeCapiString(value, report);
    ASSERT_TRUE(text) << Utf16ToUtf8(report.GetTextSingleLine());
    ASSERT_TRUE(text->str().starts_with(u"CAPI:"));
    EXPECT_EQ(text->Length(), 5 + 2 * (24 + 16 + 2 * value.size() + 2));
    EXPECT_EQ(text->str().find_first_not_of(u"0123456789ABCDEF", 5), std::u16string::npos)
        << "upper-case hex";

    EXPECT_EQ(FileMode(env.KeyFile()), 0600u);
    EXPECT_EQ(FileMode(env.KeyFile().parent_path()), 0700u);
    EXPECT_EQ(ReadFileBytes(env.KeyFile()).size(), 32u);

    EXPECT_EQ(S(DecodeCapiString(*text, report)), value);
    std::u16string lower = text->str();
    for (size_t i = 5; i < lower.size(); ++i)
        lower[i] = static_cast<char16_t>(std::tolower(lower[i]));
    EXPECT_EQ(S(DecodeCapiString(lower, report)), value);
    EXPECT_EQ(S(DecodeCapiString(*EncodeCapiString(u"", report), report)), u"");
    EXPECT_NE(EncodeCapiString(value, report), text) << "a fresh nonce every time";
}

TEST(CapiString, DamagedTextsFailWithTheirReports) {
    ScopedKeyFolder env;
    VReportMessageParams report;
    const std::u16string good = EncodeCapiString(u"secret", report)->str();
    std::u16string tampered = good;
    tampered[20] = tampered[20] == u'0' ? u'1' : u'0';
    // The reason is part of the one insert; a missing prefix has none.
    const std::tuple<std::u16string, uint32_t, const char*> rows[] = {
        {u"", kReportCapiPrefixMissing, ""},
        {u"capi:" + good.substr(5), kReportCapiPrefixMissing, ""},
        {u"u" + good.substr(5), kReportCapiPrefixMissing, ""},
        {good.substr(0, good.size() - 1), kReportCapiProtectFailed, "hexadecimal"},
        {u"CAPI:0G" + good.substr(7), kReportCapiProtectFailed, "hexadecimal"},
        {u"CAPI:00112233", kReportCapiProtectFailed, "too short"},
        {u"CAPI:", kReportCapiProtectFailed, "too short"},
        {tampered, kReportCapiProtectFailed, "altered"},
    };
    for (const auto& [text, id, reason] : rows) {
        report.SetMessage(0);
        EXPECT_FALSE(DecodeCapiString(text, report));
        const std::string said = Said(report), head = std::to_string(id) + ":";
        EXPECT_TRUE(*reason ? said.starts_with(head + " ") && said.find(reason) != std::string::npos
                            : said == head)
            << said;
    }
}

TEST(CapiString, KeyFileIsNeverLoosenedReplacedOrGuessed) {
    ScopedKeyFolder env;
    VReportMessageParams report;
    const auto text = EncodeCapiString(u"secret", report);
    ASSERT_TRUE(text);
    const std::string key = ReadFileBytes(env.KeyFile());

    const auto expectRefused = [&](const char* reason) {
        report.SetMessage(0);
        EXPECT_FALSE(DecodeCapiString(*text, report));
        EXPECT_TRUE(Said(report).starts_with(std::to_string(kReportCapiProtectFailed) + ": "));
        EXPECT_NE(Said(report).find(reason), std::string::npos) << Said(report);
        report.SetMessage(0);
        EXPECT_FALSE(EncodeCapiString(u"other", report));
        EXPECT_EQ(report.GetMessageId(), kReportCapiProtectFailed);
    };

    std::filesystem::permissions(env.KeyFile(), std::filesystem::perms(0644));
    expectRefused("accessible to other users");
    EXPECT_EQ(FileMode(env.KeyFile()), 0644u);
    EXPECT_EQ(ReadFileBytes(env.KeyFile()), key) << "a refused key is left as it was";

    std::filesystem::permissions(env.KeyFile(), std::filesystem::perms(0600));
    WriteFileBytes(env.KeyFile(), key.substr(0, 31));
    expectRefused("exactly 32 bytes");
    WriteFileBytes(env.KeyFile(), key);
    EXPECT_EQ(S(DecodeCapiString(*text, report)), u"secret");

    // Reading never makes a key: without one there is nothing to read with.
    std::filesystem::remove(env.KeyFile());
    report.SetMessage(0);
    EXPECT_FALSE(DecodeCapiString(*text, report));
    EXPECT_EQ(report.GetMessageId(), kReportCapiProtectFailed);
    EXPECT_FALSE(std::filesystem::exists(env.KeyFile()));

    // A new key cannot read what the old one sealed.
    ASSERT_TRUE(EncodeCapiString(u"x", report));
    EXPECT_FALSE(DecodeCapiString(*text, report));
    EXPECT_NE(Utf16ToUtf8(report.GetInserts()[0]).find("altered"), std::string::npos);
}

TEST(CapiString, KeyFolderFallsBackToHome) {
    ScopedKeyFolder env;
    env.env().Set("HOME", (env.dir() / "home").string());
    for (const char* xdg : {"", "relative/data"}) {
        env.env().Set("XDG_DATA_HOME", xdg);
        VReportMessageParams report;
        ASSERT_TRUE(EncodeCapiString(u"v", report)) << xdg;
    }
    env.env().Unset("XDG_DATA_HOME");
    VReportMessageParams report;
    const auto text = EncodeCapiString(u"v", report);
    ASSERT_TRUE(text);
    EXPECT_EQ(S(DecodeCapiString(*text, report)), u"v");
    EXPECT_EQ(FileMode(env.dir() / "home/.local/share/sessiondeck/protect.key"), 0600u);
    EXPECT_FALSE(std::filesystem::exists("relative"));
}

namespace {

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
