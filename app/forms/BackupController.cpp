#include "app/forms/BackupController.h"

#include "app/BackupListModel.h"
#include "app/UserBackups.h"
#include "app/forms/RestoreBackupDialog.h"
#include "kit/MessageBoxes.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncRun.h"

#include <QAction>
#include <QWidget>

#include <utility>

BackupController::BackupController(QWidget *window, UserBackups &backups, ChannelTree &tree,
                                   ChannelTreeSaver &treeSaver, SyncRun &syncRun,
                                   ChannelUpdater &updater, IMessageBoxes &boxes,
                                   Outside outside, QObject *parent)
    : QObject(parent), m_window(window), m_backups(backups), m_tree(tree),
      m_treeSaver(treeSaver), m_syncRun(syncRun), m_updater(updater), m_boxes(boxes),
      m_outside(std::move(outside))
{
    m_acRestoreBackup = new QAction(QStringLiteral("Przywróć kopię…"), this);
    m_acRestoreBackup->setObjectName(QStringLiteral("acRestoreBackup"));
    m_acRestoreBackup->setStatusTip(
        QStringLiteral("Przywróć listę kanałów, ustawienia i archiwum z kopii zapasowej"));
    m_dialog = new TfmRestoreBackupFrm(window);
    connect(m_acRestoreBackup, &QAction::triggered, this, &BackupController::acRestoreBackupExecute);
    connect(&m_syncRun, &SyncRun::runningChanged, this, &BackupController::acRestoreBackupUpdate);
    connect(&m_updater, &ChannelUpdater::busyChanged, this,
            &BackupController::acRestoreBackupUpdate);
    acRestoreBackupUpdate();
}

void BackupController::acRestoreBackupUpdate()
{
    // A run or an update holds nodes of the tree and files of the archive's neighbours.
    m_acRestoreBackup->setEnabled(!m_restoring && !m_syncRun.syncAllRunning() &&
                                  !m_updater.channelUpdateBusy());
}

void BackupController::acRestoreBackupExecute()
{
    acRestoreBackupUpdate();
    if (!m_acRestoreBackup->isEnabled())
        return;
    m_dialog->setCopies(m_backups.list());
    if (m_dialog->exec() != QDialog::Accepted || !m_dialog->chosen())
        return;
    const BackupInfo copy = *m_dialog->chosen();
    const QString date = BackupListModel::dateText(copy);
    if (!m_boxes.question(m_window,
                          QStringLiteral("Czy przywrócić kopię z %1 (kanałów: %2)? Lista kanałów, "
                                         "ustawienia i archiwum wrócą do stanu z tej kopii. "
                                         "Obecny stan zostanie najpierw zachowany jako osobna "
                                         "kopia.")
                              .arg(date)
                              .arg(copy.channels),
                          MessageCaptions::Question))
        return;
    // A run started while the question was open waits for another time.
    if (m_syncRun.syncAllRunning() || m_updater.channelUpdateBusy())
        return;

    m_restoring = true;
    acRestoreBackupUpdate();
    // The tree is let go only once the archive is restored; from then on the window follows.
    bool changed = false;
    UserBackups::Targets targets{m_tree, m_treeSaver,
                                 m_outside.archive ? m_outside.archive() : nullptr, [&] {
                                     changed = true;
                                     if (m_outside.releaseShown)
                                         m_outside.releaseShown();
                                 }};
    QString failure;
    BackupInfo kept;
    try {
        kept = m_backups.restore(copy, targets);
    } catch (const BackupError &e) {
        failure = e.message();
    }
    m_restoring = false;
    acRestoreBackupUpdate();
    // Whatever was replaced takes effect, also after a failure part way.
    if (changed) {
        if (m_outside.restored)
            m_outside.restored();
        emit restored();
    }
    if (!failure.isEmpty()) {
        m_boxes.error(m_window, failure, MessageCaptions::Error);
        return;
    }
    m_boxes.information(m_window,
                        QStringLiteral("Przywrócono kopię z %1. Stan sprzed przywracania "
                                       "zachowano jako kopię z %2.")
                            .arg(date, BackupListModel::dateText(kept)),
                        MessageCaptions::Information);
}
