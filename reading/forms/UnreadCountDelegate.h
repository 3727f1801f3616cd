#pragma once

#include "kit/ImageIndex.h"

#include <QRect>

#include <functional>

class ChannelTree;
class UnreadCounts;
class UpdateFailures;

// Draws a tree node with its image and the number of unread items: "Kanał A (12)"; a group
// shows the sum of its channels, nothing when there are none. The count stands at the right
// edge and only the name gives way when the row is narrow, so a long name never hides it.
// Only the drawing changes: the node's text and what an edit starts from stay the name.
// A channel whose last update failed is drawn with the error picture in red, and the line
// that said why is its tooltip.
class UnreadCountDelegate : public ImageIndexDelegate
{
public:
    UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts, QList<QIcon> images,
                        QObject *parent);

    // The channels whose last update failed; none are shown as failing without it.
    void setFailures(const UpdateFailures *failures) { m_failures = failures; }
    // A channel's own picture by its GUID (its site's icon); a null icon keeps the channel
    // picture of the image list.
    void setChannelIcons(std::function<QIcon(const QString &guid)> icons)
    {
        m_channelIcons = std::move(icons);
    }
    // Why the channel at `index` failed to update; empty when it did not.
    QString failureLine(const QModelIndex &index) const;

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
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    int countFor(const QModelIndex &index) const;

    const ChannelTree &m_tree;
    const UnreadCounts &m_counts;
    const UpdateFailures *m_failures = nullptr;
    std::function<QIcon(const QString &guid)> m_channelIcons;
};
