// The fill of the header list from the channel on show, without widgets.
#include "app/Session.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

struct Lines : IReportSink
{
    void ReportProblem(const QString &line) override { lines << line; }
    QStringList lines;
};

const QByteArray Channel = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                           "<item GUID=\"{A}\"><title>A</title><unread>1</unread></item>"
                           "<skipDays/><item GUID=\"{B}\"><title>B</title><unread>0</unread></item>"
                           "</channel></rss>";

class ShownChannelFillTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = UserFolder(dir.path());
        QDir().mkpath(folder.dataFolder());
        QDir().mkpath(folder.tempFolder());
        ASSERT_TRUE(writeAll(folder.cacheFile("{CH}"), Channel));
    }
    QTemporaryDir dir;
    UserFolder folder;
    Lines report;
};

TEST_F(ShownChannelFillTest, ItemNodesFollowTheIdsAndGoWithTheDocument)
{
    ShownChannel shown;
    HeaderFill fill = shown.fillHeaders("{CH}", "Kanał", QString(), false, folder, report);
    ASSERT_EQ(fill.rows.size(), 2u);
    EXPECT_EQ(fill.unreadCount, 1);
    EXPECT_EQ(fill.rows[1].id, 2);
    EXPECT_EQ(shown.itemNode(2).attribute("GUID"), "{B}");
    EXPECT_EQ(shown.itemNode(1).localName(), "skipDays"); // a gap is a node too
    EXPECT_FALSE(shown.itemNode(3));
    EXPECT_FALSE(shown.itemNode(-1));
    EXPECT_EQ(shown.firstItemNode(), shown.itemNode(0));
    EXPECT_EQ(shown.shownVersion(), "2.0");

    // A channel without items leaves no node of the old document behind.
    ASSERT_TRUE(writeAll(folder.cacheFile("{EMPTY}"), "<rss version=\"2.0\"><channel/></rss>"));
    fill = shown.fillHeaders("{EMPTY}", "Pusty", QString(), false, folder, report);
    EXPECT_TRUE(fill.rows.empty());
    EXPECT_FALSE(shown.firstItemNode());
    EXPECT_FALSE(shown.itemNode(0));
    EXPECT_TRUE(report.lines.isEmpty());
}

// The tree file is read through the same document; showing a channel afterwards must not
// write the tree's XML back over the tree file.
TEST_F(ShownChannelFillTest, TheTreeFileReadAtStartIsNeverWrittenBackAsAChannel)
{
    Lines sessionLines;
    Session session(folder, sessionLines);
    ChannelTree source;
    ChannelNode *node = source.addNode(source.root(), "Kanał", NodeKind::Channel);
    node->channel()->GUID = "{CH}";
    SaveChannelTree(source, folder.treeFile());
    const QByteArray treeBytes = readAll(folder.treeFile());
    ASSERT_TRUE(session.loadChannelTree().ok);
    EXPECT_FALSE(session.shownChannel().document().active());
    session.shownChannel().writeBack();
    const HeaderFill fill =
        session.shownChannel().fillHeaders("{CH}", "Kanał", QString(), false, folder, report);
    EXPECT_EQ(fill.rows.size(), 2u);
    EXPECT_EQ(readAll(folder.treeFile()), treeBytes);
}

TEST_F(ShownChannelFillTest, AnUnparsableFileIsReportedAndLeftAlone)
{
    ShownChannel shown;
    shown.fillHeaders("{CH}", "Kanał", QString(), false, folder, report);
    ASSERT_TRUE(writeAll(folder.cacheFile("{BAD}"), "<rss version=\"2.0\"><channel><item>"));
    const HeaderFill fill = shown.fillHeaders("{BAD}", "Zepsuty", QString(), false, folder, report);
    EXPECT_EQ(fill.outcome, HeaderFill::Outcome::Unreadable);
    EXPECT_TRUE(fill.rows.empty());
    EXPECT_EQ(report.lines, QStringList{"Zły format kanału Zepsuty"});
    EXPECT_FALSE(shown.document().active());
    EXPECT_FALSE(shown.itemNode(0));
    shown.writeBack(); // nothing to write: no error, no file touched
    EXPECT_EQ(readAll(folder.cacheFile("{BAD}")), "<rss version=\"2.0\"><channel><item>");
    // An rss root without channel is read but cannot be walked.
    ASSERT_TRUE(writeAll(folder.cacheFile("{NOCH}"), "<rss version=\"2.0\"/>"));
    const HeaderFill noChannel = shown.fillHeaders("{NOCH}", "Bez kanału", QString(), false, folder, report);
    EXPECT_EQ(noChannel.outcome, HeaderFill::Outcome::Filled);
    EXPECT_TRUE(noChannel.formatError);
    EXPECT_EQ(report.lines.last(), "Zły format kanału Bez kanału");
}

} // namespace

// Every update of a run first writes the channel on show back: only a document that may
// hold changes reaches its file, so a run does not rewrite it once per channel, and marks
// changed in the window are never lost.
TEST_F(ShownChannelFillTest, WriteBackWritesOnlyWhatMayHaveChanged)
{
    ShownChannel shown;
    const HeaderFill fill = shown.fillHeaders("{CH}", "Kanał", QString(), false, folder, report);
    ASSERT_EQ(fill.rows.size(), 2u);
    // Bytes the document never held: a write would put the document's own there.
    const QByteArray marker = Channel + "<!-- untouched -->";
    ASSERT_TRUE(writeAll(folder.cacheFile("{CH}"), marker));
    shown.writeBack();
    shown.writeBack();
    EXPECT_EQ(readAll(folder.cacheFile("{CH}")), marker) << "nothing changed, nothing written";

    ASSERT_TRUE(shown.setUnread(fill.rows[0], false));
    shown.writeBack();
    const QByteArray written = readAll(folder.cacheFile("{CH}"));
    EXPECT_FALSE(written.contains("untouched"));
    EXPECT_FALSE(written.contains("<unread>1</unread>")) << "the changed mark is in the file";

    // Once written it is clean again; a node handed out may be changed behind its back.
    ASSERT_TRUE(writeAll(folder.cacheFile("{CH}"), marker));
    shown.writeBack();
    EXPECT_EQ(readAll(folder.cacheFile("{CH}")), marker);
    shown.itemNode(fill.rows[1]).child("unread").setText("1");
    shown.writeBack();
    EXPECT_EQ(readAll(folder.cacheFile("{CH}")).count("<unread>1</unread>"), 1);
}
