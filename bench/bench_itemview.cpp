// Time from choosing an item to the browser's load finished, for the first and the last item
// of a 100-item and of a 10,000-item channel: the working style sheet is written and the
// cache file navigated to, as every item display does. A tiny local page loaded the same
// way is the baseline of the browser itself.
#include "base/UserFolder.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int rounds = 7;

QString guidFor(int i)
{
    return QStringLiteral("{%1-1111-4222-8333-444444444444}").arg(i, 8, 10, QLatin1Char('0'));
}

// A channel as large news sites publish it: every item with a paragraph or two of escaped
// HTML, a picture, a date and an author.
QByteArray channelDocument(int items)
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                     "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                     "<channel><title>Wiadomości z kraju</title><link>http://127.0.0.1:9/</link>"
                     "<description>Najnowsze wiadomości</description>\n";
    for (int i = 0; i < items; ++i) {
        doc += "<item GUID=\"" + guidFor(i).toLatin1() + "\"><title>Wiadomość numer " +
               QByteArray::number(i) +
               ": zażółć gęślą jaźń w długim tytule</title>"
               "<link>http://127.0.0.1:9/art/" +
               QByteArray::number(i) +
               "</link><description>&lt;p&gt;&lt;img src=\"http://127.0.0.1:9/p.jpg\"&gt;"
               "Pierwszy akapit wiadomości, w którym jest mowa o sprawach ważnych dla "
               "czytelników, z &lt;a href=\"http://127.0.0.1:9/x\"&gt;odnośnikiem&lt;/a&gt;."
               "&lt;/p&gt;&lt;p&gt;Drugi akapit, nieco dłuższy, z dalszymi szczegółami "
               "sprawy i wypowiedziami osób, których ona dotyczy.&lt;/p&gt;</description>"
               "<pubDate>2024-03-01</pubDate><dc:creator>Redakcja</dc:creator>"
               "<unread>1</unread></item>\n";
    }
    return doc + "</channel></rss>\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Milliseconds until DocumentComplete; -1 on a timeout.
double timeDisplay(WebBrowser &browser, const std::function<bool()> &start)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&browser, &WebBrowser::DocumentComplete, &loop,
                                             [&] {
                                                 done = true;
                                                 loop.quit();
                                             });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    if (!start())
        return -1;
    if (!done)
        loop.exec();
    const double ms = timer.nsecsElapsed() / 1e6;
    QObject::disconnect(connection);
    return done ? ms : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    QTemporaryDir dir;
    const UserFolder folder(dir.path());
    const QString data = folder.dataFolder();
    QDir().mkpath(data);
    const QString shipped = QStringLiteral(KV_SOURCE_DIR "/data/");
    QFile::copy(shipped + ItemDisplay::Rss2Sheet, data + ItemDisplay::Rss2Sheet);
    writeFile(data + QStringLiteral("blank.html"), "<html><body>x</body></html>");

    WebBrowser browser;
    browser.resize(1000, 700);
    browser.show();

    // Warm the engine up once.
    timeDisplay(browser, [&] { return browser.Navigate(data + QStringLiteral("blank.html")); });

    std::vector<double> base;
    for (int r = 0; r < rounds; ++r)
        base.push_back(timeDisplay(
            browser, [&] { return browser.Navigate(data + QStringLiteral("blank.html")); }));
    std::printf("baseline: a tiny local page               %8.1f ms\n", median(base));

    struct Case
    {
        int items;
        double target;
    };
    bool ok = true;
    for (const Case c : {Case{100, 100}, Case{10000, 400}}) {
        const QString chGuid = QStringLiteral("{BE0CBE0C-0000-4000-8000-%1}")
                                   .arg(c.items, 12, 10, QLatin1Char('0'));
        const QByteArray doc = channelDocument(c.items);
        writeFile(folder.cacheFile(chGuid), doc);
        for (const int index : {0, c.items - 1}) {
            const QString guid = guidFor(index);
            std::vector<double> times;
            for (int r = 0; r < rounds; ++r) {
                times.push_back(timeDisplay(browser, [&] {
                    ItemDisplay::WriteWorkingSheet(folder, ItemDisplay::Rss2Sheet, guid);
                    return browser.Navigate(ItemDisplay::ChannelItemAddress(folder, chGuid, guid));
                }));
            }
            const double m = median(times);
            if (index == 0) {
                // The floor of this way of showing an item: the same file through a sheet that
                // writes one word, so only loading, parsing and handing the file to XSLT count.
                writeFile(folder.itemStyleSheet(),
                          "<xsl:stylesheet version=\"1.0\" "
                          "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          "<xsl:template match=\"/\"><html><body>x</body></html></xsl:template>"
                          "</xsl:stylesheet>");
                std::vector<double> floor;
                for (int r = 0; r < rounds; ++r)
                    floor.push_back(timeDisplay(browser, [&] {
                        return browser.Navigate(
                            ItemDisplay::ChannelItemAddress(folder, chGuid, guid));
                    }));
                std::printf("%5d items, same file through a one-word sheet %8.1f ms\n", c.items,
                            median(floor));
            }
            ok = ok && m >= 0 && m < c.target;
            std::printf("%5d items (%5.1f MB), %-5s item -> loaded %8.1f ms  (target < %.0f ms)\n",
                        c.items, doc.size() / 1048576.0, index == 0 ? "first" : "last", m,
                        c.target);
        }
    }
    std::printf(ok ? "all within target\n" : "SOME OVER TARGET\n");
    return 0;
}
