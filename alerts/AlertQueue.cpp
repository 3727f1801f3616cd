#include "alerts/AlertQueue.h"

void AlertQueue::startRun()
{
    alertTitles.clear();
    alertChannels.clear();
    alertCursor = 0;
    newItemCount = 0;
}

void AlertQueue::enqueue(const QString &title, const QString &channelName)
{
    alertTitles.append(title);
    alertChannels.append(channelName);
}
