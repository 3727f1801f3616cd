#include "XvfbDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <functional>

namespace {
bool waitUntil(const std::function<bool()> &done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (done())
            return true;
        QThread::msleep(50);
    }
    return done();
}
} // namespace

XvfbDesktop::XvfbDesktop(int bottomMargin, const QString &screen)
{
    for (const char *tool : {"Xvfb", "openbox", "xprop", "xwininfo"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            m_unavailable = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return;
        }
    }
    int number = 0;
    for (int n = 140 + static_cast<int>(QCoreApplication::applicationPid() % 40); n < 260; ++n) {
        if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
            && !QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
            number = n;
            break;
        }
    }
    if (number == 0) {
        m_unavailable = QStringLiteral("no free display number");
        return;
    }
    m_display = QStringLiteral(":%1").arg(number);
    m_server = std::make_unique<QProcess>();
    m_server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server->start(QStringLiteral("Xvfb"), {m_display, QStringLiteral("-screen"), QStringLiteral("0"), screen,
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    if (!m_server->waitForStarted(5000) || !waitUntil([&] { return QFile::exists(socket); }, 10000)) {
        m_unavailable = QStringLiteral("Xvfb did not start");
        return;
    }

    const QString rc = m_dir.filePath(QStringLiteral("rc.xml"));
    QFile file(rc);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("<?xml version=\"1.0\"?>\n<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                                  "<margins><top>0</top><bottom>%1</bottom><left>0</left><right>0</right>"
                                  "</margins><focus><focusNew>yes</focusNew></focus></openbox_config>\n")
                       .arg(bottomMargin)
                       .toUtf8());
        file.close();
    }
    m_windowManager = std::make_unique<QProcess>();
    m_windowManager->setProcessEnvironment(environment());
    m_windowManager->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager->start(QStringLiteral("openbox"), {QStringLiteral("--config-file"), rc});
    // The window manager is ready once it has published the work area.
    if (!m_windowManager->waitForStarted(5000)
        || !waitUntil([&] { return rootProperty(QStringLiteral("_NET_WORKAREA")).contains(QLatin1Char('=')); }, 10000))
        m_unavailable = QStringLiteral("openbox did not start");
}

XvfbDesktop::~XvfbDesktop()
{
    for (auto *process : {m_windowManager.get(), m_server.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
}

QProcessEnvironment XvfbDesktop::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

QString XvfbDesktop::run(const QString &program, const QStringList &args) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, args);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return QString();
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString XvfbDesktop::rootProperty(const QString &name) const
{
    return run(QStringLiteral("xprop"), {QStringLiteral("-root"), name}).trimmed();
}

quint64 XvfbDesktop::activeWindow() const
{
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x400007"
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("0x([0-9a-fA-F]+)"))
                                          .match(rootProperty(QStringLiteral("_NET_ACTIVE_WINDOW")));
    return m.hasMatch() ? m.captured(1).toULongLong(nullptr, 16) : 0;
}

QRect XvfbDesktop::workArea() const
{
    // "_NET_WORKAREA(CARDINAL) = 0, 0, 1024, 728"
    const QString text = rootProperty(QStringLiteral("_NET_WORKAREA"));
    const QStringList parts = text.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (parts.size() < 4)
        return {};
    return QRect(parts[0].trimmed().toInt(), parts[1].trimmed().toInt(), parts[2].trimmed().toInt(),
                 parts[3].trimmed().toInt());
}

QRect XvfbDesktop::windowGeometry(quint64 window) const
{
    const QString text = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
    auto field = [&](const char *name) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("%1:\\s+(-?\\d+)").arg(QLatin1String(name))).match(text);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
}
