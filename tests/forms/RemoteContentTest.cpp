// What an item loads from the web, in the real browser against a loopback server: pictures
// only while the user allows remote content or asks for it once, fonts only from the item's
// own site, media that never starts by itself.

#include "ItemPageShow.h"
#include "PageAnswers.h"
#include "SignalWait.h"
#include "base/UserFolder.h"
#include "kit/RemoteContentBar.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"
#include "support/LoopbackServer.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const QString ChannelGuid = QStringLiteral("{C0C0C0C0-1111-2222-3333-444444444444}");
const QString GuidA = QStringLiteral("{11111111-2222-3333-4444-555555555555}");

const QByteArray Png = QByteArray::fromBase64(
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII=");

// One second of silence as 8 kHz 8-bit mono PCM: a sound any engine plays.
QByteArray silence()
{
    const int samples = 8000;
    QByteArray wav = "RIFF";
    const auto le32 = [&wav](quint32 v) {
        for (int i = 0; i < 4; ++i)
            wav.append(char((v >> (8 * i)) & 0xff));
    };
    const auto le16 = [&wav](quint16 v) {
        wav.append(char(v & 0xff));
        wav.append(char(v >> 8));
    };
    le32(36 + samples);
    wav += "WAVEfmt ";
    le32(16);
    le16(1);
    le16(1);
    le32(8000);
    le32(8000);
    le16(1);
    le16(8);
    wav += "data";
    le32(samples);
    wav += QByteArray(samples, char(0x80));
    return wav;
}

// An RSS 2.0 cache file with one item whose description is `text` (markup).
QByteArray itemDocument(const QByteArray &link, QByteArray text)
{
    text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
           "<rss version=\"2.0\"><channel><title>Kanał</title><link>" +
           link + "</link><item GUID=\"" + GuidA.toLatin1() + "\"><title>Wiadomość</title><link>" +
           link + "</link><description>" + text +
           "</description><unread>1</unread></item></channel></rss>\n";
}

class RemoteContent : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = UserFolder(m_dir.path());
        QDir().mkpath(m_folder.dataFolder());
        for (const QString &sheet :
             {ItemDisplay::Rss1Sheet, ItemDisplay::Rss2Sheet, ItemDisplay::ArchiveSheet})
            QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + sheet,
                        m_folder.dataFolder() + sheet);
        m_server.setHandler([](const LoopbackRequest &request) {
            const QByteArray path = request.target();
            if (path.endsWith(".wav"))
                return LoopbackReply::http("200 OK", silence(), "Content-Type: audio/wav\r\n");
            if (path.endsWith(".woff"))
                return LoopbackReply::http("200 OK", "not really a font",
                                           "Content-Type: font/woff\r\n");
            return LoopbackReply::http("200 OK", Png, "Content-Type: image/png\r\n");
        });
        ASSERT_TRUE(m_server.start());
        auto *layout = new QVBoxLayout(&m_window);
        m_browser = new WebBrowser(&m_window);
        m_bar = new RemoteContentBar(m_browser, &m_window);
        layout->addWidget(m_bar);
        layout->addWidget(m_browser, 1);
        m_window.resize(800, 600);
        m_window.show();
    }

    QByteArray url(const QByteArray &path) const { return m_server.url(path).toLatin1(); }

    // Shows the item the way the item view does: its site, the working sheet, the address.
    bool show(const QByteArray &link, const QByteArray &text) { return show(link, text, true); }
    // `inPage` false: the browser renders the cache file itself, as it does for a page too
    // large to hand over; the item's own style sheets survive only there.
    bool show(const QByteArray &link, const QByteArray &text, bool inPage)
    {
        m_browser->setItemSite(QUrl(QString::fromLatin1(link)));
        if (!inPage) {
            if (!writeAll(m_folder.cacheFile(ChannelGuid), itemDocument(link, text)) ||
                !ItemDisplay::WriteWorkingSheet(m_folder, ItemDisplay::Rss2Sheet, GuidA))
                return false;
            SignalCounter done(m_browser, &WebBrowser::DocumentComplete);
            return m_browser->Navigate(
                       ItemDisplay::ChannelItemAddress(m_folder, ChannelGuid, GuidA)) &&
                   done.wait();
        }
        return writeAll(m_folder.cacheFile(ChannelGuid), itemDocument(link, text)) &&
               ShowItemInPage(*m_browser, m_pages, m_folder, m_folder.cacheFile(ChannelGuid),
                              ItemDisplay::Rss2Sheet, GuidA,
                              ItemDisplay::ChannelItemAddress(m_folder, ChannelGuid, GuidA));
    }

    int requestsFor(const QByteArray &path) const
    {
        int count = 0;
        for (const LoopbackRequest &r : m_server.requests())
            count += r.target() == path ? 1 : 0;
        return count;
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    LoopbackServer m_server;
    QWidget m_window;
    WebBrowser *m_browser = nullptr;
    RemoteContentBar *m_bar = nullptr;
    ItemPageRenderer m_pages;
};

TEST_F(RemoteContent, OffHoldsPicturesBackUntilTheReaderLoadsThemOnce)
{
    m_browser->setRemoteContentAllowed(false);
    const QByteArray text = "<p>Treść</p><img src=\"" + url("/tracker.png") + "\">";
    ASSERT_TRUE(show("http://localhost:9/art/1", text));
    // The bar shows once the picture was refused: its request never left the program.
    ASSERT_TRUE(WaitUntil([&] { return m_bar->isVisible(); }));
    EXPECT_EQ(requestsFor("/tracker.png"), 0);
    EXPECT_EQ(m_bar->lbRemoteContent->text(), QStringLiteral("Zablokowano zdalną zawartość."));
    EXPECT_EQ(m_bar->btLoadRemoteContent->text(), QStringLiteral("Wczytaj"));
    EXPECT_TRUE(PagePlainText(m_browser->page()).contains(QStringLiteral("Treść")));

    m_bar->btLoadRemoteContent->click();
    EXPECT_TRUE(WaitUntil([&] { return requestsFor("/tracker.png") == 1; }));
    EXPECT_FALSE(m_bar->isVisible());

    // Once: after another page (the blank one, as when the list empties) the item shown
    // again holds its pictures back.
    SignalCounter blank(m_browser, &WebBrowser::DocumentComplete);
    ASSERT_TRUE(m_browser->Navigate(QStringLiteral("about:blank")) && blank.wait());
    ASSERT_TRUE(show("http://localhost:9/art/1", text));
    ASSERT_TRUE(WaitUntil([&] { return m_bar->isVisible(); }));
    EXPECT_EQ(requestsFor("/tracker.png"), 1);

    // Switched on again, pictures load and no bar shows.
    m_browser->setRemoteContentAllowed(true);
    const QByteArray picture = "<img src=\"" + url("/picture.png") + "\">";
    ASSERT_TRUE(show("http://localhost:9/art/2", picture));
    EXPECT_TRUE(WaitUntil([&] { return requestsFor("/picture.png") == 1; }));
    EXPECT_FALSE(m_bar->isVisible());
}

TEST_F(RemoteContent, FontsComeOnlyFromTheItemsOwnSite)
{
    const QByteArray text =
        "<style>@font-face { font-family: Obca; src: url(" +
        m_server.url("/obca.woff").replace("127.0.0.1", "localhost").toLatin1() +
        "); } @font-face { font-family: Wlasna; src: url(/wlasna.woff); }"
        " .a { font-family: Obca; } .b { font-family: Wlasna; }</style>"
        "<p class=\"a\">Tekst obcą czcionką</p><p class=\"b\">Tekst własną czcionką</p>";
    ASSERT_TRUE(show(url("/art/1"), text, false));
    // Both fonts are asked for together; by the time the site's own has come, the other
    // would have been asked for too.
    ASSERT_TRUE(WaitUntil([&] { return requestsFor("/wlasna.woff") == 1; }));
    EXPECT_TRUE(RunInApplicationWorld(m_browser->page(), QStringLiteral("true")).toBool());
    EXPECT_EQ(requestsFor("/obca.woff"), 0);
    EXPECT_FALSE(m_bar->isVisible()) << "a refused font of another site is no content to load";
}

// A local page is where the engine's own rule shows: the item's text frame admits no look
// from outside. What starts by itself in the frame would start here too, a muted film as well
// (which any browser lets start by itself).
TEST_F(RemoteContent, MediaNeverStartsByItself)
{
    // A page of the web folder and a page the program made (as items are shown) alike.
    for (const bool made : {false, true}) {
        const QString page = m_folder.dataFolder() + QStringLiteral("media.html");
        ASSERT_TRUE(writeAll(page, "<!DOCTYPE html><html><body>"
                                   "<video id=\"v\" autoplay src=\"" +
                                       url("/sound.wav") +
                                       "\"></video>"
                                       "<video id=\"m\" autoplay muted src=\"" +
                                       url("/muted.wav") + "\"></video></body></html>"));
        SignalCounter done(m_browser, &WebBrowser::DocumentComplete);
        if (made)
            ASSERT_TRUE(m_browser->ShowPage(page, readAll(page)));
        else
            ASSERT_TRUE(m_browser->Navigate(page));
        ASSERT_TRUE(done.wait());
        const auto state = [&](const char *expression) {
            return RunInApplicationWorld(
                m_browser->page(), QStringLiteral("(function(){var v=document.getElementById('v'),"
                                                  "m=document.getElementById('m');return %1;})()")
                                       .arg(QLatin1String(expression)));
        };
        // Ready to play through: an allowed autoplay would have started now.
        ASSERT_TRUE(
            WaitUntil([&] { return state("Math.min(v.readyState, m.readyState)").toInt() >= 4; }));
        EXPECT_TRUE(state("true").toBool());
        EXPECT_TRUE(state("v.paused").toBool());
        EXPECT_TRUE(state("m.paused").toBool());
        EXPECT_EQ(state("v.currentTime + m.currentTime").toDouble(), 0.0) << made;
    }
}

} // namespace
