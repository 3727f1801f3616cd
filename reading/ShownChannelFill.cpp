// The fill of the header list from the channel on show, and the item nodes it leaves behind.
#include "reading/ShownChannel.h"

#include "feed/FeedNormaliser.h"
#include "feed/ReportSink.h"
#include "reading/HeaderRows.h"
#include "reading/ReadingLog.h"
#include "base/ChannelFiles.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QFileInfo>

#include <exception>

namespace {

QString badFormatLine(const QString &name)
{
    return QStringLiteral("Zły format kanału ") + name;
}

} // namespace

void ShownChannel::forgetItems()
{
    m_itemNodes.clear();
    m_firstItemNode = XmlNode();
}

XmlNode ShownChannel::itemNode(int id) const
{
    // A node handed out may be changed; the document then differs from its file.
    m_unsaved = true;
    if (id < 0 || size_t(id) >= m_itemNodes.size())
        return XmlNode();
    return m_itemNodes[size_t(id)];
}

void ShownChannel::writeBackBeforeShowing(const IChannelFiles &files)
{
    const QString fileName = m_document->fileName();
    if (fileName.isEmpty())
        return;
    // A download copy an interrupted update may have left behind; during an update or a
    // run it may be a download still to be taken.
    if (!m_downloadsInUse || !m_downloadsInUse())
        QFile::remove(files.downloadFile(QFileInfo(fileName).completeBaseName()));
    writeBack();
}

HeaderFill ShownChannel::fillHeaders(const QString &guid, const QString &name,
                                     const QString &keyword, bool reuseDocument,
                                     const IChannelFiles &files, IReportSink &report)
{
    HeaderFill fill;
    forgetItems();
    writeBackBeforeShowing(files);

    XmlDocument &doc = *m_document;
    if (!reuseDocument) {
        const QString path = files.cacheFile(guid);
        if (!QFileInfo(path).isFile()) {
            fill.outcome = HeaderFill::Outcome::NoCacheFile;
            return fill;
        }
        // Every show reads the file again, also when it is the one already loaded.
        doc.setActive(false);
        doc.setFileName(path);
    }
    try {
        doc.setActive(true);
        // Read from its file just now, it holds nothing the file does not.
        if (!reuseDocument)
            m_unsaved = false;
    } catch (const std::exception &e) {
        qCWarning(lcReading, "cannot read the cache file of %s: %s", qPrintable(name), e.what());
        report.ReportProblem(badFormatLine(name));
        fill.outcome = HeaderFill::Outcome::Unreadable;
        return fill;
    }

    NormalisedFeed feed;
    try {
        feed = NormaliseFeedFile(doc);
    } catch (const std::exception &e) {
        qCWarning(lcReading, "channel %s: %s", qPrintable(name), e.what());
        report.ReportProblem(badFormatLine(name));
        fill.formatError = true;
        return fill;
    }
    m_firstItemNode = feed.firstItem;
    if (feed.firstItem)
        m_shownVersion = feed.version;

    HeaderRowsResult read = ReadHeaderRows(feed, doc, guid, name, keyword);
    if (read.formatError)
        report.ReportProblem(badFormatLine(name));
    m_itemNodes = std::move(read.itemNodes);
    fill.rows = std::move(read.rows);
    fill.unreadCount = read.unreadCount;
    fill.formatError = read.formatError;
    // The file already holds what was read unless the walk had to add elements.
    if (read.documentChanged) {
        m_unsaved = true;
        writeBack();
    }
    return fill;
}
