#include "archive/ArchiveView.h"

#include "archive/ArchiveHeaderRows.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveLog.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemExport.h"

ArchiveView::ArchiveView(ArchiveStore &store, ArchiveItemDocument &items,
                         const UserFolder &folder)
    : m_store(store), m_items(items), m_folder(folder)
{
}

std::vector<HeaderRow> ArchiveView::open(const QString &channelGuid, const QString &keyword)
{
    ArchiveQuery &query = m_store.archiveQuery();
    query.close();
    query.open(channelGuid, keyword);
    return ArchiveHeaderRows(query);
}

bool ArchiveView::openMatching(ArchiveQuery::Column column, const QString &text,
                               std::vector<HeaderRow> &rows)
{
    ArchiveQuery &query = m_store.archiveQuery();
    if (!query.openMatching(column, text))
        return false;
    rows = ArchiveHeaderRows(query);
    return true;
}

void ArchiveView::close()
{
    m_store.archiveQuery().close();
}

bool ArchiveView::isOpen() const
{
    return m_store.archiveQuery().active();
}

int ArchiveView::recordCount() const
{
    return m_store.archiveQuery().recordCount();
}

void ArchiveView::remove(const std::vector<HeaderRow> &rows)
{
    std::vector<QString> guids;
    guids.reserve(rows.size());
    for (const HeaderRow &row : rows)
        guids.push_back(row.guid);
    m_store.dbCommand().deleteByGuids(guids);
}

XmlNode ArchiveView::itemNode(const HeaderRow &row)
{
    ArchiveQuery &query = m_store.archiveQuery();
    if (!query.active())
        return XmlNode();
    query.first();
    query.moveBy(row.id);
    if (query.eof())
        return XmlNode();
    return m_items.fill(query.record());
}

bool ArchiveView::setUnread(const HeaderRow &row, bool unread)
{
    m_store.dbCommand().setUnread(row.guid, unread);
    return true;
}

QString ArchiveView::showItem(const HeaderRow &row)
{
    const XmlNode item = itemNode(row);
    if (item.isNull())
        return QString();
    if (!ItemDisplay::WriteWorkingSheet(m_folder, ItemDisplay::ArchiveSheet, row.guid))
        qCWarning(lcArchive, "the working style sheet could not be written");
    m_items.write(item, m_folder.archiveItemFile());
    return ItemDisplay::ArchiveItemAddress(m_folder);
}

void ArchiveView::exportItem(const HeaderRow &, const QString &exportName)
{
    // The document of the item shown last, as the browser shows it.
    ExportArchiveItem(m_folder.archiveItemFile(), exportName);
}
