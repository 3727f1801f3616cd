#include "account/AccountState.h"

#include "base/FileReplace.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

int AccountState::feedOfGuid(const QString &guid) const
{
    for (auto it = feeds.begin(); it != feeds.end(); ++it)
        if (it->guid == guid)
            return it.key();
    return 0;
}

AccountState AccountState::read(const QString &path, const QString &account)
{
    AccountState s;
    s.account = account;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return s;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    if (o.value(QLatin1String("account")).toString() != account)
        return s;
    const QJsonObject feeds = o.value(QLatin1String("feeds")).toObject();
    for (auto it = feeds.begin(); it != feeds.end(); ++it) {
        const int id = it.key().toInt();
        const QJsonObject f = it.value().toObject();
        if (id <= 0)
            continue;
        Feed feed;
        feed.guid = f.value(QLatin1String("guid")).toString();
        feed.lastId = f.value(QLatin1String("lastId")).toInt();
        for (const QJsonValue &v : f.value(QLatin1String("unread")).toArray())
            feed.unread.insert(v.toInt());
        s.feeds.insert(id, feed);
    }
    const QJsonObject cats = o.value(QLatin1String("categories")).toObject();
    for (auto it = cats.begin(); it != cats.end(); ++it)
        s.categories.insert(it.key().toInt(), it.value().toString());
    return s;
}

void AccountState::write(const QString &path) const
{
    QJsonObject feedsObject;
    for (auto it = feeds.begin(); it != feeds.end(); ++it) {
        QList<int> unread(it->unread.begin(), it->unread.end());
        std::sort(unread.begin(), unread.end());
        QJsonArray unreadArray;
        for (int id : unread)
            unreadArray.append(id);
        feedsObject.insert(QString::number(it.key()),
                           QJsonObject{{QStringLiteral("guid"), it->guid},
                                       {QStringLiteral("lastId"), it->lastId},
                                       {QStringLiteral("unread"), unreadArray}});
    }
    QJsonObject catsObject;
    for (auto it = categories.begin(); it != categories.end(); ++it)
        catsObject.insert(QString::number(it.key()), it.value());
    const QJsonObject o{{QStringLiteral("account"), account},
                        {QStringLiteral("feeds"), feedsObject},
                        {QStringLiteral("categories"), catsObject}};
    WriteFileAtomically(path, QJsonDocument(o).toJson(QJsonDocument::Compact));
}
