#include "app/commands/ToolModes.h"

#include "app/CommandLine.h"
#include "app/commands/CheckTreeCommand.h"
#include "app/commands/ConsoleLines.h"
#include "app/commands/FetchCommand.h"
#include "app/commands/OpmlCommand.h"
#include "app/commands/SyncCommand.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

// Command-line tools run without a window and without the single-instance rule.
int runTool(int argc, char **argv, int (*tool)(const QStringList &), const QStringList &args)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolvani"));
    return tool(args);
}

} // namespace

bool RunToolMode(int argc, char **argv, const CommandLine &line, int *exitCode)
{
    switch (line.mode) {
    case CommandLine::Mode::Help:
        WriteConsoleText(stdout, CommandLineHelp());
        *exitCode = 0;
        return true;
    case CommandLine::Mode::Version:
        WriteConsoleLine(stdout, VersionText());
        *exitCode = 0;
        return true;
    case CommandLine::Mode::UsageError:
        WriteConsoleText(stderr, QStringLiteral("kolvani: nieznana opcja %1\n\n")
                                         .arg(line.badArgument) +
                                     CommandLineHelp());
        *exitCode = 2;
        return true;
    case CommandLine::Mode::CheckTree:
        *exitCode = runTool(argc, argv, runCheckTreeCommand, line.toolArguments);
        return true;
    case CommandLine::Mode::Fetch:
        *exitCode = runTool(argc, argv, runFetchCommand, line.toolArguments);
        return true;
    case CommandLine::Mode::Sync:
        *exitCode = runTool(argc, argv, runSyncCommand, line.toolArguments);
        return true;
    case CommandLine::Mode::ImportOpml:
        *exitCode = runTool(argc, argv, runImportOpmlCommand, line.toolArguments);
        return true;
    case CommandLine::Mode::ExportOpml:
        *exitCode = runTool(argc, argv, runExportOpmlCommand, line.toolArguments);
        return true;
    case CommandLine::Mode::Window:
        break;
    }
    return false;
}
