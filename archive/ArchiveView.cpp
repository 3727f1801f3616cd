#include "archive/ArchiveView.h"

#include "archive/ArchiveHeaderRows.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveLog.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemExport.h"
#include "reading/ItemLook.h"
#include "reading/ItemPage.h"

#include <exception>

ArchiveView::ArchiveView(ArchiveStore &store, ArchiveItemDocument &items,
                         const UserFolder &folder)
    : m_store(store), m_items(items), m_folder(folder),
      m_pages(std::make_unique<ItemPageRenderer>())
{
}

ArchiveView::~ArchiveView() = default;

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
    std::vector<long long> rowIds;
    rowIds.reserve(rows.size());
    for (const HeaderRow &row : rows)
        rowIds.push_back(row.archiveRowId);
    m_store.dbCommand().deleteByRowIds(rowIds);
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
    // A working sheet that cannot be written leaves the old one; the browser shows what it
    // gives.
    if (!ItemDisplay::WriteWorkingSheet(m_folder, ItemDisplay::ArchiveSheet, row.guid,
                                        m_look && m_look->dark))
        qCWarning(lcArchive, "the working style sheet could not be written");
    m_items.write(item, m_folder.archiveItemFile());
    return ItemDisplay::ArchiveItemAddress(m_folder);
}

ItemView ArchiveView::viewItem(const HeaderRow &row)
{
    const XmlNode item = itemNode(row);
    if (item.isNull())
        return {};
    const QString sheet =
        ItemDisplay::WorkingSheetText(m_folder, ItemDisplay::ArchiveSheet, row.guid,
                                      m_look && m_look->dark);
    if (!ItemDisplay::WriteWorkingSheetText(m_folder, sheet))
        qCWarning(lcArchive, "the working style sheet could not be written");
    m_items.write(item, m_folder.archiveItemFile());
    m_shownSheet = sheet;
    return {ItemDisplay::ArchiveItemAddress(m_folder), pageAgain()};
}

QByteArray ArchiveView::pageAgain()
{
    XmlDocument &document = m_items.xmlArchiveSchema();
    if (m_shownSheet.isEmpty() || !document.active())
        return {};
    try {
        return m_pages->render(m_shownSheet, document.documentElement());
    } catch (const std::exception &e) {
        qCWarning(lcArchive, "making the archive item page: %s", e.what());
        return {};
    }
}

void ArchiveView::exportItem(const HeaderRow &row, const QString &exportName)
{
    const XmlNode item = itemNode(row);
    if (item.isNull())
        throw XmlError(QStringLiteral("wiadomości nie ma już w archiwum"));
    m_items.write(item, m_folder.archiveItemFile());
    ExportArchiveItem(m_folder.archiveItemFile(), exportName);
}
