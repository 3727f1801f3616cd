#include "reading/forms/UnreadCountDelegate.h"

#include "catalogue/ChannelTree.h"
#include "kit/UiLook.h"
#include "reading/UnreadCounts.h"
#include "sync/UpdateFailures.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace {
// Between the name and the count.
constexpr int CountGap = 6;
// A failing channel's name and count, on a light and on a dark ground.
const QColor FailingText(0xb0, 0x1c, 0x10);
const QColor FailingTextOnDark(0xff, 0x8a, 0x7a);

QStyle *styleOf(const QStyleOptionViewItem &option)
{
    return option.widget ? option.widget->style() : QApplication::style();
}
} // namespace

UnreadCountDelegate::UnreadCountDelegate(const ChannelTree &tree, const UnreadCounts &counts,
                                         QList<QIcon> images, QObject *parent)
    : ImageIndexDelegate(std::move(images), ChannelTree::ImageIndexRole, parent), m_tree(tree),
      m_counts(counts)
{
}

void UnreadCountDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const
{
    ImageIndexDelegate::initStyleOption(option, index);
    if (!m_channelIcons)
        return;
    const ChannelNode *node = m_tree.nodeFromIndex(index);
    const TtvChannel *channel = node ? node->channel() : nullptr;
    if (!channel)
        return;
    const QIcon own = m_channelIcons(channel->GUID);
    if (!own.isNull())
        option->icon = own;
}

int UnreadCountDelegate::countFor(const QModelIndex &index) const
{
    return m_counts.countFor(m_tree.nodeFromIndex(index));
}

QString UnreadCountDelegate::failureLine(const QModelIndex &index) const
{
    const ChannelNode *node = m_failures ? m_tree.nodeFromIndex(index) : nullptr;
    const TtvChannel *channel = node ? node->channel() : nullptr;
    return channel ? m_failures->line(channel->GUID) : QString();
}

QString UnreadCountDelegate::displayText(const QModelIndex &index) const
{
    const QString name = index.data(Qt::DisplayRole).toString();
    const int count = countFor(index);
    return count > 0 ? QStringLiteral("%1 (%2)").arg(name).arg(count) : name;
}

UnreadCountDelegate::Layout UnreadCountDelegate::layout(const QStyleOptionViewItem &option,
                                                        const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    Layout out;
    const int count = countFor(index);
    QStyle *style = styleOf(opt);
    // The style may size the text's rectangle to the text; the room runs to the cell's edge.
    QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    text.setRight(opt.rect.right() - style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, opt.widget) - 1);
    const QFontMetrics metrics(opt.font);
    if (count <= 0) {
        out.name = metrics.elidedText(opt.text, Qt::ElideRight, text.width());
        out.nameRect = text;
        return out;
    }
    out.count = QStringLiteral("(%1)").arg(count);
    const int countWidth = metrics.horizontalAdvance(out.count);
    const int room = std::max(0, text.width() - countWidth - CountGap);
    out.name = metrics.elidedText(opt.text, Qt::ElideRight, room);
    out.nameRect = QRect(text.left(), text.top(), room, text.height());
    // Right after the name while it fits; at the right edge once the name has to give way.
    const int nameWidth = metrics.horizontalAdvance(out.name);
    const int countLeft = std::min(text.left() + nameWidth + CountGap, text.right() + 1 - countWidth);
    out.countRect = QRect(std::max(text.left(), countLeft), text.top(), countWidth, text.height());
    return out;
}

void UnreadCountDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    const Layout parts = layout(option, index);
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    // The style draws the row, its picture and its name; the count goes on top in the same
    // colour.
    opt.text = parts.name;
    const QPalette::ColorGroup group = (opt.state & QStyle::State_Enabled) ? QPalette::Normal
                                                                           : QPalette::Disabled;
    const bool selected = opt.state & QStyle::State_Selected;
    if (!failureLine(index).isEmpty()) {
        static const QIcon failing = UiLook::svgIcon(QStringLiteral(":/icons/error.svg"));
        opt.icon = failing;
        // Every group: the style takes the inactive one while the window is not active.
        if (!selected)
            opt.palette.setColor(QPalette::Text,
                                 UiLook::isDark(opt.palette) ? FailingTextOnDark : FailingText);
    }
    QStyle *style = styleOf(opt);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
    if (!parts.count.isEmpty()) {
        const QPalette::ColorRole role = selected ? QPalette::HighlightedText : QPalette::Text;
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, role));
        painter->drawText(parts.countRect, Qt::AlignLeft | Qt::AlignVCenter, parts.count);
        painter->restore();
    }
    if (gridLines())
        paintGridLines(painter, option);
}

QSize UnreadCountDelegate::sizeHint(const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    QSize size = ImageIndexDelegate::sizeHint(option, index);
    const int count = countFor(index);
    if (count > 0)
        size.rwidth() += QFontMetrics(option.font)
                             .horizontalAdvance(QStringLiteral("(%1)").arg(count)) + CountGap;
    return size;
}

bool UnreadCountDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                    const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event && event->type() == QEvent::ToolTip) {
        const QString line = failureLine(index);
        if (!line.isEmpty()) {
            QToolTip::showText(event->globalPos(), line, view, option.rect);
            return true;
        }
    }
    return ImageIndexDelegate::helpEvent(event, view, option, index);
}
