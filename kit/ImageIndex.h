#pragma once

#include <QIcon>
#include <QList>
#include <QStyledItemDelegate>

// Indexes of the window's image list, shared by the tree, the lists and the tabs.
enum ImageIndex {
    ImageGroup = 0,
    ImageChannel = 1,
    ImageGroupOpen = 2,
    ImageUnread = 3,
    ImageRead = 4,
    ImageSortDescending = 5,
    ImageSortAscending = 6,
    ImageTabChannels = 7,
    ImageTabArchive = 8,
};

// Draws each cell as the style does, with grid lines along its bottom and right edges, as
// report lists with grid lines show them.
class GridLinesDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    static void paintGridLines(QPainter *painter, const QStyleOptionViewItem &option);
};

// Shows the picture whose image-list index a model gives under `role`, with grid lines
// when asked for.
class ImageIndexDelegate : public GridLinesDelegate
{
public:
    ImageIndexDelegate(QList<QIcon> images, int role, QObject *parent);

    void setGridLines(bool on) { m_gridLines = on; }
    bool gridLines() const { return m_gridLines; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QList<QIcon> m_images;
    int m_role;
    bool m_gridLines = false;
};
