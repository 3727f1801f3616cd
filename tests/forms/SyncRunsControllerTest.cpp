// Runs over the tree from the window: what the actions, the status bar, the report window
// and the tray show before, during and after a run, from the command and from the timer.

#include "support/SignalWait.h"
#include "sync/forms/SyncRunsController.h"
#include "MainFrmFixture.h"
#include "alerts/AlertQueue.h"
#include "app/forms/ConfigUnit.h"
#include "catalogue/ChannelTree.h"
#include "support/LoopbackServer.h"
#include "sync/ReportLog.h"
#include "sync/SyncRun.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

using namespace mainfrm_test;

QByteArray feedWith(const QByteArray &title)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>K</title><item><title>" +
           title + "</title></item></channel></rss>";
}

QStringList reportLines(TfmUpdateProgressFrm *report)
{
    QStringList lines;
    for (const ReportLog::Line &line : report->reportLog()->lines())
        lines.append(line.text);
    return lines;
}

// What the window shows while the run visits its channels.
struct DuringRun
{
    bool reportShown = false;
    bool syncAllEnabled = true, addEnabled = true, removeEnabled = true;
    QString notice;
    int progressMaximum = -1;
};

class SyncRunsControllerTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_server.setHandler([](const LoopbackRequest &request) {
            if (request.target().startsWith("/missing"))
                return LoopbackReply::http("404 Not Found", "");
            return LoopbackReply::http("200 OK", feedWith(request.target().mid(1)));
        });
        ASSERT_TRUE(m_server.start());
    }

    Windows &window()
    {
        Windows &w = createAll();
        w.main->show();
        auto *runs = controller(w);
        QObject::connect(runs, &SyncRunsController::channelUpdated, runs, [this, &w] {
            during.reportShown = during.reportShown || w.report->isVisible();
            during.syncAllEnabled = child<QAction>(w.main, "acSyncAll")->isEnabled();
            during.addEnabled = child<QAction>(w.main, "acChannelsAdd")->isEnabled();
            during.removeEnabled = child<QAction>(w.main, "acRemoveTreeItem")->isEnabled();
            during.notice = w.main->statusPanelText(2);
            during.progressMaximum = w.report->pbProgress->maximum();
        });
        return w;
    }
    static SyncRunsController *controller(Windows &w)
    {
        return child<SyncRunsController>(w.main, "SyncRunsController");
    }
    ChannelNode *channel(Windows &w, const QString &name, const QString &path)
    {
        ChannelTree *tree = w.main->channelTree();
        ChannelNode *node = tree->addNode(tree->root(), name, NodeKind::Channel);
        node->channel()->url = m_server.url(path);
        node->channel()->enabled = true;
        node->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-%1}")
                                    .arg(tree->count(), 12, 10, QLatin1Char('0'));
        w.main->UpdateActions();
        return node;
    }

    LoopbackServer m_server;
    DuringRun during;
};

TEST_F(SyncRunsControllerTest, ACommandRunShowsTheReportWindowAndRestoresEverythingAfter)
{
    Windows &w = window();
    channel(w, QStringLiteral("Pierwszy"), QStringLiteral("/a"));
    ChannelNode *second = channel(w, QStringLiteral("Drugi"), QStringLiteral("/b"));
    child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(w.main->channelTree()->indexOf(second));
    w.main->UpdateActions();
    int alertsDue = 0, reshown = 0;
    QObject::connect(controller(w), &SyncRunsController::firstAlertDue, w.main.get(),
                     [&] { ++alertsDue; });
    QObject::connect(controller(w), &SyncRunsController::tvChannelsChangeRequested, w.main.get(),
                     [&] { ++reshown; });

    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_TRUE(during.reportShown);
    EXPECT_EQ(during.notice, QString()) << "showing the report window clears the notice";
    EXPECT_FALSE(during.syncAllEnabled);
    EXPECT_FALSE(during.addEnabled);
    EXPECT_FALSE(during.removeEnabled);
    EXPECT_EQ(during.progressMaximum, 3) << "groups and the root count";

    EXPECT_EQ(reportLines(w.report), QStringList({"Uaktualniono Pierwszy", "Uaktualniono Drugi"}));
    EXPECT_FALSE(w.report->isVisible()) << "the report window closes at the end";
    EXPECT_FALSE(w.report->pbProgress->isEnabled());
    EXPECT_TRUE(child<QAction>(w.main, "acSyncAll")->isEnabled());
    EXPECT_TRUE(child<QAction>(w.main, "acChannelsAdd")->isEnabled());
    EXPECT_TRUE(child<QAction>(w.main, "acRemoveTreeItem")->isEnabled());
    EXPECT_FALSE(w.main->syncAllRunning());
    EXPECT_EQ(w.main->statusPanelText(2), QString());
    EXPECT_EQ(alertsDue, 0) << "neither channel asked for alerts";
    EXPECT_EQ(reshown, 1) << "new items: the selected node is shown again";
}

TEST_F(SyncRunsControllerTest, DontShowKeepsTheReportWindowClosedAndErrorsLeaveTheNotice)
{
    Windows &w = window();
    w.report->cbDontShow->setChecked(true);
    channel(w, QStringLiteral("Zły"), QStringLiteral("/missing"));
    channel(w, QStringLiteral("Też zły"), QStringLiteral("/missing2"));
    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_FALSE(during.reportShown);
    EXPECT_TRUE(during.notice.startsWith(QStringLiteral("Wystąpiły błędy (")))
        << "the first failure replaced the run notice";
    // Each failing channel tells why (404) and that it was not updated.
    EXPECT_EQ(w.main->statusPanelText(2), QStringLiteral("Wystąpiły błędy (4). Kliknij..."));
    EXPECT_FALSE(reportLines(w.report).contains(QStringLiteral("Uaktualniono Zły")));
}

TEST_F(SyncRunsControllerTest, RunNoticeIsClearedAfterAQuietRun)
{
    Windows &w = window();
    w.report->cbDontShow->setChecked(true);
    channel(w, QStringLiteral("Dobry"), QStringLiteral("/a"));
    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_EQ(during.notice, SyncRunsController::RunNotice);
    EXPECT_EQ(w.main->statusPanelText(2), QString());
}

TEST_F(SyncRunsControllerTest, TheTimerRunsQuietlyAndLeavesDontShowAsItWas)
{
    Windows &w = window();
    channel(w, QStringLiteral("Dobry"), QStringLiteral("/a"));
    ASSERT_FALSE(w.report->cbDontShow->isChecked());
    w.main->tmUpdates()->start(30);
    // (Selecting the new channel may already have fetched it: wait for the run's line.)
    WaitUntil([&] { return !reportLines(w.report).isEmpty(); });
    w.main->tmUpdates()->stop();
    QCoreApplication::processEvents();
    EXPECT_GE(m_server.requestCount(), 1);
    EXPECT_FALSE(during.reportShown) << "a timer run never opens the report window";
    EXPECT_FALSE(w.report->cbDontShow->isChecked());
    EXPECT_EQ(reportLines(w.report), QStringList({"Uaktualniono Dobry"}));
}

TEST_F(SyncRunsControllerTest, NewItemsWithAlertsOnGiveTheFirstAlertAndTheTrayHint)
{
    Windows &w = window();
    w.report->cbDontShow->setChecked(true);
    channel(w, QStringLiteral("Z alertami"), QStringLiteral("/a"))->channel()->alerts = true;
    int alertsDue = 0;
    QObject::connect(controller(w), &SyncRunsController::firstAlertDue, w.main.get(),
                     [&] { ++alertsDue; });
    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_EQ(alertsDue, 1);
    EXPECT_EQ(child<QSystemTrayIcon>(w.main, "ctTrayIcon")->toolTip(),
              QStringLiteral("Nowych wiadomości: 1"));
    EXPECT_EQ(w.main->alertQueue().alertTitles, QStringList({"a"}));

    w.config->cbBalloon->setChecked(false);
    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_EQ(alertsDue, 1) << "alerts off: no alert";
}

TEST_F(SyncRunsControllerTest, ASingleChannelAskedForDuringARunIsUpdatedAfterIt)
{
    Windows &w = window();
    w.report->cbDontShow->setChecked(true);
    channel(w, QStringLiteral("Pierwszy"), QStringLiteral("/a"));
    ChannelNode *asked = channel(w, QStringLiteral("Drugi"), QStringLiteral("/b"));
    bool askedDuringRun = false;
    QObject::connect(controller(w), &SyncRunsController::channelUpdated, w.main.get(), [&] {
        if (askedDuringRun)
            return;
        askedDuringRun = true;
        controller(w)->SyncChannel(asked, asked->text());
    });
    child<QAction>(w.main, "acSyncAll")->trigger();
    EXPECT_EQ(m_server.requestCount(), 2) << "nothing beside the run's own updates";
    WaitUntil([&] { return m_server.requestCount() >= 3; });
    EXPECT_EQ(m_server.requestCount(), 3);
    EXPECT_TRUE(m_server.requests().last().raw.startsWith("GET /b "));
}

} // namespace
