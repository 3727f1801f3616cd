#pragma once

#include "xml/XmlDocument.h"

#include <stdexcept>

// Raised for a channel document that cannot be used: an `rss` root without `channel`.
class FeedFormatError : public std::runtime_error
{
public:
    explicit FeedFormatError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

struct NormalisedFeed
{
    QString version;   // "1.0" for RDF, else the `version` attribute of `rss` (may be empty)
    XmlNode firstItem; // null when the channel has no item
};

// Rewrites an "iso-8859-2" document as "windows-1250" (falling back to "UTF-8") in memory
// and in its file, then finds the version and the first item. Raises FeedFormatError and
// XmlError.
NormalisedFeed NormaliseFeedFile(XmlDocument &document);
