#include "sync/ChannelUpdater.h"

#include "base/FileReplace.h"
#include "support/ShortWrite.h"
#include "support/SignalWait.h"
#include "support/SmallFileSystem.h"
#include "sync/UpdaterFixture.h"
#include "feed/FeedNormaliser.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QSignalSpy>
#include <QTimer>

namespace {

QByteArray rss2(const QStringList &titles, const QByteArray &extraItem = QByteArray())
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                     "<title>Kanał</title><link>http://example.org/</link>\n";
    for (const QString &t : titles)
        doc += "<item><title>" + t.toHtmlEscaped().toUtf8() +
               "</title><link>http://example.org/a</link>"
               "<pubDate>Mon, 05 Jan 2004 10:00:00 GMT</pubDate></item>\n";
    doc += extraItem;
    doc += "</channel></rss>\n";
    return doc;
}

struct Item
{
    QString title;
    QString unread;
    QString guid;
    QString pubDate;
};

// Documents served by path, replaced between updates.
class ChannelUpdaterTest : public UpdaterFixture
{
protected:
    void SetUp() override
    {
        UpdaterFixture::SetUp();
        answer([this](const LoopbackRequest &request) {
            if (!documents.contains(request.target()))
                return LoopbackReply::http("404 Not Found", "missing");
            return LoopbackReply::http("200 OK", documents.value(request.target()),
                                       "Content-Type: text/xml\r\n");
        });
        channel.alerts = true;
    }

    QString tempFile() const { return appFolder + QStringLiteral("temp/") + ChannelGuid + ".xml"; }

    int update(const QByteArray &document)
    {
        {
            QMutexLocker lock(&mutex);
            documents.insert("/feed.xml", document);
        }
        return updater->UpdateChannel(channel, QStringLiteral("Mój kanał"));
    }

    QList<Item> cachedItems(QString *rootName = nullptr)
    {
        XmlDocument doc;
        doc.loadFromFile(cacheFile());
        XmlNode root = doc.documentElement();
        if (rootName)
            *rootName = root.nodeName();
        XmlNode holder = root.nodeName() == QLatin1String("rss")
                             ? root.findChild(QStringLiteral("channel"))
                             : root;
        QList<Item> items;
        for (XmlNode n = holder.firstChild(); n; n = n.nextSibling()) {
            if (n.localName() != QLatin1String("item"))
                continue;
            XmlNode pub = n.findChild(QStringLiteral("pubDate"));
            items.append({n.findChild(QStringLiteral("title")).text(),
                          n.findChild(QStringLiteral("unread")).text(),
                          n.attribute(QStringLiteral("GUID")), pub ? pub.text() : QString()});
        }
        return items;
    }

    QHash<QByteArray, QByteArray> documents; // under the fixture's mutex
};

TEST_F(ChannelUpdaterTest, FirstUpdateMarksEverythingNewAndQueuesThreeAlertsInOrder)
{
    const int result = update(rss2({"Pierwszy", "Drugi", "Trzeci", "Czwarty"}));
    EXPECT_EQ(result, 4);
    EXPECT_EQ(alerts.newItemCount, 4);
    EXPECT_EQ(alerts.alertTitles, QStringList({"Pierwszy", "Drugi", "Trzeci"}));
    EXPECT_EQ(alerts.alertChannels, QStringList(3, QStringLiteral("Mój kanał")));
    EXPECT_TRUE(host.reports.isEmpty()) << host.reports.join('\n').toStdString();

    const QList<Item> items = cachedItems();
    ASSERT_EQ(items.size(), 4);
    for (const Item &item : items) {
        EXPECT_EQ(item.unread, "1");
        EXPECT_EQ(item.pubDate, "2004-01-05");
        EXPECT_EQ(item.guid.size(), 38);
    }
    EXPECT_FALSE(QFile::exists(tempFile()));
    EXPECT_TRUE(channel.lastupdate.isValid());
    EXPECT_FALSE(updater->channelUpdateBusy());
    EXPECT_TRUE(host.busyDuringDownload);
    EXPECT_TRUE(host.syncSelectedEnabled);

    const QByteArray bytes = cacheBytes();
    const int declarationEnd = bytes.indexOf("?>");
    EXPECT_TRUE(bytes.mid(declarationEnd + 2)
                    .trimmed()
                    .startsWith("<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>"));
}

TEST_F(ChannelUpdaterTest, ReadMarksSurviveByTitleWithoutRegardToCase)
{
    ASSERT_EQ(update(rss2({"Alfa", "Beta", "Gamma", "Delta"})), 4);
    markRead("Beta");
    markRead("Delta");
    const QList<Item> before = cachedItems();
    alerts.startRun();

    // Beta comes back in capitals, Gamma is gone, Delta changed its title, Epsilon is new
    // twice over.
    const int result = update(rss2({"Alfa", "BETA", "Delta (poprawione)", "Epsilon", "Epsilon"}));
    EXPECT_EQ(result, 3);
    EXPECT_EQ(alerts.newItemCount, 3);
    EXPECT_EQ(alerts.alertTitles, QStringList({"Delta (poprawione)", "Epsilon", "Epsilon"}));

    const QList<Item> items = cachedItems();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0].title, "Alfa");
    EXPECT_EQ(items[0].unread, "1"); // unread before, still unread, not new
    EXPECT_EQ(items[1].title, "BETA");
    EXPECT_EQ(items[1].unread, "0");
    EXPECT_EQ(items[2].unread, "1");
    EXPECT_EQ(items[3].unread, "1");
    EXPECT_EQ(items[4].unread, "1");
    for (const Item &item : items)
        for (const Item &old : before)
            EXPECT_NE(item.guid, old.guid) << "every update gives new item GUIDs";

    // A third update with nothing new: nothing counted, marks kept.
    markRead("Alfa");
    alerts.startRun();
    EXPECT_EQ(update(rss2({"alfa", "BETA", "Epsilon"})), 0);
    EXPECT_TRUE(alerts.alertTitles.isEmpty());
    const QList<Item> third = cachedItems();
    ASSERT_EQ(third.size(), 3);
    EXPECT_EQ(third[0].unread, "0");
    EXPECT_EQ(third[1].unread, "0");
    EXPECT_EQ(third[2].unread, "1");
}

TEST_F(ChannelUpdaterTest, AlertsAreOnlyQueuedForChannelsThatAskForThem)
{
    channel.alerts = false;
    EXPECT_EQ(update(rss2({"A", "B"})), 2);
    EXPECT_EQ(alerts.newItemCount, 2);
    EXPECT_TRUE(alerts.alertTitles.isEmpty());
}

// An RSS 2.0 document of items with the given titles, each dated that many days ago
// (negative: no date).
QByteArray datedRss(const QList<QPair<QString, int>> &items)
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel>"
                     "<title>Kanał</title>\n";
    for (const auto &[title, daysAgo] : items) {
        doc += "<item><title>" + title.toUtf8() + "</title>";
        if (daysAgo >= 0)
            doc += "<pubDate>" +
                   QLocale::c()
                       .toString(QDateTime::currentDateTimeUtc().addDays(-daysAgo),
                                 QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"))
                       .toUtf8() +
                   "</pubDate>";
        doc += "</item>\n";
    }
    return doc + "</channel></rss>\n";
}

QStringList titlesAndMarks(const QList<Item> &items)
{
    QStringList out;
    for (const Item &item : items)
        out << item.title + QLatin1Char('=') + item.unread;
    return out;
}

// With the setting on, items the channel dropped stay in its cache file with their marks,
// each with a new GUID, until they are as many days old as the setting says: by their own
// date, or from the day they were first kept when they carry none. They never count as new.
TEST_F(ChannelUpdaterTest, DroppedItemsStayWithTheirMarksUntilTheyAreOld)
{
    updater->setKeptItemDays(30);
    ASSERT_EQ(update(datedRss({{"Alfa", 2}, {"Beta", 40}, {"Gamma", -1}, {"Delta", 1}})), 4);
    markRead(QStringLiteral("Alfa"));
    markRead(QStringLiteral("Gamma"));
    const QList<Item> before = cachedItems();

    alerts.startRun();
    EXPECT_EQ(update(datedRss({{"Delta", 1}})), 0);
    EXPECT_EQ(alerts.newItemCount, 0);
    QList<Item> items = cachedItems();
    EXPECT_EQ(titlesAndMarks(items), QStringList({"Delta=1", "Alfa=0", "Gamma=0"}))
        << "Beta is older than 30 days";
    for (const Item &item : items) {
        EXPECT_EQ(item.guid.size(), 38);
        for (const Item &old : before)
            EXPECT_NE(item.guid, old.guid);
    }

    // Across further updates: kept items stay kept, one that comes back is not doubled.
    markRead(QStringLiteral("Delta"));
    EXPECT_EQ(update(datedRss({{"Epsilon", 0}, {"ALFA", 2}})), 1);
    items = cachedItems();
    EXPECT_EQ(titlesAndMarks(items), QStringList({"Epsilon=1", "ALFA=0", "Delta=0", "Gamma=0"}));

    // The undated item counts from the day it was first kept.
    XmlDocument doc;
    doc.loadFromFile(cacheFile());
    XmlNode holder = doc.documentElement().findChild(QStringLiteral("channel"));
    for (XmlNode n = holder.firstChild(); n; n = n.nextSibling()) {
        if (n.localName() == QLatin1String("item") &&
            n.findChild(QStringLiteral("title")).text() == QLatin1String("Gamma")) {
            EXPECT_EQ(n.attribute(QStringLiteral("dropped")),
                      QDate::currentDate().toString(Qt::ISODate));
            n.setAttribute(QStringLiteral("dropped"),
                           QDate::currentDate().addDays(-30).toString(Qt::ISODate));
        }
    }
    doc.save();
    EXPECT_EQ(update(datedRss({{"Epsilon", 0}})), 0);
    EXPECT_EQ(titlesAndMarks(cachedItems()), QStringList({"Epsilon=1", "ALFA=0", "Delta=0"}));

    // Off again: dropped items go with the next update, as they always did.
    updater->setKeptItemDays(0);
    EXPECT_EQ(update(datedRss({{"Epsilon", 0}})), 0);
    EXPECT_EQ(titlesAndMarks(cachedItems()), QStringList({"Epsilon=1"}));
    EXPECT_TRUE(host.reports.isEmpty()) << host.reports.join('\n').toStdString();
}

// RDF items are kept as RDF items, where the readers walk them, and age by their dc:date.
TEST_F(ChannelUpdaterTest, KeptRdfItemsStayItemsOfTheDocument)
{
    updater->setKeptItemDays(10);
    const auto rdf = [](const QByteArray &items) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
               "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
               "<channel rdf:about=\"http://example.org/\"><title>K</title></channel>" +
               items + "</rdf:RDF>";
    };
    const QByteArray today = QDate::currentDate().toString(Qt::ISODate).toUtf8();
    const QByteArray old = QDate::currentDate().addDays(-11).toString(Qt::ISODate).toUtf8();
    ASSERT_EQ(update(rdf("<item><title>Nowy</title><dc:date>" + today + "T10:00:00Z</dc:date></item>"
                         "<item><title>Stary</title><dc:date>" + old + "</dc:date></item>")),
              2);
    {
        XmlDocument read;
        read.loadFromFile(cacheFile());
        read.documentElement()
            .findChild(QStringLiteral("item"))
            .child(QStringLiteral("unread"))
            .setText(QStringLiteral("0"));
        read.save();
    }
    EXPECT_EQ(update(rdf("<item><title>Inny</title></item>")), 1);
    XmlDocument doc;
    doc.loadFromFile(cacheFile());
    const NormalisedFeed feed = NormaliseFeedFile(doc);
    QStringList seen;
    for (XmlNode n = feed.firstItem; n; n = n.nextSibling()) {
        if (n.localName() != QLatin1String("item"))
            continue;
        EXPECT_EQ(n.namespaceURI(), "http://purl.org/rss/1.0/");
        seen << n.findChild(QStringLiteral("title")).text() + QLatin1Char('=') +
                    n.findChild(QStringLiteral("unread")).text();
    }
    EXPECT_EQ(seen, QStringList({"Inny=1", "Nowy=0"}));
}

TEST_F(ChannelUpdaterTest, RdfItemsGetUnreadInTheRssNamespaceAndKeepDublinCore)
{
    const QByteArray rdf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        "<channel rdf:about=\"http://example.org/\"><title>K</title></channel>"
        "<item rdf:about=\"http://example.org/1\"><title>Jeden &amp;#185;&amp;#261;</title>"
        "<dc:creator>Autor</dc:creator><dc:date>2004-01-05</dc:date></item>"
        "<item rdf:about=\"http://example.org/2\"><title>Dwa</title></item>"
        "</rdf:RDF>";
    EXPECT_EQ(update(rdf), 2);
    QString rootName;
    const QList<Item> items = cachedItems(&rootName);
    EXPECT_EQ(rootName, "rdf:RDF");
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].title, QStringLiteral("Jeden ąą"));

    XmlDocument doc;
    doc.loadFromFile(cacheFile());
    XmlNode item = doc.documentElement().findChild(QStringLiteral("item"));
    XmlNode unread = item.findChild(QStringLiteral("unread"));
    ASSERT_TRUE(unread);
    EXPECT_EQ(unread.namespaceURI(), "http://purl.org/rss/1.0/");
    EXPECT_EQ(item.findChild(QStringLiteral("dc:creator")).text(), "Autor");
}

TEST_F(ChannelUpdaterTest, Rss091WithoutDeclarationGetsDeclarationThenInstruction)
{
    const QByteArray doc = "<rss version=\"0.91\"><channel><title>K</title>"
                           "<item><title>Bez daty</title></item><item/></channel></rss>";
    EXPECT_EQ(update(doc), 2);
    EXPECT_TRUE(
        cacheBytes().startsWith(
            "<?xml version=\"1.0\"?><?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>") ||
        cacheBytes().startsWith("<?xml version=\"1.0\"?>\n<?xml-stylesheet"))
        << cacheBytes().left(120).toStdString();
    const QList<Item> items = cachedItems();
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0].pubDate.isNull()); // no pubDate is invented
    EXPECT_EQ(items[1].title, "");          // an item without title gets an empty one
}

TEST_F(ChannelUpdaterTest, Iso88592IsStoredAsWindows1250WithPolishLettersIntact)
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?>\n<rss version=\"2.0\">"
                     "<channel><title>K</title><item><title>Za\xbf\xf3\xb3\xe6 g\xea\xb6l\xb1 "
                     "ja\xbc\xf1</title></item></channel></rss>";
    EXPECT_EQ(update(doc), 1);
    const QByteArray bytes = cacheBytes();
    EXPECT_TRUE(bytes.contains("encoding=\"windows-1250\"")) << bytes.left(80).toStdString();
    EXPECT_TRUE(bytes.contains("Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1"));
    EXPECT_EQ(cachedItems().at(0).title, QStringLiteral("Zażółć gęślą jaźń"));
}

TEST_F(ChannelUpdaterTest, Utf16DownloadKeepsItsEncoding)
{
    QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?><rss version=\"2.0\">"
                                  "<channel><item><title>Źdźbło</title></item></channel></rss>");
    QByteArray doc("\xFF\xFE", 2);
    doc.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    EXPECT_EQ(update(doc), 1);
    EXPECT_TRUE(host.reports.isEmpty()) << host.reports.join('\n').toStdString();
    EXPECT_EQ(cachedItems().at(0).title, QStringLiteral("Źdźbło"));
}

TEST_F(ChannelUpdaterTest, FailedDownloadLeavesCacheAndLastUpdate)
{
    ASSERT_EQ(update(rss2({"A"})), 1);
    const QByteArray before = cacheBytes();
    // Far from any time the update could stamp, so a stamp shows whatever the clock does.
    const QDateTime lastUpdate(QDate(2001, 2, 3), QTime(4, 5, 6));
    channel.lastupdate = lastUpdate;
    channel.url = server.url(QStringLiteral("/missing.xml"));
    EXPECT_EQ(updater->UpdateChannel(channel, QStringLiteral("Mój kanał")), -1);
    ASSERT_EQ(host.reports.size(), 2);
    EXPECT_TRUE(host.reports[0].startsWith("Niepoprawny adres URL ("));
    EXPECT_EQ(host.reports[1], QStringLiteral("Nie można pobrać nowych nagłówków z Mój kanał"));
    EXPECT_EQ(cacheBytes(), before);
    EXPECT_EQ(channel.lastupdate, lastUpdate);
    EXPECT_FALSE(updater->channelUpdateBusy());
    EXPECT_TRUE(host.syncSelectedEnabled);
}

// The tree shows a channel whose last update failed, with the line that says why, until an
// update of it succeeds.
TEST_F(ChannelUpdaterTest, AFailedUpdateLeavesTheChannelFailingUntilOneSucceeds)
{
    const UpdateFailures &failures = updater->failures();
    ASSERT_EQ(update(rss2({"A"})), 1);
    EXPECT_FALSE(failures.failing(ChannelGuid));
    const QString url = channel.url;
    channel.url = server.url(QStringLiteral("/missing.xml"));
    QSignalSpy changed(&updater->failures(), &UpdateFailures::changed);
    EXPECT_EQ(updater->UpdateChannel(channel, QStringLiteral("Mój kanał")), -1);
    EXPECT_TRUE(failures.failing(ChannelGuid));
    EXPECT_EQ(failures.line(ChannelGuid),
              QStringLiteral("Nie można pobrać nowych nagłówków z Mój kanał (serwer odpowiedział: "
                             "404 Not Found)"));
    EXPECT_EQ(changed.size(), 1);
    channel.url = url;
    EXPECT_EQ(update("<rss version=\"2.0\"><title>no channel</title></rss>"), -1);
    EXPECT_EQ(failures.line(ChannelGuid), QStringLiteral("Zły format kanału Mój kanał"));
    ASSERT_EQ(update(rss2({"A", "B"})), 1);
    EXPECT_FALSE(failures.failing(ChannelGuid));
    EXPECT_EQ(failures.line(ChannelGuid), QString());
    EXPECT_EQ(changed.size(), 3);
}

TEST_F(ChannelUpdaterTest, BadDocumentsAreReportedAndLeaveTheCacheUntouched)
{
    ASSERT_EQ(update(rss2({"A"})), 1);
    const QByteArray before = cacheBytes();
    const QDateTime lastUpdate(QDate(2001, 2, 3), QTime(4, 5, 6));
    channel.lastupdate = lastUpdate;
    const QList<QByteArray> bad = {
        "<rss version=\"2.0\"><channel><item><title>A</title></item>", // not well-formed
        "<rss version=\"2.0\"><title>no channel</title></rss>",
        "<rss version=\"2.0\"><channel><item><title><b>A</b></title></item></channel></rss>",
        "",
        "<!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d "
        "\"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f "
        "\"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">"
        "<!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\"><!ENTITY h "
        "\"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">]>"
        "<rss version=\"2.0\"><channel><item><title>&h;</title></item></channel></rss>",
    };
    for (const QByteArray &doc : bad) {
        host.reports.clear();
        EXPECT_EQ(update(doc), -1) << doc.toStdString();
        EXPECT_EQ(host.reports, QStringList(QStringLiteral("Zły format kanału Mój kanał")))
            << doc.toStdString();
        EXPECT_EQ(cacheBytes(), before);
        EXPECT_EQ(channel.lastupdate, lastUpdate);
        EXPECT_TRUE(QFile::exists(tempFile())) << "the download stays for a look";
        EXPECT_FALSE(updater->channelUpdateBusy());
    }
}

TEST_F(ChannelUpdaterTest, UnreadableOldCacheIsReportedAndTheUpdateGoesOn)
{
    QFile broken(cacheFile());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<rss><channel><item>");
    broken.close();
    EXPECT_EQ(update(rss2({"A", "B"})), 2);
    ASSERT_EQ(host.reports.size(), 1);
    EXPECT_TRUE(host.reports[0].contains(QStringLiteral("Mój kanał")));
    EXPECT_EQ(cachedItems().size(), 2);
}

TEST_F(ChannelUpdaterTest, TheShownChannelIsSavedFirstAndReloadedAfter)
{
    ASSERT_EQ(update(rss2({"A", "B"})), 2);
    host.shown.loadFromFile(cacheFile());
    // A read mark made in the shown document, not yet on disk.
    XmlNode channelNode = host.shown.documentElement().findChild(QStringLiteral("channel"));
    channelNode.findChild(QStringLiteral("item")).child(QStringLiteral("unread")).setText("0");

    EXPECT_EQ(update(rss2({"A", "B", "C"})), 1);
    EXPECT_TRUE(host.shown.active());
    EXPECT_GE(host.headersDisabledCount, 1);
    EXPECT_TRUE(host.headersEnabled);
    EXPECT_EQ(host.refreshCount, 1);
    const QList<Item> items = cachedItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].unread, "0") << "the mark made before the update was kept";
    // The reloaded document is the new file.
    XmlNode shownChannel = host.shown.documentElement().findChild(QStringLiteral("channel"));
    int count = 0;
    for (XmlNode n = shownChannel.firstChild(); n; n = n.nextSibling())
        count += n.localName() == QLatin1String("item");
    EXPECT_EQ(count, 3);
}

TEST_F(ChannelUpdaterTest, SlowChannelIsReportedOnceWhileTheUpdateGoesOn)
{
    updater->setLongResponseInterval(100);
    answer(
        [](const LoopbackRequest &) { return LoopbackReply::okWhenReleased(rss2({"Powolny"})); });
    // The body comes once the slow answer has been reported, or never was in time.
    WhenTrue(
        updater.get(), [this] { return !host.reports.isEmpty(); },
        [this](bool) { server.release(); });
    EXPECT_EQ(updater->UpdateChannel(channel, QStringLiteral("Wolny")), 1);
    EXPECT_EQ(host.reports,
              QStringList(QStringLiteral("Kanał Wolny może powodować błędy w działaniu programu "
                                         "(czas odświeżania ponad wyniósł ponad 1 minutę).")));
    EXPECT_FALSE(updater->longResponsePending());
}

} // namespace

namespace {

// Fetches from memory, serving no events itself: only the walk can serve them.
class SilentHost : public IChannelUpdateHost
{
public:
    int DownloadDocument(const QString &, const QString &target, const QString &,
                         const QString &) override
    {
        return writeAll(target, document) ? 0 : -1;
    }
    void ReportProblem(const QString &line) override { reports.append(line); }

    QByteArray document;
    ShownChannel shown;
    QStringList reports;
};

TEST(ChannelUpdaterEventsTest, EventsAreServedDuringALongWalk)
{
    QTemporaryDir home;
    const QString appFolder = makeUserFolder(home.path());
    ASSERT_FALSE(appFolder.isEmpty());
    QStringList titles;
    for (int i = 0; i < 20000; ++i)
        titles.append(QStringLiteral("Wiadomość %1").arg(i));
    SilentHost host;
    host.document = rss2(titles);
    AlertQueue alerts;
    const UserFolder folder(appFolder);
    ChannelUpdater updater(folder, host, host.shown, alerts);
    TtvChannel channel;
    channel.GUID = ChannelGuid;

    bool servedDuringUpdate = false;
    int secondUpdate = 0;
    UpdateOutcome thirdUpdate = UpdateOutcome::Updated;
    QTimer::singleShot(0, &updater, [&] {
        servedDuringUpdate = updater.channelUpdateBusy();
        secondUpdate = updater.UpdateChannel(channel, QStringLiteral("Drugi raz"));
        thirdUpdate = updater.update(channel, QStringLiteral("Trzeci raz")).outcome;
    });
    EXPECT_EQ(updater.UpdateChannel(channel, QStringLiteral("Długi")), 20000);
    EXPECT_TRUE(servedDuringUpdate);
    EXPECT_EQ(secondUpdate, -1) << "a second update must not start meanwhile";
    EXPECT_EQ(thirdUpdate, UpdateOutcome::Refused) << "told apart from a failure";
    EXPECT_FALSE(updater.channelUpdateBusy());
    EXPECT_TRUE(host.reports.isEmpty());
}

// Titles are matched as the cache file holds them, with their references decoded: matched
// undecoded, such items would come back unread and new, with alerts, at every update.
TEST_F(ChannelUpdaterTest, ReadMarksOfTitlesWithCharacterReferencesCarryOver)
{
    const QByteArray document = rss2({"Caf&#233; &#185;", "&#x17C;&#243;&#322;w", "Zwykły"});
    ASSERT_EQ(update(document), 3);
    QList<Item> items = cachedItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].title, QStringLiteral("Café ą"));
    EXPECT_EQ(items[1].title, QStringLiteral("żółw"));
    markRead(QStringLiteral("Café ą"));
    alerts.startRun();

    EXPECT_EQ(update(document), 0);
    EXPECT_EQ(alerts.newItemCount, 0);
    EXPECT_TRUE(alerts.alertTitles.isEmpty()) << alerts.alertTitles.join('|').toStdString();
    items = cachedItems();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0].unread, "0");
    EXPECT_EQ(items[1].unread, "1");
    EXPECT_EQ(items[2].unread, "1");
}

// The feed never decides which style sheet the cache file names, nor where the program's
// instruction goes: not by a "<?xml" or "?>" in a comment, a section or a title, not by an
// instruction of its own.
TEST_F(ChannelUpdaterTest, TheCacheFileNamesOurStyleSheetFirstAndOnly)
{
    const QByteArray body = "<rss version=\"2.0\"><!-- <?xml ?> --><channel><title>K</title>"
                            "<item><title><![CDATA[A <?xml ?> B]]></title></item>"
                            "</channel></rss>";
    const QByteArray evil = "<?xml-stylesheet type=\"text/xsl\" href=\"file:///etc/evil.xsl\"?>";
    const QByteArray documents[] = {
        body,
        evil + "\n" + body,
        "<?xml version=\"1.0\"?>\n" + evil + body,
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ELEMENT rss ANY>]>" + evil + body + evil,
    };
    for (const QByteArray &document : documents) {
        host.reports.clear();
        ASSERT_GE(update(document), 0) << host.reports.join('\n').toStdString();
        const QByteArray bytes = cacheBytes();
        EXPECT_EQ(bytes.count("xml-stylesheet"), 1) << bytes.constData();
        EXPECT_FALSE(bytes.contains("evil")) << bytes.constData();
        const int declarationEnd = bytes.indexOf("?>");
        EXPECT_TRUE(bytes.startsWith("<?xml "));
        EXPECT_TRUE(bytes.mid(declarationEnd + 2)
                        .trimmed()
                        .startsWith("<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>"))
            << bytes.constData();
        const QList<Item> items = cachedItems();
        ASSERT_EQ(items.size(), 1);
        EXPECT_EQ(items[0].title, QStringLiteral("A <?xml ?> B"));
    }
}

// A namespace name that holds what XML must escape is written back escaped: the cache file
// reads back, with the same name, and the marks carry over.
TEST_F(ChannelUpdaterTest, NamespaceNamesNeedingEscapesReadBack)
{
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\" "
        "xmlns:x=\"urn:a&lt;b&amp;c&quot;d&gt;\" xmlns:y='urn:&#9;ż'><channel><title>K</title>"
        "<item><title>A</title><x:e>v</x:e><y:f>w</y:f></item></channel></rss>";
    ASSERT_EQ(update(document), 1);
    XmlDocument downloaded;
    downloaded.loadFromBytes(document);
    XmlDocument cache;
    ASSERT_NO_THROW(cache.loadFromFile(cacheFile())) << cacheBytes().constData();
    for (const QString &prefix : {QStringLiteral("x"), QStringLiteral("y")})
        EXPECT_EQ(cache.documentElement().lookupNamespaceURI(prefix),
                  downloaded.documentElement().lookupNamespaceURI(prefix));
    EXPECT_TRUE(cache.documentElement().lookupNamespaceURI(QStringLiteral("x")).contains('<'));
    markRead(QStringLiteral("A"));
    alerts.startRun();
    EXPECT_EQ(update(document), 0);
    EXPECT_TRUE(host.reports.isEmpty()) << host.reports.join('\n').toStdString();
    EXPECT_EQ(cachedItems().value(0).unread, "0");
}

// A GUID that is not one names no file: neither outside the per-user folder nor one that
// channels without a GUID would share.
TEST_F(ChannelUpdaterTest, AChannelWhoseGuidIsNoGuidIsRefused)
{
    for (const QString &guid : {QStringLiteral("/../../../x"), QString(),
                                QStringLiteral("{0A1B2C3D-0000-4000-8000-00000000AB/}")}) {
        channel.GUID = guid;
        host.reports.clear();
        EXPECT_EQ(update(rss2({"A"})), -1);
        EXPECT_EQ(host.reports, QStringList{QStringLiteral("Zły identyfikator kanału Mój kanał")});
        EXPECT_FALSE(updater->channelUpdateBusy());
    }
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_TRUE(QDir(appFolder + QStringLiteral("data")).isEmpty());
    EXPECT_TRUE(QDir(appFolder + QStringLiteral("temp")).isEmpty());
    EXPECT_FALSE(QFile::exists(home.path() + QStringLiteral("/../x.xml")));
}

namespace {

// Fails as a full disk does, for the rebuilt document only (the download has no marks).
qint64 failingWrite(int fd, const char *data, qint64 size)
{
    if (QByteArray::fromRawData(data, size).contains("<unread>")) {
        errno = ENOSPC;
        return -1;
    }
    return qint64(::write(fd, data, size_t(size)));
}

QByteArray manyItems(int count)
{
    QStringList titles;
    for (int i = 0; i < count; ++i)
        titles << QStringLiteral("Wiadomość numer %1").arg(i);
    return rss2(titles);
}

} // namespace

// A cache file that cannot be replaced (a full disk, a read-only folder) is reported, keeps
// its content and marks, and the channel counts as not updated.
TEST_F(ChannelUpdaterTest, ACacheFileThatCannotBeReplacedIsReportedAndKept)
{
    ASSERT_EQ(update(rss2({"A"})), 1);
    markRead(QStringLiteral("A"));
    const QByteArray before = cacheBytes();
    const QDateTime lastUpdate(QDate(2001, 2, 3), QTime(4, 5, 6));
    channel.lastupdate = lastUpdate;
    const QStringList failure{QStringLiteral("Nie można zapisać nowych nagłówków kanału Mój kanał")};

    // The rebuilt file fails, or already the download's own file: either way the cache
    // write failed, not the download, and no new item is counted or queued.
    alerts.startRun();
    for (const bool downloadToo : {false, true}) {
        SetFileWriteCall(&failingWrite);
        std::unique_ptr<InjectedShortWrite> full;
        if (downloadToo)
            full = std::make_unique<InjectedShortWrite>();
        host.reports.clear();
        const int result = update(manyItems(200));
        full.reset();
        SetFileWriteCall(nullptr);
        EXPECT_EQ(result, -1) << downloadToo;
        EXPECT_EQ(host.reports, failure) << downloadToo;
        EXPECT_EQ(cacheBytes(), before);
        EXPECT_EQ(channel.lastupdate, lastUpdate);
        EXPECT_FALSE(updater->channelUpdateBusy());
        EXPECT_EQ(alerts.newItemCount, 0) << downloadToo;
        EXPECT_TRUE(alerts.alertTitles.isEmpty()) << downloadToo;
    }

    // data/ on a small file system of its own: first read-only, then with a page left.
    for (const bool readOnly : {true, false}) {
        SmallFileSystem data(appFolder + QStringLiteral("data"));
        if (!data.mounted())
            GTEST_SKIP() << "needs root to mount a small file system";
        ASSERT_TRUE(writeAll(cacheFile(), before));
        ASSERT_TRUE(readOnly ? data.makeReadOnly() : data.fill(4096));
        host.reports.clear();
        EXPECT_EQ(update(manyItems(200)), -1) << readOnly;
        EXPECT_EQ(host.reports, failure) << readOnly;
        EXPECT_EQ(cacheBytes(), before);
        EXPECT_EQ(channel.lastupdate, lastUpdate);
        EXPECT_EQ(QDir(data.path()).entryList(QDir::Files), QStringList{ChannelGuid + ".xml"});
    }
}

} // namespace
