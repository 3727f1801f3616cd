#pragma once

#include <QAbstractItemModel>
#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

enum class NodeKind { Group = 0, Channel = 1 };

// The record every node points to. The two numbers are set when a node is created or
// loaded (and by drag and drop); nothing reads them back.
struct NodeRecord
{
    qint32 parentPosition = -1; // the parent's position among its own siblings
    qint32 position = 0;        // the node's absolute index at that time
    virtual ~NodeRecord() = default;
};

// The record of a channel node.
struct TtvChannel : NodeRecord
{
    QString url;
    QString link;
    QString image;
    bool enabled = false;
    QString description;
    QString username;
    QString password;
    QDateTime lastupdate; // local time; null when unknown
    QString copyright;
    QString lastbuild;
    bool alerts = false;
    QString GUID;
    // Minutes between the update timer's updates of this channel; 0 follows the settings.
    int interval = 0;
    static constexpr int MinInterval = 10;
    static constexpr int MaxInterval = 2000;
};

// One node of the channel tree. Nodes own their children; the records belong to the tree's
// nodeDataBlocks. Structure changes go through ChannelTree so that views stay in sync.
class ChannelNode
{
public:
    ChannelNode(const ChannelNode &) = delete;
    ChannelNode &operator=(const ChannelNode &) = delete;

    QString text() const { return m_text; }
    NodeKind kind() const { return m_kind; }
    bool isGroup() const { return m_kind == NodeKind::Group; }
    bool isChannel() const { return m_kind == NodeKind::Channel; }
    // 0 for a group, 1 for a channel: the image and selected image of the node.
    int imageIndex() const { return static_cast<int>(m_kind); }

    ChannelNode *parent() const { return m_parent; }
    int childCount() const { return static_cast<int>(m_children.size()); }
    ChannelNode *child(int index) const;
    QList<ChannelNode *> children() const;
    // Position among the parent's children; 0 for the root.
    int indexInParent() const { return m_row; }
    // True when `node` lies in this node's subtree (the node itself included).
    bool contains(const ChannelNode *node) const;

    NodeRecord *record() const { return m_record; }
    // The channel record; null for a group.
    TtvChannel *channel() const;

private:
    friend class ChannelTree;
    ChannelNode(const QString &text, NodeKind kind, ChannelNode *parent);

    QString m_text;
    NodeKind m_kind;
    ChannelNode *m_parent;
    std::vector<std::unique_ptr<ChannelNode>> m_children;
    NodeRecord *m_record = nullptr;
    int m_row = 0;
    mutable int m_absoluteIndex = -1; // valid while the tree's pre-order cache is
};

// The tree of groups and channels, with exactly one root group. As an item model it has one
// column and one top-level row (the root).
class QMimeData;

class ChannelTree : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Role { ImageIndexRole = Qt::UserRole + 1 };
    using RecordList = std::vector<std::unique_ptr<NodeRecord>>;

    static QString defaultRootName();

    explicit ChannelTree(QObject *parent = nullptr);
    ~ChannelTree() override;

    ChannelNode *root() const { return m_root.get(); }
    // Number of nodes, the root included.
    int count() const;
    // The node at a position of the pre-order (root = 0); null when out of range.
    ChannelNode *nodeAt(int absoluteIndex) const;
    // The node's position in pre-order; -1 for a node that is not in this tree.
    int absoluteIndex(const ChannelNode *node) const;
    QList<ChannelNode *> nodesInPreOrder() const;
    QList<ChannelNode *> channelsInPreOrder() const;

    // Adds a node as the last child of `parent` with a new record (a TtvChannel for a
    // channel) whose parentPosition is the parent's position among its siblings and whose
    // position is the new node's absolute index.
    ChannelNode *addNode(ChannelNode *parent, const QString &name, NodeKind kind);
    // Removes the node with its subtree and frees their records. The root is never removed.
    void deleteNode(ChannelNode *node);
    // Makes `node` (with its subtree and records) the last child of `newParent`. Refused,
    // returning false, for the root, for a target inside the node's own subtree, and when
    // the node already is the last child of the target.
    bool moveNode(ChannelNode *node, ChannelNode *newParent);
    // Puts `node` (with its subtree and records) among `newParent`'s children so that it
    // stands before the child now at `row` (at the end when `row` is the child count).
    // Refused, returning false, for the root, for a parent inside the node's own subtree,
    // for a row out of range, and when the node would stay where it is.
    bool placeNode(ChannelNode *node, ChannelNode *newParent, int row);
    void renameNode(ChannelNode *node, const QString &name);
    // Tells the views and the tree file that fields of the node's record were changed.
    void noteRecordChanged(ChannelNode *node);
    // Back to the root alone, named defaultRootName(), with a fresh record.
    void clear();

    const RecordList &nodeDataBlocks() const { return m_records; }

    QModelIndex indexOf(const ChannelNode *node) const;
    ChannelNode *nodeFromIndex(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    // A name edited in place: refused, with renameRefused, when longer than MaxEditedName;
    // refused without a word when blank (the node keeps its name).
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    static constexpr int MaxEditedName = 250;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Drag and drop of one node with its subtree (tvChannelsDragOver and tvChannelsDragDrop).
    // A drop onto a node (row -1) makes the dragged node its last child; a drop between two
    // nodes (row >= 0 under `parent`) puts it there. The data names the node by its absolute
    // index in this tree.
    static QString nodeMimeType();
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    // Refused: no target node, the root dragged, data from another tree; onto a node: a
    // target that is the node itself, its parent, or anywhere inside its own subtree;
    // between nodes: a place inside its own subtree, beside the root, or where it stands.
    bool canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                         const QModelIndex &parent) const override;
    // Moves the node (records kept), sets the new parent's record position to its absolute
    // index and emits nodeDropped (onto a node) or nodePlaced (between two).
    bool dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                      const QModelIndex &parent) override;

signals:
    // An in-place edit gave a name longer than MaxEditedName; the node kept its old one.
    void renameRefused(ChannelNode *node);
    // A drop made `target` the new parent of a node: the view expands it.
    void nodeDropped(ChannelNode *target);
    // A drop between two nodes put `node` there.
    void nodePlaced(ChannelNode *node);

private:
    // The dragged node and the target of a drop; nulls when the drop is refused.
    std::pair<ChannelNode *, ChannelNode *> dropNodes(const QMimeData *data, int row,
                                                      const QModelIndex &parent) const;
    ChannelNode *draggedNode(const QMimeData *data) const;
    // Where a move to `row` of `newParent` is possible and changes something.
    bool placeAllowed(const ChannelNode *node, const ChannelNode *newParent, int row) const;
    NodeRecord *newRecord(NodeKind kind);
    void freeRecords(const std::vector<NodeRecord *> &records);
    void ensurePreOrder() const;
    void invalidatePreOrder() const { m_preOrderValid = false; }
    static void renumberChildren(ChannelNode *parent, int from);

    std::unique_ptr<ChannelNode> m_root;
    RecordList m_records;
    mutable std::vector<ChannelNode *> m_preOrder;
    mutable bool m_preOrderValid = false;
};
