#pragma once

#include "base/ProxySettings.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A channel's site icon: looked for with the channel's update, kept in data/icons/<GUID>.ico,
// looked for again after a week. Bytes only: drawing them is the window's business.
namespace SiteIcons {

inline constexpr qint64 MaxIconBytes = 256 * 1024;
inline constexpr qint64 MaxPageBytes = 1024 * 1024;
inline constexpr int RefreshDays = 7;
// Addresses tried per channel at most, the page's own icons and /favicon.ico included.
inline constexpr int MaxCandidates = 4;

// The page that speaks for the channel's site: its link when that is a web address, else the
// root of the feed's own site; empty when neither is one.
QString SitePage(const QString &link, const QString &feedUrl);
// Where the icon may be, best first, each once: what the page names (read from `pageAddress`
// after redirects), then /favicon.ico of that site and of the feed's site.
QStringList Candidates(const QByteArray &page, const QString &pageAddress, const QString &feedUrl);
// Bytes in one of the raster formats icons come in (ICO, PNG, GIF, JPEG, BMP, WebP): not a web
// page a server sends instead with status 200, not a vector picture.
bool LooksLikeIcon(const QByteArray &bytes);
// No file for the channel yet, or one older than RefreshDays (a file from the future too).
bool Due(const QString &iconFile, const QDateTime &now);
// Keeps the icon; empty bytes remember that the site has none, so it is not asked again
// before the week is over. Raises FileError; the old file then stays.
void Store(const QString &iconFile, const QByteArray &bytes);

} // namespace SiteIcons

// Fetches site icons on a thread of its own with the program's HTTP client (its proxy,
// time-outs and size limits), one channel after another, so neither a run nor the window
// waits for them. Results come back on the thread that made the fetcher.
class SiteIconFetcher : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        QString guid;
        QString link;
        QString feedUrl;
    };

    explicit SiteIconFetcher(QObject *parent = nullptr);
    // Stops the request in progress and drops the queue.
    ~SiteIconFetcher() override;

    // Read in this thread when a job starts.
    void setProxyProvider(std::function<ProxySettings()> provider);
    // Queued; a channel already waiting or being fetched is not asked twice.
    void request(const Job &job);
    // Jobs queued or in progress.
    int pending() const;

signals:
    // Bytes that look like an icon, or empty when the site gave none.
    void fetched(const QString &guid, const QByteArray &bytes);

private:
    struct Worker;
    void startNext();
    void done(const QString &guid, const QByteArray &bytes);

    std::unique_ptr<Worker> m_worker;
    std::function<ProxySettings()> m_proxyProvider;
    QList<Job> m_queue;
    QString m_running; // the GUID in progress, empty when idle
};
