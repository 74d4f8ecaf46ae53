// Editing the Default session and carrying its changes to every session on a thread of its own:
// read-only sessions counted and left alone, failed writes told apart from them.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "ui/model/default_session_edit.h"
#include "ui/session_options_fixture.h"

namespace {

using DefaultSessionEditTest = SessionOptionsTest;

// Cancel, OK without a change and No leave the sessions alone; Yes walks every session, and a
// read-only one is counted and left as it was.
TEST_F(DefaultSessionEditTest, AppliedToEveryWritableSessionOnYesAndReadOnlyOnesCounted) {
    MakeTree(u"a|F\\b|F\\locked");
    const std::string before = File("a.ini"), lockedBefore = File("F/locked.ini");
    std::filesystem::permissions(dir / "Config" / "Sessions" / "F" / "locked.ini",
                                 std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    // Session Options on the Default session: the user sets the columns and presses OK.
    const auto columns = [&](const char16_t* cols) {
        return [this, cols](ISessionConfig& edited) {
            RecordingFrame defaultFrame;
            SessionOptionsModel options(defaultFrame, prompt, *config, edited, {}, 0, 132);
            defaultFrame.Open();
            options.Opened();
            SessionOptionsPage& emulation = *options.Page(SessionPageId::kEmulation);
            emulation.Activate();
            emulation.SetValue(u"Cols", cols);
            return emulation.Validate() ? 1 : 2;
        };
    };
    const auto never = [](ISessionConfig*) { return ADD_FAILURE(), GlobalChangeTally{}; };
    for (const int result : {2, 1})
        EXPECT_FALSE(EditDefaultSession(
                         prompt, u"G", [&](ISessionConfig&) { return result; }, never)
                         .asked);
    // No (or a dismissed box) keeps the sessions as they were but saves the Default session.
    prompt.AnswerButton(VPromptAnswer::kNo);
    const DefaultSessionEdit declined = EditDefaultSession(prompt, u"G", columns(u"90"), never);
    EXPECT_TRUE(declined.asked && !declined.applied && declined.saved);
    EXPECT_EQ(File("a.ini"), before);
    EXPECT_NE(File("Default.ini").find("D:\"Cols\"=0000005a"), std::string::npos);

    int walked = 0;
    prompt.AnswerButton(VPromptAnswer::kYes);
    prompt.AnswerButton(VPromptAnswer::kOk);
    const DefaultSessionEdit edit =
        EditDefaultSession(prompt, u"Global Options", columns(u"100"), [&](ISessionConfig* delta) {
            DefaultSessionApply apply(delta);
            const GlobalChangeTally tally = apply.Wait();
            EXPECT_TRUE(apply.Finished());
            walked = apply.Done();
            EXPECT_EQ(apply.Total(), apply.Done());
            return tally;
        });
    // The dialog's OK, asked, applied, saved; a, F\b, F\locked and Default itself walked and
    // visited, the locked one not updated.
    EXPECT_EQ(std::make_tuple(edit.dialogResult, edit.asked, edit.applied, edit.saved, walked,
                              edit.tally.visited, edit.tally.updated),
              std::make_tuple(1, true, true, true, 4, 4, 3));
    ASSERT_EQ(prompt.Questions().size(), 3u);
    EXPECT_EQ(prompt.Questions()[1].buttons, VPromptButtons::kYesNo);
    EXPECT_EQ(prompt.Questions()[1].icon, VPromptIcon::kQuestion);
    EXPECT_EQ(prompt.Questions()[1].text,
              u"Do you want to apply the changes that you made to the default session to ALL of "
              u"your sessions?\r\n\r\nWARNING: There is no UNDO for this change.");
    for (const char* file : {"a.ini", "F/b.ini", "Default.ini"})
        EXPECT_NE(File(file).find("D:\"Cols\"=00000064"), std::string::npos) << file;
    EXPECT_EQ(File("F/locked.ini"), lockedBefore);

    // Writes that failed are told apart from read-only sessions, so a full disk is not reported
    // as harmless; a walk that changed every session says nothing.
    ReportApplyTally(prompt, u"G", {4, 4, 0});
    prompt.AnswerButton(VPromptAnswer::kOk);
    prompt.AnswerButton(VPromptAnswer::kOk);
    ReportApplyTally(prompt, u"G", {1, 4, 1});
    std::u16string told;
    for (std::size_t i = 2; i < prompt.Questions().size(); ++i)
        told += prompt.Questions()[i].text.str() + u"\n";
    EXPECT_EQ(told,
              u"Of your 4 sessions, 1 could not be updated because they are currently read-only.\n"
              u"Of your 4 sessions, 2 could not be updated because they are currently read-only.\n"
              u"The change could not be written to 1 of your 4 sessions (the disk may be full, or "
              u"their files may not be writable); those sessions keep their old settings.\n");
}

}  // namespace
