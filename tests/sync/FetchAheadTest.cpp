// Fetching ahead during a run: the report in tree order whatever order the downloads end
// in, a slow server not holding the others up, the connection limits, connections kept
// alive between channels, and cancelling.

#include "sync/FetchAhead.h"

#include "support/LoopbackServer.h"
#include "support/SignalWait.h"
#include "sync/RunFixture.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray feed(const QByteArray &title)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>K</title>"
           "<item><title>" +
           title + "</title></item></channel></rss>";
}

enum class Answer { AtOnce, WhenReleased };

// A server of feeds named by their path, with a 404 for paths starting "/missing"; each
// feed's body comes at once or is kept back until the server is released.
std::unique_ptr<LoopbackServer> server(Answer answer = Answer::AtOnce)
{
    auto s = std::make_unique<LoopbackServer>();
    s->setHandler([answer](const LoopbackRequest &request) {
        if (request.target().startsWith("/missing"))
            return LoopbackReply::http("404 Not Found", "");
        const QByteArray body = feed(request.target().mid(1));
        if (answer == Answer::WhenReleased)
            return LoopbackReply::okWhenReleased(body);
        return LoopbackReply::http("200 OK", body);
    });
    EXPECT_TRUE(s->start());
    return s;
}

// The session's report and the run's lines share one list, in the order they came.
class FetchAheadRunTest : public RunFixture
{
protected:
    void SetUp() override
    {
        RunFixture::SetUp();
        QObject::connect(&run(), &SyncRun::lineReported, &run(),
                         [this](const QString &line) { sink.lines << line; });
    }
    ChannelNode *channel(const QString &name, const QString &url)
    {
        return RunFixture::channel(root(), name, url);
    }
    QStringList tempFiles() const
    {
        return QDir(home.path() + QStringLiteral("/temp")).entryList({"*.xml"}, QDir::Files);
    }
};

TEST_F(FetchAheadRunTest, TheReportFollowsTheTreeWhateverOrderTheDownloadsEndIn)
{
    auto slow = server(Answer::WhenReleased);
    auto fast = server();
    // The first channel's answer comes only once the others were asked for, if ever.
    WhenTrue(
        &run(), [&] { return fast->requestCount() == 2; }, [&](bool) { slow->release(); });
    channel(QStringLiteral("Wolny"), slow->url(QStringLiteral("/a")));
    channel(QStringLiteral("Brak"), fast->url(QStringLiteral("/missing")));
    channel(QStringLiteral("Szybki"), fast->url(QStringLiteral("/c")));
    bool othersAskedFirst = false;
    QObject::connect(&run(), &SyncRun::lineReported, &run(), [&](const QString &line) {
        if (line == QLatin1String("Uaktualniono Wolny"))
            othersAskedFirst = fast->requestCount() == 2;
    });
    run().SyncAllChannels();
    ASSERT_EQ(sink.lines.size(), 4) << joined(sink.lines);
    EXPECT_EQ(sink.lines[0], QStringLiteral("Uaktualniono Wolny"));
    EXPECT_TRUE(sink.lines[1].startsWith(QStringLiteral("Niepoprawny adres URL (")))
        << joined(sink.lines);
    EXPECT_EQ(sink.lines[2], QStringLiteral("Nie można pobrać nowych nagłówków z Brak"));
    EXPECT_EQ(sink.lines[3], QStringLiteral("Uaktualniono Szybki"));
    EXPECT_TRUE(othersAskedFirst) << "a slow first server must not hold the others up";
    EXPECT_EQ(slow->requestCount(), 1);
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(' ').toStdString();
}

TEST_F(FetchAheadRunTest, ACancelledRunStopsItsDownloadsAndLeavesNoFiles)
{
    auto first = server(Answer::WhenReleased);
    auto stalled = std::make_unique<LoopbackServer>();
    stalled->setHandler([](const LoopbackRequest &) { return LoopbackReply::stall(); });
    ASSERT_TRUE(stalled->start());
    auto ready = server();
    channel(QStringLiteral("Pierwszy"), first->url(QStringLiteral("/a")));
    channel(QStringLiteral("Zawieszony"), stalled->url(QStringLiteral("/b")));
    channel(QStringLiteral("Gotowy"), ready->url(QStringLiteral("/c")));
    // Cancelled while the first channel and the one fetched ahead are both downloading.
    WhenTrue(
        &run(),
        [&] { return updating() && first->heldCount() == 1 && stalled->requestCount() == 1; },
        [&](bool underWay) {
            EXPECT_TRUE(underWay);
            run().requestCancel();
            first->release();
        });
    run().SyncAllChannels();
    EXPECT_EQ(sink.lines, QStringList({"Uaktualniono Pierwszy"}));
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(' ').toStdString();
    EXPECT_FALSE(QFile::exists(cacheFileOf(3))) << "a download fetched ahead is not an update";
}

// The session's run goes through the slots: a tree on one server costs two connections.
TEST_F(FetchAheadRunTest, ARunOfTheSessionKeepsItsConnectionsAlive)
{
    auto s = server();
    for (int i = 0; i < 20; ++i)
        channel(QStringLiteral("K%1").arg(i), s->url(QStringLiteral("/%1").arg(i)));
    run().SyncAllChannels();
    EXPECT_EQ(sink.lines.size(), 20) << joined(sink.lines);
    EXPECT_EQ(s->requestCount(), 20);
    EXPECT_LE(s->connectionCount(), 6);
}

// Every body is kept back until as many downloads run as may at once: they surely overlap.
void releaseOnceHeld(QObject *context, const std::vector<std::unique_ptr<LoopbackServer>> &servers,
                     int count)
{
    std::vector<LoopbackServer *> held;
    for (const auto &s : servers)
        held.push_back(s.get());
    WhenTrue(
        context,
        [held, count] {
            int n = 0;
            for (const LoopbackServer *s : held)
                n += s->heldCount();
            return n >= count;
        },
        [held](bool) {
            for (LoopbackServer *s : held)
                s->release();
        });
}

TEST(FetchAheadLimits, TwoConnectionsToOneServerAndSixInAll)
{
    QTemporaryDir dir;
    QObject context;
    {
        std::vector<std::unique_ptr<LoopbackServer>> one;
        one.push_back(server(Answer::WhenReleased));
        releaseOnceHeld(&context, one, 2);
        FetchAhead oneHost(ProxySettings{});
        const auto job = [&](int i) {
            return FetchAhead::Job{one[0]->url(QStringLiteral("/%1").arg(i)),
                                   dir.filePath(QStringLiteral("one%1.xml").arg(i)),
                                   {},
                                   {}};
        };
        for (int i = 0; i < 5; ++i)
            oneHost.enqueue(job(i));
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(oneHost.take(job(i), nullptr).fetch.result, 0);
        EXPECT_EQ(oneHost.highestRunning(), 2);
    }
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (int i = 0; i < 4; ++i)
        servers.push_back(server(Answer::WhenReleased));
    releaseOnceHeld(&context, servers, 6);
    FetchAhead manyHosts(ProxySettings{});
    std::vector<FetchAhead::Job> jobs;
    for (int i = 0; i < 12; ++i)
        jobs.push_back({servers[i % 4]->url(QStringLiteral("/%1").arg(i)),
                        dir.filePath(QStringLiteral("many%1.xml").arg(i)),
                        {},
                        {}});
    for (const FetchAhead::Job &job : jobs)
        manyHosts.enqueue(job);
    for (const FetchAhead::Job &job : jobs) {
        EXPECT_EQ(manyHosts.take(job, nullptr).fetch.result, 0);
        EXPECT_EQ(readWholeFile(job.targetFile).substr(0, 5), "<?xml");
    }
    EXPECT_EQ(manyHosts.highestRunning(), 6);
}

TEST(FetchAheadHandOver, PanelZeroSaysReadyAfterEveryDownloadTakenFailedOrNot)
{
    QTemporaryDir dir;
    auto s = server();
    const auto job = [&](const char *path) {
        return FetchAhead::Job{s->url(QLatin1String(path)),
                               dir.filePath(QLatin1String(path).mid(1) + QStringLiteral(".xml")),
                               {},
                               {}};
    };
    FetchAhead ahead(ProxySettings{});
    for (const char *path : {"/a", "/missing"})
        ahead.enqueue(job(path));
    // A failed download is often the last of a run: nothing else would put it right.
    for (const char *path : {"/a", "/missing"}) {
        RecordingUi ui;
        ahead.take(job(path), &ui);
        EXPECT_EQ(ui.lastStatus(), QStringLiteral("Gotowe.")) << path << joined(ui.events);
    }
}

TEST(FetchAheadLimits, FilesNobodyTookAreRemoved)
{
    QTemporaryDir dir;
    auto s = server();
    const FetchAhead::Job job{
        s->url(QStringLiteral("/a")), dir.filePath(QStringLiteral("a.xml")), {}, {}};
    {
        FetchAhead ahead(ProxySettings{});
        ahead.enqueue(job);
        ASSERT_TRUE(s->waitForRequests(1, 5000));
        EXPECT_TRUE(ahead.has(job));
    }
    EXPECT_FALSE(QFile::exists(job.targetFile));
}

// A whole run of `count` downloads from `from`, taken in order; their results.
std::vector<FetchAhead::Result> fetchAll(FetchAhead &ahead, const LoopbackServer &from,
                                         const QTemporaryDir &dir, int count,
                                         const QString &user = QString())
{
    std::vector<FetchAhead::Job> jobs;
    for (int i = 0; i < count; ++i)
        jobs.push_back({from.url(QStringLiteral("/%1").arg(i)),
                        dir.filePath(QStringLiteral("k%1.xml").arg(i)),
                        i == 0 ? user : QString(),
                        i == 0 ? user : QString()});
    ahead.enqueue(jobs);
    std::vector<FetchAhead::Result> results;
    for (const FetchAhead::Job &job : jobs)
        results.push_back(ahead.take(job, nullptr));
    return results;
}

int failures(const std::vector<FetchAhead::Result> &results)
{
    int n = 0;
    for (const FetchAhead::Result &result : results)
        n += result.fetch.result != 0 || !result.reports.isEmpty();
    return n;
}

// Connections live as long as the run: a server holding the whole tree sees one connection
// per slot, two by default and up to six when the setting allows, not one per channel.
TEST(FetchAheadKeepAlive, ARunOfOneServerOpensAtMostOneConnectionPerSlot)
{
    QTemporaryDir dir;
    for (const int limit : {2, 6}) {
        auto s = server();
        FetchAhead ahead(ProxySettings{});
        ahead.setBusyHostLimit(limit);
        const auto results = fetchAll(ahead, *s, dir, 134);
        EXPECT_EQ(failures(results), 0);
        EXPECT_EQ(s->requestCount(), 134);
        EXPECT_LE(s->connectionCount(), limit);
        EXPECT_LE(ahead.highestRunning(), limit);
    }
}

// Servers holding a share of the run each keep to two connections, whatever the setting.
TEST(FetchAheadKeepAlive, ServersWithoutMostOfTheRunKeepToTwoConnections)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (int i = 0; i < 3; ++i)
        servers.push_back(server());
    FetchAhead ahead(ProxySettings{});
    ahead.setBusyHostLimit(6);
    std::vector<FetchAhead::Job> jobs;
    for (int i = 0; i < 60; ++i)
        jobs.push_back({servers[size_t(i % 3)]->url(QStringLiteral("/%1").arg(i)),
                        dir.filePath(QStringLiteral("s%1.xml").arg(i)),
                        {},
                        {}});
    ahead.enqueue(jobs);
    for (const FetchAhead::Job &job : jobs)
        EXPECT_EQ(ahead.take(job, nullptr).fetch.result, 0);
    // Slots serve their own server's channels a little ahead: few connections in all.
    for (const auto &s : servers)
        EXPECT_LE(s->connectionCount(), 2);
}

// Channels of eight servers in turn, six slots: an idle slot waits for its own server's next
// channel a little ahead rather than connecting elsewhere for every channel.
TEST(FetchAheadKeepAlive, ChannelsOfManyServersInTurnStillReuseConnections)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<LoopbackServer>> servers;
    for (int i = 0; i < 8; ++i)
        servers.push_back(server());
    FetchAhead ahead(ProxySettings{});
    std::vector<FetchAhead::Job> jobs;
    for (int i = 0; i < 96; ++i)
        jobs.push_back({servers[size_t(i % 8)]->url(QStringLiteral("/%1").arg(i)),
                        dir.filePath(QStringLiteral("m%1.xml").arg(i)),
                        {},
                        {}});
    ahead.enqueue(jobs);
    for (const FetchAhead::Job &job : jobs)
        EXPECT_EQ(ahead.take(job, nullptr).fetch.result, 0);
    int connections = 0;
    for (const auto &s : servers)
        connections += s->connectionCount();
    EXPECT_LE(connections, 48);
}

// A kept connection serves the next channel with the request a connection of its own would
// have carried: no cookie of another channel, the Content-Type of a fresh download even after
// one with credentials, which sends none.
TEST(FetchAheadKeepAlive, AReusedConnectionSendsEachChannelItsOwnRequest)
{
    QTemporaryDir dir;
    LoopbackServer s;
    s.setHandler([](const LoopbackRequest &request) {
        return LoopbackReply::http("200 OK", feed(request.target().mid(1)),
                                   "Set-Cookie: seen=" + request.target().mid(1) + "\r\n");
    });
    ASSERT_TRUE(s.start());
    FetchAhead ahead(ProxySettings{}, 1, 1);
    const auto results = fetchAll(ahead, s, dir, 3, QStringLiteral("jan"));
    EXPECT_EQ(failures(results), 0);
    EXPECT_EQ(s.connectionCount(), 1);
    const QList<LoopbackRequest> requests = s.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_FALSE(requests[0].raw.contains("Content-Type:"));
    EXPECT_TRUE(requests[0].raw.contains("Authorization: Basic "));
    for (int i = 1; i < 3; ++i)
        EXPECT_EQ(requests[i].raw.toStdString(),
                  ("GET /" + QByteArray::number(i) +
                   " HTTP/1.1\r\nContent-Type: text/html\r\nHost: 127.0.0.1:" +
                   QByteArray::number(s.port()) +
                   "\r\nAccept: text/html, */*\r\nAccept-Encoding: gzip, deflate\r\n"
                   "User-Agent: Mozilla/3.0 (compatible; Indy "
                   "Library)\r\n\r\n")
                      .toStdString());
}

// "Connection: close" ends a connection after its reply, and a server that drops idle
// connections without a word costs new connections, never a failed channel or a line.
TEST(FetchAheadKeepAlive, ClosedConnectionsAreOpenedAgainWithoutALine)
{
    QTemporaryDir dir;
    for (const bool announced : {true, false}) {
        LoopbackServer s;
        s.setHandler([announced](const LoopbackRequest &request) {
            const QByteArray body = feed(request.target().mid(1));
            if (announced)
                return LoopbackReply::http("200 OK", body, "Connection: close\r\n");
            LoopbackReply reply = LoopbackReply::http("200 OK", body);
            reply.close = true;
            return reply;
        });
        ASSERT_TRUE(s.start());
        FetchAhead ahead(ProxySettings{});
        const auto results = fetchAll(ahead, s, dir, 12);
        EXPECT_EQ(failures(results), 0) << announced;
        EXPECT_EQ(s.connectionCount(), 12) << announced;
    }
}

} // namespace
