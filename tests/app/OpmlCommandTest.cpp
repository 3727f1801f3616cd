// `kolvani --import-opml` and `--export-opml` run as a user would, on a temporary per-user
// folder.

#include "base/UserDataLock.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/ProgramRun.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

class OpmlCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        folder = UserFolder(home.path() + QStringLiteral("/Kolvani/"));
        QDir().mkpath(folder.dataFolder());
        QDir().mkpath(folder.tempFolder());
        ChannelTree tree;
        ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Grupa"), NodeKind::Group);
        ChannelNode *c = tree.addNode(group, QStringLiteral("Mam"), NodeKind::Channel);
        c->channel()->url = QStringLiteral("http://have.test/rss");
        c->channel()->password = QStringLiteral("sekret");
        c->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
        SaveChannelTree(tree, folder.treeFile());
    }

    int run(const QString &mode, const QString &file, QString *errors)
    {
        return runKolvani({mode, file}, home.path(), errors);
    }

    std::unique_ptr<ChannelTree> loadTree()
    {
        auto tree = std::make_unique<ChannelTree>();
        XmlDocument document;
        EXPECT_TRUE(LoadChannelTree(*tree, document, folder.treeFile()).ok);
        return tree;
    }

    QTemporaryDir home;
    UserFolder folder;
};

TEST_F(OpmlCommandTest, ImportAddsUnderTheRootAndExportWritesItBackWithoutCredentials)
{
    const QString in = home.filePath(QStringLiteral("in.opml"));
    ASSERT_TRUE(writeAll(in, "<?xml version=\"1.0\"?><opml version=\"1.0\"><head/><body>"
                             "<outline text=\"Tech\"><outline text=\"LWN\" type=\"rss\" "
                             "xmlUrl=\"https://lwn.net/headlines/rss\"/></outline>"
                             "<outline text=\"Again\" xmlUrl=\"http://have.test/rss\"/>"
                             "</body></opml>"));
    QString errors;
    ASSERT_EQ(run(QStringLiteral("--import-opml"), in, &errors), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QString::fromUtf8("Dodano kanałów: 1, grup: 1. Pominięto już "
                                                  "subskrybowanych: 1.")))
        << errors.toStdString();
    auto tree = loadTree();
    ASSERT_EQ(tree->root()->childCount(), 2);
    ChannelNode *tech = tree->root()->child(1);
    EXPECT_EQ(tech->text(), "Tech");
    ASSERT_EQ(tech->childCount(), 1);
    EXPECT_EQ(tech->child(0)->channel()->url, "https://lwn.net/headlines/rss");
    EXPECT_EQ(tech->child(0)->channel()->GUID.size(), 38);

    const QString out = home.filePath(QStringLiteral("out.opml"));
    ASSERT_EQ(run(QStringLiteral("--export-opml"), out, &errors), 0) << errors.toStdString();
    const QByteArray written = readAll(out);
    EXPECT_TRUE(written.contains("xmlUrl=\"https://lwn.net/headlines/rss\""));
    EXPECT_TRUE(written.contains("xmlUrl=\"http://have.test/rss\""));
    EXPECT_FALSE(written.contains("sekret"));
}

TEST_F(OpmlCommandTest, RefusedWhileTheWindowRunsAndABadFileLeavesTheTree)
{
    const QByteArray before = readAll(folder.treeFile());
    const QString bad = home.filePath(QStringLiteral("bad.opml"));
    ASSERT_TRUE(writeAll(bad, "<opml><body><outline text=\"x\"></body>"));
    QString errors;
    EXPECT_EQ(run(QStringLiteral("--import-opml"), bad, &errors), 1);
    EXPECT_TRUE(errors.contains(bad)) << errors.toStdString();
    EXPECT_EQ(readAll(folder.treeFile()), before);

    UserDataLock running(folder.lockFile());
    ASSERT_TRUE(running.tryLock(UserDataLock::Mode::Shared));
    const QString good = home.filePath(QStringLiteral("good.opml"));
    ASSERT_TRUE(writeAll(good, "<opml><body><outline text=\"N\" xmlUrl=\"http://n.test/\"/></body></opml>"));
    EXPECT_EQ(run(QStringLiteral("--import-opml"), good, &errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("uruchomiony"))) << errors.toStdString();
    EXPECT_EQ(run(QStringLiteral("--export-opml"), home.filePath(QStringLiteral("o.opml")), &errors), 1);
    EXPECT_EQ(readAll(folder.treeFile()), before);

    EXPECT_EQ(run(QStringLiteral("--import-opml"), QString(), &errors), 2);
}

// The count is said only once the channels are in the tree file: on a full disk the write
// error is said instead, and the file keeps what it held.
TEST_F(OpmlCommandTest, AnImportThatCannotBeWrittenSaysSoAndNoCount)
{
    const QByteArray before = readAll(folder.treeFile());
    SmallFileSystem disk(folder.dataFolder());
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small file system";
    ASSERT_TRUE(writeAll(folder.treeFile(), before));
    QByteArray outlines;
    for (int i = 0; i < 200; ++i)
        outlines += "<outline text=\"K" + QByteArray::number(i) + "\" xmlUrl=\"http://k" +
                    QByteArray::number(i) + ".test/rss\"/>";
    const QString in = home.filePath(QStringLiteral("many.opml"));
    ASSERT_TRUE(writeAll(in, "<opml version=\"1.0\"><body>" + outlines + "</body></opml>"));
    ASSERT_TRUE(disk.fill(0));

    QString errors;
    EXPECT_EQ(run(QStringLiteral("--import-opml"), in, &errors), 1);
    EXPECT_FALSE(errors.contains(QStringLiteral("Dodano"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(folder.treeFile())) << errors.toStdString();
    EXPECT_EQ(readAll(folder.treeFile()), before);
}

} // namespace
