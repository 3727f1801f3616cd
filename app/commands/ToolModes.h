#pragma once

struct CommandLine;

// Runs what the command line asks for when that is not the window: the help, the version, a
// usage error or one of the tools. Returns false for the window, with nothing done; otherwise
// true with the process exit code in `exitCode`.
bool RunToolMode(int argc, char **argv, const CommandLine &line, int *exitCode);
