#include "reading/UnreadCounts.h"

#include "catalogue/ChannelTree.h"
#include "xml/FeedItemScanner.h"
#include "xml/XmlDocument.h"

#include <QFile>

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The tree route for documents the scanner leaves to it; the same walk as the header list.
int countByTree(const QByteArray &bytes)
{
    try {
        XmlDocument document;
        document.loadFromBytes(bytes);
        const XmlNode root = document.documentElement();
        XmlNode item;
        if (root.nodeName() == QLatin1String("rss")) {
            item = root.findChild(QStringLiteral("channel")).findChild(QStringLiteral("item"));
        } else {
            for (XmlNode child = root.firstChild(); child && !item; child = child.nextSibling())
                if (child.isElement() && child.nodeName() == QLatin1String("item"))
                    item = child;
        }
        int count = 0;
        for (; item; item = item.nextSibling()) {
            if (!item.isElement() || item.localName() != QLatin1String("item"))
                continue;
            const XmlNode unread = item.findChild(QStringLiteral("unread"));
            count += unread && unread.text() == QLatin1String("1");
        }
        return count;
    } catch (const std::exception &) {
        return -1;
    }
}

} // namespace

UnreadCounts::UnreadCounts(QObject *parent) : QObject(parent) {}

int UnreadCounts::countInDocument(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return -1;
    int count = 0;
    if (ScanFeedItems(bytes, [&count](const QString &, const QString &unread) {
            count += unread == QLatin1String("1");
        }))
        return count;
    return countByTree(bytes);
}

void UnreadCounts::readAll(const ChannelTree &tree, const CacheFileOf &cacheFileOf)
{
    m_counts.clear();
    for (const ChannelNode *node : tree.channelsInPreOrder()) {
        const TtvChannel *channel = node->channel();
        if (!channel || channel->GUID.isEmpty() || m_counts.contains(channel->GUID))
            continue;
        const int n = countInDocument(fileBytes(cacheFileOf(channel->GUID)));
        m_counts.insert(channel->GUID, qMax(0, n));
    }
    emit changed(QString());
}

void UnreadCounts::recount(const QString &guid, const QString &cacheFile)
{
    set(guid, qMax(0, countInDocument(fileBytes(cacheFile))));
}

int UnreadCounts::countFor(const ChannelNode *node) const
{
    if (!node)
        return 0;
    if (node->isChannel())
        return node->channel() ? count(node->channel()->GUID) : 0;
    // Every channel beneath, also one dropped onto another channel and so its child.
    int sum = 0;
    QList<const ChannelNode *> pending{node};
    while (!pending.isEmpty()) {
        const ChannelNode *current = pending.takeLast();
        for (int i = 0; i < current->childCount(); ++i) {
            const ChannelNode *child = current->child(i);
            if (const TtvChannel *channel = child->channel())
                sum += count(channel->GUID);
            pending.append(child);
        }
    }
    return sum;
}

void UnreadCounts::set(const QString &guid, int count)
{
    if (guid.isEmpty())
        return;
    count = qMax(0, count);
    auto it = m_counts.find(guid);
    if (it != m_counts.end() && it.value() == count)
        return;
    m_counts.insert(guid, count);
    emit changed(guid);
}

void UnreadCounts::adjust(const QString &guid, int delta)
{
    set(guid, count(guid) + delta);
}

void UnreadCounts::forget(const QString &guid)
{
    if (m_counts.remove(guid))
        emit changed(guid);
}
