#pragma once

#include "feed/HttpCookieJar.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class QEventLoop;
class QHostAddress;
class QTcpSocket;

// A proxy the client sends its requests through; inactive while `host` is empty.
struct HttpProxy
{
    QString host;
    quint16 port = 0;
    QString user; // proxy Basic authentication exactly when not empty
    QString password;

    bool active() const { return !host.isEmpty(); }
};

// The validators of a document as its server sent them (ETag, Last-Modified), and as a
// conditional request sends them back (If-None-Match, If-Modified-Since).
struct HttpValidators
{
    QByteArray etag;
    QByteArray lastModified;

    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
    bool operator==(const HttpValidators &o) const
    {
        return etag == o.etag && lastModified == o.lastModified;
    }
    bool operator!=(const HttpValidators &o) const { return !(*this == o); }
};

// How one GET ended. Only `Ok` carries a document.
struct HttpResult
{
    enum class Error {
        None,
        BadAddress, // not an absolute http/https address
        HostNotFound,
        ConnectFailed,    // refused, unreachable, or no connection within the connect time-out
        ReadTimeout,      // no data for ReadTimeout, or too little for too long
        ConnectionClosed, // closed before a complete status line and head
        LineTooLong,      // a status, header or chunk-size line over MaxLineLength
        ProtocolError,    // a reply that is not HTTP, or a broken chunked body
        StatusError,      // a final status outside 2xx that is not a followed redirect
        CertificateError, // the TLS peer could not be verified
        TlsError,         // TLS unavailable or the handshake failed for another reason
        ProxyError,       // the proxy refused to open a tunnel
        TooLarge,         // the body, or the document it decodes to, exceeds the body limit
        Damaged,          // a compressed body that is broken or cut short
        Cancelled,
    };

    Error error = Error::None;
    int statusCode = 0;
    QByteArray statusLine; // the first line of the final reply as received, without CR LF
    QByteArray body;
    QString host;   // host the failure concerns (certificate errors)
    QString detail; // reason text for certificate and TLS errors
    QString finalAddress;
    int requestCount = 0;
    // A conditional request answered with 304: no error, no body, the document is unchanged.
    bool notModified = false;
    HttpValidators validators; // of the final 2xx reply; empty values when it had none
    QByteArray retryAfter;     // the Retry-After of a final 429 or 503 reply, as sent
    // The Content-Encoding of the final reply as sent; `body` is the decoded document.
    QByteArray contentEncoding;

    bool ok() const { return error == Error::None; }
};

// A small HTTP/1.1 client on Qt sockets with the behaviour of the program's download
// component: a fixed request head, pre-emptive Basic authentication, cookies held for the
// life of the object, redirects, persistent connections, "https" with verified
// certificates, and bodies compressed with gzip or deflate decoded. A request blocks its caller but runs a nested event loop, so timers, input
// and repaints of the calling thread are served as they come while it waits.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int ReadTimeoutMs = 6000;
    static constexpr int ConnectTimeoutMs = 120000;
    static constexpr int MaxRequests = 15; // per document, redirects included
    static constexpr int MaxLineLength = 16384;
    static constexpr int RedirectBodyWaitMs = 4000;
    static constexpr int ErrorBodyWaitMs = 2000;
    static constexpr int MaxInterimReplies = 16; // "100 Continue" and the like per request
    // A kept connection idle this long is closed: below the 5 s most servers allow, so that
    // it is rarely the server that closes first.
    static constexpr int IdleLimitMs = 4000;
    // A server that trickles keeps every single wait short of the read time-out; a reply
    // must bring at least this many bytes in every window of this length instead, and one
    // document may take no longer than the last figure, redirects included.
    static constexpr qint64 DefaultLowSpeedBytes = 1024;
    static constexpr int DefaultLowSpeedWindowMs = 60000;
    static constexpr int DefaultMaxDocumentMs = 30 * 60000;
    static constexpr const char *AcceptedTypes = "text/html, */*";
    static constexpr const char *UserAgent = "Mozilla/3.0 (compatible; Indy Library)";
    static constexpr const char *DefaultContentType = "text/html";

    explicit HttpClient(QObject *parent = nullptr);
    ~HttpClient() override;

    // Fetches `address` with GET, following redirects, and returns the final body in memory.
    // With validators the request is conditional: they go after the other header lines,
    // and a 304 reply ends it with `notModified`. Without them the request is as always and
    // a 304 is a status error.
    HttpResult get(const QString &address, const HttpValidators &conditions = HttpValidators());

    // Ends a request in progress at its next wait; it returns Error::Cancelled.
    void cancel();
    bool inProgress() const { return m_inProgress; }

    // Back to the head defaults: no Content-Type, no authentication.
    void resetRequestDefaults();
    void setContentType(const QString &contentType) { m_contentType = contentType; }
    QString contentType() const { return m_contentType; }

    // Credentials go out pre-emptively on every request while Basic authentication is on.
    void setCredentials(const QString &user, const QString &password);
    void setBasicAuthentication(bool on) { m_basicAuth = on; }
    void clearCredentials();

    // Credentials are never sent to an address that contains this text.
    void setProtectedAddress(const QString &text) { m_protectedAddress = text; }

    void setProxy(const HttpProxy &proxy) { m_proxy = proxy; }
    void clearProxy() { m_proxy = HttpProxy(); }
    const HttpProxy &proxy() const { return m_proxy; }

    // Bodies kept in memory larger than this fail with Error::TooLarge, before decoding
    // and after it.
    void setMaxBodyBytes(qint64 bytes) { m_maxBodyBytes = bytes; }
    qint64 maxBodyBytes() const { return m_maxBodyBytes; }

    // Fewer than `bytes` received in `windowMs` while a reply is due fails with ReadTimeout.
    void setLowSpeedLimit(qint64 bytes, int windowMs);
    // A whole get() taking longer than this fails with ReadTimeout.
    void setMaxDocumentTime(int ms) { m_maxDocumentMs = ms; }
    // Name lookup and connect together may take this long (ConnectTimeoutMs by default).
    void setConnectTimeout(int ms) { m_connectTimeoutMs = ms; }

    // An extra certificate authority (or self-signed server certificate) to trust.
    void addTrustedCertificate(const QSslCertificate &certificate);

    // Drops the persistent connection, if any.
    void disconnectFromServer();
    // How long a kept connection may stay idle (IdleLimitMs unless set).
    void setIdleLimit(int ms) { m_idleLimit.setInterval(ms); }
    // Forgets the cookies of earlier replies; the open connection stays.
    void clearCookies() { m_cookies.clear(); }
    // True while a connection from an earlier request is open and may serve the next one.
    bool holdsConnection() const;

signals:
    void status(const QString &text);
    void connected();
    void workBegin(qint64 expectedBytes);
    void work(qint64 bytesSoFar);
    void workEnd();

private:
    struct Target;
    struct ConnectionKey;
    struct ResponseHead;
    enum class Wait { Data, Closed, TimedOut, Cancelled };
    using Error = HttpResult::Error;

    Error exchange(const Target &target, HttpResult &result, QUrl &redirectTo);
    Error sendAndReadHead(const Target &target, ResponseHead &head, HttpResult &result);
    Error decodeBody(const ResponseHead &head, HttpResult &result) const;
    Error ensureConnection(const Target &target, bool &reused, HttpResult &result);
    Error openSocket(const QString &host, quint16 port, bool tls);
    Error connectToAddresses(const QList<QHostAddress> &addresses, quint16 port, bool tls,
                             const QDeadlineTimer &deadline);
    Error lookupHost(const QString &host, QList<QHostAddress> &addresses,
                     const QDeadlineTimer &deadline);
    Error openTunnel(const Target &target, HttpResult &result);
    Error startEncryption(const QString &peerName, HttpResult &result);
    Error readHead(ResponseHead &head, bool &sawAnyByte);
    Error readLine(QByteArray &line, const QDeadlineTimer *overall = nullptr);
    Error readBody(const ResponseHead &head, QByteArray *keep, const QDeadlineTimer *overall);
    Error readChunkedBody(QByteArray *keep, const QDeadlineTimer *overall, qint64 &total);
    Error readCounted(qint64 count, QByteArray *keep, const QDeadlineTimer *overall, qint64 &total,
                      bool closeEndsBody);
    Error takeBytes(qint64 count, QByteArray *keep, qint64 &total);
    Wait waitForData(qint64 have, const QDeadlineTimer *overall);
    bool tooSlow();
    void startSpeedWindow();
    bool waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline);
    void wake();
    void dropConnection(bool announce);
    void keepConnectionIdle();

    QByteArray requestHead(const Target &target) const;
    bool sendsAuthorization(const Target &target) const;

    QString m_protectedAddress;
    QString m_contentType = QString::fromLatin1(DefaultContentType);
    QString m_user;
    QString m_password;
    bool m_basicAuth = false;
    HttpProxy m_proxy;
    qint64 m_maxBodyBytes = 64ll * 1024 * 1024;
    qint64 m_lowSpeedBytes = DefaultLowSpeedBytes;
    int m_lowSpeedWindowMs = DefaultLowSpeedWindowMs;
    int m_maxDocumentMs = DefaultMaxDocumentMs;
    int m_connectTimeoutMs = ConnectTimeoutMs;
    QList<QSslCertificate> m_trusted;

    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<ConnectionKey> m_key;
    bool m_closeAfterResponse = false;
    QTimer m_idleLimit; // closes the kept connection once it has been idle too long
    QDeadlineTimer m_idleEnd{QDeadlineTimer::Forever}; // the same, for a thread that was busy
    QStringList m_sslErrors;

    QUrl m_origin;               // the address a get() started with, for the credential rules
    HttpValidators m_conditions; // of the get() in progress
    QDeadlineTimer m_documentDeadline{QDeadlineTimer::Forever};
    QDeadlineTimer m_windowEnd{QDeadlineTimer::Forever};
    qint64 m_received = 0;    // bytes taken from the socket since the request was sent
    qint64 m_windowStart = 0; // m_received when the current window began
    HttpCookieJar m_cookies;

    QEventLoop *m_loop = nullptr;
    bool m_cancelled = false;
    bool m_inProgress = false;
};
