#pragma once

#include "archive/ArchiveStore.h"
#include "base/UserFolder.h"
#include "reading/HeaderRow.h"
#include "reading/ItemSource.h"

#include <memory>
#include <vector>

class ArchiveItemDocument;
class ItemPageRenderer;
struct ItemLook;

// The archive as the header list shows it: the query behind the archive rows and the item
// of each row, without widgets. Its query is open while its rows are on show; the rows'
// IDs are positions in it.
class ArchiveView : public IItemSource
{
public:
    // `items` fills the one-item document the browser shows (data/arch_item.xml of `folder`).
    ArchiveView(ArchiveStore &store, ArchiveItemDocument &items, const UserFolder &folder);
    ~ArchiveView() override;
    // Which variant of the style sheets items are shown with; the light one without it.
    void setLook(const ItemLook *look) { m_look = look; }

    // One channel's rows (an empty GUID: the whole archive), narrowed by `keyword` when it
    // holds text. Raises ArchiveError; the query is closed then.
    std::vector<HeaderRow> open(const QString &channelGuid, const QString &keyword);
    // The whole archive's rows whose field holds the text. False when no row does: the
    // query and `rows` stay as they were. Raises ArchiveError.
    bool openMatching(ArchiveQuery::Column column, const QString &text,
                      std::vector<HeaderRow> &rows);
    void close();
    bool isOpen() const;
    int recordCount() const;
    // Deletes the rows' own copies in one transaction (another copy of the same item
    // stays). Raises ArchiveError; nothing is deleted then.
    void remove(const std::vector<HeaderRow> &rows);

    // IItemSource: the template item filled from the record at the row's position; marks go
    // to the archive at once, to every copy of the item (ArchiveError); showing writes the
    // working sheet and the one-item document (XmlError); the export writes the row's item.
    XmlNode itemNode(const HeaderRow &row) override;
    bool setUnread(const HeaderRow &row, bool unread) override;
    QString showItem(const HeaderRow &row) override;
    // The page is made from the one-item document just written.
    ItemView viewItem(const HeaderRow &row) override;
    QByteArray pageAgain() override;
    void exportItem(const HeaderRow &row, const QString &exportName) override;
    // The list shows something else: the query closes.
    void rowsLeft() override { close(); }

private:
    ArchiveStore &m_store;
    ArchiveItemDocument &m_items;
    UserFolder m_folder;
    const ItemLook *m_look = nullptr;
    std::unique_ptr<ItemPageRenderer> m_pages;
    QString m_shownSheet;
};
