// A run over the tree from the window and `kolvani --sync` from a terminal are one engine:
// from the same tree and the same server they leave the same cache files behind.

#include "MainFrmFixture.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "support/LoopbackServer.h"
#include "support/ProgramRun.h"

#include <QAction>
#include <QRegularExpression>
#include <QStringEncoder>

#include <atomic>

namespace {

using namespace mainfrm_test;

QByteArray rss(int round)
{
    QByteArray items = "<item><title>Pierwsza wiadomość</title><link>http://example.org/1</link>"
                       "<description>&lt;p&gt;Zażółć gęślą jaźń&lt;/p&gt;</description>"
                       "<pubDate>Mon, 05 Jan 2004 10:00:00 GMT</pubDate>"
                       "<author>ala@example.org</author></item>"
                       "<item><title>Druga</title><link>http://example.org/2</link></item>";
    if (round == 2)
        items = "<item><title>Trzecia, nowa</title><link>http://example.org/3</link>"
                "<pubDate>Tue, 06 Jan 2004 08:30:00 GMT</pubDate></item>" +
                items;
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
           "<title>Wiadomości</title><link>http://example.org/</link>"
           "<description>Opis</description>" +
           items + "</channel></rss>";
}

QByteArray rdf(int round)
{
    QByteArray items = "<item rdf:about=\"http://example.org/r1\"><title>Raz</title>"
                       "<link>http://example.org/r1</link><dc:date>2004-01-05</dc:date>"
                       "<dc:creator>Ola</dc:creator></item>";
    if (round == 2)
        items += "<item rdf:about=\"http://example.org/r2\"><title>Dwa</title>"
                 "<link>http://example.org/r2</link></item>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
           "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
           "<channel rdf:about=\"http://example.org/\"><title>RDF</title>"
           "<link>http://example.org/</link><description>Opis</description></channel>" +
           items + "</rdf:RDF>";
}

QByteArray windows1250(int round)
{
    QStringEncoder encoder("windows-1250");
    const QString title = round == 1 ? QStringLiteral("Łódź i Gdańsk") : QStringLiteral("Źródło");
    return encoder(QStringLiteral("<?xml version=\"1.0\" encoding=\"windows-1250\"?>"
                                  "<rss version=\"2.0\"><channel><title>Środa</title>"
                                  "<item><title>%1</title></item></channel></rss>")
                       .arg(title));
}

QByteArray atom(int round)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><feed xmlns=\"http://www.w3.org/2005/Atom\">"
           "<title>Atom</title><link href=\"http://example.org/\"/>"
           "<entry><title type=\"html\">Wpis &lt;b&gt;pierwszy&lt;/b&gt;</title>"
           "<link href=\"/a/1\"/><id>urn:a:1</id><updated>2024-01-05T10:00:00Z</updated>"
           "<author><name>Ewa</name></author><content type=\"html\">&lt;p&gt;Treść&lt;/p&gt;"
           "</content></entry>" +
           QByteArray(round == 2 ? "<entry><title>Wpis drugi</title><id>urn:a:2</id>"
                                   "<summary>Krótko</summary></entry>"
                                 : "") +
           "</feed>";
}

QByteArray json(int round)
{
    return "{\"version\": \"https://jsonfeed.org/version/1.1\", \"title\": \"JSON\","
           " \"home_page_url\": \"http://example.org/\", \"items\": [" +
           QByteArray(round == 2 ? "{\"id\": \"2\", \"title\": \"Nowy\", \"content_text\": "
                                   "\"a < b\"}, "
                                 : "") +
           "{\"id\": \"1\", \"title\": \"Stary\", \"content_html\": \"<p>x</p>\","
           " \"date_published\": \"2024-01-05T10:00:00Z\","
           " \"authors\": [{\"name\": \"Jan\"}],"
           " \"attachments\": [{\"url\": \"http://example.org/a.mp3\", \"mime_type\": "
           "\"audio/mpeg\", \"size_in_bytes\": 100}]}]}";
}

// Item GUIDs are drawn at random when an item is first seen; each becomes the number of its
// first appearance, so that two runs can be compared byte for byte in everything else.
QByteArray withNumberedGuids(const QByteArray &bytes)
{
    static const QRegularExpression guid(
        QStringLiteral("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}"));
    QString text = QString::fromLatin1(bytes);
    QStringList seen;
    QString out;
    qsizetype at = 0;
    for (auto match = guid.globalMatch(text); match.hasNext();) {
        const QRegularExpressionMatch m = match.next();
        if (!seen.contains(m.captured()))
            seen << m.captured();
        out += text.mid(at, m.capturedStart() - at) +
               QStringLiteral("{guid %1}").arg(seen.indexOf(m.captured()));
        at = m.capturedEnd();
    }
    return (out + text.mid(at)).toLatin1();
}

class SyncCacheFilesTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_server.setHandler([this](const LoopbackRequest &request) {
            const int round = m_round;
            const QByteArray path = request.target();
            if (path == "/rss")
                return LoopbackReply::http("200 OK", rss(round), "ETag: \"r" +
                                                                      QByteArray::number(round) +
                                                                      "\"\r\n");
            if (path == "/rdf")
                return LoopbackReply::http("200 OK", rdf(round),
                                           "Last-Modified: Mon, 05 Jan 2004 10:00:00 GMT\r\n");
            if (path == "/1250")
                return LoopbackReply::http("200 OK", windows1250(round));
            if (path == "/atom")
                return LoopbackReply::http("200 OK", atom(round),
                                           "Content-Type: application/atom+xml\r\n");
            if (path == "/json")
                return LoopbackReply::http("200 OK", json(round),
                                           "Content-Type: application/feed+json\r\n");
            if (path == "/broken")
                return LoopbackReply::http("200 OK", round == 1 ? rss(1) : QByteArray("<rss><"));
            return LoopbackReply::http("404 Not Found", "brak");
        });
        ASSERT_TRUE(m_server.start());

        // One tree for both: a group, a disabled channel, a missing document, a broken one.
        ChannelTree tree;
        ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Grupa"), NodeKind::Group);
        int n = 0;
        const auto add = [&](ChannelNode *parent, const char *name, const char *path,
                             bool enabled = true) {
            ChannelNode *node =
                tree.addNode(parent, QString::fromUtf8(name), NodeKind::Channel);
            node->channel()->url = m_server.url(QString::fromLatin1(path));
            node->channel()->enabled = enabled;
            node->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-%1}")
                                        .arg(++n, 12, 10, QLatin1Char('0'));
            m_guids << node->channel()->GUID;
        };
        add(group, "Wiadomości", "/rss");
        add(group, "RDF", "/rdf");
        add(tree.root(), "Środa", "/1250");
        add(tree.root(), "Atom", "/atom");
        add(tree.root(), "JSON", "/json");
        add(tree.root(), "Wyłączony", "/rss?off", false);
        add(tree.root(), "Brak", "/missing");
        add(tree.root(), "Zepsuty", "/broken");
        m_syncHome = m_root.path() + QStringLiteral("/sync-home");
        for (const QString &folder : {appFolder(), syncFolder()}) {
            QDir().mkpath(folder + QStringLiteral("temp"));
            const QDir shipped(m_exeDir + QStringLiteral("data"));
            QDir().mkpath(folder + QStringLiteral("data"));
            for (const QString &name : shipped.entryList(QDir::Files))
                QFile::copy(shipped.filePath(name), folder + QStringLiteral("data/") + name);
            SaveChannelTree(tree, folder + QStringLiteral("data/tvChannels.xml"));
        }
    }

    QString syncFolder() const { return m_syncHome + QStringLiteral("/Kolvani/"); }

    int runSyncCommand()
    {
        return runProgram(KolvaniProgram, {QStringLiteral("--sync")}, 60000,
                          dataHomeEnvironment(m_syncHome))
            .exitCode;
    }

    // What a run leaves under data/ besides the shipped files and the tree.
    QStringList runFiles(const QString &folder) const
    {
        QStringList names;
        for (const QString &guid : m_guids)
            if (QFile::exists(folder + QStringLiteral("data/") + guid + QStringLiteral(".xml")))
                names << guid + QStringLiteral(".xml");
        if (QFile::exists(folder + QStringLiteral("data/validators.json")))
            names << QStringLiteral("validators.json");
        return names;
    }

    void expectSameFiles(const char *when)
    {
        const QStringList window = runFiles(appFolder());
        EXPECT_EQ(window, runFiles(syncFolder())) << when;
        // Every channel with a document got its cache file; the missing and disabled did not.
        EXPECT_EQ(window.size(), 7) << when << ": " << qPrintable(window.join(' '));
        for (const QString &name : window)
            EXPECT_EQ(withNumberedGuids(readAll(appFolder() + QStringLiteral("data/") + name))
                          .toStdString(),
                      withNumberedGuids(readAll(syncFolder() + QStringLiteral("data/") + name))
                          .toStdString())
                << when << ": " << qPrintable(name);
        // A download that failed to parse stays in temp/ for both, nothing else.
        const QStringList temp = QDir(appFolder() + QStringLiteral("temp")).entryList(QDir::Files);
        EXPECT_EQ(temp, QDir(syncFolder() + QStringLiteral("temp")).entryList(QDir::Files)) << when;
        for (const QString &name : temp)
            EXPECT_EQ(readAll(appFolder() + QStringLiteral("temp/") + name),
                      readAll(syncFolder() + QStringLiteral("temp/") + name))
                << when << ": " << qPrintable(name);
    }

    LoopbackServer m_server;
    std::atomic<int> m_round{1};
    QString m_syncHome;
    QStringList m_guids;
};

TEST_F(SyncCacheFilesTest, TheWindowAndTheCommandLeaveTheSameCacheFiles)
{
    Windows &w = createAll();
    QAction *acSyncAll = child<QAction>(w.main, "acSyncAll");
    ASSERT_TRUE(acSyncAll->isEnabled());

    // First runs: new cache files; then the documents change (new items, a broken one,
    // validators answered or not) and both run again over their earlier files.
    for (int round = 1; round <= 2; ++round) {
        m_round = round;
        acSyncAll->trigger();
        EXPECT_FALSE(w.main->syncAllRunning());
        EXPECT_EQ(runSyncCommand(), 1) << "the missing channel fails the run";
        expectSameFiles(round == 1 ? "first run" : "second run");
    }
}

} // namespace
