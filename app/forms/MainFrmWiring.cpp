// The main window's parts wired together: the controllers, each handed its widgets and the
// session's pieces, and the connections between them. The frame is their switchboard.

// Who carries each handler of the main window (grep a handler's name to find its owner):
//
//   TfmMainFrm (MainFrm*)          FormCreate, FormShow, FormCloseQuery, Koniecpracy1Click,
//                                  ctTrayIconClick, ApplicationEvents1Message,
//                                  Konfiguracja1Click, Oprogramie1Click,
//                                  KolvaniwInternecie1Click, imLink1Click, imLink2Click,
//                                  FormResize, pnFillerResize, UpdateActions, HandleAppException
//   MainStatusBar                  the panels, the progress bar, the click (sbStatusClick)
//   SyncRun (sync)                 the run itself, tmUpdates, cancelRequested
//   SyncRunsController             acSyncAllExecute, acSyncSelectedExecute,
//     (sync/forms)                 acChannelsGetSelectedExecute, SyncChannel, SyncAllChannels,
//                                  tmUpdatesTimer, acSyncAllUpdate, acChannelsGetSelectedUpdate
//   ChannelUpdater (sync)          tmLongResponseTimer
//   TfmUpdateProgressFrm           sbStatusClick (shows it), btCancelClick, AddReportLine,
//     (sync/forms)                 ReportProblem
//   HeaderListController           ShowChannelHeaders, tvChannelsChange, lvHeadersColumnClick,
//     (reading/forms)              lvHeadersCompare (HeaderListModel's sort), btFilterClick,
//                                  edKeyWordKeyDown, SelectFirstChannel, pcLeftPanelChange
//                                  (the channel tab)
//   ItemLookController             the zoom (acZoomInExecute, acZoomOutExecute,
//     (reading/forms)              acZoomResetExecute) and the dark sheets
//   GatheredListController         acShowGroupItemsExecute, the search across all channels,
//     (reading/forms)              a group's items on selection (a setting)
//   ItemViewController             NavigateContent, wbContentBeforeNavigate2,
//     (reading/forms)              wbContentDocumentComplete, wbContentProgressChange,
//                                  wbContentStatusTextChange, spBackClick, spForwardClick,
//                                  acOpenInNewWindowExecute
//   TreeEditingController          acChannelsAddExecute, acChannelsGroupAddExecute,
//     (catalogue/forms)            acRemoveTreeItemExecute, acChannelsEditExecute,
//                                  acChannelsEditChanelExecute, acChannelsSendChannelExecute,
//                                  tvChannelsKeyDown, tvChannelsMouseDown, tvChannelsEdited,
//                                  Zmienazw1Click, sbChannelsAddClick, the OPML import and export, and the Update handlers
//   TfmNewChannelFrm (feed/forms)  the wizard's handlers; ShowNewChannelWizard opens it
//   ItemCommandsController         acMarkAsReadExecute, acMarkAsUnreadExecute,
//     (reading/forms)              tmMarkAsUnreadTimer (it owns and starts tmMarkAsUnread),
//                                  acSendAsMailExecute, acCopyLinkExecute, acOpenLinkExecute, acFindExecute, acSaveToFileExecute,
//                                  acPrintHeaderExecute, acCopyToClipBoardExecute,
//                                  acSelectAllExecute and their Update handlers
//   ReadingKeysController          acNextUnreadExecute, acPreviousUnreadExecute,
//     (reading/forms)              acMarkChannelReadExecute, Space, Enter and the double
//                                  click in the list, and their Update handler
//   ArchiveController              acAddToArchiveExecute, acArchiveDeleteExecute,
//     (archive/forms)              LoadArchiveChannels, ShowArchive, lvArchiveCategoriesChange,
//                                  sbShowAllArchiveClick, cbAllArchiveFilterClick,
//                                  pcLeftPanelChange (the archive tab), the Update handlers
//   AlertPlayback (alerts),        tmBalloonsTimer, FormClick, lbBackClick, lbNextClick;
//     TfmNotifyFrm (alerts/forms)  a clicked alert comes back to alertClicked here

#include "app/forms/MainFrmUnit.h"

#include "account/AccountSync.h"

#include "alerts/AlertQueue.h"
#include "base/AppFolder.h"
#include "app/AppLog.h"
#include "base/AppSettings.h"
#include "app/GuardedStep.h"
#include "app/Session.h"
#include "base/SettingsFile.h"
#include "base/UserDataLock.h"
#include "base/UserFolder.h"
#include "app/WindowPlacement.h"
#include "app/forms/AboutFrmUnit.h"
#include "base/LiveSettings.h"
#include "kit/ActionFacts.h"
#include "kit/CoalescedRepaint.h"
#include "app/forms/ConfigUnit.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "alerts/AlertPlayback.h"
#include "alerts/forms/NotifyFrm.h"
#include "archive/forms/ArchiveController.h"
#include "kit/WebBrowser.h"
#include "app/StartTrace.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeSaver.h"
#include "catalogue/forms/SelectedNode.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/forms/ChannelIcons.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "catalogue/forms/TreeEditingController.h"
#include "feed/DocumentDownloader.h"
#include "feed/TextOps.h"
#include "feed/forms/NewChanellUnit.h"
#include "reading/HeaderListModel.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/FindUnit.h"
#include "reading/forms/GatheredListController.h"
#include "reading/forms/HeaderListController.h"
#include "reading/forms/ItemCommandsController.h"
#include "reading/forms/TrayUnreadCount.h"
#include "reading/forms/UnreadCountDelegate.h"
#include "reading/forms/ItemViewController.h"
#include "reading/forms/ItemLookController.h"
#include "reading/forms/ReadingKeysController.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncRun.h"
#include "sync/UpdateFailures.h"
#include "sync/forms/SyncRunsController.h"
#include "sync/forms/UpdateProgressUnit.h"
#include "xml/XmlDocument.h"

#include <memory>
#include <utility>

#include <QWebEngineHistory>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <exception>

void TfmMainFrm::buildSession(const UserFolder &folder)
{
    m_session = std::make_unique<Session>(folder, *this);
    // A tree that cannot be written is said once, not at every change; the change waits
    // for the next write, at the latest the closing one.
    auto told = std::make_shared<bool>(false);
    ChannelTreeSaver *saver = &m_session->treeSaver();
    connect(saver, &ChannelTreeSaver::saved, this, [told] { *told = false; });
    connect(saver, &ChannelTreeSaver::saveFailed, this, [this, told](const QString &message) {
        if (std::exchange(*told, true))
            return;
        m_messageBoxes->error(this, QStringLiteral("Nie można zapisać listy kanałów: ") + message,
                              MessageCaptions::Error);
    });
    m_session->setDownloadUi(sbStatus);
    tvChannels->setModel(&m_session->channelTree());
    m_syncRuns = new SyncRunsController({acSyncAll, acSyncSelected, acChannelsGetSelected,
                                         tvChannels, lvHeaders, sbStatus, ctTrayIcon},
                                        m_session->channelTree(), m_session->updater(),
                                        m_session->downloader(), m_session->syncRun(),
                                        m_session->liveSettings(), *this, this);
    auto *treeDelegate = new UnreadCountDelegate(m_session->channelTree(),
                                                 m_session->unreadCounts(), m_images, tvChannels);
    treeDelegate->setFailures(&m_session->updater().failures());
    m_channelIcons = new ChannelIcons(
        folder, [live = &m_session->liveSettings()] { return live->proxy(); }, this);
    m_channelIcons->setFetching(m_options.fetchSiteIcons);
    treeDelegate->setChannelIcons(
        [icons = m_channelIcons](const QString &guid) { return icons->iconFor(guid); });
    connect(m_channelIcons, &ChannelIcons::changed, tvChannels->viewport(),
            [this] { tvChannels->viewport()->update(); });
    tvChannels->setItemDelegate(treeDelegate);
    new TrayUnreadCount(ctTrayIcon, ctTrayIcon->icon(), m_session->channelTree(),
                        m_session->unreadCounts(), this);
    connect(&m_session->updater().failures(), &UpdateFailures::changed,
            new CoalescedRepaint(tvChannels->viewport()), &CoalescedRepaint::request);
    m_headerList = new HeaderListController(
        {tvChannels, lvHeaders, edKeyWord, btFilter, cbAllArchiveFilter, pcLeftPanel, lbName,
         cbUnreadOnly},
        m_session->channelTree(), m_session->shownChannel(), m_session->rowsOnShow(),
        m_session->unreadCounts(), m_session->folder(), *this, m_images, this);
    m_itemCommands = new ItemCommandsController(
        {lvHeaders, wbContent, sbStatus, new TfmFindFrm(this), this},
        {acMarkAsRead, acMarkAsUnread, acCopyLink, acOpenLink, acSendAsMail, acSaveToFile,
         acPrintHeader, acOpenInNewWindow, acCopyToClipBoard, acSelectAll, acFind},
        m_session->rowsOnShow(), m_session->folder(), *m_messageBoxes, this);
    m_readingKeys = new ReadingKeysController(
        {this, tvChannels, lvHeaders, wbContent, sbStatus}, m_session->channelTree(),
        m_session->shownChannel(), m_session->rowsOnShow(), m_session->unreadCounts(),
        m_session->folder(), *this, this);
    m_itemView = new ItemViewController({wbContent, spBack, spForward, sbStatus, tvChannels,
                                         lvHeaders},
                                        m_session->channelTree(), m_session->rowsOnShow(), this);
    m_itemLook = new ItemLookController({this, wbContent}, m_session->itemLook(),
                                        folder.configFile(), this);
    m_archive = new ArchiveController(
        {this, sbShowAllArchive, lvArchiveCategories, cbAllArchiveFilter, edKeyWord, lvHeaders,
         acAddToArchive, acArchiveDelete, sbAddToArchive, sbArchiveDelete},
        m_session->channelTree(), m_session->rowsOnShow(), *sbStatus, *m_messageBoxes, this);
    m_gatheredList = new GatheredListController(
        {tvChannels, lvHeaders, sbStatus, this}, m_session->channelTree(),
        m_session->shownChannel(), m_session->rowsOnShow(), m_session->gatheredItems(),
        m_session->folder(), *this,
        [this] {
            RowQuery query;
            query.keyword = m_headerList->keyword();
            query.unreadOnly = m_headerList->unreadOnly();
            return query;
        },
        this);
    m_notify = new TfmNotifyFrm(m_session->alertPlayback());
    const QString opml = QStringLiteral("Pliki OPML (*.opml *.xml);;Wszystkie pliki (*)");
    TreeEditingController::Outside outside;
    outside.showWizard = [this] { ShowNewChannelWizard(); };
    outside.syncAllRunning = [this] { return syncAllRunning(); };
    outside.channelUpdateBusy = [this] { return channelUpdateBusy(); };
    outside.editChannel = [this](ChannelNode *node) {
        return m_windows.editChannel && m_windows.editChannel->editChannel(*channelTree(), node);
    };
    outside.openOpmlFile = [this, opml] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Importuj kanały z pliku OPML"),
                                            QString(), opml);
    };
    outside.saveOpmlFile = [this, opml] {
        // A name typed without an extension gets ".opml", as other readers expect to find it.
        QFileDialog dialog(this, QStringLiteral("Eksportuj kanały do pliku OPML"), QString(), opml);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("opml"));
        dialog.selectFile(QStringLiteral("kanaly.opml"));
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    outside.saveTree = [this] { m_session->treeSaver().commit(); };
    outside.showStatus = [this](const QString &text) { sbStatus->setPanelText(0, text); };
    outside.groupRefusal = [this](const ChannelNode *node) {
        return m_session->account().groupChangeRefusal(node);
    };
    m_treeEditing = new TreeEditingController(
        {this, tvChannels, mnChannelsAdd, acChannelsAdd, acRemoveTreeItem, acChannelsEdit, acChannelsEditChanel,
         acChannelsSendChannel},
        m_session->channelTree(), m_session->folder(), *m_messageBoxes, outside, this);
    createConnections();
}

void TfmMainFrm::createConnections()
{
    // the action facts
    ChannelTree *tree = &m_session->channelTree();
    for (QItemSelectionModel *selection :
         {tvChannels->selectionModel(), lvHeaders->selectionModel()})
        connect(selection, &QItemSelectionModel::selectionChanged, this,
                &TfmMainFrm::scheduleActionUpdate);
    for (QAbstractItemModel *model : {static_cast<QAbstractItemModel *>(tree),
                                      static_cast<QAbstractItemModel *>(&headerRows())}) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &TfmMainFrm::scheduleActionUpdate);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &TfmMainFrm::scheduleActionUpdate);
        connect(model, &QAbstractItemModel::modelReset, this, &TfmMainFrm::scheduleActionUpdate);
    }
    // At once: a click queued behind the update's start must find the action disabled.
    ChannelUpdater *updater = &m_session->updater();
    connect(updater, &ChannelUpdater::busyChanged, this, &TfmMainFrm::UpdateActions);
    connect(m_syncRuns, &SyncRunsController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
    connect(&m_session->syncRun(), &SyncRun::runningChanged, this, &TfmMainFrm::UpdateActions);
    // leaving once the update in progress has returned
    connect(updater, &ChannelUpdater::busyChanged, this, [this](bool busy) {
        if (!busy && m_quitPending)
            QTimer::singleShot(0, this, &TfmMainFrm::quitWhenIdle);
    });

    // the channel on show
    ShownChannel &shown = m_session->shownChannel();
    connect(&shown, &ShownChannel::replacing, lvHeaders,
            [this](bool replacing) { lvHeaders->setEnabled(!replacing); });
    connect(&shown, &ShownChannel::reloaded, m_itemView, &ItemViewController::Refresh);
    connect(wbContent, &WebBrowser::DocumentComplete, this, [] { StartMark("page loaded"); });
    connect(&shown, &ShownChannel::cacheFileReplaced, &m_session->unreadCounts(),
            [this](const QString &file) {
                m_session->unreadCounts().recount(QFileInfo(file).completeBaseName(), file);
            });

    // the header list
    connect(tvChannels->selectionModel(), &QItemSelectionModel::currentChanged, m_headerList,
            &HeaderListController::tvChannelsChange);
    connect(lvHeaders->header(), &QHeaderView::sectionClicked, m_headerList,
            &HeaderListController::lvHeadersColumnClick);
    connect(btFilter, &QPushButton::clicked, m_headerList, &HeaderListController::btFilterClick);
    connect(pcLeftPanel, &QTabWidget::currentChanged, m_headerList,
            &HeaderListController::pcLeftPanelChange);
    connect(m_headerList, &HeaderListController::syncRequested, m_syncRuns,
            &SyncRunsController::SyncChannel);
    connect(m_syncRuns, &SyncRunsController::channelSynced, m_headerList,
            &HeaderListController::channelUpdated);
    connect(m_syncRuns, &SyncRunsController::channelUpdated, m_headerList,
            &HeaderListController::channelUpdated);
    // A channel's site icon comes with its update.
    for (const auto signal : {&SyncRunsController::channelSynced, &SyncRunsController::channelUpdated})
        connect(m_syncRuns, signal, m_channelIcons, &ChannelIcons::channelUpdated);
    connect(m_syncRuns, &SyncRunsController::tvChannelsChangeRequested, m_headerList,
            &HeaderListController::tvChannelsChange);
    connect(m_headerList, &HeaderListController::navigateRequested, m_itemView,
            &ItemViewController::NavigateContent);
    connect(m_headerList, &HeaderListController::stateChanged, this,
            &TfmMainFrm::scheduleActionUpdate);

    // updating channels
    connect(acSyncAll, &QAction::triggered, m_syncRuns, &SyncRunsController::acSyncAllExecute);
    connect(acSyncSelected, &QAction::triggered, m_syncRuns,
            &SyncRunsController::acSyncSelectedExecute);
    connect(acChannelsGetSelected, &QAction::triggered, m_syncRuns,
            &SyncRunsController::acChannelsGetSelectedExecute);
    connect(tmUpdates(), &QTimer::timeout, m_syncRuns, &SyncRunsController::tmUpdatesTimer);
    connect(sbStatus, &MainStatusBar::clicked, this, &TfmMainFrm::sbStatusClick);
    connect(sbStatus, &MainStatusBar::noticeChanged, this, &TfmMainFrm::statusNoticeChanged);

    // the item view
    LiveSettings *live = &m_session->liveSettings();
    const auto followRemoteContent = [this, live] {
        wbContent->setRemoteContentAllowed(live->values().remoteContent);
    };
    connect(live, &LiveSettings::changed, wbContent, followRemoteContent);
    followRemoteContent();
    connect(acOpenInNewWindow, &QAction::triggered, m_itemView,
            &ItemViewController::acOpenInNewWindowExecute);
    connect(m_itemView, &ItemViewController::openLinkRequested, acOpenLink, &QAction::trigger);
    connect(m_itemView, &ItemViewController::linkNotOpened, this,
            [this](const QString &address) { ReportUnopenedLink(*m_messageBoxes, this, address); });
    connect(m_itemView, &ItemViewController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
    // "Dalej" leads somewhere only when the browser has a page to go forward to; the item
    // view enables it for web pages as a navigation begins, the finished page settles it.
    connect(wbContent, &WebBrowser::DocumentComplete, this, [this] {
        if (!wbContent->history()->canGoForward())
            spForward->setEnabled(false);
    });
    connect(m_itemView, &ItemViewController::firstChannelRequested, m_headerList,
            &HeaderListController::SelectFirstChannel);
    connect(m_itemView, &ItemViewController::delayedMarkDue, m_itemCommands,
            &ItemCommandsController::startDelayedMark);
    connect(m_itemView, &ItemViewController::channelRefillRequested, m_headerList,
            [this](ChannelNode *node) { m_headerList->ShowChannelHeaders(node, node->text(), false); });
    connect(m_itemLook, &ItemLookController::darkChanged, m_itemView, &ItemViewController::showAgain);
    auto *mnWidok = new QMenu(QStringLiteral("&Widok"), this);
    mnWidok->setObjectName(QStringLiteral("mnWidok"));
    mnWidok->addActions({m_itemLook->acZoomIn(), m_itemLook->acZoomOut(), m_itemLook->acZoomReset()});
    menuBar()->insertMenu(mnPomoc->menuAction(), mnWidok);

    // tree editing
    connect(acChannelsAdd, &QAction::triggered, m_treeEditing, &TreeEditingController::acChannelsAddExecute);
    connect(acChannelsGroupAdd, &QAction::triggered, m_treeEditing,
            &TreeEditingController::acChannelsGroupAddExecute);
    connect(acRemoveTreeItem, &QAction::triggered, m_treeEditing,
            &TreeEditingController::acRemoveTreeItemExecute);
    connect(acChannelsEdit, &QAction::triggered, m_treeEditing, &TreeEditingController::acChannelsEditExecute);
    connect(acChannelsEditChanel, &QAction::triggered, m_treeEditing,
            &TreeEditingController::acChannelsEditChanelExecute);
    connect(acChannelsSendChannel, &QAction::triggered, m_treeEditing,
            &TreeEditingController::acChannelsSendChannelExecute);
    connect(Zmienazw1, &QAction::triggered, m_treeEditing, &TreeEditingController::Zmienazw1Click);
    connect(sbChannelsAdd, &QToolButton::clicked, m_treeEditing,
            &TreeEditingController::sbChannelsAddClick);
    connect(m_treeEditing, &TreeEditingController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
    connect(m_treeEditing, &TreeEditingController::tvChannelsChangeRequested, m_headerList,
            &HeaderListController::tvChannelsChange);
    // Its rows go before the document lets go of the file.
    connect(m_treeEditing, &TreeEditingController::releaseCacheFile, &shown,
            &ShownChannel::closeFile);
    // After a deletion the list and the item view start again from the node now selected.
    connect(m_treeEditing, &TreeEditingController::nodeRemoved, m_itemView, [this] {
        m_itemView->showBlank();
        if (!SelectedNode(tvChannels, *channelTree()))
            m_headerList->SelectFirstChannel();
        else
            m_headerList->tvChannelsChange();
        lvHeaders->setFocus();
    });
    const QList<QAction *> plik = mnPlik->actions();
    mnPlik->insertActions(plik.value(plik.indexOf(acChannelsGroupAdd) + 1),
                          {m_treeEditing->acImportOpml(), m_treeEditing->acExportOpml()});

    connectItemCommands();
    connectReadingKeys();
    connectArchive();
    connectAlerts();
    connectBackups();
    connectGatheredList();
}

void TfmMainFrm::connectGatheredList()
{
    GatheredListController *g = m_gatheredList;
    mnChannels->insertAction(acSyncAll, g->acShowGroupItems());
    mnChannels->insertSeparator(acSyncAll);
    mnNarzedzia->insertActions(mnNaglowek->menuAction(),
                               {g->acShowGroupItems(), g->acFindInChannels()});
    mnNarzedzia->insertSeparator(mnNaglowek->menuAction());
    const auto followSetting = [this, g] {
        g->setGroupSelectionShows(m_session->liveSettings().values().groupShowsItems);
    };
    connect(&m_session->liveSettings(), &LiveSettings::changed, g, followSetting);
    followSetting();
    connect(tvChannels->selectionModel(), &QItemSelectionModel::currentChanged, g,
            &GatheredListController::tvChannelsChange);
    connect(g, &GatheredListController::findRequested, m_itemCommands,
            &ItemCommandsController::acFindInChannelsExecute);
    connect(m_itemCommands, &ItemCommandsController::channelsFindRequested, g,
            &GatheredListController::findInChannels);
    connect(m_headerList, &HeaderListController::gatheredRefillRequested, g,
            &GatheredListController::refill);
    connect(&m_session->shownChannel(), &ShownChannel::cacheFileReplaced, g,
            &GatheredListController::cacheFileReplaced);
    connect(m_readingKeys, &ReadingKeysController::cacheFileRewritten, g,
            &GatheredListController::cacheFileReplaced);
    connect(g, &GatheredListController::shownItemGone, m_itemView, &ItemViewController::showBlank);
    connect(g, &GatheredListController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
}

void TfmMainFrm::connectItemCommands()
{
    ItemCommandsController *c = m_itemCommands;
    const std::pair<QAction *, void (ItemCommandsController::*)()> commands[] = {
        {acMarkAsRead, &ItemCommandsController::acMarkAsReadExecute},
        {acMarkAsUnread, &ItemCommandsController::acMarkAsUnreadExecute},
        {acCopyLink, &ItemCommandsController::acCopyLinkExecute},
        {acOpenLink, &ItemCommandsController::acOpenLinkExecute},
        {acSendAsMail, &ItemCommandsController::acSendAsMailExecute},
        {acSaveToFile, &ItemCommandsController::acSaveToFileExecute},
        {acPrintHeader, &ItemCommandsController::acPrintHeaderExecute},
        {acCopyToClipBoard, &ItemCommandsController::acCopyToClipBoardExecute},
        {acSelectAll, &ItemCommandsController::acSelectAllExecute},
        {acFind, &ItemCommandsController::acFindExecute},
    };
    for (const auto &[action, slot] : commands)
        connect(action, &QAction::triggered, c, slot);
    connect(c, &ItemCommandsController::marksChanged, this, &TfmMainFrm::scheduleActionUpdate);
}

void TfmMainFrm::connectReadingKeys()
{
    ReadingKeysController *k = m_readingKeys;
    QMenu *reading = new QMenu(QStringLiteral("&Czytanie"), this);
    reading->setObjectName(QStringLiteral("mnCzytanie"));
    reading->addActions({k->acNextUnread(), k->acPreviousUnread()});
    reading->addSeparator();
    reading->addAction(k->acMarkChannelRead());
    menuBar()->insertMenu(mnPomoc->menuAction(), reading);
    const QList<QAction *> tree = mnChannels->actions();
    mnChannels->insertActions(tree.value(tree.indexOf(acSyncAll) + 1), {k->acMarkChannelRead()});
    connect(k, &ReadingKeysController::openLinkRequested, m_itemCommands,
            &ItemCommandsController::acOpenLinkExecute);
    connect(k, &ReadingKeysController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
}

void TfmMainFrm::connectArchive()
{
    ArchiveController *a = m_archive;
    connect(m_itemCommands, &ItemCommandsController::archiveFindRequested, a,
            &ArchiveController::findInArchive);
    connect(m_headerList, &HeaderListController::archiveRefillRequested, a,
            &ArchiveController::applyFilter);
    connect(acAddToArchive, &QAction::triggered, a, &ArchiveController::acAddToArchiveExecute);
    connect(acArchiveDelete, &QAction::triggered, a, &ArchiveController::acArchiveDeleteExecute);
    connect(sbShowAllArchive, &QToolButton::clicked, a, &ArchiveController::sbShowAllArchiveClick);
    connect(cbAllArchiveFilter, &QCheckBox::clicked, a,
            &ArchiveController::cbAllArchiveFilterClick);
    // The channel tab is the header list's; the archive tab is the archive's.
    connect(pcLeftPanel, &QTabWidget::currentChanged, a, [this](int index) {
        if (pcLeftPanel->widget(index) == tsArchive)
            m_archive->pcLeftPanelChange();
    });
    connect(a, &ArchiveController::stateChanged, this, &TfmMainFrm::scheduleActionUpdate);
    // A deleted item does not stay on show.
    connect(a, &ArchiveController::shownItemDeleted, m_itemView, &ItemViewController::showBlank);
}

void TfmMainFrm::connectAlerts()
{
    connect(m_syncRuns, &SyncRunsController::firstAlertDue, m_notify,
            [this] { m_session->alertPlayback().endRun(true); });
    connect(m_notify, &TfmNotifyFrm::alertClicked, this, &TfmMainFrm::alertClicked);
}

void TfmMainFrm::alertClicked(int channelRow, const QString &itemTitle)
{
    ctTrayIconClick();
    GuardedStep(lcApp, "showing the alert's item",
                [&] { m_headerList->showAlertItem(channelRow, itemTitle); });
}

QTimer *TfmMainFrm::tmMarkAsUnread() const
{
    return m_itemCommands ? m_itemCommands->tmMarkAsUnread() : nullptr;
}

bool TfmMainFrm::channelUpdateBusy() const
{
    return m_session && m_session->updater().channelUpdateBusy();
}

bool TfmMainFrm::syncAllRunning() const
{
    return m_session && m_session->syncRun().syncAllRunning();
}

bool TfmMainFrm::cancelRequested() const
{
    return m_session && m_session->syncRun().cancelRequested();
}

LiveSettings &TfmMainFrm::liveSettings() const
{
    return m_session->liveSettings();
}

AccountSync &TfmMainFrm::account() const
{
    return m_session->account();
}

QTimer *TfmMainFrm::tmUpdates() const
{
    return m_session ? &m_session->syncRun().tmUpdates() : nullptr;
}

ChannelTree *TfmMainFrm::channelTree() const
{
    return m_session ? &m_session->channelTree() : nullptr;
}

ChannelTreeSaver *TfmMainFrm::treeSaver() const
{
    return m_session ? &m_session->treeSaver() : nullptr;
}

HeaderListModel &TfmMainFrm::headerRows() const
{
    return m_session->headerRows();
}

XmlDocument &TfmMainFrm::xmlDocument() const
{
    return m_session->shownChannel().document();
}

AlertQueue &TfmMainFrm::alertQueue() const
{
    return m_session->alertQueue();
}
