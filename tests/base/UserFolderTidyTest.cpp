// What a killed process leaves in the per-user folder goes at the next start, and only that:
// the program's own replacement files, older than the lock.

#include "base/FileReplace.h"
#include "base/UserFolder.h"
#include "base/UserFolderTidy.h"
#include "feed/TextOps.h"
#include "support/TestFiles.h"
#include "support/TestUserFolder.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QString Guid = QStringLiteral("{0A1B2C3D-0000-4000-8000-0000000C0DE5}");

unsigned modeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

class UserFolderTidyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        folder = UserFolder(makeUserFolder(home.path() + QStringLiteral("/Kolvani")));
        ASSERT_FALSE(folder.isEmpty());
    }

    QString make(const QString &path, const QDateTime &changed)
    {
        EXPECT_TRUE(writeAll(path, "kopia z hasłami"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(changed, QFileDevice::FileModificationTime));
        return path;
    }

    QTemporaryDir home;
    UserFolder folder;
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
};

TEST_F(UserFolderTidyTest, RemovesOnlyTheProgramsOwnStaleReplacements)
{
    const QStringList stale = {
        make(folder.treeFile() + QStringLiteral(".0k3j9zq"), hourAgo),
        make(folder.downloadFile(Guid) + QStringLiteral(".1a2b3c4"), hourAgo),
        make(folder.cacheFile(Guid) + QStringLiteral(".00000az"), hourAgo),
        make(folder.configFile() + QStringLiteral(".k3j9z1"), hourAgo), // unpadded, older
        make(folder.validatorsFile() + QStringLiteral(".1z141z3"), hourAgo),
    };
    const QStringList kept = {
        make(folder.treeFile() + QStringLiteral(".bak"), hourAgo),
        make(folder.treeFile() + QStringLiteral(".backup"), hourAgo),
        make(folder.treeFile() + QStringLiteral(".damaged-2026-01-02"), hourAgo),
        make(folder.treeFile() + QStringLiteral(".2z141z3"), hourAgo), // past 32 bits
        make(folder.dataFile(QStringLiteral("notatki.txt.0k3j9zq")), hourAgo),
        make(folder.treeFile(), hourAgo),
        // Newer than the lock: a write of a process that took it after us.
        make(folder.treeFile() + QStringLiteral(".0zzzzzz"), QDateTime::currentDateTime().addSecs(60)),
    };
    const QStringList removed =
        RemoveStaleReplacements(folder, QDateTime::currentDateTime().addSecs(-60));
    EXPECT_EQ(QSet<QString>(removed.cbegin(), removed.cend()),
              QSet<QString>(stale.cbegin(), stale.cend()));
    for (const QString &path : stale)
        EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
    for (const QString &path : kept)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
}

// A replacement's own file is named so that the tidy knows it.
TEST_F(UserFolderTidyTest, ReplacementNamesAreRecognised)
{
    for (const char *name : {"0000000", "0k3j9zq", "1z141z3"})
        EXPECT_TRUE(IsReplacementOf(QStringLiteral("a.xml.") + QLatin1String(name),
                                    QStringLiteral("a.xml")))
            << name;
    for (const char *name : {"", "bak", "backup", "2z141z3", "0K3J9ZQ", "12345678"})
        EXPECT_FALSE(IsReplacementOf(QStringLiteral("a.xml.") + QLatin1String(name),
                                     QStringLiteral("a.xml")))
            << name;
}

TEST_F(UserFolderTidyTest, FolderAndFilesBecomePrivate)
{
    const QString config = make(folder.configFile(), hourAgo);
    const QString validators = make(folder.validatorsFile(), hourAgo);
    const QString download = make(folder.downloadFile(Guid), hourAgo);
    for (const QString &path : {config, validators, download})
        ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup | QFileDevice::ReadOther));
    TidyUserFolder(folder, QDateTime::currentDateTime());
    for (const QString &path : {config, validators, download})
        EXPECT_EQ(modeOf(path), 0600u) << path.toStdString();
    for (const QString &path : {folder.root(), folder.dataFolder(), folder.tempFolder()})
        EXPECT_EQ(modeOf(path), 0700u) << path.toStdString();

    // What the program writes there later is private from the start.
    SetPrivateFolder(folder.root());
    WriteFileAtomically(folder.itemStyleSheet(), "<xsl/>", Durability::Unsynced);
    SetPrivateFolder(QString());
    EXPECT_EQ(modeOf(folder.itemStyleSheet()), 0600u);
}

} // namespace
