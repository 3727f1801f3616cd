#include "feed/HttpCookieJar.h"

#include <QLocale>

#include <algorithm>

namespace {

constexpr int MaxCookiesPerHost = 100;
constexpr int MaxCookieBytes = 4096;

QDateTime parseCookieDate(const QByteArray &text)
{
    const QString value = QString::fromLatin1(text).trimmed();
    QDateTime date = QDateTime::fromString(value, Qt::RFC2822Date);
    if (date.isValid())
        return date;
    // "Wed, 21 Oct 2015 07:28:00 GMT" and the older forms with dashes.
    for (const char *format : {"ddd, dd MMM yyyy hh:mm:ss 'GMT'", "ddd, dd-MMM-yyyy hh:mm:ss 'GMT'",
                               "dddd, dd-MMM-yy hh:mm:ss 'GMT'"}) {
        date = QLocale::c().toDateTime(value, QString::fromLatin1(format));
        if (date.isValid()) {
            date.setTimeSpec(Qt::UTC);
            return date;
        }
    }
    return QDateTime();
}

QString defaultCookiePath(const QUrl &url)
{
    const QString path = url.path();
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

// A control character (other than a tab) would travel back inside our Cookie header line.
bool hasControlCharacter(const QByteArray &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

bool cookiePathMatches(const QString &cookiePath, const QString &requestPath)
{
    if (requestPath == cookiePath)
        return true;
    if (!requestPath.startsWith(cookiePath))
        return false;
    return cookiePath.endsWith(QLatin1Char('/')) ||
           requestPath.at(cookiePath.size()) == QLatin1Char('/');
}

} // namespace

void HttpCookieJar::store(const QUrl &url, const QList<QPair<QByteArray, QByteArray>> &fields)
{
    const QString host = url.host(QUrl::FullyEncoded).toLower();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const auto &field : fields) {
        if (field.first != "set-cookie" && field.first != "set-cookie2")
            continue;
        if (field.second.size() > MaxCookieBytes || hasControlCharacter(field.second))
            continue;
        const QList<QByteArray> parts = field.second.split(';');
        const QByteArray pair = parts.first();
        const int equals = pair.indexOf('=');
        if (equals <= 0)
            continue;
        Cookie cookie;
        cookie.name = pair.left(equals).trimmed();
        cookie.value = pair.mid(equals + 1).trimmed();
        cookie.path = defaultCookiePath(url);
        bool remove = false;
        bool hasMaxAge = false;
        for (int i = 1; i < parts.size(); ++i) {
            const QByteArray attribute = parts.at(i).trimmed();
            const int sep = attribute.indexOf('=');
            const QByteArray name = (sep < 0 ? attribute : attribute.left(sep)).trimmed().toLower();
            const QByteArray value = sep < 0 ? QByteArray() : attribute.mid(sep + 1).trimmed();
            if (name == "path" && value.startsWith('/')) {
                cookie.path = QString::fromLatin1(value);
            } else if (name == "secure") {
                cookie.secure = true;
            } else if (name == "max-age") {
                bool valid = false;
                const qint64 seconds = value.toLongLong(&valid);
                if (valid) {
                    hasMaxAge = true;
                    remove = seconds <= 0;
                    cookie.expires = now.addSecs(seconds);
                }
            } else if (name == "expires" && !hasMaxAge) {
                const QDateTime expires = parseCookieDate(value);
                if (expires.isValid()) {
                    cookie.expires = expires;
                    remove = expires <= now;
                }
            }
        }
        QList<Cookie> &jar = m_jars[host];
        jar.removeIf([&cookie](const Cookie &held) {
            return held.name == cookie.name && held.path == cookie.path;
        });
        if (remove)
            continue;
        if (jar.size() >= MaxCookiesPerHost)
            jar.removeFirst();
        jar.append(cookie);
    }
}

QByteArray HttpCookieJar::header(const QUrl &url) const
{
    const auto found = m_jars.constFind(url.host(QUrl::FullyEncoded).toLower());
    if (found == m_jars.constEnd())
        return QByteArray();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QString path = url.path().isEmpty() ? QStringLiteral("/") : url.path();
    QByteArray header;
    for (const Cookie &cookie : *found) {
        if (cookie.secure && !secure)
            continue;
        if (cookie.expires.isValid() && cookie.expires <= now)
            continue;
        if (!cookiePathMatches(cookie.path, path))
            continue;
        if (!header.isEmpty())
            header += "; ";
        header += cookie.name + '=' + cookie.value;
    }
    return header;
}
