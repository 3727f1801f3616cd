#pragma once

#include <QString>

#include <cstdio>

// Text of a command-line tool, UTF-8, written at once so that lines of a run stay whole
// when standard output and standard error share a terminal.
inline void WriteConsoleText(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// One line of it.
inline void WriteConsoleLine(FILE *stream, const QString &text)
{
    WriteConsoleText(stream, text + QLatin1Char('\n'));
}
