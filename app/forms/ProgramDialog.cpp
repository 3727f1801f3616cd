#include "app/forms/ProgramDialog.h"

#include "app/forms/UiLook.h"

#include <QKeyEvent>
#include <QPalette>

ProgramDialog::ProgramDialog(QWidget *parent) : QDialog(parent)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, UiLook::DialogColour);
    setPalette(pal);
    setAutoFillBackground(true);
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
