// The harness of the session manager's tests on a real display (Xvfb): a fixture with a
// configuration folder and the reference protocols, synthetic input helpers, a driver that runs
// steps inside the dialog's modal loop, and screenshots read back from the X server.
#pragma once

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/math.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/toolbar.h>
#include <wx/treectrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

using namespace sessiondeck;

inline void Settle(int milliseconds = 300) {
    for (int waited = 0; waited < milliseconds; waited += 20) {
        wxTheApp->Yield(true);
        wxMilliSleep(20);
    }
}

inline wxTreeItemId FindItem(wxTreeCtrl* tree, const wxTreeItemId& from, const wxString& label) {
    if (tree->GetItemText(from) == label) return from;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(from, cookie); child.IsOk();
         child = tree->GetNextChild(from, cookie)) {
        if (wxTreeItemId found = FindItem(tree, child, label); found.IsOk()) return found;
    }
    return wxTreeItemId();
}

inline wxPoint LabelCentre(wxTreeCtrl* tree, const wxTreeItemId& item) {
    wxRect rect;
    tree->GetBoundingRect(item, rect, true);
    return tree->ClientToScreen(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
}

inline void Click(const wxPoint& point, int modifier = 0) {
    wxUIActionSimulator sim;
    sim.MouseMove(point);
    Settle(100);
    if (modifier) sim.KeyDown(modifier);
    sim.MouseClick();
    if (modifier) sim.KeyUp(modifier);
    Settle();
}

inline void ClickWindow(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    Click(rect.GetPosition() + wxSize(rect.width / 2, rect.height / 2));
}

// Saves what the screen shows of `window` as build/screenshots/NAME.png (NAME@2x.png and so on
// when the display is scaled, as with GDK_SCALE=2). The pixels are read from the X server (the
// root window holds every mapped window's contents), since GTK 3 gives wxWidgets no way to read
// a window back. wx gives places and sizes in logical pixels; the X server holds device pixels,
// the scale factor more of them each way.
inline void Screenshot(wxWindow* window, const std::string& name) {
    Settle(100);
    const double scale = window->GetContentScaleFactor();
    const wxRect logical = window->GetScreenRect();
    const wxRect rect(wxRound(logical.x * scale), wxRound(logical.y * scale),
                      wxRound(logical.width * scale), wxRound(logical.height * scale));
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
    const std::string suffix =
        scale == 1.0 ? "" : "@" + wxString::FromDouble(scale).ToStdString() + "x";
    EXPECT_TRUE(image.SaveFile((folder / (name + suffix + ".png")).string(), wxBITMAP_TYPE_PNG));
}

// Runs `drive` once a dialog's modal loop is running (the session manager unless `which` picks
// another top-level window); whatever happens, the dialog is closed afterwards so that a failing
// step cannot leave the test waiting forever.
class Driver {
public:
    using Match = std::function<bool(const wxWindow&)>;
    explicit Driver(std::function<void(wxDialog*)> drive)
        : Driver([](const wxWindow& w) { return w.GetName() == "SessionDeck"; },
                 "the session manager", std::move(drive)) {}
    Driver(Match which, std::string what, std::function<void(wxDialog*)> drive)
        : m_which(std::move(which)), m_what(std::move(what)), m_drive(std::move(drive)) {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Run(); });
        m_timer.StartOnce(300);
    }

private:
    void Run() {
        wxDialog* dialog = nullptr;
        for (wxWindow* window : wxTopLevelWindows) {
            if (m_which(*window)) dialog = dynamic_cast<wxDialog*>(window);
        }
        ASSERT_NE(dialog, nullptr) << m_what << " did not open";
        Settle();
        m_drive(dialog);
        if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
    }

    Match m_which;
    std::string m_what;
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
        const auto loaded = cli::EnsureProtocolsLoaded(options, Product::Vetralon);
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

// The first window below `window` of type T that `matches` (any, without it).
template <typename T>
T* FindChild(wxWindow* window, const std::function<bool(T*)>& matches = nullptr) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* found = dynamic_cast<T*>(child); found && (!matches || matches(found)))
            return found;
        if (T* found = FindChild<T>(child, matches)) return found;
    }
    return nullptr;
}

// The text box the user sees to the right of the label `label` on the page on show.
inline wxTextCtrl* FieldBeside(wxWindow* dialog, const wxString& label) {
    auto* text = FindChild<wxStaticText>(dialog, [&](wxStaticText* t) {
        return t->IsShownOnScreen() && t->GetLabelText() == label;
    });
    if (!text || !text->GetContainingSizer()) return nullptr;
    const wxSizerItemList& items = text->GetContainingSizer()->GetChildren();
    for (auto it = items.begin(); it != items.end(); ++it) {
        if ((*it)->GetWindow() != text) continue;
        if (++it == items.end()) return nullptr;
        return dynamic_cast<wxTextCtrl*>((*it)->GetWindow());
    }
    return nullptr;
}

// A value file's lines; the store ends them with CR LF, and the CR is kept out of a
// comparison's report.
inline std::vector<std::string> Lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline wxTreeCtrl* TreeOf(wxDialog* dialog) {
    return dynamic_cast<wxTreeCtrl*>(dialog->FindWindow(1036));
}

// Answers every message box with Yes (OK where there is no Yes) and keeps its text and style, so
// a question or refusal is seen without a native box blocking the test.
class MessageRecorder : public wxModalDialogHook {
public:
    MessageRecorder() { Register(); }
    ~MessageRecorder() override { Unregister(); }
    std::vector<wxString> messages;
    std::vector<long> styles;

protected:
    int Enter(wxDialog* dialog) override {
        auto* box = dynamic_cast<wxMessageDialogBase*>(dialog);
        if (!box) return wxID_NONE;
        messages.push_back(box->GetMessage());
        styles.push_back(box->GetMessageDialogStyle());
        return (box->GetMessageDialogStyle() & wxYES_NO) ? wxID_YES : wxID_OK;
    }
    void Exit(wxDialog*) override {}
};
