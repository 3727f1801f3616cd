#include "reading/ItemExport.h"
#include "reading/ItemLinks.h"

#include "feed/FeedNormaliser.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

const QByteArray Rss2 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                        "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                        "<rss version=\"2.0\"><channel><title>Kanał</title><link>http://k.pl/</link>"
                        "<item GUID=\"{A}\"><title>Pierwsza</title><unread>1</unread></item>"
                        "<item GUID=\"{B}\"><title>Żółta łódź</title><unread>0</unread></item>"
                        "<item><title>Bez GUID</title></item>"
                        "<item GUID=\"{C}\"><title>Trzecia</title></item>"
                        "</channel></rss>\n";

const QByteArray Rdf = "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                       "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                       "xmlns=\"http://purl.org/rss/1.0/\">"
                       "<channel rdf:about=\"http://k.pl/\"><title>Kanał RDF</title></channel>"
                       "<item GUID=\"{A}\"><title>Pierwsza</title></item>"
                       "<item GUID=\"{B}\"><title>Druga</title></item></rdf:RDF>\n";

QStringList itemTitles(const QString &file)
{
    XmlDocument doc;
    doc.loadFromFile(file);
    QStringList titles;
    for (XmlNode n = NormaliseFeedFile(doc).firstItem; n; n = n.nextSibling())
        if (n.localName() == QLatin1String("item"))
            titles << n.findChild(QStringLiteral("title")).text();
    return titles;
}

TEST(ItemExport, NamesGetXmlUnlessTheyHoldItAnywhere)
{
    EXPECT_EQ(ExportFileName("/tmp/wiadomość"), "/tmp/wiadomość.xml");
    EXPECT_EQ(ExportFileName("/tmp/a.xml"), "/tmp/a.xml");
    EXPECT_EQ(ExportFileName("/tmp/a.xml.bak"), "/tmp/a.xml.bak");
    EXPECT_EQ(ExportFileName("/tmp/a.XML"), "/tmp/a.XML.xml");
    EXPECT_EQ(ExportStyleSheetName("/tmp/a.xml"), "/tmp/a.xml.xsl");
}

TEST(ItemExport, AChannelItemIsExportedAloneWithItsSheetNamedWithoutAFolder)
{
    QTemporaryDir dir;
    const QString cache = dir.filePath("data/{K}.xml");
    ASSERT_TRUE(writeAll(cache, Rss2));
    const QString out = dir.filePath("eksport/Łódź.xml");
    ASSERT_TRUE(writeAll(out, "old"));

    ExportChannelItem(cache, "{B}", out);
    EXPECT_EQ(itemTitles(out), QStringList{"Żółta łódź"});
    const QByteArray bytes = readAll(out);
    EXPECT_TRUE(bytes.contains("href=\"Łódź.xml.xsl\"")) << bytes.constData();
    EXPECT_FALSE(bytes.contains("rss_xslt.xsl"));
    EXPECT_FALSE(bytes.contains("<title>Kanał</title>")); // the channel's first child goes
    EXPECT_EQ(readAll(cache), Rss2);                       // the cache file is untouched

    ASSERT_TRUE(writeAll(dir.filePath("data/rss_xslt.xsl"), "<sheet/>"));
    ASSERT_TRUE(writeAll(ExportStyleSheetName(out), "stale"));
    EXPECT_TRUE(CopyExportStyleSheet(dir.filePath("data/rss_xslt.xsl"), out));
    EXPECT_EQ(readAll(ExportStyleSheetName(out)), "<sheet/>");
}

TEST(ItemExport, AnRdfItemLosesTheChannelElementAndTheOtherItems)
{
    QTemporaryDir dir;
    const QString cache = dir.filePath("{K}.xml");
    ASSERT_TRUE(writeAll(cache, Rdf));
    const QString out = dir.filePath("rdf.xml");
    ExportChannelItem(cache, "{A}", out);
    const QByteArray bytes = readAll(out);
    EXPECT_FALSE(bytes.contains("Kanał RDF"));
    EXPECT_TRUE(bytes.contains("Pierwsza"));
    EXPECT_FALSE(bytes.contains("Druga"));
    EXPECT_TRUE(bytes.contains("href=\"rdf.xml.xsl\""));
}

TEST(ItemExport, TheArchiveItemIsCopiedWithItsSheetRenamed)
{
    QTemporaryDir dir;
    const QByteArray item = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n<rdf:RDF/>\n";
    ASSERT_TRUE(writeAll(dir.filePath("arch_item.xml"), item));
    ExportArchiveItem(dir.filePath("arch_item.xml"), dir.filePath("z archiwum.xml"));
    EXPECT_TRUE(readAll(dir.filePath("z archiwum.xml")).contains("href=\"z archiwum.xml.xsl\""));
    EXPECT_THROW(ExportArchiveItem(dir.filePath("brak.xml"), dir.filePath("x.xml")), std::exception);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.xml")));
}

TEST(ItemLinks, OnlyWebPagesAndMailGoToTheSystem)
{
    for (const char *ok : {"http://example.com/a?b=1", "HTTPS://example.com/", "mailto:a@b.pl"})
        EXPECT_TRUE(IsOpenableLink(QUrl(QString::fromLatin1(ok)))) << ok;
    for (const char *bad : {"file:///etc/passwd", "javascript:alert(1)", "data:text/html,x", "smb://host/share",
                            "http://", "/etc/passwd", "", "vbscript:x", "ms-settings:"})
        EXPECT_FALSE(IsOpenableLink(QUrl(QString::fromLatin1(bad)))) << bad;
}

TEST(ItemLinks, TheMailHasNoRecipientAndKeepsTitleAndLinkAsText)
{
    const QString title = QStringLiteral("Żółć & gęś? #1 + 50% taniej");
    const QString link = QStringLiteral("http://k.pl/a?x=1&y=2#frag");
    const QUrl url = MailtoUrl(title, link);
    ASSERT_TRUE(url.isValid());
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_TRUE(url.path().isEmpty());
    const QByteArray encoded = url.toEncoded();
    EXPECT_FALSE(encoded.contains('#'));
    EXPECT_EQ(encoded.count('&'), 1) << encoded.constData();
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("subject", QUrl::FullyDecoded), title);
    EXPECT_EQ(query.queryItemValue("body", QUrl::FullyDecoded), link);
}

} // namespace
