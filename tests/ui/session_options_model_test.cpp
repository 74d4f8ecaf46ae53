// Session Options with the reference protocol modules: the page set for the installed
// applications and protocols, protocol switching, read-only mode, tree selection, pages' rules.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <tuple>

#include "support/case_file.h"
#include "ui/model/session_option_pages.h"
#include "ui/session_options_fixture.h"

namespace {

// Each case of tests/golden/ui/session-page-sets.txt: the session's two protocols and the
// installed applications ("no scripts": both, with scripting disabled); the tree, whether the
// Connection page offers both sides, and the protocols it leaves.
TEST_F(SessionOptionsTest, PageSetFollowsInstalledApplicationsAndProtocols) {
    const std::map<std::string, SessionOptionsHost> installed{
        {"both", {true, true, true, true}},
        {"terminal", {true, false, true, false}},
        {"transfer", {false, true, false, true}},
        {"no scripts", {true, true, true, true}}};
    ExpectCaseFile("ui/session-page-sets.txt", [&](const std::vector<std::string>& f) {
        config->scriptingDisabled = f[2] == "no scripts";
        MakeSession(u"s", Wide(f[0]).c_str(), Wide(f[1]).c_str());
        SessionOptionsModel& options = Open(u"s", installed.at(f[2]));
        // One slot per protocol table row; a row's pages are made only when first shown.
        EXPECT_TRUE(options.ProtocolPages(Row(u"Serial")).empty());
        return VUnicodeString(frame.Tree() +
                              (options.ConnectPage().Multiple() ? u" multiple" : u"") + u" -> " +
                              session->GetTerminalProtocol().str() + u"/" +
                              session->GetTransferProtocol().str())
            .ToUtf8();
    });
}

// Each choice of tests/golden/ui/session-protocol-steps.txt in turn; the tree and protocols. The
// modules' pages keep the order in which they were first made; SSH2 shows its own pages only, and
// SFTP next to SSH2 keeps the shared SSH2 pages without a second set.
TEST_F(SessionOptionsTest, ProtocolChangesBringTheirPages) {
    MakeSession(u"s", u"SSH2", u"FTP");
    SessionOptionsModel& options = Open(u"s");
    SessionConnectPage& connect = options.ConnectPage();
    ExpectCaseFile("ui/session-protocol-steps.txt", [&](const std::vector<std::string>& f) {
        f[0] == "terminal" ? connect.ChooseTerminalProtocol(Wide(f[1]))
                           : connect.ChooseTransferProtocol(Wide(f[1]));
        return VUnicodeString(frame.Tree() + u" -> " + session->GetTerminalProtocol().str() + u"/" +
                              session->GetTransferProtocol().str())
            .ToUtf8();
    });
    // A page made once is shown again, not made twice.
    EXPECT_EQ(options.ProtocolPages(Row(u"SSH2")).size(), 1u);
    EXPECT_FALSE(options.UpdatingProtocols());
    // Pages coming with a protocol do not take the selection, even when the user left them
    // selected in an earlier dialog.
    connect.ChooseTerminalProtocol(u"Telnet");
    SessionOptionsModel::PageStateMap()[u"SSH2\nSSH2"].selected = true;
    connect.ChooseTerminalProtocol(u"SSH2");
    EXPECT_FALSE(SessionOptionsModel::PageStateMap()[u"SSH2\nSSH2"].selected ||
                 options.ProtocolPages(Row(u"SSH2"))[0]->selected);
}

TEST_F(SessionOptionsTest, ReadOnlyModeCaptionPromptAndNoWrites) {
    MakeSession(u"Servers\\web1");
    SessionOptionsModel& writable = Open(u"Servers\\web1");
    writable.ReadOnlyPrompt();  // mode 0 never asks: no answer is queued
    EXPECT_EQ(writable.Caption(), u"Session Options - web1");
    SessionOptionsModel& locked = Open(u"Servers\\web1", {}, 2);
    EXPECT_EQ(locked.Caption(), u"Session Options - web1 (Read Only)");
    // Asked until the user ticks "Do not show this message again".
    prompt.AnswerButton(VPromptAnswer::kOk, false);
    prompt.AnswerButton(VPromptAnswer::kOk, true);
    for (int i = 0; i < 3; ++i) locked.ReadOnlyPrompt();
    ASSERT_EQ(prompt.Questions().size(), 2u);
    const PromptQuestion& asked = prompt.Questions()[0];
    EXPECT_EQ(asked.kind, PromptQuestion::kOptionalMessage);
    EXPECT_EQ(asked.icon, VPromptIcon::kInformation);
    EXPECT_EQ(asked.text.str().substr(0, 51) + u"... [" + asked.checkLabel.str() + u"]",
              u"The Sessions Options that you are opening are being... [Do not show this message "
              u"again]");
    EXPECT_EQ(config->suppressReadOnlySessionOptionsWarning.Get(), 1);
    // Nothing the user does reaches the session.
    SessionOptionsPage& emulation = *locked.Page(SessionPageId::kEmulation);
    emulation.Activate();
    emulation.SetValue(u"Cols", u"100");
    EXPECT_TRUE(emulation.Validate());
    locked.ConnectPage().ChooseTerminalProtocol(u"Telnet");
    EXPECT_FALSE(session->IsModified());
    EXPECT_EQ(session->GetTerminalProtocol(), u"SSH2");
}

// The tree's selection goes to the global record after OK and comes back in the next dialog;
// a page the session manager asks for ("Connection+" for a new session) beats what this process
// remembers.
TEST_F(SessionOptionsTest, TreeSelectionPersistsAndAHostRequestWins) {
    MakeSession(u"s", u"SSH2", u"FTP");
    auto& map = SessionOptionsModel::PageStateMap();
    // Opens the dialog, with `request` from the host when given; the selected pages' labels.
    const auto selected = [&](const char16_t* request) {
        if (request) config->sessionOptionsTreeSelected = VUnicodeString(request);
        Open(u"s");
        std::u16string out;
        for (const auto& [caption, state] : map)
            if (state.selected) out += caption.substr(0, caption.find(u'\n')) + u";";
        return out;
    };
    EXPECT_EQ(selected(u"Terminal+Appearance+"), u"Appearance;");
    // The user picked Log File and pressed OK.
    for (auto& entry : map) entry.second.selected = entry.first == u"Log File";
    model->PersistTreeState();
    EXPECT_EQ(config->sessionOptionsTreeSelected.Get(), u"Terminal+Log File+");
    // Same process, no new request: the map's selection stays.
    EXPECT_EQ(selected(nullptr), u"Log File;");
    EXPECT_EQ(selected(u"Connection+"), u"Connection;");
}

// Each case of tests/golden/ui/session-page-rules.txt: the page, the values typed ("<dir>" is
// the test's folder), and the message or "accepted".
TEST_F(SessionOptionsTest, PageRulesRefuseWithTheirMessages) {
    MakeSession(u"s");
    std::ofstream(dir / "my.key") << "\n";
    ExpectCaseFile("ui/session-page-rules.txt", [&](const std::vector<std::string>& f) {
        SessionOptionsModel& options = Open(u"s");
        SessionOptionsPage* page = nullptr;
        for (SessionPageId id : AllSessionOptionPages())
            if (options.Page(id) && options.Page(id)->TreeLabel() == Wide(f[0]))
                page = options.Page(id);
        if (!page) return "no page " + f[0];
        page->Activate();
        for (std::size_t i = 1; i < f.size(); ++i) {
            std::string typed = f[i].substr(f[i].find('=') + 1);
            if (typed.starts_with("<dir>")) typed.replace(0, 5, dir.path().string());
            page->SetValue(Wide(f[i].substr(0, f[i].find('='))), Wide(typed));
        }
        // An answer waits for the refusal a case may bring; an accepted case leaves it queued.
        if (prompt.PendingAnswers() == 0) prompt.AnswerButton(VPromptAnswer::kOk);
        const std::size_t asked = prompt.Questions().size();
        const bool accepted = page->Validate();
        if (prompt.Questions().size() == asked)
            return std::string(accepted ? "accepted" : "refused without a message");
        EXPECT_FALSE(accepted) << "accepted with a message";
        return prompt.Questions().back().text.ToUtf8();
    });
    // The last case is accepted and left its answer queued (none would fail the test here).
    prompt.ShowMessage(VUnicodeString(u"end"), {}, VPromptButtons::kOk, VPromptIcon::kNone);
    // "-0" is the right edge: the position 0 measured from the right, shown again as written.
    const auto& terminal = dynamic_cast<SessionConfig&>(*session).terminal;
    EXPECT_EQ(std::make_tuple(terminal.xPositionRelativeLeft.Get(), terminal.yPosition.Get(),
                              terminal.yPositionRelativeTop.Get()),
              std::make_tuple(0, 40, 1));
    SessionOptionsPage& window = *model->Page(SessionPageId::kWindow);
    window.Activate();
    EXPECT_EQ(window.Value(u"X Position"), u"-0");
}

// The Connection page's rules, the CUA warning, and the SSH2 module's page writing only what
// changed after refusing a bad port.
TEST_F(SessionOptionsTest, ConnectionAndProtocolPageRulesAndCuaWarning) {
    MakeSession(u"Servers\\web1", u"SSH2", u"SFTP");
    MakeSession(u"Servers\\web2");
    SessionOptionsModel& options = Open(u"Servers\\web1");
    SessionConnectPage& connect = options.ConnectPage();
    // The message of a refused Validate.
    const auto refused = [&](OptionPage& page) {
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(page.Validate());
        return prompt.Questions().back().text.str();
    };
    connect.Activate();
    connect.SetName(u"WEB2");
    EXPECT_EQ(refused(connect), u"'WEB2' is already in use.");
    EXPECT_EQ(prompt.Questions().back().icon, VPromptIcon::kExclamation);
    connect.SetName(u" Web1 ");
    connect.ChooseTerminalProtocol(u"None");
    connect.ChooseTransferProtocol(u"None");
    EXPECT_EQ(refused(connect), u"Both selected protocols cannot be 'None'.");
    connect.ChooseTransferProtocol(u"FTP");
    EXPECT_TRUE(connect.Validate());
    EXPECT_EQ(options.ChosenName(), u"Web1");
    // Turning CUA on warns once and is kept; leaving it on says nothing more.
    connect.ChooseTerminalProtocol(u"SSH2");
    SessionOptionsPage& terminal = *options.Page(SessionPageId::kTerminal);
    terminal.Activate();
    terminal.SetValue(u"CUA Copy Paste", u"1");
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_TRUE(terminal.Validate());
    EXPECT_NE(prompt.Questions().back().text.str().find(u"Turning on CUA copy and paste"),
              std::u16string::npos);
    terminal.Activate();
    EXPECT_TRUE(terminal.Validate());  // a second warning would find no answer queued

    SessionOptionsPage& ssh2 = *options.ProtocolPages(Row(u"SSH2"))[0];
    ASSERT_TRUE(ssh2.Activate());
    EXPECT_EQ(ssh2.Caption() + u" " + ssh2.Value(u"Hostname") + u":" + ssh2.Value(u"[SSH2] Port"),
              u"SSH2\nSSH2 example:22");
    session->Checkpoint();
    ssh2.SetValue(u"[SSH2] Port", u"2x2");
    refused(ssh2);
    EXPECT_FALSE(session->IsModified());
    ssh2.SetValue(u"[SSH2] Port", u"2222");
    EXPECT_TRUE(ssh2.Validate());
    EXPECT_EQ(session->GetTermConnectConfig()->GetPort(), 2222);
    EXPECT_EQ(session->GetTermConnectConfig()->GetHostname(), u"example");
    // With SFTP beside it the SSH2 page stands for both sides, so OK gives its port and password
    // to SFTP; where the page left the port alone, two different stored ports both stay.
    ssh2.SetValue(u"Password", u"s3cret");
    EXPECT_TRUE(ssh2.Validate());
    connect.ChooseTransferProtocol(u"SFTP");
    options.ApplySharedPages();
    EXPECT_EQ(session->GetTransferConnectConfig()->GetPort(), 2222);
    EXPECT_EQ(session->GetTransferConnectConfig()->GetPassword().str(), u"s3cret");
    SessionOptionsModel& other = Open(u"Servers\\web2");
    session->GetTransferConnectConfig()->SetPort(990);
    other.ApplySharedPages();
    EXPECT_EQ(session->GetTransferConnectConfig()->GetPort(), 990);
}

}  // namespace
