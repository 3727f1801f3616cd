#include "app/commands/ToolFolder.h"

#include "base/AppFolder.h"
#include "base/UserFolderTidy.h"
#include "base/AppFolder.h"
#include "app/commands/ConsoleLines.h"

#include <QCoreApplication>
#include <QDateTime>

#include <cstdio>
#include <exception>

std::unique_ptr<UserDataLock> LockToolFolder(UserFolder &folder, const QString &busy)
{
    const QString executableDir = QCoreApplication::applicationDirPath();
    try {
        folder = UserFolder(DetermineAppFolder(executableDir), executableDir);
    } catch (const std::exception &e) {
        WriteConsoleLine(stderr, QString::fromStdString(e.what()));
        return nullptr;
    }
    auto lock = std::make_unique<UserDataLock>(folder.lockFile());
    const QDateTime lockTaken = QDateTime::currentDateTime();
    if (!lock->tryLock(UserDataLock::Mode::Exclusive)) {
        WriteConsoleLine(stderr, lock->problem().isEmpty() ? busy : lock->problem());
        return nullptr;
    }
    TidyUserFolder(folder, lockTaken);
    return lock;
}
