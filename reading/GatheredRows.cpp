#include "reading/GatheredRows.h"

#include "feed/FeedNormaliser.h"
#include "feed/HtmlText.h"
#include "reading/HeaderListModel.h"
#include "reading/HeaderRows.h"
#include "xml/XmlDocument.h"

#include <QFile>

#include <libxml/parser.h>

#include <array>
#include <atomic>
#include <exception>
#include <thread>

namespace {

constexpr int Threads = 2;

bool kept(const HeaderRow &row, const XmlNode &item, const RowQuery &query)
{
    if (query.unreadOnly && !row.unread)
        return false;
    switch (query.searchField) {
    case RowQuery::Field::None:
        return true;
    case RowQuery::Field::Title:
        return row.title.contains(query.searchText, Qt::CaseInsensitive);
    case RowQuery::Field::Author:
        return row.author.contains(query.searchText, Qt::CaseInsensitive);
    case RowQuery::Field::Description:
        try {
            const XmlNode description = item.findChild(QStringLiteral("description"));
            return description && HtmlText::VisibleTextContains(description.text(), query.searchText);
        } catch (const std::exception &) {
            return false; // a description with markup children holds no text to find
        }
    }
    return false;
}

} // namespace

void GatherChannelRows(const ChannelToRead &channel, const RowQuery &query, GatheredRows &into)
{
    QFile file(channel.cacheFile);
    if (!file.exists())
        return;
    try {
        if (!file.open(QIODevice::ReadOnly))
            throw XmlError(file.errorString());
        XmlDocument document;
        document.loadFromBytes(file.readAll());
        // Read only: the channel's own list rewrites such a file, this reading does not.
        if (document.encoding().compare(QLatin1String("iso-8859-2"), Qt::CaseInsensitive) == 0)
            document.setEncoding(QStringLiteral("windows-1250"));
        const NormalisedFeed feed = NormaliseFeedFile(document);
        HeaderRowsResult read =
            ReadHeaderRows(feed, document, channel.guid, channel.name, query.keyword);
        if (read.formatError)
            into.unreadable.append(channel.name);
        for (HeaderRow &row : read.rows) {
            if (kept(row, read.itemNodes[size_t(row.id)], query))
                into.rows.push_back(std::move(row));
        }
    } catch (const std::exception &) {
        into.unreadable.append(channel.name);
    }
}

struct RowGathering::Run
{
    std::atomic_bool stop{false};
    // The first thread waits for the others, joins their rows to its own and sorts them.
    std::array<std::thread, Threads> threads;
    std::array<GatheredRows, Threads> parts;

    void join()
    {
        stop = true;
        if (threads[0].joinable())
            threads[0].join();
    }
};

RowGathering::RowGathering(QObject *parent) : QObject(parent) {}

RowGathering::~RowGathering()
{
    cancel();
}

void RowGathering::cancel()
{
    if (!m_run)
        return;
    m_run->join();
    m_run.reset();
    ++m_request; // what was already posted is dropped
}

namespace {

GatheredRows joinedAndSorted(std::array<GatheredRows, Threads> &parts, const RowSort &sort)
{
    GatheredRows all = std::move(parts[0]);
    for (int p = 1; p < Threads; ++p) {
        GatheredRows &more = parts[size_t(p)];
        all.rows.reserve(all.rows.size() + more.rows.size());
        for (HeaderRow &row : more.rows)
            all.rows.push_back(std::move(row));
        all.unreadable += more.unreadable;
    }
    if (sort.column >= 0 && all.rows.size() > 1) {
        const std::vector<int> order =
            HeaderListModel::SortOrder(all.rows, sort.column, sort.descending, sort.locale);
        std::vector<HeaderRow> sorted;
        sorted.reserve(all.rows.size());
        for (int from : order)
            sorted.push_back(std::move(all.rows[size_t(from)]));
        all.rows = std::move(sorted);
    }
    all.sortedBy = sort;
    return all;
}

} // namespace

quint64 RowGathering::start(std::vector<ChannelToRead> channels, const RowQuery &query,
                            const RowSort &sort)
{
    cancel();
    // libxml2 sets up its global state once, on this thread, before another one parses.
    xmlInitParser();
    const quint64 request = ++m_request;
    m_run = std::make_unique<Run>();
    auto shared = std::make_shared<const std::vector<ChannelToRead>>(std::move(channels));
    Run *run = m_run.get();
    const auto readPart = [run, shared, query](int part) {
        // Every other channel: the halves take about as long.
        for (size_t i = size_t(part); i < shared->size() && !run->stop; i += Threads)
            GatherChannelRows((*shared)[i], query, run->parts[size_t(part)]);
    };
    for (int part = 1; part < Threads; ++part)
        run->threads[size_t(part)] = std::thread(readPart, part);
    run->threads[0] = std::thread([this, run, readPart, sort, request] {
        readPart(0);
        for (int part = 1; part < Threads; ++part)
            run->threads[size_t(part)].join();
        if (run->stop)
            return;
        GatheredRows all = joinedAndSorted(run->parts, sort);
        if (run->stop)
            return;
        QMetaObject::invokeMethod(
            this, [this, request, all = std::move(all)]() mutable { arrive(request, std::move(all)); },
            Qt::QueuedConnection);
    });
    return request;
}

void RowGathering::arrive(quint64 request, GatheredRows rows)
{
    if (request != m_request || !m_run)
        return;
    // The thread has posted its rows and is leaving.
    m_run->join();
    m_run.reset();
    m_result = std::move(rows);
    emit gathered(request);
}
