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
    enum class State { Queued, Running, Done, Taken };
    Job job;
    QString host;
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
    entry->host = url.host().toLower() + QLatin1Char(':') +
                  QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    m_entries.push_back(std::move(entry));
    startNext();
}

bool FetchAhead::has(const Job &job) const
{
    for (const auto &entry : m_entries)
        if (entry->state != Entry::State::Taken && entry->job.targetFile == job.targetFile &&
            entry->job.url == job.url && entry->job.user == job.user &&
            entry->job.password == job.password && entry->job.conditions == job.conditions)
            return true;
    return false;
}

int FetchAhead::runningCount() const
{
    int running = 0;
    for (const auto &entry : m_entries)
        running += entry->state == Entry::State::Running;
    return running;
}

void FetchAhead::startNext()
{
    if (m_cancelled)
        return;
    for (const auto &candidate : m_entries) {
        if (runningCount() >= m_maxConnections)
            return;
        if (candidate->state != Entry::State::Queued)
            continue;
        int sameHost = 0;
        for (const auto &other : m_entries)
            sameHost += other->state == Entry::State::Running && other->host == candidate->host;
        if (sameHost >= m_maxPerHost)
            continue; // a later channel of another host may go first
        Entry *entry = candidate.get();
        entry->state = Entry::State::Running;
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
        m_highestRunning = qMax(m_highestRunning, runningCount());
    }
}

void FetchAhead::finished(Entry *entry)
{
    if (entry->state == Entry::State::Running)
        entry->state = Entry::State::Done;
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
    for (const auto &candidate : m_entries) {
        if (candidate->state != Entry::State::Taken &&
            candidate->job.targetFile == job.targetFile) {
            entry = candidate.get();
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
    while (entry->state == Entry::State::Queued || entry->state == Entry::State::Running ||
           entry->thread) {
        if (entry->state == Entry::State::Queued) {
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
    const bool started = entry->state != Entry::State::Queued;
    entry->state = Entry::State::Taken;
    // Done whatever the outcome, as after any download: a failure is in the report.
    if (ui) {
        ui->progressEnd();
        ui->setStatusText(QStringLiteral("Gotowe"));
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
    if (entry.state != Entry::State::Taken) {
        QFile::remove(entry.job.targetFile);
        entry.state = Entry::State::Taken;
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
