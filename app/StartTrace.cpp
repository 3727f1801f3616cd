#include "app/StartTrace.h"

#include <QByteArray>
#include <QFile>
#include <QtGlobal>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since boot at which this process began (from /proc), -1 when unknown.
double processStartMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // "pid (comm) state ..." with starttime the 20th field after the name.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return -1;
    return fields.at(19).toDouble() * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

} // namespace

void StartMark(const char *what)
{
    static const bool on = !qEnvironmentVariableIsEmpty("KOLVANI_START_TRACE");
    if (!on)
        return;
    static const double start = processStartMs();
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    std::fprintf(stderr, "kolvani.start: %7.1f ms (processor %6.1f ms) %s\n",
                 now.tv_sec * 1000.0 + now.tv_nsec / 1e6 - start,
                 cpu.tv_sec * 1000.0 + cpu.tv_nsec / 1e6, what);
}
