#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A virtual X screen with a real window manager (openbox), for tests of what a window
// manager does with our windows: focus, placement, the work area. Programs started with
// environment() run on it.
class XvfbDesktop
{
public:
    // `bottomMargin` keeps that many pixels at the bottom out of the work area, as a
    // desktop panel does.
    explicit XvfbDesktop(int bottomMargin = 0, const QString &screen = QStringLiteral("1024x768x24"));
    ~XvfbDesktop();
    XvfbDesktop(const XvfbDesktop &) = delete;
    XvfbDesktop &operator=(const XvfbDesktop &) = delete;

    // Empty when the desktop runs; otherwise why it could not start (the test skips).
    QString unavailable() const { return m_unavailable; }
    QString display() const { return m_display; }
    QProcessEnvironment environment() const;

    // The window that has the focus (_NET_ACTIVE_WINDOW), 0 when none or unknown.
    quint64 activeWindow() const;
    // The work area of the first desktop (_NET_WORKAREA): x, y, width, height.
    QRect workArea() const;
    // A window's outer place on the screen as the X server sees it.
    QRect windowGeometry(quint64 window) const;
    // A root property as xprop prints it.
    QString rootProperty(const QString &name) const;

private:
    QString run(const QString &program, const QStringList &args) const;

    QString m_unavailable;
    QString m_display;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
};
