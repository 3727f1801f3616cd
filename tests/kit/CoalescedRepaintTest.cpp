#include "SignalWait.h"
#include "kit/CoalescedRepaint.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QWidget>

namespace {

class PaintCounter : public QWidget
{
public:
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

// A shown widget whose first paints are over.
struct Painted
{
    Painted()
    {
        widget.resize(120, 80);
        widget.show();
        WaitUntil([this] { return widget.paints > 0; });
        WaitForQueuedEvents(2);
        widget.paints = 0;
    }
    PaintCounter widget;
};

} // namespace

// A change after a quiet spell shows at once; more changes within the interval wait for it
// instead of repainting each time.
TEST(CoalescedRepaint, FirstChangePaintsAtOnceLaterOnesWaitForTheInterval)
{
    Painted p;
    CoalescedRepaint repaint(&p.widget, 60000);
    repaint.request();
    ASSERT_TRUE(WaitForQueuedEvents(2));
    EXPECT_EQ(p.widget.paints, 1);
    for (int i = 0; i < 20; ++i) {
        repaint.request();
        ASSERT_TRUE(WaitForQueuedEvents(1));
    }
    EXPECT_EQ(p.widget.paints, 1);
}

// However long the changes go on, the last one is painted: counts never stay stale.
TEST(CoalescedRepaint, TheLastOfManyChangesIsPainted)
{
    Painted p;
    const int intervalMs = 100;
    CoalescedRepaint repaint(&p.widget, intervalMs);
    QElapsedTimer burst;
    burst.start();
    for (int i = 0; i < 50; ++i) {
        repaint.request();
        ASSERT_TRUE(WaitForQueuedEvents(1));
    }
    const int paintsDuringBurst = p.widget.paints;
    // One at the start and at most one per interval after it.
    EXPECT_LE(paintsDuringBurst, 2 + int(burst.elapsed() / intervalMs));
    EXPECT_TRUE(WaitUntil([&] { return p.widget.paints > paintsDuringBurst; }));
}

// A widget that went away before the interval ended is left alone.
TEST(CoalescedRepaint, OutlivedWidgetIsNotTouched)
{
    auto *widget = new PaintCounter;
    auto *repaint = new CoalescedRepaint(widget, 10);
    repaint->request();
    repaint->request();
    delete widget; // takes the repaint with it, its timer included
    EXPECT_TRUE(WaitForQueuedEvents(2));
}
