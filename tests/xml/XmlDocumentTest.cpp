#include "xml/XmlDocument.h"
#include "support/TestFiles.h"
#include "support/ShortWrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char RdfNs[] = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
const char Rss1Ns[] = "http://purl.org/rss/1.0/";
const char DcNs[] = "http://purl.org/dc/elements/1.1/";

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray rss1Document()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rdf:RDF xmlns:rdf=\"") + RdfNs +
           "\" xmlns=\"" + Rss1Ns + "\" xmlns:dc=\"" + DcNs +
           "\">\n  <channel rdf:about=\"http://example.org/\"><title>Kanał</title></channel>\n"
           "  <item rdf:about=\"http://example.org/1\">\n    <title>Pierwszy</title>\n"
           "    <dc:creator>Jan</dc:creator>\n  </item>\n</rdf:RDF>\n";
}

class XmlDocumentTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    XmlDocument &load(XmlDocument &doc, const QByteArray &bytes)
    {
        doc.loadFromBytes(bytes);
        return doc;
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(XmlDocumentTest, LoadsFileAndWalksElements)
{
    ASSERT_TRUE(writeAll(path("a.xml"),
                         "<?xml version=\"1.0\"?>\n<rss version=\"2.0\">\n  <channel>\n"
                         "    <title>Kana&#322; &amp; co</title>\n"
                         "    <item><title>Pierwszy</title></item>\n"
                         "    <item><title>Drugi</title><empty/></item>\n  </channel>\n</rss>\n"));
    XmlDocument doc;
    doc.setFileName(path("a.xml"));
    EXPECT_EQ(doc.fileName(), path("a.xml"));
    EXPECT_FALSE(doc.active());
    EXPECT_TRUE(doc.documentElement().isNull());
    doc.setActive(true);
    ASSERT_TRUE(doc.active());

    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.nodeName(), "rss");
    EXPECT_EQ(root.attribute("version"), "2.0");
    XmlNode channel = root.findChild("channel");
    ASSERT_FALSE(channel.isNull());
    // Whitespace between elements is not kept: the element is the first and only child.
    EXPECT_EQ(root.firstChild(), channel);
    EXPECT_EQ(root.lastChild(), channel);
    EXPECT_EQ(root.childCount(), 1);
    EXPECT_EQ(channel.childCount(), 3);
    EXPECT_EQ(channel.childNodes().size(), 3);
    EXPECT_EQ(channel.findChild("title").text(), u8("Kanał & co"));

    XmlNode item = channel.findChild("item");
    EXPECT_EQ(item.findChild("title").text(), "Pierwszy");
    XmlNode second = item.nextSibling();
    EXPECT_EQ(second.findChild("title").text(), "Drugi");
    EXPECT_TRUE(second.nextSibling().isNull());
    EXPECT_EQ(second.previousSibling(), item);
    EXPECT_TRUE(channel.firstChild().previousSibling().isNull());
    EXPECT_EQ(second.parentNode(), channel);
    EXPECT_EQ(second.findChild("empty").text(), "");
    EXPECT_TRUE(item.findChild("link").isNull());
    EXPECT_EQ(item.childCount(), 1) << "findChild must not create";
}

TEST_F(XmlDocumentTest, TextDecodesReferencesAndRejectsElementContent)
{
    XmlDocument doc;
    load(doc, "<r><a>x &amp; &lt;y&gt; "
              "&#261;&#x142;</a><b><![CDATA[<p>&</p>]]></b><c>t<![CDATA[<i>]]>u</c>"
              "<d> </d><e><!-- note -->v</e><f><g/></f><h>\n <g/>\n</h><i/></r>");
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.findChild("a").text(), u8("x & <y> ął"));
    EXPECT_EQ(root.findChild("b").text(), "<p>&</p>");
    EXPECT_EQ(root.findChild("c").text(), "t<i>u");
    EXPECT_EQ(root.findChild("d").text(), " ") << "whitespace that is the whole content is text";
    EXPECT_EQ(root.findChild("e").text(), "v");
    EXPECT_EQ(root.findChild("i").text(), "");
    EXPECT_TRUE(root.findChild("i").text().isEmpty());
    for (const char *name : {"f", "h", "r"}) {
        XmlNode node = name == QLatin1String("r") ? root : root.findChild(name);
        try {
            (void)node.text();
            ADD_FAILURE() << name << ": text() of an element with element children must raise";
        } catch (const XmlError &e) {
            EXPECT_EQ(e.message(), "Element does not contain a single text node");
        }
    }
    XmlNode textNode = root.findChild("a").firstChild();
    EXPECT_TRUE(textNode.isText());
    EXPECT_FALSE(textNode.isElement());
    EXPECT_EQ(textNode.nodeName(), "#text");
}

TEST_F(XmlDocumentTest, SetTextReplacesContentAndEscapesOnSave)
{
    XmlDocument doc;
    load(doc, "<r><a>old</a><b><x/><y/></b></r>");
    XmlNode root = doc.documentElement();
    root.findChild("a").setText(u8("a < b & \"c\" > ą"));
    root.findChild("b").setText("plain");
    EXPECT_EQ(root.findChild("b").childCount(), 1);
    EXPECT_EQ(root.findChild("b").text(), "plain");
    root.child("c").setText("");
    EXPECT_EQ(root.findChild("c").text(), "");

    const QByteArray bytes = doc.toBytes();
    EXPECT_TRUE(bytes.contains("<a>a &lt; b &amp; \"c\" &gt; \xC4\x85</a>")) << bytes.constData();
    EXPECT_TRUE(bytes.contains("<c/>")) << bytes.constData();
    XmlNode textNode = root.findChild("b").firstChild();
    textNode.setText("x & y");
    EXPECT_EQ(root.findChild("b").text(), "x & y");
    root.findChild("b").setText("plain");

    XmlDocument again;
    load(again, bytes);
    EXPECT_EQ(again.documentElement().findChild("a").text(), u8("a < b & \"c\" > ą"));
    EXPECT_EQ(again.documentElement().findChild("b").text(), "plain");
}

// Namespace names are written so that they read back as they were, in any encoding; the
// save leaves the document's own names as they are.
TEST_F(XmlDocumentTest, NamespaceNamesReadBackAfterASave)
{
    for (const char *encoding : {"", " encoding=\"windows-1250\"", " encoding=\"ISO-8859-1\""}) {
        XmlDocument doc;
        load(doc, QByteArray("<?xml version=\"1.0\"") + encoding +
                      "?><r xmlns:x=\"urn:a&lt;b&amp;c&quot;d'e&gt;&#9;&#380;&#38;#38;\" "
                      "xmlns='&lt;&amp;&quot;'><x:a x:k=\"1\"/></r>");
        const QString named = doc.documentElement().lookupNamespaceURI("x");
        const QString unnamed = doc.documentElement().lookupNamespaceURI("");
        ASSERT_TRUE(named.contains('<') && named.contains('\t') && named.contains(u8("ż")));
        for (int round = 0; round < 2; ++round) {
            const QString file = path(QStringLiteral("ns.xml"));
            doc.saveToFile(file);
            EXPECT_EQ(doc.documentElement().lookupNamespaceURI("x"), named);
            XmlDocument again;
            ASSERT_NO_THROW(again.loadFromFile(file)) << encoding << readAll(file).constData();
            EXPECT_EQ(again.documentElement().lookupNamespaceURI("x"), named) << encoding;
            EXPECT_EQ(again.documentElement().lookupNamespaceURI(""), unnamed) << encoding;
            EXPECT_EQ(again.documentElement().firstChild().namespaceURI(), named);
            EXPECT_EQ(again.encoding(), doc.encoding());
            doc.loadFromFile(file);
        }
    }
}

TEST_F(XmlDocumentTest, ChildAppendsInParentNamespace)
{
    XmlDocument doc;
    load(doc, rss1Document());
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.nodeName(), "rdf:RDF");
    EXPECT_EQ(root.localName(), "RDF");
    EXPECT_EQ(root.namespaceURI(), RdfNs);

    XmlNode item = root.findChild("item");
    ASSERT_FALSE(item.isNull());
    EXPECT_EQ(item.namespaceURI(), Rss1Ns);
    XmlNode unread = item.child("unread");
    EXPECT_EQ(unread.nodeName(), "unread");
    EXPECT_EQ(unread.namespaceURI(), Rss1Ns);
    unread.setText("1");
    EXPECT_EQ(item.child("unread"), unread) << "a second lookup finds the appended element";
    EXPECT_EQ(item.lastChild(), unread);

    XmlNode creator = item.findChild("dc:creator");
    ASSERT_FALSE(creator.isNull());
    EXPECT_EQ(creator.localName(), "creator");
    EXPECT_EQ(creator.namespaceURI(), DcNs);
    XmlNode subject = item.child("dc:subject");
    EXPECT_EQ(subject.nodeName(), "dc:subject");
    EXPECT_EQ(subject.namespaceURI(), DcNs);

    // Under a prefixed parent an unprefixed name keeps the parent's namespace.
    XmlNode added = root.child("extra");
    EXPECT_EQ(added.nodeName(), "extra");
    EXPECT_EQ(added.namespaceURI(), RdfNs);
    EXPECT_EQ(root.child("extra"), added);

    const QByteArray bytes = doc.toBytes();
    EXPECT_TRUE(bytes.contains("<unread>1</unread>")) << bytes.constData();
    XmlDocument again;
    load(again, bytes);
    XmlNode reread = again.documentElement().findChild("item").findChild("unread");
    ASSERT_FALSE(reread.isNull());
    EXPECT_EQ(reread.namespaceURI(), Rss1Ns);
    EXPECT_EQ(reread.text(), "1");
    EXPECT_EQ(again.documentElement().findChild("extra").namespaceURI(), RdfNs);

    XmlDocument plain;
    load(plain, "<tree/>");
    XmlNode node = plain.documentElement().child("node");
    EXPECT_EQ(node.namespaceURI(), "");
    XmlNode second = plain.documentElement().appendElement("node");
    EXPECT_EQ(second, plain.documentElement().lastChild());
    EXPECT_NE(second, node);
    EXPECT_EQ(plain.documentElement().childCount(), 2) << "appendElement always appends";
}

TEST_F(XmlDocumentTest, AttributesAndNamespaceLookup)
{
    XmlDocument doc;
    load(doc, rss1Document());
    XmlNode root = doc.documentElement();
    XmlNode item = root.findChild("item");
    EXPECT_EQ(item.attribute("rdf:about"), "http://example.org/1");
    EXPECT_TRUE(item.attribute("about").isNull());
    EXPECT_TRUE(item.attribute("GUID").isNull());
    EXPECT_FALSE(item.hasAttribute("GUID"));
    EXPECT_EQ(root.attribute("xmlns:dc"), DcNs);
    EXPECT_EQ(root.attribute("xmlns"), Rss1Ns);

    item.setAttribute("GUID", "{A}");
    item.setAttribute("GUID", "{B}");
    item.setAttribute("note", "a\"b<c&d");
    item.setAttribute("empty", "");
    EXPECT_EQ(item.attribute("GUID"), "{B}");
    EXPECT_FALSE(item.attribute("empty").isNull());
    EXPECT_TRUE(item.attribute("empty").isEmpty());

    XmlNode title = item.findChild("title");
    EXPECT_EQ(title.lookupNamespaceURI("rdf"), RdfNs);
    EXPECT_EQ(title.lookupNamespaceURI("dc"), DcNs);
    EXPECT_EQ(title.lookupNamespaceURI(""), Rss1Ns);
    EXPECT_TRUE(title.lookupNamespaceURI("none").isNull());

    XmlDocument again;
    load(again, doc.toBytes());
    XmlNode reread = again.documentElement().findChild("item");
    EXPECT_EQ(reread.attribute("GUID"), "{B}");
    EXPECT_EQ(reread.attribute("note"), "a\"b<c&d");
    EXPECT_EQ(reread.attribute("empty"), "");
    EXPECT_FALSE(reread.attribute("empty").isNull());

    XmlDocument plain;
    load(plain, "<a/>");
    EXPECT_TRUE(plain.documentElement().lookupNamespaceURI("").isNull());
}

TEST_F(XmlDocumentTest, CloneAppendDeleteAndRemove)
{
    XmlDocument doc;
    load(doc, "<rss><channel><item id=\"1\"><title>A</title></item><x/><y/></channel></rss>");
    XmlNode channel = doc.documentElement().findChild("channel");
    XmlNode item = channel.findChild("item");

    XmlNode deep = item.cloneNode(true);
    EXPECT_TRUE(deep.parentNode().isNull());
    deep.findChild("title").setText("B");
    EXPECT_EQ(item.findChild("title").text(), "A") << "the clone is a separate copy";
    XmlNode shallow = item.cloneNode(false);
    EXPECT_EQ(shallow.childCount(), 0);
    EXPECT_EQ(shallow.attribute("id"), "1");

    XmlNode appended = channel.appendChild(deep);
    EXPECT_EQ(appended, channel.lastChild());
    EXPECT_EQ(appended.parentNode(), channel);
    EXPECT_EQ(channel.childCount(), 4);
    EXPECT_EQ(channel.lastChild().findChild("title").text(), "B");
    EXPECT_THROW(channel.appendChild(doc.documentElement()), XmlError);
    channel.appendChild(shallow);
    EXPECT_EQ(channel.childCount(), 5);

    channel.deleteChild(1); // x
    EXPECT_EQ(channel.childNodes().at(1).nodeName(), "y");
    channel.deleteChild(99);
    channel.deleteChild(-1);
    EXPECT_EQ(channel.childCount(), 4);
    channel.removeChild(channel.findChild("y"));
    EXPECT_TRUE(channel.findChild("y").isNull());
    EXPECT_THROW(channel.removeChild(item.findChild("title")), XmlError);
    EXPECT_EQ(channel.childCount(), 3);

    XmlNode documentNode = doc.documentElement().parentNode();
    EXPECT_EQ(documentNode.nodeName(), "#document");
    EXPECT_TRUE(documentNode.parentNode().isNull());
}

TEST_F(XmlDocumentTest, CloneMovesIntoAnotherDocument)
{
    XmlDocument target;
    load(target, "<export/>");
    {
        XmlDocument source;
        load(source, rss1Document());
        XmlNode copy = source.documentElement().findChild("item").cloneNode(true);
        target.documentElement().appendChild(copy);
        source.setActive(false); // the copy must not depend on the freed source
    }
    XmlNode item = target.documentElement().findChild("item");
    ASSERT_FALSE(item.isNull());
    EXPECT_EQ(item.findChild("title").text(), "Pierwszy");
    XmlDocument again;
    load(again, target.toBytes());
    XmlNode reread = again.documentElement().findChild("item");
    EXPECT_EQ(reread.namespaceURI(), Rss1Ns);
    EXPECT_EQ(reread.findChild("dc:creator").namespaceURI(), DcNs);
    EXPECT_EQ(reread.attribute("rdf:about"), "http://example.org/1");
}

TEST_F(XmlDocumentTest, ActivationAndFileName)
{
    ASSERT_TRUE(writeAll(path("one.xml"), "<one/>"));
    ASSERT_TRUE(writeAll(path("two.xml"), "<two/>"));
    XmlDocument doc;
    EXPECT_THROW(doc.setActive(true), XmlError) << "no file name";
    doc.setFileName(path("one.xml"));
    doc.setActive(true);
    doc.documentElement().child("added");
    doc.setActive(true); // already active: keeps the document in memory
    EXPECT_FALSE(doc.documentElement().findChild("added").isNull());
    doc.setFileName(path("two.xml"));
    EXPECT_FALSE(doc.active()) << "naming another file drops the loaded one";
    doc.setActive(true);
    EXPECT_EQ(doc.documentElement().nodeName(), "two");
    doc.setActive(false);
    EXPECT_FALSE(doc.active());
    EXPECT_TRUE(doc.documentElement().isNull());
    EXPECT_THROW(doc.save(), XmlError);
    EXPECT_THROW(doc.toBytes(), XmlError);
    EXPECT_THROW(doc.lines(), XmlError);
    doc.loadFromFile(path("one.xml"));
    EXPECT_EQ(doc.fileName(), path("one.xml"));
    EXPECT_EQ(doc.documentElement().nodeName(), "one");
    doc.loadFromBytes("<three/>");
    EXPECT_EQ(doc.fileName(), path("one.xml"));
    EXPECT_EQ(doc.documentElement().nodeName(), "three");
}

TEST_F(XmlDocumentTest, MissingAndMalformedInputRaisesWithLine)
{
    XmlDocument doc;
    doc.setFileName(path("none.xml"));
    EXPECT_THROW(doc.setActive(true), XmlError);
    EXPECT_FALSE(doc.active());

    ASSERT_TRUE(writeAll(path("bad.xml"), "<a>\n<b>\n</a>\n"));
    doc.setFileName(path("bad.xml"));
    try {
        doc.setActive(true);
        ADD_FAILURE() << "malformed XML must raise";
    } catch (const XmlError &e) {
        EXPECT_TRUE(e.message().contains("mismatch")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("(line 3)")) << e.message().toStdString();
    }
    EXPECT_FALSE(doc.active());

    for (const QByteArray &bytes :
         {QByteArray(), QByteArray("   "), QByteArray("<a>"), QByteArray("<a></a><b/>"),
          QByteArray("<?xml version=\"1.0\" encoding=\"no-such-charset\"?><a/>"),
          QByteArray("<a>&undefined;</a>"), QByteArray("\xFF\xFE\x00")}) {
        EXPECT_THROW(doc.loadFromBytes(bytes), XmlError) << bytes.toHex().constData();
        EXPECT_FALSE(doc.active());
    }
}

TEST_F(XmlDocumentTest, LinesGiveTheSerialisedDocument)
{
    XmlDocument doc;
    load(doc, "<?xml version=\"1.0\" encoding=\"windows-1250\"?><r><a>\xB9</a><b x=\"1\"/></r>");
    const QStringList expected = {u8("<?xml version=\"1.0\" encoding=\"windows-1250\"?>"), "<r>",
                                  u8("  <a>ą</a>"), "  <b x=\"1\"/>", "</r>"};
    EXPECT_EQ(doc.lines(), expected);

    XmlDocument styled;
    load(styled,
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n<!-- kept -->\n<rss/>\n");
    EXPECT_EQ(styled.lines(),
              (QStringList{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                           "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>",
                           "<!-- kept -->", "<rss/>"}));
    XmlNode instruction = styled.documentElement().previousSibling().previousSibling();
    EXPECT_EQ(instruction.nodeName(), "xml-stylesheet");

    XmlDocument plain;
    load(plain, "<r><a>\xC4\x85</a></r>");
    EXPECT_EQ(plain.lines(),
              (QStringList{"<?xml version=\"1.0\"?>", "<r>", u8("  <a>ą</a>"), "</r>"}));
    EXPECT_EQ(plain.toBytes(),
              QByteArray("<?xml version=\"1.0\"?>\n<r>\n  <a>\xC4\x85</a>\n</r>\n"));
}

TEST_F(XmlDocumentTest, AShortWriteLeavesTheOldFile)
{
    const QString file = path(QStringLiteral("doc.xml"));
    ASSERT_TRUE(writeAll(file, "<r>old</r>"));
    XmlDocument doc;
    doc.loadFromFile(file);
    doc.documentElement().setText("new");
    {
        InjectedShortWrite fullDisk;
        EXPECT_THROW(doc.save(), XmlError);
    }
    EXPECT_EQ(readAll(file), "<r>old</r>");
}
