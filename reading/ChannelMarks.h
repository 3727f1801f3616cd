#pragma once

#include <QString>
#include <QStringList>

class ChannelNode;
class IChannelFiles;
class RowsOnShow;
class ShownChannel;
class UnreadCounts;
class XmlDocument;

// "Oznacz kanał jako przeczytany": every item of a channel, or of every channel beneath a
// group, marked read where it is kept.

// Sets every item's `unread` "1" of a channel document to "0" (RSS and RDF shapes); gives
// the number changed. Adds nothing to items without the mark. Raises XmlError.
int MarkDocumentRead(XmlDocument &document);
// The same on a cache file that is not on show; the file is replaced, only when a mark
// changed and only once its new content is written in full. Raises XmlError.
int MarkCacheFileRead(const QString &path);

struct ChannelsMarked
{
    int channels = 0; // channels that had unread items
    int items = 0;    // items marked
    QStringList failures; // "<channel>: <why>" for each channel whose file was left as it was
    QStringList rewritten; // cache files written with their new marks
};

// Marks the channel `node`, or every channel beneath the group `node` at any depth (also
// channels dropped onto channels), read: the channel on show in its document and its rows,
// which are written back at once, the others in their cache files. Their unread counts
// become 0; a channel whose file could not be written keeps its marks and its count.
// Channels whose count is known to be 0 are not read.
ChannelsMarked MarkChannelsRead(const ChannelNode &node, ShownChannel &shown, RowsOnShow &rows,
                                UnreadCounts &counts, const IChannelFiles &files);
