// The channel on show: its write-back rule and how it follows a replaced cache file.

#include "reading/ShownChannel.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QByteArray ChannelDocument =
    "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel>"
    "<item><title>A</title><unread>1</unread></item></channel></rss>";

class ShownChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        cacheFile = dir.filePath(QStringLiteral("shown.xml"));
        otherFile = dir.filePath(QStringLiteral("other.xml"));
        ASSERT_TRUE(writeAll(cacheFile, ChannelDocument));
        ASSERT_TRUE(writeAll(otherFile, ChannelDocument));
        shown.document().loadFromFile(cacheFile);
        QObject::connect(&shown, &ShownChannel::replacing, &shown,
                         [this](bool replacing) { events << (replacing ? "off" : "on"); });
        QObject::connect(&shown, &ShownChannel::reloaded, &shown, [this] { events << "reload"; });
    }

    void markRead()
    {
        shown.document()
            .documentElement()
            .findChild(QStringLiteral("channel"))
            .findChild(QStringLiteral("item"))
            .child(QStringLiteral("unread"))
            .setText(QStringLiteral("0"));
    }

    QTemporaryDir dir;
    QString cacheFile;
    QString otherFile;
    ShownChannel shown;
    QStringList events;
};

TEST_F(ShownChannelTest, WriteBackPutsTheMarksIntoTheFileOnlyWhileActive)
{
    markRead();
    shown.writeBack();
    EXPECT_TRUE(readAll(cacheFile).contains("<unread>0</unread>"));

    ASSERT_TRUE(writeAll(cacheFile, ChannelDocument));
    shown.document().setActive(false);
    shown.writeBack();
    EXPECT_EQ(readAll(cacheFile), ChannelDocument) << "a closed document writes nothing";
}

TEST_F(ShownChannelTest, WriteBackIntoAVanishedFolderRaisesNothing)
{
    shown.document().setFileName(dir.filePath(QStringLiteral("gone/shown.xml")));
    EXPECT_NO_THROW(shown.writeBack());
}

TEST_F(ShownChannelTest, ReplacingAnotherFileLeavesTheShownOneAlone)
{
    shown.beginReplace(otherFile);
    shown.endReplace(otherFile);
    EXPECT_TRUE(events.isEmpty());
    EXPECT_TRUE(shown.document().active());
}

TEST_F(ShownChannelTest, ReplacingTheShownFileLetsGoAndReadsTheNewFile)
{
    shown.beginReplace(cacheFile);
    EXPECT_FALSE(shown.document().active());
    ASSERT_TRUE(writeAll(cacheFile, QByteArray(ChannelDocument).replace("<title>A", "<title>B")));
    shown.endReplace(cacheFile);
    EXPECT_EQ(events, QStringList({"off", "on", "reload"}));
    ASSERT_TRUE(shown.document().active());
    EXPECT_EQ(shown.document()
                  .documentElement()
                  .findChild(QStringLiteral("channel"))
                  .findChild(QStringLiteral("item"))
                  .findChild(QStringLiteral("title"))
                  .text(),
              QStringLiteral("B"));
}

TEST_F(ShownChannelTest, AReplacementThatCannotBeReadLeavesTheListOnAndRaisesNothing)
{
    shown.beginReplace(cacheFile);
    ASSERT_TRUE(writeAll(cacheFile, "<rss><channel>"));
    EXPECT_NO_THROW(shown.endReplace(cacheFile));
    EXPECT_EQ(events, QStringList({"off", "on"}));
    EXPECT_FALSE(shown.document().active());
}

} // namespace
