#include "feed/SiteIcons.h"

#include "base/FileReplace.h"
#include "feed/FeedDiscovery.h"
#include "feed/FeedLog.h"
#include "feed/HttpClient.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QWaitCondition>
#include <QUrl>

#include <atomic>

namespace SiteIcons {

namespace {

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

QString siteRoot(const QUrl &url, const QString &path)
{
    if (!isWebAddress(url))
        return QString();
    QUrl root;
    root.setScheme(url.scheme().toLower());
    root.setHost(url.host());
    root.setPort(url.port());
    root.setPath(path);
    return root.toString(QUrl::FullyEncoded);
}

} // namespace

QString SitePage(const QString &link, const QString &feedUrl)
{
    const QUrl page(link.trimmed());
    if (isWebAddress(page))
        return page.toString(QUrl::FullyEncoded);
    return siteRoot(QUrl(feedUrl.trimmed()), QStringLiteral("/"));
}

QStringList Candidates(const QByteArray &page, const QString &pageAddress, const QString &feedUrl)
{
    QStringList out = DiscoverIconAddresses(page, pageAddress);
    for (const QString &site : {pageAddress, feedUrl.trimmed()}) {
        const QString favicon = siteRoot(QUrl(site), QStringLiteral("/favicon.ico"));
        if (!favicon.isEmpty() && !out.contains(favicon))
            out.append(favicon);
    }
    return out;
}

bool LooksLikeIcon(const QByteArray &bytes)
{
    if (bytes.size() < 8)
        return false;
    const auto starts = [&bytes](const char *magic, int size) {
        return bytes.startsWith(QByteArray::fromRawData(magic, size));
    };
    return starts("\x00\x00\x01\x00", 4)            // ICO
           || starts("\x89PNG\r\n\x1a\n", 8)        // PNG
           || starts("GIF87a", 6) || starts("GIF89a", 6) //
           || starts("\xff\xd8\xff", 3)             // JPEG
           || (starts("BM", 2) && bytes.size() > 26) // BMP
           || (starts("RIFF", 4) && bytes.mid(8, 4) == "WEBP");
}

bool Due(const QString &iconFile, const QDateTime &now)
{
    const QFileInfo file(iconFile);
    if (!file.isFile())
        return true;
    const QDateTime written = file.lastModified();
    return written > now || written.addDays(RefreshDays) <= now;
}

void Store(const QString &iconFile, const QByteArray &bytes)
{
    const QString folder = QFileInfo(iconFile).absolutePath();
    if (!QDir().mkpath(folder))
        throw FileError(QStringLiteral("Nie można utworzyć folderu %1").arg(folder));
    // An icon lost in a crash is fetched again; not worth a disk sync.
    WriteFileAtomically(iconFile, bytes, Durability::Unsynced);
}

} // namespace SiteIcons

namespace {

QByteArray fetchIcon(HttpClient &client, const SiteIconFetcher::Job &job,
                     const std::atomic<bool> &stopping)
{
    const QString page = SiteIcons::SitePage(job.link, job.feedUrl);
    if (page.isEmpty())
        return {};
    client.setMaxBodyBytes(SiteIcons::MaxPageBytes);
    const HttpResult site = client.get(page);
    const QString pageAddress = site.finalAddress.isEmpty() ? page : site.finalAddress;
    const QStringList candidates =
        SiteIcons::Candidates(site.ok() ? site.body : QByteArray(), pageAddress, job.feedUrl);
    client.setMaxBodyBytes(SiteIcons::MaxIconBytes);
    for (int i = 0; i < candidates.size() && i < SiteIcons::MaxCandidates; ++i) {
        if (stopping)
            return {};
        const HttpResult icon = client.get(candidates.at(i));
        if (icon.ok() && SiteIcons::LooksLikeIcon(icon.body))
            return icon.body;
    }
    return {};
}

bool toHttpProxy(const ProxySettings &settings, HttpProxy &proxy)
{
    proxy = HttpProxy();
    if (!settings.enabled)
        return true;
    bool ok = false;
    const uint port = settings.port.trimmed().toUInt(&ok);
    if (!ok || port > 65535)
        return false;
    proxy.host = settings.server.trimmed();
    proxy.port = static_cast<quint16>(port);
    proxy.user = settings.user;
    proxy.password = settings.password;
    return true;
}

} // namespace

struct SiteIconFetcher::Worker
{
    QThread thread;
    std::unique_ptr<QObject> home; // lives in `thread`: jobs are posted to it
    HttpClient *current = nullptr; // the job's client; touched in `thread` alone
    std::atomic<bool> stopping{false};
    QMutex mutex;
    QWaitCondition idle;
    bool busy = false; // a job is posted or running
};

SiteIconFetcher::SiteIconFetcher(QObject *parent) : QObject(parent)
{
}

SiteIconFetcher::~SiteIconFetcher()
{
    if (!m_worker)
        return;
    Worker *w = m_worker.get();
    w->stopping = true;
    // A request waiting on the network ends at its next wait; the thread ends only after it,
    // since ending it would also end the request's own waits.
    QMetaObject::invokeMethod(
        w->home.get(),
        [w] {
            if (w->current)
                w->current->cancel();
        },
        Qt::QueuedConnection);
    {
        QMutexLocker lock(&w->mutex);
        while (w->busy)
            w->idle.wait(&w->mutex);
    }
    w->thread.quit();
    w->thread.wait();
    w->home.reset();
}

void SiteIconFetcher::setProxyProvider(std::function<ProxySettings()> provider)
{
    m_proxyProvider = std::move(provider);
}

int SiteIconFetcher::pending() const
{
    return m_queue.size() + (m_running.isEmpty() ? 0 : 1);
}

void SiteIconFetcher::request(const Job &job)
{
    if (job.guid.isEmpty() || job.guid == m_running)
        return;
    for (const Job &queued : qAsConst(m_queue))
        if (queued.guid == job.guid)
            return;
    m_queue.append(job);
    startNext();
}

void SiteIconFetcher::startNext()
{
    if (!m_running.isEmpty() || m_queue.isEmpty())
        return;
    const Job job = m_queue.takeFirst();
    HttpProxy proxy;
    if (!toHttpProxy(m_proxyProvider ? m_proxyProvider() : ProxySettings(), proxy)) {
        // A proxy port that is no number fails every download; the icon waits a week too.
        QMetaObject::invokeMethod(this, [this, guid = job.guid] { done(guid, {}); },
                                  Qt::QueuedConnection);
        m_running = job.guid;
        return;
    }
    if (!m_worker) {
        m_worker = std::make_unique<Worker>();
        m_worker->home = std::make_unique<QObject>();
        m_worker->home->moveToThread(&m_worker->thread);
        m_worker->thread.start();
    }
    m_running = job.guid;
    Worker *w = m_worker.get();
    {
        QMutexLocker lock(&w->mutex);
        w->busy = true;
    }
    QMetaObject::invokeMethod(
        w->home.get(),
        [this, w, job, proxy] {
            QByteArray bytes;
            if (!w->stopping) {
                HttpClient client;
                client.setMaxDocumentTime(20000);
                client.setConnectTimeout(15000);
                client.setProxy(proxy);
                w->current = &client;
                try {
                    bytes = fetchIcon(client, job, w->stopping);
                } catch (const std::exception &e) {
                    qCWarning(lcFeed, "fetching a site icon: %s", e.what());
                }
                w->current = nullptr;
            }
            if (!w->stopping)
                QMetaObject::invokeMethod(
                    this, [this, guid = job.guid, bytes] { done(guid, bytes); },
                    Qt::QueuedConnection);
            QMutexLocker lock(&w->mutex);
            w->busy = false;
            w->idle.wakeAll();
        },
        Qt::QueuedConnection);
}

void SiteIconFetcher::done(const QString &guid, const QByteArray &bytes)
{
    m_running.clear();
    emit fetched(guid, bytes);
    startNext();
}
