#pragma once

#include <QStringList>

// The queue of new-item alerts filled by channel updates and played after a run.
struct AlertQueue
{
    QStringList alertTitles;   // item titles, in the order they were queued
    QStringList alertChannels; // channel names, parallel to alertTitles
    int alertCursor = 0;
    int alertChannelRow = -1;
    int newItemCount = 0; // new items counted in the current run, all channels

    // Empties the lists and the count at the start of a run. The cursor stays: a window left
    // over from the last run may still close and ask for the next entry.
    void startRun();
    void enqueue(const QString &title, const QString &channelName);
    int size() const { return static_cast<int>(alertTitles.size()); }
};
