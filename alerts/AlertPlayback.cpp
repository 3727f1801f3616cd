#include "alerts/AlertPlayback.h"

#include "alerts/AlertQueue.h"
#include "catalogue/ChannelTree.h"

AlertPlayback::AlertPlayback(AlertQueue &queue, const ChannelTree &tree, QObject *parent)
    : QObject(parent), m_queue(queue), m_tree(tree)
{
}

bool AlertPlayback::endRun(bool alertsOn)
{
    if (m_queue.newItemCount == 0 || m_queue.alertTitles.isEmpty() || !alertsOn)
        return false;
    m_queue.alertCursor = 0;
    tmBalloonsTimer();
    emit trayHintChanged(QStringLiteral("Nowych wiadomości: ") + QString::number(m_queue.newItemCount));
    return true;
}

void AlertPlayback::tmBalloonsTimer()
{
    const int count = m_queue.size();
    if (count == 0)
        return;
    int &cursor = m_queue.alertCursor;
    // An entry without a title would end the sequence, which goes on only when a shown
    // window closes: pass over it to the next one instead.
    while (cursor >= 0 && cursor < count && m_queue.alertTitles.at(cursor).isEmpty())
        ++cursor;
    if (cursor >= 0 && cursor < count) {
        findChannelRow(m_queue.alertChannels.value(cursor));
        emit alertShown(m_queue.alertChannels.value(cursor), m_queue.alertTitles.at(cursor),
                        QStringLiteral("%1/%2").arg(cursor + 1).arg(count), DisplaySeconds);
    }
    ++cursor;
}

bool AlertPlayback::back()
{
    if (m_queue.alertCursor < 2 || m_queue.alertCursor - 2 >= m_queue.size())
        return false;
    m_queue.alertCursor -= 2;
    showLabelsAt(m_queue.alertCursor);
    return true;
}

bool AlertPlayback::next()
{
    if (m_queue.alertCursor < 0 || m_queue.alertCursor >= m_queue.size())
        return false;
    showLabelsAt(m_queue.alertCursor);
    return true;
}

void AlertPlayback::showLabelsAt(int index)
{
    findChannelRow(m_queue.alertChannels.value(index));
    m_queue.alertCursor = index + 1;
    emit labelsChanged(m_queue.alertChannels.value(index), m_queue.alertTitles.value(index),
                       counterText());
}

QString AlertPlayback::shownTitle() const
{
    return m_queue.alertTitles.value(m_queue.alertCursor - 1);
}

QString AlertPlayback::shownChannel() const
{
    return m_queue.alertChannels.value(m_queue.alertCursor - 1);
}

int AlertPlayback::channelRow() const
{
    return m_queue.alertChannelRow;
}

QString AlertPlayback::counterText() const
{
    return QStringLiteral("%1/%2").arg(m_queue.alertCursor).arg(m_queue.size());
}

void AlertPlayback::findChannelRow(const QString &channelName)
{
    // Two channels of one name lead to the later one in the tree.
    int found = -1;
    const QList<ChannelNode *> channels = m_tree.channelsInPreOrder();
    for (const ChannelNode *node : channels) {
        if (node->text() == channelName)
            found = m_tree.absoluteIndex(node);
    }
    if (found >= 0)
        m_queue.alertChannelRow = found;
}
