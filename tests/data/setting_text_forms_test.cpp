// The text form of every setting kind: what reads back as it was written, what is refused, and
// that a refused text changes nothing.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "data/binary_records.h"
#include "data/color_scheme.h"
#include "data/synchronize_profile.h"
#include "profile/composite_values.h"
#include "profile/secret_settings.h"
#include "support/case_file.h"

using namespace sessiondeck;

namespace {

template <class Setting>
std::unique_ptr<VProfileData> Make() {
    return std::make_unique<Setting>();
}

// The setting kinds the row file names, and the kind each reports.
const std::map<std::string, std::pair<SettingKind, std::unique_ptr<VProfileData> (*)()>> kKinds = {
    {"int", {SettingKind::kInteger, &Make<VProfile<int>>}},
    {"unsigned int", {SettingKind::kUnsigned, &Make<VProfile<unsigned int>>}},
    {"unsigned long", {SettingKind::kUnsigned, &Make<VProfile<unsigned long>>}},
    {"bool", {SettingKind::kBool, &Make<VProfile<bool>>}},
    {"string", {SettingKind::kText, &Make<VProfile2<VUnicodeString, VProfileSz>>}},
    {"string list", {SettingKind::kList, &Make<VProfile2<VStringArray, VProfileMultiSz>>}},
    {"lines", {SettingKind::kList, &Make<VProfileMultiLineString>}},
    {"window placement", {SettingKind::kRecord, &Make<VProfileWindowPlacement>}},
    {"margins", {SettingKind::kRecord, &Make<VProfileMargins>}},
    {"colour table", {SettingKind::kRecord, &Make<VProfileCustomColors>}},
    {"font", {SettingKind::kRecord, &Make<ProfileLogFont>}},
    {"list view state", {SettingKind::kRecord, &Make<VProfileListViewState>}},
    {"frame state", {SettingKind::kRecord, &Make<VProfileExplorerFrameState>}},
    {"byte block", {SettingKind::kBytes, &Make<VProfileBlob>}},
};

}  // namespace

// Each row is "KIND: TEXT" given to a fresh setting, and what it reads back as; the text it shows
// must itself be taken back unchanged, and a refused text must change nothing.
TEST(SettingTextForms, EveryKindReadsBackItsTextAndRefusesOthersUnchanged) {
    for (const auto& [name, kind] : kKinds) {
        const auto setting = kind.second();
        EXPECT_EQ(setting->Kind(), kind.first) << name;
        EXPECT_FALSE(setting->IsSecret() || setting->IsReadOnly()) << name;
    }
    ExpectCaseFile("data/setting-text-forms.txt", [](const std::vector<std::string>& fields) {
        const std::u16string row = VUnicodeString::FromUtf8(fields[0]).str();
        const size_t colon = row.find(u": ");
        const auto found = kKinds.find(VUnicodeString(row.substr(0, colon)).ToUtf8());
        if (colon == row.npos || found == kKinds.end()) return std::string("no such kind");
        const auto setting = found->second.second();
        const std::optional<std::u16string> before = setting->Text();
        if (!setting->SetText(row.substr(colon + 2)))
            return setting->Text() == before ? std::string("refused") : "refused, but changed";
        const std::u16string shown = setting->Text().value_or(u"(none)");
        const bool again = setting->SetText(shown) && setting->Text() == shown;
        return "reads " + VUnicodeString(shown).ToUtf8() + (again ? "" : " (not taken back)");
    });
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
    schemes.Add(ProfileColorSchemeList::MakeScheme(u"Night", ColorScheme()));
    schemes.Add(ProfileColorSchemeList::MakeScheme(u"Day", ColorScheme()));
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
    EXPECT_FALSE(sync.SetText(u""));

    // A binary record with no text form says so rather than showing bytes.
    VProfile2<ColorScheme, VProfileBinary> scheme;
    EXPECT_EQ(scheme.Kind(), SettingKind::kNone);
    EXPECT_EQ(scheme.Text(), std::nullopt);
    EXPECT_FALSE(scheme.SetText(u""));
}
