// The session manager on a real display (Xvfb): the dialog is opened through the exported entry
// points on a configuration folder made for each test, and driven with synthetic input as a
// user would drive it; the context menus and the filter are in session_deck_wiring_test.cpp.
#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

TEST_F(SessionDeckGuiTest, CtrlClickTwoSessionsAndConnectHandsBothToTheHost) {
    bool bothSelected = false, connectToolEnabled = false;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        ASSERT_TRUE(servers.IsOk());
        tree->Expand(servers);  // loads the folder's sessions through the model
        Settle();
        const wxTreeItemId web1 = FindItem(tree, servers, "web1");
        const wxTreeItemId releases = FindItem(tree, servers, "releases");
        ASSERT_TRUE(web1.IsOk() && releases.IsOk());
        Click(LabelCentre(tree, web1));
        Click(LabelCentre(tree, releases), WXK_CONTROL);
        wxArrayTreeItemIds selected;
        tree->GetSelections(selected);
        bothSelected = selected.size() == 2 && tree->IsSelected(web1) &&
                       tree->IsSelected(releases) && !tree->IsSelected(servers);
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(1200));
        connectToolEnabled = toolbar && toolbar->GetToolEnabled(2000);
        Screenshot(dialog, "connect_two_sessions");
        ClickWindow(dialog->FindWindow(1044));
    });
    const int result = ShowSessionDeck(u"Connect", true, false);
    EXPECT_TRUE(bothSelected);
    EXPECT_TRUE(connectToolEnabled);
    ASSERT_EQ(result, 1);
    ASSERT_EQ(GetSessionDeckSessionConfigCount(), 2u);
    std::u16string paths;
    for (unsigned i = 0; i < 2; ++i) {
        VUnknownPointer<ISessionConfig> session =
            VUnknownPointer<ISessionConfig>::Adopt(GetSessionDeckSessionConfig(i));
        ASSERT_TRUE(session);
        paths += session->GetSessionPath().str() + u"|";
    }
    // In display order; "files" sits between them and was not clicked.
    EXPECT_EQ(paths, u"Servers\\releases|Servers\\web1|");
    EXPECT_EQ(GetSessionDeckSessionConfig(2), nullptr);
}

TEST_F(SessionDeckGuiTest, MultiSelectBrowseOffersOkOnlyForASelectionAndReturnsThePaths) {
    struct {
        wxString okLabel, cancelLabel;
        bool okEnabledAtStart = true, startupBoxShown = true, connectToolPresent = true;
        bool okEnabledAfterClicks = false;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        wxWindow* ok = dialog->FindWindow(1044);
        seen.okLabel = ok->GetLabel();
        seen.cancelLabel = dialog->FindWindow(wxID_CANCEL)->GetLabel();
        seen.okEnabledAtStart = ok->IsEnabled();
        seen.startupBoxShown = dialog->FindWindow(1339)->IsShown();
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(1200));
        seen.connectToolPresent = toolbar && toolbar->FindById(2000) != nullptr;
        Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Servers")));
        Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Lab")), WXK_CONTROL);
        seen.okEnabledAfterClicks = ok->IsEnabled();
        Screenshot(dialog, "browse_multi");
        ClickWindow(ok);
    });
    VArray<VUnicodeString> paths;
    EXPECT_EQ(ShowSessionDeckMultiSelectBrowseMode(u"Pick sessions", paths), 1);
    EXPECT_EQ(seen.okLabel, "OK");
    EXPECT_EQ(seen.cancelLabel, "Cancel");
    EXPECT_FALSE(seen.okEnabledAtStart) << "nothing is selected at first in this mode";
    EXPECT_FALSE(seen.startupBoxShown);
    EXPECT_FALSE(seen.connectToolPresent);
    EXPECT_TRUE(seen.okEnabledAfterClicks);
    std::u16string joined;
    for (const VUnicodeString& path : paths) joined += path.str() + u"|";
    EXPECT_EQ(joined, u"Lab|Servers|");
}

// Opening the GUI on a store of the previous format loads everything once and moves "Version"
// on; any other "Version" is left alone.
TEST_F(SessionDeckGuiTest, InitGuiUpgradesOnlyThePreviousConfigurationVersion) {
    const struct {
        const char16_t* stored;
        const char16_t* after;
    } cases[] = {
        {u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA", kCurrentConfigVersion},
        {u"0311abc6-1cdd-46fc-a08a-0d7c00242fca", u"0311abc6-1cdd-46fc-a08a-0d7c00242fca"},
        {u"11111111-2222-3333-4444-555555555555", u"11111111-2222-3333-4444-555555555555"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(VUnicodeString(c.stored).ToUtf8());
        GlobalConfig* config = nullptr;
        GetGlobalConfig(config);
        config->version = VUnicodeString(c.stored);
        ASSERT_TRUE(config->Save(true));
        ReloadGlobalConfig(config);
        SessionDeckDllInitGUI(nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(IsSessionDeckWindowClassRegistered());
        ReloadGlobalConfig(config);  // what the store now holds
        EXPECT_EQ(config->version.Get().str(), std::u16string_view(c.after));
    }
    // The sessions are still there and still load.
    VUnknownPointer<ISessionConfig> web1 =
        VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"Servers\\web1"));
    ASSERT_TRUE(web1);
    EXPECT_TRUE(web1->CanConnectTerminalConfig());
}

}  // namespace
