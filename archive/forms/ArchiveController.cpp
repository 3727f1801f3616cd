#include "archive/forms/ArchiveController.h"

#include "kit/ActionFacts.h"
#include "kit/ImageIndex.h"
#include "kit/MessageBoxes.h"
#include "kit/UiLook.h"
#include "archive/ArchiveChannelsModel.h"
#include "archive/ArchiveItem.h"
#include "archive/ArchiveLog.h"
#include "archive/ArchiveStore.h"
#include "archive/ArchiveView.h"
#include "catalogue/ChannelTree.h"
#include "base/DownloadUi.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "reading/forms/FindUnit.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

const QString Ready = QStringLiteral("Gotowe.");

} // namespace

ArchiveController::ArchiveController(const Widgets &w, ChannelTree &tree, RowsOnShow &rows,
                                     IDownloadUi &status, IMessageBoxes &boxes, QObject *parent)
    : QObject(parent), m_w(w), m_tree(tree), m_onShow(rows), m_rows(rows.model()),
      m_status(status), m_boxes(boxes), m_channels(new ArchiveChannelsModel(this))
{
    connect(&m_onShow, &RowsOnShow::sourceChanged, this, &ArchiveController::sourceChanged);
    connect(&m_onShow, &RowsOnShow::cleared, this, [this] { sourceChanged(false); });
    QTreeView *list = m_w.lvArchiveCategories;
    list->setModel(m_channels);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(ArchiveChannelsModel::NameColumn, QHeaderView::Stretch);
    list->setColumnHidden(ArchiveChannelsModel::GuidColumn, true);
    // Its rows are channels and wear the channel picture of the window's image list.
    auto *channels = new ImageIndexDelegate(
        {QIcon(), UiLook::svgIcon(QStringLiteral(":/icons/channel.svg"))},
        ArchiveChannelsModel::ImageIndexRole, list);
    channels->setGridLines(true);
    list->setItemDelegate(channels);
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ArchiveController::lvArchiveCategoriesChange);
}

ArchiveController::~ArchiveController() = default;

void ArchiveController::setArchive(ArchiveStore *store, ArchiveView *view)
{
    m_store = store;
    m_view = view;
}

// The archive view ends when other rows (or none) take the list over.
void ArchiveController::sourceChanged(bool archiveView)
{
    if (archiveView)
        return;
    m_w.cbAllArchiveFilter->setVisible(false);
    emit stateChanged();
}

QString ArchiveController::openFailedMessage()
{
    return QStringLiteral("Nie można nawiązać połączenia z bazą danych archiwum. Jest to "
                          "spowodowane brakiem pliku bazy lub brakiem sterowników w systemie. "
                          "Program kończy działanie.");
}

bool ArchiveController::OpenArchive(const std::function<void()> &open, IMessageBoxes &boxes,
                                    QWidget *window)
{
    try {
        open();
        return true;
    } catch (const std::exception &e) {
        qCWarning(lcArchive) << "archive not opened:" << e.what();
    }
    boxes.error(window, openFailedMessage(), MessageCaptions::Error);
    return false;
}

bool ArchiveController::archiveViewShown() const
{
    return m_view && m_onShow.archiveView();
}

void ArchiveController::reportError(const QString &message)
{
    m_boxes.error(m_w.window, message, MessageCaptions::Error);
}

void ArchiveController::LoadArchiveChannels()
{
    if (!m_store)
        return;
    std::vector<ArchiveChannel> rows;
    try {
        m_store->archiveChannelsQuery().open();
        rows = m_store->archiveChannelsQuery().rows();
    } catch (const ArchiveError &e) {
        reportError(e.message());
    }
    // A refilled list has no selection, so the row shown last is forgotten as well:
    // otherwise picking the row at that position again would show nothing.
    m_lastCategoryRow = -1;
    const QSignalBlocker quiet(m_w.lvArchiveCategories->selectionModel());
    m_channels->setRows(std::move(rows));
}

void ArchiveController::ShowArchive(const QString &channelGuid)
{
    if (!m_view)
        return;
    // The rows on show go first: no row outlives the query it points into.
    m_onShow.clear();
    std::vector<HeaderRow> rows;
    try {
        rows = m_view->open(channelGuid, m_w.edKeyWord->text());
    } catch (const ArchiveError &e) {
        emit stateChanged();
        reportError(e.message());
        return;
    }
    showRows(std::move(rows));
}

void ArchiveController::showRows(std::vector<HeaderRow> rows)
{
    const qint64 count = qint64(rows.size());
    m_status.setStatusText(QStringLiteral("Pokazywanie archiwum..."));
    m_status.progressBegin(count);
    m_onShow.showArchive(*m_view, std::move(rows));
    m_w.cbAllArchiveFilter->setVisible(true);
    m_status.progressWork(count);
    m_status.setStatusText(Ready);
    m_status.progressEnd();
    m_w.lvHeaders->setFocus();
    emit stateChanged();
}

bool ArchiveController::showMatching(int field, const QString &text)
{
    if (!m_view)
        return false;
    const auto column = static_cast<ArchiveQuery::Column>(field);
    std::vector<HeaderRow> rows;
    try {
        if (!m_view->openMatching(column, text, rows))
            return false;
    } catch (const ArchiveError &e) {
        // The query may be gone: so are the rows that pointed into it.
        if (m_onShow.archiveView())
            m_onShow.clear();
        reportError(e.message());
        return true; // said already: no second message
    }
    const qsizetype found = qsizetype(rows.size());
    showRows(std::move(rows));
    m_onShow.model().setTitleNote(
        QStringLiteral("wyniki wyszukiwania w archiwum (%1)").arg(found));
    return true;
}

void ArchiveController::findInArchive(int field, const QString &text)
{
    if (!showMatching(field, text))
        m_boxes.information(m_w.window, TfmFindFrm::notFoundMessage(text),
                            MessageCaptions::Information);
}

int ArchiveController::selectedChannelRow() const
{
    const std::vector<int> rows = SelectedRows(m_w.lvArchiveCategories->selectionModel());
    return rows.empty() ? -1 : rows.front();
}

QString ArchiveController::selectedChannelGuid() const
{
    return m_channels->guidAt(selectedChannelRow());
}

// Asked for "the selected channel" while none is selected (right after the list was
// refilled): the first channel is picked, as the archive page does when it opens. An empty
// list shows the (empty) archive.
void ArchiveController::showSelectedOrFirstChannel()
{
    if (selectedChannelRow() >= 0) {
        ShowArchive(selectedChannelGuid());
        return;
    }
    if (m_channels->rowCount() == 0) {
        ShowArchive(QString());
        return;
    }
    m_w.lvArchiveCategories->setCurrentIndex(m_channels->index(0, 0));
    if (m_lastCategoryRow != 0 || !archiveViewShown())
        ShowArchive(selectedChannelGuid());
}

void ArchiveController::applyFilter()
{
    if (m_w.cbAllArchiveFilter->isChecked())
        ShowArchive(QString());
    else
        showSelectedOrFirstChannel();
}

void ArchiveController::lvArchiveCategoriesChange()
{
    const int row = selectedChannelRow();
    if (row < 0 || row == m_lastCategoryRow)
        return;
    m_w.cbAllArchiveFilter->setChecked(false);
    ShowArchive(m_channels->guidAt(row));
    m_lastCategoryRow = row;
}

void ArchiveController::sbShowAllArchiveClick()
{
    ShowArchive(QString());
    m_w.cbAllArchiveFilter->setChecked(true);
}

void ArchiveController::cbAllArchiveFilterClick()
{
    applyFilter();
}

void ArchiveController::pcLeftPanelChange()
{
    if (!m_store || m_channels->rowCount() == 0)
        return;
    if (selectedChannelRow() < 0)
        m_w.lvArchiveCategories->setCurrentIndex(m_channels->index(0, 0));
    ShowArchive(selectedChannelGuid());
}

void ArchiveController::updateActions(int headerSelection)
{
    const bool archiveView = archiveViewShown();
    const bool canAdd = m_store && !archiveView && headerSelection > 0;
    const bool canDelete = archiveView && headerSelection > 0;
    m_w.acAddToArchive->setEnabled(canAdd);
    m_w.sbAddToArchive->setVisible(canAdd);
    m_w.acArchiveDelete->setEnabled(canDelete);
    m_w.sbArchiveDelete->setVisible(canDelete);
}

void ArchiveController::acAddToArchiveExecute()
{
    IItemSource *source = m_onShow.source();
    if (!m_store || archiveViewShown() || !source)
        return;
    const std::vector<int> selected = SelectedRows(m_w.lvHeaders->selectionModel());
    if (selected.empty())
        return;
    m_status.setStatusText(QStringLiteral("Chwileczkę... Archiwizowanie danych."));
    m_status.progressBegin(qint64(selected.size()));
    const ChannelsByGuid channels(m_tree);
    std::vector<ArchiveRecord> records;
    records.reserve(selected.size());
    qint64 done = 0;
    // All the selected rows or none: an item that cannot be read stops the whole addition.
    QString failure;
    for (int r : selected) {
        const HeaderRow &row = m_rows.row(r);
        try {
            const XmlNode item = source->itemNode(row);
            if (item.isNull())
                throw XmlError(QString());
            records.push_back(MakeArchiveRecord(item, row.chGuid, row.chName, row.date,
                                                row.author, channels.find(row.chGuid)));
        } catch (const XmlError &) {
            failure = QStringLiteral("Nie można odczytać wiadomości „%1”. Nic nie zostało "
                                     "dodane do archiwum.")
                          .arg(row.title);
            break;
        }
        m_status.progressWork(++done);
    }
    if (failure.isEmpty()) {
        try {
            if (m_store->archiveTable().insert(records) != int(records.size()))
                failure = QStringLiteral("Archiwum nie przyjęło wszystkich wiadomości.");
        } catch (const ArchiveError &e) {
            failure = e.message();
        }
    }
    if (!failure.isEmpty()) {
        m_status.progressEnd();
        m_status.setStatusText(Ready);
        reportError(failure);
        return;
    }
    LoadArchiveChannels();
    m_status.progressEnd();
    m_status.setStatusText(QStringLiteral("Gotowe. Wiadomości dodane do archiwum: %1.")
                               .arg(qsizetype(records.size())));
    emit stateChanged();
}

void ArchiveController::acArchiveDeleteExecute()
{
    if (!archiveViewShown())
        return;
    const std::vector<int> selected = SelectedRows(m_w.lvHeaders->selectionModel());
    if (selected.empty())
        return;
    if (!m_boxes.question(m_w.window, QStringLiteral("Czy chcesz trwale usunąć wybrane elementy?"),
                          MessageCaptions::Question))
        return;
    m_status.setStatusText(QStringLiteral("Chwileczkę... Aktualizowanie archiwum."));
    m_status.progressBegin(qint64(selected.size()));
    std::vector<HeaderRow> doomed;
    doomed.reserve(selected.size());
    for (int r : selected)
        doomed.push_back(m_rows.row(r));
    bool deleted = true;
    try {
        m_view->remove(doomed);
    } catch (const ArchiveError &e) {
        deleted = false;
        reportError(e.message());
    }
    if (deleted) {
        // The view is not queried again: the remaining rows keep their IDs, which still
        // address the open query.
        std::vector<HeaderRow> remaining;
        const std::vector<HeaderRow> &all = m_rows.rows();
        remaining.reserve(all.size() - selected.size());
        size_t next = 0;
        for (size_t i = 0; i < all.size(); ++i) {
            if (next < selected.size() && int(i) == selected[next]) {
                ++next;
                continue;
            }
            remaining.push_back(all[i]);
        }
        m_onShow.replaceRows(std::move(remaining));
    }
    m_status.progressWork(qint64(selected.size()));
    m_status.progressEnd();
    m_status.setStatusText(Ready);
    // A failed deletion changed nothing (one transaction), so the list needs no reload.
    if (deleted) {
        LoadArchiveChannels();
        emit shownItemDeleted();
    }
    emit stateChanged();
}
