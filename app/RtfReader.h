#pragma once

#include <QByteArray>
#include <QString>

// Turns the RTF subset of the shipped licence into HTML for a rich-text view: \ansicpg
// 8-bit escapes (\'hh) decoded through Windows-1250, \uN unicode escapes, \par, \line,
// \tab, bold and italic, font sizes; font, colour and other destination groups are
// skipped and unknown control words ignored. Malformed input (deep nesting, a truncated
// file) gives the text read so far, never a failure.
QString RtfToHtml(const QByteArray &rtf);
// The same text without markup, paragraphs separated by "\n".
QString RtfToPlainText(const QByteArray &rtf);
