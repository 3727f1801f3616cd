#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

class ChannelNode;
class ChannelTree;
class MainStatusBar;
class QAbstractItemModel;
class QAbstractItemView;
class QTimer;
class RowsOnShow;
class QToolButton;
class WebBrowser;

// The item view on screen: showing the selected header row's item in the browser
// `wbContent`, its navigation and events and the back and forward buttons. Owns no widget.
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
        QAbstractItemView *lvHeaders = nullptr;
    };
    // The rows behind `lvHeaders` and their item source come from `rows`.
    ItemViewController(const Widgets &widgets, ChannelTree &tree, RowsOnShow &rows,
                       QObject *parent);

    // The address of the last page the browser completed.
    const QString &currentLocation() const { return m_currentLocation; }
    // The header row shown last; -1 when none.
    int lastShownRow() const { return m_lastShownRow; }

public slots:
    // The header list changed (selection, focus, a row's text or image): shows the first
    // selected row's item when that row is not the one shown last.
    void lvHeadersChange();
    // The list was refilled or another channel chosen: the next change shows an item again.
    void forgetShownRow() { m_lastShownRow = -1; }
    // Shows the selected row's item anew (another sheet variant), without a new read mark.
    void showAgain();
    // Follows the header list onto the model it shows now.
    void attachHeaderList();
    // The one way to navigate the item browser; errors are ignored.
    void NavigateContent(const QString &address);
    // Nothing on show: the item it showed went away.
    void showBlank();
    // Reloads what the browser shows: the item page made again from its document as it is
    // now, or the page loaded again.
    void Refresh();
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
    // The system's web browser would not open the page on show.
    void linkNotOpened(const QString &address);
    // The enabled states that follow the list (the filter button, the archive buttons).
    void stateChanged();
    // An item could not be shown. No channel is selected: select the first one
    // (SelectFirstChannel). A channel is: refill its list (ShowChannelHeaders).
    void firstChannelRequested();
    void channelRefillRequested(ChannelNode *channel);
    // Every change of the header list ends here: the delayed read mark is due (its timer
    // belongs to the item commands).
    void delayedMarkDue();

private:
    bool showRow(int row);
    void show(int row);
    void recover();

    bool showingMadePage() const;

    Widgets m_w;
    ChannelTree &m_tree;
    RowsOnShow &m_rows;
    QString m_currentLocation;
    QString m_madePageAddress; // the address of the last item page made here
    int m_lastShownRow = -1;
    bool m_recovering = false;
    QPointer<QAbstractItemModel> m_model;
    QList<QMetaObject::Connection> m_listConnections;
};
