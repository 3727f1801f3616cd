#pragma once

#include <QObject>
#include <QString>

struct AlertQueue;
class ChannelTree;

// Plays the alert queue after a run: which entry is on screen, the channel it leads to and
// the counter. The notification window shows what this says and calls back on its buttons.
class AlertPlayback : public QObject
{
    Q_OBJECT
public:
    AlertPlayback(AlertQueue &queue, const ChannelTree &tree, QObject *parent = nullptr);

    // The end of a full run: with new items, queued alerts and the alerts setting on, starts
    // the sequence at the first entry and sets the tray hint. True when it announced.
    bool endRun(bool alertsOn);
    // Shows the entry at the cursor and moves the cursor past it. Entries with an empty
    // title are passed over, so the sequence goes on with the next one.
    void tmBalloonsTimer();
    // The back and next arrows: move to the entry before or after the one on screen. False
    // (nothing changed) on the first or the last entry.
    bool back();
    bool next();

    // The entry on screen (the one before the cursor); empty when there is none.
    QString shownTitle() const;
    QString shownChannel() const;
    QString counterText() const;
    // The tree position of the channel of the entry last shown (alertChannelRow).
    int channelRow() const;

    static constexpr int DisplaySeconds = 10;

signals:
    // A new entry to show for `seconds` (the window's ShowAlert).
    void alertShown(const QString &channel, const QString &title, const QString &counter,
                    int seconds);
    // The arrows changed the entry on screen: labels only.
    void labelsChanged(const QString &channel, const QString &title, const QString &counter);
    void trayHintChanged(const QString &hint);

private:
    void findChannelRow(const QString &channelName);
    void showLabelsAt(int index);

    AlertQueue &m_queue;
    const ChannelTree &m_tree;
};
