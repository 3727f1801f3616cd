#pragma once

#include <QString>

// The per-user folder, always ending with "/": the XDG data home + "Kolvani/". On the
// first run it is created with data/ and temp/, and the shipped data/ and temp/
// (ShippedFolder) are copied into them (results not checked). A missing data home is
// created first; only when that fails is the executable's folder (with a trailing "/")
// used, and nothing is created.
// Raises FileError when the per-user folder cannot be created.
QString DetermineAppFolder(const QString &executableDir);
// The same with the data home given, which is used only when it exists already: an empty
// or missing `dataHome` gives the executable's folder.
QString DetermineAppFolderIn(const QString &dataHome, const QString &executableDir);

// The folder DetermineAppFolderIn gives, creating nothing: for tools that only read.
QString AppFolderPath(const QString &dataHome, const QString &executableDir);

// The folder that holds the shipped data/ and temp/ folders and the licence, ending with
// "/": the executable's own folder when it holds data/ (a build folder, an unpacked copy),
// else P/share/kolvani/ for an executable installed as P/bin/kolvani, else the executable's
// folder again.
QString ShippedFolder(const QString &executableDir);

// Copies a folder tree, hidden files included, never overwriting an existing file.
// Creates `target`. Stops at the first failure with false; true otherwise, also for an
// empty or missing source.
bool CopyFolder(const QString &source, const QString &target);

// What keeps the program from writing into `folder`, as a sentence for the user; empty when
// it can be written.
QString FolderWriteProblem(const QString &folder);
