#include "BenchData.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringEncoder>

#include <cstdio>

namespace {

const char *const Words[] = {"wybory", "Sejm", "pogoda", "żółw", "Łódź", "gospodarka", "sport",
                             "mecz", "kultura", "nauka", "Kraków", "ćwiczenia", "źródło",
                             "energia", "szkoła", "zdrowie", "prawo", "świat", "technologia",
                             "rynek", "Gdańsk", "Warszawa", "podatki", "muzyka"};
constexpr int WordCount = int(sizeof(Words) / sizeof(Words[0]));

QString polishText(int i)
{
    static const QStringList words = {
        QStringLiteral("zażółć"),    QStringLiteral("gęślą"),          QStringLiteral("jaźń"),
        QStringLiteral("wiadomość"), QStringLiteral("kanał"),          QStringLiteral("źródło"),
        QStringLiteral("Łódź"),      QStringLiteral("Świętokrzyskie"), QStringLiteral("pogoda")};
    QString text;
    for (int w = 0; w < 40; ++w)
        text += words[(i * 7 + w) % words.size()] + QLatin1Char(' ');
    return text;
}

} // namespace

QString BenchWords(std::mt19937 &random, int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QString::fromUtf8(Words[random() % WordCount]);
    return list.join(QLatin1Char(' '));
}

QString BenchDate(std::mt19937 &random)
{
    return QStringLiteral("%1-%2-%3")
        .arg(2022 + int(random() % 3))
        .arg(1 + int(random() % 12), 2, 10, QLatin1Char('0'))
        .arg(1 + int(random() % 28), 2, 10, QLatin1Char('0'));
}

QByteArray BenchCacheFile(int items, bool allUnread)
{
    std::mt19937 random(7);
    QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\r\n"
        "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel>"
        "<title>Wiadomości</title><link>http://example.com/</link>\r\n");
    for (int i = 0; i < items; ++i) {
        text += QStringLiteral("<item GUID=\"{%1-0000-4000-8000-000000000000}\"><title>%2 %3"
                               "</title><link>http://example.com/a/%3</link><description>&lt;p&gt;"
                               "%4&lt;/p&gt;</description><pubDate>%5</pubDate><dc:creator>%6"
                               "</dc:creator><unread>%7</unread></item>\r\n")
                    .arg(i, 8, 10, QLatin1Char('0'))
                    .arg(BenchWords(random, 6))
                    .arg(i)
                    .arg(BenchWords(random, 40))
                    .arg(BenchDate(random))
                    .arg(BenchWords(random, 2))
                    .arg(allUnread || random() % 3 == 0 ? 1 : 0);
    }
    text += QStringLiteral("</channel></rss>\r\n");
    return text.toUtf8();
}

QString BenchArchiveChannelGuid(int channel)
{
    return QStringLiteral("{%1-0000-4000-8000-00000000CAFE}").arg(channel, 8, 10, QLatin1Char('0'));
}

ArchiveRecord BenchArchiveRow(int i, const QString &tag, int channels)
{
    const int ch = i % channels;
    ArchiveRecord r;
    r.sGUID = QStringLiteral("{%1-1111-4000-8000-%2}")
                  .arg(i, 8, 10, QLatin1Char('0'))
                  .arg(tag.left(12), 12, QLatin1Char('0'));
    r.sChGUID = BenchArchiveChannelGuid(ch);
    r.sTitle = QStringLiteral("Wiadomość numer %1: rząd ogłosił |plan| na rok").arg(i);
    QString description = QStringLiteral("<p>Treść wiadomości %1. ").arg(i);
    while (description.size() < 1000)
        description += QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing. ");
    if (i % 1000 == 7)
        description += QStringLiteral(" Spotkanie z ŻÓŁWIEM w zoo.");
    r.sDescription = description + QStringLiteral("</p>");
    r.sAuthor = QStringLiteral("Redakcja %1").arg(i % 37);
    r.sDate = QStringLiteral("2024-%1-%2").arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                  .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
    r.sLink = QStringLiteral("http://example.com/%1/wiadomosc/%2.html").arg(ch).arg(i);
    r.sChannelName = QStringLiteral("Kanał informacyjny %1").arg(ch);
    r.sChannelLink = QStringLiteral("http://example.com/%1/").arg(ch);
    r.sChannelImage = QStringLiteral("http://example.com/%1/logo.png").arg(ch);
    return r;
}

QString BenchChannelGuid(int channel)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(channel, 12, 10, QLatin1Char('0'));
}

QByteArray BenchChannelDocument(int channel, int items, bool rdf, bool win1250)
{
    const QString encoding = win1250 ? QStringLiteral("windows-1250") : QStringLiteral("UTF-8");
    QString doc = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n").arg(encoding);
    if (rdf) {
        doc += QStringLiteral(
                   "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                   "xmlns=\"http://purl.org/rss/1.0/\" "
                   "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                   "<channel rdf:about=\"http://example.org/\"><title>Kanał %1</title>"
                   "<link>http://example.org/</link><description>Opis</description></channel>\n")
                   .arg(channel);
    } else {
        doc += QStringLiteral("<rss version=\"2.0\"><channel><title>Kanał %1</title>"
                              "<link>http://example.org/</link><description>Opis</description>\n")
                   .arg(channel);
    }
    for (int i = 0; i < items; ++i) {
        doc += QStringLiteral("<item%1><title>Wiadomość %2 nr %3 – %4</title>"
                              "<link>http://example.org/%2/%3</link>"
                              "<description>%5</description>")
                   .arg(rdf ? QStringLiteral(" rdf:about=\"http://example.org/%1/%2\"")
                                  .arg(channel)
                                  .arg(i)
                            : QString())
                   .arg(channel)
                   .arg(i)
                   .arg(polishText(i).left(30))
                   .arg(polishText(i + channel));
        doc += rdf ? QStringLiteral("<dc:creator>Autor</dc:creator><dc:date>2004-01-05</dc:date>")
                   : QStringLiteral("<pubDate>Mon, 05 Jan 2004 10:00:00 GMT</pubDate>");
        doc += QStringLiteral("</item>\n");
    }
    doc += rdf ? QStringLiteral("</rdf:RDF>\n") : QStringLiteral("</channel></rss>\n");
    if (!win1250)
        return doc.toUtf8();
    QStringEncoder encoder("windows-1250");
    return encoder(doc);
}

QString MakeBenchUserFolder(const QString &dataHome, const QStringList &urls, bool enabled,
                            bool alerts)
{
    const QString appFolder = dataHome + QStringLiteral("/Kolvani/");
    QDir().mkpath(appFolder + QStringLiteral("data"));
    QDir().mkpath(appFolder + QStringLiteral("temp"));
    ChannelTree tree;
    for (int c = 0; c < urls.size(); ++c) {
        ChannelNode *node =
            tree.addNode(tree.root(), QStringLiteral("Kanał %1").arg(c), NodeKind::Channel);
        node->channel()->url = urls[c];
        node->channel()->GUID = BenchChannelGuid(c);
        node->channel()->enabled = enabled;
        node->channel()->alerts = alerts;
    }
    SaveChannelTree(tree, appFolder + QStringLiteral("data/tvChannels.xml"));
    return appFolder;
}

double RunSyncCommandSeconds(const QString &dataHome)
{
    QProcess sync;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    sync.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    sync.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), {QStringLiteral("--sync")});
    sync.waitForFinished(600000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (sync.exitStatus() != QProcess::NormalExit || sync.exitCode() != 0) {
        std::fprintf(stderr, "kolvani --sync failed (%d): %s\n", sync.exitCode(),
                     sync.readAllStandardError().right(400).constData());
        return -1;
    }
    return seconds;
}

QString IdleProgramPath()
{
    return QStringLiteral(KV_BINARY_DIR "/bench/kolvani_idle");
}
