#include "base/UserFolderTidy.h"

#include "base/UserFolder.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// The files the program replaces atomically, by their bare names.
bool isReplacedFile(const QString &name)
{
    static const QStringList fixed = {
        QStringLiteral("tvChannels.xml"), QStringLiteral("config.ini"),
        QStringLiteral("validators.json"), QStringLiteral("rss_xslt.xsl"),
        QStringLiteral("arch_item.xml"),   QStringLiteral("lvChannels.xml"),
        QStringLiteral("channel_info.xml"), QStringLiteral("tvChannels_e.xml"),
        QStringLiteral("server_pauses.json")};
    if (fixed.contains(name))
        return true;
    return name.endsWith(QLatin1String(".xml")) && IsGuidText(name.chopped(4));
}

bool isLeftover(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return false;
    const QString target = name.left(dot);
    return isReplacedFile(target) && IsReplacementOf(name, target);
}

} // namespace

QStringList RemoveStaleReplacements(const UserFolder &folder, const QDateTime &olderThan)
{
    QStringList removed;
    if (folder.isEmpty())
        return removed;
    for (const QString &path : {folder.dataFolder(), folder.tempFolder()}) {
        const QFileInfoList files =
            QDir(path).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks);
        for (const QFileInfo &file : files) {
            if (!isLeftover(file.fileName()) || file.lastModified() >= olderThan)
                continue;
            if (QFile::remove(file.absoluteFilePath()))
                removed.append(file.absoluteFilePath());
        }
    }
    return removed;
}

void MakeUserFolderPrivate(const UserFolder &folder)
{
    if (folder.isEmpty())
        return;
    const auto folderPerms = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ExeOwner;
    const auto filePerms = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QFile::setPermissions(folder.root(), folderPerms);
    for (const QString &path : {folder.dataFolder(), folder.tempFolder()}) {
        if (!QFileInfo(path).isDir())
            continue;
        QFile::setPermissions(path, folderPerms);
        const QFileInfoList entries = QDir(path).entryInfoList(
            QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
        for (const QFileInfo &entry : entries) {
            // Only what others may do goes: an executable bit the user set stays.
            const QFileDevice::Permissions own =
                entry.permissions() & (QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
            QFile::setPermissions(entry.absoluteFilePath(),
                                  entry.isDir() ? folderPerms : own | filePerms);
        }
    }
}

void TidyUserFolder(const UserFolder &folder, const QDateTime &lockTaken)
{
    RemoveStaleReplacements(folder, lockTaken);
    MakeUserFolderPrivate(folder);
}
