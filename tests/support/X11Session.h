#pragma once

#include <QList>
#include <QMargins>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// A virtual X11 screen (Xvfb) with a real window manager (openbox) on it, for the faults
// that only a window manager shows: titles as it reads them, where it puts a window, whether
// it keeps a window maximised or minimised, which window has the focus. Both processes end
// with the object. Windows are named by their ids as xprop writes them ("0x...").
class X11Session
{
public:
    struct Window
    {
        QString id;   // "0x..."
        QString name; // _NET_WM_NAME
    };

    // `screen` as Xvfb takes it, "WIDTHxHEIGHTxDEPTH". `bottomMargin` keeps that many pixels
    // at the bottom out of the work area, as a desktop panel does.
    explicit X11Session(const QString &screen = QStringLiteral("1280x800x24"),
                        int bottomMargin = 0);
    ~X11Session();
    X11Session(const X11Session &) = delete;
    X11Session &operator=(const X11Session &) = delete;

    // Empty when Xvfb, openbox and the X tools the tests read with are installed; otherwise
    // the first one missing (the test skips).
    static QString missingTools();

    // False (with the reason in error()) when Xvfb or openbox did not come up.
    bool start();
    QString error() const { return m_error; }
    QString display() const { return m_display; }

    // The environment for a program that should run on this screen (QT_QPA_PLATFORM=xcb).
    QProcessEnvironment
    environment(QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

    // The windows the window manager manages now (_NET_CLIENT_LIST).
    QList<Window> clientWindows() const;
    // The first managed window whose name is `name`, waiting for it up to `limitMs`.
    QString waitForWindow(const QString &name, int limitMs = 30000) const;
    // Where the window's contents sit on the screen, frame excluded (xwininfo).
    QRect geometry(const QString &id) const;
    // The decoration the window manager draws around the window (_NET_FRAME_EXTENTS).
    QMargins frameExtents(const QString &id) const;
    // The atoms of _NET_WM_STATE, e.g. "_NET_WM_STATE_MAXIMIZED_VERT".
    QStringList netWmState(const QString &id) const;
    // "Normal", "Iconic" or "Withdrawn", as WM_STATE says.
    QString wmState(const QString &id) const;
    // The window that has the focus (_NET_ACTIVE_WINDOW), empty when none.
    QString activeWindow() const;
    // The work area of the first desktop (_NET_WORKAREA).
    QRect workArea() const;
    // Output of an X11 tool run on this screen.
    QString tool(const QString &program, const QStringList &args) const;

    // A native window id (QWidget::winId) in the form the other calls take.
    static QString windowId(quint64 window);
    // Runs `done` until it holds, up to `limitMs`; its last answer.
    static bool waitUntil(const std::function<bool()> &done, int limitMs);

private:
    bool writeWindowManagerConfig();

    QString m_screen;
    int m_bottomMargin = 0;
    QString m_display;
    QString m_error;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_wm;
};
