#include "account/forms/AccountPageController.h"

#include "account/AccountSettings.h"
#include "account/AccountSync.h"
#include "account/TtrssApi.h"
#include "account/forms/AccountPage.h"
#include "base/FileReplace.h"

#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

AccountPageController::AccountPageController(AccountPage &page, AccountSync &account,
                                             QObject *parent)
    : QObject(parent), m_page(page), m_account(account)
{
    connect(m_page.btCheckConnection, &QPushButton::clicked, this,
            &AccountPageController::btCheckConnectionClick);
    FormShow();
}

void AccountPageController::attachTo(QDialog &dialog)
{
    dialog.installEventFilter(this);
    connect(&dialog, &QDialog::accepted, this, &AccountPageController::saveAccount);
}

bool AccountPageController::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show)
        FormShow();
    return QObject::eventFilter(watched, event);
}

AccountSettings AccountPageController::typed() const
{
    AccountSettings s;
    s.server = m_page.edServer->text().trimmed();
    s.user = m_page.edUser->text().trimmed();
    s.password = m_page.edPassword->text();
    return s;
}

void AccountPageController::FormShow()
{
    const AccountSettings &s = m_account.settings();
    m_page.edServer->setText(s.server);
    m_page.edUser->setText(s.user);
    m_page.edPassword->setText(s.password);
    m_page.lbConnectionResult->clear();
    m_lastResult.clear();
}

void AccountPageController::showResult(const QString &text, bool ok)
{
    m_lastResult = text;
    m_page.lbConnectionResult->setText(text);
    m_page.lbConnectionResult->setStyleSheet(ok ? QStringLiteral("color: #1a6b1a;")
                                                : QStringLiteral("color: #a01010;"));
}

void AccountPageController::btCheckConnectionClick()
{
    // The check runs events while it waits: a second click meanwhile is ignored.
    if (m_checking)
        return;
    const AccountSettings s = typed();
    if (!s.isSet()) {
        showResult(QStringLiteral("Podaj adres serwera i nazwę użytkownika."), false);
        return;
    }
    m_checking = true;
    m_page.btCheckConnection->setEnabled(false);
    showResult(QStringLiteral("Sprawdzanie…"), true);
    TtrssApi api;
    api.setServer(s.server);
    api.setCredentials(s.user, s.password);
    api.setTimeout(15000);
    if (api.login()) {
        const QString version = api.version();
        const int level = api.apiLevel();
        api.logout();
        showResult(QStringLiteral("Połączono z serwerem Tiny Tiny RSS %1 (API poziom %2).")
                       .arg(version.isEmpty() ? QStringLiteral("?") : version)
                       .arg(level),
                   true);
    } else {
        showResult(api.message(), false);
    }
    m_page.btCheckConnection->setEnabled(true);
    m_checking = false;
}

bool AccountPageController::saveAccount()
{
    const AccountSettings s = typed();
    if (s == m_account.settings())
        return true;
    try {
        s.write(m_account.accountFile());
    } catch (const FileError &e) {
        showResult(QStringLiteral("Nie można zapisać ustawień konta: ") +
                       QString::fromStdString(e.what()),
                   false);
        return false;
    }
    m_account.reloadSettings();
    return true;
}
