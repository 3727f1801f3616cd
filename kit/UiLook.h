#pragma once

#include <QColor>
#include <QIcon>
#include <QMargins>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>

class QAbstractItemView;
class QWidget;

// Colours and pictures shared by the program's windows.
class QPushButton;

namespace UiLook {
inline const QColor WindowColour(223, 226, 231); // main window
inline const QColor DialogColour(242, 243, 245); // dialogs and tool strips
inline const QColor BorderColour(178, 185, 196);
inline const QColor TextColour(34, 40, 49);

// A dark desktop: text lighter than the ground it is written on.
bool isDark(const QPalette &palette);
// A dark palette as dark desktops give one, for pictures and tests of the dark look.
QPalette darkPalette();
// One of the program's own light grounds (the colours above, a button's face) as it is
// drawn now: itself on a light desktop, its dark counterpart on a dark one, where the
// desktop's light text would not read on it.
QColor ground(const QColor &light);
// Fills `widget`'s ground (QPalette::Window) with ground(light), now and again whenever the
// desktop's palette changes.
void setGround(QWidget *widget, const QColor &light);

// Makes the program's pictures (":/icons/...") available; called by the functions below.
void ensureResources();
// An SVG picture from the resources rendered at `size` (in device-independent pixels).
QPixmap svgPixmap(const QString &path, const QSize &size, qreal devicePixelRatio);
// An icon from an SVG picture, sharp at the usual small sizes.
QIcon svgIcon(const QString &path);
// Moves a window to the middle of its screen.
void centreOnScreen(QWidget *window);
// What the window manager will add around a window, which it tells only once the window is
// on screen: a title bar and borders as the style draws them, and room at the bottom for a
// resize grip, which is often thicker than the border.
QMargins expectedFrame(const QWidget *window);
// The room for a window's contents on its screen's work area, frame excluded; invalid when
// the window has no screen.
QSize roomOnScreen(const QWidget *window);
// A dialog's flat push button ("&OK", "&Anuluj" ...), drawn as a button by ProgramStyle:
// never the default button, a hand cursor, at least `minimumWidth` wide.
QPushButton *flatPushButton(const char *name, const QString &caption, QWidget *parent,
                            int minimumWidth = 75);
// The selection keeps its colour when the view loses the focus.
void keepSelectionVisible(QAbstractItemView *view);
} // namespace UiLook
