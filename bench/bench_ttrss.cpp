// A Tiny Tiny RSS account with 10,000 unread items on a real server (seeded by SQL): the
// first synchronisation of the account (time and the process's peak memory) beside the
// server's own time to hand out those items (every page of headlines with content, the
// same calls the synchronisation makes), and a second run with nothing new.

#include "account/AccountSettings.h"
#include "account/AccountSync.h"
#include "account/TtrssApi.h"
#include "app/Session.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/ReportSink.h"
#include "reading/ShownChannel.h"
#include "support/TestUserFolder.h"
#include "support/TtrssServer.h"
#include "sync/SyncRun.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

namespace {

const int Items = 10000;

struct Lines : IReportSink
{
    void ReportProblem(const QString &line) override
    {
        std::fprintf(stderr, "  report: %s\n", qPrintable(line));
    }
};

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!QFile::exists(QStringLiteral("/usr/share/tt-rss/www/api/index.php"))) {
        std::printf("tt-rss is not installed (scripts/install-deps.sh): skipped\n");
        return 0;
    }
    TtrssServer server;
    QElapsedTimer timer;
    timer.start();
    if (!server.start()) {
        std::printf("the tt-rss server did not start: %s\n", qPrintable(server.error()));
        return 1;
    }
    std::printf("tt-rss server start: %.1f s\n", timer.nsecsElapsed() / 1e9);
    const QString user = server.addUser(QStringLiteral("secret"));
    const QString uid = server.sql(QStringLiteral("select id from ttrss_users where login = '%1'").arg(user));
    const QString feed = server.sql(
        QStringLiteral("insert into ttrss_feeds (owner_uid, title, feed_url) values (%1, 'Dziesięć "
                       "tysięcy', 'http://[::1]/bench.xml') returning id")
            .arg(uid));
    timer.restart();
    server.sql(QStringLiteral(
                   "insert into ttrss_entries (title, guid, link, updated, content, content_hash, "
                   "date_entered, date_updated) select 'Wiadomość ' || n, 'bench-' || n, "
                   "'http://example.org/' || n, now() - n * interval '1 minute', "
                   "'<p>Treść wiadomości ' || n || ' z kilkoma zdaniami, jak w prawdziwym kanale.</p>', "
                   "'h' || n, now(), now() from generate_series(1, %1) n")
                   .arg(Items));
    server.sql(QStringLiteral("insert into ttrss_user_entries (ref_id, uuid, owner_uid, feed_id, "
                              "unread, tag_cache, label_cache) select id, '', %1, %2, true, '', '' "
                              "from ttrss_entries where guid like 'bench-%%'")
                   .arg(uid, feed)
                   .replace(QStringLiteral("%%"), QStringLiteral("%")));
    std::printf("seeded %d unread items by SQL: %.1f s\n", Items, timer.nsecsElapsed() / 1e9);

    // The server alone: every page with content, as a client asks for them.
    {
        TtrssApi api;
        api.setServer(server.address());
        api.setCredentials(user, QStringLiteral("secret"));
        api.login();
        timer.restart();
        int got = 0;
        bool ok = true;
        for (int skip = 0; ok; skip += TtrssApi::HeadlinesPage) {
            const int n = api.headlines(feed.toInt(), 0, true, false, skip, &ok).size();
            got += n;
            if (n < TtrssApi::HeadlinesPage)
                break;
        }
        std::printf("server alone, %d headlines with content in pages of %d: %.1f s\n", got,
                    TtrssApi::HeadlinesPage, timer.nsecsElapsed() / 1e9);
        api.logout();
    }

    QTemporaryDir home;
    const UserFolder folder(makeUserFolder(home.path() + QStringLiteral("/Kolvani")));
    AccountSettings settings;
    settings.server = server.address();
    settings.user = user;
    settings.password = QStringLiteral("secret");
    settings.write(folder.dataFile(QStringLiteral("ttrss_account.json")));
    ChannelTree empty;
    SaveChannelTree(empty, folder.treeFile());
    Lines lines;
    Session session(folder, lines);
    session.loadChannelTree();
    session.shownChannel().document().setActive(false);
    const long before = peakKb();
    timer.restart();
    session.syncRun().SyncAllChannels();
    const double first = timer.nsecsElapsed() / 1e9;
    std::printf("first synchronisation, %d items: %.1f s, peak memory %ld MB (%ld MB before)\n",
                Items, first, peakKb() / 1024, before / 1024);
    timer.restart();
    session.syncRun().SyncAllChannels();
    std::printf("second synchronisation, nothing new: %.1f s\n", timer.nsecsElapsed() / 1e9);
    ChannelNode *group = session.account().accountGroup();
    const QList<ChannelNode *> channels = session.channelTree().channelsInPreOrder();
    if (!group || channels.size() != 1) {
        std::printf("the account's channel is missing\n");
        return 1;
    }
    QFile cache(folder.cacheFile(channels.first()->channel()->GUID));
    cache.open(QIODevice::ReadOnly);
    const int stored = int(cache.readAll().count("<item"));
    std::printf("items in the cache file: %d\n", stored);
    return stored == Items ? 0 : 1;
}
