#include "archive/ArchiveHeaderRows.h"

#include "archive/ArchiveStore.h"

std::vector<HeaderRow> ArchiveHeaderRows(const ArchiveQuery &query)
{
    const QString version = QStringLiteral("1.0");
    std::vector<HeaderRow> rows;
    rows.reserve(query.rows().size());
    int position = 0;
    for (const ArchiveListedRow &stored : query.rows()) {
        HeaderRow row;
        row.title = archiveText(stored.sTitle, ArchiveTextWay::ToShown);
        row.date = stored.sDate;
        row.author = archiveText(stored.sAuthor, ArchiveTextWay::ToShown);
        row.id = position++;
        row.guid = stored.sGUID;
        row.chGuid = stored.sChGUID;
        row.version = version;
        row.chName = archiveText(stored.sChannelName, ArchiveTextWay::ToShown);
        row.unread = stored.bUnread != 0;
        row.archiveRowId = stored.rowId;
        rows.push_back(std::move(row));
    }
    return rows;
}
