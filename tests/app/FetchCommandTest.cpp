// `kolvani --fetch`: arguments, the proxy of the user's settings file, the exit code, and
// the built program end to end.

#include "app/commands/FetchCommand.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnv.h"

#include "support/DownloadTestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

namespace {

class FetchCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(server.start());
        m_dataHome.emplace("XDG_DATA_HOME", home.filePath(QStringLiteral("share")).toUtf8());
    }

    void TearDown() override { m_dataHome.reset(); }

    void writeSettings(const QByteArray &configSection)
    {
        const QString folder = home.filePath(QStringLiteral("share/Kolvani/data"));
        ASSERT_TRUE(QDir().mkpath(folder));
        writeWholeFile(folder + QStringLiteral("/config.ini"),
                       "[config]\r\nseInterval=60\r\n" + configSection + "[Channels]\r\n");
    }

    QString target() const { return home.filePath(QStringLiteral("out.xml")); }

    QTemporaryDir home;
    LoopbackServer server;

private:
    std::optional<ScopedEnv> m_dataHome;
};

TEST_F(FetchCommandTest, FetchesIntoTheFileWithoutSettings)
{
    server.enqueue(LoopbackReply::http("200 OK", "<rss>\n</rss>"));
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/feed.xml")), target()}), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("<rss>\r\n</rss>\r\n"));
    EXPECT_EQ(server.requests().at(0).target(), QByteArray("/feed.xml"));
}

TEST_F(FetchCommandTest, CredentialsFromTheCommandLine)
{
    server.enqueue(LoopbackReply::http("200 OK", "x"));
    server.enqueue(LoopbackReply::http("200 OK", "y"));
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/a")), target(), QStringLiteral("--user"),
                               QStringLiteral("user"), QStringLiteral("--password"),
                               QStringLiteral("secret")}),
              0);
    EXPECT_EQ(runFetchCommand({QStringLiteral("--user=user"), QStringLiteral("--password=secret"),
                               server.url(QStringLiteral("/b")), target()}),
              0);
    for (const LoopbackRequest &request : server.requests())
        EXPECT_TRUE(request.raw.contains("Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
}

// The password can stay off the command line, where every user sees it in the process list;
// one given there still wins.
TEST_F(FetchCommandTest, PasswordFromTheEnvironment)
{
    const ScopedEnv password("KOLVANI_PASSWORD", "secret");
    server.enqueue(LoopbackReply::http("200 OK", "x"));
    server.enqueue(LoopbackReply::http("200 OK", "y"));
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/a")), target(), QStringLiteral("--user"),
                               QStringLiteral("user")}),
              0);
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/b")), target(),
                               QStringLiteral("--user=user"), QStringLiteral("--password=inne")}),
              0);
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_TRUE(server.requests().at(0).raw.contains("Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"));
    EXPECT_TRUE(server.requests().at(1).raw.contains("Authorization: Basic dXNlcjppbm5l\r\n"));
}

TEST_F(FetchCommandTest, ProxyComesFromTheSettingsFile)
{
    writeSettings("cbEnableProxy=2\r\nedProxyServer=127.0.0.1\r\nedProxyPort=" +
                  QByteArray::number(server.port()) +
                  "\r\nedProxyUser=pu\r\nedProxyPassword=pp\r\n");
    server.enqueue(LoopbackReply::http("200 OK", "via proxy"));
    EXPECT_EQ(runFetchCommand({QStringLiteral("http://feeds.example.test/rss"), target()}), 0);
    EXPECT_EQ(readWholeFile(target()), std::string("via proxy\r\n"));
    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests().at(0).raw.toStdString(),
              expectedHead("http://feeds.example.test:80/rss", "feeds.example.test",
                           "Proxy-Authorization: Basic cHU6cHA=\r\n", true));
}

TEST_F(FetchCommandTest, ProxySwitchedOffOrBadPortInTheSettingsFile)
{
    writeSettings("cbEnableProxy=0\r\nedProxyServer=127.0.0.1\r\nedProxyPort=1\r\n");
    server.enqueue(LoopbackReply::http("200 OK", "direct"));
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/direct")), target()}), 0);
    EXPECT_EQ(server.requests().at(0).target(), QByteArray("/direct"));

    writeSettings("cbEnableProxy=1\r\nedProxyServer=127.0.0.1\r\nedProxyPort=eighty\r\n");
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/never")), target()}), 1);
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(readWholeFile(target()), std::string("direct\r\n"));
}

TEST_F(FetchCommandTest, BadArgumentsAndFailedDownloadsExitWithOne)
{
    EXPECT_EQ(runFetchCommand({}), 1);
    EXPECT_EQ(runFetchCommand({server.url()}), 1);
    EXPECT_EQ(runFetchCommand({server.url(), target(), QStringLiteral("extra")}), 1);
    EXPECT_EQ(runFetchCommand({server.url(), target(), QStringLiteral("--verbose")}), 1);
    EXPECT_EQ(runFetchCommand({server.url(), target(), QStringLiteral("--user")}), 1);
    EXPECT_EQ(server.requestCount(), 0);

    server.enqueue(LoopbackReply::http("404 Not Found", "none"));
    EXPECT_EQ(runFetchCommand({server.url(QStringLiteral("/missing")), target()}), 1);
    EXPECT_FALSE(QFileInfo::exists(target()));
}

TEST_F(FetchCommandTest, BuiltProgramFetchesEndToEnd)
{
    if (!QFileInfo(KolvaniProgram).isExecutable())
        GTEST_SKIP() << "the kolvani program is not built";

    server.enqueue(LoopbackReply::http("200 OK", "<rss/>"));
    server.enqueue(LoopbackReply::http("404 Not Found", "none"));
    QProcessEnvironment environment = dataHomeEnvironment(home.filePath(QStringLiteral("share")));
    environment.insert(QStringLiteral("HOME"), home.path());

    const QString address = server.url(QStringLiteral("/feed.xml"));
    const ProgramRun fetched = runProgram(
        KolvaniProgram, {QStringLiteral("--fetch"), address, target()}, 60000, environment);
    EXPECT_EQ(fetched.exitCode, 0);
    const QStringList out = fetched.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(out.isEmpty());
    EXPECT_EQ(out.first(), QStringLiteral("Pobieranie dokumentu ") + address);
    EXPECT_TRUE(out.contains(QStringLiteral("Połączono.")));
    EXPECT_EQ(out.last(), QStringLiteral("Gotowe."));
    EXPECT_EQ(readWholeFile(target()), std::string("<rss/>\r\n"));

    const QString missing = server.url(QStringLiteral("/missing"));
    const ProgramRun refused = runProgram(
        KolvaniProgram, {QStringLiteral("--fetch"), missing, home.filePath(QStringLiteral("x"))},
        60000, environment);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.trimmed(),
              QStringLiteral("Niepoprawny adres URL (") + missing + QLatin1Char(')'));
}

} // namespace
