#pragma once

#include <QObject>
#include <QString>

class ChannelTree;
class MainStatusBar;
class QAbstractItemView;
class QToolButton;
class WebBrowser;

// The item view on screen: navigation of the browser `wbContent`, its events and the
// back and forward buttons. Owns no widget.
class ItemViewController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        WebBrowser *wbContent = nullptr;
        QToolButton *spBack = nullptr;
        QToolButton *spForward = nullptr;
        MainStatusBar *sbStatus = nullptr;
        QAbstractItemView *tvChannels = nullptr; // whose selected channel may sign in
    };
    ItemViewController(const Widgets &widgets, ChannelTree &tree, QObject *parent);

    // The address of the last page the browser completed.
    const QString &currentLocation() const { return m_currentLocation; }

public slots:
    // The one way to navigate the item browser; errors are ignored.
    void NavigateContent(const QString &address);
    void wbContentBeforeNavigate2(QString &address, bool &cancel);
    void wbContentDocumentComplete(const QString &address);
    void wbContentProgressChange(int progress, int maximum);
    void wbContentStatusTextChange(const QString &text);
    void spBackClick();
    void spForwardClick();
    void acOpenInNewWindowExecute();

signals:
    // The item on show is a cache file: the item's own link opens instead (acOpenLink).
    void openLinkRequested();

private:
    Widgets m_w;
    ChannelTree &m_tree;
    QString m_currentLocation;
};
