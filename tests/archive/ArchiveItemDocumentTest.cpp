#include "archive/ArchiveItemDocument.h"

#include "ArchiveTestRows.h"
#include "archive/ArchiveRecord.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char RdfNs[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const char Rss1Ns[] = "http://purl.org/rss/1.0/";
const char DcNs[] = "http://purl.org/dc/elements/1.1/";

QStringList childNames(const XmlNode &node)
{
    QStringList names;
    for (const XmlNode &child : node.childNodes())
        names << child.nodeName();
    return names;
}

TEST(ArchiveItemDocumentTest, SchemaIsTwelveLinesWhoseOnlyItemBecomesTheTemplate)
{
    const QList<QByteArray> lines = ArchiveItemDocument::schemaText().split('\n');
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_EQ(lines[1], "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>");
    EXPECT_EQ(lines[2],
              "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
              "xmlns=\"http://purl.org/rss/1.0/\" "
              "xmlns:taxo=\"http://purl.org/rss/1.0/modules/taxonomy/\" "
              "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
              "xmlns:syn=\"http://purl.org/rss/1.0/modules/syndication/\" "
              "xmlns:admin=\"http://webns.net/mvcb/\">");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "\t<item rdf:about=\"\" GUID=\"\">");
    EXPECT_EQ(lines[5], "\t\t<title></title>");
    EXPECT_EQ(lines[10], "\t\t<unread>1</unread><pubDate></pubDate></item>");
    EXPECT_EQ(lines[11], "</rdf:RDF>");

    ArchiveItemDocument doc;
    const XmlNode root = doc.xmlArchiveSchema().documentElement();
    EXPECT_EQ(root.childCount(), 1) << "whitespace between elements is not kept";
    const XmlNode item = doc.archiveItemTemplate();
    EXPECT_EQ(item.nodeName(), "item");
    EXPECT_EQ(childNames(item), QStringList({"title", "link", "description", "dc:creator",
                                             "dc:date", "unread", "pubDate"}));
    EXPECT_EQ(item.findChild("unread").text(), "1");
}

TEST(ArchiveItemDocumentTest, FillingRestoresDoubleQuotesAndReusesOneNode)
{
    ArchiveItemDocument doc;
    ArchiveRecord stored = archiveRow("{G1}", "{CH}", QStringLiteral("Tytuł |cytat|"),
                                      QStringLiteral("<b>opis</b> |x|"),
                                      QStringLiteral("Kanał |A|"));
    stored.sChannelImage = QStringLiteral("http://example.org/a|b.png");
    XmlNode item = doc.fill(stored);
    EXPECT_EQ(item, doc.archiveItemTemplate());
    EXPECT_EQ(item.attribute("GUID"), "{G1}");
    EXPECT_EQ(item.findChild("title").text(), "Tytuł \"cytat\"");
    EXPECT_EQ(item.findChild("description").text(), "<b>opis</b> \"x\"");
    EXPECT_EQ(item.findChild("dc:creator").text(), "Autor Tytuł \"cytat\"");
    EXPECT_EQ(item.findChild("dc:date").text(), "2024-03-01");
    EXPECT_EQ(item.findChild("link").text(), stored.sLink);
    EXPECT_EQ(item.findChild("sChannelName").text(), "Kanał \"A\"");
    EXPECT_EQ(item.findChild("sChannelLink").text(), stored.sChannelLink);
    EXPECT_EQ(item.findChild("sChannelImage").text(), "http://example.org/a\"b.png");
    EXPECT_EQ(item.findChild("dc:creator").namespaceURI(), DcNs);
    EXPECT_EQ(item.findChild("sChannelName").namespaceURI(), Rss1Ns);

    // What a mark command wrote stays; the second row's values replace the first's.
    item.findChild("unread").setText("0");
    const XmlNode again = doc.fill(archiveRow("{G2}", "{CH}", "drugi"));
    EXPECT_EQ(again, item);
    EXPECT_EQ(childNames(again),
              QStringList({"title", "link", "description", "dc:creator", "dc:date", "unread",
                           "pubDate", "sChannelLink", "sChannelName", "sChannelImage"}));
    EXPECT_EQ(again.findChild("title").text(), "drugi");
    EXPECT_EQ(again.findChild("description").text(), "");
    EXPECT_EQ(again.findChild("unread").text(), "0");
    EXPECT_EQ(again.findChild("pubDate").text(), "");
    EXPECT_EQ(again.attribute("rdf:about"), "");
}

// A row with its full text gives the item content:encoded, which the style sheet shows in
// place of the description; the next row without one (archived earlier) shows its description.
TEST(ArchiveItemDocumentTest, AFullTextIsGivenAsContentEncodedAndARowWithoutOneHasNone)
{
    const QString ContentNs = QStringLiteral("http://purl.org/rss/1.0/modules/content/");
    QTemporaryDir dir;
    ArchiveItemDocument doc;
    ArchiveRecord full = archiveRow("{G1}", "{CH}", "pełny", QStringLiteral("zajawka"));
    full.sContent = QStringLiteral("<p>Cały |tekst|</p>");
    XmlNode item = doc.fill(full);
    EXPECT_EQ(item.findChild("description").text(), "zajawka");
    ASSERT_FALSE(item.findChild("content:encoded").isNull());
    EXPECT_EQ(item.findChild("content:encoded").text(), "<p>Cały \"tekst\"</p>");
    EXPECT_EQ(item.findChild("content:encoded").namespaceURI(), ContentNs);

    const QString path = dir.filePath("arch_item.xml");
    doc.write(item, path);
    XmlDocument written;
    written.loadFromFile(path);
    const XmlNode back = written.documentElement().firstChild().findChild("content:encoded");
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.namespaceURI(), ContentNs);
    EXPECT_EQ(back.text(), "<p>Cały \"tekst\"</p>");

    item = doc.fill(archiveRow("{G2}", "{CH}", "stary", QStringLiteral("tylko opis")));
    EXPECT_TRUE(item.findChild("content:encoded").isNull());
    EXPECT_EQ(item.findChild("description").text(), "tylko opis");
}

TEST(ArchiveItemDocumentTest, WrittenFileIsUtf8WithTheStyleSheetAndOneItem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("arch_item.xml");
    ArchiveItemDocument doc;
    for (const char *title : {"pierwszy", "Zażółć gęślą jaźń"}) {
        doc.write(doc.fill(archiveRow("{G}", "{CH}", QString::fromUtf8(title),
                                      QStringLiteral("a < b & \"c\""))),
                  path);
    }
    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << bytes.data();
    EXPECT_TRUE(bytes.contains("<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>"));
    EXPECT_TRUE(bytes.contains("Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85"));
    EXPECT_EQ(bytes.count("<item"), 1) << bytes.data();
    EXPECT_EQ(bytes.count("xmlns=\""), 1) << "the item needs no declarations of its own";

    XmlDocument back;
    back.loadFromFile(path);
    const XmlNode root = back.documentElement();
    EXPECT_EQ(root.namespaceURI(), RdfNs);
    ASSERT_EQ(root.childCount(), 1);
    const XmlNode item = root.firstChild();
    EXPECT_EQ(item.namespaceURI(), Rss1Ns);
    EXPECT_EQ(item.findChild("title").text(), QStringLiteral("Zażółć gęślą jaźń"));
    EXPECT_EQ(item.findChild("description").text(), "a < b & \"c\"");
    EXPECT_EQ(item.findChild("dc:creator").namespaceURI(), DcNs);
    EXPECT_EQ(item.findChild("sChannelImage").text(), "http://example.org/logo.png");
}

} // namespace
