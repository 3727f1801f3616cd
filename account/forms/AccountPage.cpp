#include "account/forms/AccountPage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

AccountPage::AccountPage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsSynchronization"));
    auto *intro = new QLabel(QStringLiteral("Kanały i znaczniki przeczytania mogą być wspólne z "
                                            "serwerem Tiny Tiny RSS. Puste pola: bez serwera."),
                             this);
    intro->setWordWrap(true);
    edServer = new QLineEdit(this);
    edServer->setObjectName(QStringLiteral("edServer"));
    edServer->setPlaceholderText(QStringLiteral("https://example.org/tt-rss/"));
    edUser = new QLineEdit(this);
    edUser->setObjectName(QStringLiteral("edUser"));
    edPassword = new QLineEdit(this);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    btCheckConnection = new QPushButton(QStringLiteral("Sprawdź połączenie"), this);
    btCheckConnection->setObjectName(QStringLiteral("btCheckConnection"));
    lbConnectionResult = new QLabel(this);
    lbConnectionResult->setObjectName(QStringLiteral("lbConnectionResult"));
    lbConnectionResult->setWordWrap(true);
    lbConnectionResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Adres serwera:"), edServer);
    form->addRow(QStringLiteral("&Użytkownik:"), edUser);
    form->addRow(QStringLiteral("&Hasło:"), edPassword);
    auto *check = new QHBoxLayout;
    check->addWidget(btCheckConnection);
    check->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addLayout(check);
    layout->addWidget(lbConnectionResult);
    layout->addStretch(1);
}
