#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

TEST(WindowPlacement, RoundTripKeepsEveryValue)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("placement.ini");
    WindowPlacement p;
    p.valid = true;
    p.showCmd = WindowPlacement::ShowMaximised;
    p.flags = 2;
    p.pixelsPerInch = 120;
    p.minPosition = QPoint(-1, -1);
    p.maxPosition = QPoint(-8, -8);
    p.normalRect = QRect(100, 50, 800, 480);
    p.leftPanelWidth = 250;
    p.topPanelHeight = 200;
    {
        QSettings store(path, QSettings::IniFormat);
        WriteWindowPlacement(store, p);
    }
    QSettings store(path, QSettings::IniFormat);
    store.beginGroup("fmMainFrm");
    EXPECT_EQ(store.value("NormPos").toString(), "100,50,900,530");
    EXPECT_EQ(store.value("MinMaxPos").toString(), "-1,-1,-8,-8");
    EXPECT_EQ(store.value("ShowCmd").toInt(), 3);
    EXPECT_EQ(store.value("PixelsPerInch").toInt(), 120);
    EXPECT_EQ(store.value("pcLeftPanel_Width").toInt(), 250);
    EXPECT_EQ(store.value("pnTop_Height").toInt(), 200);
    store.endGroup();

    const WindowPlacement r = ReadWindowPlacement(store);
    EXPECT_TRUE(r.valid);
    EXPECT_EQ(r.showCmd, 3);
    EXPECT_EQ(r.flags, 2);
    EXPECT_EQ(r.pixelsPerInch, 120);
    EXPECT_EQ(r.minPosition, QPoint(-1, -1));
    EXPECT_EQ(r.maxPosition, QPoint(-8, -8));
    EXPECT_EQ(r.normalRect, QRect(100, 50, 800, 480));
    EXPECT_EQ(r.leftPanelWidth, 250);
    EXPECT_EQ(r.topPanelHeight, 200);
}

TEST(WindowPlacement, EmptyOrDamagedStoreKeepsTheWindowsOwnLayout)
{
    QTemporaryDir dir;
    QSettings empty(dir.filePath("empty.ini"), QSettings::IniFormat);
    const WindowPlacement none = ReadWindowPlacement(empty);
    EXPECT_FALSE(none.valid);
    EXPECT_EQ(none.leftPanelWidth, -1);
    EXPECT_EQ(none.topPanelHeight, -1);

    QSettings bad(dir.filePath("bad.ini"), QSettings::IniFormat);
    bad.beginGroup("fmMainFrm");
    bad.setValue("NormPos", "10,20,5"); // three numbers
    bad.setValue("ShowCmd", "abc");
    bad.setValue("pcLeftPanel_Width", "wide");
    bad.setValue("pnTop_Height", 150);
    bad.endGroup();
    const WindowPlacement r = ReadWindowPlacement(bad);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.leftPanelWidth, -1);
    EXPECT_EQ(r.topPanelHeight, 150);

    bad.setValue("fmMainFrm/NormPos", "300,300,100,100"); // right of left: not a window
    EXPECT_FALSE(ReadWindowPlacement(bad).valid);
}

TEST(WindowPlacement, StoreIsNamedAfterTheKeyPath)
{
    auto store = OpenWindowPlacementStore();
    EXPECT_EQ(store->organizationName(), "Velmar");
    EXPECT_EQ(store->applicationName(), "RSS Quorrel 1.0");
    EXPECT_EQ(WindowPlacementGroup, "fmMainFrm");
    EXPECT_TRUE(store->fileName().endsWith("Velmar/RSS Quorrel 1.0.conf"))
        << store->fileName().toStdString();
}

// A frame stored on a monitor that is gone, or beyond the edge of the one that is left,
// comes back where the user can reach it.
TEST(WindowPlacement, FitOnScreensKeepsTheWindowWithinReach)
{
    const QRect left(0, 0, 1920, 1050);     // available areas: a task bar below each
    const QRect right(1920, 0, 1280, 994);
    const QMargins frame(1, 24, 1, 1);      // title bar above the contents
    const QList<QRect> both{left, right};

    // Wholly on a screen: left alone.
    EXPECT_EQ(FitOnScreens(QRect(100, 100, 800, 480), frame, both, left),
              QRect(100, 100, 800, 480));
    EXPECT_EQ(FitOnScreens(QRect(2000, 50, 800, 480), frame, both, left),
              QRect(2000, 50, 800, 480));
    // The title bar above the top of the screen: moved down until it shows.
    EXPECT_EQ(FitOnScreens(QRect(100, 0, 800, 480), frame, both, left), QRect(100, 24, 800, 480));
    // Mostly on the right screen, hanging over its bottom: onto that screen.
    EXPECT_EQ(FitOnScreens(QRect(2400, 800, 800, 480), frame, both, left),
              QRect(2399, 513, 800, 480));
    // On a monitor that is no longer there: onto the primary screen, as near as it gets.
    EXPECT_EQ(FitOnScreens(QRect(3500, 200, 800, 480), frame, {left}, left),
              QRect(1119, 200, 800, 480));
    EXPECT_EQ(FitOnScreens(QRect(-3000, -2000, 800, 480), frame, both, right),
              QRect(1921, 24, 800, 480));
    // Larger than the screen: made to fit.
    EXPECT_EQ(FitOnScreens(QRect(0, 0, 2600, 1400), frame, {left}, left),
              QRect(1, 24, 1918, 1025));
    // No screens known: nothing to fit to.
    EXPECT_EQ(FitOnScreens(QRect(5000, 5000, 800, 480), frame, {}, QRect()),
              QRect(5000, 5000, 800, 480));
}

// Nothing stored: a large screen is used, a small one gets the least size, and the title
// bar is always on the screen.
TEST(WindowPlacement, TheFirstStartUsesALargeScreen)
{
    const QSize least(800, 480);
    const QMargins frame(4, 28, 4, 4);
    const QRect large(0, 0, 1920, 1040);
    const QRect place = FirstStartPlace(large, least, frame);
    EXPECT_EQ(place.size(), QSize(1440, 780));
    EXPECT_EQ(place.center(), large.center());

    const QRect small(0, 0, 800, 600);
    EXPECT_EQ(FirstStartPlace(small, least, frame).size(), least);
    EXPECT_GE(FirstStartPlace(small, least, frame).top(), frame.top());

    const QRect right(1920, 0, 2560, 1400); // a second screen to the right
    const QRect there = FirstStartPlace(right, least, frame);
    EXPECT_TRUE(right.contains(there));
    EXPECT_EQ(there.size(), QSize(1920, 1050));
}

TEST(WindowPlacement, AWindowSizeRoundTripsAndABadOneIsNone)
{
    QTemporaryDir dir;
    QSettings store(dir.filePath("placement.ini"), QSettings::IniFormat);
    EXPECT_FALSE(ReadWindowSize(store, ReportWindowGroup).isValid());
    WriteWindowSize(store, ReportWindowGroup, QSize(640, 360));
    EXPECT_EQ(ReadWindowSize(store, ReportWindowGroup), QSize(640, 360));
    for (const char *bad : {"640", "a,b", "-5,100", "0,0"}) {
        store.setValue(ReportWindowGroup + QStringLiteral("/Size"), QString::fromLatin1(bad));
        EXPECT_FALSE(ReadWindowSize(store, ReportWindowGroup).isValid()) << bad;
    }
}
