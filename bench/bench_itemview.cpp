// Moving through items in the real main window (offscreen): rows of a 120-item and of a
// 10,000-item channel are selected one after another, and each is timed from the selection
// to the browser's load of the item's page finished (its text is then in the page; the
// bench checks that it is). Beside it, in the same run and the same browser, the way items
// were shown before: the working style sheet written and the whole cache file loaded and
// transformed by the browser. A tiny local page is the floor of the browser itself.
#include "BenchData.h"
#include "app/forms/KolvaniApplication.h"
#include "app/forms/MainFrmUnit.h"
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "kit/MessageBoxes.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemPage.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Steps = 30;       // rows selected one after another per channel
constexpr double Target = 100;  // ms, median from selection to the item in the page
constexpr double ChannelTarget = 150; // ms, from a channel chosen to its first item shown

class SilentBoxes : public IMessageBoxes
{
public:
    bool question(QWidget *, const QString &, const QString &) override { return false; }
    void information(QWidget *, const QString &, const QString &) override {}
    void error(QWidget *, const QString &, const QString &) override {}
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Milliseconds from `start` to the next DocumentComplete; -1 on a timeout.
double timeToComplete(WebBrowser &browser, const std::function<void()> &start)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&browser, &WebBrowser::DocumentComplete, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    start();
    if (!done)
        loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    return done ? ms : -1;
}

QString pageText(WebBrowser &browser)
{
    QString text;
    QEventLoop loop;
    browser.page()->toPlainText([&](const QString &t) {
        text = t;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return text;
}

void waitFor(const std::function<bool()> &condition)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

struct Figures
{
    std::vector<double> ms;
    int failed = 0;
    void add(double v)
    {
        if (v < 0)
            ++failed;
        else
            ms.push_back(v);
    }
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v.empty() ? -1 : v[v.size() / 2];
    }
    void print(const char *what) const
    {
        if (ms.empty()) {
            std::printf("  %-44s no figures (%d timed out)\n", what, failed);
            return;
        }
        std::printf("  %-44s median %7.1f ms   min-max %6.1f-%6.1f ms", what, median(),
                    *std::min_element(ms.begin(), ms.end()),
                    *std::max_element(ms.begin(), ms.end()));
        if (failed)
            std::printf("   (%d timed out)", failed);
        std::printf("\n");
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QTemporaryDir root;
    qputenv("XDG_CONFIG_HOME", (root.path() + QStringLiteral("/config")).toUtf8());
    const QString dataHome = root.path() + QStringLiteral("/share");
    qputenv("XDG_DATA_HOME", dataHome.toUtf8());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    KolvaniApplication app(argc, argv);

    // The program's folder with its shipped data, and a user with two channels on disk.
    const QString exeDir = root.path() + QStringLiteral("/exe/");
    QDir().mkpath(exeDir + QStringLiteral("data"));
    QDir().mkpath(exeDir + QStringLiteral("temp"));
    const QDir shipped(QStringLiteral(KV_SOURCE_DIR "/data"));
    for (const QString &name : shipped.entryList(QDir::Files))
        QFile::copy(shipped.filePath(name), exeDir + QStringLiteral("data/") + name);
    QFile::copy(QStringLiteral(KV_BINARY_DIR "/data/archive.mdb"),
                exeDir + QStringLiteral("data/archive.mdb"));
    // A third channel of 120 items: moving between two cached channels is timed too.
    const int sizes[] = {120, 10000, 120};
    const QString appFolder = MakeBenchUserFolder(
        dataHome,
        {QStringLiteral("http://127.0.0.1:9/a"), QStringLiteral("http://127.0.0.1:9/b"),
         QStringLiteral("http://127.0.0.1:9/c")},
        false);
    const UserFolder folder(appFolder);
    for (const QString &sheet : {ItemDisplay::Rss1Sheet, ItemDisplay::Rss2Sheet,
                                 ItemDisplay::ArchiveSheet})
        QFile::copy(shipped.filePath(sheet), folder.dataFile(sheet));
    for (int c = 0; c < 3; ++c)
        writeFile(folder.cacheFile(BenchChannelGuid(c)), BenchCacheFile(sizes[c]));

    SilentBoxes boxes;
    MainFrmOptions options;
    options.executableDir = exeDir;
    options.messageBoxes = &boxes;
    options.showTrayIcon = false;
    TfmMainFrm window(options);
    window.resize(1000, 700);
    window.show();
    auto *tree = window.findChild<QTreeView *>(QStringLiteral("tvChannels"));
    auto *headers = window.findChild<QTreeView *>(QStringLiteral("lvHeaders"));
    auto *browser = window.findChild<WebBrowser *>(QStringLiteral("wbContent"));
    if (!tree || !headers || !browser) {
        std::printf("the window's parts were not found\n");
        return 1;
    }
    waitFor([&] { return !browser->LocationURL().isEmpty(); });

    const QString blank = folder.dataFile(QStringLiteral("blank.html"));
    writeFile(blank, "<html><body>x</body></html>");
    Figures floor;
    for (int r = 0; r < 10; ++r)
        floor.add(timeToComplete(*browser, [&] { browser->Navigate(blank); }));
    std::printf("floor:\n");
    floor.print("a tiny local page loaded");

    bool ok = true;
    ChannelTree *channels = window.channelTree();
    for (int c = 0; c < 2; ++c) {
        const int items = sizes[c];
        ChannelNode *node = channels->root()->child(c);
        timeToComplete(*browser, [&] { tree->setCurrentIndex(channels->indexOf(node)); });
        waitFor([&] { return headers->model()->rowCount() == items; });
        if (headers->model()->rowCount() != items) {
            std::printf("%d items: the list did not fill\n", items);
            ok = false;
            continue;
        }
        std::printf("%d items (%.1f MB cache file):\n", items,
                    QFileInfo(folder.cacheFile(BenchChannelGuid(c))).size() / 1048576.0);

        // Rows one after another, as the arrow key moves through them, and a jump to the end.
        Figures next, wrongText;
        std::vector<int> rows;
        for (int i = 1; i <= Steps; ++i)
            rows.push_back(i);
        rows.push_back(items - 1);
        int checked = 0;
        for (const int row : rows) {
            const QModelIndex index = headers->model()->index(row, 0);
            next.add(timeToComplete(*browser, [&] {
                headers->selectionModel()->setCurrentIndex(
                    index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }));
            // Not timed: the page holds the row's title.
            if (row % 10 == 0 || row == items - 1) {
                ++checked;
                if (!pageText(*browser).contains(index.data().toString()))
                    wrongText.add(0);
            }
        }
        next.print("next row -> its item in the page");
        if (!wrongText.ms.empty())
            std::printf("  WRONG ITEM SHOWN in %zu of %d checked rows\n", wrongText.ms.size(),
                        checked);
        ok = ok && next.failed == 0 && wrongText.ms.empty() && next.median() < Target;

        // The way before: the working sheet written, the cache file loaded by the browser.
        Figures old;
        for (int i = 1; i <= Steps / 3; ++i) {
            const QString guid =
                QStringLiteral("{%1-0000-4000-8000-000000000000}").arg(i, 8, 10, QLatin1Char('0'));
            old.add(timeToComplete(*browser, [&] {
                ItemDisplay::WriteWorkingSheet(folder, ItemDisplay::Rss2Sheet, guid);
                browser->Navigate(
                    ItemDisplay::ChannelItemAddress(folder, BenchChannelGuid(c), guid));
            }));
        }
        old.print("before: sheet written, cache file loaded");

        // Of the new way, the part before the browser: the page made from the document.
        Figures made;
        XmlDocument document;
        document.loadFromFile(folder.cacheFile(BenchChannelGuid(c)));
        ItemPageRenderer pages;
        for (int i = 1; i <= Steps; ++i) {
            const QString guid =
                QStringLiteral("{%1-0000-4000-8000-000000000000}").arg(i, 8, 10, QLatin1Char('0'));
            XmlNode item = document.documentElement().firstChild().firstChild();
            while (!item.isNull() && item.attribute(QStringLiteral("GUID")) != guid)
                item = item.nextSibling();
            QElapsedTimer timer;
            timer.start();
            const QString sheet =
                ItemDisplay::WorkingSheetText(folder, ItemDisplay::Rss2Sheet, guid);
            pages.render(sheet, item);
            made.add(timer.nsecsElapsed() / 1e6);
        }
        made.print("of which: the page made in the program");
    }

    // Another cached channel chosen in the tree: its rows filled and its first item shown.
    Figures channel;
    for (int i = 0; i < 10; ++i) {
        ChannelNode *node = channels->root()->child(i % 2 == 0 ? 2 : 0);
        channel.add(timeToComplete(*browser, [&] {
            tree->setCurrentIndex(channels->indexOf(node));
        }));
        if (headers->model()->rowCount() != 120)
            channel.add(-1);
    }
    std::printf("a channel of 120 items chosen in the tree:\n");
    channel.print("-> its list and first item shown");
    std::printf("  target: median at most %.0f ms\n", ChannelTarget);
    ok = ok && channel.failed == 0 && channel.median() <= ChannelTarget;

    std::printf("target: median < %.0f ms from selection to the item in the page\n", Target);
    std::printf(ok ? "all within target\n" : "SOME OVER TARGET\n");
    return 0;
}
