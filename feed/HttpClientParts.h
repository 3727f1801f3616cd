#pragma once

// Pieces of the HTTP client shared by its source files; not for use elsewhere.

#include "feed/HttpClient.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace HttpWire {

inline int defaultPort(const QString &scheme)
{
    return scheme == QLatin1String("https") ? 443 : 80;
}

// IPv6 literals need brackets wherever a host and a port meet.
inline QByteArray hostText(const QString &host)
{
    const QByteArray text = host.toLatin1();
    return host.contains(QLatin1Char(':')) ? '[' + text + ']' : text;
}

inline QByteArray basicCredentials(const QString &user, const QString &password)
{
    return "Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64();
}

} // namespace HttpWire

struct HttpClient::Target
{
    QUrl url;
    QString scheme;
    QString host;
    quint16 port = 0;
    bool tls = false;
    QByteArray path; // path and query as they go on the request line without a proxy

    static bool from(const QUrl &url, Target &target)
    {
        if (!url.isValid() || url.isRelative())
            return false;
        target.url = url;
        target.scheme = url.scheme().toLower();
        if (target.scheme != QLatin1String("http") && target.scheme != QLatin1String("https"))
            return false;
        target.host = url.host(QUrl::FullyEncoded);
        if (target.host.isEmpty())
            return false;
        const int port = url.port(HttpWire::defaultPort(target.scheme));
        if (port <= 0 || port > 65535)
            return false;
        target.port = quint16(port);
        target.tls = target.scheme == QLatin1String("https");
        target.path = url.path(QUrl::FullyEncoded).toLatin1();
        if (target.path.isEmpty())
            target.path = "/";
        if (url.hasQuery())
            target.path += '?' + url.query(QUrl::FullyEncoded).toLatin1();
        return true;
    }
};

// Where a socket leads: the server itself, or a proxy (with a tunnel for "https").
struct HttpClient::ConnectionKey
{
    QString host;
    quint16 port = 0;
    bool tls = false;
    QString tunnelHost;
    quint16 tunnelPort = 0;

    bool operator==(const ConnectionKey &other) const
    {
        return host == other.host && port == other.port && tls == other.tls &&
               tunnelHost == other.tunnelHost && tunnelPort == other.tunnelPort;
    }
};

struct HttpClient::ResponseHead
{
    int status = 0;
    QByteArray statusLine;
    QList<QPair<QByteArray, QByteArray>> fields; // names in lower case

    QByteArray value(const char *name) const
    {
        for (const auto &field : fields)
            if (field.first == name)
                return field.second;
        return QByteArray();
    }

    bool connectionClose() const
    {
        for (const auto &field : fields) {
            if (field.first != "connection")
                continue;
            for (const QByteArray &token : field.second.split(','))
                if (token.trimmed().toLower() == "close")
                    return true;
        }
        return false;
    }

    bool hasBody() const { return status != 204 && status != 304 && status >= 200; }
};
