// The process-wide prompt: the built-in one dismisses every question; an installed one is asked.
#include <gtest/gtest.h>

#include "foundation/prompt.h"
#include "support/scripted_prompt.h"

using namespace sessiondeck;

TEST(Prompt, DefaultDismissesAndInstalledPromptIsAskedUntilRemoved) {
    IPrompt& builtIn = GetPrompt();
    const std::pair<VPromptButtons, VPromptAnswer> dismissed[] = {
        {VPromptButtons::kOk, VPromptAnswer::kOk},
        {VPromptButtons::kOkCancel, VPromptAnswer::kCancel},
        {VPromptButtons::kYesNo, VPromptAnswer::kNo},
        {VPromptButtons::kYesNoCancel, VPromptAnswer::kCancel}};
    for (const auto& [buttons, answer] : dismissed)
        EXPECT_EQ(builtIn.ShowMessage(u"t", u"c", buttons, VPromptIcon::kQuestion), answer);
    const auto optional = builtIn.ShowOptionalMessage(u"t", u"c", VPromptButtons::kYesNo,
                                                      VPromptIcon::kInformation, u"Don't ask");
    EXPECT_EQ(optional.button, VPromptAnswer::kNo);
    EXPECT_FALSE(optional.checked);
    EXPECT_FALSE(builtIn.AskText(u"c", u"&Name:", u"x", false) ||
                 builtIn.AskFolder(u"c", u"/tmp") ||
                 builtIn.AskFile(u"c", u"/tmp/a.key", u"", true));

    {
        ScriptedPrompt script;
        EXPECT_EQ(&GetPrompt(), &script);
        script.AnswerButton(VPromptAnswer::kYes, true);
        script.AnswerText(u"/home/me");
        const auto answer = GetPrompt().ShowOptionalMessage(
            u"Remind me?", u"Update", VPromptButtons::kYesNo, VPromptIcon::kQuestion, u"Never");
        EXPECT_EQ(answer.button, VPromptAnswer::kYes);
        EXPECT_TRUE(answer.checked);
        EXPECT_EQ(GetPrompt().AskFolder(u"Folder", u"/"), VUnicodeString(u"/home/me"));
        ASSERT_EQ(script.Questions().size(), 2u);
        EXPECT_EQ(script.Questions()[0].checkLabel, u"Never");
        EXPECT_EQ(script.Questions()[1].kind, PromptQuestion::kFolder);
        EXPECT_EQ(script.Questions()[1].initial, u"/");
    }
    EXPECT_EQ(&GetPrompt(), &builtIn) << "the previous prompt is back";
}
