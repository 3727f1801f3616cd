#include "app/Session.h"

#include "app/UserBackups.h"

#include "account/AccountSync.h"

#include "base/LiveSettings.h"
#include "alerts/AlertPlayback.h"
#include "alerts/AlertQueue.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveStore.h"
#include "archive/ArchiveView.h"
#include "archive/OldArchive.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "feed/DocumentDownloader.h"
#include "base/ProxySettings.h"
#include "feed/ReportSink.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemLook.h"
#include "reading/GatheredItems.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "sync/ChannelUpdater.h"
#include "sync/FetchAhead.h"
#include "sync/SyncRun.h"
#include "xml/XmlDocument.h"

#include <QFile>

// An update downloads through the session's downloader and reports to the session's sink.
class Session::UpdateHost : public IChannelUpdateHost
{
public:
    UpdateHost(DocumentDownloader &downloader, IReportSink &report)
        : m_downloader(downloader), m_report(report)
    {
    }

    int DownloadDocument(const QString &url, const QString &targetFile, const QString &user,
                         const QString &password) override
    {
        return m_downloader.DownloadDocument(url, targetFile, m_ui, user, password);
    }
    ChannelFetch FetchChannel(const QString &url, const QString &targetFile, const QString &user,
                              const QString &password, const HttpValidators &conditions) override
    {
        // The account's channels take their items from its server.
        if (m_account && m_account->ownsDownload(targetFile))
            return m_account->fetch(targetFile);
        const FetchAhead::Job job{url, targetFile, user, password, conditions};
        if (m_ahead && m_ahead->has(job)) {
            // Fetched during the updates before: its lines come now, in the run's order.
            const FetchAhead::Result result = m_ahead->take(job, m_ui);
            for (const QString &line : result.reports)
                m_report.ReportProblem(line);
            return result.fetch;
        }
        return m_downloader.FetchChannel(url, targetFile, m_ui, user, password, conditions);
    }
    void ReportProblem(const QString &line) override { m_report.ReportProblem(line); }

    IDownloadUi *m_ui = nullptr;
    std::unique_ptr<FetchAhead> m_ahead;
    AccountSync *m_account = nullptr;

private:
    DocumentDownloader &m_downloader;
    IReportSink &m_report;
};

Session::Session(const UserFolder &folder, IReportSink &report)
    : m_folder(folder),
      m_report(report),
      m_backups(std::make_unique<UserBackups>(folder)),
      m_live(std::make_unique<LiveSettings>()),
      m_alerts(std::make_unique<AlertQueue>()),
      m_tree(std::make_unique<ChannelTree>()),
      m_treeSaver(std::make_unique<ChannelTreeSaver>(*m_tree, folder.treeFile())),
      m_itemLook(std::make_unique<ItemLook>()),
      m_shown(std::make_unique<ShownChannel>()),
      m_rowsOnShow(std::make_unique<RowsOnShow>()),
      m_gatheredItems(std::make_unique<GatheredItems>()),
      m_unreadCounts(std::make_unique<UnreadCounts>()),
      m_downloader(std::make_unique<DocumentDownloader>())
{
    m_downloader->setReportSink(&report);
    m_host = std::make_unique<UpdateHost>(*m_downloader, report);
    m_updater = std::make_unique<ChannelUpdater>(m_folder, *m_host, *m_shown, *m_alerts);
    m_syncRun = std::make_unique<SyncRun>(*m_tree, *m_updater, *m_alerts);
    m_account = std::make_unique<AccountSync>(m_folder, *m_tree, *m_shown, report);
    m_host->m_account = m_account.get();
    m_syncRun->setRunHooks([this] { m_account->beginRun(); }, [this] { m_account->endRun(); });
    m_shown->setFolder(m_folder);
    m_shown->setLook(m_itemLook.get());
    m_gatheredItems->setLook(m_itemLook.get());
    m_gatheredItems->setFolder(m_folder);
    m_shown->setDownloadsInUse(
        [this] { return m_updater->channelUpdateBusy() || m_syncRun->syncAllRunning(); });
    m_alertPlayback = std::make_unique<AlertPlayback>(*m_alerts, *m_tree);
    setProxyProvider([live = m_live.get()] { return live->proxy(); });
    QObject::connect(m_live.get(), &LiveSettings::changed, m_syncRun.get(), [this] {
        m_syncRun->setSchedule(m_live->updateInterval());
        m_updater->setKeptItemDays(m_live->values().keptItemDays());
    });
    QObject::connect(m_syncRun.get(), &SyncRun::runningChanged, m_syncRun.get(),
                     [this](bool running) {
                         // Before the run changes anything: the state of the day's first run.
                         if (running)
                             makeDailyBackup();
                         fetchAhead(running);
                     });
    // An update stamps its channel's last update; a run's stamps are written once, at its end.
    QObject::connect(m_updater.get(), &ChannelUpdater::busyChanged, m_treeSaver.get(),
                     [this](bool busy) {
                         if (!busy)
                             m_treeSaver->noteChanged();
                     });
    QObject::connect(m_syncRun.get(), &SyncRun::runningChanged, m_treeSaver.get(),
                     [this](bool running) {
                         if (running)
                             m_treeSaver->hold();
                         else
                             m_treeSaver->release();
                     });
    QObject::connect(m_syncRun.get(), &SyncRun::cancelled, m_syncRun.get(), [this] {
        if (m_host->m_ahead)
            m_host->m_ahead->cancel();
    });
}

void Session::setProxyProvider(std::function<ProxySettings()> provider)
{
    m_proxyProvider = provider;
    m_downloader->setProxyProvider(std::move(provider));
}

void Session::fetchAhead(bool running)
{
    // A run ending, however it ends, stops what is left and removes its files.
    m_host->m_ahead.reset();
    if (!running)
        return;
    m_host->m_ahead =
        std::make_unique<FetchAhead>(m_proxyProvider ? m_proxyProvider() : ProxySettings());
    m_host->m_ahead->setBusyHostLimit(m_live->values().hostConnections);
    std::vector<FetchAhead::Job> jobs;
    for (ChannelNode *node : m_tree->channelsInPreOrder()) {
        const TtvChannel *channel = node->channel();
        if (channel && m_syncRun->willUpdate(*channel) && !m_account->owns(*channel))
            jobs.push_back({channel->url, m_folder.downloadFile(channel->GUID), channel->username,
                            channel->password, m_updater->conditionsFor(*channel)});
    }
    m_host->m_ahead->enqueue(jobs);
}

Session::~Session() = default;

HeaderListModel &Session::headerRows()
{
    return m_rowsOnShow->model();
}

bool Session::makeDailyBackup()
{
    if (!m_treeSaver->started())
        return false;
    try {
        return m_backups->makeDailyIfDue(*m_tree);
    } catch (const BackupError &e) {
        m_report.ReportProblem(e.message());
        return false;
    }
}

void Session::setDownloadUi(IDownloadUi *ui)
{
    m_host->m_ui = ui;
}

TreeLoadResult Session::loadChannelTree(const std::function<void(const QString &)> &status)
{
    XmlDocument &document = m_shown->document();
    const TreeLoadResult result =
        LoadChannelTree(*m_tree, document, m_folder.treeFile(), status);
    document.setActive(false);
    document.setFileName(QString());
    if (result.ok)
        m_treeSaver->start();
    m_syncRun->channelIntervalsChanged();
    return result;
}

void Session::openArchive()
{
    auto items = std::make_unique<ArchiveItemDocument>();
    const QString path = m_folder.archiveFile();
    // The older program's archive cannot be opened: it is kept under another name and the
    // program starts with an empty one instead of refusing every start.
    if (IsJetArchive(path)) {
        const QString moved = MoveOldArchiveAside(path, QDate::currentDate());
        try {
            ArchiveStore::create(path);
        } catch (const ArchiveError &) {
            QFile::rename(moved, path);
            throw;
        }
        m_movedOldArchive = moved;
    }
    m_archive = ArchiveStore::open(path);
    m_archiveItems = std::move(items);
    m_archiveView = std::make_unique<ArchiveView>(*m_archive, *m_archiveItems, m_folder);
    m_archiveView->setLook(m_itemLook.get());
}
