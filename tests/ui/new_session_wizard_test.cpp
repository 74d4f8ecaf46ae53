// The new-session wizard's model on a real configuration folder, with protocol rows that use the
// protocol modules' own connection and wizard page code.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>

#include "plugins/common/wizard_pages.h"
#include "session/setting_lookup.h"
#include "support/scripted_prompt.h"
#include "ui/model/new_session_wizard_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;
using Wizard = NewSessionWizardModel;

namespace {

// A protocol kept under "Hostname" with a port of its own.
plugin::ProtocolDescription Described(const char16_t* name, const char16_t* port, int defaultPort,
                                      bool transferSide = false) {
    return {.protocolName = name,
            .portValueName = port,
            .defaultPort = defaultPort,
            .hostValueName = u"Hostname",
            .transferSide = transferSide,
            .options = {}};
}
const plugin::ProtocolDescription kSsh2 = Described(u"SSH2", u"[SSH2] Port", 22);
const plugin::ProtocolDescription kTelnet = Described(u"Telnet", u"[Telnet] Port", 23);
const plugin::ProtocolDescription kSsh1New = Described(u"ssh1.new", u"[SSH2] Port", 22);
const plugin::ProtocolDescription kSftp = Described(u"SFTP", u"[SFTP] Port", 22, true);
const plugin::ProtocolDescription kFtp = Described(u"FTP", u"[FTP] Port", 21, true);
const plugin::ProtocolDescription kSerial{
    .protocolName = u"Serial",
    .hostValueName = u"Com Port",
    .options = {{.name = u"Baud Rate", .numberDefault = 38400},
                {.name = u"Parity", .numberDefault = 0}}};

template <const plugin::ProtocolDescription& description>
ConnectConfig* Create(VProfileKey* key, ICommonConfig*) {
    return new plugin::ProtocolConfig(description, key);
}

template <const plugin::ProtocolDescription& description>
void AddRow(int product) {
    ConnectProtocolTableElement row;
    row.productId = product;
    row.protocolName = description.protocolName;
    row.Create = &Create<description>;
    row.wizardPage = &plugin::WizardPageOf<description>;
    GetConnectProtocolTable().Add(row);
}

void AddNoneRow(int product) {
    ConnectProtocolTableElement row;
    row.productId = product;
    row.protocolName = u"None";
    row.Create = &NoneConfig::Create;
    GetConnectProtocolTable().Add(row);
}

struct Installed {
    bool terminal;
    bool transfer;
    bool canLaunch;
};

class WizardTest : public UiStoreTest {
protected:
    WizardTest() {
        GetConnectProtocolTable().ResetForTesting();
        // An integrated table: the newer terminal's rows, the older terminal's, the transfer
        // application's, each product with its "None" row.
        AddRow<kSsh2>(3);
        AddRow<kTelnet>(3);
        AddRow<kSerial>(3);
        AddNoneRow(3);
        AddRow<kTelnet>(1);
        AddNoneRow(1);
        AddRow<kSftp>(6);
        AddRow<kFtp>(6);
        AddNoneRow(6);
        MakeSession(u"Default", u"SSH2", u"SFTP", u"");
        session = VUnknownPointer<ISessionConfig>::Adopt(
            SessionDatabase().Lookup(VUnicodeString(u"Default")));
        // As the session manager hands a new session over.
        session->SetSessionPath(VUnicodeString(u"New"));
        session->SetSessionName(VUnicodeString(u"New"));
    }
    ~WizardTest() override { GetConnectProtocolTable().ResetForTesting(); }

    SessionConfig& Session() { return *dynamic_cast<SessionConfig*>(session.Get()); }
    std::unique_ptr<Wizard> Open(int product, Installed installed) {
        auto wizard = std::make_unique<Wizard>(
            Session(), product,
            WizardApplications{installed.terminal, installed.transfer, installed.canLaunch}, prompt,
            GetConnectProtocolTable());
        wizard->InitPages();
        return wizard;
    }
    static std::vector<long> Ids(const Wizard& wizard) {
        std::vector<long> ids;
        for (const WizardPage& page : wizard.Pages()) ids.push_back(page.id);
        return ids;
    }
    static void Type(Wizard& wizard, std::u16string_view setting, std::u16string text) {
        OptionPage* page = wizard.ProtocolPage();
        const int index = page ? page->IndexOf(setting) : -1;
        if (index < 0) {
            ADD_FAILURE() << "no control for the setting";
            return;
        }
        page->Value(index).text = std::move(text);
    }
    static std::u16string Setting(VProfileData* record, std::u16string_view name) {
        if (!record) return u"<no record>";
        const FoundSetting found = FindSetting(*record, name);
        return found.setting ? found.setting->Text().value_or(u"") : u"<none>";
    }

    VUnknownPointer<ISessionConfig> session;
    ScriptedPrompt prompt;
};

long IdOf(std::u16string_view protocol) {
    return plugin::WizardPageId(protocol);
}

TEST_F(WizardTest, PagesAndFirstListForEachCombinationOfInstalledApplications) {
    const long single = Wizard::kProtocolSinglePage, terminal = Wizard::kTerminalPage,
               transfer = Wizard::kTransferPage, finish = Wizard::kFinishPage;
    struct Case {
        const char* name;
        int product;
        Installed installed;
        std::vector<long> pages;
        int secondProduct;
        std::vector<std::u16string> choices;
        std::u16string selected;
    };
    const Case cases[] = {
        {"terminal only",
         3,
         {true, false, false},
         {single, IdOf(u"SSH2"), IdOf(u"Telnet"), IdOf(u"Serial"), finish},
         0,
         {u"SSH2", u"Telnet", u"Serial"},
         u"SSH2"},
        {"transfer only",
         6,
         {false, true, false},
         {single, IdOf(u"SFTP"), IdOf(u"FTP"), finish},
         0,
         {u"SFTP", u"FTP"},
         u"SFTP"},
        {"both, terminal host",
         3,
         {true, true, true},
         {terminal, transfer, IdOf(u"SSH2"), IdOf(u"Telnet"), IdOf(u"Serial"), IdOf(u"SFTP"),
          IdOf(u"FTP"), finish},
         6,
         {u"SSH2", u"Telnet", u"Serial", u"None"},
         u"SSH2"},
        {"both, transfer host, older terminal",
         6,
         {true, true, false},
         {terminal, transfer, IdOf(u"Telnet"), IdOf(u"SFTP"), IdOf(u"FTP"), finish},
         1,
         {u"Telnet", u"None"},
         u"Telnet"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto wizard = Open(c.product, c.installed);
        // Pages are listed in table order, protocol pages after the list pages; a protocol of
        // two products brings one page.
        std::vector<long> expected = c.pages;
        std::vector<long> actual = Ids(*wizard);
        std::sort(expected.begin() + 1, expected.end() - 1);
        std::sort(actual.begin() + 1, actual.end() - 1);
        EXPECT_EQ(actual, expected);
        EXPECT_EQ(wizard->SecondProduct(), c.secondProduct);
        EXPECT_EQ(wizard->CurrentId(), c.pages.front());
        EXPECT_EQ(wizard->Choices(), c.choices);
        ASSERT_GE(wizard->Selection(), 0);
        EXPECT_EQ(wizard->Choices()[static_cast<size_t>(wizard->Selection())], c.selected);
    }
}

TEST_F(WizardTest, NextLeadsThroughTheChosenProtocolsPages) {
    struct Step {
        std::u16string choice;  // on a list page; empty elsewhere
        long then;              // the page Next shows
    };
    struct Case {
        const char* name;
        int product;
        Installed installed;
        std::vector<Step> steps;
        std::u16string terminal, transfer;  // the session's protocols at the end
    };
    const Case cases[] = {
        {"terminal None goes straight to the transfer list",
         3,
         {true, true, true},
         {{u"None", Wizard::kTransferPage}, {u"FTP", IdOf(u"FTP")}, {u"", Wizard::kFinishPage}},
         u"None",
         u"FTP"},
        {"SSH2 then SFTP shows the SSH2 page once",
         3,
         {true, true, true},
         {{u"SSH2", IdOf(u"SSH2")}, {u"", Wizard::kTransferPage}, {u"SFTP", Wizard::kFinishPage}},
         u"SSH2",
         u"SFTP"},
        {"a terminal-only session",
         3,
         {true, true, true},
         {{u"Telnet", IdOf(u"Telnet")},
          {u"", Wizard::kTransferPage},
          {u"None", Wizard::kFinishPage}},
         u"Telnet",
         u"None"},
        {"single list, terminal host",
         3,
         {true, false, false},
         {{u"Serial", IdOf(u"Serial")}, {u"", Wizard::kFinishPage}},
         u"Serial",
         u"SFTP"},
        {"single list, transfer host",
         6,
         {false, true, false},
         {{u"FTP", IdOf(u"FTP")}, {u"", Wizard::kFinishPage}},
         u"SSH2",
         u"FTP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session().SetTerminalProtocol(u"SSH2");
        Session().SetTransferProtocol(u"SFTP");
        auto wizard = Open(c.product, c.installed);
        std::vector<long> visited{wizard->CurrentId()};
        for (const Step& step : c.steps) {
            if (!step.choice.empty()) {
                ASSERT_TRUE(wizard->SelectName(step.choice));
            }
            // The first control of every protocol page is where to connect.
            if (wizard->Current().kind == WizardPageKind::kProtocol)
                wizard->ProtocolPage()->Value(0).text = u"host.example";
            ASSERT_TRUE(wizard->Next());
            EXPECT_EQ(wizard->CurrentId(), step.then);
            visited.push_back(wizard->CurrentId());
        }
        EXPECT_EQ(Session().GetTerminalProtocol().str(), c.terminal);
        EXPECT_EQ(Session().GetTransferProtocol().str(), c.transfer);
        // Back retraces the way exactly, and stops on the first page.
        for (auto it = visited.rbegin() + 1; it != visited.rend(); ++it) {
            ASSERT_TRUE(wizard->Back());
            EXPECT_EQ(wizard->CurrentId(), *it);
        }
        EXPECT_FALSE(wizard->Back());
        EXPECT_TRUE(prompt.Questions().empty());
    }
}

TEST_F(WizardTest, TransferListLeavesOutNoneOnlyAfterTerminalNone) {
    auto wizard = Open(3, {true, true, true});
    ASSERT_TRUE(wizard->SelectName(u"None"));
    ASSERT_TRUE(wizard->Next());
    EXPECT_TRUE(wizard->IsVetraProtocolNone());
    EXPECT_EQ(wizard->GetPreviousID(), Wizard::kTerminalPage);
    EXPECT_EQ(wizard->Choices(), (std::vector<std::u16string>{u"SFTP", u"FTP"}));
    // Back to a real terminal protocol: the flag clears and the list offers "None" again.
    ASSERT_TRUE(wizard->Back());
    ASSERT_TRUE(wizard->SelectName(u"Telnet"));
    ASSERT_TRUE(wizard->Next());
    EXPECT_FALSE(wizard->IsVetraProtocolNone());
    Type(*wizard, u"Hostname", u"h");
    ASSERT_TRUE(wizard->Next());
    EXPECT_EQ(wizard->CurrentId(), Wizard::kTransferPage);
    EXPECT_EQ(wizard->Choices(), (std::vector<std::u16string>{u"SFTP", u"FTP", u"None"}));
}

TEST_F(WizardTest, Ssh1NewRowIsRecordedAndReadAsSsh2) {
    GetConnectProtocolTable().ResetForTesting();
    AddRow<kSsh1New>(3);
    AddRow<kTelnet>(3);
    auto wizard = Open(3, {true, false, false});
    const long page = IdOf(u"ssh1.new");
    EXPECT_EQ(wizard->GetNextProtocolResourceID(u"SSH2"), page);
    EXPECT_EQ(wizard->GetNextProtocolResourceID(u"ssh1.new"), 0);
    ASSERT_TRUE(wizard->SelectName(u"ssh1.new"));
    ASSERT_TRUE(wizard->Next());
    EXPECT_EQ(wizard->CurrentId(), page);
    EXPECT_EQ(wizard->Current().protocol, u"SSH2");
}

TEST_F(WizardTest, ButtonMasksOnEachPage) {
    constexpr int back = Wizard::kBackButton, next = Wizard::kNextButton,
                  finish = Wizard::kFinishButton;
    auto wizard = Open(3, {true, false, false});
    auto masks = [&] {
        const auto buttons = wizard->Buttons();
        return std::pair{buttons.show, buttons.enable};
    };
    EXPECT_EQ(masks(), std::pair(back | next, next));
    ASSERT_TRUE(wizard->Next());  // SSH2's page
    EXPECT_EQ(masks(), std::pair(back | next, back | next));
    Type(*wizard, u"Hostname", u"h");
    ASSERT_TRUE(wizard->Next());
    EXPECT_EQ(wizard->CurrentId(), Wizard::kFinishPage);
    EXPECT_EQ(masks(), std::pair(back | finish, back | finish));
}

TEST_F(WizardTest, ProtocolPageRefusesABadNumberAndWritesTheConnection) {
    auto wizard = Open(3, {true, false, false});
    ASSERT_TRUE(wizard->SelectName(u"SSH2"));
    ASSERT_TRUE(wizard->Next());
    // The page comes with the connection's values.
    Type(*wizard, u"Hostname", u"server.example");
    Type(*wizard, u"Username", u"alice");
    for (const char16_t* bad : {u"22x", u"65536"}) {
        Type(*wizard, u"[SSH2] Port", bad);
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(wizard->Next());
        EXPECT_EQ(wizard->CurrentId(), IdOf(u"SSH2"));
        // The option pages' own refusal, naming the range of a TCP port.
        EXPECT_EQ(prompt.Questions().back().text, u"Please enter a value between 1 and 65535.")
            << prompt.Questions().back().text.ToUtf8();
        // Nothing of a refused page reaches the session.
        EXPECT_EQ(Setting(Session().GetTermConnectConfig(), u"Hostname"), u"");
    }
    Type(*wizard, u"[SSH2] Port", u"2222");
    ASSERT_TRUE(wizard->Next());
    ConnectConfig* connection = Session().GetTermConnectConfig();
    EXPECT_EQ(Setting(connection, u"Hostname"), u"server.example");
    EXPECT_EQ(Setting(connection, u"Username"), u"alice");
    EXPECT_EQ(Setting(connection, u"[SSH2] Port"), u"2222");
    // Back shows what was stored.
    ASSERT_TRUE(wizard->Back());
    ASSERT_EQ(wizard->ProtocolPage()->ControlCount(), 3u);
    EXPECT_EQ(wizard->ProtocolPage()->Value(0).text, u"server.example");
    EXPECT_EQ(wizard->ProtocolPage()->Value(1).text, u"2222");
}

TEST_F(WizardTest, FinishRefusesBadNamesWithTheirMessages) {
    MakeSession(u"taken", u"SSH2", u"", u"x");
    struct Case {
        std::u16string name;
        std::u16string message;
    };
    const Case cases[] = {
        {u"a/b", u"The session name contains an illegal character: ' / '"},
        {u" TAKEN ", u"'TAKEN' is already in use."},
    };
    auto wizard = Open(6, {false, true, false});
    ASSERT_TRUE(wizard->SelectName(u"FTP"));
    ASSERT_TRUE(wizard->Next());
    Type(*wizard, u"Hostname", u"files.example");
    ASSERT_TRUE(wizard->Next());
    for (const Case& c : cases) {
        SCOPED_TRACE(VUnicodeString(c.name).ToUtf8());
        wizard->name = c.name;
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(wizard->Finish());
        EXPECT_EQ(prompt.Questions().back().text.str(), c.message);
        EXPECT_EQ(Session().GetSessionName().str(), u"New");
    }
    wizard->name = u"  files  ";
    wizard->description = u"first line\nsecond line";
    ASSERT_TRUE(wizard->Finish());
    EXPECT_EQ(Session().GetSessionName().str(), u"files");
    EXPECT_EQ(Session().GetSessionPath().str(), u"files");
    ASSERT_EQ(Session().description.Get().GetSize(), 2);
    EXPECT_EQ(Session().description.Get()[1].str(), u"second line");
}

TEST_F(WizardTest, DefaultNameIsTheHostMadeUnique) {
    MakeSession(u"web.example", u"SSH2", u"", u"x");
    MakeSession(u"web.example (1)", u"SSH2", u"", u"x");
    MakeSession(u"New", u"SSH2", u"", u"x");
    struct Case {
        const char* name;
        std::u16string host;
        std::u16string expected;
    };
    const Case cases[] = {
        {"host taken twice", u"web.example", u"web.example (2)"},
        {"host free", u"db.example", u"db.example"},
        {"no host: the session's name, made unique", u"", u"New (1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto wizard = Open(3, {true, false, false});
        ASSERT_TRUE(wizard->SelectName(u"Telnet"));
        ASSERT_TRUE(wizard->Next());
        Type(*wizard, u"Hostname", c.host);
        ASSERT_TRUE(wizard->Next());
        EXPECT_EQ(wizard->name, c.expected);
    }
}

// Every control of every generated page names a setting the protocol's connection has, with a
// kind the control can show: a renamed option cannot leave a dead field on a page.
TEST(WizardPages, EveryControlNamesARealSettingOfItsProtocol) {
    struct Case {
        const plugin::ProtocolDescription* description;
        std::vector<std::u16string> settings;
    };
    const Case cases[] = {
        {&kSsh2, {u"Hostname", u"[SSH2] Port", u"Username"}},
        {&kSerial, {u"Com Port", u"Baud Rate"}},
        {&kSftp, {u"Hostname", u"[SFTP] Port", u"Username"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(VUnicodeString(c.description->protocolName).ToUtf8());
        int id = 0;
        const OptionPageDescription* page = plugin::WizardPageFor(*c.description, &id);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(id, plugin::WizardPageId(c.description->protocolName));
        EXPECT_EQ(page->pageId, id);
        EXPECT_EQ(plugin::WizardPageFor(*c.description, nullptr), page);  // built once
        plugin::ProtocolConfig connection(*c.description, nullptr);
        std::vector<std::u16string> named;
        for (const OptionControl& control : page->controls) {
            named.push_back(control.setting);
            EXPECT_EQ(control.record, c.description->transferSide
                                          ? OptionRecord::kTransferConnection
                                          : OptionRecord::kTerminalConnection);
            const FoundSetting found = FindSetting(connection, control.setting);
            ASSERT_NE(found.setting, nullptr);
            const bool number = found.description.kind == SettingKind::kInteger;
            EXPECT_EQ(control.kind == OptionControlKind::kNumber, number);
        }
        EXPECT_EQ(named, c.settings);
    }
    // The reference protocols' pages never share an id.
    std::set<int> ids;
    for (const char16_t* name :
         {u"SSH2", u"SSH1", u"Telnet", u"Telnet/SSL", u"RLogin", u"Serial", u"TAPI", u"SFTP",
          u"FTP", u"FTP/SSL (implicit)", u"FTP/SSL (explicit)"})
        EXPECT_TRUE(ids.insert(plugin::WizardPageId(name)).second);
    EXPECT_EQ(ids.count(static_cast<int>(Wizard::kFinishPage)), 0u);
}

}  // namespace
