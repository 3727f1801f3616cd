#include "app/CommandLine.h"
#include "support/ProgramRun.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSize>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Width and height from a PNG's header.
QSize pngSize(const QString &path)
{
    const QByteArray bytes = readAll(path);
    if (bytes.size() < 24 || !bytes.startsWith("\x89PNG"))
        return QSize();
    auto be32 = [&](int at) {
        return int((uchar(bytes[at]) << 24) | (uchar(bytes[at + 1]) << 16) |
                   (uchar(bytes[at + 2]) << 8) | uchar(bytes[at + 3]));
    };
    return QSize(be32(16), be32(20));
}

// A fresh account: nothing of the program's yet, no XDG variables.
QProcessEnvironment freshAccount(const QString &home)
{
    QProcessEnvironment env = windowProgramEnvironment(home);
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Starts the windowed program hidden for a fresh account, waits until it has made its
// per-user folder, ends it as the system would and returns what it wrote on standard error.
// The per-user folder is HOME/.local/share/Kolvani/.
QString startAndEnd(const QString &program, const QString &home, bool *endedCleanly)
{
    *endedCleanly = false;
    QProcess process;
    process.setProcessEnvironment(freshAccount(home));
    process.start(program, {QStringLiteral("hid")});
    if (!process.waitForStarted(10000))
        return QStringLiteral("did not start");
    // Ended only once all its windows are made: the About box reads the shipped licence.
    waitForFile(process, home + QStringLiteral("/.local/share/Kolvani/data/tvChannels.xml"));
    waitUntilRunning(process);
    *endedCleanly = endProgram(process);
    return QString::fromUtf8(process.readAllStandardError());
}

// One installation into a temporary prefix, shared by the cases of the install tree.
class InstallTree : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_prefix = std::make_unique<QTemporaryDir>();
        const ProgramRun install =
            runProgram(QStringLiteral(KV_CMAKE_COMMAND),
                       {QStringLiteral("--install"), QStringLiteral(KV_BINARY_DIR),
                        QStringLiteral("--prefix"), s_prefix->path()},
                       120000);
        s_installLog = install.out + install.err;
        s_installed = install.exitCode == 0;
    }
    static void TearDownTestSuite() { s_prefix.reset(); }
    void SetUp() override { ASSERT_TRUE(s_installed) << qPrintable(s_installLog); }

    static QString path(const QString &relative) { return s_prefix->path() + '/' + relative; }

    static std::unique_ptr<QTemporaryDir> s_prefix;
    static bool s_installed;
    static QString s_installLog;
};

std::unique_ptr<QTemporaryDir> InstallTree::s_prefix;
bool InstallTree::s_installed = false;
QString InstallTree::s_installLog;

TEST_F(InstallTree, HoldsEveryFile)
{
    EXPECT_TRUE(QFileInfo(path("bin/kolvani")).isExecutable());
    EXPECT_TRUE(QFileInfo(path("bin/kolvani-window")).isExecutable());
    for (const char *file :
         {"share/kolvani/data/tvChannels_e.xml", "share/kolvani/data/tvChannels.xml",
          "share/kolvani/data/config.ini", "share/kolvani/data/rss1.xsl",
          "share/kolvani/data/rss2.xsl", "share/kolvani/data/rss1_archive.xsl",
          "share/kolvani/licencja.rtf", "share/kolvani/LICENSE", "share/doc/kolvani/copyright",
          "share/applications/kolvani.desktop", "share/metainfo/pl.kolvani.Kolvani.metainfo.xml",
          "share/icons/hicolor/scalable/apps/kolvani.svg"})
        EXPECT_TRUE(QFileInfo(path(QString::fromLatin1(file))).isFile()) << file;
    EXPECT_TRUE(QFileInfo(path("share/kolvani/temp")).isDir());
    EXPECT_FALSE(QFileInfo::exists(path("share/kolvani/temp/.gitkeep")));
    // Every file the program ships in data/ is installed.
    QDirIterator shipped(QStringLiteral(KV_SOURCE_DIR "/data"), QDir::Files | QDir::Hidden,
                         QDirIterator::Subdirectories);
    while (shipped.hasNext()) {
        const QString source = shipped.next();
        const QString relative = QDir(QStringLiteral(KV_SOURCE_DIR "/data")).relativeFilePath(source);
        EXPECT_EQ(readAll(path("share/kolvani/data/" + relative)), readAll(source)) << qPrintable(relative);
    }
    // The empty archive the build makes.
    EXPECT_EQ(readAll(path("share/kolvani/data/archive.mdb")),
              readAll(QStringLiteral(KV_BINARY_DIR "/data/archive.mdb")));
    EXPECT_FALSE(readAll(path("share/kolvani/data/archive.mdb")).isEmpty());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString png =
            path(QStringLiteral("share/icons/hicolor/%1x%1/apps/kolvani.png").arg(size));
        EXPECT_EQ(pngSize(png), QSize(size, size)) << qPrintable(png);
    }
}

TEST_F(InstallTree, DesktopEntryAndMetainfoValidate)
{
    const QString desktop = path("share/applications/kolvani.desktop");
    const ProgramRun entry = runProgram(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entry.exitCode, 0) << qPrintable(entry.out + entry.err);
    EXPECT_TRUE(entry.out.trimmed().isEmpty()) << qPrintable(entry.out); // no warnings either
    const QString text = QString::fromUtf8(readAll(desktop));
    EXPECT_TRUE(text.contains("\nExec=kolvani %u\n"));
    EXPECT_TRUE(text.contains("\nIcon=kolvani\n"));
    EXPECT_TRUE(text.contains("\nCategories=Network;Feed;News;\n"));
    EXPECT_TRUE(text.contains("\nComment[pl]="));

    const QString metainfo = path("share/metainfo/pl.kolvani.Kolvani.metainfo.xml");
    const ProgramRun info =
        runProgram(QStringLiteral("appstreamcli"),
                   {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo});
    EXPECT_EQ(info.exitCode, 0) << qPrintable(info.out + info.err);
    EXPECT_TRUE(QString::fromUtf8(readAll(metainfo))
                    .contains(QStringLiteral("<release version=\"%1\"")
                                  .arg(VersionText().section(' ', 1))));
}

TEST_F(InstallTree, InstalledProgramFindsItsShippedFoldersWithAFreshHome)
{
    const ProgramRun version = runProgram(path("bin/kolvani"), {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.trimmed(), VersionText());

    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    bool ended = false;
    const QString errors = startAndEnd(path("bin/kolvani"), home.path(), &ended);
    EXPECT_TRUE(ended) << qPrintable(errors);
    const QString appFolder = home.path() + "/.local/share/Kolvani/";
    EXPECT_EQ(readAll(appFolder + "data/tvChannels_e.xml"),
              readAll(path("share/kolvani/data/tvChannels_e.xml")));
    EXPECT_EQ(readAll(appFolder + "data/rss2.xsl"), readAll(path("share/kolvani/data/rss2.xsl")));
    EXPECT_TRUE(QFileInfo(appFolder + "temp").isDir());
    // The licence was found: no error about it.
    EXPECT_FALSE(errors.contains("licencj")) << qPrintable(errors);
}

// The package made by `make package`, installed and removed as a user would. Needs root,
// and is skipped when the package is not there or older than the program.
TEST(DebianPackage, InstallsWithItsDependenciesAndRemovesCleanly)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing a package needs root";
    const QFileInfoList debs = QDir(QStringLiteral(KV_BINARY_DIR))
                                   .entryInfoList({QStringLiteral("kolvani_*.deb")}, QDir::Files,
                                                  QDir::Time);
    if (debs.isEmpty())
        GTEST_SKIP() << "no package: make package";
    const QFileInfo deb = debs.first();
    if (deb.lastModified() < QFileInfo(QStringLiteral(KV_BINARY_DIR "/kolvani")).lastModified())
        GTEST_SKIP() << "package older than the program: make package";

    // One package test on this machine at a time, whichever build folder it comes from.
    const int lockFd = ::open("/tmp/kolvani-package-test.lock", O_CREAT | O_RDWR, 0600);
    ASSERT_GE(lockFd, 0);
    ASSERT_EQ(::flock(lockFd, LOCK_EX), 0);
    struct Unlock
    {
        int fd;
        ~Unlock() { ::close(fd); }
    } unlock{lockFd};

    if (runProgram(QStringLiteral("dpkg-query"), {"-W", "-f=${Status}", "kolvani"})
            .out.contains("ok installed"))
        GTEST_SKIP() << "kolvani is installed on this machine already; left alone";

    const QStringList aptOptions = {QStringLiteral("-y"), QStringLiteral("-q"),
                                    QStringLiteral("-o"),
                                    QStringLiteral("DPkg::Lock::Timeout=300")};
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    const ProgramRun install = runProgram(QStringLiteral("apt-get"),
                                          QStringList{QStringLiteral("install")} + aptOptions +
                                              QStringList{deb.absoluteFilePath()},
                                          600000, env);
    ASSERT_EQ(install.exitCode, 0) << qPrintable(install.out + install.err);

    const ProgramRun status = runProgram(
        QStringLiteral("dpkg-query"),
        {QStringLiteral("-W"), QStringLiteral("-f=${Depends}"), QStringLiteral("kolvani")});
    QStringList depends;
    for (const QString &entry : status.out.split(QLatin1Char(','), Qt::SkipEmptyParts))
        depends << entry.trimmed().section(QLatin1Char(' '), 0, 0);
    // Computed from the programs (the tools and the window): every library they link comes
    // with a dependency, and the browser's helper process with it.
    QString linked;
    for (const char *program : {"/usr/bin/kolvani", "/usr/bin/kolvani-window"})
        linked += runProgram(QStringLiteral("objdump"),
                             {QStringLiteral("-p"), QString::fromLatin1(program)})
                      .out;
    static const QRegularExpression neededPattern(QStringLiteral("NEEDED\\s+(\\S+)"));
    auto needed = neededPattern.globalMatch(linked);
    int libraries = 0;
    while (needed.hasNext()) {
        const QString soname = needed.next().captured(1);
        ++libraries;
        QStringList owners;
        const ProgramRun owner = runProgram(QStringLiteral("dpkg"), {QStringLiteral("-S"), soname});
        for (const QString &line : owner.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line.endsWith(QLatin1Char('/') + soname))
                owners << line.section(QLatin1Char(':'), 0, 0);
        bool brought = false;
        for (const QString &package : owners)
            brought = brought || depends.contains(package);
        EXPECT_TRUE(brought) << qPrintable(soname) << " of " << qPrintable(owners.join(' '))
                             << " not in " << qPrintable(status.out);
    }
    EXPECT_GE(libraries, 5);
    for (const char *dependency : {"libqt6core6", "libqt6widgets6", "libqt6webenginewidgets6",
                                   "libxml2", "libqt6webenginecore6-bin"})
        EXPECT_TRUE(depends.contains(QLatin1String(dependency)))
            << dependency << " in " << qPrintable(status.out);
    const ProgramRun version =
        runProgram(QStringLiteral("/usr/bin/kolvani"), {QStringLiteral("--version")});
    EXPECT_EQ(version.out.trimmed(), VersionText());
    EXPECT_TRUE(QFileInfo::exists("/usr/share/kolvani/data/tvChannels_e.xml"));
    EXPECT_TRUE(QFileInfo::exists("/usr/share/applications/kolvani.desktop"));
    QTemporaryDir home;
    bool ended = false;
    const QString errors = startAndEnd(QStringLiteral("/usr/bin/kolvani"), home.path(), &ended);
    EXPECT_TRUE(ended) << qPrintable(errors);
    EXPECT_TRUE(QFileInfo::exists(home.path() + "/.local/share/Kolvani/data/rss2.xsl"));

    const ProgramRun removal = runProgram(QStringLiteral("apt-get"),
                                          QStringList{QStringLiteral("purge")} + aptOptions +
                                              QStringList{QStringLiteral("kolvani")},
                                          600000, env);
    EXPECT_EQ(removal.exitCode, 0) << qPrintable(removal.out + removal.err);
    for (const char *gone : {"/usr/bin/kolvani", "/usr/bin/kolvani-window", "/usr/share/kolvani",
                             "/usr/share/applications/kolvani.desktop",
                             "/usr/share/icons/hicolor/scalable/apps/kolvani.svg"})
        EXPECT_FALSE(QFileInfo::exists(QString::fromLatin1(gone))) << gone;
}

} // namespace
