#include "sync/SyncRun.h"

#include "alerts/AlertQueue.h"
#include "base/AppSettings.h"
#include "catalogue/ChannelTree.h"
#include "base/FileReplace.h"
#include "sync/ChannelUpdater.h"

#include <QCoreApplication>

#include <numeric>

SyncRun::SyncRun(ChannelTree &tree, ChannelUpdater &updater, AlertQueue &alerts, QObject *parent)
    : QObject(parent), m_tree(tree), m_updater(updater), m_alerts(alerts)
{
    m_tmUpdates.setObjectName(QStringLiteral("tmUpdates"));
    m_tmUpdates.setInterval(0);
    m_clock = [] { return QDateTime::currentDateTime(); };
    connect(&m_updater, &ChannelUpdater::busyChanged, this, [this](bool busy) {
        if (!busy && m_runPending)
            QTimer::singleShot(0, this, &SyncRun::startPending);
    });
    // The properties dialog notes a changed record; removed channels take their intervals.
    connect(&m_tree, &QAbstractItemModel::dataChanged, this, &SyncRun::retick);
    connect(&m_tree, &QAbstractItemModel::rowsRemoved, this, &SyncRun::retick);
    connect(&m_tree, &QAbstractItemModel::modelReset, this, &SyncRun::retick);
}

SyncRun::~SyncRun() = default;

void SyncRun::setSchedule(int intervalMs)
{
    intervalMs = qMax(0, intervalMs);
    if (intervalMs == m_scheduleMs)
        return;
    m_scheduleMs = intervalMs;
    m_settingsPeriodStart = m_clock();
    retick();
}

void SyncRun::channelIntervalsChanged()
{
    retick();
}

void SyncRun::setClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
}

void SyncRun::retick()
{
    int tick = m_scheduleMs;
    if (tick > 0) {
        for (const ChannelNode *node : m_tree.channelsInPreOrder())
            if (const TtvChannel *channel = node->channel(); channel && channel->interval > 0)
                tick = std::gcd(tick, UpdateTimerInterval(channel->interval));
    }
    if (tick == 0) {
        m_tmUpdates.stop();
        m_tmUpdates.setInterval(0);
    } else if (tick != m_tmUpdates.interval() || !m_tmUpdates.isActive()) {
        m_tmUpdates.start(tick);
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
    if (trigger == Trigger::Timer && !m_runPending && !planTimerRun())
        return;
    m_trigger = m_runPending && trigger == Trigger::Timer ? m_trigger : trigger;
    // A single update is in progress (its events are served now): a run must not start a
    // second update beside it, so it waits for the update to return.
    if (m_updater.channelUpdateBusy()) {
        m_runPending = true;
        return;
    }
    run();
}

bool SyncRun::planTimerRun()
{
    m_timerNow = m_clock();
    // Without intervals of their own every tick is the settings' interval: every timer run
    // takes every channel, as it always did.
    const qint64 slack = m_tmUpdates.interval() / 2;
    m_settingsChannelsDue =
        m_tmUpdates.interval() >= m_scheduleMs || !m_settingsPeriodStart.isValid() ||
        m_settingsPeriodStart.msecsTo(m_timerNow) >= qint64(m_scheduleMs) - slack;
    if (m_settingsChannelsDue) {
        m_settingsPeriodStart = m_timerNow;
        return true;
    }
    // A tick between the settings' periods starts a run only for a channel that is due.
    for (const ChannelNode *node : m_tree.channelsInPreOrder()) {
        const TtvChannel *channel = node->channel();
        if (channel && channel->enabled && channel->interval > 0 && dueOnTimer(*channel))
            return true;
    }
    return false;
}

bool SyncRun::dueOnTimer(const TtvChannel &channel) const
{
    if (channel.interval <= 0)
        return m_settingsChannelsDue;
    QDateTime last = channel.lastupdate;
    const QDateTime attempt = m_lastAttempt.value(channel.GUID);
    if (attempt.isValid() && (!last.isValid() || attempt > last))
        last = attempt;
    if (!last.isValid())
        return true;
    // Half a tick of slack: an update stamps its channel a little after the tick took it.
    const qint64 slack = m_tmUpdates.interval() / 2;
    return last.msecsTo(m_timerNow) >= qint64(UpdateTimerInterval(channel.interval)) - slack;
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
    m_lastAttempt.insert(channel->GUID, m_clock());
    if (m_updater.UpdateChannel(*channel, name) != -1)
        emit lineReported(QStringLiteral("Uaktualniono ") + name, 1);
    emit channelUpdated(node);
}

bool SyncRun::willUpdate(const TtvChannel &channel) const
{
    return channel.enabled &&
           (m_trigger == Trigger::Command ||
            (m_updater.mayUpdateOnTimer(channel) && dueOnTimer(channel)));
}

void SyncRun::end()
{
    if (m_endHook)
        m_endHook();
    m_updater.releaseValidatorWrites();
    m_syncAllRunning = false;
    emit runningChanged(false);
}
