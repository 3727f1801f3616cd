#include "app/commands/SyncCommand.h"

#include "alerts/AlertQueue.h"
#include "base/AppFolder.h"
#include "base/AppSettings.h"
#include "base/LiveSettings.h"
#include "app/Session.h"
#include "base/SettingsFile.h"
#include "base/UserFolder.h"
#include "app/commands/ConsoleLines.h"
#include "app/commands/ToolFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "feed/DocumentDownloader.h"
#include "base/ProxySettings.h"
#include "reading/ShownChannel.h"
#include "sync/ChannelUpdater.h"
#include "sync/SyncRun.h"


#include <cstdio>

namespace {

void printLine(const QString &text)
{
    WriteConsoleLine(stderr, text);
}

// Report lines go to standard error and are counted.
class ConsoleReport : public IReportSink
{
public:
    void ReportProblem(const QString &line) override
    {
        ++problems;
        printLine(line);
    }

    int problems = 0;
};

} // namespace

int runSyncCommand(const QStringList &args)
{
    if (!args.isEmpty()) {
        printLine(QStringLiteral("Użycie: kolvani --sync"));
        return 2;
    }
    UserFolder folder;
    const auto lock = LockToolFolder(
        folder, QStringLiteral("Program Kolvani jest uruchomiony; zamknij go przed "
                               "synchronizacją z wiersza poleceń."));
    if (!lock)
        return 1;

    // Nothing could be saved: say so before any download.
    for (const QString &path : {folder.dataFolder(), folder.tempFolder()}) {
        const QString problem = FolderWriteProblem(path);
        if (!problem.isEmpty()) {
            printLine(problem);
            return 1;
        }
    }

    ConsoleReport report;
    Session session(folder, report);
    const TreeLoadResult loaded = session.loadChannelTree();
    // Nothing is shown on the command line: the shared document lets go of the tree file.
    session.shownChannel().document().setActive(false);
    if (!loaded.ok) {
        printLine(QStringLiteral("Nie można załadować listy kanałów: ") + loaded.error);
        return 1;
    }

    const AppSettings settings = AppSettings::read(SettingsFile(folder.configFile()));
    session.liveSettings().set(settings);
    const ProxySettings proxy = settings.proxy();
    session.setProxyProvider([proxy] { return proxy; });
    // The window's run: the same channels in the same order, the same lines.
    SyncRun &run = session.syncRun();
    int attempted = 0;
    int updated = 0;
    QObject::connect(&run, &SyncRun::channelUpdated, &run, [&attempted] { ++attempted; });
    QObject::connect(&run, &SyncRun::lineReported, &run, [&updated](const QString &line, int) {
        ++updated;
        printLine(line);
    });
    bool raised = false;
    try {
        run.SyncAllChannels();
    } catch (const std::exception &e) {
        report.ReportProblem(QString::fromStdString(e.what()));
        raised = true;
    }
    const bool failed = raised || attempted != updated;

    // The run wrote the tree once, at its end, if a channel was stamped; a run that tried
    // none leaves the file alone. A write that failed then is tried once more here.
    QString treeError;
    QObject::connect(&session.treeSaver(), &ChannelTreeSaver::saveFailed, &run,
                     [&treeError](const QString &message) { treeError = message; });
    if (attempted > 0 && !session.treeSaver().flush()) {
        printLine(QStringLiteral("Nie można zapisać listy kanałów: ") + treeError);
        return 1;
    }
    printLine(QStringLiteral("Nowych wiadomości: ") +
              QString::number(session.alertQueue().newItemCount));
    return failed ? 1 : 0;
}
