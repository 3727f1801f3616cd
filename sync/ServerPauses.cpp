#include "sync/ServerPauses.h"

#include "base/FileReplace.h"
#include "feed/RetryAfter.h"
#include "feed/TextOps.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <algorithm>

namespace {

const qint64 MaxFileBytes = 1024 * 1024;

} // namespace

ServerPauses::ServerPauses(QString path) : m_path(std::move(path)) {}

void ServerPauses::setPath(const QString &path)
{
    if (path == m_path)
        return;
    m_path = path;
    m_loaded = false;
    m_pauses.clear();
}

QString ServerPauses::hostOf(const QString &url)
{
    const QUrl parsed(url.trimmed());
    const QString host = parsed.host().toLower();
    if (host.isEmpty())
        return host;
    const int port = parsed.port();
    const int own = parsed.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
    return port < 0 || port == own ? host : host + QLatin1Char(':') + QString::number(port);
}

void ServerPauses::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    QFile file(m_path);
    if (m_path.isEmpty() || file.size() > MaxFileBytes || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject hosts =
        QJsonDocument::fromJson(file.readAll()).object().value(QLatin1String("hosts")).toObject();
    // A clock set back, or a hand-edited file, must not silence a host for longer than
    // any server may ask.
    const QDateTime latest = QDateTime::currentDateTimeUtc().addSecs(MaxRetryAfterSeconds);
    for (auto it = hosts.constBegin(); it != hosts.constEnd(); ++it) {
        const QJsonObject record = it.value().toObject();
        const QDateTime until =
            QDateTime::fromString(record.value(QLatin1String("until")).toString(), Qt::ISODate);
        if (!until.isValid() || it.key().isEmpty())
            continue;
        m_pauses.insert(it.key().toLower(),
                        Pause{std::min(until.toUTC(), latest),
                              record.value(QLatin1String("url")).toString()});
    }
}

bool ServerPauses::save()
{
    if (m_path.isEmpty())
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonObject hosts;
    for (auto it = m_pauses.constBegin(); it != m_pauses.constEnd(); ++it) {
        if (it->until <= now)
            continue;
        QJsonObject record;
        record.insert(QLatin1String("until"), it->until.toString(Qt::ISODate));
        record.insert(QLatin1String("url"), it->url);
        hosts.insert(it.key(), record);
    }
    QJsonObject root;
    root.insert(QLatin1String("hosts"), hosts);
    try {
        WriteFileAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Indented));
    } catch (const FileError &) {
        return false;
    }
    return true;
}

QDateTime ServerPauses::pausedUntil(const QString &url, const QDateTime &now)
{
    load();
    const QDateTime until = m_pauses.value(hostOf(url)).until;
    if (!until.isValid() || now >= until)
        return QDateTime();
    return until.toLocalTime();
}

bool ServerPauses::pause(const QString &url, const QDateTime &until)
{
    load();
    const QString host = hostOf(url);
    if (host.isEmpty() || !until.isValid())
        return true;
    const QDateTime utc = until.toUTC();
    const auto found = m_pauses.constFind(host);
    if (found != m_pauses.constEnd() && found->until >= utc)
        return true;
    m_pauses.insert(host, Pause{utc, AddressWithoutCredentials(url)});
    return save();
}

bool ServerPauses::resume(const QString &url)
{
    load();
    const auto found = m_pauses.constFind(hostOf(url));
    if (found == m_pauses.constEnd() || found->url != AddressWithoutCredentials(url))
        return true;
    m_pauses.remove(found.key());
    return save();
}
