#pragma once

#include <QObject>
#include <QString>

class ChannelNode;
class ChannelTree;
class ChannelUpdater;
class DocumentDownloader;
class IReportSink;
class QAction;
class QAbstractItemView;
class QWidget;
struct ActionFacts;

// Updating channels from the window: one channel on request, runs over the whole tree.
// Drives the actions it is handed; owns no widget.
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
    };
    SyncRunsController(const Widgets &widgets, ChannelTree &tree, ChannelUpdater &updater,
                       DocumentDownloader &downloader, IReportSink &report, QObject *parent);

    bool syncAllRunning() const { return m_syncAllRunning; }
    // acSyncAllUpdate and acChannelsGetSelectedUpdate.
    void updateActions(const ActionFacts &facts);

public slots:
    void acSyncAllExecute();
    void acSyncSelectedExecute();
    void acChannelsGetSelectedExecute();
    // Updates one channel now; refused while another update or download runs.
    void SyncChannel(ChannelNode *node, const QString &name);
    void SyncAllChannels();
    void tmUpdatesTimer();

signals:
    // After a single update, failed or not: the header list shows the channel's file.
    void channelSynced(ChannelNode *node);
    // Something the actions depend on changed.
    void stateChanged();

private:
    Widgets m_w;
    ChannelTree &m_tree;
    ChannelUpdater &m_updater;
    DocumentDownloader &m_downloader;
    IReportSink &m_report;
    bool m_syncAllRunning = false;
};
