// DownloadDocument against servers that misbehave on purpose: each must end in a clean -1
// (with the right report line, or none), in bounded time, with the old target file kept.

#include "feed/HttpClient.h"
#include "support/DownloadFixture.h"
#include "support/SignalWait.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class HttpClientHostileTest : public DownloadFixture
{
protected:
    void SetUp() override
    {
        DownloadFixture::SetUp();
        if (HasFatalFailure())
            return;
        writeWholeFile(target(), "old");
    }

    QString timeoutLine(const char *path) const
    {
        return QStringLiteral("Zbyt długi czas oczekiwania (") +
               server.url(QString::fromLatin1(path)) + QLatin1Char(')');
    }
};

TEST_F(HttpClientHostileTest, EndlessInterimRepliesEndTheDownload)
{
    const QByteArray interim = "HTTP/1.1 100 Continue\r\n\r\n";
    const QByteArray final = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    server.enqueue(LoopbackReply::raw(interim.repeated(HttpClient::MaxInterimReplies) + final));
    ASSERT_EQ(download(QStringLiteral("/some")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("ok\r\n"));

    writeWholeFile(target(), "old");
    QElapsedTimer clock;
    clock.start();
    server.enqueue(LoopbackReply::raw(interim.repeated(HttpClient::MaxInterimReplies + 1) + final));
    EXPECT_EQ(download(QStringLiteral("/endless")), -1);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

// Each piece comes well within the read time-out, so only the speed rule can end these.
TEST_F(HttpClientHostileTest, TricklingServersTimeOutWithTheirLine)
{
    downloader.idHTTPClient()->setLowSpeedLimit(100, 500);

    LoopbackReply body = LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
    LoopbackReply head = LoopbackReply::raw("HTTP/1.1 200 OK\r\n");
    for (int i = 0; i < 40; ++i) {
        body.then(100, "x");
        head.then(100, "X");
    }
    server.enqueue(body);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(download(QStringLiteral("/body")), -1);
    EXPECT_LT(clock.elapsed(), 2500);

    server.enqueue(head);
    clock.restart();
    EXPECT_EQ(download(QStringLiteral("/head")), -1);
    EXPECT_LT(clock.elapsed(), 2500);

    EXPECT_EQ(joined(sink.lines), joined({timeoutLine("/body"), timeoutLine("/head")}));
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(HttpClientHostileTest, SlowButSteadyServerIsWaitedFor)
{
    downloader.idHTTPClient()->setLowSpeedLimit(100, 1000);
    LoopbackReply reply = LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 2250\r\n\r\n");
    for (int i = 0; i < 15; ++i)
        reply.then(100, QByteArray(150, 'a' + char(i)));
    server.enqueue(reply);
    ASSERT_EQ(download(QStringLiteral("/steady")), 0);
    QByteArray expected;
    for (int i = 0; i < 15; ++i)
        expected += QByteArray(150, 'a' + char(i));
    EXPECT_EQ(readWholeFile(target()), (expected + "\r\n").toStdString());
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(HttpClientHostileTest, WholeDocumentHasATimeLimit)
{
    downloader.idHTTPClient()->setMaxDocumentTime(700);
    LoopbackReply reply = LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    for (int i = 0; i < 40; ++i)
        reply.then(50, QByteArray(2000, 'z'));
    server.enqueue(reply);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(download(QStringLiteral("/long")), -1);
    EXPECT_LT(clock.elapsed(), 1800);
    EXPECT_EQ(joined(sink.lines), joined({timeoutLine("/long")}));
    EXPECT_EQ(readWholeFile(target()), std::string("old"));

    // The limit counts from each call anew.
    server.enqueue(LoopbackReply::http("200 OK", "fresh"));
    ASSERT_EQ(download(QStringLiteral("/fresh")), 0);
}

TEST_F(HttpClientHostileTest, StopRequestEndsADownloadAtOnce)
{
    // The body is kept back: a download that ends quietly did so on the stop request (an
    // unheard one ends in the stall timeout's report).
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nx")
                       .thenWhenReleased(QByteArray(999, 'x')));
    WhenTrue(
        &downloader, [this] { return server.heldCount() == 1; },
        [this](bool underWay) {
            EXPECT_TRUE(underWay);
            downloader.cancel();
        });
    EXPECT_EQ(download(QStringLiteral("/cancelled")), -1);
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));

    // Outside a download it does nothing: the next one runs as usual.
    downloader.cancel();
    server.enqueue(LoopbackReply::http("200 OK", "next"));
    ASSERT_EQ(download(QStringLiteral("/next")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("next\r\n"));
}

TEST_F(HttpClientHostileTest, StatusCodesAreExactlyThreeDigits)
{
    for (const char *line : {"HTTP/1.1 2000 OK", "HTTP/1.1 20 OK", "HTTP/1.1 2x0 OK",
                             "HTTP/1.1 099 Low", "HTTP/1.1 +200 OK", "HTTP/1.1", "HTTP/1.1 "}) {
        server.enqueue(
            LoopbackReply::raw(QByteArray(line) + "\r\nContent-Length: 2\r\n\r\nok", true));
        EXPECT_EQ(download(QStringLiteral("/s")), -1) << line;
    }
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    // A reason text is optional.
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok"));
    ASSERT_EQ(download(QStringLiteral("/bare")), 0);
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(HttpClientHostileTest, RedirectsToOtherSchemesAreNotFollowed)
{
    for (const char *location : {"file:///etc/passwd", "ftp://127.0.0.1/x", "javascript:alert(1)",
                                 "http://", "data:text/plain,hello", "gopher://127.0.0.1:70/"}) {
        server.enqueue(LoopbackReply::http("302 Found", QByteArray(),
                                           QByteArray("Location: ") + location + "\r\n"));
        EXPECT_EQ(download(QStringLiteral("/go")), -1) << location;
        EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
    }
    EXPECT_EQ(server.requestCount(), 6); // the first request of each, nothing after
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(HttpClientHostileTest, OutlandishSizesAreRefusedAtOnce)
{
    const QString tooLarge = QStringLiteral("Zbyt duży dokument (");
    QElapsedTimer clock;
    clock.start();
    // The server keeps the connection open: nothing may wait for the promised bytes.
    server.enqueue(LoopbackReply::raw(
        "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nhello"));
    EXPECT_EQ(download(QStringLiteral("/digits")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "7FFFFFFFFFFFFFFF\r\nabc\r\n0\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/chunk-max")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "FFFFFFFFFFFFFFFFFFFF\r\nabc\r\n0\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/chunk-overflow")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "-5\r\nabc\r\n0\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/chunk-negative")), -1);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(joined(sink.lines),
              joined({tooLarge + server.url(QStringLiteral("/digits")) + QLatin1Char(')'),
                      tooLarge + server.url(QStringLiteral("/chunk-max")) + QLatin1Char(')')}));

    // A negative length says nothing: the body runs until the server closes.
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nhello", true));
    ASSERT_EQ(download(QStringLiteral("/negative")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("hello\r\n"));
}

TEST_F(HttpClientHostileTest, EndlessHeadersAndBlankLinesEndTheDownload)
{
    QElapsedTimer clock;
    clock.start();
    server.enqueue(
        LoopbackReply::raw("HTTP/1.1 200 OK\r\n" + QByteArray("X-A: b\r\n").repeated(5000)));
    EXPECT_EQ(download(QStringLiteral("/headers")), -1);
    server.enqueue(
        LoopbackReply::raw(QByteArray("\r\n").repeated(5000) + "HTTP/1.1 200 OK\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/blank")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nX-A: b\r\n" +
                                          QByteArray(" folded\r\n").repeated(3000) + "\r\nbody",
                                      true));
    EXPECT_EQ(download(QStringLiteral("/folded")), -1);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(HttpClientHostileTest, CookiesWithControlCharactersAreDropped)
{
    server.enqueue(LoopbackReply::http("200 OK", "a",
                                       "Set-Cookie: bad=1\rX-Injected: 1\r\n"
                                       "Set-Cookie: nul=a\x01z\r\nSet-Cookie: good=2\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "b"));
    ASSERT_EQ(download(QStringLiteral("/set")), 0);
    ASSERT_EQ(download(QStringLiteral("/get")), 0);
    ASSERT_EQ(server.requests().size(), 2);
    const QByteArray head = server.requests().at(1).raw;
    EXPECT_TRUE(head.contains("\r\nCookie: good=2\r\n")) << head.constData();
    EXPECT_FALSE(head.contains("Injected")) << head.constData();
    EXPECT_FALSE(head.contains("nul=")) << head.constData();
}

} // namespace
