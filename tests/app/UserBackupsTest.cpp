#include "app/UserBackups.h"

#include "archive/ArchiveStore.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "support/ShortWrite.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"
#include "support/TestUserFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

const QDateTime Monday(QDate(2026, 12, 7), QTime(8, 15));

QString guid(int n)
{
    return QStringLiteral("{%1-0000-4000-8000-000000000000}").arg(n, 8, 10, QChar('0'));
}

// A user with a tree, a settings file and an archive whose connection stays open, as in a
// running window.
class UserBackupsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_folder = UserFolder(makeUserFolder(m_root.path()));
        ASSERT_FALSE(m_folder.isEmpty());
        addChannels(2);
        ASSERT_TRUE(writeAll(m_folder.configFile(), "[config]\r\nseInterval=90\r\n"));
        ArchiveStore::create(m_folder.archiveFile());
        m_archive = ArchiveStore::open(m_folder.archiveFile());
        archiveRows(3);
    }

    void addChannels(int n)
    {
        for (int i = 0; i < n; ++i) {
            ChannelNode *node = m_tree.addNode(m_tree.root(),
                                               QStringLiteral("Kanał %1").arg(m_tree.count()),
                                               NodeKind::Channel);
            node->channel()->GUID = guid(m_tree.count());
            node->channel()->url = QStringLiteral("http://127.0.0.1/%1.xml").arg(m_tree.count());
        }
    }

    void archiveRows(int n, int descriptionBytes = 10)
    {
        std::vector<ArchiveRecord> rows;
        for (int i = 0; i < n; ++i) {
            ArchiveRecord r;
            r.sGUID = QStringLiteral("{item-%1}").arg(m_archive->archiveTable().recordCount() + i);
            r.sTitle = QStringLiteral("Wiadomość %1").arg(i);
            r.sDescription = QString(descriptionBytes, QChar('x'));
            rows.push_back(r);
        }
        m_archive->archiveTable().insert(rows);
    }

    QStringList copyFolders() const
    {
        return QDir(m_folder.backupFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir m_root;
    UserFolder m_folder;
    ChannelTree m_tree;
    std::unique_ptr<ArchiveStore> m_archive;
};

TEST_F(UserBackupsTest, TheDaysCopyHoldsTreeSettingsAndArchiveAndIsMadeOnceThatDay)
{
    UserBackups backups(m_folder);
    ASSERT_TRUE(backups.makeDailyIfDue(m_tree, Monday));
    EXPECT_FALSE(backups.makeDailyIfDue(m_tree, Monday.addSecs(3600)));
    EXPECT_EQ(copyFolders(), QStringList{QStringLiteral("2026-12-07")});

    const QString copy = m_folder.backupFolder() + QStringLiteral("2026-12-07/");
    EXPECT_EQ(readAll(copy + "tvChannels.xml"), ChannelTreeFileBytes(m_tree));
    EXPECT_EQ(readAll(copy + "config.ini"), readAll(m_folder.configFile()));
    // The engine's own copy, taken while the live connection is open: a database of its own.
    std::unique_ptr<ArchiveStore> copied = ArchiveStore::open(copy + "archive.mdb");
    EXPECT_EQ(copied->archiveTable().recordCount(), 3);
    // Passwords live in the tree and the settings: the copy is the user's alone.
    EXPECT_EQ(QFileInfo(copy).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());

    const std::vector<BackupInfo> listed = backups.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].damaged) << listed[0].problem.toStdString();
    EXPECT_EQ(listed[0].channels, 2);
    EXPECT_EQ(listed[0].made, Monday);
    EXPECT_TRUE(listed[0].hasSettings);
    EXPECT_TRUE(listed[0].hasArchive);
    EXPECT_TRUE(backups.dueOn(Monday.date().addDays(1)));
}

TEST_F(UserBackupsTest, SevenDaysAreKeptAndTheStatesBeforeARestoreDoNotPushThemOut)
{
    UserBackups backups(m_folder);
    for (int day = 0; day < 9; ++day)
        ASSERT_TRUE(backups.makeDailyIfDue(m_tree, Monday.addDays(day)));
    for (int n = 0; n < 4; ++n)
        backups.makeBeforeRestore(m_tree, Monday.addDays(8).addSecs(60 * n));

    QStringList days, states;
    for (const QString &name : copyFolders())
        (name.size() == 10 ? days : states).append(name);
    EXPECT_EQ(days.size(), UserBackups::KeptDaily);
    EXPECT_EQ(days.first(), QStringLiteral("2026-12-09")); // the two oldest went
    EXPECT_EQ(days.last(), QStringLiteral("2026-12-15"));
    EXPECT_EQ(states.size(), UserBackups::KeptBeforeRestore);
    EXPECT_EQ(states.first(), QStringLiteral("2026-12-15_081600"));
    // Newest first.
    const std::vector<BackupInfo> listed = backups.list();
    ASSERT_EQ(listed.size(), size_t(UserBackups::KeptDaily + UserBackups::KeptBeforeRestore));
    EXPECT_EQ(listed.front().name, QStringLiteral("2026-12-15_081800"));
    EXPECT_TRUE(listed.front().beforeRestore);
}

TEST_F(UserBackupsTest, ACopyThatDoesNotFitOnTheDiskIsRemovedReportedAndNeverCounted)
{
    // More archive than the disk holds.
    archiveRows(40, 8000);
    QDir().mkpath(m_folder.backupFolder());
    SmallFileSystem disk(m_folder.backupFolder(), 128 * 1024);
    std::optional<InjectedShortWrite> shortWrites;
    if (!disk.mounted())
        shortWrites.emplace(); // without a disk of its own: every replaced file fails instead

    UserBackups backups(m_folder);
    try {
        backups.makeDailyIfDue(m_tree, Monday);
        FAIL() << "a copy that cannot be written counted as made";
    } catch (const BackupError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Nie można wykonać kopii zapasowej")))
            << e.message().toStdString();
        if (disk.mounted())
            EXPECT_TRUE(e.message().contains(QStringLiteral("miejsca"))) << e.message().toStdString();
    }
    EXPECT_TRUE(copyFolders().isEmpty()) << copyFolders().join(' ').toStdString();
    EXPECT_TRUE(backups.list().empty());
    EXPECT_TRUE(backups.dueOn(Monday.date()));
}

TEST_F(UserBackupsTest, ADamagedCopyIsListedAsDamagedAndARestoreOfItChangesNothing)
{
    UserBackups backups(m_folder);
    backups.makeDailyIfDue(m_tree, Monday);
    backups.makeDailyIfDue(m_tree, Monday.addDays(1));
    // One byte of the older copy's archive changed on the disk.
    const QString archiveCopy = m_folder.backupFolder() + QStringLiteral("2026-12-07/archive.mdb");
    QByteArray bytes = readAll(archiveCopy);
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x55);
    ASSERT_TRUE(writeAll(archiveCopy, bytes));
    // The newer one lost its list of files.
    QFile::remove(m_folder.backupFolder() + QStringLiteral("2026-12-08/") + UserBackups::ListFileName);

    const std::vector<BackupInfo> listed = backups.list();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].damaged);
    EXPECT_EQ(listed[0].problem, QStringLiteral("kopia niepełna (brak spisu plików)"));
    EXPECT_TRUE(listed[1].damaged);
    EXPECT_EQ(listed[1].problem, QStringLiteral("plik archive.mdb jest uszkodzony"));

    addChannels(1);
    const QByteArray treeBefore = ChannelTreeFileBytes(m_tree);
    ChannelTreeSaver saver(m_tree, m_folder.treeFile());
    bool released = false;
    const UserBackups::Targets targets{m_tree, saver, m_archive.get(), [&] { released = true; }};
    for (const BackupInfo &copy : listed)
        EXPECT_THROW(backups.restore(copy, targets, Monday.addDays(2)), BackupError);
    EXPECT_FALSE(released);
    EXPECT_EQ(ChannelTreeFileBytes(m_tree), treeBefore);
    EXPECT_EQ(m_archive->archiveTable().recordCount(), 3);
    EXPECT_EQ(copyFolders().size(), 2); // no state kept for a restore that never began
}

TEST_F(UserBackupsTest, ARestoreBringsBackTreeSettingsAndArchiveAndKeepsTheStateBefore)
{
    UserBackups backups(m_folder);
    backups.makeDailyIfDue(m_tree, Monday);
    const QByteArray settingsThen = readAll(m_folder.configFile());
    // What changed since.
    addChannels(3);
    archiveRows(2);
    ASSERT_TRUE(writeAll(m_folder.configFile(), "[config]\r\nseInterval=300\r\n"));
    ChannelTreeSaver saver(m_tree, m_folder.treeFile());
    saver.start();
    saver.writeNow();

    bool released = false;
    const UserBackups::Targets targets{m_tree, saver, m_archive.get(), [&] {
                                           released = true;
                                       }};
    const BackupInfo kept = backups.restore(backups.list().front(), targets, Monday.addDays(1));

    EXPECT_TRUE(released);
    EXPECT_EQ(m_tree.channelsInPreOrder().size(), 2);
    EXPECT_EQ(m_tree.channelsInPreOrder().at(1)->channel()->GUID,
              guid(3));
    EXPECT_EQ(readAll(m_folder.treeFile()), ChannelTreeFileBytes(m_tree));
    EXPECT_EQ(readAll(m_folder.configFile()), settingsThen);
    // The live connection reads the copy's rows.
    EXPECT_EQ(m_archive->archiveTable().recordCount(), 3);

    // The state before, kept whole as a copy of its own: restoring it undoes the restore.
    EXPECT_TRUE(kept.beforeRestore);
    EXPECT_FALSE(kept.damaged) << kept.problem.toStdString();
    EXPECT_EQ(kept.channels, 5);
    EXPECT_EQ(ArchiveStore::open(kept.path + "archive.mdb")->archiveTable().recordCount(), 5);
    backups.restore(kept, targets, Monday.addDays(1).addSecs(60));
    EXPECT_EQ(m_tree.channelsInPreOrder().size(), 5);
    EXPECT_EQ(m_archive->archiveTable().recordCount(), 5);
    EXPECT_TRUE(readAll(m_folder.configFile()).contains("seInterval=300"));
}

} // namespace
