#pragma once

#include <QDir>
#include <QString>

// Makes `root` a per-user folder the program can work in (its data/ and temp/) and gives
// it back ending in "/"; empty when the folders cannot be made.
inline QString makeUserFolder(const QString &root)
{
    const QString folder = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
    if (!QDir().mkpath(folder + QStringLiteral("data")) ||
        !QDir().mkpath(folder + QStringLiteral("temp")))
        return QString();
    return folder;
}
