#pragma once

#include "feed/DocumentDownloader.h"
#include "base/ProxySettings.h"
#include "support/DownloadTestUtil.h"
#include "support/LoopbackServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A downloader that reports into `sink`, shows into `ui` and asks `proxy` for its proxy,
// beside a started loopback server and a temporary folder for the files it writes.
// A derived SetUp calls this one first and returns when it failed.
class DownloadFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
        downloader.setReportSink(&sink);
        downloader.setProxyProvider([this] { return proxy; });
    }

    // Downloads into target(); an address that is only a path ("/feed.xml") is asked of
    // `server`. The UI records this download alone.
    int download(const QString &address, const QString &user = QString(),
                 const QString &password = QString())
    {
        ui.events.clear();
        const QString url = address.startsWith(QLatin1Char('/')) ? server.url(address) : address;
        return downloader.DownloadDocument(url, target(), &ui, user, password);
    }

    QString target() const { return dir.filePath(QStringLiteral("doc.xml")); }

    // The n-th request head `server` received (from 0), as text.
    std::string head(int index) const
    {
        const QList<LoopbackRequest> requests = server.requests();
        return index < requests.size() ? requests.at(index).raw.toStdString() : "<no request>";
    }

    QByteArray hostPort() const { return "127.0.0.1:" + QByteArray::number(server.port()); }

    // Sends what follows through `through` as the proxy, signing in when `user` is given.
    void useProxy(const LoopbackServer &through, const QString &user = QString(),
                  const QString &password = QString())
    {
        proxy.enabled = true;
        proxy.server = QStringLiteral("127.0.0.1");
        proxy.port = QString::number(through.port());
        proxy.user = user;
        proxy.password = password;
    }
    void useProxy(const QString &user = QString(), const QString &password = QString())
    {
        useProxy(server, user, password);
    }

    LoopbackServer server;
    QTemporaryDir dir;
    RecordingUi ui;
    RecordingSink sink;
    ProxySettings proxy;
    DocumentDownloader downloader;
};
