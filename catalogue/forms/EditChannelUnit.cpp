#include "catalogue/forms/EditChannelUnit.h"

#include "kit/MessageBoxes.h"
#include "kit/UiLook.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QLineEdit *lineEdit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

// Feed content chose the link: only web addresses are handed to the system.
bool isWebLink(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

TfmEditChannelFrm::TfmEditChannelFrm(QWidget *parent) : ProgramDialog(parent)
{
    setObjectName(QStringLiteral("fmEditChannelFrm"));
    setWindowTitle(QStringLiteral("Właściwości kanału:"));
    m_openLink = [this](const QUrl &url) {
        if (!QDesktopServices::openUrl(url))
            ReportUnopenedLink(MessageBoxes::standard(), this, url.toString());
    };
    buildControls();
    fixSizeAtLeast(QSize(322, 442));
    enableKeyPreview();
}

void TfmEditChannelFrm::buildControls()
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(4);

    auto *nameLabel = new QLabel(QStringLiteral("&Nazwa:"), this);
    edName = lineEdit("edName", this);
    nameLabel->setBuddy(edName);
    auto *urlLabel = new QLabel(QStringLiteral("Adres &URL:"), this);
    edURL = lineEdit("edURL", this);
    urlLabel->setBuddy(edURL);
    column->addWidget(nameLabel);
    column->addWidget(edName);
    column->addWidget(urlLabel);
    column->addWidget(edURL);

    cbEnabled = new QCheckBox(QStringLiteral("&Aktualizuj automatycznie"), this);
    cbEnabled->setObjectName(QStringLiteral("cbEnabled"));
    cbBalloonAlerts =
        new QCheckBox(QStringLiteral("Po synchronizacji informuj o nowych wiadomościach"), this);
    cbBalloonAlerts->setObjectName(QStringLiteral("cbBalloonAlerts"));
    // One below the shortest interval stands for the settings' own.
    seChannelInterval = new QSpinBox(this);
    seChannelInterval->setObjectName(QStringLiteral("seChannelInterval"));
    seChannelInterval->setRange(TtvChannel::MinInterval - 1, TtvChannel::MaxInterval);
    seChannelInterval->setSpecialValueText(AsInSettings);
    seChannelInterval->setSuffix(QStringLiteral(" min."));
    seChannelInterval->setAccelerated(true);
    seChannelInterval->setToolTip(
        QStringLiteral("Jak często automatyczna synchronizacja odświeża ten kanał, gdy jest "
                       "włączona w ustawieniach programu."));
    auto *intervalLabel = new QLabel(QStringLiteral("Uaktualniaj &co:"), this);
    intervalLabel->setBuddy(seChannelInterval);
    // On the same row as the check box it belongs to, so the dialog still fits 800x480.
    auto *intervalRow = new QHBoxLayout;
    intervalRow->addWidget(cbEnabled);
    intervalRow->addStretch(1);
    intervalRow->addWidget(intervalLabel);
    intervalRow->addWidget(seChannelInterval);
    column->addLayout(intervalRow);
    column->addWidget(cbBalloonAlerts);
    setTabOrder(cbEnabled, seChannelInterval);
    setTabOrder(seChannelInterval, cbBalloonAlerts);

    auto *descriptionLabel = new QLabel(QStringLiteral("&Opis:"), this);
    mmDescription = new QPlainTextEdit(this);
    mmDescription->setObjectName(QStringLiteral("mmDescription"));
    mmDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmDescription->setTabChangesFocus(true);
    descriptionLabel->setBuddy(mmDescription);
    column->addWidget(descriptionLabel);
    column->addWidget(mmDescription, 1);

    gbAuthorization = new QGroupBox(QStringLiteral("Uwierzytelnianie: "), this);
    gbAuthorization->setObjectName(QStringLiteral("gbAuthorization"));
    auto *auth = new QFormLayout(gbAuthorization);
    auth->setContentsMargins(8, 4, 8, 6);
    edUserName = lineEdit("edUserName", gbAuthorization);
    edPassword = lineEdit("edPassword", gbAuthorization);
    edPassword->setEchoMode(QLineEdit::Password);
    auto *userLabel = new QLabel(QStringLiteral("&Nazwa użytkownika:"), gbAuthorization);
    userLabel->setBuddy(edUserName);
    auth->addRow(userLabel, edUserName);
    auth->addRow(new QLabel(QStringLiteral("Hasło:"), gbAuthorization), edPassword);
    column->addWidget(gbAuthorization);

    auto *facts = new QFormLayout;
    facts->setHorizontalSpacing(6);
    facts->setVerticalSpacing(2);
    lbLink = new QLabel(this);
    lbLink->setObjectName(QStringLiteral("lbLink"));
    lbLink->setStyleSheet(QStringLiteral("color: navy; text-decoration: underline;"));
    lbLink->setCursor(Qt::PointingHandCursor);
    lbLink->setTextFormat(Qt::PlainText);
    lbLink->installEventFilter(this);
    facts->addRow(new QLabel(QStringLiteral("Link:"), this), lbLink);
    // Copyright lines run long ("(c) 2024 Wydawnictwo ..., wszelkie prawa zastrzeżone"):
    // they wrap instead of being cut, and can still be selected and copied.
    lbCopyRight = new QLabel(this);
    lbCopyRight->setObjectName(QStringLiteral("lbCopyRight"));
    lbCopyRight->setTextFormat(Qt::PlainText);
    lbCopyRight->setWordWrap(true);
    lbCopyRight->setTextInteractionFlags(Qt::TextSelectableByMouse);
    facts->addRow(new QLabel(QStringLiteral("Prawa autorskie:"), this), lbCopyRight);
    lbLastUpdate = new QLabel(this);
    lbLastUpdate->setObjectName(QStringLiteral("lbLastUpdate"));
    lbLastUpdate->setTextFormat(Qt::PlainText);
    lbLastUpdate->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    facts->addRow(new QLabel(QStringLiteral("Data ostatniej synchronizacji:"), this), lbLastUpdate);
    lbLastBuildCaption = new QLabel(QStringLiteral("Data ostatniej aktualizacji:"), this);
    lbLastBuild = new QLabel(this);
    lbLastBuild->setObjectName(QStringLiteral("lbLastBuild"));
    lbLastBuild->setTextFormat(Qt::PlainText);
    facts->addRow(lbLastBuildCaption, lbLastBuild);
    lbLastBuildCaption->hide();
    lbLastBuild->hide();
    column->addLayout(facts);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOK = UiLook::flatPushButton("btOK", QStringLiteral("&OK"), this, 90);
    btCancel = UiLook::flatPushButton("btCancel", QStringLiteral("&Anuluj"), this, 90);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    column->addLayout(buttons);

    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfmEditChannelFrm::dateText(const QDateTime &value)
{
    if (!value.isValid())
        return QStringLiteral("b.d.");
    // The user's short date and long time (seconds included; a zone name would say
    // nothing here), no time at midnight.
    const QLocale locale;
    const QDateTime local = value.toLocalTime();
    const QString date = locale.toString(local.date(), QLocale::ShortFormat);
    if (local.time() == QTime(0, 0))
        return date;
    QString longTime = locale.timeFormat(QLocale::LongFormat);
    longTime.remove(QLatin1Char('t'));
    return date + QLatin1Char(' ') + locale.toString(local.time(), longTime.trimmed());
}

void TfmEditChannelFrm::fill(const ChannelNode &node)
{
    const TtvChannel *c = node.channel();
    if (!c)
        return;
    edName->setText(node.text());
    edURL->setText(c->url);
    mmDescription->setPlainText(c->description);
    cbEnabled->setChecked(c->enabled);
    cbBalloonAlerts->setChecked(c->alerts);
    seChannelInterval->setValue(c->interval > 0 ? c->interval : seChannelInterval->minimum());
    edUserName->setText(c->username);
    edPassword->setText(c->password);
    lbCopyRight->setText(c->copyright);
    lbLink->setText(c->link);
    lbLastUpdate->setText(dateText(c->lastupdate));
    lbLastBuild->setText(dateText(LastUpdateFromText(c->lastbuild)));
    edName->setFocus();
}

void TfmEditChannelFrm::apply(ChannelTree &tree, ChannelNode *node) const
{
    TtvChannel *c = node ? node->channel() : nullptr;
    if (!c)
        return;
    tree.renameNode(node, edName->text());
    c->url = edURL->text();
    c->description = mmDescription->toPlainText();
    c->enabled = cbEnabled->isChecked();
    c->username = edUserName->text();
    c->password = edPassword->text();
    c->link = lbLink->text();
    c->alerts = cbBalloonAlerts->isChecked();
    c->interval = seChannelInterval->value() == seChannelInterval->minimum()
                      ? 0
                      : seChannelInterval->value();
    tree.noteRecordChanged(node);
}

bool TfmEditChannelFrm::editChannel(ChannelTree &tree, ChannelNode *node)
{
    if (!node || !node->channel())
        return false;
    fill(*node);
    if (exec() != QDialog::Accepted)
        return false;
    apply(tree, node);
    return true;
}

void TfmEditChannelFrm::lbLinkClick()
{
    const QUrl url(lbLink->text().trimmed());
    if (isWebLink(url) && m_openLink)
        m_openLink(url);
}


bool TfmEditChannelFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lbLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        lbLinkClick();
        return true;
    }
    return ProgramDialog::eventFilter(watched, event);
}
