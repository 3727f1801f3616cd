#include "app/commands/OpmlCommand.h"

#include "base/UserFolder.h"
#include "app/commands/ConsoleLines.h"
#include "app/commands/ToolFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/Opml.h"
#include "xml/XmlDocument.h"

#include <QFileInfo>

#include <cstdio>
#include <functional>

namespace {

void printLine(const QString &text)
{
    WriteConsoleLine(stderr, text);
}

// Loads the user's tree under the per-user lock and hands it to `work`; `work` answers
// whether the tree is to be written back, and may leave a line in `done` that is printed
// only once what it says has landed: after the tree is written, when it is.
int withUserTree(const QString &usage, const QStringList &args,
                 const std::function<bool(ChannelTree &, const QString &file, QString &done)> &work)
{
    if (args.size() != 1 || args.first().isEmpty()) {
        printLine(usage);
        return 2;
    }
    const QString file = QFileInfo(args.first()).absoluteFilePath();
    UserFolder folder;
    const auto lock = LockToolFolder(
        folder, QStringLiteral("Program Kolvani jest uruchomiony; zamknij go przed "
                               "zmianą listy kanałów z wiersza poleceń."));
    if (!lock)
        return 1;

    ChannelTree tree;
    XmlDocument treeDocument;
    const TreeLoadResult loaded = LoadChannelTree(tree, treeDocument, folder.treeFile());
    treeDocument.setActive(false);
    if (!loaded.ok) {
        printLine(QStringLiteral("Nie można załadować listy kanałów: ") + loaded.error);
        return 1;
    }
    QString done;
    try {
        if (work(tree, file, done))
            SaveChannelTree(tree, folder.treeFile());
    } catch (const OpmlError &e) {
        printLine(e.message());
        return 1;
    } catch (const std::exception &e) {
        printLine(QString::fromStdString(e.what())); // FileError names the file
        return 1;
    }
    if (!done.isEmpty())
        printLine(done);
    return 0;
}

} // namespace

int runImportOpmlCommand(const QStringList &args)
{
    return withUserTree(QStringLiteral("Użycie: kolvani --import-opml PLIK"), args,
                        [](ChannelTree &tree, const QString &file, QString &done) {
                            const OpmlImportResult result = ImportOpml(file, tree, tree.root());
                            done = OpmlImportSummary(result);
                            return result.channels + result.groups > 0;
                        });
}

int runExportOpmlCommand(const QStringList &args)
{
    return withUserTree(QStringLiteral("Użycie: kolvani --export-opml PLIK"), args,
                        [](ChannelTree &tree, const QString &file, QString &done) {
                            ExportOpml(tree, file);
                            done = QStringLiteral("Zapisano kanałów: ") +
                                   QString::number(tree.channelsInPreOrder().size());
                            return false;
                        });
}
