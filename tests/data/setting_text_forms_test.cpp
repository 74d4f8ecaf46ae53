// The text form of every setting kind: what reads back as it was written, what is refused, and
// that a refused text changes nothing.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/binary_records.h"
#include "data/color_scheme.h"
#include "data/synchronize_profile.h"
#include "profile/composite_values.h"
#include "profile/secret_settings.h"

using namespace sessiondeck;

namespace {

struct TextCase {
    const char* what;
    SettingKind kind;
    std::function<std::unique_ptr<VProfileData>()> make;
    // Each text in, and the text it reads back as.
    std::vector<std::pair<std::u16string, std::u16string>> good;
    std::vector<std::u16string> bad;
};

template <class Setting>
std::function<std::unique_ptr<VProfileData>()> Make() {
    return [] { return std::make_unique<Setting>(); };
}

const std::u16string kSixteenOnes = [] {
    std::u16string text = u"1";
    for (int i = 1; i < 16; ++i) text += u",1";
    return text;
}();
const std::u16string kSixteenHexOnes = [] {
    std::u16string text = u"0x00000001";
    for (int i = 1; i < 16; ++i) text += u",0x00000001";
    return text;
}();

std::vector<TextCase> Cases() {
    using Text = VProfile2<VUnicodeString, VProfileSz>;
    using List = VProfile2<VStringArray, VProfileMultiSz>;
    return {
        {"int",
         SettingKind::kInteger,
         Make<VProfile<int>>(),
         {{u"42", u"42"}, {u"-7", u"-7"}, {u"0x10", u"16"}, {u"0xFFFFFFFF", u"-1"}},
         {u"", u"4x", u" 4", u"2147483648", u"1.5", u"0x100000000", u"\u0663"}},
        {"unsigned int",
         SettingKind::kUnsigned,
         Make<VProfile<unsigned int>>(),
         {{u"4294967295", u"4294967295"}, {u"0xff", u"255"}},
         {u"-1", u"4294967296", u"0x"}},
        {"unsigned long",
         SettingKind::kUnsigned,
         Make<VProfile<unsigned long>>(),
         {{u"4294967295", u"4294967295"}},
         {u"4294967296", u"-1"}},
        {"bool",
         SettingKind::kBool,
         Make<VProfile<bool>>(),
         {{u"true", u"true"}, {u"0", u"false"}, {u"1", u"true"}, {u"false", u"false"}},
         {u"yes", u"TRUE", u"2", u""}},
        {"string",
         SettingKind::kText,
         Make<Text>(),
         {{u"a b;c", u"a b;c"}, {u"", u""}},
         {u"a\nb", u"a\r"}},
        {"string list",
         SettingKind::kList,
         Make<List>(),
         {{u"a;b;;c", u"a;b;;c"}, {u"", u""}, {u"one", u"one"}},
         {u"a\nb"}},
        {"lines",
         SettingKind::kList,
         Make<VProfileMultiLineString>(),
         {{u"x;y", u"x;y"}},
         {u"x\r\ny"}},
        {"window placement",
         SettingKind::kRecord,
         Make<VProfileWindowPlacement>(),
         {{u"44,0,3,0,0,-1,-1,10,20,30,40", u"44,0,3,0,0,-1,-1,10,20,30,40"},
          {u"0x2C,0,1,0,0,0,0,0,0,0,-2147483648", u"44,0,1,0,0,0,0,0,0,0,-2147483648"}},
         {u"44,0,3,0,0,-1,-1,10,20,30", u"44,0,3,0,0,-1,-1,10,20,30,40,50",
          u"44,-1,3,0,0,-1,-1,10,20,30,40", u"44,0,3,0,0,-1,-1,10,20,30,"}},
        {"margins",
         SettingKind::kRecord,
         Make<VProfileMargins>(),
         {{u"0.25,1,0.5,2", u"0.25,1,0.5,2"}, {u"1e0,0,0,0", u"1,0,0,0"}},
         {u"1,2,3", u"nan,1,1,1", u"inf,1,1,1", u"1,2,3,x"}},
        {"colour table",
         SettingKind::kRecord,
         Make<VProfileCustomColors>(),
         {{kSixteenOnes, kSixteenHexOnes}, {kSixteenHexOnes, kSixteenHexOnes}},
         {kSixteenOnes + u",1", kSixteenOnes.substr(2), u"-" + kSixteenOnes}},
        {"font",
         SettingKind::kRecord,
         Make<ProfileLogFont>(),
         {{u"120,-16,0,0,0,700,1,0,0,0,3,2,1,49,Lucida, Sans",
           u"120,-16,0,0,0,700,1,0,0,0,3,2,1,49,Lucida, Sans"},
          {u"100,0,0,0,0,400,0,0,0,0,0,0,0,0,", u"100,0,0,0,0,400,0,0,0,0,0,0,0,0,"}},
         {u"120,-16,0,0,0,700,256,0,0,0,3,2,1,49,X", u"120,-16,0,0,0,700,1,0,0,0,3,2,1,49",
          u"100,0,0,0,0,400,0,0,0,0,0,0,0,0," + std::u16string(32, u'F'),
          u"100,0,0,0,0,400,0,0,0,0,0,0,0,0,a\nb"}},
        {"list view state",
         SettingKind::kRecord,
         Make<VProfileListViewState>(),
         {{u"1,2,3,4,1,5,6,7", u"1,2,3,4,1,5,6,7"}},
         {u"1,2", u"x,2,3,4,0"}},
        {"frame state",
         SettingKind::kRecord,
         Make<VProfileExplorerFrameState>(),
         {{u"1,2,3", u"1,2,3"}},
         {u"1,2", u""}},
        {"byte block",
         SettingKind::kBytes,
         Make<VProfileBlob>(),
         {{u"0a0B", u"0a0b"}, {u"", u""}, {u"ff00", u"ff00"}},
         {u"0g", u"abc", u"0x00"}},
    };
}

}  // namespace

TEST(SettingTextForms, EveryKindReadsBackItsTextAndRefusesOthersUnchanged) {
    for (const TextCase& c : Cases()) {
        SCOPED_TRACE(c.what);
        auto setting = c.make();
        EXPECT_EQ(setting->Kind(), c.kind);
        EXPECT_FALSE(setting->IsSecret());
        EXPECT_FALSE(setting->IsReadOnly());
        for (const auto& [in, out] : c.good) {
            EXPECT_TRUE(setting->SetText(in)) << std::string(in.begin(), in.end());
            EXPECT_EQ(setting->Text(), out);
            // The shown text is itself in the form.
            EXPECT_TRUE(setting->SetText(out));
            EXPECT_EQ(setting->Text(), out);
        }
        const auto before = setting->Text();
        ASSERT_TRUE(before.has_value());
        for (const std::u16string& text : c.bad) {
            EXPECT_FALSE(setting->SetText(text)) << std::string(text.begin(), text.end());
            EXPECT_EQ(setting->Text(), before);
        }
    }
}

TEST(SettingTextForms, SecretsAreNeverShownAndTakeAnyText) {
    std::vector<std::pair<const char*, std::unique_ptr<VProfileData>>> secrets;
    secrets.emplace_back("scrambled", std::make_unique<VProfileEncodedString>());
    secrets.emplace_back("from data protection", std::make_unique<VProfileEncodedStringFromCapi>());
    secrets.emplace_back("data protection", std::make_unique<VProfileCapiString>());
    secrets.emplace_back("double Blowfish", std::make_unique<VProfileBlowfishString>());
    for (auto& [what, secret] : secrets) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(secret->IsSecret());
        EXPECT_FALSE(secret->HasSecret());
        EXPECT_TRUE(secret->SetText(u"pass\nword;"));
        EXPECT_TRUE(secret->HasSecret());
        EXPECT_EQ(secret->Text(), std::nullopt);
        EXPECT_TRUE(secret->SetText(u""));
        EXPECT_FALSE(secret->HasSecret());
    }
    VProfileBlowfishString blowfish(u"Password", kBlowfishKindCurrent);
    ASSERT_TRUE(blowfish.SetText(u"pw"));
    EXPECT_EQ(VUnicodeString(blowfish.Get()), u"pw");
    EXPECT_EQ(blowfish.GetCipherKind(), kBlowfishKindCurrent)
        << "the value keeps the setting's kind";
}

TEST(SettingTextForms, StoredRecordListsShowNamesOnly) {
    ProfileColorSchemeList schemes;
    ColorSchemeValue night;
    night.SetName(u"Night");
    schemes.Add(night);
    ColorSchemeValue day;
    day.SetName(u"Day");
    schemes.Add(day);
    EXPECT_EQ(schemes.Text(), u"Night;Day");
    EXPECT_TRUE(schemes.IsReadOnly());
    EXPECT_FALSE(schemes.SetText(u"Day"));
    EXPECT_EQ(schemes.Text(), u"Night;Day");

    SynchronizeProfile sync;
    SynchronizeTask task;
    task.name = u"Backup";
    sync.GetTasks().Add(task);
    sync.GetTasks().Add(task);
    EXPECT_EQ(sync.Text(), u"Backup;Backup");
    EXPECT_TRUE(sync.IsReadOnly());
    EXPECT_FALSE(sync.SetText(u""));

    // A binary record with no text form says so rather than showing bytes.
    VProfile2<ColorScheme, VProfileBinary> scheme;
    EXPECT_EQ(scheme.Kind(), SettingKind::kNone);
    EXPECT_EQ(scheme.Text(), std::nullopt);
    EXPECT_FALSE(scheme.SetText(u""));
}
