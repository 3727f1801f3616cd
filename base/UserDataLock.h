#pragma once

#include <QString>

// A lock on one user's data folder. Running windows hold it shared; the command-line
// synchronisation needs it alone, since a cache file must have one writer. The system
// releases it when the process ends, however it ends.
class UserDataLock
{
public:
    enum class Mode { Shared, Exclusive };

    // `lockFile` is the per-user folder's lock file (UserFolder::lockFile).
    explicit UserDataLock(const QString &lockFile);
    ~UserDataLock();
    UserDataLock(const UserDataLock &) = delete;
    UserDataLock &operator=(const UserDataLock &) = delete;

    // Does not wait: false when another process holds a conflicting lock, or when the lock
    // file cannot be made (problem() then says why).
    bool tryLock(Mode mode);
    void unlock();
    // After a failed tryLock: empty when another process holds the lock, else what is wrong
    // with the folder, as a sentence for the user.
    QString problem() const { return m_problem; }

private:
    QString m_path;
    QString m_problem;
    int m_fd = -1;
};
