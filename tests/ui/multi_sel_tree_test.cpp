// Multi-selection gestures and the three selection lists over a real session tree.
#include <gtest/gtest.h>

#include "ui/model/multi_sel_tree.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

// Root, folder F (with a, b and sub-folder G holding g), then top-level sessions s1..s3; every
// folder expanded so that all rows are visible:
//   Sessions, F, G, g, a, b, s1, s2, s3
class MultiSelection : public UiStoreTest {
protected:
    MultiSelection() {
        for (auto path : {u"F\\a", u"F\\b", u"F\\G\\g", u"s1", u"s2", u"s3"}) MakeSession(path);
        tree.Fill();
        for (auto path : {u"", u"F", u"F\\G"}) tree.Expand(tree.FindPath(path));
    }
    TreeNodeId N(const char16_t* path) { return tree.FindPath(path); }
    std::u16string Selected() { return Labels(tree, sel.AsSelected()); }

    SessionTreeModel tree{SessionDeckHost{Product::Vetralon}, {}};
    int changes = 0;
    VMultiSelTreeCtrl sel{tree, [this] { ++changes; }};
};

TEST_F(MultiSelection, ClickCtrlClickAndShiftRanges) {
    ASSERT_EQ(Labels(tree, tree.VisibleNodes()), u"Sessions|F|G|g|a|b|s1|s2|s3|");
    struct Step {
        const char16_t* node;
        bool ctrl, shift;
        const char16_t* selected;
    } steps[] = {
        {u"s3", false, false, u"s3|"},
        {u"s1", false, true, u"s1|s2|s3|"},           // two rows up: three nodes
        {u"F\\a", true, false, u"a|s1|s2|s3|"},       // Ctrl adds and clears the anchor
        {u"s2", true, false, u"a|s1|s3|"},            // Ctrl toggles off
        {u"F\\G", true, true, u"G|g|a|b|s1|s2|s3|"},  // Ctrl+Shift: caret s2 anchors, rest kept
        {u"F", false, true, u"F|G|g|a|b|s1|s2|"},     // the anchor s2 holds; the rest goes
    };
    for (const auto& step : steps) {
        sel.Click(N(step.node), KeyModifiers{step.ctrl, step.shift});
        EXPECT_EQ(Selected(), step.selected)
            << "after clicking " << VUnicodeString(step.node).ToUtf8();
        EXPECT_EQ(sel.Caret(), N(step.node));
    }
    EXPECT_EQ(sel.Anchor(), N(u"s2"));
    // A Shift+click on the anchor itself selects just that node.
    sel.Click(N(u"s2"), KeyModifiers{false, true});
    EXPECT_EQ(Selected(), u"s2|");
    // A plain click ends the range gesture.
    sel.Click(N(u"F\\b"), {});
    EXPECT_EQ(Selected(), u"b|");
    EXPECT_EQ(sel.Anchor(), kNoNode);
    EXPECT_GT(changes, 0) << "the owner is told about every change";
}

TEST_F(MultiSelection, RightClickKeepsASelectionItBelongsTo) {
    sel.Click(N(u"s1"), {});
    sel.Click(N(u"s3"), KeyModifiers{false, true});
    sel.RightClick(N(u"s2"));
    EXPECT_EQ(Selected(), u"s1|s2|s3|");
    EXPECT_EQ(sel.Caret(), N(u"s2"));
    sel.RightClick(N(u"F\\a"));
    EXPECT_EQ(Selected(), u"a|");
    EXPECT_EQ(sel.Caret(), N(u"F\\a"));
}

TEST_F(MultiSelection, ArrowKeysMoveTheCaretAndExtendWithShift) {
    sel.Click(N(u"F\\a"), {});
    EXPECT_TRUE(sel.KeyDown(TreeKey::kDown, KeyModifiers{false, true}));
    EXPECT_TRUE(sel.KeyDown(TreeKey::kDown, KeyModifiers{false, true}));
    EXPECT_EQ(Selected(), u"a|b|s1|");
    EXPECT_TRUE(sel.KeyDown(TreeKey::kUp, KeyModifiers{false, true}));
    EXPECT_TRUE(sel.KeyDown(TreeKey::kUp, KeyModifiers{false, true}));
    EXPECT_TRUE(sel.KeyDown(TreeKey::kUp, KeyModifiers{false, true}));
    EXPECT_EQ(Selected(), u"g|a|") << "the range turns round at the anchor";
    EXPECT_TRUE(sel.KeyDown(TreeKey::kEnd, {}));
    EXPECT_EQ(Selected(), u"s3|");
    EXPECT_FALSE(sel.KeyDown(TreeKey::kDown, {})) << "nothing below the last row";
    EXPECT_TRUE(sel.KeyDown(TreeKey::kHome, {}));
    EXPECT_EQ(Selected(), u"Sessions|");
    EXPECT_FALSE(sel.KeyDown(TreeKey::kUp, {}));
}

TEST_F(MultiSelection, CollapsingDeselectsInsideAndRangesSkipHiddenRows) {
    sel.Click(N(u"F\\G\\g"), {});
    sel.Click(N(u"s1"), KeyModifiers{true, false});
    tree.Collapse(N(u"F"));
    EXPECT_EQ(Selected(), u"s1|");
    sel.Click(tree.Root(), {});
    sel.Click(N(u"s2"), KeyModifiers{false, true});
    EXPECT_EQ(Selected(), u"Sessions|F|s1|s2|");
}

TEST_F(MultiSelection, TheThreeSelectionLists) {
    MakeSession(u"H\\h1");
    MakeSession(u"H\\h2");
    tree.Fill();
    tree.Expand(tree.Root());
    tree.Expand(N(u"F"));
    // F (expanded), its session a, and the never-loaded folder H, plus s1.
    sel.Click(N(u"F"), {});
    sel.Click(N(u"F\\a"), KeyModifiers{true, false});
    sel.Click(N(u"H"), KeyModifiers{true, false});
    sel.Click(N(u"s1"), KeyModifiers{true, false});
    const TreeNodeId h = tree.FindChild(tree.Root(), u"H");
    EXPECT_FALSE(tree.Node(h).loaded);
    EXPECT_EQ(Labels(tree, sel.AsSelected()), u"F|a|H|s1|");
    EXPECT_EQ(Labels(tree, sel.TopMost()), u"F|H|s1|");
    // Each session once, even though a is selected and inside the selected F.
    EXPECT_EQ(Paths(tree, sel.Sessions()), u"F\\G\\g|F\\a|F\\b|H\\h1|H\\h2|s1|");
    EXPECT_TRUE(tree.Node(h).loaded) << "the sessions list loads folders on the way";
}

}  // namespace
