#include "reading/GatheredRows.h"

#include "feed/FeedNormaliser.h"
#include "feed/HtmlText.h"
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
    std::array<std::thread, Threads> threads;
    std::array<GatheredRows, Threads> parts;
    int arrived = 0;

    void join()
    {
        stop = true;
        for (std::thread &t : threads)
            if (t.joinable())
                t.join();
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
    ++m_request; // parts already posted are dropped
}

quint64 RowGathering::start(std::vector<ChannelToRead> channels, const RowQuery &query)
{
    cancel();
    // libxml2 sets up its global state once, on this thread, before another one parses.
    xmlInitParser();
    const quint64 request = ++m_request;
    m_run = std::make_unique<Run>();
    auto shared = std::make_shared<const std::vector<ChannelToRead>>(std::move(channels));
    std::atomic_bool *stop = &m_run->stop;
    for (int part = 0; part < Threads; ++part) {
        m_run->threads[size_t(part)] = std::thread([this, stop, shared, query, request, part] {
            GatheredRows rows;
            // Every other channel: the two halves take about as long.
            for (size_t i = size_t(part); i < shared->size() && !*stop; i += Threads)
                GatherChannelRows((*shared)[i], query, rows);
            if (*stop)
                return;
            QMetaObject::invokeMethod(
                this,
                [this, request, part, rows = std::move(rows)]() mutable {
                    arrive(request, part, std::move(rows));
                },
                Qt::QueuedConnection);
        });
    }
    return request;
}

void RowGathering::arrive(quint64 request, int part, GatheredRows rows)
{
    if (request != m_request || !m_run)
        return;
    m_run->parts[size_t(part)] = std::move(rows);
    if (++m_run->arrived < Threads)
        return;
    // Both threads have posted their part and are leaving.
    m_run->join();
    GatheredRows all = std::move(m_run->parts[0]);
    for (int p = 1; p < Threads; ++p) {
        GatheredRows &more = m_run->parts[size_t(p)];
        all.rows.reserve(all.rows.size() + more.rows.size());
        for (HeaderRow &row : more.rows)
            all.rows.push_back(std::move(row));
        all.unreadable += more.unreadable;
    }
    m_run.reset();
    m_result = std::move(all);
    emit gathered(request);
}
