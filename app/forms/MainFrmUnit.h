#pragma once

#include "app/UserFolder.h"
#include "feed/DownloadUi.h"
#include "feed/ReportSink.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

struct AlertQueue;
class ChannelNode;
class ChannelTree;
class ChannelUpdater;
class DocumentDownloader;
class IMessageBoxes;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStandardItemModel;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeView;
class Session;
class ShownChannel;
class TfmAboutFrm;
class TfmConfigFrm;
class TfmUpdateProgressFrm;
class WebBrowser;
class UserDataLock;
class XmlDocument;

// Where the main window finds its environment; tests give their own.
struct MainFrmOptions
{
    QString executableDir;                 // folder of the executable, ending with "/"
    bool startHidden = false;              // first parameter "hid": only the tray icon at start
    IMessageBoxes *messageBoxes = nullptr; // null: the real message boxes
    bool showTrayIcon = true;
    // Without a system tray (some desktops have none) "to the tray" means minimised, so
    // that the program can always be reached again.
    bool trayAvailable = true;
};

// The main window: banner, channel tree, header list, item browser, status bar, menus, the
// action list and the tray icon. It holds the state that the program's parts share.
// Creating it runs FormCreate; a start-up that must end the program sets startupFailed().
class TfmMainFrm : public QMainWindow, public IDownloadUi, public IReportSink
{
    Q_OBJECT
public:
    explicit TfmMainFrm(const MainFrmOptions &options, QWidget *parent = nullptr);
    ~TfmMainFrm() override;

    // The windows created after this one; the main window reads their live state.
    void attachWindows(TfmUpdateProgressFrm *updateProgress, TfmConfigFrm *config,
                       TfmAboutFrm *about);

    bool startupFailed() const { return m_startupFailed; }
    // Every path under appFolder and beside the executable.
    const UserFolder &userFolder() const { return m_folder; }
    IMessageBoxes &messageBoxes() const { return *m_messageBoxes; }

    // Image list indexes shared by the tree, the lists and the tabs.
    enum ImageIndex {
        ImageGroup = 0,
        ImageChannel = 1,
        ImageGroupOpen = 2,
        ImageUnread = 3,
        ImageRead = 4,
        ImageSortDescending = 5,
        ImageSortAscending = 6,
        ImageTabChannels = 7,
        ImageTabArchive = 8,
    };
    QIcon channelsImage(int index) const;

    // Columns of the header list.
    enum HeaderColumn {
        ColTitle,
        ColDate,
        ColAuthor,
        ColId,
        ColGuid,
        ColChGuid,
        ColVersion,
        ColChName,
        HeaderColumnCount
    };

    // --- shared state, owned by the session ---
    QString appFolder() const { return m_folder.root(); } // per-user folder, ends with "/"
    ChannelTree *channelTree() const;                     // owns nodeDataBlocks
    XmlDocument &xmlDocument() const;                     // the channel on show
    AlertQueue &alertQueue() const; // alertTitles, alertChannels, newItemCount
    QString channelsListUrl;
    int sortColumn = 0;
    bool sortDescending = false;
    int lastShownRow = -1;
    int lastCategoryRow = -1;
    QString currentLocation;
    bool syncAllRunning = false;
    bool archiveViewShown = false;            // the header list shows archive rows

    QTimer *tmUpdates = nullptr;      // synchronisation interval; 0 = off
    QTimer *tmMarkAsUnread = nullptr; // delayed mark as read; 0 = off
    QTimer *tmBalloons = nullptr;     // alerts; 10000 ms, disabled at start

    // --- controls ---
    QWidget *pnBanner = nullptr;
    QLabel *imLogo = nullptr;
    QLabel *imLogoEnd = nullptr;
    QWidget *pnFiller = nullptr;
    QLabel *imFiller = nullptr;
    QWidget *pnTopMenu = nullptr;
    QLabel *imTopMenu = nullptr;
    QLabel *imLink1 = nullptr;
    QLabel *imLink2 = nullptr;
    QWidget *pnMainTop = nullptr;
    QToolButton *spAddChannel = nullptr;
    QToolButton *spRefresh = nullptr;
    QToolButton *spRefreshAll = nullptr;
    QLabel *lbName = nullptr;
    QSplitter *spLeft = nullptr;
    QTabWidget *pcLeftPanel = nullptr;
    QWidget *tsChannels = nullptr;
    QWidget *pnChannelsTop = nullptr;
    QToolButton *sbChannelsAdd = nullptr;
    QToolButton *sbChannelsDelete = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QTreeView *tvChannels = nullptr;
    QWidget *tsArchive = nullptr;
    QToolButton *sbShowAllArchive = nullptr;
    QTreeView *lvArchiveCategories = nullptr;
    QStandardItemModel *archiveCategoriesModel = nullptr;
    QWidget *pnMainPane = nullptr;
    QSplitter *spMain = nullptr;
    QWidget *pnTop = nullptr;
    QWidget *pnFind = nullptr;
    QLabel *imFilterIcon = nullptr;
    QLabel *lbKeyWord = nullptr;
    QLineEdit *edKeyWord = nullptr;
    QPushButton *btFilter = nullptr;
    QCheckBox *cbAllArchiveFilter = nullptr;
    QTreeView *lvHeaders = nullptr;
    QStandardItemModel *headersModel = nullptr;
    QWidget *pnBottom = nullptr;
    QWidget *pnBrowswerButtons = nullptr;
    QToolButton *spBack = nullptr;
    QToolButton *spForward = nullptr;
    QToolButton *spNewWindow = nullptr;
    QToolButton *sbAddToArchive = nullptr;
    QToolButton *sbArchiveDelete = nullptr;
    QWidget *pnAmination = nullptr;
    WebBrowser *wbContent = nullptr;
    QStatusBar *sbStatus = nullptr;
    QProgressBar *pbDownloadProgress = nullptr;
    QSystemTrayIcon *ctTrayIcon = nullptr;

    // --- menus ---
    QMenu *mnPlik = nullptr;
    QMenu *mnNarzedzia = nullptr;
    QMenu *mnNaglowek = nullptr;
    QMenu *mnPomoc = nullptr;
    QMenu *mnChannelsAdd = nullptr;
    QMenu *mnChannels = nullptr;
    QMenu *mnHeaders = nullptr;
    QMenu *mnTray = nullptr;
    QAction *Koniecpracy1 = nullptr;          // "&Koniec pracy" in the main menu
    QAction *Koniecpracy2 = nullptr;          // ... and in the tray menu
    QAction *Konfiguracja1 = nullptr;         // "&Konfiguracja"
    QAction *Konfiguracjaprogramu1 = nullptr; // "Konfiguracja programu" (tray)
    QAction *Pokazprogram1 = nullptr;         // "Pokaż program" (tray, default)
    QAction *Oprogramie1 = nullptr;           // "&O programie"
    QAction *KolvaniwInternecie1 = nullptr;   // "&Kolvani w Internecie"
    QAction *Zmienazw1 = nullptr;             // "&Zmień nazwę"
    QAction *Usun1 = nullptr;                 // acRemoveTreeItem in the tree's menu, Del
    QAction *Usunzarchiwum1 = nullptr;        // acArchiveDelete in the header menu, Del

    // --- action list alMainFrmActions ---
    QAction *acChannelsAdd = nullptr;
    QAction *acChannelsGroupAdd = nullptr;
    QAction *acRemoveTreeItem = nullptr;
    QAction *acChannelsEdit = nullptr;
    QAction *acChannelsEditChanel = nullptr;
    QAction *acChannelsGetSelected = nullptr;
    QAction *acOpenInNewWindow = nullptr;
    QAction *acCopyToClipBoard = nullptr;
    QAction *acMarkAsRead = nullptr;
    QAction *acMarkAsUnread = nullptr;
    QAction *acSendAsMail = nullptr;
    QAction *acCopyLink = nullptr;
    QAction *acOpenLink = nullptr;
    QAction *acSyncAll = nullptr;
    QAction *acAddToArchive = nullptr;
    QAction *acArchiveDelete = nullptr;
    QAction *acSelectAll = nullptr;
    QAction *acFind = nullptr;
    QAction *acSyncSelected = nullptr;
    QAction *acSaveToFile = nullptr;
    QAction *acPrintHeader = nullptr;
    QAction *acChannelsSendChannel = nullptr;
    QList<QAction *> alMainFrmActions;

    TfmUpdateProgressFrm *fmUpdateProgressFrm() const { return m_updateProgress; }
    TfmConfigFrm *fmConfigFrm() const { return m_config; }
    TfmAboutFrm *fmAboutFrm() const { return m_about; }

    // --- status bar ---
    static inline const QString ReadyText = QStringLiteral("Gotowe");
    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString &text);
    int statusPanelWidth(int panel) const;

    // IDownloadUi: panel 0 and the progress bar.
    void setStatusText(const QString &text) override;
    void progressBegin(qint64 expectedBytes) override;
    void progressWork(qint64 bytesSoFar) override;
    void progressEnd() override;

    // IReportSink: an error line in the report window.
    void ReportProblem(const QString &line) override;

    // Updates one channel now; refused while another update or download runs.
    void SyncChannel(ChannelNode *node, const QString &name);
    // A channel update is running (the program's events are served meanwhile).
    bool channelUpdateBusy() const;

    // The one way to navigate the item browser; errors are ignored.
    void NavigateContent(const QString &address);

    // A timer runs when its interval is not 0; setting 0 stops it.
    static void setTimerInterval(QTimer *timer, int milliseconds);

    // The program's home page and help page.
    static const QString HomePageUrl;
    static const QString HelpPageUrl;

public slots:
    // --- life ---
    void FormCreate();
    void FormShow();
    // The three saving steps, each guarded; closing is never refused.
    void FormCloseQuery();
    void Koniecpracy1Click();
    void ctTrayIconClick();
    // A close request from outside (the session ending, a termination signal): the program
    // saves and ends.
    void ApplicationEvents1Message();
    void Konfiguracja1Click();
    void Oprogramie1Click();
    void KolvaniwInternecie1Click();
    void imLink1Click();
    void imLink2Click();
    void Zmienazw1Click();
    void FormResize();
    void pnFillerResize();
    void sbStatusClick();
    void HandleAppException(QObject *sender, const QString &message);

    // Steps that later parts of the program fill.
    bool OpenArchive();
    bool LoadArchiveChannels();
    void ShowNewChannelWizard();
    void SelectFirstChannel();

    // --- browser events ---
    void wbContentBeforeNavigate2(QString &address, bool &cancel);
    void wbContentDocumentComplete(const QString &address);
    void wbContentProgressChange(int progress, int maximum);
    void wbContentStatusTextChange(const QString &text);
    void spBackClick();
    void spForwardClick();

    // --- actions ---
    void acChannelsAddExecute();
    void acChannelsGroupAddExecute();
    void acRemoveTreeItemExecute();
    void acChannelsEditExecute();
    void acChannelsEditChanelExecute();
    void acChannelsGetSelectedExecute();
    void acOpenInNewWindowExecute();
    void acCopyToClipBoardExecute();
    void acMarkAsReadExecute();
    void acMarkAsUnreadExecute();
    void acSendAsMailExecute();
    void acCopyLinkExecute();
    void acOpenLinkExecute();
    void acSyncAllExecute();
    void acAddToArchiveExecute();
    void acArchiveDeleteExecute();
    void acSelectAllExecute();
    void acFindExecute();
    void acSyncSelectedExecute();
    void acSaveToFileExecute();
    void acPrintHeaderExecute();
    void acChannelsSendChannelExecute();
    void sbChannelsAddClick();

    // Update handlers: each sets its actions' enabled state from the window's state.
    void acRemoveTreeItemUpdate();
    void acChannelsEditUpdate();
    void acChannelsEditChanelUpdate();
    void acChannelsGetSelectedUpdate();
    void acMarkAsReadUpdate();
    void acMarkAsUnreadUpdate();
    void acCopyToClipBoardUpdate();
    void acSyncAllUpdate();
    void acAddToArchiveUpdate();
    void acArchiveDeleteUpdate();
    void acSelectAllUpdate();
    // Runs every update handler; called when the program is idle and on state changes.
    void UpdateActions();
    // Asks for UpdateActions as soon as the current event is done.
    void scheduleActionUpdate();

signals:
    // Panel 2 changed (the report notice, the synchronisation notice).
    void statusNoticeChanged(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // MainFrmLayout.cpp
    void buildImageList();
    void buildLayout();
    QWidget *buildBanner();
    QWidget *buildMainTop();
    QWidget *buildLeftPanel();
    QWidget *buildMainPane();
    void buildStatusBar();
    void applyColumnImages();
    void placeProgressBar();
    // MainFrmActions.cpp
    void buildActions();
    void buildMenus();
    void buildTray();
    QAction *makeAction(const char *name, const QString &caption, const QString &hint,
                        const QKeySequence &shortcut, void (TfmMainFrm::*execute)());

    // MainFrmUnit.cpp
    void determineAppFolder();
    void buildSession(const UserFolder &folder);
    void lockUserData();
    bool loadChannelTree();
    void readStartSettings();
    void restorePlacement();
    void savePlacement();
    void saveClosingState();
    void requestQuit();
    void quitWhenIdle();
    bool closeActionChecked() const;
    bool dontShowChecked() const;
    void setCancelRequested();
    int selectedHeaderRowCount() const;
    class ChannelNode *selectedNode() const;
    void openAddress(const QString &address);

    MainFrmOptions m_options;
    UserFolder m_folder;
    std::unique_ptr<Session> m_session;
    IMessageBoxes *m_messageBoxes = nullptr;
    QList<QIcon> m_images;
    QList<QLabel *> m_statusPanels;
    QTimer *m_actionUpdate = nullptr;
    QTimer *m_idleUpdate = nullptr;
    TfmUpdateProgressFrm *m_updateProgress = nullptr;
    TfmConfigFrm *m_config = nullptr;
    TfmAboutFrm *m_about = nullptr;
    std::unique_ptr<UserDataLock> m_dataLock;
    bool m_startupFailed = false;
    bool m_formCreated = false;
    bool m_shownOnce = false;
    bool m_placementSaved = false;
    bool m_quitPending = false;
    bool m_ending = false;
    bool m_handlingException = false;
};
