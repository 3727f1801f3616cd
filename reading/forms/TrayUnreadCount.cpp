#include "reading/forms/TrayUnreadCount.h"

#include "catalogue/ChannelTree.h"
#include "reading/UnreadCounts.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>

TrayUnreadCount::TrayUnreadCount(QSystemTrayIcon *tray, QIcon picture, const ChannelTree &tree,
                                 const UnreadCounts &counts, QObject *parent)
    : QObject(parent), m_tray(tray), m_picture(std::move(picture)), m_tree(tree),
      m_counts(counts), m_pending(new QTimer(this))
{
    setObjectName(QStringLiteral("TrayUnreadCount"));
    m_pending->setSingleShot(true);
    m_pending->setInterval(0);
    connect(m_pending, &QTimer::timeout, this, &TrayUnreadCount::refresh);
    connect(&m_counts, &UnreadCounts::changed, m_pending, qOverload<>(&QTimer::start));
    // A channel removed or moved changes the sum without a count changing.
    for (const auto signal : {&QAbstractItemModel::rowsRemoved, &QAbstractItemModel::rowsInserted})
        connect(&m_tree, signal, m_pending, qOverload<>(&QTimer::start));
    connect(&m_tree, &QAbstractItemModel::modelReset, m_pending, qOverload<>(&QTimer::start));
    refresh();
}

void TrayUnreadCount::refresh()
{
    const int total = m_counts.countFor(m_tree.root());
    if (total == m_shown && !m_tray->icon().isNull())
        return;
    m_shown = total;
    m_tray->setIcon(withCount(m_picture, total));
}

QString TrayUnreadCount::badgeText(int count)
{
    return count > 999 ? QStringLiteral("999+") : QString::number(count);
}

QIcon TrayUnreadCount::withCount(const QIcon &picture, int count)
{
    if (count <= 0)
        return picture;
    QIcon out;
    const QString text = badgeText(count);
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        picture.paint(&painter, QRect(0, 0, side, side));
        QFont font;
        font.setBold(true);
        font.setPixelSize(std::max(7, side * 9 / 16));
        // Wide counts get a smaller face so the badge stays on the picture.
        QFontMetrics metrics(font);
        while (font.pixelSize() > 6 && metrics.horizontalAdvance(text) + side / 6 > side) {
            font.setPixelSize(font.pixelSize() - 1);
            metrics = QFontMetrics(font);
        }
        const int height = metrics.height();
        const int width = std::max(height, metrics.horizontalAdvance(text) + side / 6);
        const QRectF badge(side - width, side - height, width, height);
        QPainterPath path;
        path.addRoundedRect(badge, height / 2.0, height / 2.0);
        painter.fillPath(path, QColor(0xc6, 0x28, 0x28));
        painter.setPen(Qt::white);
        painter.setFont(font);
        painter.drawText(badge, Qt::AlignCenter, text);
        painter.end();
        out.addPixmap(pixmap);
    }
    return out;
}
