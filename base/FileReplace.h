#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <stdexcept>

// Raised when a file cannot be created or written.
class FileError : public std::runtime_error
{
public:
    explicit FileError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// Synced writes wait until the data is on the disk: for user data. Unsynced ones are still
// all-or-nothing for readers: for downloads that are short-lived anyway.
enum class Durability { Synced, Unsynced };
// A replaced file keeps the permissions of the file it replaces (a new one gets the usual
// ones); files that hold passwords are readable by their owner alone.
enum class FileAccess { Kept, OwnerOnly };

// Files replaced anywhere under `root` (the per-user folder) are readable by their owner
// alone, as if FileAccess::OwnerOnly were given. An empty root ends that.
void SetPrivateFolder(const QString &root);

// The replacements below take the file's name only once every byte is known to be in the
// new file: each write checked, the size read back and, when Synced, the file on the disk.
// Otherwise, on a full disk too, the old file stays as it was and FileError is raised.

// Writes `text` up to its first NUL as lines ending in CR LF, bytes unchanged, replacing
// the file atomically. Raises FileError.
void SaveTextToFile(const QString &path, const QByteArray &text,
                    Durability durability = Durability::Synced,
                    FileAccess access = FileAccess::Kept);
// The file a replacement writes first is the target's name, "." and this many base-36
// digits of a random 32-bit number; a killed process may leave one behind.
constexpr int ReplacementSuffixLength = 7;
// True for a name that a replacement of `target` (a bare file name) gives its file.
bool IsReplacementOf(const QString &name, const QString &target);

// Replaces `path` atomically with `bytes`. Raises FileError.
void WriteFileAtomically(const QString &path, const QByteArray &bytes,
                         Durability durability = Durability::Synced,
                         FileAccess access = FileAccess::Kept);

// While one lives on this thread, Synced replacements still put their file on the disk but
// leave their folder's entry to the batch's end, when each folder is flushed once: a run
// that replaces 150 cache files waits for the folder once, not 150 times. Until then a
// crash may bring back the old file, whole, never a half-written one.
class FolderSyncBatch
{
public:
    FolderSyncBatch();
    ~FolderSyncBatch();
    FolderSyncBatch(const FolderSyncBatch &) = delete;
    FolderSyncBatch &operator=(const FolderSyncBatch &) = delete;

    // The folders waiting for their flush.
    int pendingFolders() const { return int(m_folders.size()); }
    // Called by a replacement: true when the batch takes the folder's flush.
    static bool defer(const QByteArray &folder);

private:
    FolderSyncBatch *m_outer;
    QList<QByteArray> m_folders;
};

// The call that writes the pieces of the files above, write(2) unless replaced; tests put in
// one that writes less than asked or fails. nullptr restores write(2).
using FileWriteCall = qint64 (*)(int fd, const char *data, qint64 size);
void SetFileWriteCall(FileWriteCall call);
