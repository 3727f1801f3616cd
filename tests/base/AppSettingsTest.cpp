#include "base/AppSettings.h"
#include "base/SettingsFile.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <limits>

namespace {

} // namespace

TEST(AppSettings, FreshInstallationDefaults)
{
    QTemporaryDir dir;
    const AppSettings s = AppSettings::read(SettingsFile(dir.filePath("config.ini")));
    EXPECT_EQ(s.interval, 60);
    EXPECT_FALSE(s.updates);
    EXPECT_TRUE(s.balloon);
    EXPECT_FALSE(s.autorun);
    EXPECT_TRUE(s.closeAction);
    EXPECT_FALSE(s.enableProxy);
    EXPECT_EQ(s.proxyServer, "");
    EXPECT_EQ(s.proxyPort, "0");
    EXPECT_EQ(s.proxyUser, "");
    EXPECT_EQ(s.proxyPassword, "");
    EXPECT_FALSE(s.dontShow);
    EXPECT_FALSE(s.descendingSort);
    EXPECT_EQ(s.columnToSort, 0);
    EXPECT_EQ(s.channelsListUrl, "");
}

TEST(AppSettings, EveryKeyIsReadFromItsSection)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    writeAll(path, "[Channels]\nChannelsListURL=http://lists.invalid/ch.xml\n"
                   "[config]\nseInterval=120\ncbUpdates=1\ncbBalloon=0\ncbAutorun=1\n"
                   "cbCloseAction=0\ncbEnableProxy=1\nedProxyServer=proxy.invalid\n"
                   "edProxyPort=3128\nedProxyUser=jan\nedProxyPassword=p=ss\ncbDontShow=1\n"
                   "bDescendingSort=1\nnColumnToSort=2\nfmMainState=2\n"
                   // Keys of the wrong section are not taken.
                   "ChannelsListURL=wrong\n");
    const AppSettings s = AppSettings::read(SettingsFile(path));
    EXPECT_EQ(s.interval, 120);
    EXPECT_TRUE(s.updates);
    EXPECT_FALSE(s.balloon);
    EXPECT_TRUE(s.autorun);
    EXPECT_FALSE(s.closeAction);
    EXPECT_TRUE(s.enableProxy);
    EXPECT_EQ(s.proxyServer, "proxy.invalid");
    EXPECT_EQ(s.proxyPort, "3128");
    EXPECT_EQ(s.proxyUser, "jan");
    EXPECT_EQ(s.proxyPassword, "p=ss");
    EXPECT_TRUE(s.dontShow);
    EXPECT_TRUE(s.descendingSort);
    EXPECT_EQ(s.columnToSort, 2);
    EXPECT_EQ(s.channelsListUrl, "http://lists.invalid/ch.xml");
}

TEST(AppSettings, BadNumbersKeepTheirDefaults)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    writeAll(path, "[config]\nseInterval=sixty\ncbBalloon=yes\nnColumnToSort=\ncbCloseAction=x\n");
    const AppSettings s = AppSettings::read(SettingsFile(path));
    EXPECT_EQ(s.interval, 60);
    EXPECT_TRUE(s.balloon);
    EXPECT_EQ(s.columnToSort, 0);
    EXPECT_TRUE(s.closeAction);
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
