#include "app/CommandLine.h"
#include "app/forms/Application.h"
#include "app/commands/CheckTreeCommand.h"
#include "app/commands/FetchCommand.h"
#include "app/commands/OpmlCommand.h"
#include "app/commands/SyncCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

// Command-line tools run without a window and without the single-instance rule.
int runTool(int argc, char **argv, int (*tool)(const QStringList &), const QStringList &args)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolvani"));
    return tool(args);
}

void print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(args);
    switch (line.mode) {
    case CommandLine::Mode::Help:
        print(stdout, CommandLineHelp());
        return 0;
    case CommandLine::Mode::Version:
        print(stdout, VersionText() + QLatin1Char('\n'));
        return 0;
    case CommandLine::Mode::UsageError:
        print(stderr, QStringLiteral("kolvani: nieznana opcja %1\n\n").arg(line.badArgument) +
                          CommandLineHelp());
        return 2;
    case CommandLine::Mode::CheckTree:
        return runTool(argc, argv, runCheckTreeCommand, line.toolArguments);
    case CommandLine::Mode::Fetch:
        return runTool(argc, argv, runFetchCommand, line.toolArguments);
    case CommandLine::Mode::Sync:
        return runTool(argc, argv, runSyncCommand, line.toolArguments);
    case CommandLine::Mode::ImportOpml:
        return runTool(argc, argv, runImportOpmlCommand, line.toolArguments);
    case CommandLine::Mode::ExportOpml:
        return runTool(argc, argv, runExportOpmlCommand, line.toolArguments);
    case CommandLine::Mode::Window:
        break;
    }
    return runApplication(argc, argv, line);
}
