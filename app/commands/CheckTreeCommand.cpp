#include "app/commands/CheckTreeCommand.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "xml/XmlDocument.h"

#include <QHash>
#include <QTextStream>

#include <cstdio>
#include <exception>

int runCheckTreeCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    QString path;
    QString savePath;
    bool argsOk = !args.isEmpty() && !args.first().startsWith(QLatin1String("--"));
    if (argsOk) {
        path = args.first();
        if (args.size() == 3 && args.at(1) == QLatin1String("--save"))
            savePath = args.at(2);
        else if (args.size() != 1)
            argsOk = false;
    }
    if (!argsOk) {
        err << "Użycie: kolvani --check-tree PLIK [--save PLIK_WYJŚCIOWY]\n";
        return 1;
    }

    ChannelTree tree;
    XmlDocument document;
    const TreeLoadResult loaded = LoadChannelTree(tree, document, path);
    if (!loaded.ok) {
        err << "Błąd: nie można załadować listy kanałów z pliku " << path << ": " << loaded.error
            << "\n";
        return 1;
    }
    for (const QString &warning : loaded.warnings)
        err << "Uwaga: " << warning << "\n";

    out << "Węzłów: " << tree.count() << "\n";
    // Depths from the parents' ones: a file may nest thousands of levels deep.
    QHash<const ChannelNode *, int> depths;
    for (const ChannelNode *node : tree.nodesInPreOrder()) {
        const int depth = node->parent() ? depths.value(node->parent()) + 1 : 0;
        depths.insert(node, depth);
        out << QString(depth * 2, QLatin1Char(' '));
        if (const TtvChannel *channel = node->channel()) {
            out << "kanał: " << node->text() << " | url: " << channel->url
                << " | GUID: " << channel->GUID << "\n";
        } else {
            out << "grupa: " << node->text() << "\n";
        }
    }
    out.flush();

    if (!savePath.isEmpty()) {
        try {
            SaveChannelTree(tree, savePath);
        } catch (const std::exception &e) {
            err << "Błąd: " << QString::fromUtf8(e.what()) << "\n";
            return 1;
        }
    }
    return 0;
}
