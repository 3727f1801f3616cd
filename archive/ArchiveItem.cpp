#include "archive/ArchiveItem.h"

#include "catalogue/ChannelTree.h"
#include "xml/XmlDocument.h"

ChannelsByGuid::ChannelsByGuid(const ChannelTree &tree)
{
    for (ChannelNode *node : tree.channelsInPreOrder()) {
        if (const TtvChannel *channel = node->channel()) {
            if (!m_channels.contains(channel->GUID))
                m_channels.insert(channel->GUID, channel);
        }
    }
}

namespace {

QString childText(const XmlNode &item, const QString &name)
{
    const XmlNode child = item.findChild(name);
    return child.isNull() ? QString() : child.text();
}

// The full text as the item view shows it: the first content:encoded that is not blank.
QString fullText(const XmlNode &item)
{
    static const QString ContentNs = QStringLiteral("http://purl.org/rss/1.0/modules/content/");
    for (const XmlNode &child : item.childNodes()) {
        if (!child.isElement() || child.localName() != QLatin1String("encoded") ||
            child.namespaceURI() != ContentNs)
            continue;
        // Markup inside it instead of text: the description stands in, as in the item view
        // of a full text it cannot read.
        try {
            const QString text = child.text();
            if (!text.trimmed().isEmpty())
                return text;
        } catch (const XmlError &) {
        }
    }
    return QString();
}

} // namespace

ArchiveRecord MakeArchiveRecord(const XmlNode &item, const QString &chGuid,
                                const QString &chName, const QString &date,
                                const QString &author, const TtvChannel *channel)
{
    ArchiveRecord r;
    r.sTitle = childText(item, QStringLiteral("title"));
    r.sDescription = childText(item, QStringLiteral("description"));
    r.sAuthor = author;
    r.sDate = date;
    r.sGUID = item.attribute(QStringLiteral("GUID"));
    r.sChGUID = chGuid;
    r.sChannelName = chName;
    r.sLink = childText(item, QStringLiteral("link"));
    r.sContent = fullText(item);
    if (channel) {
        r.sChannelLink = channel->link;
        r.sChannelImage = channel->image;
    }
    return archiveText(r, ArchiveTextWay::ToStored);
}
