#include "base/AppSettings.h"
#include "base/SettingsFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <limits>

namespace {

// What was read, as the file's keys in their order: one comparison with a readable failure.
QString asKeys(const AppSettings &s)
{
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringList{"seInterval=" + QString::number(s.interval),
                       "cbUpdates=" + flag(s.updates),
                       "cbBalloon=" + flag(s.balloon),
                       "cbAutorun=" + flag(s.autorun),
                       "cbCloseAction=" + flag(s.closeAction),
                       "cbEnableProxy=" + flag(s.enableProxy),
                       "edProxyServer=" + s.proxyServer,
                       "edProxyPort=" + s.proxyPort,
                       "edProxyUser=" + s.proxyUser,
                       "edProxyPassword=" + s.proxyPassword,
                       "cbDontShow=" + flag(s.dontShow),
                       "bDescendingSort=" + flag(s.descendingSort),
                       "nColumnToSort=" + QString::number(s.columnToSort),
                       "cbRemoteContent=" + flag(s.remoteContent),
                       "ChannelsListURL=" + s.channelsListUrl}
        .join('\n');
}

const QString Defaults = QStringLiteral(
    "seInterval=60\ncbUpdates=0\ncbBalloon=1\ncbAutorun=0\ncbCloseAction=1\ncbEnableProxy=0\n"
    "edProxyServer=\nedProxyPort=0\nedProxyUser=\nedProxyPassword=\ncbDontShow=0\n"
    "bDescendingSort=0\nnColumnToSort=0\ncbRemoteContent=1\nChannelsListURL=");

AppSettings readFile(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath("config.ini");
    if (!text.isNull())
        EXPECT_TRUE(writeAll(path, text));
    return AppSettings::read(SettingsFile(path));
}

} // namespace

TEST(AppSettings, FreshInstallationDefaults)
{
    QTemporaryDir dir;
    EXPECT_EQ(asKeys(readFile(dir, QByteArray())), Defaults);
}

TEST(AppSettings, EveryKeyIsReadFromItsSection)
{
    QTemporaryDir dir;
    const QByteArray config = "seInterval=120\ncbUpdates=1\ncbBalloon=0\ncbAutorun=1\n"
                              "cbCloseAction=0\ncbEnableProxy=1\nedProxyServer=proxy.invalid\n"
                              "edProxyPort=3128\nedProxyUser=jan\nedProxyPassword=p=ss\n"
                              "cbDontShow=1\nbDescendingSort=1\nnColumnToSort=2\n"
                              "cbRemoteContent=0\n";
    const AppSettings s = readFile(
        dir, "[Channels]\nChannelsListURL=http://lists.invalid/ch.xml\n[config]\n" + config +
                 "fmMainState=2\n"
                 // Keys of the wrong section are not taken.
                 "ChannelsListURL=wrong\n");
    EXPECT_EQ(asKeys(s), QString::fromUtf8(config) + "ChannelsListURL=http://lists.invalid/ch.xml");
}

TEST(AppSettings, BadNumbersKeepTheirDefaults)
{
    QTemporaryDir dir;
    const AppSettings s = readFile(
        dir, "[config]\nseInterval=sixty\ncbBalloon=yes\nnColumnToSort=\ncbCloseAction=x\n");
    EXPECT_EQ(asKeys(s), Defaults);
}

// An older file has no key: a run on one server may use six connections; a value out of
// range gives the nearer bound, two being the least any server gets.
TEST(AppSettings, ConnectionsToTheMainServerAreBetweenTwoAndSix)
{
    QTemporaryDir dir;
    EXPECT_EQ(readFile(dir, "[config]\nseInterval=60\n").hostConnections, 6);
    const std::pair<const char *, int> cases[] = {
        {"4", 4}, {"2", 2}, {"1", 2}, {"0", 2}, {"-3", 2}, {"7", 6}, {"999", 6}, {"many", 6}};
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(readFile(dir, QByteArray("[config]\nseHostConnections=") + text + "\n")
                      .hostConnections,
                  expected)
            << text;
}

TEST(AppSettings, ClosingWritesFourKeysInOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    writeAll(path, "[Channels]\nChannelsListURL=\n");
    SettingsFile file(path);
    WriteClosingSettings(file, MainWindowState::Maximised, true, false, 3);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[Channels]\nChannelsListURL=\n\n[config]\nfmMainState=2\n"
                                      "cbDontShow=1\nbDescendingSort=0\nnColumnToSort=3\n"));
    const AppSettings s = AppSettings::read(file);
    EXPECT_TRUE(s.dontShow);
    EXPECT_FALSE(s.descendingSort);
    EXPECT_EQ(s.columnToSort, 3);
}

TEST(AppSettings, TimerIntervalFromMinutes)
{
    EXPECT_EQ(UpdateTimerInterval(30), 1800000);
    EXPECT_EQ(UpdateTimerInterval(60), 3600000);
    EXPECT_EQ(UpdateTimerInterval(2000), 120000000);
    EXPECT_EQ(UpdateTimerInterval(0), 0);
    // Longer than a timer can count: the longest period, never a wrapped-around one.
    EXPECT_EQ(UpdateTimerInterval(100000), std::numeric_limits<int>::max());
    EXPECT_EQ(UpdateTimerInterval(std::numeric_limits<int>::max()),
              std::numeric_limits<int>::max());
}
