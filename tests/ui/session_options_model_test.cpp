// Session Options on real configuration folders with the reference protocol modules: the page
// set for each combination of installed applications and protocols, protocol switching, the
// read-only mode, the binding of controls to settings and the pages' rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session/setting_lookup.h"
#include "support/case_file.h"
#include "ui/model/session_option_pages.h"
#include "ui/session_options_fixture.h"

using namespace sessiondeck;

namespace {

// For each pair of protocols and installed applications (tests/golden/ui/session-page-sets.txt):
// the tree, whether the Connection page offers both sides, and the protocols it leaves.
TEST_F(SessionOptionsTest, PageSetFollowsInstalledApplicationsAndProtocols) {
    const SessionOptionsHost both{true, true, true, true};
    const SessionOptionsHost terminalOnly{true, false, true, false};
    const SessionOptionsHost transferOnly{false, true, false, true};
    const struct {
        const char16_t *terminal, *transfer;
        SessionOptionsHost installed;
        const char* name;
    } rows[] = {
        {u"SSH2", u"SFTP", both, "both"},
        {u"Telnet", u"FTP", both, "both"},
        {u"SSH2", u"None", both, "both"},
        {u"None", u"SFTP", both, "both"},
        {u"SSH2", u"SFTP", terminalOnly, "terminal"},
        {u"SSH2", u"FTP", transferOnly, "transfer"},
    };
    std::u16string text;
    for (const auto& row : rows) {
        MakeSession(u"s", row.terminal, row.transfer);
        SessionOptionsModel& options = Open(u"s", row.installed);
        text += std::u16string(row.terminal) + u"/" + row.transfer + u" " +
                VUnicodeString::FromUtf8(row.name).str() + u": " + frame.Tree() +
                (options.ConnectPage().Multiple() ? u"multiple " : u"") + u"-> " +
                session->GetTerminalProtocol().str() + u"/" + session->GetTransferProtocol().str() +
                u"\n";
        // One slot per protocol table row; a row's pages are made only when first shown.
        EXPECT_TRUE(options.ProtocolPages(Row(u"Serial")).empty());
    }
    ExpectMatchesGolden("ui/session-page-sets.txt", VUnicodeString(text).ToUtf8());
    // With scripting disabled there are no logon scripts.
    MakeSession(u"s");
    config->scriptingDisabled = true;
    Open(u"s");
    EXPECT_EQ(frame.Tree().substr(0, 17), u"Connection(SSH2) ");
}

TEST_F(SessionOptionsTest, ProtocolChangesBringTheirPages) {
    MakeSession(u"s", u"SSH2", u"FTP");
    SessionOptionsModel& options = Open(u"s");
    SessionConnectPage& connect = options.ConnectPage();
    // Each choice in turn, and the tree after it (tests/golden/ui/session-protocol-steps.txt).
    // The modules' pages keep the order in which they were first made; SSH2 shows its own pages
    // only, and SFTP next to SSH2 keeps the shared SSH2 pages without a second set.
    const std::pair<bool, const char16_t*> steps[] = {
        {true, u"Telnet"}, {true, u"Serial"}, {true, u"SSH2"},  {false, u"SFTP"}, {true, u"TAPI"},
        {true, u"Telnet"}, {true, u"None"},   {false, u"None"}, {true, u"SSH2"}};
    std::u16string text;
    for (const auto& [terminal, protocol] : steps) {
        if (terminal)
            connect.ChooseTerminalProtocol(protocol);
        else
            connect.ChooseTransferProtocol(protocol);
        text += (terminal ? u"terminal " : u"transfer ") + std::u16string(protocol) + u": " +
                frame.Tree() + u"\n";
    }
    ExpectMatchesGolden("ui/session-protocol-steps.txt", VUnicodeString(text).ToUtf8());
    EXPECT_EQ(session->GetTerminalProtocol(), u"SSH2");
    EXPECT_EQ(session->GetTransferProtocol(), u"None");
    // A page made once is shown again, not made twice.
    EXPECT_EQ(options.ProtocolPages(Row(u"SSH2")).size(), 1u);
    EXPECT_FALSE(options.UpdatingProtocols());
    // Pages coming with a protocol do not take the selection, even when the user left them
    // selected in an earlier dialog.
    connect.ChooseTerminalProtocol(u"Telnet");
    SessionOptionsModel::PageStateMap()[u"SSH2\nSSH2"].selected = true;
    connect.ChooseTerminalProtocol(u"SSH2");
    EXPECT_FALSE(SessionOptionsModel::PageStateMap()[u"SSH2\nSSH2"].selected);
    EXPECT_FALSE(options.ProtocolPages(Row(u"SSH2"))[0]->selected);
}

TEST_F(SessionOptionsTest, ReadOnlyModeCaptionPromptAndNoWrites) {
    MakeSession(u"Servers\\web1");
    EXPECT_EQ(Open(u"Servers\\web1").Caption(), u"Session Options - web1");

    SessionOptionsModel& locked = Open(u"Servers\\web1", {}, 2);
    EXPECT_EQ(locked.Caption(), u"Session Options - web1 (Read Only)");
    prompt.AnswerButton(VPromptAnswer::kOk, false);
    locked.ReadOnlyPrompt();
    prompt.AnswerButton(VPromptAnswer::kOk, true);
    locked.ReadOnlyPrompt();
    // Suppressed from now on: no third question.
    locked.ReadOnlyPrompt();
    ASSERT_EQ(prompt.Questions().size(), 2u);
    const PromptQuestion& asked = prompt.Questions()[0];
    EXPECT_EQ(asked.kind, PromptQuestion::kOptionalMessage);
    EXPECT_EQ(asked.icon, VPromptIcon::kInformation);
    EXPECT_EQ(
        asked.text.str().rfind(u"The Sessions Options that you are opening are being used", 0), 0u);
    EXPECT_EQ(asked.checkLabel, u"Do not show this message again");
    EXPECT_EQ(config->suppressReadOnlySessionOptionsWarning.Get(), 1);
    // Nothing the user does reaches the session.
    SessionOptionsPage& emulation = *locked.Page(SessionPageId::kEmulation);
    emulation.Activate();
    emulation.SetValue(u"Cols", u"100");
    EXPECT_TRUE(emulation.Validate());
    locked.ConnectPage().ChooseTerminalProtocol(u"Telnet");
    EXPECT_FALSE(session->IsModified());
    EXPECT_EQ(session->GetTerminalProtocol(), u"SSH2");
    // Mode 0 never asks.
    Open(u"Servers\\web1").ReadOnlyPrompt();
    EXPECT_EQ(prompt.Questions().size(), 2u);
}

// The tree's selection goes to the global record after OK and comes back in the next dialog;
// a page the session manager asks for ("Connection+" for a new session) beats what this process
// remembers.
TEST_F(SessionOptionsTest, TreeSelectionPersistsAndAHostRequestWins) {
    MakeSession(u"s", u"SSH2", u"FTP");
    auto& map = SessionOptionsModel::PageStateMap();
    auto selected = [&] {
        std::u16string out;
        for (const auto& [caption, state] : map)
            if (state.selected) out += caption + u";";
        return out;
    };
    auto caption = [](SessionPageId id) {
        return std::u16string(SessionOptionPage(id).caption) + u";";
    };
    config->sessionOptionsTreeSelected = VUnicodeString(u"Terminal+Appearance+");
    Open(u"s");
    EXPECT_EQ(selected(), caption(SessionPageId::kAppearance));
    // The user picked Log File and pressed OK.
    for (auto& entry : map) entry.second.selected = false;
    map[std::u16string(SessionOptionPage(SessionPageId::kLogFile).caption)].selected = true;
    model->PersistTreeState();
    EXPECT_EQ(config->sessionOptionsTreeSelected.Get(), u"Terminal+Log File+");
    // Same process, no request: the map's selection stays.
    Open(u"s");
    EXPECT_EQ(selected(), caption(SessionPageId::kLogFile));
    config->sessionOptionsTreeSelected = VUnicodeString(u"Connection+");
    Open(u"s");
    EXPECT_EQ(selected(), std::u16string(model->ConnectPage().Caption()) + u";");
}

// Each rule of the pages: the values typed, and the message or "accepted"
// (tests/golden/ui/session-page-rules.txt).
TEST_F(SessionOptionsTest, PageRulesRefuseWithTheirMessages) {
    MakeSession(u"s");
    std::ofstream(dir / "my.key") << "\n";
    const std::u16string folder = VUnicodeString::FromUtf8(dir.path().string()).str();
    using Values = std::vector<std::pair<const char16_t*, std::u16string>>;
    const auto emulation = SessionPageId::kEmulation, terminal = SessionPageId::kTerminal,
               log = SessionPageId::kLogFile, place = SessionPageId::kWindow;
    const std::u16string on = u"1";
    struct Row {
        SessionPageId page;
        Values values;
        bool refused = true;
    } const rows[] = {
        {emulation, {{u"Cols", u"19"}}},
        {emulation, {{u"Cols", u"133"}}},
        {emulation, {{u"Cols", u"132"}}, false},
        {emulation, {{u"Use Alternate Keyboard", on}, {u"Keymap Filename", u" "}}},
        {emulation, {{u"Use Alternate Keyboard", on}, {u"Keymap Filename", folder + u"/none.key"}}},
        {emulation,
         {{u"Use Alternate Keyboard", on}, {u"Keymap Filename", folder + u"/my.key"}},
         false},
        {terminal, {{u"Idle Check", on}, {u"Idle String", u""}, {u"Idle Timeout", u"60"}}},
        {terminal, {{u"Idle Check", on}, {u"Idle String", u"x"}, {u"Idle Timeout", u"9"}}},
        {terminal, {{u"Idle Check", on}, {u"Idle String", u"x"}, {u"Idle Timeout", u"10000000"}}},
        {terminal, {{u"Idle Check", on}, {u"Idle String", u"x"}, {u"Idle Timeout", u"10"}}, false},
        // Off, the string and interval do not matter.
        {terminal, {{u"Idle Check", u"0"}, {u"Idle Timeout", u"1"}}, false},
        {log, {{u"Log Filename", folder + u"/a?b.log"}}},
        {log, {{u"Log Filename", folder + u"/missing/x.log"}}},
        {log, {{u"Log Filename", folder + u"/"}}},
        {log, {{u"Log Filename", folder + u"/%H/session.log"}}, false},
        {place, {{u"X Position", u"1O"}}},
        {place, {{u"X Position", u"-0"}, {u"Y Position", u"40"}}, false},
    };
    std::u16string text;
    for (const Row& row : rows) {
        SessionOptionsModel& options = Open(u"s");
        SessionOptionsPage& page = *options.Page(row.page);
        page.Activate();
        for (const auto& [setting, typed] : row.values) {
            page.SetValue(setting, typed);
            text += std::u16string(setting) + u"=" +
                    (typed.starts_with(folder) ? u"<dir>" + typed.substr(folder.size()) : typed) +
                    u" ";
        }
        if (row.refused) prompt.AnswerButton(VPromptAnswer::kOk);
        const size_t before = prompt.Questions().size();
        EXPECT_EQ(page.Validate(), !row.refused) << VUnicodeString(text).ToUtf8();
        ASSERT_EQ(prompt.Questions().size(), before + (row.refused ? 1 : 0));
        const std::string said =
            row.refused ? EscapeCaseField(prompt.Questions().back().text.ToUtf8()) : "accepted";
        text += u"-> " + VUnicodeString::FromUtf8(said).str() + u"\n";
    }
    ExpectMatchesGolden("ui/session-page-rules.txt", VUnicodeString(text).ToUtf8());
    // "-0" is the right edge: the position 0 measured from the right.
    auto* concrete = dynamic_cast<SessionConfig*>(session.Get());
    ASSERT_NE(concrete, nullptr);
    EXPECT_EQ(concrete->terminal.xPositionRelativeLeft.Get(), 0);
    EXPECT_EQ(concrete->terminal.yPosition.Get(), 40);
    EXPECT_EQ(concrete->terminal.yPositionRelativeTop.Get(), 1);
    // Shown again as the user wrote it.
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
    connect.Activate();
    connect.SetName(u"WEB2");
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(connect.Validate());
    EXPECT_EQ(prompt.Questions().back().text, u"'WEB2' is already in use.");
    EXPECT_EQ(prompt.Questions().back().icon, VPromptIcon::kExclamation);
    connect.SetName(u" Web1 ");
    connect.ChooseTerminalProtocol(u"None");
    connect.ChooseTransferProtocol(u"None");
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(connect.Validate());
    EXPECT_EQ(prompt.Questions().back().text, u"Both selected protocols cannot be 'None'.");
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
    const size_t asked = prompt.Questions().size();
    terminal.Activate();
    EXPECT_TRUE(terminal.Validate());
    EXPECT_EQ(prompt.Questions().size(), asked);

    SessionOptionsPage& ssh2 = *options.ProtocolPages(Row(u"SSH2"))[0];
    EXPECT_EQ(ssh2.Caption(), u"SSH2\nSSH2");
    ASSERT_TRUE(ssh2.Activate());
    EXPECT_EQ(ssh2.Value(u"Hostname") + u":" + ssh2.Value(u"[SSH2] Port"), u"example:22");
    session->Checkpoint();
    ssh2.SetValue(u"[SSH2] Port", u"2x2");
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(ssh2.Validate());
    EXPECT_FALSE(session->IsModified());
    ssh2.SetValue(u"[SSH2] Port", u"2222");
    EXPECT_TRUE(ssh2.Validate());
    EXPECT_EQ(session->GetTermConnectConfig()->GetPort(), 2222);
    EXPECT_EQ(session->GetTermConnectConfig()->GetHostname(), u"example");
}

}  // namespace
