// The session name rules on a real configuration folder: each rule's verdict and message, the
// session's own name, and the prompt a refusal raises.
#include <gtest/gtest.h>

#include "support/scripted_prompt.h"
#include "ui/model/session_name_rules.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

class SessionNameRules : public UiStoreTest {};

TEST_F(SessionNameRules, EachRuleGivesItsProblemAndMessageAndValidateShowsIt) {
    MakeSession(u"Servers\\web1");
    MakeSession(u"top");
    struct Row {
        const char16_t* name;
        const char16_t* folder;
        const char16_t* own;
        SessionNameProblem problem;
        const char16_t* message;
    };
    const Row rows[] = {
        // The library's name rules are its own tests' business; one row shows they apply here.
        {u"a/b", u"", u"x", SessionNameProblem::kInvalid,
         u"The session name contains an illegal character: ' / '"},
        // Taken in the same folder, in any case; a folder's name is taken too.
        {u"WEB1", u"Servers", u"other", SessionNameProblem::kInUse, u"'WEB1' is already in use."},
        {u"Servers", u"", u"x", SessionNameProblem::kInUse, u"'Servers' is already in use."},
        // Taken elsewhere only: free here.
        {u"web1", u"", u"x", SessionNameProblem::kNone, u""},
        // The session keeping its own name, or changing only its case.
        {u"Web1 ", u"Servers", u"web1", SessionNameProblem::kNone, u""},
        {u"new one", u"Servers", u"web1", SessionNameProblem::kNone, u""},
    };
    for (const Row& row : rows) {
        const SessionNameCheck check =
            CheckSessionNameInFolder(row.name, VUnicodeString(row.folder), row.own);
        SCOPED_TRACE(VUnicodeString(row.name).ToUtf8());
        EXPECT_EQ(check.problem, row.problem);
        EXPECT_EQ(check.message, row.message);
        EXPECT_EQ(check.warning, row.problem == SessionNameProblem::kInUse);
        EXPECT_EQ(static_cast<bool>(check), row.problem == SessionNameProblem::kNone);
    }
    // Without the store check a taken name passes the other rules.
    EXPECT_TRUE(CheckSessionNameInFolder(u"top", VUnicodeString(), u"x", false));

    // Validate shows a refusal: an error for a bad name, a warning for a taken one.
    ScriptedPrompt prompt;
    prompt.AnswerButton(VPromptAnswer::kOk);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(ValidateSessionName(prompt, u"Caption", u"a*b", VUnicodeString(), u"x"));
    EXPECT_FALSE(ValidateSessionName(prompt, u"Caption", u"TOP", VUnicodeString(), u"x"));
    EXPECT_TRUE(ValidateSessionName(prompt, u"Caption", u"fresh", VUnicodeString(), u"x"));
    ASSERT_EQ(prompt.Questions().size(), 2u);
    EXPECT_EQ(prompt.Questions()[0].icon, VPromptIcon::kError);
    EXPECT_EQ(prompt.Questions()[0].caption, u"Caption");
    EXPECT_EQ(prompt.Questions()[1].icon, VPromptIcon::kExclamation);
}

}  // namespace
