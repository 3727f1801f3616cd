#include "app/forms/RestoreBackupDialog.h"

#include "app/BackupListModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

TfmRestoreBackupFrm::TfmRestoreBackupFrm(QWidget *parent) : ProgramDialog(parent)
{
    setObjectName(QStringLiteral("fmRestoreBackupFrm"));
    setWindowTitle(QStringLiteral("Przywróć kopię"));
    m_model = new BackupListModel(this);

    lbInfo = new QLabel(this);
    lbInfo->setObjectName(QStringLiteral("lbInfo"));
    lbInfo->setWordWrap(true);
    lvBackups = new QTreeView(this);
    lvBackups->setObjectName(QStringLiteral("lvBackups"));
    lvBackups->setModel(m_model);
    lvBackups->setRootIsDecorated(false);
    lvBackups->setUniformRowHeights(true);
    lvBackups->setAllColumnsShowFocus(true);
    lvBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    lvBackups->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvBackups->header()->setStretchLastSection(true);
    lvBackups->header()->setSectionsClickable(false);

    btRestore = new QPushButton(QStringLiteral("&Przywróć"), this);
    btRestore->setObjectName(QStringLiteral("btRestore"));
    btCancel = new QPushButton(QStringLiteral("&Anuluj"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    for (QPushButton *button : {btRestore, btCancel}) {
        button->setFlat(true);
        button->setAutoDefault(false);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btRestore);
    buttons->addWidget(btCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lbInfo);
    layout->addWidget(lvBackups, 1);
    layout->addLayout(buttons);

    connect(btRestore, &QPushButton::clicked, this, &TfmRestoreBackupFrm::btRestoreClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvBackups->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfmRestoreBackupFrm::lvBackupsChange);
    connect(lvBackups->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfmRestoreBackupFrm::lvBackupsChange);
    connect(lvBackups, &QTreeView::doubleClicked, this, &TfmRestoreBackupFrm::btRestoreClick);
    enableKeyPreview();
    fixSizeAtLeast(QSize(520, 300));
    setCopies({});
}

void TfmRestoreBackupFrm::setCopies(std::vector<BackupInfo> copies)
{
    m_chosen = -1;
    m_model->setCopies(std::move(copies));
    const std::vector<BackupInfo> &listed = m_model->copies();
    lbInfo->setText(
        listed.empty()
            ? QStringLiteral("Nie ma jeszcze żadnej kopii zapasowej. Kopia listy kanałów, "
                             "ustawień i archiwum powstaje raz dziennie, przy pierwszym "
                             "uruchomieniu lub synchronizacji.")
            : QStringLiteral("Wybierz kopię listy kanałów, ustawień i archiwum do przywrócenia. "
                             "Obecny stan zostanie najpierw zachowany jako osobna kopia."));
    for (int row = 0; row < int(listed.size()); ++row)
        if (!listed[size_t(row)].damaged) {
            lvBackups->setCurrentIndex(m_model->index(row, 0));
            break;
        }
    for (int column = 0; column < BackupListModel::StateColumn; ++column)
        lvBackups->resizeColumnToContents(column);
    lvBackupsChange();
}

const BackupInfo *TfmRestoreBackupFrm::selected() const
{
    // The row the keys and the mouse stand on, and only while it is chosen.
    const QModelIndex current = lvBackups->currentIndex();
    if (!current.isValid() || !lvBackups->selectionModel()->isRowSelected(current.row()))
        return nullptr;
    const BackupInfo *copy = m_model->copyAt(current.row());
    return copy && !copy->damaged ? copy : nullptr;
}

void TfmRestoreBackupFrm::lvBackupsChange()
{
    btRestore->setEnabled(selected() != nullptr);
}

void TfmRestoreBackupFrm::btRestoreClick()
{
    const BackupInfo *copy = selected();
    if (!copy)
        return;
    m_chosen = int(copy - m_model->copies().data());
    accept();
}

const BackupInfo *TfmRestoreBackupFrm::chosen() const
{
    return result() == QDialog::Accepted ? m_model->copyAt(m_chosen) : nullptr;
}
