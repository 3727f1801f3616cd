// `kolvani-window`: the windowed program, started by `kolvani` in its place. Given a tool's
// arguments directly it runs the tool as `kolvani` would.
#include "app/CommandLine.h"
#include "app/commands/ToolModes.h"
#include "app/forms/Application.h"

#include <QStringList>

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(args);
    int exitCode = 0;
    if (RunToolMode(argc, argv, line, &exitCode))
        return exitCode;
    return runApplication(argc, argv, line);
}
