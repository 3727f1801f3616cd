#include "base/SettingsFile.h"
#include "support/ShortWrite.h"
#include "base/FileReplace.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

struct stat statOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st;
}

class SettingsFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("config.ini")); }
};

} // namespace

TEST_F(SettingsFileTest, MissingFileGivesDefaults)
{
    SettingsFile s(path());
    EXPECT_EQ(s.readString("config", "edProxyServer", "def"), "def");
    EXPECT_TRUE(s.readBool("config", "cbBalloon", true));
    EXPECT_FALSE(s.readBool("config", "cbUpdates", false));
    EXPECT_EQ(s.readInt("config", "seInterval", 60), 60);
    // A folder in place of the file is unreadable too.
    QDir(dir.path()).mkdir("folder.ini");
    EXPECT_EQ(SettingsFile(dir.filePath("folder.ini")).readInt("config", "x", 7), 7);
}

TEST_F(SettingsFileTest, BooleansAndIntegersFollowWholeNumberRules)
{
    writeAll(path(), "[config]\n"
                     "one=1\nfive=5\nminus=-3\nzero=0\nspaced= 1 \ntext=True\nempty=\n"
                     "half=1.5\nbig=99999999999\nhex=0x10\n");
    SettingsFile s(path());
    EXPECT_TRUE(s.readBool("config", "one", false));
    EXPECT_TRUE(s.readBool("config", "five", false));
    EXPECT_TRUE(s.readBool("config", "minus", false));
    EXPECT_FALSE(s.readBool("config", "zero", true));
    EXPECT_TRUE(s.readBool("config", "spaced", false));
    // Text that is not a whole number keeps the default, whichever it is.
    EXPECT_TRUE(s.readBool("config", "text", true));
    EXPECT_FALSE(s.readBool("config", "text", false));
    EXPECT_TRUE(s.readBool("config", "empty", true));
    EXPECT_FALSE(s.readBool("config", "half", false));

    EXPECT_EQ(s.readInt("config", "five", 0), 5);
    EXPECT_EQ(s.readInt("config", "minus", 0), -3);
    EXPECT_EQ(s.readInt("config", "text", 60), 60);
    EXPECT_EQ(s.readInt("config", "empty", 60), 60);
    EXPECT_EQ(s.readInt("config", "half", 60), 60);
    EXPECT_EQ(s.readInt("config", "big", 60), 60);
    EXPECT_EQ(s.readInt("config", "hex", 60), 60);
    EXPECT_EQ(s.readString("config", "empty", "def"), ""); // present but empty is not missing
}

TEST_F(SettingsFileTest, SectionsAndKeysIgnoreCaseAndStayApart)
{
    writeAll(path(), "; comment\n[Config]\nSeInterval=45\n[other]\nseInterval=99\n"
                     "quoted=\"a b \"\n# another=1\n");
    SettingsFile s(path());
    EXPECT_EQ(s.readInt("config", "seInterval", 0), 45);
    EXPECT_EQ(s.readInt("OTHER", "SEINTERVAL", 0), 99);
    EXPECT_EQ(s.readString("other", "quoted"), "a b ");
    EXPECT_EQ(s.readString("other", "another", "none"), "none"); // commented out
    EXPECT_EQ(s.readInt("missing", "seInterval", 1), 1);
}

TEST_F(SettingsFileTest, WritesKeepEverythingElse)
{
    const QByteArray original = "; settings of Kolvani\n"
                                "[Channels]\n"
                                "ChannelsListURL=http://example.invalid/list.xml\n"
                                "\n"
                                "[config]\n"
                                "; interval in minutes\n"
                                "seInterval=60\n"
                                "Unknown=keep me\n"
                                "\n"
                                "[Extra]\n"
                                "a=1\n";
    writeAll(path(), original);
    SettingsFile s(path());
    s.writeInt("config", "seInterval", 90);
    s.writeBool("config", "cbUpdates", true);
    s.writeString("Channels", "ChannelsListURL", "http://x.invalid/ł.xml");
    s.writeBool("New", "flag", false);

    EXPECT_EQ(QString::fromUtf8(readAll(path())),
              QString::fromUtf8("; settings of Kolvani\n"
                                "[Channels]\n"
                                "ChannelsListURL=http://x.invalid/ł.xml\n"
                                "\n"
                                "[config]\n"
                                "; interval in minutes\n"
                                "seInterval=90\n"
                                "Unknown=keep me\n"
                                "cbUpdates=1\n"
                                "\n"
                                "[Extra]\n"
                                "a=1\n"
                                "\n"
                                "[New]\n"
                                "flag=0\n"));
    EXPECT_EQ(s.readString("Channels", "ChannelsListURL"),
              QString::fromUtf8("http://x.invalid/ł.xml"));
    EXPECT_TRUE(s.readBool("config", "cbUpdates", false));
    EXPECT_FALSE(s.readBool("New", "flag", true));
}

TEST_F(SettingsFileTest, WindowsLineEndsAndByteOrderMarkAreHandled)
{
    writeAll(path(), "\xEF\xBB\xBF[config]\r\nedProxyUser=Łukasz\r\n");
    SettingsFile s(path());
    EXPECT_EQ(s.readString("config", "edProxyUser"), QString::fromUtf8("Łukasz"));
    s.writeString("config", "edProxyPassword", QString::fromUtf8("zażółć"));
    EXPECT_EQ(readAll(path()), QByteArray("\xEF\xBB\xBF[config]\r\nedProxyUser=Łukasz\r\n"
                                          "edProxyPassword=zażółć\r\n"));
}

// Lines the program does not change keep their bytes: spacing, comments, mixed line ends, a
// last line without one, and the 8-bit text of the older program, read as Windows-1250.
TEST_F(SettingsFileTest, UnchangedLinesKeepTheirBytesAndWindows1250IsRead)
{
    const QByteArray older = "[config]\r\n"
                             "edProxyUser = \xA3ukasz  \r\n"   // Łukasz
                             ";  komentarz\tz tabulatorem\n"
                             "edProxyPassword=has\xB3o\xB9\r\n"  // hasłoą
                             "seInterval=60\r\n"
                             "[Inne]\r\n"
                             "x=\x9C\x9F";                       // śź, no line end
    writeAll(path(), older);
    SettingsFile s(path());
    EXPECT_EQ(s.readString("config", "edProxyPassword"), QString::fromUtf8("hasłoą"));
    EXPECT_EQ(s.readString("config", "edProxyUser"), QString::fromUtf8("Łukasz"));
    s.writeInt("config", "seInterval", 90);
    QByteArray expected = older;
    expected.replace("seInterval=60", "seInterval=90");
    EXPECT_EQ(readAll(path()), expected);
    s.writeString("config", "edProxyServer", QString::fromUtf8("proxy.żółw"));
    s.writeString("Inne", "y", QStringLiteral("1"));
    expected.replace("seInterval=90\r\n", "seInterval=90\r\nedProxyServer=proxy.\xBF\xF3\xB3w\r\n");
    expected += "\r\ny=1\r\n";
    EXPECT_EQ(readAll(path()), expected);
    EXPECT_EQ(s.readString("config", "edProxyPassword"), QString::fromUtf8("hasłoą"));

    // A character the code page lacks: the file becomes UTF-8, every text kept.
    s.writeString("config", "edProxyUser", QString::fromUtf8("用户"));
    EXPECT_EQ(s.readString("config", "edProxyUser"), QString::fromUtf8("用户"));
    EXPECT_EQ(s.readString("config", "edProxyPassword"), QString::fromUtf8("hasłoą"));
    EXPECT_EQ(s.readString("Inne", "x"), QString::fromUtf8("śź"));
    const QByteArray utf8 = readAll(path());
    EXPECT_TRUE(utf8.contains(";  komentarz\tz tabulatorem\n")) << utf8.constData();
}

TEST_F(SettingsFileTest, FileIsPrivateAndReplacedWhole)
{
    SettingsFile s(path());
    s.writeString("config", "edProxyPassword", "secret");
    EXPECT_EQ(statOf(path()).st_mode & 0777, 0600u);

    // An older file readable by others becomes private at the next write.
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const ino_t before = statOf(path()).st_ino;
    s.writeString("config", "edProxyPassword", "other");
    const struct stat after = statOf(path());
    EXPECT_EQ(after.st_mode & 0777, 0600u);
    // Written beside and renamed: the old file was never truncated in place.
    EXPECT_NE(after.st_ino, before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"config.ini"});
}

TEST_F(SettingsFileTest, FailedWriteRaisesAndLeavesTheOldFile)
{
    SettingsFile missingFolder(dir.filePath("no/such/folder/config.ini"));
    EXPECT_THROW(missingFolder.writeBool("config", "cbUpdates", true), FileError);

    // A read-only folder refuses the file beside; as root that is not enforced, so the
    // folder is replaced by a file name that cannot be a folder.
    writeAll(path(), "[config]\nseInterval=45\n");
    const QString blocker = dir.filePath("blocker");
    writeAll(blocker, "x");
    SettingsFile underFile(blocker + "/config.ini");
    EXPECT_THROW(underFile.writeInt("config", "seInterval", 1), FileError);
    EXPECT_EQ(readAll(blocker), QByteArray("x"));
    EXPECT_EQ(SettingsFile(path()).readInt("config", "seInterval", 0), 45);
}

TEST_F(SettingsFileTest, AShortWriteLeavesTheOldFile)
{
    writeAll(path(), "[config]\nseInterval=45\n");
    {
        InjectedShortWrite fullDisk;
        EXPECT_THROW(SettingsFile(path()).writeInt("config", "seInterval", 1), FileError);
    }
    EXPECT_EQ(readAll(path()), QByteArray("[config]\nseInterval=45\n"));
}
