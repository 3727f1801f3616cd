#pragma once

#include "base/UserFolder.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

class ArchiveStore;
class ChannelTree;
class ChannelTreeSaver;

// Raised when a copy cannot be made or restored, with a Polish sentence for the user.
class BackupError : public std::runtime_error
{
public:
    explicit BackupError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// One copy in data/backup/, as its folder and its list of files tell it.
struct BackupInfo
{
    QString path;               // the copy's folder, ending with "/"
    QString name;               // the folder's name: "yyyy-MM-dd", or "yyyy-MM-dd_HHmmss"
    QDateTime made;             // invalid when the list of files does not say
    bool beforeRestore = false; // the state kept before a restore, not a copy of the day
    int channels = -1;          // -1 when unknown
    bool hasSettings = false;
    bool hasArchive = false;
    bool damaged = false;
    QString problem;            // why it is damaged, for the user
};

// The copies of what the user keeps: the tree, the settings file and the archive, each copy
// a folder of data/backup/ named after its day. A copy counts only once every file is
// written, read back and listed with its size and checksum in its list of files; until
// then it is built under another name, and a failed one is removed. Seven copies of days are
// kept, and the three last states kept before a restore.
class UserBackups
{
public:
    static constexpr int KeptDaily = 7;
    static constexpr int KeptBeforeRestore = 3;
    static const QString ListFileName; // the copy's list of files, written last

    explicit UserBackups(const UserFolder &folder);

    // No copy of `day` is there yet (or only a damaged one).
    bool dueOn(const QDate &day) const;
    // The copy of today, made from the tree as `tree` holds it and the settings and archive
    // files, unless one is there. True when it made one. Raises BackupError; nothing of the
    // failed copy stays.
    bool makeDailyIfDue(const ChannelTree &tree,
                        const QDateTime &now = QDateTime::currentDateTime());
    // The state before a restore, as one more copy. Raises BackupError.
    BackupInfo makeBeforeRestore(const ChannelTree &tree,
                                 const QDateTime &now = QDateTime::currentDateTime());

    // Every copy, newest first, each file's size and checksum compared with its list.
    std::vector<BackupInfo> list() const;
    // One copy. `deep` also checks the archive's pages and reads the tree as a tree.
    BackupInfo inspect(const QString &path, bool deep = false) const;
    // Removes what an interrupted copy left, and the oldest copies beyond those kept.
    void prune() const;

    // What a restore changes in the running program.
    struct Targets
    {
        ChannelTree &tree;
        ChannelTreeSaver &treeSaver;
        ArchiveStore *archive = nullptr; // null: the archive file is not open
        // Before the tree is replaced: whatever points into it lets go.
        std::function<void()> beforeTreeChanges;
    };
    // Restores a sound copy after keeping the current state as a copy of its own; gives that
    // copy. The archive's rows, the tree (written to its file) and the settings file are
    // replaced, each whole or not at all. Raises BackupError: before anything changed when
    // the copy is damaged or the current state cannot be kept.
    BackupInfo restore(const BackupInfo &copy, const Targets &targets,
                       const QDateTime &now = QDateTime::currentDateTime());

    const QString &folder() const { return m_folder; }

private:
    BackupInfo make(const QString &name, const ChannelTree &tree, const QDateTime &now,
                    bool beforeRestore);

    UserFolder m_user;
    QString m_folder; // data/backup/
};
