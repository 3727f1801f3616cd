#pragma once

#include <QObject>
#include <QString>

class ChannelNode;
class ChannelTree;
class IChannelFiles;
class IReportSink;
class MainStatusBar;
class QAction;
class QShortcut;
class QTreeView;
class RowsOnShow;
class ShownChannel;
class UnreadCounts;
class WebBrowser;
struct ActionFacts;

// Reading by keyboard: the next and the previous unread item across the channels in tree
// order, Space that pages through the item and then goes on to the next unread, Enter and a
// double click that open a row's link, and marking a whole channel or group read. Owns its
// three actions and the keys; drives the widgets it is handed.
class ReadingKeysController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QWidget *window = nullptr; // carries the actions' shortcuts
        QTreeView *tvChannels = nullptr;
        QTreeView *lvHeaders = nullptr;
        WebBrowser *wbContent = nullptr;
        MainStatusBar *sbStatus = nullptr;
    };
    ReadingKeysController(const Widgets &widgets, ChannelTree &tree, ShownChannel &shown,
                          RowsOnShow &rows, UnreadCounts &counts, const IChannelFiles &files,
                          IReportSink &report, QObject *parent);

    // "Następna nieprzeczytana" (Ctrl+N), "Poprzednia nieprzeczytana" (Ctrl+B),
    // "Oznacz kanał jako przeczytany" (Ctrl+R).
    QAction *acNextUnread() const { return m_acNextUnread; }
    QAction *acPreviousUnread() const { return m_acPreviousUnread; }
    QAction *acMarkChannelRead() const { return m_acMarkChannelRead; }

    // The status texts at the ends of a walk.
    static const QString NoUnreadText, WrappedForwardText, WrappedBackwardText;

public slots:
    void acNextUnreadExecute();
    void acPreviousUnreadExecute();
    void acMarkChannelReadExecute();
    // Space: the item view a page on, or at its end the next unread item; Shift+Space a
    // page back.
    void scrollItemOrNextUnread(bool forward = true);
    void updateActions(const ActionFacts &facts);

signals:
    // Enter or a double click on a row: its link opens (acOpenLinkExecute).
    void openLinkRequested();
    // Marks changed in a way the actions depend on.
    void stateChanged();
    // A cache file was written with the channel marked read: what others read of it is old.
    void cacheFileRewritten(const QString &cacheFile);

private:
    void goToUnread(bool forward);
    // The rows of the channel now on show: the first (or last) unread one, other than `skip`,
    // selected and shown. False when it has none.
    bool selectUnreadRow(int from, bool forward, int skip = -1);
    bool channelOnShow(const ChannelNode *node) const;
    int currentRow() const;
    void rowActivated();
    void status(const QString &text);

    Widgets m_w;
    ChannelTree &m_tree;
    ShownChannel &m_shown;
    RowsOnShow &m_rows;
    UnreadCounts &m_counts;
    const IChannelFiles &m_files;
    IReportSink &m_report;
    QAction *m_acNextUnread = nullptr;
    QAction *m_acPreviousUnread = nullptr;
    QAction *m_acMarkChannelRead = nullptr;
    QShortcut *m_browserSpace = nullptr;
    QShortcut *m_browserShiftSpace = nullptr;
    quint64 m_scrollAsked = 0; // the Space whose answer counts; older answers are dropped
};
