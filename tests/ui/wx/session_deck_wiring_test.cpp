// The session manager's view carrying out the model's commands on a real display: cut and paste
// from the context menus with the system clipboard, the filter box, and a drag that waits for the
// hover delay (the drop positions between rows are the model's tests).
#include <wx/clipbrd.h>
#include <wx/dataobj.h>
#include <wx/srchctrl.h>

#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// The ids the dialog gives its controls and commands.
constexpr int kToolbarId = 1200;
constexpr int kFilterBoxId = 1201;
constexpr int kPasteTool = 2005;

// Keeps the event loop running until `done` holds or `milliseconds` have passed.
// Without a window manager the X input focus follows the pointer: keys go to the dialog only
// while the pointer is over it.
void PointAt(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    wxUIActionSimulator().MouseMove(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
    Settle(100);
}

bool SettleUntil(const std::function<bool()>& done, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (done()) return true;
        Settle(50);
    }
    return done();
}

std::vector<wxString> VisibleLabels(wxTreeCtrl* tree) {
    std::vector<wxString> labels;
    for (wxTreeItemId item = tree->GetRootItem(); item.IsOk(); item = tree->GetNextVisible(item))
        labels.push_back(tree->GetItemText(item));
    return labels;
}

bool Shows(wxTreeCtrl* tree, const wxString& label) {
    const auto labels = VisibleLabels(tree);
    return std::find(labels.begin(), labels.end(), label) != labels.end();
}

size_t ClipboardRecordSize() {
    wxClipboardLocker lock;
    const wxDataFormat format(wxString("FolderTree"));
    if (!lock || !wxTheClipboard->IsSupported(format)) return 0;
    wxCustomDataObject data(format);
    return wxTheClipboard->GetData(data) ? data.GetSize() : 0;
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

TEST_F(SessionDeckGuiTest, CutAndPasteFromTheContextMenusMoveTheSessionAndF2RenamesInPlace) {
    struct {
        bool dimmed = false, pasteEnabledAfterCut = false, editOpened = false, escapeKept = false;
        size_t recordSize = 0;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto* toolbar = dynamic_cast<wxToolBar*>(dialog->FindWindow(kToolbarId));
        ASSERT_TRUE(tree && toolbar);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        tree->Expand(servers);
        Settle();
        ChooseFromContextMenu(tree, FindItem(tree, servers, "web1"), 't');  // "Cu&t"
        // The cut redrew the tree, so every item found before it is gone: look both up again.
        const wxTreeItemId web1 = FindItem(tree, tree->GetRootItem(), "web1");
        const wxTreeItemId normal = FindItem(tree, tree->GetRootItem(), "files");
        ASSERT_TRUE(web1.IsOk() && normal.IsOk());
        seen.dimmed = tree->GetItemTextColour(web1) != tree->GetItemTextColour(normal);
        seen.pasteEnabledAfterCut = toolbar->GetToolEnabled(kPasteTool);
        seen.recordSize = ClipboardRecordSize();
        Screenshot(dialog, "cut_dimmed");
        ChooseFromContextMenu(tree, FindItem(tree, tree->GetRootItem(), "Lab"), 'p');  // "&Paste"
        Settle(500);
        // F2 edits the pasted session's name in place: Escape leaves the name and the dialog
        // as they were, Enter stores the new name.
        Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "web1")));
        wxUIActionSimulator sim;
        sim.Char(WXK_F2);
        Settle();
        sim.Text("dropped");
        Settle();
        sim.Char(WXK_ESCAPE);
        Settle(500);
        seen.escapeKept = dialog->IsShown() && FindItem(tree, tree->GetRootItem(), "web1").IsOk();
        sim.Char(WXK_F2);
        Settle();
        seen.editOpened = tree->GetEditControl() != nullptr;
        sim.Text("gateway");
        Settle();
        sim.Char(WXK_RETURN);
        Settle(500);
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_TRUE(seen.dimmed) << "a cut session is drawn like any other";
    EXPECT_TRUE(seen.pasteEnabledAfterCut);
    // What another process reads from the system clipboard: the whole record.
    EXPECT_EQ(seen.recordSize, 1048u);
    EXPECT_FALSE(SessionDatabase::Exists(u"Servers\\web1"));
    EXPECT_TRUE(seen.escapeKept) << "Escape in the edit box closed the dialog or renamed";
    EXPECT_TRUE(seen.editOpened);
    EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\gateway")) << "not pasted into Lab, or not renamed";
    EXPECT_FALSE(SessionDatabase::Exists(u"Lab\\web1"));
}

TEST_F(SessionDeckGuiTest, FilterShowsMatchesByNameAndHostAndEscapeClearsIt) {
    struct {
        bool focused = false, webShown = false, routerHidden = false, clearedEmpty = false,
             serversBack = false, hostMatched = false;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto* box = dynamic_cast<wxSearchCtrl*>(dialog->FindWindow(kFilterBoxId));
        ASSERT_TRUE(tree && box);
        PointAt(tree);
        wxUIActionSimulator sim;
        sim.Char('f', wxMOD_CONTROL);
        Settle();
        wxWindow* focus = wxWindow::FindFocus();
        seen.focused = focus == box || (focus && focus->GetParent() == box);
        sim.Text("web");
        seen.webShown = SettleUntil([&] { return Shows(tree, "web1"); }, 3000);
        seen.routerHidden = !FindItem(tree, tree->GetRootItem(), "router").IsOk();
        Screenshot(dialog, "filter_web");
        sim.Char(WXK_ESCAPE);
        Settle();
        seen.clearedEmpty = box->IsEmpty() && dialog->IsModal();
        seen.serversBack = FindItem(tree, tree->GetRootItem(), "Servers").IsOk() &&
                           FindItem(tree, tree->GetRootItem(), "Lab").IsOk();
        sim.Text("192.0.2");  // the router's host name, not its label
        seen.hostMatched = SettleUntil([&] { return Shows(tree, "router"); }, 3000) &&
                           !FindItem(tree, tree->GetRootItem(), "web1").IsOk();
        // Enter in the box connects the selected first match, as Connect does.
        sim.Char(WXK_RETURN);
        Settle(500);
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1) << "Enter did not connect the match";
    ASSERT_EQ(GetSessionDeckSessionConfigCount(), 1u);
    EXPECT_EQ(VUnknownPointer<ISessionConfig>::Adopt(GetSessionDeckSessionConfig(0))
                  ->GetSessionPath()
                  .str(),
              u"Lab\\router");
    EXPECT_TRUE(seen.focused) << "Ctrl+F did not reach the filter box";
    EXPECT_TRUE(seen.webShown);
    EXPECT_TRUE(seen.routerHidden);
    EXPECT_TRUE(seen.clearedEmpty) << "Escape closed the dialog or left the filter";
    EXPECT_TRUE(seen.serversBack);
    EXPECT_TRUE(seen.hostMatched);
}

// The labels of the children `parent` shows, in order.
std::vector<wxString> ChildLabels(wxTreeCtrl* tree, const wxTreeItemId& parent) {
    std::vector<wxString> labels;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(parent, cookie); child.IsOk();
         child = tree->GetNextChild(parent, cookie))
        labels.push_back(tree->GetItemText(child));
    return labels;
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

// A plain drag copies (the session stays where it was), Alt+drag moves; both land in the
// folder the hover opened, in the store and in the drawn tree.
TEST_F(SessionDeckGuiTest, DraggingOntoACollapsedFolderOpensItAfterTheHoverDelayAndDropsIntoIt) {
    struct {
        bool openEarly = true, openAfterDelay = false, routerShown = false;
        std::vector<wxString> labAfterCopy, serversAfterCopy, labAfterMove, serversAfterMove;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        auto find = [&](const wxString& label) {
            return FindItem(tree, tree->GetRootItem(), label);
        };
        tree->Expand(find("Servers"));
        Settle();
        const wxPoint from = LabelCentre(tree, find("releases"));
        DragBetween(from, LabelCentre(tree, find("Lab")), 0);
        seen.openEarly = tree->IsExpanded(find("Lab"));
        SettleUntil([&] { return tree->IsExpanded(find("Lab")); }, 2000);
        seen.openAfterDelay = tree->IsExpanded(find("Lab"));
        seen.routerShown = Shows(tree, "router");
        Screenshot(dialog, "drag_hover_opened");
        wxUIActionSimulator().MouseMove(LabelCentre(tree, find("Lab")));
        Settle(100);
        Release(0);
        Screenshot(dialog, "drag_copied");
        seen.labAfterCopy = ChildLabels(tree, find("Lab"));
        seen.serversAfterCopy = ChildLabels(tree, find("Servers"));

        DragBetween(LabelCentre(tree, find("web1")), LabelCentre(tree, find("Lab")), WXK_ALT);
        Release(WXK_ALT);
        Screenshot(dialog, "drag_moved");
        seen.labAfterMove = ChildLabels(tree, find("Lab"));
        seen.serversAfterMove = ChildLabels(tree, find("Servers"));
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_FALSE(seen.openEarly) << "the folder opened before the hover delay";
    EXPECT_TRUE(seen.openAfterDelay);
    EXPECT_TRUE(seen.routerShown);
    using Labels = std::vector<wxString>;
    EXPECT_EQ(seen.labAfterCopy, (Labels{"releases", "router"}));
    EXPECT_EQ(seen.serversAfterCopy, (Labels{"files", "releases", "web1"}));
    EXPECT_EQ(seen.labAfterMove, (Labels{"releases", "router", "web1"}));
    EXPECT_EQ(seen.serversAfterMove, (Labels{"files", "releases"}));
    EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\releases"));
    EXPECT_TRUE(SessionDatabase::Exists(u"Servers\\releases"));
    EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\web1"));
    EXPECT_FALSE(SessionDatabase::Exists(u"Servers\\web1"));
}

// Nothing but keys from the dialog's opening to Connect.
TEST_F(SessionDeckGuiTest, KeyboardOnlyOpensAFolderSelectsTwoWithShiftDownAndConnects) {
    std::vector<wxString> shown;
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
        shown = VisibleLabels(tree);
        Screenshot(dialog, "keyboard_shift_down");
        sim.Char(WXK_RETURN);
        Settle(500);
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 1);
    EXPECT_EQ(shown,
              (std::vector<wxString>{"Sessions", "Lab", "Servers", "files", "releases", "web1"}));
    ASSERT_EQ(GetSessionDeckSessionConfigCount(), 2u);
    std::u16string paths;
    for (unsigned i = 0; i < 2; ++i)
        paths += VUnknownPointer<ISessionConfig>::Adopt(GetSessionDeckSessionConfig(i))
                     ->GetSessionPath()
                     .str() +
                 u"|";
    EXPECT_EQ(paths, u"Servers\\files|Servers\\releases|");
}

}  // namespace
