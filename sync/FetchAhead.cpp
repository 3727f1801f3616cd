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
#include <QWaitCondition>
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
    int host = 0; // its server's place in the per-host lists
    State state = State::Queued;
    // Set by the worker; read by this thread once finished() has come.
    Result result;
    // The downloader working on it, for a cancel from this thread.
    QMutex mutex;
    DocumentDownloader *downloader = nullptr;
    bool cancelled = false;
};

// A thread whose downloader, and so its kept-alive connection, serves one download after
// another. `host`, `entry` and the thread belong to FetchAhead's thread; `downloader` to the
// slot's own; `busy` to both, under `mutex`.
struct FetchAhead::Slot
{
    QThread thread;
    std::unique_ptr<QObject> home; // lives in `thread`: downloads are posted to it
    DocumentDownloader *downloader = nullptr;
    int host = -1; // the server its connection leads to, -1 for none yet
    Entry *entry = nullptr;
    QMutex mutex;
    QWaitCondition idle;
    bool busy = false;

    void waitUntilIdle()
    {
        QMutexLocker lock(&mutex);
        while (busy)
            idle.wait(&mutex);
    }
};

FetchAhead::FetchAhead(const ProxySettings &proxy, int maxConnections, int maxPerHost,
                       QObject *parent)
    : QObject(parent), m_proxy(proxy), m_maxConnections(qMax(1, maxConnections)),
      m_maxPerHost(qMax(1, maxPerHost)), m_busyHostLimit(m_maxPerHost)
{
}

FetchAhead::~FetchAhead()
{
    cancel();
    stopSlots();
}

void FetchAhead::setBusyHostLimit(int connections)
{
    m_busyHostLimit = qBound(m_maxPerHost, connections, m_maxConnections);
    startNext();
}

void FetchAhead::enqueue(const Job &job)
{
    add(job);
    startNext();
}

void FetchAhead::enqueue(const std::vector<Job> &jobs)
{
    for (const Job &job : jobs)
        add(job);
    startNext();
}

void FetchAhead::add(const Job &job)
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
        entry->host = int(m_queuedPerHost.size());
        m_hosts.insert(host, entry->host);
        m_queuedPerHost.push_back(0);
        m_slotsPerHost.push_back(0);
    }
    ++m_queuedPerHost[size_t(entry->host)];
    m_entries.push_back(std::move(entry));
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

int FetchAhead::limitFor(int host) const
{
    const bool mostOfTheRun = 2 * m_queuedPerHost[size_t(host)] > int(m_entries.size());
    return mostOfTheRun ? m_busyHostLimit : m_maxPerHost;
}

// Every change of state goes through here, so that the count of running downloads, which
// each step of a run of a thousand channels asks for, is kept rather than counted.
void FetchAhead::setState(Entry &entry, State next)
{
    if (entry.state == next)
        return;
    if (entry.state == State::Running)
        --m_running;
    if (next == State::Running)
        ++m_running;
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
        Slot *slot = slotFor(entry->host);
        if (!slot)
            continue; // a later channel of another host may go first
        run(*slot, *entry);
        m_highestRunning = qMax(m_highestRunning, m_running);
    }
}

// An idle slot already connected to the host; else, while the host has connections to
// spare, an unused slot, a new one, or one whose connection leads elsewhere.
FetchAhead::Slot *FetchAhead::slotFor(int host)
{
    Slot *other = nullptr;
    Slot *unused = nullptr;
    for (const auto &slot : m_slots) {
        if (slot->entry)
            continue;
        if (slot->host == host)
            return slot.get();
        if (slot->host < 0)
            unused = unused ? unused : slot.get();
        else
            other = other ? other : slot.get();
    }
    if (m_slotsPerHost[size_t(host)] >= limitFor(host))
        return nullptr;
    if (unused)
        return unused;
    if (int(m_slots.size()) < m_maxConnections) {
        auto slot = std::make_unique<Slot>();
        slot->home = std::make_unique<QObject>();
        slot->home->moveToThread(&slot->thread);
        slot->thread.start();
        m_slots.push_back(std::move(slot));
        return m_slots.back().get();
    }
    return other;
}

void FetchAhead::run(Slot &slot, Entry &entry)
{
    if (slot.host != entry.host) {
        if (slot.host >= 0)
            --m_slotsPerHost[size_t(slot.host)];
        ++m_slotsPerHost[size_t(entry.host)];
        slot.host = entry.host;
    }
    slot.entry = &entry;
    {
        QMutexLocker lock(&slot.mutex);
        slot.busy = true;
    }
    setState(entry, State::Running);
    Slot *s = &slot;
    Entry *e = &entry;
    const ProxySettings proxy = m_proxy;
    QMetaObject::invokeMethod(
        slot.home.get(),
        [this, s, e, proxy] {
            if (!s->downloader) {
                s->downloader = new DocumentDownloader(s->home.get());
                s->downloader->setProxyProvider([proxy] { return proxy; });
            }
            DocumentDownloader &downloader = *s->downloader;
            bool skipped = false;
            {
                QMutexLocker lock(&e->mutex);
                skipped = e->cancelled;
                if (!skipped)
                    e->downloader = &downloader;
            }
            if (!skipped) {
                CollectingSink sink;
                downloader.setReportSink(&sink);
                downloader.startAfresh();
                const ChannelFetch fetch =
                    downloader.FetchChannel(e->job.url, e->job.targetFile, nullptr, e->job.user,
                                            e->job.password, e->job.conditions);
                downloader.setReportSink(nullptr);
                QMutexLocker lock(&e->mutex);
                e->downloader = nullptr;
                e->result.fetch = fetch;
                e->result.reports = sink.lines;
            }
            // Posted while this FetchAhead surely lives: its destructor waits for `busy`.
            QMetaObject::invokeMethod(this, [this, s, e] { finished(s, e); },
                                      Qt::QueuedConnection);
            QMutexLocker lock(&s->mutex);
            s->busy = false;
            s->idle.wakeAll();
        },
        Qt::QueuedConnection);
}

void FetchAhead::finished(Slot *slot, Entry *entry)
{
    slot->entry = nullptr;
    if (entry->state == State::Running)
        setState(*entry, State::Done);
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
    while (entry->state == State::Queued || entry->state == State::Running) {
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
    if (entry.state == State::Running) {
        // Its file is removed only once nothing writes to it any more.
        for (const auto &slot : m_slots)
            if (slot->entry == &entry)
                slot->waitUntilIdle();
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

// Each downloader goes in its own thread, with its connection, before the thread ends.
void FetchAhead::stopSlots()
{
    for (const auto &slot : m_slots) {
        slot->waitUntilIdle();
        Slot *s = slot.get();
        QMetaObject::invokeMethod(
            s->home.get(),
            [s] {
                delete s->downloader;
                s->downloader = nullptr;
                QThread::currentThread()->quit();
            },
            Qt::QueuedConnection);
    }
    for (const auto &slot : m_slots) {
        slot->thread.wait();
        slot->home.reset();
    }
    m_slots.clear();
}
