#include "reading/RowsOnShow.h"

#include "reading/ItemSource.h"
#include "reading/ShownChannel.h"

#include <QAbstractProxyModel>

RowsOnShow::RowsOnShow(QObject *parent) : QObject(parent) {}

RowsOnShow::~RowsOnShow() = default;

int RowsOnShow::modelRow(const QModelIndex &viewIndex) const
{
    QModelIndex index = viewIndex;
    while (const auto *proxy = qobject_cast<const QAbstractProxyModel *>(index.model()))
        index = proxy->mapToSource(index);
    if (!index.isValid() || index.model() != &m_model || index.row() >= m_model.rowCount())
        return -1;
    return index.row();
}

const HeaderRow *RowsOnShow::rowAt(const QModelIndex &viewIndex) const
{
    const int row = modelRow(viewIndex);
    return row < 0 ? nullptr : &m_model.row(row);
}

void RowsOnShow::leaveSource()
{
    IItemSource *left = m_source;
    m_source = nullptr;
    if (left)
        left->rowsLeft();
}

void RowsOnShow::show(IItemSource &source, std::vector<HeaderRow> rows,
                      HeaderListModel::RowSource kind, bool presorted)
{
    const bool archive = kind == HeaderListModel::RowSource::Archive;
    const bool changed = m_source != &source || m_archiveView != archive ||
                         m_model.rowSource() != kind;
    if (m_source != &source)
        leaveSource();
    m_source = &source;
    m_archiveView = archive;
    m_model.setRows(std::move(rows), kind, presorted);
    if (changed)
        emit sourceChanged(archive);
}

void RowsOnShow::showChannel(ShownChannel &channel, std::vector<HeaderRow> rows)
{
    if (m_watched != &channel) {
        disconnect(m_closing);
        m_watched = &channel;
        m_closing = connect(&channel, &ShownChannel::closing, this, [this, &channel] {
            if (shows(channel))
                clear();
        });
    }
    show(channel, std::move(rows), HeaderListModel::RowSource::Channel);
}

void RowsOnShow::showChannelRows(IItemSource &source, std::vector<HeaderRow> rows)
{
    show(source, std::move(rows), HeaderListModel::RowSource::Channel);
}

void RowsOnShow::showGathered(IItemSource &source, std::vector<HeaderRow> rows, bool presorted)
{
    if (m_watched)
        m_watched->release();
    show(source, std::move(rows), HeaderListModel::RowSource::Gathered, presorted);
}

void RowsOnShow::showArchive(IItemSource &archive, std::vector<HeaderRow> rows)
{
    show(archive, std::move(rows), HeaderListModel::RowSource::Archive);
}

void RowsOnShow::replaceRows(std::vector<HeaderRow> rows)
{
    if (!m_source)
        return;
    m_model.setRows(std::move(rows), m_model.rowSource());
}

void RowsOnShow::clear()
{
    const bool hadSource = m_source != nullptr;
    leaveSource();
    m_archiveView = false;
    m_model.clear();
    if (hadSource)
        emit cleared();
}
