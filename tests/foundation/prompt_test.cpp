// The process-wide prompt: the built-in one dismisses every question; an installed one is asked.
#include <gtest/gtest.h>

#include "foundation/prompt.h"
#include "support/scripted_prompt.h"

using namespace sessiondeck;

TEST(Prompt, DefaultDismissesAndInstalledPromptIsAskedUntilRemoved) {
    IPrompt& builtIn = GetPrompt();
    using B = VPromptButtons;
    using A = VPromptAnswer;
    const std::pair<B, A> dismissed[] = {{B::kOk, A::kOk},
                                         {B::kOkCancel, A::kCancel},
                                         {B::kYesNo, A::kNo},
                                         {B::kYesNoCancel, A::kCancel}};
    for (const auto& [buttons, answer] : dismissed)
        EXPECT_EQ(builtIn.ShowMessage(u"t", u"c", buttons, VPromptIcon::kQuestion), answer);
    const auto optional = builtIn.ShowOptionalMessage(u"t", u"c", VPromptButtons::kYesNo,
                                                      VPromptIcon::kInformation, u"Don't ask");
    EXPECT_EQ(optional.button, VPromptAnswer::kNo);
    EXPECT_FALSE(optional.checked);
    EXPECT_FALSE(builtIn.AskText(u"c", u"&Name:", u"x", false));
    EXPECT_FALSE(builtIn.AskFolder(u"c", u"/tmp"));
    EXPECT_FALSE(builtIn.AskFile(u"c", u"/tmp/a.key", u"", true));

    {
        ScriptedPrompt script;
        EXPECT_EQ(&GetPrompt(), &script);
    }
    EXPECT_EQ(&GetPrompt(), &builtIn) << "the previous prompt is back";
}
