#pragma once

// Windows-1250, the code page of older Polish feeds.

// Characters of the bytes 0x80-0xFF; the five bytes the code page leaves undefined give
// U+FFFD.
extern const char16_t Windows1250High[128];

// Makes libxml2 read and write "windows-1250" documents through our own table instead of
// iconv, which is several times slower. Safe to call more than once.
void RegisterFastWindows1250();
