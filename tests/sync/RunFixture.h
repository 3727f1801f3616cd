#pragma once

#include "app/Session.h"
#include "catalogue/ChannelTree.h"
#include "support/DownloadTestUtil.h"
#include "support/TestUserFolder.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncRun.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// The GUID of the n-th channel made by RunFixture::channel, from 1.
inline QString guidOf(int n)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(n, 12, 10, QLatin1Char('0'));
}

// A temporary per-user folder with a session over it, for runs over the session's tree.
class RunFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_FALSE(makeUserFolder(home.path()).isEmpty());
        session = std::make_unique<Session>(UserFolder(home.path()), sink);
    }

    // An enabled (or not) channel under `parent`, with the next GUID.
    ChannelNode *channel(ChannelNode *parent, const QString &name, const QString &url,
                         bool enabled = true)
    {
        ChannelNode *node = session->channelTree().addNode(parent, name, NodeKind::Channel);
        node->channel()->url = url;
        node->channel()->enabled = enabled;
        node->channel()->GUID = guidOf(++channels);
        return node;
    }
    ChannelNode *root() { return session->channelTree().root(); }
    SyncRun &run() { return session->syncRun(); }
    // A channel's update has begun: a cancel now comes during it, not before it.
    bool updating() { return session->updater().channelUpdateBusy(); }
    QString cacheFileOf(int n) const { return session->folder().cacheFile(guidOf(n)); }

    QTemporaryDir home;
    RecordingSink sink; // the session's report
    std::unique_ptr<Session> session;
    int channels = 0;
};
