#include <QCoreApplication>
#include <QStringList>

#include <cstring>

// Temporary while the subsystems land one by one.
#if __has_include("catalogue/CheckTreeCommand.h")
#include "catalogue/CheckTreeCommand.h"
#define KV_HAS_CHECK_TREE 1
#endif
#if __has_include("feed/FetchCommand.h")
#include "feed/FetchCommand.h"
#define KV_HAS_FETCH 1
#endif
#if __has_include("sync/SyncCommand.h")
#include "sync/SyncCommand.h"
#define KV_HAS_SYNC 1
#endif
#if __has_include("app/forms/Application.h")
#include "app/forms/Application.h"
#define KV_HAS_GUI 1
#endif

namespace {

// Command-line tools run without a window and without the single-instance rule.
int runTool(int argc, char **argv, int (*tool)(const QStringList &))
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kolvani"));
    QStringList args = QCoreApplication::arguments();
    return tool(args.mid(2));
}

} // namespace

int main(int argc, char **argv)
{
    const char *mode = argc > 1 ? argv[1] : "";
#ifdef KV_HAS_CHECK_TREE
    if (std::strcmp(mode, "--check-tree") == 0)
        return runTool(argc, argv, runCheckTreeCommand);
#endif
#ifdef KV_HAS_FETCH
    if (std::strcmp(mode, "--fetch") == 0)
        return runTool(argc, argv, runFetchCommand);
#endif
#ifdef KV_HAS_SYNC
    if (std::strcmp(mode, "--sync") == 0)
        return runTool(argc, argv, runSyncCommand);
#endif
#ifdef KV_HAS_GUI
    return runApplication(argc, argv);
#else
    (void)mode;
    return 0;
#endif
}
