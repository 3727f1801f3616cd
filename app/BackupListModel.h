#pragma once

#include "app/UserBackups.h"

#include <QAbstractTableModel>

#include <vector>

// The copies as the restore dialog lists them: date, channels, state. A damaged copy is
// listed, but not enabled: it cannot be chosen.
class BackupListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { DateColumn, ChannelsColumn, StateColumn, ColumnCount };

    explicit BackupListModel(QObject *parent = nullptr);

    void setCopies(std::vector<BackupInfo> copies);
    const std::vector<BackupInfo> &copies() const { return m_copies; }
    // The copy of a row; null out of range.
    const BackupInfo *copyAt(int row) const;

    // The date as the list shows it, e.g. "10 grudnia 2026, 08:15".
    static QString dateText(const BackupInfo &copy);
    static QString stateText(const BackupInfo &copy);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    std::vector<BackupInfo> m_copies;
};
