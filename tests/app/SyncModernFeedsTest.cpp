#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"
#include "support/TestUserFolder.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QMutex>
#include <QTemporaryDir>

namespace {

const QByteArray AtomDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<feed xmlns="http://www.w3.org/2005/Atom" xml:base="http://example.org/atom/">
  <title>Kanał Atom</title>
  <link href="./"/>
  <entry>
    <title type="html">Pierwszy &lt;b&gt;wpis&lt;/b&gt;</title>
    <link href="1.html"/>
    <id>urn:a:1</id>
    <published>2024-03-01T23:30:00+02:00</published>
    <author><name>Anna</name></author>
    <content type="html">&lt;p&gt;Treść&lt;/p&gt;</content>
  </entry>
  <entry>
    <title>Drugi wpis</title>
    <link href="2.html"/>
    <id>urn:a:2</id>
    <updated>2024-02-28T08:00:00Z</updated>
  </entry>
</feed>
)";

const QByteArray JsonDocument = R"({
  "version": "https://jsonfeed.org/version/1.1",
  "title": "Kanał JSON",
  "home_page_url": "https://example.org/json/",
  "items": [
    {"id": "j1", "url": "https://example.org/json/1", "title": "Wpis JSON",
     "content_text": "Tekst", "date_published": "2024-01-05T10:00:00Z",
     "authors": [{"name": "Ewa"}]}
  ]
})";

struct Item
{
    QString title, link, pubDate, creator, unread;
};

// `kolvani --sync` against a loopback server holding Atom and JSON channels, as a user
// would run it from cron.
class SyncModernFeedsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        appFolder = makeUserFolder(home.path() + QStringLiteral("/Kolvani"));
        ASSERT_FALSE(appFolder.isEmpty());
        server.setHandler([this](const LoopbackRequest &request) {
            QMutexLocker lock(&mutex);
            const QByteArray path = request.target();
            const bool conditional = request.raw.contains("\r\nIf-None-Match: \"7\"\r\n");
            if (path == "/etag" && conditional && etagHonoured)
                return LoopbackReply::http("304 Not Modified", "");
            if (path == "/atom" || path == "/etag")
                return LoopbackReply::http("200 OK", AtomDocument, "ETag: \"7\"\r\n");
            if (path == "/json")
                return LoopbackReply::http("200 OK", JsonDocument, "Content-Type: text/plain\r\n");
            if (path == "/busy")
                return LoopbackReply::http("429 Too Many Requests", "", "Retry-After: 600\r\n");
            if (path == "/broken")
                return LoopbackReply::http("200 OK", "{\"version\": \"https://jsonfeed.org/");
            return LoopbackReply::http("404 Not Found", "brak");
        });
        ASSERT_TRUE(server.start());
    }

    QString addChannel(const QString &name, const QString &path)
    {
        ChannelNode *node = tree.addNode(tree.root(), name, NodeKind::Channel);
        node->channel()->url = server.url(path);
        node->channel()->enabled = true;
        node->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-%1}")
                                    .arg(tree.count(), 12, 10, QLatin1Char('0'));
        SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));
        return node->channel()->GUID;
    }

    int runSync(QString *errors)
    {
        return runKolvani({QStringLiteral("--sync")}, home.path(), errors);
    }

    QString cacheFile(const QString &guid) const
    {
        return appFolder + QStringLiteral("data/") + guid + QStringLiteral(".xml");
    }

    // The fields the header list and the item view read from a cache file.
    QList<Item> items(const QString &guid)
    {
        QList<Item> result;
        XmlDocument doc;
        doc.loadFromFile(cacheFile(guid));
        for (XmlNode item = doc.documentElement().findChild("channel").findChild("item"); item;
             item = item.nextSibling()) {
            auto text = [&item](const char *name) {
                const XmlNode child = item.findChild(QString::fromLatin1(name));
                return child ? child.text() : QString();
            };
            result.append(
                {text("title"), text("link"), text("pubDate"), text("dc:creator"), text("unread")});
        }
        return result;
    }

    void markFirstRead(const QString &guid)
    {
        XmlDocument doc;
        doc.loadFromFile(cacheFile(guid));
        doc.documentElement().findChild("channel").findChild("item").child("unread").setText("0");
        doc.save();
    }

    QTemporaryDir home;
    QString appFolder;
    ChannelTree tree;
    QMutex mutex;
    bool etagHonoured = true;
    LoopbackServer server;
};

} // namespace

TEST_F(SyncModernFeedsTest, AtomAndJsonChannelsGetCacheFilesTheReaderShows)
{
    const QString atom = addChannel(QStringLiteral("Atom"), QStringLiteral("/atom"));
    const QString json = addChannel(QStringLiteral("JSON"), QStringLiteral("/json"));
    QString errors;
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Uaktualniono Atom")));
    EXPECT_TRUE(errors.contains(QStringLiteral("Uaktualniono JSON")));
    EXPECT_TRUE(errors.contains(QStringLiteral("Nowych wiadomości: 3")));

    const QByteArray cached = readAll(cacheFile(atom)).replace("?>\n<?", "?><?");
    EXPECT_TRUE(cached.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                  "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>"))
        << cached.left(200).constData();
    QList<Item> got = items(atom);
    ASSERT_EQ(got.size(), 2);
    EXPECT_EQ(got[0].title, QStringLiteral("Pierwszy wpis"));
    EXPECT_EQ(got[0].link, QStringLiteral("http://example.org/atom/1.html"));
    EXPECT_EQ(got[0].pubDate, QStringLiteral("2024-03-01"));
    EXPECT_EQ(got[0].creator, QStringLiteral("Anna"));
    EXPECT_EQ(got[1].pubDate, QStringLiteral("2024-02-28"));
    EXPECT_EQ(got[1].unread, QStringLiteral("1"));
    got = items(json);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].title, QStringLiteral("Wpis JSON"));
    EXPECT_EQ(got[0].link, QStringLiteral("https://example.org/json/1"));
    EXPECT_EQ(got[0].pubDate, QStringLiteral("2024-01-05"));
    EXPECT_EQ(got[0].creator, QStringLiteral("Ewa"));

    // The next run carries the read mark over and finds nothing new.
    markFirstRead(atom);
    markFirstRead(json);
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Nowych wiadomości: 0")));
    EXPECT_EQ(items(atom)[0].unread, QStringLiteral("0"));
    EXPECT_EQ(items(atom)[1].unread, QStringLiteral("1"));
    EXPECT_EQ(items(json)[0].unread, QStringLiteral("0"));
}

TEST_F(SyncModernFeedsTest, EtagRunsAnswer304AndAMalformedJsonKeepsTheOldCache)
{
    const QString etag = addChannel(QStringLiteral("Etag"), QStringLiteral("/etag"));
    QString errors;
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    // The first request of a channel goes out exactly as ever.
    const QByteArray first = server.requests().at(0).raw;
    EXPECT_EQ(first, "GET /etag HTTP/1.1\r\nContent-Type: text/html\r\nHost: 127.0.0.1:" +
                         QByteArray::number(server.port()) +
                         "\r\nAccept: text/html, */*\r\n"
                         "Accept-Encoding: gzip, deflate\r\n"
                         "User-Agent: Mozilla/3.0 (compatible; Indy Library)\r\n\r\n");
    markFirstRead(etag);
    const QByteArray cached = readAll(cacheFile(etag));

    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Uaktualniono Etag"))) << errors.toStdString();
    EXPECT_TRUE(server.requests().at(1).raw.endsWith("If-None-Match: \"7\"\r\n\r\n"));
    EXPECT_EQ(readAll(cacheFile(etag)), cached);

    // A server that stops honouring the validator gives a full update, marks carried.
    {
        QMutexLocker lock(&mutex);
        etagHonoured = false;
    }
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_NE(readAll(cacheFile(etag)), cached);
    EXPECT_EQ(items(etag)[0].unread, QStringLiteral("0"));

    // A JSON channel turned malformed: reported, its old cache file kept, status 1.
    const QString broken = addChannel(QStringLiteral("Zepsuty"), QStringLiteral("/broken"));
    ASSERT_TRUE(writeAll(cacheFile(broken), readAll(cacheFile(etag))));
    const QByteArray old = readAll(cacheFile(broken));
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Zły format kanału Zepsuty")))
        << errors.toStdString();
    EXPECT_EQ(readAll(cacheFile(broken)), old);
}

TEST_F(SyncModernFeedsTest, ARefusalWithRetryAfterIsReportedInALineOfItsOwn)
{
    addChannel(QStringLiteral("Zajęty"), QStringLiteral("/busy"));
    QString errors;
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Serwer prosi o przerwę do ")))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral(" (429, ") + server.url(QStringLiteral("/busy")) +
                                QStringLiteral(")")));
    EXPECT_TRUE(errors.contains(QStringLiteral("Nie można pobrać nowych nagłówków z Zajęty")));
    // The command does not wait for the pause: a second run asks again at once.
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_EQ(server.requestCount(), 2);
}
