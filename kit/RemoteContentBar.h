#pragma once

#include <QFrame>

class QLabel;
class QPushButton;
class WebBrowser;

// The strip above the item view that tells the reader the item's pictures, films or fonts from
// the web were held back, and loads them for this item once. It shows itself while the
// browser reports held content and hides when another item is opened.
class RemoteContentBar : public QFrame
{
    Q_OBJECT
public:
    RemoteContentBar(WebBrowser *browser, QWidget *parent);

    QLabel *lbRemoteContent = nullptr;
    QPushButton *btLoadRemoteContent = nullptr;
};
