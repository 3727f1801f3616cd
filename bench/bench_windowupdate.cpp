// A run over every channel in the real main window, as the user starts it with
// "&Synchronizuj wszystkie": 134 channels of 100 items from one loopback server answering
// after 20 ms, warm (the cache files exist), the report window open. Timed from the command
// to the run's end with the window's repaints done. Beside it, interleaved, `kolvani --sync`
// of the same channels in a user folder of its own: the headless floor. On a virtual screen
// with a window manager (Xvfb and openbox) where they are installed, else offscreen.
// KOLVANI_BENCH_RUNS sets the number of runs (5).

#include "BenchData.h"
#include "app/forms/KolvaniApplication.h"
#include "app/forms/MainFrmOptions.h"
#include "app/forms/MainFrmUnit.h"
#include "base/LiveSettings.h"
#include "kit/MessageBoxes.h"
#include "kit/WebBrowser.h"
#include "support/LoopbackServer.h"
#include "support/X11Session.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <memory>

namespace {

const int ChannelCount = 134;
const int ItemsPerChannel = 100;
const int LatencyMs = 20;
const double RssGuardSeconds = 13.8; // the same run measured in RSS Guard 4.0.4

class SilentBoxes : public IMessageBoxes
{
public:
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    void information(QWidget *, const QString &, const QString &) override {}
    void error(QWidget *, const QString &, const QString &) override {}
};

void waitFor(const std::function<bool()> &condition, int limitMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root;
    std::unique_ptr<X11Session> screen;
    if (X11Session::missingTools().isEmpty()) {
        screen = std::make_unique<X11Session>(QStringLiteral("1280x800x24"));
        if (screen->start()) {
            qputenv("DISPLAY", screen->display().toLocal8Bit());
            qputenv("QT_QPA_PLATFORM", "xcb");
            qputenv("QT_XCB_GL_INTEGRATION", "none");
        } else {
            screen.reset();
        }
    }
    if (!screen)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The drawing the program chooses for itself.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu --renderer-process-limit=1");
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toUtf8());
    const QString windowHome = root.path() + QStringLiteral("/window");
    const QString headlessHome = root.path() + QStringLiteral("/headless");
    qputenv("XDG_DATA_HOME", windowHome.toUtf8());
    KolvaniApplication app(argc, argv);
    const int runs = qEnvironmentVariableIntValue("KOLVANI_BENCH_RUNS") > 0
                         ? qEnvironmentVariableIntValue("KOLVANI_BENCH_RUNS")
                         : 5;

    QHash<QByteArray, QByteArray> documents;
    for (int c = 0; c < ChannelCount; ++c)
        documents.insert("/feed/" + QByteArray::number(c),
                         BenchChannelDocument(c, ItemsPerChannel, c % 2 == 1, c % 4 >= 2));
    LoopbackServer server;
    server.setHandler([&documents](const LoopbackRequest &request) {
        LoopbackReply reply = LoopbackReply::http("200 OK", documents.value(request.target()),
                                                  "Content-Type: application/xml\r\n");
        reply.parts.first().delayMs = LatencyMs;
        return reply;
    });
    server.start();
    QStringList urls;
    for (int c = 0; c < ChannelCount; ++c)
        urls << server.url(QStringLiteral("/feed/%1").arg(c));
    for (const QString &home : {windowHome, headlessHome}) {
        const QString appFolder = MakeBenchUserFolder(home, urls, true);
        const QDir shipped(QStringLiteral(KV_BINARY_DIR "/data"));
        for (const QString &name : shipped.entryList(QDir::Files))
            QFile::copy(shipped.filePath(name), appFolder + QStringLiteral("data/") + name);
        // The cache files come into being: the runs below are warm.
        if (RunSyncCommandSeconds(home) < 0)
            return 1;
    }

    SilentBoxes boxes;
    MainFrmOptions options;
    options.executableDir = QStringLiteral(KV_BINARY_DIR "/");
    options.messageBoxes = &boxes;
    options.showTrayIcon = false;
    TfmMainFrm window(options);
    TfmUpdateProgressFrm report(window.liveSettings(), &window);
    MainFrmWindows windows;
    windows.updateProgress = &report;
    window.attachWindows(windows);
    window.resize(1000, 700);
    window.show();
    auto *browser = window.findChild<WebBrowser *>(QStringLiteral("wbContent"));
    auto *syncAll = window.findChild<QAction *>(QStringLiteral("acSyncAll"));
    if (!browser || !syncAll) {
        std::printf("the window's parts were not found\n");
        return 1;
    }
    // The first item is on show and the counts are read: the window is at rest.
    waitFor([&] { return !browser->LocationURL().isEmpty() && syncAll->isEnabled(); });

    std::vector<double> inWindow, headless, windowCpu, headlessCpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = cpuSeconds(RUSAGE_THREAD);
        // The command returns when the run has ended; its last repaints follow.
        syncAll->trigger();
        QCoreApplication::processEvents();
        inWindow.push_back(timer.nsecsElapsed() / 1e9);
        windowCpu.push_back(cpuSeconds(RUSAGE_THREAD) - cpuBefore);
        const double childBefore = cpuSeconds(RUSAGE_CHILDREN);
        headless.push_back(RunSyncCommandSeconds(headlessHome));
        headlessCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - childBefore);
    }
    const auto spread = [](const std::vector<double> &values) {
        return BenchMeasure(int(values.size()), nullptr,
                            [&values, i = size_t(0)]() mutable { return values[i++]; });
    };
    const BenchSpread w = spread(inWindow), h = spread(headless);
    std::printf("%d channels x %d items from one server, %d ms per response, warm, %s, "
                "median (min-max) of %d\n",
                ChannelCount, ItemsPerChannel, LatencyMs,
                screen ? "Xvfb and openbox" : "offscreen", runs);
    std::printf("  %-36s %s\n", "kolvani --sync (headless floor):", BenchText(h).constData());
    std::printf("  %-36s %s\n", "its processor time, all threads:",
                BenchText(spread(headlessCpu)).constData());
    std::printf("  %-36s %s\n", "window run, window thread's time:",
                BenchText(spread(windowCpu)).constData());
    if (!w.ok() || !h.ok()) {
        std::printf("  %-36s no figure\n", "window, \"Synchronizuj wszystkie\":");
        return 1;
    }
    std::printf("  %-36s %s  %.2fx headless (target at most 1.2x), %.1fx ahead of RSS Guard's "
                "%.1f s (target at least 4x)\n",
                "window, \"Synchronizuj wszystkie\":", BenchText(w).constData(),
                w.median / h.median, RssGuardSeconds / w.median, RssGuardSeconds);
    return 0;
}
