#include "kit/ImageIndex.h"

#include <QPainter>

void GridLinesDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    paintGridLines(painter, option);
}

void GridLinesDelegate::paintGridLines(QPainter *painter, const QStyleOptionViewItem &option)
{
    // Light enough to read across, on light and dark palettes alike.
    QColor line = option.palette.color(QPalette::Mid);
    line.setAlpha(110);
    painter->save();
    painter->setPen(line);
    const QRect r = option.rect;
    painter->drawLine(r.bottomLeft(), r.bottomRight());
    painter->drawLine(r.topRight(), r.bottomRight());
    painter->restore();
}

ImageIndexDelegate::ImageIndexDelegate(QList<QIcon> images, int role, QObject *parent)
    : GridLinesDelegate(parent), m_images(std::move(images)), m_role(role)
{
}

void ImageIndexDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    if (m_gridLines)
        paintGridLines(painter, option);
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
