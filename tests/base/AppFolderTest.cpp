#include "base/AppFolder.h"
#include "support/ScopedEnv.h"
#include "support/ShortWrite.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

unsigned modeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

// An executable's folder with the shipped data/ and temp/.
void makeShippedFolders(const QString &exeDir)
{
    writeAll(exeDir + "/data/tvChannels.xml", "<tree/>");
    writeAll(exeDir + "/data/tvChannels_e.xml", "<default/>");
    writeAll(exeDir + "/data/config.ini", "[Channels]\nChannelsListURL=\n");
    writeAll(exeDir + "/data/rss2.xsl", "<xsl/>");
    writeAll(exeDir + "/data/.hidden", "h");
    writeAll(exeDir + "/data/sub/deeper/file.txt", "deep");
    writeAll(exeDir + "/temp/placeholder.txt", "t");
}

// A temporary folder with an executable's folder bin/ holding the shipped folders.
class AppFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        makeShippedFolders(exeDir);
    }

    QTemporaryDir dir;
    const QString exeDir = dir.filePath("bin");
};

} // namespace

TEST(CopyFolder, CopiesSubfoldersAndHiddenFiles)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    writeAll(src + "/a.txt", "a");
    writeAll(src + "/.dotfile", "dot");
    writeAll(src + "/sub/b.txt", "b");
    writeAll(src + "/sub/.hiddensub/c.txt", "c");
    QDir().mkpath(src + "/emptysub");

    const QString dst = dir.filePath("dst");
    EXPECT_TRUE(CopyFolder(src, dst));
    EXPECT_EQ(readAll(dst + "/a.txt"), "a");
    EXPECT_EQ(readAll(dst + "/.dotfile"), "dot");
    EXPECT_EQ(readAll(dst + "/sub/b.txt"), "b");
    EXPECT_EQ(readAll(dst + "/sub/.hiddensub/c.txt"), "c");
    EXPECT_TRUE(QFileInfo(dst + "/emptysub").isDir());
    // The source is untouched, and trailing slashes make no difference.
    EXPECT_EQ(readAll(src + "/a.txt"), "a");
    EXPECT_TRUE(CopyFolder(src + "/sub/", dir.filePath("dst2/")));
    EXPECT_EQ(readAll(dir.filePath("dst2/b.txt")), "b");
}

TEST(CopyFolder, NeverOverwritesAndStopsAtTheFirstFailure)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    writeAll(src + "/1.txt", "new1");
    writeAll(src + "/2.txt", "new2");
    writeAll(src + "/3.txt", "new3");
    const QString dst = dir.filePath("dst");
    writeAll(dst + "/2.txt", "old2");

    EXPECT_FALSE(CopyFolder(src, dst));
    EXPECT_EQ(readAll(dst + "/1.txt"), "new1");      // before the failure
    EXPECT_EQ(readAll(dst + "/2.txt"), "old2");      // kept
    EXPECT_FALSE(QFileInfo::exists(dst + "/3.txt")); // after it: not reached

    // A failure deep in a subfolder ends the whole copy with false too.
    writeAll(src + "/zsub/x.txt", "x");
    writeAll(dst + "/zsub/x.txt", "oldx");
    QFile::remove(dst + "/2.txt");
    QFile::remove(dst + "/1.txt");
    EXPECT_FALSE(CopyFolder(src, dst));
    EXPECT_EQ(readAll(dst + "/zsub/x.txt"), "oldx");
}

// A copy that does not get every byte in (a first start on a full disk) leaves no file of
// that name, so that the next start copies it again rather than reading an empty one.
TEST(CopyFolder, AShortWriteLeavesNoPartOfAFile)
{
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    writeAll(src + "/tvChannels.xml", QByteArray(5000, 't'));
    const QString dst = dir.filePath("dst");
    {
        InjectedShortWrite fullDisk;
        EXPECT_FALSE(CopyFolder(src, dst));
    }
    EXPECT_TRUE(QDir(dst).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(CopyFolder(src, dst));
    EXPECT_EQ(readAll(dst + "/tvChannels.xml"), QByteArray(5000, 't'));
}

TEST(CopyFolder, MissingOrEmptySourceIsNotAFailure)
{
    QTemporaryDir dir;
    EXPECT_TRUE(CopyFolder(dir.filePath("nothing"), dir.filePath("made")));
    EXPECT_TRUE(QFileInfo(dir.filePath("made")).isDir()); // the target is created anyway
    EXPECT_TRUE(CopyFolder(QString(), dir.filePath("made2")));
    EXPECT_TRUE(QDir(dir.filePath("made2")).isEmpty());
}

TEST_F(AppFolder, FirstRunCreatesAndCopiesSecondRunCopiesNothing)
{
    const QString dataHome = dir.filePath("share");
    QDir().mkpath(dataHome);

    const QString appFolder = DetermineAppFolderIn(dataHome, exeDir);
    EXPECT_EQ(appFolder, dataHome + "/Kolvani/");
    EXPECT_EQ(readAll(appFolder + "data/tvChannels.xml"), "<tree/>");
    EXPECT_EQ(readAll(appFolder + "data/.hidden"), "h");
    EXPECT_EQ(readAll(appFolder + "data/sub/deeper/file.txt"), "deep");
    EXPECT_EQ(readAll(appFolder + "temp/placeholder.txt"), "t");
    // Secrets and the folder holding them are the user's alone.
    EXPECT_EQ(modeOf(appFolder + "data/config.ini"), 0600u);
    EXPECT_EQ(modeOf(appFolder + "data/tvChannels.xml"), 0600u);
    EXPECT_EQ(modeOf(appFolder + "data"), 0700u);
    EXPECT_EQ(modeOf(appFolder), 0700u);

    // Second start: a deleted file is not brought back and nothing is overwritten.
    QFile::remove(appFolder + "data/rss2.xsl");
    writeAll(appFolder + "data/tvChannels.xml", "<mine/>");
    EXPECT_EQ(DetermineAppFolderIn(dataHome + "/", exeDir), appFolder);
    EXPECT_FALSE(QFileInfo::exists(appFolder + "data/rss2.xsl"));
    EXPECT_EQ(readAll(appFolder + "data/tvChannels.xml"), "<mine/>");

    // An existing but incomplete folder is not filled either.
    const QString otherHome = dir.filePath("share2");
    QDir().mkpath(otherHome + "/Kolvani");
    EXPECT_EQ(DetermineAppFolderIn(otherHome, exeDir), otherHome + "/Kolvani/");
    EXPECT_FALSE(QFileInfo::exists(otherHome + "/Kolvani/data"));
}

// Built or unpacked, the shipped folders sit beside the executable; installed as P/bin/kolvani
// they sit in P/share/kolvani/. The first run copies from wherever they are.
TEST_F(AppFolder, ShippedFoldersAreFoundBesideTheExecutableOrInstalledUnderShare)
{
    const QString beside = dir.filePath("build");
    makeShippedFolders(beside);
    EXPECT_EQ(ShippedFolder(beside), beside + "/");

    const QString prefix = dir.filePath("usr");
    makeShippedFolders(prefix + "/share/kolvani");
    QDir().mkpath(prefix + "/bin");
    EXPECT_EQ(ShippedFolder(prefix + "/bin/"), prefix + "/share/kolvani/");
    const QString dataHome = dir.filePath("home");
    QDir().mkpath(dataHome);
    const QString appFolder = DetermineAppFolderIn(dataHome, prefix + "/bin");
    EXPECT_EQ(readAll(appFolder + "data/tvChannels_e.xml"), "<default/>");
    EXPECT_EQ(readAll(appFolder + "temp/placeholder.txt"), "t");

    // Folders beside the executable win over an installed copy.
    makeShippedFolders(prefix + "/bin");
    EXPECT_EQ(ShippedFolder(prefix + "/bin"), prefix + "/bin/");
    // Neither: the executable's folder, as before.
    QDir().mkpath(dir.filePath("bare/bin"));
    EXPECT_EQ(ShippedFolder(dir.filePath("bare/bin")), dir.filePath("bare/bin") + "/");
}

TEST_F(AppFolder, WithoutDataHomeTheExecutablesFolderIsUsed)
{
    EXPECT_EQ(DetermineAppFolderIn(QString(), exeDir), exeDir + "/");
    EXPECT_EQ(DetermineAppFolderIn(dir.filePath("missing"), exeDir + "/"), exeDir + "/");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
    EXPECT_FALSE(QFileInfo::exists(exeDir + "/Kolvani"));
}

TEST_F(AppFolder, HonoursXdgDataHome)
{
    const QString dataHome = dir.filePath("xdg");
    QDir().mkpath(dataHome);
    {
        ScopedEnv env("XDG_DATA_HOME", QFile::encodeName(dataHome));
        EXPECT_EQ(DetermineAppFolder(exeDir), dataHome + "/Kolvani/");
        EXPECT_EQ(readAll(dataHome + "/Kolvani/data/tvChannels_e.xml"), "<default/>");
    }
}

TEST_F(AppFolder, MissingDataHomeIsCreatedPrivateAndUsed)
{
    // A new account: no data home yet. The data must not go beside the executable.
    const QString absent = dir.filePath("home/.local/share");
    {
        ScopedEnv env("XDG_DATA_HOME", QFile::encodeName(absent));
        EXPECT_EQ(DetermineAppFolder(exeDir), absent + "/Kolvani/");
    }
    EXPECT_EQ(modeOf(absent), 0700u);
    EXPECT_EQ(readAll(absent + "/Kolvani/data/tvChannels_e.xml"), "<default/>");
    EXPECT_FALSE(QFileInfo::exists(exeDir + "/Kolvani"));

    // A data home that cannot be made (a file stands in the way): the executable's folder.
    writeAll(dir.filePath("plain-file"), "x");
    {
        ScopedEnv env("XDG_DATA_HOME", QFile::encodeName(dir.filePath("plain-file/share")));
        EXPECT_EQ(DetermineAppFolder(exeDir), exeDir + "/");
    }
    EXPECT_FALSE(QFileInfo::exists(exeDir + "/Kolvani"));
}

// Tools that only read settings ask where the folder is without creating it.
TEST(AppFolderPath, PathAloneCreatesNothing)
{
    QTemporaryDir root;
    const QString home = root.path() + QStringLiteral("/share");
    const QString exe = root.path() + QStringLiteral("/exe");
    ASSERT_TRUE(QDir().mkpath(home));
    EXPECT_EQ(AppFolderPath(home + QStringLiteral("//"), exe), home + QStringLiteral("/Kolvani/"));
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/Kolvani")));
    EXPECT_EQ(AppFolderPath(root.path() + QStringLiteral("/missing"), exe),
              exe + QStringLiteral("/"));
    EXPECT_EQ(AppFolderPath(QString(), exe), exe + QStringLiteral("/"));
    EXPECT_EQ(DetermineAppFolderIn(home, exe), AppFolderPath(home, exe));
}
