#pragma once

// The neutral channel that the Atom and JSON Feed readers fill and the RSS 2.0 writer turns
// into the cache file's shape. Shared by the converters in this folder.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct ConvertedEnclosure
{
    QString url;
    QString type;
    qint64 length = -1; // unknown below 0
};

struct ConvertedItem
{
    QString title;       // plain text
    QString link;        // absolute where it could be resolved
    QString description; // HTML
    QString guid;
    QDateTime date; // invalid when the entry has none that can be read
    QString author;
    QList<ConvertedEnclosure> enclosures;
};

struct ConvertedFeed
{
    QString title;
    QString link;
    QString description;
    QString copyright;
    QString imageUrl;
    QList<ConvertedItem> items;
};

namespace FeedConversion {

// An RSS 2.0 document in UTF-8 with the Dublin Core namespace declared on the root.
// An item without a title gets the start of its description's text, so that untitled
// entries (common in JSON Feed) neither show blank rows nor share one read mark.
QByteArray writeRss(const ConvertedFeed &feed);

// Markup removed, character and the common HTML entity references decoded, blanks folded.
QString plainTextOfHtml(const QString &html);
// "Mon, 05 Jan 2004 10:00:00 +0100": English names, the date's own offset.
QString rfc822Date(const QDateTime &date);
// An RFC 3339 / ISO 8601 date-time ("2004-01-05T10:00:00Z", offsets, fractions); invalid
// when the text is none.
QDateTime parseIsoDate(const QString &text);
// `address` resolved against `base`; `address` itself when either cannot be used.
QString resolveAddress(const QString &base, const QString &address);

} // namespace FeedConversion
