#include "reading/forms/UnreadCountDelegate.h"

#include "catalogue/ChannelTree.h"
#include "reading/UnreadCounts.h"

UnreadCountDelegate::UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts,
                                         QList<QIcon> images, QObject *parent)
    : ImageIndexDelegate(std::move(images), ChannelTree::ImageIndexRole, parent), m_tree(tree),
      m_counts(counts)
{
}

QString UnreadCountDelegate::displayText(const QModelIndex &index) const
{
    const QString name = index.data(Qt::DisplayRole).toString();
    const int count = m_counts.countFor(m_tree.nodeFromIndex(index));
    return count > 0 ? QStringLiteral("%1 (%2)").arg(name).arg(count) : name;
}

void UnreadCountDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const
{
    ImageIndexDelegate::initStyleOption(option, index);
    option->text = displayText(index);
}
