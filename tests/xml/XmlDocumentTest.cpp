#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class XmlDocumentTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(XmlDocumentTest, LoadsNavigatesAndReadsText)
{
    writeAll(path("a.xml"), "<?xml version=\"1.0\"?>\n<rss version=\"2.0\">\n  <channel>\n    <title>Kana&#322; &amp; co</title>\n"
                            "    <item><title>Pierwszy</title></item>\n    <item><title>Drugi</title><empty/></item>\n"
                            "  </channel>\n</rss>\n");
    XmlDocument doc;
    doc.setFileName(path("a.xml"));
    EXPECT_FALSE(doc.active());
    doc.setActive(true);
    ASSERT_TRUE(doc.active());
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.nodeName(), "rss");
    EXPECT_EQ(root.attribute("version"), "2.0");
    EXPECT_TRUE(root.attribute("missing").isNull());
    XmlNode channel = root.findChild("channel");
    ASSERT_FALSE(channel.isNull());
    // Whitespace between elements is dropped, so the first child is the element.
    EXPECT_EQ(root.firstChild(), channel);
    EXPECT_EQ(channel.childCount(), 3);
    EXPECT_EQ(channel.findChild("title").text(), QString::fromUtf8("Kanał & co"));
    XmlNode item = channel.findChild("item");
    EXPECT_EQ(item.child("title").text(), "Pierwszy");
    XmlNode second = item.nextSibling();
    EXPECT_EQ(second.findChild("title").text(), "Drugi");
    EXPECT_TRUE(second.nextSibling().isNull());
    EXPECT_EQ(second.previousSibling(), item);
    EXPECT_EQ(second.findChild("empty").text(), "");
    try {
        (void)second.text();
        FAIL() << "text() of an element with element children must raise";
    } catch (const XmlError &e) {
        EXPECT_EQ(e.message(), "Element does not contain a single text node");
    }
}

TEST_F(XmlDocumentTest, MissingAndMalformedFilesRaise)
{
    XmlDocument doc;
    doc.setFileName(path("none.xml"));
    EXPECT_THROW(doc.setActive(true), XmlError);
    EXPECT_FALSE(doc.active());
    writeAll(path("bad.xml"), "<a>\n<b></a>\n");
    doc.setFileName(path("bad.xml"));
    try {
        doc.setActive(true);
        FAIL();
    } catch (const XmlError &e) {
        EXPECT_TRUE(e.message().contains("line 2")) << e.message().toStdString();
    }
    EXPECT_FALSE(doc.active());
    EXPECT_THROW(doc.saveToFile(path("out.xml")), XmlError);
    EXPECT_FALSE(QFile::exists(path("out.xml")));
}

TEST_F(XmlDocumentTest, ChildCreatesInParentNamespace)
{
    XmlDocument doc;
    doc.loadFromBytes("<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\">"
                      "<item><title>T</title></item></rdf:RDF>");
    XmlNode item = doc.documentElement().findChild("item");
    ASSERT_FALSE(item.isNull());
    EXPECT_TRUE(item.findChild("unread").isNull());
    XmlNode unread = item.child("unread");
    EXPECT_EQ(unread.nodeName(), "unread");
    EXPECT_EQ(unread.namespaceURI(), "http://purl.org/rss/1.0/");
    unread.setText("1");
    EXPECT_EQ(item.child("unread"), unread);
    EXPECT_EQ(item.childCount(), 2);
}
