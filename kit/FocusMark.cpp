#include "kit/FocusMark.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QWidget>

namespace {

const QColor Accent(45, 92, 158);

QColor mixed(const QColor &a, const QColor &b, qreal share)
{
    return QColor::fromRgbF(a.redF() * share + b.redF() * (1 - share),
                            a.greenF() * share + b.greenF() * (1 - share),
                            a.blueF() * share + b.blueF() * (1 - share));
}

// Drawn over the view, never in the way of the mouse or a drop.
class FocusFrame : public QWidget
{
public:
    explicit FocusFrame(QAbstractItemView *view) : QWidget(view), m_view(view)
    {
        setObjectName(QString::fromLatin1(FocusMark::FrameName));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        view->installEventFilter(this);
        setGeometry(view->rect());
        raise();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_view) {
            switch (event->type()) {
            case QEvent::Resize:
                setGeometry(m_view->rect());
                raise();
                break;
            case QEvent::FocusIn:
            case QEvent::FocusOut:
                update();
                break;
            default:
                break;
            }
        }
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        if (!m_view->hasFocus())
            return;
        QPainter painter(this);
        painter.setPen(QPen(Accent, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }

private:
    QAbstractItemView *m_view;
};

} // namespace

namespace FocusMark {

const char *const FrameName = "focusFrame";

void install(QAbstractItemView *view)
{
    // A view without the focus draws its items in the inactive colours.
    QPalette pal = view->palette();
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    pal.setColor(QPalette::Inactive, QPalette::Highlight,
                 mixed(highlight, pal.color(QPalette::Active, QPalette::Base), 0.35));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::Text));
    view->setPalette(pal);
    new FocusFrame(view);
}

} // namespace FocusMark
