#pragma once

#include "app/UserFolder.h"

#include <QString>

#include <functional>
#include <memory>

struct AlertQueue;
class ArchiveItemDocument;
class ArchiveStore;
struct TreeLoadResult;
class ChannelTree;
class ChannelUpdater;
class DocumentDownloader;
class IDownloadUi;
class IReportSink;
class ShownChannel;

// What the program holds while it runs, one owner per piece: the channel tree, the channel
// on show, the alert queue, the downloader and the updater. No widgets: the window shows
// each piece, the command-line synchronisation uses the same object.
class Session
{
public:
    // Lines of downloads and updates go to `report`, which must outlive the session.
    Session(const UserFolder &folder, IReportSink &report);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const UserFolder &folder() const { return m_folder; }
    ChannelTree &channelTree() { return *m_tree; }
    ShownChannel &shownChannel() { return *m_shown; }
    AlertQueue &alertQueue() { return *m_alerts; }
    DocumentDownloader &downloader() { return *m_downloader; }
    ChannelUpdater &updater() { return *m_updater; }
    // The archive, once openArchive has succeeded; until then the calls below must not be made.
    ArchiveStore &archive() { return *m_archive; }
    ArchiveItemDocument &archiveItems() { return *m_archiveItems; }
    bool archiveOpen() const { return m_archive != nullptr; }

    // Where the downloads of updates show their status and progress; null shows nothing.
    void setDownloadUi(IDownloadUi *ui);
    // Reads the tree file into the tree through the shared document, which is closed again
    // on failure. `status` receives panel-0 texts of a long load.
    TreeLoadResult loadChannelTree(const std::function<void(const QString &)> &status = {});
    // Opens data/archive.mdb and parses the archive item document. Raises ArchiveError or
    // XmlError; the archive stays closed then.
    void openArchive();

private:
    class UpdateHost;

    UserFolder m_folder;
    std::unique_ptr<AlertQueue> m_alerts;
    std::unique_ptr<ChannelTree> m_tree;
    std::unique_ptr<ShownChannel> m_shown;
    std::unique_ptr<DocumentDownloader> m_downloader;
    std::unique_ptr<UpdateHost> m_host;
    std::unique_ptr<ChannelUpdater> m_updater;
    std::unique_ptr<ArchiveStore> m_archive;
    std::unique_ptr<ArchiveItemDocument> m_archiveItems;
};
