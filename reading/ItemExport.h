#pragma once

#include <QString>

// Exporting one item to a stand-alone XML file beside a copy of its style sheet.

// The file the export writes: ".xml" is appended unless the chosen name holds it anywhere.
QString ExportFileName(const QString &chosen);
// The style sheet copy beside the export: the export name with ".xsl" appended.
QString ExportStyleSheetName(const QString &exportName);

// Writes the item whose GUID is `itemGuid` from the channel's cache file as stored on disk
// (marks not yet written back are not included) to `exportName`, with no other item, its
// style sheet instruction naming the copy without a folder. Raises XmlError, FeedFormatError
// or FileError; an existing export is replaced only by a complete file.
void ExportChannelItem(const QString &cacheFile, const QString &itemGuid, const QString &exportName);
// Writes the archive item shown last (its one-item document) to `exportName` the same way.
void ExportArchiveItem(const QString &archiveItemFile, const QString &exportName);
// Replaces the style sheet copy beside the export with the working style sheet. False when
// the copy failed, which the export does not report.
bool CopyExportStyleSheet(const QString &workingStyleSheet, const QString &exportName);
