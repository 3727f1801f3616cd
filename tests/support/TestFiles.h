#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Whole files in and out, for tests that look at bytes on disk.

// The file's bytes; empty when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Replaces the file's content; false when it cannot be written.
inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
