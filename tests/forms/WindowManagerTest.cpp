// The real program on a virtual screen under a real window manager (openbox): what the
// window manager sees of its windows, which offscreen tests cannot show.

#include "support/QtPrinters.h"
#include "support/TestFiles.h"
#include "support/X11Session.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

namespace {

class WindowManagerTest : public ::testing::Test
{
protected:
    // A 40-pixel panel at the bottom, as on a desktop.
    explicit WindowManagerTest(const QString &screen = QStringLiteral("1280x800x24"))
        : session(screen, 40)
    {
    }

    void SetUp() override
    {
        if (!X11Session::missingTools().isEmpty())
            GTEST_SKIP() << qPrintable(X11Session::missingTools());
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(session.start()) << qPrintable(session.error());
        for (const char *sub : {"/share", "/config", "/runtime"})
            QDir().mkpath(home.path() + sub);
        QFile::setPermissions(home.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override { stopProgram(); }

    void stopProgram()
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            if (!program.waitForFinished(20000))
                program.kill();
            program.waitForFinished(5000);
        }
    }

    // The window placement store of this test's user, as the program keeps it on Linux.
    QString placementFile() const
    {
        return home.path() + QStringLiteral("/config/Velmar/RSS Quorrel 1.0.conf");
    }

    void writePlacement(int showCmd, const QString &normPos)
    {
        QDir().mkpath(home.path() + "/config/Velmar");
        const QString text = QStringLiteral("[fmMainFrm]\nShowCmd=%1\nNormPos=\"%2\"\n")
                                 .arg(showCmd)
                                 .arg(normPos);
        QFile::remove(placementFile());
        ASSERT_TRUE(writeAll(placementFile(), text.toUtf8()));
    }

    QVariant storedPlacement(const QString &key) const
    {
        QSettings store(placementFile(), QSettings::IniFormat);
        return store.value(QStringLiteral("fmMainFrm/") + key);
    }

    // The window with its decoration, as the user sees it on the screen.
    QRect outerFrame(const QString &id) const
    {
        return session.geometry(id).marginsAdded(session.frameExtents(id));
    }

    bool hasState(const QString &id, const char *atom) const
    {
        return session.netWmState(id).contains(QLatin1String(atom));
    }

    bool maximised(const QString &id) const
    {
        return hasState(id, "_NET_WM_STATE_MAXIMIZED_VERT") &&
               hasState(id, "_NET_WM_STATE_MAXIMIZED_HORZ");
    }

    int windowsNamed(const QString &name) const
    {
        int count = 0;
        for (const X11Session::Window &window : session.clientWindows())
            count += window.name == name ? 1 : 0;
        return count;
    }

    // True once the program has started the browser engine's helper process, which the
    // item view starts behind the window.
    bool browserStarted() const
    {
        const QByteArray parent = QByteArray::number(program.processId());
        for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
            // "pid (comm) state ppid ...": the name may hold spaces, the fields after it not.
            const QByteArray stat =
                readAll(QStringLiteral("/proc/") + pid + QStringLiteral("/stat"));
            const int close = stat.lastIndexOf(')');
            if (close < 0 || !stat.mid(stat.indexOf('(') + 1).startsWith("QtWebEngineProc"))
                continue;
            if (stat.mid(close + 2).split(' ').value(1) == parent)
                return true;
        }
        return false;
    }

    // A start with "hid" and no tray: minimised, and the question about a first channel
    // once the user opens the window.
    void checkHiddenStart();

    // Every managed window with its state and kind, for a failure's message.
    QString describeWindows() const
    {
        QString all;
        for (const X11Session::Window &window : session.clientWindows())
            all += window.id + ' ' + window.name + ' ' + session.wmState(window.id) + ' ' +
                   session.netWmState(window.id).join(',') + ' ' +
                   session.tool(QStringLiteral("xprop"),
                                {QStringLiteral("-id"), window.id,
                                 QStringLiteral("WM_TRANSIENT_FOR"),
                                 QStringLiteral("_NET_WM_WINDOW_TYPE")})
                       .simplified() +
                   '\n';
        return all;
    }

    // Starts the built program for this test's own user on the virtual screen.
    void startProgram(const QStringList &args, const QProcessEnvironment &extra = {})
    {
        QProcessEnvironment env = session.environment(QProcessEnvironment::systemEnvironment());
        env.insert("HOME", home.path());
        env.insert("XDG_DATA_HOME", home.path() + "/share");
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
        if (!env.contains("QTWEBENGINE_CHROMIUM_FLAGS"))
            env.insert("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
        for (const QString &key : extra.keys())
            env.insert(key, extra.value(key));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), args);
        ASSERT_TRUE(program.waitForStarted(10000));
    }

    // The per-user folder with a tree of one channel, so that no first-start question opens.
    void prepareTreeWithAChannel()
    {
        const QString data = home.path() + "/share/Kolvani/data";
        QDir().mkpath(data);
        QDir().mkpath(home.path() + "/share/Kolvani/temp");
        for (const QString &name : QDir(QStringLiteral(KV_BINARY_DIR "/data")).entryList(QDir::Files))
            QFile::copy(QStringLiteral(KV_BINARY_DIR "/data/") + name, data + '/' + name);
        const QString tree =
            "<?xml version=\"1.0\"?>\r\n<tree>\r\n<treenodes name=\"tvChannels\">\r\n"
            "<node>\r\n  <name>Moje kanały</name>\r\n  <type>0</type>\r\n</node>\r\n"
            "<node>\r\n  <name>Kanał</name>\r\n  <type>1</type>\r\n  <parent>0</parent>\r\n"
            "  <url>http://127.0.0.1:9/x.xml</url>\r\n  <enabled>False</enabled>\r\n"
            "  <GUID>{0B7C3D2E-1111-4A5B-9C8D-000000000001}</GUID>\r\n</node>\r\n"
            "</treenodes>\r\n</tree>\r\n";
        QFile::remove(data + "/tvChannels.xml");
        QByteArray bytes("\xff\xfe");
        bytes.append(reinterpret_cast<const char *>(tree.utf16()), tree.size() * 2);
        ASSERT_TRUE(writeAll(data + "/tvChannels.xml", bytes));
    }

    QTemporaryDir home;
    X11Session session;
    QProcess program;
};

// A netbook's screen, smaller than the size the window is laid out for.
class SmallScreenTest : public WindowManagerTest
{
protected:
    SmallScreenTest() : WindowManagerTest(QStringLiteral("800x480x24")) {}
};

} // namespace

// Qt appends the application's display name to every title it hands the window manager
// once one is set; the captions are the program's own texts and nothing else.
TEST_F(WindowManagerTest, CaptionsReachTheWindowManagerExactlyAsGiven)
{
    prepareTreeWithAChannel();
    QProcessEnvironment extra;
    extra.insert("KOLVANI_SCREENSHOT", "config");
    startProgram({}, extra);
    const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
    EXPECT_FALSE(main.isEmpty());
    const QString config = session.waitForWindow(QStringLiteral("Ustawienia programu:"));
    QStringList names;
    for (const X11Session::Window &window : session.clientWindows())
        names << window.name;
    EXPECT_FALSE(config.isEmpty()) << qPrintable(names.join(" | "));
    for (const QString &name : names)
        EXPECT_FALSE(name.contains(QString::fromUtf8(" — "))) << qPrintable(name);
}

// Started from a terminal (or cron), the program keeps standard error for its own messages:
// the browser engine's start-up report and GPU complaints show only when asked for.
TEST_F(WindowManagerTest, StandardErrorHoldsOnlyTheProgramsOwnMessages)
{
    prepareTreeWithAChannel();
    auto runAndCollect = [this](const QProcessEnvironment &extra) {
        startProgram({}, extra);
        EXPECT_FALSE(session.waitForWindow(QStringLiteral("Kolvani")).isEmpty());
        // Once the browser engine has started behind the item view.
        EXPECT_TRUE(X11Session::waitUntil([this] { return browserStarted(); }, 30000));
        program.terminate();
        EXPECT_TRUE(program.waitForFinished(20000));
        return QString::fromUtf8(program.readAllStandardError());
    };
    QProcessEnvironment quiet;
    quiet.insert("KOLVANI_DEBUG", "");
    const QString errors = runAndCollect(quiet);
    for (const QString &line : errors.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(line.startsWith("kolvani")) << qPrintable(line); // "kolvani: ", "kolvani.app: "

    QProcessEnvironment debug;
    debug.insert("KOLVANI_DEBUG", "1");
    EXPECT_TRUE(runAndCollect(debug).contains("qt.webenginecontext"));
}

// A place stored on a monitor that is gone, or reaching under the panel, would leave the
// window or its title bar out of reach: it comes back whole inside the work area, at its size.
TEST_F(WindowManagerTest, StoredPlacementIsBroughtIntoTheWorkArea)
{
    prepareTreeWithAChannel();
    const QRect area = session.workArea();
    ASSERT_EQ(area, QRect(0, 0, 1280, 760));
    for (const char *stored : {"2000,100,2800,580", "300,500,1100,980", "-900,-700,-100,-220"}) {
        SCOPED_TRACE(stored);
        writePlacement(1, QLatin1String(stored));
        startProgram({});
        const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
        ASSERT_FALSE(main.isEmpty());
        X11Session::waitUntil([&] { return !session.frameExtents(main).isNull(); }, 10000);
        const QRect outer = outerFrame(main);
        EXPECT_TRUE(area.contains(outer))
            << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
        EXPECT_EQ(session.geometry(main).size(), QSize(800, 480));
        stopProgram();
    }
}

// The window manager has to be told before it maps the window; the place the window had
// before it was maximised is the one kept for the next start.
TEST_F(WindowManagerTest, WindowClosedMaximisedComesBackMaximisedOverItsNormalPlace)
{
    prepareTreeWithAChannel();
    writePlacement(3, QStringLiteral("100,100,900,580"));
    startProgram({});
    const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
    ASSERT_FALSE(main.isEmpty());
    EXPECT_TRUE(X11Session::waitUntil([&] { return maximised(main); }, 10000))
        << qPrintable(session.netWmState(main).join(' '));
    // Held, not undone once the item view has started its browser (a bounded wait for a
    // change that must not come).
    EXPECT_TRUE(X11Session::waitUntil([this] { return browserStarted(); }, 30000));
    EXPECT_FALSE(X11Session::waitUntil([&] { return !maximised(main); }, 1000))
        << qPrintable(session.netWmState(main).join(' '));

    session.tool(QStringLiteral("wmctrl"),
                 {QStringLiteral("-i"), QStringLiteral("-r"), main, QStringLiteral("-b"),
                  QStringLiteral("remove,maximized_vert,maximized_horz")});
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return session.geometry(main) == QRect(100, 100, 800, 480); }, 10000));
    session.tool(QStringLiteral("wmctrl"),
                 {QStringLiteral("-i"), QStringLiteral("-r"), main, QStringLiteral("-b"),
                  QStringLiteral("add,maximized_vert,maximized_horz")});
    ASSERT_TRUE(X11Session::waitUntil([&] { return maximised(main); }, 10000));

    // Closed by the window manager, as the user closes it.
    session.tool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), main});
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return storedPlacement(QStringLiteral("PixelsPerInch")).isValid(); }, 10000));
    EXPECT_EQ(storedPlacement(QStringLiteral("ShowCmd")).toInt(), 3);
    EXPECT_EQ(storedPlacement(QStringLiteral("NormPos")).toString(),
              QStringLiteral("100,100,900,580"));
}

// Without a tray, "hid" leaves the window minimised, and a tree of only its root asks for a
// first channel only once the user opens the window.
TEST_F(WindowManagerTest, HiddenStartWithoutATrayIsMinimisedAndAsksWhenOpened)
{
    startProgram({QStringLiteral("hid")});
    checkHiddenStart();
}

// The place kept from the last run is no reason to open the window.
TEST_F(WindowManagerTest, HiddenStartWithAStoredPlacementStaysMinimised)
{
    writePlacement(1, QStringLiteral("100,100,900,580"));
    startProgram({QStringLiteral("hid")});
    checkHiddenStart();
    // Opened, it takes that place.
    const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return session.geometry(main) == QRect(100, 100, 800, 480); }, 10000))
        << qPrintable(describeWindows());
}

void WindowManagerTest::checkHiddenStart()
{
    const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
    ASSERT_FALSE(main.isEmpty());
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return session.wmState(main) == QLatin1String("Iconic"); }, 10000))
        << qPrintable(session.wmState(main));
    // Nothing opens once the first show has run its course (a bounded wait for a change
    // that must not come).
    EXPECT_FALSE(X11Session::waitUntil(
        [&] {
            return session.wmState(main) != QLatin1String("Iconic") ||
                   windowsNamed(QStringLiteral("Kolvani")) != 1;
        },
        2000))
        << qPrintable(describeWindows());
    EXPECT_EQ(session.wmState(main), QStringLiteral("Iconic"));
    EXPECT_TRUE(hasState(main, "_NET_WM_STATE_HIDDEN"));
    EXPECT_EQ(windowsNamed(QStringLiteral("Kolvani")), 1) << qPrintable(describeWindows());

    session.tool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-a"), main});
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return session.wmState(main) == QLatin1String("Normal"); }, 10000));
    EXPECT_TRUE(
        X11Session::waitUntil([&] { return windowsNamed(QStringLiteral("Kolvani")) == 2; }, 10000))
        << "the question about a first channel";
}

// The whole window, status bar and title bar, stays within reach on a screen smaller than
// its designed size, with or without a place stored from a larger screen.
TEST_F(SmallScreenTest, TheWholeWindowFitsTheWorkArea)
{
    prepareTreeWithAChannel();
    const QRect area = session.workArea();
    ASSERT_EQ(area, QRect(0, 0, 800, 440));
    for (const char *stored : {"", "100,100,900,580"}) {
        SCOPED_TRACE(stored);
        if (*stored)
            writePlacement(1, QLatin1String(stored));
        startProgram({});
        const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
        ASSERT_FALSE(main.isEmpty());
        // The window manager may move the window once it knows its frame.
        EXPECT_TRUE(X11Session::waitUntil(
            [&] { return !session.frameExtents(main).isNull() && area.contains(outerFrame(main)); },
            10000));
        const QRect outer = outerFrame(main);
        EXPECT_TRUE(area.contains(outer))
            << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
        stopProgram();
    }
}

// A dialog taller than the screen gives up what its layout allows: its buttons stay in reach.
TEST_F(SmallScreenTest, TheChannelPropertiesFitWithTheirButtons)
{
    prepareTreeWithAChannel();
    const QRect area = session.workArea();
    QProcessEnvironment extra;
    extra.insert("KOLVANI_SCREENSHOT", "channel");
    startProgram({}, extra);
    const QString dialog = session.waitForWindow(QString::fromUtf8("Właściwości kanału:"));
    ASSERT_FALSE(dialog.isEmpty()) << qPrintable(describeWindows());
    EXPECT_TRUE(X11Session::waitUntil(
        [&] { return !session.frameExtents(dialog).isNull() && area.contains(outerFrame(dialog)); },
        10000));
    const QRect outer = outerFrame(dialog);
    EXPECT_TRUE(area.contains(outer))
        << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
}

// The question about a first channel stands over the window, where the window manager put
// it, not over the place the window had before it was mapped.
TEST_F(WindowManagerTest, TheFirstChannelQuestionIsCentredOverTheWindow)
{
    startProgram({});
    const QString main = session.waitForWindow(QStringLiteral("Kolvani"));
    ASSERT_FALSE(main.isEmpty());
    ASSERT_TRUE(X11Session::waitUntil(
        [&] { return windowsNamed(QStringLiteral("Kolvani")) == 2; }, 10000))
        << qPrintable(describeWindows());
    QString question;
    for (const X11Session::Window &window : session.clientWindows())
        if (window.name == QLatin1String("Kolvani") && window.id != main)
            question = window.id;
    X11Session::waitUntil([&] { return !session.frameExtents(question).isNull(); }, 10000);
    const QPoint offset = outerFrame(question).center() - outerFrame(main).center();
    EXPECT_LE(offset.manhattanLength(), 40) << offset.x() << "," << offset.y();
}
