// How `kolvani` starts: the command-line tools on the core libraries alone, the window
// handed to the window program beside the executable, in the same process.
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

const QString &Program = KolvaniProgram;

const QByteArray Feed = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                        "<title>K</title><item><title>Wiadomość</title></item></channel></rss>";

// The shared libraries a running process has mapped, by file name.
QStringList mappedLibraries(qint64 pid)
{
    QStringList names;
    const QByteArray maps = readAll(QStringLiteral("/proc/%1/maps").arg(pid));
    for (const QByteArray &line : maps.split('\n')) {
        const int slash = line.lastIndexOf('/');
        if (slash < 0 || !line.contains(".so"))
            continue;
        const QString name = QString::fromUtf8(line.mid(slash + 1));
        if (!names.contains(name))
            names << name;
    }
    return names;
}

bool maps(const QStringList &libraries, const QString &prefix)
{
    for (const QString &name : libraries)
        if (name.startsWith(prefix))
            return true;
    return false;
}

// A user of their own: HOME, data home and runtime folder in a temporary folder.
QProcessEnvironment account(const QString &home)
{
    QProcessEnvironment env = windowProgramEnvironment(home);
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/share"));
    return env;
}

TEST(ProgramStart, SyncRunsOnTheCoreLibrariesWithoutTheWindowOnes)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    LoopbackServer server;
    // The body is kept back while the test looks at the running program.
    server.setHandler([](const LoopbackRequest &) { return LoopbackReply::okWhenReleased(Feed); });
    ASSERT_TRUE(server.start());
    const QString appFolder = home.path() + QStringLiteral("/share/Kolvani/");
    QDir().mkpath(appFolder + QStringLiteral("temp"));
    QDir().mkpath(appFolder + QStringLiteral("data"));
    ChannelTree tree;
    ChannelNode *node = tree.addNode(tree.root(), QStringLiteral("Wolny"), NodeKind::Channel);
    node->channel()->url = server.url(QStringLiteral("/slow"));
    node->channel()->enabled = true;
    node->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
    SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));

    QProcess sync;
    sync.setProcessEnvironment(account(home.path()));
    sync.start(Program, {QStringLiteral("--sync")});
    ASSERT_TRUE(sync.waitForStarted(10000));
    ASSERT_TRUE(server.waitForRequests(1, 20000));
    const QStringList libraries = mappedLibraries(sync.processId());
    server.release();
    ASSERT_TRUE(sync.waitForFinished(30000));

    EXPECT_TRUE(maps(libraries, QStringLiteral("libQt6Core.so"))) << qPrintable(libraries.join(' '));
    EXPECT_TRUE(maps(libraries, QStringLiteral("libQt6Network.so")));
    for (const char *windowLibrary : {"libQt6Gui.so", "libQt6Widgets.so", "libQt6WebEngine",
                                      "libQt6Quick", "libQt6Qml"})
        EXPECT_FALSE(maps(libraries, QString::fromLatin1(windowLibrary)))
            << windowLibrary << " in " << qPrintable(libraries.join(' '));
    // The run itself is the same as ever.
    EXPECT_EQ(sync.exitCode(), 0) << sync.readAllStandardError().constData();
    EXPECT_TRUE(QString::fromUtf8(sync.readAllStandardError())
                    .contains(QStringLiteral("Uaktualniono Wolny")));
    EXPECT_TRUE(QFile::exists(appFolder + QStringLiteral("data/") + node->channel()->GUID +
                              QStringLiteral(".xml")));
}

// The window comes up in the process `kolvani` started (a caller waiting for it or ending it
// still has the right process), through a link to the program as well; a second start hands
// its address to the first and ends.
TEST(ProgramStart, TheWindowStartsInTheSameProcessAndStaysSingle)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString link = home.path() + QStringLiteral("/bin/kolvani");
    QDir().mkpath(home.path() + QStringLiteral("/bin"));
    ASSERT_TRUE(QFile::link(Program, link));

    QProcess window;
    window.setProcessEnvironment(account(home.path()));
    window.start(link, {QStringLiteral("hid")});
    ASSERT_TRUE(window.waitForStarted(10000));
    const QString tree = home.path() + QStringLiteral("/share/Kolvani/data/tvChannels.xml");
    ASSERT_TRUE(waitForFile(window, tree)) << window.readAllStandardError().constData();
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(window.processId())).symLinkTarget(),
              QFileInfo(QStringLiteral(KV_BINARY_DIR "/kolvani-window")).canonicalFilePath());
    EXPECT_TRUE(maps(mappedLibraries(window.processId()), QStringLiteral("libQt6Widgets.so")));

    QProcess second;
    second.setProcessEnvironment(account(home.path()));
    second.start(Program, {QStringLiteral("https://example.org/rss")});
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(window.state(), QProcess::Running);

    EXPECT_TRUE(endProgram(window)) << window.readAllStandardError().constData();
    endProgram(second);
}

// Without the window program beside the executable there is no window, and a program of that
// name in the current folder or on PATH is never started in its place.
TEST(ProgramStart, WithoutTheWindowProgramBesideItNothingElseIsStarted)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString alone = folder.path() + QStringLiteral("/alone/kolvani");
    QDir().mkpath(folder.path() + QStringLiteral("/alone"));
    ASSERT_TRUE(QFile::copy(Program, alone));
    const QString marker = folder.path() + QStringLiteral("/started");
    const QString decoy = folder.path() + QStringLiteral("/decoy/kolvani-window");
    ASSERT_TRUE(writeAll(decoy, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n"));
    QFile::setPermissions(decoy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment env = account(folder.path());
    env.insert(QStringLiteral("PATH"), folder.path() + QStringLiteral("/decoy:") +
                                           env.value(QStringLiteral("PATH")));
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(folder.path() + QStringLiteral("/decoy"));
    program.start(alone, {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 1);
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    EXPECT_TRUE(errors.contains(QFileInfo(folder.path() + QStringLiteral("/alone")).canonicalFilePath() +
                                QStringLiteral("/kolvani-window")))
        << qPrintable(errors);
    EXPECT_FALSE(QFileInfo::exists(marker));

    // The tools need no window program.
    const ProgramRun version = runProgram(alone, {QStringLiteral("--version")}, 20000);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("Kolvani ")));
}

} // namespace
