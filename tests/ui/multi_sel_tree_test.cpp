// Multi-selection gestures and the three selection lists over a real session tree.
#include <gtest/gtest.h>

#include "ui/model/multi_sel_tree.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

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
