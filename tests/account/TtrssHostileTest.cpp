// Answers of a server that is not what it says: the client reports, nothing here is lost.
#include "account/AccountSettings.h"
#include "account/AccountSync.h"
#include "account/TtrssApi.h"
#include "app/Session.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "support/TestUserFolder.h"
#include "sync/SyncRun.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <functional>

namespace {

struct Lines : IReportSink
{
    void ReportProblem(const QString &line) override { lines << line; }
    QStringList lines;
};

// A server that answers every call with what the case gives.
class HostileServer
{
public:
    explicit HostileServer(std::function<LoopbackReply()> answer)
    {
        server.setHandler([answer](const LoopbackRequest &) { return answer(); });
        started = server.start();
    }
    QString address() const { return server.url(QStringLiteral("/tt-rss/")); }
    LoopbackServer server;
    bool started = false;
};

LoopbackReply json(const QByteArray &body)
{
    return LoopbackReply::http("200 OK", body, "Content-Type: text/json;charset=UTF-8\r\n");
}

TtrssApi &client(TtrssApi &api, const HostileServer &server)
{
    api.setServer(server.address());
    api.setCredentials(QStringLiteral("u"), QStringLiteral("p"));
    api.setTimeout(3000);
    return api;
}

} // namespace

TEST(TtrssHostileTest, AnswersThatAreNotTheApisGiveAClearLine)
{
    struct Case
    {
        const char *name;
        LoopbackReply reply;
        TtrssFailure failure;
        const char *words;
    };
    const Case cases[] = {
        {"html page", json("<pre>Exception while creating PDO object: socket /tmp/x failed</pre>"),
         TtrssFailure::NotTtrss, "nie odpowiada jak serwer Tiny Tiny RSS"},
        {"broken json", json("{\"seq\":0,\"status\":0,\"content\":{\"session_id\":"),
         TtrssFailure::NotTtrss, "JSON"},
        {"array", json("[1,2,3]"), TtrssFailure::NotTtrss, "JSON"},
        {"no content", json("{\"seq\":null,\"status\":0}"), TtrssFailure::NotTtrss, "bez treści"},
        {"odd session id", json("{\"status\":0,\"content\":{\"session_id\":\"a b\\n\",\"api_level\":15}}"),
         TtrssFailure::NotTtrss, "identyfikatora sesji"},
        {"old server", json("{\"status\":0,\"content\":{\"session_id\":\"abc\",\"api_level\":2}}"),
         TtrssFailure::OldServer, "za stary"},
        {"unknown error", json("{\"status\":1,\"content\":{\"error\":{\"x\":1}}}"),
         TtrssFailure::Refused, "odrzucił"},
        {"http error", LoopbackReply::http("500 Internal Server Error", "oops"),
         TtrssFailure::Unreachable, "HTTP 500"},
    };
    for (const Case &c : cases) {
        HostileServer server([&c] { return c.reply; });
        ASSERT_TRUE(server.started);
        TtrssApi api;
        EXPECT_FALSE(client(api, server).login()) << c.name;
        EXPECT_EQ(api.failure(), c.failure) << c.name;
        EXPECT_TRUE(api.message().contains(QString::fromUtf8(c.words)))
            << c.name << ": " << api.message().toStdString();
    }
}

TEST(TtrssHostileTest, AHugeAnswerIsRefusedAtTheLimit)
{
    const QByteArray huge = "{\"status\":0,\"content\":\"" + QByteArray(3 * 1024 * 1024, 'a') + "\"}";
    HostileServer server([&huge] { return json(huge); });
    ASSERT_TRUE(server.started);
    TtrssApi api;
    client(api, server).setMaxAnswerBytes(1024 * 1024);
    EXPECT_FALSE(api.login());
    EXPECT_EQ(api.failure(), TtrssFailure::TooLarge);
    EXPECT_TRUE(api.message().contains(QStringLiteral("za duża")));
}

TEST(TtrssHostileTest, FieldsOfTheWrongTypeReadAsEmpty)
{
    // Logged in, then every list comes with odd members.
    int calls = 0;
    HostileServer server([&calls] {
        if (calls++ == 0)
            return json("{\"status\":0,\"content\":{\"session_id\":\"s1\",\"api_level\":\"15\"}}");
        return json("{\"status\":0,\"content\":[{\"id\":\"7\",\"title\":[1],\"feed_url\":12,"
                    "\"cat_id\":null,\"unread\":\"x\"},{\"id\":-3},\"text\",null,"
                    "{\"id\":1e300,\"title\":\"big\"}]}");
    });
    ASSERT_TRUE(server.started);
    TtrssApi api;
    ASSERT_TRUE(client(api, server).login()) << api.message().toStdString();
    bool ok = false;
    const QList<TtrssFeed> feeds = api.feeds(&ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(feeds.size(), 1);
    EXPECT_EQ(feeds[0].id, 7);
    EXPECT_TRUE(feeds[0].title.isEmpty());
    EXPECT_EQ(feeds[0].url, QStringLiteral("12"));
    const QList<TtrssHeadline> headlines = api.headlines(7, 0, true, false, 0, &ok);
    ASSERT_EQ(headlines.size(), 1);
    EXPECT_FALSE(headlines[0].unread);

    // An object where a list belongs is refused as a whole.
    HostileServer objects([] {
        return json("{\"status\":0,\"content\":{\"session_id\":\"s1\",\"api_level\":15}}");
    });
    TtrssApi second;
    ASSERT_TRUE(client(second, objects).login());
    second.categories(&ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(second.message().contains(QStringLiteral("złą listę")));
}

// A run against such a server reports it and leaves the account's group and files alone.
TEST(TtrssHostileTest, ARunAgainstABrokenServerKeepsEverythingHere)
{
    QTemporaryDir home;
    const UserFolder folder(makeUserFolder(home.path() + QStringLiteral("/Kolvani")));
    HostileServer server([] { return json("<html>Wartungsarbeiten</html>"); });
    ASSERT_TRUE(server.started);
    AccountSettings settings;
    settings.server = server.address();
    settings.user = QStringLiteral("anna");
    settings.password = QStringLiteral("x");
    settings.write(folder.dataFile(QStringLiteral("ttrss_account.json")));
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), settings.groupName(), NodeKind::Group);
    ChannelNode *own = tree.addNode(group, QStringLiteral("Mój"), NodeKind::Channel);
    own->channel()->GUID = QStringLiteral("{AAAAAAAA-2222-3333-4444-555555555555}");
    own->channel()->url = QStringLiteral("http://127.0.0.1:1/mój.xml");
    SaveChannelTree(tree, folder.treeFile());
    QFile cache(folder.cacheFile(own->channel()->GUID));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    cache.write("<rss version=\"2.0\"><channel><item><title>A</title><unread>0</unread></item></channel></rss>");
    cache.close();

    Lines lines;
    Session session(folder, lines);
    ASSERT_TRUE(session.loadChannelTree().ok);
    session.shownChannel().document().setActive(false);
    session.syncRun().SyncAllChannels();
    ASSERT_FALSE(lines.lines.isEmpty());
    EXPECT_TRUE(lines.lines.first().contains(QStringLiteral("Synchronizacja z anna@127.0.0.1")))
        << lines.lines.join('\n').toStdString();
    ChannelNode *kept = session.account().accountGroup();
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->childCount(), 1);
    EXPECT_EQ(kept->child(0)->text(), QStringLiteral("Mój"));
    ASSERT_TRUE(cache.open(QIODevice::ReadOnly));
    EXPECT_TRUE(cache.readAll().contains("<unread>0</unread>"));
}
