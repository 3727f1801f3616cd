#include "MainFrmFixture.h"
#include "SignalWait.h"
#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeSaver.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/DocumentDownloader.h"
#include "feed/HttpClient.h"
#include "support/LoopbackServer.h"
#include "sync/ReportLog.h"
#include "sync/forms/SyncRunsController.h"
#include "kit/ActionFacts.h"
#include "kit/WebBrowser.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QToolTip>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <atomic>
#include <functional>

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

    // Every reply sends its head and keeps its body back until duringTheDownload() is done.
    void holdBodies()
    {
        m_server.setHandler([](const LoopbackRequest &) {
            LoopbackReply reply;
            reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: " +
                              QByteArray::number(FeedDocument.size()) + "\r\n\r\n");
            reply.thenWhenReleased(FeedDocument);
            return reply;
        });
        ASSERT_TRUE(m_server.start());
    }

    // Runs `step` from the event loop while the next download is surely under way (its
    // body kept back), then lets the download finish.
    void duringTheDownload(QObject *context, std::function<void()> step)
    {
        WhenTrue(
            context, [this] { return m_server.heldCount() == 1; },
            [this, step](bool underWay) {
                EXPECT_TRUE(underWay);
                step();
                m_server.release();
            });
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

// A channel whose last update failed is drawn as failing, with the line that says why as
// its tooltip, until an update of it succeeds.
TEST_F(MainFrmSyncTest, AFailingChannelLooksFailingUntilAnUpdateSucceeds)
{
    auto broken = std::make_shared<std::atomic<bool>>(false);
    m_server.setHandler([broken](const LoopbackRequest &) {
        return *broken ? LoopbackReply::http("404 Not Found", "no")
                       : LoopbackReply::http("200 OK", FeedDocument);
    });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    showWindow(*w.main);
    ChannelNode *node = addChannel(*w.main, QStringLiteral("/feed"));
    auto *view = child<QTreeView>(w.main, "tvChannels");
    view->expandAll();
    const QModelIndex index = w.main->channelTree()->indexOf(node);
    const auto tooltip = [&] {
        const QPoint at = view->visualRect(index).center();
        QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &help);
        const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        return text;
    };
    // The row in its own colours, not the selection's.
    const auto picture = [&] {
        view->selectionModel()->clearSelection();
        const QImage image = view->viewport()->grab(view->visualRect(index)).toImage();
        view->setCurrentIndex(index);
        w.main->UpdateActions();
        return image;
    };
    const auto sync = [&] { child<QAction>(w.main, "acSyncSelected")->trigger(); };
    sync();
    ASSERT_TRUE(QFile::exists(cacheFile()));
    EXPECT_EQ(tooltip(), QString());
    const QImage healthy = picture();

    *broken = true;
    sync();
    const QString why = QString::fromUtf8(
        "Nie można pobrać nowych nagłówków z Kanał (serwer odpowiedział: 404 Not Found)");
    EXPECT_EQ(tooltip(), why);
    EXPECT_NE(picture(), healthy);

    *broken = false;
    sync();
    EXPECT_EQ(tooltip(), QString());
    EXPECT_EQ(picture(), healthy);
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

// A run over all channels shows what it brought in the channel being read, and a click on
// the channel already selected shows its headers again.
TEST_F(MainFrmSyncTest, SyncingAllRefreshesTheChannelOnShow)
{
    QByteArray document = FeedDocument;
    m_server.setHandler([&document](const LoopbackRequest &) {
        return LoopbackReply::http("200 OK", document);
    });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(true);
    ChannelNode *node = w.main->channelTree()->addNode(
        w.main->channelTree()->root(), QStringLiteral("Kanał"), NodeKind::Channel);
    node->channel()->url = m_server.url("/feed");
    node->channel()->enabled = true;
    node->channel()->GUID = QStringLiteral("{11111111-2222-4333-8444-555555555555}");
    QTreeView *tvChannels = child<QTreeView>(w.main, "tvChannels");
    QTreeView *lvHeaders = child<QTreeView>(w.main, "lvHeaders");
    tvChannels->setCurrentIndex(w.main->channelTree()->indexOf(node));
    ASSERT_EQ(lvHeaders->model()->rowCount(), 1);
    showWindow(*w.main);

    document.replace("<item>", "<item><title>Druga</title></item><item>");
    child<QAction>(w.main, "acSyncAll")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return lvHeaders->model()->rowCount() == 2; }));
    EXPECT_EQ(lvHeaders->model()->index(0, 0).data().toString(), QStringLiteral("Druga"));
    EXPECT_EQ(lvHeaders->currentIndex().row(), 0);

    // Rows changed behind the list's back come back with a click on the selected channel.
    lvHeaders->setCurrentIndex(lvHeaders->model()->index(1, 0));
    const QRect place = tvChannels->visualRect(tvChannels->currentIndex());
    QTest::mouseClick(tvChannels->viewport(), Qt::LeftButton, {}, place.center());
    EXPECT_TRUE(WaitUntil([&] { return lvHeaders->currentIndex().row() == 0; }));
}

// The tree file follows the tree while the window runs, not only at its close: a crash
// loses nothing. A run over several channels writes it once, with every channel's stamp.
TEST_F(MainFrmSyncTest, TheTreeFileFollowsEveryChangeAndARunWritesItOnce)
{
    m_server.setHandler(
        [](const LoopbackRequest &) { return LoopbackReply::http("200 OK", FeedDocument); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(true);
    ChannelTree *tree = w.main->channelTree();
    ChannelTreeSaver *saver = w.main->treeSaver();
    const QString treePath = appFolder() + QStringLiteral("data/tvChannels.xml");
    const auto fileHas = [&](const QString &text) {
        return treeFileText(treePath).contains(text);
    };
    QList<ChannelNode *> nodes;
    for (int i = 0; i < 5; ++i) {
        ChannelNode *node =
            tree->addNode(tree->root(), QStringLiteral("Kanał %1").arg(i), NodeKind::Channel);
        node->channel()->url = m_server.url("/feed");
        node->channel()->enabled = true;
        node->channel()->GUID = QStringLiteral("{11111111-2222-4333-8444-%1}").arg(i, 12, 10,
                                                                                  QLatin1Char('0'));
        nodes.append(node);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileHas(QStringLiteral("Kanał 4")); }, 10000));
    EXPECT_TRUE(fileHas(QStringLiteral("<lastupdate></lastupdate>")));

    const int before = saver->writes();
    child<QAction>(w.main, "acSyncAll")->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.main->syncAllRunning(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saver->pending(); }, 10000));
    EXPECT_EQ(saver->writes() - before, 1);
    EXPECT_FALSE(fileHas(QStringLiteral("<lastupdate></lastupdate>")))
        << "every channel's last update is in the file";

    // A deleted channel does not come back.
    QTreeView *tvChannels = child<QTreeView>(w.main, "tvChannels");
    tvChannels->setCurrentIndex(tree->indexOf(nodes.first()));
    QAction *remove = child<QAction>(w.main, "acRemoveTreeItem");
    ASSERT_TRUE(QTest::qWaitFor([&] { return remove->isEnabled(); }, 10000));
    m_boxes.answers = {true};
    remove->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !fileHas(QStringLiteral("Kanał 0")); }, 10000));
    EXPECT_TRUE(fileHas(QStringLiteral("Kanał 1")));
}

// Deleting the channel being read moves the reading to the channel selected after it: its
// first row is selected and shown, not a blank page beside a selected row.
TEST_F(MainFrmSyncTest, DeletingTheChannelOnShowShowsTheNextOnesFirstItem)
{
    m_server.setHandler(
        [](const LoopbackRequest &) { return LoopbackReply::http("200 OK", FeedDocument); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createAll();
    ChannelTree *tree = w.main->channelTree();
    QTreeView *tvChannels = child<QTreeView>(w.main, "tvChannels");
    QList<ChannelNode *> nodes;
    for (const char *guid : {"{11111111-2222-4333-8444-555555555555}",
                             "{11111111-2222-4333-8444-666666666666}"}) {
        ChannelNode *node = tree->addNode(tree->root(), QLatin1String(guid), NodeKind::Channel);
        node->channel()->url = m_server.url("/feed");
        node->channel()->GUID = QLatin1String(guid);
        tvChannels->setCurrentIndex(tree->indexOf(node)); // fetches it
        nodes.append(node);
    }
    w.main->show();
    tvChannels->setCurrentIndex(tree->indexOf(nodes.first()));
    WebBrowser *wbContent = child<WebBrowser>(w.main, "wbContent");
    auto showing = [wbContent](const char *guidEnd) {
        return wbContent->LocationURL().contains(QLatin1String(guidEnd));
    };
    ASSERT_TRUE(WaitUntil([&] { return showing("555555555555"); }))
        << wbContent->LocationURL().toStdString();

    m_boxes.answers = {true};
    child<QAction>(w.main, "acRemoveTreeItem")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return showing("666666666666"); }))
        << wbContent->LocationURL().toStdString();
    ASSERT_EQ(SelectedNode(tvChannels, *tree), nodes.last());
    QTreeView *lvHeaders = child<QTreeView>(w.main, "lvHeaders");
    EXPECT_EQ(lvHeaders->currentIndex().row(), 0);
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
    holdBodies();
    Windows &w = createAll();
    addChannel(*w.main, QStringLiteral("/slow"));

    bool timerFired = false;
    bool busyWhenFired = false;
    bool enabledWhenFired = true;
    duringTheDownload(w.main.get(), [&] {
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
    holdBodies();
    Windows &w = createAll();
    w.config->cbCloseAction->setChecked(true);
    addChannel(*w.main, QStringLiteral("/slow"));
    w.main->tmMarkAsUnread()->start(2000);
    m_boxes.shown.clear();

    duringTheDownload(w.main.get(), [&] { w.main->Koniecpracy1Click(); });
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

    WhenTrue(
        w.main.get(), [&] { return m_server.requestCount() == 1; },
        [&](bool asked) {
            EXPECT_TRUE(asked);
            w.main->ApplicationEvents1Message();
        });
    QElapsedTimer timer;
    timer.start();
    child<QAction>(w.main, "acSyncSelected")->trigger();
    EXPECT_LT(timer.elapsed(), HttpClient::ReadTimeoutMs) << "the read time-out was waited for";
    EXPECT_FALSE(w.main->channelUpdateBusy());
    EXPECT_FALSE(QFile::exists(cacheFile()));
    EXPECT_TRUE(reportLines(w.report).contains(
        QStringLiteral("Nie można pobrać nowych nagłówków z Kanał")));
    EXPECT_TRUE(w.main->cancelRequested());
}

} // namespace
