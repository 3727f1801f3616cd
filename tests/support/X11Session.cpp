#include "X11Session.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
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

X11Session::X11Session(const QString &screen, int bottomMargin)
    : m_screen(screen), m_bottomMargin(bottomMargin)
{
}

QString X11Session::missingTools()
{
    for (const char *program : {"Xvfb", "openbox", "xprop", "xwininfo", "wmctrl"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            return QStringLiteral("%1 is not installed").arg(QLatin1String(program));
    }
    return QString();
}

bool X11Session::waitUntil(const std::function<bool()> &done, int limitMs)
{
    QDeadlineTimer deadline(limitMs);
    while (!deadline.hasExpired()) {
        if (done())
            return true;
        QThread::msleep(100);
    }
    return done();
}

QString X11Session::windowId(quint64 window)
{
    return QStringLiteral("0x%1").arg(window, 0, 16);
}

bool X11Session::writeWindowManagerConfig()
{
    // Our own configuration, so that the system's does not change what the tests see.
    QFile file(m_dir.filePath(QStringLiteral("rc.xml")));
    if (!m_dir.isValid() || !file.open(QIODevice::WriteOnly))
        return false;
    const QString config =
        QStringLiteral("<?xml version=\"1.0\"?>\n"
                       "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                       "<margins><top>0</top><bottom>%1</bottom><left>0</left><right>0</right>"
                       "</margins><focus><focusNew>yes</focusNew></focus></openbox_config>\n")
            .arg(m_bottomMargin);
    return file.write(config.toUtf8()) > 0 && file.flush();
}

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
    QDeadlineTimer deadline(30000);
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

    if (!writeWindowManagerConfig()) {
        m_error = QStringLiteral("the window manager's configuration cannot be written");
        return false;
    }
    m_wm = std::make_unique<QProcess>();
    m_wm->setProcessEnvironment(environment());
    m_wm->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_wm->start(QStringLiteral("openbox"),
                {QStringLiteral("--sm-disable"), QStringLiteral("--config-file"),
                 m_dir.filePath(QStringLiteral("rc.xml"))});
    if (!m_wm->waitForStarted(10000)) {
        m_error = QStringLiteral("openbox cannot be started (package openbox)");
        return false;
    }
    // The window manager is there once it has announced itself and published the work area.
    if (waitUntil(
            [this] {
                return tool(QStringLiteral("xprop"),
                            {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                           .contains(QLatin1String("window id")) &&
                       workArea().isValid();
            },
            30000))
        return true;
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
    process.setProcessEnvironment(environment());
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
    // The X server sends no signal here: its list is read again until the window is in it.
    QString found;
    waitUntil(
        [&] {
            for (const Window &window : clientWindows()) {
                if (window.name == name) {
                    found = window.id;
                    return true;
                }
            }
            return false;
        },
        limitMs);
    return found;
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

QMargins X11Session::frameExtents(const QString &id) const
{
    // "_NET_FRAME_EXTENTS(CARDINAL) = 1, 1, 20, 5": left, right, top, bottom
    const QString text = tool(QStringLiteral("xprop"),
                              {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QStringList parts = text.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (parts.size() != 4)
        return QMargins();
    return QMargins(parts[0].trimmed().toInt(), parts[2].trimmed().toInt(),
                    parts[1].trimmed().toInt(), parts[3].trimmed().toInt());
}

QString X11Session::activeWindow() const
{
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x400007"
    static const QRegularExpression pattern(QStringLiteral("0x([0-9a-fA-F]+)"));
    const QRegularExpressionMatch match =
        pattern.match(tool(QStringLiteral("xprop"),
                           {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")}));
    if (!match.hasMatch())
        return QString();
    const quint64 window = match.captured(1).toULongLong(nullptr, 16);
    return window ? windowId(window) : QString();
}

QRect X11Session::workArea() const
{
    // "_NET_WORKAREA(CARDINAL) = 0, 0, 1024, 728, ..."
    const QString text = tool(QStringLiteral("xprop"),
                              {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")});
    const QStringList parts = text.section(QLatin1Char('='), 1).split(QLatin1Char(','));
    if (parts.size() < 4)
        return QRect();
    return QRect(parts[0].trimmed().toInt(), parts[1].trimmed().toInt(),
                 parts[2].trimmed().toInt(), parts[3].trimmed().toInt());
}
