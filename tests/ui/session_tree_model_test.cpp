// The session tree model on real configuration folders: filling, lazy loading, the host's
// product filter, the hidden Default session, order, and lookup by path.
#include <gtest/gtest.h>

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
    EXPECT_EQ(tree.FindPath(u""), tree.Root());
    EXPECT_EQ(tree.Path(tree.Root()), u"");

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
    const struct {
        Product product;
        bool showTerminalOnly, showTransferOnly;
        const char16_t* shown;
    } rows[] = {
        {Product::Vetralon, true, false, u"|both|termonly|"},
        {Product::Vetra, false, false, u"|both|termonly|"},
        {Product::Vetralon, false, true, u"|both|termonly|unknown|xferonly|"},
        {Product::Ferrivo, false, true, u"|both|xferonly|"},
        {Product::Ferrivo, true, false, u"|both|termonly|unknown|xferonly|"},
    };
    for (const auto& row : rows) {
        SessionTreeModel tree(SessionDeckHost{row.product},
                              {true, row.showTerminalOnly, row.showTransferOnly});
        tree.Fill();
        tree.Expand(tree.Root());
        EXPECT_EQ(Shown(tree), row.shown) << "row " << &row - rows;
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

}  // namespace
