#include "kit/ProgramDialog.h"

#include "kit/UiLook.h"

#include <QKeyEvent>
#include <QPalette>
#include <QTabBar>

ProgramDialog::ProgramDialog(QWidget *parent) : QDialog(parent)
{
    UiLook::setGround(this, UiLook::DialogColour);
    setAutoFillBackground(true);
}

void ProgramDialog::fixSizeAtLeast(const QSize &designed)
{
    QSize needed = sizeHint();
    // A tab widget's hint leaves its tabs to scroll buttons: ask the tab bars themselves
    // (with room for the dialog's margins and the tab widget's frame).
    for (const QTabBar *bar : findChildren<QTabBar *>())
        needed.setWidth(qMax(needed.width(), bar->sizeHint().width() + 32));
    QSize size = needed.expandedTo(designed);
    // On a screen too small for it (a netbook's) the dialog takes what its layout can give
    // up, so that its buttons stay on the screen.
    const QSize room = UiLook::roomOnScreen(this);
    if (room.isValid())
        size = size.boundedTo(room).expandedTo(minimumSizeHint());
    setFixedSize(size);
}

bool ProgramDialog::enterOrEscape(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterPressed();
        return true;
    case Qt::Key_Escape:
        escapePressed();
        return true;
    default:
        return false;
    }
}

void ProgramDialog::enableKeyPreview()
{
    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);
}

void ProgramDialog::showEvent(QShowEvent *event)
{
    UiLook::centreOnScreen(this);
    QDialog::showEvent(event);
}

bool ProgramDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == this &&
        keyPreview(static_cast<QKeyEvent *>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}
