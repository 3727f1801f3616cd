// The new channel wizard offscreen against a loopback server: both pages, every failure
// message, credentials kept per row, groups found or made, and no probe inside a probe.

#include "support/SignalWait.h"
#include "MainFrmFixture.h"

#include "catalogue/ChannelTree.h"
#include "feed/DocumentDownloader.h"
#include "feed/ProviderList.h"
#include "feed/forms/NewChanellUnit.h"
#include "support/LoopbackServer.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QHeaderView>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

using mainfrm_test::ScriptedBoxes;

namespace {

QByteArray rss(const char *title)
{
    return QByteArray("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>") + title +
           "</title><link>http://site.test/</link></channel></rss>";
}

class NewChannelFrmTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(home.isValid());
        QDir(home.path()).mkpath(QStringLiteral("temp"));
        QDir(home.path()).mkpath(QStringLiteral("data"));
        view.setModel(&tree);
        env.tree = &tree;
        env.tvChannels = &view;
        env.downloader = &downloader;
        env.messageBoxes = &boxes;
        env.listFile = home.filePath(QStringLiteral("temp/lvChannels.xml"));
        env.probeFile = home.filePath(QStringLiteral("temp/channel_info.xml"));
        env.shippedDataFolders = {home.filePath(QStringLiteral("data")),
                                  QStringLiteral(KV_SOURCE_DIR "/data")};
        env.channelsListUrl = [this] { return listUrl; };
    }

    TfmNewChannelFrm &wizard()
    {
        if (!frm)
            frm = std::make_unique<TfmNewChannelFrm>(env);
        return *frm;
    }
    template <typename T> T *child(const char *name)
    {
        return wizard().findChild<T *>(QString::fromLatin1(name));
    }
    void showOn(int page)
    {
        wizard().show();
        child<QTabWidget>("pgMain")->setCurrentIndex(page);
    }
    void selectRow(int row)
    {
        auto *list = child<QTableView>("lvChannels");
        list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    }
    ChannelNode *channel(ChannelNode *parent, const QString &name, const QString &url)
    {
        ChannelNode *n = tree.addNode(parent, name, NodeKind::Channel);
        n->channel()->url = url;
        return n;
    }

    LoopbackServer server;
    QTemporaryDir home;
    ChannelTree tree;
    QTreeView view;
    DocumentDownloader downloader;
    ScriptedBoxes boxes;
    NewChannelFrmEnv env;
    QString listUrl;
    std::unique_ptr<TfmNewChannelFrm> frm;
};

TEST_F(NewChannelFrmTest, LooksAsDescribedAndOpensOnTheListPage)
{
    listUrl = server.url(QStringLiteral("/list.xml"));
    server.enqueue(LoopbackReply::http("200 OK", "<l><c><channel><name>A</name><url>http://a</url>"
                                                 "<password>0</password></channel></c></l>"));
    wizard().show();
    EXPECT_EQ(wizard().windowTitle(), QString::fromUtf8("Dodaj nowy kanał RSS:"));
    // The designed size, or more where this system's fonts need it: no caption is clipped.
    EXPECT_GE(wizard().width(), 322);
    EXPECT_GE(wizard().height(), 358);
    for (const char *name : {"Label1", "Label2", "Label3", "cbBalloonAlerts"})
        EXPECT_LE(child<QWidget>(name)->sizeHint().width(), child<QWidget>(name)->width()) << name;
    EXPECT_LE(child<QTabWidget>("pgMain")->tabBar()->sizeHint().width(),
              child<QTabWidget>("pgMain")->width());
    auto *pages = child<QTabWidget>("pgMain");
    EXPECT_EQ(pages->currentIndex(), TfmNewChannelFrm::PageList);
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8("&Wpisz adres kanału"));
    EXPECT_EQ(pages->tabText(1), QString::fromUtf8("Dodaj &kanały z listy"));
    EXPECT_EQ(child<QPushButton>("btNext")->text(), "&Subskrybuj");
    EXPECT_EQ(child<QPushButton>("btCancel")->text(), "&Anuluj");
    EXPECT_TRUE(child<QCheckBox>("cbBalloonAlerts")->isChecked());
    EXPECT_EQ(child<QLineEdit>("edPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QLineEdit>("edURL")->text(), "http://");
    auto *list = child<QTableView>("lvChannels");
    EXPECT_EQ(list->model()->rowCount(), 1);
    EXPECT_FALSE(list->isColumnHidden(0));
    EXPECT_FALSE(list->isColumnHidden(1));
    for (int c = 2; c < 6; ++c)
        EXPECT_TRUE(list->isColumnHidden(c));
    EXPECT_GE(list->columnWidth(1), 94) << "the designed width, or the caption's";
    EXPECT_GE(list->columnWidth(1), list->horizontalHeader()->fontMetrics().horizontalAdvance(
                                        QString::fromUtf8("Uwierzytelnianie")));
    EXPECT_TRUE(child<QPushButton>("btNext")->isEnabled());
    EXPECT_FALSE(child<QWidget>("pnProgress")->isVisible());
    EXPECT_NE(child<QStatusBar>("sbStatus"), nullptr);
}

// The status panel shows what is fetched: the whole text when it fits, else its start and
// the end of the address, with the whole text in its tool tip.
TEST_F(NewChannelFrmTest, TheStatusPanelShowsTheAddressBeingFetched)
{
    wizard().show();
    QApplication::processEvents();
    auto *panel = child<QLabel>("sbStatusPanel0");
    ASSERT_NE(panel, nullptr);
    IDownloadUi &ui = wizard();
    const QString shortText = QStringLiteral("Pobieranie dokumentu http://a.pl/");
    ui.setStatusText(shortText);
    EXPECT_EQ(panel->text(), shortText);
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(shortText), panel->contentsRect().width());

    const QString longText = QStringLiteral("Pobieranie dokumentu https://www.example.org/"
                                            "blog/kategorie/wiadomosci/kanal-rss.xml");
    ui.setStatusText(longText);
    EXPECT_TRUE(panel->text().startsWith(QStringLiteral("Pobieranie dokumentu http")))
        << panel->text().toStdString();
    EXPECT_TRUE(panel->text().endsWith(QStringLiteral(".xml"))) << panel->text().toStdString();
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
    EXPECT_EQ(panel->toolTip(), longText);
}

TEST_F(NewChannelFrmTest, SubscribeFollowsTheAddressRulesWithTheMendedSchemes)
{
    listUrl = QStringLiteral("channels_list.xml");
    showOn(TfmNewChannelFrm::PageEnterName);
    auto *url = child<QLineEdit>("edURL");
    auto *next = child<QPushButton>("btNext");
    EXPECT_FALSE(next->isEnabled());
    url->setText(QStringLiteral("http://x.test/rss"));
    EXPECT_TRUE(next->isEnabled());
    url->setText(QStringLiteral("https://x.test/rss"));
    EXPECT_TRUE(next->isEnabled());
    url->setText(QStringLiteral("x.test/rss"));
    EXPECT_TRUE(next->isEnabled());
    url->setText(QStringLiteral("https://"));
    EXPECT_FALSE(next->isEnabled());
    url->setText(QStringLiteral("ftp://x.test/rss"));
    EXPECT_FALSE(next->isEnabled());
    url->setText(QString());
    EXPECT_FALSE(next->isEnabled());
}

TEST_F(NewChannelFrmTest, TheAddressPageTakesTheKeysAfterItsHttp)
{
    listUrl = QStringLiteral("channels_list.xml");
    showOn(TfmNewChannelFrm::PageEnterName);
    auto *url = child<QLineEdit>("edURL");
    // Whether reached by its tab, its shortcut or by opening there: the address is typed on.
    EXPECT_EQ(wizard().focusWidget(), url);
    EXPECT_EQ(url->cursorPosition(), url->text().size());
    wizard().hide();
    wizard().show();
    EXPECT_EQ(wizard().focusWidget(), url);
}

TEST_F(NewChannelFrmTest, TheAddressPageProbesAddsUnderTheSelectionAndCloses)
{
    ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("G"), NodeKind::Group);
    ChannelNode *sibling = channel(group, QStringLiteral("S"), QStringLiteral("http://s"));
    view.setCurrentIndex(tree.indexOf(sibling));
    listUrl = QStringLiteral("channels_list.xml");
    showOn(TfmNewChannelFrm::PageEnterName);
    child<QLineEdit>("edUserName")->setText(QStringLiteral("jan"));
    child<QLineEdit>("edPassword")->setText(QStringLiteral("tajne"));
    child<QCheckBox>("cbBalloonAlerts")->setChecked(false);
    server.enqueue(LoopbackReply::http("200 OK", rss("Nowy")));
    // Typed without a scheme: "http://" goes in front.
    child<QLineEdit>("edURL")->setText(server.url(QStringLiteral("/feed.xml")).mid(7));
    QTest::keyClick(child<QLineEdit>("edURL"), Qt::Key_Return);

    EXPECT_FALSE(wizard().isVisible());
    EXPECT_EQ(wizard().result(), QDialog::Accepted);
    ASSERT_EQ(group->childCount(), 2);
    const ChannelNode *added = group->child(1);
    EXPECT_EQ(added->text(), "Nowy");
    EXPECT_EQ(added->channel()->url, server.url(QStringLiteral("/feed.xml")));
    EXPECT_EQ(added->channel()->username, "jan");
    EXPECT_EQ(added->channel()->password, "tajne");
    EXPECT_FALSE(added->channel()->alerts);
    EXPECT_EQ(added->channel()->image, "archive.jpg");
    EXPECT_TRUE(view.isExpanded(tree.indexOf(group)));
    EXPECT_TRUE(server.requests().at(0).raw.contains("Authorization: Basic"));
    EXPECT_FALSE(QFile::exists(env.probeFile));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(NewChannelFrmTest, EveryFailureOfAProbeHasItsMessageAndLeavesTheTreeAlone)
{
    listUrl = QStringLiteral("channels_list.xml");
    const int nodes = tree.count();
    server.enqueue(LoopbackReply::http("404 Not Found", "no"));
    showOn(TfmNewChannelFrm::PageEnterName);
    const QString missing = server.url(QStringLiteral("/missing.xml"));
    child<QLineEdit>("edURL")->setText(missing);
    child<QPushButton>("btNext")->click();
    EXPECT_EQ(boxes.count("error",
                          QString::fromUtf8("Nie powiodło się pobieranie informacji o kanale ") +
                              missing + QString::fromUtf8(" (serwer odpowiedział: 404 Not Found)")),
              1);
    EXPECT_FALSE(wizard().isVisible()); // closed after its message all the same

    server.enqueue(LoopbackReply::http("200 OK", "<html><body>no channel here</body></html>"));
    showOn(TfmNewChannelFrm::PageEnterName);
    child<QLineEdit>("edURL")->setText(server.url(QStringLiteral("/page.html")));
    child<QPushButton>("btNext")->click();
    EXPECT_EQ(boxes.count("error", QStringLiteral("Niepoprawny format kanału RSS")), 1);
    EXPECT_EQ(tree.count(), nodes);
    EXPECT_FALSE(QFile::exists(env.probeFile));
}

TEST_F(NewChannelFrmTest, AWebPageIsSubscribedUnderTheChannelItAnnounces)
{
    listUrl = QStringLiteral("channels_list.xml");
    server.enqueue(LoopbackReply::http(
        "200 OK", "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                  "href=\"rss/all.xml\"></head><body></body></html>"));
    server.enqueue(LoopbackReply::http("200 OK", rss("Announced")));
    showOn(TfmNewChannelFrm::PageEnterName);
    child<QLineEdit>("edURL")->setText(server.url(QStringLiteral("/blog/")));
    child<QPushButton>("btNext")->click();
    ASSERT_EQ(tree.root()->childCount(), 1);
    EXPECT_EQ(tree.root()->child(0)->text(), "Announced");
    EXPECT_EQ(tree.root()->child(0)->channel()->url, server.url(QStringLiteral("/blog/rss/all.xml")));
}

TEST_F(NewChannelFrmTest, TheListKeepsCredentialsPerRowAndFindsOrMakesGroups)
{
    ChannelNode *existing = tree.addNode(tree.root(), QString::fromUtf8("wiadomości"), NodeKind::Group);
    channel(tree.root(), QStringLiteral("Named like a channel"), QStringLiteral("http://other"));
    const QString subscribed = server.url(QStringLiteral("/have.xml"));
    channel(existing, QStringLiteral("Have"), subscribed);

    const QString list = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><l><c>"
        "<channel><name>WIADOMOŚCI</name><url></url><password>0</password></channel>"
        "<channel><name>Have</name><url>%1</url><password>0</password></channel>"
        "<channel><name>One</name><url>%2</url><password>1</password></channel>"
        "<channel><name>Two</name><url>%3</url><password>1</password></channel>"
        "<channel><name>Named like a channel</name><url></url><password>0</password></channel>"
        "<channel><name>Three</name><url>%4</url><password>0</password></channel>"
        "<channel><name>Unticked group</name><url></url><password>0</password></channel>"
        "<channel><name>Four</name><url>%5</url><password>0</password></channel>"
        "</c></l>")
                             .arg(subscribed, server.url(QStringLiteral("/1.xml|quest|a=1|amp|b=2")),
                                  server.url(QStringLiteral("/2.xml")), server.url(QStringLiteral("/3.xml")),
                                  server.url(QStringLiteral("/4.xml")));
    listUrl = server.url(QStringLiteral("/list.xml"));
    server.enqueue(LoopbackReply::http("200 OK", list.toUtf8()));
    wizard().show();
    ProviderListModel *rows = wizard().channelsModel();
    ASSERT_EQ(rows->rowCount(), 7); // "Have" is subscribed already
    EXPECT_EQ(rows->rows()[1].url, server.url(QStringLiteral("/1.xml?a=1&b=2")));
    EXPECT_EQ(rows->rows()[1].auth, "Tak");

    // Credentials typed while a row is selected stay with that row.
    selectRow(1);
    child<QLineEdit>("edUserName")->setText(QStringLiteral("u1"));
    child<QLineEdit>("edPassword")->setText(QStringLiteral("p1"));
    selectRow(2);
    EXPECT_EQ(child<QLineEdit>("edUserName")->text(), "");
    child<QLineEdit>("edUserName")->setText(QStringLiteral("u2"));
    child<QLineEdit>("edPassword")->setText(QStringLiteral("p2"));
    child<QCheckBox>("cbBalloonAlerts")->setChecked(false);
    selectRow(1);
    EXPECT_EQ(child<QLineEdit>("edUserName")->text(), "u1");
    EXPECT_TRUE(child<QCheckBox>("cbBalloonAlerts")->isChecked());

    rows->setTicked(1, true);
    rows->setTicked(2, true);
    rows->setTicked(4, true);
    for (int i = 0; i < 3; ++i)
        server.enqueue(LoopbackReply::http("200 OK", rss(QByteArray("Ch").append('1' + char(i)).constData())));
    child<QPushButton>("btNext")->click();
    EXPECT_FALSE(wizard().isVisible());

    ASSERT_EQ(existing->childCount(), 3);
    EXPECT_EQ(existing->child(1)->channel()->username, "u1");
    EXPECT_EQ(existing->child(1)->channel()->password, "p1");
    EXPECT_TRUE(existing->child(1)->channel()->alerts);
    EXPECT_EQ(existing->child(2)->channel()->username, "u2");
    EXPECT_FALSE(existing->child(2)->channel()->alerts);
    // The heading named like a channel gets a new group as the root's last child.
    ChannelNode *made = tree.root()->child(tree.root()->childCount() - 1);
    EXPECT_TRUE(made->isGroup());
    EXPECT_EQ(made->text(), "Named like a channel");
    ASSERT_EQ(made->childCount(), 1);
    EXPECT_EQ(made->child(0)->channel()->url, server.url(QStringLiteral("/3.xml")));
    const QList<LoopbackRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[1].target(), "/1.xml?a=1&b=2");
    EXPECT_TRUE(requests[1].raw.contains("Authorization: Basic " + QByteArray("u1:p1").toBase64()));
    EXPECT_TRUE(requests[2].raw.contains("Authorization: Basic " + QByteArray("u2:p2").toBase64()));
    EXPECT_FALSE(requests[3].raw.contains("Authorization"));
}

TEST_F(NewChannelFrmTest, NothingTickedAsksForTicksAndAGroupClickTicksItsRows)
{
    listUrl = QStringLiteral("channels_list.xml"); // the shipped list, without the network
    wizard().show();
    ProviderListModel *rows = wizard().channelsModel();
    ASSERT_GT(rows->rowCount(), 10);
    ASSERT_TRUE(rows->rows()[0].isGroup());
    child<QPushButton>("btNext")->click();
    EXPECT_EQ(boxes.count("information", QString::fromUtf8("Zaznacz kanały do dodania na liście.")), 1);
    EXPECT_TRUE(wizard().isVisible());
    EXPECT_EQ(tree.count(), 1);
    EXPECT_EQ(server.requestCount(), 0);

    auto *list = child<QTableView>("lvChannels");
    const QRect text = list->visualRect(list->model()->index(0, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, text.center() + QPoint(30, 0));
    const int end = rows->groupEnd(0);
    for (int i = 0; i < end; ++i)
        EXPECT_TRUE(rows->rows()[size_t(i)].ticked) << i;
    EXPECT_FALSE(rows->rows()[size_t(end)].ticked);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, text.center() + QPoint(30, 0));
    EXPECT_FALSE(rows->groupHasTicked(0));
}

TEST_F(NewChannelFrmTest, AFailedListDownloadShowsTheEarlierListOrSaysSo)
{
    listUrl = server.url(QStringLiteral("/list.xml"));
    server.enqueue(LoopbackReply::http("500 Internal Server Error", "down"));
    wizard().show();
    EXPECT_EQ(boxes.count("error", QString::fromUtf8("Nie powiodło się pobieranie listy kanałów z serwera.")), 1);
    EXPECT_EQ(wizard().channelsModel()->rowCount(), 0);
    EXPECT_TRUE(wizard().isVisible());
    wizard().hide();

    server.enqueue(LoopbackReply::http("200 OK", "<l><c><channel><name>A</name><url>http://a</url>"
                                                 "<password>0</password></channel></c></l>"));
    wizard().show();
    EXPECT_EQ(wizard().channelsModel()->rowCount(), 1);
    wizard().hide();

    server.enqueue(LoopbackReply::http("503 Service Unavailable", "down"));
    boxes.shown.clear();
    wizard().show();
    EXPECT_EQ(wizard().channelsModel()->rowCount(), 1); // the earlier list, without a message
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(NewChannelFrmTest, SubscribeIsRefusedWhileAProbeRuns)
{
    listUrl = QStringLiteral("channels_list.xml");
    showOn(TfmNewChannelFrm::PageEnterName);
    LoopbackReply slow; // kept back until the checks below are done
    slow.thenWhenReleased("HTTP/1.1 200 OK\r\nContent-Length: " +
                          QByteArray::number(rss("Slow").size()) + "\r\n\r\n" + rss("Slow"));
    LoopbackServer quiet;
    ASSERT_TRUE(quiet.start());
    quiet.setHandler([slow](const LoopbackRequest &) { return slow; });
    child<QLineEdit>("edURL")->setText(quiet.url(QStringLiteral("/slow.xml")));

    bool disabledDuring = false, panelDuring = false;
    WhenTrue(&wizard(), [&] { return quiet.heldCount() == 1; }, [&](bool underWay) {
        EXPECT_TRUE(underWay);
        disabledDuring = !child<QPushButton>("btNext")->isEnabled();
        panelDuring = child<QWidget>("pnProgress")->isVisible();
        wizard().btNextClick();
        QTest::keyClick(child<QLineEdit>("edURL"), Qt::Key_Return);
        quiet.release();
    });
    child<QPushButton>("btNext")->click();
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(panelDuring);
    EXPECT_EQ(quiet.requestCount(), 1);
    EXPECT_EQ(tree.root()->childCount(), 1);
    EXPECT_FALSE(child<QWidget>("pnProgress")->isVisible());
}

TEST_F(NewChannelFrmTest, CancelAndEscapeStopAProbeAtOnceWithoutAnError)
{
    listUrl = QStringLiteral("channels_list.xml");
    LoopbackReply never; // a server that holds the request past every time-out of the test
    never.thenWhenReleased("HTTP/1.1 200 OK\r\nContent-Length: " +
                           QByteArray::number(rss("Never").size()) + "\r\n\r\n" + rss("Never"));
    LoopbackServer quiet;
    ASSERT_TRUE(quiet.start());
    quiet.setHandler([never](const LoopbackRequest &) { return never; });

    for (const bool byEscape : {false, true}) {
        frm.reset();
        showOn(TfmNewChannelFrm::PageEnterName);
        child<QLineEdit>("edURL")->setText(quiet.url(QStringLiteral("/dead.xml")));
        const int held = quiet.heldCount();
        WhenTrue(&wizard(), [&] { return quiet.heldCount() == held + 1; }, [&](bool underWay) {
            EXPECT_TRUE(underWay);
            if (byEscape)
                QTest::keyClick(child<QLineEdit>("edURL"), Qt::Key_Escape);
            else
                child<QPushButton>("btCancel")->click();
        });
        child<QPushButton>("btNext")->click();
        EXPECT_FALSE(wizard().probing()) << "the probe returned while the server still holds it";
        EXPECT_TRUE(boxes.shown.isEmpty()) << qPrintable(boxes.shown.value(0).text);
        EXPECT_EQ(wizard().result(), QDialog::Rejected);
        EXPECT_FALSE(wizard().isVisible());
        EXPECT_EQ(tree.root()->childCount(), 0);
    }
    quiet.release();
}

} // namespace
