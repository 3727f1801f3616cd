#include "base/UserFolder.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

TEST(UserFolder, WithoutAFolderNoPathPointsIntoTheCurrentFolder)
{
    const UserFolder none;
    for (const QString &path :
         {none.dataFolder(), none.tempFolder(), none.treeFile(), none.defaultTreeFile(),
          none.configFile(), none.archiveFile(), none.itemStyleSheet(), none.archiveItemFile(),
          none.providerListFile(), none.probeFile(), none.lockFile(),
          none.cacheFile(QStringLiteral("{A}")), none.downloadFile(QStringLiteral("{A}")),
          none.dataFile(QStringLiteral("rss2.xsl")), none.tempFile(QStringLiteral("x"))})
        EXPECT_TRUE(path.isEmpty()) << qPrintable(path);

    const UserFolder home(QStringLiteral("/home/jan/.local/share/Kolvani"));
    EXPECT_EQ(home.configFile(), QStringLiteral("/home/jan/.local/share/Kolvani/data/config.ini"));
    EXPECT_EQ(home.downloadFile(QStringLiteral("{A}")),
              QStringLiteral("/home/jan/.local/share/Kolvani/temp/{A}.xml"));
}

// The real program where its per-user folder cannot be made (a data home on a file system
// that takes no folders): it goes on, and neither the closing steps nor anything else write
// the settings (with the proxy password) or the tree into the folder it was started from.
TEST(UserFolder, ProgramWithoutAPerUserFolderWritesNothingWhereItWasStarted)
{
    QTemporaryDir startedFrom;
    ASSERT_TRUE(startedFrom.isValid());
    QDir().mkpath(startedFrom.filePath("data"));
    QDir().mkpath(startedFrom.filePath("temp"));
    QProcessEnvironment env = windowProgramEnvironment(startedFrom.path());
    env.insert("XDG_DATA_HOME", "/proc");
    env.insert("XDG_CONFIG_HOME", startedFrom.filePath("config"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(startedFrom.path());
    program.start(KolvaniProgram, {});
    ASSERT_TRUE(program.waitForStarted(10000));
    // The error is shown and the program goes on: still there after a while.
    EXPECT_FALSE(program.waitForFinished(5000)) << program.readAllStandardError().constData();
    endProgram(program); // saves as "&Koniec pracy" does
    EXPECT_TRUE(QDir(startedFrom.filePath("data")).isEmpty());
    EXPECT_TRUE(QDir(startedFrom.filePath("temp")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(startedFrom.filePath("config.ini")));
    EXPECT_FALSE(QFileInfo::exists(startedFrom.filePath("tvChannels.xml")));
}
