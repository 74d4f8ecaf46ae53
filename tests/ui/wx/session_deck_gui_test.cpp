// The session manager on a real display (Xvfb): the dialog is opened through the exported entry
// points on a configuration folder made for each test and driven with synthetic input as a user
// would drive it: Ctrl+click and Connect, browse mode, cut and paste from the context menus with
// the system clipboard, F2, the filter box, a drag that waits for the hover delay, and keys only.
// The rules behind each step are the model's tests; these prove the view carries them out.
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/srchctrl.h>

#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// The ids the dialog gives its controls and commands.
constexpr int kConnectButton = 1044, kToolbarId = 1200, kFilterBoxId = 1201, kConnectTool = 2000,
              kPasteTool = 2005;

wxTreeItemId Item(wxTreeCtrl* tree, const wxString& label) {
    return FindItem(tree, tree->GetRootItem(), label);
}

// Without a window manager the X input focus follows the pointer: keys go to the dialog only
// while the pointer is over it.
void PointAt(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    wxUIActionSimulator().MouseMove(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
    Settle(100);
}

// Keeps the event loop running until `done` holds or `milliseconds` have passed.
bool SettleUntil(const std::function<bool()>& done, int milliseconds) {
    for (int waited = 0; waited < milliseconds && !done(); waited += 50) Settle(50);
    return done();
}

// The labels of the rows shown below `folder` (every row shown, for the root), joined with "|".
wxString ShownBelow(wxTreeCtrl* tree, const wxTreeItemId& folder) {
    const bool all = folder == tree->GetRootItem();
    wxTreeItemIdValue cookie;
    wxString labels;
    for (wxTreeItemId item = all ? folder : tree->GetFirstChild(folder, cookie); item.IsOk();
         item = all ? tree->GetNextVisible(item) : tree->GetNextChild(folder, cookie))
        labels += tree->GetItemText(item) + "|";
    return labels;
}

// The paths of the sessions the dialog handed to the host.
std::u16string Connected() {
    std::u16string paths;
    for (unsigned i = 0; i < GetSessionDeckSessionConfigCount(); ++i)
        paths += VUnknownPointer<ISessionConfig>::Adopt(GetSessionDeckSessionConfig(i))
                     ->GetSessionPath()
                     .str() +
                 u"|";
    return paths;
}

// Right-clicks `item` and presses `key` (an item's mnemonic) in the pop-up menu that opens.
// The menu runs a loop of its own until it closes, so the key comes from a timer that fires
// inside that loop.
void ChooseFromContextMenu(wxTreeCtrl* tree, const wxTreeItemId& item, char key) {
    wxTimer press;
    press.Bind(wxEVT_TIMER, [key](wxTimerEvent&) { wxUIActionSimulator().Char(key); });
    wxUIActionSimulator sim;
    sim.MouseMove(LabelCentre(tree, item));
    Settle(100);
    press.StartOnce(700);
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    Settle(1500);
}

// Presses on `from` and moves in steps, as a hand would, to `to`, holding `modifier` (a key
// code, 0 for none) from the press on. The button stays down.
void DragBetween(const wxPoint& from, const wxPoint& to, int modifier) {
    wxUIActionSimulator sim;
    sim.MouseMove(from);
    Settle(100);
    if (modifier) sim.KeyDown(modifier);
    sim.MouseDown();
    Settle(100);
    for (int step = 1; step <= 8; ++step) {
        sim.MouseMove(from + (to - from) * step / 8);
        Settle(40);
    }
}

void Release(int modifier) {
    wxUIActionSimulator sim;
    sim.MouseUp();
    if (modifier) sim.KeyUp(modifier);
    Settle(500);
}

size_t ClipboardRecordSize() {
    wxClipboardLocker lock;
    const wxDataFormat format(wxString("FolderTree"));
    if (!lock || !wxTheClipboard->IsSupported(format)) return 0;
    wxCustomDataObject data(format);
    return wxTheClipboard->GetData(data) ? data.GetSize() : 0;
}

TEST_F(SessionDeckGuiTest, CtrlClickTwoSessionsAndConnectHandsBothToTheHost) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId servers = Item(tree, "Servers");
        tree->Expand(servers);  // loads the folder's sessions through the model
        Settle();
        const wxTreeItemId web1 = Item(tree, "web1"), releases = Item(tree, "releases");
        ASSERT_TRUE(web1.IsOk() && releases.IsOk());
        Click(LabelCentre(tree, web1));
        Click(LabelCentre(tree, releases), WXK_CONTROL);
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(kToolbarId));
        EXPECT_TRUE(toolbar && toolbar->GetToolEnabled(kConnectTool));
        Screenshot(dialog, "connect_two_sessions");
        ClickWindow(dialog->FindWindow(kConnectButton));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1);
    // Exactly the two clicked, in display order: "files" sits between them.
    EXPECT_EQ(Connected(), u"Servers\\releases|Servers\\web1|");
}

TEST_F(SessionDeckGuiTest, MultiSelectBrowseOffersOkOnlyForASelectionAndReturnsThePaths) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        wxWindow* ok = dialog->FindWindow(kConnectButton);
        EXPECT_EQ(ok->GetLabel(), "OK");
        EXPECT_EQ(dialog->FindWindow(wxID_CANCEL)->GetLabel(), "Cancel");
        EXPECT_FALSE(ok->IsEnabled()) << "nothing is selected at first in this mode";
        EXPECT_FALSE(dialog->FindWindow(1339)->IsShown()) << "the startup box";
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(kToolbarId));
        EXPECT_TRUE(toolbar && !toolbar->FindById(kConnectTool));
        Click(LabelCentre(tree, Item(tree, "Servers")));
        Click(LabelCentre(tree, Item(tree, "Lab")), WXK_CONTROL);
        EXPECT_TRUE(ok->IsEnabled());
        Screenshot(dialog, "browse_multi");
        ClickWindow(ok);
    });
    VArray<VUnicodeString> paths;
    EXPECT_EQ(ShowSessionDeckMultiSelectBrowseMode(u"Pick sessions", paths), 1);
    std::u16string joined;
    for (const VUnicodeString& path : paths) joined += path.str() + u"|";
    EXPECT_EQ(joined, u"Lab|Servers|");
}

// Opening the GUI on a store of the previous format loads everything once and moves "Version"
// on; any other "Version" is left alone.
TEST_F(SessionDeckGuiTest, InitGuiUpgradesOnlyThePreviousConfigurationVersion) {
    for (const auto& [stored, upgraded] : {std::pair{u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA", true},
                                           {u"0311abc6-1cdd-46fc-a08a-0d7c00242fca", false},
                                           {u"11111111-2222-3333-4444-555555555555", false}}) {
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
    // The sessions are still there and still load.
    auto web1 = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"Servers\\web1"));
    EXPECT_TRUE(web1 && web1->CanConnectTerminalConfig());
}

TEST_F(SessionDeckGuiTest, CutAndPasteFromTheContextMenusMoveTheSessionAndF2RenamesInPlace) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(kToolbarId));
        ASSERT_TRUE(tree && toolbar);
        tree->Expand(Item(tree, "Servers"));
        Settle();
        ChooseFromContextMenu(tree, Item(tree, "web1"), 't');  // "Cu&t"
        // The cut redrew the tree, so every item found before it is gone.
        EXPECT_NE(tree->GetItemTextColour(Item(tree, "web1")),
                  tree->GetItemTextColour(Item(tree, "files")))
            << "a cut session is drawn like any other";
        EXPECT_TRUE(toolbar->GetToolEnabled(kPasteTool));
        EXPECT_EQ(ClipboardRecordSize(), 1048u) << "what another process reads: the whole record";
        Screenshot(dialog, "cut_dimmed");
        ChooseFromContextMenu(tree, Item(tree, "Lab"), 'p');  // "&Paste"
        Settle(500);
        EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\web1"));
        EXPECT_FALSE(SessionDatabase::Exists(u"Servers\\web1"));
        // F2 edits the pasted session's name in place: Escape leaves the name and the dialog
        // as they were, Enter stores the new name.
        Click(LabelCentre(tree, Item(tree, "web1")));
        wxUIActionSimulator sim;
        for (const char* typed : {"dropped", "gateway"}) {
            sim.Char(WXK_F2);
            Settle();
            EXPECT_NE(tree->GetEditControl(), nullptr);
            sim.Text(typed);
            Settle();
            sim.Char(*typed == 'd' ? WXK_ESCAPE : WXK_RETURN);
            Settle(500);
            EXPECT_TRUE(dialog->IsShown()) << "Escape or Enter in the edit box closed the dialog";
            EXPECT_EQ(SessionDatabase::Exists(u"Lab\\web1"), *typed == 'd');
        }
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\gateway")) << "not pasted into Lab, or not renamed";
}

TEST_F(SessionDeckGuiTest, FilterShowsMatchesByNameAndHostAndEscapeClearsIt) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto* box = dynamic_cast<wxSearchCtrl*>(dialog->FindWindow(kFilterBoxId));
        ASSERT_TRUE(tree && box);
        PointAt(tree);
        wxUIActionSimulator sim;
        sim.Char('f', wxMOD_CONTROL);
        Settle();
        wxWindow* focus = wxWindow::FindFocus();
        EXPECT_TRUE(focus == box || (focus && focus->GetParent() == box))
            << "Ctrl+F did not reach the filter box";
        sim.Text("web");
        EXPECT_TRUE(SettleUntil([&] { return Item(tree, "web1").IsOk(); }, 3000));
        EXPECT_EQ(ShownBelow(tree, tree->GetRootItem()), "Sessions|Servers|web1|");
        Screenshot(dialog, "filter_web");
        sim.Char(WXK_ESCAPE);
        Settle();
        EXPECT_TRUE(box->IsEmpty() && dialog->IsModal()) << "Escape closed the dialog or kept text";
        EXPECT_EQ(ShownBelow(tree, tree->GetRootItem()), "Sessions|Lab|Servers|");
        sim.Text("192.0.2");  // the router's host name, not its label
        EXPECT_TRUE(SettleUntil([&] { return Item(tree, "router").IsOk(); }, 3000));
        EXPECT_EQ(ShownBelow(tree, tree->GetRootItem()), "Sessions|Lab|router|");
        sim.Char(WXK_RETURN);  // in the box: connects the selected first match
        Settle(500);
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1) << "Enter did not connect the match";
    EXPECT_EQ(Connected(), u"Lab\\router|");
}

// A plain drag copies (the session stays where it was), Alt+drag moves; both land in the
// folder the hover opened, in the store and in the drawn tree.
TEST_F(SessionDeckGuiTest, DraggingOntoACollapsedFolderOpensItAfterTheHoverDelayAndDropsIntoIt) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        tree->Expand(Item(tree, "Servers"));
        Settle();
        DragBetween(LabelCentre(tree, Item(tree, "releases")), LabelCentre(tree, Item(tree, "Lab")),
                    0);
        EXPECT_FALSE(tree->IsExpanded(Item(tree, "Lab"))) << "opened before the hover delay";
        EXPECT_TRUE(SettleUntil([&] { return tree->IsExpanded(Item(tree, "Lab")); }, 2000));
        EXPECT_EQ(ShownBelow(tree, Item(tree, "Lab")), "router|");
        Screenshot(dialog, "drag_hover_opened");
        wxUIActionSimulator().MouseMove(LabelCentre(tree, Item(tree, "Lab")));
        Settle(100);
        Release(0);
        Screenshot(dialog, "drag_copied");
        EXPECT_EQ(ShownBelow(tree, Item(tree, "Lab")), "releases|router|");
        EXPECT_EQ(ShownBelow(tree, Item(tree, "Servers")), "files|releases|web1|");

        DragBetween(LabelCentre(tree, Item(tree, "web1")), LabelCentre(tree, Item(tree, "Lab")),
                    WXK_ALT);
        Release(WXK_ALT);
        Screenshot(dialog, "drag_moved");
        EXPECT_EQ(ShownBelow(tree, Item(tree, "Lab")), "releases|router|web1|");
        EXPECT_EQ(ShownBelow(tree, Item(tree, "Servers")), "files|releases|");
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    for (const auto& [path, exists] : {std::pair{u"Lab\\releases", true},
                                       {u"Servers\\releases", true},
                                       {u"Lab\\web1", true},
                                       {u"Servers\\web1", false}})
        EXPECT_EQ(SessionDatabase::Exists(path), exists) << VUnicodeString(path).ToUtf8();
}

// Nothing but keys from the dialog's opening to Connect.
TEST_F(SessionDeckGuiTest, KeyboardOnlyOpensAFolderSelectsTwoWithShiftDownAndConnects) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        PointAt(tree);
        wxUIActionSimulator sim;
        // From the root: Lab, Servers; open Servers and go to its first session.
        for (int key : {WXK_DOWN, WXK_DOWN, WXK_RIGHT, WXK_DOWN}) {
            sim.Char(key);
            Settle(150);
        }
        sim.Char(WXK_DOWN, wxMOD_SHIFT);
        Settle();
        EXPECT_EQ(ShownBelow(tree, tree->GetRootItem()),
                  "Sessions|Lab|Servers|files|releases|web1|");
        Screenshot(dialog, "keyboard_shift_down");
        sim.Char(WXK_RETURN);
        Settle(500);
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1);
    EXPECT_EQ(Connected(), u"Servers\\files|Servers\\releases|");
}

}  // namespace
