#include "sync/FetchAhead.h"

#include "feed/DocumentDownloader.h"
#include "base/DownloadUi.h"
#include "feed/ReportSink.h"
#include "sync/SyncLog.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QUrl>

namespace {

// Collects a worker's report lines; they are replayed by the run in its own order.
class CollectingSink : public IReportSink
{
public:
    void ReportProblem(const QString &line) override { lines.append(line); }
    QStringList lines;
};

} // namespace

struct FetchAhead::Entry
{
    Job job;
    int host = 0; // its server's place in m_runningPerHost
    State state = State::Queued;
    QThread *thread = nullptr;
    // Set by the worker; read by this thread once the worker's thread has finished.
    Result result;
    // The worker's downloader, for a cancel from this thread.
    QMutex mutex;
    DocumentDownloader *downloader = nullptr;
    bool cancelled = false;
};

FetchAhead::FetchAhead(const ProxySettings &proxy, int maxConnections, int maxPerHost,
                       QObject *parent)
    : QObject(parent), m_proxy(proxy), m_maxConnections(qMax(1, maxConnections)),
      m_maxPerHost(qMax(1, maxPerHost))
{
}

FetchAhead::~FetchAhead()
{
    cancel();
}

void FetchAhead::enqueue(const Job &job)
{
    auto entry = std::make_unique<Entry>();
    entry->job = job;
    // Servers are told apart by host and port, as browsers count their connections.
    const QUrl url(job.url);
    const QString host =
        url.host().toLower() + QLatin1Char(':') +
        QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    const auto known = m_hosts.constFind(host);
    if (known != m_hosts.constEnd()) {
        entry->host = *known;
    } else {
        entry->host = int(m_runningPerHost.size());
        m_hosts.insert(host, entry->host);
        m_runningPerHost.push_back(0);
    }
    m_entries.push_back(std::move(entry));
    startNext();
}

bool FetchAhead::has(const Job &job) const
{
    for (size_t i = m_firstUntaken; i < m_entries.size(); ++i) {
        const Entry *entry = m_entries[i].get();
        if (entry->state != State::Taken && entry->job.targetFile == job.targetFile &&
            entry->job.url == job.url && entry->job.user == job.user &&
            entry->job.password == job.password && entry->job.conditions == job.conditions)
            return true;
    }
    return false;
}

int FetchAhead::runningCount() const
{
    return m_running;
}

// Every change of state goes through here, so that the counts of running downloads, which
// each step of a run of a thousand channels asks for, are kept rather than counted.
void FetchAhead::setState(Entry &entry, State next)
{
    if (entry.state == next)
        return;
    if (entry.state == State::Running) {
        --m_running;
        --m_runningPerHost[size_t(entry.host)];
    }
    if (next == State::Running) {
        ++m_running;
        ++m_runningPerHost[size_t(entry.host)];
    }
    entry.state = next;
    // A run takes its downloads in order: lookups start past those already taken.
    while (m_firstUntaken < m_entries.size() && m_entries[m_firstUntaken]->state == State::Taken)
        ++m_firstUntaken;
}

void FetchAhead::startNext()
{
    if (m_cancelled)
        return;
    // Entries before the first queued one never start again: the scan begins there.
    while (m_firstQueued < m_entries.size() &&
           m_entries[m_firstQueued]->state != State::Queued)
        ++m_firstQueued;
    for (size_t i = m_firstQueued; i < m_entries.size(); ++i) {
        if (m_running >= m_maxConnections)
            return;
        Entry *entry = m_entries[i].get();
        if (entry->state != State::Queued)
            continue;
        if (m_runningPerHost[size_t(entry->host)] >= m_maxPerHost)
            continue; // a later channel of another host may go first
        setState(*entry, State::Running);
        const ProxySettings proxy = m_proxy;
        entry->thread = QThread::create([entry, proxy] {
            CollectingSink sink;
            DocumentDownloader downloader;
            downloader.setReportSink(&sink);
            downloader.setProxyProvider([proxy] { return proxy; });
            {
                QMutexLocker lock(&entry->mutex);
                if (entry->cancelled)
                    return;
                entry->downloader = &downloader;
            }
            const ChannelFetch fetch =
                downloader.FetchChannel(entry->job.url, entry->job.targetFile, nullptr,
                                        entry->job.user, entry->job.password, entry->job.conditions);
            QMutexLocker lock(&entry->mutex);
            entry->downloader = nullptr;
            entry->result.fetch = fetch;
            entry->result.reports = sink.lines;
        });
        connect(entry->thread, &QThread::finished, this, [this, entry] { finished(entry); });
        entry->thread->start();
        m_highestRunning = qMax(m_highestRunning, m_running);
    }
}

void FetchAhead::finished(Entry *entry)
{
    if (entry->state == State::Running)
        setState(*entry, State::Done);
    if (entry->thread) {
        entry->thread->wait();
        entry->thread->deleteLater();
        entry->thread = nullptr;
    }
    startNext();
    if (m_wait)
        m_wait->quit();
}

FetchAhead::Result FetchAhead::take(const Job &job, IDownloadUi *ui)
{
    Entry *entry = nullptr;
    for (size_t i = m_firstUntaken; i < m_entries.size(); ++i) {
        if (m_entries[i]->state != State::Taken && m_entries[i]->job.targetFile == job.targetFile) {
            entry = m_entries[i].get();
            break;
        }
    }
    if (!entry)
        return Result();
    if (ui) {
        ui->setStatusText(QStringLiteral("Pobieranie dokumentu ") + job.url);
        ui->progressBegin(2);
    }
    m_taking = entry;
    // Events are served as during any download: the window stays alive.
    QEventLoop wait;
    QEventLoop *outer = m_wait;
    m_wait = &wait;
    while (entry->state == State::Queued || entry->state == State::Running ||
           entry->thread) {
        if (entry->state == State::Queued) {
            if (m_cancelled) // never started: nothing to hand over
                break;
            startNext();
        }
        // Woken when a download ends (this one, or one that frees a connection for it)
        // and on cancel().
        wait.exec();
    }
    m_wait = outer;
    if (outer)
        outer->quit();
    m_taking = nullptr;
    const bool started = entry->state != State::Queued;
    setState(*entry, State::Taken);
    // Done whatever the outcome, as after any download: a failure is in the report.
    if (ui) {
        ui->progressEnd();
        ui->setStatusText(QStringLiteral("Gotowe."));
    }
    return started ? entry->result : Result();
}

void FetchAhead::discard(Entry &entry)
{
    {
        QMutexLocker lock(&entry.mutex);
        entry.cancelled = true;
        if (entry.downloader)
            QMetaObject::invokeMethod(entry.downloader, &DocumentDownloader::cancel,
                                      Qt::QueuedConnection);
    }
    if (entry.thread) {
        entry.thread->wait();
        delete entry.thread;
        entry.thread = nullptr;
    }
    if (entry.state != State::Taken) {
        QFile::remove(entry.job.targetFile);
        setState(entry, State::Taken);
    }
}

void FetchAhead::cancel()
{
    m_cancelled = true;
    for (const auto &entry : m_entries)
        if (entry.get() != m_taking)
            discard(*entry);
    if (m_wait)
        m_wait->quit();
}
