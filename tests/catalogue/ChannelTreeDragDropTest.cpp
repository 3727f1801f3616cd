// Moving a node with its subtree by drag and drop, through the model's drop support as a
// view calls it, with a model tester watching every signal.

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "xml/XmlDocument.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ChannelTreeDragDropTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        tester = std::make_unique<QAbstractItemModelTester>(
            &tree, QAbstractItemModelTester::FailureReportingMode::Warning);
        news = tree.addNode(tree.root(), QStringLiteral("News"), NodeKind::Group);
        a = tree.addNode(news, QStringLiteral("A"), NodeKind::Channel);
        b = tree.addNode(news, QStringLiteral("B"), NodeKind::Channel);
        tech = tree.addNode(tree.root(), QStringLiteral("Tech"), NodeKind::Group);
        sub = tree.addNode(tech, QStringLiteral("Sub"), NodeKind::Group);
        c = tree.addNode(sub, QStringLiteral("C"), NodeKind::Channel);
        a->channel()->GUID = QStringLiteral("{A}");
    }

    std::unique_ptr<QMimeData> drag(ChannelNode *node)
    {
        return std::unique_ptr<QMimeData>(tree.mimeData({tree.indexOf(node)}));
    }

    // Onto `target` (row -1), or between its children before `row`, as a view asks.
    bool drop(ChannelNode *dragged, ChannelNode *target, int row = -1)
    {
        const auto data = drag(dragged);
        if (!data)
            return false;
        const QModelIndex at = target ? tree.indexOf(target) : QModelIndex();
        const bool can = tree.canDropMimeData(data.get(), Qt::MoveAction, row, 0, at);
        const bool done = tree.dropMimeData(data.get(), Qt::MoveAction, row, 0, at);
        EXPECT_EQ(can, done);
        return done;
    }
    static QStringList names(const ChannelNode *parent)
    {
        QStringList result;
        for (const ChannelNode *c : parent->children())
            result << c->text();
        return result;
    }

    ChannelTree tree;
    std::unique_ptr<QAbstractItemModelTester> tester;
    ChannelNode *news, *a, *b, *tech, *sub, *c;
};

TEST_F(ChannelTreeDragDropTest, TheModelOffersOneMoveOfOneNode)
{
    EXPECT_EQ(tree.mimeTypes(), QStringList{ChannelTree::nodeMimeType()});
    EXPECT_EQ(tree.supportedDropActions(), Qt::MoveAction);
    EXPECT_EQ(tree.supportedDragActions(), Qt::MoveAction);
    EXPECT_EQ(drag(tree.root()), nullptr);
    ASSERT_NE(drag(a), nullptr);
    EXPECT_TRUE(drag(a)->hasFormat(ChannelTree::nodeMimeType()));
    EXPECT_TRUE(tree.flags(tree.indexOf(a)) & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(tree.flags(tree.indexOf(tree.root())) & Qt::ItemIsDragEnabled);
}

TEST_F(ChannelTreeDragDropTest, ADropMovesTheSubtreeWithItsRecordsAndExpandsTheTarget)
{
    NodeRecord *subRecord = sub->record();
    TtvChannel *cRecord = c->channel();
    const size_t records = tree.nodeDataBlocks().size();
    QList<ChannelNode *> dropped;
    QObject::connect(&tree, &ChannelTree::nodeDropped,
                     [&dropped](ChannelNode *target) { dropped << target; });

    ASSERT_TRUE(drop(sub, news));
    EXPECT_EQ(sub->parent(), news);
    EXPECT_EQ(news->child(news->childCount() - 1), sub);
    EXPECT_EQ(sub->record(), subRecord);
    EXPECT_EQ(c->channel(), cRecord);
    EXPECT_EQ(tree.nodeDataBlocks().size(), records);
    EXPECT_EQ(tech->childCount(), 0);
    EXPECT_EQ(news->record()->position, tree.absoluteIndex(news));
    EXPECT_EQ(dropped, QList<ChannelNode *>{news});
}

TEST_F(ChannelTreeDragDropTest, RefusedDropsChangeNothing)
{
    const QList<ChannelNode *> before = tree.nodesInPreOrder();
    EXPECT_FALSE(drop(a, news));          // its own parent
    EXPECT_FALSE(drop(a, a));             // itself
    EXPECT_FALSE(drop(tech, sub));        // inside its own subtree
    EXPECT_FALSE(drop(tech, c));          // deeper inside it
    EXPECT_FALSE(drop(a, nullptr));       // no node under the drop point
    EXPECT_EQ(tree.nodesInPreOrder(), before);

    // The root cannot be dragged, not even by data claiming to be it.
    ChannelTree other;
    ChannelNode *foreign = other.addNode(other.root(), QStringLiteral("X"), NodeKind::Group);
    std::unique_ptr<QMimeData> data(other.mimeData({other.indexOf(foreign)}));
    EXPECT_FALSE(tree.canDropMimeData(data.get(), Qt::MoveAction, -1, -1, tree.indexOf(news)));
    EXPECT_FALSE(tree.dropMimeData(data.get(), Qt::MoveAction, -1, -1, tree.indexOf(news)));
    QMimeData empty;
    EXPECT_FALSE(tree.canDropMimeData(&empty, Qt::MoveAction, -1, -1, tree.indexOf(news)));
    EXPECT_FALSE(tree.canDropMimeData(drag(a).get(), Qt::CopyAction, -1, -1, tree.indexOf(tech)));
    EXPECT_EQ(tree.nodesInPreOrder(), before);
}

TEST_F(ChannelTreeDragDropTest, AGroupDroppedOnAChannelStaysItsChildInTheTreeFile)
{
    ASSERT_TRUE(drop(tech, a));
    EXPECT_EQ(tech->parent(), a);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tvChannels.xml"));
    SaveChannelTree(tree, path);
    ChannelTree loaded;
    XmlDocument document;
    ASSERT_TRUE(LoadChannelTree(loaded, document, path).ok);
    ChannelNode *loadedA = loaded.nodeAt(tree.absoluteIndex(a));
    ASSERT_NE(loadedA, nullptr);
    EXPECT_EQ(loadedA->text(), "A");
    ASSERT_EQ(loadedA->childCount(), 1);
    EXPECT_EQ(loadedA->child(0)->text(), "Tech");
    EXPECT_EQ(loadedA->child(0)->child(0)->child(0)->text(), "C");
}

TEST_F(ChannelTreeDragDropTest, ADropBetweenTwoNodesPutsTheNodeThereWithItsRecords)
{
    NodeRecord *subRecord = sub->record();
    QList<ChannelNode *> placed, dropped;
    QObject::connect(&tree, &ChannelTree::nodePlaced, [&placed](ChannelNode *n) { placed << n; });
    QObject::connect(&tree, &ChannelTree::nodeDropped, [&dropped](ChannelNode *n) { dropped << n; });

    // Among its own siblings, both ways.
    ASSERT_TRUE(drop(b, news, 0));
    EXPECT_EQ(names(news), (QStringList{"B", "A"}));
    ASSERT_TRUE(drop(b, news, 2));
    EXPECT_EQ(names(news), (QStringList{"A", "B"}));
    // Into another parent, between two of its children, with its whole subtree.
    ASSERT_TRUE(drop(sub, news, 1));
    EXPECT_EQ(names(news), (QStringList{"A", "Sub", "B"}));
    EXPECT_EQ(sub->record(), subRecord);
    EXPECT_EQ(c->parent(), sub);
    EXPECT_EQ(tech->childCount(), 0);
    // Between the root's children.
    ASSERT_TRUE(drop(tech, tree.root(), 0));
    EXPECT_EQ(names(tree.root()), (QStringList{"Tech", "News"}));
    for (ChannelNode *n : tree.nodesInPreOrder())
        EXPECT_EQ(tree.nodeAt(tree.absoluteIndex(n)), n);
    EXPECT_EQ(placed, (QList<ChannelNode *>{b, b, sub, tech}));
    EXPECT_TRUE(dropped.isEmpty()) << "nothing was nested";
}

TEST_F(ChannelTreeDragDropTest, ADropBetweenNodesWhereTheNodeStandsOrInsideItselfChangesNothing)
{
    const QList<ChannelNode *> before = tree.nodesInPreOrder();
    EXPECT_FALSE(drop(a, news, 0));         // before itself
    EXPECT_FALSE(drop(a, news, 1));         // before its next sibling
    EXPECT_FALSE(drop(tech, sub, 0));       // inside its own subtree
    EXPECT_FALSE(drop(a, news, 3));         // past the end
    EXPECT_FALSE(drop(news, nullptr, 1));   // beside the root
    EXPECT_FALSE(drop(news, nullptr, 0));
    EXPECT_EQ(tree.nodesInPreOrder(), before);
}

TEST_F(ChannelTreeDragDropTest, TheViewsRemovalOfTheMovedRowsAfterADropRemovesNothing)
{
    ASSERT_TRUE(drop(c, news, 0));
    // A view that is not in overwrite mode removes the source rows once the drop has moved
    // them; the selection follows the node, so it would remove the node itself.
    const QModelIndex moved = tree.indexOf(c);
    EXPECT_FALSE(tree.removeRows(moved.row(), 1, moved.parent()));
    EXPECT_EQ(c->parent(), news);
    EXPECT_EQ(tree.absoluteIndex(c), tree.absoluteIndex(news) + 1);
}

TEST_F(ChannelTreeDragDropTest, AViewClearingTheMovedRowOrABlankEditKeepsItsName)
{
    ASSERT_TRUE(drop(a, tech));
    // What a view in overwrite mode sends for the source once the move is done.
    EXPECT_FALSE(tree.setData(tree.indexOf(a), QVariant(), Qt::EditRole));
    EXPECT_EQ(a->text(), "A");
    // A blank name is no name the user meant either.
    EXPECT_FALSE(tree.setData(tree.indexOf(a), QString(), Qt::EditRole));
    EXPECT_FALSE(tree.setData(tree.indexOf(a), QStringLiteral(" \t "), Qt::EditRole));
    EXPECT_EQ(a->text(), "A");
}

} // namespace
