#pragma once

// The handlers of the main window live with their parts: the map is at the top of
// MainFrmWiring.cpp.

#include "base/UserFolder.h"
#include "app/forms/MainFrmOptions.h"
#include "feed/ReportSink.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

struct ActionFacts;
struct AlertQueue;
class ArchiveController;
class BackupController;
class ChannelIcons;
class ChannelNode;
class ChannelTree;
class GatheredListController;
class HeaderListController;
class HeaderListModel;
class IMessageBoxes;
class ItemCommandsController;
class ItemViewController;
class ItemLookController;
class LiveSettings;
class MainStatusBar;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeView;
class ReadingKeysController;
class RemoteContentBar;
class Session;
class AccountSync;
class ChannelTreeSaver;
class SyncRunsController;
class TfmNotifyFrm;
class TreeEditingController;
struct NewChannelFrmEnv;
class UserDataLock;
class WebBrowser;
class XmlDocument;

// The main window: the layout, the action list and menus, the tray, the status bar and the
// life of the program; the parts on screen are controllers wired in createConnections().
// Creating it runs FormCreate; a start-up that must end the program sets startupFailed().
class TfmMainFrm : public QMainWindow, public IReportSink
{
    Q_OBJECT
public:
    explicit TfmMainFrm(const MainFrmOptions &options, QWidget *parent = nullptr);
    ~TfmMainFrm() override;

    void attachWindows(const MainFrmWindows &windows);

    bool startupFailed() const { return m_startupFailed; }
    IMessageBoxes &messageBoxes() const { return *m_messageBoxes; }
    const UserFolder &userFolder() const { return m_folder; }
    // What the new channel wizard subscribes into.
    NewChannelFrmEnv newChannelEnv() const;
    QIcon channelsImage(int index) const; // by ImageIndex

    // --- shared state, owned by the session and the controllers ---
    QString appFolder() const { return m_folder.root(); } // per-user folder, ends with "/"
    HeaderListModel &headerRows() const; // the rows, sortColumn and sortDescending
    ChannelTree *channelTree() const;                     // owns nodeDataBlocks
    ChannelTreeSaver *treeSaver() const; // writes the tree file after each change
    XmlDocument &xmlDocument() const;                     // the channel on show
    AlertQueue &alertQueue() const; // alertTitles, alertChannels, newItemCount
    bool channelUpdateBusy() const;
    bool syncAllRunning() const;
    bool cancelRequested() const;
    QTimer *tmUpdates() const;                                  // 0 = off
    // The settings of this run, for the windows that show and change them.
    LiveSettings &liveSettings() const;
    AccountSync &account() const; // the Tiny Tiny RSS account the settings dialog edits
    QTimer *tmMarkAsUnread() const; // the delayed read mark
    const QList<QAction *> &alMainFrmActions() const { return m_actions; }
    QString channelsListUrl;

    QString statusPanelText(int panel) const;
    void setStatusPanelText(int panel, const QString &text);
    // IReportSink: an error line in the report window.
    void ReportProblem(const QString &line) override;

    static const QString HomePageUrl, HelpPageUrl;
    // The size the window is laid out for, and the least it takes where the screen allows.
    static constexpr QSize LeastSize{800, 480};
    // The facts the actions depend on, and every action's state computed from them.
    ActionFacts actionFacts() const;
    void applyActionFacts(const ActionFacts &facts);

public slots:
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
    // An address handed to the program (its command line, a second start): the wizard
    // opens on its address page with it.
    void subscribeTo(const QString &address);
    void Oprogramie1Click();
    void KolvaniwInternecie1Click();
    void imLink1Click();
    void imLink2Click();
    void FormResize();
    void pnFillerResize();
    void HandleAppException(QObject *sender, const QString &message);
    // Recomputes every action's enabled state, once per event that changed a fact.
    void UpdateActions();
    void scheduleActionUpdate();

signals:
    // Panel 2 changed (the report notice, the synchronisation notice).
    void statusNoticeChanged(const QString &text);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
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
    // MainFrmActions.cpp
    void buildActions();
    void buildMenus();
    void buildTray();
    QAction *makeAction(const char *name, const QString &caption, const QString &hint,
                        const QKeySequence &shortcut);
    // MainFrmUnit.cpp
    void determineAppFolder();
    // MainFrmWiring.cpp
    void buildSession(const UserFolder &folder);
    void createConnections();
    void connectArchive();
    void connectItemCommands();
    void connectReadingKeys();
    void connectAlerts();
    // MainFrmBackups.cpp
    void connectBackups();
    void connectGatheredList();
    void alertClicked(int channelRow, const QString &itemTitle);
    void lockUserData();
    bool loadChannelTree();
    void readStartSettings();
    void fitLeastSizeToScreen();
    void restorePlacement();
    void savePlacement();
    void offerFirstChannel();
    // Mapped, placed and not minimised: what the user can see and answer.
    bool onScreen() const;
    void saveClosingState();
    void stopTimers();
    void requestQuit();
    void quitWhenIdle();
    bool closeActionChecked() const;
    bool dontShowChecked() const;
    void setCancelRequested();
    void sbStatusClick();
    void openAddress(const QString &address);
    bool OpenArchive();
    void LoadArchiveChannels();
    void ShowNewChannelWizard();

    // --- controls ---
    QWidget *pnBanner = nullptr, *pnFiller = nullptr, *pnTopMenu = nullptr, *pnMainTop = nullptr;
    QLabel *imLogo = nullptr, *imLogoEnd = nullptr, *imFiller = nullptr, *imTopMenu = nullptr;
    QLabel *imLink1 = nullptr, *imLink2 = nullptr, *lbName = nullptr;
    QToolButton *spAddChannel = nullptr, *spRefresh = nullptr, *spRefreshAll = nullptr;
    QSplitter *spLeft = nullptr, *spMain = nullptr;
    QTabWidget *pcLeftPanel = nullptr;
    QWidget *tsChannels = nullptr, *pnChannelsTop = nullptr, *tsArchive = nullptr;
    QToolButton *sbChannelsAdd = nullptr, *sbChannelsDelete = nullptr, *SpeedButton1 = nullptr;
    QToolButton *sbShowAllArchive = nullptr;
    QTreeView *tvChannels = nullptr, *lvArchiveCategories = nullptr, *lvHeaders = nullptr;
    QWidget *pnMainPane = nullptr, *pnTop = nullptr, *pnFind = nullptr, *pnBottom = nullptr;
    QLabel *imFilterIcon = nullptr, *lbKeyWord = nullptr;
    QLineEdit *edKeyWord = nullptr;
    QPushButton *btFilter = nullptr;
    QCheckBox *cbAllArchiveFilter = nullptr, *cbUnreadOnly = nullptr;
    QWidget *pnBrowswerButtons = nullptr, *pnAmination = nullptr;
    QToolButton *spBack = nullptr, *spForward = nullptr, *spNewWindow = nullptr;
    QToolButton *sbAddToArchive = nullptr, *sbArchiveDelete = nullptr;
    WebBrowser *wbContent = nullptr;
    RemoteContentBar *pnRemoteContent = nullptr; // above wbContent while remote content is held
    MainStatusBar *sbStatus = nullptr;
    QSystemTrayIcon *ctTrayIcon = nullptr;
    // --- menus; Koniecpracy2 and the other "...2" entries stand in the tray menu ---
    QMenu *mnPlik = nullptr, *mnNarzedzia = nullptr, *mnNaglowek = nullptr, *mnPomoc = nullptr;
    QMenu *mnChannelsAdd = nullptr, *mnChannels = nullptr, *mnHeaders = nullptr, *mnTray = nullptr;
    QAction *Koniecpracy1 = nullptr, *Koniecpracy2 = nullptr, *Konfiguracja1 = nullptr;
    QAction *Konfiguracjaprogramu1 = nullptr, *Pokazprogram1 = nullptr, *Oprogramie1 = nullptr;
    QAction *KolvaniwInternecie1 = nullptr, *Zmienazw1 = nullptr;
    QAction *Usun1 = nullptr;          // acRemoveTreeItem in the tree's menu, Del
    QAction *Usunzarchiwum1 = nullptr; // acArchiveDelete in the header menu, Del
    // --- action list alMainFrmActions ---
    QAction *acChannelsAdd = nullptr, *acChannelsGroupAdd = nullptr, *acRemoveTreeItem = nullptr;
    QAction *acChannelsEdit = nullptr, *acChannelsEditChanel = nullptr;
    QAction *acChannelsGetSelected = nullptr, *acOpenInNewWindow = nullptr;
    QAction *acCopyToClipBoard = nullptr, *acMarkAsRead = nullptr, *acMarkAsUnread = nullptr;
    QAction *acSendAsMail = nullptr, *acCopyLink = nullptr, *acOpenLink = nullptr;
    QAction *acSyncAll = nullptr, *acAddToArchive = nullptr, *acArchiveDelete = nullptr;
    QAction *acSelectAll = nullptr, *acFind = nullptr, *acSyncSelected = nullptr;
    QAction *acSaveToFile = nullptr, *acPrintHeader = nullptr, *acChannelsSendChannel = nullptr;
    QList<QAction *> m_actions;

    MainFrmOptions m_options;
    UserFolder m_folder;
    std::unique_ptr<Session> m_session;
    SyncRunsController *m_syncRuns = nullptr;
    ItemViewController *m_itemView = nullptr;
    ItemLookController *m_itemLook = nullptr;
    ChannelIcons *m_channelIcons = nullptr;
    HeaderListController *m_headerList = nullptr;
    GatheredListController *m_gatheredList = nullptr;
    TreeEditingController *m_treeEditing = nullptr;
    ArchiveController *m_archive = nullptr;
    ItemCommandsController *m_itemCommands = nullptr;
    BackupController *m_backups = nullptr;
    ReadingKeysController *m_readingKeys = nullptr;
    TfmNotifyFrm *m_notify = nullptr; // a window of its own, deleted with this one
    IMessageBoxes *m_messageBoxes = nullptr;
    QList<QIcon> m_images;
    QTimer *m_actionUpdate = nullptr;
    MainFrmWindows m_windows;
    QPointer<TfmUpdateProgressFrm> m_reportWindow; // its size is saved with the placement
    std::unique_ptr<UserDataLock> m_dataLock;
    bool m_startupFailed = false, m_formCreated = false, m_shownOnce = false;
    bool m_placementSaved = false, m_quitPending = false, m_ending = false;
    bool m_handlingException = false;
    bool m_firstChannelOfferPending = false; // asked once the window is on the screen
    QRect m_pendingNormalPlace; // started minimised: the stored place, taken once it is opened
};
