#include "BenchData.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringEncoder>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

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

BenchSpread BenchMeasure(int runs, const std::function<void()> &prepare,
                         const std::function<double()> &work)
{
    std::vector<double> figures;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const double figure = work();
        if (figure < 0)
            return BenchSpread();
        figures.push_back(figure);
    }
    if (figures.empty())
        return BenchSpread();
    std::sort(figures.begin(), figures.end());
    const size_t n = figures.size();
    BenchSpread spread;
    spread.median = n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
    spread.min = figures.front();
    spread.max = figures.back();
    return spread;
}

QByteArray BenchText(const BenchSpread &spread, double scale, const char *unit, int decimals)
{
    if (!spread.ok())
        return "failed";
    char text[128];
    std::snprintf(text, sizeof text, "%.*f %s (%.*f-%.*f)", decimals, spread.median * scale, unit,
                  decimals, spread.min * scale, decimals, spread.max * scale);
    return text;
}

// posix_spawn and wait4 rather than QProcess: wait4 tells the peak memory of this child
// alone, where getrusage only knows the largest child so far.
BenchProcess RunBenchProcess(const QString &program, const QStringList &arguments,
                             const QStringList &extraEnvironment, const QString &standardOutput)
{
    BenchProcess result;
    std::vector<QByteArray> argStore{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        argStore.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> envStore;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        bool replaced = false;
        for (const QString &extra : extraEnvironment)
            replaced = replaced || entry.startsWith(extra.section(QLatin1Char('='), 0, 0).toLocal8Bit() + '=');
        if (!replaced)
            envStore.push_back(entry);
    }
    for (const QString &extra : extraEnvironment)
        envStore.push_back(extra.toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    char errorsName[] = "/tmp/kolvani-bench-errXXXXXX";
    const int errorsFd = mkstemp(errorsName);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, QFile::encodeName(standardOutput).constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (errorsFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errorsFd, 2);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            result.seconds = timer.nsecsElapsed() / 1e9;
            result.peakMegabytes = usage.ru_maxrss / 1024.0;
            result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    if (errorsFd >= 0) {
        if (!result.ok) {
            QFile errors(QString::fromLocal8Bit(errorsName));
            if (errors.open(QIODevice::ReadOnly))
                result.errors = errors.readAll().right(400);
        }
        ::close(errorsFd);
        ::unlink(errorsName);
    }
    return result;
}

BenchProcess RunSyncCommand(const QString &dataHome)
{
    BenchProcess run = RunBenchProcess(QStringLiteral(KV_BINARY_DIR "/kolvani"),
                                       {QStringLiteral("--sync")},
                                       {QStringLiteral("XDG_DATA_HOME=") + dataHome});
    if (!run.ok)
        std::fprintf(stderr, "kolvani --sync failed: %s\n", run.errors.constData());
    return run;
}
