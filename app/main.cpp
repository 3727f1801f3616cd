#include "app/forms/Application.h"
#include "app/commands/CheckTreeCommand.h"
#include "app/commands/FetchCommand.h"
#include "app/commands/OpmlCommand.h"
#include "app/commands/SyncCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstring>

namespace {

// Command-line tools run without a window and without the single-instance rule.
int runTool(int argc, char **argv, int (*tool)(const QStringList &))
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolvani"));
    return tool(QCoreApplication::arguments().mid(2));
}

} // namespace

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "--check-tree") == 0)
        return runTool(argc, argv, runCheckTreeCommand);
    if (std::strcmp(mode, "--fetch") == 0)
        return runTool(argc, argv, runFetchCommand);
    if (std::strcmp(mode, "--sync") == 0)
        return runTool(argc, argv, runSyncCommand);
    if (std::strcmp(mode, "--import-opml") == 0)
        return runTool(argc, argv, runImportOpmlCommand);
    if (std::strcmp(mode, "--export-opml") == 0)
        return runTool(argc, argv, runExportOpmlCommand);
    return runApplication(argc, argv);
}
