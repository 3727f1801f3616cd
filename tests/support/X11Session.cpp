#include "X11Session.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

namespace {

void endProcess(std::unique_ptr<QProcess> &process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

X11Session::X11Session(const QString &screen) : m_screen(screen) {}

X11Session::~X11Session()
{
    endProcess(m_wm);
    endProcess(m_xvfb);
}

bool X11Session::start()
{
    m_xvfb = std::make_unique<QProcess>();
    // Xvfb picks a free display and writes its number to the given descriptor when ready.
    m_xvfb->start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                          QStringLiteral("-screen"), QStringLiteral("0"),
                                          m_screen, QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    if (!m_xvfb->waitForStarted(10000)) {
        m_error = QStringLiteral("Xvfb cannot be started (package xvfb)");
        return false;
    }
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() &&
           m_xvfb->state() == QProcess::Running) {
        m_xvfb->waitForReadyRead(200);
        out += m_xvfb->readAllStandardOutput();
    }
    if (!out.contains('\n')) {
        m_error = QStringLiteral("Xvfb gave no display: ") +
                  QString::fromLocal8Bit(m_xvfb->readAllStandardError());
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(out.trimmed());

    m_wm = std::make_unique<QProcess>();
    m_wm->setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    m_wm->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_wm->waitForStarted(10000)) {
        m_error = QStringLiteral("openbox cannot be started (package openbox)");
        return false;
    }
    // The window manager is there once it has announced itself on the root window.
    while (!deadline.hasExpired()) {
        if (tool(QStringLiteral("xprop"), {QStringLiteral("-root"),
                                           QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                .contains(QLatin1String("window id")))
            return true;
        QThread::msleep(100);
    }
    m_error = QStringLiteral("openbox did not take the screen");
    return false;
}

QProcessEnvironment X11Session::environment(QProcessEnvironment base) const
{
    base.insert(QStringLiteral("DISPLAY"), m_display);
    base.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    base.remove(QStringLiteral("WAYLAND_DISPLAY"));
    base.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return base;
}

QString X11Session::tool(const QString &program, const QStringList &args) const
{
    QProcess process;
    process.setProcessEnvironment(environment(QProcessEnvironment::systemEnvironment()));
    process.start(program, args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(2000);
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

QList<X11Session::Window> X11Session::clientWindows() const
{
    QList<Window> windows;
    const QString list =
        tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")});
    static const QRegularExpression idPattern(QStringLiteral("0x[0-9a-fA-F]+"));
    auto it = idPattern.globalMatch(list);
    while (it.hasNext()) {
        Window window;
        window.id = it.next().captured(0);
        const QString name = tool(QStringLiteral("xprop"),
                                  {QStringLiteral("-id"), window.id, QStringLiteral("_NET_WM_NAME")});
        const int first = name.indexOf(QLatin1Char('"'));
        const int last = name.lastIndexOf(QLatin1Char('"'));
        if (first >= 0 && last > first)
            window.name = name.mid(first + 1, last - first - 1);
        windows.append(window);
    }
    return windows;
}

QString X11Session::waitForWindow(const QString &name, int limitMs) const
{
    QDeadlineTimer deadline(limitMs);
    do {
        for (const Window &window : clientWindows())
            if (window.name == name)
                return window.id;
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    return QString();
}

QRect X11Session::geometry(const QString &id) const
{
    const QString info = tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    auto number = [&info](const char *label) {
        const QRegularExpression pattern(QLatin1String(label) + QStringLiteral(":\\s*(-?\\d+)"));
        return pattern.match(info).captured(1).toInt();
    };
    return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"),
                 number("Width"), number("Height"));
}

QStringList X11Session::netWmState(const QString &id) const
{
    const QString state = tool(QStringLiteral("xprop"),
                               {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_STATE")});
    const int equals = state.indexOf(QLatin1Char('='));
    if (equals < 0)
        return {};
    QStringList atoms = state.mid(equals + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &atom : atoms)
        atom = atom.trimmed();
    return atoms;
}

QString X11Session::wmState(const QString &id) const
{
    const QString state =
        tool(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_STATE")});
    static const QRegularExpression pattern(QStringLiteral("window state:\\s*(\\w+)"));
    return pattern.match(state).captured(1);
}
