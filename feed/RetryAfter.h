#pragma once

#include <QByteArray>
#include <QDateTime>

// A server may ask for a pause of at most this long; a longer one would silence a channel
// for good on the word of one reply.
constexpr qint64 MaxRetryAfterSeconds = 2 * 24 * 3600;

// The moment a Retry-After value ("120", or an HTTP date such as
// "Wed, 21 Oct 2015 07:28:00 GMT") names, counted from `now` and capped at
// MaxRetryAfterSeconds; invalid for a value that is neither, or for a moment not after now.
QDateTime RetryAfterTime(const QByteArray &value, const QDateTime &now);
