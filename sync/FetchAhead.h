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
class QThread;

// Downloads the documents of a run ahead of its updates: while one channel is rebuilt, the
// next ones are already in flight, at most `maxConnections` at once and `maxPerHost` to one
// host, each on a thread of its own with its own downloader, into the channel's download
// file. The run takes them in its own order; what a download reported is handed over with
// it, so the report reads as if the downloads had run one after another.
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
    void startNext();
    void finished(Entry *entry);
    void discard(Entry &entry);
    void setState(Entry &entry, State next);

    ProxySettings m_proxy;
    int m_maxConnections;
    int m_maxPerHost;
    std::vector<std::unique_ptr<Entry>> m_entries; // in run order
    Entry *m_taking = nullptr;
    QEventLoop *m_wait = nullptr; // take()'s wait, woken when a download ends
    int m_highestRunning = 0;
    int m_running = 0;
    QHash<QString, int> m_hosts;     // host and port -> place in m_runningPerHost
    std::vector<int> m_runningPerHost;
    size_t m_firstQueued = 0;  // no entry before it is queued
    size_t m_firstUntaken = 0; // every entry before it is taken
    bool m_cancelled = false;
};
