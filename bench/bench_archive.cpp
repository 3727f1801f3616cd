// The archive at 100,000 rows (descriptions of about 1 KB, 200 channels): the view of the
// whole archive, of one channel, a keyword over everything, the channel list and adding
// 1,000 rows, each beside the engine's bare query of the same rows in the same run.
#include "BenchData.h"
#include "archive/ArchiveHeaderRows.h"
#include "archive/ArchiveItem.h"
#include "archive/ArchiveRecord.h"
#include "archive/ArchiveStore.h"
#include "catalogue/ChannelTree.h"
#include "reading/HeaderListModel.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <time.h>

namespace {

constexpr int RowCount = 100000;
constexpr int ChannelCount = 200;
constexpr int AddCount = 1000;
constexpr int Rounds = 3;

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Best wall time of a few rounds, and the processor time of that round: on a shared machine
// the second shows the work itself.
struct Figure
{
    double wall = 1e300, cpu = 0;
};

Figure best(const std::function<int()> &run, int &count)
{
    Figure f;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        const double cpu = cpuMs();
        timer.start();
        count = run();
        const double wall = timer.nsecsElapsed() / 1e6;
        if (wall < f.wall)
            f = {wall, cpuMs() - cpu};
    }
    return f;
}

// The engine alone: prepare, bind, step through every row reading each column as text.
int bareQuery(sqlite3 *db, const char *sql, const QByteArray &first = {},
              const QByteArray &second = {})
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return -1;
    if (!first.isNull())
        sqlite3_bind_text(stmt, 1, first.constData(), int(first.size()), SQLITE_STATIC);
    if (!second.isNull())
        sqlite3_bind_text(stmt, 2, second.constData(), int(second.size()), SQLITE_STATIC);
    int rows = 0;
    long long bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0, n = sqlite3_column_count(stmt); c < n; ++c) {
            sqlite3_column_text(stmt, c);
            bytes += sqlite3_column_bytes(stmt, c);
        }
        ++rows;
    }
    sqlite3_finalize(stmt);
    return bytes >= 0 ? rows : -1;
}

int bareInsert(sqlite3 *db, const std::vector<ArchiveRecord> &records)
{
    sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO archive (sGUID, sChGUID, sTitle, sDescription, sAuthor, sDate, "
                       "sLink, sChannelName, sChannelLink, sChannelImage) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)",
                       -1, &stmt, nullptr);
    int rows = 0;
    for (const ArchiveRecord &r : records) {
        const QString *values[] = {&r.sGUID,   &r.sChGUID, &r.sTitle,        &r.sDescription,
                                   &r.sAuthor, &r.sDate,   &r.sLink,         &r.sChannelName,
                                   &r.sChannelLink, &r.sChannelImage};
        for (int i = 0; i < 10; ++i) {
            const QByteArray utf8 = values[i]->toUtf8();
            sqlite3_bind_text(stmt, i + 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt) == SQLITE_DONE)
            ++rows;
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return rows;
}

// What the view does with the listed rows: header rows into the header list's model.
HeaderListModel *headerList = nullptr;
int listRows(const ArchiveQuery &query)
{
    headerList->setRows(ArchiveHeaderRows(query), HeaderListModel::RowSource::Archive);
    return headerList->rowCount();
}

void line(const char *what, Figure f, int rows, Figure bare, int bareRows, const char *target)
{
    std::printf("%-24s %7.1f ms (cpu %6.1f) %6d rows | bare sqlite3 %7.1f ms (cpu %6.1f) %6d rows"
                " | %s\n",
                what, f.wall, f.cpu, rows, bare.wall, bare.cpu, bareRows, target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    HeaderListModel model;
    headerList = &model;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("archive.mdb"));
    std::unique_ptr<ArchiveStore> store;
    try {
        ArchiveStore::create(path);
        store = ArchiveStore::open(path);
        std::vector<ArchiveRecord> rows;
        rows.reserve(RowCount);
        for (int i = 0; i < RowCount; ++i)
            rows.push_back(BenchArchiveRow(i, QStringLiteral("0"), ChannelCount));
        QElapsedTimer timer;
        timer.start();
        store->archiveTable().insert(rows);
        std::printf("archive: %d rows, %d channels, file %.1f MB, filled in %.0f ms\n", RowCount,
                    ChannelCount, QFileInfo(path).size() / 1048576.0, timer.nsecsElapsed() / 1e6);
    } catch (const ArchiveError &e) {
        std::fprintf(stderr, "archive: %s\n", e.what());
        return 1;
    }

    sqlite3 *bare = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_exec(bare, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    ArchiveQuery &query = store->archiveQuery();
    const QString oneChannel = BenchArchiveChannelGuid(42);
    const QString keyword = QStringLiteral("żółwiem");
    int n = 0, b = 0;
    Figure ms, bareMs;

    ms = best([&] { query.open(QString(), QString()); return listRows(query); }, n);
    bareMs = best([&] { return bareQuery(bare, "SELECT * FROM archive"); }, b);
    line("whole archive, into list", ms, n, bareMs, b, "target < 700 ms");

    ms = best([&] { query.open(oneChannel, QString()); return listRows(query); }, n);
    bareMs = best([&] {
        return bareQuery(bare, "SELECT * FROM archive WHERE sChGUID=?1", oneChannel.toUtf8());
    }, b);
    line("one channel, into list", ms, n, bareMs, b, "");

    ms = best([&] { query.open(QString(), keyword); return listRows(query); }, n);
    // The engine's LIKE folds ASCII letters only, so it finds rows that differ in Polish
    // letters' case only by luck; the figure is the cost, not the same answer.
    const QByteArray pattern = "%" + keyword.toUtf8() + "%";
    bareMs = best([&] {
        return bareQuery(bare,
                         "SELECT * FROM archive WHERE (sDescription LIKE ?1 OR sTitle LIKE ?1)",
                         pattern);
    }, b);
    line("keyword, whole archive", ms, n, bareMs, b, "target < 300 ms (bare LIKE: ASCII case only)");

    ArchiveChannelsQuery &channels = store->archiveChannelsQuery();
    ms = best([&] { channels.open(); return int(channels.rows().size()); }, n);
    bareMs = best([&] {
        return bareQuery(bare,
                         "SELECT DISTINCT sChannelName,sChGUID FROM archive ORDER by sChannelName");
    }, b);
    line("channel list", ms, n, bareMs, b, "");

    // Adding a selection: each selected item of the channel on show becomes a record, all
    // go in one transaction, then the channel list is read again.
    XmlDocument channelDoc;
    QByteArray feed = "<rss version=\"2.0\"><channel><title>Kanał</title>";
    for (int i = 0; i < AddCount; ++i) {
        const ArchiveRecord r = BenchArchiveRow(i, QStringLiteral("F"), ChannelCount);
        feed += "<item GUID=\"" + r.sGUID.toUtf8() + "\"><title>" + r.sTitle.toUtf8() +
                "</title><link>" + r.sLink.toUtf8() + "</link><description>" +
                r.sDescription.toHtmlEscaped().toUtf8() + "</description></item>";
    }
    channelDoc.loadFromBytes(feed + "</channel></rss>");
    std::vector<XmlNode> selected;
    for (XmlNode n = channelDoc.documentElement().firstChild().firstChild(); n;
         n = n.nextSibling()) {
        if (n.nodeName() == QLatin1String("item"))
            selected.push_back(n);
    }
    TtvChannel channel;
    channel.link = QStringLiteral("http://example.com/42/");
    channel.image = QStringLiteral("http://example.com/42/logo.png");
    ms = best([&] {
        std::vector<ArchiveRecord> rows;
        rows.reserve(selected.size());
        for (const XmlNode &item : selected)
            rows.push_back(MakeArchiveRecord(item, oneChannel, QStringLiteral("Kanał 42"),
                                             QStringLiteral("2024-01-01"),
                                             QStringLiteral("Redakcja"), &channel));
        const int written = store->archiveTable().insert(rows);
        channels.open();
        return written;
    }, n);
    int round = 0;
    bareMs = best([&] {
        std::vector<ArchiveRecord> rows;
        for (int i = 0; i < AddCount; ++i)
            rows.push_back(BenchArchiveRow(i, QStringLiteral("B%1").arg(round), ChannelCount));
        ++round;
        return bareInsert(bare, rows);
    }, b);
    line("adding 1,000 selected", ms, n, bareMs, b, "target < 300 ms");

    sqlite3_close(bare);
    return 0;
}
