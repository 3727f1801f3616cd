#include "kit/ImageIndex.h"

ImageIndexDelegate::ImageIndexDelegate(QList<QIcon> images, int role, QObject *parent)
    : QStyledItemDelegate(parent), m_images(std::move(images)), m_role(role)
{
}

void ImageIndexDelegate::initStyleOption(QStyleOptionViewItem *option,
                                         const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant image = index.data(m_role);
    if (!image.isValid())
        return;
    const int i = image.toInt();
    if (i < 0 || i >= m_images.size())
        return;
    option->icon = m_images.at(i);
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->decorationSize = QSize(16, 16);
}
