#pragma once

// Windows-1250, the code page of older Polish feeds.

// Characters of the bytes 0x80-0xFF; the five bytes the code page leaves undefined give
// U+FFFD.
extern const char16_t Windows1250High[128];

// Makes libxml2 read and write "windows-1250" documents through our own table instead of
// iconv, which is several times slower. Safe to call more than once.
void RegisterFastWindows1250();

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The text of Windows-1250 bytes; the undefined bytes give U+FFFD.
QString DecodeWindows1250(QByteArrayView bytes);
// The Windows-1250 bytes of `text`; false (and `out` unchanged) when a character of it has
// no byte in the code page.
bool EncodeWindows1250(const QString &text, QByteArray *out);
