// The session tree model on real configuration folders: filling, lazy loading, the host's
// product filter, the hidden Default session, order, and lookup by path.
#include <gtest/gtest.h>

#include "ui/model/session_tree_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

class TreeModel : public UiStoreTest {
protected:
    SessionDeckHost Terminal() const { return SessionDeckHost{Product::Vetralon}; }
};

TEST_F(TreeModel, FillInsertsFoldersOnlyAndLoadsSessionsOnFirstExpand) {
    MakeSession(u"top");
    MakeSession(u"F\\inner");
    MakeSession(u"F\\G\\deep");
    SessionTreeModel tree(Terminal(), {});
    tree.Fill();
    EXPECT_EQ(Labels(tree, tree.AllNodes()), u"Sessions|F|G|");
    const TreeNodeId f = tree.FindChild(tree.Root(), u"F");
    const TreeNodeId g = tree.FindChild(f, u"G");
    // A folder shows an expander until it has been expanded, even when it turns out empty.
    EXPECT_TRUE(tree.HasExpander(g));
    EXPECT_FALSE(tree.Node(f).loaded);

    tree.Expand(tree.Root());
    tree.Expand(f);
    EXPECT_EQ(Labels(tree, tree.VisibleNodes()), u"Sessions|F|G|inner|top|");
    EXPECT_EQ(tree.Path(g), u"F\\G");
    EXPECT_EQ(tree.Path(tree.Root()), u"");
    // Loading runs once per folder: a second expand adds nothing.
    tree.Collapse(f);
    tree.Expand(f);
    EXPECT_EQ(tree.Node(f).children.size(), 2u);

    MakeFolder(u"E");
    tree.Fill();
    const TreeNodeId e = tree.FindChild(tree.Root(), u"E");
    tree.Expand(e);
    EXPECT_FALSE(tree.HasExpander(e)) << "an expanded empty folder loses its expander";
    EXPECT_EQ(tree.Image(e), 0);
    EXPECT_EQ(tree.SelectedImage(e), 1);
    const TreeNodeId top = tree.FindPath(u"top");
    EXPECT_EQ(tree.Image(top), 2);
    EXPECT_EQ(tree.SelectedImage(top), 2);
    EXPECT_FALSE(tree.HasExpander(top));
}

TEST_F(TreeModel, ProductFilterAndOverrides) {
    MakeSession(u"both", u"SSH2", u"SFTP");
    MakeSession(u"termonly", u"Telnet", u"None");
    MakeSession(u"xferonly", u"None", u"FTP");
    MakeSession(u"unknown", u"Gopher", u"");
    struct Row {
        Product product;
        bool showTerminalOnly, showTransferOnly;
        const char16_t* shown;
    } rows[] = {
        {Product::Vetralon, true, false, u"Sessions|both|termonly|"},
        {Product::Vetra, false, false, u"Sessions|both|termonly|"},
        {Product::Vetralon, false, true, u"Sessions|both|termonly|unknown|xferonly|"},
        {Product::Ferrivo, false, true, u"Sessions|both|xferonly|"},
        {Product::Ferrivo, true, false, u"Sessions|both|termonly|unknown|xferonly|"},
    };
    for (const auto& row : rows) {
        SessionTreeModel tree(SessionDeckHost{row.product},
                              {true, row.showTerminalOnly, row.showTransferOnly});
        tree.Fill();
        tree.Expand(tree.Root());
        EXPECT_EQ(Labels(tree, tree.VisibleNodes()), row.shown)
            << "product " << ProductId(row.product) << " terminal-only " << row.showTerminalOnly
            << " transfer-only " << row.showTransferOnly;
    }
}

TEST_F(TreeModel, DefaultSessionIsHiddenOnlyAtTheTop) {
    MakeSession(u"DEFAULT");
    MakeSession(u"F\\Default");
    SessionTreeModel tree(Terminal(), {});
    tree.Fill();
    EXPECT_EQ(tree.FindPath(u"DEFAULT"), kNoNode);
    EXPECT_NE(tree.FindPath(u"F\\Default"), kNoNode);
}

TEST_F(TreeModel, AlphabeticalVersusUserArrangedOrder) {
    for (auto name : {u"b", u"A", u"c"}) MakeSession(name);
    MakeFolder(u"Y");
    MakeFolder(u"x");
    SetOrder(u"", u"c:b:A", u"Y:x");
    SessionTreeModel sorted(Terminal(), {true, true, true});
    sorted.Fill();
    sorted.Expand(sorted.Root());
    EXPECT_EQ(Labels(sorted, sorted.VisibleNodes()), u"Sessions|x|Y|A|b|c|");
    EXPECT_EQ(sorted.Node(sorted.InsertionPoint(sorted.Root(), TreeItemKind::kSession, u"B")).label,
              u"c");

    SessionTreeModel arranged(Terminal(), {false, true, true});
    arranged.Fill();
    arranged.Expand(arranged.Root());
    EXPECT_EQ(Labels(arranged, arranged.VisibleNodes()), u"Sessions|Y|x|c|b|A|");
    // New entries go to the end of their kind; folders stay above sessions.
    EXPECT_EQ(arranged.InsertionPoint(arranged.Root(), TreeItemKind::kSession, u"0"), kNoNode);
    EXPECT_EQ(
        arranged.Node(arranged.InsertionPoint(arranged.Root(), TreeItemKind::kFolder, u"0")).label,
        u"c");
}

TEST_F(TreeModel, FindPathExpandsOnTheWayAndFailsOnMissingComponents) {
    MakeSession(u"F\\G\\s");
    SessionTreeModel tree(Terminal(), {});
    tree.Fill();
    const TreeNodeId s = tree.FindPath(u"f\\g\\S");
    ASSERT_NE(s, kNoNode) << "names compare without case";
    EXPECT_EQ(tree.Path(s), u"F\\G\\s");
    EXPECT_TRUE(tree.Node(tree.FindChild(tree.Root(), u"F")).expanded);
    EXPECT_EQ(tree.FindPath(u"F\\missing"), kNoNode);
    EXPECT_EQ(tree.FindPath(u"F\\G\\s\\below-a-session"), kNoNode);
    EXPECT_EQ(tree.FindPath(u""), tree.Root());
}

TEST_F(TreeModel, RemovedHandlesNeverComeBackAndReleaseTheirSessions) {
    MakeSession(u"F\\a");
    SessionTreeModel tree(Terminal(), {});
    tree.Fill();
    const TreeNodeId a = tree.FindPath(u"F\\a");
    ASSERT_NE(tree.Session(a), nullptr);
    EXPECT_EQ(tree.Session(a)->GetSessionName(), u"a");
    const TreeNodeId f = tree.FindChild(tree.Root(), u"F");
    tree.Remove(f);
    EXPECT_FALSE(tree.IsValid(f));
    EXPECT_FALSE(tree.IsValid(a));
    const TreeNodeId again = tree.Insert(tree.Root(), TreeItemKind::kFolder, u"F");
    EXPECT_NE(again, f);
    EXPECT_EQ(tree.Session(tree.Root()), nullptr) << "a folder has no session";
}

}  // namespace
