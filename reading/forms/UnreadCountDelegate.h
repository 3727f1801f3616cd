#pragma once

#include "kit/ImageIndex.h"

#include <QRect>

class ChannelTree;
class UnreadCounts;

// Draws a tree node with its image and the number of unread items: "Kanał A (12)"; a group
// shows the sum of its channels, nothing when there are none. The count stands at the right
// edge and only the name gives way when the row is narrow, so a long name never hides it.
// Only the drawing changes: the node's text and what an edit starts from stay the name.
class UnreadCountDelegate : public ImageIndexDelegate
{
public:
    UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts, QList<QIcon> images,
                        QObject *parent);

    // The text the node at `index` stands for, name and count.
    QString displayText(const QModelIndex &index) const;

    // Where the parts of a row go in `option`'s rectangle.
    struct Layout
    {
        QString name;  // elided when the room is short
        QString count; // "(12)", empty without unread items
        QRect nameRect;
        QRect countRect;
    };
    Layout layout(const QStyleOptionViewItem &option, const QModelIndex &index) const;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int countFor(const QModelIndex &index) const;

    const ChannelTree &m_tree;
    const UnreadCounts &m_counts;
};
