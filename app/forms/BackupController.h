#pragma once

#include <QObject>

#include <functional>

class ArchiveStore;
class ChannelTree;
class ChannelTreeSaver;
class ChannelUpdater;
class IMessageBoxes;
class QAction;
class QWidget;
class SyncRun;
class TfmRestoreBackupFrm;
class UserBackups;

// "Przywróć kopię…" on screen: lists the copies, asks, keeps the current state as one more
// copy and restores the chosen one into the running window. Refused while a run or an
// update works on the tree.
class BackupController : public QObject
{
    Q_OBJECT
public:
    // What the window does around a restore.
    struct Outside
    {
        // Before the tree goes: the rows, the item on show and the channel's document let go.
        std::function<void()> releaseShown;
        // After a restore, whole or partial: the settings, the lists and the counts follow.
        std::function<void()> restored;
        // The open archive; null while none is open.
        std::function<ArchiveStore *()> archive;
    };
    BackupController(QWidget *window, UserBackups &backups, ChannelTree &tree,
                     ChannelTreeSaver &treeSaver, SyncRun &syncRun, ChannelUpdater &updater,
                     IMessageBoxes &boxes, Outside outside, QObject *parent = nullptr);

    QAction *acRestoreBackup() const { return m_acRestoreBackup; }
    TfmRestoreBackupFrm *dialog() const { return m_dialog; }

public slots:
    void acRestoreBackupExecute();
    void acRestoreBackupUpdate();

signals:
    // A restore changed what the window shows.
    void restored();

private:
    QWidget *m_window;
    UserBackups &m_backups;
    ChannelTree &m_tree;
    ChannelTreeSaver &m_treeSaver;
    SyncRun &m_syncRun;
    ChannelUpdater &m_updater;
    IMessageBoxes &m_boxes;
    Outside m_outside;
    QAction *m_acRestoreBackup = nullptr;
    TfmRestoreBackupFrm *m_dialog = nullptr;
    bool m_restoring = false;
};
