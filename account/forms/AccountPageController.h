#pragma once

#include <QObject>
#include <QString>

class AccountPage;
class QDialog;
class AccountSync;
struct AccountSettings;

// The account page on screen: filled from the account file when the dialog opens, checked
// against the server with "Sprawdź połączenie", saved at OK (the account then reads it).
class AccountPageController : public QObject
{
    Q_OBJECT
public:
    // `page` and `account` must outlive the controller.
    AccountPageController(AccountPage &page, AccountSync &account, QObject *parent = nullptr);
    // The page lives in `dialog`: filled each time it opens, saved when it is accepted.
    void attachTo(QDialog &dialog);

    AccountSettings typed() const;
    // What the last check found, as the page shows it.
    QString lastResult() const { return m_lastResult; }

public slots:
    void FormShow();
    void btCheckConnectionClick();
    // Writes the account file; false (and says why on the page) when it cannot be written.
    bool saveAccount();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showResult(const QString &text, bool ok);

    AccountPage &m_page;
    AccountSync &m_account;
    QString m_lastResult;
    bool m_checking = false;
};
