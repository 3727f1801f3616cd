// Marking a whole channel read in its cache file: every item, RSS and RDF alike, the file
// replaced only when a mark changed and never left half written.

#include "reading/ChannelMarks.h"

#include "support/ShortWrite.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray Rss =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
    "<rss version=\"2.0\"><channel><title>K</title>"
    "<item GUID=\"{1}\"><title>Żółw</title><unread>1</unread></item>"
    "<item GUID=\"{2}\"><title>B</title><unread>0</unread></item>"
    "<item GUID=\"{3}\"><title>C</title></item>"
    "<item GUID=\"{4}\"><title>D</title><unread>1</unread></item>"
    "</channel></rss>";
const QByteArray Rdf =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
    "xmlns=\"http://purl.org/rss/1.0/\"><channel><title>K</title></channel>"
    "<item><title>A</title><unread>1</unread></item><image/>"
    "<item><title>B</title><unread>1</unread></item></rdf:RDF>";

class ChannelMarksTest : public ::testing::Test
{
protected:
    QString file(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("{C}.xml"));
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(ChannelMarksTest, EveryUnreadItemOfAnRssOrRdfFileIsMarkedAndNothingElseChanges)
{
    const QString rss = file(Rss);
    EXPECT_EQ(MarkCacheFileRead(rss), 2);
    const QString text = QString::fromUtf8(readAll(rss));
    EXPECT_FALSE(text.contains(QStringLiteral("<unread>1</unread>"))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("<unread>0</unread>")), 3);
    EXPECT_TRUE(text.contains(QStringLiteral("<title>Żółw</title>")));
    EXPECT_TRUE(text.contains(QStringLiteral("rss_xslt.xsl")));
    EXPECT_FALSE(text.contains(QStringLiteral("<title>C</title><unread")))
        << "an item without a mark gets none";

    const QString rdf = file(Rdf);
    EXPECT_EQ(MarkCacheFileRead(rdf), 2);
    EXPECT_FALSE(readAll(rdf).contains("<unread>1</unread>"));
}

TEST_F(ChannelMarksTest, AFileWithNothingUnreadIsNotRewrittenAndAFailedWriteLeavesItWhole)
{
    const QString path = file(Rss);
    ASSERT_EQ(MarkCacheFileRead(path), 2);
    const QByteArray read = readAll(path);
    {
        InjectedShortWrite fullDisk;
        // Nothing to change: no write is tried, so the full disk is never met.
        EXPECT_EQ(MarkCacheFileRead(path), 0);
    }
    EXPECT_EQ(readAll(path), read);

    const QString unread = file(Rss);
    {
        InjectedShortWrite fullDisk;
        EXPECT_THROW(MarkCacheFileRead(unread), XmlError);
    }
    EXPECT_EQ(readAll(unread), Rss);
    EXPECT_THROW(MarkCacheFileRead(dir.filePath(QStringLiteral("missing.xml"))), XmlError);
    EXPECT_THROW(MarkCacheFileRead(file("<rss><channel><item>")), XmlError);
}

} // namespace
