#pragma once

#include "feed/ConvertedFeed.h"

namespace FeedConversion {

// A JSON document above this size is refused before it is parsed.
constexpr qint64 MaxJsonFeedBytes = 16ll * 1024 * 1024;

// True when the text's first character (after a byte-order mark and blanks) opens a JSON
// object: the one shape a JSON Feed can have, and one no XML document has.
bool looksLikeJson(const QByteArray &document);

// The channel of a JSON Feed (version 1 or 1.1, recognised by its "version"); relative
// addresses are resolved against `address`. Raises FeedFormatError for a document that is
// too large, is not well-formed JSON, or is no JSON Feed.
ConvertedFeed readJsonFeed(const QByteArray &document, const QString &address);

} // namespace FeedConversion
