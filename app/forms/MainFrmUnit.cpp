// The main window's life: creation, first show, closing, the tray and the shared state.

#include "app/forms/MainFrmUnit.h"

#include "alerts/AlertQueue.h"
#include "app/AppFolder.h"
#include "app/AppLog.h"
#include "app/AppSettings.h"
#include "app/GuardedStep.h"
#include "app/Session.h"
#include "app/SettingsFile.h"
#include "app/UserDataLock.h"
#include "app/UserFolder.h"
#include "app/WindowPlacement.h"
#include "app/forms/AboutFrmUnit.h"
#include "app/forms/Application.h"
#include "app/forms/ConfigUnit.h"
#include "app/forms/MessageBoxes.h"
#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/DocumentDownloader.h"
#include "feed/TextOps.h"
#include "reading/ShownChannel.h"
#include "sync/ChannelUpdater.h"
#include "sync/forms/UpdateProgressUnit.h"
#include "xml/XmlDocument.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <exception>

const QString TfmMainFrm::HomePageUrl = QStringLiteral("https://kolvani.pl/");
const QString TfmMainFrm::HelpPageUrl = QStringLiteral("https://kolvani.pl/pomoc/");

namespace {

QString exceptionText(const std::exception &e)
{
    return QString::fromUtf8(e.what());
}

} // namespace

TfmMainFrm::TfmMainFrm(const MainFrmOptions &options, QWidget *parent)
    : QMainWindow(parent), m_options(options)
{
    m_messageBoxes = options.messageBoxes ? options.messageBoxes : &MessageBoxes::standard();
    if (!m_options.executableDir.isEmpty() && !m_options.executableDir.endsWith(QLatin1Char('/')))
        m_options.executableDir += QLatin1Char('/');

    tmUpdates = new QTimer(this);
    tmUpdates->setObjectName(QStringLiteral("tmUpdates"));
    tmMarkAsUnread = new QTimer(this);
    tmMarkAsUnread->setObjectName(QStringLiteral("tmMarkAsUnread"));
    tmBalloons = new QTimer(this);
    tmBalloons->setObjectName(QStringLiteral("tmBalloons"));
    tmBalloons->setInterval(10000); // enabled by the alerts only
    for (QTimer *t : {tmUpdates, tmMarkAsUnread})
        t->setInterval(0);

    buildImageList();
    buildLayout();
    buildActions();
    buildMenus();
    buildTray();

    m_actionUpdate = new QTimer(this);
    m_actionUpdate->setSingleShot(true);
    m_actionUpdate->setInterval(0);
    connect(m_actionUpdate, &QTimer::timeout, this, &TfmMainFrm::UpdateActions);
    // "When idle": besides the changes below, a quiet periodic look catches state that
    // other parts change without telling.
    m_idleUpdate = new QTimer(this);
    m_idleUpdate->setInterval(250);
    connect(m_idleUpdate, &QTimer::timeout, this, &TfmMainFrm::UpdateActions);
    m_idleUpdate->start();
    connect(lvHeaders->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfmMainFrm::scheduleActionUpdate);
    connect(headersModel, &QAbstractItemModel::rowsInserted, this,
            &TfmMainFrm::scheduleActionUpdate);
    connect(headersModel, &QAbstractItemModel::rowsRemoved, this,
            &TfmMainFrm::scheduleActionUpdate);
    connect(headersModel, &QAbstractItemModel::modelReset, this,
            &TfmMainFrm::scheduleActionUpdate);

    connect(wbContent, &WebBrowser::DocumentComplete, this, &TfmMainFrm::wbContentDocumentComplete);
    connect(wbContent, &WebBrowser::ProgressChange, this, &TfmMainFrm::wbContentProgressChange);
    connect(wbContent, &WebBrowser::StatusTextChange, this, &TfmMainFrm::wbContentStatusTextChange);
    wbContent->setBeforeNavigate2(
        [this](QString &address, bool &cancel) { wbContentBeforeNavigate2(address, cancel); });

    FormCreate();
    UpdateActions();
}

TfmMainFrm::~TfmMainFrm()
{
    if (auto *app = qobject_cast<KolvaniApplication *>(QCoreApplication::instance()))
        app->setExceptionHandler({});
    if (!m_placementSaved && m_formCreated && !m_startupFailed)
        savePlacement();
}

void TfmMainFrm::attachWindows(TfmUpdateProgressFrm *updateProgress, TfmConfigFrm *config,
                               TfmAboutFrm *about)
{
    m_updateProgress = updateProgress;
    m_config = config;
    m_about = about;
    if (updateProgress)
        connect(updateProgress, &TfmUpdateProgressFrm::statusNoticeChanged, this,
                [this](const QString &text) { setStatusPanelText(2, text); });
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
        lastShownRow = -1;
        lastCategoryRow = -1;
        // 5.
        determineAppFolder();
        buildSession(m_folder);
        lockUserData();
        // 6. The lists start empty; the tree owns its records.
        alertQueue() = AlertQueue();
        // 7.
        if (!loadChannelTree()) {
            m_startupFailed = true;
            return;
        }
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
        pbDownloadProgress->setRange(1, 10001);
        placeProgressBar();
        // 11.
        readStartSettings();
        // 12.
        setStatusPanelText(2, QString());
        // 13.
        LoadArchiveChannels();
        m_formCreated = true;
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

void TfmMainFrm::buildSession(const UserFolder &folder)
{
    m_session = std::make_unique<Session>(folder, *this);
    m_session->setDownloadUi(this);
    m_session->downloader().setProxyProvider(
        [this] { return m_config ? m_config->proxySettings() : ProxySettings(); });
    ChannelTree *tree = &m_session->channelTree();
    tvChannels->setModel(tree);
    connect(tvChannels->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfmMainFrm::scheduleActionUpdate);
    connect(tree, &QAbstractItemModel::rowsInserted, this, &TfmMainFrm::scheduleActionUpdate);
    connect(tree, &QAbstractItemModel::rowsRemoved, this, &TfmMainFrm::scheduleActionUpdate);
    connect(tree, &QAbstractItemModel::modelReset, this, &TfmMainFrm::scheduleActionUpdate);
    // At once: a click queued behind the update's start must find the action disabled.
    connect(&m_session->updater(), &ChannelUpdater::busyChanged, this, &TfmMainFrm::UpdateActions);
    ShownChannel &shown = m_session->shownChannel();
    connect(&shown, &ShownChannel::replacing, lvHeaders,
            [this](bool replacing) { lvHeaders->setEnabled(!replacing); });
    connect(&shown, &ShownChannel::reloaded, wbContent, [this] { wbContent->Refresh(); });
}

ChannelTree *TfmMainFrm::channelTree() const
{
    return m_session ? &m_session->channelTree() : nullptr;
}

XmlDocument &TfmMainFrm::xmlDocument() const
{
    return m_session->shownChannel().document();
}

AlertQueue &TfmMainFrm::alertQueue() const
{
    return m_session->alertQueue();
}

void TfmMainFrm::lockUserData()
{
    // A command-line synchronisation of the same folder must wait while a window runs; if
    // one runs right now, the window takes its share as soon as it has finished.
    m_dataLock = std::make_unique<UserDataLock>(m_folder.lockFile());
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
    const TreeLoadResult result = m_session->loadChannelTree(
        [this](const QString &text) { setStatusPanelText(0, text); });
    tvChannels->setUpdatesEnabled(true);
    if (result.ok) {
        for (const QString &warning : result.warnings)
            qCWarning(lcApp).noquote() << warning;
        return true;
    }
    m_messageBoxes->error(
        this,
        QStringLiteral("Nie można załadować listy kanałów RSS z powodu uszkodzenia/braku pliku "
                       "konfiguracyjnego. Po ponownym uruchomieniu lista kanałów zostanie "
                       "wyczyszczona. Program kończy działanie."),
        MessageCaptions::Error);
    QFile::remove(path);
    // QFile::copy never overwrites an existing file.
    QFile::copy(m_folder.defaultTreeFile(), path);
    return false;
}

bool TfmMainFrm::OpenArchive()
{
    // The archive database comes with the archive part of the program; until then there
    // is nothing to connect to and start-up goes on.
    return true;
}

bool TfmMainFrm::LoadArchiveChannels()
{
    // Filled by the archive part: the channels that have archived items.
    return true;
}

void TfmMainFrm::readStartSettings()
{
    const SettingsFile settings(m_folder.configFile());
    try {
        const AppSettings stored = AppSettings::read(settings);
        channelsListUrl = stored.channelsListUrl;
        sortDescending = stored.descendingSort;
        sortColumn = stored.columnToSort;
        setTimerInterval(tmUpdates, stored.updates ? UpdateTimerInterval(stored.interval) : 0);
    } catch (const std::exception &e) {
        // Unreadable settings leave their defaults.
        qCWarning(lcApp, "reading the settings: %s", e.what());
    }
    applyColumnImages();
}

void TfmMainFrm::setTimerInterval(QTimer *timer, int milliseconds)
{
    if (!timer)
        return;
    if (milliseconds <= 0) {
        timer->stop();
        timer->setInterval(0);
        return;
    }
    // The same interval again leaves a running count alone.
    if (timer->isActive() && timer->interval() == milliseconds)
        return;
    timer->start(milliseconds);
}

// --- showing ---

void TfmMainFrm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    restorePlacement();
    QTimer::singleShot(0, this, &TfmMainFrm::FormShow);
}

void TfmMainFrm::FormShow()
{
    // 1.
    repaint();
    // 2.
    if (channelTree()->count() == 1 &&
        m_messageBoxes->question(this, QStringLiteral("Czy chcesz dodać nowy kanał informacyjny?"),
                                 QApplication::applicationDisplayName()))
        ShowNewChannelWizard();
    // 3. and 4.; errors here are no reason to stop.
    GuardedStep(lcApp, "showing the first channel", [this] {
        SelectFirstChannel();
        if (lvHeaders->model() && lvHeaders->model()->rowCount() > 0) {
            const QModelIndex first = lvHeaders->model()->index(0, 0);
            lvHeaders->setCurrentIndex(first);
        }
    });
    GuardedStep(lcApp, "expanding the tree", [this] {
        tvChannels->expand(channelTree()->indexOf(channelTree()->root()));
        lvHeaders->setFocus();
    });
    scheduleActionUpdate();
}

void TfmMainFrm::ShowNewChannelWizard()
{
    // The new channel wizard comes with the subscription part of the program.
}

void TfmMainFrm::SelectFirstChannel()
{
    for (ChannelNode *node : channelTree()->nodesInPreOrder()) {
        if (node->isChannel()) {
            const QModelIndex index = channelTree()->indexOf(node);
            tvChannels->setCurrentIndex(index);
            tvChannels->scrollTo(index);
            return;
        }
    }
}

void TfmMainFrm::restorePlacement()
{
    GuardedStep(lcApp, "restoring the window placement", [this] {
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        const WindowPlacement placement = ReadWindowPlacement(*store);
        if (!placement.valid)
            return;
        if (placement.normalRect.isValid() && placement.normalRect.width() >= minimumWidth() &&
            placement.normalRect.height() >= minimumHeight())
            setGeometry(placement.normalRect);
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
        placement.normalRect = normalGeometry().isValid() ? normalGeometry() : geometry();
        placement.leftPanelWidth = pcLeftPanel->width();
        placement.topPanelHeight = pnTop->height();
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        WriteWindowPlacement(*store, placement);
        m_placementSaved = true;
    });
}

// --- closing ---

bool TfmMainFrm::closeActionChecked() const
{
    // Without the settings dialog the stored default applies: hide to the tray.
    return m_config ? m_config->cbCloseAction->isChecked() : true;
}

bool TfmMainFrm::dontShowChecked() const
{
    return m_updateProgress ? m_updateProgress->cbDontShow->isChecked() : false;
}

void TfmMainFrm::setCancelRequested()
{
    if (m_updateProgress)
        m_updateProgress->cancelRequested = true;
}

void TfmMainFrm::saveClosingState()
{
    if (m_startupFailed || !m_formCreated)
        return;
    // 1. The document on show goes back to its file.
    GuardedStep(lcApp, "saving the channel on show", [this] {
        if (xmlDocument().active())
            xmlDocument().save();
    });
    // 2.
    GuardedStep(lcApp, "writing the closing settings", [this] {
        SettingsFile settings(m_folder.configFile());
        const MainWindowState state = isMaximized()   ? MainWindowState::Maximised
                                      : isMinimized() ? MainWindowState::Minimised
                                                      : MainWindowState::Normal;
        WriteClosingSettings(settings, state, dontShowChecked(), sortDescending, sortColumn);
    });
    // 3.
    GuardedStep(lcApp, "saving the channel tree",
                [this] { SaveChannelTree(*channelTree(), m_folder.treeFile()); });
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
    setTimerInterval(tmUpdates, 0);
    setTimerInterval(tmBalloons, 0);
    setTimerInterval(tmMarkAsUnread, 0);
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
    setTimerInterval(tmUpdates, 0);
    setTimerInterval(tmBalloons, 0);
    setTimerInterval(tmMarkAsUnread, 0);
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
    setTimerInterval(tmUpdates, 0);
    setTimerInterval(tmBalloons, 0);
    setTimerInterval(tmMarkAsUnread, 0);
    FormCloseQuery();
    requestQuit();
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
    tmBalloons->stop();
    setTimerInterval(tmBalloons, 0);
    GuardedStep(lcApp, "refreshing the item view", [this] {
        if (!wbContent->url().isEmpty())
            wbContent->Refresh();
    });
}

// --- dialogs and links ---

void TfmMainFrm::Konfiguracja1Click()
{
    if (m_config)
        m_config->exec();
}

void TfmMainFrm::Oprogramie1Click()
{
    if (m_about)
        m_about->exec();
}

void TfmMainFrm::openAddress(const QString &address)
{
    QDesktopServices::openUrl(QUrl(address));
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
    if (!m_updateProgress)
        return;
    m_updateProgress->show();
    m_updateProgress->raise();
    m_updateProgress->activateWindow();
}

void TfmMainFrm::ReportProblem(const QString &line)
{
    if (m_updateProgress)
        m_updateProgress->ReportProblem(line);
    else
        qCWarning(lcApp).noquote() << line;
}

void TfmMainFrm::setStatusText(const QString &text)
{
    setStatusPanelText(0, text);
}

void TfmMainFrm::progressBegin(qint64 expectedBytes)
{
    const int maximum = int(qBound<qint64>(qint64(2), expectedBytes, qint64(0x7fffffff)));
    pbDownloadProgress->setRange(1, maximum);
    pbDownloadProgress->setValue(1);
    placeProgressBar();
    pbDownloadProgress->show();
}

void TfmMainFrm::progressWork(qint64 bytesSoFar)
{
    const qint64 value = qBound<qint64>(qint64(pbDownloadProgress->minimum()), bytesSoFar,
                                        qint64(pbDownloadProgress->maximum()));
    pbDownloadProgress->setValue(int(value));
}

void TfmMainFrm::progressEnd()
{
    pbDownloadProgress->hide();
    pbDownloadProgress->setValue(pbDownloadProgress->minimum());
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
            if (watched == sbStatus || (watched && watched->parent() == sbStatus)) {
                sbStatusClick();
                return true;
            }
        }
    } else if (event->type() == QEvent::Resize && watched == sbStatus) {
        placeProgressBar();
    }
    return QMainWindow::eventFilter(watched, event);
}
