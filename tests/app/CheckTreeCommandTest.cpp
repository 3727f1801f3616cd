#include "app/commands/CheckTreeCommand.h"

#include "support/ProgramRun.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString fullTree = QStringLiteral(KV_SOURCE_DIR "/tests/data/tree/full.xml");

ProgramRun runKolvani(const QStringList &args)
{
    return runProgram(KolvaniProgram, QStringList{QStringLiteral("--check-tree")} + args, 30000);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CheckTreeCommand, WrongArgumentsAreRefused)
{
    EXPECT_EQ(runCheckTreeCommand({}), 1);
    EXPECT_EQ(runCheckTreeCommand({QStringLiteral("--save")}), 1);
    EXPECT_EQ(runCheckTreeCommand({fullTree, QStringLiteral("--save")}), 1);
    EXPECT_EQ(runCheckTreeCommand({fullTree, QStringLiteral("--other"), QStringLiteral("x")}), 1);
}

TEST(CheckTreeCommand, BinaryPrintsTheTreeAndSavesIt)
{
    ASSERT_TRUE(QFileInfo(KolvaniProgram).isExecutable()) << "build the kolvani target first";
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("copy.xml"));

    const ProgramRun run = runKolvani({fullTree, QStringLiteral("--save"), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QStringList expected{
        "Węzłów: 7",
        "grupa: Moje kanały",
        "  grupa: Wiadomości",
        "    kanał: Onet - Wiadomości | url: http://wiadomosci.onet.pl/rss.xml?a=1&b=2 | GUID: "
        "{0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D}",
        "      kanał: Kanał w kanale | url: http://example.com/feed | GUID: "
        "{11111111-2222-3333-4444-555555555555}",
        "    grupa: Pusta grupa",
        "  grupa: Technologia",
        "    kanał: Slashdot | url: http://rss.slashdot.org/Slashdot/slashdot | GUID: "
        "{ABCDEF01-2345-6789-ABCD-EF0123456789}"};
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(readBytes(out), readBytes(fullTree));
}

TEST(CheckTreeCommand, BinaryReportsBrokenFilesAndRepairs)
{
    ASSERT_TRUE(QFileInfo(KolvaniProgram).isExecutable()) << "build the kolvani target first";
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    ProgramRun run = runKolvani({missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(missing)) << run.err.toStdString();

    const QString broken = dir.filePath(QStringLiteral("broken.xml"));
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<tree><treenodes><node><name>R</name></node>"
                   "<node><name>lost parent</name><type>0</type><parent>9</parent></node>");
    }
    run = runKolvani({broken});
    EXPECT_EQ(run.exitCode, 1);

    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("<tree><treenodes><node><name>R</name></node>"
                   "<node><name>lost parent</name><type>0</type><parent>9</parent></node>"
                   "</treenodes></tree>");
    }
    run = runKolvani({broken, QStringLiteral("--save"), dir.filePath(QStringLiteral("no/x.xml"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.contains(QStringLiteral("  grupa: lost parent")));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Uwaga: ")));

    run = runKolvani({broken});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Węzłów: 2\n")));
}
