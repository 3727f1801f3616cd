#pragma once

struct CommandLine;

// Runs the windowed program: single instance, the windows, the message loop. Returns the
// process exit code. `commandLine` is what ParseCommandLine made of the arguments.
int runApplication(int argc, char **argv, const CommandLine &commandLine);
