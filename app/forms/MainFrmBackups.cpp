// The restore of a copy wired into the window: what lets go before the tree is replaced and
// what follows once the copy's tree, settings and archive are in place.

#include "app/forms/MainFrmUnit.h"

#include "app/Session.h"
#include "app/forms/BackupController.h"
#include "app/forms/ConfigUnit.h"
#include "archive/forms/ArchiveController.h"
#include "catalogue/forms/TreeEditingController.h"
#include "catalogue/ChannelTree.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderListController.h"
#include "reading/forms/ItemViewController.h"
#include "xml/XmlDocument.h"

#include <QAction>
#include <QMenu>
#include <QTreeView>

void TfmMainFrm::connectBackups()
{
    BackupController::Outside outside;
    outside.archive = [this] { return m_session->archiveOpen() ? &m_session->archive() : nullptr; };
    outside.releaseShown = [this] {
        m_itemView->showBlank();
        ShownChannel &shown = m_session->shownChannel();
        shown.writeBack();
        shown.closeFile(shown.document().fileName());
        m_session->rowsOnShow().clear();
    };
    outside.restored = [this] {
        readStartSettings();
        if (m_windows.config)
            m_windows.config->FormCreate();
        ChannelTree &tree = m_session->channelTree();
        m_session->unreadCounts().startReadingAll(
            tree, [this](const QString &guid) { return m_folder.cacheFile(guid); });
        m_archive->LoadArchiveChannels();
        tvChannels->expand(tree.indexOf(tree.root()));
        m_headerList->SelectFirstChannel();
        scheduleActionUpdate();
    };
    m_backups = new BackupController(this, m_session->backups(), m_session->channelTree(),
                                     m_session->treeSaver(), m_session->syncRun(),
                                     m_session->updater(), *m_messageBoxes, outside, this);
    // In the file menu, after the exchange of channels with other programs.
    const QList<QAction *> plik = mnPlik->actions();
    int after = plik.indexOf(m_treeEditing->acExportOpml());
    mnPlik->insertAction(plik.value(after + 1), m_backups->acRestoreBackup());
}
