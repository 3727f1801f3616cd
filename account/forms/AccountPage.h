#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The settings dialog's "Synchronizacja" page: the Tiny Tiny RSS account. Controls only;
// AccountPageController fills, checks and saves it.
class AccountPage : public QWidget
{
    Q_OBJECT
public:
    explicit AccountPage(QWidget *parent = nullptr);

    QLineEdit *edServer = nullptr;
    QLineEdit *edUser = nullptr;
    QLineEdit *edPassword = nullptr;
    QPushButton *btCheckConnection = nullptr;
    QLabel *lbConnectionResult = nullptr;
};
