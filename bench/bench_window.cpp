// The window's start as a user feels it: the real program on a virtual screen under a real
// window manager (Xvfb and openbox), with 134 channels of 100 items and with an empty profile.
// Printed: start -> window mapped (the window manager maps its frame), start -> processor idle
// (the processor time of the program and every helper process it started stops growing), the
// PSS of that process tree once idle and the processor time it took to get there; medians with min-max over the runs, the two profiles
// interleaved. KOLVANI_BENCH_RUNS sets the number of runs (5).

#include "BenchData.h"
#include "support/X11Session.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int ChannelCount = 134;
const int ItemsPerChannel = 100;
const int SampleMs = 50;
// Idle: the whole tree used less than 2 % of one core over this long.
const int QuietMs = 1000;
const qint64 QuietCpuMs = 20;
const int LimitMs = 60000;

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ProcStat
{
    qint64 ppid = 0;
    qint64 cpuTicks = 0; // its own time and that of the children it has waited for
};

bool readStat(const QString &pid, ProcStat &out)
{
    const QByteArray stat = readFile(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return false;
    // After "pid (comm) ": state ppid ... utime(14) stime(15) cutime(16) cstime(17)
    const QList<QByteArray> f = stat.mid(close + 2).split(' ');
    if (f.size() < 15)
        return false;
    out.ppid = f.at(1).toLongLong();
    out.cpuTicks = f.at(11).toLongLong() + f.at(12).toLongLong() + f.at(13).toLongLong() +
                   f.at(14).toLongLong();
    return true;
}

// The program and every process below it.
QList<qint64> processTree(qint64 root)
{
    QHash<qint64, qint64> parentOf;
    for (const QString &name : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        ProcStat stat;
        if (number && readStat(name, stat))
            parentOf.insert(pid, stat.ppid);
    }
    QList<qint64> tree{root};
    for (int i = 0; i < tree.size(); ++i)
        for (auto it = parentOf.cbegin(); it != parentOf.cend(); ++it)
            if (it.value() == tree.at(i))
                tree.append(it.key());
    return tree;
}

qint64 treeCpuMs(const QList<qint64> &tree)
{
    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    qint64 ticks = 0;
    for (qint64 pid : tree) {
        ProcStat stat;
        if (readStat(QString::number(pid), stat))
            ticks += stat.cpuTicks;
    }
    return ticks * 1000 / ticksPerSecond;
}

double treePssMb(const QList<qint64> &tree)
{
    qint64 kb = 0;
    for (qint64 pid : tree) {
        const QByteArray rollup =
            readFile(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        for (const QByteArray &line : rollup.split('\n'))
            if (line.startsWith("Pss:"))
                kb += line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return kb / 1024.0;
}

// Watches the root window of the virtual screen for the first window the window manager maps
// (openbox maps the frame it puts around a client; override-redirect pop-ups are skipped).
class MapWatch
{
public:
    explicit MapWatch(const QString &display)
    {
        m_connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
        if (xcb_connection_has_error(m_connection))
            return;
        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
        m_ok = true;
    }
    ~MapWatch() { xcb_disconnect(m_connection); }
    bool ok() const { return m_ok; }

    // True once a window has been mapped since the last call.
    bool mapped()
    {
        bool seen = false;
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t *>(event)->override_redirect)
                seen = true;
            free(event);
        }
        return seen;
    }
    // Waits up to `ms` for the connection to have something to read.
    void wait(int ms)
    {
        pollfd fd{xcb_get_file_descriptor(m_connection), POLLIN, 0};
        ::poll(&fd, 1, ms);
    }

private:
    xcb_connection_t *m_connection = nullptr;
    bool m_ok = false;
};

struct Run
{
    double mapped = -1;
    double idle = -1;
    double pss = -1;
    double cpu = -1; // processor time of the tree until idle, seconds
};

Run startOnce(X11Session &session, const QString &home)
{
    Run run;
    MapWatch watch(session.display());
    if (!watch.ok())
        return run;
    watch.mapped();
    QProcessEnvironment env = session.environment(QProcessEnvironment::systemEnvironment());
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    if (!env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--no-sandbox"));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {});
    if (!program.waitForStarted(10000))
        return run;
    const qint64 pid = program.processId();

    struct Sample
    {
        qint64 at;
        qint64 cpu;
    };
    std::vector<Sample> samples;
    qint64 nextSample = 0;
    while (clock.elapsed() < LimitMs && program.state() == QProcess::Running) {
        const qint64 now = clock.elapsed();
        if (run.mapped < 0 && watch.mapped())
            run.mapped = now / 1000.0;
        if (now >= nextSample) {
            samples.push_back({now, treeCpuMs(processTree(pid))});
            nextSample = now + SampleMs;
            // Idle from the first sample after which the tree stayed quiet for QuietMs.
            if (run.mapped >= 0) {
                const Sample &last = samples.back();
                auto first = std::find_if(samples.begin(), samples.end(), [&](const Sample &s) {
                    return s.at >= last.at - QuietMs;
                });
                if (last.at - first->at >= QuietMs - SampleMs &&
                    last.cpu - first->cpu < QuietCpuMs) {
                    run.idle = first->at / 1000.0;
                    run.cpu = first->cpu / 1000.0;
                    run.pss = treePssMb(processTree(pid));
                    break;
                }
            }
        }
        watch.wait(int(qMax<qint64>(1, nextSample - clock.elapsed())));
    }
    program.terminate();
    if (!program.waitForFinished(20000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    return run;
}

// A user folder as after some days of use: the shipped files, 134 channels with their cache
// files, one in three items unread.
void prepareFullHome(const QString &home)
{
    QStringList urls;
    for (int c = 0; c < ChannelCount; ++c)
        urls << QStringLiteral("http://127.0.0.1:9/%1.xml").arg(c);
    const QString appFolder = MakeBenchUserFolder(home + QStringLiteral("/share"), urls, true);
    const QDir shipped(QStringLiteral(KV_BINARY_DIR "/data"));
    for (const QString &name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), appFolder + QStringLiteral("data/") + name);
    const QByteArray cache = BenchCacheFile(ItemsPerChannel);
    for (int c = 0; c < ChannelCount; ++c) {
        QFile file(appFolder + QStringLiteral("data/") + BenchChannelGuid(c) +
                   QStringLiteral(".xml"));
        if (file.open(QIODevice::WriteOnly))
            file.write(cache);
    }
}

void prepareHome(const QString &home, bool full)
{
    for (const char *sub : {"/share", "/config", "/runtime"})
        QDir().mkpath(home + QLatin1String(sub));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (full)
        prepareFullHome(home);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    if (v.empty())
        return -1;
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void printFigure(const char *label, const std::vector<double> &values, const char *unit,
                 const char *format, const char *target)
{
    if (values.empty()) {
        std::printf("  %-28s no figure\n", label);
        return;
    }
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    std::printf("  %-28s ", label);
    std::printf(format, median(values));
    std::printf(" %s  (", unit);
    std::printf(format, *low);
    std::printf("-");
    std::printf(format, *high);
    std::printf(")%s\n", target);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // "--prepare FOLDER" only makes the 134-channel home there, for a look with a profiler.
    if (argc == 3 && QByteArray(argv[1]) == "--prepare") {
        prepareHome(QString::fromLocal8Bit(argv[2]), true);
        return 0;
    }
    const QString missing = X11Session::missingTools();
    if (!missing.isEmpty()) {
        std::printf("window start: %s is not installed, no figures\n", qPrintable(missing));
        return 0;
    }
    const int runs = qMax(1, qEnvironmentVariableIntValue("KOLVANI_BENCH_RUNS") > 0
                                 ? qEnvironmentVariableIntValue("KOLVANI_BENCH_RUNS")
                                 : 5);
    X11Session session(QStringLiteral("1280x800x24"));
    if (!session.start()) {
        std::fprintf(stderr, "no virtual screen: %s\n", qPrintable(session.error()));
        return 1;
    }
    QTemporaryDir fullHome, emptyHome;
    prepareHome(fullHome.path(), true);
    std::vector<Run> full, empty;
    for (int i = 0; i < runs; ++i) {
        // Each empty run is a user's very first start.
        QDir(emptyHome.path()).removeRecursively();
        prepareHome(emptyHome.path(), false);
        full.push_back(startOnce(session, fullHome.path()));
        empty.push_back(startOnce(session, emptyHome.path()));
    }
    auto column = [](const std::vector<Run> &all, double Run::*field) {
        std::vector<double> out;
        for (const Run &r : all)
            if (r.*field >= 0)
                out.push_back(r.*field);
        return out;
    };
    std::printf("window start under Xvfb and openbox, median (min-max) of %d runs\n", runs);
    std::printf(" %d channels x %d items:\n", ChannelCount, ItemsPerChannel);
    printFigure("start -> window mapped:", column(full, &Run::mapped), "s", "%.2f",
                "  target <= 0.80 s");
    printFigure("start -> processor idle:", column(full, &Run::idle), "s", "%.2f",
                "  target <= 1.20 s");
    printFigure("PSS of the process tree:", column(full, &Run::pss), "MB", "%.0f",
                "  target <= 100 MB");
    printFigure("processor time until idle:", column(full, &Run::cpu), "s", "%.2f", "");
    std::printf(" empty profile (first start):\n");
    printFigure("start -> window mapped:", column(empty, &Run::mapped), "s", "%.2f", "");
    printFigure("start -> processor idle:", column(empty, &Run::idle), "s", "%.2f", "");
    printFigure("PSS of the process tree:", column(empty, &Run::pss), "MB", "%.0f", "");
    printFigure("processor time until idle:", column(empty, &Run::cpu), "s", "%.2f", "");
    return 0;
}
