// The tree file follows the tree: written after each change, once per event or per held
// stretch, never before start() and never when nothing changed.

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

class ChannelTreeSaverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    int countOnDisk()
    {
        ChannelTree loaded;
        XmlDocument document;
        return LoadChannelTree(loaded, document, path).ok ? loaded.count() : -1;
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("tvChannels.xml"));
    ChannelTree tree;
    ChannelTreeSaver saver{tree, path};
};

TEST_F(ChannelTreeSaverTest, ChangesAfterStartAreWrittenOncePerEvent)
{
    tree.addNode(tree.root(), QStringLiteral("przed"), NodeKind::Group);
    QCoreApplication::processEvents();
    EXPECT_FALSE(QFile::exists(path)) << "the load that fills the tree writes nothing";

    SaveChannelTree(tree, path);
    saver.start();
    QCoreApplication::processEvents();
    EXPECT_EQ(saver.writes(), 0) << "an unchanged tree is not rewritten";

    // An import: many nodes in one event, one file.
    ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Grupa"), NodeKind::Group);
    for (int i = 0; i < 100; ++i)
        tree.addNode(group, QStringLiteral("K%1").arg(i), NodeKind::Channel);
    EXPECT_TRUE(saver.pending());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saver.pending(); }, 5000));
    EXPECT_EQ(saver.writes(), 1);
    EXPECT_EQ(countOnDisk(), 103);

    // A field of a record, a move and a delete each reach the file.
    ChannelNode *first = group->child(0);
    first->channel()->url = QStringLiteral("http://nowy.test/");
    tree.noteRecordChanged(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saver.pending(); }, 5000));
    ASSERT_TRUE(tree.moveNode(first, tree.root()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saver.pending(); }, 5000));
    tree.deleteNode(group);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !saver.pending(); }, 5000));
    EXPECT_EQ(saver.writes(), 4);
    EXPECT_EQ(countOnDisk(), 3);
}

TEST_F(ChannelTreeSaverTest, AHeldStretchWritesOnceAtItsEndAndAFailureWaitsForTheNext)
{
    saver.start();
    saver.hold();
    for (int i = 0; i < 20; ++i) {
        tree.addNode(tree.root(), QStringLiteral("K%1").arg(i), NodeKind::Channel);
        saver.noteChanged();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(saver.writes(), 0);
    saver.release();
    EXPECT_EQ(saver.writes(), 1);
    EXPECT_EQ(countOnDisk(), 21);

    // A folder that is gone: said, and the change stays waiting.
    ChannelTree other;
    ChannelTreeSaver lost(other, dir.filePath(QStringLiteral("brak/tvChannels.xml")));
    lost.start();
    QSignalSpy failed(&lost, &ChannelTreeSaver::saveFailed);
    other.addNode(other.root(), QStringLiteral("K"), NodeKind::Channel);
    EXPECT_FALSE(lost.flush());
    ASSERT_EQ(failed.count(), 1);
    EXPECT_TRUE(failed.first().first().toString().contains(QStringLiteral("tvChannels.xml")));
    EXPECT_TRUE(lost.pending());
}

} // namespace
