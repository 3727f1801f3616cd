#include "alerts/AlertQueue.h"

void AlertQueue::startRun()
{
    alertTitles.clear();
    alertChannels.clear();
    newItemCount = 0;
}

void AlertQueue::enqueue(const QString &title, const QString &channelName)
{
    alertTitles.append(title);
    alertChannels.append(channelName);
}
