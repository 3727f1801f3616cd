#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Ten levels of entities, each referring ten times to the one below ("billion laughs").
QByteArray laughs(bool inAttribute)
{
    QByteArray dtd = "<!DOCTYPE lolz [\n<!ENTITY lol0 \"lol\">\n";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY lol" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&lol" + QByteArray::number(level - 1) + ";";
        dtd += "\">\n";
    }
    dtd += "]>\n";
    return "<?xml version=\"1.0\"?>\n" + dtd +
           (inAttribute ? "<lolz a=\"&lol9;\"/>" : "<lolz>&lol9;</lolz>");
}

// The same through parameter entities, expanded inside the DTD itself.
QByteArray parameterLaughs()
{
    QByteArray dtd = "<!DOCTYPE lolz [\n<!ENTITY % p0 \"\">\n";
    for (int level = 1; level <= 9; ++level) {
        dtd += "<!ENTITY % p" + QByteArray::number(level) + " \"";
        for (int i = 0; i < 10; ++i)
            dtd += "&#37;p" + QByteArray::number(level - 1) + ";";
        dtd += "\">\n";
    }
    dtd += "%p9;\n]>\n";
    return "<?xml version=\"1.0\"?>\n" + dtd + "<lolz/>";
}

// One large entity referenced many times: few levels, much text.
QByteArray quadraticBlowup(int entitySize, int references)
{
    return "<!DOCTYPE a [<!ENTITY big \"" + QByteArray(entitySize, 'x') + "\">]><a>" +
           QByteArray("&big;").repeated(references) + "</a>";
}

// Runs `work` with file descriptor 2 sent to a file and gives what was written there.
template <typename Work> QByteArray captureStderr(Work work)
{
    std::fflush(stderr);
    char name[] = "/tmp/kv-stderr-XXXXXX";
    const int capture = ::mkstemp(name);
    const int saved = ::dup(2);
    ::dup2(capture, 2);
    work();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    ::close(capture);
    QFile file(QString::fromLocal8Bit(name));
    file.open(QIODevice::ReadOnly);
    const QByteArray written = file.readAll();
    file.remove();
    return written;
}

class XmlHostileTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(XmlHostileTest, EntityExpansionBombsFailCleanly)
{
    const QByteArray bombs[] = {laughs(false), laughs(true), parameterLaughs(),
                                quadraticBlowup(60000, 200)};
    for (const QByteArray &bomb : bombs) {
        SCOPED_TRACE(bomb.left(80).constData());
        XmlDocument doc;
        try {
            doc.loadFromBytes(bomb);
            ADD_FAILURE() << "an entity bomb must not load";
        } catch (const XmlError &e) {
            EXPECT_TRUE(e.message().contains("expansion")) << e.message().toStdString();
        }
        EXPECT_FALSE(doc.active());
    }
}

TEST_F(XmlHostileTest, ModestInternalEntitiesStillWork)
{
    XmlDocument doc;
    doc.loadFromBytes(
        "<!DOCTYPE a [<!ENTITY pl \"\xC4\x85&amp;\xC5\x82\"><!ENTITY two \"&pl;&pl;\">]>"
        "<a t=\"&two;\"><b>x&pl;y</b><c>&two;</c></a>");
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.findChild("b").text(), QString::fromUtf8("xą&ły"));
    EXPECT_EQ(root.findChild("c").text(), QString::fromUtf8("ą&łą&ł"));
    EXPECT_EQ(root.attribute("t"), QString::fromUtf8("ą&łą&ł"));

    XmlDocument many;
    many.loadFromBytes(quadraticBlowup(10000, 50));
    EXPECT_EQ(many.documentElement().text().size(), 500000);
}

TEST_F(XmlHostileTest, ExternalFilesAreNeverRead)
{
    ASSERT_TRUE(writeAll(path("secret.txt"), "TOPSECRET"));
    ASSERT_TRUE(writeAll(path("evil.dtd"), "<!ENTITY leak \"TOPSECRET\">"));
    const QByteArray secretUrl = "file://" + QFile::encodeName(path("secret.txt"));
    const QByteArray dtdUrl = "file://" + QFile::encodeName(path("evil.dtd"));
    const QByteArray documents[] = {
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"" + secretUrl + "\">]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"" + QFile::encodeName(path("secret.txt")) +
            "\">]><a>&e;</a>",
        "<!DOCTYPE a SYSTEM \"" + dtdUrl + "\"><a>&leak;</a>",
        "<!DOCTYPE a [<!ENTITY % ext SYSTEM \"" + dtdUrl + "\"> %ext;]><a>&leak;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"" + secretUrl + "\">]><a b=\"&e;\"/>",
    };
    for (const QByteArray &document : documents) {
        SCOPED_TRACE(document.constData());
        XmlDocument doc;
        try {
            doc.loadFromBytes(document);
        } catch (const XmlError &e) {
            EXPECT_FALSE(e.message().contains("TOPSECRET"));
            continue;
        }
        XmlNode root = doc.documentElement();
        EXPECT_FALSE(root.text().contains("TOPSECRET"));
        EXPECT_FALSE(root.attribute("b").contains("TOPSECRET"));
        EXPECT_FALSE(doc.toBytes().contains("TOPSECRET"));
    }
}

TEST_F(XmlHostileTest, NoNetworkAccessForExternalReferences)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QByteArray base = "http://127.0.0.1:" + QByteArray::number(server.serverPort());
    const QByteArray documents[] = {
        "<!DOCTYPE a SYSTEM \"" + base + "/a.dtd\"><a>&x;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM \"" + base + "/e.xml\">]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY % p SYSTEM \"" + base + "/p.dtd\"> %p;]><a/>",
        "<!DOCTYPE a PUBLIC \"-//X//DTD X//EN\" \"" + base + "/pub.dtd\"><a/>",
    };
    for (const QByteArray &document : documents) {
        XmlDocument doc;
        try {
            doc.loadFromBytes(document);
        } catch (const XmlError &) {
        }
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(server.waitForNewConnection(200));
    EXPECT_FALSE(server.hasPendingConnections());
}

TEST_F(XmlHostileTest, ErrorsNeverReachStandardError)
{
    const QByteArray written = captureStderr([this] {
        const QByteArray inputs[] = {"<a><b></a>",
                                     "<a>&nope;</a>",
                                     laughs(false),
                                     "<?xml version=\"1.0\" encoding=\"bogus\"?><a/>",
                                     "<!DOCTYPE a SYSTEM \"/nonexistent/x.dtd\"><a>&y;</a>",
                                     "<a>\x01</a>"};
        for (const QByteArray &input : inputs) {
            XmlDocument doc;
            try {
                doc.loadFromBytes(input);
            } catch (const XmlError &) {
            }
        }
        XmlDocument doc;
        doc.loadFromBytes("<a>x</a>");
        doc.setEncoding("bogus-encoding");
        try {
            doc.saveToFile(path("out.xml"));
        } catch (const XmlError &) {
        }
    });
    EXPECT_TRUE(written.isEmpty()) << written.constData();
}

TEST_F(XmlHostileTest, DeepNestingFailsCleanly)
{
    const int depth = 100000;
    const QByteArray deep = QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
    XmlDocument doc;
    try {
        doc.loadFromBytes(deep);
        ADD_FAILURE() << "runaway nesting must not load";
    } catch (const XmlError &e) {
        EXPECT_TRUE(e.message().contains("nested")) << e.message().toStdString();
    }
    EXPECT_FALSE(doc.active());

    const QByteArray reasonable =
        QByteArray("<a>").repeated(200) + "x" + QByteArray("</a>").repeated(200);
    doc.loadFromBytes(reasonable);
    XmlNode node = doc.documentElement();
    while (node.firstChild().isElement())
        node = node.firstChild();
    EXPECT_EQ(node.text(), "x");
}

TEST_F(XmlHostileTest, LargeDocumentsLoad)
{
    // 50 MB: one 20 MB text node (beyond libxml2's default text limit) and 30 MB of items.
    QByteArray bytes;
    bytes.reserve(52 * 1024 * 1024);
    bytes +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><description>";
    bytes += QByteArray("\xC5\xBC\xC3\xB3\xC5\x82w ", 8).repeated(20 * 1024 * 1024 / 8);
    bytes += "</description>\n";
    const QByteArray item = "<item><title>Tytu\xC5\x82</title><link>http://example.org/</link>"
                            "<description>Opis &amp; tre\xC5\x9B\xC4\x87 wiadomo\xC5\x9B"
                            "ci.</description></item>\n";
    int items = 0;
    while (bytes.size() < 50 * 1024 * 1024) {
        bytes += item;
        ++items;
    }
    bytes += "</channel></rss>\n";
    ASSERT_TRUE(writeAll(path("big.xml"), bytes));
    bytes.clear();

    XmlDocument doc;
    doc.loadFromFile(path("big.xml"));
    XmlNode channel = doc.documentElement().findChild("channel");
    EXPECT_EQ(channel.findChild("description").text().size(), 20 * 1024 * 1024 / 8 * 5);
    EXPECT_EQ(channel.childCount(), items + 1);
    EXPECT_EQ(channel.lastChild().findChild("title").text(), QString::fromUtf8("Tytuł"));
}

namespace {

QByteArray elementWithAttributes(int count, const QByteArray &name = "a")
{
    QByteArray element = "<" + name;
    for (int i = 0; i < count; ++i)
        element += " a" + QByteArray::number(i) + "='v'";
    return element + "/>";
}

QByteArray namespaceDeclarations(int from, int count)
{
    QByteArray text;
    for (int i = from; i < from + count; ++i)
        text += " xmlns:p" + QByteArray::number(i) + "=\"urn:" + QByteArray::number(i) + "\"";
    return text;
}

QByteArray asUtf16(const QByteArray &utf8, bool bigEndian)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

QString loadError(const QByteArray &bytes)
{
    XmlDocument doc;
    try {
        doc.loadFromBytes(bytes);
    } catch (const XmlError &e) {
        return doc.active() ? QStringLiteral("active after an error") : e.message();
    }
    return QString();
}

} // namespace

// libxml2 takes time growing with the square of the attributes of one tag: 200,000 of them
// (2 MB) held the program for more than a minute.
TEST_F(XmlHostileTest, TagsWithThousandsOfAttributesAreRefused)
{
    EXPECT_EQ(loadError("<r>" + elementWithAttributes(256) + "</r>"), QString());
    const QByteArray many = "<r>" + elementWithAttributes(200000) + "</r>";
    for (const QByteArray &bytes :
         {QByteArray("<r>" + elementWithAttributes(257) + "</r>"), many,
          QByteArray("<?xml version=\"1.0\" encoding=\"windows-1250\"?>" + many),
          asUtf16(many, false), asUtf16(many, true)}) {
        EXPECT_TRUE(loadError(bytes).contains("more than 256 attributes"))
            << loadError(bytes).toStdString();
    }

    // EBCDIC would hide the markup from the check; no feed uses it.
    EXPECT_TRUE(loadError("\x4C\x6F\xA7\x94\x93@\xA5\x85\x99\xA2\x89\x96\x95~\x7F\xF1K\xF0\x7Fon"
                          "\x4C\x99\x61\x6E")
                    .contains("EBCDIC"));

    // Equal signs that are not attributes do not count.
    const QByteArray equals = QByteArray("=").repeated(5000);
    EXPECT_EQ(loadError("<r a=\"" + equals + "\" b='" + equals + "'><!-- " + equals + " -->" +
                        "<![CDATA[<x " + equals + ">]]><?pi " + equals + "?>" + equals + "</r>"),
              QString());
}

TEST_F(XmlHostileTest, NamespaceDeclarationsInScopeAreBounded)
{
    // Siblings each declaring many: never more than 200 in scope.
    QByteArray siblings = "<r>";
    for (int i = 0; i < 20; ++i)
        siblings +=
            "<e" + namespaceDeclarations(0, 200) + "/><f" + namespaceDeclarations(0, 200) + "></f>";
    EXPECT_EQ(loadError(siblings + "</r>"), QString());

    const QByteArray nested =
        "<r" + namespaceDeclarations(0, 200) + "><e" + namespaceDeclarations(200, 57) + "/></r>";
    EXPECT_TRUE(loadError(nested).contains("namespace declarations"))
        << loadError(nested).toStdString();
}

TEST_F(XmlHostileTest, MarkupHiddenInEntitiesIsBoundedToo)
{
    const QByteArray doctype = "<!DOCTYPE r [<!ENTITY many \"" + elementWithAttributes(300, "x") +
                               "\"><!ENTITY few \"" + elementWithAttributes(20, "y") + "\">]>";
    EXPECT_EQ(loadError(doctype + "<r>&few;</r>"), QString());
    EXPECT_TRUE(loadError(doctype + "<r>&many;</r>").contains("more than 256 attributes"));

    // A large internal subset could hide more, so it is refused as a whole.
    const QByteArray large =
        "<!DOCTYPE r [<!ENTITY big \"" + QByteArray(70 * 1024, 'x') + "\">]><r/>";
    EXPECT_TRUE(loadError(large).contains("document type declaration"))
        << loadError(large).toStdString();
    // Brackets, quotes and ">" inside the declaration do not end it early.
    EXPECT_EQ(loadError("<!DOCTYPE r [<!-- ] > ' --><?pi ]>?><!ENTITY e \"]>'\">]><r>&e;</r>"),
              QString());
}

// Only regular files are read: a device would be read for ever, a pipe blocks the open.
TEST_F(XmlHostileTest, DevicesPipesAndFoldersAreNotRead)
{
    const QString fifo = path("pipe.xml");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &name :
         {QStringLiteral("/dev/zero"), QStringLiteral("/dev/urandom"), fifo, m_dir.path()}) {
        XmlDocument doc;
        try {
            doc.loadFromFile(name);
            ADD_FAILURE() << name.toStdString() << " must not load";
        } catch (const XmlError &e) {
            EXPECT_TRUE(e.message().contains("regular file")) << e.message().toStdString();
        }
        EXPECT_FALSE(doc.active());
    }
}
