// Session Options on a real display (Xvfb), opened through EditStoredSession as --edit opens it.
#include "ui/wx/gui_fixture.h"

// A path naming no session opens no window. OK after a new name on the Connection page and a
// port refused, then accepted, on the SSH2 page: the file moves to the new name and differs from
// before in the port lines only. The refusal keeps the page and the focus on the field.
class SessionOptionsGuiTest : public SessionDeckGuiTest {};

TEST_F(SessionOptionsGuiTest, OkRenamesAndSavesOnlyThePort) {
    const auto folder = dir / "Config" / "Sessions" / "Servers";
    // The fixture writes three values by hand; saving once gives the file every setting in the
    // library's own form, as any session saved by a dialog has.
    ASSERT_TRUE(SessionDatabase().Save(
        VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"Servers\\web1")).Get(),
        false));
    const std::string before = FileText(folder / "web1.ini");
    VUnicodeString error;
    EXPECT_EQ(EditStoredSession(u"Servers", error), 0);
    EXPECT_EQ(error.ToUtf8(), "no session 'Servers'");

    MessageRecorder recorder;
    std::string shown, refusal;
    Driver driver([&](wxDialog* dialog) {
        // The name's box follows its label; the other boxes are named after their settings.
        wxWindow* label = wxWindow::FindWindowByLabel("&Name:", dialog);
        ASSERT_NE(label, nullptr);
        shown = dialog->GetTitle().utf8_string() + "|" + TypeInto(label->GetNextSibling(), "web9");
        ShowPage(dialog, "SSH2");
        wxWindow* port = dialog->FindWindow("[SSH2] Port");
        ASSERT_NE(port, nullptr) << "no SSH2 page below Connection";
        shown += "|" + TypeInto(port, "22x");
        ShowPage(dialog, "Terminal");
        wxTreeCtrl* tree = TreeOf(dialog, "PropertyTree");
        refusal = std::to_string(recorder.styles.size()) + " message, page " +
                  tree->GetItemText(tree->GetSelection()).utf8_string() +
                  (port->IsShownOnScreen() ? ", field shown" : "") +
                  (wxWindow::FindFocus() == port ? ", focus kept" : "");
        TypeInto(port, "2222");
        Screenshot(dialog, "session_options");
        ClickWindow(dialog->FindWindow(wxID_OK));
    });
    ASSERT_EQ(EditStoredSession(u"Servers\\web1", error), 1) << error.ToUtf8();
    EXPECT_EQ(shown, "Session Options - web1|web1|22");
    EXPECT_EQ(refusal, "1 message, page SSH2, field shown, focus kept");

    EXPECT_FALSE(std::filesystem::exists(folder / "web1.ini"));
    // Only the port differs, and it holds 2222 (0x8ae) on both sides: the SSH2 page stands for
    // the SFTP side too.
    EXPECT_EQ(FileText(folder / "web9.ini"),
              Replaced(Replaced(before, "D:\"[SSH2] Port\"=00000016", "D:\"[SSH2] Port\"=000008ae"),
                       "D:\"[SFTP] Port\"=00000016", "D:\"[SFTP] Port\"=000008ae"));
}
