// Properties in the running session manager on a real display (Xvfb): a session picked with a
// click, Alt+R, and Session Options opens on that session through the properties callback wired
// as sessiondeck-gui wires it; one value changed and OK, and the manager saves the session with
// that one line changed.
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <fstream>

#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// What sessiondeck-gui hands the manager as its properties callback (tools/gui/main.cpp keeps its
// own in an unnamed namespace): Session Options through the exported entry point, no display
// counting as Cancel. The manager saves what comes back with OK.
int PropertiesAsTheHostDoes(ISessionConfig* session, int) {
    const int result = ShowSessionOptionsDialog(session, 0);
    return result < 0 ? 2 : result;
}

wxDialog* OpenSessionOptions() {
    for (wxWindow* window : wxTopLevelWindows) {
        if (window->IsShown() && window->GetLabel().StartsWith("Session Options"))
            return dynamic_cast<wxDialog*>(window);
    }
    return nullptr;
}

// Waits (without blocking the event loop) until `done` holds or `seconds` have passed.
bool SettleUntil(const std::function<bool()>& done, int seconds) {
    for (int waited = 0; waited < seconds * 1000 && !done(); waited += 100) Settle(100);
    return done();
}

TEST_F(SessionDeckGuiTest, PropertiesOpensSessionOptionsOnTheSelectedSessionAndOkSavesIt) {
    const std::filesystem::path file = dir / "Config" / "Sessions" / "Servers" / "files.ini";
    // The fixture writes three values by hand; one save gives the file every setting in the
    // library's own form, as the manager's save after OK does.
    {
        const SessionDatabase database;
        VUnknownPointer<ISessionConfig> session =
            VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(u"Servers\\files"));
        ASSERT_TRUE(session);
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    const std::vector<std::string> before = Lines(file);
    ASSERT_GT(before.size(), 100u);
    const std::vector<std::string> neighbour = Lines(file.parent_path() / "web1.ini");

    SessionDeckDllInitGUI(nullptr, nullptr, &PropertiesAsTheHostDoes, nullptr);
    bool selected = false, opened = false, closed = false;
    wxString caption, shownPort;
    // Session Options is modal inside the manager's own modal loop: a timer polls for it and
    // drives it from inside that inner loop.
    wxTimer options;
    options.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxDialog* dialog = OpenSessionOptions();
        if (!dialog || !dialog->IsModal()) return;  // not open yet: the next tick looks again
        options.Stop();
        opened = true;
        Settle();
        caption = dialog->GetTitle();
        auto* tree = FindChild<wxTreeCtrl>(dialog);
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId ssh2 = FindItem(tree, tree->GetRootItem(), "SSH2");
        ASSERT_TRUE(ssh2.IsOk()) << "no SSH2 page below Connection";
        Click(LabelCentre(tree, ssh2));
        wxTextCtrl* port = FieldBeside(dialog, "Port:");
        ASSERT_NE(port, nullptr);
        shownPort = port->GetValue();
        ClickWindow(port);
        port->SelectAll();
        wxUIActionSimulator().Text("2200");
        Settle();
        ClickWindow(dialog->FindWindow(wxID_OK));
        closed = OpenSessionOptions() == nullptr;
        if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
    });
    wxString selectedAfter;
    Driver deck([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        ASSERT_TRUE(servers.IsOk());
        tree->Expand(servers);
        Settle();
        const wxTreeItemId files = FindItem(tree, servers, "files");
        ASSERT_TRUE(files.IsOk());
        Click(LabelCentre(tree, files));
        selected = tree->IsSelected(files);
        options.Start(100);
        wxUIActionSimulator().Char('R', wxMOD_ALT);  // Properties, from the accelerator table
        EXPECT_TRUE(SettleUntil([&] { return opened && OpenSessionOptions() == nullptr; }, 20))
            << "Session Options did not open, or did not close";
        options.Stop();
        Settle();
        const wxTreeItemId item = tree->GetFocusedItem();
        if (item.IsOk()) selectedAfter = tree->GetItemText(item);
    });
    ShowSessionDeck(u"SessionDeck", true, false);
    DeleteSessionOptionsStateMap();

    EXPECT_TRUE(selected);
    ASSERT_TRUE(opened) << "Alt+R on a session did not open Session Options";
    EXPECT_TRUE(closed) << "OK did not end Session Options";
    EXPECT_EQ(caption, "Session Options - files");
    EXPECT_EQ(shownPort, "22");
    EXPECT_EQ(selectedAfter, "files");

    // Only the port line differs, holding 2200 (0x898); the session beside it is untouched.
    const std::vector<std::string> after = Lines(file);
    ASSERT_EQ(after.size(), before.size());
    std::vector<std::string> changed;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changed.push_back(before[i] + " -> " + after[i]);
    ASSERT_EQ(changed.size(), 1u) << ::testing::PrintToString(changed);
    EXPECT_EQ(changed[0], "D:\"[SSH2] Port\"=00000016 -> D:\"[SSH2] Port\"=00000898");
    EXPECT_EQ(Lines(file.parent_path() / "web1.ini"), neighbour);
}

}  // namespace
