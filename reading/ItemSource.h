#pragma once

#include "xml/XmlDocument.h"

#include <QByteArray>
#include <QSet>
#include <QString>

struct HeaderRow;

// An item ready for the browser: the address it is shown under and, when the program made
// the page itself, the page. Without a page the browser loads the address.
struct ItemView
{
    QString address; // empty: the row leads to no item
    QByteArray page;
};

// What storing the marks of one command gave: the GUIDs of the items whose marks could not be
// stored, and why.
struct MarksStored
{
    QSet<QString> failed;
    QString problem; // empty when every mark reached its file, or the items were only gone
};

// Where the rows on show come from and where each row's item lives: the channel on show
// (ShownChannel) or the archive (ArchiveView). Every command on a row goes through it, so
// no part of the window needs to know which of the two is on show.
class IItemSource
{
public:
    virtual ~IItemSource() = default;
    // The row's item node (GetItemNode); a null node when the row leads to no item.
    virtual XmlNode itemNode(const HeaderRow &row) = 0;
    // Stores a read mark: in the channel's document (written back at the usual moments) or
    // in the archive at once. False when the row's item is gone; raises when storing fails.
    virtual bool setUnread(const HeaderRow &row, bool unread) = 0;
    // The marks of one command are complete: a source that keeps them back until then (to
    // write each file once) stores them now. Never raises.
    virtual MarksStored storeMarks() { return {}; }
    // Prepares the row's item for the browser (the working style sheet, for the archive also
    // the one-item document) and gives the address to navigate to; empty when the row leads
    // to no item. Raises when a file cannot be read or written.
    virtual QString showItem(const HeaderRow &row) = 0;
    // showItem, and the page made from the working sheet and the item's document. Raises as
    // showItem does.
    virtual ItemView viewItem(const HeaderRow &row) { return {showItem(row), {}}; }
    // The page of the item shown last, made again from the document as it is now (after an
    // update, for the GUID of that item); empty when there is nothing to make it from.
    virtual QByteArray pageAgain() { return {}; }
    // Writes the row's item to `exportName` as a stand-alone document. Raises on failure.
    virtual void exportItem(const HeaderRow &row, const QString &exportName) = 0;
    // The rows of this source have left the list.
    virtual void rowsLeft() {}
};
