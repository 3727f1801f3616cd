#pragma once

#include "base/UserDataLock.h"
#include "base/UserFolder.h"

#include <QString>

#include <memory>

// The per-user folder of a command-line tool, found as the window finds it and locked for
// this tool alone. Null, with the reason written to standard error, when it cannot be had;
// `busy` is the line for a lock that another run of the program holds.
std::unique_ptr<UserDataLock> LockToolFolder(UserFolder &folder, const QString &busy);
