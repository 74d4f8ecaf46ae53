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

using Deck = SessionDeckModel;

class DeckFilter : public UiStoreTest {
protected:
    DeckFilter() {
        FakeProtocol::Install(false);
        // Default at the top (never shown), a top-level session, an opened folder, a folder
        // never loaded with a sub-folder, and one side-only session of each kind.
        MakeTree(u"Web\\|Db\\Old\\");
        MakeSession(u"Default", u"SSH2", u"SFTP", u"default-host");
        MakeSession(u"top", u"SSH2", u"", u"gateway.example");
        MakeSession(u"Web\\web01", u"SSH2", u"", u"web01.dc1");
        MakeSession(u"Web\\web02", u"SSH2", u"", u"web02.dc1");
        MakeSession(u"Db\\Old\\pg9", u"SSH2", u"", u"pg9.dc2", u"postgres");
        MakeSession(u"Db\\mysql", u"SSH2", u"", u"my.dc2", u"root", {u"Primary", u"Orders DB"});
        MakeSession(u"Db\\files", u"", u"SFTP", u"files.dc2");
        MakeSession(u"Db\\Default", u"SSH2", u"", u"nested-default");
    }
    ~DeckFilter() override { GetConnectProtocolTable().ResetForTesting(); }

    void MakeSession(const std::u16string& path, const char16_t* terminal, const char16_t* transfer,
                     const char16_t* host, const char16_t* user = u"",
                     std::initializer_list<const char16_t*> description = {}) {
        UiStoreTest::MakeSession(path, terminal, transfer, host);
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        if (*user) key.SetString(u"Username", user);
        VStringArray lines;
        for (auto line : description) lines.Add(line);
        if (!lines.IsEmpty()) key.SetStringArray(u"Description", lines);
    }

    std::unique_ptr<Deck> Open(SessionTreeOptions options = {false, true, true},
                               Product host = Product::Vetralon) {
        auto deck =
            std::make_unique<Deck>(prompt, SessionDeckHost{host, true, true, true, false}, options);
        deck->Tree().Expand(At(*deck, u"Web"));
        deck->Selection().SelectOnly(At(*deck, u"Web\\web02"));
        return deck;
    }
    static TreeNodeId At(Deck& deck, const char16_t* path) {
        return deck.Tree().FindPath(VUnicodeString(path));
    }
    // Filters and waits for the index: the tree's visible paths after it.
    static std::u16string Filtered(Deck& deck, const char16_t* text) {
        if (deck.SetFilter(VUnicodeString(text)) == Deck::FilterState::kPending) {
            EXPECT_TRUE(deck.FilterIndex().WaitReady(10000));
            EXPECT_EQ(deck.ApplyPendingFilter(), Deck::FilterState::kShown);
        }
        return Shown(deck.Tree());
    }
    static std::u16string Selected(Deck& deck) {
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
    // Never-loaded folders included. What each field holds is seen through the matches below.
    EXPECT_EQ(paths,
              (std::vector<std::u16string>{u"Db\\Default", u"Db\\Old\\pg9", u"Db\\files",
                                           u"Db\\mysql", u"Web\\web01", u"Web\\web02", u"top"}));
}

TEST_F(DeckFilter, MatchesByEachFieldWithoutCaseAndShowsTheirFoldersOpen) {
    const std::pair<const char16_t*, std::vector<std::u16string>> cases[] = {
        {u"WEB0", {u"Web\\web01", u"Web\\web02"}},                // name, any case
        {u"dc2", {u"Db\\Old\\pg9", u"Db\\files", u"Db\\mysql"}},  // host
        {u"postgres", {u"Db\\Old\\pg9"}},                         // user, in a folder never loaded
        {u"orders db", {u"Db\\mysql"}},  // the second line of a description
        {u"default", {u"Db\\Default"}},  // only the Default below the top
        {u"gateway", {u"top"}},
        {u"nothing-like-this", {}},
    };
    for (const SessionTreeOptions& options :
         {SessionTreeOptions{false, true, true}, {true, true, true}}) {
        // What the filter must show: the whole tree opened, in its own order, cut down to
        // the matches and the folders above them; the first match selected.
        auto whole = Open(options);
        for (TreeNodeId node : whole->Tree().AllNodes()) whole->Tree().Expand(node);
        auto deck = Open(options);
        for (const auto& [text, matches] : cases) {
            SCOPED_TRACE(VUnicodeString(text).ToUtf8());
            std::u16string expected, firstMatch;
            for (TreeNodeId node : whole->Tree().VisibleNodes()) {
                const std::u16string path = whole->Tree().Path(node).str();
                bool keep = node == whole->Tree().Root();  // the root stays, even alone
                for (const auto& match : matches)
                    keep = keep || match == path || match.starts_with(path + u"\\");
                if (!keep) continue;
                expected += path + u"|";
                if (firstMatch.empty() && whole->Tree().IsSession(node)) firstMatch = path + u"|";
            }
            EXPECT_EQ(Filtered(*deck, text), expected);
            EXPECT_EQ(Selected(*deck), firstMatch);  // Enter connects the first match
            EXPECT_EQ(deck->Filter(), Deck::FilterState::kShown);
            for (TreeNodeId node : deck->Tree().AllNodes())
                EXPECT_TRUE(deck->Tree().IsSession(node) || deck->Tree().Node(node).expanded);
        }
    }
    // The transfer-only "files" hidden on a terminal host that does not show transfer-only
    // sessions, and shown again when the option changes while filtered.
    auto deck = Open({true, true, false});
    EXPECT_EQ(Filtered(*deck, u"files"), u"|");
    deck->ToggleTransferSessions();
    EXPECT_EQ(Shown(deck->Tree()), u"|Db|Db\\files|");
    // On the transfer host it is the sessions without a transfer protocol that are hidden.
    deck = Open({true, false, true}, Product::Ferrivo);
    EXPECT_EQ(Filtered(*deck, u"dc2"), u"|Db|Db\\files|");
}

TEST_F(DeckFilter, ClearingGivesBackTheOpenFoldersAndSelectionFromBefore) {
    SetOrder(u"", u"Default:top:", u"Db:Web:");
    auto deck = Open();
    ASSERT_EQ(Shown(deck->Tree()), u"|Db|Web|Web\\web01|Web\\web02|top|");
    Filtered(*deck, u"pg");
    Filtered(*deck, u"pg9");  // a second keystroke keeps the state from before the first
    deck->SaveState();        // keeps the user's tree, not the filtered one
    EXPECT_EQ(deck->Config().connectExpandPath.Get().str(), u"Web\\web02");
    EXPECT_EQ(deck->SetFilter(VUnicodeString()), Deck::FilterState::kOff);
    EXPECT_EQ(Shown(deck->Tree()), u"|Db|Web|Web\\web01|Web\\web02|top|");
    EXPECT_EQ(Selected(*deck), u"Web\\web02|");
    EXPECT_EQ(deck->Selection().Caret(), At(*deck, u"Web\\web02"));
    EXPECT_FALSE(deck->Tree().Node(At(*deck, u"Db")).loaded);
}

TEST_F(DeckFilter, TheModelWorksWhileTheIndexBuildsAndGoesAwaySafelyMidBuild) {
    MakeFolder(u"Bulk");
    for (int i = 0; i < 300; ++i)
        UiStoreTest::MakeSession(u"Bulk\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str());
    auto bulk = [&](Deck& deck) { return deck.Tree().Node(At(deck, u"Bulk")).children.size(); };
    for (int round = 0; round < 5; ++round) {
        auto deck = Open();
        deck->StartFilterIndex();
        // Usable while the index is read: the tree opens folders from the store as usual.
        deck->Tree().Expand(At(*deck, u"Bulk"));
        EXPECT_EQ(bulk(*deck), 300u);
        const auto started = std::chrono::steady_clock::now();
        deck.reset();  // the thread stops at its next session and is joined
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    // A filter typed before the index is ready waits for it and then shows.
    auto deck = Open();
    const std::u16string before = Shown(deck->Tree());
    if (deck->SetFilter(VUnicodeString(u"s29")) == Deck::FilterState::kPending) {
        EXPECT_EQ(Shown(deck->Tree()), before);
        ASSERT_TRUE(deck->FilterIndex().WaitReady(10000));
    }
    EXPECT_EQ(deck->ApplyPendingFilter(), Deck::FilterState::kShown);
    EXPECT_EQ(bulk(*deck), 11u);  // s29 and s290..s299

    // A change while a typed filter waits for the index starts the read over at once: the
    // filter then shows, with the change, without another keystroke.
    deck = Open();
    if (deck->SetFilter(VUnicodeString(u"s29")) == Deck::FilterState::kPending) {
        deck->Selection().SelectOnly(At(*deck, u"top"));
        ASSERT_TRUE(deck->BeginRename());
        EXPECT_EQ(deck->EndLabelEdit(VUnicodeString(u"s29top")), Deck::EditResult::kDone);
        ASSERT_TRUE(deck->FilterIndex().WaitReady(10000));
    }
    EXPECT_EQ(deck->ApplyPendingFilter(), Deck::FilterState::kShown);
    EXPECT_NE(Shown(deck->Tree()).find(u"|s29top|"), std::u16string::npos);
}

TEST_F(DeckFilter, AFilterAfterTheDialogChangedTheStoreFindsTheChange) {
    const struct {
        const char* name;
        std::function<void(Deck&)> change;
        const char16_t *text, *shown;
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
             deck.Selection().SelectOnly(At(deck, u"Db\\mysql"));
             prompt.AnswerButton(VPromptAnswer::kYes);
             EXPECT_TRUE(deck.Delete());
         },
         u"dc2", u"|Db|Db\\Old|Db\\Old\\pg9|Db\\files|"},
        {"copy", [&](Deck& deck) { deck.CopyTo(At(deck, u"top"), At(deck, u"Web"), {}); },
         u"gateway", u"|Web|Web\\top|top|"},
        {"move", [&](Deck& deck) { deck.MoveTo(At(deck, u"Db\\Old\\pg9"), At(deck, u"Web"), {}); },
         u"pg9", u"|Web|Web\\pg9|"},
        {"reorder",
         [&](Deck& deck) {
             deck.Selection().SelectOnly(At(deck, u"Web\\web02"));
             EXPECT_TRUE(deck.MoveSelected(true));
         },
         u"web", u"|Web|Web\\web02|Web\\api01|"},
        {"rename a folder",
         [&](Deck& deck) {
             deck.Selection().SelectOnly(At(deck, u"Db"));
             ASSERT_TRUE(deck.BeginRename());
             EXPECT_EQ(deck.EndLabelEdit(VUnicodeString(u"Data")), Deck::EditResult::kDone);
         },
         u"files", u"|Data|Data\\files|"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // One store for all: each change leaves what the cases after it look for alone. The
        // index is read before the change, as in a dialog where the user filtered first.
        auto deck = Open();
        Filtered(*deck, u"e");
        deck->SetFilter(VUnicodeString());
        c.change(*deck);
        // The index followed the change: nothing is read again before the filter answers.
        EXPECT_EQ(deck->SetFilter(VUnicodeString(c.text)), Deck::FilterState::kShown);
        EXPECT_EQ(Shown(deck->Tree()), c.shown);
    }
}

TEST_F(DeckFilter, AltUpAndDownMoveInUserArrangedOrderOnly) {
    MakeFolder(u"Z");
    SetOrder(u"", u"Default:top:", u"Db:Web:Z:");
    SetOrder(u"Web", u"web01:web02:", u"");
    auto deck = Open();
    auto& tree = deck->Tree();
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kUp, true, false));  // web02 selected
    EXPECT_EQ(Stored(u"Web"), u"Web\\web02|Web\\web01|");
    EXPECT_EQ(Labels(tree, tree.Node(At(*deck, u"Web")).children), u"web02|web01|");
    EXPECT_EQ(Selected(*deck), u"Web\\web02|");
    EXPECT_FALSE(deck->MoveSelected(true));  // already first
    EXPECT_EQ(Stored(u"Web"), u"Web\\web02|Web\\web01|");

    // A folder moves among folders and never past the first session.
    deck->Selection().SelectOnly(At(*deck, u"Db"));
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kDown, true, false));
    EXPECT_EQ(Stored(u"", false), u"Web\\|Db\\|Z\\|Default|top|");
    EXPECT_TRUE(deck->MoveSelected(false));
    EXPECT_FALSE(deck->MoveSelected(false));
    EXPECT_EQ(Stored(u"", false), u"Web\\|Z\\|Db\\|Default|top|");
    EXPECT_EQ(Labels(tree, tree.Node(tree.Root()).children), u"Web|Z|Db|top|");

    // Refused in alphabetical order, with nothing changed.
    deck->ToggleSortOrder();
    deck->Selection().SelectOnly(At(*deck, u"Z"));
    EXPECT_FALSE(deck->MoveSelected(true));
    EXPECT_EQ(Stored(u"", false), u"Web\\|Z\\|Db\\|Default|top|");
}

}  // namespace
