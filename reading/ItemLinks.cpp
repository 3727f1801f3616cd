#include "reading/ItemLinks.h"

bool IsOpenableLink(const QUrl &url)
{
    if (!url.isValid())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return true;
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

QUrl OpenableLink(const QString &link)
{
    // Tolerant parsing encodes what is not allowed in an address, as browsers do, and
    // keeps the escapes that are already there.
    const QUrl url(link.trimmed(), QUrl::TolerantMode);
    return IsOpenableLink(url) ? url : QUrl();
}

QUrl MailtoUrl(const QString &subject, const QString &body)
{
    const QByteArray encoded = "mailto:?subject=" + QUrl::toPercentEncoding(subject)
                               + "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}
