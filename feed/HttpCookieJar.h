#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

// Cookies held in memory for the life of the client, keyed by the host of the request that
// set them ("Set-Cookie" and "Set-Cookie2"); Domain attributes are not honoured, so a cookie
// only goes back to the host it came from. Path, Secure, Max-Age and Expires are.
class HttpCookieJar
{
public:
    // `fields` are the reply's header fields, names in lower case.
    void store(const QUrl &url, const QList<QPair<QByteArray, QByteArray>> &fields);
    // The value of the Cookie header for a request of `url`; empty when none matches.
    QByteArray header(const QUrl &url) const;
    void clear() { m_jars.clear(); }

private:
    struct Cookie
    {
        QByteArray name;
        QByteArray value;
        QString path;
        bool secure = false;
        QDateTime expires; // invalid for a cookie of the session
    };

    QHash<QString, QList<Cookie>> m_jars; // by lower-case host
};
