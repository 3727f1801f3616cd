#include "app/forms/MainFrmUnit.h"

#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"

#include <QAction>
#include <QTreeView>

// The channel update's view of the window: downloads report to the status bar, the
// header list and the browser follow the shown channel.

int TfmMainFrm::DownloadDocument(const QString &url, const QString &targetFile, const QString &user,
                                 const QString &password)
{
    return downloader->DownloadDocument(url, targetFile, this, user, password);
}

void TfmMainFrm::setSyncSelectedEnabled(bool enabled)
{
    acSyncSelected->setEnabled(enabled);
}

void TfmMainFrm::setHeadersEnabled(bool enabled)
{
    lvHeaders->setEnabled(enabled);
}

void TfmMainFrm::refreshContent()
{
    wbContent->Refresh();
}

bool TfmMainFrm::channelUpdateBusy() const
{
    return channelUpdater->channelUpdateBusy();
}

void TfmMainFrm::SyncChannel(ChannelNode *node, const QString &name)
{
    if (!node || !node->channel())
        return;
    // Events are served during an update: a second one must not start meanwhile.
    if (channelUpdateBusy() || downloader->busy())
        return;
    if (channelUpdater->UpdateChannel(*node->channel(), name) == -1)
        ReportProblem(QStringLiteral("Nie można odświeżyć widoku kanału ") + name);
    lvHeaders->setFocus();
    scheduleActionUpdate();
}
