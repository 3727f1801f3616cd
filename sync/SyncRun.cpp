#include "sync/SyncRun.h"

#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"
#include "base/FileReplace.h"
#include "sync/ChannelUpdater.h"

#include <QCoreApplication>

SyncRun::SyncRun(ChannelTree &tree, ChannelUpdater &updater, AlertQueue &alerts, QObject *parent)
    : QObject(parent), m_tree(tree), m_updater(updater), m_alerts(alerts)
{
    m_tmUpdates.setObjectName(QStringLiteral("tmUpdates"));
    m_tmUpdates.setInterval(0);
    connect(&m_updater, &ChannelUpdater::busyChanged, this, [this](bool busy) {
        if (!busy && m_runPending)
            QTimer::singleShot(0, this, &SyncRun::startPending);
    });
}

SyncRun::~SyncRun() = default;

void SyncRun::setSchedule(int intervalMs)
{
    intervalMs = qMax(0, intervalMs);
    if (intervalMs == m_scheduleMs)
        return;
    m_scheduleMs = intervalMs;
    if (intervalMs == 0) {
        m_tmUpdates.stop();
        m_tmUpdates.setInterval(0);
    } else {
        m_tmUpdates.start(intervalMs);
    }
}

void SyncRun::stopSchedule()
{
    m_scheduleMs = 0;
    m_tmUpdates.stop();
    m_tmUpdates.setInterval(0);
}

bool SyncRun::alertsQueued() const
{
    return m_alerts.size() > 0;
}

void SyncRun::requestCancel()
{
    m_cancelRequested = true;
    m_runPending = false;
    if (m_syncAllRunning)
        emit cancelled();
}

void SyncRun::setRunHooks(std::function<void()> begin, std::function<void()> end)
{
    m_beginHook = std::move(begin);
    m_endHook = std::move(end);
}

void SyncRun::SyncAllChannels(Trigger trigger)
{
    if (m_syncAllRunning)
        return;
    // A command asked for while a timer run waits makes it a command's run.
    m_trigger = m_runPending && trigger == Trigger::Timer ? m_trigger : trigger;
    // A single update is in progress (its events are served now): a run must not start a
    // second update beside it, so it waits for the update to return.
    if (m_updater.channelUpdateBusy()) {
        m_runPending = true;
        return;
    }
    run();
}

void SyncRun::startPending()
{
    if (!m_runPending || m_updater.channelUpdateBusy())
        return;
    m_runPending = false;
    run();
}

void SyncRun::run()
{
    m_runPending = false;
    m_cancelRequested = false;
    m_syncAllRunning = true;
    // Validators of the whole run are written once, at its end.
    m_updater.holdValidatorWrites();
    emit runningChanged(true);
    try {
        if (m_beginHook)
            m_beginHook();
        // The cache files of the run reach their folder's entry together, at its end.
        FolderSyncBatch folderSync;
        const int total = m_tree.count();
        emit started(total);
        m_alerts.startRun();
        for (int i = 0; i < total; ++i) {
            visit(i);
            emit progress(i + 1, total);
            QCoreApplication::processEvents();
        }
        emit finished(m_alerts.newItemCount);
    } catch (...) {
        end();
        throw;
    }
    end();
}

void SyncRun::visit(int position)
{
    // Nodes are taken by position at each step: the tree stays editable during a run.
    const QList<ChannelNode *> nodes = m_tree.nodesInPreOrder();
    ChannelNode *node = position < nodes.size() ? nodes.at(position) : nullptr;
    TtvChannel *channel = node ? node->channel() : nullptr;
    if (m_cancelRequested || !channel || !willUpdate(*channel))
        return;
    const QString name = node->text();
    if (m_updater.UpdateChannel(*channel, name) != -1)
        emit lineReported(QStringLiteral("Uaktualniono ") + name, 1);
    emit channelUpdated(node);
}

bool SyncRun::willUpdate(const TtvChannel &channel) const
{
    return channel.enabled &&
           (m_trigger == Trigger::Command || m_updater.mayUpdateOnTimer(channel));
}

void SyncRun::end()
{
    if (m_endHook)
        m_endHook();
    m_updater.releaseValidatorWrites();
    m_syncAllRunning = false;
    emit runningChanged(false);
}
