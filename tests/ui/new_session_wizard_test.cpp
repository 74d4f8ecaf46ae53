// The new-session wizard's model on a real configuration folder, with protocol rows that use the
// protocol modules' own connection and wizard page code.
#include <gtest/gtest.h>

#include <memory>

#include "plugins/common/wizard_pages.h"
#include "session/setting_lookup.h"
#include "support/golden.h"
#include "support/scripted_prompt.h"
#include "ui/model/new_session_wizard_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;
using Wizard = NewSessionWizardModel;

namespace {

// Protocols kept under "Hostname" with a port of their own, and a serial line.
const plugin::ProtocolDescription kSsh2{u"SSH2", u"[SSH2] Port", 22, u"Hostname", false, {}},
    kTelnet{u"Telnet", u"[Telnet] Port", 23, u"Hostname", false, {}},
    kSsh1New{u"ssh1.new", u"[SSH2] Port", 22, u"Hostname", false, {}},
    kSftp{u"SFTP", u"[SFTP] Port", 22, u"Hostname", true, {}},
    kFtp{u"FTP", u"[FTP] Port", 21, u"Hostname", true, {}};
const plugin::ProtocolDescription kSerial{
    .protocolName = u"Serial",
    .hostValueName = u"Com Port",
    .options = {{.name = u"Baud Rate", .numberDefault = 38400}, {.name = u"Parity"}}};
// A row of `product` for the protocol, or its "None" row when none is given.
template <const plugin::ProtocolDescription* description = nullptr>
void AddRow(int product) {
    ConnectProtocolTableElement row;
    row.productId = product;
    row.protocolName = u"None";
    row.Create = &NoneConfig::Create;
    if constexpr (description != nullptr) {
        row.protocolName = description->protocolName;
        row.Create = [](VProfileKey* key, ICommonConfig*) -> ConnectConfig* {
            return new plugin::ProtocolConfig(*description, key);
        };
        row.wizardPage = &plugin::WizardPageOf<*description>;
    }
    GetConnectProtocolTable().Add(row);
}

using Installed = WizardApplications;

class WizardTest : public UiStoreTest {
protected:
    WizardTest() {
        GetConnectProtocolTable().ResetForTesting();
        // An integrated table: the newer terminal's rows, the older terminal's, the transfer
        // application's, each product with its "None" row.
        for (auto add : {AddRow<&kSsh2>, AddRow<&kTelnet>, AddRow<&kSerial>, AddRow<>}) add(3);
        for (auto add : {AddRow<&kTelnet>, AddRow<>}) add(1);
        for (auto add : {AddRow<&kSftp>, AddRow<&kFtp>, AddRow<>}) add(6);
        MakeSession(u"Default", u"SSH2", u"SFTP", u"");
        MakeTree(u"web.example|web.example (1)|New");  // names the default name steps around
        session = VUnknownPointer<ISessionConfig>::Adopt(
            SessionDatabase().Lookup(VUnicodeString(u"Default")));
        // As the session manager hands a new session over.
        session->SetSessionPath(VUnicodeString(u"New"));
        session->SetSessionName(VUnicodeString(u"New"));
    }
    ~WizardTest() override { GetConnectProtocolTable().ResetForTesting(); }

    SessionConfig& Session() { return *dynamic_cast<SessionConfig*>(session.Get()); }
    std::unique_ptr<Wizard> Open(int product, Installed installed) {
        auto wizard = std::make_unique<Wizard>(Session(), product, installed, prompt,
                                               GetConnectProtocolTable());
        wizard->InitPages();
        return wizard;
    }
    static void Type(Wizard& wizard, std::u16string_view setting, std::u16string text) {
        OptionPage* page = wizard.ProtocolPage();
        const int index = page ? page->IndexOf(setting) : -1;
        ASSERT_GE(index, 0) << "no control for the setting";
        page->Value(index).text = std::move(text);
    }
    static std::u16string Setting(VProfileData* record, std::u16string_view name) {
        const FoundSetting found = record ? FindSetting(*record, name) : FoundSetting{};
        return found.setting ? found.setting->Text().value_or(u"") : u"<none>";
    }

    VUnknownPointer<ISessionConfig> session;
    ScriptedPrompt prompt;
};

// A page id as a word: the list and finish pages by their role, a protocol page by its protocol.
std::string PageName(long id) {
    if (id == Wizard::kProtocolSinglePage) return "list";
    if (id == Wizard::kTerminalPage) return "terminal-list";
    if (id == Wizard::kTransferPage) return "transfer-list";
    if (id == Wizard::kFinishPage) return "finish";
    for (const char16_t* protocol : {u"SSH2", u"Telnet", u"Serial", u"SFTP", u"FTP"})
        if (id == plugin::WizardPageId(protocol)) return VUnicodeString(protocol).ToUtf8();
    return std::to_string(id);
}

// For each combination of installed applications and a chain of choices
// (tests/golden/ui/wizard-chains.txt): the pages (list pages, then the protocol pages in table
// order, then finish) and the second product; then the pages Next shows with their buttons
// (shown/enabled masks) and a list page's [choices] with the selection marked "*", and the
// session's protocols and the finish page's default name at the end: the host typed on the way (the
// terminal side's, else the transfer side's) made unique, or without one the session's name "New"
// made unique. Back then retraces the way exactly and stops on the first page.
TEST_F(WizardTest, PagesForTheInstalledApplicationsAndNextThroughTheChosenProtocols) {
    const Installed terminal{true, false, false}, transfer{false, true, false},
        both{true, true, true}, older{true, true, false};  // older: the older terminal
    const struct {
        const char* name;
        int product;
        Installed installed;
        std::vector<std::u16string> choices;  // on each list page, in order
        const char16_t* host;  // typed on the first protocol page, "files.example" on a second
    } cases[] = {
        {"terminal only", 3, terminal, {u"Serial"}, u""},
        {"transfer only", 6, transfer, {u"FTP"}, u"ftp.example"},
        {"both, None goes to the transfer list", 3, both, {u"None", u"FTP"}, u"web.example"},
        {"both, SFTP after SSH2 shares its page", 3, both, {u"SSH2", u"SFTP"}, u"web.example"},
        {"both, a terminal-only session", 3, both, {u"Telnet", u"None"}, u"db.example"},
        {"both, transfer host, older terminal", 6, older, {u"Telnet", u"FTP"}, u"db.example"},
    };
    std::string text;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A list opens on the session's protocol where it lists it.
        Session().SetTerminalProtocol(u"Telnet");
        Session().SetTransferProtocol(u"FTP");
        auto wizard = Open(c.product, c.installed);
        // A protocol of two products brings one page.
        text += std::string(c.name) + ":";
        for (const WizardPage& page : wizard->Pages()) text += " " + PageName(page.id);
        text += "; second product " + std::to_string(wizard->SecondProduct()) + ";";
        std::vector<long> visited{wizard->CurrentId()};
        size_t chosen = 0, typed = 0;
        while (visited.size() < 8) {
            const auto buttons = wizard->Buttons();
            text += " " + PageName(visited.back()) + "(" + std::to_string(buttons.show) + "/" +
                    std::to_string(buttons.enable) + ")";
            if (wizard->CurrentId() == Wizard::kFinishPage) break;
            if (wizard->Current().kind == WizardPageKind::kProtocol)  // where to connect
                wizard->ProtocolPage()->Value(0).text = typed++ ? u"files.example" : c.host;
            else if (chosen < c.choices.size()) {
                std::u16string list;
                for (size_t i = 0; i < wizard->Choices().size(); ++i)
                    list += (i ? u"," : u"") + wizard->Choices()[i] +
                            (static_cast<int>(i) == wizard->Selection() ? u"*" : u"");
                text += "[" + VUnicodeString(list).ToUtf8() + "]";
                ASSERT_TRUE(wizard->SelectName(c.choices[chosen++]));
            }
            ASSERT_TRUE(wizard->Next());
            visited.push_back(wizard->CurrentId());
        }
        text += "; " + Session().GetTerminalProtocol().ToUtf8() + "/" +
                Session().GetTransferProtocol().ToUtf8() + "; " +
                VUnicodeString(wizard->name).ToUtf8() + "\n";
        for (auto it = visited.rbegin() + 1; it != visited.rend(); ++it) {
            ASSERT_TRUE(wizard->Back());
            EXPECT_EQ(wizard->CurrentId(), *it);
        }
        EXPECT_FALSE(wizard->Back());
    }
    ExpectMatchesGolden("ui/wizard-chains.txt", text);
}

// One SSH2 session to Finish, on a table whose SSH2 row is still named "ssh1.new": the row's page
// is recorded and read as SSH2's. The protocol page refuses a bad port and writes the connection,
// Back shows what was stored, and Finish refuses a taken name before it writes name and
// description.
TEST_F(WizardTest, Ssh1NewIsSsh2AndProtocolPageAndFinishWriteTheSessionAndRefuseBadValues) {
    GetConnectProtocolTable().ResetForTesting();
    AddRow<&kSsh1New>(3);
    AddRow<&kTelnet>(3);
    auto wizard = Open(3, {true, false, false});
    const long page = plugin::WizardPageId(u"ssh1.new");
    EXPECT_EQ(wizard->GetNextProtocolResourceID(u"SSH2"), page);
    EXPECT_EQ(wizard->GetNextProtocolResourceID(u"ssh1.new"), 0);
    ASSERT_TRUE(wizard->SelectName(u"ssh1.new") && wizard->Next());
    EXPECT_EQ(wizard->CurrentId(), page);
    EXPECT_EQ(wizard->Current().protocol, u"SSH2");
    Type(*wizard, u"Hostname", u"web.example");
    Type(*wizard, u"Username", u"alice");
    for (const char16_t* bad : {u"22x", u"65536"}) {  // the option pages' own refusal
        Type(*wizard, u"[SSH2] Port", bad);
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(wizard->Next());
        EXPECT_EQ(prompt.Questions().back().text, u"Please enter a value between 1 and 65535.");
    }
    // The page stays, and nothing of it reaches the session.
    EXPECT_EQ(wizard->CurrentId(), page);
    EXPECT_EQ(Setting(Session().GetTermConnectConfig(), u"Hostname"), u"");
    Type(*wizard, u"[SSH2] Port", u"2222");
    ASSERT_TRUE(wizard->Next());
    ConnectConfig* connection = Session().GetTermConnectConfig();
    EXPECT_EQ(Setting(connection, u"Hostname") + u"/" + Setting(connection, u"Username") + u"/" +
                  Setting(connection, u"[SSH2] Port"),
              u"web.example/alice/2222");
    ASSERT_TRUE(wizard->Back());
    ASSERT_EQ(wizard->ProtocolPage()->ControlCount(), 3u);
    EXPECT_EQ(wizard->ProtocolPage()->Value(1).text, u"2222");
    ASSERT_TRUE(wizard->Next());
    // The name offered follows the host until the user types one; an emptied name is offered
    // again, and a typed description stays.
    const auto backAndNext = [&](const char16_t* host) {
        EXPECT_TRUE(wizard->Back());
        if (host) Type(*wizard, u"Hostname", host);
        EXPECT_TRUE(wizard->Next());
        return wizard->name + u"|" + wizard->description;
    };
    EXPECT_EQ(wizard->name, u"web.example (2)");  // the fixture took the others
    EXPECT_EQ(backAndNext(u"db.example"), u"db.example|");
    wizard->name = u"mine";
    wizard->description = u"typed";
    EXPECT_EQ(backAndNext(u"web.example"), u"mine|typed");
    wizard->name.clear();
    EXPECT_EQ(backAndNext(nullptr), u"web.example (2)|typed");
    // The name rules have their own tests; one refusal shows Finish applies them.
    wizard->name = u" NEW ";
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(wizard->Finish());
    EXPECT_EQ(prompt.Questions().back().text.str(), u"'NEW' is already in use.");
    EXPECT_EQ(Session().GetSessionName().str(), u"New");
    wizard->name = u"  web  ";
    wizard->description = u"first line\nsecond line\r\n";  // Enter at the end: no third line
    ASSERT_TRUE(wizard->Finish());
    const VStringArray& lines = Session().description.Get();
    ASSERT_EQ(lines.GetSize(), 2);
    EXPECT_EQ(Session().GetSessionName().str() + u"|" + Session().GetSessionPath().str() + u"|" +
                  lines[0].str() + u"|" + lines[1].str(),
              u"web|web|first line|second line");
}

}  // namespace
