#pragma once

#include "archive/ArchiveRecord.h"

#include <QHash>
#include <QString>

class ChannelTree;
class XmlNode;
struct TtvChannel;

// The tree's channels by GUID, looked up once for a whole selection.
class ChannelsByGuid
{
public:
    explicit ChannelsByGuid(const ChannelTree &tree);
    // The first channel in tree order with that GUID; null when there is none.
    const TtvChannel *find(const QString &guid) const { return m_channels.value(guid); }

private:
    QHash<QString, const TtvChannel *> m_channels;
};

// What one header row of a channel on show becomes in the archive, in stored form: the
// item's title, description, full text (content:encoded), link and GUID attribute; the row's date, author, channel GUID
// and channel name; the channel's link and image (both empty without a channel). A missing
// element gives an empty text. Raises XmlError when a text cannot be read (an element
// with element children).
ArchiveRecord MakeArchiveRecord(const XmlNode &item, const QString &chGuid,
                                const QString &chName, const QString &date,
                                const QString &author, const TtvChannel *channel);
