#include "app/commands/SyncCommand.h"

#include "alerts/AlertQueue.h"
#include "app/AppFolder.h"
#include "app/AppSettings.h"
#include "app/SettingsFile.h"
#include "app/UserDataLock.h"
#include "app/UserFolder.h"
#include "app/commands/ConsoleLines.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "feed/DocumentDownloader.h"
#include "sync/ChannelUpdater.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

void printLine(const QString &text)
{
    WriteConsoleLine(stderr, text);
}

// Runs the updates without a window: report lines go to standard error.
class ConsoleUpdateHost : public IChannelUpdateHost
{
public:
    explicit ConsoleUpdateHost(const ProxySettings &proxy)
    {
        m_downloader.setReportSink(this);
        m_downloader.setProxyProvider([proxy] { return proxy; });
    }

    int DownloadDocument(const QString &url, const QString &targetFile, const QString &user,
                         const QString &password) override
    {
        return m_downloader.DownloadDocument(url, targetFile, nullptr, user, password);
    }
    XmlDocument &shownDocument() override { return m_shown; }
    void ReportProblem(const QString &line) override
    {
        ++problems;
        printLine(line);
    }

    int problems = 0;

private:
    DocumentDownloader m_downloader;
    XmlDocument m_shown; // nothing is shown on the command line
};

} // namespace

int runSyncCommand(const QStringList &args)
{
    if (!args.isEmpty()) {
        printLine(QStringLiteral("Użycie: kolvani --sync"));
        return 2;
    }
    UserFolder folder;
    try {
        folder = UserFolder(DetermineAppFolder(QCoreApplication::applicationDirPath()),
                            QCoreApplication::applicationDirPath());
    } catch (const std::exception &e) {
        printLine(QString::fromStdString(e.what()));
        return 1;
    }
    UserDataLock lock(folder.lockFile());
    if (!lock.tryLock(UserDataLock::Mode::Exclusive)) {
        printLine(QStringLiteral("Program Kolvani jest uruchomiony; zamknij go przed "
                                 "synchronizacją z wiersza poleceń."));
        return 1;
    }

    const QString treePath = folder.treeFile();
    ChannelTree tree;
    XmlDocument treeDocument;
    const TreeLoadResult loaded = LoadChannelTree(tree, treeDocument, treePath);
    treeDocument.setActive(false);
    if (!loaded.ok) {
        printLine(QStringLiteral("Nie można załadować listy kanałów: ") + loaded.error);
        return 1;
    }

    const SettingsFile settings(folder.configFile());
    ConsoleUpdateHost host(AppSettings::read(settings).proxy());
    AlertQueue alerts;
    ChannelUpdater updater(folder, host, alerts);

    int failed = 0;
    for (ChannelNode *node : tree.channelsInPreOrder()) {
        TtvChannel *channel = node->channel();
        if (!channel || !channel->enabled)
            continue;
        int result = -1;
        try {
            result = updater.UpdateChannel(*channel, node->text());
        } catch (const std::exception &e) {
            host.ReportProblem(QString::fromStdString(e.what()));
        }
        if (result == -1)
            ++failed;
        else
            printLine(QStringLiteral("Uaktualniono ") + node->text());
    }

    try {
        SaveChannelTree(tree, treePath);
    } catch (const std::exception &e) {
        printLine(QStringLiteral("Nie można zapisać listy kanałów: ") +
                  QString::fromStdString(e.what()));
        return 1;
    }
    printLine(QStringLiteral("Nowych wiadomości: ") + QString::number(alerts.newItemCount));
    return failed == 0 ? 0 : 1;
}
