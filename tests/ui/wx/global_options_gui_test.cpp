// Global Options on a real display (Xvfb): opened through the exported entry point over the
// configuration folder made for each test, one value typed as a user would, the Default Session
// page's Edit button, then OK or Cancel, and the files compared with what they held before.
#include "ui/wx/global_options_dialog.h"
#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// Shows the General page, notes the recent-list size it shows and types `typed` over it.
void TypeRecentListSize(wxDialog* dialog, const char* typed, wxString& shownBefore) {
    ShowPage(dialog, "General");
    auto* size = dynamic_cast<wxTextCtrl*>(dialog->FindWindow("MRU Count"));
    ASSERT_NE(size, nullptr) << "the General page is not on show";
    shownBefore = size->GetValue();
    TypeInto(size, typed);
}

// A value typed and OK change the saved file in that one line. Then a value typed and left with
// Ctrl+Tab (which writes it into the options) is taken back by Cancel; on the way the Default
// Session page's Edit opens Session Options on the Default session, and Yes to applying the change
// everywhere walks some hundreds of sessions behind a progress dialog while the window stays live
// (a timer keeps firing): every session ends with the new value, whatever Global Options does.
TEST_F(SessionDeckGuiTest, GlobalOptionsOkSavesTheTypedValueAndTheDefaultSessionEditReachesAll) {
    // A file holding every option, as a configuration in use does.
    ASSERT_TRUE(SaveGlobalConfig(true));
    const std::filesystem::path file = dir / "Config" / "Global.ini";
    const std::vector<std::string> before = Lines(file);
    void* held = nullptr;
    bool heldWhileOpen = false;
    wxString shownBefore;
    Driver driver([&](wxDialog* dialog) {
        heldWhileOpen = held == dialog;
        TypeRecentListSize(dialog, "7", shownBefore);
        Screenshot(dialog, "global-options");
        ClickWindow(dialog->FindWindow(wxID_OK));
    });
    EXPECT_EQ(ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                      nullptr, &held),
              1);
    EXPECT_TRUE(heldWhileOpen) << "the dialog pointer did not hold the dialog while it ran";
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(shownBefore, "4") << "the page did not show the stored value";
    ASSERT_TRUE(SaveGlobalConfig(false));
    EXPECT_EQ(ChangedLines(before, Lines(file)),
              std::vector<std::string>{"D:\"MRU Count\"=00000004 -> D:\"MRU Count\"=00000007"});

    // Enough for the walk to outlast the progress dialog's first draw; making the sessions is most
    // of the test's time. SESSIONDECK_APPLY_SESSIONS raises the count (1000 for the screenshot in
    // the documentation).
    const char* asked = std::getenv("SESSIONDECK_APPLY_SESSIONS");
    const int kSessions = asked ? std::max(1, std::atoi(asked)) : 300;
    for (int i = 0; i < kSessions; ++i)
        MakeSession(u"Many\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str(), u"h");
    MessageRecorder recorder;
    int ticksWithProgress = 0;  // the progress dialog seen by a timer while the walk runs
    wxTimer watch;
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows) {
            if (window->GetLabel() != "Default Session" || !window->IsShown()) continue;
            // Once it has been on show a while: a fresh window has not drawn itself yet.
            if (++ticksWithProgress == 10) Screenshot(window, "default_session_progress");
        }
    });
    bool stillOpen = false;
    Driver cancel([&](wxDialog* dialog) {
        TypeRecentListSize(dialog, "3", shownBefore);
        wxUIActionSimulator().Char(WXK_TAB, wxMOD_CONTROL);
        Settle();
        stillOpen = dialog->IsModal();
        ShowPage(dialog, "Default Session");
        Driver edit([&](wxDialog* options) {
            ShowPage(options, "Emulation");
            auto* columns = dynamic_cast<wxTextCtrl*>(options->FindWindow("Cols"));
            ASSERT_NE(columns, nullptr);
            TypeInto(columns, "100");
            watch.Start(50);
            ClickWindow(options->FindWindow(wxID_OK));
        });
        ClickWindow(FindChild<wxButton>(dialog, [](wxButton* b) {
            return b->IsShownOnScreen() && b->GetLabelText() == "Edit Default Session...";
        }));
        watch.Stop();
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                      nullptr, nullptr),
              2);
    DeleteSessionOptionsStateMap();
    EXPECT_EQ(shownBefore, "7");
    EXPECT_TRUE(stillOpen) << "Ctrl+Tab ended the dialog";
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    EXPECT_EQ(config->mruCount.Get(), 7) << "Cancel kept the value typed before it";

    ASSERT_EQ(recorder.styles.size(), 1u) << "not asked whether to apply it to every session";
    EXPECT_TRUE(recorder.styles[0] & wxNO_DEFAULT) << "Enter would apply it everywhere";
    EXPECT_GE(ticksWithProgress, 2);
    int updated = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(dir / "Config" / "Sessions"))
        if (entry.path().extension() == ".ini" && entry.path().stem() != "__FolderData__")
            for (const std::string& line : Lines(entry.path()))
                updated += line.rfind("D:\"Cols\"=00000064", 0) == 0;
    EXPECT_EQ(updated, kSessions + 4 + 1) << "every session and the Default session itself";
}

}  // namespace
