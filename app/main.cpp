// `kolvani`: the command-line tools themselves, on QtCore alone, so that a run from cron or a
// terminal starts without loading the window's libraries; for the window it hands over to
// `kolvani-window` beside it, with the same arguments and in the same process.
#include "app/CommandLine.h"
#include "app/commands/ToolModes.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// The window program sits beside the real file of this one (a symbolic link to `kolvani`
// still finds it); never looked up in PATH or the current folder.
std::string windowProgram()
{
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return std::string();
    std::string path(self, size_t(length));
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return path.substr(0, slash + 1) + "kolvani-window";
}

int startWindow(int argc, char **argv)
{
    const std::string program = windowProgram();
    if (!program.empty()) {
        std::vector<char *> args(argv, argv + argc);
        args[0] = const_cast<char *>(program.c_str());
        args.push_back(nullptr);
        ::execv(program.c_str(), args.data());
    }
    const int error = errno;
    std::fprintf(stderr, "kolvani: nie można uruchomić %s: %s\n",
                 program.empty() ? "kolvani-window" : program.c_str(), std::strerror(error));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    const CommandLine line = ParseCommandLine(argc, argv);
    int exitCode = 0;
    if (RunToolMode(argc, argv, line, &exitCode))
        return exitCode;
    return startWindow(argc, argv);
}
