#pragma once

#include <QStringList>

// `kolvani --import-opml FILE`: adds the channels of an OPML file under the tree's root and
// writes the tree file. `kolvani --export-opml FILE`: writes the whole tree as OPML. Both
// take the per-user lock as --sync does, so they are refused while the window runs.
// 0 on success; messages go to standard error.
int runImportOpmlCommand(const QStringList &args);
int runExportOpmlCommand(const QStringList &args);
