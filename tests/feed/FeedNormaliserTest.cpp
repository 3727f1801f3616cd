#include "feed/FeedNormaliser.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const char PolishLetters[] = "ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ";

QString feedsFolder()
{
    return QStringLiteral(KV_SOURCE_DIR "/tests/data/feeds");
}

// "key=value" lines of a .expected file.
QMap<QString, QString> readExpected(const QString &path)
{
    QMap<QString, QString> values;
    const QStringList lines =
        QString::fromUtf8(readAll(path)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const int equals = int(line.indexOf(QLatin1Char('=')));
        values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

int countItems(XmlNode item)
{
    int count = 0;
    for (; item; item = item.nextSibling()) {
        if (item.nodeName() == QLatin1String("item"))
            ++count;
    }
    return count;
}

class FeedNormaliserTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

// Every feed in tests/data/feeds is normalised in a copy and compared with its .expected file.
TEST_F(FeedNormaliserTest, GoldenFeeds)
{
    const QDir folder(feedsFolder());
    const QStringList feeds = folder.entryList({"*.xml"}, QDir::Files, QDir::Name);
    ASSERT_GE(feeds.size(), 8);
    for (const QString &name : feeds) {
        SCOPED_TRACE(name.toStdString());
        const QMap<QString, QString> expected = readExpected(folder.filePath(name + ".expected"));
        ASSERT_FALSE(expected.isEmpty()) << "missing " << name.toStdString() << ".expected";
        const QString copy = path(name);
        ASSERT_TRUE(QFile::copy(folder.filePath(name), copy));
        const QByteArray original = readAll(copy);

        XmlDocument doc;
        doc.loadFromFile(copy);
        if (expected.contains("error")) {
            EXPECT_EQ(expected.value("error"), "FeedFormatError");
            EXPECT_THROW(NormaliseFeedFile(doc), FeedFormatError);
            continue;
        }
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        EXPECT_EQ(feed.version, expected.value("version"));
        EXPECT_EQ(feed.firstItem.isNull(), expected.value("firstItem").isEmpty());
        if (!feed.firstItem.isNull())
            EXPECT_EQ(feed.firstItem.findChild("title").text(), expected.value("firstItem"));
        EXPECT_EQ(countItems(feed.firstItem), expected.value("items").toInt());
        EXPECT_EQ(doc.encoding(), expected.value("encoding"));
        EXPECT_EQ(readAll(copy) != original, expected.value("rewritten") == "yes");
    }
}

TEST_F(FeedNormaliserTest, IsoLatin2IsRewrittenAsWindows1250InAnyLetterCase)
{
    const QByteArray isoPolish = QByteArray::fromHex("B1E6EAB3F1F3B6BCBF20A1C6CAA3D1D3A6ACAF");
    const QByteArray cpPolish = QByteArray::fromHex("B9E6EAB3F1F39C9FBF20A5C6CAA3D1D38C8FAF");
    for (const char *declared : {"ISO-8859-2", "iso-8859-2", "Iso-8859-2"}) {
        SCOPED_TRACE(declared);
        ASSERT_TRUE(
            writeAll(path("feed.xml"), QByteArray("<?xml version=\"1.0\" encoding=\"") + declared +
                                           "\"?>\n<rss version=\"2.0\"><channel><item><title>" +
                                           isoPolish + "</title></item></channel></rss>\n"));
        XmlDocument doc;
        doc.loadFromFile(path("feed.xml"));
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        EXPECT_EQ(doc.encoding(), "windows-1250");
        EXPECT_EQ(feed.version, "2.0");
        ASSERT_FALSE(feed.firstItem.isNull());
        EXPECT_EQ(feed.firstItem.findChild("title").text(), QString::fromUtf8(PolishLetters));

        const QByteArray saved = readAll(path("feed.xml"));
        EXPECT_TRUE(saved.startsWith("<?xml version=\"1.0\" encoding=\"windows-1250\"?>"))
            << saved.constData();
        EXPECT_TRUE(saved.contains("<title>" + cpPolish + "</title>")) << saved.toHex().constData();
        XmlDocument again;
        again.loadFromFile(path("feed.xml"));
        EXPECT_EQ(again.documentElement()
                      .findChild("channel")
                      .findChild("item")
                      .findChild("title")
                      .text(),
                  QString::fromUtf8(PolishLetters));
        // The file now declares windows-1250: a second pass changes nothing.
        NormaliseFeedFile(again);
        EXPECT_EQ(readAll(path("feed.xml")), saved);
    }
}

TEST_F(FeedNormaliserTest, OtherEncodingsAreLeftUntouched)
{
    const QByteArray documents[] = {
        QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss "
                   "version=\"2.0\"><channel><item><title>") +
            PolishLetters + "</title></item></channel></rss>\n",
        QByteArray("<rss version=\"2.0\">   <channel><item/></channel></rss>"),
        QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel/></rss>"),
        QByteArray("<?xml version=\"1.0\" "
                   "encoding=\"windows-1250\"?><rss><channel><title>\xB9</title></channel></rss>"),
    };
    for (const QByteArray &document : documents) {
        SCOPED_TRACE(document.constData());
        ASSERT_TRUE(writeAll(path("feed.xml"), document));
        struct stat before
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(path("feed.xml")).constData(), &before), 0);
        XmlDocument doc;
        doc.loadFromFile(path("feed.xml"));
        const QString encoding = doc.encoding();
        NormaliseFeedFile(doc);
        EXPECT_EQ(doc.encoding(), encoding);
        EXPECT_EQ(readAll(path("feed.xml")), document);
        struct stat after
        {
        };
        ASSERT_EQ(::stat(QFile::encodeName(path("feed.xml")).constData(), &after), 0);
        EXPECT_EQ(before.st_ino, after.st_ino) << "the file is not even rewritten";
    }
}

TEST_F(FeedNormaliserTest, NamesAreComparedExactly)
{
    struct Case
    {
        const char *document;
        const char *version;
        const char *firstTitle; // nullptr: no first item
    } cases[] = {
        {"<rss><channel><item><title>a</title></item></channel></rss>", "", "a"},
        {"<rss version=\"0.91\"><!-- c "
         "--><channel><title>t</title><Item/><item><title>b</title></item></channel></rss>",
         "0.91", "b"},
        {"<RSS version=\"2.0\"><channel><item><title>c</title></item></channel></RSS>", "1.0",
         nullptr},
        {"<rss version=\"2.0\"><channel><Item><title>d</title></Item></channel></rss>", "2.0",
         nullptr},
        {"<rss version=\"1.0\"><item><title>e</title></item></rss>", "1.0", "e"},
        {"<rss version=\"1.0\"><channel><item><title>f</title></item></channel></rss>", "1.0",
         nullptr},
        {"<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry/></feed>", "1.0", nullptr},
        {"<rss version=\"2.0\"><channel/><channel><item><title>g</title></item></channel></rss>",
         "2.0", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.document);
        XmlDocument doc;
        doc.loadFromBytes(c.document);
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        EXPECT_EQ(feed.version, c.version);
        EXPECT_EQ(feed.firstItem.isNull(), c.firstTitle == nullptr);
        if (c.firstTitle)
            EXPECT_EQ(feed.firstItem.findChild("title").text(), c.firstTitle);
    }
}

TEST_F(FeedNormaliserTest, FormatErrorsAndFailedSaves)
{
    for (const char *document :
         {"<rss version=\"2.0\"><item/></rss>", "<rss><Channel><item/></Channel></rss>",
          "<rss version=\"0.92\"/>"}) {
        XmlDocument doc;
        doc.loadFromBytes(document);
        EXPECT_THROW(NormaliseFeedFile(doc), FeedFormatError) << document;
    }

    XmlDocument inactive;
    EXPECT_THROW(NormaliseFeedFile(inactive), XmlError);

    // Both saves fail when the folder has gone: the error reaches the caller and the document
    // in memory declares the encoding of the last attempt.
    QTemporaryDir gone;
    const QString file = gone.filePath("feed.xml");
    ASSERT_TRUE(writeAll(
        file,
        "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><rss><channel><item/></channel></rss>"));
    XmlDocument doc;
    doc.loadFromFile(file);
    ASSERT_TRUE(gone.remove());
    EXPECT_THROW(NormaliseFeedFile(doc), XmlError);
    EXPECT_EQ(doc.encoding(), "UTF-8");
    EXPECT_FALSE(QFile::exists(file));
}
