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

QUrl MailtoUrl(const QString &subject, const QString &body)
{
    const QByteArray encoded = "mailto:?subject=" + QUrl::toPercentEncoding(subject)
                               + "&body=" + QUrl::toPercentEncoding(body);
    return QUrl::fromEncoded(encoded, QUrl::StrictMode);
}
