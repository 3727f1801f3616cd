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
    if (channel) {
        r.sChannelLink = channel->link;
        r.sChannelImage = channel->image;
    }
    return archiveText(r, ArchiveTextWay::ToStored);
}
