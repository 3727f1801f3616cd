#include "sync/forms/SyncRunsController.h"

#include "base/LiveSettings.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/DocumentDownloader.h"
#include "feed/ReportSink.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncLog.h"
#include "sync/SyncRun.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QSystemTrayIcon>
#include <QTimer>

#include <exception>

SyncRunsController::SyncRunsController(const Widgets &widgets, ChannelTree &tree,
                                       ChannelUpdater &updater, DocumentDownloader &downloader,
                                       SyncRun &run, const LiveSettings &settings,
                                       IReportSink &report, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_updater(updater), m_downloader(downloader),
      m_run(run), m_settings(settings), m_report(report)
{
    setObjectName(QStringLiteral("SyncRunsController"));
    connect(&m_run, &SyncRun::runningChanged, this, &SyncRunsController::runningChanged);
    connect(&m_run, &SyncRun::started, this, &SyncRunsController::runStarted);
    connect(&m_run, &SyncRun::finished, this, &SyncRunsController::runFinished);
    connect(&m_run, &SyncRun::channelUpdated, this, &SyncRunsController::channelUpdated);
    connect(&m_run, &SyncRun::progress, this, [this](int done, int) {
        if (m_reportWindow)
            m_reportWindow->runProgress(done);
    });
    connect(&m_run, &SyncRun::lineReported, this, [this](const QString &text, int icon) {
        if (m_reportWindow)
            m_reportWindow->AddReportLine(text, icon);
    });
    connect(&m_updater, &ChannelUpdater::busyChanged, this, [this](bool busy) {
        if (!busy && m_waitingNode)
            QTimer::singleShot(0, this, &SyncRunsController::syncWaitingChannel);
    });
}

void SyncRunsController::setReportWindow(TfmUpdateProgressFrm *report)
{
    m_reportWindow = report;
    if (report)
        connect(report, &TfmUpdateProgressFrm::cancelRequested, &m_run, &SyncRun::requestCancel);
}

bool SyncRunsController::syncAllRunning() const
{
    return m_run.syncAllRunning();
}

void SyncRunsController::updateActions(const ActionFacts &facts)
{
    m_w.acSyncAll->setEnabled(facts.treeCount >= 2 && !facts.syncAllRunning);
    const bool channel = facts.node && facts.node->isChannel() && !facts.updateBusy;
    m_w.acChannelsGetSelected->setEnabled(channel);
    m_w.acSyncSelected->setEnabled(channel);
}

void SyncRunsController::acSyncAllExecute()
{
    SyncAllChannels();
}

void SyncRunsController::acSyncSelectedExecute()
{
    if (ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree))
        SyncChannel(node, node->text());
}

void SyncRunsController::acChannelsGetSelectedExecute()
{
    acSyncSelectedExecute();
}

void SyncRunsController::SyncChannel(ChannelNode *node, const QString &name)
{
    if (!node || !node->channel())
        return;
    // Events are served during an update and a run: a second update must not start
    // meanwhile. The request waits for the update in progress instead of being lost.
    if (m_updater.channelUpdateBusy() || m_downloader.busy() || m_run.syncAllRunning()) {
        m_waitingNode = node;
        m_waitingName = name;
        return;
    }
    if (m_updater.update(*node->channel(), name).outcome == UpdateOutcome::Failed)
        m_report.ReportProblem(QStringLiteral("Nie można odświeżyć widoku kanału ") + name);
    emit channelSynced(node);
    if (m_w.lvHeaders)
        m_w.lvHeaders->setFocus();
    emit stateChanged();
}

void SyncRunsController::syncWaitingChannel()
{
    if (!m_waitingNode || m_updater.channelUpdateBusy() || m_run.syncAllRunning())
        return;
    ChannelNode *node = m_waitingNode;
    m_waitingNode = nullptr;
    // The node may have been removed while it waited; only its address is compared.
    if (m_tree.nodesInPreOrder().contains(node))
        SyncChannel(node, m_waitingName);
}

void SyncRunsController::SyncAllChannels()
{
    m_quietRun = false;
    m_run.SyncAllChannels();
}

void SyncRunsController::tmUpdatesTimer()
{
    if (!m_w.acSyncAll->isEnabled())
        return;
    m_quietRun = true;
    try {
        m_run.SyncAllChannels(SyncRun::Trigger::Timer);
    } catch (const std::exception &e) {
        // A timer run's error is not shown to the user.
        qCWarning(lcSync, "automatic synchronisation: %s", e.what());
    }
}

void SyncRunsController::runningChanged(bool running)
{
    if (running) {
        if (m_reportWindow)
            m_reportWindow->clearLog();
        m_w.sbStatus->setPanelText(2, RunNotice);
        const bool dontShow = m_quietRun || m_settings.values().dontShow;
        if (m_reportWindow && !dontShow && m_mainWindowShown)
            m_reportWindow->show();
    } else {
        m_quietRun = false;
        if (m_reportWindow) {
            m_reportWindow->runEnded();
            m_reportWindow->close();
        }
        if (m_waitingNode)
            QTimer::singleShot(0, this, &SyncRunsController::syncWaitingChannel);
    }
    emit stateChanged();
}

void SyncRunsController::runStarted(int total)
{
    if (m_reportWindow)
        m_reportWindow->runStarted(total);
}

void SyncRunsController::runFinished(int newItems)
{
    if (m_reportWindow)
        m_reportWindow->runEnded();
    if (m_w.sbStatus->panelText(2) == RunNotice)
        m_w.sbStatus->setPanelText(2, QString());
    if (newItems <= 0)
        return;
    if (m_run.alertsQueued() && m_settings.values().balloon) {
        emit firstAlertDue();
        if (m_w.ctTrayIcon)
            m_w.ctTrayIcon->setToolTip(QStringLiteral("Nowych wiadomości: ") +
                                       QString::number(newItems));
    }
    if (SelectedNode(m_w.tvChannels, m_tree))
        emit tvChannelsChangeRequested();
}
