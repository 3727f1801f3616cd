#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Reads the items of a channel document without building a tree: the same items as the
// walk from NormaliseFeedFile's first item over its following siblings, each with the text
// of its first `title` and `unread` child (empty when absent). Made for reading the read
// marks of a large cache file quickly.
//
// Returns false, having called `item` for some items perhaps, when the document is not
// well-formed, breaks the walk's rules (an `rss` root without `channel`, a title or mark
// with element children), declares entities, goes beyond MarkupLimits or has a byte-order
// mark that contradicts its declaration; the caller then takes the tree route, which reads
// or reports such documents precisely.
bool ScanFeedItems(const QByteArray &document,
                   const std::function<void(const QString &title, const QString &unread)> &item);
