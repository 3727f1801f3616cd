#include "reading/ItemExport.h"

#include "feed/FeedNormaliser.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString WorkingSheetName = QStringLiteral("rss_xslt.xsl");

QString reference(const QString &exportName)
{
    return QFileInfo(exportName).fileName() + QStringLiteral(".xsl");
}
} // namespace

QString ExportFileName(const QString &chosen)
{
    return chosen.contains(QStringLiteral(".xml")) ? chosen : chosen + QStringLiteral(".xml");
}

QString ExportStyleSheetName(const QString &exportName)
{
    return exportName + QStringLiteral(".xsl");
}

void ExportChannelItem(const QString &cacheFile, const QString &itemGuid, const QString &exportName)
{
    XmlDocument xmlSaveToFile;
    xmlSaveToFile.loadFromFile(cacheFile);
    const NormalisedFeed feed = NormaliseFeedFile(xmlSaveToFile);
    if (feed.firstItem) {
        XmlNode parent = feed.firstItem.parentNode();
        XmlNode node = feed.firstItem;
        while (node) {
            XmlNode next = node.nextSibling();
            if (node.attribute(QStringLiteral("GUID")) != itemGuid)
                parent.removeChild(node);
            node = next;
        }
        // The channel's own element before the items (RDF), or the channel's first child.
        if (XmlNode first = parent.firstChild())
            parent.removeChild(first);
    }
    // The text goes through UTF-8 so that any export name fits; the file keeps the
    // channel's own encoding.
    const QString encoding = xmlSaveToFile.encoding();
    xmlSaveToFile.setEncoding(QStringLiteral("UTF-8"));
    const QString text = QString::fromUtf8(xmlSaveToFile.toBytes());
    XmlDocument exported;
    exported.loadFromBytes(ReplaceAll(WorkingSheetName, reference(exportName), text).toUtf8());
    if (!encoding.isEmpty())
        exported.setEncoding(encoding);
    exported.saveToFile(exportName);
}

void ExportArchiveItem(const QString &archiveItemFile, const QString &exportName)
{
    QFile file(archiveItemFile);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("Nie można odczytać pliku ") + archiveItemFile);
    const QString text = QString::fromUtf8(file.readAll());
    WriteFileAtomically(exportName, ReplaceAll(WorkingSheetName, reference(exportName), text).toUtf8());
}

bool CopyExportStyleSheet(const QString &workingStyleSheet, const QString &exportName)
{
    const QString copy = ExportStyleSheetName(exportName);
    QFile::remove(copy);
    return QFile::copy(workingStyleSheet, copy);
}
