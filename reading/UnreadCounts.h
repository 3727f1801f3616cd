#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

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
    // Waits for a reading in progress to stop (after the file it is in).
    ~UnreadCounts() override;

    // Reads every channel's cache file, streaming; a missing or unreadable file counts 0.
    void readAll(const ChannelTree &tree, const CacheFileOf &cacheFileOf);
    // The same on a thread of its own, so that the window's start does not wait for the
    // files: the counts arrive in batches (changed() with an empty GUID), readingFinished()
    // after the last. Until its count has arrived a channel counts 0 and shows none. A count
    // set or forgotten meanwhile is newer than the file and stays; marks changed meanwhile
    // are added to the file's count when it arrives.
    void startReadingAll(const ChannelTree &tree, const CacheFileOf &cacheFileOf);
    bool reading() const { return m_reading != nullptr; }
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
    // Any count changed; an empty GUID after readAll and for each batch of startReadingAll.
    void changed(const QString &guid);
    void readingFinished();

private:
    struct Reading;
    void stopReading();
    void arrive(quint64 generation, const QList<QPair<QString, int>> &batch, bool last);

    QHash<QString, int> m_counts;
    std::unique_ptr<Reading> m_reading;
    quint64 m_generation = 0;
};
