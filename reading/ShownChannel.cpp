#include "reading/ShownChannel.h"

#include "reading/ChannelMarks.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemExport.h"
#include "reading/ItemLook.h"
#include "reading/ItemPage.h"
#include "reading/ReadingLog.h"
#include "xml/XmlDocument.h"

#include <exception>

ShownChannel::ShownChannel(QObject *parent)
    : QObject(parent), m_document(std::make_unique<XmlDocument>()),
      m_pages(std::make_unique<ItemPageRenderer>())
{
}

ShownChannel::~ShownChannel() = default;

bool ShownChannel::shows(const QString &cacheFile) const
{
    return !cacheFile.isEmpty() && m_document->fileName() == cacheFile;
}

void ShownChannel::writeBack()
{
    if (!m_document->active() || !m_unsaved)
        return;
    try {
        m_document->save();
        m_unsaved = false;
    } catch (const std::exception &e) {
        qCWarning(lcReading, "writing back the channel on show: %s", e.what());
    }
}

void ShownChannel::closeFile(const QString &cacheFile)
{
    if (!shows(cacheFile))
        return;
    emit closing();
    forgetItems();
    m_document->setActive(false);
    m_document->setFileName(QString());
    m_unsaved = false;
}

void ShownChannel::release()
{
    writeBack();
    closeFile(m_document->fileName());
}

XmlNode ShownChannel::itemNode(const HeaderRow &row)
{
    const XmlNode item = itemNode(row.id); // may be changed: marks the document unsaved
    if (item.isNull() || item.attribute(QStringLiteral("GUID")) != row.guid)
        return XmlNode();
    return item;
}

bool ShownChannel::setUnread(const HeaderRow &row, bool unread)
{
    XmlNode item = itemNode(row);
    if (item.isNull())
        return false;
    item.child(QStringLiteral("unread")).setText(unread ? QStringLiteral("1") : QStringLiteral("0"));
    return true;
}

QString ShownChannel::showItem(const HeaderRow &row)
{
    if (itemNode(row).isNull())
        return QString();
    // A working sheet that cannot be written leaves the old one; the browser shows what it
    // gives.
    if (!ItemDisplay::WriteWorkingSheet(m_folder, ItemDisplay::StyleSheetFor(false, row.version),
                                        row.guid, m_look && m_look->dark))
        qCWarning(lcReading, "the working style sheet could not be written");
    return ItemDisplay::ChannelItemAddress(m_folder, row.chGuid, row.guid);
}

ItemView ShownChannel::viewItem(const HeaderRow &row)
{
    const XmlNode item = itemNode(row);
    if (item.isNull())
        return {};
    const QString sheet = ItemDisplay::WorkingSheetText(
        m_folder, ItemDisplay::StyleSheetFor(false, row.version), row.guid, m_look && m_look->dark);
    // Kept on disk for the export and for a browser that opens the cache file.
    if (!ItemDisplay::WriteWorkingSheetText(m_folder, sheet))
        qCWarning(lcReading, "the working style sheet could not be written");
    m_shownSheet = sheet;
    ItemView view{ItemDisplay::ChannelItemAddress(m_folder, row.chGuid, row.guid), {}};
    try {
        view.page = m_pages->render(sheet, item);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "making the item page: %s", e.what());
    }
    return view;
}

QByteArray ShownChannel::pageAgain()
{
    if (m_shownSheet.isEmpty() || !m_document->active())
        return {};
    try {
        return m_pages->render(m_shownSheet, m_document->documentElement());
    } catch (const std::exception &e) {
        qCWarning(lcReading, "making the item page again: %s", e.what());
        return {};
    }
}

void ShownChannel::exportItem(const HeaderRow &row, const QString &exportName)
{
    ExportChannelItem(m_document->fileName(), row.guid, exportName);
}

void ShownChannel::beginReplace(const QString &cacheFile)
{
    if (!shows(cacheFile))
        return;
    // The nodes go with the document.
    forgetItems();
    m_document->setActive(false);
    emit replacing(true);
}

void ShownChannel::endReplace(const QString &cacheFile)
{
    emit cacheFileReplaced(cacheFile);
    if (!shows(cacheFile))
        return;
    emit replacing(false);
    try {
        m_document->setActive(true);
        m_unsaved = false; // read again from the new file
        emit reloaded();
    } catch (const std::exception &e) {
        // The header list shows what it can; the next selection reads the file again.
        qCWarning(lcReading, "reading the channel on show again: %s", e.what());
    }
}

int ShownChannel::markAllRead()
{
    return m_document->active() ? MarkDocumentRead(*m_document) : 0;
}
