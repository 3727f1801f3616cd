#pragma once

#include "feed/HttpClient.h"

#include <QHash>
#include <QString>

// Per channel, the ETag and Last-Modified of its last successful download, so that the next
// update can ask the server whether anything changed. Kept in one small file of our own,
// replaced atomically; a missing or broken file only means full requests.
class ChannelValidatorStore
{
public:
    explicit ChannelValidatorStore(QString path = QString());

    // Another file; what was read from the old one is forgotten.
    void setPath(const QString &path);
    QString path() const { return m_path; }

    // The validators stored for the channel, when they were stored for this same address;
    // empty otherwise.
    HttpValidators conditionsFor(const QString &guid, const QString &url);
    // Keeps the validators of a download that replaced the cache file (empty ones forget
    // the channel) and writes the file when anything changed, unless writes are held;
    // false when that failed.
    bool remember(const QString &guid, const QString &url, const HttpValidators &validators);

    // While held (a run over many channels), changes stay in memory and the file is written
    // once, by the last release() or flush().
    void hold() { ++m_holds; }
    bool release();
    // Writes what changed since the file was last written; false when that failed.
    bool flush();

    // A value a server sent that is fit to be sent back in a header line.
    static bool usable(const QByteArray &value);

private:
    struct Entry
    {
        QString url;
        HttpValidators validators;
    };
    void load();
    bool save() const;

    QString m_path;
    bool m_loaded = false;
    bool m_dirty = false;
    int m_holds = 0;
    QHash<QString, Entry> m_entries;
};
