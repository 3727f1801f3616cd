#include "alerts/AlertPlayback.h"
#include "alerts/AlertQueue.h"
#include "alerts/forms/NotifyFrm.h"
#include "catalogue/ChannelTree.h"
#include "support/X11Session.h"

#include "SignalWait.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <cstdio>

#include <gtest/gtest.h>

// What a window manager does with the pop-up: another application keeps the focus, and the
// pop-up sits in the corner of the work area, above the panel's place.

namespace {

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool onDesktop()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Reads the helper's output until a line starting with `tag`; returns the rest of it.
QString waitForLine(QProcess &process, const QString &tag, int ms)
{
    QDeadlineTimer deadline(ms);
    QByteArray out;
    while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        out += process.readAllStandardOutput();
        for (const QByteArray &line : out.split('\n')) {
            if (line.startsWith(tag.toUtf8()))
                return QString::fromUtf8(line.mid(tag.size())).trimmed();
        }
    }
    return QString();
}

void startHelper(QProcess &process, const X11Session &desktop, const char *name, int nextClicks = 0)
{
    QProcessEnvironment env = desktop.environment();
    env.insert(QStringLiteral("KV_ALERT_NEXT"), QString::number(nextClicks));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--gtest_also_run_disabled_tests"),
                   QStringLiteral("--gtest_filter=NotifyFrmDesktopHelper.DISABLED_%1").arg(QLatin1String(name))});
}

// A helper's window lives until the test kills the helper; the bound only keeps a lost
// helper from staying for ever.
void stayUntilKilled()
{
    WaitUntil([] { return false; }, 60000);
}

void stop(QProcess &process)
{
    process.kill();
    process.waitForFinished(3000);
}

} // namespace

// Not a test: another application's window that has the focus.
TEST(NotifyFrmDesktopHelper, DISABLED_OtherApplication)
{
    if (!onDesktop())
        GTEST_SKIP();
    QWidget window;
    window.setWindowTitle(QStringLiteral("Edytor tekstu"));
    window.setGeometry(60, 60, 760, 520);
    auto *text = new QLabel(QStringLiteral("Inna aplikacja, w której pracuje użytkownik."), &window);
    text->setGeometry(20, 20, 600, 30);
    window.show();
    window.activateWindow();
    window.raise();
    WaitUntil([&] { return window.isActiveWindow(); }, 5000);
    printLine(QStringLiteral("window %1").arg(window.winId()));
    stayUntilKilled();
}

// Not a test: three alerts played as after a run; KV_ALERT_NEXT steps forward with the arrow.
TEST(NotifyFrmDesktopHelper, DISABLED_ShowAlerts)
{
    if (!onDesktop())
        GTEST_SKIP();
    ChannelTree tree;
    tree.addNode(tree.root(), QStringLiteral("Wiadomości z kraju"), NodeKind::Channel);
    AlertQueue queue;
    queue.enqueue(QStringLiteral("Sejm przyjął ustawę o ochronie źródeł wody pitnej w małych gminach"),
                  QStringLiteral("Wiadomości z kraju"));
    queue.enqueue(QStringLiteral("Pociągi na trasie Gdańsk–Kraków pojadą szybciej od grudnia"),
                  QStringLiteral("Wiadomości z kraju"));
    queue.enqueue(QStringLiteral("Żółw błotny wraca nad Biebrzę"), QStringLiteral("Wiadomości z kraju"));
    queue.newItemCount = 3;
    AlertPlayback playback(queue, tree);
    TfmNotifyFrm form(playback);
    playback.endRun(true);
    // Shown and fully revealed.
    WaitUntil([&] { return form.isVisible() && form.mask().isEmpty(); });
    for (int i = qEnvironmentVariableIntValue("KV_ALERT_NEXT"); i > 0; --i)
        form.lbNextClick();
    WaitUntil([&] { return form.mask().isEmpty(); });
    printLine(QStringLiteral("alert %1").arg(form.winId()));
    stayUntilKilled();
}

TEST(NotifyFrmDesktop, AnotherApplicationKeepsTheFocusAndThePanelStaysUncovered)
{
    if (!X11Session::missingTools().isEmpty())
        GTEST_SKIP() << qPrintable(X11Session::missingTools());
    X11Session desktop(QStringLiteral("1024x768x24"), 40);
    ASSERT_TRUE(desktop.start()) << qPrintable(desktop.error());

    QProcess other;
    startHelper(other, desktop, "OtherApplication");
    const quint64 otherNumber = waitForLine(other, QStringLiteral("window"), 15000).toULongLong();
    ASSERT_NE(otherNumber, 0u);
    const QString otherWindow = X11Session::windowId(otherNumber);
    X11Session::waitUntil([&] { return desktop.activeWindow() == otherWindow; }, 5000);
    ASSERT_EQ(desktop.activeWindow(), otherWindow);

    QProcess alert;
    startHelper(alert, desktop, "ShowAlerts");
    const quint64 alertNumber = waitForLine(alert, QStringLiteral("alert"), 15000).toULongLong();
    ASSERT_NE(alertNumber, 0u);
    const QString alertWindow = X11Session::windowId(alertNumber);
    // Once the window manager has mapped the alert, it has made its choice of focus.
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return desktop.wmState(alertWindow) == QStringLiteral("Normal"); }, 15000));

    EXPECT_EQ(desktop.activeWindow(), otherWindow);
    const QRect area = desktop.workArea();
    ASSERT_EQ(area, QRect(0, 0, 1024, 728));
    const QRect placed = desktop.geometry(alertWindow);
    EXPECT_EQ(placed.size(), QSize(264, 160));
    EXPECT_EQ(placed.bottomRight(), area.bottomRight());

    stop(alert);
    stop(other);
}
