#pragma once

#include <QByteArray>

// The content codings the HTTP client asks for, and the decoding of a body sent in one.
namespace HttpContentCoding {

// The value of the request's Accept-Encoding header.
inline constexpr const char *Accepted = "gzip, deflate";

enum class Decoded {
    Ok,       // `body` holds the document
    TooLarge, // the decoded document would exceed the limit: a compression bomb, refused
    Damaged,  // a compressed stream that is broken or cut short
};

// Decodes `body` as its reply's Content-Encoding `codings` says, in place ("gzip" and
// "x-gzip", "deflate" both zlib-wrapped and raw, "identity"; codings applied one over
// another are undone from the last). The decoded size may not exceed `maxBytes`.
// A body that is not in the coding it is labelled with (a server that labels a plain
// document "gzip") and a coding this client did not ask for are kept as they came, so the
// document's own check decides. On failure `body` is left as it came.
Decoded DecodeBody(const QByteArray &codings, QByteArray &body, qint64 maxBytes);

} // namespace HttpContentCoding
