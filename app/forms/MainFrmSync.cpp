// Updating one channel from the window.

#include "app/forms/MainFrmUnit.h"

#include "app/forms/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "app/Session.h"
#include "feed/DocumentDownloader.h"
#include "sync/ChannelUpdater.h"

#include <QAction>
#include <QTreeView>

bool TfmMainFrm::channelUpdateBusy() const
{
    return m_session && m_session->updater().channelUpdateBusy();
}

void TfmMainFrm::SyncChannel(ChannelNode *node, const QString &name)
{
    if (!node || !node->channel())
        return;
    // Events are served during an update: a second one must not start meanwhile.
    if (channelUpdateBusy() || m_session->downloader().busy())
        return;
    if (m_session->updater().update(*node->channel(), name).outcome == UpdateOutcome::Failed)
        ReportProblem(QStringLiteral("Nie można odświeżyć widoku kanału ") + name);
    lvHeaders->setFocus();
    scheduleActionUpdate();
}
