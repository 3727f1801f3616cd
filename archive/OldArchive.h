#pragma once

#include "archive/ArchiveRecord.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <vector>

// The archive file of the program's older, Windows version: a Microsoft Jet (Access) file
// that this program cannot open. It is moved aside so that the program can start, and its
// rows can be copied in with mdbtools' mdb-export where that is installed.

// Whether the file starts as a Jet or Access database does.
bool IsJetArchive(const QString &path);
// Renames `path` to "<path>.old-<yyyy-MM-dd>" (with "-2", "-3"… when that name is taken)
// and gives the new name. Raises ArchiveError when it cannot be renamed.
QString MoveOldArchiveAside(const QString &path, const QDate &date);
// The mdb-export program on PATH; empty when there is none.
QString FindMdbExport();
// The rows of table "archive" as mdb-export writes them (CSV with a header line, fields in
// double quotes with doubled quotes inside), in stored form: the older program kept double
// quotes as "|" as this one does. Columns are matched by name without regard to case; a
// missing one stays empty. Raises ArchiveError when the text has no such header.
std::vector<ArchiveRecord> ParseOldArchiveCsv(const QByteArray &csv);
// Runs `mdbExport` on the old file's table "archive" and parses what it writes. Raises
// ArchiveError when the program fails, takes too long or writes no table.
std::vector<ArchiveRecord> ReadOldArchive(const QString &mdbExport, const QString &path);
