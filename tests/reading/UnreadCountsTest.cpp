#include "reading/UnreadCounts.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "reading/HeaderListModel.h"
#include "support/SignalWait.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace {

QByteArray cacheFile(const QList<QString> &marks)
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                       "<rss version=\"2.0\"><channel><title>K</title>";
    int n = 0;
    for (const QString &mark : marks)
        bytes += "<item GUID=\"{I" + QByteArray::number(++n) + "}\"><title>Wiadomość " +
                 QByteArray::number(n) + "</title><unread>" + mark.toUtf8() + "</unread></item>";
    return bytes + "</channel></rss>";
}

class UnreadCountsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        news = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
        a = addChannel(news, QStringLiteral("Kanał A"), QStringLiteral("{AAAA}"));
        b = addChannel(news, QStringLiteral("Kanał B"), QStringLiteral("{BBBB}"));
        c = addChannel(tree.root(), QStringLiteral("Kanał C"), QStringLiteral("{CCCC}"));
        ASSERT_TRUE(writeAll(path("{AAAA}"), cacheFile({"1", "1", "0", "1", " 1 "})));
        ASSERT_TRUE(writeAll(path("{BBBB}"), cacheFile({"0", "1"})));
        // Kanał C has never been fetched: no cache file.
    }

    ChannelNode *addChannel(ChannelNode *parent, const QString &name, const QString &guid)
    {
        ChannelNode *node = tree.addNode(parent, name, NodeKind::Channel);
        node->channel()->GUID = guid;
        return node;
    }
    QString path(const QString &guid) const { return dir.filePath(guid + ".xml"); }
    UnreadCounts::CacheFileOf cacheFileOf() const
    {
        return [this](const QString &guid) { return path(guid); };
    }

    QTemporaryDir dir;
    ChannelTree tree;
    ChannelNode *news = nullptr, *a = nullptr, *b = nullptr, *c = nullptr;
    UnreadCounts counts;
};

TEST_F(UnreadCountsTest, StartReadsEveryCacheFileAndGroupsSumTheirChannels)
{
    QSignalSpy changed(&counts, &UnreadCounts::changed);
    counts.readAll(tree, cacheFileOf());
    EXPECT_EQ(counts.countFor(a), 3);
    EXPECT_EQ(counts.countFor(b), 1);
    EXPECT_EQ(counts.countFor(c), 0);
    EXPECT_EQ(counts.countFor(news), 4);
    EXPECT_EQ(counts.countFor(tree.root()), 4);
    EXPECT_EQ(changed.size(), 1);
}

// A document the streaming scanner leaves to the tree (it declares an entity) still counts;
// a broken one counts 0 and stops nothing.
TEST_F(UnreadCountsTest, DocumentsTheScannerRefusesAreCountedThroughTheTree)
{
    const QByteArray withEntity =
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY e \"x\">]><rss version=\"2.0\"><channel>"
        "<item><title>&e;</title><unread>1</unread></item><item><unread>1</unread></item>"
        "</channel></rss>";
    ASSERT_TRUE(writeAll(path("{BBBB}"), withEntity));
    ASSERT_TRUE(writeAll(path("{AAAA}"), "<rss version=\"2.0\"><channel><item><unread>1"));
    counts.readAll(tree, cacheFileOf());
    EXPECT_EQ(counts.countFor(b), 2);
    EXPECT_EQ(counts.countFor(a), 0);
}

TEST_F(UnreadCountsTest, MarksAndUpdatesKeepTheCountCurrent)
{
    counts.readAll(tree, cacheFileOf());
    HeaderListModel model;
    QObject::connect(&model, &HeaderListModel::unreadChanged, &counts, &UnreadCounts::adjust);
    std::vector<HeaderRow> rows(2);
    rows[0].chGuid = rows[1].chGuid = QStringLiteral("{AAAA}");
    rows[0].unread = true;
    model.setRows(rows);
    const int unreadRow = model.row(0).unread ? 0 : 1;
    model.setUnread(unreadRow, false);
    EXPECT_EQ(counts.countFor(a), 2);
    model.setUnread(1 - unreadRow, true);
    model.setUnread(unreadRow, true);
    EXPECT_EQ(counts.countFor(a), 4);
    EXPECT_EQ(counts.countFor(news), 5);

    // An update rewrote the cache file with new unread items.
    ASSERT_TRUE(writeAll(path("{BBBB}"), cacheFile({"1", "1", "1", "0", "1", "1"})));
    QSignalSpy changed(&counts, &UnreadCounts::changed);
    counts.recount(QStringLiteral("{BBBB}"), path("{BBBB}"));
    EXPECT_EQ(counts.countFor(b), 5);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), "{BBBB}");
    counts.recount(QStringLiteral("{BBBB}"), path("{BBBB}"));
    EXPECT_EQ(changed.size(), 1); // the same count tells nobody

    counts.adjust(QStringLiteral("{CCCC}"), -1);
    EXPECT_EQ(counts.countFor(c), 0);
    counts.forget(QStringLiteral("{AAAA}"));
    EXPECT_EQ(counts.countFor(news), 5);
}

// A channel dropped on another channel becomes its child (the tree allows it): its
// unread items still count in the group's total, there and after moving back.
TEST_F(UnreadCountsTest, AChannelUnderAChannelStillCountsInItsGroup)
{
    counts.readAll(tree, cacheFileOf());
    ASSERT_EQ(counts.countFor(news), 4);
    const std::unique_ptr<QMimeData> dragged(tree.mimeData({tree.indexOf(b)}));
    ASSERT_TRUE(tree.dropMimeData(dragged.get(), Qt::MoveAction, -1, -1, tree.indexOf(a)));
    ASSERT_EQ(b->parent(), a);
    EXPECT_EQ(counts.countFor(a), 3) << "a channel shows its own items";
    EXPECT_EQ(counts.countFor(news), 4);
    EXPECT_EQ(counts.countFor(tree.root()), 4);
    ASSERT_TRUE(tree.moveNode(b, news));
    EXPECT_EQ(counts.countFor(news), 4);
}

// The count is drawn by the view; the node's text, and so the tree file, keeps the name.
TEST_F(UnreadCountsTest, TheNodeTextAndTheTreeFileKeepThePlainName)
{
    counts.readAll(tree, cacheFileOf());
    ASSERT_EQ(counts.countFor(a), 3);
    EXPECT_EQ(a->text(), "Kanał A");
    EXPECT_EQ(tree.data(tree.indexOf(a), Qt::DisplayRole).toString(), "Kanał A");
    const QByteArray file = ChannelTreeFileBytes(tree);
    const QString text = QString::fromUtf16(
        reinterpret_cast<const char16_t *>(file.constData() + 2), (file.size() - 2) / 2);
    EXPECT_TRUE(text.contains("<name>Kanał A</name>"));
    EXPECT_FALSE(text.contains("(3)"));
    EXPECT_FALSE(text.contains("(4)"));
}

// The window's start reads the files on a thread of its own: the same counts arrive later,
// and nothing the window said in the meantime is overwritten by an older file.
TEST_F(UnreadCountsTest, CountsReadInTheBackgroundArriveRightAndYieldToNewerOnes)
{
    SignalCounter finished(&counts, &UnreadCounts::readingFinished);
    counts.startReadingAll(tree, cacheFileOf());
    EXPECT_TRUE(counts.reading());
    EXPECT_EQ(counts.countFor(a), 0) << "nothing before the file is read";
    ASSERT_TRUE(finished.waitForCount(1));
    EXPECT_FALSE(counts.reading());
    EXPECT_EQ(counts.countFor(a), 3);
    EXPECT_EQ(counts.countFor(b), 1);
    EXPECT_EQ(counts.countFor(c), 0);
    EXPECT_EQ(counts.countFor(tree.root()), 4);

    // Channel A shown and counted by the list, a mark changed in B, C deleted, all before
    // the files' counts come in.
    ASSERT_TRUE(writeAll(path("{CCCC}"), cacheFile({"1", "1"})));
    counts.startReadingAll(tree, cacheFileOf());
    counts.set(QStringLiteral("{AAAA}"), 7);
    counts.adjust(QStringLiteral("{BBBB}"), +1);
    counts.forget(QStringLiteral("{CCCC}"));
    EXPECT_EQ(counts.countFor(b), 0);
    ASSERT_TRUE(finished.waitForCount(2));
    EXPECT_EQ(counts.countFor(a), 7);
    EXPECT_EQ(counts.countFor(b), 2);
    EXPECT_EQ(counts.countFor(c), 0);
}

// A window closed during its start takes the counts with it while the files are still read.
TEST_F(UnreadCountsTest, CountsGoingAwayInTheMiddleOfAReadingStopIt)
{
    const QByteArray big = cacheFile(QList<QString>(2000, QStringLiteral("1")));
    for (int i = 0; i < 200; ++i) {
        ChannelNode *node = addChannel(tree.root(), QStringLiteral("K%1").arg(i),
                                       QStringLiteral("{K%1}").arg(i));
        ASSERT_TRUE(writeAll(path(node->channel()->GUID), big));
    }
    for (int round = 0; round < 3; ++round) {
        auto gone = std::make_unique<UnreadCounts>();
        gone->startReadingAll(tree, cacheFileOf());
        if (round > 0) // let a batch or two be posted first
            WaitUntil([] { return false; }, 20 * round);
        gone.reset();
        EXPECT_TRUE(WaitForQueuedEvents(2));
    }
}

} // namespace
