// The session manager's view carrying out the model's commands on a real display: cut and paste
// from the context menus with the system clipboard, and the filter box. Dragging is held by the
// model's tests (effects, the hover timer, drops between rows).
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

}  // namespace
