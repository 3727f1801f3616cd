#include "base/UserDataLock.h"

#include "base/AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

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
    m_problem.clear();
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir().mkpath(folder)) {
        m_problem = QStringLiteral("Nie można utworzyć folderu %1.").arg(folder);
        return false;
    }
    m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        const int error = errno;
        m_problem = FolderWriteProblem(folder);
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("Nie można utworzyć pliku %1 (%2).")
                            .arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    const int op = (mode == Mode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    if (::flock(m_fd, op) != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK)
            m_problem = QStringLiteral("Nie można zablokować pliku %1 (%2).")
                            .arg(m_path, QString::fromLocal8Bit(std::strerror(error)));
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
