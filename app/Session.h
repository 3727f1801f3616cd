#pragma once

#include "base/UserFolder.h"

#include <QString>

#include <functional>
#include <memory>

class AccountSync;
struct AlertQueue;
struct ProxySettings;
class AlertPlayback;
class ArchiveItemDocument;
class ArchiveStore;
class ArchiveView;
struct TreeLoadResult;
class ChannelTree;
class ChannelTreeSaver;
class ChannelUpdater;
class HeaderListModel;
class LiveSettings;
class DocumentDownloader;
class IDownloadUi;
class IReportSink;
struct ItemLook;
class GatheredItems;
class RowsOnShow;
class ShownChannel;
class SyncRun;
class UnreadCounts;
class UserBackups;

// What the program holds while it runs, one owner per piece: the channel tree, the channel
// on show, the alert queue and its playback, the downloader, the updater and the runs over the tree. No widgets: the
// window shows each piece, the command-line synchronisation uses the same object.
class Session
{
public:
    // Lines of downloads and updates go to `report`, which must outlive the session.
    Session(const UserFolder &folder, IReportSink &report);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const UserFolder &folder() const { return m_folder; }
    // The settings of this run; the runs' timer and every download's proxy follow them.
    LiveSettings &liveSettings() { return *m_live; }
    ChannelTree &channelTree() { return *m_tree; }
    // Writes data/tvChannels.xml after every change of the tree, once the tree is loaded.
    ChannelTreeSaver &treeSaver() { return *m_treeSaver; }
    ShownChannel &shownChannel() { return *m_shown; }
    // The rows on show in the header list and where their items come from.
    RowsOnShow &rowsOnShow() { return *m_rowsOnShow; }
    HeaderListModel &headerRows();
    // How items are shown (dark sheets, zoom); both item sources read it.
    ItemLook &itemLook() { return *m_itemLook; }
    // Where the items of rows gathered from several channels live.
    GatheredItems &gatheredItems() { return *m_gatheredItems; }
    UnreadCounts &unreadCounts() { return *m_unreadCounts; }
    AlertQueue &alertQueue() { return *m_alerts; }
    // The alerts of the last run, played one after another.
    AlertPlayback &alertPlayback() { return *m_alertPlayback; }
    DocumentDownloader &downloader() { return *m_downloader; }
    ChannelUpdater &updater() { return *m_updater; }
    SyncRun &syncRun() { return *m_syncRun; }
    // The Tiny Tiny RSS account: its channels and read marks are kept with the server.
    AccountSync &account() { return *m_account; }
    // The archive, once openArchive has succeeded; until then the calls below must not be made.
    ArchiveStore &archive() { return *m_archive; }
    ArchiveItemDocument &archiveItems() { return *m_archiveItems; }
    // The archive as the header list shows it.
    ArchiveView &archiveView() { return *m_archiveView; }
    bool archiveOpen() const { return m_archive != nullptr; }
    // The copies of the tree, the settings and the archive in data/backup/.
    UserBackups &backups() { return *m_backups; }
    // The copy of the day, at the first start or run of the day, once the tree is loaded. A
    // copy that cannot be made is removed and said to the report sink. True when one was made.
    bool makeDailyBackup();

    // The proxy of every download, read before each one (and once per run for the downloads
    // fetched ahead). The live settings' proxy until this is called.
    void setProxyProvider(std::function<ProxySettings()> provider);
    // Where the downloads of updates show their status and progress; null shows nothing.
    void setDownloadUi(IDownloadUi *ui);
    // Reads the tree file into the tree through the shared document, which is closed again
    // afterwards: written back as a channel it would be spoilt. `status` receives panel-0
    // texts of a long load. Once loaded, every change of the tree reaches the file (a run's
    // stamps once, at its end); a failed load leaves the file to the caller.
    TreeLoadResult loadChannelTree(const std::function<void(const QString &)> &status = {});
    // Opens data/archive.mdb and parses the archive item document. Raises ArchiveError or
    // XmlError; the archive stays closed then. The older program's archive file is moved
    // aside first and an empty archive made in its place.
    void openArchive();
    // Where openArchive moved the older program's archive; empty when it moved none.
    const QString &movedOldArchive() const { return m_movedOldArchive; }

private:
    class UpdateHost;
    void fetchAhead(bool running);

    UserFolder m_folder;
    IReportSink &m_report;
    QString m_movedOldArchive;
    std::unique_ptr<UserBackups> m_backups;
    std::unique_ptr<LiveSettings> m_live;
    std::unique_ptr<AlertQueue> m_alerts;
    std::unique_ptr<ChannelTree> m_tree;
    std::unique_ptr<ChannelTreeSaver> m_treeSaver;
    std::unique_ptr<ItemLook> m_itemLook;
    std::unique_ptr<ShownChannel> m_shown;
    std::unique_ptr<RowsOnShow> m_rowsOnShow;
    std::unique_ptr<GatheredItems> m_gatheredItems;
    std::unique_ptr<UnreadCounts> m_unreadCounts;
    std::unique_ptr<DocumentDownloader> m_downloader;
    std::unique_ptr<UpdateHost> m_host;
    std::unique_ptr<ChannelUpdater> m_updater;
    std::unique_ptr<SyncRun> m_syncRun;
    std::unique_ptr<AccountSync> m_account;
    std::unique_ptr<AlertPlayback> m_alertPlayback;
    std::function<ProxySettings()> m_proxyProvider;
    std::unique_ptr<ArchiveStore> m_archive;
    std::unique_ptr<ArchiveItemDocument> m_archiveItems;
    std::unique_ptr<ArchiveView> m_archiveView;
};
