// Option pages bound to settings: loading, refusals, writing only what changed, read-only pages,
// choices; the page table checker, and one walk over every page table the dialogs show.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "data/binary_records.h"
#include "profile/secret_settings.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "session/setting_lookup.h"
#include "support/golden.h"
#include "ui/model/global_options_model.h"
#include "ui/model/new_session_wizard_model.h"
#include "ui/model/option_page_model.h"
#include "ui/model/session_option_pages.h"
#include "ui/session_options_fixture.h"

namespace {

struct DemoOptions : VProfileRecord<DemoOptions> {
    VProfile<int> count, mode, numericFlag, colour, transferType;
    VProfile<unsigned int> port;
    VProfile<bool> flag;
    VProfile2<VUnicodeString, VProfileSz> name, firewall;
    VProfile2<VStringArray, VProfileMultiSz> hosts;
    VProfileEncodedString password;
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
        VProfileMember(&DemoOptions::font, u"Font"),
        VProfileMember(&DemoOptions::transferType, u"Transfer Type", 3).OneOf({1, 2, 3}, 3),
        VProfileMember(&DemoOptions::firewall, u"Firewall Name", u"None"));
};

using K = OptionControlKind;
constexpr OptionRecord kG = OptionRecord::kGlobal;

const OptionPageDescription kDemoPage{u"Demo\nDemo Options",
                                      0,
                                      {{K::kNumber, kG, u"Count"},
                                       {K::kNumber, kG, u"Port", u"&Port:"},
                                       {K::kChoice, kG, u"Mode", u"Mode:", {u"A", u"B", u"C"}},
                                       {K::kCheck, kG, u"Flag", u"&Flag"},
                                       {K::kCheck, kG, u"Numeric Flag", u"N&umeric"},
                                       {K::kText, kG, u"Name"},
                                       {K::kMultiLine, kG, u"Hosts"},
                                       {K::kSecret, kG, u"Password V2"},
                                       {K::kNote, OptionRecord::kNone, nullptr, u"A note."}}};

// Gives `record` for `which` and nothing for the other records.
OptionRecordResolver Only(OptionRecord which, VProfileData* record) {
    return [=](OptionRecord asked) { return asked == which ? record : nullptr; };
}

// The checker's problems, one a line.
std::string Text(const std::vector<std::u16string>& problems) {
    std::string text;
    for (const auto& problem : problems) text += VUnicodeString(problem).ToUtf8() + "\n";
    return text;
}

enum Control { kCount, kPort, kMode, kFlag, kNumericFlag, kName, kHosts, kPassword, kNote };

class OptionPageBinding : public UiStoreTest {
protected:
    OptionPageBinding() {
        record.Load(nullptr);
        record.Checkpoint();
    }
    OptionRecordResolver Resolver() { return Only(kG, &record); }
    // The named settings as "NAME=TEXT" joined with " ", a "*" after each one changed since the
    // checkpoint.
    std::u16string Stored(std::initializer_list<const char16_t*> names) {
        std::u16string out;
        for (const char16_t* name : names) {
            const FoundSetting found = FindSetting(record, name);
            out += (out.empty() ? u"" : u" ") + std::u16string(name) + u"=" +
                   found.setting->Text().value_or(u"?") +
                   (found.setting->IsModified() ? u"*" : u"");
        }
        return out;
    }
    DemoOptions record;
    ScriptedPrompt prompt;
};

// A page shows every setting and writes back only the controls the user changed, so a value
// changed behind the page's back survives; a read-only page checks and writes nothing.
TEST_F(OptionPageBinding, ActivateShowsEachSettingAndValidateWritesOnlyWhatChanged) {
    record.hosts = VStringArray{u"a.example", u"b.example"};
    record.password = VUnicodeString(u"hunter2");
    record.mode = 2;
    record.numericFlag = 0;
    record.Checkpoint();
    OptionPage page(kDemoPage, Resolver(), prompt);
    ASSERT_TRUE(page.Activate());
    // Each control as text, choice, check, "s" for a secret that is set (all a secret shows)
    // and "-" for a control bound to nothing.
    std::u16string shown;
    for (int i = kCount; i <= kNote; ++i) {
        const auto& value = page.Value(i);
        shown += value.text + u"," + VUnicodeString::FromUtf8(std::to_string(value.choice)).str() +
                 u"," + (value.checked ? u"1" : u"0") + (value.secretSet ? u"s" : u"") +
                 (value.bound ? u"|" : u"-|");
    }
    EXPECT_EQ(
        shown,
        u"4,-1,0|22,-1,0|,2,0|,-1,0|,-1,0|demo,-1,0|a.example\nb.example,-1,0|,-1,0s|,-1,0-|");
    // Labels: the control's own, else the table's, else the value name.
    EXPECT_EQ(page.Label(kPort) + page.Label(kCount) + page.Label(kName),
              u"&Port:Recent itemsName");
    EXPECT_EQ(page.IndexOf(u"Hosts"), kHosts);
    EXPECT_EQ(page.IndexOf(u"Nothing"), -1);
    ASSERT_TRUE(page.Validate());
    EXPECT_FALSE(record.IsModified());
    EXPECT_TRUE(prompt.Questions().empty());

    page.Value(kCount).text = u"7";
    page.Value(kMode).choice = 0;
    page.Value(kFlag).checked = true;
    page.Value(kNumericFlag).checked = true;
    page.Value(kHosts).text = u"x.example\r\n\ny.example\n";
    page.Value(kPassword).secretEdited = true;
    page.Value(kPassword).text = u"s3cret";
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(page.FocusControl(), -1);
    EXPECT_EQ(Stored({u"Count", u"Port", u"Mode", u"Flag", u"Numeric Flag", u"Name", u"Hosts"}),
              u"Count=7* Port=22 Mode=0* Flag=true* Numeric Flag=1* Name=demo "
              u"Hosts=x.example;y.example*");
    EXPECT_EQ(record.password.Get().str(), u"s3cret");
    EXPECT_TRUE(page.Value(kPassword).secretSet);
    EXPECT_FALSE(page.Value(kPassword).secretEdited);
    // A second validate that changed nothing leaves a value changed since alone.
    record.Checkpoint();
    record.port = 2222u;
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(Stored({u"Count", u"Port"}), u"Count=7 Port=2222*");
    // An emptied text is a change; an emptied password clears it.
    record.Checkpoint();
    ASSERT_TRUE(page.Activate());
    page.Value(kName).text = u"";
    page.Value(kPassword).secretEdited = true;
    page.Value(kPassword).text = u"";
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(Stored({u"Name"}), u"Name=*");
    EXPECT_FALSE(record.password.HasSecret());

    record.Checkpoint();
    OptionPage readOnly(kDemoPage, Resolver(), prompt);
    readOnly.readOnly = true;
    ASSERT_TRUE(readOnly.Activate());
    readOnly.Value(kCount).text = u"99";
    readOnly.Value(kFlag).checked = false;
    EXPECT_TRUE(readOnly.Validate());
    EXPECT_FALSE(record.IsModified());
}

TEST_F(OptionPageBinding, ValuesOutsideTheirSettingAreRefusedWithTheFocusOnTheControl) {
    // Above and below the range, not a number, a line break, a list separator.
    const std::tuple<Control, std::u16string, std::u16string> cases[] = {
        {kCount, u"10", u"Please enter a value between 0 and 9."},
        {kPort, u"0", u"Please enter a value between 1 and 65535."},
        {kPort, u"twenty", u"Please enter a value between 1 and 65535."},
        {kName, u"two\nlines", u"This value cannot hold a line break."},
        {kHosts, u"a;b", u"An entry cannot hold \";\"."},
    };
    for (const auto& [control, text, message] : cases) {
        SCOPED_TRACE(VUnicodeString(text).ToUtf8());
        OptionPage page(kDemoPage, Resolver(), prompt);
        page.messageCaption = u"Global Options";
        ASSERT_TRUE(page.Activate());
        page.Value(kFlag).checked = true;  // a valid change elsewhere is not written either
        page.Value(control).text = text;
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(page.Validate());
        ASSERT_FALSE(prompt.Questions().empty());
        const PromptQuestion& said = prompt.Questions().back();
        EXPECT_EQ(said.caption.str() + u": " + said.text.str(), u"Global Options: " + message);
        EXPECT_EQ(said.icon, VPromptIcon::kExclamation);
        EXPECT_EQ(page.FocusControl(), control);
        EXPECT_FALSE(record.IsModified());
    }
}

TEST_F(OptionPageBinding, TableCheckerNamesEveryDeadOrMisfitControl) {
    EXPECT_EQ(Text(CheckOptionPages(OptionPageSet{{kDemoPage}}, Resolver())), "");
    // One misfit control per page; what the checker says is in
    // tests/golden/ui/option-table-problems.txt.
    const OptionControl misfits[] = {
        {K::kText, kG, u"Nmae"},                           // missing
        {K::kText, OptionRecord::kSession, u"Name"},       // its record is not there
        {K::kText, kG, u"name"},                           // case
        {K::kNumber, kG, u"Name"},                         // a number on a text
        {K::kCheck, kG, u"Count"},                         // a check box on a range
        {K::kChoice, kG, u"Mode", nullptr, {u"A", u"B"}},  // too few choices
        {K::kNote, kG, u"Name", u"x"},                     // a note bound to a setting
        {K::kNumber, kG, nullptr},                         // a number bound to nothing
    };
    std::string text;
    for (const OptionControl& control : misfits)
        text += Text(CheckOptionPages(OptionPageSet{{{u"P", 0, {control}, {}}}}, Resolver()));
    ExpectMatchesGolden("ui/option-table-problems.txt", text);
    // Sub-pages are walked too; fitting colour and font controls pass.
    const OptionPageDescription sub{u"Q", 0, {{K::kFont, kG, u"Font"}, {K::kNumber, kG, u"Gone"}}};
    const OptionPageSet nested{{{u"P", 0, {{K::kColour, kG, u"Colour"}}, {sub}}}};
    EXPECT_EQ(Text(CheckOptionPages(nested, Resolver())), "Q: Gone: no such setting\n");
}

// Choices whose numbers start above zero, and choices among the firewalls the user defines.
TEST_F(OptionPageBinding, ChoicesNumberFromTheBaseAndListTheFirewallsOnEveryShow) {
    const OptionPageDescription description{u"Choices",
                                            0,
                                            {{.kind = K::kChoice,
                                              .record = kG,
                                              .setting = u"Transfer Type",
                                              .choices = {u"ASCII", u"Binary", u"Auto"},
                                              .choiceBase = 1},
                                             {.kind = K::kChoice,
                                              .record = kG,
                                              .setting = u"Firewall Name",
                                              .choiceSource = OptionChoiceSource::kFirewalls}}};
    record.transferType = 2;
    record.firewall = VUnicodeString(u"Gone");  // a firewall deleted since the session named it
    OptionPage page(description, Resolver(), prompt);

    ASSERT_TRUE(page.Activate());
    EXPECT_EQ(page.Value(0).choice, 1);  // 2 is the second name when the first stores 1
    EXPECT_EQ(page.Choices(1), (std::vector<std::u16string>{u"None", u"Gone"}));
    EXPECT_EQ(page.Value(1).choice, 1);
    // Showing and leaving the page changes nothing, the undefined name included.
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(Stored({u"Transfer Type", u"Firewall Name"}),
              u"Transfer Type=2* Firewall Name=Gone*");
    // A firewall defined while the dialog is open is listed the next time the page is shown.
    auto office = VUnknownPointer<FirewallConfig>::Adopt(new FirewallConfig(u"Office", nullptr));
    ASSERT_TRUE(SaveFirewall(office.Get(), true));
    ASSERT_TRUE(page.Activate());
    EXPECT_EQ(page.Choices(1), (std::vector<std::u16string>{u"None", u"Office", u"Gone"}));

    page.Value(0).choice = 2;
    page.Value(1).choice = 1;
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(Stored({u"Transfer Type", u"Firewall Name"}),
              u"Transfer Type=3 Firewall Name=Office*");
}

// Every option page table (Global Options, Session Options, the protocol modules' pages and
// their wizard pages): each control names a real setting whose kind and range fit the control,
// so a renamed setting cannot leave a dead control behind. The modules' tables exist only with
// the modules loaded, and bind to the connection record of their protocol.
TEST_F(SessionOptionsTest, EveryControlOfEveryPageTableNamesARealSettingThatFitsIt) {
    // The global record names its host-dependent options for the host it was built for.
    const OptionPageSet& global = GlobalOptionPageTable(config->IsTransferHost());
    EXPECT_EQ(Text(CheckOptionPages(global, Only(kG, config.Get()))), "");
    // The library's Session Options pages bind to the session record. The window position
    // fields are texts ("-0" is the right edge) that the Window page's rule turns into a number
    // and a side: walked as the numbers they store.
    MakeSession(u"s", u"SSH2", u"FTP");
    Open(u"s");
    auto* record = dynamic_cast<SessionConfig*>(session.Get());
    OptionPageSet pages;
    for (SessionPageId id : AllSessionOptionPages()) pages.pages.push_back(SessionOptionPage(id));
    for (OptionPageDescription& page : pages.pages)
        for (OptionControl& control : page.controls)
            if (control.setting && std::u16string_view(control.setting).ends_with(u" Position"))
                control.kind = K::kNumber;
    EXPECT_EQ(Text(CheckOptionPages(pages, Only(OptionRecord::kSession, record))), "");
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    std::map<int, std::string> wizardIds{{NewSessionWizardModel::kFinishPage, "finish"}};
    int modulesWithPages = 0;
    for (int row = 0; row < table.GetSize(); ++row) {
        const auto& protocol = table[row];
        const std::string name = VUnicodeString(protocol.protocolName).ToUtf8();
        SCOPED_TRACE(name);
        const bool transfer = IsTransferProduct(ToProduct(protocol.productId));
        transfer ? record->SetTransferProtocol(protocol.protocolName.c_str())
                 : record->SetTerminalProtocol(protocol.protocolName.c_str());
        VProfileData* connection =
            transfer ? record->GetTransferConnectConfig() : record->GetTermConnectConfig();
        const auto resolve = [&](OptionRecord) { return connection; };
        if (const auto* set = static_cast<const OptionPageSet*>(protocol.sessionPages())) {
            ++modulesWithPages;
            EXPECT_EQ(Text(CheckOptionPages(*set, resolve)), "");
        }
        int id = 0;
        const auto* wizard = static_cast<const OptionPageDescription*>(
            protocol.wizardPage ? protocol.wizardPage(nullptr, 0, &id) : nullptr);
        // A protocol of two products has one wizard page; two protocols never share an id.
        if (!wizard || !wizardIds.emplace(id, name).second) {
            EXPECT_TRUE(!wizard || wizardIds.at(id) == name) << "two wizard pages share an id";
            continue;
        }
        EXPECT_EQ(Text(CheckOptionPages(OptionPageSet{{*wizard}}, resolve)), "");
    }
    // Every module has its session pages and a wizard page of its own, beside the finish page.
    EXPECT_EQ(modulesWithPages, 6);
    EXPECT_EQ(wizardIds.size(), 7u);
}

}  // namespace
