#include "sync/ReportLog.h"

#include "feed/HtmlText.h"

ReportLog::ReportLog(QObject *parent) : QAbstractListModel(parent) {}

void ReportLog::addLine(const QString &text, int icon)
{
    const int row = m_lines.size();
    beginInsertRows(QModelIndex(), row, row);
    m_lines.push_back(Line{text, icon});
    endInsertRows();
}

void ReportLog::clear()
{
    if (m_lines.isEmpty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

int ReportLog::errorCount() const
{
    int n = 0;
    for (const Line &line : m_lines)
        if (line.icon == ErrorIcon)
            ++n;
    return n;
}

int ReportLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_lines.size();
}

QVariant ReportLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_lines.size() || index.column() != 0)
        return QVariant();
    const Line &line = m_lines[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return line.text;
    case Qt::ToolTipRole:
        return HtmlText::PlainToolTip(line.text);
    case IconRole:
        return line.icon;
    default:
        return QVariant();
    }
}

QVariant ReportLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == 0)
        return QStringLiteral("Raport:");
    return QVariant();
}

Qt::ItemFlags ReportLog::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}
