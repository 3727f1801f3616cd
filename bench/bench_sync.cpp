// Synchronisation speed: `kolvani --sync` over 150 generated channels (cold and warm) beside
// the bare cost of the same work (one curl process fetching the documents one after another
// over a kept-alive connection, plus a bare libxml2 parse and save of each); one update of a
// 10,000-item channel against its own earlier cache file beside a bare parse and save of that
// file; the same 150 channels with 50 ms per response beside parallel curl; and the start of
// `kolvani --sync` beside a QtCore program doing nothing; 1,000 channels whose server sends a
// fresh ETag with every full reply beside the same run without validators.

#include "BenchData.h"
#include "alerts/AlertQueue.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"
#include "reading/ShownChannel.h"
#include "support/LoopbackServer.h"
#include "sync/ChannelUpdater.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

const int ChannelCount = 150;
const int ItemsPerChannel = 100;
const int BigChannelItems = 10000;

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
                         BenchChannelDocument(c, ItemsPerChannel, c % 2 == 1, c % 4 >= 2));
    server.setHandler([&documents](const LoopbackRequest &request) {
        return LoopbackReply::http("200 OK", documents.value(request.target()),
                                   "Content-Type: application/xml\r\n");
    });
    server.start();
    for (int c = 0; c < ChannelCount; ++c)
        urls.append(server.url(QStringLiteral("/feed/%1").arg(c)));

    const QString dataHome = work.path() + QStringLiteral("/home");
    const QString appFolder = MakeBenchUserFolder(dataHome, urls, true, true);
    auto runSync = [&] { RunSyncCommandSeconds(dataHome); };
    const auto removeCacheFiles = [&] {
        for (int c = 0; c < ChannelCount; ++c)
            QFile::remove(appFolder + QStringLiteral("data/") + BenchChannelGuid(c) +
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
    // The floor: one curl process over a kept-alive connection, plus the bare parse and
    // save; a curl process per document would add its own start-up and flatter us.
    const double floor = curlOne + bare;
    std::printf("  curl, a process per document:         %8.3f s\n", curlEach);
    std::printf("  curl, one process for all:            %8.3f s\n", curlOne);
    std::printf("  bare cost (one curl + parse and save): %7.3f s\n", floor);
    std::printf("  kolvani --sync, cold:                 %8.3f s  (%.2fx bare, target within 2x)\n",
                cold, cold / floor);
    std::printf("  kolvani --sync, warm:                 %8.3f s  (%.2fx bare, target within 2x)\n",
                warm, warm / floor);
}

void benchBigChannel(const QTemporaryDir &work)
{
    const QByteArray document = BenchChannelDocument(1, BigChannelItems, false, false);
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
    channel.GUID = BenchChannelGuid(1);
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

// The 150 channels with 50 ms per response from `servers` servers; returns an address.
QString benchLatency(const QTemporaryDir &work, int servers)
{
    const int channels = 150;
    const int latencyMs = 50;
    QHash<QByteArray, QByteArray> documents;
    for (int c = 0; c < channels; ++c)
        documents.insert("/feed/" + QByteArray::number(c),
                         BenchChannelDocument(c, ItemsPerChannel, c % 2 == 1, false));
    std::vector<std::unique_ptr<LoopbackServer>> sites;
    QStringList urls;
    for (int s = 0; s < servers; ++s) {
        sites.push_back(std::make_unique<LoopbackServer>());
        sites.back()->setHandler([&documents, latencyMs](const LoopbackRequest &request) {
            LoopbackReply reply = LoopbackReply::http("200 OK", documents.value(request.target()),
                                                      "Content-Type: application/xml\r\n");
            reply.parts.first().delayMs = latencyMs;
            return reply;
        });
        sites.back()->start();
    }
    for (int c = 0; c < channels; ++c)
        urls.append(sites[size_t(c % servers)]->url(QStringLiteral("/feed/%1").arg(c)));
    const QString dataHome = work.path() + QStringLiteral("/latency%1").arg(servers);
    MakeBenchUserFolder(dataHome, urls, true);
    double sync = 1e9, curl = -1;
    for (int i = 0; i < 3; ++i)
        sync = std::min(sync, RunSyncCommandSeconds(dataHome));
    if (haveCurl()) {
        curl = 1e9;
        for (int i = 0; i < 3; ++i)
            curl = std::min(curl, curlParallelSeconds(urls, work.path()));
    }
    std::printf("\n%d channels x %d items from %d server%s, %d ms per response, best of 3\n",
                channels, ItemsPerChannel, servers, servers == 1 ? "" : "s", latencyMs);
    if (servers == 1)
        std::printf("  (at most 2 connections to one server: at least %.3f s)\n",
                    channels * latencyMs / 2000.0);
    std::printf("  one after another would take at least %6.3f s\n", channels * latencyMs / 1000.0);
    if (curl > 0)
        std::printf("  curl --parallel --parallel-max 6:     %8.3f s\n", curl);
    std::printf("  kolvani --sync:                       %8.3f s  (%.2fx parallel curl, target "
                "within 1.5x)\n",
                sync, curl > 0 ? sync / curl : 0.0);
    return urls.first();
}

void benchStart(const QTemporaryDir &work, const QString &url)
{
    // The start: a tree whose one channel is disabled, beside a QtCore program doing nothing.
    const QString idleHome = work.path() + QStringLiteral("/idle");
    MakeBenchUserFolder(idleHome, {url}, false);
    double start = 1e9, bare = 1e9;
    // Many short runs, taken in turns: a start of a few milliseconds is easily disturbed.
    for (int i = 0; i < 15; ++i) {
        start = std::min(start, RunSyncCommandSeconds(idleHome));
        QElapsedTimer timer;
        timer.start();
        QProcess idle;
        idle.start(IdleProgramPath(), {});
        idle.waitForFinished(60000);
        bare = std::min(bare, timer.nsecsElapsed() / 1e9);
    }
    std::printf("\nstart of kolvani --sync (one disabled channel), best of 15\n");
    std::printf("  QtCore program doing nothing:         %8.3f s\n", bare);
    std::printf("  kolvani --sync:                       %8.3f s  (%.2fx, target within 2x)\n",
                start, start / bare);
}

} // namespace

// The processor time of the children that ended during `work`, user and system together.
double childCpuSecondsOf(const std::function<void()> &work)
{
    const auto total = [] {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
               usage.ru_stime.tv_usec / 1e6;
    };
    const double before = total();
    work();
    return total() - before;
}

// The validators' file of a run costs once per run, not once per channel: the same warm
// run of 1,000 small channels with and without an ETag on every reply (a fresh one each
// time, as from a server whose documents change), the server answering every request in full.
// The two runs take turns, so that a change in the machine's load falls on both.
void benchValidators(const QTemporaryDir &work)
{
    const int channels = 1000;
    const int rounds = 5;
    QHash<QByteArray, QByteArray> documents;
    QStringList urls;
    LoopbackServer server;
    QAtomicInt etags{0};
    QAtomicInt served{0};
    for (int c = 0; c < channels; ++c)
        documents.insert("/v/" + QByteArray::number(c), BenchChannelDocument(c, 10, false, false));
    server.setHandler([&](const LoopbackRequest &request) {
        QByteArray headers = "Content-Type: application/xml\r\n";
        if (etags.loadRelaxed())
            headers += "ETag: \"" + QByteArray::number(served.fetchAndAddRelaxed(1)) + "\"\r\n";
        return LoopbackReply::http("200 OK", documents.value(request.target()), headers);
    });
    server.start();
    for (int c = 0; c < channels; ++c)
        urls.append(server.url(QStringLiteral("/v/%1").arg(c)));
    const QString dataHome = work.path() + QStringLiteral("/validators");
    const QString appFolder = MakeBenchUserFolder(dataHome, urls, true);
    const QString validators = appFolder + QStringLiteral("data/validators.json");
    const QString kept = work.path() + QStringLiteral("/validators.json.kept");

    RunSyncCommandSeconds(dataHome); // cold: the cache files come into being
    etags.storeRelaxed(1);
    RunSyncCommandSeconds(dataHome); // the first validators
    const qint64 fileSize = QFile(validators).size();
    QFile::copy(validators, kept);

    double plain = 1e9, withEtags = 1e9, plainCpu = 1e9, withEtagsCpu = 1e9;
    for (int i = 0; i < rounds; ++i) {
        // Without validators: none stored, none sent.
        QFile::remove(validators);
        etags.storeRelaxed(0);
        double seconds = 0;
        plainCpu = std::min(plainCpu, childCpuSecondsOf([&] {
                                seconds = RunSyncCommandSeconds(dataHome);
                            }));
        plain = std::min(plain, seconds);
        // With them: those of an earlier run sent, a fresh one kept for every channel.
        QFile::remove(validators);
        QFile::copy(kept, validators);
        etags.storeRelaxed(1);
        withEtagsCpu = std::min(withEtagsCpu, childCpuSecondsOf([&] {
                                    seconds = RunSyncCommandSeconds(dataHome);
                                }));
        withEtags = std::min(withEtags, seconds);
    }
    std::printf("\n%d channels x 10 items, warm kolvani --sync, every reply in full, best of %d "
                "taken in turns\n",
                channels, rounds);
    std::printf("  without validators:                   %8.3f s  (processor %.3f s)\n", plain,
                plainCpu);
    std::printf("  a fresh ETag on every reply:          %8.3f s  (processor %.3f s; %.2fx, "
                "processor %.2fx, target at most 1.1x)\n",
                withEtags, withEtagsCpu, withEtags / plain, withEtagsCpu / plainCpu);
    std::printf("  validators.json of the run:           %8lld bytes, written once per run\n",
                static_cast<long long>(fileSize));
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    if (!work.isValid())
        return 1;
    // "validators" alone runs only that comparison.
    if (app.arguments().value(1) == QLatin1String("validators")) {
        benchValidators(work);
        return 0;
    }
    benchManyChannels(work);
    benchBigChannel(work);
    benchLatency(work, 1);
    // Channels come from many sites: 25 servers of 6 channels each, so that the limit of two
    // connections to one server holds a run back no more than it would on the web.
    benchStart(work, benchLatency(work, 25));
    benchValidators(work);
    return 0;
}
