#include "reading/HeaderListModel.h"

#include "feed/HtmlText.h"

#include <QCollator>
#include <QHash>

#include <algorithm>
#include <numeric>
#include <thread>

namespace {

const char *const Captions[HeaderColumnCount] = {"Tytuł:", "Data publikacji:", "Autor:", "ID",
                                                 "GUID",   "chGUID",           "sVersion",
                                                 "CHName"};

// Lists this long are keyed and sorted on two threads.
constexpr size_t ParallelFrom = 20000;

std::vector<QCollatorSortKey> keysOf(const QLocale &locale, const QString *begin,
                                     const QString *end)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(end - begin));
    for (const QString *text = begin; text != end; ++text)
        keys.push_back(collator.sortKey(*text));
    return keys;
}

// Collator keys of every text, in order. A collator serves one thread, so each half of a long
// list gets its own.
std::vector<QCollatorSortKey> sortKeys(const QLocale &locale, const std::vector<QString> &texts)
{
    const QString *begin = texts.data();
    const QString *end = begin + texts.size();
    if (texts.size() < ParallelFrom)
        return keysOf(locale, begin, end);
    const QString *middle = begin + texts.size() / 2;
    std::vector<QCollatorSortKey> firstHalf;
    std::thread first([&] { firstHalf = keysOf(locale, begin, middle); });
    std::vector<QCollatorSortKey> secondHalf = keysOf(locale, middle, end);
    first.join();
    firstHalf.reserve(texts.size());
    for (QCollatorSortKey &key : secondHalf)
        firstHalf.push_back(std::move(key));
    return firstHalf;
}

} // namespace

HeaderListModel::HeaderListModel(QObject *parent) : QAbstractTableModel(parent) {}

void HeaderListModel::setRows(std::vector<HeaderRow> rows, RowSource source, bool presorted)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_source = source;
    m_titleNote.clear();
    if (source != RowSource::Archive && !presorted && m_rows.size() > 1) {
        const std::vector<int> order = sortedOrder();
        std::vector<HeaderRow> sorted;
        sorted.reserve(m_rows.size());
        for (int from : order)
            sorted.push_back(std::move(m_rows[size_t(from)]));
        m_rows = std::move(sorted);
    }
    endResetModel();
}

void HeaderListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_titleNote.clear();
    endResetModel();
}

void HeaderListModel::setTitleNote(const QString &note)
{
    if (note == m_titleNote)
        return;
    m_titleNote = note;
    emit headerDataChanged(Qt::Horizontal, ColTitle, ColTitle);
}

void HeaderListModel::setSortState(int column, bool descending)
{
    if (column < 0 || column >= HeaderColumnCount)
        column = 0;
    const bool changed = column != m_sortColumn || descending != m_sortDescending;
    const int before = m_sortColumn;
    m_sortColumn = column;
    m_sortDescending = descending;
    if (changed) {
        emit headerDataChanged(Qt::Horizontal, qMin(before, column), qMax(before, column));
        emit sortChanged(m_sortColumn, m_sortDescending);
    }
}

void HeaderListModel::columnClicked(int column)
{
    if (column < 0 || column >= HeaderColumnCount)
        return;
    setSortState(column, column == m_sortColumn ? !m_sortDescending : m_sortDescending);
    sortRows();
}

std::vector<int> HeaderListModel::sortedOrder() const
{
    return SortOrder(m_rows, m_sortColumn, m_sortDescending, m_locale);
}

std::vector<int> HeaderListModel::SortOrder(const std::vector<HeaderRow> &rows, int column,
                                            bool descendingOrder, const QLocale &locale)
{
    const size_t n = rows.size();
    // One key per distinct text where texts repeat a lot (dates, authors, versions).
    const bool distinctMostly = column == ColTitle || column == ColId ||
                                column == ColGuid;
    std::vector<QString> texts;
    std::vector<int> rowKey(n);
    if (distinctMostly) {
        texts.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            texts.push_back(headerColumnText(rows[i], column));
            rowKey[i] = int(i);
        }
    } else {
        QHash<QString, int> keyOf;
        for (size_t i = 0; i < n; ++i) {
            const QString text = headerColumnText(rows[i], column);
            auto it = keyOf.constFind(text);
            if (it == keyOf.constEnd()) {
                it = keyOf.insert(text, int(texts.size()));
                texts.push_back(text);
            }
            rowKey[i] = it.value();
        }
    }
    const std::vector<QCollatorSortKey> keys = sortKeys(locale, texts);

    const bool descending = descendingOrder;
    const auto before = [&](int a, int b) {
        const int ka = rowKey[size_t(a)], kb = rowKey[size_t(b)];
        if (ka == kb)
            return false;
        const int c = keys[size_t(ka)].compare(keys[size_t(kb)]);
        return descending ? c > 0 : c < 0;
    };
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    if (n < ParallelFrom) {
        std::stable_sort(order.begin(), order.end(), before);
        return order;
    }
    // Two halves side by side, then one stable merge.
    const auto middle = order.begin() + std::ptrdiff_t(n / 2);
    std::thread first([&] { std::stable_sort(order.begin(), middle, before); });
    std::stable_sort(middle, order.end(), before);
    first.join();
    std::vector<int> merged(n);
    std::merge(order.begin(), middle, middle, order.end(), merged.begin(), before);
    return merged;
}

void HeaderListModel::sortRows()
{
    if (m_rows.size() < 2)
        return;
    const std::vector<int> order = sortedOrder();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    std::vector<HeaderRow> sorted;
    sorted.reserve(m_rows.size());
    for (size_t to = 0; to < order.size(); ++to) {
        newRowOf[size_t(order[to])] = int(to);
        sorted.push_back(std::move(m_rows[size_t(order[to])]));
    }
    m_rows = std::move(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex &index : from)
        to.append(index.isValid() ? createIndex(newRowOf[size_t(index.row())], index.column())
                                  : QModelIndex());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void HeaderListModel::setUnread(int row, bool unread)
{
    if (row < 0 || size_t(row) >= m_rows.size() || m_rows[size_t(row)].unread == unread)
        return;
    HeaderRow &r = m_rows[size_t(row)];
    r.unread = unread;
    emit dataChanged(index(row, 0), index(row, HeaderColumnCount - 1), {ImageIndexRole});
    if (m_source != RowSource::Archive)
        emit unreadChanged(r.chGuid, unread ? 1 : -1);
}

void HeaderListModel::renameChannel(const QString &chGuid, const QString &name)
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        HeaderRow &r = m_rows[i];
        if (r.chGuid != chGuid || r.chName == name)
            continue;
        r.chName = name;
        emit dataChanged(index(int(i), ColChName), index(int(i), ColChName), {Qt::DisplayRole});
    }
}

int HeaderListModel::markChannelRead(const QString &chGuid)
{
    if (m_source != RowSource::Channel)
        return 0;
    int changed = 0, first = -1, last = -1;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        HeaderRow &r = m_rows[i];
        if (!r.unread || r.chGuid != chGuid)
            continue;
        r.unread = false;
        ++changed;
        if (first < 0)
            first = int(i);
        last = int(i);
    }
    if (changed == 0)
        return 0;
    emit dataChanged(index(first, 0), index(last, HeaderColumnCount - 1), {ImageIndexRole});
    emit unreadChanged(chGuid, -changed);
    return changed;
}

int HeaderListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int HeaderListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : HeaderColumnCount;
}

QVariant HeaderListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HeaderRow &r = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return headerColumnText(r, index.column());
    case Qt::ToolTipRole:
        return index.column() == ColTitle ? QVariant(HtmlText::PlainToolTip(r.title)) : QVariant();
    case ImageIndexRole:
        return index.column() == ColTitle ? QVariant(r.imageIndex()) : QVariant();
    default:
        return QVariant();
    }
}

QVariant HeaderListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= HeaderColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        if (section == ColChName && m_source == RowSource::Gathered)
            return QStringLiteral("Kanał:");
        const QString caption = QString::fromUtf8(Captions[section]);
        return section == ColTitle && !m_titleNote.isEmpty()
                   ? caption + QLatin1Char(' ') + m_titleNote
                   : caption;
    }
    if (role == ImageIndexRole)
        return section == m_sortColumn ? (m_sortDescending ? 5 : 6) : -1;
    return QVariant();
}

Qt::ItemFlags HeaderListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void HeaderListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= HeaderColumnCount)
        return;
    setSortState(column, order == Qt::DescendingOrder);
    sortRows();
}
