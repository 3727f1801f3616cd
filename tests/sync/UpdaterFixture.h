#pragma once

#include "alerts/AlertQueue.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "support/TestFiles.h"
#include "support/TestUserFolder.h"
#include "sync/ChannelUpdater.h"
#include "xml/XmlDocument.h"

#include <QMutex>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

inline const QString ChannelGuid = QStringLiteral("{0A1B2C3D-0000-4000-8000-00000000ABCD}");

// Downloads for real and keeps the reports; follows the updater and the shown channel as
// the window does.
class UpdaterHost : public IChannelUpdateHost
{
public:
    UpdaterHost()
    {
        downloader.setReportSink(this);
        QObject::connect(&shownChannel, &ShownChannel::replacing, &shownChannel,
                         [this](bool replacing) {
                             headersEnabled = !replacing;
                             headersDisabledCount += replacing;
                         });
        QObject::connect(&shownChannel, &ShownChannel::reloaded, &shownChannel,
                         [this] { ++refreshCount; });
    }
    void watch(ChannelUpdater *watched)
    {
        updater = watched;
        QObject::connect(watched, &ChannelUpdater::busyChanged, watched,
                         [this](bool busy) { syncSelectedEnabled = !busy; });
    }

    int DownloadDocument(const QString &url, const QString &target, const QString &user,
                         const QString &password) override
    {
        busyDuringDownload = updater && updater->channelUpdateBusy();
        return downloader.DownloadDocument(url, target, nullptr, user, password);
    }
    // As the program's hosts do: the update learns what the reply said beyond the document.
    ChannelFetch FetchChannel(const QString &url, const QString &target, const QString &user,
                              const QString &password, const HttpValidators &conditions) override
    {
        busyDuringDownload = updater && updater->channelUpdateBusy();
        return downloader.FetchChannel(url, target, nullptr, user, password, conditions);
    }
    void ReportProblem(const QString &line) override { reports.append(line); }

    DocumentDownloader downloader;
    ShownChannel shownChannel;
    XmlDocument &shown = shownChannel.document();
    ChannelUpdater *updater = nullptr;
    QStringList reports;
    bool syncSelectedEnabled = true;
    bool headersEnabled = true;
    bool busyDuringDownload = false;
    int headersDisabledCount = 0;
    int refreshCount = 0;
};

// One channel updated into a temporary per-user folder from a loopback server that answers
// as the test says (a 500 until it does).
class UpdaterFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        appFolder = makeUserFolder(home.path());
        ASSERT_FALSE(appFolder.isEmpty());
        folder = UserFolder(appFolder);
        server.setHandler([this](const LoopbackRequest &request) {
            QMutexLocker lock(&mutex);
            return reply ? reply(request) : LoopbackReply::http("500 Internal Server Error", "");
        });
        ASSERT_TRUE(server.start());
        newUpdater();
        channel.GUID = ChannelGuid;
        channel.url = server.url(QStringLiteral("/feed.xml"));
    }

    // The handler runs in the server's thread, under the fixture's mutex.
    void answer(std::function<LoopbackReply(const LoopbackRequest &)> handler)
    {
        QMutexLocker lock(&mutex);
        reply = std::move(handler);
    }
    // A new updater over the same folder, as at the program's next start.
    void newUpdater()
    {
        updater = std::make_unique<ChannelUpdater>(folder, host, host.shownChannel, alerts);
        host.watch(updater.get());
    }

    QString cacheFile() const { return folder.cacheFile(ChannelGuid); }
    QByteArray cacheBytes() const { return readAll(cacheFile()); }

    // The user reads an item: its mark is written into the cache file.
    void markRead(const QString &title)
    {
        XmlDocument doc;
        doc.loadFromFile(cacheFile());
        XmlNode channelNode = doc.documentElement().findChild(QStringLiteral("channel"));
        for (XmlNode n = channelNode.firstChild(); n; n = n.nextSibling())
            if (n.localName() == QLatin1String("item") &&
                n.findChild(QStringLiteral("title")).text() == title)
                n.child(QStringLiteral("unread")).setText(QStringLiteral("0"));
        doc.save();
    }

    QTemporaryDir home;
    QString appFolder; // ends with "/"
    UserFolder folder;
    QMutex mutex;
    std::function<LoopbackReply(const LoopbackRequest &)> reply;
    LoopbackServer server;
    UpdaterHost host;
    AlertQueue alerts;
    TtvChannel channel;
    std::unique_ptr<ChannelUpdater> updater;
};
