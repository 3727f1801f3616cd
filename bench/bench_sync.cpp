// Synchronisation speed, every figure the median of its runs with their spread, beside its
// floor measured in the same run: `kolvani --sync` over 134 generated channels, cold and warm,
// beside one curl process fetching them over a kept-alive connection plus a bare libxml2
// parse and save of each; the same channels with 50 ms per response over 8 servers, and over
// one server at 20, 50 and 100 ms, beside curl with 6 connections; 30 channels at 100 ms from
// one server, warm, beside newsboat with 6 threads where it is installed; one full update of
// a 10,000-item channel, time and peak memory, beside curl and xmllint; the start of
// `kolvani --sync` beside a QtCore program doing nothing; 1,000 channels whose server sends a
// fresh ETag with every full reply beside the same run without validators.

#include "BenchData.h"
#include "support/LoopbackServer.h"

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

const int ChannelCount = 134;
const int ItemsPerChannel = 100;
const int BigChannelItems = 10000;
const int Runs = 5;

double secondsOf(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e9;
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

bool installed(const char *program)
{
    return !QStandardPaths::findExecutable(QLatin1String(program)).isEmpty();
}

double syncSeconds(const QString &dataHome)
{
    const BenchProcess run = RunSyncCommand(dataHome);
    return run.ok ? run.seconds : -1;
}

// One curl process fetching every document in turn over one connection: the network floor.
double curlOneProcessSeconds(const QStringList &urls, const QString &folder)
{
    QFile config(folder + QStringLiteral("/curl.cfg"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    for (const QString &url : urls)
        config.write(QStringLiteral("url = \"%1\"\noutput = \"/dev/null\"\n").arg(url).toUtf8());
    config.close();
    const BenchProcess run =
        RunBenchProcess(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-K"),
                                                 config.fileName()});
    return run.ok ? run.seconds : -1;
}

// curl fetching every address with up to 6 connections at once.
double curlParallelSeconds(const QStringList &urls, const QString &folder)
{
    QFile config(folder + QStringLiteral("/curl-parallel.cfg"));
    if (!config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    for (int i = 0; i < urls.size(); ++i)
        config.write("url = \"" + urls[i].toUtf8() + "\"\noutput = \"" + folder.toUtf8() + "/p" +
                     QByteArray::number(i) + ".xml\"\n");
    config.close();
    const BenchProcess run = RunBenchProcess(
        QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("--parallel"),
                                 QStringLiteral("--parallel-max"), QStringLiteral("6"),
                                 QStringLiteral("-K"), config.fileName()});
    return run.ok ? run.seconds : -1;
}

// newsboat reloading every address with 6 threads, its cache kept between runs (warm).
double newsboatSeconds(const QStringList &urls, const QString &folder)
{
    QFile list(folder + QStringLiteral("/newsboat-urls"));
    QFile config(folder + QStringLiteral("/newsboat-config"));
    if (!list.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !config.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    for (const QString &url : urls)
        list.write(url.toUtf8() + '\n');
    config.write("reload-threads 6\n");
    list.close();
    config.close();
    const BenchProcess run = RunBenchProcess(
        QStringLiteral("newsboat"),
        {QStringLiteral("-u"), list.fileName(), QStringLiteral("-c"),
         folder + QStringLiteral("/newsboat-cache.db"), QStringLiteral("-C"), config.fileName(),
         QStringLiteral("-x"), QStringLiteral("reload")},
        {QStringLiteral("HOME=") + folder});
    return run.ok ? run.seconds : -1;
}

// "  label:   0.123 s (0.120-0.131)"
void line(const char *label, const BenchSpread &figure, const char *note = "")
{
    std::printf("  %-40s %s%s\n", label, BenchText(figure).constData(), note);
}

QByteArray ratio(const BenchSpread &figure, const BenchSpread &floor, const char *target)
{
    if (!figure.ok() || !floor.ok() || floor.median <= 0)
        return QByteArray("  (") + target + ")";
    char text[160];
    std::snprintf(text, sizeof text, "  %.2fx (%s)", figure.median / floor.median, target);
    return text;
}

// Generated channels behind `servers` loopback servers that answer after `latencyMs`.
class ChannelSites
{
public:
    ChannelSites(int channels, int servers, int latencyMs)
    {
        for (int c = 0; c < channels; ++c)
            m_documents.insert("/feed/" + QByteArray::number(c),
                               BenchChannelDocument(c, ItemsPerChannel, c % 2 == 1, c % 4 >= 2));
        for (int s = 0; s < servers; ++s) {
            m_sites.push_back(std::make_unique<LoopbackServer>());
            m_sites.back()->setHandler([this, latencyMs](const LoopbackRequest &request) {
                LoopbackReply reply = LoopbackReply::http("200 OK",
                                                          m_documents.value(request.target()),
                                                          "Content-Type: application/xml\r\n");
                reply.parts.first().delayMs = latencyMs;
                return reply;
            });
            m_sites.back()->start();
        }
        for (int c = 0; c < channels; ++c)
            m_urls.append(m_sites[size_t(c % servers)]->url(QStringLiteral("/feed/%1").arg(c)));
    }
    const QStringList &urls() const { return m_urls; }
    QByteArray document(int c) const { return m_documents.value("/feed/" + QByteArray::number(c)); }
    int connections() const
    {
        int n = 0;
        for (const auto &site : m_sites)
            n += site->connectionCount();
        return n;
    }
    int requests() const
    {
        int n = 0;
        for (const auto &site : m_sites)
            n += site->requestCount();
        return n;
    }

private:
    QHash<QByteArray, QByteArray> m_documents;
    std::vector<std::unique_ptr<LoopbackServer>> m_sites;
    QStringList m_urls;
};

void benchManyChannels(const QTemporaryDir &work)
{
    ChannelSites sites(ChannelCount, 1, 0);
    const QString dataHome = work.path() + QStringLiteral("/home");
    const QString appFolder = MakeBenchUserFolder(dataHome, sites.urls(), true, true);
    const auto removeCacheFiles = [&] {
        for (int c = 0; c < ChannelCount; ++c)
            QFile::remove(appFolder + QStringLiteral("data/") + BenchChannelGuid(c) +
                          QStringLiteral(".xml"));
    };
    const auto sync = [&] { return syncSeconds(dataHome); };
    const int connectionsBefore = sites.connections();
    const int requestsBefore = sites.requests();
    const BenchSpread cold = BenchMeasure(Runs, removeCacheFiles, sync);
    const int connections = sites.connections() - connectionsBefore;
    const int requests = sites.requests() - requestsBefore;
    const BenchSpread warm = BenchMeasure(Runs, nullptr, sync);

    const QString bareFolder = work.path() + QStringLiteral("/bare/");
    QDir().mkpath(bareFolder);
    const BenchSpread bare = BenchMeasure(Runs, nullptr, [&] {
        return secondsOf([&] {
            for (int c = 0; c < ChannelCount; ++c)
                bareParseAndSave(sites.document(c),
                                 bareFolder + QString::number(c) + QStringLiteral(".xml"));
        });
    });
    std::printf("%d channels x %d items from one server (RSS 2.0 and RDF, UTF-8 and "
                "windows-1250), median (min-max) of %d\n",
                ChannelCount, ItemsPerChannel, Runs);
    line("bare libxml2 parse + save:", bare);
    if (!installed("curl")) {
        line("kolvani --sync, cold:", cold, ratio(cold, bare, "of the parse + save").constData());
        line("kolvani --sync, warm:", warm, ratio(warm, bare, "of the parse + save").constData());
        return;
    }
    const BenchSpread curl =
        BenchMeasure(Runs, nullptr, [&] { return curlOneProcessSeconds(sites.urls(), work.path()); });
    // The floor: one curl process over a kept-alive connection, plus the bare parse and save.
    BenchSpread floor;
    floor.median = curl.median + bare.median;
    floor.min = curl.min + bare.min;
    floor.max = curl.max + bare.max;
    line("curl, one process for all:", curl);
    line("floor (one curl + parse and save):", floor);
    line("kolvani --sync, cold:", cold, ratio(cold, floor, "target at most 2.0x").constData());
    line("kolvani --sync, warm:", warm, ratio(warm, floor, "target at most 2.0x").constData());
    std::printf("  connections opened by the %d requests of %d cold runs: %d\n", requests, Runs,
                connections);
}

// A full update of one large channel against its earlier cache file, as its own process.
void benchBigChannel(const QTemporaryDir &work)
{
    const QByteArray document = BenchChannelDocument(1, BigChannelItems, false, false);
    LoopbackServer server;
    server.setHandler([&document](const LoopbackRequest &) {
        return LoopbackReply::http("200 OK", document, "Content-Type: application/xml\r\n");
    });
    server.start();
    const QString url = server.url(QStringLiteral("/big"));
    const QString dataHome = work.path() + QStringLiteral("/big");
    MakeBenchUserFolder(dataHome, {url}, true);
    syncSeconds(dataHome); // the earlier cache file

    BenchSpread memory, floorMemory;
    std::vector<double> peaks, floorPeaks;
    const BenchSpread update = BenchMeasure(Runs, nullptr, [&] {
        const BenchProcess run = RunSyncCommand(dataHome);
        peaks.push_back(run.peakMegabytes);
        return run.ok ? run.seconds : -1;
    });
    const QString fetched = work.path() + QStringLiteral("/big-fetched.xml");
    const QString saved = work.path() + QStringLiteral("/big-saved.xml");
    BenchSpread floor;
    if (installed("curl") && installed("xmllint")) {
        floor = BenchMeasure(Runs, nullptr, [&] {
            const BenchProcess curl = RunBenchProcess(
                QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), fetched, url});
            const BenchProcess lint = RunBenchProcess(
                QStringLiteral("xmllint"),
                {QStringLiteral("--huge"), QStringLiteral("--output"), saved, fetched});
            floorPeaks.push_back(std::max(curl.peakMegabytes, lint.peakMegabytes));
            return curl.ok && lint.ok ? curl.seconds + lint.seconds : -1;
        });
    }
    const auto spreadOf = [](std::vector<double> values) {
        return BenchMeasure(int(values.size()), nullptr, [&values, i = size_t(0)]() mutable {
            return values[i++];
        });
    };
    memory = spreadOf(peaks);
    floorMemory = spreadOf(floorPeaks);
    std::printf("\none channel of %d items (%.1f MB), full update against its earlier cache "
                "file, median (min-max) of %d\n",
                BigChannelItems, document.size() / 1048576.0, Runs);
    if (floor.ok()) {
        line("floor (curl + xmllint):", floor);
        std::printf("  %-40s %s\n", "floor peak memory (the larger of the two):",
                    BenchText(floorMemory, 1, "MB", 1).constData());
    } else {
        std::printf("  floor (curl + xmllint):                  not installed\n");
    }
    line("kolvani --sync:", update, ratio(update, floor, "target at most 2.0x").constData());
    std::printf("  %-40s %s  (target at most 70 MB)\n", "kolvani --sync peak memory:",
                BenchText(memory, 1, "MB", 1).constData());
}

// `channels` channels from `servers` servers answering after `latencyMs`, warm runs.
void benchLatency(const QTemporaryDir &work, int channels, int servers, int latencyMs,
                  const char *target, bool withNewsboat = false)
{
    ChannelSites sites(channels, servers, latencyMs);
    const QString dataHome =
        work.path() + QStringLiteral("/latency-%1-%2-%3").arg(channels).arg(servers).arg(latencyMs);
    MakeBenchUserFolder(dataHome, sites.urls(), true);
    syncSeconds(dataHome); // the cache files come into being: the runs below are warm
    const int connectionsBefore = sites.connections();
    const BenchSpread sync = BenchMeasure(Runs, nullptr, [&] { return syncSeconds(dataHome); });
    const int connections = (sites.connections() - connectionsBefore) / Runs;
    BenchSpread curl;
    if (installed("curl"))
        curl = BenchMeasure(Runs, nullptr,
                            [&] { return curlParallelSeconds(sites.urls(), work.path()); });
    std::printf("\n%d channels x %d items from %d server%s, %d ms per response, warm, median "
                "(min-max) of %d\n",
                channels, ItemsPerChannel, servers, servers == 1 ? "" : "s", latencyMs, Runs);
    std::printf("  one after another would take at least %.3f s\n",
                channels * latencyMs / 1000.0);
    if (curl.ok())
        line("curl --parallel --parallel-max 6:", curl);
    else
        std::printf("  curl:                                    not installed\n");
    if (withNewsboat) {
        if (installed("newsboat")) {
            const QString folder = work.path() + QStringLiteral("/newsboat");
            QDir().mkpath(folder);
            newsboatSeconds(sites.urls(), folder); // its cache comes into being
            line("newsboat, 6 threads:", BenchMeasure(Runs, nullptr, [&] {
                     return newsboatSeconds(sites.urls(), folder);
                 }));
        } else {
            std::printf("  newsboat:                                not installed (812 ms with "
                        "6 threads when measured beside)\n");
        }
    }
    line("kolvani --sync:", sync, ratio(sync, curl, target).constData());
    std::printf("  connections per run: %d\n", connections);
}

void benchStart(const QTemporaryDir &work, const QString &url)
{
    // The start: a tree whose one channel is disabled, beside a QtCore program doing nothing.
    const QString idleHome = work.path() + QStringLiteral("/idle");
    MakeBenchUserFolder(idleHome, {url}, false);
    std::vector<double> starts, bares;
    // Many short runs, taken in turns: a start of a few milliseconds is easily disturbed.
    for (int i = 0; i < 15; ++i) {
        starts.push_back(syncSeconds(idleHome));
        const BenchProcess idle = RunBenchProcess(IdleProgramPath(), {});
        bares.push_back(idle.ok ? idle.seconds : -1);
    }
    const auto spreadOf = [](std::vector<double> values) {
        return BenchMeasure(int(values.size()), nullptr, [&values, i = size_t(0)]() mutable {
            return values[i++];
        });
    };
    const BenchSpread start = spreadOf(starts), bare = spreadOf(bares);
    std::printf("\nstart of kolvani --sync (one disabled channel), median (min-max) of 15\n");
    line("QtCore program doing nothing:", bare);
    line("kolvani --sync:", start, ratio(start, bare, "target at most 2x").constData());
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

    syncSeconds(dataHome); // cold: the cache files come into being
    etags.storeRelaxed(1);
    syncSeconds(dataHome); // the first validators
    const qint64 fileSize = QFile(validators).size();
    QFile::copy(validators, kept);

    double plain = 1e9, withEtags = 1e9, plainCpu = 1e9, withEtagsCpu = 1e9;
    for (int i = 0; i < rounds; ++i) {
        // Without validators: none stored, none sent.
        QFile::remove(validators);
        etags.storeRelaxed(0);
        double seconds = 0;
        plainCpu = std::min(plainCpu, childCpuSecondsOf([&] {
                                seconds = syncSeconds(dataHome);
                            }));
        plain = std::min(plain, seconds);
        // With them: those of an earlier run sent, a fresh one kept for every channel.
        QFile::remove(validators);
        QFile::copy(kept, validators);
        etags.storeRelaxed(1);
        withEtagsCpu = std::min(withEtagsCpu, childCpuSecondsOf([&] {
                                    seconds = syncSeconds(dataHome);
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
    const QString only = app.arguments().value(1);
    // "validators", "latency", "big" or "many" alone runs only that comparison.
    if (only == QLatin1String("validators")) {
        benchValidators(work);
        return 0;
    }
    if (only.isEmpty() || only == QLatin1String("many"))
        benchManyChannels(work);
    if (only.isEmpty() || only == QLatin1String("big"))
        benchBigChannel(work);
    if (only.isEmpty() || only == QLatin1String("latency")) {
        benchLatency(work, ChannelCount, 8, 50, "target at most 1.1x");
        for (int latency : {20, 50, 100})
            benchLatency(work, ChannelCount, 1, latency, "target at most 1.6x");
        benchLatency(work, 30, 1, 100, "target: ahead of newsboat with 6 threads", true);
    }
    if (only.isEmpty()) {
        ChannelSites one(1, 1, 0);
        benchStart(work, one.urls().first());
        benchValidators(work);
    }
    return 0;
}
