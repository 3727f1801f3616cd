#pragma once

// Generated documents, archive rows and per-user folders shared by the benchmarks, so that
// figures printed by different programs are measured on the same kind of data.

#include "archive/ArchiveRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <random>

// `count` Polish words drawn from a fixed list.
QString BenchWords(std::mt19937 &random, int count);
// A date "YYYY-MM-DD" between 2022 and 2024.
QString BenchDate(std::mt19937 &random);

// A cache file of `items` RSS 2.0 items as an update leaves it (GUID attributes, dates
// converted, unread marks): one item in three unread, or every one with `allUnread`.
QByteArray BenchCacheFile(int items, bool allUnread = false);

// Row `i` of a generated archive of `channels` channels, descriptions of about 1 KB; one row
// in a thousand mentions "ŻÓŁWIEM". `tag` makes the GUIDs of a second batch differ.
ArchiveRecord BenchArchiveRow(int i, const QString &tag, int channels = 200);
QString BenchArchiveChannelGuid(int channel);

// The GUID of generated channel number `channel`.
QString BenchChannelGuid(int channel);
// A channel document: RSS 2.0 or RDF, UTF-8 or windows-1250.
QByteArray BenchChannelDocument(int channel, int items, bool rdf, bool win1250);

// A per-user folder under `dataHome` (as XDG_DATA_HOME) whose tree holds one channel per
// address, named "Kanał <n>". Returns the folder.
QString MakeBenchUserFolder(const QString &dataHome, const QStringList &urls, bool enabled,
                            bool alerts = false);
// One `kolvani --sync` for that data home, in seconds; negative (and its errors on standard
// error) when it did not end with status 0.
double RunSyncCommandSeconds(const QString &dataHome);
// A QtCore program that does nothing: the floor of any program's start.
QString IdleProgramPath();
