// The session tree model on real configuration folders (filling, lazy loading, the host's
// product filter, the hidden Default session, order, lookup by path), and the multi-selection
// gestures and the three selection lists over it.
#include <gtest/gtest.h>

#include "ui/model/multi_sel_tree.h"
#include "ui/model/session_tree_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

using TreeModel = UiStoreTest;

// A terminal host's tree, filled, its root open.
std::unique_ptr<SessionTreeModel> Filled(SessionTreeOptions options = {},
                                         Product product = Product::Vetralon) {
    auto tree = std::make_unique<SessionTreeModel>(SessionDeckHost{product}, options);
    tree->Fill();
    tree->Expand(tree->Root());
    return tree;
}

TEST_F(TreeModel, FillLoadsFoldersLazilyHidesTheTopDefaultAndFindsPaths) {
    MakeTree(u"top|F\\inner|F\\G\\deep|DEFAULT|F\\Default|E\\");
    SessionTreeModel tree(SessionDeckHost{Product::Vetralon}, {});
    tree.Fill();
    EXPECT_EQ(Labels(tree, tree.AllNodes()), u"Sessions|E|F|G|") << "folders only at first";
    const TreeNodeId f = tree.FindChild(tree.Root(), u"F"), g = tree.FindChild(f, u"G");
    // A folder shows an expander until it has been expanded, even when it turns out empty.
    EXPECT_TRUE(tree.HasExpander(g) && !tree.Node(f).loaded);
    // Loading runs once per folder: a second expand adds nothing.
    tree.Expand(tree.Root());
    tree.Expand(f);
    tree.Collapse(f);
    tree.Expand(f);
    EXPECT_EQ(Shown(tree), u"|E|F|F\\G|F\\Default|F\\inner|top|") << "Default hidden at the top";

    // Names compare without case; a path expands the folders on its way.
    EXPECT_EQ(tree.Path(tree.FindPath(u"f\\g\\DEEP")), u"F\\G\\deep");
    EXPECT_TRUE(tree.Node(g).expanded);
    for (auto path : {u"F\\missing", u"F\\G\\deep\\below-a-session", u"DEFAULT"})
        EXPECT_EQ(tree.FindPath(path), kNoNode) << VUnicodeString(path).ToUtf8();

    const TreeNodeId e = tree.FindChild(tree.Root(), u"E"), top = tree.FindPath(u"top");
    tree.Expand(e);
    // An expanded empty folder loses its expander; a session never has one. Then the images.
    EXPECT_EQ((std::vector{int(tree.HasExpander(e)), int(tree.HasExpander(top)), tree.Image(e),
                           tree.SelectedImage(e), tree.Image(top), tree.SelectedImage(top)}),
              (std::vector{0, 0, 0, 1, 2, 2}));

    // Removed handles never come back and release their sessions.
    const TreeNodeId folder = tree.FindPath(u"F"), inner = tree.FindPath(u"F\\inner");
    ASSERT_EQ(tree.Session(inner) ? tree.Session(inner)->GetSessionName() : u"", u"inner");
    tree.Remove(folder);
    EXPECT_FALSE(tree.IsValid(folder) || tree.IsValid(inner));
    EXPECT_NE(tree.Insert(tree.Root(), TreeItemKind::kFolder, u"F"), folder);
    EXPECT_EQ(tree.Session(tree.Root()), nullptr) << "a folder has no session";
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
    for (const auto& [product, terminalOnly, transferOnly, shown] : rows)
        EXPECT_EQ(Shown(*Filled({true, terminalOnly, transferOnly}, product)), shown)
            << ProductId(product) << terminalOnly << transferOnly;
}

TEST_F(TreeModel, AlphabeticalVersusUserArrangedOrder) {
    MakeTree(u"b|A|c|Y\\|x\\");
    SetOrder(u"", u"c:b:A", u"Y:x");
    // Where a new session "B" goes when sorted, and a new session and folder "0" when
    // arranged: at the end of their kind, folders above sessions.
    auto label = [](SessionTreeModel& tree, TreeItemKind kind, const char16_t* name) {
        const TreeNodeId before = tree.InsertionPoint(tree.Root(), kind, name);
        return before == kNoNode ? u"end" : tree.Node(before).label.str();
    };
    auto sorted = Filled({true, true, true}), arranged = Filled({false, true, true});
    EXPECT_EQ(Shown(*sorted) + u" " + label(*sorted, TreeItemKind::kSession, u"B"),
              u"|x|Y|A|b|c| c");
    EXPECT_EQ(Shown(*arranged) + u" " + label(*arranged, TreeItemKind::kSession, u"0") + u" " +
                  label(*arranged, TreeItemKind::kFolder, u"0"),
              u"|Y|x|c|b|A| end c");
}

constexpr KeyModifiers kCtrl{true, false}, kShift{false, true};

using MultiSelection = UiStoreTest;

TEST_F(MultiSelection, ClicksRightClicksCollapsingAndArrowKeys) {
    // Every folder but H expanded; H was never loaded.
    MakeTree(u"F\\a|F\\b|F\\G\\g|H\\h1|H\\h2|s1|s2|s3");
    SessionTreeModel tree{SessionDeckHost{Product::Vetralon}, {}};
    tree.Fill();
    for (auto path : {u"", u"F", u"F\\G"}) tree.Expand(tree.FindPath(path));
    int changes = 0;
    VMultiSelTreeCtrl sel{tree, [&] { ++changes; }};
    auto at = [&](const char16_t* path) { return tree.FindPath(path); };
    auto selected = [&] { return Labels(tree, sel.AsSelected()); };
    ASSERT_EQ(Labels(tree, tree.VisibleNodes()), u"Sessions|F|G|g|a|b|H|s1|s2|s3|");
    // A click with modifiers ('c'), a right click ('r') or a collapse ('-') on a node, and
    // then the selection, the caret and the anchor of a Shift range ("-" for none).
    const std::tuple<char, const char16_t*, KeyModifiers, const char16_t*> steps[] = {
        {'c', u"s3", {}, u"s3| s3 -"},
        {'c', u"s1", kShift, u"s1|s2|s3| s1 s3"},                   // two rows up: three nodes
        {'c', u"F\\a", kCtrl, u"a|s1|s2|s3| a -"},                  // Ctrl adds, clears the anchor
        {'c', u"s2", kCtrl, u"a|s1|s3| s2 -"},                      // Ctrl toggles off
        {'c', u"F\\G", {true, true}, u"G|g|a|b|H|s1|s2|s3| G s2"},  // Ctrl+Shift: the caret anchors
        {'c', u"F", kShift, u"F|G|g|a|b|H|s1|s2| F s2"},  // the anchor holds; the rest goes
        {'c', u"s2", kShift, u"s2| s2 s2"},               // on the anchor itself: just that
        {'c', u"F\\b", {}, u"b| b -"},                    // a plain click ends the range
        // A right click keeps a selection it belongs to, and otherwise selects just its node.
        {'c', u"s1", kShift, u"b|H|s1| s1 b"},
        {'r', u"H", {}, u"b|H|s1| H b"},
        {'r', u"F\\G\\g", {}, u"g| g -"},
        // Collapsing deselects inside, and the caret leaves the hidden rows for the folder,
        // which takes the selection when none is left; ranges skip hidden rows.
        {'-', u"F\\G", {}, u"G| G -"},
        {'c', u"s1", kCtrl, u"G|s1| s1 -"},
        {'c', u"F\\a", kCtrl, u"G|a|s1| a -"},
        {'-', u"F", {}, u"s1| F -"},
        {'c', u"", {}, u"Sessions| Sessions -"},
        {'c', u"s2", kShift, u"Sessions|F|H|s1|s2| s2 Sessions"},
    };
    auto label = [&](TreeNodeId id) { return id == kNoNode ? u"-" : tree.Node(id).label.str(); };
    for (const auto& [gesture, node, keys, expected] : steps) {
        if (gesture == 'c') sel.Click(at(node), keys);
        if (gesture == 'r') sel.RightClick(at(node));
        if (gesture == '-') sel.Collapse(at(node));
        EXPECT_EQ(selected() + u" " + label(sel.Caret()) + u" " + label(sel.Anchor()), expected)
            << gesture << " " << VUnicodeString(node).ToUtf8();
    }
    EXPECT_GT(changes, 0) << "the owner is told about every change";

    // The arrow keys move the caret, and with Shift extend from the anchor; Right goes into an
    // open folder, Left up to the parent.
    for (auto path : {u"F", u"F\\G"}) tree.Expand(at(path));
    sel.Click(at(u"F\\a"), {});
    const std::tuple<TreeKey, KeyModifiers, bool, const char16_t*> keys[] = {
        {TreeKey::kDown, kShift, true, u"a|b|"},    {TreeKey::kDown, kShift, true, u"a|b|H|"},
        {TreeKey::kUp, kShift, true, u"a|b|"},      {TreeKey::kUp, kShift, true, u"a|"},
        {TreeKey::kUp, kShift, true, u"g|a|"},  // the range turns round at the anchor
        {TreeKey::kEnd, {}, true, u"s3|"},          {TreeKey::kDown, {}, false, u"s3|"},
        {TreeKey::kHome, {}, true, u"Sessions|"},   {TreeKey::kUp, {}, false, u"Sessions|"},
        {TreeKey::kFirstChild, {}, true, u"F|"},    {TreeKey::kFirstChild, {}, true, u"G|"},
        {TreeKey::kFirstChild, {}, true, u"g|"},    {TreeKey::kFirstChild, {}, false, u"g|"},
        {TreeKey::kParent, {}, true, u"G|"},        {TreeKey::kParent, kShift, true, u"F|G|"},
        {TreeKey::kParent, {}, true, u"Sessions|"}, {TreeKey::kParent, {}, false, u"Sessions|"},
    };
    for (const auto& [key, modifiers, handled, expected] : keys) {
        EXPECT_EQ(sel.KeyDown(key, modifiers), handled);
        EXPECT_EQ(selected(), expected);
    }

    // The three selection lists over F (open), its session a, the never-loaded H and s1.
    sel.Click(at(u"F"), {});
    for (auto path : {u"F\\a", u"H", u"s1"}) sel.Click(at(path), kCtrl);
    EXPECT_FALSE(tree.Node(at(u"H")).loaded);
    EXPECT_EQ(selected() + u" " + Labels(tree, sel.TopMost()), u"F|a|H|s1| F|H|s1|");
    // Each session once, even though a is selected and inside the selected F.
    EXPECT_EQ(Paths(tree, sel.Sessions()), u"F\\G\\g|F\\a|F\\b|H\\h1|H\\h2|s1|");
    EXPECT_TRUE(tree.Node(at(u"H")).loaded) << "the sessions list loads folders on the way";
}

}  // namespace
