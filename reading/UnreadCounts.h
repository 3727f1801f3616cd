#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class ChannelNode;
class ChannelTree;

// The number of unread items of every channel, keyed by the channel's GUID. The tree shows it
// after a channel's name (a group shows the sum of its channels); it is never part of the
// node's text, which the tree file, the alerts and the archive use.
class UnreadCounts : public QObject
{
    Q_OBJECT

public:
    using CacheFileOf = std::function<QString(const QString &guid)>;

    explicit UnreadCounts(QObject *parent = nullptr);

    // Reads every channel's cache file, streaming; a missing or unreadable file counts 0.
    void readAll(const ChannelTree &tree, const CacheFileOf &cacheFileOf);
    // Reads one cache file again, after an update replaced it.
    void recount(const QString &guid, const QString &cacheFile);

    // 0 for a channel never counted.
    int count(const QString &guid) const { return m_counts.value(guid, 0); }
    // A channel's own count; a group's is the sum over all the channels beneath it, at any
    // depth and under channels too.
    int countFor(const ChannelNode *node) const;

    void set(const QString &guid, int count);
    // A mark changed one item: +1 or -1. Never goes below 0.
    void adjust(const QString &guid, int delta);
    // The channel left the tree.
    void forget(const QString &guid);

    // The unread items ("1" marks) of a channel document's bytes; -1 when it cannot be read.
    static int countInDocument(const QByteArray &bytes);

signals:
    // Any count changed; an empty GUID after readAll.
    void changed(const QString &guid);

private:
    QHash<QString, int> m_counts;
};
