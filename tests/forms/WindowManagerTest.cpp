// The real program on a virtual screen under a real window manager (openbox): what the
// window manager sees of its windows, which offscreen tests cannot show.

#include "support/TestFiles.h"
#include "support/X11Session.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

namespace {

class WindowManagerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(session.start()) << qPrintable(session.error());
        for (const char *sub : {"/share", "/config", "/runtime"})
            QDir().mkpath(home.path() + sub);
        QFile::setPermissions(home.path() + "/runtime",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            if (!program.waitForFinished(20000))
                program.kill();
            program.waitForFinished(5000);
        }
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
        // Long enough for the browser to start behind the item view.
        program.waitForFinished(4000);
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
