#include "catalogue/ChannelTree.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <QStringList>

#include <algorithm>
#include <unordered_set>

ChannelNode::ChannelNode(const QString &text, NodeKind kind, ChannelNode *parent)
    : m_text(text), m_kind(kind), m_parent(parent)
{
}

ChannelNode *ChannelNode::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    return m_children[static_cast<size_t>(index)].get();
}

QList<ChannelNode *> ChannelNode::children() const
{
    QList<ChannelNode *> result;
    result.reserve(childCount());
    for (const auto &c : m_children)
        result.append(c.get());
    return result;
}

bool ChannelNode::contains(const ChannelNode *node) const
{
    for (; node; node = node->m_parent) {
        if (node == this)
            return true;
    }
    return false;
}

TtvChannel *ChannelNode::channel() const
{
    if (m_kind != NodeKind::Channel)
        return nullptr;
    return dynamic_cast<TtvChannel *>(m_record);
}

QString ChannelTree::defaultRootName()
{
    return QStringLiteral("Moje kanały");
}

ChannelTree::ChannelTree(QObject *parent)
    : QAbstractItemModel(parent),
      m_root(new ChannelNode(defaultRootName(), NodeKind::Group, nullptr))
{
    m_root->m_record = newRecord(NodeKind::Group);
}

ChannelTree::~ChannelTree() = default;

int ChannelTree::count() const
{
    ensurePreOrder();
    return static_cast<int>(m_preOrder.size());
}

ChannelNode *ChannelTree::nodeAt(int absoluteIndex) const
{
    ensurePreOrder();
    if (absoluteIndex < 0 || absoluteIndex >= static_cast<int>(m_preOrder.size()))
        return nullptr;
    return m_preOrder[static_cast<size_t>(absoluteIndex)];
}

int ChannelTree::absoluteIndex(const ChannelNode *node) const
{
    if (!node)
        return -1;
    ensurePreOrder();
    const int index = node->m_absoluteIndex;
    if (index < 0 || index >= static_cast<int>(m_preOrder.size()) ||
        m_preOrder[static_cast<size_t>(index)] != node)
        return -1;
    return index;
}

QList<ChannelNode *> ChannelTree::nodesInPreOrder() const
{
    ensurePreOrder();
    return QList<ChannelNode *>(m_preOrder.begin(), m_preOrder.end());
}

QList<ChannelNode *> ChannelTree::channelsInPreOrder() const
{
    ensurePreOrder();
    QList<ChannelNode *> result;
    for (ChannelNode *node : m_preOrder) {
        if (node->isChannel())
            result.append(node);
    }
    return result;
}

ChannelNode *ChannelTree::addNode(ChannelNode *parent, const QString &name, NodeKind kind)
{
    if (absoluteIndex(parent) < 0)
        return nullptr;

    // The new node follows the parent's last descendant in pre-order. While loading, this is
    // the end of the list, so the cache is extended rather than rebuilt.
    const ChannelNode *last = parent;
    while (!last->m_children.empty())
        last = last->m_children.back().get();
    const int insertAt = last->m_absoluteIndex + 1;
    const int row = parent->childCount();

    beginInsertRows(indexOf(parent), row, row);
    std::unique_ptr<ChannelNode> owned(new ChannelNode(name, kind, parent));
    ChannelNode *node = owned.get();
    node->m_row = row;
    parent->m_children.push_back(std::move(owned));

    m_preOrder.insert(m_preOrder.begin() + insertAt, node);
    for (size_t i = static_cast<size_t>(insertAt); i < m_preOrder.size(); ++i)
        m_preOrder[i]->m_absoluteIndex = static_cast<int>(i);

    NodeRecord *record = newRecord(kind);
    record->parentPosition = parent->m_row;
    record->position = insertAt;
    node->m_record = record;
    endInsertRows();
    return node;
}

void ChannelTree::deleteNode(ChannelNode *node)
{
    if (!node || node == m_root.get() || absoluteIndex(node) < 0)
        return;

    std::vector<NodeRecord *> records;
    std::vector<const ChannelNode *> pending{node};
    while (!pending.empty()) {
        const ChannelNode *current = pending.back();
        pending.pop_back();
        records.push_back(current->m_record);
        for (const auto &c : current->m_children)
            pending.push_back(c.get());
    }

    ChannelNode *parent = node->m_parent;
    const int row = node->m_row;
    beginRemoveRows(indexOf(parent), row, row);
    std::unique_ptr<ChannelNode> owned = std::move(parent->m_children[static_cast<size_t>(row)]);
    parent->m_children.erase(parent->m_children.begin() + row);
    renumberChildren(parent, row);
    invalidatePreOrder();
    endRemoveRows();

    owned.reset();
    freeRecords(records);
}

bool ChannelTree::moveNode(ChannelNode *node, ChannelNode *newParent)
{
    if (!node || !newParent || node == m_root.get() || node->contains(newParent))
        return false;
    if (absoluteIndex(node) < 0 || absoluteIndex(newParent) < 0)
        return false;

    ChannelNode *oldParent = node->m_parent;
    const int sourceRow = node->m_row;
    const int destinationRow = newParent->childCount();
    if (oldParent == newParent && sourceRow == destinationRow - 1)
        return false;
    if (!beginMoveRows(indexOf(oldParent), sourceRow, sourceRow, indexOf(newParent),
                       destinationRow))
        return false;

    std::unique_ptr<ChannelNode> owned =
        std::move(oldParent->m_children[static_cast<size_t>(sourceRow)]);
    oldParent->m_children.erase(oldParent->m_children.begin() + sourceRow);
    renumberChildren(oldParent, sourceRow);
    owned->m_parent = newParent;
    owned->m_row = newParent->childCount();
    newParent->m_children.push_back(std::move(owned));
    invalidatePreOrder();
    endMoveRows();
    return true;
}

bool ChannelTree::placeAllowed(const ChannelNode *node, const ChannelNode *newParent,
                               int row) const
{
    if (!node || !newParent || node == m_root.get() || node->contains(newParent))
        return false;
    if (row < 0 || row > newParent->childCount())
        return false;
    if (absoluteIndex(node) < 0 || absoluteIndex(newParent) < 0)
        return false;
    // Before itself or before its next sibling: where it stands already.
    return !(node->m_parent == newParent && (row == node->m_row || row == node->m_row + 1));
}

bool ChannelTree::placeNode(ChannelNode *node, ChannelNode *newParent, int row)
{
    if (!placeAllowed(node, newParent, row))
        return false;
    ChannelNode *oldParent = node->m_parent;
    const int sourceRow = node->m_row;
    if (!beginMoveRows(indexOf(oldParent), sourceRow, sourceRow, indexOf(newParent), row))
        return false;
    std::unique_ptr<ChannelNode> owned =
        std::move(oldParent->m_children[static_cast<size_t>(sourceRow)]);
    oldParent->m_children.erase(oldParent->m_children.begin() + sourceRow);
    // The row was counted with the node still in its old place.
    const int at = oldParent == newParent && row > sourceRow ? row - 1 : row;
    owned->m_parent = newParent;
    newParent->m_children.insert(newParent->m_children.begin() + at, std::move(owned));
    renumberChildren(oldParent, 0);
    if (newParent != oldParent)
        renumberChildren(newParent, 0);
    invalidatePreOrder();
    endMoveRows();
    return true;
}

void ChannelTree::noteRecordChanged(ChannelNode *node)
{
    const QModelIndex index = indexOf(node);
    if (index.isValid())
        emit dataChanged(index, index);
}

void ChannelTree::renameNode(ChannelNode *node, const QString &name)
{
    if (absoluteIndex(node) < 0)
        return;
    node->m_text = name;
    const QModelIndex index = indexOf(node);
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
}

void ChannelTree::clear()
{
    beginResetModel();
    m_root->m_children.clear();
    m_root->m_text = defaultRootName();
    m_records.clear();
    m_root->m_record = newRecord(NodeKind::Group);
    invalidatePreOrder();
    endResetModel();
}

QModelIndex ChannelTree::indexOf(const ChannelNode *node) const
{
    if (!node)
        return {};
    return createIndex(node->m_row, 0, const_cast<ChannelNode *>(node));
}

ChannelNode *ChannelTree::nodeFromIndex(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<ChannelNode *>(index.internalPointer());
}

QModelIndex ChannelTree::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 ? indexOf(m_root.get()) : QModelIndex();
    const ChannelNode *parentNode = nodeFromIndex(parent);
    if (!parentNode || parent.column() != 0)
        return {};
    ChannelNode *node = parentNode->child(row);
    return node ? createIndex(row, 0, node) : QModelIndex();
}

QModelIndex ChannelTree::parent(const QModelIndex &child) const
{
    const ChannelNode *node = nodeFromIndex(child);
    if (!node || !node->m_parent)
        return {};
    return indexOf(node->m_parent);
}

int ChannelTree::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    const ChannelNode *node = nodeFromIndex(parent);
    return node ? node->childCount() : 0;
}

int ChannelTree::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ChannelTree::data(const QModelIndex &index, int role) const
{
    const ChannelNode *node = nodeFromIndex(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node->m_text;
    case ImageIndexRole:
        return node->imageIndex();
    default:
        return {};
    }
}

bool ChannelTree::setData(const QModelIndex &index, const QVariant &value, int role)
{
    ChannelNode *node = nodeFromIndex(index);
    // An invalid value is what a view's clearing after a move sends: it is no name.
    if (!node || role != Qt::EditRole || !value.isValid())
        return false;
    const QString name = value.toString();
    // Space then Enter in an editor opened by a second click would blank the name: a blank
    // name is never what the user meant, so the old one stays.
    if (name.trimmed().isEmpty())
        return false;
    if (name.size() > MaxEditedName) {
        emit renameRefused(node);
        return false;
    }
    renameNode(node, name);
    return true;
}

Qt::ItemFlags ChannelTree::flags(const QModelIndex &index) const
{
    const ChannelNode *node = nodeFromIndex(index);
    if (!node)
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags result =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled;
    if (node != m_root.get())
        result |= Qt::ItemIsDragEnabled;
    return result;
}

QHash<int, QByteArray> ChannelTree::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(ImageIndexRole, "imageIndex");
    return names;
}

QString ChannelTree::nodeMimeType()
{
    return QStringLiteral("application/x-kolvani-channel-node");
}

QStringList ChannelTree::mimeTypes() const
{
    return {nodeMimeType()};
}

QMimeData *ChannelTree::mimeData(const QModelIndexList &indexes) const
{
    for (const QModelIndex &index : indexes) {
        const ChannelNode *node = nodeFromIndex(index);
        if (!node || node == m_root.get())
            continue;
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << quint64(reinterpret_cast<quintptr>(this)) << qint32(absoluteIndex(node));
        auto *data = new QMimeData;
        data->setData(nodeMimeType(), bytes);
        return data;
    }
    return nullptr;
}

Qt::DropActions ChannelTree::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions ChannelTree::supportedDropActions() const
{
    return Qt::MoveAction;
}

ChannelNode *ChannelTree::draggedNode(const QMimeData *data) const
{
    if (!data || !data->hasFormat(nodeMimeType()))
        return nullptr;
    QDataStream in(data->data(nodeMimeType()));
    quint64 tree = 0;
    qint32 index = -1;
    in >> tree >> index;
    if (in.status() != QDataStream::Ok || tree != quint64(reinterpret_cast<quintptr>(this)))
        return nullptr;
    ChannelNode *dragged = nodeAt(index);
    return dragged == m_root.get() ? nullptr : dragged;
}

std::pair<ChannelNode *, ChannelNode *> ChannelTree::dropNodes(const QMimeData *data, int row,
                                                               const QModelIndex &parent) const
{
    ChannelNode *dragged = draggedNode(data);
    ChannelNode *target = nodeFromIndex(parent);
    if (!dragged || !target)
        return {};
    if (row >= 0)
        return placeAllowed(dragged, target, row) ? std::make_pair(dragged, target)
                                                  : std::pair<ChannelNode *, ChannelNode *>{};
    if (target == dragged->m_parent || dragged->contains(target))
        return {};
    return {dragged, target};
}

bool ChannelTree::canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int,
                                  const QModelIndex &parent) const
{
    return action == Qt::MoveAction && dropNodes(data, row, parent).first != nullptr;
}

bool ChannelTree::dropMimeData(const QMimeData *data, Qt::DropAction action, int row,
                               int column, const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    const auto [dragged, target] = dropNodes(data, row, parent);
    const bool nested = row < 0;
    if (nested ? !moveNode(dragged, target) : !placeNode(dragged, target, row))
        return false;
    target->m_record->position = absoluteIndex(target);
    if (nested)
        emit nodeDropped(target);
    else
        emit nodePlaced(dragged);
    return true;
}

NodeRecord *ChannelTree::newRecord(NodeKind kind)
{
    std::unique_ptr<NodeRecord> record;
    if (kind == NodeKind::Channel)
        record = std::make_unique<TtvChannel>();
    else
        record = std::make_unique<NodeRecord>();
    NodeRecord *raw = record.get();
    m_records.push_back(std::move(record));
    return raw;
}

void ChannelTree::freeRecords(const std::vector<NodeRecord *> &records)
{
    const std::unordered_set<const NodeRecord *> doomed(records.begin(), records.end());
    m_records.erase(std::remove_if(m_records.begin(), m_records.end(),
                                   [&doomed](const std::unique_ptr<NodeRecord> &r) {
                                       return doomed.count(r.get()) != 0;
                                   }),
                    m_records.end());
}

void ChannelTree::ensurePreOrder() const
{
    if (m_preOrderValid)
        return;
    m_preOrder.clear();
    std::vector<ChannelNode *> pending{m_root.get()};
    while (!pending.empty()) {
        ChannelNode *node = pending.back();
        pending.pop_back();
        node->m_absoluteIndex = static_cast<int>(m_preOrder.size());
        m_preOrder.push_back(node);
        for (auto it = node->m_children.rbegin(); it != node->m_children.rend(); ++it)
            pending.push_back(it->get());
    }
    m_preOrderValid = true;
}

void ChannelTree::renumberChildren(ChannelNode *parent, int from)
{
    for (size_t i = static_cast<size_t>(from); i < parent->m_children.size(); ++i)
        parent->m_children[i]->m_row = static_cast<int>(i);
}
