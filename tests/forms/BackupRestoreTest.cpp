// The copies of the day seen from the window: made at the start, listed by "Przywróć kopię…"
// with their dates, channel counts and states, and restored into the running window.

#include "MainFrmFixture.h"

#include "app/BackupListModel.h"
#include "app/UserBackups.h"
#include "app/forms/RestoreBackupDialog.h"
#include "base/LiveSettings.h"
#include "base/SettingsFile.h"
#include "base/AppSettings.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeSaver.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>

using namespace mainfrm_test;

namespace {

class BackupRestoreTest : public MainFrmFixture
{
protected:
    // The dialog once it is open; the step runs inside its modal loop.
    template <typename Step> void whenDialogOpen(QObject *context, Step step)
    {
        WhenTrue(
            context,
            [] {
                auto *d = qobject_cast<TfmRestoreBackupFrm *>(QApplication::activeModalWidget());
                return d && d->isVisible();
            },
            [step](bool open) {
                auto *d = qobject_cast<TfmRestoreBackupFrm *>(QApplication::activeModalWidget());
                if (open)
                    step(d);
                else
                    ADD_FAILURE() << "the restore dialog did not open";
            });
    }
};

TEST_F(BackupRestoreTest, TheStartsCopyIsListedAndRestoredIntoTheRunningWindow)
{
    Windows &w = createAll();
    showWindow(*w.main);
    const UserFolder &folder = w.main->userFolder();
    const QString today =
        folder.backupFolder() + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd/"));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(today + UserBackups::ListFileName); }));
    ChannelTree *tree = w.main->channelTree();
    const int channelsThen = int(tree->channelsInPreOrder().size());
    const int intervalThen = w.main->liveSettings().values().interval;

    // An older copy that never got its list of files.
    ASSERT_TRUE(writeAll(folder.backupFolder() + "2026-01-05/tvChannels.xml", ""));
    // Changed since the start: a channel and the settings.
    ChannelNode *added = tree->addNode(tree->root(), QStringLiteral("Dodany po kopii"),
                                       NodeKind::Channel);
    added->channel()->GUID = QStringLiteral("{0B7C3D2E-1111-4A5B-9C8D-0000000000AA}");
    ASSERT_TRUE(w.main->treeSaver()->flush());
    ASSERT_TRUE(treeFileText(folder.treeFile()).contains(QStringLiteral("Dodany po kopii")));
    SettingsFile(folder.configFile()).writeInt(SettingsKeys::ConfigSection, SettingsKeys::Interval,
                                               intervalThen + 100);
    AppSettings changed = w.main->liveSettings().values();
    changed.interval = intervalThen + 100;
    w.main->liveSettings().set(changed);

    auto *restore = child<QAction>(w.main, "acRestoreBackup");
    ASSERT_TRUE(restore);
    ASSERT_TRUE(restore->isEnabled());
    EXPECT_TRUE(child<QMenu>(w.main, "mnPlik")->actions().contains(restore));

    int rows = 0;
    QString channelsText, damagedState;
    bool damagedChoosable = true, soundChoosable = false;
    whenDialogOpen(w.main.get(), [&](TfmRestoreBackupFrm *d) {
        QAbstractItemModel *m = d->lvBackups->model();
        rows = m->rowCount();
        if (rows != 2) {
            d->reject();
            return;
        }
        channelsText = m->index(0, BackupListModel::ChannelsColumn).data().toString();
        damagedState = m->index(1, BackupListModel::StateColumn).data().toString();
        // The newest sound copy is chosen at the start; the damaged one cannot be.
        soundChoosable = d->btRestore->isEnabled();
        d->lvBackups->setCurrentIndex(m->index(1, 0));
        d->lvBackups->selectionModel()->select(m->index(1, 0), QItemSelectionModel::ClearAndSelect |
                                                                   QItemSelectionModel::Rows);
        damagedChoosable =
            d->lvBackups->selectionModel()->isRowSelected(1) ||
            (d->lvBackups->currentIndex().row() == 1 && d->btRestore->isEnabled());
        d->lvBackups->setCurrentIndex(m->index(0, 0));
        d->btRestore->click();
    });
    m_boxes.answers = {true};
    restore->trigger();

    ASSERT_EQ(rows, 2);
    EXPECT_EQ(channelsText, QString::number(channelsThen));
    EXPECT_EQ(damagedState, QStringLiteral("uszkodzona: kopia niepełna (brak spisu plików)"));
    EXPECT_TRUE(soundChoosable);
    EXPECT_FALSE(damagedChoosable);
    ASSERT_FALSE(m_boxes.shown.isEmpty());
    EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("question"));
    EXPECT_EQ(m_boxes.shown.last().kind, QStringLiteral("information"))
        << m_boxes.shown.last().text.toStdString();

    // The window runs on the copy's tree and settings, and the files hold them.
    EXPECT_EQ(int(tree->channelsInPreOrder().size()), channelsThen);
    EXPECT_FALSE(treeFileText(folder.treeFile()).contains(QStringLiteral("Dodany po kopii")));
    EXPECT_EQ(w.main->liveSettings().values().interval, intervalThen);
    EXPECT_EQ(w.config->seInterval->value(), intervalThen);
    // The state before is one more copy, with the added channel.
    const std::vector<BackupInfo> copies = UserBackups(folder).list();
    ASSERT_FALSE(copies.empty());
    EXPECT_TRUE(copies.front().beforeRestore);
    EXPECT_EQ(copies.front().channels, channelsThen + 1);
}

TEST_F(BackupRestoreTest, DecliningTheQuestionChangesNothing)
{
    Windows &w = createAll();
    showWindow(*w.main);
    const UserFolder &folder = w.main->userFolder();
    ASSERT_TRUE(WaitUntil([&] { return !UserBackups(folder).list().empty(); }));
    ChannelTree *tree = w.main->channelTree();
    tree->addNode(tree->root(), QStringLiteral("Zostaje"), NodeKind::Group);

    whenDialogOpen(w.main.get(), [](TfmRestoreBackupFrm *d) { d->btRestore->click(); });
    m_boxes.answers = {false};
    child<QAction>(w.main, "acRestoreBackup")->trigger();

    ASSERT_FALSE(m_boxes.shown.isEmpty());
    EXPECT_TRUE(m_boxes.shown.last().text.startsWith(QStringLiteral("Czy przywrócić kopię")));
    EXPECT_EQ(tree->nodeAt(tree->count() - 1)->text(), QStringLiteral("Zostaje"));
    EXPECT_EQ(UserBackups(folder).list().size(), 1u);
}

} // namespace
