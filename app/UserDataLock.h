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

    // Does not wait: false when another process holds a conflicting lock.
    bool tryLock(Mode mode);
    void unlock();

private:
    QString m_path;
    int m_fd = -1;
};
