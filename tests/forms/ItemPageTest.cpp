// Items rendered by the shipped style sheets in the real browser: what a reader sees, and
// what a hostile item cannot do.

#include "base/UserFolder.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemPage.h"
#include "xml/XmlDocument.h"
#include "ItemPageShow.h"
#include "PageAnswers.h"
#include "SignalWait.h"
#include "support/TestFiles.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QMouseEvent>
#include <QTimer>
#include <QVariant>
#include <QWebEngineScript>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString ChannelGuid = QStringLiteral("{C0C0C0C0-1111-2222-3333-444444444444}");
const QString GuidA = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
const QString GuidB = QStringLiteral("{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}");

// Answers every request with a tiny picture (or a page) and records the request lines.
class RecordingServer : public QObject
{
public:
    RecordingServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    m_pending[s] += s->readAll();
                    const QByteArray request = m_pending[s];
                    if (!request.contains("\r\n\r\n"))
                        return;
                    m_requests.append(request.left(request.indexOf("\r\n")));
                    const bool page = request.contains("/page");
                    const QByteArray body =
                        page ? QByteArray("<html><head><title>serwis</title></head><body>Strona "
                                          "serwisu</body></html>")
                             : QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1H"
                                                      "AwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVO"
                                                      "RK5CYII=");
                    s->write(QByteArray("HTTP/1.1 200 OK\r\nContent-Type: ") +
                             (page ? "text/html; charset=utf-8" : "image/png") +
                             "\r\nConnection: close\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, [this, s] {
                    m_pending.remove(s);
                    s->deleteLater();
                });
            }
        });
    }
    QByteArray url(const QByteArray &path) const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + path;
    }
    bool saw(const QByteArray &path) const
    {
        for (const QByteArray &r : m_requests)
            if (r.contains(" " + path))
                return true;
        return false;
    }
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    // The server goes first: its sockets still tell of their end while they go.
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QByteArray> m_requests;
    QTcpServer m_server;
};

QByteArray xmlEscaped(QByteArray text)
{
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

struct Item
{
    QString guid;
    QByteArray title, link, description, extra;
};

// A cache file as the channel update writes it.
QByteArray rss2Document(const QList<Item> &items, const QByteArray &channelExtra = {})
{
    QByteArray doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                     "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                     "xmlns:content=\"http://purl.org/rss/1.0/modules/content/\"><channel>"
                     "<title>Kanał testowy</title><link>http://127.0.0.1/</link>" +
                     channelExtra;
    for (const Item &i : items) {
        doc += "<item GUID=\"" + i.guid.toLatin1() + "\"><title>" + i.title + "</title>";
        if (!i.link.isNull())
            doc += "<link>" + i.link + "</link>";
        if (!i.description.isNull())
            doc += "<description>" + xmlEscaped(i.description) + "</description>";
        doc += i.extra + "<unread>1</unread></item>";
    }
    return doc + "</channel></rss>\n";
}

// The item element with that GUID, as the item view hands it over; the whole document when
// there is none.
class ItemPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = UserFolder(m_dir.path());
        m_data = m_folder.dataFolder();
        QDir().mkpath(m_data);
        for (const QString &sheet : {ItemDisplay::Rss1Sheet, ItemDisplay::Rss2Sheet,
                                     ItemDisplay::ArchiveSheet})
            QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + sheet, m_data + sheet);
        m_browser = std::make_unique<WebBrowser>();
        m_browser->resize(800, 600);
        m_browser->show();
    }
    void TearDown() override { m_browser.reset(); }

    // Shows one item the way the item view does: the working sheet written, the page made
    // from the document and handed to the browser under the item's address.
    bool show(const QByteArray &document, const QString &guid,
              const QString &sheet = ItemDisplay::Rss2Sheet)
    {
        if (!writeAll(m_folder.cacheFile(ChannelGuid), document))
            return false;
        return showPage(m_folder.cacheFile(ChannelGuid), sheet, guid,
                        ItemDisplay::ChannelItemAddress(m_folder, ChannelGuid, guid));
    }
    bool showPage(const QString &file, const QString &sheet, const QString &guid,
                  const QString &address)
    {
        return ShowItemInPage(*m_browser, m_pages, m_folder, file, sheet, guid, address);
    }

    QString plainText() { return PagePlainText(m_browser->page(), QStringLiteral("<no answer>")); }

    QVariant inspect(const QString &script)
    {
        return RunInApplicationWorld(m_browser->page(), script, QStringLiteral("<no answer>"));
    }

    // Proof that the page had its moment to react to what came before: a picture asked for
    // after it has loaded. What did not happen by then did not happen.
    void passedTheMoment(const RecordingServer &server, const QByteArray &path)
    {
        inspect(QStringLiteral("(function(){var i=new Image();i.src='%1';"
                               "document.body.appendChild(i);return true;})()")
                    .arg(QString::fromLatin1(server.url(path))));
        EXPECT_TRUE(WaitUntil([&] { return server.saw(path); })) << path.constData();
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    QString m_data;
    std::unique_ptr<WebBrowser> m_browser;
    ItemPageRenderer m_pages;
};

// A left click in the page, where the item's text is (below the program's header).
void clickAt(WebBrowser *browser, QPoint point)
{
    QWidget *target = browser->focusProxy() ? browser->focusProxy() : browser;
    const QPointF global = target->mapToGlobal(QPointF(point));
    QMouseEvent move(QEvent::MouseMove, QPointF(point), global, Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(point), global, Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(point), global, Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &release);
}

// Covers the whole text area, so that a click anywhere below the header hits it.
QByteArray coveringLink(const QByteArray &href)
{
    return "<a id=\"big\" href=\"" + href +
           "\" style=\"display:block;height:3000px\">Kliknij tutaj</a>";
}

TEST_F(ItemPage, ShowsTheChosenItemWithItsFields)
{
    const QByteArray full =
        "<pubDate>2004-01-05</pubDate><author>jan@example.org (Jan Kowalski)</author>"
        "<category>Kraj</category><category>Gospodarka</category>"
        "<enclosure url=\"http://127.0.0.1:9/audycje/odcinek-12.mp3?x=1\" length=\"12897484\" "
        "type=\"audio/mpeg\"/>"
        "<enclosure url=\"http://127.0.0.1:9/film.mp4\" type=\"video/mp4\"/>"
        "<content:encoded>&lt;p&gt;Pełny tekst &lt;em&gt;artykułu&lt;/em&gt;&lt;/p&gt;"
        "</content:encoded>";
    const QByteArray doc =
        rss2Document({{GuidA, "Zażółć gęślą jaźń", "http://127.0.0.1:9/art/1",
                       "<p>Tylko skrót</p>", full},
                      {GuidB, "Druga wiadomość", "http://127.0.0.1:9/art/2", "<p>Druga</p>", {}}},
                     "<image><url>http://127.0.0.1:9/logo.png</url><title>logo</title></image>");
    ASSERT_TRUE(show(doc, GuidA));
    QString text = plainText();
    for (const char *expected :
         {"Kanał testowy", "Zażółć gęślą jaźń", "Opublikowano: 2004-01-05", "Autor: Jan Kowalski",
          "Kategorie: Kraj, Gospodarka", "Nagranie: odcinek-12.mp3 (audio/mpeg, 12,3 MB)",
          "Film: film.mp4 (video/mp4)", "Pełny tekst artykułu"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                  << text.toStdString();
    // The full text replaces the summary; the other item is not shown.
    EXPECT_FALSE(text.contains(QStringLiteral("Tylko skrót"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Druga"))) << text.toStdString();
    EXPECT_EQ(inspect(QStringLiteral("document.querySelector('h1 a').href")).toString(),
              QStringLiteral("http://127.0.0.1:9/art/1"));
    EXPECT_EQ(inspect(QStringLiteral("document.querySelector('.channel img').src")).toString(),
              QStringLiteral("http://127.0.0.1:9/logo.png"));
    EXPECT_EQ(inspect(QStringLiteral("document.title")).toString(),
              QStringLiteral("Zażółć gęślą jaźń"));

    // Fields missing: nothing broken, the reader is told what there is not.
    ASSERT_TRUE(show(rss2Document({{GuidB, "", {}, {}, {}}}), GuidB));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("(bez tytułu)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Ta wiadomość nie ma treści."))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Autor:"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Opublikowano:"))) << text.toStdString();
    EXPECT_EQ(inspect(QStringLiteral("document.querySelectorAll('iframe').length")).toInt(), 0);
    EXPECT_FALSE(inspect(QStringLiteral("document.querySelector('h1 a').hasAttribute('href')"))
                     .toBool());

    // A GUID that is no longer in the file.
    ASSERT_TRUE(show(doc, QStringLiteral("{00000000-0000-0000-0000-000000000000}")));
    text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Wybrana wiadomość nie jest już dostępna.")))
        << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Zażółć"))) << text.toStdString();
}

TEST_F(ItemPage, RdfAndArchiveItemsShowTheirFields)
{
    const QByteArray rdf =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        "<channel rdf:about=\"x\"><title>Kanał RDF</title><link>http://127.0.0.1:9/</link>"
        "</channel><image rdf:about=\"i\"><url>http://127.0.0.1:9/rdf.png</url></image>"
        "<item rdf:about=\"a\" GUID=\"" +
        GuidA.toLatin1() +
        "\"><title>Wiadomość RDF</title><description>Pierwszy wiersz\nDrugi wiersz &amp; "
        "reszta</description><dc:creator>Anna Nowak</dc:creator>"
        "<dc:date>2004-02-03T10:15:00+01:00</dc:date><unread>1</unread></item>"
        "<item rdf:about=\"b\" GUID=\"" +
        GuidB.toLatin1() + "\"><title>Inna RDF</title></item></rdf:RDF>\n";
    ASSERT_TRUE(show(rdf, GuidA, ItemDisplay::Rss1Sheet));
    QString text = plainText();
    for (const char *expected : {"Kanał RDF", "Wiadomość RDF", "Opublikowano: 2004-02-03 10:15",
                                 "Autor: Anna Nowak", "Pierwszy wiersz\nDrugi wiersz & reszta"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                  << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Inna RDF")));
    EXPECT_EQ(inspect(QStringLiteral("document.querySelector('.channel img').src")).toString(),
              QStringLiteral("http://127.0.0.1:9/rdf.png"));

    // The one-item archive document, as the archive writes it.
    const QByteArray arch =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
        "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
        "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
        "<item rdf:about=\"\" GUID=\"" +
        GuidB.toLatin1() +
        "\"><title>Z archiwum</title><link>http://127.0.0.1:9/z</link>"
        "<description>&lt;p&gt;Opis &lt;b&gt;zachowany&lt;/b&gt;&lt;/p&gt;</description>"
        "<dc:creator>Autor A</dc:creator><dc:date>2004-01-01</dc:date><unread>1</unread>"
        "<pubDate></pubDate><sChannelLink>http://127.0.0.1:9/</sChannelLink>"
        "<sChannelName>Mój kanał</sChannelName><sChannelImage>archive.jpg</sChannelImage>"
        "</item></rdf:RDF>\n";
    ASSERT_TRUE(writeAll(m_folder.archiveItemFile(), arch));
    ASSERT_TRUE(showPage(m_folder.archiveItemFile(), ItemDisplay::ArchiveSheet, GuidB,
                         ItemDisplay::ArchiveItemAddress(m_folder)));
    text = plainText();
    for (const char *expected : {"Archiwum", "Mój kanał", "Z archiwum", "Opublikowano: 2004-01-01",
                                 "Autor: Autor A", "Opis zachowany"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                  << text.toStdString();
    // A channel picture that is no web address is left out rather than shown broken.
    EXPECT_EQ(inspect(QStringLiteral("document.querySelectorAll('img').length")).toInt(), 0);
}

TEST_F(ItemPage, NoScriptOfAnItemRunsWhilePicturesLoad)
{
    RecordingServer server;
    const QByteArray beacon = "(new Image()).src='" + server.url("/ran-");
    const QByteArray hostile =
        "<p>Treść z pułapkami</p>"
        "<img src=\"" + server.url("/pic.png") + "\">"
        "<script>" + beacon + "script'</script>"
        "<img src=\"nothing.png\" onerror=\"" + beacon + "onerror'\">"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" onload=\"" + beacon + "svgonload'\">"
        "<script>" + beacon + "svgscript'</script></svg>"
        "<iframe srcdoc=\"&lt;script&gt;" + beacon + "srcdoc'&lt;/script&gt;\"></iframe>"
        "<iframe src=\"" + server.url("/frame") + "\"></iframe>"
        "<object data=\"" + server.url("/object.svg") + "\"></object>"
        "<embed src=\"" + server.url("/embed.swf") + "\">"
        "<meta http-equiv=\"refresh\" content=\"0;url=" + server.url("/refresh") + "\">"
        "<link rel=\"stylesheet\" href=\"" + server.url("/style.css") + "\">" +
        coveringLink("javascript:" + beacon + "jslink';void(0)");
    const QByteArray itemLink = "javascript:" + beacon + "titlelink';void(0)";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Wiadomość ze skryptami", itemLink, hostile, {}}}),
                     GuidA));
    EXPECT_TRUE(WaitUntil([&] { return server.saw("/pic.png"); }))
        << "a picture of the item must load";
    clickAt(m_browser.get(), QPoint(400, 400));
    passedTheMoment(server, "/after-click");

    for (const QByteArray &r : server.requests())
        EXPECT_FALSE(r.contains("/ran-") || r.contains("/frame") || r.contains("/object") ||
                     r.contains("/embed") || r.contains("/refresh") || r.contains("style.css"))
            << r.toStdString();
    const QString text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Treść z pułapkami"))) << text.toStdString();
    EXPECT_TRUE(m_browser->LocationURL().contains(ChannelGuid)) << m_browser->LocationURL().toStdString();
    // The item's own link is no script link in the program's header.
    EXPECT_FALSE(inspect(QStringLiteral("document.querySelector('h1 a').hasAttribute('href')"))
                     .toBool());
}

TEST_F(ItemPage, FormsInAnItemSendNothing)
{
    RecordingServer server;
    const QByteArray form =
        "<form method=\"post\" action=\"" + server.url("/post") +
        "\"><input name=\"dane\" value=\"tajne\">"
        "<input type=\"submit\" value=\"Wyślij\" style=\"display:block;width:100%;height:3000px\">"
        "</form>";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Formularz", "http://127.0.0.1:9/", form, {}}}), GuidA));
    clickAt(m_browser.get(), QPoint(400, 400));
    passedTheMoment(server, "/after-click");
    EXPECT_FALSE(server.saw("/post"));

    // Even a form that got into the program's own page is not sent from a local document.
    inspect(QStringLiteral("(function(){var f=document.createElement('form');f.method='post';"
                           "f.action='%1';var i=document.createElement('input');i.name='x';"
                           "i.value='tajne';f.appendChild(i);document.body.appendChild(f);"
                           "f.submit();return true;})()")
                .arg(QString::fromLatin1(server.url("/post2"))));
    passedTheMoment(server, "/after-submit");
    EXPECT_FALSE(server.saw("/post2"));
    EXPECT_TRUE(m_browser->LocationURL().contains(ChannelGuid)) << m_browser->LocationURL().toStdString();
}

TEST_F(ItemPage, DescriptionCannotBreakOutOrRestyleTheProgramTexts)
{
    const QByteArray breakout =
        "Zwykły początek\"></iframe></div></div></body></html>"
        "<h1>Fałszywy tytuł</h1><div class=\"meta\">Autor: Oszust</div>"
        "<style>h1, .meta, .channel { display: none !important; } "
        "body { background: red !important; }</style>"
        "<div style=\"position:fixed;top:0;left:0;right:0;height:200px;background:#fff;z-index:99\">"
        "Kanał podrobiony</div>";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Prawdziwy tytuł", "http://127.0.0.1:9/", breakout,
                                     "<dc:creator>Prawdziwy autor</dc:creator>"}}),
                     GuidA));
    // The program's page holds its own header and the item's text, each in its own box:
    // the end tags in the text close nothing of the page.
    EXPECT_EQ(inspect(QStringLiteral("document.querySelectorAll('.head h1').length")).toInt(), 1);
    EXPECT_EQ(inspect(QStringLiteral("document.querySelector('.head h1').innerText")).toString(),
              QStringLiteral("Prawdziwy tytuł"));
    EXPECT_EQ(inspect(QStringLiteral("document.querySelector('.head .meta').innerText")).toString(),
              QStringLiteral("Autor: Prawdziwy autor"));
    EXPECT_EQ(inspect(QStringLiteral("[].map.call(document.body.children,function(e){"
                                     "return e.className}).join(',')"))
                  .toString(),
              QStringLiteral("head,content"));
    EXPECT_FALSE(inspect(QStringLiteral("document.querySelector('.head').innerText")).toString().contains(
        QStringLiteral("Fałszywy")));
    EXPECT_EQ(inspect(QStringLiteral("document.querySelectorAll('style').length")).toInt(), 1);
    for (const char *selector : {".head h1", ".head .meta", ".head .channel"})
        EXPECT_NE(inspect(QStringLiteral("getComputedStyle(document.querySelector('%1')).display")
                              .arg(QLatin1String(selector)))
                      .toString(),
                  QStringLiteral("none"))
            << selector;
    EXPECT_EQ(inspect(QStringLiteral("getComputedStyle(document.body).backgroundColor")).toString(),
              QStringLiteral("rgb(242, 243, 245)"));
    // Whatever the item's text does, it draws inside its box, below the header: even what it
    // places "fixed" at the top of the window.
    const int headBottom =
        inspect(QStringLiteral("document.querySelector('.head').getBoundingClientRect().bottom"))
            .toInt();
    const int textTop =
        inspect(QStringLiteral("document.querySelector('.content').getBoundingClientRect().top"))
            .toInt();
    EXPECT_GE(textTop, headBottom);
    EXPECT_GE(inspect(QStringLiteral("(function(){var r=document.elementFromPoint(20,5);"
                                     "return r.closest('.content')?0:1})()"))
                  .toInt(),
              1)
        << "the item's fixed box covers the header";
    // The text itself is still there, for the reader to see what it is.
    EXPECT_TRUE(plainText().contains(QStringLiteral("Zwykły początek")));
}

// A long item is one page: the document is the one thing that scrolls, and the header card
// goes up with the text.
TEST_F(ItemPage, ALongItemScrollsAsOnePageWithItsHeader)
{
    QByteArray text;
    for (int i = 0; i < 120; ++i)
        text += "<p>Akapit " + QByteArray::number(i) + " długiej wiadomości.</p>";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Długa", "http://127.0.0.1:9/", text, {}}}), GuidA));
    EXPECT_EQ(inspect(QStringLiteral("document.querySelectorAll('iframe').length")).toInt(), 0);
    EXPECT_GT(inspect(QStringLiteral("document.scrollingElement.scrollHeight - innerHeight")).toInt(),
              2000);
    EXPECT_EQ(inspect(QStringLiteral(
                          "[].filter.call(document.querySelectorAll('*'),function(e){"
                          "var o=getComputedStyle(e).overflowY;"
                          "return (o=='auto'||o=='scroll')&&e.scrollHeight>e.clientHeight;"
                          "}).length"))
                  .toInt(),
              0);
    const int headHeight =
        inspect(QStringLiteral("document.querySelector('.head').offsetHeight")).toInt();
    EXPECT_LT(inspect(QStringLiteral("scrollTo(0,%1);"
                                     "document.querySelector('.head').getBoundingClientRect().bottom")
                          .arg(headHeight + 50))
                  .toInt(),
              0);
    EXPECT_TRUE(inspect(QStringLiteral("!!document.elementFromPoint(300,10).closest('.text')"))
                    .toBool());
}

TEST_F(ItemPage, LinksAndRelativeAddressesOfAnItemBelongToItsSite)
{
    RecordingServer server;
    QStringList seen;
    m_browser->setBeforeNavigate2([&](QString &address, bool &) { seen << address; });
    const QByteArray text = "<img src=\"obrazek.png\">" + coveringLink("page-2");
    ASSERT_TRUE(show(rss2Document({{GuidA, "Z odnośnikami", server.url("/art/1"), text, {}}}),
                     GuidA));
    EXPECT_TRUE(WaitUntil([&] { return server.saw("/art/obrazek.png"); }));

    // A link followed in the text opens in the browser pane itself, through the usual watch.
    seen.clear();
    clickAt(m_browser.get(), QPoint(400, 400));
    WaitUntil([&] { return m_browser->LocationURL().contains(QStringLiteral("/art/page-2")); });
    EXPECT_EQ(m_browser->LocationURL(), QString::fromLatin1(server.url("/art/page-2")));
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.last(), QString::fromLatin1(server.url("/art/page-2")));
}

// Text without tags is what the channel wrote, references and all: a WordPress excerpt, an
// Atom text summary as the converter stores it, and text that is plain through and through.
TEST_F(ItemPage, TextWithoutTagsShowsTheCharactersItsReferencesStandFor)
{
    struct Case
    {
        QByteArray description;
        const char *shown;
    };
    const Case cases[] = {
        {"Mówił &#8222;tak&#8221; [&#8230;]", "Mówił „tak” […]"},
        {"Powiedział &quot;tak&quot; &amp; wyszedł", "Powiedział \"tak\" & wyszedł"},
        {"Tekst &lt;b&gt;nie HTML&lt;/b&gt;", "Tekst <b>nie HTML</b>"},
        {"Wynik: 3 < 5 & 7 > 2\nDruga linia", "Wynik: 3 < 5 & 7 > 2\nDruga linia"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.shown);
        ASSERT_TRUE(show(rss2Document({{GuidA, "Zwykły tekst", "http://127.0.0.1:9/", c.description,
                                        {}}}),
                         GuidA));
        const QString text = plainText();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.shown))) << text.toStdString();
    }
    // Markup is still markup.
    ASSERT_TRUE(show(rss2Document({{GuidA, "Znaczniki", "http://127.0.0.1:9/",
                                    "<p>Akapit &#8222;cytat&#8221;</p><p>Drugi<br>wiersz</p>", {}}}),
                     GuidA));
    const QString text = plainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Akapit „cytat”"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("<p>"))) << text.toStdString();
}


// A link meant for a new window goes where any link of an item may go, in the pane itself:
// a data: page never becomes a page of its own, a web page does.
TEST_F(ItemPage, ALinkForANewWindowPassesTheSameSchemeCheck)
{
    RecordingServer server;
    const QByteArray escape = "<a target=\"_blank\" href=\"data:text/html,<title>ucieczka</title>"
                              "<p>Strona bez zasad</p>\" style=\"display:block;height:3000px\">"
                              "Kliknij</a>";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Nowe okno", "http://127.0.0.1:9/", escape, {}}}),
                     GuidA));
    QStringList seen;
    m_browser->setBeforeNavigate2([&](QString &address, bool &) { seen << address; });
    SignalCounter asked(m_browser->page(), &QWebEnginePage::newWindowRequested);
    clickAt(m_browser.get(), QPoint(400, 400));
    ASSERT_TRUE(asked.wait());
    passedTheMoment(server, "/after-click");
    EXPECT_TRUE(seen.filter(QStringLiteral("data:")).isEmpty()) << seen.join(' ').toStdString();
    EXPECT_TRUE(m_browser->LocationURL().contains(ChannelGuid))
        << m_browser->LocationURL().toStdString();

    const QByteArray web = "<a target=\"_blank\" href=\"" + server.url("/page-new") +
                           "\" style=\"display:block;height:3000px\">Kliknij</a>";
    ASSERT_TRUE(show(rss2Document({{GuidA, "Nowe okno", "http://127.0.0.1:9/", web, {}}}), GuidA));
    clickAt(m_browser.get(), QPoint(400, 400));
    EXPECT_TRUE(WaitUntil([&] { return m_browser->LocationURL().endsWith("/page-new"); }))
        << m_browser->LocationURL().toStdString();
}

// Another program's scheme in an item's link is not handed to the desktop.
class SchemeCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> caught;
public slots:
    void open(const QUrl &url) { caught << url; }
};

TEST_F(ItemPage, ALinkToAnotherProgramsSchemeStaysInTheItem)
{
    RecordingServer server;
    SchemeCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("kvprog"), &catcher, "open");
    ASSERT_TRUE(show(rss2Document({{GuidA, "Inny program", "http://127.0.0.1:9/",
                                    coveringLink("kvprog:uruchom"), {}}}),
                     GuidA));
    clickAt(m_browser.get(), QPoint(400, 400));
    // The engine hands a scheme on later than it starts a load: two rounds of proof.
    passedTheMoment(server, "/after-click");
    passedTheMoment(server, "/after-proof");
    QDesktopServices::unsetUrlHandler(QStringLiteral("kvprog"));
    EXPECT_TRUE(catcher.caught.isEmpty());
}

} // namespace

#include "ItemPageTest.moc"
