// The harness of the dialogs' tests on a real display (Xvfb): a fixture with a configuration
// folder and the reference protocols, synthetic input helpers, a driver that runs steps inside a
// dialog's modal loop, and screenshots read back from the X server.
#pragma once

#include <gtest/gtest.h>

#include <wx/modalhook.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/wx.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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

using namespace sessiondeck;

// Lets the toolkit handle what is pending, for `milliseconds` of sleeps between the rounds (a
// dialog run inside a round does not count).
inline void Settle(int milliseconds = 300) {
    for (int slept = 0; slept < milliseconds; slept += 20, wxMilliSleep(20)) wxTheApp->Yield(true);
}

// The first row labelled `label`, shown or not.
inline wxTreeItemId Item(wxTreeCtrl* tree, const wxString& label) {
    for (wxTreeItemId item = tree->GetRootItem(); item.IsOk(); item = tree->GetNext(item))
        if (tree->GetItemText(item) == label) return item;
    return wxTreeItemId();
}

inline wxPoint LabelCentre(wxTreeCtrl* tree, const wxString& label) {
    const wxTreeItemId item = Item(tree, label);
    wxRect rect;
    EXPECT_TRUE(item.IsOk() && tree->GetBoundingRect(item, rect, true)) << "no row " << label;
    return tree->ClientToScreen(rect.GetPosition() + rect.GetSize() / 2);
}

// Moves the pointer to `point` as a hand would and, with a `button`, clicks there holding
// `modifier`. Without a window manager the X input focus follows the pointer: keys go to a
// dialog only while the pointer is over it.
inline void Click(const wxPoint& point, int modifier = 0, int button = wxMOUSE_BTN_LEFT) {
    wxUIActionSimulator sim;
    sim.MouseMove(point);
    Settle(100);
    if (!button) return;
    if (modifier) sim.KeyDown(modifier);
    sim.MouseClick(button);
    if (modifier) sim.KeyUp(modifier);
    Settle();
}

// Clicks the middle of `window` with `button` (0: only points there).
inline void ClickWindow(wxWindow* window, int button = wxMOUSE_BTN_LEFT) {
    const wxRect rect = window->GetScreenRect();
    Click(rect.GetPosition() + rect.GetSize() / 2, 0, button);
}

inline void Press(int key, int modifiers = wxMOD_NONE) {
    wxUIActionSimulator().Char(key, modifiers);
    Settle();
}

// Replaces what the text box `box` shows as a user would: click into it, select all, type.
// Returns what it showed before.
inline std::string TypeInto(wxWindow* box, const char* typed) {
    auto* text = dynamic_cast<wxTextCtrl*>(box);
    if (!text) return "(no text box)";
    const std::string before = text->GetValue().utf8_string();
    ClickWindow(text);
    text->SelectAll();
    wxUIActionSimulator().Text(typed);
    Settle();
    return before;
}

inline wxTreeCtrl* TreeOf(wxWindow* dialog, const char* name = "SessionTree") {
    return dynamic_cast<wxTreeCtrl*>(dialog->FindWindow(name));
}

inline void ShowPage(wxWindow* dialog, const char* page) {
    Click(LabelCentre(TreeOf(dialog, "PropertyTree"), page));
}

// Saves what the screen shows of `window` as build/screenshots/NAME.png (NAME@2x.png with
// GDK_SCALE=2), read from the X server's root window: GTK 3 gives wxWidgets no way to read a window
// back. wx places in logical pixels, the X server in device pixels, `scale` more each way.
inline void Screenshot(wxWindow* window, const std::string& name) {
    Settle(100);
    const double scale = window->GetContentScaleFactor();
    const wxRect logical = window->GetScreenRect();
    const wxRect rect(logical.GetPosition() * scale, logical.GetSize() * scale);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XImage* pixels = XGetImage(display, DefaultRootWindow(display), rect.x, rect.y,
                               unsigned(rect.width), unsigned(rect.height), AllPlanes, ZPixmap);
    ASSERT_NE(pixels, nullptr);
    wxImage image(rect.width, rect.height);
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x) {
            const unsigned long pixel = XGetPixel(pixels, x, y);
            image.SetRGB(x, y, (pixel >> 16) & 0xff, (pixel >> 8) & 0xff, pixel & 0xff);
        }
    XDestroyImage(pixels);
    XCloseDisplay(display);
    std::filesystem::create_directories(SESSIONDECK_SCREENSHOT_DIR);
    const wxString suffix = scale == 1.0 ? wxString() : wxString::Format("@%gx", scale);
    EXPECT_TRUE(image.SaveFile(SESSIONDECK_SCREENSHOT_DIR "/" + name + suffix + ".png"));
}

// Runs `drive` in the innermost modal dialog (the last made) once it is running; whatever
// happens, that dialog is closed afterwards so that a failing step cannot leave the test waiting
// forever. Made before the call that opens the dialog.
struct Driver {
    explicit Driver(std::function<void(wxDialog*)> drive) {
        timer.Bind(wxEVT_TIMER, [drive = std::move(drive)](wxTimerEvent&) {
            wxDialog* dialog = nullptr;
            for (wxWindow* window : wxTopLevelWindows)
                if (auto* modal = dynamic_cast<wxDialog*>(window); modal && modal->IsModal())
                    dialog = modal;
            ASSERT_NE(dialog, nullptr) << "the dialog did not open";
            Settle();
            drive(dialog);
            if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        });
        timer.StartOnce(300);
    }
    wxTimer timer;
};

struct SessionDeckGuiTest : ::testing::Test {
    static void SetUpTestSuite() {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display) {  // 77: CTest's SKIP_RETURN_CODE, reported as not run
            std::fprintf(stderr, "no display: run the gui tests under xvfb-run\n");
            std::_Exit(77);
        }
        if (wxTheApp) return;  // started once for the process
        static int argc = 1;
        static char* argv[] = {const_cast<char*>("test_ui_wx"), nullptr};
        wxApp::SetInstance(new wxApp());
        ASSERT_TRUE(wxEntryStart(argc, argv)) << "the toolkit did not start on " << display;
        wxInitAllImageHandlers();
    }

    void SetUp() override {
        options.configFolder = (dir / "Config").string();
        options.appName = "Vetralon";
        cli::InitialiseHost(options);
        const auto loaded = cli::EnsureProtocolsLoaded(options, Product::Vetralon);
        ASSERT_TRUE(loaded.loaded) << loaded.report;
        GlobalConfig* config = nullptr;
        ReloadGlobalConfig(config);
        for (const char16_t* folder : {u"Servers", u"Lab"})
            ASSERT_TRUE(SessionDatabase().InsertFolder(u"", folder, u"", true));
        for (const auto& [path, host] : {std::pair{u"Servers\\web1", u"web1.example.net"},
                                         {u"Servers\\files", u"files.example.net"},
                                         {u"Servers\\releases", u"releases.example.net"},
                                         {u"Lab\\router", u"192.0.2.1"}})
            MakeSession(path, host);
        SessionDeckDllInitGUI(nullptr, nullptr, nullptr, nullptr);
    }

    void TearDown() override {
        CleanupSessionDeckSessionConfigs();
        DeleteSessionOptionsStateMap();
    }

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

// A value file's text; the store ends lines with CR LF, and the CRs are left out so that a failed
// comparison prints a readable diff.
inline std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string text{std::istreambuf_iterator<char>(in), {}};
    std::erase(text, '\r');
    return text;
}

// `text` with its line `from` (not the first) replaced by `to`.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find("\n" + from + "\n");
    if (at == std::string::npos) ADD_FAILURE() << "no line " << from;
    return at == std::string::npos ? text : text.replace(at + 1, from.size(), to);
}

// Answers every message box with Yes (OK where there is no Yes) and keeps its style, so
// a question or refusal is seen without a native box blocking the test.
struct MessageRecorder : wxModalDialogHook {
    MessageRecorder() { Register(); }
    ~MessageRecorder() override { Unregister(); }
    int Enter(wxDialog* dialog) override {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        if (!box) return wxID_NONE;
        styles.push_back(box->GetMessageDialogStyle());
        owners.push_back(dialog->GetParent() ? dialog->GetParent()->GetName().utf8_string() : "");
        return (box->GetMessageDialogStyle() & wxYES_NO) ? wxID_YES : wxID_OK;
    }
    void Exit(wxDialog*) override {}
    std::vector<long> styles;
    std::vector<std::string> owners;  // the names of the windows the boxes opened over
};
