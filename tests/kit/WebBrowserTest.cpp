#include "kit/WebBrowser.h"
#include "PageAnswers.h"
#include "SignalWait.h"
#include "support/TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QPrinter>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <QWebEngineScript>

#include <gtest/gtest.h>

#include <optional>

namespace {

const char *const GuidA = "{11111111-2222-3333-4444-555555555555}";
const char *const GuidB = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

void writeFile(const QString &path, const QByteArray &bytes)
{
    ASSERT_TRUE(writeAll(path, bytes)) << path.toStdString();
}

// A channel cache file in the shape the program writes: the style sheet instruction, item
// GUIDs and the unread marks.
QByteArray channelDocument(const QByteArray &firstTitle, const QByteArray &firstDescription)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><channel>"
                      "<title>Kanał testowy</title><link>http://127.0.0.1/</link>"
                      "<item GUID=\"") +
           GuidA + "\"><title>" + firstTitle +
           "</title><link>http://127.0.0.1/a</link>"
           "<description>" +
           firstDescription +
           "</description><pubDate>2004-01-05</pubDate>"
           "<dc:creator>Jan Kowalski</dc:creator><unread>1</unread></item>"
           "<item GUID=\"" +
           GuidB +
           "\"><title>Druga wiadomość</title>"
           "<description>Treść drugiej</description><unread>0</unread></item>"
           "</channel></rss>\n";
}

// The shipped style sheet with the marker replaced, as the item view writes it.
QByteArray styleSheetFor(const QString &name, const QByteArray &guid)
{
    QByteArray sheet = readAll(QStringLiteral(KV_SOURCE_DIR "/data/") + name);
    sheet.replace("{{GUID}}", guid);
    return sheet;
}

class BrowserFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_data = m_dir.path() + QStringLiteral("/data/");
        QDir().mkpath(m_data);
        m_browser = std::make_unique<WebBrowser>();
        m_browser->resize(640, 480);
        m_browser->show();
    }

    void TearDown() override { m_browser.reset(); }

    // Navigates and waits for DocumentComplete; false when it did not come in time.
    bool navigateAndWait(const QString &address, int timeoutMs = 20000)
    {
        SignalCounter done(m_browser.get(), &WebBrowser::DocumentComplete);
        if (!m_browser->Navigate(address))
            return false;
        return done.wait(timeoutMs);
    }

    // Shows the item `guid` of the document at `path` as the item view does: the shipped
    // style sheet `sheet`, made for that item, written beside it just before.
    bool showItem(const QString &path, const char *guid, const QString &sheet = "rss2.xsl")
    {
        writeFile(m_data + "rss_xslt.xsl", styleSheetFor(sheet, guid));
        return navigateAndWait(path + "#" + guid);
    }

    QString plainText() { return PagePlainText(m_browser->page(), QStringLiteral("<no answer>")); }

    // Runs a script in the program's own isolated world, which works whatever the page's
    // settings; the page's own scripts run in the main world.
    QVariant runInApplicationWorld(const QString &script)
    {
        return RunInApplicationWorld(m_browser->page(), script, QStringLiteral("<no answer>"));
    }

    // A round trip to the page: what the page did before this answer has been done and
    // reported, so what has not happened by now did not happen.
    void settle() { EXPECT_EQ(runInApplicationWorld(QStringLiteral("true")), QVariant(true)); }

    QTemporaryDir m_dir;
    QString m_data;
    std::unique_ptr<WebBrowser> m_browser;
};

// A tiny web server on 127.0.0.1 that answers every request with one page and counts them.
class OnePageServer : public QObject
{
public:
    explicit OnePageServer(QByteArray body, QByteArray contentType = "text/html; charset=utf-8")
        : m_body(std::move(body)), m_type(std::move(contentType))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    if (!request.contains("\r\n\r\n"))
                        return;
                    m_requests.append(request.left(request.indexOf("\r\n")));
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: " + m_type +
                             "\r\nConnection: close\r\nContent-Length: " +
                             QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url(const QString &path = QStringLiteral("/")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    QTcpServer m_server;
    QByteArray m_body;
    QByteArray m_type;
    QList<QByteArray> m_requests;
};

TEST_F(BrowserFixture, RendersItemThroughStyleSheetRewrittenJustBefore)
{
    const QString doc = m_data + QStringLiteral("{CHANNEL}.xml");
    writeFile(doc, channelDocument("Pierwsza wiadomość", "Treść pierwszej"));
    ASSERT_TRUE(showItem(doc, GuidA));
    QString text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Pierwsza wiadomość"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Jan Kowalski"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Druga wiadomość"))) << text.toStdString();
    // The style sheet was applied: the raw document would show the unread mark "1" and the
    // channel link as text, the rendered item shows its labels.
    EXPECT_TRUE(text.contains(QStringLiteral("Autor:"))) << text.toStdString();

    // Another item of the same file: only the fragment and the style sheet on disk differ.
    ASSERT_TRUE(showItem(doc, GuidB));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Druga wiadomość"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Pierwsza wiadomość"))) << text.toStdString();

    // The document itself rewritten on disk (a channel update) shows on the next display.
    writeFile(doc, channelDocument("Poprawiony tytuł", "Nowa treść"));
    ASSERT_TRUE(showItem(doc, GuidA));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Poprawiony tytuł"))) << text.toStdString();

    // Refresh reads both files again too.
    writeFile(doc, channelDocument("Po odświeżeniu", "x"));
    SignalCounter done(m_browser.get(), &WebBrowser::DocumentComplete);
    m_browser->Refresh();
    ASSERT_TRUE(done.wait(20000));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Po odświeżeniu"))) << text.toStdString();

    // The address reported is the one navigated to, fragment included.
    EXPECT_TRUE(m_browser->LocationURL().endsWith(QStringLiteral("{CHANNEL}.xml#") + GuidA))
        << m_browser->LocationURL().toStdString();
}

// The browser engine starts with the first page asked for, not when the window is made or
// shown; the calls before it find nothing to do, and the first item shows as ever.
TEST_F(BrowserFixture, TheEngineWaitsForTheFirstPageAndThatPageShows)
{
    ASSERT_TRUE(WaitForQueuedEvents(2));
    EXPECT_TRUE(m_browser->findChildren<QWebEnginePage *>().isEmpty()) << "a page before any";
    EXPECT_TRUE(m_browser->LocationURL().isEmpty());
    EXPECT_FALSE(m_browser->GoBack());
    m_browser->Refresh();
    m_browser->CopySelection();
    QStringList seen;
    m_browser->setBeforeNavigate2([&seen](QString &address, bool &) { seen << address; });
    EXPECT_TRUE(m_browser->findChildren<QWebEnginePage *>().isEmpty());

    const QString doc = m_data + QStringLiteral("{CHANNEL}.xml");
    writeFile(doc, channelDocument("Pierwsza wiadomość", "Treść pierwszej"));
    ASSERT_TRUE(showItem(doc, GuidA));
    EXPECT_TRUE(plainText().contains(QStringLiteral("Pierwsza wiadomość")));
    EXPECT_EQ(m_browser->findChildren<QWebEnginePage *>().size(), 1);
    EXPECT_EQ(m_browser->page(), m_browser->webPage());
    EXPECT_EQ(seen.size(), 1) << "the handler given before the page watches it";
}

// The item shown prints; to a PDF file here, as the print dialog's "print to file" does.
TEST_F(BrowserFixture, TheItemShownPrintsAndASecondPrintWaitsForTheFirst)
{
    const QString doc = m_data + QStringLiteral("{CHANNEL}.xml");
    writeFile(doc, channelDocument("Wydrukowana wiadomość", "Treść do druku"));
    ASSERT_TRUE(showItem(doc, GuidA));

    const QString pdf = m_dir.filePath(QStringLiteral("wiadomosc.pdf"));
    // The screen's resolution: the job handling is the same, the engine's work far less.
    auto printer = std::make_shared<QPrinter>();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(pdf);
    SignalCounter finished(m_browser.get(), &QWebEngineView::printFinished);
    m_browser->PrintTo(printer);
    m_browser->PrintTo(printer); // while printing: ignored, not a second job
    // Laying out and printing the page takes the engine long on a busy machine.
    ASSERT_TRUE(finished.wait(90000));
    // A bounded wait that proves a negative: a second job would have finished by now.
    WaitUntil([&] { return finished.count() > 1; }, 2000);
    EXPECT_EQ(finished.count(), 1);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF")) << bytes.left(16).toStdString();
    EXPECT_GT(bytes.size(), 1000);
    // The text stays text: fonts in the file, no page-sized picture, a small file.
    EXPECT_TRUE(bytes.contains("/Font")) << "no fonts: the page was printed as a picture";
    EXPECT_FALSE(bytes.contains("/DCTDecode")) << "a JPEG picture of the page";
    EXPECT_LT(bytes.size(), 100 * 1024);
}

TEST_F(BrowserFixture, Rss1AndArchiveStyleSheetsShowTheirItem)
{
    const QString doc = m_data + QStringLiteral("{RDF}.xml");
    writeFile(
        doc,
        QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
            "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
            "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<channel rdf:about=\"x\"><title>Kanał "
            "RDF</title><link>http://127.0.0.1/</link></channel>"
            "<item rdf:about=\"a\" GUID=\"") +
            GuidA +
            "\"><title>Wiadomość RDF</title><dc:date>2004-02-03</dc:date><unread>1</unread></item>"
            "<item rdf:about=\"b\" GUID=\"" +
            GuidB +
            "\"><title>Inna RDF</title></item>"
            "</rdf:RDF>\n");
    ASSERT_TRUE(showItem(doc, GuidA, "rss1.xsl"));
    QString text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Wiadomość RDF"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("2004-02-03"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Inna RDF"))) << text.toStdString();

    const QString arch = m_data + QStringLiteral("arch_item.xml");
    writeFile(
        arch,
        QByteArray(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
            "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
            "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
            "<item rdf:about=\"\" GUID=\"") +
            GuidB +
            "\"><title>Z archiwum</title><link></link><description>Opis</description>"
            "<dc:creator>Autor A</dc:creator><dc:date>2004-01-01</dc:date>"
            "<unread>1</unread><pubDate></pubDate><sChannelLink>http://127.0.0.1/</sChannelLink>"
            "<sChannelName>Mój kanał</sChannelName><sChannelImage>archive.jpg</sChannelImage>"
            "</item></rdf:RDF>\n");
    writeFile(m_data + "rss_xslt.xsl", styleSheetFor("rss1_archive.xsl", GuidB));
    ASSERT_TRUE(navigateAndWait(arch));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Z archiwum"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Mój kanał"))) << text.toStdString();
}

TEST_F(BrowserFixture, BeforeNavigate2SeesEveryNavigationAndCanCancelOrRedirect)
{
    const QString first = m_data + QStringLiteral("first.html");
    const QString second = m_data + QStringLiteral("second.html");
    const QString blocked = m_data + QStringLiteral("blocked.html");
    writeFile(
        first,
        "<html><body><p>Pierwsza strona</p><a id=\"l\" href=\"blocked.html\">x</a></body></html>");
    writeFile(second, "<html><body><p>Druga strona</p></body></html>");
    writeFile(blocked, "<html><body><p>Zablokowana</p></body></html>");

    QStringList seen;
    m_browser->setBeforeNavigate2([&](QString &address, bool &cancel) {
        seen << address;
        if (address.contains(QStringLiteral("blocked")))
            cancel = true;
        if (address.contains(QStringLiteral("redirect-me")))
            address = second;
    });

    ASSERT_TRUE(navigateAndWait(first + QStringLiteral("#frag")));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_TRUE(seen.last().endsWith(QStringLiteral("first.html#frag")))
        << seen.last().toStdString();
    EXPECT_FALSE(seen.last().contains(QStringLiteral("kvview")));
    EXPECT_TRUE(plainText().contains(QStringLiteral("Pierwsza strona")));

    // Cancelled: nothing is loaded and the page stays.
    seen.clear();
    EXPECT_FALSE(navigateAndWait(blocked, 2500));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(plainText().contains(QStringLiteral("Pierwsza strona")));
    EXPECT_TRUE(m_browser->LocationURL().contains(QStringLiteral("first.html")));

    // A link clicked in the page is reported and cancelled the same way.
    seen.clear();
    runInApplicationWorld(QStringLiteral("document.getElementById('l').click(); true"));
    WaitUntil([&] { return !seen.isEmpty(); });
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen.first().endsWith(QStringLiteral("/blocked.html")))
        << seen.first().toStdString();
    settle();
    EXPECT_TRUE(plainText().contains(QStringLiteral("Pierwsza strona")));

    // A changed address is the one loaded, and the handler is not asked about it again.
    seen.clear();
    ASSERT_TRUE(navigateAndWait(m_data + QStringLiteral("redirect-me.html")));
    EXPECT_EQ(seen.size(), 1);
    EXPECT_TRUE(plainText().contains(QStringLiteral("Druga strona")));
    EXPECT_TRUE(m_browser->LocationURL().endsWith(QStringLiteral("second.html")));
}

TEST_F(BrowserFixture, ScriptInAnItemDoesNotRun)
{
    const QString doc = m_data + QStringLiteral("{SCRIPT}.xml");
    // Escaped markup in a description, as feeds carry it; the style sheet puts it out as HTML.
    const QByteArray hostile =
        "&lt;p&gt;Tekst&lt;/p&gt;"
        "&lt;script&gt;document.title='HACKED';document.body.innerHTML='HACKED';&lt;/script&gt;"
        "&lt;img src='nothing.png' onerror=\"document.title='HACKED'\"&gt;";
    writeFile(doc, channelDocument("Wiadomość ze skryptem", hostile));
    ASSERT_TRUE(showItem(doc, GuidA));
    settle();
    const QString text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Wiadomość ze skryptem"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Tekst"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("HACKED"))) << text.toStdString();
    EXPECT_NE(m_browser->title(), QStringLiteral("HACKED"));
    EXPECT_TRUE(m_browser->LocationURL().contains(QStringLiteral("{SCRIPT}.xml")));

    // A plain local page with a script stays inert as well.
    const QString page = m_data + QStringLiteral("page.html");
    writeFile(page, "<html><head><title>Spokojna</title></head><body>Strona"
                    "<script>document.title='HACKED'</script></body></html>");
    ASSERT_TRUE(navigateAndWait(page));
    settle();
    EXPECT_EQ(m_browser->title(), QStringLiteral("Spokojna"));
}

TEST_F(BrowserFixture, LocalPageCannotReadFilesOrSendAnything)
{
    OnePageServer server("ok", "text/plain");
    writeFile(m_dir.path() + QStringLiteral("/secret.txt"), "TAJNE-DANE");
    writeFile(m_data + QStringLiteral("secret2.txt"), "TAJNE-DANE");
    const QString page = m_data + QStringLiteral("local.html");
    writeFile(page, "<html><body>Lokalna</body></html>");
    ASSERT_TRUE(navigateAndWait(page));

    // Even a script that got into the page (here through the program's own world, which the
    // page's settings do not stop) reads no file, beside the page or elsewhere, and reaches
    // no server.
    const QString probe =
        QStringLiteral(
            "(function(){var r=[];['%1','secret2.txt','%2'].forEach(function(u){"
            "try{var x=new "
            "XMLHttpRequest();x.open('GET',u,false);x.send();r.push(x.status+':'+x.responseText);}"
            "catch(e){r.push('blocked');}});return r.join('|');})()")
            .arg(QUrl::fromLocalFile(m_dir.path() + "/secret.txt").toString(),
                 server.url(QStringLiteral("/leak")));
    const QString result = runInApplicationWorld(probe).toString();
    EXPECT_EQ(result, QStringLiteral("blocked|blocked|blocked"));
    settle();
    EXPECT_TRUE(server.requests().isEmpty());

    // The same request from a web page is the page's own business.
    ASSERT_TRUE(navigateAndWait(server.url(QStringLiteral("/strona"))));
    const QString fromWeb =
        runInApplicationWorld(
            QStringLiteral("(function(){var x=new XMLHttpRequest();x.open('GET','/dane',false);"
                           "x.send();return x.responseText;})()"))
            .toString();
    EXPECT_EQ(fromWeb, QStringLiteral("ok"));
}

TEST_F(BrowserFixture, WebPageReachedByLinkRunsItsScripts)
{
    OnePageServer server("<html><head><title>start</title></head><body>Serwis"
                         "<script>document.title='skrypt-dziala'</script></body></html>");
    ASSERT_TRUE(navigateAndWait(server.url(QStringLiteral("/strona"))));
    WaitUntil([&] { return m_browser->title() == QStringLiteral("skrypt-dziala"); });
    EXPECT_EQ(m_browser->title(), QStringLiteral("skrypt-dziala"));

    // Back to a local page: scripts are off again.
    const QString page = m_data + QStringLiteral("again.html");
    writeFile(page, "<html><head><title>lokalna</title></head><body>"
                    "<script>document.title='HACKED'</script></body></html>");
    ASSERT_TRUE(navigateAndWait(page));
    settle();
    EXPECT_EQ(m_browser->title(), QStringLiteral("lokalna"));
}

TEST_F(BrowserFixture, ItemShowsPicturesFromTheWeb)
{
    OnePageServer server(QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0"
                                                "lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII="),
                         "image/png");
    const QString doc = m_data + QStringLiteral("{IMG}.xml");
    const QByteArray description = "&lt;img src='" + server.url("/obraz.png").toUtf8() + "'&gt;";
    writeFile(doc, channelDocument("Z obrazkiem", description));
    ASSERT_TRUE(showItem(doc, GuidA));
    WaitUntil([&] { return !server.requests().isEmpty(); });
    ASSERT_FALSE(server.requests().isEmpty());
    EXPECT_TRUE(server.requests().first().startsWith("GET /obraz.png"));
}

TEST(WebBrowserAddress, LocalPathsKeepTheirFragment)
{
    const QUrl url = WebBrowser::addressToUrl(QStringLiteral("/home/u/data/{A-B}.xml#{C-D}"));
    EXPECT_TRUE(url.isLocalFile());
    EXPECT_EQ(url.toLocalFile(), QStringLiteral("/home/u/data/{A-B}.xml"));
    EXPECT_EQ(url.fragment(), QStringLiteral("{C-D}"));
    EXPECT_EQ(WebBrowser::addressToUrl(QStringLiteral("about:blank")).toString(),
              QStringLiteral("about:blank"));
    EXPECT_FALSE(WebBrowser::addressToUrl(QStringLiteral("nothing")).isValid());
    EXPECT_TRUE(WebPage::scriptsAllowedFor(QUrl(QStringLiteral("https://example.org/"))));
    EXPECT_FALSE(WebPage::scriptsAllowedFor(QUrl(QStringLiteral("file:///tmp/x.xml"))));
    EXPECT_FALSE(WebPage::scriptsAllowedFor(QUrl(QStringLiteral("about:blank"))));
}

} // namespace

namespace {

// A page the program made shows under the item's own address: the watch and the events see
// that address, scripts stay off, and going back to it from a web page shows it again.
TEST_F(BrowserFixture, APageMadeByTheProgramShowsUnderItsAddressAndComesBackFromHistory)
{
    OnePageServer server("<html><body>Strona serwisu</body></html>");
    QStringList seen;
    m_browser->setBeforeNavigate2([&](QString &address, bool &) { seen << address; });
    const QString address = m_data + "{C0C0C0C0-0000-4000-8000-000000000001}.xml#" + GuidA;
    QStringList completed;
    QObject::connect(m_browser.get(), &WebBrowser::DocumentComplete, m_browser.get(),
                     [&](const QString &a) { completed << a; });
    SignalCounter done(m_browser.get(), &WebBrowser::DocumentComplete);
    ASSERT_TRUE(m_browser->ShowPage(
        address, "<html><body><p>Treść zrobiona w programie</p>"
                 "<script>document.title='skrypt'</script></body></html>"));
    ASSERT_TRUE(done.wait(20000));
    const QString shown = QStringLiteral("file://") + address;
    EXPECT_EQ(m_browser->LocationURL(), shown);
    ASSERT_FALSE(completed.isEmpty());
    EXPECT_EQ(completed.last(), shown);
    EXPECT_EQ(seen, QStringList{shown});
    EXPECT_TRUE(plainText().contains(QStringLiteral("Treść zrobiona w programie")));
    EXPECT_NE(runInApplicationWorld(QStringLiteral("document.title")).toString(), "skrypt");

    ASSERT_TRUE(navigateAndWait(server.url("/strona")));
    seen.clear();
    SignalCounter back(m_browser.get(), &WebBrowser::DocumentComplete);
    ASSERT_TRUE(m_browser->GoBack());
    ASSERT_TRUE(back.wait(20000));
    EXPECT_EQ(m_browser->LocationURL(), shown);
    EXPECT_EQ(seen, QStringList{shown});
    EXPECT_TRUE(plainText().contains(QStringLiteral("Treść zrobiona w programie")));
    EXPECT_NE(runInApplicationWorld(QStringLiteral("document.title")).toString(), "skrypt");

    // A page too large to hand over is refused; the caller loads the address instead.
    EXPECT_FALSE(m_browser->ShowPage(address, QByteArray(3 * 1024 * 1024, 'a')));
}

} // namespace
