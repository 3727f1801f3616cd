#pragma once

#include "kit/ProgramDialog.h"

#include <QUrl>

#include <functional>

class ChannelNode;
class QDateTime;
class ChannelTree;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The channel properties dialog. Enter anywhere (the description too) is OK, Esc is Cancel.
class TfmEditChannelFrm : public ProgramDialog
{
    Q_OBJECT
public:
    explicit TfmEditChannelFrm(QWidget *parent = nullptr);

    // Fills the controls from the channel.
    void fill(const ChannelNode &node);
    // Writes the controls back into the channel (OK); nothing is checked.
    void apply(ChannelTree &tree, ChannelNode *node) const;
    // fill, show modally, apply on OK. True on OK.
    bool editChannel(ChannelTree &tree, ChannelNode *node);

    // How the link label opens its address; tests give their own.
    void setLinkOpener(std::function<void(const QUrl &)> opener) { m_openLink = std::move(opener); }

    static inline const QString AsInSettings = QStringLiteral("jak w ustawieniach");

    // A date as the dialog shows it: the user's regional form, "b.d." when there is none.
    static QString dateText(const QDateTime &value);

public slots:
    void lbLinkClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();

    QLineEdit *edName = nullptr;
    QLineEdit *edURL = nullptr;
    QCheckBox *cbEnabled = nullptr;
    QCheckBox *cbBalloonAlerts = nullptr;
    QSpinBox *seChannelInterval = nullptr; // its minimum reads "jak w ustawieniach"
    QPlainTextEdit *mmDescription = nullptr;
    QGroupBox *gbAuthorization = nullptr;
    QLineEdit *edUserName = nullptr;
    QLineEdit *edPassword = nullptr;
    QLabel *lbLink = nullptr;
    QLabel *lbCopyRight = nullptr;
    QLabel *lbLastUpdate = nullptr;
    QLabel *lbLastBuildCaption = nullptr;
    QLabel *lbLastBuild = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancel = nullptr;
    std::function<void(const QUrl &)> m_openLink;
};
