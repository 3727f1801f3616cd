#pragma once

#include <QList>
#include <QString>

struct TtrssHeadline;

// One item of an account channel's cache file; `id` is the server's article id, kept in the
// item's guid ("tt-rss:<id>").
struct AccountItem
{
    int id = 0;
    QString title;
    QString link;
    QString description; // HTML
    QString pubDate;     // as the cache file holds it
    QString author;
    bool unread = true;
};

AccountItem AccountItemFromHeadline(const TtrssHeadline &headline);
// The items of a cache file that came from the server; `ok` false when the file is missing
// or cannot be read (then the list is empty).
QList<AccountItem> ReadAccountItems(const QString &cacheFile, bool *ok);
// An RSS 2.0 document of the items, marks included, in UTF-8.
QByteArray WriteAccountDocument(const QString &title, const QList<AccountItem> &items);
