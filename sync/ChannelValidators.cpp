#include "sync/ChannelValidators.h"

#include "base/FileReplace.h"
#include "feed/TextOps.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const qsizetype MaxValidatorLength = 1024;
const qint64 MaxFileBytes = 8 * 1024 * 1024;

// The address a channel's validators are filed under: without credentials, which would
// stand in the file in plain text.
QString storedAddress(const QString &url)
{
    return AddressWithoutCredentials(url);
}

} // namespace

ChannelValidatorStore::ChannelValidatorStore(QString path) : m_path(std::move(path)) {}

void ChannelValidatorStore::setPath(const QString &path)
{
    if (path == m_path)
        return;
    flush();
    m_path = path;
    m_loaded = false;
    m_dirty = false;
    m_entries.clear();
}

bool ChannelValidatorStore::usable(const QByteArray &value)
{
    // Control characters would break the request head, and an endless value bloats it.
    return value.size() <= MaxValidatorLength &&
           std::none_of(value.cbegin(), value.cend(),
                        [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7F; });
}

void ChannelValidatorStore::load()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_entries.clear();
    QFile file(m_path);
    if (m_path.isEmpty() || file.size() > MaxFileBytes || !file.open(QIODevice::ReadOnly))
        return;
    const QJsonObject channels = QJsonDocument::fromJson(file.readAll())
                                     .object()
                                     .value(QLatin1String("channels"))
                                     .toObject();
    for (auto it = channels.constBegin(); it != channels.constEnd(); ++it) {
        const QJsonObject record = it.value().toObject();
        Entry entry;
        entry.url = storedAddress(record.value(QLatin1String("url")).toString());
        entry.validators.etag = record.value(QLatin1String("etag")).toString().toLatin1();
        entry.validators.lastModified =
            record.value(QLatin1String("lastModified")).toString().toLatin1();
        if (!usable(entry.validators.etag) || !usable(entry.validators.lastModified))
            continue;
        if (!entry.url.isEmpty() && !entry.validators.isEmpty())
            m_entries.insert(it.key(), entry);
    }
}

bool ChannelValidatorStore::save() const
{
    QJsonObject channels;
    for (auto it = m_entries.constBegin(); it != m_entries.constEnd(); ++it) {
        QJsonObject record;
        record.insert(QLatin1String("url"), it->url);
        if (!it->validators.etag.isEmpty())
            record.insert(QLatin1String("etag"), QString::fromLatin1(it->validators.etag));
        if (!it->validators.lastModified.isEmpty())
            record.insert(QLatin1String("lastModified"),
                          QString::fromLatin1(it->validators.lastModified));
        channels.insert(it.key(), record);
    }
    QJsonObject root;
    root.insert(QLatin1String("channels"), channels);
    try {
        // The file only saves requests: losing it on a crash costs one full download each.
        WriteFileAtomically(m_path, QJsonDocument(root).toJson(QJsonDocument::Indented),
                            Durability::Unsynced);
    } catch (const FileError &) {
        return false;
    }
    return true;
}

HttpValidators ChannelValidatorStore::conditionsFor(const QString &guid, const QString &url)
{
    load();
    const auto found = m_entries.constFind(guid);
    if (found == m_entries.constEnd() || found->url != storedAddress(url))
        return HttpValidators();
    return found->validators;
}

bool ChannelValidatorStore::remember(const QString &guid, const QString &url,
                                     const HttpValidators &validators)
{
    load();
    if (m_path.isEmpty())
        return false;
    HttpValidators kept;
    if (usable(validators.etag))
        kept.etag = validators.etag;
    if (usable(validators.lastModified))
        kept.lastModified = validators.lastModified;
    const auto found = m_entries.constFind(guid);
    if (kept.isEmpty()) {
        if (found == m_entries.constEnd())
            return true;
        m_entries.remove(guid);
    } else {
        const QString address = storedAddress(url);
        if (found != m_entries.constEnd() && found->url == address && found->validators == kept)
            return true;
        m_entries.insert(guid, Entry{address, kept});
    }
    m_dirty = true;
    return m_holds > 0 || flush();
}

bool ChannelValidatorStore::release()
{
    if (m_holds > 0)
        --m_holds;
    return m_holds > 0 || flush();
}

bool ChannelValidatorStore::flush()
{
    if (!m_dirty || m_path.isEmpty())
        return true;
    if (!save())
        return false;
    m_dirty = false;
    return true;
}
