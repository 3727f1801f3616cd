#pragma once

#include "archive/ArchiveStore.h"

#include <QAbstractTableModel>

#include <vector>

// The list of the archive's channels (lvArchiveCategories): the channel's name as stored
// (bars are not turned back here) and its GUID in a hidden second column, with the channel
// image.
class ArchiveChannelsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The same role as the channel tree's, so one delegate draws both.
    enum Role { ImageIndexRole = Qt::UserRole + 1 };
    enum Column { NameColumn = 0, GuidColumn = 1 };

    using QAbstractTableModel::QAbstractTableModel;

    // One reset for the whole list.
    void setRows(std::vector<ArchiveChannel> rows);
    const std::vector<ArchiveChannel> &rows() const { return m_rows; }
    // The GUID of a row; empty when out of range.
    QString guidAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<ArchiveChannel> m_rows;
};
