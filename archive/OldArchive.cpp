#include "archive/OldArchive.h"

#include "archive/ArchiveStore.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

// The longest a copy may take before it counts as failed: a large archive is a few seconds.
constexpr int ExportWaitMs = 120000;

[[noreturn]] void failed(const QString &sentence)
{
    throw ArchiveError(ArchiveError::Kind::Other, sentence);
}

// One CSV record from `pos`: fields in double quotes may hold commas, line breaks and
// doubled quotes. False at the end of the text.
bool nextRecord(const QByteArray &csv, qsizetype &pos, QStringList &fields)
{
    fields.clear();
    if (pos >= csv.size())
        return false;
    QByteArray field;
    bool quoted = false;
    while (pos < csv.size()) {
        const char c = csv.at(pos++);
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (pos < csv.size() && csv.at(pos) == '"') {
                field += '"';
                ++pos;
            } else {
                quoted = false;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << QString::fromUtf8(field);
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && pos < csv.size() && csv.at(pos) == '\n')
                ++pos;
            break;
        } else {
            field += c;
        }
    }
    fields << QString::fromUtf8(field);
    return true;
}

} // namespace

bool IsJetArchive(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(19);
    return head.startsWith(QByteArray("\0\1\0\0", 4)) &&
           (head.mid(4) == "Standard Jet DB" || head.mid(4) == "Standard ACE DB");
}

QString MoveOldArchiveAside(const QString &path, const QDate &date)
{
    const QString base = path + QStringLiteral(".old-") + date.toString(Qt::ISODate);
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(path, target))
        failed(QStringLiteral("Nie można przenieść pliku archiwum %1 do %2.").arg(path, target));
    return target;
}

QString FindMdbExport()
{
    return QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
}

std::vector<ArchiveRecord> ParseOldArchiveCsv(const QByteArray &csv)
{
    qsizetype pos = 0;
    QStringList header;
    if (!nextRecord(csv, pos, header))
        failed(QStringLiteral("Stare archiwum nie ma tabeli archive."));
    const QStringList &columns = ArchiveColumns();
    std::vector<int> columnOf(size_t(columns.size()), -1);
    bool any = false;
    for (int i = 0; i < columns.size(); ++i) {
        for (int h = 0; h < header.size(); ++h) {
            if (header.at(h).trimmed().compare(columns.at(i), Qt::CaseInsensitive) == 0) {
                columnOf[size_t(i)] = h;
                any = true;
            }
        }
    }
    if (!any)
        failed(QStringLiteral("Stare archiwum nie ma tabeli archive."));

    std::vector<ArchiveRecord> records;
    QStringList fields;
    while (nextRecord(csv, pos, fields)) {
        if (fields.size() == 1 && fields.front().isEmpty())
            continue; // an empty line
        ArchiveRecord r;
        QString *values[] = {&r.sGUID,   &r.sChGUID, &r.sTitle,        &r.sDescription,
                             &r.sAuthor, &r.sDate,   &r.sLink,         &r.sChannelName,
                             &r.sChannelLink, &r.sChannelImage};
        const auto value = [&](int column) {
            const int at = columnOf[size_t(column)];
            return at >= 0 && at < fields.size() ? fields.at(at) : QString();
        };
        for (int i = 0; i < 10; ++i)
            *values[i] = value(i);
        // Jet writes a yes/no column as 1 or 0, some exports as TRUE or FALSE.
        const QString unread = value(10).trimmed();
        r.bUnread = unread.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                    unread.toLongLong() != 0;
        records.push_back(std::move(r));
    }
    return records;
}

std::vector<ArchiveRecord> ReadOldArchive(const QString &mdbExport, const QString &path)
{
    QProcess process;
    // The program's own texts in UTF-8, whatever the session's locale.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MDB_ICONV"), QStringLiteral("UTF-8"));
    process.setProcessEnvironment(env);
    process.start(mdbExport, {path, QStringLiteral("archive")});
    if (!process.waitForStarted(ExportWaitMs))
        failed(QStringLiteral("Nie można uruchomić programu %1.").arg(mdbExport));
    process.closeWriteChannel();
    if (!process.waitForFinished(ExportWaitMs)) {
        process.kill();
        process.waitForFinished();
        failed(QStringLiteral("Program %1 nie skończył odczytu starego archiwum.").arg(mdbExport));
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        failed(QStringLiteral("Program %1 nie odczytał starego archiwum (%2).")
                   .arg(mdbExport,
                        QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));
    return ParseOldArchiveCsv(process.readAllStandardOutput());
}
