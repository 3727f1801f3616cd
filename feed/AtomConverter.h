#pragma once

#include "feed/ConvertedFeed.h"

class XmlDocument;

namespace FeedConversion {

extern const char *const Atom10Namespace;
extern const char *const Atom03Namespace;

// True when the document element is `feed` in the Atom 1.0 or Atom 0.3 namespace.
bool isAtomDocument(const XmlDocument &document);

// The channel of an Atom 1.0 or 0.3 document; relative addresses are resolved against
// `xml:base` and `address`, the document's own address. Raises FeedFormatError when the
// document is not Atom.
ConvertedFeed readAtom(const XmlDocument &document, const QString &address);

} // namespace FeedConversion
