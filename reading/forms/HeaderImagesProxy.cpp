#include "reading/forms/HeaderImagesProxy.h"

#include "reading/HeaderListModel.h"

#include <QFont>

HeaderImagesProxy::HeaderImagesProxy(QList<QIcon> images, QObject *parent)
    : QIdentityProxyModel(parent), m_images(std::move(images))
{
}

QVariant HeaderImagesProxy::image(const QVariant &imageIndex) const
{
    bool ok = false;
    const int i = imageIndex.toInt(&ok);
    if (!ok || i < 0 || i >= m_images.size())
        return QVariant();
    return m_images.at(i);
}

QVariant HeaderImagesProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::DecorationRole)
        return image(QIdentityProxyModel::data(index, HeaderListModel::ImageIndexRole));
    if (role == Qt::FontRole) {
        // Unread rows stand out in every column; only the weight is set, the rest is the
        // list's own font.
        const QModelIndex first = index.siblingAtColumn(0);
        if (QIdentityProxyModel::data(first, HeaderListModel::ImageIndexRole).toInt() != 3)
            return QVariant();
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    return QIdentityProxyModel::data(index, role);
}

QVariant HeaderImagesProxy::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DecorationRole && orientation == Qt::Horizontal)
        return image(
            QIdentityProxyModel::headerData(section, orientation, HeaderListModel::ImageIndexRole));
    return QIdentityProxyModel::headerData(section, orientation, role);
}
