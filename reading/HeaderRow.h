#pragma once

#include <QString>

// One row of the header list. "b.d." stands for a missing date or author and is stored like
// any other text. The hidden keys (id, guid, chGuid, version, chName) are what the commands
// on a row read; nothing reads the XML for them.
struct HeaderRow
{
    QString title;
    QString date;
    QString author;
    int id = 0;       // sibling steps from the first item node, or the archive position
    QString guid;     // the item's GUID attribute
    QString chGuid;   // the channel's GUID
    QString version;  // the channel document's version text
    QString chName;   // the channel's name as the tree shows it
    bool unread = false;
    // An archive row's own identity (copies of one item share the GUID); 0 for a channel row.
    long long archiveRowId = 0;

    // The image index of the row: 3 unread, 4 read.
    int imageIndex() const { return unread ? 3 : 4; }
};

// The columns of the header list, in order; the last five are hidden keys.
enum HeaderColumn {
    ColTitle,
    ColDate,
    ColAuthor,
    ColId,
    ColGuid,
    ColChGuid,
    ColVersion,
    ColChName,
    HeaderColumnCount
};

// The text a column shows for a row; the sort compares these texts.
QString headerColumnText(const HeaderRow &row, int column);
