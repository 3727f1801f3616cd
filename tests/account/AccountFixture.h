#pragma once

// A per-user folder and a session beside an account of its own on the real tt-rss server,
// and "the other machine": a second API client of the same account.
#include "account/AccountSettings.h"
#include "account/AccountSync.h"
#include "account/TtrssApi.h"
#include "alerts/AlertQueue.h"
#include "app/Session.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "xml/XmlDocument.h"
#include "support/TestUserFolder.h"
#include "support/TtrssServer.h"
#include "sync/SyncRun.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>

struct AccountLines : IReportSink
{
    void ReportProblem(const QString &line) override { lines << line; }
    bool has(const QString &part) const
    {
        for (const QString &l : lines)
            if (l.contains(part))
                return true;
        return false;
    }
    QStringList lines;
};

// An RSS feed of `count` items titled "<prefix> 1" … for the test feed server.
inline QByteArray TestFeed(const QString &title, const QString &prefix, int count)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>" +
                     title.toUtf8() + "</title><link>http://example.org/</link><description>d</description>";
    for (int i = 1; i <= count; ++i)
        xml += "<item><title>" + QStringLiteral("%1 %2").arg(prefix).arg(i).toUtf8() +
               "</title><link>http://example.org/" + prefix.toUtf8() + "/" + QByteArray::number(i) +
               "</link><guid>" + prefix.toUtf8() + "-" + QByteArray::number(i) +
               "</guid><description>Treść " + QByteArray::number(i) + "</description></item>";
    return xml + "</channel></rss>";
}

class AccountFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_TTRSS();
        server = TtrssServer::instance();
        ASSERT_TRUE(home.isValid());
        root = makeUserFolder(home.path() + QStringLiteral("/Kolvani"));
        ASSERT_FALSE(root.isEmpty());
        folder = UserFolder(root);
        user = server->addUser(QStringLiteral("secret"));
        ASSERT_FALSE(user.isEmpty());
        settings.server = server->address();
        settings.user = user;
        settings.password = QStringLiteral("secret");
        settings.write(folder.dataFile(QStringLiteral("ttrss_account.json")));
        ChannelTree empty;
        SaveChannelTree(empty, folder.treeFile());
        openSession();
        other.setServer(server->address());
        other.setCredentials(user, QStringLiteral("secret"));
        ASSERT_TRUE(other.login()) << other.message().toStdString();
    }

    void openSession()
    {
        session.reset();
        session = std::make_unique<Session>(folder, lines);
        ASSERT_TRUE(session->loadChannelTree().ok);
        session->shownChannel().document().setActive(false);
        session->account().api().setTimeout(4000);
    }

    void run()
    {
        lines.lines.clear();
        session->syncRun().SyncAllChannels();
    }

    // A category made on the server (the API cannot); its id.
    int addCategory(const QString &title)
    {
        return server
            ->sql(QStringLiteral("insert into ttrss_feed_categories (owner_uid, title) select id, "
                                 "'%1' from ttrss_users where login = '%2' returning id")
                      .arg(title, user))
            .toInt();
    }

    // A feed subscribed on the other machine and fetched by the server at once; its id.
    int subscribeThere(const QString &path, const QString &title, int category, int items)
    {
        server->setFeed(path, TestFeed(title, title, items));
        const int id = other.subscribe(TtrssServer::feedUrl(path), category);
        EXPECT_GT(id, 0) << other.message().toStdString();
        updateThere(id);
        return id;
    }

    void updateThere(int feedId)
    {
        other.call(QStringLiteral("updateFeed"), QJsonObject{{QStringLiteral("feed_id"), feedId}});
        EXPECT_EQ(other.failure(), TtrssFailure::None) << other.message().toStdString();
    }

    ChannelNode *accountGroup() { return session->account().accountGroup(); }

    ChannelNode *find(ChannelNode *under, const QString &name)
    {
        if (!under)
            return nullptr;
        for (ChannelNode *child : under->children()) {
            if (child->text() == name)
                return child;
            if (ChannelNode *found = find(child, name))
                return found;
        }
        return nullptr;
    }

    QByteArray cacheOf(ChannelNode *node)
    {
        QFile file(folder.cacheFile(node->channel()->GUID));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TtrssServer *server = nullptr;
    QTemporaryDir home;
    QString root;
    UserFolder folder;
    QString user;
    AccountSettings settings;
    AccountLines lines;
    std::unique_ptr<Session> session;
    TtrssApi other;
};
