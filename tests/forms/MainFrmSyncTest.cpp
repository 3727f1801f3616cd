#include "MainFrmFixture.h"
#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"
#include "support/LoopbackServer.h"
#include "sync/ReportLog.h"
#include "sync/forms/SyncRunsController.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

namespace {

using namespace mainfrm_test;

const QByteArray FeedDocument =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
    "<title>K</title><item><title>Pierwsza</title></item></channel></rss>";

QStringList reportLines(TfmUpdateProgressFrm *report)
{
    QStringList lines;
    for (const ReportLog::Line &line : report->reportLog()->lines())
        lines.append(line.text);
    return lines;
}

class MainFrmSyncTest : public MainFrmFixture
{
protected:
    ChannelNode *addChannel(TfmMainFrm &main, const QString &path)
    {
        ChannelNode *node = main.channelTree()->addNode(main.channelTree()->root(),
                                                        QStringLiteral("Kanał"), NodeKind::Channel);
        node->channel()->url = m_server.url(path);
        node->channel()->GUID = QStringLiteral("{11111111-2222-4333-8444-555555555555}");
        // Only the selection: the header list would fetch a channel without cache file
        // by itself (see the next case); these cases start their updates by hand.
        QTreeView *tree = child<QTreeView>(&main, "tvChannels");
        {
            const QSignalBlocker quiet(tree->selectionModel());
            tree->setCurrentIndex(main.channelTree()->indexOf(node));
        }
        main.UpdateActions();
        return node;
    }

    QString cacheFile() const
    {
        return appFolder() + QStringLiteral("data/{11111111-2222-4333-8444-555555555555}.xml");
    }

    LoopbackServer m_server;
};

TEST_F(MainFrmSyncTest, SyncingTheSelectedChannelWritesItsCacheFile)
{
    m_server.setHandler(
        [](const LoopbackRequest &) { return LoopbackReply::http("200 OK", FeedDocument); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    ChannelNode *node = addChannel(*w.main, QStringLiteral("/feed"));
    ASSERT_TRUE(child<QAction>(w.main, "acSyncSelected")->isEnabled());

    child<QAction>(w.main, "acSyncSelected")->trigger();
    EXPECT_TRUE(QFile::exists(cacheFile()));
    EXPECT_TRUE(node->channel()->lastupdate.isValid());
    EXPECT_EQ(w.main->alertQueue().newItemCount, 1);
    EXPECT_EQ(w.main->statusPanelText(0), QStringLiteral("Gotowe"));
    EXPECT_TRUE(reportLines(w.report).isEmpty());
    EXPECT_FALSE(w.main->channelUpdateBusy());
    EXPECT_TRUE(child<QAction>(w.main, "acSyncSelected")->isEnabled());
}

// Selecting a channel that has never been fetched fetches it first, then shows its rows.
TEST_F(MainFrmSyncTest, SelectingAChannelWithoutCacheFileFetchesItAndShowsItsRows)
{
    m_server.setHandler(
        [](const LoopbackRequest &) { return LoopbackReply::http("200 OK", FeedDocument); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    ChannelNode *node = w.main->channelTree()->addNode(
        w.main->channelTree()->root(), QStringLiteral("Nowy kanał"), NodeKind::Channel);
    node->channel()->url = m_server.url("/feed");
    node->channel()->GUID = QStringLiteral("{11111111-2222-4333-8444-555555555555}");
    QTreeView *lvHeaders = child<QTreeView>(w.main, "lvHeaders");
    child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(w.main->channelTree()->indexOf(node));

    EXPECT_EQ(m_server.requestCount(), 1);
    EXPECT_TRUE(QFile::exists(cacheFile()));
    ASSERT_EQ(lvHeaders->model()->rowCount(), 1);
    EXPECT_EQ(lvHeaders->model()->index(0, 0).data().toString(), QStringLiteral("Pierwsza"));
    EXPECT_EQ(lvHeaders->model()->index(0, 7).data().toString(), QStringLiteral("Nowy kanał"));
    EXPECT_EQ(lvHeaders->currentIndex().row(), 0);
    EXPECT_TRUE(reportLines(w.report).isEmpty());
}

TEST_F(MainFrmSyncTest, AFailedUpdateIsReportedWithTheNotice)
{
    m_server.setHandler(
        [](const LoopbackRequest &) { return LoopbackReply::http("404 Not Found", "brak"); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    addChannel(*w.main, QStringLiteral("/missing"));

    child<QAction>(w.main, "acSyncSelected")->trigger();
    const QStringList lines = reportLines(w.report);
    ASSERT_EQ(lines.size(), 3) << lines.join('\n').toStdString();
    EXPECT_EQ(lines[0], QStringLiteral("Niepoprawny adres URL (") + m_server.url("/missing") + ")");
    EXPECT_EQ(lines[1], QStringLiteral("Nie można pobrać nowych nagłówków z Kanał"));
    EXPECT_EQ(lines[2], QStringLiteral("Nie można odświeżyć widoku kanału Kanał"));
    EXPECT_EQ(w.main->statusPanelText(2), QStringLiteral("Wystąpiły błędy. Kliknij..."));
    EXPECT_FALSE(QFile::exists(cacheFile()));
}

TEST_F(MainFrmSyncTest, DuringAnUpdateTimersRunAndASecondUpdateIsRefused)
{
    m_server.setHandler([](const LoopbackRequest &) {
        LoopbackReply reply;
        reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: " +
                          QByteArray::number(FeedDocument.size()) + "\r\n\r\n");
        reply.then(700, FeedDocument);
        return reply;
    });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    addChannel(*w.main, QStringLiteral("/slow"));

    bool timerFired = false;
    bool busyWhenFired = false;
    bool enabledWhenFired = true;
    QTimer::singleShot(150, w.main.get(), [&] {
        timerFired = true;
        busyWhenFired = w.main->channelUpdateBusy();
        w.main->UpdateActions();
        enabledWhenFired = child<QAction>(w.main, "acSyncSelected")->isEnabled() ||
                           child<QToolButton>(w.main, "spRefresh")->isEnabled();
        child<SyncRunsController>(w.main, "SyncRunsController")
            ->acSyncSelectedExecute(); // a click that slipped through
    });
    child<QAction>(w.main, "acSyncSelected")->trigger();

    EXPECT_TRUE(timerFired);
    EXPECT_TRUE(busyWhenFired);
    EXPECT_FALSE(enabledWhenFired);
    EXPECT_EQ(m_server.requestCount(), 1);
    EXPECT_TRUE(QFile::exists(cacheFile()));
}

} // namespace

namespace {

TEST_F(MainFrmSyncTest, EndOfWorkDuringAnUpdateWarnsSavesAndLetsTheUpdateFinish)
{
    m_server.setHandler([](const LoopbackRequest &) {
        LoopbackReply reply;
        reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: " +
                          QByteArray::number(FeedDocument.size()) + "\r\n\r\n");
        reply.then(500, FeedDocument);
        return reply;
    });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    w.config->cbCloseAction->setChecked(true);
    addChannel(*w.main, QStringLiteral("/slow"));
    w.main->tmMarkAsUnread()->start(2000);
    m_boxes.shown.clear();

    QTimer::singleShot(100, w.main.get(), [&] { w.main->Koniecpracy1Click(); });
    child<QAction>(w.main, "acSyncSelected")->trigger();

    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("information"));
    EXPECT_EQ(m_boxes.shown.first().text,
              QStringLiteral(
                  "Trwa synchronizacja kanału, po jej zakończeniu program zostanie zamknięty."));
    EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Informacja:"));
    EXPECT_TRUE(w.main->cancelRequested());
    EXPECT_FALSE(w.main->tmMarkAsUnread()->isActive());
    EXPECT_TRUE(QFile::exists(cacheFile())) << "the update was let finish";
    EXPECT_TRUE(
        treeFileText(appFolder() + "data/tvChannels.xml").contains(QStringLiteral("Kanał")));
    EXPECT_TRUE(readAll(appFolder() + "data/config.ini").contains("fmMainState="));
}

TEST_F(MainFrmSyncTest, TheSessionEndingCutsADownloadShort)
{
    m_server.setHandler([](const LoopbackRequest &) { return LoopbackReply::stall(); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    addChannel(*w.main, QStringLiteral("/stalled"));

    QTimer::singleShot(200, w.main.get(), [&] { w.main->ApplicationEvents1Message(); });
    QElapsedTimer timer;
    timer.start();
    child<QAction>(w.main, "acSyncSelected")->trigger();
    EXPECT_LT(timer.elapsed(), 3000) << "the read time-out was not waited for";
    EXPECT_FALSE(w.main->channelUpdateBusy());
    EXPECT_FALSE(QFile::exists(cacheFile()));
    EXPECT_TRUE(reportLines(w.report).contains(
        QStringLiteral("Nie można pobrać nowych nagłówków z Kanał")));
    EXPECT_TRUE(w.main->cancelRequested());
}

} // namespace
