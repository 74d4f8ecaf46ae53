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

template <class T>
T* Control(wxDialog* wizard, int id) {
    return dynamic_cast<T*>(wizard->FindWindow(id));
}

// The text boxes on show, in the order the page made them (the window tree's order).
void TextBoxes(wxWindow* window, std::vector<wxTextCtrl*>& boxes) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* box = dynamic_cast<wxTextCtrl*>(child); box && box->IsShownOnScreen())
            boxes.push_back(box);
        TextBoxes(child, boxes);
    }
}

// Enter in `field`: Next on a protocol page, Finish on the last.
void PressEnterIn(wxWindow* field) {
    ClickWindow(field);
    wxUIActionSimulator().Char(WXK_RETURN);
    Settle();
}

std::u16string StoredSetting(VProfileData* record, std::u16string_view name) {
    const FoundSetting found = record ? FindSetting(*record, name) : FoundSetting{};
    return found.setting ? found.setting->Text().value_or(u"") : u"<none>";
}

// The model tests hold every chain of pages; here two sessions are made through the window: SSH2
// with SFTP, and Serial alone, each protocol page filled in by mouse and keyboard.
TEST_F(SessionDeckGuiTest, NewSessionWizardToFinishForAnSsh2AndASerialSession) {
    SessionDeckDllInitGUI(nullptr, nullptr, &AcceptProperties, nullptr);
    SessionDeckSetNewSessionWizard(&ShowNewSessionWizard);
    const struct {
        const char *terminal, *transfer, *name;
        std::vector<const char*> fields;        // the first is typed and becomes the default name
        std::vector<const char16_t*> settings;  // where each field is stored
    } cases[] = {
        {"SSH2",
         "SFTP",
         "ssh-box",
         {"ssh.example", "2222", "bob"},
         {u"Hostname", u"[SSH2] Port", u"Username"}},
        {"Serial", "None", "serial-line", {"/dev/ttyS1", "9600"}, {u"Com Port", u"Baud Rate"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.terminal);
        bool wizardOpened = false, finished = false;
        // The steps inside the wizard's modal loop; a failed step returns early and the driver
        // then cancels the wizard, so that the test cannot wait forever.
        auto drive = [&](wxDialog* wizard) {
            wizardOpened = true;
            // Both applications are present: the terminal list comes first, with "None".
            auto* choice = Control<wxChoice>(wizard, W::kProtocolChoiceId);
            ASSERT_NE(choice, nullptr);
            EXPECT_NE(choice->FindString("None"), wxNOT_FOUND);
            ASSERT_NE(Control<wxCheckBox>(wizard, W::kDoNotUseId), nullptr);
            EXPECT_FALSE(Control<wxButton>(wizard, W::kBackId)->IsEnabled());
            ASSERT_TRUE(choice->SetStringSelection(c.terminal));
            if (c.transfer == std::string("SFTP")) Screenshot(wizard, "new-session-wizard");
            ClickWindow(wizard->FindWindow(W::kNextId));
            // The protocol's own page: the first field typed, the others filled in.
            std::vector<wxTextCtrl*> boxes;
            TextBoxes(wizard, boxes);
            ASSERT_EQ(boxes.size(), c.fields.size()) << "no protocol page, or not its controls";
            ClickWindow(boxes[0]);
            boxes[0]->SelectAll();
            wxUIActionSimulator().Text(c.fields[0]);
            Settle();
            for (size_t i = 1; i < boxes.size(); ++i) boxes[i]->SetValue(c.fields[i]);
            EXPECT_EQ(boxes[0]->GetValue(), c.fields[0]);
            PressEnterIn(boxes[0]);
            // The transfer list; SFTP after SSH2 goes straight to the finish page.
            choice = Control<wxChoice>(wizard, W::kProtocolChoiceId);
            ASSERT_NE(choice, nullptr) << "no transfer list";
            ASSERT_TRUE(choice->SetStringSelection(c.transfer));
            ClickWindow(wizard->FindWindow(W::kNextId));

            auto* name = Control<wxTextCtrl>(wizard, W::kNameId);
            ASSERT_NE(name, nullptr) << "not on the finish page";
            EXPECT_FALSE(wizard->FindWindow(W::kNextId)->IsShown());
            EXPECT_EQ(name->GetValue(), c.fields[0]) << "the default name is the host entered";
            name->SetValue(c.name);
            Control<wxTextCtrl>(wizard, W::kDescriptionId)->SetValue("made by the wizard");
            PressEnterIn(name);
            finished = !wizard->IsShown();
        };
        Driver deck([&](wxDialog* dialog) {
            // New Session makes the session in the selected folder.
            wxTreeCtrl* tree = TreeOf(dialog);
            Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Lab")));
            Driver wizard(
                [](const wxWindow& w) { return w.GetName() == "NewSessionWizard" && w.IsShown(); },
                "New Session's wizard", drive);
            wxUIActionSimulator().Char('N', wxMOD_ALT);  // the library's accelerator table
            Settle(1500);
        });
        ShowSessionDeck(u"SessionDeck", true, false);
        EXPECT_TRUE(wizardOpened);
        EXPECT_TRUE(finished);
        auto stored = VUnknownPointer<ISessionConfig>::Adopt(
            SessionDatabase().Lookup(VUnicodeString::FromUtf8(std::string("Lab\\") + c.name)));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetTerminalProtocol().ToUtf8(), c.terminal);
        for (size_t i = 0; i < c.settings.size(); ++i)
            EXPECT_EQ(StoredSetting(stored->GetTermConnectConfig(), c.settings[i]),
                      VUnicodeString::FromUtf8(c.fields[i]).str());
        EXPECT_EQ(stored->GetTransferProtocol().ToUtf8(), c.transfer);
        if (c.transfer == std::string("SFTP")) {  // beside SSH2, on the same host
            EXPECT_EQ(StoredSetting(stored->GetTransferConnectConfig(), u"Hostname"),
                      u"ssh.example");
        }
        EXPECT_EQ(StoredSetting(dynamic_cast<SessionConfig*>(stored.Get()), u"Description"),
                  u"made by the wizard");
    }
}

}  // namespace
