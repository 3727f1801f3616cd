#pragma once

#include <QString>

// One row of the archive table, in the form it is stored: double quotes in the title,
// description, author and channel name are kept as "|" (see archiveText()).
struct ArchiveRecord
{
    QString sGUID;         // the item's GUID when it was archived
    QString sChGUID;       // the channel's GUID
    QString sTitle;
    QString sDescription;
    QString sAuthor;
    QString sDate;         // as the header list showed it
    QString sLink;
    QString sChannelName;
    QString sChannelLink;
    QString sChannelImage;
    int bUnread = 0;       // 0 read, anything else unread
    // The full text the item view showed (content:encoded); empty when the channel gave
    // only the description, and in rows archived before it was kept.
    QString sContent;
    // The row's own identity in the file (two copies of one item share sGUID); 0 for a row
    // not read from the archive.
    long long rowId = 0;

    // The column's value by its name, matched without regard to case; a null QString for a
    // name that is not a column. bUnread comes back as its number.
    QString field(const QString &column) const;
};

// The eleven column names in table order, which every archive file has.
const QStringList &ArchiveColumns();
// The full-text column, added after them; files of earlier versions lack it.
inline const char *const ArchiveContentColumn = "sContent";

enum class ArchiveTextWay { ToStored, ToShown };

// The archive's one text rule. Stored: every double quote of sTitle, sDescription, sAuthor
// and sChannelName (and of sContent, as of the description) becomes "|". Shown: every "|"
// of those and of sChannelImage becomes a double quote again. Rows written by earlier versions follow the same rule, so it stays.
ArchiveRecord archiveText(ArchiveRecord record, ArchiveTextWay way);
// The replacement itself, for one text; it shares the text when there is nothing to replace.
QString archiveText(const QString &text, ArchiveTextWay way);
