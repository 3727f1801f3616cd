#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Repaints a widget at once when asked after a quiet spell, and at most once per interval
// while asked again and again: a run that changes a channel's count or failure mark per
// channel repaints the tree a few times a second instead of once per channel, while a
// single change (an item marked read) still shows at once.
class CoalescedRepaint : public QObject
{
public:
    explicit CoalescedRepaint(QWidget *widget, int intervalMs = 100)
        : QObject(widget), m_widget(widget)
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(intervalMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (!m_pending)
                return;
            m_pending = false;
            repaintNow();
        });
    }

    void request()
    {
        if (m_timer.isActive()) {
            m_pending = true;
            return;
        }
        repaintNow();
    }

private:
    void repaintNow()
    {
        if (m_widget)
            m_widget->update();
        m_timer.start();
    }

    QPointer<QWidget> m_widget;
    QTimer m_timer;
    bool m_pending = false;
};
