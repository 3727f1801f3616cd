// Compressed bodies: the decoder on its own, then downloads from a loopback server that
// answers in gzip or deflate, chunked or not, broken, mislabelled, or as a compression bomb.

#include "feed/HttpContentCoding.h"

#include "support/Compressed.h"
#include "support/DownloadFixture.h"

#include <gtest/gtest.h>

namespace {

using HttpContentCoding::DecodeBody;
using HttpContentCoding::Decoded;

QByteArray document(int items = 200)
{
    QByteArray text = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>K</title>\n";
    for (int i = 0; i < items; ++i)
        text += "<item><title>Wiadomość " + QByteArray::number(i) +
                "</title><link>http://example.org/" + QByteArray::number(i) + "</link></item>\n";
    return text + "</channel></rss>\n";
}

std::string decoded(const QByteArray &codings, QByteArray body, qint64 limit = 1 << 20,
                    Decoded expected = Decoded::Ok)
{
    const Decoded result = DecodeBody(codings, body, limit);
    if (result != expected)
        return "<unexpected result " + std::to_string(int(result)) + ">";
    return body.toStdString();
}

TEST(HttpContentCoding, EveryCodingServersSendComesBackAsTheDocument)
{
    const QByteArray plain = document();
    const std::string expected = plain.toStdString();
    EXPECT_EQ(decoded("gzip", GzipBytes(plain)), expected);
    EXPECT_EQ(decoded("x-gzip", GzipBytes(plain)), expected);
    EXPECT_EQ(decoded(" GZIP ", GzipBytes(plain, 9)), expected);
    EXPECT_EQ(decoded("deflate", ZlibBytes(plain)), expected);
    EXPECT_EQ(decoded("deflate", RawDeflateBytes(plain)), expected);
    EXPECT_EQ(decoded("deflate", RawDeflateBytes(plain, 0)), expected); // stored blocks
    // The names mixed up: the stream's first bytes tell which it is.
    EXPECT_EQ(decoded("deflate", GzipBytes(plain)), expected);
    EXPECT_EQ(decoded("gzip", ZlibBytes(plain)), expected);
    // One coding over another is undone from the last.
    EXPECT_EQ(decoded("deflate, gzip", GzipBytes(ZlibBytes(plain))), expected);
    EXPECT_EQ(decoded("identity", plain), expected);
    EXPECT_EQ(decoded("", plain), expected);
    EXPECT_EQ(decoded("gzip", QByteArray()), std::string());
    // Members one after another make one document; bytes after the stream are ignored.
    EXPECT_EQ(decoded("gzip", GzipBytes("<rss>") + GzipBytes("</rss>")), "<rss></rss>");
    EXPECT_EQ(decoded("gzip", GzipBytes(plain) + QByteArray(16, '\0')), expected);
}

TEST(HttpContentCoding, AMislabelledOrUnknownBodyIsKeptAsItCame)
{
    const QByteArray plain = document(3);
    EXPECT_EQ(decoded("gzip", plain), plain.toStdString());
    EXPECT_EQ(decoded("deflate", plain), plain.toStdString());
    EXPECT_EQ(decoded("br", plain), plain.toStdString());
    // A coding we cannot undo hides what lies under it.
    const QByteArray zipped = GzipBytes(plain);
    EXPECT_EQ(decoded("gzip, br", zipped), zipped.toStdString());
}

TEST(HttpContentCoding, BrokenStreamsAreDamagedAndLeaveTheBodyAlone)
{
    const QByteArray zipped = GzipBytes(document());
    const QByteArray cut = zipped.left(zipped.size() / 2);
    EXPECT_EQ(decoded("gzip", cut, 1 << 20, Decoded::Damaged), cut.toStdString());
    // Without its trailer (check sum and length) the document may be whole but unproven.
    EXPECT_EQ(decoded("gzip", zipped.left(zipped.size() - 4), 1 << 20, Decoded::Damaged),
              zipped.left(zipped.size() - 4).toStdString());
    QByteArray spoilt = zipped;
    for (int i = 20; i < 60; ++i)
        spoilt[i] = char(spoilt[i] ^ 0x5a);
    EXPECT_EQ(decoded("gzip", spoilt, 1 << 20, Decoded::Damaged), spoilt.toStdString());
    const QByteArray zlib = ZlibBytes(document());
    EXPECT_EQ(decoded("deflate", zlib.left(zlib.size() - 10), 1 << 20, Decoded::Damaged),
              zlib.left(zlib.size() - 10).toStdString());
    EXPECT_EQ(decoded("gzip", QByteArray("\x1f\x8b", 2), 1 << 20, Decoded::Damaged),
              std::string("\x1f\x8b"));
}

TEST(HttpContentCoding, TheLimitHoldsForTheDecodedSize)
{
    const QByteArray thousand(1000, 'a');
    EXPECT_EQ(decoded("gzip", GzipBytes(thousand), 1000), thousand.toStdString());
    const QByteArray more = GzipBytes(QByteArray(1001, 'a'));
    EXPECT_EQ(decoded("gzip", more, 1000, Decoded::TooLarge), more.toStdString());
    // A bomb: a few kilobytes that would unpack to 100 MB stop at the limit.
    const QByteArray bomb = GzipBytes(QByteArray(100 * 1024 * 1024, '\0'), 9);
    ASSERT_LT(bomb.size(), 200 * 1024);
    QByteArray body = bomb;
    EXPECT_EQ(DecodeBody("gzip", body, 4 * 1024 * 1024), Decoded::TooLarge);
    // Layers each within the limit still end beyond it.
    body = GzipBytes(GzipBytes(QByteArray(3000, 'b')));
    EXPECT_EQ(DecodeBody("gzip, gzip", body, 2000), Decoded::TooLarge);
}

// Downloads of compressed replies through the program's downloader.
class CompressedDownloadTest : public DownloadFixture
{
protected:
    LoopbackReply compressed(const QByteArray &body, const QByteArray &coding,
                             const QByteArray &extra = QByteArray())
    {
        return LoopbackReply::http("200 OK", body, "Content-Encoding: " + coding + "\r\n" + extra);
    }
    std::string crlf(const QByteArray &text) const
    {
        return QByteArray(text).replace("\n", "\r\n").toStdString();
    }
};

TEST_F(CompressedDownloadTest, ARequestAsksForGzipAndDeflateAndGetsTheDocument)
{
    const QByteArray plain = document();
    const QByteArray zipped = GzipBytes(plain);
    server.enqueue(compressed(zipped, "gzip"));
    ASSERT_EQ(download(QStringLiteral("/feed.xml")), 0);
    EXPECT_EQ(readWholeFile(target()), crlf(plain));
    EXPECT_EQ(head(0), expectedHead("/feed.xml", hostPort(), QByteArray(), true));
    // The progress counts the bytes that travel.
    EXPECT_TRUE(ui.events.contains(QStringLiteral("begin:%1").arg(zipped.size())));

    server.enqueue(compressed(RawDeflateBytes(plain), "deflate"));
    ASSERT_EQ(download(QStringLiteral("/raw")), 0);
    EXPECT_EQ(readWholeFile(target()), crlf(plain));
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(CompressedDownloadTest, AChunkedGzipBodyIsJoinedThenDecoded)
{
    const QByteArray plain = document(500);
    const QByteArray zipped = GzipBytes(plain);
    QByteArray reply = "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n"
                       "Transfer-Encoding: chunked\r\n\r\n";
    for (int at = 0; at < zipped.size(); at += 97) {
        const QByteArray piece = zipped.mid(at, 97);
        reply += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    server.enqueue(LoopbackReply::raw(reply + "0\r\n\r\n"));
    ASSERT_EQ(download(QStringLiteral("/chunked")), 0);
    EXPECT_EQ(readWholeFile(target()), crlf(plain));

    // A redirect's compressed body is read away; the connection serves the next request.
    server.enqueue(LoopbackReply::http("302 Found", GzipBytes("moved"),
                                       "Content-Encoding: gzip\r\nLocation: /there\r\n"));
    server.enqueue(compressed(ZlibBytes("<rss/>"), "deflate"));
    ASSERT_EQ(download(QStringLiteral("/here")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("<rss/>\r\n"));
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(CompressedDownloadTest, ACompressionBombIsRefusedLikeAnOversizeDocument)
{
    // The program's own limit: 64 MiB of document, whatever travels.
    const QByteArray bomb = GzipBytes(QByteArray(DocumentDownloader::MaxDocumentBytes + 1, ' '), 9);
    ASSERT_LT(bomb.size(), 1024 * 1024);
    writeWholeFile(target(), "old");
    server.enqueue(compressed(bomb, "gzip"));
    EXPECT_EQ(download(QStringLiteral("/bomb")), -1);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(joined(sink.lines), (QStringLiteral("Zbyt duży dokument po rozpakowaniu (") +
                                   server.url(QStringLiteral("/bomb")) + QLatin1Char(')'))
                                      .toStdString());
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(CompressedDownloadTest, ABrokenOrCutGzipBodyFailsWithALineAndKeepsTheOldFile)
{
    const QByteArray zipped = GzipBytes(document());
    writeWholeFile(target(), "old");
    // A plain body cut short by a closed connection is taken as it is; a gzip body can tell.
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\n"
                                      "Content-Length: " +
                                          QByteArray::number(zipped.size()) + "\r\n\r\n" +
                                          zipped.left(zipped.size() / 2),
                                      true));
    EXPECT_EQ(download(QStringLiteral("/cut")), -1);
    QByteArray spoilt = zipped;
    spoilt[30] = char(spoilt[30] ^ 0xff);
    spoilt[31] = char(spoilt[31] ^ 0xff);
    server.enqueue(compressed(spoilt, "gzip"));
    EXPECT_EQ(download(QStringLiteral("/spoilt")), -1);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    QStringList expected;
    for (const char *path : {"/cut", "/spoilt"})
        expected << QStringLiteral("Uszkodzona skompresowana odpowiedź serwera (") +
                        server.url(QString::fromLatin1(path)) + QLatin1Char(')');
    EXPECT_EQ(joined(sink.lines), joined(expected));

    // A server that says gzip over a plain document is believed no further than its bytes.
    server.enqueue(compressed("<rss>plain</rss>", "gzip"));
    ASSERT_EQ(download(QStringLiteral("/plain")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("<rss>plain</rss>\r\n"));
}

TEST_F(CompressedDownloadTest, AConditionalRequestGetsItsNotModifiedAndTheValidators)
{
    const QByteArray plain = document(5);
    server.enqueue(compressed(GzipBytes(plain), "gzip", "ETag: W/\"v1\"\r\n"));
    const ChannelFetch first = downloader.FetchChannel(server.url(QStringLiteral("/c")), target(),
                                                       &ui, QString(), QString(), {});
    ASSERT_EQ(first.result, 0);
    EXPECT_EQ(first.validators.etag, QByteArray("W/\"v1\""));
    EXPECT_EQ(readWholeFile(target()), crlf(plain));

    server.enqueue(LoopbackReply::raw("HTTP/1.1 304 Not Modified\r\nContent-Encoding: gzip\r\n"
                                      "ETag: W/\"v1\"\r\n\r\n"));
    const ChannelFetch second = downloader.FetchChannel(server.url(QStringLiteral("/c")), target(),
                                                        &ui, QString(), QString(), first.validators);
    EXPECT_EQ(second.result, 0);
    EXPECT_TRUE(second.notModified);
    EXPECT_EQ(readWholeFile(target()), crlf(plain));
    EXPECT_EQ(head(1), expectedHead("/c", hostPort(), "If-None-Match: W/\"v1\"\r\n", true));
    // The 304 has no body: the connection is still good.
    server.enqueue(compressed(GzipBytes("<rss/>"), "gzip"));
    ASSERT_EQ(download(QStringLiteral("/next")), 0);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_TRUE(sink.lines.isEmpty());
}

} // namespace
