#include "kit/MessageBoxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

int showBox(QWidget *parent, QMessageBox::Icon icon, const QString &text, const QString &caption,
            bool yesNo)
{
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    // Messages carry channel names, titles and addresses: text, never markup.
    box.setTextFormat(Qt::PlainText);
    if (yesNo) {
        box.addButton(QMessageBox::Yes)->setText(QStringLiteral("&Tak"));
        box.addButton(QMessageBox::No)->setText(QStringLiteral("&Nie"));
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.addButton(QMessageBox::Ok)->setText(QStringLiteral("OK"));
    }
    return box.exec();
}

} // namespace

bool MessageBoxes::question(QWidget *parent, const QString &text, const QString &caption)
{
    return showBox(parent, QMessageBox::Question, text, caption, true) == QMessageBox::Yes;
}

void MessageBoxes::information(QWidget *parent, const QString &text, const QString &caption)
{
    showBox(parent, QMessageBox::Information, text, caption, false);
}

void MessageBoxes::error(QWidget *parent, const QString &text, const QString &caption)
{
    showBox(parent, QMessageBox::Critical, text, caption, false);
}

IMessageBoxes &MessageBoxes::standard()
{
    static MessageBoxes boxes;
    return boxes;
}

void ReportUnopenedLink(IMessageBoxes &boxes, QWidget *parent, const QString &address)
{
    boxes.error(parent,
                QStringLiteral("Nie można otworzyć odnośnika ") + address +
                    QStringLiteral(". Sprawdź, czy w systemie jest ustawiona przeglądarka "
                                   "internetowa."),
                MessageCaptions::Error);
}

void ReportNoMailProgram(IMessageBoxes &boxes, QWidget *parent)
{
    boxes.error(parent,
                QStringLiteral("Nie można wysłać wiadomości pocztą. Sprawdź, czy w systemie jest "
                               "ustawiony program pocztowy."),
                MessageCaptions::Error);
}
