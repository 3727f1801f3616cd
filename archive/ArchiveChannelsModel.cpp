#include "archive/ArchiveChannelsModel.h"

#include "feed/HtmlText.h"

void ArchiveChannelsModel::setRows(std::vector<ArchiveChannel> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QString ArchiveChannelsModel::guidAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].sChGUID : QString();
}

int ArchiveChannelsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ArchiveChannelsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ArchiveChannelsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ArchiveChannel &row = m_rows[size_t(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const QString text = index.column() == NameColumn ? row.sChannelName : row.sChGUID;
        return role == Qt::ToolTipRole ? HtmlText::PlainToolTip(text) : text;
    }
    if (role == ImageIndexRole && index.column() == NameColumn)
        return 1;
    return {};
}

QVariant ArchiveChannelsModel::headerData(int section, Qt::Orientation orientation,
                                          int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == NameColumn)
        return QStringLiteral("Nazwa kanału:");
    if (section == GuidColumn)
        return QStringLiteral("cGUID");
    return {};
}
