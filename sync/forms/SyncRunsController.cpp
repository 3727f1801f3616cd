#include "sync/forms/SyncRunsController.h"

#include "app/forms/ActionFacts.h"
#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"
#include "feed/ReportSink.h"
#include "sync/ChannelUpdater.h"

#include <QAbstractItemView>
#include <QAction>

SyncRunsController::SyncRunsController(const Widgets &widgets, ChannelTree &tree,
                                       ChannelUpdater &updater, DocumentDownloader &downloader,
                                       IReportSink &report, QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_updater(updater), m_downloader(downloader),
      m_report(report)
{
    setObjectName(QStringLiteral("SyncRunsController"));
}

void SyncRunsController::updateActions(const ActionFacts &facts)
{
    m_w.acSyncAll->setEnabled(facts.treeCount >= 2 && !facts.syncAllRunning);
    const bool channel = facts.node && facts.node->isChannel() && !facts.updateBusy;
    m_w.acChannelsGetSelected->setEnabled(channel);
    m_w.acSyncSelected->setEnabled(channel);
}

void SyncRunsController::acSyncSelectedExecute()
{
    if (ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree))
        SyncChannel(node, node->text());
}

void SyncRunsController::SyncChannel(ChannelNode *node, const QString &name)
{
    if (!node || !node->channel())
        return;
    // Events are served during an update: a second one must not start meanwhile.
    if (m_updater.channelUpdateBusy() || m_downloader.busy())
        return;
    if (m_updater.update(*node->channel(), name).outcome == UpdateOutcome::Failed)
        m_report.ReportProblem(QStringLiteral("Nie można odświeżyć widoku kanału ") + name);
    emit channelSynced(node);
    if (m_w.lvHeaders)
        m_w.lvHeaders->setFocus();
    emit stateChanged();
}

// Runs over the tree come with the run engine.
void SyncRunsController::acSyncAllExecute() {}
void SyncRunsController::acChannelsGetSelectedExecute() {}
void SyncRunsController::SyncAllChannels() {}
void SyncRunsController::tmUpdatesTimer() {}
