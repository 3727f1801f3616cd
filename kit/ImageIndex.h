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

// Shows the picture whose image-list index a model gives under `role`.
class ImageIndexDelegate : public QStyledItemDelegate
{
public:
    ImageIndexDelegate(QList<QIcon> images, int role, QObject *parent);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    QList<QIcon> m_images;
    int m_role;
};
