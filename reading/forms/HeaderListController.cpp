#include "reading/forms/HeaderListController.h"

#include "catalogue/ChannelTree.h"
#include "reading/HeaderListModel.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderImagesProxy.h"
#include "base/ChannelFiles.h"
#include "kit/CoalescedRepaint.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace {

const char TagProperty[] = "tag";
const QString FilterOffCaption = QStringLiteral("&Filtruj");
const QString FilterOnCaption = QStringLiteral("&Wyłącz filtr");
const QString BlankPage = QStringLiteral("about:blank");
// Long enough that a word typed at speed is one refill, short enough to feel immediate.
constexpr int TypingPauseMs = 250;

} // namespace

HeaderListController::HeaderListController(const Widgets &widgets, ChannelTree &tree,
                                           ShownChannel &shown, RowsOnShow &rows,
                                           UnreadCounts &counts, const IChannelFiles &files,
                                           IReportSink &report, const QList<QIcon> &images,
                                           QObject *parent)
    : QObject(parent), m_w(widgets), m_tree(tree), m_shown(shown), m_onShow(rows), m_rows(rows.model()),
      m_counts(counts), m_files(files), m_report(report)
{
    auto *proxy = new HeaderImagesProxy(images, this);
    proxy->setSourceModel(&m_rows);
    m_w.lvHeaders->setModel(proxy);
    // Setting the model resets the sections: the columns are arranged after it.
    QHeaderView *header = m_w.lvHeaders->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setSectionResizeMode(ColTitle, QHeaderView::Stretch);
    header->resizeSection(ColDate, 120);
    header->resizeSection(ColAuthor, 90);
    for (int c = ColId; c < HeaderColumnCount; ++c)
        m_w.lvHeaders->setColumnHidden(c, true);
    m_w.btFilter->setProperty(TagProperty, 0);
    m_w.btFilter->setText(FilterOffCaption);
    m_w.edKeyWord->installEventFilter(this);
    connect(&m_rows, &QAbstractItemModel::modelReset, this,
            &HeaderListController::updateFilterButton);
    connect(&m_rows, &HeaderListModel::unreadChanged, &m_counts, &UnreadCounts::adjust);
    auto *treeRepaint = new CoalescedRepaint(m_w.tvChannels->viewport());
    connect(&m_counts, &UnreadCounts::changed, treeRepaint, &CoalescedRepaint::request);
    m_typing = new QTimer(this);
    m_typing->setObjectName(QStringLiteral("tmKeyWord"));
    m_typing->setSingleShot(true);
    m_typing->setInterval(TypingPauseMs);
    connect(m_typing, &QTimer::timeout, this, &HeaderListController::refill);
    connect(m_w.edKeyWord, &QLineEdit::textEdited, m_typing, qOverload<>(&QTimer::start));
    if (m_w.cbUnreadOnly)
        connect(m_w.cbUnreadOnly, &QCheckBox::toggled, this, &HeaderListController::refill);
    updateFilterButton();
}

bool HeaderListController::unreadOnly() const
{
    return m_w.cbUnreadOnly && m_w.cbUnreadOnly->isChecked();
}

QString HeaderListController::keyword() const
{
    return m_w.edKeyWord->text();
}

void HeaderListController::keepUnreadOnly(std::vector<HeaderRow> &rows) const
{
    if (unreadOnly())
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [](const HeaderRow &row) { return !row.unread; }),
                   rows.end());
}

bool HeaderListController::filterOn() const
{
    return m_w.btFilter->property(TagProperty).toInt() == 1;
}

ChannelNode *HeaderListController::selectedNode() const
{
    return m_tree.nodeFromIndex(m_w.tvChannels->currentIndex());
}

bool HeaderListController::archiveViewShown() const
{
    return m_onShow.archiveView();
}

void HeaderListController::ShowChannelHeaders(ChannelNode *channel, const QString &name,
                                              bool reuseDocument)
{
    // Showing the channel's rows ends the archive view.
    m_w.cbAllArchiveFilter->hide();
    const TtvChannel *record = channel ? channel->channel() : nullptr;
    const QString guid = record ? record->GUID : QString();
    HeaderFill fill = m_shown.fillHeaders(guid, name, m_w.edKeyWord->text(), reuseDocument,
                                          m_files, m_report);
    keepUnreadOnly(fill.rows);
    // One reset; the item view forgets the row it showed.
    m_onShow.showChannel(m_shown, std::move(fill.rows));
    if (fill.outcome == HeaderFill::Outcome::NoCacheFile)
        emit navigateRequested(BlankPage);
    else if (fill.outcome == HeaderFill::Outcome::Filled && !fill.formatError)
        m_counts.set(guid, fill.unreadCount);
    emit stateChanged();
}

void HeaderListController::selectFirstRow()
{
    QAbstractItemModel *model = m_w.lvHeaders->model();
    if (model->rowCount() > 0) {
        m_w.lvHeaders->selectionModel()->setCurrentIndex(
            model->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_w.lvHeaders->scrollToTop();
    } else {
        emit navigateRequested(BlankPage);
    }
    emit headersShown();
}

void HeaderListController::tvChannelsChange()
{
    ChannelNode *node = selectedNode();
    if (!node || !node->isChannel())
        return;
    const TtvChannel *record = node->channel();
    if (record && QFileInfo(m_files.cacheFile(record->GUID)).isFile())
        ShowChannelHeaders(node, node->text(), false);
    else
        emit syncRequested(node, node->text()); // shows the channel once fetched
    selectFirstRow();
}

void HeaderListController::channelUpdated(ChannelNode *node)
{
    // Rows gathered from several channels follow their updates by themselves.
    if (!node || !node->isChannel() || archiveViewShown() || m_onShow.gatheredView())
        return;
    // A run refills the rows on show even while a group is selected: they hold the GUIDs
    // the update has just replaced.
    const bool onShow = node->channel() && m_onShow.shows(m_shown) &&
                        m_shown.shows(m_files.cacheFile(node->channel()->GUID));
    if (node != selectedNode() && !onShow)
        return;
    // An update gives every item a new GUID: the row being read is found again by its
    // title, as the update itself carries the read marks over, and shown anew.
    QString readingTitle;
    const QModelIndex current = m_w.lvHeaders->currentIndex();
    if (current.isValid() && current.row() < m_rows.rowCount() &&
        m_w.lvHeaders->selectionModel()->isRowSelected(current.row(), QModelIndex())) {
        const HeaderRow &row = m_rows.row(current.row());
        if (node->channel() && row.chGuid == node->channel()->GUID)
            readingTitle = row.title;
    }
    ShowChannelHeaders(node, node->text(), false);
    if (readingTitle.isNull())
        return;
    for (int r = 0; r < m_rows.rowCount(); ++r) {
        if (m_rows.row(r).title != readingTitle)
            continue;
        const QModelIndex index = m_w.lvHeaders->model()->index(r, 0);
        m_w.lvHeaders->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_w.lvHeaders->scrollTo(index);
        break;
    }
}

void HeaderListController::SelectFirstChannel()
{
    if (m_tree.count() < 2)
        return;
    for (ChannelNode *node : m_tree.nodesInPreOrder()) {
        if (!node->isChannel())
            continue;
        const QModelIndex index = m_tree.indexOf(node);
        if (m_w.tvChannels->currentIndex() == index) {
            tvChannelsChange();
        } else {
            m_w.tvChannels->setCurrentIndex(index); // runs tvChannelsChange
        }
        return;
    }
}

void HeaderListController::showAlertItem(int channelRow, const QString &title)
{
    const QList<ChannelNode *> nodes = m_tree.nodesInPreOrder();
    if (channelRow < 0 || channelRow >= nodes.size())
        return;
    const QModelIndex node = m_tree.indexOf(nodes.at(channelRow));
    if (m_w.tvChannels->currentIndex() == node)
        tvChannelsChange();
    else
        m_w.tvChannels->setCurrentIndex(node); // shows the channel's headers
    QItemSelectionModel *selection = m_w.lvHeaders->selectionModel();
    selection->clear();
    const QAbstractItemModel *model = m_w.lvHeaders->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex caption = model->index(row, ColTitle);
        if (caption.data().toString().startsWith(title, Qt::CaseInsensitive)) {
            selection->setCurrentIndex(caption, QItemSelectionModel::ClearAndSelect |
                                                     QItemSelectionModel::Rows);
            m_w.lvHeaders->scrollTo(caption);
            break;
        }
    }
    emit stateChanged();
}

void HeaderListController::firstShow()
{
    SelectFirstChannel();
    if (m_w.lvHeaders->model()->rowCount() > 0)
        m_w.lvHeaders->setFocus();
}

void HeaderListController::lvHeadersColumnClick(int column)
{
    m_rows.columnClicked(column);
    const QModelIndex current = m_w.lvHeaders->currentIndex();
    if (current.isValid())
        m_w.lvHeaders->scrollTo(current);
}

void HeaderListController::btFilterClick()
{
    if (filterOn()) {
        m_w.btFilter->setProperty(TagProperty, 0);
        m_w.btFilter->setText(FilterOffCaption);
        m_w.edKeyWord->clear();
        m_w.edKeyWord->setEnabled(true);
    } else {
        m_w.btFilter->setProperty(TagProperty, 1);
        m_w.btFilter->setText(FilterOnCaption);
        m_w.edKeyWord->setEnabled(false);
    }
    m_typing->stop();
    if (archiveViewShown()) {
        emit archiveRefillRequested();
    } else if (m_onShow.source() && !m_onShow.shows(m_shown)) {
        emit gatheredRefillRequested();
    } else if (ChannelNode *node = selectedNode(); node && node->isChannel()) {
        // The document in memory, unless it has let go of the channel's file meanwhile.
        const bool inMemory =
            node->channel() && m_shown.shows(m_files.cacheFile(node->channel()->GUID));
        ShowChannelHeaders(node, node->text(), inMemory);
    }
    updateFilterButton();
}

void HeaderListController::refill()
{
    m_typing->stop();
    if (archiveViewShown()) {
        emit archiveRefillRequested();
        return;
    }
    if (m_onShow.source() && !m_onShow.shows(m_shown)) {
        emit gatheredRefillRequested();
        return;
    }
    ChannelNode *node = selectedNode();
    if (!node || !node->isChannel() || !node->channel())
        return;
    QString readingGuid;
    if (const HeaderRow *row = m_onShow.rowAt(m_w.lvHeaders->currentIndex()))
        readingGuid = row->guid;
    ShowChannelHeaders(node, node->text(),
                       m_shown.shows(m_files.cacheFile(node->channel()->GUID)));
    for (int r = 0; !readingGuid.isEmpty() && r < m_rows.rowCount(); ++r) {
        if (m_rows.row(r).guid != readingGuid)
            continue;
        const QModelIndex index = m_w.lvHeaders->model()->index(r, 0);
        m_w.lvHeaders->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_w.lvHeaders->scrollTo(index);
        break;
    }
    updateFilterButton();
}

bool HeaderListController::edKeyWordKeyDown(int key)
{
    if ((key != Qt::Key_Return && key != Qt::Key_Enter) || m_rows.rowCount() == 0)
        return false;
    btFilterClick();
    return true;
}

bool HeaderListController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_w.edKeyWord && event->type() == QEvent::KeyPress)
        return edKeyWordKeyDown(static_cast<QKeyEvent *>(event)->key());
    return QObject::eventFilter(watched, event);
}

void HeaderListController::updateFilterButton()
{
    m_w.btFilter->setEnabled(filterOn() || m_rows.rowCount() > 0);
}

void HeaderListController::pcLeftPanelChange(int index)
{
    if (index == 0) {
        if (!selectedNode())
            SelectFirstChannel();
        if (ChannelNode *node = selectedNode(); node && node->isChannel())
            ShowChannelHeaders(node, node->text(), false);
    }
    const QModelIndex current = m_w.lvHeaders->currentIndex();
    if (current.isValid())
        m_w.lvHeaders->selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    m_w.lvHeaders->setFocus();
    m_w.lbName->setText(m_w.pcLeftPanel->tabText(index));
}
