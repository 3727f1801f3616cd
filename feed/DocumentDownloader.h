#pragma once

#include "base/DownloadUi.h"
#include "feed/MakerSite.h"
#include "base/ProxySettings.h"

#include "feed/HttpClient.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class IReportSink;
class QSslCertificate;

// What a channel's download brought besides the document itself.
struct ChannelFetch
{
    int result = -1;          // as DownloadDocument's
    bool notModified = false; // a 304 to the conditional request: result 0, file untouched
    bool writeFailed = false; // result -1: the document came but its file could not be written
    HttpValidators validators;
    QString finalAddress; // where the document came from after redirects
    // Why the download failed, in Polish, for a message to the user ("serwer odpowiedział:
    // 404 Not Found"); empty on success and when the user cancelled.
    QString problem;
    // A 429 or 503 with a Retry-After: not to be asked before this time (local time).
    QDateTime retryNotBefore;
    // The document's items carry their read marks ("unread"), agreed with a synchronisation
    // server: they stand instead of the marks carried over by title.
    bool marksInDocument = false;
};

// The program's one network operation: fetches a document over HTTP or HTTPS into a file,
// reporting progress to the caller's status bar and progress bar and problems to the
// report sink. It holds the shared client `idHTTPClient`, so cookies and the open
// connection live as long as this object.
class DocumentDownloader : public QObject
{
    Q_OBJECT

public:
    // A body above this size is refused, so a hostile server cannot exhaust memory.
    static constexpr qint64 MaxDocumentBytes = 64ll * 1024 * 1024;

    explicit DocumentDownloader(QObject *parent = nullptr);
    ~DocumentDownloader() override;

    // Fetches `address` and writes the body into `targetFile` (lines re-ended with CR LF,
    // up to the first NUL), replacing the file only when the whole body arrived. Returns 0
    // on success, -1 otherwise; never raises. Refuses with -1, sending nothing, while
    // another call is in progress (the thread keeps serving events during a download).
    int DownloadDocument(const QString &address, const QString &targetFile, IDownloadUi *ui,
                         const QString &user, const QString &password);
    // DownloadDocument for a channel update: sends `conditions` (when not empty) after the
    // other header lines, and tells the validators of the reply, a 304, and the time a
    // server that refused with 429 or 503 asked to be left alone until, which is reported
    // with a line of its own.
    ChannelFetch FetchChannel(const QString &address, const QString &targetFile, IDownloadUi *ui,
                              const QString &user, const QString &password,
                              const HttpValidators &conditions);

    // Back to the request state of a new downloader (the Content-Type default, no cookies)
    // while keeping the open connection: a pool that reuses one downloader for many
    // channels sends each the very request a downloader of its own would.
    void startAfresh();

    bool busy() const { return m_busy; }
    // Ends a download in progress at its next wait (it returns -1 without a report line); a
    // stop request of the user can thus end a download that a slow server drags out.
    void cancel();

    void setReportSink(IReportSink *sink) { m_reportSink = sink; }
    // Read before every download (the settings dialog's live proxy controls).
    void setProxyProvider(std::function<ProxySettings()> provider);

    void setMaxDocumentBytes(qint64 bytes);
    void addTrustedCertificate(const QSslCertificate &certificate);

    HttpClient *idHTTPClient() const { return m_client; }

private:
    void download(const QString &address, const QString &targetFile, const QString &user,
                  const QString &password, const HttpValidators &conditions, ChannelFetch &fetch);
    void report(const QString &line);
    void reportRetryAfter(const QString &address, const HttpResult &response, ChannelFetch &fetch);

    HttpClient *m_client;
    IReportSink *m_reportSink = nullptr;
    IDownloadUi *m_ui = nullptr;
    std::function<ProxySettings()> m_proxyProvider;
    qint64 m_progressMaximum = 1;
    bool m_busy = false;
};
