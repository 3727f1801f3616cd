#include "kit/UiLook.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSvgRenderer>
#include <QWidget>

// The pictures are compiled into a static library; naming them here makes the linker keep
// them in every program that uses the windows.
static void initResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(kolvani);
        return true;
    }();
    (void)done;
}

namespace UiLook {

void ensureResources()
{
    initResources();
}

QPixmap svgPixmap(const QString &path, const QSize &size, qreal devicePixelRatio)
{
    initResources();
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    QPixmap pixmap(size * ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size * ratio)));
    }
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

QIcon svgIcon(const QString &path)
{
    QIcon icon;
    for (int side : {16, 24, 32, 48})
        icon.addPixmap(svgPixmap(path, QSize(side, side), 1.0));
    return icon;
}

QPushButton *flatPushButton(const char *name, const QString &caption, QWidget *parent,
                            int minimumWidth)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFlat(true);
    button->setAutoDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumWidth(minimumWidth);
    return button;
}

void keepSelectionVisible(QAbstractItemView *view)
{
    QPalette pal = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        pal.setColor(QPalette::Inactive, role, pal.color(QPalette::Active, role));
    view->setPalette(pal);
}

void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

QMargins expectedFrame(const QWidget *window)
{
    const QStyle *style = window->style();
    const int border = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, window);
    const int title = style->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    return QMargins(border, title + border, border, 2 * border);
}

QSize roomOnScreen(const QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return QSize();
    return screen->availableGeometry().marginsRemoved(expectedFrame(window)).size();
}

} // namespace UiLook
