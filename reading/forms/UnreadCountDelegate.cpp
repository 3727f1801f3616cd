#include "reading/forms/UnreadCountDelegate.h"

#include "catalogue/ChannelTree.h"
#include "reading/UnreadCounts.h"

UnreadCountDelegate::UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts,
                                         QList<QIcon> images, QObject *parent)
    : QStyledItemDelegate(parent), m_tree(tree), m_counts(counts), m_images(std::move(images))
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
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = displayText(index);
    const QVariant image = index.data(ChannelTree::ImageIndexRole);
    if (!image.isValid())
        return;
    const int i = image.toInt();
    if (i < 0 || i >= m_images.size())
        return;
    option->icon = m_images.at(i);
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(16, 16);
}
