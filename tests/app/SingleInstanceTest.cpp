#include "app/SingleInstance.h"
#include "support/SignalWait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const char *const HoldEnv = "KV_SINGLE_INSTANCE_HOLD";

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_oldRuntime); }

    QString exe(const char *name) const { return bin.filePath(QString::fromLatin1(name)); }
    void makeExe(const char *name) const
    {
        QFile f(exe(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QTemporaryDir runtime;
    QTemporaryDir bin;
    QByteArray m_oldRuntime;
};

} // namespace

// Not a test: the process that another test starts to hold the lock and then kills.
TEST(SingleInstanceHelper, DISABLED_HoldLock)
{
    const QString path = qEnvironmentVariable(HoldEnv);
    if (path.isEmpty())
        GTEST_SKIP();
    SingleInstance instance(path);
    ASSERT_TRUE(instance.tryBecomeFirst());
    fputs("locked\n", stdout);
    fflush(stdout);
    QEventLoop loop;
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST_F(SingleInstanceTest, SecondIsRefusedAndActivatesTheFirst)
{
    makeExe("kolvani");
    SingleInstance first(exe("kolvani"));
    int activations = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
    ASSERT_TRUE(first.tryBecomeFirst());
    EXPECT_TRUE(first.isFirst());

    {
        SingleInstance second(exe("kolvani"));
        EXPECT_FALSE(second.tryBecomeFirst());
        EXPECT_FALSE(second.isFirst());
    }
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }));

    // The same file reached through another spelling of its path is the same program.
    {
        SingleInstance viaDots(bin.path() + "/./kolvani");
        EXPECT_FALSE(viaDots.tryBecomeFirst());
    }
    EXPECT_TRUE(WaitUntil([&] { return activations == 2; }));

    // Asking twice changes nothing in the first one.
    EXPECT_TRUE(first.tryBecomeFirst());
}

// An address handed to a later start reaches the first instance, which subscribes to it.
TEST_F(SingleInstanceTest, AddressHandedToASecondStartReachesTheFirst)
{
    makeExe("kolvani");
    SingleInstance first(exe("kolvani"));
    QStringList addresses;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::subscribeRequested,
                     [&](const QString &address) { addresses << address; });
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++activations; });
    ASSERT_TRUE(first.tryBecomeFirst());

    EXPECT_FALSE(SingleInstance(exe("kolvani")).tryBecomeFirst("feed://example.org/rss?a=1&b=2"));
    ASSERT_TRUE(WaitUntil([&] { return addresses.size() == 1; }));
    EXPECT_EQ(addresses.first(), "http://example.org/rss?a=1&b=2");
    EXPECT_EQ(activations, 0);

    // What is not an address only brings the first to the front.
    EXPECT_FALSE(SingleInstance(exe("kolvani")).tryBecomeFirst("file:///etc/passwd"));
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }));
    EXPECT_EQ(addresses.size(), 1);

    // The first checks what arrives itself: another program of the user may write anything.
    QLocalSocket raw;
    raw.connectToServer(runtime.path() + '/' + first.instanceKey() + ".sock");
    ASSERT_TRUE(raw.waitForConnected(5000));
    raw.write("subscribe javascript:alert(1)\n");
    raw.waitForBytesWritten(5000);
    WaitUntil([&] { return raw.state() == QLocalSocket::UnconnectedState; }, 3000);
    EXPECT_EQ(addresses.size(), 1);
    EXPECT_EQ(activations, 1);
}

TEST_F(SingleInstanceTest, CopyInAnotherFolderIsSeparate)
{
    makeExe("kolvani");
    makeExe("kolvani-copy");
    SingleInstance a(exe("kolvani"));
    SingleInstance b(exe("kolvani-copy"));
    EXPECT_NE(a.instanceKey(), b.instanceKey());
    EXPECT_TRUE(a.tryBecomeFirst());
    EXPECT_TRUE(b.tryBecomeFirst());
}

TEST_F(SingleInstanceTest, EndedFirstInstanceReleasesTheLock)
{
    makeExe("kolvani");
    {
        SingleInstance first(exe("kolvani"));
        ASSERT_TRUE(first.tryBecomeFirst());
    }
    SingleInstance next(exe("kolvani"));
    EXPECT_TRUE(next.tryBecomeFirst());
}

TEST_F(SingleInstanceTest, KilledFirstInstanceDoesNotBlock)
{
    makeExe("kolvani");
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(HoldEnv), exe("kolvani"));
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_also_run_disabled_tests",
                  "--gtest_filter=SingleInstanceHelper.DISABLED_HoldLock"});
    ASSERT_TRUE(helper.waitForStarted());
    QByteArray out;
    ASSERT_TRUE(WaitUntil([&] {
        out += helper.readAllStandardOutput();
        return out.contains("locked\n") || helper.state() == QProcess::NotRunning;
    }));
    ASSERT_TRUE(out.contains("locked\n")) << out.constData();

    {
        SingleInstance whileAlive(exe("kolvani"));
        EXPECT_FALSE(whileAlive.tryBecomeFirst());
    }

    helper.kill(); // SIGKILL: no clean-up runs in the helper
    ASSERT_TRUE(helper.waitForFinished(10000));
    EXPECT_EQ(helper.exitStatus(), QProcess::CrashExit);

    SingleInstance after(exe("kolvani"));
    int activations = 0;
    QObject::connect(&after, &SingleInstance::activationRequested, [&] { ++activations; });
    EXPECT_TRUE(after.tryBecomeFirst());
    // Its socket works although the dead one left its file behind.
    {
        SingleInstance second(exe("kolvani"));
        EXPECT_FALSE(second.tryBecomeFirst());
    }
    EXPECT_TRUE(WaitUntil([&] { return activations == 1; }));
}
