// The wizard's probe: reading a channel document's own fields, and the probe against a
// loopback server, finding the channel a web page announces.

#include "feed/ChannelProbe.h"
#include "feed/FeedNormaliser.h"
#include "support/DownloadFixture.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class ChannelProbeTest : public DownloadFixture
{
protected:
    void SetUp() override
    {
        DownloadFixture::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("temp")));
        probeFile = dir.filePath(QStringLiteral("temp/channel_info.xml"));
    }

    ChannelInfo read(const QByteArray &bytes)
    {
        EXPECT_TRUE(writeAll(probeFile, bytes));
        return ReadChannelInfo(QStringLiteral("http://x.test/rss"), probeFile);
    }

    ProbeResult probe(const QString &address)
    {
        return ProbeChannel(address, probeFile, [this](const QString &from, const QString &file) {
            requested << from;
            return downloader.FetchChannel(from, file, &ui, QString(), QString(), HttpValidators());
        });
    }

    QString probeFile;
    QStringList requested;
};

TEST_F(ChannelProbeTest, ReadsTheChannelFieldsOfRss2)
{
    const ChannelInfo info = read(
        "<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\"><channel>"
        "<atom:link href=\"http://x.test/self\" rel=\"self\"/>"
        "<title>Kana&#322;</title><link>http://x.test/</link><description>Opis</description>"
        "<copyright>(c) X</copyright><image><url>http://x.test/logo.png</url></image>"
        "<item><title>i</title></item></channel></rss>");
    EXPECT_EQ(info.title, QString::fromUtf8("Kanał"));
    EXPECT_EQ(info.url, "http://x.test/rss");
    EXPECT_EQ(info.link, "http://x.test/");
    EXPECT_EQ(info.description, "Opis");
    EXPECT_EQ(info.copyright, "(c) X");
    EXPECT_EQ(info.image, "http://x.test/logo.png");
}

TEST_F(ChannelProbeTest, AtomAndJsonFeedChannelsAreReadAsTheirUpdatesWillSeeThem)
{
    ChannelInfo info = read(
        "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atomowy dziennik</title>"
        "<subtitle>Co słychać</subtitle><link rel=\"alternate\" href=\"http://x.test/blog/\"/>"
        "<rights>(c) A</rights><logo>http://x.test/logo.png</logo><entry><title>e</title>"
        "<id>urn:1</id><updated>2024-01-01T10:00:00Z</updated></entry></feed>");
    EXPECT_EQ(info.title, QStringLiteral("Atomowy dziennik"));
    EXPECT_EQ(info.link, "http://x.test/blog/");
    EXPECT_EQ(info.description, QStringLiteral("Co słychać"));
    EXPECT_EQ(info.copyright, "(c) A");
    EXPECT_EQ(info.image, "http://x.test/logo.png");

    info = read("{\"version\": \"https://jsonfeed.org/version/1.1\", \"title\": \"Dziennik JSON\","
                " \"home_page_url\": \"http://x.test/\", \"items\": [{\"id\": \"1\","
                " \"content_text\": \"t\"}]}");
    EXPECT_EQ(info.title, QStringLiteral("Dziennik JSON"));
    EXPECT_EQ(info.link, "http://x.test/");
    EXPECT_EQ(info.image, DefaultChannelImage);
}

TEST_F(ChannelProbeTest, TheImageComesFromBesideTheChannelInRss1OrIsTheDefault)
{
    EXPECT_EQ(read("<rss version=\"0.91\"><channel><title>T</title></channel></rss>").image,
              "archive.jpg");
    EXPECT_EQ(read("<rss version=\"2.0\"><channel><title>T</title><image><url></url></image>"
                   "</channel></rss>")
                  .image,
              "archive.jpg");
    const ChannelInfo rdf = read(
        "<?xml version=\"1.0\"?><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\"><channel rdf:about=\"http://x.test/\"><title>R</title>"
        "<link>http://x.test/</link><description>D</description>"
        "<image rdf:resource=\"http://x.test/i.gif\"/></channel>"
        "<image rdf:about=\"http://x.test/i.gif\"><url>http://x.test/i.gif</url></image>"
        "<item rdf:about=\"http://x.test/1\"><title>1</title></item></rdf:RDF>");
    EXPECT_EQ(rdf.title, "R");
    EXPECT_EQ(rdf.description, "D");
    EXPECT_EQ(rdf.image, "http://x.test/i.gif");
}

TEST_F(ChannelProbeTest, AnIsoLatin2ChannelIsRewrittenAsWindows1250AndReadRight)
{
    const ChannelInfo info =
        read("<?xml version=\"1.0\" encoding=\"iso-8859-2\"?>"
             "<rss version=\"2.0\"><channel><title>\xa1\xb1 \xa6\xb6</title></channel></rss>");
    EXPECT_EQ(info.title, QString::fromUtf8("Ąą Śś"));
    EXPECT_TRUE(readAll(probeFile).contains("windows-1250"));
}

TEST_F(ChannelProbeTest, WhatIsNotAChannelDocumentIsRefused)
{
    EXPECT_THROW(read("<rss version=\"2.0\"><title>no channel</title></rss>"), FeedFormatError);
    EXPECT_THROW(read("<html xmlns=\"http://www.w3.org/1999/xhtml\"><head/><body/></html>"),
                 FeedFormatError);
    EXPECT_THROW(read("<html><body><p>not xml<br></body></html>"), XmlError);
}

TEST_F(ChannelProbeTest, SchemeRulesOfATypedAddress)
{
    EXPECT_TRUE(AddressCanBeSubscribed(QStringLiteral("http://x.test/rss")));
    EXPECT_TRUE(AddressCanBeSubscribed(QStringLiteral("https://x.test/rss")));
    EXPECT_TRUE(AddressCanBeSubscribed(QStringLiteral("HTTPS://x.test/rss")));
    EXPECT_TRUE(AddressCanBeSubscribed(QStringLiteral("x.test/rss")));
    EXPECT_TRUE(AddressCanBeSubscribed(QStringLiteral("localhost:8080/rss")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("http://")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("https://")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("ftp://x.test/rss")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("file:///etc/passwd")));
    EXPECT_FALSE(AddressCanBeSubscribed(QStringLiteral("javascript:alert(1)")));

    EXPECT_EQ(AddressWithScheme(QStringLiteral(" x.test/rss ")), "http://x.test/rss");
    EXPECT_EQ(AddressWithScheme(QStringLiteral("https://x.test/rss")), "https://x.test/rss");
}

TEST_F(ChannelProbeTest, AProbeReadsTheChannelAndLeavesNoProbeFile)
{
    server.enqueue(LoopbackReply::http(
        "200 OK", "<rss version=\"2.0\"><channel><title>Feed</title></channel></rss>"));
    const ProbeResult result = probe(server.url(QStringLiteral("/rss.xml")));
    ASSERT_EQ(result.outcome, ProbeResult::Read);
    EXPECT_EQ(result.info.title, "Feed");
    EXPECT_EQ(result.info.url, server.url(QStringLiteral("/rss.xml")));
    EXPECT_FALSE(QFile::exists(probeFile));
}

TEST_F(ChannelProbeTest, AWebPageLeadsToTheChannelItAnnouncesRelativeToThePage)
{
    server.enqueue(LoopbackReply::http(
        "200 OK", "<!DOCTYPE html><html><head><title>Blog</title>"
                  "<link rel=\"alternate\" type=\"application/rss+xml\" href=\"feed/rss.xml\">"
                  "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"/atom\">"
                  "</head><body><p>Hi<br></body></html>",
        "Content-Type: text/html\r\n"));
    server.enqueue(LoopbackReply::http(
        "200 OK", "<rss version=\"2.0\"><channel><title>Blog feed</title></channel></rss>"));
    const ProbeResult result = probe(server.url(QStringLiteral("/blog/")));
    ASSERT_EQ(result.outcome, ProbeResult::Read);
    EXPECT_EQ(result.info.title, "Blog feed");
    EXPECT_EQ(result.info.url, server.url(QStringLiteral("/blog/feed/rss.xml")));
    ASSERT_EQ(server.requestCount(), 2);
    EXPECT_EQ(server.requests()[1].target(), "/blog/feed/rss.xml");
    EXPECT_FALSE(QFile::exists(probeFile));
}

TEST_F(ChannelProbeTest, TheAnnouncedChannelIsResolvedAgainstThePageAfterItsRedirects)
{
    server.enqueue(LoopbackReply::http("302 Found", "", "Location: /static/blog/index.html\r\n"));
    server.enqueue(LoopbackReply::http(
        "200 OK", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                  "href=\"feed.xml\"></head></html>",
        "Content-Type: text/html\r\n"));
    server.enqueue(LoopbackReply::http(
        "200 OK", "<rss version=\"2.0\"><channel><title>Blog</title></channel></rss>"));
    const ProbeResult result = probe(server.url(QStringLiteral("/redir")));
    ASSERT_EQ(result.outcome, ProbeResult::Read);
    EXPECT_EQ(result.info.url, server.url(QStringLiteral("/static/blog/feed.xml")));
    ASSERT_EQ(server.requestCount(), 3);
    EXPECT_EQ(server.requests()[2].target(), "/static/blog/feed.xml");
}

TEST_F(ChannelProbeTest, APageWithoutChannelOrAFailedDownloadIsToldApart)
{
    server.enqueue(LoopbackReply::http("200 OK", "<html><head></head><body>x</body></html>"));
    EXPECT_EQ(probe(server.url(QStringLiteral("/page"))).outcome, ProbeResult::NotAChannel);
    EXPECT_FALSE(QFile::exists(probeFile));

    // A file an earlier probe left behind is not taken for this one's download.
    ASSERT_TRUE(writeAll(probeFile, "<rss version=\"2.0\"><channel><title>Old</title></channel></rss>"));
    server.enqueue(LoopbackReply::http("404 Not Found", "gone"));
    const ProbeResult missing = probe(server.url(QStringLiteral("/gone.xml")));
    EXPECT_EQ(missing.outcome, ProbeResult::NotDownloaded);
    EXPECT_EQ(missing.failedAddress, server.url(QStringLiteral("/gone.xml")));
    EXPECT_EQ(missing.problem, "serwer odpowiedział: 404 Not Found");
    EXPECT_FALSE(QFile::exists(probeFile));

    // The announced channel fails to download: its own address is the one named.
    server.enqueue(LoopbackReply::http(
        "200 OK", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                  "href=\"/r.xml\"></head></html>"));
    server.enqueue(LoopbackReply::http("500 Internal Server Error", "no"));
    const ProbeResult announcedMissing = probe(server.url(QStringLiteral("/p")));
    EXPECT_EQ(announcedMissing.outcome, ProbeResult::NotDownloaded);
    EXPECT_EQ(announcedMissing.failedAddress, server.url(QStringLiteral("/r.xml")));
    EXPECT_EQ(announcedMissing.problem, "serwer odpowiedział: 500 Internal Server Error");

    // Nobody listens: the cause says so.
    const ProbeResult refused = probe(QStringLiteral("http://127.0.0.1:1/rss.xml"));
    EXPECT_EQ(refused.outcome, ProbeResult::NotDownloaded);
    EXPECT_EQ(refused.problem, QString::fromUtf8("serwer nie przyjmuje połączeń lub nie odpowiada"));
}

} // namespace
