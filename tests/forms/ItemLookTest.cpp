// The item view's look in the real window: zoom by key and menu, kept for the next start;
// the dark sheets on a dark palette and back; the lists and the frame readable in both.

#include "MainFrmFixture.h"
#include "PageAnswers.h"
#include "catalogue/ChannelTree.h"
#include "kit/UiLook.h"
#include "kit/WebBrowser.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <cmath>

namespace {

using namespace mainfrm_test;

const QString Guid = QStringLiteral("{21111111-2222-4333-8444-555555555555}");

// WCAG's contrast of two colours, 1 to 21; text wants 4.5.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class ItemLookTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_server.setHandler([](const LoopbackRequest &request) {
            if (!request.target().startsWith("/feed"))
                return LoopbackReply::http("404 Not Found", "no");
            return LoopbackReply::http(
                "200 OK", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                          "<title>K</title><link>http://127.0.0.1:9/</link><item><title>Pierwsza"
                          "</title><description>Tekst wiadomości</description></item></channel></rss>");
        });
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override
    {
        MainFrmFixture::TearDown();
        QApplication::setPalette(m_lightPalette);
    }

    // The window on screen with one channel shown, its item in the browser.
    Windows &showItem()
    {
        Windows &w = createAll();
        showWindow(*w.main);
        ChannelTree *tree = w.main->channelTree();
        ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
        node->channel()->url = m_server.url("/feed");
        node->channel()->GUID = Guid;
        SignalCounter loaded(browser(w), &WebBrowser::DocumentComplete);
        child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(tree->indexOf(node));
        EXPECT_EQ(child<QTreeView>(w.main, "lvHeaders")->model()->rowCount(), 1);
        EXPECT_TRUE(loaded.waitForCount(1));
        return w;
    }
    static WebBrowser *browser(Windows &w) { return child<WebBrowser>(w.main, "wbContent"); }
    static QString pageBackground(Windows &w)
    {
        return RunInApplicationWorld(browser(w)->page(),
                                     QStringLiteral("getComputedStyle(document.body).backgroundColor"))
            .toString();
    }
    // The sheet variant changed: the item is made again and loaded.
    static void switchPalette(Windows &w, const QPalette &palette)
    {
        SignalCounter loaded(browser(w), &WebBrowser::DocumentComplete);
        QApplication::setPalette(palette);
        EXPECT_TRUE(loaded.wait());
    }

    QString workingSheet() const
    {
        const QByteArray bytes = readAll(appFolder() + "data/rss_xslt.xsl").mid(2);
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                  bytes.size() / 2);
    }

    LoopbackServer m_server;
    QPalette m_lightPalette = QApplication::palette();
};

TEST_F(ItemLookTest, ZoomKeysInTheItemViewStepItTheMenuShowsThemAndTheNextStartKeepsIt)
{
    Windows &w = showItem();
    WebBrowser *wb = browser(w);
    w.main->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return w.main->isActiveWindow(); }));
    wb->setFocus();
    QWidget *keys = QApplication::focusWidget();
    ASSERT_NE(keys, nullptr);
    ASSERT_EQ(keys->window(), w.main.get());

    QTest::keyClick(keys, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(wb->zoom(), 1.1);
    EXPECT_TRUE(WaitUntil([wb] { return std::abs(wb->page()->zoomFactor() - 1.1) < 0.001; }));
    QTest::keyClick(keys, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(keys, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(wb->zoom(), 0.9);
    // Ctrl+= is the same key without Shift.
    QTest::keyClick(keys, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(wb->zoom(), 1.0);
    QTest::keyClick(keys, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NE(readAll(appFolder() + "data/config.ini").indexOf("nItemZoom=90"), -1);

    // The next item keeps the zoom.
    EXPECT_NEAR(wb->page()->zoomFactor(), 0.9, 0.001);

    // The menu lists the three with their shortcuts; Ctrl+0 goes back and is then disabled.
    auto *mnWidok = child<QMenu>(w.main, "mnWidok");
    ASSERT_NE(mnWidok, nullptr);
    QStringList shown;
    for (QAction *a : mnWidok->actions())
        shown << a->text() + QLatin1Char('\t') + a->shortcut().toString();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("&Powiększ\tCtrl++"), QStringLiteral("Po&mniejsz\tCtrl+-"),
                                  QStringLiteral("&Rzeczywisty rozmiar\tCtrl+0")}));
    EXPECT_TRUE(child<QAction>(w.main, "acZoomReset")->isEnabled());
    QTest::keyClick(keys, Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(wb->zoom(), 1.0);
    EXPECT_FALSE(child<QAction>(w.main, "acZoomReset")->isEnabled());
    for (int i = 0; i < 20; ++i)
        child<QAction>(w.main, "acZoomOut")->trigger();
    EXPECT_DOUBLE_EQ(wb->zoom(), 0.3);
    EXPECT_FALSE(child<QAction>(w.main, "acZoomOut")->isEnabled()) << "nothing smaller";
    child<QAction>(w.main, "acZoomIn")->trigger();
    child<QAction>(w.main, "acZoomIn")->trigger();

    m_windows.clear();
    Windows &again = createAll();
    EXPECT_DOUBLE_EQ(browser(again)->zoom(), 0.67);
}

TEST_F(ItemLookTest, ADarkPaletteShowsTheItemThroughTheDarkSheetAndALightOneBringsTheLightBack)
{
    Windows &w = showItem();
    EXPECT_EQ(pageBackground(w), QStringLiteral("rgb(242, 243, 245)"));
    switchPalette(w, UiLook::darkPalette());
    EXPECT_EQ(pageBackground(w), QStringLiteral("rgb(31, 34, 40)"));
    EXPECT_TRUE(PagePlainText(browser(w)->page()).contains(QStringLiteral("Tekst wiadomości")));
    // The working sheet on disk is the dark one too (the export copies it).
    EXPECT_TRUE(workingSheet().contains(QStringLiteral("color-scheme: dark")));
    switchPalette(w, m_lightPalette);
    EXPECT_EQ(pageBackground(w), QStringLiteral("rgb(242, 243, 245)"));
    EXPECT_FALSE(workingSheet().contains(QStringLiteral("color-scheme: dark")));

    // A window made on a dark desktop starts with the dark sheet.
    m_windows.clear();
    QApplication::setPalette(UiLook::darkPalette());
    Windows &dark = showItem();
    EXPECT_EQ(pageBackground(dark), QStringLiteral("rgb(31, 34, 40)"));
}

// A group's list shows its items through the same sheets as a channel's list.
TEST_F(ItemLookTest, AGroupsItemsShowThroughTheDarkSheetOnADarkPalette)
{
    QApplication::setPalette(UiLook::darkPalette());
    Windows &w = showItem();
    ChannelTree *tree = w.main->channelTree();
    ChannelNode *group = tree->addNode(tree->root(), QStringLiteral("Grupa"), NodeKind::Group);
    ChannelNode *node = tree->addNode(group, QStringLiteral("W grupie"), NodeKind::Channel);
    node->channel()->GUID = QStringLiteral("{31111111-2222-4333-8444-555555555555}");
    writeFile(appFolder() + "data/" + node->channel()->GUID + ".xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
              "<title>G</title><item GUID=\"{G1}\"><title>Z grupy</title><description>Tekst "
              "grupy</description><unread>1</unread></item></channel></rss>");
    auto *headers = child<QTreeView>(w.main, "lvHeaders");
    child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(tree->indexOf(group));
    w.main->UpdateActions();
    child<QAction>(w.main, "acShowGroupItems")->trigger();
    ASSERT_TRUE(WaitUntil([&] {
        return headers->model()->rowCount() == 1 &&
               headers->model()->index(0, 0).data().toString() == QStringLiteral("Z grupy");
    }));
    SignalCounter loaded(browser(w), &WebBrowser::DocumentComplete);
    headers->selectionModel()->setCurrentIndex(
        headers->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(WaitUntil([&] {
        return PagePlainText(browser(w)->page()).contains(QStringLiteral("Tekst grupy"));
    }));
    EXPECT_EQ(pageBackground(w), QStringLiteral("rgb(31, 34, 40)"));
}

TEST_F(ItemLookTest, TheListsTheTreeAndTheFramesTextStayReadableOnLightAndDarkPalettes)
{
    for (const QPalette &palette : {m_lightPalette, UiLook::darkPalette()}) {
        QApplication::setPalette(palette);
        m_windows.clear();
        Windows &w = createAll();
        showWindow(*w.main);
        SCOPED_TRACE(UiLook::isDark(palette) ? "dark" : "light");
        for (const char *list : {"tvChannels", "lvHeaders"}) {
            const QPalette p = child<QTreeView>(w.main, list)->palette();
            EXPECT_GE(contrast(p.color(QPalette::Active, QPalette::Base),
                               p.color(QPalette::Active, QPalette::Text)), 4.5)
                << list;
            // The desktop's own selection colours: what a control needs (3:1), not body text.
            EXPECT_GE(contrast(p.color(QPalette::Active, QPalette::Highlight),
                               p.color(QPalette::Active, QPalette::HighlightedText)), 3.0)
                << list;
        }
        // Text on the frame's own grounds: the filter's label, the status bar, the buttons.
        for (const char *label : {"lbKeyWord", "sbStatusPanel0"}) {
            const QLabel *l = child<QLabel>(w.main, label);
            EXPECT_GE(contrast(l->palette().color(QPalette::Active, QPalette::Window),
                               l->palette().color(QPalette::Active, QPalette::WindowText)), 4.5)
                << label;
        }
        for (const char *button : {"spRefreshAll", "spBack"}) {
            const QToolButton *b = child<QToolButton>(w.main, button);
            const QWidget *ground = b->parentWidget();
            EXPECT_GE(contrast(ground->palette().color(QPalette::Window),
                               b->palette().color(QPalette::Active, QPalette::ButtonText)), 4.5)
                << button;
        }
    }
}

} // namespace
