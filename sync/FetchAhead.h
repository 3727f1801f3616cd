#pragma once

#include "feed/DocumentDownloader.h"
#include "base/ProxySettings.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class IDownloadUi;
class QEventLoop;

// Downloads the documents of a run ahead of its updates: while one channel is rebuilt, the
// next ones are already in flight, at most `maxConnections` at once and `maxPerHost` to one
// host, into the channel's download file. Each of up to `maxConnections` slots is a thread
// with its own downloader whose connection is kept alive between the channels of one host,
// so a run opens about one connection per slot rather than one per channel; every channel
// still sends the request a downloader of its own would. The run takes them in its own
// order; what a download reported is handed over with it, so the report reads as if the
// downloads had run one after another.
class FetchAhead : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        QString url;
        QString targetFile;
        QString user;
        QString password;
        HttpValidators conditions; // a conditional request when not empty
    };
    struct Result
    {
        ChannelFetch fetch;  // DocumentDownloader::FetchChannel's result
        QStringList reports; // its report lines, in order
    };

    FetchAhead(const ProxySettings &proxy, int maxConnections = 6, int maxPerHost = 2,
               QObject *parent = nullptr);
    // Stops what is still running and removes the files that nobody took.
    ~FetchAhead() override;

    // Queued in the order the run will ask for them.
    void enqueue(const Job &job);
    // A whole run at once: the limits below see every host before the first download.
    void enqueue(const std::vector<Job> &jobs);
    // A host that holds more than half of the queued downloads may use up to this many
    // connections (never fewer than `maxPerHost`, never more than `maxConnections`): a tree
    // that sits on one server is not held to the pace of two connections.
    void setBusyHostLimit(int connections);
    // A job for exactly this download is queued, running or done and not yet taken.
    bool has(const Job &job) const;
    // Waits for that download, serving events, and hands it over; the file is the
    // caller's from now on. `ui` shows panel 0 and the progress bar meanwhile.
    Result take(const Job &job, IDownloadUi *ui);
    // Stops the pending and running downloads and removes their files; the one being
    // taken finishes.
    void cancel();

    int runningCount() const;
    int highestRunning() const { return m_highestRunning; }

private:
    enum class State { Queued, Running, Done, Taken };
    struct Entry;
    struct Slot;
    void add(const Job &job);
    void startNext();
    Slot *slotFor(int host);
    void run(Slot &slot, Entry &entry);
    void finished(Slot *slot, Entry *entry);
    void discard(Entry &entry);
    void setState(Entry &entry, State next);
    int limitFor(int host) const;
    void stopSlots();

    ProxySettings m_proxy;
    int m_maxConnections;
    int m_maxPerHost;
    int m_busyHostLimit;
    std::vector<std::unique_ptr<Entry>> m_entries; // in run order
    std::vector<std::unique_ptr<Slot>> m_slots;
    Entry *m_taking = nullptr;
    QEventLoop *m_wait = nullptr; // take()'s wait, woken when a download ends
    int m_highestRunning = 0;
    int m_running = 0;
    QHash<QString, int> m_hosts;      // host and port -> their place in the lists below
    std::vector<int> m_queuedPerHost; // downloads of the run, by host
    std::vector<int> m_slotsPerHost;  // slots whose connection leads there, busy or idle
    size_t m_firstQueued = 0;  // no entry before it is queued
    size_t m_firstUntaken = 0; // every entry before it is taken
    bool m_cancelled = false;
};
