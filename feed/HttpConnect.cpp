#include "feed/HttpClientParts.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTcpSocket>

// Opening connections: name lookup, connect, proxy tunnel and TLS.

using namespace HttpWire;

namespace {

// The reason for a report line, in the program's language where the problem is a common one.
QString certificateProblem(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return QStringLiteral("certyfikat podpisany samodzielnie, niezaufany");
    case QSslError::CertificateExpired:
        return QStringLiteral("certyfikat wygasł");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("certyfikat jeszcze nie obowiązuje");
    case QSslError::HostNameMismatch:
        return QStringLiteral("certyfikat wystawiono dla innej nazwy");
    case QSslError::CertificateRevoked:
        return QStringLiteral("certyfikat unieważniony");
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("nieznany lub niezaufany wystawca certyfikatu");
    default:
        return error.errorString();
    }
}

} // namespace

HttpResult::Error HttpClient::ensureConnection(const Target &target, bool &reused,
                                               HttpResult &result)
{
    ConnectionKey key;
    if (m_proxy.active()) {
        key.host = m_proxy.host;
        key.port = m_proxy.port;
        if (target.tls) {
            key.tls = true;
            key.tunnelHost = target.host;
            key.tunnelPort = target.port;
        }
    } else {
        key.host = target.host;
        key.port = target.port;
        key.tls = target.tls;
    }

    if (m_socket && m_key && *m_key == key && !m_closeAfterResponse &&
        m_socket->state() == QAbstractSocket::ConnectedState && m_socket->bytesAvailable() == 0) {
        reused = true;
        return Error::None;
    }
    if (m_socket)
        dropConnection(true);
    m_closeAfterResponse = false;

    const bool tunnel = !key.tunnelHost.isEmpty();
    Error error = openSocket(key.host, key.port, key.tls);
    if (error == Error::None) {
        error = tunnel ? openTunnel(target, result)
                       : (key.tls ? startEncryption(target.host, result) : Error::None);
    }
    if (error != Error::None) {
        dropConnection(m_socket != nullptr);
        return error;
    }
    m_key = std::make_unique<ConnectionKey>(key);
    return Error::None;
}

HttpResult::Error HttpClient::openSocket(const QString &host, quint16 port, bool tls)
{
    // One budget for the lookup and the connect: a slow name server leaves less to connect.
    const QDeadlineTimer deadline(m_connectTimeoutMs);
    QList<QHostAddress> addresses;
    const QHostAddress numeric(host);
    if (!numeric.isNull()) {
        addresses.append(numeric);
    } else {
        emit status(QStringLiteral("Znajdowanie adresu %1.").arg(host));
        const Error error = lookupHost(host, addresses, deadline);
        if (error != Error::None)
            return error;
    }
    return connectToAddresses(addresses, port, tls, deadline);
}

HttpResult::Error HttpClient::lookupHost(const QString &host, QList<QHostAddress> &addresses,
                                         const QDeadlineTimer &deadline)
{
    // The answer may come after a time-out or a cancel: the callback owns what it writes to.
    struct Lookup
    {
        bool done = false;
        QList<QHostAddress> addresses;
    };
    auto lookup = std::make_shared<Lookup>();
    const int id = QHostInfo::lookupHost(host, this, [this, lookup](const QHostInfo &info) {
        lookup->done = true;
        if (info.error() == QHostInfo::NoError)
            lookup->addresses = info.addresses();
        wake();
    });
    waitUntil([&] { return lookup->done; }, deadline);
    if (!lookup->done) {
        QHostInfo::abortHostLookup(id);
        return m_cancelled ? Error::Cancelled : Error::HostNotFound;
    }
    if (lookup->addresses.isEmpty())
        return Error::HostNotFound;
    addresses = lookup->addresses;
    return Error::None;
}

HttpResult::Error HttpClient::connectToAddresses(const QList<QHostAddress> &addresses, quint16 port,
                                                 bool tls, const QDeadlineTimer &deadline)
{
    for (const QHostAddress &address : addresses) {
        if (deadline.hasExpired() || m_cancelled)
            break;
        emit status(QStringLiteral("Łączenie z %1.").arg(address.toString()));
        if (tls) {
            auto socket = std::make_unique<QSslSocket>();
            QSslConfiguration config = socket->sslConfiguration();
            config.setPeerVerifyMode(QSslSocket::VerifyPeer);
            if (!m_trusted.isEmpty())
                config.setCaCertificates(QSslConfiguration::systemCaCertificates() + m_trusted);
            socket->setSslConfiguration(config);
            connect(socket.get(), &QSslSocket::encrypted, this, &HttpClient::wake);
            connect(socket.get(), &QSslSocket::sslErrors, this,
                    [this](const QList<QSslError> &errors) {
                        for (const QSslError &error : errors) {
                            const QString reason = certificateProblem(error);
                            if (!m_sslErrors.contains(reason))
                                m_sslErrors.append(reason);
                        }
                        wake();
                    });
            m_socket = std::move(socket);
        } else {
            m_socket = std::make_unique<QTcpSocket>();
        }
        QTcpSocket *socket = m_socket.get();
        connect(socket, &QTcpSocket::readyRead, this, &HttpClient::wake);
        connect(socket, &QTcpSocket::stateChanged, this, &HttpClient::wake);
        connect(socket, &QTcpSocket::errorOccurred, this, &HttpClient::wake);
        socket->connectToHost(address, port);
        waitUntil(
            [socket] {
                const auto state = socket->state();
                return state == QAbstractSocket::ConnectedState ||
                       state == QAbstractSocket::UnconnectedState;
            },
            deadline);
        if (socket->state() == QAbstractSocket::ConnectedState) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            emit status(QStringLiteral("Połączono."));
            emit connected();
            return Error::None;
        }
        dropConnection(false);
    }
    return m_cancelled ? Error::Cancelled : Error::ConnectFailed;
}

HttpResult::Error HttpClient::openTunnel(const Target &target, HttpResult &result)
{
    const QByteArray authority = hostText(target.host) + ':' + QByteArray::number(target.port);
    QByteArray request = "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority +
                         "\r\nUser-Agent: " + UserAgent + "\r\n";
    if (!m_proxy.user.isEmpty())
        request +=
            "Proxy-Authorization: " + basicCredentials(m_proxy.user, m_proxy.password) + "\r\n";
    request += "\r\n";
    m_socket->write(request);
    m_socket->flush();
    startSpeedWindow();

    ResponseHead head;
    bool sawAnyByte = false;
    const Error error = readHead(head, sawAnyByte);
    if (error != Error::None)
        return error;
    if (head.status / 100 != 2) {
        result.statusCode = head.status;
        result.statusLine = head.statusLine;
        return Error::ProxyError;
    }
    return startEncryption(target.host, result);
}

HttpResult::Error HttpClient::startEncryption(const QString &peerName, HttpResult &result)
{
    auto *socket = static_cast<QSslSocket *>(m_socket.get());
    if (!QSslSocket::supportsSsl()) {
        result.host = peerName;
        result.detail = QStringLiteral("TLS unavailable");
        return Error::TlsError;
    }
    m_sslErrors.clear();
    socket->setPeerVerifyName(peerName);
    socket->startClientEncryption();
    waitUntil(
        [socket] {
            return socket->isEncrypted() || socket->state() != QAbstractSocket::ConnectedState;
        },
        QDeadlineTimer(ReadTimeoutMs));
    if (socket->isEncrypted())
        return Error::None;
    if (m_cancelled)
        return Error::Cancelled;
    result.host = peerName;
    if (!m_sslErrors.isEmpty()) {
        result.detail = m_sslErrors.join(QStringLiteral("; "));
        return Error::CertificateError;
    }
    if (socket->state() == QAbstractSocket::ConnectedState)
        return Error::ReadTimeout;
    result.detail = socket->errorString();
    return Error::TlsError;
}
