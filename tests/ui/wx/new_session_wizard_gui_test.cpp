// The new-session wizard on a real display: New Session in the session manager (Alt+N) opens
// the wizard, which is filled in and finished with mouse and keyboard; the session then lies in
// the configuration folder with what was entered.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/textctrl.h>

#include "session/setting_lookup.h"
#include "ui/wx/gui_fixture.h"
#include "ui/wx/new_session_wizard.h"

using namespace sessiondeck;

namespace {

using W = NewSessionWizardDialog;

int AcceptProperties(ISessionConfig*, int) {
    return 1;
}

wxDialog* OpenWizard() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (window->GetName() == "NewSessionWizard" && window->IsShown())
            return dynamic_cast<wxDialog*>(window);
    }
    return nullptr;
}

template <class T>
T* Control(wxDialog* wizard, int id) {
    return dynamic_cast<T*>(wizard->FindWindow(id));
}

// The text boxes on show, in the order the page made them (the window tree's order).
void CollectTextBoxes(wxWindow* window, std::vector<wxTextCtrl*>& boxes) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* box = dynamic_cast<wxTextCtrl*>(child); box && box->IsShownOnScreen())
            boxes.push_back(box);
        CollectTextBoxes(child, boxes);
    }
}

std::vector<wxTextCtrl*> TextBoxes(wxWindow* window) {
    std::vector<wxTextCtrl*> boxes;
    CollectTextBoxes(window, boxes);
    return boxes;
}

void PressEnter() {
    wxUIActionSimulator sim;
    sim.Char(WXK_RETURN);
    Settle();
}

std::u16string StoredSetting(VProfileData* record, std::u16string_view name) {
    if (!record) return u"<no connection>";
    const FoundSetting found = FindSetting(*record, name);
    return found.setting ? found.setting->Text().value_or(u"") : u"<none>";
}

struct WizardCase {
    const char* name;
    const char* terminal;
    std::vector<std::pair<int, const char*>> fields;  // text box of the page, text typed
    const char* transfer;
    const char* sessionName;
    std::vector<std::pair<std::u16string, std::u16string>> terminalValues;
    std::u16string transferProtocol;
    std::u16string transferHost;
};

TEST_F(SessionDeckGuiTest, NewSessionWizardToFinishForAnSsh2AndASerialSession) {
    SessionDeckDllInitGUI(nullptr, nullptr, &AcceptProperties, nullptr);
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
    const WizardCase cases[] = {
        {"SSH2 with SFTP",
         "SSH2",
         {{0, "ssh.example"}, {1, "2222"}, {2, "bob"}},
         "SFTP",
         "ssh-box",
         {{u"Hostname", u"ssh.example"}, {u"[SSH2] Port", u"2222"}, {u"Username", u"bob"}},
         u"SFTP",
         u"ssh.example"},
        {"Serial, terminal only",
         "Serial",
         {{0, "/dev/ttyS1"}, {1, "9600"}},
         "None",
         "serial-line",
         {{u"Com Port", u"/dev/ttyS1"}, {u"Baud Rate", u"9600"}},
         u"None",
         u""},
    };
    for (const WizardCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool ssh = std::string(c.terminal) == "SSH2";
        bool wizardOpened = false, finished = false;
        // The steps inside the wizard's modal loop; a failed step returns early and the
        // wizard is then cancelled below, so that the test cannot wait forever.
        auto drive = [&](wxDialog* wizard) {
            Settle();
            // Both applications are present: the terminal list comes first, with "None".
            auto* choice = Control<wxChoice>(wizard, W::kProtocolChoiceId);
            ASSERT_NE(choice, nullptr);
            EXPECT_NE(choice->FindString("None"), wxNOT_FOUND);
            ASSERT_NE(Control<wxCheckBox>(wizard, W::kDoNotUseId), nullptr);
            EXPECT_FALSE(Control<wxButton>(wizard, W::kBackId)->IsEnabled());
            ASSERT_TRUE(choice->SetStringSelection(c.terminal));
            if (ssh) Screenshot(wizard, "new-session-wizard");
            ClickWindow(wizard->FindWindow(W::kNextId));

            // The protocol's own page: the first field typed, the others filled in.
            const std::vector<wxTextCtrl*> boxes = TextBoxes(wizard);
            ASSERT_EQ(boxes.size(), c.fields.size()) << "no protocol page, or not its controls";
            wxTextCtrl* first = boxes[c.fields.front().first];
            ClickWindow(first);
            first->SelectAll();
            wxUIActionSimulator().Text(c.fields.front().second);
            Settle();
            for (size_t i = 1; i < c.fields.size(); ++i) {
                boxes[c.fields[i].first]->SetValue(c.fields[i].second);
            }
            EXPECT_EQ(first->GetValue(), c.fields.front().second);
            if (ssh) Screenshot(wizard, "new-session-wizard-ssh2");
            ClickWindow(first);
            PressEnter();  // Enter is Next

            // The transfer list; SFTP after SSH2 goes straight to the finish page.
            choice = Control<wxChoice>(wizard, W::kProtocolChoiceId);
            ASSERT_NE(choice, nullptr) << "no transfer list";
            ASSERT_TRUE(choice->SetStringSelection(c.transfer));
            ClickWindow(wizard->FindWindow(W::kNextId));

            auto* name = Control<wxTextCtrl>(wizard, W::kNameId);
            ASSERT_NE(name, nullptr) << "not on the finish page";
            EXPECT_FALSE(wizard->FindWindow(W::kNextId)->IsShown());
            // The default name is the host (or device) entered.
            EXPECT_EQ(name->GetValue(), c.fields.front().second);
            name->SetValue(c.sessionName);
            Control<wxTextCtrl>(wizard, W::kDescriptionId)->SetValue("made by the wizard");
            if (ssh) Screenshot(wizard, "new-session-wizard-finish");
            ClickWindow(name);
            PressEnter();  // Enter is Finish
        };
        wxTimer wizardTimer;
        wizardTimer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            wxDialog* wizard = OpenWizard();
            ASSERT_NE(wizard, nullptr) << "New Session did not open the wizard";
            wizardOpened = true;
            drive(wizard);
            finished = OpenWizard() == nullptr;
            if (wizard->IsModal()) wizard->EndModal(wxID_CANCEL);
        });
        Driver deck([&](wxDialog* dialog) {
            // New Session makes the session in the selected folder.
            wxTreeCtrl* tree = TreeOf(dialog);
            Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Lab")));
            wizardTimer.StartOnce(500);
            wxUIActionSimulator sim;
            sim.Char('N', wxMOD_ALT);  // New Session, through the library's accelerator table
            Settle(1500);
        });
        ShowSessionDeck(u"SessionDeck", true, false);
        EXPECT_TRUE(wizardOpened);
        EXPECT_TRUE(finished);

        // The session is in the store with the values entered.
        const std::filesystem::path file =
            dir / "Config" / "Sessions" / "Lab" / (std::string(c.sessionName) + ".ini");
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
        auto stored = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(
            VUnicodeString::FromUtf8(std::string("Lab\\") + c.sessionName)));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetTerminalProtocol().ToUtf8(), c.terminal);
        for (const auto& [setting, value] : c.terminalValues) {
            EXPECT_EQ(StoredSetting(stored->GetTermConnectConfig(), setting), value)
                << VUnicodeString(setting).ToUtf8();
        }
        EXPECT_EQ(stored->GetTransferProtocol().str(), c.transferProtocol);
        if (!c.transferHost.empty()) {
            EXPECT_EQ(StoredSetting(stored->GetTransferConnectConfig(), u"Hostname"),
                      c.transferHost);
        }
        EXPECT_EQ(StoredSetting(stored.Get() ? dynamic_cast<SessionConfig*>(stored.Get()) : nullptr,
                                u"Description"),
                  u"made by the wizard");
    }
}

}  // namespace
