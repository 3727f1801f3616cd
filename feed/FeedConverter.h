#pragma once

#include <QByteArray>
#include <QString>

// Channel documents that are not RSS, turned into RSS 2.0 before anything else reads them,
// so that the cache file, the read marks, the header list, the item view, the archive and
// the alerts all work on one shape.

enum class FeedFormat { Other, Atom, JsonFeed };

// Judged by the content alone (the server's content type is often wrong): a JSON object
// is taken for a JSON Feed, a document element `feed` in the Atom 1.0 or 0.3 namespace
// for Atom; everything else, RSS and RDF included, is Other. Parses only what looks like
// Atom, and only when it does.
FeedFormat DetectFeedFormat(const QByteArray &document);

// For an Atom or JSON Feed document: true, and `rss` holds the same channel as an RSS 2.0
// document in UTF-8 (plain-text titles, HTML descriptions, RFC 822 dates, authors as
// dc:creator, enclosures, addresses made absolute against xml:base and `address`, the
// address the document came from). For any other document: false, `rss` untouched.
// Raises FeedFormatError or XmlError for an Atom or JSON document that cannot be read.
bool ConvertFeedToRss(const QByteArray &document, const QString &address, QByteArray &rss);
