#include "app/Session.h"

#include "alerts/AlertQueue.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveStore.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/DocumentDownloader.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "sync/ChannelUpdater.h"
#include "xml/XmlDocument.h"

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
    void ReportProblem(const QString &line) override { m_report.ReportProblem(line); }

    IDownloadUi *m_ui = nullptr;

private:
    DocumentDownloader &m_downloader;
    IReportSink &m_report;
};

Session::Session(const UserFolder &folder, IReportSink &report)
    : m_folder(folder),
      m_alerts(std::make_unique<AlertQueue>()),
      m_tree(std::make_unique<ChannelTree>()),
      m_shown(std::make_unique<ShownChannel>()),
      m_downloader(std::make_unique<DocumentDownloader>())
{
    m_downloader->setReportSink(&report);
    m_host = std::make_unique<UpdateHost>(*m_downloader, report);
    m_updater = std::make_unique<ChannelUpdater>(m_folder, *m_host, *m_shown, *m_alerts);
}

Session::~Session() = default;

void Session::setDownloadUi(IDownloadUi *ui)
{
    m_host->m_ui = ui;
}

TreeLoadResult Session::loadChannelTree(const std::function<void(const QString &)> &status)
{
    XmlDocument &document = m_shown->document();
    const TreeLoadResult result =
        LoadChannelTree(*m_tree, document, m_folder.treeFile(), status);
    if (!result.ok)
        document.setActive(false);
    return result;
}

void Session::openArchive()
{
    auto items = std::make_unique<ArchiveItemDocument>();
    m_archive = ArchiveStore::open(m_folder.archiveFile());
    m_archiveItems = std::move(items);
}
