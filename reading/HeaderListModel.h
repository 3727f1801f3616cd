#pragma once

#include "reading/HeaderRow.h"

#include <QAbstractTableModel>
#include <QLocale>

#include <vector>

// The header list: a table over a plain vector of rows, one reset per fill. It owns the sort
// state (column and direction), which the window reads back at close.
class HeaderListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Same role number as the channel tree's, so one delegate draws both.
    enum Role { ImageIndexRole = Qt::UserRole + 1 };
    // Where the rows come from. The archive view fills the same list; its rows keep the
    // order they were given in until the next column click. Gathered rows come from several
    // channels (a group, search results): sorted as a channel's, their channel column
    // captioned "Kanał:".
    enum class RowSource { Channel, Archive, Gathered };

    explicit HeaderListModel(QObject *parent = nullptr);

    // The locale the sort compares in; the user's own by default.
    void setLocale(const QLocale &locale) { m_locale = locale; }
    const QLocale &locale() const { return m_locale; }

    // Replaces every row in one reset. Channel rows are sorted by the current sort first;
    // archive rows stay as given.
    // `presorted`: the rows come in the current sort's order already (sorted elsewhere,
    // off the window's thread).
    void setRows(std::vector<HeaderRow> rows, RowSource source = RowSource::Channel,
                 bool presorted = false);
    // The order sortRows() puts the rows in for that column and direction: indexes into
    // `rows`. Safe on any thread.
    static std::vector<int> SortOrder(const std::vector<HeaderRow> &rows, int column,
                                      bool descending, const QLocale &locale);
    void clear();
    // What the rows on show are, told in the title column's caption after the caption
    // itself ("Tytuł: wyniki wyszukiwania ..."); every new fill clears it.
    void setTitleNote(const QString &note);
    QString titleNote() const { return m_titleNote; }
    RowSource rowSource() const { return m_source; }
    const std::vector<HeaderRow> &rows() const { return m_rows; }
    const HeaderRow &row(int index) const { return m_rows.at(size_t(index)); }

    int sortColumn() const { return m_sortColumn; }
    bool sortDescending() const { return m_sortDescending; }
    // The stored sort state, as read at start; a column out of range falls back to 0.
    void setSortState(int column, bool descending);
    // A click on a column header: the same column flips the direction, another keeps it;
    // then the rows are sorted by that column.
    void columnClicked(int column);
    // Sorts by the current state: case-insensitive, locale-aware text order of the column,
    // reversed when descending; dates are compared as text. Selections and other persistent
    // indexes follow their rows.
    void sortRows();

    // A read mark changed: one row repaints, and the channel's unread count follows.
    void setUnread(int row, bool unread);
    // A channel of the rows was renamed: their channel column follows.
    void renameChannel(const QString &chGuid, const QString &name);
    // Every channel row of the channel read, in one change; gives the number changed.
    int markChannelRead(const QString &chGuid);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // Horizontal: the caption; ImageIndexRole gives 5 on the sort column when descending,
    // 6 when ascending, -1 elsewhere.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order) override;

signals:
    void sortChanged(int column, bool descending);
    // Only channel rows report: `delta` is +1 or -1.
    void unreadChanged(const QString &chGuid, int delta);

private:
    std::vector<int> sortedOrder() const;

    std::vector<HeaderRow> m_rows;
    RowSource m_source = RowSource::Channel;
    int m_sortColumn = 0;
    bool m_sortDescending = false;
    QLocale m_locale;
    QString m_titleNote;
};
