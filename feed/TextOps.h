#pragma once

#include <QByteArray>
#include <QString>

#include <stdexcept>

// Raised by DecodeCharRefs for a reference whose number is not an integer.
class ConversionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Text operations on feed content and on the tree file. Positions are 1-based.

// Replaces every occurrence of `find`, left to right, resuming after each inserted text.
QString ReplaceAll(const QString &find, const QString &replacement, const QString &text);
// "&" -> "|amp|", then "?" -> "|quest|".
QString EscapeUrlText(const QString &text);
// "|amp|" -> "&", then "|quest|" -> "?".
QString UnescapeUrlText(const QString &text);
// "1", or "True"/"yes" in any letter case.
bool TextToBool(const QString &text);
// Position of the first occurrence of `pattern` at or after `start`, 0 when none.
int FindText(const QString &pattern, const QString &text, int start);
// Characters from `first` to `last`, both included.
QString CopyRange(const QString &text, int first, int last);
// Replaces "&#N;" references: below 256 through Windows-1250, otherwise the Unicode
// character. Raises ConversionError on a reference whose number is not an integer.
QString DecodeCharRefs(const QString &text);
// "Mon, 05 Jan 2004 10:00:00 GMT" -> "2004-01-05"; the input unchanged when it cannot.
QString ConvertFeedDate(const QString &text);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
QString NewGuidText();
// A GUID text as NewGuidText makes it (hexadecimal digits of either case): the only names
// that files of a channel may be given.
bool IsGuidText(const QString &text);
// The address without the "user:password@" before its host, the rest unchanged: what may
// be written where others can read it.
QString AddressWithoutCredentials(const QString &url);
