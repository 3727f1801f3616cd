#pragma once

#include "base/FileReplace.h"

#include <cerrno>

#include <unistd.h>

// While it lives, every file replaced through the atomic writers gets one byte and then
// "no space left", as on a full disk.
class InjectedShortWrite
{
public:
    InjectedShortWrite() { SetFileWriteCall(&oneByteThenFull); }
    ~InjectedShortWrite() { SetFileWriteCall(nullptr); }
    InjectedShortWrite(const InjectedShortWrite &) = delete;
    InjectedShortWrite &operator=(const InjectedShortWrite &) = delete;

private:
    static qint64 oneByteThenFull(int fd, const char *data, qint64 size)
    {
        static thread_local int lastFd = -1;
        if (fd != lastFd && size > 0) {
            lastFd = fd;
            return qint64(::write(fd, data, 1));
        }
        errno = ENOSPC;
        return -1;
    }
};
