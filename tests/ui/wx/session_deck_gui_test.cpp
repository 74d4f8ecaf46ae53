// The session manager on a real display (Xvfb): the dialog is opened through the exported entry
// points on a configuration folder made for each test, and driven with synthetic input as a
// user would drive it. Every test saves a screenshot under the build folder.
#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/global_config.h"
#include "profile/profile_store.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "support/temp_dir.h"
#include "tools/cli/cli_common.h"
#include "tools/cli/protocol_loading.h"
#include "ui/wx/session_deck_ui.h"

// Xlib last: its macros (Status, None, Bool) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

void Settle(int milliseconds = 300) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
        wxTheApp->Yield(true);
        wxMilliSleep(20);
    }
}

wxTreeItemId FindItem(wxTreeCtrl* tree, const wxTreeItemId& from, const wxString& label) {
    if (tree->GetItemText(from) == label) return from;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(from, cookie); child.IsOk();
         child = tree->GetNextChild(from, cookie)) {
        if (wxTreeItemId found = FindItem(tree, child, label); found.IsOk()) return found;
    }
    return wxTreeItemId();
}

wxPoint LabelCentre(wxTreeCtrl* tree, const wxTreeItemId& item) {
    wxRect rect;
    tree->GetBoundingRect(item, rect, true);
    return tree->ClientToScreen(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
}

void Click(const wxPoint& point, int modifier = 0) {
    wxUIActionSimulator sim;
    sim.MouseMove(point);
    Settle(100);
    if (modifier) sim.KeyDown(modifier);
    sim.MouseClick();
    if (modifier) sim.KeyUp(modifier);
    Settle();
}

void ClickWindow(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    Click(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
}

// Saves what the screen shows of `window` as build/screenshots/NAME.png. The pixels are read
// from the X server (the root window holds every mapped window's contents), since GTK 3 gives
// wxWidgets no way to read a window back.
void Screenshot(wxWindow* window, const std::string& name) {
    Settle(100);
    const wxRect rect = window->GetScreenRect();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XImage* pixels = XGetImage(display, DefaultRootWindow(display), rect.x, rect.y,
                               static_cast<unsigned>(rect.width),
                               static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
    ASSERT_NE(pixels, nullptr);
    wxImage image(rect.width, rect.height);
    for (int y = 0; y < rect.height; ++y) {
        for (int x = 0; x < rect.width; ++x) {
            const unsigned long pixel = XGetPixel(pixels, x, y);
            image.SetRGB(x, y, (pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
        }
    }
    XDestroyImage(pixels);
    XCloseDisplay(display);
    const std::filesystem::path folder = SESSIONDECK_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(image.SaveFile((folder / (name + ".png")).string(), wxBITMAP_TYPE_PNG));
}

// Runs `drive` once the dialog's modal loop is running; whatever happens, the dialog is closed
// afterwards so that a failing step cannot leave the test waiting forever.
class Driver {
public:
    explicit Driver(std::function<void(wxDialog*)> drive) : m_drive(std::move(drive)) {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Run(); });
        m_timer.StartOnce(300);
    }

private:
    void Run() {
        wxDialog* dialog = nullptr;
        for (wxWindow* window : wxTopLevelWindows) {
            if (window->GetName() == "SessionDeck") dialog = dynamic_cast<wxDialog*>(window);
        }
        ASSERT_NE(dialog, nullptr) << "the session manager did not open";
        Settle();
        m_drive(dialog);
        if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
    }

    std::function<void(wxDialog*)> m_drive;
    wxTimer m_timer;
};

class SessionDeckGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool started = false;
        if (!started) {
            static int argc = 1;
            static char name[] = "test_ui_wx";
            static char* argv[] = {name, nullptr};
            wxApp::SetInstance(new wxApp());
            const char* display = std::getenv("DISPLAY");
            if (!display || !*display) {
                // CTest counts this status as skipped (SKIP_RETURN_CODE), so a run without a
                // display reports these tests as not run instead of failed or passed.
                std::fprintf(stderr, "no display: run the gui tests under xvfb-run\n");
                std::_Exit(77);
            }
            started = wxEntryStart(argc, argv);
            wxInitAllImageHandlers();
        }
        ASSERT_TRUE(started) << "no display: run the gui tests under xvfb-run";
    }

    void SetUp() override {
        options.configFolder = (dir / "Config").string();
        options.appName = "Vetralon";
        cli::InitialiseHost(options);
        const auto loaded = cli::EnsureProtocolsLoaded(options, 3);
        ASSERT_TRUE(loaded.loaded) << loaded.report;
        GlobalConfig* config = nullptr;
        ReloadGlobalConfig(config);
        ASSERT_TRUE(SessionDatabase().InsertFolder(u"", u"Servers", u"", true));
        ASSERT_TRUE(SessionDatabase().InsertFolder(u"", u"Lab", u"", true));
        MakeSession(u"Servers\\web1", u"web1.example.net");
        MakeSession(u"Servers\\files", u"files.example.net");
        MakeSession(u"Servers\\releases", u"releases.example.net");
        MakeSession(u"Lab\\router", u"192.0.2.1");
        SessionDeckDllInitGUI(nullptr, nullptr, nullptr, nullptr);
    }

    void TearDown() override { CleanupSessionDeckSessionConfigs(); }

    void MakeSession(const std::u16string& path, const char16_t* host) {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        key.SetDword(u"Is Session", 1);
        key.SetString(u"Hostname", host);
        key.SetString(u"Protocol Name", u"SSH2");
    }

    TempDir dir;
    cli::GlobalOptions options;
};

wxTreeCtrl* TreeOf(wxDialog* dialog) {
    return dynamic_cast<wxTreeCtrl*>(dialog->FindWindow(1036));
}

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

TEST_F(SessionDeckGuiTest, CloseChoosesNothingEvenWithASessionSelected) {
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        tree->Expand(servers);
        Settle();
        Click(LabelCentre(tree, FindItem(tree, servers, "web1")));
        Screenshot(dialog, "close");
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_EQ(GetSessionDeckSessionConfigCount(), 0u);
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

TEST_F(SessionDeckGuiTest, F2RenameEscapeKeepsTheNameAndEnterStoresTheNewOne) {
    struct {
        bool editOpened = false, escapeClosedEdit = false, dialogStayed = false;
        wxString labelAfterEscape, labelAfterEnter;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId lab = FindItem(tree, tree->GetRootItem(), "Lab");
        ASSERT_TRUE(lab.IsOk());
        tree->Expand(lab);
        Settle();
        const wxTreeItemId router = FindItem(tree, lab, "router");
        ASSERT_TRUE(router.IsOk());
        Click(LabelCentre(tree, router));
        wxUIActionSimulator sim;
        sim.Char(WXK_F2);
        Settle();
        seen.editOpened = tree->GetEditControl() != nullptr;
        sim.Text("abandoned");
        Settle();
        sim.Char(WXK_ESCAPE);
        Settle();
        seen.escapeClosedEdit = tree->GetEditControl() == nullptr;
        seen.dialogStayed = dialog->IsModal();
        seen.labelAfterEscape = tree->GetItemText(FindItem(tree, tree->GetRootItem(), "router"));

        sim.Char(WXK_F2);
        Settle();
        sim.Text("gateway");
        Settle();
        Screenshot(dialog, "rename_editing");
        sim.Char(WXK_RETURN);
        Settle(500);
        const wxTreeItemId renamed = FindItem(tree, tree->GetRootItem(), "gateway");
        if (renamed.IsOk()) seen.labelAfterEnter = tree->GetItemText(renamed);
        Screenshot(dialog, "rename_done");
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_TRUE(seen.editOpened);
    EXPECT_TRUE(seen.escapeClosedEdit);
    EXPECT_TRUE(seen.dialogStayed) << "Escape in the edit box closed the dialog";
    EXPECT_EQ(seen.labelAfterEscape, "router");
    EXPECT_EQ(seen.labelAfterEnter, "gateway");
    EXPECT_TRUE(SessionDatabase::Exists(u"Lab\\gateway"));
    EXPECT_FALSE(SessionDatabase::Exists(u"Lab\\router"));
    EXPECT_FALSE(SessionDatabase::Exists(u"Lab\\abandoned"));
}

TEST_F(SessionDeckGuiTest, AltFMakesANewFolderThatEscapeStillStores) {
    struct {
        bool editOpened = false;
        wxString editText;
        bool nodeShown = false;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        Click(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Servers")));
        wxUIActionSimulator sim;
        sim.Char('F', wxMOD_ALT);  // through the library's accelerator table
        Settle();
        seen.editOpened = tree->GetEditControl() != nullptr;
        if (seen.editOpened) seen.editText = tree->GetEditControl()->GetValue();
        Screenshot(dialog, "new_folder_editing");
        sim.Char(WXK_ESCAPE);
        Settle(500);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        seen.nodeShown = servers.IsOk() && FindItem(tree, servers, "New Folder").IsOk();
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_TRUE(seen.editOpened);
    EXPECT_EQ(seen.editText, "New Folder");
    EXPECT_TRUE(seen.nodeShown);
    EXPECT_TRUE(SessionDatabase().IsFolder(u"Servers\\New Folder"));
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

TEST_F(SessionDeckGuiTest, HoveringShowsASessionsDescriptionOnlyWhileDescriptionsAreOn) {
    for (const bool descriptions : {true, false}) {
        SCOPED_TRACE(descriptions ? "descriptions on" : "descriptions off");
        GlobalConfig* config = nullptr;
        GetGlobalConfig(config);
        config->showDetailsOnConnectDialog = descriptions;
        wxString overSession = "unset", overFolder = "unset";
        Driver driver([&](wxDialog* dialog) {
            wxTreeCtrl* tree = TreeOf(dialog);
            const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
            tree->Expand(servers);
            Settle();
            wxUIActionSimulator sim;
            sim.MouseMove(LabelCentre(tree, FindItem(tree, servers, "web1")));
            Settle();
            overSession = tree->GetToolTipText();
            sim.MouseMove(LabelCentre(tree, FindItem(tree, tree->GetRootItem(), "Lab")));
            Settle();
            overFolder = tree->GetToolTipText();
            ClickWindow(dialog->FindWindow(wxID_CANCEL));
        });
        EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
        if (descriptions) {
            EXPECT_TRUE(overSession.StartsWith("Hostname: web1.example.net")) << overSession;
        } else {
            EXPECT_EQ(overSession, "");
        }
        EXPECT_EQ(overFolder, "");
    }
}

TEST_F(SessionDeckGuiTest, EnterAndDoubleClickOnAFolderToggleItWithoutClosing) {
    struct {
        bool expandedByEnter = false, collapsedByEnter = false, expandedByDoubleClick = false;
        bool stillOpen = false;
    } seen;
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        wxTreeItemId lab = FindItem(tree, tree->GetRootItem(), "Lab");
        Click(LabelCentre(tree, lab));
        wxUIActionSimulator sim;
        sim.Char(WXK_RETURN);
        Settle();
        lab = FindItem(tree, tree->GetRootItem(), "Lab");  // the view may have redrawn
        seen.expandedByEnter = tree->IsExpanded(lab) && FindItem(tree, lab, "router").IsOk();
        sim.Char(WXK_RETURN);
        Settle();
        lab = FindItem(tree, tree->GetRootItem(), "Lab");
        seen.collapsedByEnter = !tree->IsExpanded(lab);
        sim.MouseMove(LabelCentre(tree, lab));
        Settle(100);
        sim.MouseDblClick();
        Settle();
        lab = FindItem(tree, tree->GetRootItem(), "Lab");
        seen.expandedByDoubleClick = tree->IsExpanded(lab);
        seen.stillOpen = dialog->IsModal();
        Screenshot(dialog, "folder_toggled");
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_TRUE(seen.expandedByEnter);
    EXPECT_TRUE(seen.collapsedByEnter);
    EXPECT_TRUE(seen.expandedByDoubleClick);
    EXPECT_TRUE(seen.stillOpen);
    EXPECT_EQ(GetSessionDeckSessionConfigCount(), 0u);
}

TEST_F(SessionDeckGuiTest, ShiftClickAndShiftArrowsSelectRangesFromTheAnchor) {
    std::vector<wxString> afterClick, afterShiftUp, afterDown;
    auto selectedLabels = [](wxTreeCtrl* tree) {
        wxArrayTreeItemIds items;
        tree->GetSelections(items);
        std::vector<wxString> labels;
        for (size_t i = 0; i < items.size(); ++i) labels.push_back(tree->GetItemText(items[i]));
        std::sort(labels.begin(), labels.end());
        return labels;
    };
    Driver driver([&](wxDialog* dialog) {
        wxTreeCtrl* tree = TreeOf(dialog);
        const wxTreeItemId servers = FindItem(tree, tree->GetRootItem(), "Servers");
        tree->Expand(servers);
        Settle();
        Click(LabelCentre(tree, FindItem(tree, servers, "files")));
        Click(LabelCentre(tree, FindItem(tree, servers, "web1")), WXK_SHIFT);
        afterClick = selectedLabels(tree);
        Screenshot(dialog, "shift_range");
        wxUIActionSimulator sim;
        sim.Char(WXK_UP, wxMOD_SHIFT);
        Settle();
        afterShiftUp = selectedLabels(tree);
        sim.Char(WXK_DOWN);
        Settle();
        afterDown = selectedLabels(tree);
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowSessionDeck(u"Connect", true, false), 2);
    EXPECT_EQ(afterClick, (std::vector<wxString>{"files", "releases", "web1"}));
    // The anchor stays at "files"; the caret moves up from "web1".
    EXPECT_EQ(afterShiftUp, (std::vector<wxString>{"files", "releases"}));
    // A plain arrow selects the new caret alone.
    EXPECT_EQ(afterDown, (std::vector<wxString>{"web1"}));
}

}  // namespace
