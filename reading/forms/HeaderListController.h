#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>

#include <vector>

struct HeaderRow;

class ChannelNode;
class ChannelTree;
class HeaderListModel;
class IChannelFiles;
class IReportSink;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class QTreeView;
class RowsOnShow;
class ShownChannel;
class UnreadCounts;

// The header list on screen: which channel it shows, its sort and its keyword filter.
// Drives the widgets it is handed; owns no widget.
class HeaderListController : public QObject
{
    Q_OBJECT

public:
    struct Widgets
    {
        QTreeView *tvChannels = nullptr;
        QTreeView *lvHeaders = nullptr;
        QLineEdit *edKeyWord = nullptr;
        QPushButton *btFilter = nullptr;
        QCheckBox *cbAllArchiveFilter = nullptr;
        QTabWidget *pcLeftPanel = nullptr;
        QLabel *lbName = nullptr;
        // "tylko nieprzeczytane": only unread rows are kept at every fill.
        QCheckBox *cbUnreadOnly = nullptr;
    };
    // Sets `lvHeaders` to show `rows`, with pictures from `images` (the window's image list).
    HeaderListController(const Widgets &widgets, ChannelTree &tree, ShownChannel &shown,
                         RowsOnShow &rows, UnreadCounts &counts, const IChannelFiles &files,
                         IReportSink &report, const QList<QIcon> &images, QObject *parent);

    // Fills the list with the channel's items: from its cache file, or from the document in
    // memory when `reuseDocument`. A missing file leaves the list empty and the browser
    // blank; an unreadable one reports "Zły format kanału <name>".
    void ShowChannelHeaders(ChannelNode *channel, const QString &name, bool reuseDocument);
    // Selects the first channel of the tree in tree order, which shows it.
    void SelectFirstChannel();
    // A clicked alert: the channel at that tree position, and in its list the first row whose
    // caption begins with the title in any letter case (none selected when none does).
    void showAlertItem(int channelRow, const QString &title);
    // The window's first show: the first channel, its first row, that item.
    void firstShow();
    // The filter button's state: true while the filter is on (tag 1).
    bool filterOn() const;
    bool unreadOnly() const;
    // What the list keeps of a channel's items now: the keyword and "tylko nieprzeczytane".
    QString keyword() const;
    // A key pressed in the keyword edit: Enter switches the filter when the list has rows.
    // True when the key was used.
    bool edKeyWordKeyDown(int key);

public slots:
    void tvChannelsChange();
    void lvHeadersColumnClick(int column);
    void btFilterClick();
    // The channel tab of the left panel became active (the archive tab is the archive's).
    void pcLeftPanelChange(int index);
    // A channel was updated: when its rows are on show, or it is the selected channel, the
    // list reads it again.
    void channelUpdated(ChannelNode *node);
    // The keyword or "tylko nieprzeczytane" changed: the rows on show are made again with
    // them, the row being read kept when it stays.
    void refill();

signals:
    // The list has been filled and its first row selected: the item view shows it.
    void headersShown();
    // The channel has no cache file yet: fetch it first.
    void syncRequested(ChannelNode *node, const QString &name);
    // The browser is to show this address (about:blank when there is nothing to show).
    void navigateRequested(const QString &address);
    // Something the actions depend on changed.
    void stateChanged();
    // The filter changed while archive rows are on show: the archive shows them anew.
    void archiveRefillRequested();
    // The same while rows gathered from several channels are on show.
    void gatheredRefillRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ChannelNode *selectedNode() const;
    bool archiveViewShown() const;
    void selectFirstRow();
    void updateFilterButton();
    void keepUnreadOnly(std::vector<HeaderRow> &rows) const;

    Widgets m_w;
    ChannelTree &m_tree;
    ShownChannel &m_shown;
    RowsOnShow &m_onShow;
    HeaderListModel &m_rows;
    UnreadCounts &m_counts;
    const IChannelFiles &m_files;
    IReportSink &m_report;
    QTimer *m_typing = nullptr; // the keyword applies a moment after the last key
};
