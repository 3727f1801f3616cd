#pragma once

#include "reading/HeaderListModel.h"

#include <QObject>

#include <vector>

class IItemSource;
class QModelIndex;
class ShownChannel;

// The one owner of the rows on show in the header list and of the source their items come
// from: the channel on show or the archive. It gives the row value behind an index of any
// view over its model and clears the rows before the document they point into goes away.
class RowsOnShow : public QObject
{
    Q_OBJECT
public:
    explicit RowsOnShow(QObject *parent = nullptr);
    ~RowsOnShow() override;

    HeaderListModel &model() { return m_model; }
    const HeaderListModel &model() const { return m_model; }
    // Null while nothing is on show.
    IItemSource *source() const { return m_source; }
    // True while the rows are archive rows (the archive view).
    bool archiveView() const { return m_source && m_archiveView; }
    bool shows(const IItemSource &source) const { return m_source == &source; }

    // The row behind an index of a view over the model, through any proxies in between;
    // null for an index of another model or out of range.
    const HeaderRow *rowAt(const QModelIndex &viewIndex) const;
    // The model's row number behind a view index; -1 when there is none.
    int modelRow(const QModelIndex &viewIndex) const;

    // The channel's rows, sorted by the current sort. Once its document lets go of the
    // file, the rows are cleared.
    void showChannel(ShownChannel &channel, std::vector<HeaderRow> rows);
    // Channel rows from any source (the channel on show, or rows gathered from several),
    // sorted by the current sort.
    void showChannelRows(IItemSource &source, std::vector<HeaderRow> rows);
    // Rows gathered from several channels, each row's item in its own channel's cache file,
    // sorted by the current sort; the channel on show lets go of its document first.
    // `presorted`: in the current sort's order already.
    void showGathered(IItemSource &source, std::vector<HeaderRow> rows, bool presorted = false);
    bool gatheredView() const { return m_source && m_model.rowSource() == HeaderListModel::RowSource::Gathered; }
    // Archive rows, in the order given.
    void showArchive(IItemSource &archive, std::vector<HeaderRow> rows);
    // New rows from the source already on show, kept in the order given (archive rows
    // after a deletion); nothing when nothing is on show.
    void replaceRows(std::vector<HeaderRow> rows);
    // No rows and no source.
    void clear();

signals:
    // The source on show changed (a channel or the archive took over).
    void sourceChanged(bool archiveView);
    // The rows were cleared: nothing is on show.
    void cleared();

private:
    void show(IItemSource &source, std::vector<HeaderRow> rows, HeaderListModel::RowSource kind,
              bool presorted = false);
    void leaveSource();

    HeaderListModel m_model;
    IItemSource *m_source = nullptr;
    bool m_archiveView = false;
    ShownChannel *m_watched = nullptr;
    QMetaObject::Connection m_closing;
};
