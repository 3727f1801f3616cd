// The main window's life: creation, first show, closing, the tray and the shared state.

#include "app/forms/MainFrmUnit.h"

#include "alerts/AlertQueue.h"
#include "base/AppFolder.h"
#include "app/AppLog.h"
#include "base/AppSettings.h"
#include "app/GuardedStep.h"
#include "base/LiveSettings.h"
#include "app/Session.h"
#include "app/StartTrace.h"
#include "base/SettingsFile.h"
#include "base/UserDataLock.h"
#include "base/UserFolder.h"
#include "base/UserFolderTidy.h"
#include "base/SettingsFile.h"
#include "base/UserDataLock.h"
#include "base/UserFolder.h"
#include "app/WindowPlacement.h"
#include "feed/ProviderList.h"
#include "app/forms/AboutFrmUnit.h"
#include "app/forms/BackupController.h"
#include "kit/ActionFacts.h"
#include "app/forms/ConfigUnit.h"
#include "app/forms/KolvaniApplication.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "kit/UiLook.h"
#include "alerts/forms/NotifyFrm.h"
#include "archive/OldArchive.h"
#include "archive/forms/ArchiveController.h"
#include "archive/forms/OldArchiveOffer.h"
#include "kit/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "catalogue/forms/TreeEditingController.h"
#include "feed/DocumentDownloader.h"
#include "feed/TextOps.h"
#include "feed/forms/NewChanellUnit.h"
#include "reading/HeaderListModel.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderListController.h"
#include "reading/forms/UnreadCountDelegate.h"
#include "reading/forms/ItemCommandsController.h"
#include "reading/forms/ItemViewController.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncRun.h"
#include "sync/forms/SyncRunsController.h"
#include "sync/forms/UpdateProgressUnit.h"
#include "xml/XmlDocument.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QQuickWidget>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>
#include <QWindow>

#include <exception>
#include <utility>

const QString TfmMainFrm::HomePageUrl = QStringLiteral("https://kolvani.pl/");
const QString TfmMainFrm::HelpPageUrl = QStringLiteral("https://kolvani.pl/pomoc/");

namespace {

QString exceptionText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

// The embedded browser draws through a GPU surface of the whole window. A window gets one
// when it is created with a child of that kind; a child that appears only once the window is
// on screen (the browser's, at its first page) makes Qt replace the native window, and the
// window manager then forgets the state it was mapped with: a maximised window comes back
// normal, a minimised one opens and takes the focus. A hidden child of that kind, there
// before the native window is first created, gives the window that surface from the start.
void prepareBrowserSurface(QWidget *window)
{
    const QString name = QStringLiteral("browserSurface");
    if (window->findChild<QQuickWidget *>(name, Qt::FindDirectChildrenOnly))
        return;
    auto *surface = new QQuickWidget(window);
    surface->setObjectName(name);
    surface->setAttribute(Qt::WA_TransparentForMouseEvents);
    surface->hide();
}

// The native window forgets its state when it is replaced and at every change of its
// geometry, while the widget keeps it: this hands the widget's state on again.
void restoreNativeState(QWidget *window)
{
    if (QWindow *handle = window->windowHandle())
        handle->setWindowStates(window->windowState() & ~Qt::WindowActive);
}

} // namespace

TfmMainFrm::TfmMainFrm(const MainFrmOptions &options, QWidget *parent)
    : QMainWindow(parent), m_options(options)
{
    m_messageBoxes = options.messageBoxes ? options.messageBoxes : &MessageBoxes::standard();
    if (!m_options.executableDir.isEmpty() && !m_options.executableDir.endsWith(QLatin1Char('/')))
        m_options.executableDir += QLatin1Char('/');

    buildImageList();
    buildLayout();
    StartMark("layout built");
    prepareBrowserSurface(this);
    buildActions();
    buildMenus();
    buildTray();
    StartMark("actions, menus and tray built");

    // The actions are recomputed once after each event that changed one of their facts.
    m_actionUpdate = new QTimer(this);
    m_actionUpdate->setSingleShot(true);
    m_actionUpdate->setInterval(0);
    connect(m_actionUpdate, &QTimer::timeout, this, &TfmMainFrm::UpdateActions);

    FormCreate();
    UpdateActions();
}

TfmMainFrm::~TfmMainFrm()
{
    // The pop-up and the controllers use the session's pieces, which go before the children.
    delete m_notify;
    for (QObject *controller : std::initializer_list<QObject *>{
             m_backups, m_itemView, m_itemCommands, m_archive, m_headerList, m_treeEditing, m_syncRuns})
        delete controller;
    if (auto *app = qobject_cast<KolvaniApplication *>(QCoreApplication::instance()))
        app->setExceptionHandler({});
    if (!m_placementSaved && m_formCreated && !m_startupFailed)
        savePlacement();
}

void TfmMainFrm::attachWindows(const MainFrmWindows &windows)
{
    m_windows = windows;
    m_reportWindow = windows.updateProgress;
    if (m_syncRuns)
        m_syncRuns->setReportWindow(windows.updateProgress);
    if (windows.updateProgress) {
        connect(windows.updateProgress, &TfmUpdateProgressFrm::statusNoticeChanged, sbStatus,
                [this](const QString &text) { sbStatus->setPanelText(2, text); });
        GuardedStep(lcApp, "restoring the report window's size", [&windows] {
            std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
            windows.updateProgress->restoreSize(ReadWindowSize(*store, ReportWindowGroup));
        });
    }
}

// --- creation ---

void TfmMainFrm::FormCreate()
{
    // 1. The window is not scaled; the banner's sizes are fixed in buildBanner.
    // 2. Uncaught exceptions end up in HandleAppException.
    if (auto *app = qobject_cast<KolvaniApplication *>(QCoreApplication::instance()))
        app->setExceptionHandler([this](QObject *sender, const QString &message) {
            HandleAppException(sender, message);
        });
    try {
        // 3. Started hidden: only the tray icon.
        if (m_options.startHidden)
            hide();
        // 4.
        lbName->setText(pcLeftPanel->tabText(pcLeftPanel->currentIndex()));
        // 5.
        determineAppFolder();
        buildSession(m_folder);
        lockUserData();
        // 6. The lists start empty; the tree owns its records.
        alertQueue() = AlertQueue();
        // 7.
        StartMark("tree to load");
        if (!loadChannelTree()) {
            m_startupFailed = true;
            return;
        }
        StartMark("tree loaded");
        // The counts follow once the window is up: 100 channels' files would hold it back.
        m_session->unreadCounts().startReadingAll(
            m_session->channelTree(),
            [this](const QString &guid) { return m_folder.cacheFile(guid); });
        StartMark("unread counts read");
        // 8.
        if (!OpenArchive()) {
            m_startupFailed = true;
            return;
        }
        // 9.
        setWindowTitle(QApplication::applicationDisplayName().isEmpty()
                           ? QStringLiteral("Kolvani")
                           : QApplication::applicationDisplayName());
        // 10.
        sbStatus->progressBar()->setRange(1, 10001);
        sbStatus->placeProgressBar();
        // 11.
        readStartSettings();
        // 12.
        setStatusPanelText(2, QString());
        // 13.
        LoadArchiveChannels();
        StartMark("archive opened, settings read");
        m_formCreated = true;
        // The copy of the day once the window is up and the report window is there to hear
        // of a failure: copying the archive must not hold back the first show.
        QTimer::singleShot(2000, this, [this] { m_session->makeDailyBackup(); });
    } catch (const std::exception &e) {
        // Without a folder the window still needs its pieces to show the message and end.
        if (!m_session)
            buildSession(m_folder);
        HandleAppException(this, exceptionText(e));
    }
}

void TfmMainFrm::determineAppFolder()
{
    m_folder = UserFolder(DetermineAppFolder(m_options.executableDir), m_options.executableDir);
}

void TfmMainFrm::lockUserData()
{
    // A command-line synchronisation of the same folder must wait while a window runs; if
    // one runs right now, the window takes its share as soon as it has finished.
    m_dataLock = std::make_unique<UserDataLock>(m_folder.lockFile());
    // Alone with the folder for a moment: what a killed process left can go.
    const QDateTime lockTaken = QDateTime::currentDateTime();
    if (m_dataLock->tryLock(UserDataLock::Mode::Exclusive)) {
        TidyUserFolder(m_folder, lockTaken);
        // The copy made at the first start would hide every later edition of the list.
        GuardedStep(lcApp, "refreshing the provider list", [this] {
            RefreshProviderListCopy(m_folder.dataFile(ShippedProviderList),
                                    m_folder.shippedDataFolder() + ShippedProviderList);
        });
    }
    if (m_dataLock->tryLock(UserDataLock::Mode::Shared))
        return;
    auto *retry = new QTimer(this);
    retry->setInterval(1000);
    connect(retry, &QTimer::timeout, this, [this, retry] {
        if (m_dataLock->tryLock(UserDataLock::Mode::Shared))
            retry->deleteLater();
    });
    retry->start();
}

bool TfmMainFrm::loadChannelTree()
{
    const QString path = m_folder.treeFile();
    tvChannels->setUpdatesEnabled(false);
    const TreeLoadResult result =
        m_session->loadChannelTree([this](const QString &text) { setStatusPanelText(0, text); });
    tvChannels->setUpdatesEnabled(true);
    if (result.ok) {
        for (const QString &warning : result.warnings)
            qCWarning(lcApp).noquote() << warning;
        return true;
    }
    // The user's file is kept beside before the default takes its place: its channels can
    // still be recovered by hand.
    const QString kept = KeepDamagedTreeFile(path);
    QString message =
        QStringLiteral("Nie można załadować listy kanałów RSS z powodu uszkodzenia/braku pliku "
                       "konfiguracyjnego. Po ponownym uruchomieniu lista kanałów zostanie "
                       "wyczyszczona. Program kończy działanie.");
    if (!kept.isEmpty())
        message += QStringLiteral(" Uszkodzony plik zachowano jako %1.").arg(kept);
    m_messageBoxes->error(this, message, MessageCaptions::Error);
    if (kept.isEmpty())
        QFile::remove(path);
    // QFile::copy never overwrites an existing file.
    QFile::copy(m_folder.defaultTreeFile(), path);
    return false;
}

bool TfmMainFrm::OpenArchive()
{
    if (!ArchiveController::OpenArchive([this] { m_session->openArchive(); }, *m_messageBoxes,
                                        this))
        return false;
    m_archive->setArchive(&m_session->archive(), &m_session->archiveView());
    if (!m_session->movedOldArchive().isEmpty())
        OfferOldArchive(m_session->movedOldArchive(), FindMdbExport(), m_session->archive(),
                        *m_messageBoxes, this);
    return true;
}

void TfmMainFrm::LoadArchiveChannels()
{
    m_archive->LoadArchiveChannels();
}

void TfmMainFrm::readStartSettings()
{
    const SettingsFile settings(m_folder.configFile());
    try {
        const AppSettings stored = AppSettings::read(settings);
        channelsListUrl = stored.channelsListUrl;
        headerRows().setSortState(stored.columnToSort, stored.descendingSort);
        // The runs' timer follows the live settings.
        m_session->liveSettings().set(stored);
    } catch (const std::exception &e) {
        // Unreadable settings leave their defaults.
        qCWarning(lcApp, "reading the settings: %s", e.what());
    }
}

// --- showing ---

void TfmMainFrm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    StartMark("first shown");
    if (m_syncRuns)
        m_syncRuns->mainWindowShown();
    fitLeastSizeToScreen();
    restoreNativeState(this);
    restorePlacement();
    QTimer::singleShot(0, this, &TfmMainFrm::FormShow);
}

void TfmMainFrm::FormShow()
{
    StartMark("first show handled");
    // 1.
    repaint();
    // 2. The question waits until the window is on the screen: a window not yet placed by
    // the window manager would have it stand elsewhere, and a minimised start (without a
    // tray) has nobody there to answer until the user opens it.
    if (channelTree()->count() == 1) {
        if (onScreen()) {
            offerFirstChannel();
        } else if (windowHandle()) {
            m_firstChannelOfferPending = true;
            windowHandle()->installEventFilter(this);
        }
    }
    // 3. and 4.; errors here are no reason to stop.
    GuardedStep(lcApp, "showing the first channel", [this] { m_headerList->firstShow(); });
    GuardedStep(lcApp, "expanding the tree", [this] {
        tvChannels->expand(channelTree()->indexOf(channelTree()->root()));
        lvHeaders->setFocus();
    });
    scheduleActionUpdate();
    StartMark("first item asked for");
}

void TfmMainFrm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Opened from its minimised start: the stored place is taken now, once the window is
    // neither minimised nor maximised (a maximised one keeps it for when it is restored).
    if (event->type() == QEvent::WindowStateChange && m_pendingNormalPlace.isValid() &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) ==
            Qt::WindowNoState) {
        setGeometry(std::exchange(m_pendingNormalPlace, QRect()));
        restoreNativeState(this);
    }
}

bool TfmMainFrm::onScreen() const
{
    return windowHandle() && windowHandle()->isExposed() && !isMinimized();
}

void TfmMainFrm::offerFirstChannel()
{
    if (channelTree()->count() == 1 &&
        m_messageBoxes->question(this, QStringLiteral("Czy chcesz dodać nowy kanał informacyjny?"),
                                 QApplication::applicationDisplayName()))
        ShowNewChannelWizard();
}

void TfmMainFrm::ShowNewChannelWizard()
{
    if (!m_windows.newChannel)
        return;
    m_windows.newChannel->exec();
    // The keys come back here: after a message box and the wizard have closed, a window
    // manager may leave no window active.
    activateWindow();
    lvHeaders->setFocus(Qt::OtherFocusReason);
    ChannelNode *node = m_windows.newChannel->channelToShow();
    if (!node)
        return;
    // A new channel is fetched and shown at once, a known one shown: as if clicked.
    ChannelTree *tree = channelTree();
    for (ChannelNode *up = node->parent(); up; up = up->parent())
        tvChannels->expand(tree->indexOf(up));
    const QModelIndex index = tree->indexOf(node);
    if (tvChannels->currentIndex() == index) {
        tvChannels->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        m_headerList->tvChannelsChange();
    } else {
        tvChannels->setCurrentIndex(index); // runs tvChannelsChange
    }
    tvChannels->scrollTo(index);
}

void TfmMainFrm::subscribeTo(const QString &address)
{
    if (!m_windows.newChannel || m_windows.newChannel->isVisible())
        return; // the wizard open already keeps what the user is doing
    ctTrayIconClick();
    m_windows.newChannel->setStartAddress(address);
    ShowNewChannelWizard();
}

NewChannelFrmEnv TfmMainFrm::newChannelEnv() const
{
    return {&m_session->channelTree(), tvChannels, &m_session->downloader(), m_messageBoxes,
            m_folder.providerListFile(), m_folder.probeFile(),
            {m_folder.dataFolder(), m_folder.shippedDataFolder()},
            [this] { return channelsListUrl; }};
}

// On a screen smaller than the window's least size (a netbook's 800 x 480) the status bar
// or the title bar would be out of reach: there the least size gives way to the screen.
void TfmMainFrm::fitLeastSizeToScreen()
{
    const QSize room = UiLook::roomOnScreen(this);
    if (!room.isValid())
        return;
    setMinimumSize(LeastSize.boundedTo(room));
    resize(size().boundedTo(room));
}

void TfmMainFrm::restorePlacement()
{
    GuardedStep(lcApp, "restoring the window placement", [this] {
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        const WindowPlacement placement = ReadWindowPlacement(*store);
        if (!placement.valid) {
            // A large screen is used from the first start; a small one keeps the least size.
            // Only the size: where a new window goes is the window manager's choice, and a
            // place given here moves the window after it is mapped, away from its dialogs.
            const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
            if (screen && !isMinimized())
                resize(FirstStartPlace(screen->availableGeometry(), minimumSize(),
                                       UiLook::expectedFrame(this))
                           .size());
            return;
        }
        if (placement.normalRect.isValid() && placement.normalRect.width() >= minimumWidth() &&
            placement.normalRect.height() >= minimumHeight()) {
            // A place on a monitor that is gone, or a larger screen, must not lose the window.
            QList<QRect> areas;
            for (const QScreen *screen : QGuiApplication::screens())
                areas.append(screen->availableGeometry());
            const QScreen *primary = QGuiApplication::primaryScreen();
            const QRect place = FitOnScreens(placement.normalRect, UiLook::expectedFrame(this),
                                             areas,
                                             primary ? primary->availableGeometry() : QRect());
            // A geometry given to a minimised window makes the window manager map it open:
            // the place waits until the user opens the window.
            if (isMinimized())
                m_pendingNormalPlace = place;
            else
                setGeometry(place);
            restoreNativeState(this);
        }
        if (placement.leftPanelWidth > 0) {
            QList<int> sizes = spLeft->sizes();
            const int total = sizes.value(0) + sizes.value(1);
            spLeft->setSizes(
                {placement.leftPanelWidth, qMax(100, total - placement.leftPanelWidth)});
        }
        if (placement.topPanelHeight > 0) {
            QList<int> sizes = spMain->sizes();
            const int total = sizes.value(0) + sizes.value(1);
            spMain->setSizes(
                {placement.topPanelHeight, qMax(60, total - placement.topPanelHeight)});
        }
        if (placement.showCmd == WindowPlacement::ShowMaximised)
            setWindowState(windowState() | Qt::WindowMaximized);
    });
}

void TfmMainFrm::savePlacement()
{
    // A window that was never shown (a start in the tray) has neither read the stored
    // placement nor been laid out: its sizes would only overwrite the user's own.
    if (!m_shownOnce)
        return;
    GuardedStep(lcApp, "saving the window placement", [this] {
        WindowPlacement placement;
        placement.valid = true;
        placement.showCmd = isMaximized()   ? WindowPlacement::ShowMaximised
                            : isMinimized() ? WindowPlacement::ShowMinimised
                                            : WindowPlacement::ShowNormal;
        placement.pixelsPerInch = logicalDpiY();
        placement.normalRect = m_pendingNormalPlace.isValid() ? m_pendingNormalPlace
                               : normalGeometry().isValid() ? normalGeometry()
                                                            : geometry();
        placement.leftPanelWidth = pcLeftPanel->width();
        placement.topPanelHeight = pnTop->height();
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        WriteWindowPlacement(*store, placement);
        if (m_reportWindow)
            WriteWindowSize(*store, ReportWindowGroup, m_reportWindow->size());
        m_placementSaved = true;
    });
}

// --- closing ---

bool TfmMainFrm::closeActionChecked() const
{
    return m_session ? m_session->liveSettings().values().closeAction : true;
}

bool TfmMainFrm::dontShowChecked() const
{
    return m_session ? m_session->liveSettings().values().dontShow : false;
}

void TfmMainFrm::setCancelRequested()
{
    if (m_session)
        m_session->syncRun().requestCancel();
}

void TfmMainFrm::saveClosingState()
{
    if (m_startupFailed || !m_formCreated)
        return;
    // 1. The document on show goes back to its file.
    GuardedStep(lcApp, "saving the channel on show",
                [this] { m_session->shownChannel().writeBack(); });
    // 2.
    GuardedStep(lcApp, "writing the closing settings", [this] {
        SettingsFile settings(m_folder.configFile());
        const MainWindowState state = isMaximized()   ? MainWindowState::Maximised
                                      : isMinimized() ? MainWindowState::Minimised
                                                      : MainWindowState::Normal;
        WriteClosingSettings(settings, state, dontShowChecked(), headerRows().sortDescending(),
                             headerRows().sortColumn());
    });
    // 3.
    GuardedStep(lcApp, "saving the channel tree",
                [this] { m_session->treeSaver().writeNow(); });
}

void TfmMainFrm::FormCloseQuery()
{
    saveClosingState();
    savePlacement();
}

void TfmMainFrm::closeEvent(QCloseEvent *event)
{
    if (m_startupFailed || m_ending) {
        event->accept();
        return;
    }
    FormCloseQuery();
    // FormClose
    if (closeActionChecked()) {
        event->ignore();
        if (m_options.trayAvailable)
            hide();
        else
            showMinimized();
        return;
    }
    if (!m_messageBoxes->question(this, QStringLiteral("Czy chcesz zakończyć pracę programu?"),
                                  MessageCaptions::Question)) {
        event->ignore();
        return;
    }
    setCancelRequested();
    stopTimers();
    event->accept();
    requestQuit();
}

void TfmMainFrm::Koniecpracy1Click()
{
    if (channelUpdateBusy())
        m_messageBoxes->information(
            this,
            QStringLiteral(
                "Trwa synchronizacja kanału, po jej zakończeniu program zostanie zamknięty."),
            MessageCaptions::Information);
    stopTimers();
    setCancelRequested();
    FormCloseQuery();
    requestQuit();
}

void TfmMainFrm::ApplicationEvents1Message()
{
    // Like a close request for the window, without the question: the session or the
    // system wants the program to end, and will not wait for a slow server. A download in
    // progress is cut short; its channel keeps its old cache file.
    setCancelRequested();
    m_session->downloader().cancel();
    stopTimers();
    FormCloseQuery();
    requestQuit();
}

void TfmMainFrm::stopTimers()
{
    if (m_session)
        m_session->syncRun().stopSchedule();
    if (m_itemCommands)
        m_itemCommands->stopDelayedMark();
}

void TfmMainFrm::requestQuit()
{
    m_quitPending = true;
    QTimer::singleShot(0, this, &TfmMainFrm::quitWhenIdle);
}

void TfmMainFrm::quitWhenIdle()
{
    // Leaving while a channel update waits for its download would cut it off: the program
    // ends once the update has returned. Modal boxes open at that moment just close.
    if (!m_quitPending || channelUpdateBusy())
        return;
    m_quitPending = false;
    m_ending = true;
    // exit, not quit: quit would ask the windows to close once more, and the main window
    // would go to the tray instead.
    QCoreApplication::exit(0);
}

// --- tray ---

void TfmMainFrm::ctTrayIconClick()
{
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    GuardedStep(lcApp, "refreshing the item view", [this] {
        if (!wbContent->LocationURL().isEmpty())
            m_itemView->Refresh();
    });
}

// --- dialogs and links ---

void TfmMainFrm::Konfiguracja1Click()
{
    if (m_windows.config)
        m_windows.config->exec();
}

void TfmMainFrm::Oprogramie1Click()
{
    if (m_windows.about)
        m_windows.about->exec();
}

void TfmMainFrm::openAddress(const QString &address)
{
    if (!QDesktopServices::openUrl(QUrl(address)))
        ReportUnopenedLink(*m_messageBoxes, this, address);
}

void TfmMainFrm::KolvaniwInternecie1Click()
{
    openAddress(HomePageUrl);
}

void TfmMainFrm::imLink1Click()
{
    openAddress(HomePageUrl);
}

void TfmMainFrm::imLink2Click()
{
    openAddress(HelpPageUrl);
}

// --- status bar, downloads and the report window ---

void TfmMainFrm::sbStatusClick()
{
    if (!m_windows.updateProgress)
        return;
    m_windows.updateProgress->show();
    m_windows.updateProgress->raise();
    m_windows.updateProgress->activateWindow();
}

void TfmMainFrm::ReportProblem(const QString &line)
{
    if (m_windows.updateProgress)
        m_windows.updateProgress->ReportProblem(line);
    else
        qCWarning(lcApp).noquote() << line;
}

// --- errors ---

void TfmMainFrm::HandleAppException(QObject *, const QString &message)
{
    setCancelRequested();
    if (m_handlingException) {
        // One box at a time; a fault while it is open is only logged.
        qCWarning(lcApp).noquote() << message;
        return;
    }
    m_handlingException = true;
    m_messageBoxes->error(isVisible() ? this : nullptr,
                          QStringLiteral("Wystąpił błąd wewnętrzny (") + message +
                              QStringLiteral("). Przepraszamy za utrudnienie."),
                          MessageCaptions::Information);
    m_handlingException = false;
}

// --- events ---

void TfmMainFrm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

bool TfmMainFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == windowHandle() && event->type() == QEvent::Expose &&
        m_firstChannelOfferPending && onScreen()) {
        m_firstChannelOfferPending = false;
        windowHandle()->removeEventFilter(this);
        QTimer::singleShot(0, this, &TfmMainFrm::offerFirstChannel);
    }
    if (event->type() == QEvent::Resize && watched == pnFiller) {
        pnFillerResize();
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (watched == imLink1) {
                imLink1Click();
                return true;
            }
            if (watched == imLink2) {
                imLink2Click();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
