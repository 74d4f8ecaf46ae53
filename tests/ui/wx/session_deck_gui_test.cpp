// The session manager on a real display (Xvfb), opened through the exported entry points and
// driven with synthetic input as a user would drive it. The rules behind each step are the model's
// tests; these prove the view carries them out.
#include <wx/clipbrd.h>
#include <wx/srchctrl.h>

#include "ui/wx/gui_fixture.h"
#include "ui/wx/session_deck_dialog.h"

namespace {

wxToolBar* ToolbarOf(wxDialog* dialog) {
    return dynamic_cast<wxToolBar*>(dialog->FindWindow(deck_ids::kToolbar));
}

// Waits up to 3 s for the rows on show to read `expected`, each label followed by "|".
testing::AssertionResult Shows(wxTreeCtrl* tree, const std::string& expected) {
    std::string shown;
    for (int waited = 0; waited <= 3000 && shown != expected; waited += 50, Settle(50)) {
        shown.clear();
        for (wxTreeItemId row = tree->GetRootItem(); row.IsOk(); row = tree->GetNextVisible(row))
            shown += tree->GetItemText(row).utf8_string() + "|";
    }
    if (shown == expected) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "shown: " << shown;
}

// The paths of the sessions the dialog handed to the host.
std::u16string Connected() {
    std::u16string paths;
    for (unsigned i = 0; i < GetSessionDeckSessionConfigCount(); ++i) {
        auto session = VUnknownPointer<ISessionConfig>::Adopt(GetSessionDeckSessionConfig(i));
        paths += session->GetSessionPath().str() + u"|";
    }
    return paths;
}

// Right-clicks the row `label` and presses `key` (an item's mnemonic) in the pop-up menu. The
// menu runs a loop of its own until it closes, so the key comes from a timer inside that loop.
void ChooseFromContextMenu(wxTreeCtrl* tree, const char* label, char key) {
    wxTimer press;
    press.Bind(wxEVT_TIMER, [key](wxTimerEvent&) { wxUIActionSimulator().Char(key); });
    press.StartOnce(800);
    Click(LabelCentre(tree, label), 0, wxMOUSE_BTN_RIGHT);
    Settle(1200);
}

// Presses on the row `from` and moves in steps, as a hand would, onto `to`, holding `modifier`
// (0 for none); runs `hovering` with the button still down, then drops where `to` is drawn then.
void Drag(wxTreeCtrl* tree, const char* from, const char* to, int modifier,
          const std::function<void()>& hovering) {
    const wxPoint start = LabelCentre(tree, from), end = LabelCentre(tree, to);
    Click(start, 0, 0);
    wxUIActionSimulator sim;
    if (modifier) sim.KeyDown(modifier);
    sim.MouseDown();
    Settle(100);
    for (int step = 1; step <= 8; ++step, Settle(40))
        sim.MouseMove(start + (end - start) * step / 8);
    if (hovering) hovering();
    sim.MouseMove(LabelCentre(tree, to));
    Settle(100);
    sim.MouseUp();
    if (modifier) sim.KeyUp(modifier);
    Settle(500);
}

TEST_F(SessionDeckGuiTest, CtrlClickTwoSessionsAndConnectHandsBothToTheHost) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        tree->Expand(Item(tree, "Servers"));  // loads the folder's sessions through the model
        Settle();
        Click(LabelCentre(tree, "web1"));
        // Closing the folder of the selected session closes it: the folder takes the caret.
        tree->Collapse(Item(tree, "Servers"));
        Settle();
        EXPECT_TRUE(Shows(tree, "Sessions|Lab|Servers|"));
        EXPECT_TRUE(tree->IsSelected(Item(tree, "Servers")));
        tree->Expand(Item(tree, "Servers"));
        Settle();
        Click(LabelCentre(tree, "web1"));
        Click(LabelCentre(tree, "releases"), WXK_CONTROL);
        EXPECT_TRUE(ToolbarOf(dialog)->GetToolEnabled(SessionDeckCommand::kConnect));
        Screenshot(dialog, "connect_two_sessions");
        ClickWindow(dialog->FindWindow(deck_ids::kConnectButton));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1);
    // Exactly the two clicked, in display order: "files" sits between them.
    EXPECT_EQ(Connected(), u"Servers\\releases|Servers\\web1|");
}

TEST_F(SessionDeckGuiTest, MultiSelectBrowseOffersOkOnlyForASelectionAndReturnsThePaths) {
    Driver driver([&](wxDialog* dialog) {
        wxWindow* ok = dialog->FindWindow(deck_ids::kConnectButton);
        EXPECT_EQ(ok->GetLabel() + " " + dialog->FindWindow(wxID_CANCEL)->GetLabel(), "OK Cancel");
        EXPECT_FALSE(ok->IsEnabled() || dialog->FindWindow(deck_ids::kShowOnStartup)->IsShown() ||
                     ToolbarOf(dialog)->FindById(SessionDeckCommand::kConnect))
            << "OK with nothing selected, the startup box or the toolbar's Connect is on show";
        Click(LabelCentre(TreeOf(dialog), "Servers"));
        Click(LabelCentre(TreeOf(dialog), "Lab"), WXK_CONTROL);
        ClickWindow(ok);  // a button still disabled would not end the dialog with 1
    });
    VArray<VUnicodeString> paths;
    EXPECT_EQ(ShowSessionDeckMultiSelectBrowseMode(u"Pick sessions", paths), 1);
    std::u16string joined;
    for (const VUnicodeString& path : paths) joined += path.str() + u"|";
    EXPECT_EQ(joined, u"Lab|Servers|");
}

// Opening the GUI on a store of the previous format loads everything once and moves "Version"
// on; any other "Version" (the same letters in another case too) is left alone.
TEST_F(SessionDeckGuiTest, InitGuiUpgradesOnlyThePreviousConfigurationVersion) {
    for (const auto& [stored, upgraded] : {std::pair{u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA", true},
                                           {u"0311abc6-1cdd-46fc-a08a-0d7c00242fca", false}}) {
        GlobalConfig* config = nullptr;
        GetGlobalConfig(config);
        config->version = VUnicodeString(stored);
        ASSERT_TRUE(config->Save(true));
        ReloadGlobalConfig(config);
        SessionDeckDllInitGUI(nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(IsSessionDeckWindowClassRegistered());
        ReloadGlobalConfig(config);  // what the store now holds
        EXPECT_EQ(config->version.Get().str(), upgraded ? kCurrentConfigVersion : stored);
    }
    auto web1 = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"Servers\\web1"));
    EXPECT_TRUE(web1 && web1->CanConnectTerminalConfig());
}

TEST_F(SessionDeckGuiTest, FilterShowsMatchesByNameAndHostAndEscapeClearsIt) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto* box = dynamic_cast<wxSearchCtrl*>(dialog->FindWindow(deck_ids::kFilterBox));
        ClickWindow(tree, 0);  // only points: keys follow the pointer
        Press('f', wxMOD_CONTROL);
        EXPECT_EQ(wxWindow::FindFocus(), box) << "Ctrl+F did not reach the filter box";
        wxUIActionSimulator().Text("web");
        EXPECT_TRUE(Shows(tree, "Sessions|Servers|web1|"));
        Press(WXK_ESCAPE);
        EXPECT_TRUE(box->IsEmpty() && dialog->IsModal()) << "Escape closed the dialog or kept text";
        EXPECT_TRUE(Shows(tree, "Sessions|Lab|Servers|"));
        wxUIActionSimulator().Text("192.0.2");  // the router's host name, not its label
        EXPECT_TRUE(Shows(tree, "Sessions|Lab|router|"));
        Press(WXK_RETURN);  // in the box: connects the selected first match
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1) << "Enter did not connect the match";
    EXPECT_EQ(Connected(), u"Lab\\router|");
}

// Reorganising in one opened dialog: drags onto the collapsed Lab, which opens after the hover
// delay (a plain drag copies, Alt+drag moves); Cut and Paste from the context menus, through the
// system clipboard; F2 on the pasted session: Escape leaves the name as it was, Enter stores the
// new one. The tree at the end shows every step's outcome as the model has it.
TEST_F(SessionDeckGuiTest, DragsOntoACollapsedFolderThatOpensOnHoverCutPasteAndF2) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        tree->Expand(Item(tree, "Servers"));
        Settle();
        Drag(tree, "releases", "Lab", 0, [&] {
            EXPECT_FALSE(tree->IsExpanded(Item(tree, "Lab"))) << "opened before the hover delay";
            EXPECT_TRUE(Shows(tree, "Sessions|Lab|router|Servers|files|releases|web1|"));
        });
        Drag(tree, "web1", "Lab", WXK_ALT, nullptr);

        ChooseFromContextMenu(tree, "files", 't');  // "Cu&t"
        // The cut redrew the tree, so every item found before it is gone.
        EXPECT_NE(tree->GetItemTextColour(Item(tree, "files")),
                  tree->GetItemTextColour(Item(tree, "web1")))
            << "a cut session is drawn like any other";
        EXPECT_TRUE(ToolbarOf(dialog)->GetToolEnabled(SessionDeckCommand::kPaste));
        {  // what another process reads: the whole record
            wxClipboardLocker lock;
            wxCustomDataObject record(wxDataFormat(wxString("FolderTree")));
            EXPECT_TRUE(!!lock && wxTheClipboard->GetData(record) && record.GetSize() == 1048u);
        }
        ChooseFromContextMenu(tree, "Lab", 'p');  // "&Paste"
        Settle(500);
        Click(LabelCentre(tree, "files"));
        for (const char* typed : {"dropped", "gateway"}) {
            Press(WXK_F2);
            EXPECT_NE(tree->GetEditControl(), nullptr);
            wxUIActionSimulator().Text(typed);
            Press(*typed == 'd' ? WXK_ESCAPE : WXK_RETURN);
            EXPECT_TRUE(dialog->IsShown()) << "Escape or Enter in the edit box closed the dialog";
            EXPECT_EQ(SessionDatabase::Exists(u"Lab\\files"), *typed == 'd') << "pasted, " << typed;
        }
        EXPECT_TRUE(Shows(tree, "Sessions|Lab|gateway|releases|router|web1|Servers|releases|"));
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
}

// Nothing but keys from the dialog's opening to Connect.
TEST_F(SessionDeckGuiTest, KeyboardOnlyOpensAFolderSelectsTwoWithShiftDownAndConnects) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        ClickWindow(tree, 0);  // only points: keys follow the pointer
        // From the root: Lab, Servers; open Servers and go to its first session, then one more.
        for (int key : {WXK_DOWN, WXK_DOWN, WXK_RIGHT, WXK_DOWN}) Press(key);
        Press(WXK_DOWN, wxMOD_SHIFT);
        EXPECT_TRUE(Shows(tree, "Sessions|Lab|Servers|files|releases|web1|"));
        Press(WXK_RETURN);
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1);
    EXPECT_EQ(Connected(), u"Servers\\files|Servers\\releases|");
}

}  // namespace
