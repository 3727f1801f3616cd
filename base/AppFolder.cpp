#include "base/AppFolder.h"

#include "base/UserFolder.h"
#include "base/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

const QString AppFolderName = QStringLiteral("Kolvani");

QString withSlash(const QString &path)
{
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

void makeFolder(const QString &path)
{
    if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
        throw FileError(QStringLiteral("Nie można utworzyć folderu %1").arg(path));
}

void makePrivate(const QString &path, bool folder)
{
    if (!QFileInfo::exists(path))
        return;
    QFileDevice::Permissions perms = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (folder)
        perms |= QFileDevice::ExeOwner;
    QFile::setPermissions(path, perms);
}

// Copies one file unless the target exists, taking the target's name only once the whole
// content is in it: a first start on a full disk leaves no empty tree file behind.
bool copyFile(const QString &from, const QString &to)
{
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        return false;
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    try {
        WriteFileAtomically(to, bytes);
    } catch (const FileError &) {
        return false;
    }
    // Everything in the per-user folder is the user's alone; an executable bit is kept.
    QFile::setPermissions(to, (in.permissions() & QFileDevice::ExeOwner) |
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

} // namespace

QString ShippedFolder(const QString &executableDir)
{
    const QString exe = withSlash(executableDir);
    if (exe.isEmpty() || QFileInfo(exe + QStringLiteral("data")).isDir())
        return exe;
    const QString installed =
        withSlash(QDir::cleanPath(exe + QStringLiteral("../share/kolvani")));
    if (QFileInfo(installed + QStringLiteral("data")).isDir())
        return installed;
    return exe;
}

bool CopyFolder(const QString &source, const QString &target)
{
    QDir().mkpath(target); // an existing folder is fine; a failure shows in the copies
    if (source.isEmpty())
        return true;
    const QString from = withSlash(source);
    const QString to = withSlash(target);

    const QFileInfoList entries = QDir(from).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (entry.isDir() && !entry.isSymLink()) {
            if (!CopyFolder(from + name, to + name))
                return false;
        } else if (!copyFile(from + name, to + name)) {
            return false; // also when the target file exists: never overwrite
        }
    }
    return true;
}

QString AppFolderPath(const QString &dataHome, const QString &executableDir)
{
    QString home = dataHome;
    while (home.size() > 1 && home.endsWith(QLatin1Char('/')))
        home.chop(1);
    if (home.isEmpty() || !QFileInfo(home).isDir())
        return withSlash(executableDir);
    return withSlash(home + QLatin1Char('/') + AppFolderName);
}

QString DetermineAppFolderIn(const QString &dataHome, const QString &executableDir)
{
    const QString appFolder = AppFolderPath(dataHome, executableDir);
    SetPrivateFolder(appFolder);
    // The executable's folder, or a later run: nothing is created or copied, even into an
    // incomplete folder.
    if (QFileInfo::exists(appFolder))
        return appFolder;

    const UserFolder folder(appFolder, executableDir);
    makeFolder(appFolder);
    makePrivate(appFolder, true); // channel caches, settings and passwords live here
    makeFolder(folder.dataFolder());
    makeFolder(folder.tempFolder());
    CopyFolder(folder.shippedDataFolder(), folder.dataFolder());
    CopyFolder(folder.shippedTempFolder(), folder.tempFolder());

    makePrivate(folder.dataFolder(), true);
    makePrivate(folder.tempFolder(), true);
    makePrivate(folder.configFile(), false);
    makePrivate(folder.treeFile(), false);
    return appFolder;
}

QString DetermineAppFolder(const QString &executableDir)
{
    // A new account often has no data home yet. The desktop's rule is to create it (private)
    // rather than to fall back to the executable's folder, which is shared by every user and
    // usually not writable: whatever the program saved there would be lost.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty() && !QFileInfo(dataHome).isDir() && QDir().mkpath(dataHome))
        makePrivate(dataHome, true);
    return DetermineAppFolderIn(dataHome, executableDir);
}

QString FolderWriteProblem(const QString &folder)
{
    if (!QFileInfo(folder).isDir()) {
        // "data/" of a file is no folder, and does not "exist" either: look at the name itself.
        QString bare = folder;
        while (bare.size() > 1 && bare.endsWith(QLatin1Char('/')))
            bare.chop(1);
        const QFileInfo entry(bare);
        if (entry.exists())
            return QStringLiteral("%1 jest plikiem, a nie folderem.").arg(bare);
        return QStringLiteral("Folder %1 nie istnieje.").arg(folder);
    }
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0)
        return QString();
    return QStringLiteral("Nie można zapisywać w folderze %1 (%2).")
        .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
}
