// Synchronisation speed: `kolvani --sync` over 200 generated channels (cold and warm) beside
// the bare cost of the same work (curl fetching the documents one after another, one process
// each, plus a bare libxml2 parse and save of each; the stricter figure with a single curl
// process is printed too), and one update of a 10,000-item channel against its
// own earlier cache file beside a bare parse and save of that file.

#include "alerts/AlertQueue.h"
#include "app/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/DocumentDownloader.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "sync/ChannelUpdater.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

const int ChannelCount = 200;
const int ItemsPerChannel = 100;
const int BigChannelItems = 10000;

QString polishText(int i)
{
    static const QStringList words = {
        QStringLiteral("zażółć"),    QStringLiteral("gęślą"),          QStringLiteral("jaźń"),
        QStringLiteral("wiadomość"), QStringLiteral("kanał"),          QStringLiteral("źródło"),
        QStringLiteral("Łódź"),      QStringLiteral("Świętokrzyskie"), QStringLiteral("pogoda")};
    QString text;
    for (int w = 0; w < 40; ++w)
        text += words[(i * 7 + w) % words.size()] + QLatin1Char(' ');
    return text;
}

// An RSS 2.0 or RDF document, UTF-8 or windows-1250.
QByteArray channelDocument(int channel, int items, bool rdf, bool win1250)
{
    const QString encoding = win1250 ? QStringLiteral("windows-1250") : QStringLiteral("UTF-8");
    QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(encoding);
    if (rdf) {
        doc += QStringLiteral(
                   "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                   "xmlns=\"http://purl.org/rss/1.0/\" "
                   "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                   "<channel rdf:about=\"http://example.org/\"><title>Kanał %1</title>"
                   "<link>http://example.org/</link><description>Opis</description></channel>\n")
                   .arg(channel);
    } else {
        doc += QStringLiteral("<rss version=\"2.0\"><channel><title>Kanał %1</title>"
                              "<link>http://example.org/</link><description>Opis</description>\n")
                   .arg(channel);
    }
    for (int i = 0; i < items; ++i) {
        doc += QStringLiteral("<item%1><title>Wiadomość %2 nr %3 – %4</title>"
                              "<link>http://example.org/%2/%3</link>"
                              "<description>%5</description>")
                   .arg(rdf ? QStringLiteral(" rdf:about=\"http://example.org/%1/%2\"")
                                  .arg(channel)
                                  .arg(i)
                            : QString())
                   .arg(channel)
                   .arg(i)
                   .arg(polishText(i).left(30))
                   .arg(polishText(i + channel));
        doc += rdf ? QStringLiteral("<dc:creator>Autor</dc:creator><dc:date>2004-01-05</dc:date>")
                   : QStringLiteral("<pubDate>Mon, 05 Jan 2004 10:00:00 GMT</pubDate>");
        doc += QStringLiteral("</item>\n");
    }
    doc += rdf ? QStringLiteral("</rdf:RDF>\n") : QStringLiteral("</channel></rss>\n");
    if (!win1250)
        return doc.toUtf8();
    QStringEncoder encoder("windows-1250");
    return encoder(doc);
}

QString guidFor(int channel)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(channel, 12, 10, QLatin1Char('0'));
}

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
}

// Best of three: the machine runs other work too.
double bestOf3(const std::function<void()> &prepare, const std::function<void()> &work)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        prepare();
        best = std::min(best, secondsOf(work));
    }
    return best;
}

// The floor any reader pays: libxml2 reading the document and writing it back.
void bareParseAndSave(const QByteArray &document, const QString &target)
{
    xmlDocPtr doc = xmlReadMemory(document.constData(), int(document.size()), nullptr, nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
    if (!doc) {
        std::fprintf(stderr, "bare parse failed\n");
        return;
    }
    xmlSaveFormatFileEnc(
        QFile::encodeName(target).constData(), doc,
        reinterpret_cast<const char *>(doc->encoding ? doc->encoding : BAD_CAST "UTF-8"), 1);
    xmlFreeDoc(doc);
}

bool haveCurl()
{
    return !QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty();
}

// One curl per document, one after another, as a script run from cron would fetch them.
double curlPerDocumentSeconds(const QStringList &urls)
{
    return secondsOf([&] {
        for (const QString &url : urls) {
            QProcess curl;
            curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"),
                                                QStringLiteral("/dev/null"), url});
            curl.waitForFinished(60000);
        }
    });
}

// One curl process fetching every document in turn over one connection: the network floor.
double curlOneProcessSeconds(const QStringList &urls, const QString &folder)
{
    QFile config(folder + QStringLiteral("/curl.cfg"));
    if (!config.open(QIODevice::WriteOnly))
        return -1;
    for (const QString &url : urls)
        config.write(QStringLiteral("url = \"%1\"\noutput = \"/dev/null\"\n").arg(url).toUtf8());
    config.close();
    return secondsOf([&] {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-K"), config.fileName()});
        curl.waitForFinished(600000);
    });
}

class BenchHost : public IChannelUpdateHost
{
public:
    BenchHost() { m_downloader.setReportSink(this); }
    int DownloadDocument(const QString &url, const QString &target, const QString &user,
                         const QString &password) override
    {
        return m_downloader.DownloadDocument(url, target, nullptr, user, password);
    }
    void ReportProblem(const QString &line) override
    {
        std::fprintf(stderr, "report: %s\n", line.toUtf8().constData());
    }

private:
    DocumentDownloader m_downloader;
};

void benchManyChannels(const QTemporaryDir &work)
{
    QHash<QByteArray, QByteArray> documents;
    QStringList urls;
    LoopbackServer server;
    for (int c = 0; c < ChannelCount; ++c)
        documents.insert("/feed/" + QByteArray::number(c),
                         channelDocument(c, ItemsPerChannel, c % 2 == 1, c % 4 >= 2));
    server.setHandler([&documents](const LoopbackRequest &request) {
        return LoopbackReply::http("200 OK", documents.value(request.target()),
                                   "Content-Type: application/xml\r\n");
    });
    server.start();
    for (int c = 0; c < ChannelCount; ++c)
        urls.append(server.url(QStringLiteral("/feed/%1").arg(c)));

    const QString dataHome = work.path() + QStringLiteral("/home");
    const QString appFolder = dataHome + QStringLiteral("/Kolvani/");
    QDir().mkpath(appFolder + QStringLiteral("data"));
    QDir().mkpath(appFolder + QStringLiteral("temp"));
    ChannelTree tree;
    for (int c = 0; c < ChannelCount; ++c) {
        ChannelNode *node =
            tree.addNode(tree.root(), QStringLiteral("Kanał %1").arg(c), NodeKind::Channel);
        node->channel()->url = urls[c];
        node->channel()->GUID = guidFor(c);
        node->channel()->enabled = true;
        node->channel()->alerts = true;
    }
    SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));

    auto runSync = [&] {
        QProcess sync;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
        sync.setProcessEnvironment(env);
        sync.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {QStringLiteral("--sync")});
        sync.waitForFinished(600000);
        if (sync.exitCode() != 0)
            std::fprintf(stderr, "kolvani --sync failed (%d): %s\n", sync.exitCode(),
                         sync.readAllStandardError().right(400).constData());
    };
    const auto removeCacheFiles = [&] {
        for (int c = 0; c < ChannelCount; ++c)
            QFile::remove(appFolder + QStringLiteral("data/") + guidFor(c) +
                          QStringLiteral(".xml"));
    };
    const double cold = bestOf3(removeCacheFiles, runSync);
    const double warm = bestOf3([] {}, runSync);

    double curlEach = -1, curlOne = -1;
    if (haveCurl()) {
        curlEach = bestOf3([] {}, [&] { curlEach = curlPerDocumentSeconds(urls); });
        curlOne = 1e9;
        for (int i = 0; i < 3; ++i)
            curlOne = std::min(curlOne, curlOneProcessSeconds(urls, work.path()));
    }
    const QString bareFolder = work.path() + QStringLiteral("/bare/");
    QDir().mkpath(bareFolder);
    const double bare =
        bestOf3([] {},
                [&] {
                    for (int c = 0; c < ChannelCount; ++c)
                        bareParseAndSave(documents.value("/feed/" + QByteArray::number(c)),
                                         bareFolder + QString::number(c) + QStringLiteral(".xml"));
                });

    std::printf("%d channels x %d items (RSS 2.0 and RDF, UTF-8 and windows-1250), best of 3\n",
                ChannelCount, ItemsPerChannel);
    std::printf("  bare libxml2 parse + save:            %8.3f s\n", bare);
    if (curlEach < 0) {
        std::printf("  curl:                                 not installed\n");
        std::printf("  kolvani --sync, cold:                 %8.3f s  (%.2fx the parse + save)\n",
                    cold, cold / bare);
        std::printf("  kolvani --sync, warm:                 %8.3f s  (%.2fx the parse + save)\n",
                    warm, warm / bare);
        return;
    }
    const double floor = curlEach + bare;
    const double strictFloor = curlOne + bare;
    std::printf("  curl, a process per document:         %8.3f s\n", curlEach);
    std::printf("  curl, one process for all:            %8.3f s\n", curlOne);
    std::printf("  bare cost (curl per document + parse): %7.3f s\n", floor);
    std::printf("  kolvani --sync, cold:                 %8.3f s  (%.2fx bare, target within 2x;"
                " %.2fx with one curl)\n",
                cold, cold / floor, cold / strictFloor);
    std::printf("  kolvani --sync, warm:                 %8.3f s  (%.2fx bare, target within 2x;"
                " %.2fx with one curl)\n",
                warm, warm / floor, warm / strictFloor);
}

void benchBigChannel(const QTemporaryDir &work)
{
    const QByteArray document = channelDocument(1, BigChannelItems, false, false);
    LoopbackServer server;
    server.setHandler([&document](const LoopbackRequest &) {
        return LoopbackReply::http("200 OK", document, "Content-Type: application/xml\r\n");
    });
    server.start();

    const QString appFolder = work.path() + QStringLiteral("/big/");
    QDir().mkpath(appFolder + QStringLiteral("data"));
    QDir().mkpath(appFolder + QStringLiteral("temp"));
    BenchHost host;
    AlertQueue alerts;
    const UserFolder folder(appFolder);
    ShownChannel shown;
    ChannelUpdater updater(folder, host, shown, alerts);
    TtvChannel channel;
    channel.GUID = guidFor(1);
    channel.url = server.url(QStringLiteral("/big"));
    updater.UpdateChannel(channel, QStringLiteral("Duży")); // the earlier cache file

    int result = -1;
    const double update =
        bestOf3([] {}, [&] { result = updater.UpdateChannel(channel, QStringLiteral("Duży")); });
    const double bare = bestOf3(
        [] {}, [&] { bareParseAndSave(document, work.path() + QStringLiteral("/big.xml")); });
    std::printf("\none channel of %d items (%.1f MB) against its earlier cache file\n",
                BigChannelItems, document.size() / 1048576.0);
    std::printf("  bare libxml2 parse + save: %8.3f s\n", bare);
    std::printf("  UpdateChannel:             %8.3f s  (%.2fx bare; target within 3x)%s\n", update,
                update / bare, result < 0 ? "  FAILED" : "");
}

// curl fetching every address with up to 6 connections at once.
double curlParallelSeconds(const QStringList &urls, const QString &folder)
{
    QFile config(folder + QStringLiteral("/curl-parallel.cfg"));
    config.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (int i = 0; i < urls.size(); ++i)
        config.write("url = \"" + urls[i].toUtf8() + "\"\noutput = \"" + folder.toUtf8() + "/p" +
                     QByteArray::number(i) + ".xml\"\n");
    config.close();
    QElapsedTimer timer;
    timer.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("--parallel"),
                                        QStringLiteral("--parallel-max"), QStringLiteral("6"),
                                        QStringLiteral("-K"), config.fileName()});
    curl.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e9;
}

double runSyncSeconds(const QString &dataHome)
{
    QElapsedTimer timer;
    timer.start();
    QProcess sync;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    sync.setProcessEnvironment(env);
    sync.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {QStringLiteral("--sync")});
    sync.waitForFinished(600000);
    return timer.nsecsElapsed() / 1e9;
}

// A tree of `count` channels of the server's documents in a per-user folder of its own.
QString makeUserFolder(const QString &dataHome, const QStringList &urls, bool enabled)
{
    const QString appFolder = dataHome + QStringLiteral("/Kolvani/");
    QDir().mkpath(appFolder + QStringLiteral("data"));
    QDir().mkpath(appFolder + QStringLiteral("temp"));
    ChannelTree tree;
    for (int c = 0; c < urls.size(); ++c) {
        ChannelNode *node =
            tree.addNode(tree.root(), QStringLiteral("Kanał %1").arg(c), NodeKind::Channel);
        node->channel()->url = urls[c];
        node->channel()->GUID = guidFor(c);
        node->channel()->enabled = enabled;
    }
    SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));
    return appFolder;
}

void benchLatency(const QTemporaryDir &work)
{
    const int channels = 150;
    const int latencyMs = 50;
    QHash<QByteArray, QByteArray> documents;
    for (int c = 0; c < channels; ++c)
        documents.insert("/feed/" + QByteArray::number(c),
                         channelDocument(c, ItemsPerChannel, c % 2 == 1, false));
    LoopbackServer server;
    server.setHandler([&documents, latencyMs](const LoopbackRequest &request) {
        LoopbackReply reply = LoopbackReply::http("200 OK", documents.value(request.target()),
                                                  "Content-Type: application/xml\r\n");
        reply.parts.first().delayMs = latencyMs;
        return reply;
    });
    server.start();
    QStringList urls;
    for (int c = 0; c < channels; ++c)
        urls.append(server.url(QStringLiteral("/feed/%1").arg(c)));
    const QString dataHome = work.path() + QStringLiteral("/latency");
    makeUserFolder(dataHome, urls, true);
    double sync = 1e9, curl = -1;
    for (int i = 0; i < 3; ++i)
        sync = std::min(sync, runSyncSeconds(dataHome));
    if (haveCurl()) {
        curl = 1e9;
        for (int i = 0; i < 3; ++i)
            curl = std::min(curl, curlParallelSeconds(urls, work.path()));
    }
    std::printf("\n%d channels x %d items, %d ms per response, best of 3\n", channels,
                ItemsPerChannel, latencyMs);
    std::printf("  one after another would take at least %6.3f s\n", channels * latencyMs / 1000.0);
    if (curl > 0)
        std::printf("  curl --parallel --parallel-max 6:     %8.3f s\n", curl);
    std::printf("  kolvani --sync:                       %8.3f s  (%.2fx parallel curl, target "
                "within 1.5x)\n",
                sync, curl > 0 ? sync / curl : 0.0);

    // The start: a tree whose one channel is disabled, beside a QtCore program doing nothing.
    const QString idleHome = work.path() + QStringLiteral("/idle");
    makeUserFolder(idleHome, {server.url(QStringLiteral("/feed/0"))}, false);
    double start = 1e9, bare = 1e9;
    for (int i = 0; i < 5; ++i) {
        start = std::min(start, runSyncSeconds(idleHome));
        QElapsedTimer timer;
        timer.start();
        QProcess idle;
        idle.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--idle")});
        idle.waitForFinished(60000);
        bare = std::min(bare, timer.nsecsElapsed() / 1e9);
    }
    std::printf("\nstart of kolvani --sync (one disabled channel), best of 5\n");
    std::printf("  QtCore program doing nothing:         %8.3f s\n", bare);
    std::printf("  kolvani --sync:                       %8.3f s  (%.2fx, target within 2x)\n",
                start, start / bare);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "--idle") == 0)
        return 0;
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    benchManyChannels(work);
    benchBigChannel(work);
    benchLatency(work);
    return 0;
}
