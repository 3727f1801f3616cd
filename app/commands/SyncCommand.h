#pragma once

#include <QStringList>

// `kolvani --sync`: updates every enabled channel of the user's tree without a window.
// Report lines and "Uaktualniono " lines go to standard error. 0 when no channel failed.
int runSyncCommand(const QStringList &args);
