#include "MainFrmFixture.h"
#include "SignalWait.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/MainStatusBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QToolButton>

using namespace mainfrm_test;

// At the narrowest window the notice that leads to the report window shows whole; panel 0
// gives way.
TEST_F(MainFrmFixture, AtTheMinimumWidthTheWholeNoticeShows)
{
    auto w = create();
    w->show();
    w->resize(w->minimumWidth() > 0 ? w->minimumWidth() : 800, 480);
    ASSERT_TRUE(WaitForQueuedEvents(2)); // the layout requests ran
    ASSERT_LE(w->width(), 800);
    auto *bar = child<MainStatusBar>(w, "sbStatus");
    bar->setPanelText(2, MainStatusBar::NoticeText);
    ASSERT_TRUE(WaitForQueuedEvents(2)); // the layout requests ran
    auto *notice = child<QLabel>(w, "sbStatusPanel2");
    EXPECT_GE(notice->contentsRect().width(),
              notice->fontMetrics().horizontalAdvance(MainStatusBar::NoticeText) +
                  2 * notice->indent());
    EXPECT_LE(notice->geometry().right(), bar->width());
    EXPECT_GE(child<QLabel>(w, "sbStatusPanel0")->width(), 100);
    // The progress bar still lies on panel 1, after panel 0.
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->x(),
              child<QLabel>(w, "sbStatusPanel0")->width());
}

// A hint of a button or menu entry shows in panel 0 only: the notice and a download in
// progress stay in sight, and panel 0's own text comes back when the mouse moves on.
TEST_F(MainFrmFixture, HintsShowInPanelZeroAndLeaveTheNoticeAndTheDownloadInSight)
{
    auto w = create();
    w->show();
    w->resize(1000, 600);
    ASSERT_TRUE(WaitForQueuedEvents(2)); // the layout requests ran
    auto *bar = child<MainStatusBar>(w, "sbStatus");
    bar->setPanelText(2, MainStatusBar::NoticeText);
    bar->setStatusText(QStringLiteral("Pobieranie dokumentu http://127.0.0.1/"));
    bar->progressBegin(100);
    auto *panel0 = child<QLabel>(w, "sbStatusPanel0");

    // Sent to a button, as hovering it does; it travels up to the window.
    QWidget *button = w->findChild<QToolButton *>();
    ASSERT_NE(button, nullptr);
    QStatusTipEvent tip(QStringLiteral("Synchronizuje wszystkie kanały"));
    QApplication::sendEvent(button, &tip);
    EXPECT_TRUE(bar->currentMessage().isEmpty());
    EXPECT_EQ(panel0->text(), QStringLiteral("Pobieranie dokumentu http://127.0.0.1/"))
        << "a running download's status is not covered";
    EXPECT_TRUE(child<QLabel>(w, "sbStatusPanel2")->isVisible());
    EXPECT_TRUE(child<QProgressBar>(w, "pbDownloadProgress")->isVisible());
    bar->progressEnd();

    // Without a download the hint shows in panel 0; a status that changes under it shows
    // once the hint goes.
    QApplication::sendEvent(button, &tip);
    EXPECT_EQ(panel0->text(), QStringLiteral("Synchronizuje wszystkie kanały"));
    EXPECT_EQ(w->statusPanelText(0), QStringLiteral("Pobieranie dokumentu http://127.0.0.1/"));
    bar->setStatusText(QStringLiteral("Gotowe."));
    EXPECT_EQ(panel0->text(), QStringLiteral("Synchronizuje wszystkie kanały"));
    QStatusTipEvent gone{QString()};
    QApplication::sendEvent(button, &gone);
    EXPECT_EQ(panel0->text(), QStringLiteral("Gotowe."));

    // A download that begins under a hint takes panel 0 back.
    QApplication::sendEvent(button, &tip);
    bar->setStatusText(QStringLiteral("Pobieranie dokumentu http://127.0.0.1/b"));
    bar->progressBegin(100);
    EXPECT_EQ(panel0->text(), QStringLiteral("Pobieranie dokumentu http://127.0.0.1/b"));
    bar->progressEnd();
}
