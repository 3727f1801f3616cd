#pragma once

#include <QByteArray>
#include <QString>

// The libxml2 calls behind XmlDocument: a guarded parse and the serialiser. Handles are
// xmlDocPtr passed as void* so that no libxml2 type leaks out of the xml folder.
namespace XmlParse {

// Upper bound on the text that entity references in one document may expand to.
constexpr qint64 kMaxEntityExpansion = 10 * 1024 * 1024;

// Parses a whole document held in memory. Never loads an external DTD or entity, never uses the
// network, keeps entity expansion within kMaxEntityExpansion and nesting within 1024 levels,
// refuses markup beyond MarkupLimits (which libxml2 would take minutes over), drops whitespace-only
// text between elements and reads CDATA sections as text. Raises XmlError with the first error
// message and its line; nothing is printed.
void *parseDocument(const QByteArray &bytes, const QByteArray &url);

// The document in its declared encoding (UTF-8 when none is declared), indented. Characters
// the encoding lacks become character references. Raises XmlError when the encoding is unknown.
QByteArray serialise(void *doc);
// The same serialisation as text, its declaration naming the declared encoding.
QString serialiseText(void *doc);

} // namespace XmlParse
