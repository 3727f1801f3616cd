#pragma once

#include <QPoint>
#include <QRect>
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

// "MinMaxPos" and "NormPos" texts: four comma-separated integers.
QString PlacementPointsText(const QPoint &first, const QPoint &second);
QString PlacementRectText(const QRect &rect); // left, top, right, bottom (right/bottom exclusive)
