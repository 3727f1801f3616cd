#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class ChannelNode;
class ChannelTree;
class ChannelUpdater;
struct TtvChannel;
struct AlertQueue;

// One synchronisation run over the whole tree, the same for the window and the command
// line: every enabled channel in tree order, one update at a time, cancelled between
// channels. The window follows its signals; it owns the timer of automatic runs.
class SyncRun : public QObject
{
    Q_OBJECT
public:
    // `tree`, `updater` and `alerts` must outlive the run.
    SyncRun(ChannelTree &tree, ChannelUpdater &updater, AlertQueue &alerts,
            QObject *parent = nullptr);
    ~SyncRun() override;

    // Interval of automatic runs ("tmUpdates"); 0 = off. Its timeout is the window's to use.
    // Only the calls below set it: the settings' interval while no channel has one of its
    // own, else the greatest common divisor of the settings' and the channels' intervals,
    // so that every channel is looked at when its own interval has passed.
    QTimer &tmUpdates() { return m_tmUpdates; }
    // The interval of automatic runs in milliseconds, 0 = off, as the settings say. A changed
    // interval starts a new period; the same one again leaves the running period alone.
    void setSchedule(int intervalMs);
    // The channels' own intervals may have changed (the tree was loaded): the timer's period
    // follows them. Record changes, removals and resets of the tree are followed anyway.
    void channelIntervalsChanged();
    // The time the schedule reads; tests give their own.
    void setClock(std::function<QDateTime()> clock);
    // Leaving the program: no automatic run any more (interval 0).
    void stopSchedule();
    bool syncAllRunning() const { return m_syncAllRunning; }
    bool cancelRequested() const { return m_cancelRequested; }
    // True while a run waits for a single update to return before it starts.
    bool runPending() const { return m_runPending; }
    // The run's alerts queue is not empty.
    bool alertsQueued() const;

    // Runs over the tree now. Requested while a single update runs, the run starts as soon
    // as that update has returned; requested during a run, nothing happens. An error raised
    // by an update ends the run at that node, after the flags are restored and
    // runningChanged(false) was sent, and reaches the caller.
    // A run of the update timer skips the channels whose server asked for a pause, and
    // takes a channel with an interval of its own only once that interval has passed since
    // its last update or attempt, the others once the settings' interval has passed since
    // the timer last took them; a timer run that would take no channel does not start.
    enum class Trigger { Command, Timer };
    void SyncAllChannels(Trigger trigger = Trigger::Command);
    // Whether the run in progress (or the next one) updates this channel.
    bool willUpdate(const TtvChannel &channel) const;
    // The current channel finishes, the remaining nodes are skipped (they still count).
    void requestCancel();
    // Called at a run's start, once it runs and before its nodes are counted (it may change
    // the tree), and
    // at its end, however it ends. Neither may raise.
    void setRunHooks(std::function<void()> begin, std::function<void()> end);

signals:
    void runningChanged(bool running);
    // requestCancel() during a run: whatever the run prepared ahead can stop.
    void cancelled();
    // Before the first node: `total` nodes, groups included, will be counted.
    void started(int total);
    void lineReported(const QString &text, int icon);
    void progress(int done, int total);
    // A channel's update has returned, failed or not; the header list refills it if shown.
    void channelUpdated(ChannelNode *node);
    // After the last node, before the flags are restored; not after an error.
    void finished(int newItems);

private:
    void run();
    void visit(int position);
    void retick();
    // Fixes what a timer run takes, now; false when it would take no channel.
    bool planTimerRun();
    bool dueOnTimer(const TtvChannel &channel) const;
    void end();
    void startPending();

    ChannelTree &m_tree;
    ChannelUpdater &m_updater;
    AlertQueue &m_alerts;
    QTimer m_tmUpdates;
    int m_scheduleMs = 0; // the settings' interval
    std::function<QDateTime()> m_clock;
    QDateTime m_settingsPeriodStart; // the timer last took the channels that follow settings
    QDateTime m_timerNow;            // of the timer run planned or in progress
    bool m_settingsChannelsDue = true;
    QHash<QString, QDateTime> m_lastAttempt; // GUID: a run last took the channel then
    bool m_syncAllRunning = false;
    bool m_cancelRequested = false;
    bool m_runPending = false;
    Trigger m_trigger = Trigger::Command;
    std::function<void()> m_beginHook;
    std::function<void()> m_endHook;
};
