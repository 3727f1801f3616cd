#pragma once

#include "archive/ArchiveRecord.h"

#include <QString>

#include <memory>
#include <stdexcept>
#include <vector>

// Raised for every failure of the archive database, with a Polish sentence fit for the user
// (the engine's own text at most after it): a missing file, one that is not an archive, a
// locked, read-only or damaged file, a full disk.
class ArchiveError : public std::runtime_error
{
public:
    enum class Kind { Missing, NotAnArchive, Busy, ReadOnly, Damaged, Full, Other };
    ArchiveError(Kind kind, const QString &message)
        : std::runtime_error(message.toStdString()), m_kind(kind)
    {
    }
    Kind kind() const { return m_kind; }
    QString message() const { return QString::fromUtf8(what()); }

private:
    Kind m_kind;
};

class ArchiveStore;
struct ArchiveConnection;

// Statements without a result (dbCommand). Values are always bound, never part of the text.
// Every change is all or nothing: a failure raises ArchiveError and leaves the file as it was.
class ArchiveCommand
{
public:
    // DELETE FROM archive WHERE sGUID=?: every copy of the item goes. Returns the rows removed.
    int deleteByGuid(const QString &guid);
    // Each GUID in turn, all in one transaction. Returns the rows removed.
    int deleteByGuids(const std::vector<QString> &guids);
    // The rows of these identities (ArchiveRecord::rowId), each copy on its own, in one
    // transaction. An identity no longer stored removes nothing. Returns the rows removed.
    int deleteByRowIds(const std::vector<long long> &rowIds);
    // UPDATE archive SET bUnread=0|1 WHERE sGUID=?. Returns the rows changed.
    int setUnread(const QString &guid, bool unread);

private:
    friend class ArchiveStore;
    explicit ArchiveCommand(ArchiveConnection &c) : m_c(c) {}
    ArchiveConnection &m_c;
};

// The table object that takes new rows (archiveTable). Rows are written as given: callers
// apply archiveText(…, ToStored) first. bUnread is written as given (0, read, for new rows).
class ArchiveTable
{
public:
    // All rows in one transaction, or none: when any row fails (or the engine gives the
    // transaction up, as on a full disk) ArchiveError is raised and nothing is written.
    // Returns the rows written; nothing given writes nothing and commits nothing.
    int insert(const std::vector<ArchiveRecord> &records);
    // Rows in the table.
    int recordCount() const;

private:
    friend class ArchiveStore;
    explicit ArchiveTable(ArchiveConnection &c) : m_c(c) {}
    ArchiveConnection &m_c;
};

// What the archive view lists of a row, as stored. The description and the links are
// read only for the row on show (ArchiveQuery::record).
struct ArchiveListedRow
{
    long long rowId = 0;
    QString sGUID, sChGUID, sTitle, sAuthor, sDate, sChannelName;
    int bUnread = 0;
};

// The rows of the archive view (archiveQuery), read by position. Open exactly while the
// header list shows archive rows.
class ArchiveQuery
{
public:
    // One channel's rows (an empty GUID: the whole archive), in the order they were added.
    // A non-empty keyword keeps the rows whose title, description or full text holds it, in any letter
    // case (Polish letters included); "%", "_" and "\" in it are plain characters. Closes
    // what was open first. Raises ArchiveError; the query is closed then.
    void open(const QString &channelGuid, const QString &keyword);
    // The rows of the whole archive whose one column holds the text, compared as the keyword
    // is. False when no row does: the query stays as it was. Raises ArchiveError.
    enum class Column { Description, Author, Title };
    bool openMatching(Column column, const QString &text);
    void close();
    bool active() const { return m_active; }

    int recordCount() const { return int(m_rows.size()); }
    // The cursor: first() then moveBy(n) reaches the row at position n.
    void first() { m_position = 0; }
    void moveBy(int rows) { m_position += rows; }
    void next() { ++m_position; }
    bool eof() const { return m_position < 0 || m_position >= recordCount(); }
    int position() const { return m_position; }

    const std::vector<ArchiveListedRow> &rows() const { return m_rows; }
    // The whole row under the cursor, as stored. A row deleted since the query was opened
    // gives what was listed of it (description and links empty). Raises ArchiveError at eof.
    ArchiveRecord record() const;
    // record().field(column).
    QString fieldByName(const QString &column) const;

private:
    friend class ArchiveStore;
    explicit ArchiveQuery(ArchiveConnection &c) : m_c(c) {}
    ArchiveConnection &m_c;
    std::vector<ArchiveListedRow> m_rows;
    int m_position = 0;
    bool m_active = false;
};

struct ArchiveChannel
{
    QString sChannelName; // as stored ("|" for double quotes)
    QString sChGUID;
};

// The archive's channels (archiveChannelsQuery): each distinct pair of name and GUID, so a
// channel archived under two names is listed twice. Ordered by name in Polish alphabetical
// order, ignoring letter case.
class ArchiveChannelsQuery
{
public:
    void open();
    void close() { m_rows.clear(); m_active = false; }
    bool active() const { return m_active; }
    const std::vector<ArchiveChannel> &rows() const { return m_rows; }

private:
    friend class ArchiveStore;
    explicit ArchiveChannelsQuery(ArchiveConnection &c) : m_c(c) {}
    ArchiveConnection &m_c;
    std::vector<ArchiveChannel> m_rows;
    bool m_active = false;
};

// The archive database (dbArchive) and the objects opened on it. One file, one table
// "archive"; every change is a transaction, so a crash or a kill leaves the rows that were
// committed and nothing half-written.
class ArchiveStore
{
public:
    // Opens an existing archive for reading and writing. Raises ArchiveError when the file
    // is missing or not a regular file (Missing), is not an archive database (NotAnArchive),
    // or stays locked by another program for longer than a short wait (Busy). A read-only
    // file opens; changes then raise ArchiveError (ReadOnly). A file of an earlier version
    // without the full-text column gets it (its rows keep an empty one); one that cannot be
    // changed loads all the same.
    static std::unique_ptr<ArchiveStore> open(const QString &path);
    // Writes a new empty archive to `path`, replacing a file of that name only once the new
    // one is complete. Raises ArchiveError.
    static void create(const QString &path);
    ~ArchiveStore();

    QString path() const;
    bool readOnly() const;
    // Replaces every row with those of the archive file at `copy`, in one transaction through
    // the engine's backup: on a failure (ArchiveError) the archive stays as it was. The
    // queries are closed; their rows named what is gone.
    void restoreFrom(const QString &copy);

    ArchiveCommand &dbCommand() { return m_command; }
    ArchiveTable &archiveTable() { return m_table; }
    ArchiveQuery &archiveQuery() { return m_query; }
    ArchiveChannelsQuery &archiveChannelsQuery() { return m_channels; }
    const ArchiveQuery &archiveQuery() const { return m_query; }

private:
    explicit ArchiveStore(std::unique_ptr<ArchiveConnection> connection);
    std::unique_ptr<ArchiveConnection> m_connection;
    ArchiveCommand m_command;
    ArchiveTable m_table;
    ArchiveQuery m_query;
    ArchiveChannelsQuery m_channels;
};
