// Loads and saves a channel tree of 2,000 channels in groups of 50 and prints the times.
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

constexpr int channelCount = 2000;
constexpr int groupSize = 50;
constexpr int rounds = 5;

void buildTree(ChannelTree &tree)
{
    const QDateTime when(QDate(2024, 3, 1), QTime(12, 30, 15));
    ChannelNode *group = nullptr;
    for (int i = 0; i < channelCount; ++i) {
        if (i % groupSize == 0) {
            group = tree.addNode(tree.root(), QStringLiteral("Grupa %1").arg(i / groupSize + 1),
                                 NodeKind::Group);
        }
        ChannelNode *node = tree.addNode(group, QStringLiteral("Kanał nr %1 – wiadomości").arg(i),
                                         NodeKind::Channel);
        TtvChannel *c = node->channel();
        c->url = QStringLiteral("http://example.com/rss.php?kanal=%1&format=xml").arg(i);
        c->link = QStringLiteral("http://example.com/kanal/%1").arg(i);
        c->image = QStringLiteral("archive.jpg");
        c->description = QStringLiteral("Opis kanału %1 & wszystko o nim").arg(i);
        c->copyright = QStringLiteral("(c) Wydawca %1").arg(i);
        c->GUID =
            QStringLiteral("{%1-0000-4000-8000-000000000000}").arg(i, 8, 10, QLatin1Char('0'));
        c->enabled = i % 3 != 0;
        c->alerts = i % 2 == 0;
        c->lastupdate = when.addSecs(i * 60);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tvChannels.xml"));

    ChannelTree source;
    buildTree(source);
    try {
        SaveChannelTree(source, path);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "save failed: %s\n", e.what());
        return 1;
    }
    std::printf("tree: %d nodes (%d channels in groups of %d), file %lld bytes\n", source.count(),
                channelCount, groupSize, static_cast<long long>(QFileInfo(path).size()));

    qint64 bestLoad = -1;
    qint64 bestSave = -1;
    qint64 totalLoad = 0;
    qint64 totalSave = 0;
    for (int round = 0; round < rounds; ++round) {
        ChannelTree tree;
        XmlDocument document;
        QElapsedTimer timer;
        timer.start();
        const TreeLoadResult result = LoadChannelTree(tree, document, path);
        const qint64 load = timer.nsecsElapsed();
        if (!result.ok || tree.count() != source.count()) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(result.error));
            return 1;
        }
        timer.restart();
        try {
            SaveChannelTree(tree, dir.filePath(QStringLiteral("out.xml")));
        } catch (const std::exception &e) {
            std::fprintf(stderr, "save failed: %s\n", e.what());
            return 1;
        }
        const qint64 save = timer.nsecsElapsed();
        totalLoad += load;
        totalSave += save;
        bestLoad = bestLoad < 0 ? load : std::min(bestLoad, load);
        bestSave = bestSave < 0 ? save : std::min(bestSave, save);
    }
    std::printf("LoadChannelTree: best %.1f ms, mean %.1f ms\n", bestLoad / 1e6,
                totalLoad / 1e6 / rounds);
    std::printf("SaveChannelTree: best %.1f ms, mean %.1f ms\n", bestSave / 1e6,
                totalSave / 1e6 / rounds);
    std::printf("load + save: %.1f ms (mean of %d rounds; target well under 1000 ms)\n",
                (totalLoad + totalSave) / 1e6 / rounds, rounds);
    return 0;
}
