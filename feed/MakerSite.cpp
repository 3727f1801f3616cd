#include "feed/MakerSite.h"

#include <QUrl>

bool IsMakerSiteAddress(const QString &address)
{
    const QString makerHost = QUrl(QString::fromLatin1(makerSiteAddress)).host();
    const QString host = QUrl(address).host().toLower();
    return host == makerHost || host.endsWith(QLatin1Char('.') + makerHost);
}

QString WithMakerSiteCredentials(const QString &address, const QString &channelUrl,
                                 const QString &user, const QString &password)
{
    if (!IsMakerSiteAddress(address) || !IsMakerSiteAddress(channelUrl) ||
        address.contains(QStringLiteral("&Password")))
        return QString();
    return address +
           (address.contains(QLatin1Char('?')) ? QStringLiteral("&UserName=")
                                               : QStringLiteral("?UserName=")) +
           user + QStringLiteral("&Password=") + password;
}
