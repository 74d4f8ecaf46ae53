// The new-session wizard on a real display, opened by New Session (Alt+N) in the session manager.
#include "ui/wx/gui_fixture.h"
#include "ui/wx/new_session_wizard.h"

namespace {

using W = NewSessionWizardDialog;

void ChooseAndNext(wxDialog* wizard, const char* protocol) {
    auto* choice = dynamic_cast<wxChoice*>(wizard->FindWindow(W::kProtocolChoiceId));
    ASSERT_TRUE(choice && choice->SetStringSelection(protocol)) << "no list with " << protocol;
    ClickWindow(wizard->FindWindow(W::kNextId));
}

// The model tests hold every chain of pages; here two sessions are made through the window from
// one session manager, SSH2 with SFTP and Serial alone, typed in with mouse and keyboard (the
// controls are named after their settings), and their files hold what was typed.
TEST_F(SessionDeckGuiTest, NewSessionWizardToFinishForAnSsh2AndASerialSession) {
    // New Session is offered to a host that shows the properties of what it makes.
    SessionDeckDllInitGUI(
        nullptr, nullptr, [](ISessionConfig*, int) { return 1; }, nullptr);
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
    const struct {
        const char *terminal, *transfer, *name;
        // Setting and value typed; the first becomes the default name.
        std::vector<std::pair<const char*, const char*>> fields;
        std::vector<std::string> saved;  // the session file's lines that hold what was entered
    } cases[] = {
        {"SSH2",
         "SFTP",
         "ssh-box",
         {{"Hostname", "ssh.example"}, {"[SSH2] Port", "2222"}},
         // SFTP after SSH2 takes the SSH2 page's host and port.
         {"S:\"Protocol Name\"=SSH2", "S:\"Hostname\"=ssh.example", "D:\"[SSH2] Port\"=000008ae",
          "S:\"Transfer Protocol Name\"=SFTP", "D:\"[SFTP] Port\"=000008ae",
          " made by the wizard"}},
        {"Serial",
         "None",
         "serial-line",
         {{"Com Port", "/dev/ttyS1"}, {"Baud Rate", "9600"}},
         {"S:\"Protocol Name\"=Serial", "S:\"Com Port\"=/dev/ttyS1", "D:\"Baud Rate\"=00002580",
          "S:\"Transfer Protocol Name\"=None", " made by the wizard"}},
    };
    Driver deck([&](wxDialog* dialog) {
        Click(LabelCentre(TreeOf(dialog), "Lab"));  // New Session makes it in the selected folder
        for (const auto& c : cases) {
            SCOPED_TRACE(c.terminal);
            Driver wizard([&](wxDialog* wizard) {
                EXPECT_TRUE(!wizard->FindWindow(W::kBackId)->IsEnabled() &&
                            wizard->FindWindow(W::kDoNotUseId))
                    << "Back enabled on the first page, or no check box to leave the wizard off";
                if (c.transfer == std::string("SFTP")) Screenshot(wizard, "new-session-wizard");
                ChooseAndNext(wizard, c.terminal);
                for (const auto& [setting, value] : c.fields)
                    TypeInto(wizard->FindWindow(setting), value);
                Press(WXK_RETURN);                  // Enter on a protocol page: Next
                ChooseAndNext(wizard, c.transfer);  // SFTP after SSH2: straight to the end
                TypeInto(wizard->FindWindow(W::kDescriptionId), "made by the wizard");
                EXPECT_EQ(TypeInto(wizard->FindWindow(W::kNameId), c.name), c.fields[0].second)
                    << "not on the finish page, or the name offered is not the host";
                EXPECT_FALSE(wizard->FindWindow(W::kNextId)->IsShown());
                Press(WXK_RETURN);  // and on the last: Finish
            });
            wxUIActionSimulator().Char('N', wxMOD_ALT);  // the library's accelerator table
            Settle(1500);
        }
    });
    ShowSessionDeck(u"SessionDeck", true, false);
    for (const auto& c : cases) {
        const std::string text =
            FileText(dir / "Config" / "Sessions" / "Lab" / (c.name + std::string(".ini")));
        for (const std::string& line : c.saved)
            EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos)
                << c.name << ": no " << line;
    }
}

}  // namespace
