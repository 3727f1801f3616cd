#include "kit/RemoteContentBar.h"

#include "kit/UiLook.h"
#include "kit/WebBrowser.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

RemoteContentBar::RemoteContentBar(WebBrowser *browser, QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("pnRemoteContent"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(255, 244, 206));
    colours.setColor(QPalette::WindowText, UiLook::TextColour);
    setPalette(colours);

    lbRemoteContent = new QLabel(QStringLiteral("Zablokowano zdalną zawartość."), this);
    lbRemoteContent->setObjectName(QStringLiteral("lbRemoteContent"));
    lbRemoteContent->setTextFormat(Qt::PlainText);
    lbRemoteContent->setToolTip(QStringLiteral("Obrazy, filmy i czcionki z sieci mogą powiadomić "
                                               "nadawcę, że wiadomość została przeczytana."));
    btLoadRemoteContent =
        UiLook::flatPushButton("btLoadRemoteContent", QStringLiteral("Wczytaj"), this);
    btLoadRemoteContent->setToolTip(
        QStringLiteral("Wczytuje zdalną zawartość tej wiadomości jeden raz"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(8, 3, 6, 3);
    row->setSpacing(8);
    row->addWidget(lbRemoteContent, 1);
    row->addWidget(btLoadRemoteContent);

    hide();
    connect(browser, &WebBrowser::remoteContentBlockedChanged, this, &QWidget::setVisible);
    connect(btLoadRemoteContent, &QPushButton::clicked, browser,
            &WebBrowser::loadRemoteContentOnce);
}
