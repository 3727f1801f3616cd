// DownloadDocument against a loopback server: response shapes, report lines, the target
// file, the status bar and progress bar, connections, and events served during a download.

#include "feed/HttpClient.h"
#include "support/DownloadFixture.h"
#include "support/SignalWait.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using DownloadDocumentTest = DownloadFixture;

TEST_F(DownloadDocumentTest, WritesTheBodyWithCrLfLinesAndShowsWhatItDoes)
{
    server.enqueue(LoopbackReply::http("200 OK", "<rss>\n<a/>\r\n<b/>\r</rss>"));
    ASSERT_EQ(download(QStringLiteral("/feed.xml")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("<rss>\r\n<a/>\r\n<b/>\r\n</rss>\r\n"));
    EXPECT_TRUE(sink.lines.isEmpty());

    const QString address = server.url(QStringLiteral("/feed.xml"));
    EXPECT_EQ(joined(ui.events), joined({
                                     QStringLiteral("status:Pobieranie dokumentu ") + address,
                                     QStringLiteral("status:Łączenie z 127.0.0.1."),
                                     QStringLiteral("status:Połączono."),
                                     QStringLiteral("begin:23"),
                                     QStringLiteral("work:23"),
                                     QStringLiteral("end"),
                                     QStringLiteral("status:Gotowe."),
                                 }));
}

TEST_F(DownloadDocumentTest, BodyEndsAtTheFirstNulAndAnEmptyBodyGivesAnEmptyFile)
{
    server.enqueue(LoopbackReply::http("200 OK", QByteArray("a\nb\0c\nd", 7)));
    ASSERT_EQ(download(QStringLiteral("/nul")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("a\r\nb\r\n"));

    server.enqueue(LoopbackReply::raw("HTTP/1.1 204 No Content\r\n\r\n"));
    ASSERT_EQ(download(QStringLiteral("/empty")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string());
    // 204 has no body, so the connection still serves the next request.
    server.enqueue(LoopbackReply::http("200 OK", "x"));
    ASSERT_EQ(download(QStringLiteral("/next")), 0);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(DownloadDocumentTest, RedirectChainsAreFollowedRelativeAndAbsolute)
{
    server.enqueue(LoopbackReply::http("302 Found", "moved", "Location: next.xml\r\n"));
    server.enqueue(LoopbackReply::http(
        "301 Moved Permanently", QByteArray(),
        "Location: " + server.url(QStringLiteral("/final")).toLatin1() + "\r\n"));
    server.enqueue(
        LoopbackReply::http("307 Temporary Redirect", QByteArray(), "Location: ../up?x=1\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "done"));
    ASSERT_EQ(download(QStringLiteral("/dir/start.xml")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("done\r\n"));

    QList<QByteArray> targets;
    for (const LoopbackRequest &request : server.requests())
        targets << request.target();
    EXPECT_EQ(targets, (QList<QByteArray>{"/dir/start.xml", "/dir/next.xml", "/final", "/up?x=1"}));
    // The redirect bodies were read away, so one connection served all four.
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(DownloadDocumentTest, EndlessRedirectGivesAnEmptyDocumentAfterFifteenRequests)
{
    server.setHandler([](const LoopbackRequest &) {
        return LoopbackReply::http("302 Found", QByteArray(), "Location: /loop\r\n");
    });
    writeWholeFile(target(), "old");
    ASSERT_EQ(download(QStringLiteral("/loop")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string());
    EXPECT_EQ(server.requestCount(), HttpClient::MaxRequests);
    EXPECT_EQ(HttpClient::MaxRequests, 15);

    // The count starts afresh with every call.
    ASSERT_EQ(download(QStringLiteral("/loop")), 0);
    EXPECT_EQ(server.requestCount(), 30);
}

TEST_F(DownloadDocumentTest, RedirectAnsweringTheLastRequestEndsButOneBeforeIsFollowed)
{
    for (int i = 0; i < 14; ++i)
        server.enqueue(LoopbackReply::http("302 Found", QByteArray(), "Location: /hop\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "arrived"));
    ASSERT_EQ(download(QStringLiteral("/hop")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("arrived\r\n"));
    EXPECT_EQ(server.requestCount(), 15);
}

TEST_F(DownloadDocumentTest, AnyResponseWithALocationIsFollowed)
{
    server.enqueue(LoopbackReply::http("200 OK", "not this", "Location: /real\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "this"));
    ASSERT_EQ(download(QStringLiteral("/start")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("this\r\n"));
    EXPECT_EQ(server.requests().at(1).target(), QByteArray("/real"));
}

TEST_F(DownloadDocumentTest, StatusErrorsFailWithTheirReportLinesAndKeepTheOldFile)
{
    writeWholeFile(target(), "old");

    server.enqueue(LoopbackReply::http("401 Brak dostepu", "denied",
                                       "WWW-Authenticate: Basic realm=\"x\"\r\n"));
    EXPECT_EQ(download(QStringLiteral("/secret"), QStringLiteral("user"), QStringLiteral("bad")),
              -1);
    EXPECT_EQ(server.requestCount(), 1); // a 401 is not answered with another request
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));

    server.enqueue(LoopbackReply::http("404 Not Found", "none"));
    EXPECT_EQ(download(QStringLiteral("/missing")), -1);
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));

    server.enqueue(LoopbackReply::http("500 Internal Server Error", "oops"));
    EXPECT_EQ(download(QStringLiteral("/broken")), -1);
    server.enqueue(LoopbackReply::http("304 Not Modified", QByteArray()));
    EXPECT_EQ(download(QStringLiteral("/same")), -1);
    server.enqueue(LoopbackReply::http("302 Found", QByteArray())); // nowhere to go
    EXPECT_EQ(download(QStringLiteral("/nowhere")), -1);

    EXPECT_EQ(joined(sink.lines),
              joined({QStringLiteral("Wymagana autoryzacja (HTTP/1.1 401 Brak dostepu)"),
                      QStringLiteral("Niepoprawny adres URL (") +
                          server.url(QStringLiteral("/missing")) + QLatin1Char(')')}));
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    // Error bodies were read away: still one connection.
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(DownloadDocumentTest, ChunkedBodyIsJoined)
{
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "5\r\nhello\r\n")
                       .then(50, "1;ext=1\r\n \r\n")
                       .then(0, "6\r\nworld\n\r\n0\r\nX-Trailer: 1\r\n\r\n"));
    ASSERT_EQ(download(QStringLiteral("/chunked")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("hello world\r\n"));
    EXPECT_TRUE(ui.statuses().contains(QStringLiteral("Pobieranie...")));
    EXPECT_TRUE(ui.events.contains(QStringLiteral("begin:1"))); // unknown size
    EXPECT_TRUE(ui.events.contains(QStringLiteral("end")));

    server.enqueue(LoopbackReply::http("200 OK", "again"));
    ASSERT_EQ(download(QStringLiteral("/next")), 0);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(DownloadDocumentTest, BrokenChunkedBodyFailsAndKeepsTheOldFile)
{
    writeWholeFile(target(), "old");
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "zz\r\nhello\r\n0\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/bad-size")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                      "10\r\nshort",
                                      true));
    EXPECT_EQ(download(QStringLiteral("/cut")), -1);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(DownloadDocumentTest, BodyWithoutLengthIsReadUntilTheServerCloses)
{
    LoopbackReply reply = LoopbackReply::raw("HTTP/1.1 200 OK\r\n\r\nfirst ");
    reply.then(50, "second");
    reply.close = true;
    server.enqueue(reply);
    ASSERT_EQ(download(QStringLiteral("/close")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("first second\r\n"));
}

TEST_F(DownloadDocumentTest, ContentLengthClosedEarlyIsAccepted)
{
    server.enqueue(
        LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial", true));
    ASSERT_EQ(download(QStringLiteral("/early")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("partial\r\n"));
    EXPECT_TRUE(ui.events.contains(QStringLiteral("begin:100")));
    EXPECT_TRUE(ui.events.contains(QStringLiteral("work:7")));
}

TEST_F(DownloadDocumentTest, InterimContinueIsSkipped)
{
    server.enqueue(LoopbackReply::raw("HTTP/1.1 100 Continue\r\n\r\n")
                       .then(30, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    ASSERT_EQ(download(QStringLiteral("/continue")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("ok\r\n"));
}

TEST_F(DownloadDocumentTest, LinesOverTheLimitFailWithoutALine)
{
    const QByteArray atLimit(HttpClient::MaxLineLength - 8, 'v'); // "X-Long: " + value
    server.enqueue(LoopbackReply::http("200 OK", "fits", "X-Long: " + atLimit + "\r\n"));
    ASSERT_EQ(download(QStringLiteral("/at-limit")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("fits\r\n"));

    writeWholeFile(target(), "old");
    server.enqueue(LoopbackReply::http("200 OK", "too long", "X-Long: " + atLimit + "v\r\n"));
    EXPECT_EQ(download(QStringLiteral("/over-header")), -1);
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 " + QByteArray(20000, 'k')));
    EXPECT_EQ(download(QStringLiteral("/over-status")), -1);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(DownloadDocumentTest, GarbageInsteadOfAReplyFails)
{
    server.enqueue(LoopbackReply::raw("SSH-2.0-OpenSSH\r\n\r\n", true));
    EXPECT_EQ(download(QStringLiteral("/ssh")), -1);
    server.enqueue(LoopbackReply::raw(QByteArray(), true));
    EXPECT_EQ(download(QStringLiteral("/closed")), -1);
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(DownloadDocumentTest, KeepAliveReusesOneConnectionAndCloseOpensANewOne)
{
    server.enqueue(LoopbackReply::http("200 OK", "one"));
    server.enqueue(LoopbackReply::http("200 OK", "two", "Connection: close\r\n"));
    server.enqueue(LoopbackReply::http("200 OK", "three"));
    ASSERT_EQ(download(QStringLiteral("/1")), 0);
    ASSERT_EQ(download(QStringLiteral("/2")), 0);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_FALSE(ui.statuses().contains(QStringLiteral("Łączenie z 127.0.0.1.")));
    EXPECT_TRUE(ui.statuses().contains(QStringLiteral("Rozłączanie.")));
    EXPECT_TRUE(ui.statuses().contains(QStringLiteral("Rozłączono.")));
    ASSERT_EQ(download(QStringLiteral("/3")), 0);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_TRUE(ui.statuses().contains(QStringLiteral("Łączenie z 127.0.0.1.")));
    EXPECT_EQ(readWholeFile(target()), std::string("three\r\n"));
}

TEST_F(DownloadDocumentTest, ConnectionClosedByTheServerWhileIdleIsOpenedAgain)
{
    server.enqueue(LoopbackReply::http("200 OK", "one")); // keeps the connection
    ASSERT_EQ(download(QStringLiteral("/1")), 0);
    // The server drops the idle connection without telling: the next request finds it dead.
    server.enqueue(LoopbackReply::raw(QByteArray(), true));
    server.enqueue(LoopbackReply::http("200 OK", "two"));
    ASSERT_EQ(download(QStringLiteral("/2")), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("two\r\n"));
    EXPECT_EQ(server.connectionCount(), 2);
}

// An idle connection is given up before the server is likely to drop it.
TEST_F(DownloadDocumentTest, AConnectionIdleTooLongIsClosedAndTheNextDownloadOpensOne)
{
    downloader.idHTTPClient()->setIdleLimit(50);
    server.enqueue(LoopbackReply::http("200 OK", "one"));
    server.enqueue(LoopbackReply::http("200 OK", "two"));
    ASSERT_EQ(download(QStringLiteral("/1")), 0);
    EXPECT_TRUE(WaitUntil([this] { return !downloader.idHTTPClient()->holdsConnection(); }));
    ASSERT_EQ(download(QStringLiteral("/2")), 0);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_TRUE(sink.lines.isEmpty());
}

TEST_F(DownloadDocumentTest, RefusedConnectionFailsWithoutALine)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closedPort = probe.serverPort();
    probe.close();
    writeWholeFile(target(), "old");
    EXPECT_EQ(downloader.DownloadDocument(QStringLiteral("http://127.0.0.1:%1/x").arg(closedPort),
                                          target(), &ui, QString(), QString()),
              -1);
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(DownloadDocumentTest, AddressesThatAreNotHttpFailWithoutARequest)
{
    for (const QString &address :
         {QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("no address"), QString(),
          QStringLiteral("http:///path-only")}) {
        ui.events.clear();
        EXPECT_EQ(downloader.DownloadDocument(address, target(), &ui, QStringLiteral("u"),
                                              QStringLiteral("p")),
                  -1)
            << address.toStdString();
        EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
    }
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(DownloadDocumentTest, UnwritableTargetFailsWithoutALine)
{
    server.enqueue(LoopbackReply::http("200 OK", "doc"));
    EXPECT_EQ(downloader.DownloadDocument(server.url(QStringLiteral("/doc")),
                                          dir.filePath(QStringLiteral("no/such/folder/doc.xml")),
                                          &ui, QString(), QString()),
              -1);
    EXPECT_TRUE(sink.lines.isEmpty());
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
}

TEST_F(DownloadDocumentTest, BodiesOverTheLimitAreRefusedWithALine)
{
    EXPECT_EQ(DocumentDownloader::MaxDocumentBytes, 64ll * 1024 * 1024);
    downloader.setMaxDocumentBytes(1000);
    writeWholeFile(target(), "old");

    server.enqueue(LoopbackReply::http("200 OK", QByteArray(1000, 'a')));
    ASSERT_EQ(download(QStringLiteral("/exact")), 0); // the limit itself is allowed
    writeWholeFile(target(), "old");

    server.enqueue(LoopbackReply::http("200 OK", QByteArray(5000, 'a')));
    EXPECT_EQ(download(QStringLiteral("/declared")), -1);

    QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 5; ++i)
        chunked += "12c\r\n" + QByteArray(300, 'c') + "\r\n";
    server.enqueue(LoopbackReply::raw(chunked + "0\r\n\r\n"));
    EXPECT_EQ(download(QStringLiteral("/chunked")), -1);

    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\n\r\n" + QByteArray(5000, 'u'), true));
    EXPECT_EQ(download(QStringLiteral("/until-close")), -1);

    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    QStringList expected;
    for (const char *path : {"/declared", "/chunked", "/until-close"})
        expected << QStringLiteral("Zbyt duży dokument (") + server.url(QString::fromLatin1(path)) +
                        QLatin1Char(')');
    EXPECT_EQ(joined(sink.lines), joined(expected));
}

TEST_F(DownloadDocumentTest, LargeBodyArrivesWholeWithProgress)
{
    QByteArray body;
    body.reserve(3 * 1024 * 1024);
    for (int i = 0; body.size() < 3 * 1024 * 1024; ++i)
        body += "<item>" + QByteArray::number(i) + "</item>\r\n";
    server.enqueue(LoopbackReply::http("200 OK", body));
    ASSERT_EQ(download(QStringLiteral("/large")), 0);
    EXPECT_EQ(readWholeFile(target()), body.toStdString());
    EXPECT_TRUE(ui.events.contains(QStringLiteral("begin:%1").arg(body.size())));
    EXPECT_TRUE(ui.events.contains(QStringLiteral("work:%1").arg(body.size())));
    const int works = int(std::count_if(ui.events.cbegin(), ui.events.cend(), [](const QString &e) {
        return e.startsWith(QLatin1String("work:"));
    }));
    EXPECT_GE(works, 1);
}

TEST_F(DownloadDocumentTest, StalledServerTimesOutWhileTimersKeepFiring)
{
    writeWholeFile(target(), "old");
    server.enqueue(LoopbackReply::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbeginning"));

    // A timer started before the download must keep firing during it.
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longestGap = 0;
    int ticks = 0;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = qMax(longestGap, now - last);
        last = now;
        ++ticks;
    });
    timer.start();
    EXPECT_EQ(download(QStringLiteral("/stall")), -1);
    timer.stop();

    const qint64 elapsed = clock.elapsed();
    EXPECT_GE(elapsed, HttpClient::ReadTimeoutMs - 200);
    EXPECT_GE(ticks, 20);
    EXPECT_LT(longestGap, 1000);
    EXPECT_EQ(joined(sink.lines),
              joined({QStringLiteral("Zbyt długi czas oczekiwania (") +
                      server.url(QStringLiteral("/stall")) + QLatin1Char(')')}));
    EXPECT_EQ(readWholeFile(target()), std::string("old"));
    EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe."));
    EXPECT_EQ(ui.events.filter(QStringLiteral("end")).size(), 1); // the bar is hidden again
}

TEST_F(DownloadDocumentTest, CallWhileADownloadIsInProgressIsRefused)
{
    server.enqueue(LoopbackReply::raw(QByteArray())
                       .thenWhenReleased("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nslow"));
    int nestedResult = 0;
    bool nestedWasBusy = false;
    RecordingUi otherUi;
    WhenTrue(
        &downloader, [this] { return server.heldCount() == 1; },
        [&](bool underWay) {
            EXPECT_TRUE(underWay);
            nestedWasBusy = downloader.busy();
            nestedResult = downloader.DownloadDocument(server.url(QStringLiteral("/second")),
                                                       dir.filePath(QStringLiteral("second.xml")),
                                                       &otherUi, QString(), QString());
            server.release();
        });
    ASSERT_EQ(download(QStringLiteral("/first")), 0);
    EXPECT_TRUE(nestedWasBusy);
    EXPECT_EQ(nestedResult, -1);
    EXPECT_TRUE(otherUi.events.isEmpty());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_FALSE(downloader.busy());
    EXPECT_EQ(readWholeFile(target()), std::string("slow\r\n"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("second.xml"))));
}

} // namespace
