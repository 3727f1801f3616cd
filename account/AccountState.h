#pragma once

#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

// What the program knows of the account since its last run: which channel stands for which
// server feed, the newest article seen there, and the read marks last agreed with the server
// (a cache file's mark that differs from them was made here since).
struct AccountState
{
    struct Feed
    {
        QString guid; // of the channel in the tree
        int lastId = 0;
        QSet<int> unread; // marks as last written into the cache file
    };

    QString account; // AccountSettings::groupName() the state belongs to
    QMap<int, Feed> feeds;          // by server feed id
    QMap<int, QString> categories;  // server category id -> title, as last seen

    int feedOfGuid(const QString &guid) const;

    // A missing file, or one of another account, is an empty state.
    static AccountState read(const QString &path, const QString &account);
    // Raises FileError.
    void write(const QString &path) const;
};
