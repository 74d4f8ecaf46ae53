// Session Options on a real display (Xvfb), opened as sessiondeck-gui --edit opens it: through
// EditStoredSession on a stored session of the test's configuration folder, driven with
// synthetic clicks and keys; message boxes are answered by a MessageRecorder.
#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// Runs `drive` inside Session Options' modal loop (cancelled afterwards if left open).
Driver OptionsDriver(std::function<void(wxDialog*)> drive) {
    return Driver([](const wxWindow& w) { return w.GetLabel().StartsWith("Session Options"); },
                  "Session Options", std::move(drive));
}

class SessionOptionsGuiTest : public SessionDeckGuiTest {};

// Shows the page named `page` with a click in the tree.
void ShowPage(wxDialog* dialog, const char* page) {
    auto* tree = FindChild<wxTreeCtrl>(dialog);
    const wxTreeItemId item = tree ? FindItem(tree, tree->GetRootItem(), page) : wxTreeItemId();
    ASSERT_TRUE(item.IsOk()) << "no page " << page;
    Click(LabelCentre(tree, item));
}

// Replaces what the control shows as a user would: click into it, select all, type.
void TypeInto(wxTextCtrl* text, const char* typed) {
    ClickWindow(text);
    text->SelectAll();
    wxUIActionSimulator().Text(typed);
    Settle();
}

// A path naming no session opens no window; OK after a new name on the Connection page and a
// port refused, then accepted, on the SSH2 page: the file moves to the new name and differs
// from before in the port line only.
TEST_F(SessionOptionsGuiTest, OkRenamesAndSavesOnlyThePort) {
    const auto folder = dir / "Config" / "Sessions" / "Servers";
    // The fixture writes three values by hand; saving once gives the file every setting in the
    // library's own form, as any session saved by a dialog has.
    {
        const SessionDatabase database;
        auto session = VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(u"Servers\\web1"));
        ASSERT_TRUE(session && database.Save(session.Get(), false));
    }
    const std::vector<std::string> before = Lines(folder / "web1.ini");
    ASSERT_GT(before.size(), 100u);
    VUnicodeString error;
    EXPECT_EQ(EditStoredSession(u"Servers", error), 0);
    EXPECT_EQ(error.ToUtf8(), "no session 'Servers'");

    MessageRecorder recorder;
    wxString shown, pageAfterRefusal;
    size_t messagesAfterRefusal = 0;
    {
        const Driver driver = OptionsDriver([&](wxDialog* dialog) {
            shown = dialog->GetTitle();
            wxTextCtrl* name = FieldBeside(dialog, "Name:");
            ASSERT_NE(name, nullptr);
            shown += "|" + name->GetValue();
            TypeInto(name, "web9");
            ShowPage(dialog, "SSH2");
            wxTextCtrl* text = FieldBeside(dialog, "Port:");
            ASSERT_NE(text, nullptr) << "no SSH2 page below Connection";
            shown += "|" + text->GetValue();
            // Not a number: trying another page keeps this one, with a message.
            TypeInto(text, "22x");
            ShowPage(dialog, "Terminal");
            messagesAfterRefusal = recorder.messages.size();
            auto* tree = FindChild<wxTreeCtrl>(dialog);
            pageAfterRefusal = tree->GetItemText(tree->GetSelection());
            EXPECT_TRUE(text->IsShownOnScreen());
            EXPECT_EQ(wxWindow::FindFocus(), text) << "the refused field lost the focus";

            TypeInto(text, "2222");
            Screenshot(dialog, "session_options");
            ClickWindow(dialog->FindWindow(wxID_OK));
        });
        const int result = EditStoredSession(u"Servers\\web1", error);
        DeleteSessionOptionsStateMap();
        ASSERT_EQ(result, 1) << error.ToUtf8();
    }
    EXPECT_EQ(shown, "Session Options - web1|web1|22");
    EXPECT_EQ(messagesAfterRefusal, 1u);
    EXPECT_EQ(pageAfterRefusal, "SSH2");

    EXPECT_FALSE(std::filesystem::exists(folder / "web1.ini"));
    // Line by line, only the port differs, and it holds 2222 (0x8ae).
    const std::vector<std::string> after = Lines(folder / "web9.ini");
    ASSERT_EQ(after.size(), before.size());
    std::vector<std::string> changed;
    for (size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changed.push_back(before[i] + " -> " + after[i]);
    EXPECT_EQ(changed,
              std::vector<std::string>{"D:\"[SSH2] Port\"=00000016 -> D:\"[SSH2] Port\"=000008ae"});
}

// Global Options' Default Session edit: Session Options on the Default session, Yes to applying
// the change everywhere, then the walk over some hundreds of sessions behind the progress dialog.
// The dialog's timer keeps firing during the walk (the window is not frozen) and every session
// ends with the new value.
TEST_F(SessionOptionsGuiTest, DefaultSessionChangeReachesEverySessionWhileTheWindowStaysLive) {
    // Enough for the walk to outlast the progress dialog's first draw; making the sessions is most
    // of the test's time. SESSIONDECK_APPLY_SESSIONS raises the count (1000 for the screenshot in
    // the documentation).
    const char* asked = std::getenv("SESSIONDECK_APPLY_SESSIONS");
    const int kSessions = asked ? std::max(1, std::atoi(asked)) : 300;
    for (int i = 0; i < kSessions; ++i)
        MakeSession(u"Many\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str(), u"h");
    MessageRecorder recorder;
    const Driver driver = OptionsDriver([&](wxDialog* dialog) {
        ShowPage(dialog, "Emulation");
        wxTextCtrl* columns = FieldBeside(dialog, "Columns:");
        ASSERT_NE(columns, nullptr);
        TypeInto(columns, "100");
        ClickWindow(dialog->FindWindow(wxID_OK));
    });
    int ticksWithProgress = 0;  // the progress dialog seen by a timer while the walk runs
    wxTimer watch;
    watch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* window : wxTopLevelWindows) {
            if (window->GetLabel() != "Default Session" || !window->IsShown()) continue;
            // Once it has been on show a while: a fresh window has not drawn itself yet.
            if (++ticksWithProgress == 10) Screenshot(window, "default_session_progress");
        }
    });
    watch.Start(50);
    EXPECT_EQ(EditDefaultSessionOptions(), 1);
    watch.Stop();
    DeleteSessionOptionsStateMap();

    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_TRUE(recorder.messages[0].Contains("ALL of your sessions"))
        << recorder.messages[0].utf8_string();
    EXPECT_TRUE(recorder.styles[0] & wxNO_DEFAULT) << "Enter would apply it everywhere";
    EXPECT_GE(ticksWithProgress, 2);
    int updated = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(dir / "Config" / "Sessions"))
        if (entry.path().extension() == ".ini" && entry.path().stem() != "__FolderData__")
            for (const std::string& line : Lines(entry.path()))
                updated += line.rfind("D:\"Cols\"=00000064", 0) == 0;
    // Every session and the Default session itself.
    EXPECT_EQ(updated, kSessions + 4 + 1);
}

}  // namespace
