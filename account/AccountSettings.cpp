#include "account/AccountSettings.h"

#include "base/FileReplace.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

QString AccountSettings::groupName() const
{
    const QString host = QUrl::fromUserInput(server.trimmed()).host();
    return user.trimmed() + QLatin1Char('@') + (host.isEmpty() ? server.trimmed() : host);
}

AccountSettings AccountSettings::read(const QString &path)
{
    AccountSettings s;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > 1024 * 1024)
        return s;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    s.server = o.value(QLatin1String("server")).toString();
    s.user = o.value(QLatin1String("user")).toString();
    s.password = o.value(QLatin1String("password")).toString();
    return s;
}

void AccountSettings::write(const QString &path) const
{
    const QJsonObject o{{QStringLiteral("server"), server.trimmed()},
                        {QStringLiteral("user"), user.trimmed()},
                        {QStringLiteral("password"), password}};
    WriteFileAtomically(path, QJsonDocument(o).toJson(), Durability::Synced, FileAccess::OwnerOnly);
}
