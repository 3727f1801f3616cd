#pragma once

#include <QDateTime>
#include <QStringList>

class UserFolder;

// What a killed process leaves in the per-user folder, cleaned at start by whoever holds
// the folder alone: replacement files of an interrupted write (a full copy of the tree,
// passwords included, or of a cache file), named as the program names them and last
// changed before `olderThan`. The user's own files, a kept damaged tree among them, are
// never touched. Gives the paths removed.
QStringList RemoveStaleReplacements(const UserFolder &folder, const QDateTime &olderThan);

// The per-user folder and its data/ and temp/ readable by the user alone (0700), and every
// file in them (0600): older versions left some readable to all, passwords in them.
void MakeUserFolderPrivate(const UserFolder &folder);

// Both of the above, for the holder of the folder's lock taken alone at `lockTaken`.
void TidyUserFolder(const UserFolder &folder, const QDateTime &lockTaken);
