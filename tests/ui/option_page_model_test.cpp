// Option pages bound to settings: loading, range and kind checks with their messages, secrets,
// writing only what changed, read-only pages, a page's own rules, and the page table checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/binary_records.h"
#include "profile/secret_settings.h"
#include "support/golden.h"
#include "support/scripted_prompt.h"
#include "ui/model/option_page_model.h"

namespace {

using TextSetting = VProfile2<VUnicodeString, VProfileSz>;
using ListSetting = VProfile2<VStringArray, VProfileMultiSz>;

struct DemoOptions : VProfileRecord<DemoOptions> {
    VProfile<int> count;
    VProfile<unsigned int> port;
    VProfile<int> mode;
    VProfile<bool> flag;
    VProfile<int> numericFlag;
    TextSetting name;
    ListSetting hosts;
    VProfileEncodedString password;
    VProfile<int> colour;
    ProfileLogFont font;

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&DemoOptions::count, u"Count", 4).Range(0, 9).Label(u"Recent items"),
        VProfileMember(&DemoOptions::port, u"Port", 22u).Range(1, 65535),
        VProfileMember(&DemoOptions::mode, u"Mode", 1).Range(0, 2),
        VProfileMember(&DemoOptions::flag, u"Flag", false),
        VProfileMember(&DemoOptions::numericFlag, u"Numeric Flag", 1).Range(0, 1),
        VProfileMember(&DemoOptions::name, u"Name", u"demo"),
        VProfileMember(&DemoOptions::hosts, u"Hosts"),
        VProfileMember(&DemoOptions::password, u"Password V2"),
        VProfileMember(&DemoOptions::colour, u"Colour", 0x00FF0000),
        VProfileMember(&DemoOptions::font, u"Font"));
};

const OptionPageDescription kDemoPage{
    u"Demo\nDemo Options",
    0,
    {
        {OptionControlKind::kNumber, OptionRecord::kGlobal, u"Count"},
        {OptionControlKind::kNumber, OptionRecord::kGlobal, u"Port", u"&Port:"},
        {OptionControlKind::kChoice, OptionRecord::kGlobal, u"Mode", u"Mode:", {u"A", u"B", u"C"}},
        {OptionControlKind::kCheck, OptionRecord::kGlobal, u"Flag", u"&Flag"},
        {OptionControlKind::kCheck, OptionRecord::kGlobal, u"Numeric Flag", u"N&umeric"},
        {OptionControlKind::kText, OptionRecord::kGlobal, u"Name"},
        {OptionControlKind::kMultiLine, OptionRecord::kGlobal, u"Hosts"},
        {OptionControlKind::kSecret, OptionRecord::kGlobal, u"Password V2"},
        {OptionControlKind::kNote, OptionRecord::kNone, nullptr, u"A note."},
    },
};

enum Control { kCount, kPort, kMode, kFlag, kNumericFlag, kName, kHosts, kPassword, kNote };

class OptionPageBinding : public ::testing::Test {
protected:
    OptionPageBinding() {
        record.Load(nullptr);
        record.Checkpoint();
    }
    OptionRecordResolver Resolver() {
        return [this](OptionRecord which) -> VProfileData* {
            return which == OptionRecord::kGlobal ? &record : nullptr;
        };
    }
    DemoOptions record;
    ScriptedPrompt prompt;
};

TEST_F(OptionPageBinding, ActivateShowsEachSettingInItsControl) {
    record.hosts = VStringArray{u"a.example", u"b.example"};
    record.password = VUnicodeString(u"hunter2");
    record.mode = 2;
    record.numericFlag = 0;
    record.Checkpoint();
    OptionPage page(kDemoPage, Resolver(), prompt);
    ASSERT_TRUE(page.Activate());

    EXPECT_EQ(page.Value(kCount).text, u"4");
    EXPECT_EQ(page.Value(kPort).text, u"22");
    EXPECT_EQ(page.Value(kMode).choice, 2);
    EXPECT_FALSE(page.Value(kFlag).checked);
    EXPECT_FALSE(page.Value(kNumericFlag).checked);
    EXPECT_EQ(page.Value(kName).text, u"demo");
    EXPECT_EQ(page.Value(kHosts).text, u"a.example\nb.example");
    // A secret shows only that it is set.
    EXPECT_TRUE(page.Value(kPassword).secretSet);
    EXPECT_EQ(page.Value(kPassword).text, u"");
    EXPECT_FALSE(page.Value(kNote).bound);

    // Labels: the control's own, else the table's, else the value name.
    EXPECT_EQ(page.Label(kPort), u"&Port:");
    EXPECT_EQ(page.Label(kCount), u"Recent items");
    EXPECT_EQ(page.Label(kName), u"Name");
    EXPECT_EQ(page.IndexOf(u"Hosts"), kHosts);
    EXPECT_EQ(page.IndexOf(u"Nothing"), -1);

    // Nothing changed: nothing is written, nothing asked.
    ASSERT_TRUE(page.Validate());
    EXPECT_FALSE(record.IsModified());
    EXPECT_TRUE(prompt.Questions().empty());
}

TEST_F(OptionPageBinding, ValuesOutsideTheirSettingAreRefusedWithTheFocusOnTheControl) {
    struct Case {
        const char* name;
        Control control;
        std::u16string text;
        std::u16string message;
    };
    const std::vector<Case> cases = {
        {"above range", kCount, u"10", u"Please enter a value between 0 and 9."},
        {"below range", kPort, u"0", u"Please enter a value between 1 and 65535."},
        {"not a number", kPort, u"twenty", u"Please enter a value between 1 and 65535."},
        {"line break", kName, u"two\nlines", u"This value cannot hold a line break."},
        {"list separator", kHosts, u"a;b", u"An entry cannot hold \";\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OptionPage page(kDemoPage, Resolver(), prompt);
        page.messageCaption = u"Global Options";
        ASSERT_TRUE(page.Activate());
        page.Value(kFlag).checked = true;  // a valid change elsewhere is not written either
        page.Value(c.control).text = c.text;
        prompt.AnswerButton(VPromptAnswer::kOk);
        const std::size_t asked = prompt.Questions().size();
        EXPECT_FALSE(page.Validate());
        ASSERT_EQ(prompt.Questions().size(), asked + 1);
        EXPECT_EQ(prompt.Questions().back().text.str(), c.message);
        EXPECT_EQ(prompt.Questions().back().caption.str(), u"Global Options");
        EXPECT_EQ(prompt.Questions().back().icon, VPromptIcon::kExclamation);
        EXPECT_EQ(page.FocusControl(), c.control);
        EXPECT_FALSE(record.IsModified());
    }
}

TEST_F(OptionPageBinding, OnlyChangedValuesAreWrittenAndReadOnlyPagesWriteNothing) {
    OptionPage page(kDemoPage, Resolver(), prompt);
    ASSERT_TRUE(page.Activate());
    page.Value(kCount).text = u"7";
    page.Value(kMode).choice = 0;
    page.Value(kFlag).checked = true;
    page.Value(kNumericFlag).checked = false;
    page.Value(kHosts).text = u"x.example\r\n\ny.example\n";
    page.Value(kPassword).secretEdited = true;
    page.Value(kPassword).text = u"s3cret";
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(page.FocusControl(), -1);

    EXPECT_EQ(record.count.Get(), 7);
    EXPECT_EQ(record.mode.Get(), 0);
    EXPECT_TRUE(record.flag.Get());
    EXPECT_EQ(record.numericFlag.Get(), 0);
    EXPECT_EQ(record.hosts.Text().value_or(u""), u"x.example;y.example");
    EXPECT_EQ(record.password.Get().str(), u"s3cret");
    EXPECT_TRUE(page.Value(kPassword).secretSet);
    EXPECT_FALSE(page.Value(kPassword).secretEdited);
    // Untouched settings keep their checkpoint: a save would not write them.
    EXPECT_FALSE(record.port.IsModified());
    EXPECT_FALSE(record.name.IsModified());

    // A value changed behind the page's back after it was written is not overwritten by a
    // second validate that changed nothing.
    record.Checkpoint();
    record.port = 2222u;
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(record.port.Get(), 2222u);
    EXPECT_EQ(record.count.Get(), 7);

    // An emptied text is a change; an emptied password clears it.
    record.Checkpoint();
    ASSERT_TRUE(page.Activate());
    page.Value(kName).text = u"";
    page.Value(kPassword).secretEdited = true;
    page.Value(kPassword).text = u"";
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(record.name.Get().str(), u"");
    EXPECT_FALSE(record.password.HasSecret());

    // Read-only: nothing is checked or written.
    record.Checkpoint();
    OptionPage readOnly(kDemoPage, Resolver(), prompt);
    readOnly.readOnly = true;
    ASSERT_TRUE(readOnly.Activate());
    readOnly.Value(kCount).text = u"99";
    readOnly.Value(kFlag).checked = false;
    EXPECT_TRUE(readOnly.Validate());
    EXPECT_FALSE(record.IsModified());
}

// A page with a rule of its own: the name may not be "forbidden".
class RuledPage : public OptionPage {
public:
    using OptionPage::OptionPage;
    int written = 0;

protected:
    bool CheckPage() override {
        const int name = IndexOf(u"Name");
        if (Value(name).text != u"forbidden") return true;
        Refuse(name, u"That name is taken.");
        return false;
    }
    void OnWritten() override { ++written; }
};

TEST_F(OptionPageBinding, APagesOwnRulesRunBeforeAnythingIsWritten) {
    RuledPage page(kDemoPage, Resolver(), prompt);
    ASSERT_TRUE(page.Activate());
    page.Value(kCount).text = u"3";
    page.Value(kName).text = u"forbidden";
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(page.Validate());
    EXPECT_EQ(page.FocusControl(), kName);
    EXPECT_EQ(record.count.Get(), 4);
    EXPECT_EQ(page.written, 0);

    page.Value(kName).text = u"allowed";
    EXPECT_TRUE(page.Validate());
    EXPECT_EQ(record.count.Get(), 3);
    EXPECT_EQ(page.written, 1);
    EXPECT_TRUE(page.Validate());  // nothing changed since: no second write
    EXPECT_EQ(page.written, 1);
}

TEST_F(OptionPageBinding, TableCheckerNamesEveryDeadOrMisfitControl) {
    EXPECT_EQ(CheckOptionPages(OptionPageSet{{kDemoPage}}, Resolver()),
              std::vector<std::u16string>{});
    // One misfit control per page; what the checker says is in
    // tests/golden/ui/option-table-problems.txt.
    using K = OptionControlKind;
    const auto global = OptionRecord::kGlobal;
    const OptionControl misfits[] = {
        {K::kText, global, u"Nmae"},                           // missing
        {K::kText, OptionRecord::kSession, u"Name"},           // its record is not there
        {K::kText, global, u"name"},                           // case
        {K::kNumber, global, u"Name"},                         // a number on a text
        {K::kCheck, global, u"Count"},                         // a check box on a range
        {K::kChoice, global, u"Mode", nullptr, {u"A", u"B"}},  // too few choices
        {K::kNote, global, u"Name", u"x"},                     // a note bound to a setting
        {K::kNumber, global, nullptr},                         // a number bound to nothing
    };
    std::u16string text;
    for (const OptionControl& control : misfits)
        for (const auto& problem :
             CheckOptionPages(OptionPageSet{{{u"P", 0, {control}, {}}}}, Resolver()))
            text += problem + u"\n";
    ExpectMatchesGolden("ui/option-table-problems.txt", VUnicodeString(text).ToUtf8());
    // Sub-pages are walked too; fitting colour and font controls pass.
    const OptionPageSet nested{{{u"P",
                                 0,
                                 {{OptionControlKind::kColour, OptionRecord::kGlobal, u"Colour"}},
                                 {{u"Q",
                                   0,
                                   {{OptionControlKind::kFont, OptionRecord::kGlobal, u"Font"},
                                    {OptionControlKind::kNumber, OptionRecord::kGlobal, u"Gone"}},
                                   {}}}}}};
    EXPECT_EQ(CheckOptionPages(nested, Resolver()),
              std::vector<std::u16string>{u"Q: Gone: no such setting"});
}

}  // namespace
