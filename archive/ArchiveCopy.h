#pragma once

#include <QString>

// Copies of the archive database made and checked through the engine, never by copying the
// bytes of a file another connection may be writing.

// Writes a consistent copy of the archive at `source` to `target` (through "<target>.new",
// renamed once the copy is complete and checked). Another connection may use the source
// meanwhile. Raises ArchiveError (Full on a full disk); nothing is left at `target` then.
void CopyArchiveFile(const QString &source, const QString &target);

// Empty when `path` is a sound archive database (its pages check out and it has the table
// "archive"), else a sentence for the user saying what is wrong. Raises nothing.
QString CheckArchiveFile(const QString &path);
