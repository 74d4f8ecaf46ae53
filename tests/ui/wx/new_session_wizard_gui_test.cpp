// The new-session wizard on a real display: New Session in the session manager (Alt+N) opens
// the wizard, which is filled in and finished with mouse and keyboard; the session then lies in
// the configuration folder with what was entered.
#include "session/setting_lookup.h"
#include "ui/wx/gui_fixture.h"
#include "ui/wx/new_session_wizard.h"

namespace {

using W = NewSessionWizardDialog;

// Picks `protocol` in the page's list and presses Next.
void ChooseAndNext(wxDialog* wizard, const char* protocol) {
    auto* choice = dynamic_cast<wxChoice*>(wizard->FindWindow(W::kProtocolChoiceId));
    ASSERT_TRUE(choice && choice->SetStringSelection(protocol)) << "no list with " << protocol;
    ClickWindow(wizard->FindWindow(W::kNextId));
}

// The model tests hold every chain of pages; here two sessions are made through the window from
// one session manager: SSH2 with SFTP, and Serial alone, each protocol page filled in by mouse
// and keyboard (its controls are named after their settings).
TEST_F(SessionDeckGuiTest, NewSessionWizardToFinishForAnSsh2AndASerialSession) {
    // New Session is offered to a host that shows the properties of what it makes.
    SessionDeckDllInitGUI(
        nullptr, nullptr, [](ISessionConfig*, int) { return 1; }, nullptr);
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
    const struct {
        const char *terminal, *transfer, *name;
        // Setting and value; the first is typed and becomes the default name.
        std::vector<std::pair<const char*, const char*>> fields;
    } cases[] = {
        {"SSH2", "SFTP", "ssh-box", {{"Hostname", "ssh.example"}, {"[SSH2] Port", "2222"}}},
        {"Serial", "None", "serial-line", {{"Com Port", "/dev/ttyS1"}, {"Baud Rate", "9600"}}},
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
                for (const auto& [setting, value] : c.fields)  // the first is typed below
                    if (auto* box = dynamic_cast<wxTextCtrl*>(wizard->FindWindow(setting)))
                        box->SetValue(value);
                TypeInto(wizard->FindWindow(c.fields[0].first), c.fields[0].second);
                Press(WXK_RETURN);                  // Enter on a protocol page: Next
                ChooseAndNext(wizard, c.transfer);  // SFTP after SSH2: straight to the end

                auto* name = dynamic_cast<wxTextCtrl*>(wizard->FindWindow(W::kNameId));
                ASSERT_NE(name, nullptr) << "not on the finish page";
                EXPECT_FALSE(wizard->FindWindow(W::kNextId)->IsShown());
                EXPECT_EQ(name->GetValue().utf8_string(), c.fields[0].second) << "not the host";
                name->SetValue(c.name);
                dynamic_cast<wxTextCtrl*>(wizard->FindWindow(W::kDescriptionId))
                    ->SetValue("made by the wizard");
                ClickWindow(name);
                Press(WXK_RETURN);  // and on the last: Finish
            });
            wxUIActionSimulator().Char('N', wxMOD_ALT);  // the library's accelerator table
            Settle(1500);
        }
    });
    ShowSessionDeck(u"SessionDeck", true, false);
    auto text = [](VProfileData* record, const char* name) {
        const FoundSetting found =
            record ? FindSetting(*record, VUnicodeString::FromUtf8(name).str()) : FoundSetting{};
        return VUnicodeString(found.setting ? found.setting->Text().value_or(u"") : u"<none>")
            .ToUtf8();
    };
    for (const auto& c : cases) {
        auto session = VUnknownPointer<ISessionConfig>::Adopt(
            SessionDatabase().Lookup(VUnicodeString::FromUtf8(std::string("Lab\\") + c.name)));
        ASSERT_TRUE(session) << c.name << " not made, or not in Lab";
        for (const auto& [setting, value] : c.fields)
            EXPECT_EQ(text(session->GetTermConnectConfig(), setting), value);
        if (c.transfer == std::string("SFTP")) {  // the SSH2 page's host serves SFTP as well
            EXPECT_EQ(text(session->GetTransferConnectConfig(), "Hostname"), c.fields[0].second);
        }
        EXPECT_EQ(session->GetTerminalProtocol().ToUtf8() + " " +
                      session->GetTransferProtocol().ToUtf8() + " " +
                      text(dynamic_cast<SessionConfig*>(session.Get()), "Description"),
                  c.terminal + (" " + std::string(c.transfer)) + " made by the wizard");
    }
}

}  // namespace
