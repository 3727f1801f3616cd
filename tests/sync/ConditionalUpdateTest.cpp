#include "support/TestFiles.h"
#include "sync/UpdaterFixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

QByteArray rss(const QStringList &titles)
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                     "<title>Kanał</title><link>http://example.org/</link>\n";
    for (const QString &t : titles)
        doc += "<item><title>" + t.toUtf8() + "</title></item>\n";
    return doc + "</channel></rss>\n";
}

// The value of one header line of a recorded request head; empty when it has none.
QByteArray headerValue(const QByteArray &head, const QByteArray &name)
{
    for (const QByteArray &line : head.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.toLower().startsWith(name.toLower() + ':'))
            return trimmed.mid(name.size() + 1).trimmed();
    }
    return QByteArray();
}

// Each request answered with what the test's handler says, seeing the request head.
class ConditionalUpdateTest : public UpdaterFixture
{
protected:
    void answer(std::function<LoopbackReply(const QByteArray &)> handler)
    {
        UpdaterFixture::answer(
            [handler](const LoopbackRequest &request) { return handler(request.raw); });
    }

    // The head of the n-th request (from 0).
    QByteArray head(int n) const
    {
        const QList<LoopbackRequest> requests = server.requests();
        return n < requests.size() ? requests.at(n).raw : QByteArray();
    }

    int update()
    {
        host.reports.clear();
        return updater->UpdateChannel(channel, QStringLiteral("Kanał"));
    }
};

const QDateTime LongAgo(QDate(2001, 1, 1), QTime(12, 0));

} // namespace

// Each server kind in turn: validators are sent back exactly as received, after the
// usual lines, and a 304 keeps the cache file byte for byte while the update counts.
TEST_F(ConditionalUpdateTest, ValidatorsComeBackAndA304KeepsTheCacheFile)
{
    const struct
    {
        const char *name;
        QByteArray headers;
        QByteArray ifNoneMatch;
        QByteArray ifModifiedSince;
    } servers[] = {
        {"etag", "ETag: \"v1-abc\"\r\n", "\"v1-abc\"", ""},
        {"last-modified", "Last-Modified: Mon, 05 Jan 2004 10:00:00 GMT\r\n", "",
         "Mon, 05 Jan 2004 10:00:00 GMT"},
        {"both", "ETag: W/\"x\"\r\nLast-Modified: Tue, 06 Jan 2004 10:00:00 GMT\r\n", "W/\"x\"",
         "Tue, 06 Jan 2004 10:00:00 GMT"},
    };
    for (const auto &s : servers) {
        SCOPED_TRACE(s.name);
        QFile::remove(cacheFile());
        const int before = server.requestCount();
        answer([&s](const QByteArray &request) {
            if (!headerValue(request, "If-None-Match").isEmpty() ||
                !headerValue(request, "If-Modified-Since").isEmpty())
                return LoopbackReply::http("304 Not Modified", QByteArray());
            return LoopbackReply::http("200 OK", rss({"Jeden", "Dwa"}), s.headers);
        });
        ASSERT_EQ(update(), 2);
        markRead(QStringLiteral("Jeden"));
        const QByteArray cached = readAll(cacheFile());
        channel.lastupdate = LongAgo;

        EXPECT_EQ(update(), 0);
        EXPECT_TRUE(host.reports.isEmpty()) << host.reports.join('\n').toStdString();
        EXPECT_EQ(readAll(cacheFile()), cached); // GUIDs and read marks as they were
        EXPECT_GT(channel.lastupdate, LongAgo);
        EXPECT_FALSE(QFile::exists(folder.downloadFile(ChannelGuid)));

        const QByteArray second = head(before + 1);
        EXPECT_EQ(headerValue(second, "If-None-Match"), s.ifNoneMatch);
        EXPECT_EQ(headerValue(second, "If-Modified-Since"), s.ifModifiedSince);
        // The conditions follow every line of the plain request, which is unchanged.
        QByteArray plain = second;
        for (const char *name : {"If-None-Match", "If-Modified-Since"}) {
            const QByteArray value = headerValue(second, name);
            if (!value.isEmpty())
                plain.replace(QByteArray(name) + ": " + value + "\r\n", "");
        }
        EXPECT_EQ(plain, head(before));
        EXPECT_TRUE(second.startsWith(plain.chopped(2))) << second.constData();
    }
}

TEST_F(ConditionalUpdateTest, AServerThatIgnoresValidatorsGetsFullUpdatesWithMarksCarried)
{
    answer([](const QByteArray &) {
        return LoopbackReply::http("200 OK", rss({"Jeden", "Dwa"}), "ETag: \"same\"\r\n");
    });
    ASSERT_EQ(update(), 2);
    markRead(QStringLiteral("Jeden"));
    EXPECT_EQ(update(), 0);
    EXPECT_EQ(headerValue(head(1), "If-None-Match"), "\"same\"");
    XmlDocument doc;
    doc.loadFromFile(cacheFile());
    const XmlNode first = doc.documentElement().findChild("channel").findChild("item");
    EXPECT_EQ(first.findChild("unread").text(), "0");
    EXPECT_EQ(first.nextSibling().findChild("unread").text(), "1");

    // A reply that drops its validators makes the next request a plain one again.
    answer([](const QByteArray &) { return LoopbackReply::http("200 OK", rss({"Trzy"})); });
    EXPECT_EQ(update(), 1);
    EXPECT_EQ(update(), 0);
    EXPECT_TRUE(headerValue(head(3), "If-None-Match").isEmpty());
}

// Validators stand for the cache file they came with: no file, a new address, a broken
// or hostile store all mean a plain request, never a 304 taken for an update.
TEST_F(ConditionalUpdateTest, ValidatorsAreSentOnlyWhenTheyStillFit)
{
    answer([](const QByteArray &request) {
        if (!headerValue(request, "If-None-Match").isEmpty())
            return LoopbackReply::http("304 Not Modified", QByteArray());
        return LoopbackReply::http("200 OK", rss({"Jeden"}), "ETag: \"e1\"\r\n");
    });
    ASSERT_EQ(update(), 1);
    ASSERT_TRUE(QFile::exists(folder.validatorsFile()));

    QFile::remove(cacheFile());
    EXPECT_EQ(update(), 1);
    EXPECT_TRUE(headerValue(head(1), "If-None-Match").isEmpty());
    EXPECT_TRUE(QFile::exists(cacheFile()));

    channel.url = server.url(QStringLiteral("/feed.xml?other"));
    EXPECT_EQ(update(), 0);
    EXPECT_TRUE(headerValue(head(2), "If-None-Match").isEmpty());

    // A fresh updater reads the broken file as empty and replaces it at the next change.
    for (const QByteArray &broken :
         {QByteArray("{\"channels\": {\"" + ChannelGuid.toUtf8() + "\": {\"url\": \"x\""),
          QByteArray("{\"channels\": {\"" + ChannelGuid.toUtf8() + "\": {\"url\": \"" +
                     channel.url.toUtf8() + "\", \"etag\": \"a\\r\\nX-Injected: 1\"}}}")}) {
        ASSERT_TRUE(writeAll(folder.validatorsFile(), broken));
        const int before = server.requestCount();
        newUpdater();
        EXPECT_EQ(update(), 0);
        EXPECT_TRUE(headerValue(head(before), "If-None-Match").isEmpty());
        EXPECT_FALSE(head(before).contains("X-Injected"));
    }
    EXPECT_EQ(update(), 0);
    EXPECT_EQ(headerValue(head(server.requestCount() - 1), "If-None-Match"), "\"e1\"");

    // An unasked 304 is no document: the update fails as any other status would.
    answer([](const QByteArray &) { return LoopbackReply::http("304 Not Modified", ""); });
    QFile::remove(cacheFile());
    channel.lastupdate = LongAgo;
    EXPECT_EQ(update(), -1);
    EXPECT_EQ(channel.lastupdate, LongAgo);
    EXPECT_FALSE(QFile::exists(cacheFile()));
}

TEST_F(ConditionalUpdateTest, RetryAfterHoldsTheTimerButNotTheCommand)
{
    answer([](const QByteArray &) {
        return LoopbackReply::http("503 Service Unavailable", "zajęty", "Retry-After: 120\r\n");
    });
    const QDateTime before = QDateTime::currentDateTime();
    EXPECT_EQ(update(), -1);
    ASSERT_EQ(host.reports.size(), 2) << host.reports.join('\n').toStdString();
    EXPECT_TRUE(host.reports[0].startsWith(QStringLiteral("Serwer prosi o przerwę do ")));
    EXPECT_TRUE(host.reports[0].endsWith(QStringLiteral(" (503, ") + channel.url + ")"));
    EXPECT_EQ(host.reports[1], QStringLiteral("Nie można pobrać nowych nagłówków z Kanał"));
    const QDateTime until = updater->retryNotBefore(channel);
    EXPECT_GE(until, before.addSecs(119));
    EXPECT_LE(until, QDateTime::currentDateTime().addSecs(121));
    EXPECT_FALSE(updater->mayUpdateOnTimer(channel));
    EXPECT_TRUE(updater->mayUpdateOnTimer(channel, until));

    // The pause is the server's: another channel of the same host waits too, one of
    // another host does not.
    TtvChannel sameHost;
    sameHost.GUID = QStringLiteral("{0A1B2C3D-0000-4000-8000-000000000001}");
    sameHost.url = server.url(QStringLiteral("/other.xml"));
    EXPECT_FALSE(updater->mayUpdateOnTimer(sameHost));
    TtvChannel otherHost = sameHost;
    otherHost.url = QStringLiteral("http://localhost:1/feed.xml");
    EXPECT_TRUE(updater->mayUpdateOnTimer(otherHost));

    // It outlives the program: a fresh updater reads it back from the per-user folder.
    newUpdater();
    EXPECT_FALSE(updater->mayUpdateOnTimer(sameHost));
    EXPECT_TRUE(updater->mayUpdateOnTimer(channel, until));

    // The command asks at once; its success ends the pause, also after a restart.
    answer([](const QByteArray &) { return LoopbackReply::http("200 OK", rss({"Jeden"})); });
    EXPECT_EQ(update(), 1);
    EXPECT_TRUE(updater->mayUpdateOnTimer(sameHost));
    newUpdater();
    EXPECT_TRUE(updater->mayUpdateOnTimer(channel));

    // A 429 naming a date; a 503 without Retry-After is an ordinary failure that leaves the
    // pause as it was.
    const QString date = QDateTime::currentDateTimeUtc().addSecs(3600).toString(
        QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    answer([&date](const QByteArray &) {
        return LoopbackReply::http("429 Too Many Requests", "",
                                   "Retry-After: " + date.toLatin1() + "\r\n");
    });
    EXPECT_EQ(update(), -1);
    EXPECT_EQ(host.reports.size(), 2);
    EXPECT_FALSE(updater->mayUpdateOnTimer(channel));
    EXPECT_TRUE(updater->mayUpdateOnTimer(channel, QDateTime::currentDateTime().addSecs(3601)));

    answer([](const QByteArray &) { return LoopbackReply::http("503 Service Unavailable", ""); });
    newUpdater();
    EXPECT_EQ(update(), -1);
    EXPECT_EQ(host.reports,
              QStringList{QStringLiteral("Nie można pobrać nowych nagłówków z Kanał")});
    EXPECT_FALSE(updater->mayUpdateOnTimer(channel));

    // A file that is not ours holds no pause.
    ASSERT_TRUE(writeAll(folder.serverPausesFile(), "{\"hosts\": [1, 2"));
    newUpdater();
    EXPECT_TRUE(updater->mayUpdateOnTimer(channel));
}

// A cache file that no longer loads is never taken as "not modified": the request is a
// full one, the file is rebuilt, and the validators come back with it.
TEST_F(ConditionalUpdateTest, ABrokenCacheFileIsFetchedInFullAndRepaired)
{
    answer([](const QByteArray &request) {
        if (!headerValue(request, "If-None-Match").isEmpty())
            return LoopbackReply::http("304 Not Modified", QByteArray());
        return LoopbackReply::http("200 OK", rss({"Jeden", "Dwa"}), "ETag: \"e1\"\r\n");
    });
    ASSERT_EQ(update(), 2);
    const QByteArray good = readAll(cacheFile());
    const struct
    {
        const char *name;
        std::function<bool()> damage;
    } damages[] = {
        {"empty", [&] { return writeAll(cacheFile(), QByteArray()); }},
        {"truncated", [&] { return writeAll(cacheFile(), good.left(good.size() / 2)); }},
        {"random", [&] { return writeAll(cacheFile(), QByteArray("\x8F\x01\xFEzq\x00\x7F<<", 10)); }},
        {"directory",
         [&] { return QFile::remove(cacheFile()) && QDir().mkdir(cacheFile()); }},
    };
    for (const auto &d : damages) {
        SCOPED_TRACE(d.name);
        ASSERT_TRUE(d.damage());
        const int before = server.requestCount();
        EXPECT_EQ(update(), 2); // the marks went with the file
        EXPECT_TRUE(headerValue(head(before), "If-None-Match").isEmpty());
        XmlDocument doc;
        EXPECT_NO_THROW(doc.loadFromFile(cacheFile()));
        EXPECT_TRUE(QFileInfo(cacheFile()).isFile());

        EXPECT_EQ(update(), 0);
        EXPECT_EQ(headerValue(head(before + 1), "If-None-Match"), "\"e1\"");
    }
}

// A 304 that names one validator, or none, leaves the other as stored; both reach the next
// request and the file a later updater reads.
TEST_F(ConditionalUpdateTest, EachValidatorStaysUntilTheServerSendsANewOne)
{
    const QByteArray date1 = "Mon, 05 Jan 2004 10:00:00 GMT";
    const QByteArray date2 = "Tue, 06 Jan 2004 10:00:00 GMT";
    QByteArray notModified;
    answer([&](const QByteArray &request) {
        if (!headerValue(request, "If-None-Match").isEmpty())
            return LoopbackReply::http("304 Not Modified", QByteArray(), notModified);
        return LoopbackReply::http("200 OK", rss({"Jeden"}),
                                   "ETag: \"e1\"\r\nLast-Modified: " + date1 + "\r\n");
    });
    ASSERT_EQ(update(), 1);
    const struct
    {
        QByteArray headers;
        QByteArray etag;
        QByteArray lastModified;
    } steps[] = {
        {"ETag: \"e2\"\r\n", "\"e2\"", date1},
        {"Last-Modified: " + date2 + "\r\n", "\"e2\"", date2},
        {"", "\"e2\"", date2},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.headers.constData());
        notModified = step.headers;
        ASSERT_EQ(update(), 0);
        for (bool fresh : {false, true}) {
            if (fresh)
                newUpdater();
            const int before = server.requestCount();
            ASSERT_EQ(update(), 0);
            EXPECT_EQ(headerValue(head(before), "If-None-Match"), step.etag) << fresh;
            EXPECT_EQ(headerValue(head(before), "If-Modified-Since"), step.lastModified) << fresh;
        }
    }
}
