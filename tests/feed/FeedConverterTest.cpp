#include "feed/FeedConverter.h"
#include "feed/FeedNormaliser.h"
#include "feed/JsonFeedConverter.h"
#include "feed/TextOps.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

QString feedsFolder()
{
    return QStringLiteral(KV_SOURCE_DIR "/tests/data/feeds");
}

QString addressOf(const QString &name)
{
    return QStringLiteral("http://example.org/feeds/") + name;
}

int countItems(XmlNode node)
{
    int count = 0;
    for (; node; node = node.nextSibling())
        count += node.nodeName() == QLatin1String("item") ? 1 : 0;
    return count;
}

QByteArray converted(const QByteArray &document, const QString &address = QString())
{
    QByteArray rss;
    EXPECT_TRUE(ConvertFeedToRss(document, address, rss));
    return rss;
}

const QByteArray AtomEntry = "<?xml version=\"1.0\"?>\n"
                             "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>T</title>"
                             "<entry><title>E</title><published>%1</published></entry></feed>";

} // namespace

// Every Atom and JSON document in tests/data/feeds is converted and compared byte for byte
// with the RSS 2.0 in its .expected file (or with "error=FeedFormatError"); the result must
// also be what the channel update reads: items found the way the update walks them.
TEST(FeedConverterTest, GoldenAtomAndJsonFeeds)
{
    const QDir folder(feedsFolder());
    const QStringList feeds = folder.entryList({"*.atom", "*.json"}, QDir::Files, QDir::Name);
    ASSERT_GE(feeds.size(), 10);
    for (const QString &name : feeds) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray document = readAll(folder.filePath(name));
        const QByteArray expected = readAll(folder.filePath(name + ".expected"));
        ASSERT_FALSE(expected.isEmpty()) << "missing " << name.toStdString() << ".expected";
        QByteArray rss;
        if (expected.startsWith("error=")) {
            EXPECT_EQ(expected.trimmed(), "error=FeedFormatError");
            EXPECT_THROW(ConvertFeedToRss(document, addressOf(name), rss), FeedFormatError);
            EXPECT_TRUE(rss.isEmpty());
            continue;
        }
        ASSERT_TRUE(ConvertFeedToRss(document, addressOf(name), rss));
        if (qEnvironmentVariableIsSet("KV_WRITE_GOLDEN"))
            writeAll(folder.filePath(name + ".expected"), rss);
        EXPECT_EQ(rss.toStdString(), expected.toStdString());

        XmlDocument doc;
        doc.loadFromBytes(rss);
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        EXPECT_EQ(feed.version, "2.0");
        EXPECT_EQ(countItems(feed.firstItem), int(rss.count("<item>")));
        EXPECT_EQ(doc.documentElement().lookupNamespaceURI("dc"),
                  "http://purl.org/dc/elements/1.1/");
    }
}

TEST(FeedConverterTest, FormatIsJudgedByContentAndRssIsLeftAlone)
{
    struct Case
    {
        const char *document;
        FeedFormat format;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?><rss version=\"2.0\"><channel/></rss>", FeedFormat::Other},
        {"<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/>", FeedFormat::Other},
        // "feed" alone is not Atom: the namespace decides.
        {"<?xml version=\"1.0\"?><feed><entry><title>x</title></entry></feed>", FeedFormat::Other},
        {"<!-- <feed> --><!DOCTYPE feed [<!ENTITY a \"b\">]>"
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"/>",
         FeedFormat::Atom},
        {"<x:feed xmlns:x=\"http://purl.org/atom/ns#\" version=\"0.3\"/>", FeedFormat::Atom},
        {"\xEF\xBB\xBF \r\n{\"version\": \"https://jsonfeed.org/version/1\"}",
         FeedFormat::JsonFeed},
        {"not a feed at all", FeedFormat::Other},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.document);
        EXPECT_EQ(DetectFeedFormat(c.document), c.format);
        if (c.format == FeedFormat::Other) {
            QByteArray rss = "untouched";
            EXPECT_FALSE(ConvertFeedToRss(c.document, QString(), rss));
            EXPECT_EQ(rss, "untouched");
        }
    }

    // UTF-16 Atom, as some servers send it.
    const QString atom = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                        "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
                                        "<title>Zażółć</title></feed>");
    QByteArray utf16("\xFF\xFE", 2);
    for (const QChar c : atom) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    EXPECT_EQ(DetectFeedFormat(utf16), FeedFormat::Atom);
    EXPECT_TRUE(converted(utf16).contains("<title>Zażółć</title>"));
}

// The converted date must survive the update's own date conversion with the day the feed
// meant, whatever the offset.
TEST(FeedConverterTest, DatesComeOutInRfc822FormThatTheUpdateConverts)
{
    const struct
    {
        const char *iso;
        const char *rfc822;
        const char *stored;
    } cases[] = {
        {"2004-01-05T23:30:00+02:00", "Mon, 05 Jan 2004 23:30:00 +0200", "2004-01-05"},
        {"2024-02-29t01:02:03.5z", "Thu, 29 Feb 2024 01:02:03 GMT", "2024-02-29"},
        {"2023-07-09 06:00:00-05:30", "Sun, 09 Jul 2023 06:00:00 -0530", "2023-07-09"},
        {"1999-12-31T00:00:00", "Fri, 31 Dec 1999 00:00:00 GMT", "1999-12-31"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.iso);
        const QByteArray rss = converted(QString::fromLatin1(AtomEntry).arg(c.iso).toUtf8());
        const QByteArray pubDate = QByteArray("<pubDate>") + c.rfc822 + "</pubDate>";
        ASSERT_TRUE(rss.contains(pubDate)) << rss.constData();
        EXPECT_EQ(ConvertFeedDate(QString::fromLatin1(c.rfc822)), c.stored);
    }
    EXPECT_FALSE(
        converted(QString::fromLatin1(AtomEntry).arg("5 stycznia").toUtf8()).contains("pubDate"));
}

TEST(FeedConverterTest, HostileJsonIsRefusedAsABadFormat)
{
    QByteArray rss;
    // Above the size bound: refused before a parse could take the memory.
    QByteArray huge = "{\"version\": \"https://jsonfeed.org/version/1\", \"title\": \"";
    huge += QByteArray(FeedConversion::MaxJsonFeedBytes, 'a');
    huge += "\"}";
    EXPECT_THROW(ConvertFeedToRss(huge, QString(), rss), FeedFormatError);
    for (const char *document :
         {"{", "{\"version\": 1}", "{\"items\": []}",
          "{\"version\": \"https://jsonfeed.org/version/1\"} trailing",
          "{\"version\": \"https://jsonfeed.org/version/1\","
          " \"items\": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]"}) {
        SCOPED_TRACE(document);
        EXPECT_THROW(ConvertFeedToRss(document, QString(), rss), FeedFormatError);
    }
    EXPECT_TRUE(rss.isEmpty());

    // Control characters and lone surrogates cannot go into XML: dropped, the rest kept.
    const QByteArray odd = converted("{\"version\": \"https://jsonfeed.org/version/1.1\","
                                     " \"title\": \"a\\u0001b\\ud800c\", \"items\": "
                                     "[{\"id\": \"x\", \"title\": \"<script>\", \"url\": 7}]}");
    XmlDocument doc;
    doc.loadFromBytes(odd);
    const XmlNode channel = doc.documentElement().findChild("channel");
    EXPECT_EQ(channel.findChild("title").text(), "abc");
    EXPECT_EQ(channel.findChild("item").findChild("title").text(), "<script>");
    EXPECT_TRUE(channel.findChild("item").findChild("link").isNull());
}

// Version 1 ids that are numbers keep every digit: neighbours stay apart.
TEST(FeedConverterTest, NumericJsonIdsKeepDistinctGuids)
{
    XmlDocument doc;
    doc.loadFromBytes(converted("{\"version\": \"https://jsonfeed.org/version/1\", \"title\": \"T\","
                                " \"items\": [{\"id\": 1234567, \"title\": \"a\"},"
                                " {\"id\": 1234568, \"title\": \"b\"}]}"));
    QStringList guids;
    for (XmlNode item = doc.documentElement().findChild("channel").findChild("item"); item;
         item = item.nextSibling())
        guids << item.findChild("guid").text();
    EXPECT_EQ(guids, QStringList({"1234567", "1234568"}));
}
