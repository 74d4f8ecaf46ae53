// The session manager's filter (the index read on its own thread, matches by each field, their
// folders, clearing) and the keyboard moves in user-arranged order, on real configuration
// folders.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>

#include "session/connect_protocol_table.h"
#include "support/scripted_prompt.h"
#include "ui/model/session_deck_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

namespace C = SessionDeckCommand;

class DeckFilter : public UiStoreTest {
protected:
    DeckFilter() {
        FakeProtocol::Install(false);
        // Default at the top (never shown), a top-level session, an opened folder, a folder
        // never loaded with a sub-folder, and one side-only session of each kind.
        MakeSession(u"Default", u"SSH2", u"SFTP", u"default-host");
        MakeSession(u"top", u"SSH2", u"", u"gateway.example");
        MakeFolder(u"Web");
        MakeSession(u"Web\\web01", u"SSH2", u"", u"web01.dc1");
        MakeSession(u"Web\\web02", u"SSH2", u"", u"web02.dc1");
        MakeFolder(u"Db");
        MakeFolder(u"Db\\Old");
        MakeSession(u"Db\\Old\\pg9", u"SSH2", u"", u"pg9.dc2", u"postgres");
        MakeSession(u"Db\\mysql", u"SSH2", u"", u"my.dc2", u"root", u"Primary\nOrders DB");
        MakeSession(u"Db\\files", u"", u"SFTP", u"files.dc2");
        MakeSession(u"Db\\Default", u"SSH2", u"", u"nested-default");
    }
    ~DeckFilter() override { GetConnectProtocolTable().ResetForTesting(); }

    void MakeSession(const std::u16string& path, const char16_t* terminal, const char16_t* transfer,
                     const char16_t* host, const char16_t* user = u"",
                     const char16_t* description = u"") {
        UiStoreTest::MakeSession(path, terminal, transfer, host);
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        if (*user) key.SetString(u"Username", user);
        VStringArray lines;
        std::u16string text = description;
        for (size_t start = 0; start < text.size();) {
            size_t end = std::min(text.find(u'\n', start), text.size());
            lines.Add(VUnicodeString(text.substr(start, end - start)));
            start = end + 1;
        }
        if (!lines.IsEmpty()) key.SetStringArray(u"Description", lines);
    }

    std::unique_ptr<SessionDeckModel> Open(SessionTreeOptions options = {false, true, true}) {
        auto deck = std::make_unique<SessionDeckModel>(
            prompt, SessionDeckHost{Product::Vetralon, true, true, true, false}, options);
        deck->Tree().Expand(deck->Tree().FindPath(VUnicodeString(u"Web")));
        deck->Selection().SelectOnly(deck->Tree().FindPath(VUnicodeString(u"Web\\web02")));
        return deck;
    }
    // Filters and waits for the index: the tree's visible paths after it.
    std::u16string Filtered(SessionDeckModel& deck, const char16_t* text) {
        const auto state = deck.SetFilter(VUnicodeString(text));
        if (state == SessionDeckModel::FilterState::kPending) {
            EXPECT_TRUE(deck.FilterIndex().WaitReady(10000));
            EXPECT_EQ(deck.ApplyPendingFilter(), SessionDeckModel::FilterState::kShown);
        }
        return Paths(deck.Tree(), deck.Tree().VisibleNodes());
    }
    std::u16string Selected(SessionDeckModel& deck) {
        return Paths(deck.Tree(), deck.Selection().AsSelected());
    }

    ScriptedPrompt prompt;
};

TEST_F(DeckFilter, IndexHoldsEverySessionButTheTopDefault) {
    SessionFilterIndex index;
    std::atomic<int> readyCalls{0};
    index.Start([&] { ++readyCalls; });
    ASSERT_TRUE(index.WaitReady(10000));
    EXPECT_EQ(readyCalls.load(), 1);
    std::vector<std::u16string> paths;
    for (size_t i = 0; i < index.Sessions().size(); ++i)
        paths.push_back(index.Path(static_cast<int>(i)).str());
    std::sort(paths.begin(), paths.end());
    // Never-loaded folders included; only the Default at the top left out. What each field
    // holds is seen through the matches below.
    EXPECT_EQ(paths,
              (std::vector<std::u16string>{u"Db\\Default", u"Db\\Old\\pg9", u"Db\\files",
                                           u"Db\\mysql", u"Web\\web01", u"Web\\web02", u"top"}));
}

TEST_F(DeckFilter, MatchesByEachFieldWithoutCaseAndShowsTheirFoldersOpen) {
    struct Case {
        const char16_t* text;
        std::vector<std::u16string> matches;
    } cases[] = {
        {u"WEB0", {u"Web\\web01", u"Web\\web02"}},                // name, any case
        {u"dc2", {u"Db\\Old\\pg9", u"Db\\files", u"Db\\mysql"}},  // host
        {u"postgres", {u"Db\\Old\\pg9"}},                         // user, in a folder never loaded
        {u"orders db", {u"Db\\mysql"}},  // the second line of a description
        {u"default", {u"Db\\Default"}},  // only the Default below the top
        {u"gateway", {u"top"}},
        {u"nothing-like-this", {}},
    };
    for (const SessionTreeOptions& options :
         {SessionTreeOptions{false, true, true}, SessionTreeOptions{true, true, true}}) {
        // What the filter must show: the whole tree opened, in its own order, cut down to
        // the matches and the folders above them.
        auto whole = Open(options);
        for (TreeNodeId node : whole->Tree().AllNodes()) whole->Tree().Expand(node);
        auto deck = Open(options);
        for (const Case& c : cases) {
            SCOPED_TRACE(VUnicodeString(c.text).ToUtf8());
            std::u16string expected, firstMatch;
            for (TreeNodeId node : whole->Tree().VisibleNodes()) {
                const std::u16string path = whole->Tree().Path(node).str();
                bool keep = node == whole->Tree().Root();  // the root stays, even alone
                for (const auto& match : c.matches)
                    keep = keep || match == path || match.starts_with(path + u"\\");
                if (!keep) continue;
                expected += path + u"|";
                if (firstMatch.empty() && whole->Tree().IsSession(node)) firstMatch = path + u"|";
            }
            EXPECT_EQ(Filtered(*deck, c.text), expected);
            EXPECT_EQ(Selected(*deck), firstMatch);  // Enter connects the first match
            EXPECT_EQ(deck->Filter(), SessionDeckModel::FilterState::kShown);
            // Folders come open and never read the store again.
            for (TreeNodeId node : deck->Tree().AllNodes())
                if (deck->Tree().IsFolder(node)) {
                    EXPECT_TRUE(deck->Tree().Node(node).expanded);
                }
        }
    }
}

TEST_F(DeckFilter, MatchesFollowTheProductFilter) {
    // The transfer-only "files" hidden on a terminal host that does not show transfer-only
    // sessions, and shown again when the option changes while filtered.
    auto deck = Open({true, true, false});
    EXPECT_EQ(Filtered(*deck, u"files"), u"|");
    deck->ToggleTransferSessions();
    EXPECT_EQ(Paths(deck->Tree(), deck->Tree().VisibleNodes()), u"|Db|Db\\files|");
}

TEST_F(DeckFilter, ClearingGivesBackTheOpenFoldersAndSelectionFromBefore) {
    SetOrder(u"", u"Default:top:", u"Db:Web:");
    auto deck = Open();
    const std::u16string before = Paths(deck->Tree(), deck->Tree().VisibleNodes());
    ASSERT_EQ(before, u"|Db|Web|Web\\web01|Web\\web02|top|");
    Filtered(*deck, u"pg");
    Filtered(*deck, u"pg9");  // a second keystroke keeps the state from before the first
    deck->SaveState();        // keeps the user's tree, not the filtered one
    EXPECT_EQ(deck->Config().connectExpandPath.Get().str(), u"Web\\web02");
    EXPECT_EQ(deck->SetFilter(VUnicodeString()), SessionDeckModel::FilterState::kOff);
    EXPECT_EQ(Paths(deck->Tree(), deck->Tree().VisibleNodes()), before);
    EXPECT_EQ(Selected(*deck), u"Web\\web02|");
    EXPECT_EQ(deck->Tree().Path(deck->Selection().Caret()).str(), u"Web\\web02");
    EXPECT_FALSE(deck->Tree().Node(deck->Tree().FindPath(VUnicodeString(u"Db"))).loaded);
}

TEST_F(DeckFilter, TheModelWorksWhileTheIndexBuildsAndGoesAwaySafelyMidBuild) {
    MakeFolder(u"Bulk");
    for (int i = 0; i < 300; ++i)
        UiStoreTest::MakeSession(u"Bulk\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str());
    for (int round = 0; round < 5; ++round) {
        auto deck = Open();
        deck->StartFilterIndex();
        // Usable while the index is read: the tree opens folders from the store as usual.
        deck->Tree().Expand(deck->Tree().FindPath(VUnicodeString(u"Bulk")));
        EXPECT_EQ(deck->Tree().Node(deck->Tree().FindPath(VUnicodeString(u"Bulk"))).children.size(),
                  300u);
        const auto started = std::chrono::steady_clock::now();
        deck.reset();  // the thread stops at its next session and is joined
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    // A filter typed before the index is ready waits for it and then shows.
    auto deck = Open();
    const std::u16string before = Paths(deck->Tree(), deck->Tree().VisibleNodes());
    const auto state = deck->SetFilter(VUnicodeString(u"s29"));
    if (state == SessionDeckModel::FilterState::kPending) {
        EXPECT_EQ(Paths(deck->Tree(), deck->Tree().VisibleNodes()), before);
        ASSERT_TRUE(deck->FilterIndex().WaitReady(10000));
    }
    EXPECT_EQ(deck->ApplyPendingFilter(), SessionDeckModel::FilterState::kShown);
    EXPECT_EQ(deck->Tree().Node(deck->Tree().FindPath(VUnicodeString(u"Bulk"))).children.size(),
              11u);  // s29 and s290..s299
}

TEST_F(DeckFilter, AFilterAfterTheDialogChangedTheStoreFindsTheChange) {
    using Deck = SessionDeckModel;
    auto at = [](Deck& deck, const char16_t* path) {
        return deck.Tree().FindPath(VUnicodeString(path));
    };
    struct Case {
        const char* name;
        std::function<void(Deck&)> change;
        const char16_t* text;
        const char16_t* shown;
    } cases[] = {
        {"rename while filtered",
         [&](Deck& deck) {
             Filtered(deck, u"web01");
             ASSERT_TRUE(deck.BeginRename());
             EXPECT_EQ(deck.EndLabelEdit(VUnicodeString(u"api01")), Deck::EditResult::kDone);
         },
         u"api", u"|Web|Web\\api01|"},
        {"delete",
         [&](Deck& deck) {
             deck.Selection().SelectOnly(at(deck, u"Db\\mysql"));
             prompt.AnswerButton(VPromptAnswer::kYes);
             EXPECT_TRUE(deck.Delete());
         },
         u"dc2", u"|Db|Db\\Old|Db\\Old\\pg9|Db\\files|"},
        {"copy", [&](Deck& deck) { deck.CopyTo(at(deck, u"top"), at(deck, u"Web"), {}); },
         u"gateway", u"|Web|Web\\top|top|"},
        {"move", [&](Deck& deck) { deck.MoveTo(at(deck, u"Db\\Old\\pg9"), at(deck, u"Web"), {}); },
         u"pg9", u"|Web|Web\\pg9|"},
        {"reorder",
         [&](Deck& deck) {
             deck.Selection().SelectOnly(at(deck, u"Web\\web02"));
             EXPECT_TRUE(deck.MoveSelected(true));
         },
         u"web", u"|Web|Web\\web02|Web\\api01|"},
        {"rename a folder",
         [&](Deck& deck) {
             deck.Selection().SelectOnly(at(deck, u"Db"));
             ASSERT_TRUE(deck.BeginRename());
             EXPECT_EQ(deck.EndLabelEdit(VUnicodeString(u"Data")), Deck::EditResult::kDone);
         },
         u"files", u"|Data|Data\\files|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // One store for all: each change leaves what the cases after it look for alone.
        auto deck = Open();
        // The index is read before the change, as in a dialog where the user filtered first.
        Filtered(*deck, u"e");
        deck->SetFilter(VUnicodeString());
        c.change(*deck);
        // The index followed the change: nothing is read again before the filter answers.
        EXPECT_EQ(deck->SetFilter(VUnicodeString(c.text)), SessionDeckModel::FilterState::kShown);
        EXPECT_EQ(Paths(deck->Tree(), deck->Tree().VisibleNodes()), c.shown);
    }
}

TEST_F(DeckFilter, AltUpAndDownMoveInUserArrangedOrderOnly) {
    MakeFolder(u"Z");
    SetOrder(u"", u"Default:top:", u"Db:Web:Z:");
    SetOrder(u"Web", u"web01:web02:", u"");
    auto deck = Open();
    auto& tree = deck->Tree();
    auto order = [&](const char16_t* folder) {
        VStringArray sessions, folders;
        SessionDatabase().GetSessionList(VUnicodeString(folder), sessions);
        SessionDatabase().GetFolderList(VUnicodeString(folder), folders);
        std::u16string text;
        for (const auto& name : folders) text += name.str() + u"/";
        for (const auto& name : sessions) text += name.str() + u"|";
        return text;
    };
    const TreeNodeId web02 = tree.FindPath(VUnicodeString(u"Web\\web02"));
    deck->Selection().SelectOnly(web02);
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kUp, true, false));
    EXPECT_EQ(order(u"Web"), u"web02|web01|");
    EXPECT_EQ(Labels(tree, tree.Node(tree.FindPath(VUnicodeString(u"Web"))).children),
              u"web02|web01|");
    EXPECT_EQ(Selected(*deck), u"Web\\web02|");
    EXPECT_FALSE(deck->MoveSelected(true));  // already first
    EXPECT_EQ(order(u"Web"), u"web02|web01|");

    // A folder moves among folders and never past the first session.
    deck->Selection().SelectOnly(tree.FindPath(VUnicodeString(u"Db")));
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kDown, true, false));
    EXPECT_EQ(order(u""), u"Web/Db/Z/Default|top|");
    EXPECT_TRUE(deck->MoveSelected(false));
    EXPECT_FALSE(deck->MoveSelected(false));
    EXPECT_EQ(order(u""), u"Web/Z/Db/Default|top|");
    EXPECT_EQ(Labels(tree, tree.Node(tree.Root()).children), u"Web|Z|Db|top|");

    // Refused in alphabetical order, with nothing changed.
    deck->ToggleSortOrder();
    deck->Selection().SelectOnly(tree.FindPath(VUnicodeString(u"Z")));
    EXPECT_FALSE(deck->MoveSelected(true));
    EXPECT_EQ(order(u""), u"Web/Z/Db/Default|top|");
}

}  // namespace
