#include "kit/ProgramStyle.h"

#include "kit/UiLook.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

namespace {

const QColor Accent(45, 92, 158);
const QColor FaceNormal(251, 252, 253);
const QColor FaceHover(226, 236, 249);
const QColor FacePressed(197, 214, 239);

void drawFlatButton(const QStyleOptionButton &button, QPainter *painter)
{
    const bool enabled = button.state & QStyle::State_Enabled;
    const bool pressed = button.state & (QStyle::State_Sunken | QStyle::State_On);
    const bool hover = enabled && (button.state & QStyle::State_MouseOver);
    QColor face = UiLook::ground(FaceNormal);
    QColor border = UiLook::ground(UiLook::BorderColour);
    if (!enabled) {
        face = UiLook::ground(UiLook::DialogColour);
        border = UiLook::ground(UiLook::BorderColour.lighter(115));
    } else if (pressed) {
        face = UiLook::ground(FacePressed);
        border = Accent;
    } else if (hover) {
        face = UiLook::ground(FaceHover);
        border = Accent;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    const QRectF outer = QRectF(button.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    painter->setPen(border);
    painter->setBrush(face);
    painter->drawRoundedRect(outer, 2.5, 2.5);
    if (enabled && (button.state & QStyle::State_HasFocus)) {
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->setPen(Accent);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(button.rect.adjusted(3, 3, -4, -4));
    }
    painter->restore();
}

} // namespace

ProgramStyle::ProgramStyle() : QProxyStyle(QApplication::style()->name()) {}

void ProgramStyle::install()
{
    if (!qobject_cast<ProgramStyle *>(QApplication::style()))
        QApplication::setStyle(new ProgramStyle);
}

void ProgramStyle::drawControl(ControlElement element, const QStyleOption *option,
                               QPainter *painter, const QWidget *widget) const
{
    if (element == CE_PushButtonBevel) {
        const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
        if (button && (button->features & QStyleOptionButton::Flat)) {
            drawFlatButton(*button, painter);
            return;
        }
    }
    if (element == CE_PushButton) {
        // The base style draws the focus rectangle only after keyboard moves; the flat face
        // above carries its own.
        const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
        if (button && (button->features & QStyleOptionButton::Flat)) {
            proxy()->drawControl(CE_PushButtonBevel, button, painter, widget);
            QStyleOptionButton label = *button;
            label.rect = subElementRect(SE_PushButtonContents, button, widget);
            proxy()->drawControl(CE_PushButtonLabel, &label, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

int ProgramStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                            QStyleHintReturn *returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void ProgramStyle::polish(QWidget *widget)
{
    QProxyStyle::polish(widget);
    if (qobject_cast<QPushButton *>(widget))
        widget->setAttribute(Qt::WA_Hover, true); // the tint under the mouse needs hover events
}
