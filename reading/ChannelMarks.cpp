#include "reading/ChannelMarks.h"

#include "base/ChannelFiles.h"
#include "catalogue/ChannelTree.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "xml/XmlDocument.h"

#include <QFileInfo>

#include <exception>

namespace {

// The first item of an RSS channel (under `channel`) or of an RDF document (under the root).
XmlNode firstItem(const XmlDocument &document)
{
    const XmlNode root = document.documentElement();
    if (!root)
        return XmlNode();
    if (root.nodeName() == QLatin1String("rss"))
        return root.findChild(QStringLiteral("channel")).findChild(QStringLiteral("item"));
    for (XmlNode child = root.firstChild(); child; child = child.nextSibling())
        if (child.isElement() && child.localName() == QLatin1String("item"))
            return child;
    return XmlNode();
}

} // namespace

int MarkDocumentRead(XmlDocument &document)
{
    int changed = 0;
    for (XmlNode item = firstItem(document); item; item = item.nextSibling()) {
        if (!item.isElement() || item.localName() != QLatin1String("item"))
            continue;
        XmlNode unread = item.findChild(QStringLiteral("unread"));
        if (unread && unread.text() == QLatin1String("1")) {
            unread.setText(QStringLiteral("0"));
            ++changed;
        }
    }
    return changed;
}

int MarkCacheFileRead(const QString &path)
{
    XmlDocument document;
    document.setFileName(path);
    document.setActive(true);
    const int changed = MarkDocumentRead(document);
    if (changed > 0)
        document.save();
    return changed;
}

ChannelsMarked MarkChannelsRead(const ChannelNode &node, ShownChannel &shown, RowsOnShow &rows,
                                UnreadCounts &counts, const IChannelFiles &files)
{
    ChannelsMarked result;
    QList<const ChannelNode *> pending{&node};
    while (!pending.isEmpty()) {
        const ChannelNode *current = pending.takeFirst();
        const QList<ChannelNode *> children = current->children();
        for (int i = children.size() - 1; i >= 0; --i)
            pending.prepend(children.at(i));
        const TtvChannel *channel = current->channel();
        if (!channel || channel->GUID.isEmpty())
            continue;
        const QString path = files.cacheFile(channel->GUID);
        if (!QFileInfo(path).isFile())
            continue;
        try {
            int marked = 0;
            if (shown.shows(path) && shown.document().active()) {
                // The rows and the count follow the document at once; should the file not
                // take it now, the next write-back writes it.
                marked = shown.markAllRead();
                rows.model().markChannelRead(channel->GUID);
                counts.set(channel->GUID, 0);
                if (marked > 0)
                    shown.document().save();
            } else if (counts.reading() || counts.count(channel->GUID) > 0) {
                marked = MarkCacheFileRead(path);
                counts.set(channel->GUID, 0);
            }
            if (marked > 0)
                result.rewritten << path;
            result.channels += marked > 0;
            result.items += marked;
        } catch (const std::exception &e) {
            result.failures << current->text() + QStringLiteral(": ") + QString::fromUtf8(e.what());
        }
    }
    return result;
}
