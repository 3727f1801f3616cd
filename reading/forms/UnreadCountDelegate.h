#pragma once

#include "kit/ImageIndex.h"

class ChannelTree;
class UnreadCounts;

// Draws a tree node with its image and, after the name, the number of unread items:
// "Kanał A (12)"; a group shows the sum of its channels, nothing when there are none. Only the
// drawing changes: the node's text and what an edit starts from stay the name.
class UnreadCountDelegate : public ImageIndexDelegate
{
public:
    UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts, QList<QIcon> images,
                        QObject *parent);

    // The text the view draws for the node at `index`.
    QString displayText(const QModelIndex &index) const;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    const ChannelTree &m_tree;
    const UnreadCounts &m_counts;
};
