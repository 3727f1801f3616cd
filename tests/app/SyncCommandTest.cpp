#include "base/UserDataLock.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"
#include "support/TestUserFolder.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QByteArray feed(const QString &title)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>K"
           "</title><item><title>" +
           title.toUtf8() + "</title></item></channel></rss>";
}

QByteArray bigFeed()
{
    QString titles;
    for (int i = 0; i < 100; ++i)
        titles += QStringLiteral("</title></item><item><title>Wiadomość %1").arg(i);
    return feed(titles);
}

// `kolvani --sync` run as a user would from cron, against a loopback server.
class SyncCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        appFolder = makeUserFolder(home.path() + QStringLiteral("/Kolvani"));
        ASSERT_FALSE(appFolder.isEmpty());
        server.setHandler([](const LoopbackRequest &request) {
            if (request.target().startsWith("/big"))
                return LoopbackReply::http("200 OK", bigFeed());
            if (request.target().startsWith("/ok"))
                return LoopbackReply::http("200 OK", feed(QStringLiteral("Wiadomość")));
            return LoopbackReply::http("404 Not Found", "brak");
        });
        ASSERT_TRUE(server.start());
    }

    ChannelNode *addChannel(ChannelTree &tree, const QString &name, const QString &path,
                            bool enabled)
    {
        ChannelNode *node = tree.addNode(tree.root(), name, NodeKind::Channel);
        TtvChannel *channel = node->channel();
        channel->url = server.url(path);
        channel->enabled = enabled;
        channel->GUID = QStringLiteral("{00000000-0000-4000-8000-%1}")
                            .arg(tree.count(), 12, 10, QLatin1Char('0'));
        return node;
    }

    int runSync(QString *errors, const QString &dataHome = QString())
    {
        return runKolvani({QStringLiteral("--sync")}, dataHome.isEmpty() ? home.path() : dataHome,
                          errors);
    }

    QString treePath() const { return appFolder + QStringLiteral("data/tvChannels.xml"); }

    QTemporaryDir home;
    QString appFolder;
    LoopbackServer server;
};

TEST_F(SyncCommandTest, UpdatesEnabledChannelsAndSavesLastUpdate)
{
    ChannelTree tree;
    ChannelNode *good = addChannel(tree, QStringLiteral("Dobry"), QStringLiteral("/ok"), true);
    addChannel(tree, QStringLiteral("Wyłączony"), QStringLiteral("/ok-disabled"), false);
    const QString goodGuid = good->channel()->GUID;
    SaveChannelTree(tree, treePath());

    QString errors;
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Uaktualniono Dobry")));
    EXPECT_FALSE(errors.contains(QStringLiteral("Wyłączony")));
    EXPECT_EQ(server.requestCount(), 1);
    const QString cache = appFolder + QStringLiteral("data/") + goodGuid + ".xml";
    EXPECT_TRUE(QFile::exists(cache));
    // Everything in the per-user folder is the user's alone.
    EXPECT_EQ(QFileInfo(cache).permissions() & 0x0077, QFileDevice::Permissions());
    for (const QString &folder : {appFolder, appFolder + QStringLiteral("data"),
                                  appFolder + QStringLiteral("temp")})
        EXPECT_EQ(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions())
            << folder.toStdString();

    ChannelTree reloaded;
    XmlDocument document;
    ASSERT_TRUE(LoadChannelTree(reloaded, document, treePath()).ok);
    ASSERT_EQ(reloaded.count(), 3);
    EXPECT_TRUE(reloaded.nodeAt(1)->channel()->lastupdate.isValid());
    EXPECT_FALSE(reloaded.nodeAt(2)->channel()->lastupdate.isValid());
}

TEST_F(SyncCommandTest, AFailedChannelIsReportedAndGivesExitStatusOne)
{
    ChannelTree tree;
    addChannel(tree, QStringLiteral("Zły"), QStringLiteral("/missing"), true);
    addChannel(tree, QStringLiteral("Dobry"), QStringLiteral("/ok"), true);
    SaveChannelTree(tree, treePath());

    QString errors;
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("Nie można pobrać nowych nagłówków z Zły")))
        << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Niepoprawny adres URL (")));
    EXPECT_TRUE(errors.contains(QStringLiteral("Uaktualniono Dobry")));
}

TEST_F(SyncCommandTest, RefusesWhileTheProgramRunsForTheSameUser)
{
    ChannelTree tree;
    addChannel(tree, QStringLiteral("Dobry"), QStringLiteral("/ok"), true);
    SaveChannelTree(tree, treePath());
    const QByteArray before = [&] {
        QFile f(treePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();

    UserDataLock running(UserFolder(appFolder).lockFile());
    ASSERT_TRUE(running.tryLock(UserDataLock::Mode::Shared));
    QString errors;
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_TRUE(errors.contains(QStringLiteral("uruchomiony"))) << errors.toStdString();
    EXPECT_EQ(server.requestCount(), 0);

    running.unlock();
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
}

TEST_F(SyncCommandTest, AMissingTreeFileIsAnErrorNotAnEmptyRun)
{
    QString errors;
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_FALSE(errors.isEmpty());
    EXPECT_FALSE(QFile::exists(treePath())) << "nothing is invented in the user's folder";
}

// A run with nothing to update (every channel disabled) leaves the tree file as it was: a
// cron job does not rewrite the user's tree every few minutes for nothing.
TEST_F(SyncCommandTest, ARunWithNothingToUpdateLeavesTheTreeFileAlone)
{
    ChannelTree tree;
    addChannel(tree, QStringLiteral("Wyłączony"), QStringLiteral("/ok"), false);
    SaveChannelTree(tree, treePath());
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
    {
        QFile file(treePath());
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray before = readAll(treePath());

    QString errors;
    EXPECT_EQ(runSync(&errors), 0) << errors.toStdString();
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_EQ(readAll(treePath()), before);
    EXPECT_EQ(QFileInfo(treePath()).lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
}

// A folder the run cannot write into is named as the problem: the program is not running.
TEST_F(SyncCommandTest, AFolderThatCannotBeWrittenIsSaid)
{
    ChannelTree tree;
    addChannel(tree, QStringLiteral("Dobry"), QStringLiteral("/ok"), true);
    SaveChannelTree(tree, treePath());
    const QByteArray before = readAll(treePath());

    for (const QString &folder : {QStringLiteral("temp"), QStringLiteral("data")}) {
        const QString path = appFolder + folder;
        SmallFileSystem readOnly(path);
        if (readOnly.mounted()) {
            ASSERT_TRUE(writeAll(path + QStringLiteral("/tvChannels.xml"), before));
            ASSERT_TRUE(readOnly.makeReadOnly());
        } else if (::geteuid() != 0) {
            ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner |
                                                        QFileDevice::ExeOwner));
        } else {
            GTEST_SKIP() << "root writes anywhere unless a read-only file system can be mounted";
        }
        QString errors;
        EXPECT_EQ(runSync(&errors), 1);
        EXPECT_FALSE(errors.contains(QStringLiteral("uruchomiony"))) << errors.toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("Nie można zapisywać w folderze ") + path))
            << errors.toStdString();
        EXPECT_EQ(server.requestCount(), 0);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    }
    EXPECT_EQ(readAll(treePath()), before);
}

// A file where data/ should be is named as what it is, not as a missing folder.
TEST_F(SyncCommandTest, DataThatIsAFileIsSaidToBeAFile)
{
    const QString data = appFolder + QStringLiteral("data");
    ASSERT_TRUE(QDir(data).removeRecursively());
    ASSERT_TRUE(writeAll(data, "nie folder"));
    QString errors;
    EXPECT_EQ(runSync(&errors), 1);
    EXPECT_TRUE(errors.contains(data + QStringLiteral(" jest plikiem, a nie folderem.")))
        << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("nie istnieje"))) << errors.toStdString();
}

// A full disk: the tree file and the cache files keep what they held, and the run says what
// it could not save instead of "Uaktualniono".
TEST_F(SyncCommandTest, AFullDiskKeepsTheTreeAndTheCacheFiles)
{
    SmallFileSystem disk;
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small file system";
    const QString folder = makeUserFolder(disk.path() + QStringLiteral("/Kolvani"));
    ASSERT_FALSE(folder.isEmpty());
    const QString tree = folder + QStringLiteral("data/tvChannels.xml");
    ChannelTree channels;
    ChannelNode *node = addChannel(channels, QStringLiteral("Dobry"), QStringLiteral("/big"), true);
    const QString cache = folder + QStringLiteral("data/") + node->channel()->GUID + ".xml";
    SaveChannelTree(channels, tree);

    QString errors;
    ASSERT_EQ(runSync(&errors, disk.path()), 0) << errors.toStdString();
    const QByteArray treeBefore = readAll(tree);
    const QByteArray cacheBefore = readAll(cache);
    ASSERT_GT(cacheBefore.size(), 8192);

    // Room for the download and a page more: the tree fits, the new cache file does not.
    const qint64 page = 4096;
    ASSERT_TRUE(disk.fill((bigFeed().size() + 2 + page - 1) / page * page + page));
    EXPECT_EQ(runSync(&errors, disk.path()), 1);
    EXPECT_FALSE(errors.contains(QStringLiteral("Uaktualniono"))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QStringLiteral("Nie można zapisać nowych nagłówków kanału Dobry")))
        << errors.toStdString();
    EXPECT_EQ(readAll(cache), cacheBefore);
    EXPECT_EQ(readAll(tree), treeBefore) << "the channel was not updated";
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("temp/") + node->channel()->GUID +
                                   QStringLiteral(".xml")))
        << "the download of a failed cache write stays in temp/";

    // Nothing left: no channel is updated, so the tree, unchanged, is not rewritten and stays.
    ASSERT_TRUE(disk.fill(0));
    EXPECT_EQ(runSync(&errors, disk.path()), 1);
    EXPECT_FALSE(errors.contains(QStringLiteral("Uaktualniono"))) << errors.toStdString();
    EXPECT_EQ(readAll(tree), treeBefore);
    EXPECT_EQ(readAll(cache), cacheBefore);

    ChannelTree reloaded;
    XmlDocument document;
    ASSERT_TRUE(LoadChannelTree(reloaded, document, tree).ok);
    EXPECT_EQ(reloaded.count(), 2);
}

} // namespace
