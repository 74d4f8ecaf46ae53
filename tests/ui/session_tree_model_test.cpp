// The session tree model on real configuration folders (filling, lazy loading, the host's
// product filter, the hidden Default session, order, lookup by path), and the multi-selection
// gestures and the three selection lists over it.
#include <gtest/gtest.h>

#include "ui/model/multi_sel_tree.h"
#include "ui/model/session_tree_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

class TreeModel : public UiStoreTest {
protected:
    const SessionDeckHost terminal{Product::Vetralon};
};

TEST_F(TreeModel, FillLoadsFoldersLazilyHidesTheTopDefaultAndFindsPaths) {
    MakeTree(u"top|F\\inner|F\\G\\deep|DEFAULT|F\\Default");
    SessionTreeModel tree(terminal, {});
    tree.Fill();
    EXPECT_EQ(Labels(tree, tree.AllNodes()), u"Sessions|F|G|") << "folders only at first";
    const TreeNodeId f = tree.FindChild(tree.Root(), u"F");
    const TreeNodeId g = tree.FindChild(f, u"G");
    // A folder shows an expander until it has been expanded, even when it turns out empty.
    EXPECT_TRUE(tree.HasExpander(g));
    EXPECT_FALSE(tree.Node(f).loaded);
    tree.Expand(tree.Root());
    tree.Expand(f);
    EXPECT_EQ(Shown(tree), u"|F|F\\G|F\\Default|F\\inner|top|") << "Default hidden at the top";
    // Loading runs once per folder: a second expand adds nothing.
    tree.Collapse(f);
    tree.Expand(f);
    EXPECT_EQ(tree.Node(f).children.size(), 3u);

    // Names compare without case; a path expands the folders on its way.
    const TreeNodeId deep = tree.FindPath(u"f\\g\\DEEP");
    EXPECT_EQ(tree.Path(deep), u"F\\G\\deep");
    EXPECT_TRUE(tree.Node(g).expanded);
    for (auto path : {u"F\\missing", u"F\\G\\deep\\below-a-session", u"DEFAULT"})
        EXPECT_EQ(tree.FindPath(path), kNoNode) << VUnicodeString(path).ToUtf8();

    MakeFolder(u"E");
    tree.Fill();
    const TreeNodeId e = tree.FindChild(tree.Root(), u"E");
    tree.Expand(e);
    EXPECT_FALSE(tree.HasExpander(e)) << "an expanded empty folder loses its expander";
    const TreeNodeId top = tree.FindPath(u"top");
    EXPECT_FALSE(tree.HasExpander(top));
    EXPECT_EQ((std::vector{tree.Image(e), tree.SelectedImage(e), tree.Image(top),
                           tree.SelectedImage(top)}),
              (std::vector{0, 1, 2, 2}));
}

TEST_F(TreeModel, ProductFilterAndOverrides) {
    MakeSession(u"both", u"SSH2", u"SFTP");
    MakeSession(u"termonly", u"Telnet", u"None");
    MakeSession(u"xferonly", u"None", u"FTP");
    MakeSession(u"unknown", u"Gopher", u"");
    // The host, whether it shows terminal-only and transfer-only sessions, and what it shows.
    const std::tuple<Product, bool, bool, const char16_t*> rows[] = {
        {Product::Vetralon, true, false, u"|both|termonly|"},
        {Product::Vetra, false, false, u"|both|termonly|"},
        {Product::Vetralon, false, true, u"|both|termonly|unknown|xferonly|"},
        {Product::Ferrivo, false, true, u"|both|xferonly|"},
        {Product::Ferrivo, true, false, u"|both|termonly|unknown|xferonly|"},
    };
    for (const auto& [product, terminalOnly, transferOnly, shown] : rows) {
        SessionTreeModel tree(SessionDeckHost{product}, {true, terminalOnly, transferOnly});
        tree.Fill();
        tree.Expand(tree.Root());
        EXPECT_EQ(Shown(tree), shown) << ProductId(product) << terminalOnly << transferOnly;
    }
}

TEST_F(TreeModel, AlphabeticalVersusUserArrangedOrder) {
    MakeTree(u"b|A|c|Y\\|x\\");
    SetOrder(u"", u"c:b:A", u"Y:x");
    SessionTreeModel sorted(terminal, {true, true, true});
    sorted.Fill();
    sorted.Expand(sorted.Root());
    EXPECT_EQ(Shown(sorted), u"|x|Y|A|b|c|");
    EXPECT_EQ(sorted.Node(sorted.InsertionPoint(sorted.Root(), TreeItemKind::kSession, u"B")).label,
              u"c");

    SessionTreeModel arranged(terminal, {false, true, true});
    arranged.Fill();
    arranged.Expand(arranged.Root());
    EXPECT_EQ(Shown(arranged), u"|Y|x|c|b|A|");
    // New entries go to the end of their kind; folders stay above sessions.
    EXPECT_EQ(arranged.InsertionPoint(arranged.Root(), TreeItemKind::kSession, u"0"), kNoNode);
    EXPECT_EQ(
        arranged.Node(arranged.InsertionPoint(arranged.Root(), TreeItemKind::kFolder, u"0")).label,
        u"c");
}

TEST_F(TreeModel, RemovedHandlesNeverComeBackAndReleaseTheirSessions) {
    MakeTree(u"F\\a");
    SessionTreeModel tree(terminal, {});
    tree.Fill();
    const TreeNodeId a = tree.FindPath(u"F\\a");
    ASSERT_EQ(tree.Session(a) ? tree.Session(a)->GetSessionName() : u"", u"a");
    const TreeNodeId f = tree.FindChild(tree.Root(), u"F");
    tree.Remove(f);
    EXPECT_FALSE(tree.IsValid(f) || tree.IsValid(a));
    const TreeNodeId again = tree.Insert(tree.Root(), TreeItemKind::kFolder, u"F");
    EXPECT_NE(again, f);
    EXPECT_EQ(tree.Session(tree.Root()), nullptr) << "a folder has no session";
}

constexpr KeyModifiers kCtrl{true, false}, kShift{false, true};

// Every folder expanded, so that all rows are visible: Sessions, F, G, g, a, b, s1, s2, s3.
class MultiSelection : public UiStoreTest {
protected:
    MultiSelection() {
        MakeTree(u"F\\a|F\\b|F\\G\\g|s1|s2|s3");
        tree.Fill();
        for (auto path : {u"", u"F", u"F\\G"}) tree.Expand(tree.FindPath(path));
    }
    TreeNodeId N(const char16_t* path) { return tree.FindPath(path); }
    std::u16string Selected() { return Labels(tree, sel.AsSelected()); }

    SessionTreeModel tree{SessionDeckHost{Product::Vetralon}, {}};
    int changes = 0;
    VMultiSelTreeCtrl sel{tree, [this] { ++changes; }};
};

TEST_F(MultiSelection, ClicksRightClicksAndCollapsing) {
    ASSERT_EQ(Labels(tree, tree.VisibleNodes()), u"Sessions|F|G|g|a|b|s1|s2|s3|");
    const std::tuple<const char16_t*, KeyModifiers, const char16_t*> steps[] = {
        {u"s3", {}, u"s3|"},
        {u"s1", kShift, u"s1|s2|s3|"},                  // two rows up: three nodes
        {u"F\\a", kCtrl, u"a|s1|s2|s3|"},               // Ctrl adds and clears the anchor
        {u"s2", kCtrl, u"a|s1|s3|"},                    // Ctrl toggles off
        {u"F\\G", {true, true}, u"G|g|a|b|s1|s2|s3|"},  // Ctrl+Shift: caret s2 anchors
        {u"F", kShift, u"F|G|g|a|b|s1|s2|"},            // the anchor s2 holds; the rest goes
        {u"s2", kShift, u"s2|"},                        // on the anchor itself: just that
    };
    for (const auto& [node, keys, selected] : steps) {
        sel.Click(N(node), keys);
        EXPECT_EQ(Selected(), selected) << "after clicking " << VUnicodeString(node).ToUtf8();
        EXPECT_EQ(sel.Caret(), N(node));
    }
    EXPECT_EQ(sel.Anchor(), N(u"s2"));
    // A plain click ends the range gesture.
    sel.Click(N(u"F\\b"), {});
    EXPECT_EQ(Selected(), u"b|");
    EXPECT_EQ(sel.Anchor(), kNoNode);
    EXPECT_GT(changes, 0) << "the owner is told about every change";

    // A right click keeps a selection it belongs to, and otherwise selects just its node.
    sel.Click(N(u"s1"), {});
    sel.Click(N(u"s3"), kShift);
    sel.RightClick(N(u"s2"));
    EXPECT_EQ(Selected(), u"s1|s2|s3|");
    EXPECT_EQ(sel.Caret(), N(u"s2"));
    sel.RightClick(N(u"F\\a"));
    EXPECT_EQ(Selected(), u"a|");
    EXPECT_EQ(sel.Caret(), N(u"F\\a"));

    // Collapsing deselects inside; ranges skip hidden rows.
    sel.Click(N(u"F\\G\\g"), {});
    sel.Click(N(u"s1"), kCtrl);
    tree.Collapse(N(u"F"));
    EXPECT_EQ(Selected(), u"s1|");
    sel.Click(tree.Root(), {});
    sel.Click(N(u"s2"), kShift);
    EXPECT_EQ(Selected(), u"Sessions|F|s1|s2|");
}

TEST_F(MultiSelection, ArrowKeysMoveTheCaretAndExtendWithShift) {
    sel.Click(N(u"F\\a"), {});
    const std::tuple<TreeKey, KeyModifiers, bool, const char16_t*> steps[] = {
        {TreeKey::kDown, kShift, true, u"a|b|"},  {TreeKey::kDown, kShift, true, u"a|b|s1|"},
        {TreeKey::kUp, kShift, true, u"a|b|"},    {TreeKey::kUp, kShift, true, u"a|"},
        {TreeKey::kUp, kShift, true, u"g|a|"},  // the range turns round at the anchor
        {TreeKey::kEnd, {}, true, u"s3|"},        {TreeKey::kDown, {}, false, u"s3|"},
        {TreeKey::kHome, {}, true, u"Sessions|"}, {TreeKey::kUp, {}, false, u"Sessions|"},
    };
    for (const auto& [key, keys, handled, selected] : steps) {
        EXPECT_EQ(sel.KeyDown(key, keys), handled);
        EXPECT_EQ(Selected(), selected);
    }
}

TEST_F(MultiSelection, TheThreeSelectionLists) {
    MakeTree(u"H\\h1|H\\h2");
    tree.Fill();
    tree.Expand(tree.Root());
    tree.Expand(N(u"F"));
    // F (expanded), its session a, and the never-loaded folder H, plus s1.
    sel.Click(N(u"F"), {});
    for (auto path : {u"F\\a", u"H", u"s1"}) sel.Click(N(path), kCtrl);
    const TreeNodeId h = tree.FindChild(tree.Root(), u"H");
    EXPECT_FALSE(tree.Node(h).loaded);
    EXPECT_EQ(Labels(tree, sel.AsSelected()), u"F|a|H|s1|");
    EXPECT_EQ(Labels(tree, sel.TopMost()), u"F|H|s1|");
    // Each session once, even though a is selected and inside the selected F.
    EXPECT_EQ(Paths(tree, sel.Sessions()), u"F\\G\\g|F\\a|F\\b|H\\h1|H\\h2|s1|");
    EXPECT_TRUE(tree.Node(h).loaded) << "the sessions list loads folders on the way";
}

}  // namespace
