// A run over the tree against a loopback server: order, progress, skipping, cancelling,
// errors and a run asked for during a single update.

#include "sync/SyncRun.h"

#include "alerts/AlertQueue.h"
#include "base/LiveSettings.h"
#include "feed/DocumentDownloader.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"
#include "sync/ChannelUpdater.h"
#include "sync/RunFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include <sys/stat.h>

namespace {

QByteArray feed(const QByteArray &title)
{
    return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>K</title>"
           "<item><title>" +
           title + "</title><link>http://example.org/</link></item></channel></rss>";
}

// A session over a temporary per-user folder, a server of feeds named by their path (404
// for paths starting "/missing"), and what the run tells.
class SyncRunTest : public RunFixture
{
protected:
    void SetUp() override
    {
        RunFixture::SetUp();
        server.setHandler([](const LoopbackRequest &request) {
            if (request.target().startsWith("/missing"))
                return LoopbackReply::http("404 Not Found", "");
            return LoopbackReply::http("200 OK", feed(request.target().mid(1)));
        });
        ASSERT_TRUE(server.start());
        QObject::connect(&run(), &SyncRun::lineReported, &run(),
                         [this](const QString &line, int icon) {
                             lines << QStringLiteral("%1 %2").arg(icon).arg(line);
                         });
        QObject::connect(&run(), &SyncRun::progress, &run(), [this](int done, int total) {
            progress << QStringLiteral("%1/%2").arg(done).arg(total);
        });
        QObject::connect(&run(), &SyncRun::runningChanged, &run(),
                         [this](bool running) { runningEvents << running; });
        QObject::connect(&run(), &SyncRun::finished, &run(), [this](int n) { finished << n; });
    }

    ChannelNode *channel(ChannelNode *parent, const QString &name, const QString &path,
                         bool enabled = true)
    {
        return RunFixture::channel(parent, name, server.url(path), enabled);
    }
    // Serves the feed at `path` with its body kept back until the server is released.
    void holdBackFeedAt(const QByteArray &path)
    {
        server.setHandler([path](const LoopbackRequest &request) {
            const QByteArray body = feed(request.target().mid(1));
            if (request.target() != path)
                return LoopbackReply::http("200 OK", body);
            return LoopbackReply::okWhenReleased(body);
        });
    }

    LoopbackServer server;
    QStringList lines;
    QStringList progress;
    QList<bool> runningEvents;
    QList<int> finished;
};

TEST_F(SyncRunTest, AOneNodeTreeCountsItsRootAndEnds)
{
    run().SyncAllChannels();
    EXPECT_EQ(progress, QStringList({"1/1"}));
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(finished, QList<int>({0}));
    EXPECT_EQ(runningEvents, QList<bool>({true, false}));
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(SyncRunTest, ChannelsInTreeOrderGroupsAndDisabledChannelsAdvanceTheProgress)
{
    ChannelTree &tree = session->channelTree();
    ChannelNode *group = tree.addNode(root(), QStringLiteral("Grupa"), NodeKind::Group);
    channel(group, QStringLiteral("Pierwszy"), QStringLiteral("/a"));
    channel(group, QStringLiteral("Wyłączony"), QStringLiteral("/b"), false);
    channel(root(), QStringLiteral("Drugi"), QStringLiteral("/c"));
    session->alertQueue().enqueue(QStringLiteral("stary"), QStringLiteral("z innego biegu"));

    run().SyncAllChannels();
    EXPECT_EQ(progress, QStringList({"1/5", "2/5", "3/5", "4/5", "5/5"}));
    EXPECT_EQ(lines, QStringList({"1 Uaktualniono Pierwszy", "1 Uaktualniono Drugi"}));
    // The downloads may run ahead of the updates, in any order; the disabled one never runs.
    ASSERT_EQ(server.requestCount(), 2);
    QStringList targets;
    for (const LoopbackRequest &request : server.requests())
        targets << QString::fromLatin1(request.target());
    targets.sort();
    EXPECT_EQ(targets, QStringList({"/a", "/c"}));
    EXPECT_EQ(finished, QList<int>({2}));
    EXPECT_EQ(session->alertQueue().newItemCount, 2) << "the count starts at 0 for the run";
    EXPECT_FALSE(session->alertQueue().alertTitles.contains(QStringLiteral("stary")));
    EXPECT_FALSE(run().syncAllRunning());
}

TEST_F(SyncRunTest, ATimerRunLeavesAPausedServerAloneWhileACommandAsksAtOnce)
{
    server.setHandler([](const LoopbackRequest &request) {
        if (request.target() == "/busy")
            return LoopbackReply::http("503 Service Unavailable", "", "Retry-After: 600\r\n");
        return LoopbackReply::http("200 OK", feed(request.target().mid(1)));
    });
    LoopbackServer elsewhere; // another server
    elsewhere.setHandler([](const LoopbackRequest &request) {
        return LoopbackReply::http("200 OK", feed(request.target().mid(1)));
    });
    ASSERT_TRUE(elsewhere.start());
    channel(root(), QStringLiteral("Zajęty"), QStringLiteral("/busy"));
    channel(root(), QStringLiteral("Sąsiad"), QStringLiteral("/free"));
    RunFixture::channel(root(), QStringLiteral("Gdzie indziej"), elsewhere.url("/free"));
    const auto asked = [this](const QByteArray &target) {
        int n = 0;
        for (const LoopbackRequest &request : server.requests())
            n += request.target() == target;
        return n;
    };

    run().SyncAllChannels();
    ASSERT_EQ(asked("/busy"), 1);
    const int neighbour = asked("/free");
    run().SyncAllChannels(SyncRun::Trigger::Timer);
    EXPECT_EQ(asked("/busy"), 1) << "neither the run nor its downloads ahead ask during the pause";
    EXPECT_EQ(asked("/free"), neighbour) << "the pause holds every channel of that server";
    EXPECT_EQ(elsewhere.requestCount(), 2);
    EXPECT_EQ(progress.last(), QStringLiteral("4/4"));

    // After a restart the timer still waits.
    session.reset();
    session = std::make_unique<Session>(UserFolder(home.path()), sink);
    channels = 0;
    channel(root(), QStringLiteral("Zajęty"), QStringLiteral("/busy"));
    channel(root(), QStringLiteral("Sąsiad"), QStringLiteral("/free"));
    run().SyncAllChannels(SyncRun::Trigger::Timer);
    EXPECT_EQ(asked("/busy"), 1);
    EXPECT_EQ(asked("/free"), neighbour);

    run().SyncAllChannels();
    EXPECT_EQ(asked("/busy"), 2);
}

TEST_F(SyncRunTest, FailingChannelsGiveNoUpdatedLineAndTheRunGoesOn)
{
    channel(root(), QStringLiteral("Zły"), QStringLiteral("/missing1"));
    channel(root(), QStringLiteral("Dobry"), QStringLiteral("/ok"));
    channel(root(), QStringLiteral("Też zły"), QStringLiteral("/missing2"));
    run().SyncAllChannels();
    EXPECT_EQ(lines, QStringList({"1 Uaktualniono Dobry"}));
    EXPECT_TRUE(sink.lines.contains(QStringLiteral("Nie można pobrać nowych nagłówków z Zły")));
    EXPECT_TRUE(sink.lines.contains(QStringLiteral("Nie można pobrać nowych nagłówków z Też zły")));
    EXPECT_EQ(progress.size(), 4);
}

TEST_F(SyncRunTest, CancelDuringTheFirstChannelFinishesItAndSkipsTheRest)
{
    channel(root(), QStringLiteral("Pierwszy"), QStringLiteral("/slow"));
    channel(root(), QStringLiteral("Drugi"), QStringLiteral("/b"));
    holdBackFeedAt("/slow");
    WhenTrue(
        &run(), [this] { return updating() && server.heldCount() == 1; },
        [this](bool underWay) {
            EXPECT_TRUE(underWay) << "the first channel's download";
            run().requestCancel();
            server.release();
        });
    run().SyncAllChannels();
    EXPECT_EQ(lines, QStringList({"1 Uaktualniono Pierwszy"}));
    EXPECT_FALSE(QFile::exists(cacheFileOf(2)))
        << "the second channel was not updated, even if its download had run ahead";
    EXPECT_EQ(progress, QStringList({"1/3", "2/3", "3/3"})) << "skipped nodes still count";
    EXPECT_TRUE(run().cancelRequested());

    lines.clear();
    run().SyncAllChannels();
    EXPECT_EQ(lines, QStringList({"1 Uaktualniono Pierwszy", "1 Uaktualniono Drugi"}))
        << "a new run clears the request";
}

// An update that raises: the run ends at that node, restores its flags, passes it on.
class RaisingHost : public IChannelUpdateHost
{
public:
    int DownloadDocument(const QString &url, const QString &, const QString &,
                         const QString &) override
    {
        if (url.endsWith(QLatin1String("boom")))
            throw std::runtime_error("zepsuty");
        ++downloads;
        return -1;
    }
    void ReportProblem(const QString &) override {}
    int downloads = 0;
};

TEST(SyncRunErrors, AnErrorEndsTheRunAtItsNodeAndReachesTheCaller)
{
    QTemporaryDir home;
    const UserFolder folder(home.path());
    RaisingHost host;
    ShownChannel shown;
    AlertQueue alerts;
    ChannelUpdater updater(folder, host, shown, alerts);
    ChannelTree tree;
    SyncRun run(tree, updater, alerts);
    for (const char *url :
         {"http://127.0.0.1:1/a", "http://127.0.0.1:1/boom", "http://127.0.0.1:1/c"}) {
        ChannelNode *node = tree.addNode(tree.root(), QString::fromLatin1(url), NodeKind::Channel);
        node->channel()->url = QString::fromLatin1(url);
        node->channel()->enabled = true;
        node->channel()->GUID = guidOf(tree.count());
    }
    QList<bool> running;
    bool finishedSent = false;
    QObject::connect(&run, &SyncRun::runningChanged, &run, [&](bool r) { running << r; });
    QObject::connect(&run, &SyncRun::finished, &run, [&] { finishedSent = true; });
    EXPECT_THROW(run.SyncAllChannels(), std::runtime_error);
    EXPECT_EQ(host.downloads, 1) << "the node after the error is not visited";
    EXPECT_EQ(running, QList<bool>({true, false}));
    EXPECT_FALSE(run.syncAllRunning());
    EXPECT_FALSE(updater.channelUpdateBusy());
    EXPECT_FALSE(finishedSent);
}

TEST_F(SyncRunTest, ARunAskedForDuringASingleUpdateStartsWhenItReturns)
{
    ChannelNode *single = channel(root(), QStringLiteral("Pojedynczy"), QStringLiteral("/slow"));
    channel(root(), QStringLiteral("Drugi"), QStringLiteral("/b"));
    holdBackFeedAt("/slow");
    bool pendingDuringUpdate = false;
    bool runningDuringUpdate = true;
    WhenTrue(
        &run(), [this] { return server.heldCount() == 1; },
        [&](bool underWay) {
            EXPECT_TRUE(underWay) << "the single update's download";
            run().SyncAllChannels();
            pendingDuringUpdate = run().runPending();
            runningDuringUpdate = run().syncAllRunning();
            server.release();
        });
    EXPECT_NE(session->updater().UpdateChannel(*single->channel(), single->text()), -1);
    EXPECT_TRUE(pendingDuringUpdate);
    EXPECT_FALSE(runningDuringUpdate) << "no second update beside the first";
    EXPECT_EQ(server.requestCount(), 1);

    EXPECT_TRUE(WaitUntil([this] { return !finished.isEmpty(); }));
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(server.requestCount(), 3) << "the run updated both channels afterwards";
    EXPECT_FALSE(run().runPending());
}

} // namespace

namespace {

// The stored ETag of each channel, as "GUID=etag", in GUID order.
QStringList storedValidators(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject channels =
        QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("channels")).toObject();
    QStringList entries;
    for (auto it = channels.constBegin(); it != channels.constEnd(); ++it)
        entries << it.key() + QLatin1Char('=') +
                       it.value().toObject().value(QStringLiteral("etag")).toString();
    entries.sort();
    return entries;
}

} // namespace

// The validators of a run reach their file once, at its end (a cancelled run included),
// not after every channel.
TEST_F(SyncRunTest, ValidatorsAreWrittenOnceAtTheEndOfARun)
{
    std::atomic<int> generation{1};
    server.setHandler([&generation](const LoopbackRequest &request) {
        const QByteArray etag = request.target().mid(1) + QByteArray::number(generation.load());
        return LoopbackReply::http("200 OK", feed(request.target().mid(1)),
                                   "ETag: " + etag + "\r\n");
    });
    const QString file = session->folder().validatorsFile();
    QStringList during;
    QObject::connect(&run(), &SyncRun::channelUpdated, &run(), [&](ChannelNode *) {
        during << storedValidators(file).join(QLatin1Char(' '));
    });
    channel(root(), QStringLiteral("A"), QStringLiteral("/a"));
    channel(root(), QStringLiteral("B"), QStringLiteral("/b"));
    channel(root(), QStringLiteral("C"), QStringLiteral("/c"));
    run().SyncAllChannels();
    EXPECT_EQ(during, QStringList({"", "", ""}));
    const QStringList first{guidOf(1) + "=a1", guidOf(2) + "=b1", guidOf(3) + "=c1"};
    EXPECT_EQ(storedValidators(file), first);

    // Cancelled after its first channel, a run keeps what that channel brought.
    generation = 2;
    during.clear();
    QObject::connect(&run(), &SyncRun::channelUpdated, &run(),
                     [this](ChannelNode *) { run().requestCancel(); });
    run().SyncAllChannels();
    EXPECT_EQ(during, QStringList({first.join(QLatin1Char(' '))}));
    EXPECT_EQ(storedValidators(file),
              QStringList({guidOf(1) + "=a2", guidOf(2) + "=b1", guidOf(3) + "=c1"}));
}

// Every file of the per-user folder but the tree's, with what tells a rewrite: its inode (a
// replacement is a new file) and its modification time to the nanosecond.
QStringList fileStamps(const QString &folder)
{
    QStringList stamps;
    for (const char *sub : {"data", "temp"}) {
        const QDir dir(folder + QLatin1Char('/') + QLatin1String(sub));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            if (name == QLatin1String("tvChannels.xml")) // the run stamps each channel's update
                continue;
            struct stat info
            {
            };
            ::stat(QFile::encodeName(dir.filePath(name)).constData(), &info);
            stamps << QStringLiteral("%1 %2 %3.%4")
                          .arg(name)
                          .arg(qulonglong(info.st_ino))
                          .arg(qlonglong(info.st_mtim.tv_sec))
                          .arg(qlonglong(info.st_mtim.tv_nsec));
        }
    }
    return stamps;
}

TEST_F(SyncRunTest, ARunOfNotModifiedRepliesRewritesNoFile)
{
    server.setHandler([](const LoopbackRequest &request) {
        const QByteArray etag = "\"" + request.target().mid(1) + "\"";
        if (request.raw.contains("\r\nIf-None-Match: " + etag + "\r\n"))
            return LoopbackReply::http("304 Not Modified", "");
        return LoopbackReply::http("200 OK", feed(request.target().mid(1)), "ETag: " + etag + "\r\n");
    });
    channel(root(), QStringLiteral("A"), QStringLiteral("/a"));
    channel(root(), QStringLiteral("B"), QStringLiteral("/b"));
    run().SyncAllChannels();
    ASSERT_TRUE(QFile::exists(cacheFileOf(2)));
    const QStringList before = fileStamps(home.path());
    lines.clear();
    run().SyncAllChannels();
    EXPECT_EQ(lines, QStringList({"1 Uaktualniono A", "1 Uaktualniono B"}));
    EXPECT_EQ(server.requestCount(), 4);
    EXPECT_EQ(fileStamps(home.path()), before);
}

// A timer run takes a channel with an interval of its own once that interval has passed
// since its last update or attempt, the channels that follow the settings once the
// settings' interval has passed, and a tick that would take no channel runs nothing.
TEST_F(SyncRunTest, TheTimersRunsTakeEachChannelWhenItsOwnIntervalHasPassed)
{
    QDateTime now = QDateTime::currentDateTime();
    run().setClock([&now] { return now; });
    const auto own = [&](const QString &name, const QString &path, int minutes, int minutesAgo) {
        ChannelNode *node = channel(root(), name, path);
        node->channel()->interval = minutes;
        node->channel()->lastupdate = now.addSecs(-60 * minutesAgo);
    };
    own(QStringLiteral("Często"), QStringLiteral("/often"), 10, 11);
    own(QStringLiteral("Rzadko"), QStringLiteral("/seldom"), 120, 30);
    own(QStringLiteral("Jak w ustawieniach"), QStringLiteral("/settings"), 0, 24 * 60);
    own(QStringLiteral("Zepsuty"), QStringLiteral("/missing"), 10, 24 * 60);
    run().setSchedule(60 * 60000);
    EXPECT_EQ(run().tmUpdates().interval(), 10 * 60000) << "60, 10 and 120 minutes meet every 10";

    int seen = 0;
    const auto tick = [&](int minutesLater) {
        now = now.addSecs(60 * minutesLater);
        const int runs = runningEvents.count(true);
        run().SyncAllChannels(SyncRun::Trigger::Timer);
        QStringList asked;
        const QList<LoopbackRequest> requests = server.requests();
        for (; seen < requests.size(); ++seen)
            asked << QString::fromLatin1(requests.at(seen).target());
        asked.sort();
        if (runningEvents.count(true) == runs)
            asked << QStringLiteral("no run");
        return asked.join(QLatin1Char(' ')).toStdString();
    };
    EXPECT_EQ(tick(0), "/missing /often");
    EXPECT_EQ(tick(1), "no run") << "a failed channel waits its interval like an updated one";
    EXPECT_EQ(tick(9), "/missing /often");
    EXPECT_EQ(tick(50), "/missing /often /settings") << "an hour since the schedule began";
    EXPECT_EQ(tick(20), "/missing /often");
    EXPECT_EQ(tick(10), "/missing /often /seldom") << "two hours since its update";
    EXPECT_EQ(tick(30), "/missing /often /settings");

    // A command takes every enabled channel at once, whatever their intervals.
    run().SyncAllChannels();
    EXPECT_EQ(server.requestCount() - seen, 4);
}

// The settings of the session drive the timer: a changed interval starts a new period, the
// same interval again (any other setting changed) leaves the running one alone.
TEST_F(SyncRunTest, TheTimerFollowsTheLiveSettingsInterval)
{
    LiveSettings &live = session->liveSettings();
    QTimer &timer = run().tmUpdates();
    AppSettings s = live.values();
    s.updates = true;
    s.interval = 60;
    live.set(s);
    ASSERT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), 3600000);
    // Some of the period gone, so that a restart would show.
    ASSERT_TRUE(WaitUntil([&] { return timer.remainingTime() < 3600000; }));
    const int before = timer.remainingTime();
    s.balloon = !s.balloon;
    live.set(s);
    EXPECT_LE(timer.remainingTime(), before) << "not started again";

    s.interval = 61;
    live.set(s);
    EXPECT_EQ(timer.interval(), 61 * 60000);
    EXPECT_GT(timer.remainingTime(), 61 * 60000 - 30000) << "a new period";

    s.updates = false;
    live.set(s);
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(timer.interval(), 0);
}
