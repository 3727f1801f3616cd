#include "catalogue/ChannelTree.h"

#include "support/QtPrinters.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

#include <QPersistentModelIndex>

#include <algorithm>
#include <map>
#include <random>
#include <set>

namespace {

// The pre-order as a plain recursive walk, to compare the tree's cached indexes with.
void walk(ChannelNode *node, std::vector<ChannelNode *> &out)
{
    out.push_back(node);
    for (ChannelNode *c : node->children())
        walk(c, out);
}

std::vector<ChannelNode *> preOrder(const ChannelTree &tree)
{
    std::vector<ChannelNode *> out;
    walk(tree.root(), out);
    return out;
}

// Every model answer agrees with the node structure, and the absolute indexes with a walk.
void expectConsistent(const ChannelTree &tree)
{
    const std::vector<ChannelNode *> nodes = preOrder(tree);
    ASSERT_EQ(tree.count(), static_cast<int>(nodes.size()));
    EXPECT_EQ(tree.rowCount(), 1);
    EXPECT_EQ(tree.index(0, 0), tree.indexOf(tree.root()));
    EXPECT_FALSE(tree.index(1, 0).isValid());
    for (size_t i = 0; i < nodes.size(); ++i) {
        ChannelNode *node = nodes[i];
        EXPECT_EQ(tree.nodeAt(static_cast<int>(i)), node);
        EXPECT_EQ(tree.absoluteIndex(node), static_cast<int>(i));
        const QModelIndex index = tree.indexOf(node);
        EXPECT_EQ(tree.nodeFromIndex(index), node);
        EXPECT_EQ(tree.rowCount(index), node->childCount());
        EXPECT_EQ(tree.data(index).toString(), node->text());
        EXPECT_EQ(tree.data(index, ChannelTree::ImageIndexRole).toInt(), node->imageIndex());
        const QModelIndex parent = tree.parent(index);
        EXPECT_EQ(tree.nodeFromIndex(parent), node->parent());
        EXPECT_EQ(tree.index(index.row(), 0, parent), index);
        if (node->parent()) {
            EXPECT_EQ(node->parent()->child(node->indexInParent()), node);
        }
        EXPECT_NE(node->record(), nullptr);
    }
    EXPECT_EQ(tree.nodeAt(tree.count()), nullptr);
    EXPECT_EQ(tree.nodeAt(-1), nullptr);
    // Exactly one record per node, all owned by nodeDataBlocks.
    std::set<const NodeRecord *> owned;
    for (const auto &r : tree.nodeDataBlocks())
        owned.insert(r.get());
    EXPECT_EQ(owned.size(), nodes.size());
    for (const ChannelNode *node : nodes)
        EXPECT_EQ(owned.count(node->record()), 1u);
}

QStringList names(const QList<ChannelNode *> &nodes)
{
    QStringList out;
    for (const ChannelNode *n : nodes)
        out << n->text();
    return out;
}

// Records the model's change signals as short texts naming the parent node.
class SignalLog
{
public:
    explicit SignalLog(ChannelTree &tree) : m_tree(tree)
    {
        auto name = [this](const QModelIndex &index) {
            const ChannelNode *node = m_tree.nodeFromIndex(index);
            return node ? node->text() : QStringLiteral("-");
        };
        auto rows = [this, name](const char *what) {
            return [this, name, what](const QModelIndex &parent, int first, int last) {
                m_entries << QStringLiteral("%1 %2 %3-%4")
                                 .arg(QLatin1String(what), name(parent))
                                 .arg(first)
                                 .arg(last);
            };
        };
        QObject::connect(&tree, &QAbstractItemModel::rowsAboutToBeInserted, &tree,
                         rows("aboutToInsert"));
        QObject::connect(&tree, &QAbstractItemModel::rowsInserted, &tree, rows("inserted"));
        QObject::connect(&tree, &QAbstractItemModel::rowsAboutToBeRemoved, &tree,
                         rows("aboutToRemove"));
        QObject::connect(&tree, &QAbstractItemModel::rowsRemoved, &tree, rows("removed"));
        QObject::connect(&tree, &QAbstractItemModel::rowsAboutToBeMoved, &tree,
                         [this, name](const QModelIndex &from, int first, int last,
                                      const QModelIndex &to, int row) {
                             m_entries << QStringLiteral("aboutToMove %1 %2-%3 -> %4 %5")
                                              .arg(name(from))
                                              .arg(first)
                                              .arg(last)
                                              .arg(name(to))
                                              .arg(row);
                         });
        QObject::connect(&tree, &QAbstractItemModel::rowsMoved, &tree,
                         [this](const QModelIndex &, int, int, const QModelIndex &, int) {
                             m_entries << QStringLiteral("moved");
                         });
        QObject::connect(&tree, &QAbstractItemModel::dataChanged, &tree,
                         [this, name](const QModelIndex &a, const QModelIndex &b) {
                             m_entries << QStringLiteral("changed %1 %2").arg(name(a), name(b));
                         });
        QObject::connect(&tree, &QAbstractItemModel::modelAboutToBeReset, &tree,
                         [this] { m_entries << QStringLiteral("aboutToReset"); });
        QObject::connect(&tree, &QAbstractItemModel::modelReset, &tree,
                         [this] { m_entries << QStringLiteral("reset"); });
    }

    QStringList take() { return std::exchange(m_entries, {}); }

private:
    ChannelTree &m_tree;
    QStringList m_entries;
};

} // namespace

TEST(ChannelTree, StartsWithTheRootGroupAlone)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelNode *root = tree.root();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(), QStringLiteral("Moje kanały"));
    EXPECT_EQ(root->kind(), NodeKind::Group);
    EXPECT_EQ(root->imageIndex(), 0);
    EXPECT_EQ(root->parent(), nullptr);
    EXPECT_EQ(root->channel(), nullptr);
    ASSERT_NE(root->record(), nullptr);
    EXPECT_EQ(root->record()->parentPosition, -1);
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(tree.nodeDataBlocks().size(), 1u);
    EXPECT_TRUE(tree.channelsInPreOrder().isEmpty());
    expectConsistent(tree);
}

TEST(ChannelTree, AddedNodeIsLastChildWithKindAndNewRecord)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelNode *a = tree.addNode(tree.root(), QStringLiteral("A"), NodeKind::Group);
    ChannelNode *a1 = tree.addNode(a, QStringLiteral("a1"), NodeKind::Channel);
    ChannelNode *b = tree.addNode(tree.root(), QStringLiteral("B"), NodeKind::Group);
    ChannelNode *b1 = tree.addNode(b, QStringLiteral("b1"), NodeKind::Channel);

    EXPECT_EQ(a->imageIndex(), 0);
    EXPECT_EQ(a1->imageIndex(), 1);
    EXPECT_EQ(a->channel(), nullptr);
    ASSERT_NE(a1->channel(), nullptr);
    EXPECT_EQ(a1->channel(), a1->record());
    EXPECT_EQ(tree.root()->children(), (QList<ChannelNode *>{a, b}));

    // parentPosition: the parent's position among its own siblings; position: the new node's
    // absolute index at the time it was added.
    EXPECT_EQ(a->record()->parentPosition, 0);
    EXPECT_EQ(a->record()->position, 1);
    EXPECT_EQ(a1->record()->parentPosition, 0);
    EXPECT_EQ(a1->record()->position, 2);
    EXPECT_EQ(b->record()->position, 3);
    EXPECT_EQ(b1->record()->parentPosition, 1);
    EXPECT_EQ(b1->record()->position, 4);

    // Adding under an earlier group lands in the middle of the pre-order.
    ChannelNode *a2 = tree.addNode(a, QStringLiteral("a2"), NodeKind::Channel);
    EXPECT_EQ(a2->record()->position, 3);
    EXPECT_EQ(a2->record()->parentPosition, 0);
    EXPECT_EQ(tree.absoluteIndex(a2), 3);
    EXPECT_EQ(tree.absoluteIndex(b), 4);
    EXPECT_EQ(tree.absoluteIndex(b1), 5);
    EXPECT_EQ(names(tree.nodesInPreOrder()),
              (QStringList{"Moje kanały", "A", "a1", "a2", "B", "b1"}));
    EXPECT_EQ(names(tree.channelsInPreOrder()), (QStringList{"a1", "a2", "b1"}));
    EXPECT_EQ(tree.nodeDataBlocks().size(), 6u);
    expectConsistent(tree);

    // A channel may have children.
    ChannelNode *inner = tree.addNode(a1, QStringLiteral("inner"), NodeKind::Channel);
    EXPECT_EQ(inner->parent(), a1);
    EXPECT_EQ(tree.absoluteIndex(inner), 3);
    EXPECT_EQ(inner->record()->position, 3);
    expectConsistent(tree);
}

TEST(ChannelTree, ForeignOrMissingNodesAreRefused)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelTree other;
    ChannelNode *foreign = other.addNode(other.root(), QStringLiteral("x"), NodeKind::Group);
    EXPECT_EQ(tree.absoluteIndex(foreign), -1);
    EXPECT_EQ(tree.absoluteIndex(nullptr), -1);
    EXPECT_EQ(tree.addNode(foreign, QStringLiteral("y"), NodeKind::Group), nullptr);
    EXPECT_EQ(tree.addNode(nullptr, QStringLiteral("y"), NodeKind::Group), nullptr);
    tree.deleteNode(foreign);
    EXPECT_FALSE(tree.moveNode(foreign, tree.root()));
    EXPECT_EQ(other.count(), 2);
    EXPECT_EQ(tree.count(), 1);
}

TEST(ChannelTree, DeleteNodeRemovesTheSubtreeAndFreesItsRecords)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelNode *g = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    ChannelNode *sub = tree.addNode(g, QStringLiteral("sub"), NodeKind::Group);
    tree.addNode(sub, QStringLiteral("deep"), NodeKind::Channel);
    tree.addNode(g, QStringLiteral("c"), NodeKind::Channel);
    ChannelNode *keep = tree.addNode(tree.root(), QStringLiteral("keep"), NodeKind::Channel);
    NodeRecord *keptRecord = keep->record();
    ASSERT_EQ(tree.nodeDataBlocks().size(), 6u);

    tree.deleteNode(tree.root());
    EXPECT_EQ(tree.count(), 6);

    tree.deleteNode(g);
    EXPECT_EQ(names(tree.nodesInPreOrder()), (QStringList{"Moje kanały", "keep"}));
    EXPECT_EQ(tree.nodeDataBlocks().size(), 2u);
    EXPECT_EQ(keep->record(), keptRecord);
    EXPECT_EQ(keep->indexInParent(), 0);
    expectConsistent(tree);
}

TEST(ChannelTree, MoveNodeCarriesTheSubtreeAndItsRecords)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelNode *a = tree.addNode(tree.root(), QStringLiteral("A"), NodeKind::Group);
    ChannelNode *c1 = tree.addNode(a, QStringLiteral("c1"), NodeKind::Channel);
    ChannelNode *c1child = tree.addNode(c1, QStringLiteral("c1child"), NodeKind::Channel);
    ChannelNode *c2 = tree.addNode(a, QStringLiteral("c2"), NodeKind::Channel);
    ChannelNode *b = tree.addNode(tree.root(), QStringLiteral("B"), NodeKind::Group);
    NodeRecord *c1Record = c1->record();
    NodeRecord *childRecord = c1child->record();

    // Refused: the root, the node itself, a target inside its own subtree, and a node that
    // already is the target's last child.
    EXPECT_FALSE(tree.moveNode(tree.root(), b));
    EXPECT_FALSE(tree.moveNode(c1, c1));
    EXPECT_FALSE(tree.moveNode(c1, c1child));
    EXPECT_FALSE(tree.moveNode(a, c1child));
    EXPECT_FALSE(tree.moveNode(c2, a));
    EXPECT_EQ(names(tree.nodesInPreOrder()),
              (QStringList{"Moje kanały", "A", "c1", "c1child", "c2", "B"}));

    // A channel dropped on another channel becomes its child.
    EXPECT_TRUE(tree.moveNode(c1, c2));
    EXPECT_EQ(c1->parent(), c2);
    EXPECT_EQ(c1child->parent(), c1);
    EXPECT_EQ(c1->record(), c1Record);
    EXPECT_EQ(c1child->record(), childRecord);
    EXPECT_EQ(names(tree.nodesInPreOrder()),
              (QStringList{"Moje kanały", "A", "c2", "c1", "c1child", "B"}));
    expectConsistent(tree);

    EXPECT_TRUE(tree.moveNode(a, b));
    EXPECT_EQ(names(tree.nodesInPreOrder()),
              (QStringList{"Moje kanały", "B", "A", "c2", "c1", "c1child"}));
    expectConsistent(tree);

    // Within one parent the node goes to the end.
    ChannelNode *d = tree.addNode(b, QStringLiteral("D"), NodeKind::Group);
    EXPECT_TRUE(tree.moveNode(a, b));
    EXPECT_EQ(b->children(), (QList<ChannelNode *>{d, a}));
    expectConsistent(tree);
}

TEST(ChannelTree, ClearLeavesTheDefaultRootAlone)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    tree.renameNode(tree.root(), QStringLiteral("Inna nazwa"));
    ChannelNode *g = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    tree.addNode(g, QStringLiteral("c"), NodeKind::Channel);
    SignalLog log(tree);
    tree.clear();
    EXPECT_EQ(log.take(), (QStringList{"aboutToReset", "reset"}));
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(tree.root()->text(), QStringLiteral("Moje kanały"));
    EXPECT_EQ(tree.root()->childCount(), 0);
    EXPECT_EQ(tree.nodeDataBlocks().size(), 1u);
    EXPECT_EQ(tree.root()->record()->parentPosition, -1);
    expectConsistent(tree);
}

TEST(ChannelTreeModel, RenamingThroughTheModel)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ChannelNode *g = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    SignalLog log(tree);
    EXPECT_TRUE(tree.setData(tree.indexOf(g), QStringLiteral("Nowa"), Qt::EditRole));
    EXPECT_EQ(g->text(), QStringLiteral("Nowa"));
    EXPECT_EQ(tree.data(tree.indexOf(g), Qt::EditRole).toString(), QStringLiteral("Nowa"));
    EXPECT_FALSE(tree.setData(tree.indexOf(g), QStringLiteral("x"), Qt::ToolTipRole));
    EXPECT_FALSE(tree.setData(QModelIndex(), QStringLiteral("x"), Qt::EditRole));
    tree.renameNode(tree.root(), QString());
    EXPECT_EQ(tree.root()->text(), QString());
    EXPECT_EQ(log.take(), (QStringList{"changed Nowa Nowa", "changed  "}));
    EXPECT_TRUE(tree.flags(tree.indexOf(g)) & Qt::ItemIsEditable);
    EXPECT_TRUE(tree.flags(tree.indexOf(g)) & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(tree.flags(tree.indexOf(tree.root())) & Qt::ItemIsDragEnabled);
}

TEST(ChannelTreeModel, SignalsNameTheRowsThatChange)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    SignalLog log(tree);
    ChannelNode *a = tree.addNode(tree.root(), QStringLiteral("A"), NodeKind::Group);
    ChannelNode *b = tree.addNode(tree.root(), QStringLiteral("B"), NodeKind::Group);
    ChannelNode *c = tree.addNode(a, QStringLiteral("c"), NodeKind::Channel);
    EXPECT_EQ(log.take(), (QStringList{"aboutToInsert Moje kanały 0-0", "inserted Moje kanały 0-0",
                                       "aboutToInsert Moje kanały 1-1", "inserted Moje kanały 1-1",
                                       "aboutToInsert A 0-0", "inserted A 0-0"}));

    EXPECT_TRUE(tree.moveNode(c, b));
    EXPECT_EQ(log.take(), (QStringList{"aboutToMove A 0-0 -> B 0", "moved"}));

    EXPECT_FALSE(tree.moveNode(c, b));
    EXPECT_TRUE(log.take().isEmpty());

    tree.deleteNode(a);
    EXPECT_EQ(log.take(),
              (QStringList{"aboutToRemove Moje kanały 0-0", "removed Moje kanały 0-0"}));
    expectConsistent(tree);
}

// Persistent indexes are moved by Qt only according to the begin/end calls, so they follow
// their nodes through any edit only when every signal is right.
TEST(ChannelTreeModel, PersistentIndexesFollowTheirNodesThroughRandomEdits)
{
    ChannelTree tree;
    const QAbstractItemModelTester watch(&tree,
                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    std::mt19937 random(20240229);
    std::map<ChannelNode *, QPersistentModelIndex> tracked;
    tracked[tree.root()] = QPersistentModelIndex(tree.indexOf(tree.root()));
    std::vector<QPersistentModelIndex> gone;
    int serial = 0;

    for (int step = 0; step < 600; ++step) {
        const std::vector<ChannelNode *> nodes = preOrder(tree);
        auto pick = [&] {
            return nodes[std::uniform_int_distribution<size_t>(0, nodes.size() - 1)(random)];
        };
        const int action = std::uniform_int_distribution<int>(0, 9)(random);
        if (action < 5 || nodes.size() < 4) {
            const NodeKind kind = action % 2 ? NodeKind::Channel : NodeKind::Group;
            ChannelNode *node = tree.addNode(pick(), QString::number(++serial), kind);
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->record()->position, tree.absoluteIndex(node));
            tracked[node] = QPersistentModelIndex(tree.indexOf(node));
        } else if (action < 8) {
            ChannelNode *node = pick();
            ChannelNode *target = pick();
            const bool expected =
                node != tree.root() && !node->contains(target) &&
                !(node->parent() == target && node->indexInParent() == target->childCount() - 1);
            EXPECT_EQ(tree.moveNode(node, target), expected);
        } else {
            ChannelNode *node = pick();
            if (node == tree.root())
                continue;
            std::vector<ChannelNode *> subtree;
            walk(node, subtree);
            tree.deleteNode(node);
            for (ChannelNode *n : subtree) {
                gone.push_back(tracked[n]);
                tracked.erase(n);
            }
        }

        for (const auto &[node, index] : tracked) {
            ASSERT_TRUE(index.isValid()) << "step " << step;
            ASSERT_EQ(tree.nodeFromIndex(index), node) << "step " << step;
        }
        for (const QPersistentModelIndex &index : gone)
            ASSERT_FALSE(index.isValid()) << "step " << step;
        if (step % 50 == 0)
            expectConsistent(tree);
    }
    expectConsistent(tree);
    EXPECT_EQ(tree.count(), static_cast<int>(tracked.size()));
}
