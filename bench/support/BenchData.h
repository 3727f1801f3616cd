#pragma once

// Generated documents, archive rows and per-user folders shared by the benchmarks, so that
// figures printed by different programs are measured on the same kind of data.

#include "archive/ArchiveRecord.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
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

// The figures of repeated runs: their median and their spread.
struct BenchSpread
{
    double median = -1;
    double min = -1;
    double max = -1;
    bool ok() const { return median >= 0; }
};
// Runs `prepare` then times `work` (in seconds, or the figure it returns when it returns
// one), `runs` times; a negative figure marks the whole measurement failed.
BenchSpread BenchMeasure(int runs, const std::function<void()> &prepare,
                         const std::function<double()> &work);
// "0.123 s (0.120-0.131)", or the same in milliseconds, in MB, ...
QByteArray BenchText(const BenchSpread &spread, double scale = 1.0, const char *unit = "s",
                     int decimals = 3);

// One child process run to its end: its wall time and its peak resident memory.
struct BenchProcess
{
    double seconds = -1;
    double peakMegabytes = 0;
    bool ok = false;
    QByteArray errors; // the end of its standard error when it failed
};
BenchProcess RunBenchProcess(const QString &program, const QStringList &arguments,
                             const QStringList &extraEnvironment = QStringList(),
                             const QString &standardOutput = QStringLiteral("/dev/null"));
// `kolvani --sync` for that data home, measured so.
BenchProcess RunSyncCommand(const QString &dataHome);
