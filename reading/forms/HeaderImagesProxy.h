#pragma once

#include <QIcon>
#include <QIdentityProxyModel>
#include <QList>

// Turns the header list's image indexes into pictures of the window's image list: 3/4 on a
// row's first cell, 5/6 on the sort column's header; unread rows are bold. Rows keep their
// numbers.
class HeaderImagesProxy : public QIdentityProxyModel
{
    Q_OBJECT

public:
    HeaderImagesProxy(QList<QIcon> images, QObject *parent);

    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QVariant image(const QVariant &imageIndex) const;

    QList<QIcon> m_images;
};
