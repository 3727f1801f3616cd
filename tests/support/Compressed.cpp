#include "support/Compressed.h"

#include <zlib.h>

namespace {

QByteArray deflateWith(const QByteArray &plain, int level, int windowBits)
{
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(int(deflateBound(&z, uLong(plain.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.constData()));
    z.avail_in = uInt(plain.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : QByteArray();
}

} // namespace

QByteArray GzipBytes(const QByteArray &plain, int level)
{
    return deflateWith(plain, level, 15 + 16);
}

QByteArray ZlibBytes(const QByteArray &plain, int level)
{
    return deflateWith(plain, level, 15);
}

QByteArray RawDeflateBytes(const QByteArray &plain, int level)
{
    return deflateWith(plain, level, -15);
}
