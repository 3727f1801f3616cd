#include "archive/ArchiveStore.h"

#include "feed/HtmlText.h"

#include <QByteArray>
#include <QCollator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <string>

// How long a statement waits for another program's lock before it gives up with a message.
static constexpr int LockWaitMs = 2000;

struct ArchiveConnection
{
    sqlite3 *db = nullptr;
    QString path;
    bool hasContent = false; // the sContent column is there
    // Channel names sort in the program's language, whatever locale the session runs in.
    QCollator collator{QLocale(QLocale::Polish, QLocale::Poland)};
    ~ArchiveConnection()
    {
        if (db)
            sqlite3_close_v2(db);
    }
};

namespace {

enum class Stage { Opening, Reading, Writing };

QString sqliteText(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
}

// The user's sentence for an engine error; the engine's English text only where it adds what
// the sentence cannot say (a damaged file, an unforeseen error).
[[noreturn]] void fail(sqlite3 *db, int rc, Stage stage)
{
    using Kind = ArchiveError::Kind;
    const QString detail = sqliteText(db);
    const QString unsaved = stage == Stage::Writing
                                ? QStringLiteral(" Zmiany w archiwum nie zostały zapisane.")
                                : QString();
    const auto withDetail = [&](const QString &sentence) {
        return detail.isEmpty() ? sentence + unsaved
                                : sentence + unsaved + QStringLiteral(" (") + detail +
                                      QStringLiteral(")");
    };
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw ArchiveError(Kind::Busy,
                           QStringLiteral("Archiwum jest zablokowane przez inny program.") +
                               unsaved + QStringLiteral(" Spróbuj ponownie za chwilę."));
    case SQLITE_READONLY:
        throw ArchiveError(Kind::ReadOnly,
                           QStringLiteral("Plik archiwum jest tylko do odczytu.") + unsaved);
    case SQLITE_CORRUPT:
        throw ArchiveError(Kind::Damaged, withDetail(QStringLiteral("Plik archiwum jest uszkodzony.")));
    case SQLITE_NOTADB:
        throw ArchiveError(Kind::NotAnArchive,
                           withDetail(QStringLiteral("Plik nie jest bazą danych archiwum.")));
    case SQLITE_FULL:
        throw ArchiveError(Kind::Full,
                           QStringLiteral("Brak miejsca na dysku.") +
                               (unsaved.isEmpty()
                                    ? QStringLiteral(" Nie można odczytać archiwum.")
                                    : unsaved));
    case SQLITE_CANTOPEN:
        // Writing needs a journal beside the file: its folder refuses it.
        if (stage == Stage::Writing)
            throw ArchiveError(Kind::ReadOnly,
                               QStringLiteral("Folder pliku archiwum nie pozwala na zapis.") +
                                   unsaved);
        throw ArchiveError(Kind::Missing,
                           withDetail(QStringLiteral("Nie można otworzyć pliku archiwum.")));
    case SQLITE_IOERR:
        throw ArchiveError(Kind::Other,
                           withDetail(QStringLiteral("Błąd odczytu lub zapisu pliku archiwum.")));
    default:
        throw ArchiveError(Kind::Other,
                           withDetail(QStringLiteral("Błąd bazy danych archiwum.")));
    }
}

// One prepared statement, finalised when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql, Stage stage) : m_db(db), m_stage(stage)
    {
        const int rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
        if (rc != SQLITE_OK)
            fail(db, rc, stage);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    void bind(int index, const QString &value)
    {
        const QByteArray utf8 = value.toUtf8();
        check(sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()),
                                SQLITE_TRANSIENT));
    }
    void bind(int index, long long value) { check(sqlite3_bind_int64(m_stmt, index, value)); }

    // true for a row, false when done; raises ArchiveError.
    bool step()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        sqlite3_reset(m_stmt);
        fail(m_db, rc, m_stage);
    }
    // Runs a statement without a result and makes it ready for the next values; the rows
    // it changed.
    int run()
    {
        while (step()) {
        }
        const int changed = sqlite3_changes(m_db);
        reset();
        return changed;
    }
    void reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

    QString text(int column) const
    {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return data ? QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column)) : QString();
    }
    long long integer(int column) const { return sqlite3_column_int64(m_stmt, column); }

private:
    void check(int rc)
    {
        if (rc != SQLITE_OK)
            fail(m_db, rc, m_stage);
    }
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    Stage m_stage;
};

void exec(sqlite3 *db, const char *sql, Stage stage)
{
    Statement statement(db, sql, stage);
    statement.run();
}

// A write transaction; rolled back unless committed. BEGIN IMMEDIATE takes the write lock
// at once, so a locked file is found before any row is written.
class Transaction
{
public:
    explicit Transaction(sqlite3 *db) : m_db(db) { exec(db, "BEGIN IMMEDIATE", Stage::Writing); }
    ~Transaction()
    {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    // A transaction the engine has given up by itself (RAISE(ROLLBACK), a full disk) is not
    // committed as if it had done its work: what it did is gone.
    void commit()
    {
        if (sqlite3_get_autocommit(m_db))
            throw ArchiveError(ArchiveError::Kind::Other,
                               QStringLiteral("Archiwum wycofało zmiany. Zmiany w archiwum nie "
                                              "zostały zapisane."));
        exec(m_db, "COMMIT", Stage::Writing);
    }

private:
    sqlite3 *m_db;
};

// One code point from UTF-8, advancing `p`; a malformed sequence gives U+FFFD.
inline char32_t nextCodePoint(const unsigned char *&p, const unsigned char *end)
{
    const unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    while (extra-- > 0) {
        if (p == end || (*p & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (*p++ & 0x3F);
    }
    return cp;
}

inline char32_t folded(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

std::u32string foldedText(const unsigned char *p, const unsigned char *end)
{
    std::u32string out;
    while (p < end)
        out.push_back(folded(nextCodePoint(p, end)));
    return out;
}

// Searches the stored UTF-8 as it is: converting every description to UTF-16 first would
// cost more than the engine's whole scan.
bool holdsFolded(const unsigned char *text, const unsigned char *end, const std::u32string &key)
{
    const char32_t first = key.front();
    while (text < end) {
        if (folded(nextCodePoint(text, end)) != first)
            continue;
        const unsigned char *q = text;
        size_t matched = 1;
        while (matched < key.size() && q < end && folded(nextCodePoint(q, end)) == key[matched])
            ++matched;
        if (matched == key.size())
            return true;
    }
    return false;
}

// kv_contains(text, keyword): whether `text` holds `keyword`, Unicode letter case ignored.
// LIKE folds ASCII letters only and treats "%" and "_" as wildcards.
void containsFolded(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto *key = static_cast<std::u32string *>(sqlite3_get_auxdata(context, 1));
    if (!key) {
        const auto *data = sqlite3_value_text(argv[1]);
        key = new std::u32string(foldedText(data, data + sqlite3_value_bytes(argv[1])));
        sqlite3_set_auxdata(context, 1, key,
                            [](void *p) { delete static_cast<std::u32string *>(p); });
        key = static_cast<std::u32string *>(sqlite3_get_auxdata(context, 1));
        if (!key) {
            sqlite3_result_error_nomem(context);
            return;
        }
    }
    if (key->empty()) {
        sqlite3_result_int(context, 1);
        return;
    }
    const auto *text = sqlite3_value_text(argv[0]);
    sqlite3_result_int(context, holdsFolded(text, text + sqlite3_value_bytes(argv[0]), *key));
}

// kv_visible_contains(stored description, keyword): whether what the reader sees of the
// description (tags left out, references decoded) holds the keyword, letter case ignored.
void visibleContains(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    const auto utf8 = [](sqlite3_value *value) {
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_value_text(value)),
                                 sqlite3_value_bytes(value));
    };
    const QString text = archiveText(utf8(argv[0]), ArchiveTextWay::ToShown);
    sqlite3_result_int(context, HtmlText::VisibleTextContains(text, utf8(argv[1])));
}

// kv_locale: channel names in Polish order, ignoring letter case; binary order breaks
// ties so that the order is total.
int compareLocale(void *arg, int size1, const void *text1, int size2, const void *text2)
{
    auto *collator = static_cast<QCollator *>(arg);
    const QString a = QString::fromUtf8(static_cast<const char *>(text1), size1);
    const QString b = QString::fromUtf8(static_cast<const char *>(text2), size2);
    const int byLocale = collator->compare(a, b);
    if (byLocale != 0)
        return byLocale;
    return a < b ? -1 : (b < a ? 1 : 0);
}

const char *const SchemaSql =
    "CREATE TABLE archive ("
    " sGUID TEXT DEFAULT '', sChGUID TEXT DEFAULT '', sTitle TEXT DEFAULT '',"
    " sDescription TEXT DEFAULT '', sAuthor TEXT DEFAULT '', sDate TEXT DEFAULT '',"
    " sLink TEXT DEFAULT '', sChannelName TEXT DEFAULT '', sChannelLink TEXT DEFAULT '',"
    " sChannelImage TEXT DEFAULT '', bUnread INTEGER NOT NULL DEFAULT 0,"
    " sContent TEXT DEFAULT '');";

const char *const AddContentSql = "ALTER TABLE archive ADD COLUMN sContent TEXT DEFAULT ''";

// The lookups of the statements: by item GUID (delete, marks), by channel (the view), and
// the channel list, which reads the index alone.
const char *const IndexSql[] = {
    "CREATE INDEX IF NOT EXISTS archive_sGUID ON archive(sGUID)",
    "CREATE INDEX IF NOT EXISTS archive_sChGUID ON archive(sChGUID)",
    "CREATE INDEX IF NOT EXISTS archive_channels ON archive(sChannelName, sChGUID)",
};

// Whether the table has the full-text column; raises when one of the eleven is missing.
bool checkIsArchive(sqlite3 *db)
{
    QStringList missing = ArchiveColumns();
    bool hasContent = false;
    Statement columns(db, "PRAGMA table_info(archive)", Stage::Opening);
    while (columns.step()) {
        const QString name = columns.text(1);
        missing.removeIf([&](const QString &c) { return c.compare(name, Qt::CaseInsensitive) == 0; });
        hasContent = hasContent || name.compare(QLatin1String(ArchiveContentColumn),
                                                Qt::CaseInsensitive) == 0;
    }
    if (!missing.isEmpty())
        throw ArchiveError(ArchiveError::Kind::NotAnArchive,
                           QStringLiteral("Plik nie jest bazą danych archiwum (brak kolumn: %1).")
                               .arg(missing.join(QStringLiteral(", "))));
    return hasContent;
}

const char *const ListedColumns =
    "SELECT rowid, sGUID, sChGUID, sTitle, sAuthor, sDate, sChannelName, bUnread FROM archive";

} // namespace

// --- ArchiveStore

std::unique_ptr<ArchiveStore> ArchiveStore::open(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw ArchiveError(ArchiveError::Kind::Missing,
                           QStringLiteral("Brak pliku archiwum %1.").arg(path));
    // A device or a pipe under the name would block the first read.
    if (!info.isFile())
        throw ArchiveError(ArchiveError::Kind::NotAnArchive,
                           QStringLiteral("%1 nie jest plikiem bazy danych archiwum.").arg(path));

    auto c = std::make_unique<ArchiveConnection>();
    c->path = path;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &c->db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        fail(c->db, rc, Stage::Opening);
    sqlite3_extended_result_codes(c->db, 1);
    sqlite3_busy_timeout(c->db, LockWaitMs);
    // Views and triggers in a file someone handed us do not get to call our functions.
    sqlite3_db_config(c->db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    c->collator.setCaseSensitivity(Qt::CaseInsensitive);
    if (sqlite3_create_function_v2(c->db, "kv_contains", 2,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   containsFolded, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_function_v2(c->db, "kv_visible_contains", 2,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   visibleContains, nullptr, nullptr, nullptr) != SQLITE_OK ||
        sqlite3_create_collation_v2(c->db, "kv_locale", SQLITE_UTF8, &c->collator,
                                    compareLocale, nullptr) != SQLITE_OK)
        fail(c->db, sqlite3_errcode(c->db), Stage::Opening);

    c->hasContent = checkIsArchive(c->db);
    exec(c->db, "PRAGMA synchronous=FULL", Stage::Opening);
    if (!sqlite3_db_readonly(c->db, "main")) {
        // A file of an earlier version; when it cannot take the column now, the first
        // addition tries again.
        if (!c->hasContent)
            c->hasContent = sqlite3_exec(c->db, AddContentSql, nullptr, nullptr, nullptr) == SQLITE_OK;
        // Files from elsewhere may lack the indexes; without them the list still works.
        for (const char *sql : IndexSql)
            sqlite3_exec(c->db, sql, nullptr, nullptr, nullptr);
    }
    return std::unique_ptr<ArchiveStore>(new ArchiveStore(std::move(c)));
}

void ArchiveStore::create(const QString &path)
{
    const QString building = path + QStringLiteral(".new");
    QFile::remove(building);
    {
        ArchiveConnection c;
        const int rc =
            sqlite3_open_v2(QFile::encodeName(building).constData(), &c.db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr);
        if (rc != SQLITE_OK)
            fail(c.db, rc, Stage::Writing);
        exec(c.db, "BEGIN", Stage::Writing);
        exec(c.db, SchemaSql, Stage::Writing);
        for (const char *sql : IndexSql)
            exec(c.db, sql, Stage::Writing);
        exec(c.db, "COMMIT", Stage::Writing);
    }
    if (std::rename(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) !=
        0) {
        QFile::remove(building);
        throw ArchiveError(ArchiveError::Kind::Other,
                           QStringLiteral("Nie można zapisać pliku archiwum %1.").arg(path));
    }
}

ArchiveStore::ArchiveStore(std::unique_ptr<ArchiveConnection> connection)
    : m_connection(std::move(connection)), m_command(*m_connection), m_table(*m_connection),
      m_query(*m_connection), m_channels(*m_connection)
{
}

ArchiveStore::~ArchiveStore() = default;

void ArchiveStore::restoreFrom(const QString &copy)
{
    ArchiveConnection from;
    int rc = sqlite3_open_v2(QFile::encodeName(copy).constData(), &from.db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        fail(from.db, rc, Stage::Opening);
    checkIsArchive(from.db);
    sqlite3 *db = m_connection->db;
    sqlite3_backup *backup = sqlite3_backup_init(db, "main", from.db, "main");
    if (!backup)
        fail(db, sqlite3_extended_errcode(db), Stage::Writing);
    rc = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    if (rc == SQLITE_DONE)
        rc = finished;
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        fail(db, rc, Stage::Writing);
    m_query.close();
    m_channels.close();
    // The copy may come from a version without the full-text column.
    m_connection->hasContent = checkIsArchive(db);
    if (!m_connection->hasContent)
        m_connection->hasContent =
            sqlite3_exec(db, AddContentSql, nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const char *sql : IndexSql)
        sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

QString ArchiveStore::path() const
{
    return m_connection->path;
}

bool ArchiveStore::readOnly() const
{
    return sqlite3_db_readonly(m_connection->db, "main") == 1;
}

// --- ArchiveCommand

int ArchiveCommand::deleteByGuid(const QString &guid)
{
    return deleteByGuids({guid});
}

int ArchiveCommand::deleteByGuids(const std::vector<QString> &guids)
{
    if (guids.empty())
        return 0;
    Transaction transaction(m_c.db);
    Statement statement(m_c.db, "DELETE FROM archive WHERE sGUID=?1", Stage::Writing);
    int removed = 0;
    for (const QString &guid : guids) {
        statement.bind(1, guid);
        removed += statement.run();
    }
    transaction.commit();
    return removed;
}

int ArchiveCommand::deleteByRowIds(const std::vector<long long> &rowIds)
{
    if (rowIds.empty())
        return 0;
    Transaction transaction(m_c.db);
    Statement statement(m_c.db, "DELETE FROM archive WHERE rowid=?1", Stage::Writing);
    int removed = 0;
    for (long long id : rowIds) {
        statement.bind(1, id);
        removed += statement.run();
    }
    transaction.commit();
    return removed;
}

int ArchiveCommand::setUnread(const QString &guid, bool unread)
{
    Statement statement(m_c.db, "UPDATE archive SET bUnread=?1 WHERE sGUID=?2", Stage::Writing);
    statement.bind(1, unread ? 1LL : 0LL);
    statement.bind(2, guid);
    return statement.run();
}

// --- ArchiveTable

int ArchiveTable::insert(const std::vector<ArchiveRecord> &records)
{
    if (records.empty())
        return 0;
    Transaction transaction(m_c.db);
    if (!m_c.hasContent)
        exec(m_c.db, AddContentSql, Stage::Writing);
    Statement statement(m_c.db,
                        "INSERT INTO archive (sGUID, sChGUID, sTitle, sDescription, sAuthor, "
                        "sDate, sLink, sChannelName, sChannelLink, sChannelImage, sContent, "
                        "bUnread) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)",
                        Stage::Writing);
    for (const ArchiveRecord &r : records) {
        const QString *values[] = {&r.sGUID,   &r.sChGUID, &r.sTitle,        &r.sDescription,
                                   &r.sAuthor, &r.sDate,   &r.sLink,         &r.sChannelName,
                                   &r.sChannelLink, &r.sChannelImage, &r.sContent};
        for (int i = 0; i < 11; ++i)
            statement.bind(i + 1, *values[i]);
        // New rows are read (0); rows copied from an older archive keep their mark.
        statement.bind(12, r.bUnread != 0 ? 1LL : 0LL);
        // A trigger may swallow a row (RAISE(IGNORE)): that row is not written either.
        if (statement.run() != 1)
            throw ArchiveError(ArchiveError::Kind::Other,
                               QStringLiteral("Archiwum nie przyjęło wiadomości „%1”. Zmiany "
                                              "w archiwum nie zostały zapisane.")
                                   .arg(archiveText(r.sTitle, ArchiveTextWay::ToShown)));
    }
    transaction.commit();
    m_c.hasContent = true;
    return int(records.size());
}

int ArchiveTable::recordCount() const
{
    Statement statement(m_c.db, "SELECT count(*) FROM archive", Stage::Reading);
    return statement.step() ? int(statement.integer(0)) : 0;
}

// --- ArchiveQuery

namespace {

std::vector<ArchiveListedRow> listedRows(Statement &statement)
{
    std::vector<ArchiveListedRow> rows;
    while (statement.step()) {
        ArchiveListedRow row;
        row.rowId = statement.integer(0);
        row.sGUID = statement.text(1);
        row.sChGUID = statement.text(2);
        row.sTitle = statement.text(3);
        row.sAuthor = statement.text(4);
        row.sDate = statement.text(5);
        row.sChannelName = statement.text(6);
        row.bUnread = int(statement.integer(7) != 0);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

void ArchiveQuery::open(const QString &channelGuid, const QString &keyword)
{
    close();
    // Fixed texts only; the GUID and the keyword are bound. The keyword is compared in the
    // stored form, so a typed double quote finds the "|" it was stored as.
    QByteArray sql = ListedColumns;
    const bool byChannel = !channelGuid.isEmpty();
    const bool byKeyword = !keyword.isEmpty();
    if (byChannel)
        sql += " WHERE sChGUID=?1";
    if (byKeyword)
        sql += byChannel ? " AND" : " WHERE";
    if (byKeyword)
        sql += m_c.hasContent ? " (kv_contains(sTitle, ?2) OR kv_contains(sDescription, ?2)"
                                " OR kv_contains(sContent, ?2))"
                              : " (kv_contains(sTitle, ?2) OR kv_contains(sDescription, ?2))";
    sql += " ORDER BY rowid";

    Statement statement(m_c.db, sql.constData(), Stage::Reading);
    if (byChannel)
        statement.bind(1, channelGuid);
    if (byKeyword)
        statement.bind(2, archiveText(keyword, ArchiveTextWay::ToStored));
    m_rows = listedRows(statement);
    m_position = 0;
    m_active = true;
}

bool ArchiveQuery::openMatching(Column column, const QString &text)
{
    // The column's name comes from this table, never from the caller's text. The
    // description's find looks at what the reader sees, in the full text as well.
    static const char *const Names[] = {"sDescription", "sAuthor", "sTitle"};
    const bool visible = column == Column::Description;
    QByteArray condition = QByteArray(visible ? "kv_visible_contains(" : "kv_contains(") +
                           Names[int(column)] + ", ?1)";
    if (visible && m_c.hasContent)
        condition = "(" + condition + " OR kv_visible_contains(sContent, ?1))";
    const QByteArray sql =
        QByteArray(ListedColumns) + " WHERE " + condition + " ORDER BY rowid";
    Statement statement(m_c.db, sql.constData(), Stage::Reading);
    statement.bind(1, visible ? text : archiveText(text, ArchiveTextWay::ToStored));
    std::vector<ArchiveListedRow> rows = listedRows(statement);
    if (rows.empty())
        return false;
    close();
    m_rows = std::move(rows);
    m_position = 0;
    m_active = true;
    return true;
}

void ArchiveQuery::close()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_position = 0;
    m_active = false;
}

ArchiveRecord ArchiveQuery::record() const
{
    if (!m_active || eof())
        throw ArchiveError(ArchiveError::Kind::Other,
                           QStringLiteral("Brak wiersza archiwum na pozycji %1.").arg(m_position));
    const ArchiveListedRow &row = m_rows[size_t(m_position)];
    Statement statement(m_c.db,
                        m_c.hasContent
                            ? "SELECT sGUID, sChGUID, sTitle, sDescription, sAuthor, sDate, "
                              "sLink, sChannelName, sChannelLink, sChannelImage, bUnread, "
                              "sContent FROM archive WHERE rowid=?1"
                            : "SELECT sGUID, sChGUID, sTitle, sDescription, sAuthor, sDate, "
                              "sLink, sChannelName, sChannelLink, sChannelImage, bUnread, '' "
                              "FROM archive WHERE rowid=?1",
                        Stage::Reading);
    statement.bind(1, row.rowId);
    ArchiveRecord r;
    r.rowId = row.rowId;
    if (!statement.step()) {
        r.sGUID = row.sGUID;
        r.sChGUID = row.sChGUID;
        r.sTitle = row.sTitle;
        r.sAuthor = row.sAuthor;
        r.sDate = row.sDate;
        r.sChannelName = row.sChannelName;
        r.bUnread = row.bUnread;
        return r;
    }
    QString *values[] = {&r.sGUID,   &r.sChGUID, &r.sTitle,        &r.sDescription,
                         &r.sAuthor, &r.sDate,   &r.sLink,         &r.sChannelName,
                         &r.sChannelLink, &r.sChannelImage};
    for (int i = 0; i < 10; ++i)
        *values[i] = statement.text(i);
    r.bUnread = int(statement.integer(10));
    r.sContent = statement.text(11);
    return r;
}

QString ArchiveQuery::fieldByName(const QString &column) const
{
    return record().field(column);
}

// --- ArchiveChannelsQuery

void ArchiveChannelsQuery::open()
{
    close();
    // One row per channel: a channel archived under several names (renamed, or its name
    // written in another letter case) is listed under the name it was archived with last;
    // the bare columns of a MAX() group come from the row holding the maximum.
    Statement statement(m_c.db,
                        "SELECT sChannelName, sChGUID, MAX(rowid) FROM archive "
                        "GROUP BY sChGUID ORDER BY sChannelName COLLATE kv_locale, sChGUID",
                        Stage::Reading);
    std::vector<ArchiveChannel> rows;
    while (statement.step())
        rows.push_back({statement.text(0), statement.text(1)});
    m_rows = std::move(rows);
    m_active = true;
}
