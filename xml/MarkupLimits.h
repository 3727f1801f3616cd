#pragma once

#include <QByteArray>
#include <QString>

// libxml2 2.9 spends time growing with the square of the attribute count of one start tag,
// and of the namespace declarations in scope, so a few megabytes of such markup would hold
// the program for minutes. This pass over the raw bytes (8-bit encodings and UTF-16) finds
// such documents before they are parsed; documents in EBCDIC, which it cannot read, are
// refused. Markup that entities would produce is bounded by keeping the document type
// declaration small.
namespace MarkupLimits {

constexpr int MaxAttributes = 256;         // in one start tag, namespace declarations included
constexpr int MaxNamespacesInScope = 256;  // declarations on the open elements together
constexpr int MaxDoctypeBytes = 64 * 1024; // the whole <!DOCTYPE ...> with its internal subset

// An empty text when the document keeps within the limits, else what it breaks.
QString check(const QByteArray &document);

} // namespace MarkupLimits
