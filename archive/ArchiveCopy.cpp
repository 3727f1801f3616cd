#include "archive/ArchiveCopy.h"

#include "archive/ArchiveStore.h"

#include <QFile>

#include <sqlite3.h>

#include <cstdio>

namespace {

constexpr int LockWaitMs = 2000;

// A connection closed when it goes out of scope.
struct Connection
{
    sqlite3 *db = nullptr;
    ~Connection()
    {
        if (db)
            sqlite3_close_v2(db);
    }
};

[[noreturn]] void raise(int rc, sqlite3 *db, const QString &what)
{
    const QString detail = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    switch (rc & 0xff) {
    case SQLITE_FULL:
        throw ArchiveError(ArchiveError::Kind::Full, what + QStringLiteral(": brak miejsca na dysku."));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        throw ArchiveError(ArchiveError::Kind::Busy,
                           what + QStringLiteral(": archiwum jest zablokowane przez inny program."));
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        throw ArchiveError(ArchiveError::Kind::Damaged,
                           what + QStringLiteral(": plik archiwum jest uszkodzony (") + detail +
                               QStringLiteral(")."));
    default:
        throw ArchiveError(ArchiveError::Kind::Other,
                           what + QStringLiteral(" (") + detail + QStringLiteral(")."));
    }
}

void openFile(Connection &c, const QString &path, int flags, const QString &what)
{
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &c.db,
                                   flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        raise(rc, c.db, what);
    sqlite3_extended_result_codes(c.db, 1);
    sqlite3_busy_timeout(c.db, LockWaitMs);
    sqlite3_db_config(c.db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

// The text of the first row of a one-column statement; raises for an engine error.
QString single(sqlite3 *db, const char *sql, const QString &what)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        raise(rc, db, what);
    rc = sqlite3_step(stmt);
    QString text;
    if (rc == SQLITE_ROW)
        text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        raise(rc, db, what);
    return text;
}

} // namespace

void CopyArchiveFile(const QString &source, const QString &target)
{
    const QString what = QStringLiteral("Nie można skopiować archiwum");
    const QString building = target + QStringLiteral(".new");
    QFile::remove(building);
    try {
        Connection from;
        openFile(from, source, SQLITE_OPEN_READONLY, what);
        {
            Connection to;
            openFile(to, building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, what);
            // The copy's commit waits until its pages are on the disk.
            sqlite3_exec(to.db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
            sqlite3_backup *backup = sqlite3_backup_init(to.db, "main", from.db, "main");
            if (!backup)
                raise(sqlite3_extended_errcode(to.db), to.db, what);
            // All pages in one step: the copy is one snapshot of the source.
            int rc = sqlite3_backup_step(backup, -1);
            const int finished = sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = finished;
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                raise(rc, to.db, what);
            const QString check = single(to.db, "PRAGMA quick_check", what);
            if (check != QLatin1String("ok"))
                throw ArchiveError(ArchiveError::Kind::Damaged,
                                   what + QStringLiteral(": kopia nie przeszła sprawdzenia (") +
                                       check + QStringLiteral(")."));
        }
        if (std::rename(QFile::encodeName(building).constData(),
                        QFile::encodeName(target).constData()) != 0)
            throw ArchiveError(ArchiveError::Kind::Other,
                               what + QStringLiteral(": nie można zapisać pliku %1.").arg(target));
    } catch (...) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        throw;
    }
}

QString CheckArchiveFile(const QString &path)
{
    if (!QFile::exists(path))
        return QStringLiteral("brak pliku archiwum");
    try {
        const QString what = QStringLiteral("Archiwum w kopii");
        Connection c;
        openFile(c, path, SQLITE_OPEN_READONLY, what);
        const QString check = single(c.db, "PRAGMA quick_check", what);
        if (check != QLatin1String("ok"))
            return QStringLiteral("plik archiwum jest uszkodzony (%1)").arg(check);
        if (single(c.db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name='archive'",
                   what) != QLatin1String("1"))
            return QStringLiteral("plik nie jest bazą danych archiwum");
        return QString();
    } catch (const ArchiveError &e) {
        return e.message();
    }
}
