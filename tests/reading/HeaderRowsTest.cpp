#include "reading/HeaderRows.h"

#include "feed/FeedNormaliser.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

namespace {

const QString ChGuid = QStringLiteral("{CH}");
const QString ChName = QStringLiteral("Kanał");

QString headersFolder()
{
    return QStringLiteral(KV_SOURCE_DIR "/tests/data/headers");
}

// A row as the .expected files write it: title, date, author, id, guid, version, image.
QString rowLine(const HeaderRow &row)
{
    return QStringList{row.title,
                       row.date,
                       row.author,
                       QString::number(row.id),
                       row.guid,
                       row.version,
                       QString::number(row.imageIndex())}
        .join(QLatin1Char('\t'));
}

HeaderRowsResult read(XmlDocument &doc, const QString &keyword = QString())
{
    const NormalisedFeed feed = NormaliseFeedFile(doc);
    return ReadHeaderRows(feed, doc, ChGuid, ChName, keyword);
}

HeaderRowsResult readBytes(XmlDocument &doc, const QByteArray &bytes,
                           const QString &keyword = QString())
{
    doc.loadFromBytes(bytes);
    return read(doc, keyword);
}

QStringList titles(const HeaderRowsResult &result)
{
    QStringList list;
    for (const HeaderRow &row : result.rows)
        list << row.title;
    return list;
}

// The saved document without the indentation the serialiser adds.
QString compact(const XmlDocument &doc)
{
    return QString::fromUtf8(doc.toBytes()).replace(QRegularExpression(">\\s+<"), "><");
}

// Every document in tests/data/headers is read and compared with its .expected file.
TEST(HeaderRowsTest, GoldenDocumentsGiveTheirExpectedRows)
{
    const QDir folder(headersFolder());
    const QStringList names = folder.entryList({QStringLiteral("*.xml")}, QDir::Files);
    ASSERT_GE(names.size(), 6);
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString expectedText =
            QString::fromUtf8(readAll(folder.filePath(name + QStringLiteral(".expected"))));
        ASSERT_FALSE(expectedText.isEmpty());
        QStringList expectedRows;
        QString unread, formatError;
        for (const QString &line : expectedText.split(QLatin1Char('\n'))) {
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.startsWith(QLatin1String("unread=")))
                unread = line.mid(7);
            else if (line.startsWith(QLatin1String("formatError=")))
                formatError = line.mid(12);
            else
                expectedRows << line;
        }
        XmlDocument doc;
        doc.loadFromBytes(readAll(folder.filePath(name)));
        const HeaderRowsResult result = read(doc);
        QStringList rows;
        for (const HeaderRow &row : result.rows) {
            rows << rowLine(row);
            EXPECT_EQ(row.chGuid, ChGuid);
            EXPECT_EQ(row.chName, ChName);
            // The node list turns an ID back into the item it came from.
            ASSERT_LT(size_t(row.id), result.itemNodes.size());
            EXPECT_EQ(result.itemNodes[size_t(row.id)].attribute(QStringLiteral("GUID")),
                      row.guid.isEmpty() ? QString() : row.guid);
        }
        EXPECT_EQ(rows, expectedRows);
        EXPECT_EQ(QString::number(result.unreadCount), unread);
        EXPECT_EQ(result.formatError ? QStringLiteral("yes") : QStringLiteral("no"), formatError);
    }
}

TEST(HeaderRowsTest, KeywordFilterIsCaseBlindAndLooksAtTheDescriptionToo)
{
    const QByteArray feed =
        "<rss version=\"2.0\"><channel><title>K</title>"
        "<item><title>WYBORY w Polsce</title><description>x</description><unread>1</unread></item>"
        "<item><title>Pogoda</title><description>Wybory przesunięte</description></item>"
        "<item><title>Sport</title><description>Mecz</description><unread>1</unread></item>"
        "<item><title>ŻÓŁW na drodze</title></item>"
        "</channel></rss>";
    XmlDocument doc;
    EXPECT_EQ(titles(readBytes(doc, feed)).size(), 4);
    EXPECT_EQ(titles(readBytes(doc, feed, QStringLiteral("wybory"))),
              (QStringList{QStringLiteral("WYBORY w Polsce"), QStringLiteral("Pogoda")}));
    EXPECT_EQ(titles(readBytes(doc, feed, QStringLiteral("żółw"))),
              QStringList{QStringLiteral("ŻÓŁW na drodze")});
    EXPECT_EQ(titles(readBytes(doc, feed, QStringLiteral("w pol"))),
              QStringList{QStringLiteral("WYBORY w Polsce")});
    const HeaderRowsResult none = readBytes(doc, feed, QStringLiteral("brak"));
    EXPECT_TRUE(none.rows.empty());
    // IDs and the unread count still cover the items the filter left out.
    EXPECT_EQ(none.itemNodes.size(), 4u);
    EXPECT_EQ(none.unreadCount, 2);
    const HeaderRowsResult sport = readBytes(doc, feed, QStringLiteral("MECZ"));
    ASSERT_EQ(sport.rows.size(), 1u);
    EXPECT_EQ(sport.rows[0].id, 2);
}

// The lookups add what an item lacked, so the write-back stores complete items; description
// only where the filter needed it.
TEST(HeaderRowsTest, MissingChildrenAreAddedEmpty)
{
    const QByteArray feed = "<rss version=\"2.0\"><channel><item><link>a</link></item>"
                            "<item><title>t</title><unread>1</unread></item></channel></rss>";
    XmlDocument doc;
    const HeaderRowsResult all = readBytes(doc, feed);
    ASSERT_EQ(all.rows.size(), 2u);
    EXPECT_FALSE(all.rows[0].unread); // no mark counts as read
    QString saved = compact(doc);
    EXPECT_TRUE(saved.contains("<item><link>a</link><title/><pubDate/><unread/></item>")) << qPrintable(saved);
    EXPECT_TRUE(saved.contains("<item><title>t</title><unread>1</unread><pubDate/></item>")) << qPrintable(saved);

    readBytes(doc, feed, QStringLiteral("zzz"));
    saved = compact(doc);
    EXPECT_TRUE(saved.contains("<item><link>a</link><title/><description/></item>")) << qPrintable(saved);
}

} // namespace
