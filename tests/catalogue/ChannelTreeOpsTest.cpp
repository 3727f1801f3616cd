#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeOps.h"
#include "feed/ChannelProbe.h"

#include <gtest/gtest.h>

#include <set>

namespace {

ChannelNode *channel(ChannelTree &tree, ChannelNode *parent, const QString &name, const QString &url)
{
    ChannelNode *node = tree.addNode(parent, name, NodeKind::Channel);
    node->channel()->url = url;
    node->channel()->GUID = QStringLiteral("{G-") + name + QStringLiteral("}");
    return node;
}

TEST(ChannelTreeOpsTest, FindNodeByNameIgnoresCaseAndGivesTheLastMatch)
{
    ChannelTree tree;
    ChannelNode *first = tree.addNode(tree.root(), QString::fromUtf8("Wiadomości"), NodeKind::Group);
    ChannelNode *inner = channel(tree, first, QStringLiteral("Sport"), QStringLiteral("http://s"));
    ChannelNode *second = tree.addNode(tree.root(), QString::fromUtf8("WIADOMOŚCI"), NodeKind::Group);
    EXPECT_EQ(FindNodeByName(QString::fromUtf8("wiadomości"), tree), second);
    EXPECT_EQ(FindNodeByName(QStringLiteral("sPORT"), tree), inner);
    EXPECT_EQ(FindNodeByName(QStringLiteral("brak"), tree), nullptr);
    EXPECT_EQ(FindNodeByName(ChannelTree::defaultRootName(), tree), tree.root());
}

TEST(ChannelTreeOpsTest, ParentForANewNodeFollowsTheSelection)
{
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    ChannelNode *ch = channel(tree, group, QStringLiteral("C"), QStringLiteral("http://c"));
    EXPECT_EQ(ParentForNewNode(tree, nullptr), tree.root());
    EXPECT_EQ(ParentForNewNode(tree, tree.root()), tree.root());
    EXPECT_EQ(ParentForNewNode(tree, group), group);
    EXPECT_EQ(ParentForNewNode(tree, ch), group);
}

TEST(ChannelTreeOpsTest, CopySubtreeGivesEveryCopyItsOwnRecordAndRefusesItsOwnSubtree)
{
    ChannelTree tree;
    ChannelNode *source = tree.addNode(tree.root(), QStringLiteral("Src"), NodeKind::Group);
    ChannelNode *a = channel(tree, source, QStringLiteral("A"), QStringLiteral("http://a"));
    a->channel()->username = QStringLiteral("u");
    ChannelNode *sub = tree.addNode(source, QStringLiteral("Sub"), NodeKind::Group);
    channel(tree, sub, QStringLiteral("B"), QStringLiteral("http://b"));
    channel(tree, a, QStringLiteral("UnderA"), QStringLiteral("http://ua"));
    ChannelNode *target = tree.addNode(tree.root(), QStringLiteral("T"), NodeKind::Group);

    EXPECT_EQ(CopySubtree(tree, source, source), nullptr);
    EXPECT_EQ(CopySubtree(tree, sub, source), nullptr);
    const int before = tree.count();

    ChannelNode *copy = CopySubtree(tree, target, source);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(tree.count(), before + 5);
    EXPECT_EQ(copy->parent(), target);
    ASSERT_EQ(copy->childCount(), 2);
    ChannelNode *copyA = copy->child(0);
    EXPECT_EQ(copyA->text(), "A");
    EXPECT_EQ(copyA->channel()->url, "http://a");
    EXPECT_EQ(copyA->channel()->username, "u");
    EXPECT_NE(copyA->channel()->GUID, a->channel()->GUID);
    ASSERT_EQ(copyA->childCount(), 1);
    EXPECT_EQ(copyA->child(0)->text(), "UnderA");
    EXPECT_EQ(copy->child(1)->child(0)->text(), "B");
    EXPECT_EQ(tree.absoluteIndex(copyA), copyA->channel()->position);

    std::set<const NodeRecord *> records;
    for (const ChannelNode *n : tree.nodesInPreOrder())
        EXPECT_TRUE(records.insert(n->record()).second) << n->text().toStdString();
    EXPECT_EQ(records.size(), tree.nodeDataBlocks().size());
}

TEST(ChannelTreeOpsTest, ANewChannelIsEnabledWithANewGuidAndIsFoundByItsExactAddress)
{
    ChannelTree tree;
    ChannelInfo info;
    info.title = QStringLiteral("T");
    info.url = QStringLiteral("http://x.test/rss");
    info.image = DefaultChannelImage;
    ChannelNode *node = AddNewChannel(tree, tree.root(), info, QStringLiteral("u"),
                                      QStringLiteral("p"), false);
    ASSERT_NE(node, nullptr);
    const TtvChannel *c = node->channel();
    EXPECT_TRUE(c->enabled);
    EXPECT_FALSE(c->alerts);
    EXPECT_EQ(c->GUID.size(), 38);
    EXPECT_EQ(c->username, "u");
    EXPECT_EQ(c->password, "p");
    EXPECT_TRUE(c->lastupdate.isValid());
    EXPECT_TRUE(c->lastbuild.isEmpty());
    EXPECT_EQ(c->position, 1);
    EXPECT_TRUE(IsSubscribed(tree, QStringLiteral("http://x.test/rss")));
    EXPECT_FALSE(IsSubscribed(tree, QStringLiteral("http://X.test/rss")));
}

} // namespace

namespace {

TEST(ChannelTreeOpsTest, ASubscribedChannelIsFoundUnderAnyUsualSpellingOfItsAddress)
{
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), QString::fromUtf8("Wiadomości"), NodeKind::Group);
    ChannelNode *feed = channel(tree, group, QStringLiteral("Kraj"),
                                QStringLiteral("http://Example.org/news/rss?a=1&b=2"));
    ChannelNode *blog = channel(tree, tree.root(), QStringLiteral("Blog"),
                                QStringLiteral("https://blog.test/feed/"));
    for (const char *same : {"http://example.org/news/rss?a=1&b=2", "HTTP://EXAMPLE.ORG/news/rss?a=1&b=2",
                             "http://example.org:80/news/rss?a=1&b=2", " http://example.org/news/rss/?a=1&b=2",
                             "http://example.org/news/rss?a=1&b=2#top"})
        EXPECT_EQ(FindSubscribedChannel(tree, QString::fromLatin1(same)), feed) << same;
    for (const char *same : {"https://blog.test/feed", "https://BLOG.test:443/feed/"})
        EXPECT_EQ(FindSubscribedChannel(tree, QString::fromLatin1(same)), blog) << same;
    // Another path, query or scheme is another document.
    for (const char *other : {"http://example.org/News/rss?a=1&b=2", "http://example.org/news/rss?a=1",
                              "http://blog.test/feed/", "https://blog.test:8443/feed/", "", "feed"})
        EXPECT_EQ(FindSubscribedChannel(tree, QString::fromLatin1(other)), nullptr) << other;

    EXPECT_EQ(NodePath(feed), QString::fromUtf8("Moje kanały > Wiadomości"));
    EXPECT_EQ(NodePath(blog), QString::fromUtf8("Moje kanały"));
}

} // namespace
