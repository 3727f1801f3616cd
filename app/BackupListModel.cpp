#include "app/BackupListModel.h"

#include <QLocale>

BackupListModel::BackupListModel(QObject *parent) : QAbstractTableModel(parent) {}

void BackupListModel::setCopies(std::vector<BackupInfo> copies)
{
    beginResetModel();
    m_copies = std::move(copies);
    endResetModel();
}

const BackupInfo *BackupListModel::copyAt(int row) const
{
    return row >= 0 && row < int(m_copies.size()) ? &m_copies[size_t(row)] : nullptr;
}

QString BackupListModel::dateText(const BackupInfo &copy)
{
    if (!copy.made.isValid())
        return copy.name;
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    return polish.toString(copy.made, QStringLiteral("d MMMM yyyy, HH:mm"));
}

QString BackupListModel::stateText(const BackupInfo &copy)
{
    if (copy.damaged)
        return QStringLiteral("uszkodzona: ") + copy.problem;
    return copy.beforeRestore ? QStringLiteral("stan sprzed przywrócenia")
                              : QStringLiteral("kopia dnia");
}

int BackupListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_copies.size());
}

int BackupListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BackupListModel::data(const QModelIndex &index, int role) const
{
    const BackupInfo *copy = copyAt(index.row());
    if (!copy || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QVariant();
    switch (index.column()) {
    case DateColumn:
        return dateText(*copy);
    case ChannelsColumn:
        return copy->channels >= 0 ? QString::number(copy->channels) : QStringLiteral("?");
    case StateColumn:
        return stateText(*copy);
    default:
        return QVariant();
    }
}

QVariant BackupListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case DateColumn:
        return QStringLiteral("Data");
    case ChannelsColumn:
        return QStringLiteral("Kanały");
    case StateColumn:
        return QStringLiteral("Stan");
    default:
        return QVariant();
    }
}

Qt::ItemFlags BackupListModel::flags(const QModelIndex &index) const
{
    const BackupInfo *copy = copyAt(index.row());
    if (!copy)
        return Qt::NoItemFlags;
    // Listed, greyed, never chosen.
    return copy->damaged ? Qt::ItemNeverHasChildren
                         : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
