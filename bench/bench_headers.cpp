// The header list: filling it from a 10,000-item cache file beside a bare libxml2 parse of the
// same file, sorting 100,000 rows by title and by date, the keyword filter over 10,000 items,
// and reading the unread counts of 200 channels at start.
#include "BenchData.h"
#include "catalogue/ChannelTree.h"
#include "feed/FeedNormaliser.h"
#include "reading/HeaderListModel.h"
#include "reading/HeaderRows.h"
#include "reading/UnreadCounts.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <libxml/parser.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <exception>
#include <functional>
#include <random>

namespace {

constexpr int rounds = 5;

// Processor time of the whole process (all threads), in milliseconds: on a busy machine the
// wall clock says more about the neighbours than about the code.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Best and mean wall time of `rounds` runs and the best processor time, in milliseconds.
struct Figure
{
    double best = 1e300, mean = 0, cpu = 1e300;
    void add(double wall, double processor)
    {
        best = std::min(best, wall);
        mean += wall / rounds;
        cpu = std::min(cpu, processor);
    }
};
Figure measure(const std::function<void()> &run)
{
    Figure f;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        const double cpu = cpuMs();
        timer.start();
        run();
        f.add(double(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu);
    }
    return f;
}
void print(const char *what, const Figure &f, const char *note = "")
{
    std::printf("  %-44s best %7.1f ms  mean %7.1f ms  cpu %7.1f ms  %s\n", what, f.best, f.mean,
                f.cpu, note);
}

std::vector<HeaderRow> manyRows(int count)
{
    std::mt19937 random(11);
    std::vector<HeaderRow> rows(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        HeaderRow &r = rows[size_t(i)];
        r.title = BenchWords(random, 6) + QLatin1Char(' ') + QString::number(i);
        r.date = BenchDate(random);
        r.author = BenchWords(random, 2);
        r.id = i;
        r.guid = QStringLiteral("{%1-0000-4000-8000-000000000000}").arg(i, 8, 10, QLatin1Char('0'));
        r.chGuid = QStringLiteral("{CH}");
        r.version = QStringLiteral("2.0");
        r.chName = QStringLiteral("Kanał");
        r.unread = i % 3 == 0;
    }
    return rows;
}

int run()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("channel.xml"));
    const QByteArray bytes = BenchCacheFile(10000);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            throw std::runtime_error("cannot write the cache file");
    }
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("machine load: %s", load.readLine().constData());
    std::printf("fill: a cache file of 10,000 items, %lld bytes; sort locale %s\n",
                static_cast<long long>(bytes.size()), qPrintable(polish.name()));

    const QByteArray nativePath = QFile::encodeName(path);
    const Figure bare = measure([&] {
        xmlDocPtr doc = xmlReadFile(nativePath.constData(), nullptr,
                                    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
        if (!doc)
            throw std::runtime_error("libxml2 cannot parse the file");
        xmlFreeDoc(doc);
    });
    print("baseline: bare libxml2 parse of the file", bare);

    HeaderListModel model;
    model.setLocale(polish);
    size_t shown = 0;
    const Figure fill = measure([&] {
        XmlDocument doc;
        doc.loadFromFile(path);
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        HeaderRowsResult result =
            ReadHeaderRows(feed, doc, QStringLiteral("{CH}"), QStringLiteral("Kanał"), QString());
        shown = result.rows.size();
        model.setRows(std::move(result.rows));
    });
    char note[96];
    std::snprintf(note, sizeof note, "%.2fx the bare parse (target 2x), %zu rows", fill.best / bare.best,
                  shown);
    print("load, walk and sorted fill of the list", fill, note);

    XmlDocument shownDoc;
    shownDoc.loadFromFile(path);
    const NormalisedFeed feed = NormaliseFeedFile(shownDoc);
    const Figure writeBack = measure([&] { shownDoc.save(); });
    print("write-back of the shown document (synced)", writeBack);

    const Figure walk = measure([&] {
        shown = ReadHeaderRows(feed, shownDoc, QStringLiteral("{CH}"), QString(), QString()).rows.size();
    });
    print("walk only, no filter", walk);
    const Figure filter = measure([&] {
        shown = ReadHeaderRows(feed, shownDoc, QStringLiteral("{CH}"), QString(), QStringLiteral("ŁÓDŹ 1"))
                    .rows.size();
    });
    std::snprintf(note, sizeof note, "%zu rows kept", shown);
    print("walk with the keyword filter", filter, note);

    std::printf("sort: 100,000 rows in random order, each column click from scratch\n");
    const std::vector<HeaderRow> rows = manyRows(100000);
    for (const auto &[column, name] : {std::pair<int, const char *>{ColTitle, "by title (target 150 ms)"},
                                       {ColDate, "by date (target 150 ms)"}}) {
        Figure f;
        for (int i = 0; i < rounds; ++i) {
            model.setSortState(column == ColTitle ? ColDate : ColTitle, false);
            model.setRows(rows, HeaderListModel::RowSource::Archive); // as given, unsorted
            QElapsedTimer timer;
            const double cpu = cpuMs();
            timer.start();
            model.columnClicked(column);
            f.add(double(timer.nsecsElapsed()) / 1e6, cpuMs() - cpu);
        }
        print(name, f);
    }
    std::vector<HeaderRow> copy = rows;
    const Figure plain = measure([&] {
        copy = rows;
        std::sort(copy.begin(), copy.end(),
                  [](const HeaderRow &a, const HeaderRow &b) { return a.title < b.title; });
    });
    print("baseline: std::sort by raw UTF-16 title", plain);

    std::printf("unread counts at start: 200 channels of 100 items\n");
    ChannelTree tree;
    const QByteArray small = BenchCacheFile(100);
    for (int i = 0; i < 200; ++i) {
        ChannelNode *node = tree.addNode(tree.root(), QStringLiteral("Kanał %1").arg(i), NodeKind::Channel);
        node->channel()->GUID = QStringLiteral("{%1}").arg(i);
        QFile file(dir.filePath(node->channel()->GUID + QStringLiteral(".xml")));
        if (!file.open(QIODevice::WriteOnly) || file.write(small) != small.size())
            throw std::runtime_error("cannot write a cache file");
    }
    UnreadCounts counts;
    const Figure start = measure([&] {
        counts.readAll(tree, [&](const QString &guid) { return dir.filePath(guid + QStringLiteral(".xml")); });
    });
    std::snprintf(note, sizeof note, "%d unread in all", counts.countFor(tree.root()));
    print("streaming scan of 200 cache files", start, note);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_headers: %s\n", e.what());
        return 1;
    }
}
