#pragma once

#include "app/UserBackups.h"
#include "kit/ProgramDialog.h"

#include <vector>

class BackupListModel;
class QLabel;
class QPushButton;
class QTreeView;

// "Przywróć kopię…": the copies with their dates, channel counts and states; a sound one is
// chosen with "&Przywróć" (or Enter, or a double click). Damaged copies are shown greyed and
// cannot be chosen.
class TfmRestoreBackupFrm : public ProgramDialog
{
    Q_OBJECT
public:
    explicit TfmRestoreBackupFrm(QWidget *parent = nullptr);

    // The list, newest first; the newest sound copy is selected.
    void setCopies(std::vector<BackupInfo> copies);
    // The copy chosen once the dialog was accepted; null before.
    const BackupInfo *chosen() const;

    QTreeView *lvBackups = nullptr;
    QLabel *lbInfo = nullptr;
    QPushButton *btRestore = nullptr;
    QPushButton *btCancel = nullptr;

public slots:
    void btRestoreClick();

protected:
    void enterPressed() override { btRestoreClick(); }

private:
    void lvBackupsChange();
    const BackupInfo *selected() const;

    BackupListModel *m_model = nullptr;
    int m_chosen = -1;
};
