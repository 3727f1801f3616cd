// Channels drawn with their sites' icons in the real window, fetched from a loopback server
// with the channel's update, kept, not fetched again within the week, and ignored when they
// are no picture; and the tray icon that carries the unread count.

#include "MainFrmFixture.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/ChannelIcons.h"
#include "reading/forms/TrayUnreadCount.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QSystemTrayIcon>
#include <QTreeView>

#include <cstring>

namespace {

using namespace mainfrm_test;

const QString Guid = QStringLiteral("{31111111-2222-4333-8444-555555555555}");
const QColor IconColour(200, 20, 30);

QByteArray picture(const char *format, int side = 16)
{
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(IconColour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Pixels of `image` near the icon colour.
int iconPixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += std::abs(c.red() - IconColour.red()) < 12 && c.green() < 40 && c.blue() < 50;
        }
    return n;
}

class ChannelIconsTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_fetchSiteIcons = true;
        m_icon = picture("PNG");
        m_server.setHandler([this](const LoopbackRequest &request) {
            const QByteArray target = request.target();
            if (target == "/feed")
                return LoopbackReply::http(
                    "200 OK", "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>K</title>"
                              "<item><title>Pierwsza</title></item><item><title>Druga</title></item>"
                              "</channel></rss>");
            if (target == "/site/")
                return LoopbackReply::http("200 OK", "<html><head><link rel=\"shortcut icon\" "
                                                     "href=\"/i/site.png\"></head><body></body></html>");
            if (target == "/i/site.png")
                return LoopbackReply::http("200 OK", m_icon);
            return LoopbackReply::http("404 Not Found", "brak");
        });
        ASSERT_TRUE(m_server.start());
    }

    int requestsFor(const QByteArray &target) const
    {
        int n = 0;
        for (const LoopbackRequest &r : m_server.requests())
            n += r.target() == target;
        return n;
    }

    // The channel updated through the tree's selection; its icon fetch waited for.
    ChannelNode *updateChannel(Windows &w, ChannelIcons *icons)
    {
        ChannelTree *tree = w.main->channelTree();
        ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
        node->channel()->url = m_server.url("/feed");
        node->channel()->link = m_server.url("/site/");
        node->channel()->GUID = Guid;
        child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(tree->indexOf(node));
        EXPECT_TRUE(WaitUntil([icons] { return icons->pending() == 0; }));
        return node;
    }

    QImage treePicture(Windows &w)
    {
        auto *tv = child<QTreeView>(w.main, "tvChannels");
        tv->expandAll();
        // A selected row's picture is drawn tinted: the root is selected instead.
        tv->setCurrentIndex(tv->model()->index(0, 0));
        return tv->viewport()->grab().toImage();
    }

    LoopbackServer m_server;
    QByteArray m_icon;
};

TEST_F(ChannelIconsTest, TheTreeDrawsAChannelWithItsSitesIconFetchedOnceWithItsUpdate)
{
    Windows &w = createAll();
    showWindow(*w.main);
    auto *icons = child<ChannelIcons>(w.main, "ChannelIcons");
    ASSERT_NE(icons, nullptr);
    EXPECT_EQ(iconPixels(treePicture(w)), 0);
    SignalCounter changed(icons, &ChannelIcons::changed);
    ChannelNode *node = updateChannel(w, icons);
    ASSERT_TRUE(changed.waitForCount(1));
    EXPECT_EQ(readAll(appFolder() + "data/icons/" + Guid + ".ico"), m_icon);
    EXPECT_GT(iconPixels(treePicture(w)), 100) << "the channel's row shows the site's icon";

    // Another update within the week asks the site nothing.
    const int before = m_server.requestCount();
    child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(w.main->channelTree()->indexOf(node));
    w.main->UpdateActions();
    child<QAction>(w.main, "acSyncSelected")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return requestsFor("/feed") == 2; }));
    ASSERT_TRUE(WaitForQueuedEvents(3));
    EXPECT_EQ(icons->pending(), 0);
    EXPECT_EQ(m_server.requestCount(), before + 1) << "only the channel itself";

    // The next start draws it from its file without asking.
    m_windows.clear();
    Windows &again = createAll();
    showWindow(*again.main);
    EXPECT_GT(iconPixels(treePicture(again)), 100);
}

TEST_F(ChannelIconsTest, AnIconThatIsNoPictureOrClaimsAHugeOneIsIgnoredAndTheChannelKeepsItsPicture)
{
    // PNG's signature over garbage: it passes the quick look at the bytes, not the decoding.
    m_icon = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(400, '\x7f');
    Windows &w = createAll();
    showWindow(*w.main);
    auto *icons = child<ChannelIcons>(w.main, "ChannelIcons");
    updateChannel(w, icons);
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(appFolder() + "data/icons/" + Guid + ".ico"); }));
    EXPECT_EQ(readAll(appFolder() + "data/icons/" + Guid + ".ico"), QByteArray())
        << "remembered as none for the week";
    EXPECT_TRUE(icons->iconFor(Guid).isNull());
    EXPECT_EQ(iconPixels(treePicture(w)), 0);

    // A picture whose header claims 30000 x 30000 pixels is not decoded at all.
    QByteArray huge = picture("BMP");
    const qint32 side = 30000;
    std::memcpy(huge.data() + 18, &side, 4);
    std::memcpy(huge.data() + 22, &side, 4);
    EXPECT_TRUE(ChannelIcons::decode(huge).isNull());
    EXPECT_FALSE(ChannelIcons::decode(picture("BMP")).isNull());
    EXPECT_FALSE(ChannelIcons::decode(picture("ICO")).isNull());
}

TEST_F(ChannelIconsTest, TheTrayIconCarriesTheUnreadCountOfTheWholeTree)
{
    EXPECT_EQ(TrayUnreadCount::badgeText(7), QStringLiteral("7"));
    EXPECT_EQ(TrayUnreadCount::badgeText(1000), QStringLiteral("999+"));
    Windows &w = createAll();
    showWindow(*w.main);
    auto *count = child<TrayUnreadCount>(w.main, "TrayUnreadCount");
    auto *tray = child<QSystemTrayIcon>(w.main, "ctTrayIcon");
    ASSERT_NE(count, nullptr);
    const QImage plain = tray->icon().pixmap(32, 32).toImage();
    EXPECT_EQ(count->shown(), 0);

    updateChannel(w, child<ChannelIcons>(w.main, "ChannelIcons"));
    ASSERT_TRUE(WaitUntil([count] { return count->shown() == 2; }));
    const QImage badged = tray->icon().pixmap(32, 32).toImage();
    // A picture to look at, as a tray on a desktop shows it (Xvfb has no tray).
    if (const QByteArray to = qgetenv("KV_TRAY_PICTURE"); !to.isEmpty())
        tray->icon().pixmap(64, 64).save(QString::fromLocal8Bit(to));
    EXPECT_NE(badged, plain);
    // The badge sits at the lower right; the upper left is the picture as it was.
    EXPECT_EQ(badged.pixelColor(4, 4), plain.pixelColor(4, 4));
    EXPECT_NE(badged.pixelColor(28, 28), plain.pixelColor(28, 28));

    auto *lvHeaders = child<QTreeView>(w.main, "lvHeaders");
    lvHeaders->selectAll();
    child<QAction>(w.main, "acMarkAsRead")->trigger();
    ASSERT_TRUE(WaitUntil([count] { return count->shown() == 0; }));
    EXPECT_EQ(tray->icon().pixmap(32, 32).toImage(), plain);
}

} // namespace
