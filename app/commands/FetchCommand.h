#pragma once

#include <QStringList>

// `kolvani --fetch URL FILE [--user NAME --password PASS]`: downloads one document into FILE
// without a window, with the proxy of the user's settings file. Status texts go to standard
// output, report lines to standard error. Returns the process exit code: 0 when the
// document was written, 1 otherwise. Needs a QCoreApplication; `args` are the arguments
// after "--fetch".
int runFetchCommand(const QStringList &args);
