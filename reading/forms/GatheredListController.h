#pragma once

#include "reading/GatheredRows.h"

#include <QObject>
#include <QString>

#include <functional>

struct ActionFacts;
class ChannelNode;
class ChannelTree;
class GatheredItems;
class IReportSink;
class MainStatusBar;
class QAction;
class QTreeView;
class RowsOnShow;
class ShownChannel;
class UserFolder;

// The header list showing rows gathered from several channels: a group's items ("Pokaż
// wiadomości grupy", or selecting a group when the settings say so) and the search across
// all channels. The files are read off the window's thread; a newer request wins, and rows
// from anywhere else shown meanwhile win too. The rows follow their channels: an update
// reads the channel again, a renamed channel is renamed in them, a deleted one takes its
// rows away. Owns no widget.
class GatheredListController : public QObject
{
    Q_OBJECT
public:
    struct Widgets
    {
        QTreeView *tvChannels = nullptr;
        QTreeView *lvHeaders = nullptr;
        MainStatusBar *sbStatus = nullptr;
        QWidget *window = nullptr; // holds the actions, so that their shortcuts work anywhere
    };
    // What the list keeps besides the request itself: the keyword and "tylko nieprzeczytane".
    using FilterOf = std::function<RowQuery()>;

    GatheredListController(const Widgets &widgets, ChannelTree &tree, ShownChannel &shown,
                           RowsOnShow &rows, GatheredItems &items, const UserFolder &folder,
                           IReportSink &report, FilterOf filter, QObject *parent);
    ~GatheredListController() override;

    // Selecting a group shows its items (the setting "Zaznaczenie grupy pokazuje jej
    // wiadomości").
    void setGroupSelectionShows(bool shows) { m_groupSelectionShows = shows; }
    bool gathering() const { return m_gathering.busy(); }
    // "Pokaż wiadomości grupy", for the tree's menu.
    QAction *acShowGroupItems() const { return m_acShowGroupItems; }
    // "Szukaj we wszystkich kanałach...": opens the find dialog for it (findRequested).
    QAction *acFindInChannels() const { return m_acFindInChannels; }
    void updateActions(const ActionFacts &facts);

public slots:
    void acShowGroupItemsExecute();
    // The tree's selection changed.
    void tvChannelsChange();
    // Every channel's items whose field (TfmFindFrm::Field) holds the text.
    void findInChannels(int field, const QString &text);
    // The keyword or "tylko nieprzeczytane" changed: the same request again.
    void refill();
    // An update has finished with this cache file.
    void cacheFileReplaced(const QString &cacheFile);

signals:
    // The rows are on show and the first selected: the item view shows it.
    void headersShown();
    // Something the actions depend on changed.
    void stateChanged();
    // The find dialog is to open, set for a search across all channels.
    void findRequested();
    // Rows of deleted channels left the list and the item on show with them.
    void shownItemGone();

private:
    struct Request
    {
        ChannelNode *group = nullptr; // null for a search
        QString groupName;
        RowQuery::Field field = RowQuery::Field::None;
        QString text;
    };
    void showGroup(ChannelNode *group);
    void start(const Request &request);
    void arrived(quint64 number);
    bool onShow() const;
    std::vector<ChannelToRead> channelsOf(const ChannelNode *top) const;
    RowQuery queryOf(const Request &request) const;
    void setTitleNote();
    void channelsRemoved();
    void channelsChanged(const QModelIndex &from, const QModelIndex &to);
    // Puts the current row back on the row of that item, or of that title in that channel.
    void selectAgain(const QString &guid, const QString &chGuid, const QString &title);

    Widgets m_w;
    QAction *m_acShowGroupItems = nullptr;
    QAction *m_acFindInChannels = nullptr;
    ChannelTree &m_tree;
    ShownChannel &m_shown;
    RowsOnShow &m_onShow;
    GatheredItems &m_items;
    const UserFolder &m_folder;
    IReportSink &m_report;
    FilterOf m_filter;
    RowGathering m_gathering;
    Request m_request;     // the one on show, or under way
    quint64 m_pending = 0; // the request under way
    bool m_showing = false;
    bool m_groupSelectionShows = false;
};
