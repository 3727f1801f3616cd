#pragma once

#include "reading/HeaderRow.h"
#include "xml/XmlDocument.h"

#include <vector>

struct NormalisedFeed;

// What a walk over a channel document gives.
struct HeaderRowsResult
{
    std::vector<HeaderRow> rows;   // in document order, filtered
    // Every sibling the walk stepped over, indexed by ID: gaps hold the non-item nodes, so
    // itemNodes[id] is the node a walk of `id` steps from the first item reaches.
    std::vector<XmlNode> itemNodes;
    int unreadCount = 0;           // unread items of the whole document, filter or not
    bool formatError = false;      // an item could not be read; the walk stopped there
};

// Walks from the feed's first item over its following siblings and makes one row for each
// `item` that passes the keyword filter. Missing `title`, `pubDate` and `unread` children
// (and `description` when the filter looks at it) are added empty, as the lookups of the
// XML interface do, so a write-back stores them. Dublin Core `date` and `creator` are read
// only for versions "1.0" and "2.0" when the root declares the "dc" prefix; a later child
// wins, so dc:date wins over pubDate. The unread mark is exactly "1".
// Never raises: an item that cannot be read sets formatError and ends the walk.
HeaderRowsResult ReadHeaderRows(const NormalisedFeed &feed, const XmlDocument &document,
                                const QString &chGuid, const QString &chName,
                                const QString &keyword);
