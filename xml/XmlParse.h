#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The libxml2 calls behind XmlDocument: a guarded parse and the serialiser. Handles are
// xmlDocPtr passed as void* so that no libxml2 type leaks out of the xml folder.
namespace XmlParse {

// Upper bound on the text that entity references in one document may expand to.
constexpr qint64 MaxEntityExpansion = 10 * 1024 * 1024;

// Parses a whole document held in memory. Never loads an external DTD or entity, never uses the
// network, keeps entity expansion within MaxEntityExpansion and nesting within 1024 levels,
// refuses markup beyond MarkupLimits (which libxml2 would take minutes over), drops whitespace-only
// text between elements and reads CDATA sections as text. Raises XmlError with the first error
// message and its line; nothing is printed.
void *parseDocument(const QByteArray &bytes, const QByteArray &url);

// A document whose byte-order mark (UTF-8 or UTF-16) contradicts the encoding its declaration
// names: the text as UTF-8 without the mark, and the declared name. Nothing for any other one.
struct MarkOverride
{
    QByteArray utf8;
    QByteArray declared;
};
std::optional<MarkOverride> markOverride(const QByteArray &bytes);

// The document in its declared encoding (UTF-8 when none is declared), indented. Characters
// the encoding lacks become character references. Raises XmlError when the encoding is unknown.
QByteArray serialise(void *doc, qsizetype sizeHint = 0);
// The same serialisation as text, its declaration naming the declared encoding.
QString serialiseText(void *doc);

} // namespace XmlParse
