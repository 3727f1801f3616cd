#pragma once

#include <QString>

#include <cstdio>

// One line of a command-line tool, UTF-8, written at once so that lines of a run stay
// whole when standard output and standard error share a terminal.
inline void WriteConsoleLine(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
