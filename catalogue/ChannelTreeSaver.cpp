#include "catalogue/ChannelTreeSaver.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"

#include <QFile>

#include <utility>

ChannelTreeSaver::ChannelTreeSaver(ChannelTree &tree, QString path, QObject *parent)
    : QObject(parent), m_tree(tree), m_path(std::move(path))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, [this] { flush(); });
}

void ChannelTreeSaver::start()
{
    if (m_started)
        return;
    m_started = true;
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        m_onDisk = file.readAll();
    const auto changed = [this] { noteChanged(); };
    connect(&m_tree, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&m_tree, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&m_tree, &QAbstractItemModel::rowsMoved, this, changed);
    connect(&m_tree, &QAbstractItemModel::dataChanged, this, changed);
    connect(&m_tree, &QAbstractItemModel::modelReset, this, changed);
    connect(&m_tree, &QAbstractItemModel::layoutChanged, this, changed);
}

void ChannelTreeSaver::noteChanged()
{
    if (!m_started)
        return;
    m_dirty = true;
    schedule();
}

void ChannelTreeSaver::hold()
{
    ++m_holds;
    m_timer.stop();
}

void ChannelTreeSaver::release()
{
    if (m_holds > 0 && --m_holds == 0 && m_dirty)
        flush();
}

void ChannelTreeSaver::schedule()
{
    if (m_holds == 0 && !m_timer.isActive())
        m_timer.start();
}

bool ChannelTreeSaver::flush()
{
    try {
        commit();
    } catch (const FileError &e) {
        emit saveFailed(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void ChannelTreeSaver::commit()
{
    m_timer.stop();
    if (!m_started || !m_dirty)
        return;
    const QByteArray bytes = ChannelTreeFileBytes(m_tree);
    if (bytes == m_onDisk) {
        m_dirty = false;
        return;
    }
    write(bytes);
}

void ChannelTreeSaver::writeNow()
{
    m_timer.stop();
    write(ChannelTreeFileBytes(m_tree));
}

void ChannelTreeSaver::write(const QByteArray &bytes)
{
    // The file holds the channels' passwords: readable by the user alone.
    WriteFileAtomically(m_path, bytes, Durability::Synced, FileAccess::OwnerOnly);
    m_onDisk = bytes;
    m_dirty = false;
    ++m_writes;
    emit saved();
}
