#include "reading/forms/GatheredListController.h"

#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/ReportSink.h"
#include "feed/TextOps.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/UiLook.h"
#include "reading/GatheredItems.h"
#include "reading/HeaderListModel.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/forms/FindUnit.h"

#include <QAction>
#include <QFileInfo>
#include <QHeaderView>
#include <QSet>
#include <QTreeView>

#include <algorithm>

namespace {

constexpr int ChannelColumnWidth = 140;

QSet<QString> channelGuidsIn(const ChannelTree &tree)
{
    QSet<QString> guids;
    for (const ChannelNode *node : tree.channelsInPreOrder())
        if (const TtvChannel *channel = node->channel())
            guids.insert(channel->GUID);
    return guids;
}

// Rows of channels the tree no longer holds go; true when any went.
bool dropRowsOfGoneChannels(std::vector<HeaderRow> &rows, const QSet<QString> &inTree,
                            QSet<QString> *gone = nullptr)
{
    const auto end = std::remove_if(rows.begin(), rows.end(), [&](const HeaderRow &row) {
        if (inTree.contains(row.chGuid))
            return false;
        if (gone)
            gone->insert(row.chGuid);
        return true;
    });
    const bool any = end != rows.end();
    rows.erase(end, rows.end());
    return any;
}

} // namespace

GatheredListController::GatheredListController(const Widgets &widgets, ChannelTree &tree,
                                               ShownChannel &shown, RowsOnShow &rows,
                                               GatheredItems &items, const UserFolder &folder,
                                               IReportSink &report, FilterOf filter,
                                               QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_shown(shown), m_onShow(rows),
      m_items(items), m_folder(folder), m_report(report), m_filter(std::move(filter))
{
    m_acShowGroupItems = new QAction(QStringLiteral("Pokaż wiadomości &grupy"), m_w.window);
    m_acShowGroupItems->setObjectName(QStringLiteral("acShowGroupItems"));
    m_acShowGroupItems->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+G")));
    m_acShowGroupItems->setEnabled(false);
    connect(m_acShowGroupItems, &QAction::triggered, this,
            &GatheredListController::acShowGroupItemsExecute);
    m_acFindInChannels =
        new QAction(QStringLiteral("Szukaj we &wszystkich kanałach..."), m_w.window);
    m_acFindInChannels->setObjectName(QStringLiteral("acFindInChannels"));
    m_acFindInChannels->setIcon(UiLook::svgIcon(QStringLiteral(":/icons/find.svg")));
    m_acFindInChannels->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    connect(m_acFindInChannels, &QAction::triggered, this, &GatheredListController::findRequested);
    if (m_w.window)
        m_w.window->addActions({m_acShowGroupItems, m_acFindInChannels});
    connect(&m_gathering, &RowGathering::gathered, this, &GatheredListController::arrived);
    HeaderListModel *model = &m_onShow.model();
    // Rows shown from anywhere else are newer than the gathering under way.
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        if (m_showing || !m_gathering.busy())
            return;
        m_gathering.cancel();
        m_w.sbStatus->setPanelText(0, QStringLiteral("Gotowe."));
        emit stateChanged();
    });
    // The channel column is on show with the channels' rows only.
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        const bool gathered = onShow();
        m_w.lvHeaders->setColumnHidden(ColChName, !gathered);
        if (gathered)
            m_w.lvHeaders->header()->resizeSection(ColChName, ChannelColumnWidth);
    });
    connect(&m_tree, &QAbstractItemModel::rowsRemoved, this,
            &GatheredListController::channelsRemoved);
    connect(&m_tree, &QAbstractItemModel::modelReset, this,
            &GatheredListController::channelsRemoved);
    connect(&m_tree, &QAbstractItemModel::dataChanged, this,
            &GatheredListController::channelsChanged);
}

GatheredListController::~GatheredListController() = default;

bool GatheredListController::onShow() const
{
    return m_onShow.gatheredView() && m_onShow.shows(m_items);
}

void GatheredListController::updateActions(const ActionFacts &facts)
{
    m_acShowGroupItems->setEnabled(facts.node && facts.node->isGroup());
}

void GatheredListController::acShowGroupItemsExecute()
{
    ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree);
    if (node && node->isGroup())
        showGroup(node);
}

void GatheredListController::tvChannelsChange()
{
    ChannelNode *node = SelectedNode(m_w.tvChannels, m_tree);
    if (m_groupSelectionShows && node && node->isGroup())
        showGroup(node);
}

void GatheredListController::showGroup(ChannelNode *group)
{
    Request request;
    request.group = group;
    request.groupName = group->text();
    start(request);
}

void GatheredListController::findInChannels(int field, const QString &text)
{
    Request request;
    switch (static_cast<TfmFindFrm::Field>(field)) {
    case TfmFindFrm::Field::Title:
        request.field = RowQuery::Field::Title;
        break;
    case TfmFindFrm::Field::Author:
        request.field = RowQuery::Field::Author;
        break;
    case TfmFindFrm::Field::Description:
        request.field = RowQuery::Field::Description;
        break;
    }
    request.text = text;
    start(request);
}

void GatheredListController::refill()
{
    // A group that went away leaves nothing to read again.
    if (onShow() && (m_request.group || m_request.field != RowQuery::Field::None))
        start(m_request);
}

RowQuery GatheredListController::queryOf(const Request &request) const
{
    RowQuery query = m_filter ? m_filter() : RowQuery();
    query.searchField = request.field;
    query.searchText = request.text;
    return query;
}

std::vector<ChannelToRead> GatheredListController::channelsOf(const ChannelNode *top) const
{
    std::vector<ChannelToRead> channels;
    QSet<QString> seen;
    // Every channel beneath, also one dropped onto another channel and so its child.
    QList<const ChannelNode *> pending{top};
    while (!pending.isEmpty()) {
        const ChannelNode *node = pending.takeFirst();
        const TtvChannel *channel = node->channel();
        // The GUID names a file: one that is not a GUID could name any file.
        if (channel && IsGuidText(channel->GUID) && !seen.contains(channel->GUID)) {
            seen.insert(channel->GUID);
            channels.push_back({channel->GUID, node->text(), m_folder.cacheFile(channel->GUID)});
        }
        for (int i = node->childCount() - 1; i >= 0; --i)
            pending.prepend(node->child(i));
    }
    return channels;
}

void GatheredListController::start(const Request &request)
{
    m_request = request;
    // The marks of the channel on show reach its file before the file is read.
    m_shown.writeBack();
    const ChannelNode *top = request.group ? request.group : m_tree.root();
    m_w.sbStatus->setPanelText(0, QStringLiteral("Chwileczkę... Wczytywanie wiadomości"));
    const HeaderListModel &model = m_onShow.model();
    m_pending = m_gathering.start(channelsOf(top), queryOf(request),
                                  {model.sortColumn(), model.sortDescending(), model.locale()});
    emit stateChanged();
}

void GatheredListController::arrived(quint64 number)
{
    if (number != m_pending)
        return;
    GatheredRows got = m_gathering.takeRows();
    // Channels deleted while their files were read.
    dropRowsOfGoneChannels(got.rows, channelGuidsIn(m_tree));
    m_showing = true;
    // Sorted on the gathering's thread, unless the sort changed meanwhile.
    const HeaderListModel &rowsModel = m_onShow.model();
    const bool presorted = got.sortedBy.column == rowsModel.sortColumn() &&
                           got.sortedBy.descending == rowsModel.sortDescending();
    m_onShow.showGathered(m_items, std::move(got.rows), presorted);
    m_showing = false;
    for (const QString &name : qAsConst(got.unreadable))
        m_report.ReportProblem(QStringLiteral("Zły format kanału ") + name);
    setTitleNote();
    QAbstractItemModel *model = m_w.lvHeaders->model();
    if (model->rowCount() > 0) {
        m_w.lvHeaders->selectionModel()->setCurrentIndex(
            model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_w.lvHeaders->scrollToTop();
    }
    m_w.sbStatus->setPanelText(0, QStringLiteral("Gotowe."));
    emit headersShown();
    emit stateChanged();
}

void GatheredListController::setTitleNote()
{
    HeaderListModel &model = m_onShow.model();
    const int count = model.rowCount();
    if (m_request.field == RowQuery::Field::None)
        model.setTitleNote(
            QStringLiteral("wiadomości grupy %1 (%2)").arg(m_request.groupName).arg(count));
    else
        model.setTitleNote(
            QStringLiteral("wyniki wyszukiwania we wszystkich kanałach (%1)").arg(count));
}

void GatheredListController::selectAgain(const QString &guid, const QString &chGuid,
                                         const QString &title)
{
    const HeaderListModel &model = m_onShow.model();
    int found = -1;
    for (int r = 0; r < model.rowCount() && found < 0; ++r)
        if (!guid.isEmpty() && model.row(r).guid == guid)
            found = r;
    for (int r = 0; r < model.rowCount() && found < 0; ++r)
        if (model.row(r).chGuid == chGuid && model.row(r).title == title)
            found = r;
    if (found < 0)
        return;
    const QModelIndex index = m_w.lvHeaders->model()->index(found, 0);
    m_w.lvHeaders->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_w.lvHeaders->scrollTo(index);
}

void GatheredListController::cacheFileReplaced(const QString &cacheFile)
{
    const QString guid = QFileInfo(cacheFile).completeBaseName();
    m_items.forgetChannel(guid);
    if (!onShow())
        return;
    // The channel is read again when it belongs to the list: it is in the group, or any
    // channel for a search.
    const ChannelNode *top = m_request.group ? m_request.group : m_tree.root();
    if (m_request.group == nullptr && m_request.field == RowQuery::Field::None)
        return; // the group went away: its rows stay as they are until the next request
    ChannelToRead channel;
    for (const ChannelToRead &c : channelsOf(top))
        if (c.guid == guid)
            channel = c;
    if (channel.guid.isEmpty())
        return;
    GatheredRows fresh;
    GatherChannelRows(channel, queryOf(m_request), fresh);
    // An update gives every item a new GUID: the row being read is found again by its title.
    QString readingGuid, readingTitle, readingChannel;
    if (const HeaderRow *row = m_onShow.rowAt(m_w.lvHeaders->currentIndex())) {
        readingGuid = row->chGuid == guid ? QString() : row->guid;
        readingTitle = row->title;
        readingChannel = row->chGuid;
    }
    std::vector<HeaderRow> rows;
    rows.reserve(m_onShow.model().rows().size() + fresh.rows.size());
    for (const HeaderRow &row : m_onShow.model().rows())
        if (row.chGuid != guid)
            rows.push_back(row);
    for (HeaderRow &row : fresh.rows)
        rows.push_back(std::move(row));
    m_showing = true;
    m_onShow.replaceRows(std::move(rows));
    m_showing = false;
    setTitleNote();
    if (!readingChannel.isEmpty())
        selectAgain(readingGuid, readingChannel, readingTitle);
    emit stateChanged();
}

void GatheredListController::channelsRemoved()
{
    if (m_request.group && !m_tree.nodesInPreOrder().contains(m_request.group))
        m_request.group = nullptr;
    if (!onShow())
        return;
    std::vector<HeaderRow> rows = m_onShow.model().rows();
    QSet<QString> gone;
    if (!dropRowsOfGoneChannels(rows, channelGuidsIn(m_tree), &gone))
        return;
    for (const QString &guid : qAsConst(gone))
        m_items.forgetChannel(guid);
    QString readingGuid;
    if (const HeaderRow *row = m_onShow.rowAt(m_w.lvHeaders->currentIndex()))
        readingGuid = gone.contains(row->chGuid) ? QString() : row->guid;
    m_showing = true;
    m_onShow.replaceRows(std::move(rows));
    m_showing = false;
    setTitleNote();
    if (readingGuid.isEmpty())
        emit shownItemGone();
    else
        selectAgain(readingGuid, QString(), QString());
    emit stateChanged();
}

void GatheredListController::channelsChanged(const QModelIndex &from, const QModelIndex &to)
{
    if (!onShow() || !from.isValid())
        return;
    for (int r = from.row(); r <= to.row(); ++r) {
        const ChannelNode *node = m_tree.nodeFromIndex(from.siblingAtRow(r));
        if (const TtvChannel *channel = node ? node->channel() : nullptr)
            m_onShow.model().renameChannel(channel->GUID, node->text());
    }
}
