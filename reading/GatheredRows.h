#pragma once

#include "reading/HeaderRow.h"

#include <QLocale>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// What a list gathered from several channels keeps of their items.
struct RowQuery
{
    // The list's keyword filter: title or description, lower-cased substring, as for one
    // channel.
    QString keyword;
    bool unreadOnly = false;
    // A search: rows whose field holds `searchText`, letter case ignored; the description
    // is searched in the text the item view shows of it (no markup).
    enum class Field { None, Title, Author, Description };
    Field searchField = Field::None;
    QString searchText;
};

struct ChannelToRead
{
    QString guid;
    QString name;
    QString cacheFile;
};

// The order the rows are wanted in, so that they are sorted off the window's thread too.
struct RowSort
{
    int column = -1; // -1: not sorted
    bool descending = false;
    QLocale locale;
};

struct GatheredRows
{
    std::vector<HeaderRow> rows; // by channel, each in document order, unless sorted
    RowSort sortedBy;           // the order they are in
    // Names of channels whose cache file exists but cannot be read.
    QStringList unreadable;
};

// The rows of one channel's cache file that `query` keeps, made as the channel's own list
// makes them (same IDs, dates, authors and marks). A missing file gives none; a file that
// cannot be read gives none and the channel's name in `unreadable`. Never raises; safe on
// any thread once libxml2 has been set up.
void GatherChannelRows(const ChannelToRead &channel, const RowQuery &query, GatheredRows &into);

// Gathers the rows of many channels on two threads of its own, so that the window stays
// alive while 500 files are read. A newer request wins: the rows of an older one are never
// delivered.
class RowGathering : public QObject
{
    Q_OBJECT
public:
    explicit RowGathering(QObject *parent = nullptr);
    // Waits for the threads to leave (after the file each is in).
    ~RowGathering() override;

    // Starts a gathering; returns its number, which gathered() carries.
    // The rows arrive sorted by `sort` when it names a column.
    quint64 start(std::vector<ChannelToRead> channels, const RowQuery &query,
                  const RowSort &sort = RowSort());
    // Forgets the gathering under way: nothing of it arrives.
    void cancel();
    bool busy() const { return m_run != nullptr; }

    // The rows of the gathering that has just arrived; once.
    GatheredRows takeRows() { return std::move(m_result); }

signals:
    // A gathering has arrived: takeRows() gives its rows.
    void gathered(quint64 request);

private:
    struct Run;
    void arrive(quint64 request, GatheredRows rows);

    std::unique_ptr<Run> m_run;
    quint64 m_request = 0;
    GatheredRows m_result;
};
