#include "reading/UnreadCounts.h"

#include "catalogue/ChannelTree.h"
#include "xml/FeedItemScanner.h"
#include "xml/XmlDocument.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSet>

#include <libxml/parser.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

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

struct UnreadCounts::Reading
{
    std::atomic_bool stop{false};
    std::thread thread;
    // Channels whose count the files still owe; the window's own counts take them out.
    QSet<QString> pending;
    // Marks changed while the count was owed.
    QHash<QString, int> deltas;
};

UnreadCounts::UnreadCounts(QObject *parent) : QObject(parent) {}

UnreadCounts::~UnreadCounts()
{
    stopReading();
}

void UnreadCounts::stopReading()
{
    if (!m_reading)
        return;
    m_reading->stop = true;
    if (m_reading->thread.joinable())
        m_reading->thread.join();
    m_reading.reset();
    ++m_generation; // batches already posted are dropped
}

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
    stopReading();
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

void UnreadCounts::startReadingAll(const ChannelTree &tree, const CacheFileOf &cacheFileOf)
{
    stopReading();
    m_counts.clear();
    std::vector<std::pair<QString, QString>> files;
    auto reading = std::make_unique<Reading>();
    for (const ChannelNode *node : tree.channelsInPreOrder()) {
        const TtvChannel *channel = node->channel();
        if (!channel || channel->GUID.isEmpty() || reading->pending.contains(channel->GUID))
            continue;
        reading->pending.insert(channel->GUID);
        files.emplace_back(channel->GUID, cacheFileOf(channel->GUID));
    }
    emit changed(QString());
    // libxml2 sets up its global state once, on this thread, before another one parses.
    xmlInitParser();
    const quint64 generation = ++m_generation;
    std::atomic_bool *stop = &reading->stop;
    m_reading = std::move(reading);
    m_reading->thread = std::thread([this, stop, generation, files = std::move(files)] {
        QList<QPair<QString, int>> batch;
        QElapsedTimer sincePost;
        sincePost.start();
        for (size_t i = 0; i < files.size() && !*stop; ++i) {
            batch.append({files[i].first, qMax(0, countInDocument(fileBytes(files[i].second)))});
            const bool last = i + 1 == files.size();
            // A few repaints of the tree, not one per channel.
            if (!last && sincePost.elapsed() < 100)
                continue;
            QMetaObject::invokeMethod(
                this, [this, generation, batch, last] { arrive(generation, batch, last); },
                Qt::QueuedConnection);
            batch.clear();
            sincePost.restart();
        }
        if (files.empty())
            QMetaObject::invokeMethod(
                this, [this, generation] { arrive(generation, {}, true); },
                Qt::QueuedConnection);
    });
}

void UnreadCounts::arrive(quint64 generation, const QList<QPair<QString, int>> &batch, bool last)
{
    if (generation != m_generation || !m_reading)
        return;
    bool any = false;
    for (const auto &[guid, count] : batch) {
        if (!m_reading->pending.remove(guid))
            continue; // the window has set it since
        m_counts.insert(guid, qMax(0, count + m_reading->deltas.take(guid)));
        any = true;
    }
    if (any)
        emit changed(QString());
    if (!last)
        return;
    // The thread has posted its last batch and is leaving.
    m_reading->thread.join();
    m_reading.reset();
    emit readingFinished();
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
    if (m_reading && m_reading->pending.remove(guid))
        m_reading->deltas.remove(guid);
    count = qMax(0, count);
    auto it = m_counts.find(guid);
    if (it != m_counts.end() && it.value() == count)
        return;
    m_counts.insert(guid, count);
    emit changed(guid);
}

void UnreadCounts::adjust(const QString &guid, int delta)
{
    if (m_reading && m_reading->pending.contains(guid)) {
        m_reading->deltas[guid] += delta;
        return;
    }
    set(guid, count(guid) + delta);
}

void UnreadCounts::forget(const QString &guid)
{
    if (m_reading && m_reading->pending.remove(guid))
        m_reading->deltas.remove(guid);
    if (m_counts.remove(guid))
        emit changed(guid);
}
