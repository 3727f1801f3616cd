#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

// A virtual X11 screen (Xvfb) with a real window manager (openbox) on it, for the faults
// that only a window manager shows: titles as it reads them, where it puts a window, whether
// it keeps a window maximised or minimised. Both processes end with the object.
class X11Session
{
public:
    struct Window
    {
        QString id;   // as xprop writes it, "0x..."
        QString name; // _NET_WM_NAME
    };

    // `screen` as Xvfb takes it, "WIDTHxHEIGHTxDEPTH".
    explicit X11Session(const QString &screen = QStringLiteral("1280x800x24"));
    ~X11Session();

    // False (with the reason in error()) when Xvfb or openbox did not come up.
    bool start();
    QString error() const { return m_error; }
    QString display() const { return m_display; }

    // The environment for a program that should run on this screen (QT_QPA_PLATFORM=xcb).
    QProcessEnvironment environment(QProcessEnvironment base) const;

    // The windows the window manager manages now (_NET_CLIENT_LIST).
    QList<Window> clientWindows() const;
    // The first managed window whose name is `name`, waiting for it up to `limitMs`.
    QString waitForWindow(const QString &name, int limitMs = 30000) const;
    // Where the window's contents sit on the screen, frame excluded (xwininfo).
    QRect geometry(const QString &id) const;
    // The atoms of _NET_WM_STATE, e.g. "_NET_WM_STATE_MAXIMIZED_VERT".
    QStringList netWmState(const QString &id) const;
    // "Normal", "Iconic" or "Withdrawn", as WM_STATE says.
    QString wmState(const QString &id) const;
    // Output of an X11 tool run on this screen.
    QString tool(const QString &program, const QStringList &args) const;

private:
    QString m_screen;
    QString m_display;
    QString m_error;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_wm;
};
