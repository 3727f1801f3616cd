#include "app/UserDataLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

UserDataLock::UserDataLock(const QString &lockFile) : m_path(lockFile)
{
}

UserDataLock::~UserDataLock()
{
    unlock();
}

bool UserDataLock::tryLock(Mode mode)
{
    unlock();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return false;
    const int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    if (::flock(m_fd, op) != 0) {
        unlock();
        return false;
    }
    return true;
}

void UserDataLock::unlock()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
