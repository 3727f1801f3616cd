#pragma once

#include <QStringList>

// `kolvani --check-tree PATH [--save OUT]` (args: those after "--check-tree"): loads a tree
// file, prints the node count and the tree to standard output and, when asked, writes the
// tree to OUT. Returns 0, or 1 after printing the error to standard error. Needs a
// QCoreApplication.
int runCheckTreeCommand(const QStringList &args);
