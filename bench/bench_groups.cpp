// A group's items in one list: 100,000 items in 500 channels' cache files read on the
// gathering's threads, then the list on show in an offscreen window (fill, sort, first
// paint), beside a bare libxml2 parse of the same files on one thread and a channel's own
// fill of one of them.
#include "BenchData.h"
#include "feed/FeedNormaliser.h"
#include "reading/GatheredItems.h"
#include "reading/GatheredRows.h"
#include "reading/HeaderListModel.h"
#include "reading/HeaderRows.h"
#include "reading/RowsOnShow.h"
#include "reading/forms/HeaderImagesProxy.h"
#include "xml/XmlDocument.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTreeView>

#include <libxml/parser.h>

#include <cstdio>
#include <exception>
#include <functional>

namespace {

constexpr int Channels = 500;
constexpr int ItemsEach = 200;
constexpr double BudgetMs = 300;

QString guidOf(int channel)
{
    return QStringLiteral("{%1-0000-4000-8000-0000000000AB}").arg(channel, 8, 10, QLatin1Char('0'));
}

double ms(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void print(const char *what, const BenchSpread &s, const char *note = "")
{
    std::printf("  %-52s %s  %s\n", what, BenchText(s, 1.0, "ms", 1).constData(), note);
}

int run()
{
    QTemporaryDir dir;
    std::vector<ChannelToRead> channels;
    qint64 bytes = 0;
    const QByteArray shape = BenchCacheFile(ItemsEach);
    for (int c = 0; c < Channels; ++c) {
        // Titles differ between channels, as they do in life.
        QByteArray content = shape;
        content.replace("</title><link>http://example.com/a/",
                        " k" + QByteArray::number(c) + "</title><link>http://example.com/a/");
        const QString path = dir.filePath(guidOf(c) + QStringLiteral(".xml"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            throw std::runtime_error("cannot write a cache file");
        bytes += content.size();
        channels.push_back({guidOf(c), QStringLiteral("Kanał %1").arg(c), path});
    }
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        std::printf("machine load: %s", load.readLine().constData());
    std::printf("a group of %d channels, %d items each: %lld bytes of cache files\n", Channels,
                ItemsEach, static_cast<long long>(bytes));

    const BenchSpread bare = BenchMeasure(3, {}, [&] {
        QElapsedTimer t;
        t.start();
        for (const ChannelToRead &c : channels) {
            const QByteArray name = QFile::encodeName(c.cacheFile);
            xmlDocPtr doc = xmlReadFile(name.constData(), nullptr, XML_PARSE_NONET | XML_PARSE_HUGE);
            if (!doc)
                return -1.0;
            xmlFreeDoc(doc);
        }
        return ms(t);
    });
    print("baseline: bare libxml2 parse of the files, one thread", bare);

    const BenchSpread one = BenchMeasure(5, {}, [&] {
        QElapsedTimer t;
        t.start();
        XmlDocument doc;
        doc.loadFromFile(channels.front().cacheFile);
        const NormalisedFeed feed = NormaliseFeedFile(doc);
        const size_t n = ReadHeaderRows(feed, doc, channels.front().guid, channels.front().name,
                                        QString()).rows.size();
        return n == size_t(ItemsEach) ? ms(t) : -1.0;
    });
    print("baseline: one channel's own rows (200 items)", one);

    QTreeView view;
    view.resize(900, 500);
    RowsOnShow onShow;
    onShow.model().setLocale(QLocale(QLocale::Polish, QLocale::Poland));
    auto *proxy = new HeaderImagesProxy({}, &view);
    proxy->setSourceModel(&onShow.model());
    view.setModel(proxy);
    view.setUniformRowHeights(true);
    view.header()->setSectionResizeMode(ColTitle, QHeaderView::Stretch);
    view.show();
    GatheredItems items;
    RowGathering gathering;

    double readMs = 0, showMs = 0;
    size_t shown = 0;
    const BenchSpread whole = BenchMeasure(
        5, [&] { onShow.clear(); QApplication::processEvents(); },
        [&] {
            QElapsedTimer t;
            t.start();
            QEventLoop loop;
            const auto c = QObject::connect(&gathering, &RowGathering::gathered, &loop, &QEventLoop::quit);
            gathering.start(channels, RowQuery(),
                            {onShow.model().sortColumn(), onShow.model().sortDescending(),
                             onShow.model().locale()});
            loop.exec();
            QObject::disconnect(c);
            readMs = ms(t);
            QElapsedTimer s;
            s.start();
            onShow.showGathered(items, gathering.takeRows().rows, true);
            view.selectionModel()->setCurrentIndex(proxy->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
            view.repaint();
            showMs = ms(s);
            shown = size_t(onShow.model().rowCount());
            return ms(t);
        });
    char note[128];
    std::snprintf(note, sizeof note, "%zu rows, %.2fx the bare parse, budget %.0f ms", shown,
                  whole.median / bare.median, BudgetMs);
    print("request to the list on show (read on 2 threads)", whole, note);
    std::snprintf(note, sizeof note, "last run: read %.1f ms, on show %.1f ms", readMs, showMs);
    std::printf("  %-52s %s\n", "", note);

    const BenchSpread sortAgain = BenchMeasure(5, {}, [&] {
        QElapsedTimer t;
        t.start();
        onShow.model().columnClicked(ColChName);
        view.repaint();
        return ms(t);
    });
    print("a column click on the gathered list (by channel)", sortAgain);

    RowQuery search;
    search.searchField = RowQuery::Field::Description;
    search.searchText = QStringLiteral("żółw");
    const BenchSpread found = BenchMeasure(3, {}, [&] {
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        const auto c = QObject::connect(&gathering, &RowGathering::gathered, &loop, &QEventLoop::quit);
        gathering.start(channels, search);
        loop.exec();
        QObject::disconnect(c);
        shown = gathering.takeRows().rows.size();
        return ms(t);
    });
    std::snprintf(note, sizeof note, "%zu found", shown);
    print("search of every description as shown", found, note);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        return run();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_groups: %s\n", e.what());
        return 1;
    }
}
