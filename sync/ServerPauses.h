#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

// The pauses servers asked for with Retry-After, by host: a server that is busy is busy
// for every channel it serves. Kept in one small file of our own, replaced atomically, so
// that a restart does not ask again at once; a missing or broken file means no pauses.
class ServerPauses
{
public:
    explicit ServerPauses(QString path = QString());

    // Another file; what was read from the old one is forgotten.
    void setPath(const QString &path);

    // The host a channel's address is asked of, lower case with a port other than the
    // scheme's own; empty for an address without one.
    static QString hostOf(const QString &url);

    // The end of the pause of the channel's host, invalid when there is none at `now`.
    QDateTime pausedUntil(const QString &url, const QDateTime &now = QDateTime::currentDateTime());
    // The host of `url` asked to be left alone until `until`; a later pause never shortens
    // to an earlier one. False when the file could not be written (the pause still holds
    // until the program ends).
    bool pause(const QString &url, const QDateTime &until);
    // The channel that got the host's pause was updated (a command of the user asks at
    // once): the pause is over. Another channel of the host ends nothing: a server may be
    // busy for one address and not yet for another, and a download ahead may have been
    // asked before the pause began.
    bool resume(const QString &url);

private:
    void load();
    bool save();

    QString m_path;
    bool m_loaded = false;
    struct Pause
    {
        QDateTime until; // UTC
        QString url;     // the address that got it, without credentials
    };
    QHash<QString, Pause> m_pauses; // by host
};
