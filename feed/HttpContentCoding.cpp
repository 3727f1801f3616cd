#include "feed/HttpContentCoding.h"

#include <QList>

#include <zlib.h>

#include <algorithm>

namespace HttpContentCoding {
namespace {

constexpr qint64 FirstOutputBytes = 64 * 1024;
constexpr qint64 MaxInputStep = 1 << 30; // zlib counts in unsigned int

enum class Wrapper { Gzip, Zlib, Raw };

bool startsGzip(const char *data, qint64 size)
{
    return size >= 2 && uchar(data[0]) == 0x1f && uchar(data[1]) == 0x8b;
}

// A zlib stream's two header bytes: deflate, a window zlib can take, and their check sum.
bool startsZlib(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return false;
    const uint cmf = uchar(bytes[0]);
    const uint flg = uchar(bytes[1]);
    return (cmf & 0x0f) == 8 && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0;
}

struct Inflater
{
    z_stream z{};
    bool ready = false;
    explicit Inflater(Wrapper wrapper)
    {
        const int bits = wrapper == Wrapper::Gzip ? 15 + 16 : wrapper == Wrapper::Zlib ? 15 : -15;
        ready = inflateInit2(&z, bits) == Z_OK;
    }
    ~Inflater()
    {
        if (ready)
            inflateEnd(&z);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
};

enum class Outcome { Done, TooLarge, Truncated, DataError };

// Inflates all of `input` into `out`, at most `maxBytes` of it. Gzip members that follow one
// another make one document; bytes after the end of the stream are ignored, as browsers do.
Outcome inflateAll(const QByteArray &input, Wrapper wrapper, qint64 maxBytes, QByteArray &out)
{
    Inflater inflater(wrapper);
    if (!inflater.ready)
        return Outcome::DataError;
    z_stream &z = inflater.z;
    const char *in = input.constData();
    qint64 inLeft = input.size();
    const auto feed = [&] {
        const qint64 step = std::min(inLeft, MaxInputStep);
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(in));
        z.avail_in = uInt(step);
        in += step;
        inLeft -= step;
    };
    feed();

    // Room for one byte beyond the limit tells a document of exactly the limit from a larger one.
    const qint64 room = maxBytes + 1;
    out.resize(qsizetype(std::min(room, std::max(FirstOutputBytes, qint64(input.size()) * 4))));
    qint64 used = 0;
    for (;;) {
        if (used == out.size()) {
            if (used >= room)
                return Outcome::TooLarge;
            out.resize(qsizetype(std::min(room, used * 2)));
        }
        z.next_out = reinterpret_cast<Bytef *>(out.data() + used);
        z.avail_out = uInt(std::min<qint64>(out.size() - used, MaxInputStep));
        const int rc = inflate(&z, Z_NO_FLUSH);
        used = reinterpret_cast<char *>(z.next_out) - out.data();
        if (used > maxBytes)
            return Outcome::TooLarge;
        if (z.avail_in == 0 && inLeft > 0)
            feed();
        if (rc == Z_STREAM_END) {
            const char *next = reinterpret_cast<const char *>(z.next_in);
            const qint64 after = qint64(z.avail_in) + inLeft;
            if (wrapper == Wrapper::Gzip && startsGzip(next, std::min<qint64>(after, 2))) {
                inflateReset(&z);
                continue;
            }
            break;
        }
        if (rc == Z_OK || rc == Z_BUF_ERROR) {
            // Space was left for output and every byte was taken, yet the stream goes on.
            if (z.avail_in == 0 && inLeft == 0 && z.avail_out > 0)
                return Outcome::Truncated;
            continue;
        }
        return Outcome::DataError;
    }
    out.resize(qsizetype(used));
    return Outcome::Done;
}

// One coding undone. False leaves `body` alone: it was not in that coding after all.
Decoded undo(const QByteArray &coding, QByteArray &body, qint64 maxBytes, bool &unknown)
{
    const bool gzip = coding == "gzip" || coding == "x-gzip";
    if (!gzip && coding != "deflate") {
        unknown = true;
        return Decoded::Ok;
    }
    if (body.isEmpty())
        return Decoded::Ok;
    // Servers mix the two names up; the first bytes tell which stream it is.
    Wrapper wrapper;
    if (startsGzip(body.constData(), body.size()))
        wrapper = Wrapper::Gzip;
    else if (startsZlib(body))
        wrapper = Wrapper::Zlib;
    else if (gzip)
        return Decoded::Ok; // no gzip stream at all: a plain document labelled "gzip"
    else
        wrapper = Wrapper::Raw;

    QByteArray out;
    switch (inflateAll(body, wrapper, maxBytes, out)) {
    case Outcome::Done:
        body = std::move(out);
        return Decoded::Ok;
    case Outcome::TooLarge:
        return Decoded::TooLarge;
    case Outcome::DataError:
        // Raw deflate has no header to tell it by: what does not inflate was never deflated.
        if (wrapper == Wrapper::Raw)
            return Decoded::Ok;
        return Decoded::Damaged;
    case Outcome::Truncated:
        return Decoded::Damaged;
    }
    return Decoded::Damaged;
}

} // namespace

Decoded DecodeBody(const QByteArray &codings, QByteArray &body, qint64 maxBytes)
{
    QList<QByteArray> applied;
    for (const QByteArray &token : codings.split(',')) {
        const QByteArray coding = token.trimmed().toLower();
        if (!coding.isEmpty() && coding != "identity")
            applied.append(coding);
    }
    if (applied.isEmpty())
        return Decoded::Ok;
    QByteArray document = body;
    for (auto it = applied.crbegin(); it != applied.crend(); ++it) {
        bool unknown = false;
        const Decoded result = undo(*it, document, maxBytes, unknown);
        if (result != Decoded::Ok)
            return result;
        if (unknown)
            break; // what lies under a coding we cannot undo stays as it came
    }
    body = std::move(document);
    return Decoded::Ok;
}

} // namespace HttpContentCoding
