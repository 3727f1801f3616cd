#include "kit/UiLook.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QGuiApplication>
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

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Base).lightness() < palette.color(QPalette::Text).lightness();
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(45, 48, 54), base(30, 32, 37), text(222, 225, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(140, 145, 152));
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Highlight, QColor(47, 109, 181));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(132, 180, 240));
    p.setColor(QPalette::Light, QColor(70, 74, 82));
    p.setColor(QPalette::Midlight, QColor(58, 62, 69));
    p.setColor(QPalette::Mid, QColor(90, 95, 104));
    p.setColor(QPalette::Dark, QColor(20, 21, 24));
    p.setColor(QPalette::Shadow, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(120, 124, 130));
    return p;
}

QColor ground(const QColor &light)
{
    if (!isDark(QGuiApplication::palette()))
        return light;
    // The lightness turned around into the dark range; hue and saturation stay.
    const int lightness = 30 + (255 - light.lightness()) * 45 / 100;
    return QColor::fromHsl(light.hslHue(), light.hslSaturation() / 2, lightness);
}

namespace {

class GroundKeeper : public QObject
{
public:
    GroundKeeper(QWidget *widget, const QColor &light) : QObject(widget), m_light(light)
    {
        setObjectName(QStringLiteral("groundKeeper"));
        widget->installEventFilter(this);
        apply(widget);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange && watched == parent())
            apply(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void apply(QWidget *widget)
    {
        QPalette pal = widget->palette();
        pal.setColor(QPalette::Window, ground(m_light));
        widget->setPalette(pal);
    }

    QColor m_light;
};

} // namespace

void setGround(QWidget *widget, const QColor &light)
{
    for (QObject *old : widget->children())
        if (old->objectName() == QLatin1String("groundKeeper") && old->parent() == widget)
            delete old;
    new GroundKeeper(widget, light);
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
