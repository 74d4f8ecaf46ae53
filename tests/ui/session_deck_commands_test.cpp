// New Folder, rename and Delete of the session manager model on real configuration folders,
// with every question answered by a scripted prompt.
#include <gtest/gtest.h>

#include "support/scripted_prompt.h"
#include "ui/model/session_deck_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

class DeckCommands : public UiStoreTest {
protected:
    std::unique_ptr<SessionDeckModel> Open() {
        return std::make_unique<SessionDeckModel>(prompt, SessionDeckHost{Product::Vetralon},
                                                  SessionTreeOptions{});
    }
    ScriptedPrompt prompt;
};

TEST_F(DeckCommands, CancelledNewFolderIsStoredUnderItsNumberedName) {
    MakeFolder(u"F");
    MakeFolder(u"F\\New Folder");
    MakeFolder(u"F\\New Folder (1)");
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F"));
    const TreeNodeId node = deck->NewFolder();
    EXPECT_EQ(deck->Tree().Node(node).label, u"New Folder (2)");
    EXPECT_FALSE(SessionDatabase::Exists(u"F\\New Folder (2)")) << "stored only when the edit ends";
    EXPECT_EQ(deck->EndLabelEdit(std::nullopt), SessionDeckModel::EditResult::kDone);
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\New Folder (2)"));
    EXPECT_FALSE(deck->IsNewFolderPending());
    EXPECT_EQ(deck->Selection().AsSelected(), std::vector<TreeNodeId>{node});
    EXPECT_TRUE(prompt.Questions().empty());
}

TEST_F(DeckCommands, RenameRules) {
    struct Row {
        const char16_t* typed;
        SessionDeckModel::EditResult result;
        const char16_t* message;  // null: no question
        const char16_t* stored;   // the name the session has afterwards
    } rows[] = {
        {u"ABC", SessionDeckModel::EditResult::kDone, nullptr, u"ABC"},  // case only
        {u"  abc  ", SessionDeckModel::EditResult::kDone, nullptr, u"abc"},
        {u"   ", SessionDeckModel::EditResult::kEditAgain,
         u"Rename error.\n\nName must be non-empty.", u"abc"},
        {u"a|b/c", SessionDeckModel::EditResult::kEditAgain,
         u"Rename error.\n\nName cannot contain: ' / '", u"abc"},
        {u"OTHER", SessionDeckModel::EditResult::kEditAgain, u"'OTHER' is already in use.", u"abc"},
        {u"abc", SessionDeckModel::EditResult::kDone, nullptr, u"abc"},  // unchanged
    };
    for (const auto& row : rows) {
        MakeSession(u"abc");
        MakeSession(u"other");
        auto deck = Open();
        deck->Selection().SelectOnly(deck->Tree().FindPath(u"abc"));
        ASSERT_TRUE(deck->BeginRename());
        if (row.message) prompt.AnswerButton(VPromptAnswer::kOk);
        const size_t asked = prompt.Questions().size();
        EXPECT_EQ(deck->EndLabelEdit(VUnicodeString(row.typed)), row.result)
            << VUnicodeString(row.typed).ToUtf8();
        if (row.message) {
            ASSERT_EQ(prompt.Questions().size(), asked + 1);
            EXPECT_EQ(prompt.Questions().back().text, row.message);
            EXPECT_NE(deck->EditingNode(), kNoNode) << "a refused name reopens the edit";
        }
        VStringArray names;
        SessionDatabase().GetSessionList(u"", names);
        EXPECT_EQ(names[0].str() == row.stored || names[1].str() == row.stored, true)
            << VUnicodeString(row.typed).ToUtf8();
        const TreeNodeId node = deck->Tree().FindPath(row.stored);
        ASSERT_NE(node, kNoNode);
        EXPECT_EQ(deck->Tree().Node(node).label, row.stored);
        SessionDatabase().Remove(VUnicodeString(row.stored));
        SessionDatabase().Remove(u"other");
    }
    EXPECT_FALSE(Open()->BeginRename()) << "nothing selected";
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().Root());
    EXPECT_FALSE(deck->BeginRename()) << "the root is never renamed";
}

TEST_F(DeckCommands, DeleteAsksAndSelectsSiblingOrParent) {
    MakeSession(u"F\\only");
    MakeSession(u"x");
    MakeSession(u"y");
    auto deck = Open();
    const TreeNodeId only = deck->Tree().FindPath(u"F\\only");
    deck->Selection().SelectOnly(only);
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(deck->Delete());
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\only"));

    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(deck->Delete());
    EXPECT_FALSE(SessionDatabase::Exists(u"F\\only"));
    EXPECT_EQ(deck->Selection().AsSelected(), std::vector<TreeNodeId>{deck->Tree().FindPath(u"F")})
        << "the last node of a folder hands the selection to the folder";

    deck->Selection().SelectOnly(deck->Tree().FindPath(u"y"));
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(deck->Delete());
    EXPECT_EQ(deck->Selection().AsSelected(), std::vector<TreeNodeId>{deck->Tree().FindPath(u"x")})
        << "no next sibling: the previous one";
    EXPECT_EQ(prompt.Questions().back().text,
              u"Are you sure you want to delete the selected item(s)?");
}

}  // namespace
