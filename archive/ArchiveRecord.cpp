#include "archive/ArchiveRecord.h"

#include "feed/TextOps.h"

#include <QStringList>

namespace {

const QString Quote = QStringLiteral("\"");
const QString Bar = QStringLiteral("|");

} // namespace

const QStringList &ArchiveColumns()
{
    static const QStringList columns = {
        QStringLiteral("sGUID"),        QStringLiteral("sChGUID"),
        QStringLiteral("sTitle"),       QStringLiteral("sDescription"),
        QStringLiteral("sAuthor"),      QStringLiteral("sDate"),
        QStringLiteral("sLink"),        QStringLiteral("sChannelName"),
        QStringLiteral("sChannelLink"), QStringLiteral("sChannelImage"),
        QStringLiteral("bUnread")};
    return columns;
}

QString ArchiveRecord::field(const QString &column) const
{
    const QString *values[] = {&sGUID,   &sChGUID, &sTitle,        &sDescription,
                               &sAuthor, &sDate,   &sLink,         &sChannelName,
                               &sChannelLink, &sChannelImage};
    const QStringList &names = ArchiveColumns();
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(column, Qt::CaseInsensitive) != 0)
            continue;
        return i < 10 ? *values[i] : QString::number(bUnread);
    }
    if (column.compare(QLatin1String(ArchiveContentColumn), Qt::CaseInsensitive) == 0)
        return sContent;
    return QString();
}

QString archiveText(const QString &text, ArchiveTextWay way)
{
    const bool toStored = way == ArchiveTextWay::ToStored;
    const QString &from = toStored ? Quote : Bar;
    return text.contains(from) ? ReplaceAll(from, toStored ? Bar : Quote, text) : text;
}

ArchiveRecord archiveText(ArchiveRecord record, ArchiveTextWay way)
{
    for (QString *text :
         {&record.sTitle, &record.sDescription, &record.sAuthor, &record.sChannelName,
          &record.sContent})
        *text = archiveText(*text, way);
    if (way == ArchiveTextWay::ToShown)
        record.sChannelImage = archiveText(record.sChannelImage, way);
    return record;
}
