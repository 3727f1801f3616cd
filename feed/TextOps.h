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

// Raised when a file cannot be created or written.
class FileError : public std::runtime_error
{
public:
    explicit FileError(const QString &message) : std::runtime_error(message.toStdString()) {}
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
// Synced writes wait until the data is on the disk: for user data. Unsynced ones are still
// all-or-nothing for readers: for downloads that are short-lived anyway.
enum class Durability { Synced, Unsynced };

// Writes `text` up to its first NUL as lines ending in CR LF, bytes unchanged, replacing
// the file atomically. Raises FileError.
void SaveTextToFile(const QString &path, const QByteArray &text,
                    Durability durability = Durability::Synced);
// Replaces `path` atomically with `bytes`. Raises FileError.
void WriteFileAtomically(const QString &path, const QByteArray &bytes,
                         Durability durability = Durability::Synced);
