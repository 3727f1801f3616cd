// Loads, normalises, walks and saves a 10,000-item RSS 2.0 feed through XmlDocument and compares
// the time with a bare libxml2 parse and save of the same file.
#include "feed/FeedNormaliser.h"
#include "xml/XmlDocument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>

namespace {

constexpr int itemCount = 10000;
constexpr int rounds = 3;

const char *const SampleWords[] = {"zażółć",  "gęślą",  "jaźń",   "wiadomość",  "Łódź",
                                   "źródło",  "świeży", "pociąg", "Kraków",     "żółw",
                                   "ćma",     "ślimak", "Gdańsk", "mięso",      "szczęście",
                                   "książka", "ósmy",   "dźwig",  "niedźwiedź", "pająk"};

QString sentence(int seed, int words)
{
    QString text;
    for (int i = 0; i < words; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += QString::fromUtf8(SampleWords[(seed * 7 + i * 13) % 20]);
    }
    return text;
}

QByteArray makeFeed(const char *encoding)
{
    QString xml =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Kanał testowy</title>\n<link>http://example.pl/</link>\n"
                       "<description>Wiadomości z kraju i ze świata</description>\n")
            .arg(QLatin1String(encoding));
    for (int i = 0; i < itemCount; ++i) {
        xml +=
            QStringLiteral("<item>\n<title>%1 nr "
                           "%2</title>\n<link>http://example.pl/artykul.php?id=%2&amp;s=1</link>\n"
                           "<description>%3 &amp; %4.</description>\n<pubDate>Mon, %5 Jan 2004 "
                           "10:00:00 GMT</pubDate>\n"
                           "<guid>http://example.pl/%2</guid>\n</item>\n")
                .arg(sentence(i, 5))
                .arg(i)
                .arg(sentence(i + 1, 30), sentence(i + 2, 20))
                .arg(i % 28 + 1);
    }
    xml += QStringLiteral("</channel>\n</rss>\n");
    if (qstrcmp(encoding, "UTF-8") == 0)
        return xml.toUtf8();
    // The generated text only holds Polish letters, so the ISO-8859-2 copy goes through libxml2
    // (read as UTF-8 whatever the declaration says, written in the declared encoding).
    const QByteArray utf8 = xml.toUtf8();
    xmlDocPtr doc =
        xmlReadMemory(utf8.constData(), int(utf8.size()), nullptr, "UTF-8", XML_PARSE_HUGE);
    xmlChar *memory = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &memory, &size, encoding);
    QByteArray bytes(reinterpret_cast<const char *>(memory), size);
    xmlFree(memory);
    xmlFreeDoc(doc);
    return bytes;
}

double bestOf(const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// `saves` is 2 for an ISO-8859-2 feed: the normaliser writes the file once more as windows-1250.
void bareParseAndSave(const QString &in, const QString &out, int saves)
{
    const QByteArray inName = QFile::encodeName(in);
    const QByteArray outName = QFile::encodeName(out);
    xmlDocPtr doc = xmlReadFile(inName.constData(), nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_HUGE);
    if (!doc)
        throw std::runtime_error("bare parse failed");
    const char *encoding = doc->encoding ? reinterpret_cast<const char *>(doc->encoding) : "UTF-8";
    if (saves > 1)
        encoding = "windows-1250";
    for (int i = 0; i < saves; ++i) {
        if (xmlSaveFormatFileEnc(outName.constData(), doc, encoding, 1) < 0)
            throw std::runtime_error("bare save failed");
    }
    xmlFreeDoc(doc);
}

struct Phases
{
    double load = 0, normalise = 0, walk = 0, save = 0;
    double total() const { return load + normalise + walk + save; }
};

// Reads the four texts of every item the way the channel update does; returns a checksum so the
// work cannot be optimised away.
Phases documentRound(const QString &source, const QString &work, long long &checksum)
{
    QFile::remove(work);
    QFile::copy(source, work);
    Phases phases;
    QElapsedTimer timer;
    timer.start();
    XmlDocument doc;
    doc.setFileName(work);
    doc.setActive(true);
    phases.load = timer.nsecsElapsed() / 1e6;
    timer.restart();
    const NormalisedFeed feed = NormaliseFeedFile(doc);
    phases.normalise = timer.nsecsElapsed() / 1e6;
    timer.restart();
    int items = 0;
    for (XmlNode item = feed.firstItem; item; item = item.nextSibling()) {
        checksum += item.child(QStringLiteral("title")).text().size();
        checksum += item.child(QStringLiteral("link")).text().size();
        checksum += item.child(QStringLiteral("description")).text().size();
        checksum += item.child(QStringLiteral("pubDate")).text().size();
        ++items;
    }
    if (items != itemCount)
        throw std::runtime_error("walk found the wrong number of items");
    phases.walk = timer.nsecsElapsed() / 1e6;
    timer.restart();
    doc.save();
    phases.save = timer.nsecsElapsed() / 1e6;
    return phases;
}

Phases bestDocumentRounds(const QString &source, const QString &work, long long &checksum)
{
    Phases best;
    for (int i = 0; i < rounds; ++i) {
        const Phases phases = documentRound(source, work, checksum);
        if (i == 0 || phases.total() < best.total())
            best = phases;
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    try {
        QTemporaryDir dir;
        if (!dir.isValid())
            throw std::runtime_error("no temporary folder");
        for (const char *encoding : {"UTF-8", "ISO-8859-2"}) {
            const QString source =
                dir.filePath(QStringLiteral("feed-%1.xml").arg(QLatin1String(encoding)));
            {
                QFile file(source);
                if (!file.open(QIODevice::WriteOnly) || file.write(makeFeed(encoding)) < 0)
                    throw std::runtime_error("cannot write the feed");
            }
            const double megabytes = QFileInfo(source).size() / (1024.0 * 1024.0);
            const int saves = qstrcmp(encoding, "UTF-8") == 0 ? 1 : 2;
            const double bare =
                bestOf([&] { bareParseAndSave(source, dir.filePath("bare-out.xml"), saves); });
            long long checksum = 0;
            const Phases ours = bestDocumentRounds(source, dir.filePath("work.xml"), checksum);
            std::printf("%s feed: %d items, %.1f MB\n", encoding, itemCount, megabytes);
            const QByteArray bareLabel =
                saves == 1 ? "bare libxml2 parse + save" : "bare libxml2 parse + 2 saves";
            std::printf("  %-44s %8.1f ms (best of %d)\n", bareLabel.constData(), bare, rounds);
            std::printf("  %-44s %8.1f ms (best of %d)\n",
                        "XmlDocument load + normalise + walk + save", ours.total(), rounds);
            std::printf("    load %.1f ms, normalise %.1f ms, walk %.1f ms, save %.1f ms\n",
                        ours.load, ours.normalise, ours.walk, ours.save);
            std::printf("  ratio: %.2f (target: within 2.00)   [checksum %lld]\n",
                        ours.total() / bare, checksum);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_feed: %s\n", e.what());
        return 1;
    }
    return 0;
}
