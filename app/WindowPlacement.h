#pragma once

#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QSettings;

// The main window's placement and two panel sizes, kept between runs.
struct WindowPlacement
{
    // Show states as stored in "ShowCmd".
    enum ShowCmd { ShowNormal = 1, ShowMinimised = 2, ShowMaximised = 3 };

    bool valid = false; // false: nothing stored yet, keep the window's own layout
    int showCmd = ShowNormal;
    int flags = 0;
    int pixelsPerInch = 96;
    QPoint minPosition{-1, -1};
    QPoint maxPosition{-1, -1};
    QRect normalRect;        // the normal (not maximised) frame
    int leftPanelWidth = -1; // pcLeftPanel_Width, -1 when not stored
    int topPanelHeight = -1; // pnTop_Height, -1 when not stored
};

// The store: QSettings of organisation "Velmar", application "RSS Quorrel 1.0", group
// "fmMainFrm" (on Windows this is the registry key Software\Velmar\RSS Quorrel 1.0).
std::unique_ptr<QSettings> OpenWindowPlacementStore();
inline const QString WindowPlacementGroup = QStringLiteral("fmMainFrm");

// Reads group "fmMainFrm" of `store`; malformed values leave their defaults.
WindowPlacement ReadWindowPlacement(QSettings &store);
// Writes group "fmMainFrm" of `store` and syncs it.
void WriteWindowPlacement(QSettings &store, const WindowPlacement &placement);

// The size of a window that keeps only its size (the report window), under `group` of the
// same store; invalid when none is stored or the stored one is malformed.
QSize ReadWindowSize(QSettings &store, const QString &group);
inline const QString ReportWindowGroup = QStringLiteral("fmUpdateProgressFrm");
void WriteWindowSize(QSettings &store, const QString &group, const QSize &size);

// "MinMaxPos" and "NormPos" texts: four comma-separated integers.
QString PlacementPointsText(const QPoint &first, const QPoint &second);
QString PlacementRectText(const QRect &rect); // left, top, right, bottom (right/bottom exclusive)

// Where the window opens when nothing is stored (the first start): centred on `area` (the
// available area of the screen), taking three quarters of its width and height but never
// less than `least` nor more than the area less the decoration `frame`; a small screen
// keeps the least size.
QRect FirstStartPlace(const QRect &area, const QSize &least, const QMargins &frame);

// Where a stored frame goes on the screens as they are now, as the desktop places a window:
// onto the available area (`areas`, as QScreen::availableGeometry gives them) of the screen
// that holds the largest part of it, or of the primary screen (`primary`) when no screen
// holds any, moved as little as it takes to lie inside and made smaller when it is larger
// than the area. `frame` is the decoration the window manager adds around `rect`, which
// must fit too. An empty `areas` leaves `rect` as it is.
QRect FitOnScreens(const QRect &rect, const QMargins &frame, const QList<QRect> &areas,
                   const QRect &primary);
