#pragma once

#include <QObject>
#include <QString>

class ChannelNode;
class ChannelTree;
class ChannelUpdater;
class DocumentDownloader;
class IReportSink;
class LiveSettings;
class MainStatusBar;
class QAbstractItemView;
class QAction;
class QSystemTrayIcon;
class QWidget;
class SyncRun;
class TfmUpdateProgressFrm;
struct ActionFacts;

// Updating channels from the window: one channel on request, runs over the whole tree from
// the command and from the timer. Drives the widgets it is handed; owns none.
class SyncRunsController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QAction *acSyncAll = nullptr;
        QAction *acSyncSelected = nullptr;
        QAction *acChannelsGetSelected = nullptr;
        QAbstractItemView *tvChannels = nullptr;
        QWidget *lvHeaders = nullptr;
        MainStatusBar *sbStatus = nullptr;
        QSystemTrayIcon *ctTrayIcon = nullptr;
    };
    static inline const QString RunNotice = QStringLiteral("Synchronizacja ...");

    SyncRunsController(const Widgets &widgets, ChannelTree &tree, ChannelUpdater &updater,
                       DocumentDownloader &downloader, SyncRun &run, const LiveSettings &settings,
                       IReportSink &report, QObject *parent);

    // The report window, once it exists; runs show their lines and progress in it.
    void setReportWindow(TfmUpdateProgressFrm *report);
    // The main window has been on the screen: from now on a run opens the report window,
    // also while the window is hidden in the tray.
    void mainWindowShown() { m_mainWindowShown = true; }

    bool syncAllRunning() const;
    // acSyncAllUpdate and acChannelsGetSelectedUpdate.
    void updateActions(const ActionFacts &facts);

public slots:
    void acSyncAllExecute();
    void acSyncSelectedExecute();
    void acChannelsGetSelectedExecute();
    // Updates one channel now. Asked during another update, it runs once that update (or
    // the run it belongs to) has returned, if the node is still in the tree.
    void SyncChannel(ChannelNode *node, const QString &name);
    void SyncAllChannels();
    void tmUpdatesTimer();

signals:
    // After a single update, failed or not: the header list shows the channel's file.
    void channelSynced(ChannelNode *node);
    // A run's channel was updated; the header list refills it when it is on show.
    void channelUpdated(ChannelNode *node);
    // A run ended with new items and the alerts are on: the first alert plays now.
    void firstAlertDue();
    // A run ended with new items: the selected node's headers are shown again.
    void tvChannelsChangeRequested();
    // Something the actions depend on changed.
    void stateChanged();

private:
    void runStarted(int total);
    void runFinished(int newItems);
    void runningChanged(bool running);
    void syncWaitingChannel();

    Widgets m_w;
    ChannelTree &m_tree;
    ChannelUpdater &m_updater;
    DocumentDownloader &m_downloader;
    SyncRun &m_run;
    const LiveSettings &m_settings; // the report window's choice and the alerts' choice
    IReportSink &m_report;
    TfmUpdateProgressFrm *m_reportWindow = nullptr;
    bool m_mainWindowShown = false;
    bool m_quietRun = false; // a timer run: no report window, no error box
    ChannelNode *m_waitingNode = nullptr;
    QString m_waitingName;
};
