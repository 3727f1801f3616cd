#include "app/UserDataLock.h"
#include "app/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

QByteArray feed(const QString &title)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>K"
           "</title><item><title>" +
           title.toUtf8() + "</title></item></channel></rss>";
}

// `kolvani --sync` run as a user would from cron, against a loopback server.
class SyncCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        appFolder = home.path() + QStringLiteral("/Kolvani/");
        QDir().mkpath(appFolder + QStringLiteral("data"));
        QDir().mkpath(appFolder + QStringLiteral("temp"));
        server.setHandler([](const LoopbackRequest &request) {
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

    int runSync(QString *errors)
    {
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        sync.setProcessEnvironment(env);
        sync.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {QStringLiteral("--sync")});
        EXPECT_TRUE(sync.waitForFinished(60000));
        *errors = QString::fromUtf8(sync.readAllStandardError());
        return sync.exitStatus() == QProcess::NormalExit ? sync.exitCode() : -1;
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
    EXPECT_TRUE(QFile::exists(appFolder + QStringLiteral("data/") + goodGuid + ".xml"));

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

} // namespace
