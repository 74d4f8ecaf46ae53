// Global Options on a real display (Xvfb), driven through the exported entry point as a user would.
#include "ui/wx/global_options_dialog.h"
#include "ui/wx/gui_fixture.h"

// A value typed and OK change the saved file in that one line. Then a value typed and left with
// Ctrl+Tab (which writes it into the options) is taken back by Cancel; on the way the Default
// Session page's Edit opens Session Options on the Default session, and Yes to applying the change
// everywhere walks some hundreds of sessions behind a progress dialog while the window stays live
// (a timer keeps firing): every session ends with the new value, whatever Global Options does.
TEST_F(SessionDeckGuiTest, GlobalOptionsOkSavesTheTypedValueAndTheDefaultSessionEditReachesAll) {
    ASSERT_TRUE(SaveGlobalConfig(true));  // a file holding every option, as one in use does
    const std::filesystem::path file = dir / "Config" / "Global.ini";
    const std::string before = FileText(file);
    // The dialog pointer holds the dialog while it runs, and the page shows the stored value.
    void* held = nullptr;
    auto show = [&] {
        return ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                       nullptr, &held);
    };
    std::string seen;
    Driver driver([&](wxDialog* dialog) {
        ShowPage(dialog, "General");
        seen = (held == dialog ? "held, showed " : "not held, showed ") +
               TypeInto(dialog->FindWindow("MRU Count"), "7");
        Screenshot(dialog, "global-options");
        ClickWindow(dialog->FindWindow(wxID_OK));
    });
    EXPECT_EQ(show(), 1);
    EXPECT_EQ(seen + (held ? ", held after" : ""), "held, showed 4");
    ASSERT_TRUE(SaveGlobalConfig(false));
    EXPECT_EQ(FileText(file),
              Replaced(before, "D:\"MRU Count\"=00000004", "D:\"MRU Count\"=00000007"));

    // Enough for the walk to outlast the progress dialog's first draw (making them is most of the
    // test's time); SESSIONDECK_APPLY_SESSIONS raises the count, for the documentation's picture.
    const char* asked = std::getenv("SESSIONDECK_APPLY_SESSIONS");
    const int kSessions = asked ? std::max(1, std::atoi(asked)) : 300;
    for (int i = 0; i < kSessions; ++i)
        MakeSession(u"Many\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str(), u"h");
    MessageRecorder recorder;
    int ticksWithProgress = 0;  // the progress dialog seen by a timer while the walk runs
    wxTimer watch;
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows)  // the picture once it has drawn itself
            if (window->GetLabel() == "Default Session" && window->IsShown() &&
                ++ticksWithProgress == 10)
                Screenshot(window, "default_session_progress");
    });
    Driver cancel([&](wxDialog* dialog) {
        ShowPage(dialog, "General");
        seen = "showed " + TypeInto(dialog->FindWindow("MRU Count"), "3");
        Press(WXK_TAB, wxMOD_CONTROL);
        seen += dialog->IsModal() ? ", open after Ctrl+Tab" : ", closed by Ctrl+Tab";
        ShowPage(dialog, "Default Session");
        Driver edit([&](wxDialog* options) {
            ShowPage(options, "Emulation");
            seen += ", Cols showed " + TypeInto(options->FindWindow("Cols"), "100");
            watch.Start(50);
            ClickWindow(options->FindWindow(wxID_OK));
        });
        ClickWindow(wxWindow::FindWindowByLabel("&Edit Default Session...", dialog));
        watch.Stop();
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(show(), 2);
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    // One question, answered Yes here; No is its default, or Enter would apply it everywhere.
    for (long style : recorder.styles) seen += style & wxNO_DEFAULT ? ", asked (No)" : ", asked";
    EXPECT_EQ(seen + ", then " + std::to_string(config->mruCount.Get()),
              "showed 7, open after Ctrl+Tab, Cols showed 80, asked (No), then 7")
        << "then: what Cancel left of the value typed before it";
    EXPECT_GE(ticksWithProgress, 2);
    long updated = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(dir / "Config" / "Sessions"))
        updated += entry.is_regular_file() &&
                   FileText(entry.path()).find("\nD:\"Cols\"=00000064\n") != std::string::npos;
    EXPECT_EQ(updated, kSessions + 4 + 1) << "every session and the Default session itself";
}

// A firewall name refused: the message opens over the editor, which stays open with what was
// typed (over Global Options, closing it could bring Global Options in front of the editor).
TEST_F(SessionDeckGuiTest, ARefusedFirewallNameKeepsItsEditorOpenUnderTheMessage) {
    MessageRecorder refusals;
    std::string seen;
    Driver driver([&](wxDialog* dialog) {
        ShowPage(dialog, "Firewall");
        Driver editor([&](wxDialog* firewall) {
            TypeInto(firewall->FindWindow("FirewallName"), "lab\\proxy");
            ClickWindow(firewall->FindWindow(wxID_OK));
            seen = firewall->IsModal() ? "editor kept" : "editor closed";
            ClickWindow(firewall->FindWindow(wxID_CANCEL));
        });
        ClickWindow(dialog->FindWindow("FirewallAdd"));
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                      nullptr, nullptr),
              2);
    EXPECT_EQ(seen, "editor kept");
    EXPECT_EQ(refusals.owners, std::vector<std::string>{"FirewallEditor"});
}
