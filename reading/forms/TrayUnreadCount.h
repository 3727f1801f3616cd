#pragma once

#include <QIcon>
#include <QObject>

class ChannelTree;
class QSystemTrayIcon;
class QTimer;
class UnreadCounts;

// The tray icon carries the number of unread items of the whole tree, drawn over the
// program's picture; without unread items it is the picture alone. The hint stays the
// alerts' own.
class TrayUnreadCount : public QObject
{
    Q_OBJECT
public:
    TrayUnreadCount(QSystemTrayIcon *tray, QIcon picture, const ChannelTree &tree,
                    const UnreadCounts &counts, QObject *parent);

    // The count the icon shows now.
    int shown() const { return m_shown; }

    // `picture` with `count` in a badge at its lower right; "999+" above 999. The picture
    // alone for 0.
    static QIcon withCount(const QIcon &picture, int count);
    static QString badgeText(int count);

public slots:
    // Reads the total again and redraws the icon when it changed.
    void refresh();

private:
    QSystemTrayIcon *m_tray;
    QIcon m_picture;
    const ChannelTree &m_tree;
    const UnreadCounts &m_counts;
    QTimer *m_pending; // many changes in one event give one redraw
    int m_shown = 0;
};
