#include "alerts/AlertPlayback.h"
#include "alerts/AlertQueue.h"
#include "alerts/forms/NotifyFrm.h"
#include "catalogue/ChannelTree.h"
#include "SignalWait.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPixmap>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

void click(QWidget *w)
{
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
}

class NotifyFrmTest : public ::testing::Test
{
protected:
    NotifyFrmTest() : playback(queue, tree), form(playback)
    {
        TfmNotifyFrm::setAnimationMs(0);
        channel = tree.addNode(tree.root(), QStringLiteral("Kraj"), NodeKind::Channel);
        for (const char *t : {"Pierwsza wiadomość", "Druga", "Trzecia"})
            queue.enqueue(QString::fromUtf8(t), QStringLiteral("Kraj"));
        queue.newItemCount = 3;
    }
    ~NotifyFrmTest() override { TfmNotifyFrm::setAnimationMs(180); }

    QLabel *label(const char *name) { return form.findChild<QLabel *>(QLatin1String(name)); }
    QString text(const char *name) { return label(name)->text(); }

    ChannelTree tree;
    ChannelNode *channel = nullptr;
    AlertQueue queue;
    AlertPlayback playback;
    TfmNotifyFrm form;
};

TEST_F(NotifyFrmTest, IsAQuietBorderlessPopUpInTheCornerOfTheAvailableArea)
{
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(form.windowType(), Qt::Tool);
    EXPECT_TRUE(form.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(form.size(), QSize(264, 160));
    EXPECT_NEAR(form.windowOpacity(), 245.0 / 255.0, 0.01);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);

    EXPECT_EQ(label("lbTitle")->geometry(), QRect(20, 4, 223, 14));
    EXPECT_TRUE(label("lbTitle")->font().bold());
    EXPECT_EQ(label("lbTitle")->palette().color(QPalette::WindowText), QColor(252, 102, 4));
    EXPECT_TRUE(label("lbTitle")->wordWrap());
    EXPECT_EQ(label("lbMsg")->geometry(), QRect(18, 29, 223, 106));
    EXPECT_FALSE(label("lbMsg")->font().bold());
    EXPECT_EQ(label("lbCount")->palette().color(QPalette::WindowText), QColor(28, 78, 148));
    for (const char *name : {"Image1", "imCloseBtn", "Image2", "Image4", "Image3", "imLeft", "imRight"})
        EXPECT_FALSE(label(name)->pixmap().isNull()) << name;

    playback.endRun(true);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(form.geometry().bottomRight(), area.bottomRight());
}

TEST_F(NotifyFrmTest, AlertsFollowOneAnotherWhenTheirTimeRunsOut)
{
    playback.endRun(true);
    ASSERT_TRUE(form.isVisible());
    EXPECT_EQ(text("lbTitle"), "Kraj");
    EXPECT_EQ(text("lbMsg"), QString::fromUtf8("Pierwsza wiadomość"));
    EXPECT_EQ(text("lbCount"), "1/3");
    EXPECT_TRUE(form.closeTimer()->isActive());
    EXPECT_EQ(form.closeTimer()->interval(), 10000);

    form.tmCloseTimer();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(text("lbCount"), "2/3");
    form.tmCloseTimer();
    EXPECT_EQ(text("lbMsg"), "Trzecia");
    EXPECT_EQ(text("lbCount"), "3/3");
    form.tmCloseTimer();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.closeTimer()->isActive());
}

// The share of pixels where what the window holds on screen differs from a fresh drawing.
double staleShare(TfmNotifyFrm &form)
{
    const QImage shown = QGuiApplication::primaryScreen()
                             ->grabWindow(form.winId())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage drawn = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown.size() != drawn.size() || shown.isNull())
        return 1.0;
    int differ = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            differ += shown.pixel(x, y) != drawn.pixel(x, y);
    return double(differ) / (shown.width() * shown.height());
}

TEST_F(NotifyFrmTest, EachAlertIsPaintedWholeAsItAppears)
{
    TfmNotifyFrm::setAnimationMs(60);
    const QStringList titles{QString::fromUtf8("Pierwsza wiadomość"), "Druga", "Trzecia"};
    playback.endRun(true);
    for (int i = 0; i < titles.size(); ++i) {
        if (i > 0)
            form.tmCloseTimer(); // the next one while the window stays up
        ASSERT_TRUE(WaitUntil([&] { return form.isVisible() && form.mask().isEmpty(); }));
        WaitForQueuedEvents();
        EXPECT_EQ(text("lbMsg"), titles[i]);
        EXPECT_EQ(text("lbCount"), QStringLiteral("%1/3").arg(i + 1));
        EXPECT_LT(staleShare(form), 0.01) << "alert " << i + 1 << " shows an earlier one";
    }
}

TEST_F(NotifyFrmTest, ArrowsHoldTheWindowAndDoNothingAtTheEnds)
{
    playback.endRun(true);
    click(label("imLeft")); // the first alert: nothing changes, the time runs on
    EXPECT_EQ(text("lbCount"), "1/3");
    EXPECT_TRUE(form.closeTimer()->isActive());

    click(label("imRight"));
    EXPECT_EQ(text("lbMsg"), "Druga");
    EXPECT_EQ(text("lbCount"), "2/3");
    EXPECT_FALSE(form.closeTimer()->isActive()); // held: no self-hiding after an arrow
    click(label("imRight"));
    click(label("imRight"));
    EXPECT_EQ(text("lbCount"), "3/3");
    click(label("imLeft"));
    EXPECT_EQ(text("lbCount"), "2/3");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(NotifyFrmTest, AClickOpensTheShownAlertAndTheCloseButtonEndsTheSequence)
{
    int row = -1;
    QString title;
    QObject::connect(&form, &TfmNotifyFrm::alertClicked, &form, [&](int r, const QString &t) {
        row = r;
        title = t;
    });
    playback.endRun(true);
    click(label("imRight"));
    click(label("lbMsg"));
    EXPECT_EQ(row, tree.absoluteIndex(channel));
    EXPECT_EQ(title, "Druga");
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.closeTimer()->isActive());

    playback.endRun(true);
    click(label("imCloseBtn"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.closeTimer()->isActive());
    EXPECT_EQ(title, "Druga"); // closing opens nothing
}

TEST_F(NotifyFrmTest, TheTimeStandsStillWhileTheMouseRestsOnTheWindow)
{
    playback.endRun(true);
    const QPointF at(10, 10);
    QEnterEvent enter(at, at, form.mapToGlobal(at));
    QApplication::sendEvent(&form, &enter);
    EXPECT_FALSE(form.closeTimer()->isActive());
    EXPECT_TRUE(form.isVisible());

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&form, &leave);
    ASSERT_TRUE(form.closeTimer()->isActive());
    EXPECT_LE(form.closeTimer()->remainingTime(), 10000);
    EXPECT_GT(form.closeTimer()->remainingTime(), 5000);

    // A held window stays held when the mouse leaves.
    click(label("imRight"));
    QApplication::sendEvent(&form, &enter);
    QApplication::sendEvent(&form, &leave);
    EXPECT_FALSE(form.closeTimer()->isActive());
}

} // namespace
