#include "feed/HttpClient.h"

#include "feed/HttpClientParts.h"
#include "feed/HttpContentCoding.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace {

constexpr int MaxHeaderLines = 1000;
constexpr int MaxStrayEmptyLines = 8;

// "HTTP/1.1 200 OK": the protocol, a blank, exactly three digits, then a blank or nothing.
int statusCodeOf(const QByteArray &line)
{
    if (!line.startsWith("HTTP/"))
        return 0;
    const int blank = line.indexOf(' ');
    if (blank < 0 || line.size() < blank + 4)
        return 0;
    int code = 0;
    for (int i = blank + 1; i <= blank + 3; ++i) {
        const char c = line.at(i);
        if (c < '0' || c > '9')
            return 0;
        code = code * 10 + (c - '0');
    }
    if (line.size() > blank + 4 && line.at(blank + 4) != ' ')
        return 0;
    return code >= 100 ? code : 0;
}

QDeadlineTimer earliest(std::initializer_list<const QDeadlineTimer *> deadlines)
{
    QDeadlineTimer result(QDeadlineTimer::Forever);
    for (const QDeadlineTimer *deadline : deadlines)
        if (deadline && deadline->deadlineNSecs() < result.deadlineNSecs())
            result = *deadline;
    return result;
}

} // namespace

using namespace HttpWire;

HttpClient::HttpClient(QObject *parent) : QObject(parent)
{
    setObjectName(QStringLiteral("idHTTPClient"));
    m_idleLimit.setSingleShot(true);
    m_idleLimit.setInterval(IdleLimitMs);
    connect(&m_idleLimit, &QTimer::timeout, this, [this] {
        if (!m_inProgress)
            dropConnection(false);
    });
}

HttpClient::~HttpClient()
{
    dropConnection(false);
}

void HttpClient::resetRequestDefaults()
{
    m_contentType.clear();
    clearCredentials();
}

void HttpClient::setCredentials(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void HttpClient::clearCredentials()
{
    m_user.clear();
    m_password.clear();
    m_basicAuth = false;
}

void HttpClient::setLowSpeedLimit(qint64 bytes, int windowMs)
{
    m_lowSpeedBytes = bytes;
    m_lowSpeedWindowMs = windowMs;
}

void HttpClient::addTrustedCertificate(const QSslCertificate &certificate)
{
    if (!certificate.isNull())
        m_trusted.append(certificate);
}

void HttpClient::cancel()
{
    m_cancelled = true;
    wake();
}

void HttpClient::disconnectFromServer()
{
    if (!m_inProgress)
        dropConnection(true);
}

bool HttpClient::holdsConnection() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

void HttpClient::keepConnectionIdle()
{
    if (!m_socket)
        return;
    m_idleEnd = QDeadlineTimer(m_idleLimit.interval());
    m_idleLimit.start();
}

HttpResult HttpClient::get(const QString &address, const HttpValidators &conditions)
{
    HttpResult result;
    if (m_inProgress) {
        result.error = Error::Cancelled;
        return result;
    }
    m_inProgress = true;
    m_cancelled = false;
    m_idleLimit.stop();
    // A connection idle past the limit (its timer had no chance to run) is one the server
    // may be closing right now.
    if (m_idleEnd.hasExpired())
        dropConnection(false);
    m_idleEnd = QDeadlineTimer(QDeadlineTimer::Forever);
    m_documentDeadline = QDeadlineTimer(m_maxDocumentMs);
    // A value with a line break would smuggle header lines into the request.
    const auto safe = [](const QByteArray &value) {
        return std::none_of(value.cbegin(), value.cend(),
                            [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    };
    m_conditions.etag = safe(conditions.etag) ? conditions.etag : QByteArray();
    m_conditions.lastModified =
        safe(conditions.lastModified) ? conditions.lastModified : QByteArray();

    QUrl url(address.trimmed(), QUrl::TolerantMode);
    m_origin = url;
    for (int request = 1;; ++request) {
        Target target;
        result.finalAddress = url.toString();
        if (!Target::from(url, target)) {
            result.error = Error::BadAddress;
            break;
        }
        result.requestCount = request;
        result.statusCode = 0;
        result.statusLine.clear();
        QUrl next;
        const Error error = exchange(target, result, next);
        if (error != Error::None) {
            result.error = error;
            break;
        }
        if (next.isEmpty())
            break;
        if (request == MaxRequests) {
            result.body.clear(); // still redirected after the last allowed request
            break;
        }
        url = next;
    }
    if (!result.ok())
        result.body.clear();
    m_conditions = HttpValidators();
    m_inProgress = false;
    keepConnectionIdle();
    return result;
}

HttpResult::Error HttpClient::exchange(const Target &target, HttpResult &result, QUrl &redirectTo)
{
    ResponseHead head;
    Error error = sendAndReadHead(target, head, result);
    if (error != Error::None) {
        dropConnection(true);
        return error;
    }
    result.statusCode = head.status;
    result.statusLine = head.statusLine;
    m_cookies.store(target.url, head.fields);
    m_closeAfterResponse = head.connectionClose();

    if (head.status == 304 && !m_conditions.isEmpty()) {
        // The document is as the caller has it; a 304 has no body.
        result.notModified = true;
        result.validators.etag = head.value("etag").trimmed();
        result.validators.lastModified = head.value("last-modified").trimmed();
        if (m_closeAfterResponse)
            dropConnection(true);
        return Error::None;
    }

    const QByteArray location = head.value("location").trimmed();
    const bool redirect = (head.status / 100 == 3 && head.status != 304) || !location.isEmpty();
    const bool success = head.status / 100 == 2;
    if ((redirect && !location.isEmpty()) || !success) {
        // Not the document: read the body away within a short grace so the connection can
        // serve the next request; give the connection up when that does not work out.
        QDeadlineTimer grace(redirect ? RedirectBodyWaitMs : ErrorBodyWaitMs);
        if (readBody(head, nullptr, &grace) != Error::None)
            m_closeAfterResponse = true;
        if (m_closeAfterResponse)
            dropConnection(true);
        if (redirect && !location.isEmpty()) {
            redirectTo = target.url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
            return Error::None;
        }
        if (head.status == 429 || head.status == 503)
            result.retryAfter = head.value("retry-after").trimmed();
        return Error::StatusError;
    }

    result.validators.etag = head.value("etag").trimmed();
    result.validators.lastModified = head.value("last-modified").trimmed();
    error = readBody(head, &result.body, nullptr);
    if (error != Error::None || m_closeAfterResponse)
        dropConnection(true);
    if (error == Error::None)
        error = decodeBody(head, result);
    return error;
}

HttpResult::Error HttpClient::decodeBody(const ResponseHead &head, HttpResult &result) const
{
    using HttpContentCoding::Decoded;
    result.contentEncoding = head.value("content-encoding");
    switch (HttpContentCoding::DecodeBody(result.contentEncoding, result.body, m_maxBodyBytes)) {
    case Decoded::Ok:
        return Error::None;
    case Decoded::TooLarge:
        return Error::TooLarge;
    case Decoded::Damaged:
        return Error::Damaged;
    }
    return Error::Damaged;
}

HttpResult::Error HttpClient::sendAndReadHead(const Target &target, ResponseHead &head,
                                              HttpResult &result)
{
    for (int attempt = 0;; ++attempt) {
        bool reused = false;
        Error error = ensureConnection(target, reused, result);
        if (error != Error::None)
            return error;
        m_socket->write(requestHead(target));
        m_socket->flush();
        startSpeedWindow();
        bool sawAnyByte = false;
        error = readHead(head, sawAnyByte);
        // A kept-alive connection may have been closed by the server while idle: one retry.
        if (error == Error::ConnectionClosed && reused && !sawAnyByte && attempt == 0) {
            dropConnection(true);
            continue;
        }
        return error;
    }
}

HttpResult::Error HttpClient::readHead(ResponseHead &head, bool &sawAnyByte)
{
    int strayEmptyLines = 0;
    int interimReplies = 0;
    for (;;) {
        head = ResponseHead();
        QByteArray line;
        Error error = readLine(line);
        if (error != Error::None) {
            sawAnyByte = sawAnyByte || (m_socket && m_socket->bytesAvailable() > 0);
            return error;
        }
        sawAnyByte = true;
        if (line.isEmpty() && ++strayEmptyLines <= MaxStrayEmptyLines)
            continue;

        const int status = statusCodeOf(line);
        if (status == 0)
            return Error::ProtocolError;
        head.status = status;
        head.statusLine = line;

        for (int count = 0;; ++count) {
            error = readLine(line);
            if (error != Error::None)
                return error;
            if (line.isEmpty())
                break;
            if (count >= MaxHeaderLines)
                return Error::ProtocolError;
            if ((line.startsWith(' ') || line.startsWith('\t')) && !head.fields.isEmpty()) {
                head.fields.last().second += ' ' + line.trimmed();
                continue;
            }
            const int colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            head.fields.append(
                {line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
        // Interim replies (100 Continue and the like) are followed by the real one; a server
        // that sends nothing else would keep the download going for ever.
        if (status >= 100 && status < 200 && status != 101) {
            if (++interimReplies > MaxInterimReplies)
                return Error::ProtocolError;
            continue;
        }
        return Error::None;
    }
}

HttpResult::Error HttpClient::readLine(QByteArray &line, const QDeadlineTimer *overall)
{
    const qint64 limit = MaxLineLength + 2; // the line and its CR LF
    for (;;) {
        if (m_socket->canReadLine()) {
            line = m_socket->readLine(limit + 1);
            m_received += line.size();
            if (!line.endsWith('\n'))
                return Error::LineTooLong;
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
            return line.size() > MaxLineLength ? Error::LineTooLong : Error::None;
        }
        const qint64 have = m_socket->bytesAvailable();
        if (have > limit)
            return Error::LineTooLong;
        switch (waitForData(have, overall)) {
        case Wait::Data:
            continue;
        case Wait::Closed:
            return Error::ConnectionClosed;
        case Wait::TimedOut:
            return Error::ReadTimeout;
        case Wait::Cancelled:
            return Error::Cancelled;
        }
    }
}

HttpResult::Error HttpClient::readBody(const ResponseHead &head, QByteArray *keep,
                                       const QDeadlineTimer *overall)
{
    const bool chunked = head.value("transfer-encoding").toLower().contains("chunked");
    qint64 length = -1;
    if (head.hasBody() && !chunked) {
        const QByteArray text = head.value("content-length");
        bool valid = false;
        const qint64 declared = text.toLongLong(&valid);
        if (valid && declared >= 0)
            length = declared;
        else if (!text.isEmpty() && std::all_of(text.cbegin(), text.cend(),
                                                [](char c) { return c >= '0' && c <= '9'; }))
            length = std::numeric_limits<qint64>::max(); // digits beyond any size we take
    }

    if (keep)
        emit workBegin(head.hasBody() && length > 0 ? length : 0);
    struct EndOfWork
    {
        HttpClient *client;
        bool on;
        ~EndOfWork()
        {
            if (on)
                emit client->workEnd();
        }
    } endOfWork{this, keep != nullptr};

    if (!head.hasBody())
        return Error::None;
    qint64 total = 0;
    if (chunked) {
        emit status(QStringLiteral("Pobieranie..."));
        return readChunkedBody(keep, overall, total);
    }
    if (length >= 0) {
        if (keep) {
            if (length > m_maxBodyBytes)
                return Error::TooLarge;
            keep->reserve(length);
        }
        return readCounted(length, keep, overall, total, true);
    }
    m_closeAfterResponse = true; // the body ends with the connection
    return readCounted(-1, keep, overall, total, true);
}

HttpResult::Error HttpClient::readChunkedBody(QByteArray *keep, const QDeadlineTimer *overall,
                                              qint64 &total)
{
    QByteArray line;
    for (;;) {
        Error error = readLine(line, overall);
        if (error != Error::None)
            return error;
        const int extension = line.indexOf(';');
        const QByteArray sizeText = (extension >= 0 ? line.left(extension) : line).trimmed();
        bool valid = false;
        const qint64 size = sizeText.toLongLong(&valid, 16);
        if (!valid || size < 0)
            return Error::ProtocolError;
        if (size == 0) {
            // Trailer fields up to the empty line; a server that closes here has sent all.
            for (int count = 0;; ++count) {
                error = readLine(line, overall);
                if (error == Error::ConnectionClosed)
                    return Error::None;
                if (error != Error::None)
                    return error;
                if (line.isEmpty())
                    return Error::None;
                if (count >= MaxHeaderLines)
                    return Error::ProtocolError;
            }
        }
        if (keep && size > m_maxBodyBytes - total)
            return Error::TooLarge;
        error = readCounted(size, keep, overall, total, false);
        if (error != Error::None)
            return error;
        error = readLine(line, overall);
        if (error != Error::None)
            return error;
        if (!line.isEmpty())
            return Error::ProtocolError;
    }
}

HttpResult::Error HttpClient::readCounted(qint64 count, QByteArray *keep,
                                          const QDeadlineTimer *overall, qint64 &total,
                                          bool closeEndsBody)
{
    qint64 remaining = count; // below 0: until the server closes
    for (;;) {
        if (remaining == 0)
            return Error::None;
        const qint64 available = m_socket->bytesAvailable();
        if (available > 0) {
            const qint64 take = remaining < 0 ? available : qMin(available, remaining);
            const Error error = takeBytes(take, keep, total);
            if (error != Error::None)
                return error;
            if (remaining > 0)
                remaining -= take;
            continue;
        }
        switch (waitForData(0, overall)) {
        case Wait::Data:
            continue;
        case Wait::Closed:
            if (!closeEndsBody)
                return Error::ConnectionClosed;
            m_closeAfterResponse = true;
            return Error::None;
        case Wait::TimedOut:
            return Error::ReadTimeout;
        case Wait::Cancelled:
            return Error::Cancelled;
        }
    }
}

HttpResult::Error HttpClient::takeBytes(qint64 count, QByteArray *keep, qint64 &total)
{
    if (!keep) {
        const qint64 skipped = m_socket->skip(count);
        m_received += qMax<qint64>(skipped, 0);
        total += qMax<qint64>(skipped, 0);
        return Error::None;
    }
    if (count > m_maxBodyBytes - total)
        return Error::TooLarge;
    const qsizetype old = keep->size();
    keep->resize(old + count);
    const qint64 got = m_socket->read(keep->data() + old, count);
    if (got < count)
        keep->resize(old + qMax<qint64>(got, 0));
    m_received += qMax<qint64>(got, 0);
    total += qMax<qint64>(got, 0);
    emit work(total);
    return Error::None;
}

HttpClient::Wait HttpClient::waitForData(qint64 have, const QDeadlineTimer *overall)
{
    QTcpSocket *socket = m_socket.get();
    const QDeadlineTimer silence(ReadTimeoutMs);
    for (;;) {
        if (tooSlow())
            return Wait::TimedOut;
        waitUntil(
            [socket, have] {
                return socket->bytesAvailable() > have ||
                       socket->state() != QAbstractSocket::ConnectedState;
            },
            earliest({&silence, overall, &m_windowEnd, &m_documentDeadline}));
        if (m_cancelled)
            return Wait::Cancelled;
        if (socket->bytesAvailable() > have)
            return Wait::Data;
        if (socket->state() != QAbstractSocket::ConnectedState)
            return Wait::Closed;
        if (silence.hasExpired() || (overall && overall->hasExpired()) ||
            m_documentDeadline.hasExpired())
            return Wait::TimedOut;
        // Only the speed window ended: tooSlow() judges it.
    }
}

void HttpClient::startSpeedWindow()
{
    m_received = 0;
    m_windowStart = 0;
    m_windowEnd = QDeadlineTimer(m_lowSpeedWindowMs);
}

bool HttpClient::tooSlow()
{
    if (m_documentDeadline.hasExpired())
        return true;
    if (!m_windowEnd.hasExpired())
        return false;
    const qint64 arrived = m_received + (m_socket ? m_socket->bytesAvailable() : 0);
    if (arrived - m_windowStart < m_lowSpeedBytes)
        return true;
    m_windowStart = arrived;
    m_windowEnd = QDeadlineTimer(m_lowSpeedWindowMs);
    return false;
}

bool HttpClient::waitUntil(const std::function<bool()> &done, const QDeadlineTimer &deadline)
{
    if (done())
        return true;
    // Every wait runs the thread's events. The loop wakes on the socket's and the lookup's
    // signals, on cancel() and at the deadline; nothing else can change what it waits for.
    QEventLoop loop;
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    QTimer atDeadline;
    atDeadline.setSingleShot(true);
    atDeadline.setTimerType(Qt::PreciseTimer);
    connect(&atDeadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool reached = false;
    for (;;) {
        if (done()) {
            reached = true;
            break;
        }
        if (m_cancelled || deadline.hasExpired())
            break;
        const qint64 left = deadline.remainingTime();
        if (left >= 0)
            atDeadline.start(int(qMin<qint64>(left + 1, std::numeric_limits<int>::max())));
        loop.exec();
    }
    m_loop = outer;
    // A wake that came while this inner wait ran was meant for the outer one as well.
    if (outer)
        outer->quit();
    return reached;
}

void HttpClient::wake()
{
    if (m_loop)
        m_loop->quit();
}

void HttpClient::dropConnection(bool announce)
{
    m_key.reset();
    m_idleLimit.stop();
    if (!m_socket)
        return;
    if (announce)
        emit status(QStringLiteral("Rozłączanie."));
    m_socket->disconnect(this);
    m_socket->abort();
    m_socket.reset();
    if (announce)
        emit status(QStringLiteral("Rozłączono."));
}

bool HttpClient::sendsAuthorization(const Target &target) const
{
    if (!m_basicAuth || m_user.isEmpty())
        return false;
    if (!m_protectedAddress.isEmpty() &&
        target.url.toString().contains(m_protectedAddress, Qt::CaseInsensitive))
        return false;
    // Credentials follow redirects only on the same host, and never from TLS to plain text.
    if (target.host.compare(m_origin.host(QUrl::FullyEncoded), Qt::CaseInsensitive) != 0)
        return false;
    return target.tls ||
           m_origin.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
}

QByteArray HttpClient::requestHead(const Target &target) const
{
    const bool viaProxy = m_proxy.active() && !target.tls;
    const QByteArray port = QByteArray::number(target.port);
    QByteArray head;
    head.reserve(512);
    head += "GET ";
    if (viaProxy)
        head += target.scheme.toLatin1() + "://" + hostText(target.host) + ':' + port;
    head += target.path;
    head += " HTTP/1.1\r\n";
    if (!m_contentType.isEmpty())
        head += "Content-Type: " + m_contentType.toLatin1() + "\r\n";
    head += "Host: " + hostText(target.host);
    if (target.port != defaultPort(target.scheme))
        head += ':' + port;
    head += "\r\nAccept: ";
    head += AcceptedTypes;
    head += "\r\nAccept-Encoding: ";
    head += HttpContentCoding::Accepted;
    head += "\r\nUser-Agent: ";
    head += UserAgent;
    head += "\r\n";
    if (sendsAuthorization(target))
        head += "Authorization: " + basicCredentials(m_user, m_password) + "\r\n";
    if (viaProxy && !m_proxy.user.isEmpty())
        head += "Proxy-Authorization: " + basicCredentials(m_proxy.user, m_proxy.password) + "\r\n";
    const QByteArray cookies = m_cookies.header(target.url);
    if (!cookies.isEmpty())
        head += "Cookie: " + cookies + "\r\n";
    if (!m_conditions.etag.isEmpty())
        head += "If-None-Match: " + m_conditions.etag + "\r\n";
    if (!m_conditions.lastModified.isEmpty())
        head += "If-Modified-Since: " + m_conditions.lastModified + "\r\n";
    head += "\r\n";
    return head;
}
