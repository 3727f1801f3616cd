// `kolvani-window`: the windowed program, started by `kolvani` in its place. Given a tool's
// arguments directly it runs the tool as `kolvani` would.
#include "app/CommandLine.h"
#include "app/commands/ToolModes.h"
#include "app/forms/Application.h"

int main(int argc, char **argv)
{
    const CommandLine line = ParseCommandLine(argc, argv);
    int exitCode = 0;
    if (RunToolMode(argc, argv, line, &exitCode))
        return exitCode;
    return runApplication(argc, argv, line);
}
