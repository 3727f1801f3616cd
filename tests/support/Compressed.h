#pragma once

#include <QByteArray>

// Bytes as a server sends them with "Content-Encoding: gzip" or "deflate", made by zlib.
QByteArray GzipBytes(const QByteArray &plain, int level = 6);
// "deflate" as the standard means it: a zlib stream.
QByteArray ZlibBytes(const QByteArray &plain, int level = 6);
// "deflate" as some servers send it: a bare deflate stream without the zlib wrapper.
QByteArray RawDeflateBytes(const QByteArray &plain, int level = 6);
