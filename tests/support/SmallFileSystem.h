#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cerrno>

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

// A small tmpfs of its own for one test, to see what happens on a full or read-only disk.
// Mounting needs root (as in CI); elsewhere, or where the system refuses, mounted() is false
// and the test skips. Mounted over `at` when given (its content is hidden meanwhile), else
// over a fresh temporary folder.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(const QString &at = QString(), qint64 bytes = 64 * 1024)
        : m_path(at.isEmpty() ? m_dir.path() : at)
    {
        if (::geteuid() != 0 || (at.isEmpty() && !m_dir.isValid()))
            return;
        QDir().mkpath(m_path);
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0700";
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0,
                            options.constData()) == 0;
    }

    ~SmallFileSystem()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }

    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_path; }

    // Takes all the free space but `leave` bytes (whole pages) with a hidden file.
    bool fill(qint64 leave = 0)
    {
        const QByteArray filler = QFile::encodeName(m_path + QStringLiteral("/.filler"));
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0)
            return false;
        const QByteArray page(4096, 'f');
        qint64 size = 0;
        for (;;) {
            const ssize_t n = ::write(fd, page.constData(), size_t(page.size()));
            if (n <= 0)
                break;
            size += n;
        }
        const bool full = errno == ENOSPC;
        const bool ok = full && ::ftruncate(fd, size > leave ? size - leave : 0) == 0;
        ::close(fd);
        return ok;
    }

    bool makeReadOnly()
    {
        return m_mounted && ::mount(nullptr, QFile::encodeName(m_path).constData(), nullptr,
                                    MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_mounted = false;
};
