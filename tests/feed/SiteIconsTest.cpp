// Site icons: where a site keeps its icon, which bytes count as one, when it is fetched
// again, and the fetcher against a loopback server that answers well, badly or not at all.

#include "base/FileReplace.h"
#include "feed/SiteIcons.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"
#include "support/TestFiles.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray Png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, 'p');
const QByteArray Ico = QByteArray("\x00\x00\x01\x00\x01\x00", 6) + QByteArray(64, 'i');

TEST(SiteIcons, PageIconsComeFirstThenTheFaviconOfThePageAndOfTheFeed)
{
    const QByteArray page =
        "<html><head><base href=\"http://news.example/pl/\">"
        "<link rel=\"apple-touch-icon\" href=\"/touch.png\">"
        "<link rel=\"icon\" type=\"image/svg+xml\" href=\"/icon.svg\">"
        "<link rel=\"Shortcut Icon\" href=\"img/fav.png?v=2&amp;x=1\">"
        "<link rel=\"icon\" href=\"javascript:alert(1)\">"
        "<link rel=\"icon\" href=\"img/fav.png?v=2&amp;x=1\">"
        "</head><body><link rel=\"icon\" href=\"/late.png\"></body></html>";
    EXPECT_EQ(SiteIcons::Candidates(page, QStringLiteral("http://news.example/"),
                                    QStringLiteral("http://feeds.example:8080/rss.xml")),
              (QStringList{QStringLiteral("http://news.example/pl/img/fav.png?v=2&x=1"),
                           QStringLiteral("http://news.example/touch.png"),
                           QStringLiteral("http://news.example/favicon.ico"),
                           QStringLiteral("http://feeds.example:8080/favicon.ico")}));
    // No page: the favicon alone, once.
    EXPECT_EQ(SiteIcons::Candidates({}, QStringLiteral("https://a.example/x"),
                                    QStringLiteral("https://a.example/feed")),
              QStringList{QStringLiteral("https://a.example/favicon.ico")});

    EXPECT_EQ(SiteIcons::SitePage(QStringLiteral("http://news.example/pl"), QStringLiteral("x")),
              QStringLiteral("http://news.example/pl"));
    // A link that is no web address: the feed's site speaks for it.
    EXPECT_EQ(SiteIcons::SitePage(QStringLiteral("file:///etc/passwd"),
                                  QStringLiteral("https://feeds.example/a/rss")),
              QStringLiteral("https://feeds.example/"));
    EXPECT_EQ(SiteIcons::SitePage(QString(), QStringLiteral("archive.jpg")), QString());
}

TEST(SiteIcons, OnlyRasterPicturesCountAsIcons)
{
    EXPECT_TRUE(SiteIcons::LooksLikeIcon(Png));
    EXPECT_TRUE(SiteIcons::LooksLikeIcon(Ico));
    EXPECT_TRUE(SiteIcons::LooksLikeIcon("GIF89a" + QByteArray(20, 'g')));
    EXPECT_TRUE(SiteIcons::LooksLikeIcon(QByteArray("\xff\xd8\xff\xe0", 4) + QByteArray(20, 'j')));
    // What servers send instead: their page, an empty body, a vector picture, a fragment.
    EXPECT_FALSE(SiteIcons::LooksLikeIcon("<!DOCTYPE html><html><body>404</body></html>"));
    EXPECT_FALSE(SiteIcons::LooksLikeIcon(QByteArray()));
    EXPECT_FALSE(SiteIcons::LooksLikeIcon("<svg xmlns=\"http://www.w3.org/2000/svg\"/>"));
    EXPECT_FALSE(SiteIcons::LooksLikeIcon(QByteArray("\x89PNG", 4)));
}

TEST(SiteIcons, AnIconOrItsAbsenceIsKeptForAWeek)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.path() + QStringLiteral("/icons/{G}.ico");
    const QDateTime now = QDateTime::currentDateTime();
    EXPECT_TRUE(SiteIcons::Due(file, now));
    SiteIcons::Store(file, Png);
    EXPECT_EQ(readAll(file), Png);
    EXPECT_FALSE(SiteIcons::Due(file, now.addDays(6)));
    EXPECT_TRUE(SiteIcons::Due(file, now.addDays(SiteIcons::RefreshDays).addSecs(60)));
    // A clock put back: the file is from the future, and asked for again.
    EXPECT_TRUE(SiteIcons::Due(file, now.addDays(-1)));
    SiteIcons::Store(file, QByteArray());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_FALSE(SiteIcons::Due(file, now.addSecs(60)));
    // A folder that cannot be made (a file in its way): raised, nothing half-written.
    writeAll(dir.path() + QStringLiteral("/blocked"), "x");
    EXPECT_THROW(SiteIcons::Store(dir.path() + QStringLiteral("/blocked/{G}.ico"), Png), FileError);
}

class SiteIconFetch : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_server.start()); }

    // Fetches one channel's icon and gives what came.
    QByteArray fetch(SiteIconFetcher &fetcher, const QString &guid, const QString &link)
    {
        QByteArray got;
        bool came = false;
        QObject context;
        QObject::connect(&fetcher, &SiteIconFetcher::fetched, &context,
                         [&](const QString &g, const QByteArray &bytes) {
                             if (g == guid) {
                                 got = bytes;
                                 came = true;
                             }
                         });
        SignalCounter done(&fetcher, &SiteIconFetcher::fetched);
        fetcher.request({guid, link, m_server.url(QStringLiteral("/feed.xml"))});
        while (!came && done.wait())
            ;
        EXPECT_TRUE(came);
        return got;
    }

    LoopbackServer m_server;
};

TEST_F(SiteIconFetch, ThePagesOwnIconIsFetched)
{
    m_server.setHandler([](const LoopbackRequest &request) {
        if (request.target() == "/site/")
            return LoopbackReply::http("200 OK", "<html><head><link rel=icon href=/i/own.png></head></html>");
        if (request.target() == "/i/own.png")
            return LoopbackReply::http("200 OK", Png, "Content-Type: image/png\r\n");
        return LoopbackReply::http("404 Not Found", "no");
    });
    SiteIconFetcher fetcher;
    EXPECT_EQ(fetch(fetcher, QStringLiteral("{A}"), m_server.url(QStringLiteral("/site/"))), Png);
    EXPECT_EQ(fetcher.pending(), 0);
}

TEST_F(SiteIconFetch, ABrokenOrHugeIconFallsBackToTheFaviconAndAnHtmlAnswerIsNone)
{
    m_server.setHandler([](const LoopbackRequest &request) {
        const QByteArray target = request.target();
        if (target == "/")
            return LoopbackReply::http("200 OK", "<link rel=icon href=/big.png><link rel=icon href=/html.png>");
        if (target == "/big.png") // over the icon limit: refused like an oversized document
            return LoopbackReply::http("200 OK", Png + QByteArray(SiteIcons::MaxIconBytes, 'x'));
        if (target == "/html.png")
            return LoopbackReply::http("200 OK", "<html>not found, but 200</html>");
        if (target == "/favicon.ico")
            return LoopbackReply::http("200 OK", Ico);
        return LoopbackReply::http("404 Not Found", "no");
    });
    SiteIconFetcher fetcher;
    EXPECT_EQ(fetch(fetcher, QStringLiteral("{B}"), QString()), Ico);

    m_server.setHandler([](const LoopbackRequest &) {
        return LoopbackReply::http("200 OK", "<html><body>always this page</body></html>");
    });
    EXPECT_EQ(fetch(fetcher, QStringLiteral("{C}"), QString()), QByteArray());
}

TEST_F(SiteIconFetch, AChannelIsAskedOnceAndAStalledServerDoesNotHoldTheProgramsEnd)
{
    m_server.setHandler([](const LoopbackRequest &) { return LoopbackReply::stall(); });
    auto fetcher = std::make_unique<SiteIconFetcher>();
    SignalCounter fetched(fetcher.get(), &SiteIconFetcher::fetched);
    for (int i = 0; i < 3; ++i)
        fetcher->request({QStringLiteral("{D}"), QString(), m_server.url(QStringLiteral("/feed"))});
    EXPECT_EQ(fetcher->pending(), 1);
    ASSERT_TRUE(m_server.waitForRequests(1, WaitDeadlineMs));
    QElapsedTimer ending;
    ending.start();
    fetcher.reset();
    // Well below the client's own time-outs: the request was cancelled.
    EXPECT_LT(ending.elapsed(), 5000);
    EXPECT_EQ(fetched.count(), 0);
}

} // namespace
