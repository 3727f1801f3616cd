#include "alerts/AlertPlayback.h"
#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

struct Shown
{
    QString channel, title, counter;
    int seconds = 0;
};

class AlertPlaybackTest : public ::testing::Test
{
protected:
    AlertPlaybackTest() : playback(queue, tree)
    {
        QObject::connect(&playback, &AlertPlayback::alertShown, &playback,
                         [this](const QString &c, const QString &t, const QString &n, int s) {
                             shown.push_back({c, t, n, s});
                         });
        QObject::connect(&playback, &AlertPlayback::labelsChanged, &playback,
                         [this](const QString &c, const QString &t, const QString &n) {
                             labels.push_back({c, t, n, 0});
                         });
        QObject::connect(&playback, &AlertPlayback::trayHintChanged, &playback,
                         [this](const QString &h) { hints << h; });
    }

    void queueItems(const QString &channel, const QStringList &titles)
    {
        for (const QString &t : titles)
            queue.enqueue(t, channel);
        queue.newItemCount += static_cast<int>(titles.size());
    }

    ChannelTree tree;
    AlertQueue queue;
    AlertPlayback playback;
    std::vector<Shown> shown, labels;
    QStringList hints;
};

TEST_F(AlertPlaybackTest, ThreeAlertsPlayInTurnAndStopAfterTheLast)
{
    tree.addNode(tree.root(), QStringLiteral("Kraj"), NodeKind::Channel);
    queueItems(QStringLiteral("Kraj"), {"Pierwsza", "Druga", "Trzecia"});
    queue.newItemCount = 5; // the two beyond three are only counted

    ASSERT_TRUE(playback.endRun(true));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].channel, "Kraj");
    EXPECT_EQ(shown[0].title, "Pierwsza");
    EXPECT_EQ(shown[0].counter, "1/3");
    EXPECT_EQ(shown[0].seconds, 10);
    EXPECT_EQ(hints, QStringList{"Nowych wiadomości: 5"});
    EXPECT_EQ(queue.alertChannelRow, 1);

    playback.tmBalloonsTimer(); // the window closed after its time
    playback.tmBalloonsTimer();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].counter, "2/3");
    EXPECT_EQ(shown[2].counter, "3/3");
    EXPECT_EQ(shown[2].title, "Trzecia");
    EXPECT_EQ(playback.shownTitle(), "Trzecia");

    playback.tmBalloonsTimer();
    EXPECT_EQ(shown.size(), 3u);
}

TEST_F(AlertPlaybackTest, NothingIsAnnouncedWithoutNewItemsAlertsOrTheSetting)
{
    // New items only in channels whose alerts are off: counted, nothing queued.
    queue.newItemCount = 4;
    EXPECT_FALSE(playback.endRun(true));

    queueItems(QStringLiteral("Kraj"), {"Jedna"});
    EXPECT_FALSE(playback.endRun(false)); // the setting is off: the queue stays filled
    EXPECT_EQ(queue.size(), 1);

    queue.newItemCount = 0;
    EXPECT_FALSE(playback.endRun(true));
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(hints.isEmpty());
}

TEST_F(AlertPlaybackTest, TwoChannelsOfOneNameLeadToTheLaterOne)
{
    ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Grupa"), NodeKind::Group);
    tree.addNode(group, QStringLiteral("Sport"), NodeKind::Channel);
    tree.addNode(group, QStringLiteral("Sport "), NodeKind::Channel); // not the same text
    ChannelNode *later = tree.addNode(tree.root(), QStringLiteral("Sport"), NodeKind::Channel);
    tree.addNode(tree.root(), QStringLiteral("Sport"), NodeKind::Group); // a group, not a channel
    queueItems(QStringLiteral("Sport"), {"Wynik"});

    playback.endRun(true);
    EXPECT_EQ(queue.alertChannelRow, tree.absoluteIndex(later));

    // An unknown channel keeps the row of the last one found.
    queue.enqueue(QStringLiteral("Tytuł"), QStringLiteral("Nieznany"));
    playback.tmBalloonsTimer();
    EXPECT_EQ(queue.alertChannelRow, tree.absoluteIndex(later));
}

TEST_F(AlertPlaybackTest, BackAndNextMoveThroughTheQueueAndStopAtItsEnds)
{
    queueItems(QStringLiteral("A"), {"a1", "a2"});
    queueItems(QStringLiteral("B"), {"b1"});
    playback.endRun(true); // a1 on screen, cursor 1

    EXPECT_FALSE(playback.back()); // the first: nothing happens
    EXPECT_TRUE(labels.empty());

    ASSERT_TRUE(playback.next());
    EXPECT_EQ(labels.back().title, "a2");
    EXPECT_EQ(labels.back().counter, "2/3");
    ASSERT_TRUE(playback.next());
    EXPECT_EQ(labels.back().channel, "B");
    EXPECT_EQ(labels.back().counter, "3/3");
    EXPECT_FALSE(playback.next()); // the last: nothing happens
    EXPECT_EQ(labels.size(), 2u);

    ASSERT_TRUE(playback.back());
    EXPECT_EQ(labels.back().title, "a2");
    EXPECT_EQ(playback.shownTitle(), "a2");
    EXPECT_EQ(queue.alertCursor, 2);
    EXPECT_EQ(shown.size(), 1u); // the arrows change labels only
}

TEST_F(AlertPlaybackTest, AnEntryWithoutTitleIsPassedOverAndTheSequenceGoesOn)
{
    queueItems(QStringLiteral("A"), {"", "druga", "", ""});
    playback.endRun(true);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, "druga");
    EXPECT_EQ(shown[0].counter, "2/4");
    playback.tmBalloonsTimer(); // only empty entries are left
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(AlertPlaybackTest, ANewRunEmptiesTheQueueButAWindowLeftOverKeepsItsCursor)
{
    queueItems(QStringLiteral("A"), {"a1", "a2", "a3"});
    playback.endRun(true);
    playback.tmBalloonsTimer(); // a2 on screen, cursor 2

    queue.startRun();
    EXPECT_EQ(queue.size(), 0);
    EXPECT_EQ(queue.newItemCount, 0);
    queueItems(QStringLiteral("B"), {"b1", "b2", "b3"});
    playback.tmBalloonsTimer(); // the old window closes during the new run
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown.back().title, "b3");
}

} // namespace
