#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QVector>

// The lines of the synchronisation report: text and icon (0 error, 1 success).
class ReportLog : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Icon { ErrorIcon = 0, SuccessIcon = 1 };
    enum Roles { IconRole = Qt::UserRole + 1 }; // the icon index of a line

    struct Line
    {
        QString text;
        int icon = ErrorIcon;
    };

    explicit ReportLog(QObject *parent = nullptr);

    void addLine(const QString &text, int icon);
    void clear();
    const QVector<Line> &lines() const { return m_lines; }
    int errorCount() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // The one column is "Raport:".
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QVector<Line> m_lines;
};
