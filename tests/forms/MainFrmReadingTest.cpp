// Reading in the real window, its parts wired together: marks that reach the cache file when
// the program is told to end, the archive tab and its find, and a clicked alert.

#include "MainFrmFixture.h"
#include "PageAnswers.h"
#include "alerts/forms/NotifyFrm.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "kit/WebBrowser.h"
#include "reading/forms/FindUnit.h"
#include "reading/forms/UnreadCountDelegate.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

namespace {

using namespace mainfrm_test;

const QString Guid = QStringLiteral("{11111111-2222-4333-8444-555555555555}");

QByteArray channelDocument(const QStringList &titles, const QByteArray &description = "opis ")
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                       "<title>K</title><link>http://example.org/</link>";
    for (int i = 0; i < titles.size(); ++i)
        bytes += "<item><title>" + titles[i].toUtf8() + "</title><link>http://example.org/" +
                 QByteArray::number(i) + "</link><description>" + description +
                 QByteArray::number(i) + "</description></item>";
    return bytes + "</channel></rss>";
}

class MainFrmReadingTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        TfmNotifyFrm::setAnimationMs(0);
        m_server.setHandler([](const LoopbackRequest &) {
            return LoopbackReply::http(
                "200 OK", channelDocument({QStringLiteral("Pierwsza wiadomość"),
                                           QStringLiteral("Żółta kartka dla sędziego")}));
        });
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override
    {
        MainFrmFixture::TearDown();
        TfmNotifyFrm::setAnimationMs(180);
    }

    // A channel fetched once by selecting it: its two rows are shown, the first selected.
    ChannelNode *showChannel(Windows &w)
    {
        ChannelTree *tree = w.main->channelTree();
        ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
        node->channel()->url = m_server.url("/feed");
        node->channel()->GUID = Guid;
        node->channel()->alerts = true;
        child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(tree->indexOf(node));
        EXPECT_EQ(headers(w)->model()->rowCount(), 2);
        return node;
    }
    static QTreeView *headers(Windows &w) { return child<QTreeView>(w.main, "lvHeaders"); }
    static QString title(Windows &w, int row)
    {
        return headers(w)->model()->index(row, 0).data().toString();
    }
    static void selectRow(Windows &w, int row)
    {
        headers(w)->selectionModel()->setCurrentIndex(
            headers(w)->model()->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        w.main->UpdateActions();
    }
    // A user folder from an earlier run: the channels "Kanał 0".. with their cache files,
    // `unread[i]` unread items of 100 in channel i. Written where the first start copies from.
    void prepareChannels(const QList<int> &unread)
    {
        ChannelTree tree;
        ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
        for (int i = 0; i < unread.size(); ++i) {
            const QString guid = QStringLiteral("{00000000-0000-4000-8000-%1}").arg(i, 12, 10, QLatin1Char('0'));
            ChannelNode *node = tree.addNode(group, QStringLiteral("Kanał %1").arg(i), NodeKind::Channel);
            node->channel()->GUID = guid;
            QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>K</title>";
            for (int item = 0; item < 100; ++item)
                bytes += "<item GUID=\"{I" + QByteArray::number(item) + "}\"><title>Wiadomość " +
                         QByteArray::number(item) + "</title><unread>" +
                         (item < unread[i] ? "1" : "0") + "</unread></item>";
            writeFile(m_exeDir + "data/" + guid + ".xml", bytes + "</channel></rss>");
        }
        QFile::remove(m_exeDir + "data/tvChannels.xml");
        SaveChannelTree(tree, m_exeDir + "data/tvChannels.xml");
    }
    static QString shownName(Windows &w, int groupRow, int row)
    {
        auto *tv = child<QTreeView>(w.main, "tvChannels");
        auto *delegate = dynamic_cast<UnreadCountDelegate *>(tv->itemDelegate());
        const QModelIndex root = tv->model()->index(0, 0);
        const QModelIndex group = tv->model()->index(groupRow, 0, root);
        return delegate ? delegate->displayText(row < 0 ? group : tv->model()->index(row, 0, group))
                        : QString();
    }

    QString cacheText() const { return QString::fromUtf8(readAll(appFolder() + "data/" + Guid + ".xml")); }

    LoopbackServer m_server;
};

TEST_F(MainFrmReadingTest, AMarkMadeInTheListReachesTheCacheFileWhenTheProgramIsToldToEnd)
{
    Windows &w = createAll();
    showChannel(w);
    ASSERT_TRUE(cacheText().contains(QStringLiteral("<unread>1</unread>")));
    selectRow(w, 1);
    child<QAction>(w.main, "acMarkAsRead")->trigger();

    // What a SIGTERM or the session's end leads to.
    w.main->ApplicationEvents1Message();
    const QString text = cacheText();
    const int second = text.indexOf(QStringLiteral("Żółta kartka"));
    ASSERT_GT(second, 0);
    EXPECT_TRUE(text.mid(second).contains(QStringLiteral("<unread>0</unread>"))) << text.toStdString();
    EXPECT_TRUE(text.left(second).contains(QStringLiteral("<unread>1</unread>")))
        << "the first row was not marked";
}

TEST_F(MainFrmReadingTest, ArchivedRowsShowInTheArchiveTabAndTheFindOverTheArchiveShowsMatches)
{
    Windows &w = createAll();
    showChannel(w);
    selectRow(w, 1);
    ASSERT_TRUE(child<QAction>(w.main, "acAddToArchive")->isEnabled());
    child<QAction>(w.main, "acAddToArchive")->trigger();

    child<QTabWidget>(w.main, "pcLeftPanel")->setCurrentIndex(1);
    ASSERT_EQ(headers(w)->model()->rowCount(), 1);
    EXPECT_EQ(title(w, 0), QStringLiteral("Żółta kartka dla sędziego"));
    EXPECT_EQ(child<QTreeView>(w.main, "lvArchiveCategories")->model()->rowCount(), 1);
    selectRow(w, 0);
    EXPECT_TRUE(child<QAction>(w.main, "acArchiveDelete")->isEnabled());
    EXPECT_FALSE(child<QAction>(w.main, "acAddToArchive")->isEnabled());
    EXPECT_TRUE(QFile::exists(appFolder() + "data/arch_item.xml")) << "the archived item is shown";
    WebBrowser *wbContent = child<WebBrowser>(w.main, "wbContent");
    ASSERT_TRUE(WaitUntil([wbContent] { return wbContent->LocationURL().endsWith("arch_item.xml"); }))
        << wbContent->LocationURL().toStdString();

    // Deleted, the item leaves the list, the channel list and the item view.
    m_boxes.answers = {true};
    child<QAction>(w.main, "acArchiveDelete")->trigger();
    EXPECT_EQ(headers(w)->model()->rowCount(), 0);
    EXPECT_EQ(child<QTreeView>(w.main, "lvArchiveCategories")->model()->rowCount(), 0);
    EXPECT_TRUE(WaitUntil([wbContent] { return wbContent->LocationURL() == "about:blank"; }))
        << wbContent->LocationURL().toStdString();

    // Archived again for what follows.
    child<QTabWidget>(w.main, "pcLeftPanel")->setCurrentIndex(0);
    selectRow(w, 1);
    child<QAction>(w.main, "acAddToArchive")->trigger();

    // Back on the channel: its rows again, then a find in the archive's titles.
    child<QTabWidget>(w.main, "pcLeftPanel")->setCurrentIndex(0);
    ASSERT_EQ(headers(w)->model()->rowCount(), 2);
    auto *find = w.main->findChild<TfmFindFrm *>();
    ASSERT_NE(find, nullptr);
    QTimer::singleShot(0, find, [find] {
        find->findChild<QLineEdit *>()->setText(QStringLiteral("ŻÓŁTA"));
        for (QRadioButton *b : find->findChildren<QRadioButton *>())
            if (b->text().contains(QStringLiteral("Tytuł")))
                b->setChecked(true);
        find->findChild<QCheckBox *>(QStringLiteral("cbArch"))->setChecked(true);
        find->accept();
    });
    child<QAction>(w.main, "acFind")->trigger();
    ASSERT_EQ(headers(w)->model()->rowCount(), 1);
    EXPECT_EQ(title(w, 0), QStringLiteral("Żółta kartka dla sędziego"));
    selectRow(w, 0);
    EXPECT_TRUE(child<QAction>(w.main, "acArchiveDelete")->isEnabled()) << "the archive view";
}

TEST_F(MainFrmReadingTest, AClickedAlertBringsUpTheWindowWithTheItemsChannelAndRow)
{
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(true);
    ChannelTree *tree = w.main->channelTree();
    ChannelNode *other = tree->addNode(tree->root(), QStringLiteral("Inny"), NodeKind::Group);
    ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
    node->channel()->url = m_server.url("/feed");
    node->channel()->GUID = Guid;
    node->channel()->alerts = true;
    node->channel()->enabled = true;
    child<QTreeView>(w.main, "tvChannels")->setCurrentIndex(tree->indexOf(other));
    w.main->UpdateActions();
    w.main->hide();

    child<QAction>(w.main, "acSyncAll")->trigger();
    TfmNotifyFrm *notify = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (auto *n = qobject_cast<TfmNotifyFrm *>(top))
            notify = n;
    ASSERT_NE(notify, nullptr);
    ASSERT_TRUE(notify->isShowing()) << "the run's first alert is on screen";
    notify->lbNextClick(); // the second item, as the arrows leave it
    notify->FormClick();

    EXPECT_TRUE(w.main->isVisible());
    EXPECT_EQ(child<QTreeView>(w.main, "tvChannels")->currentIndex(), tree->indexOf(node));
    const QModelIndexList selected = headers(w)->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.first().data().toString(), QStringLiteral("Żółta kartka dla sędziego"));
}

// The counts of the channels not on show are read behind the window's start, and arrive.
TEST_F(MainFrmReadingTest, TheTreeShowsEveryChannelsUnreadCountOnceTheStartHasReadTheFiles)
{
    prepareChannels({4, 3, 0, 100});
    Windows &w = createAll();
    showWindow(*w.main);
    EXPECT_TRUE(WaitUntil([&] { return shownName(w, 0, 3) == QStringLiteral("Kanał 3 (100)"); }))
        << shownName(w, 0, 3).toStdString();
    EXPECT_EQ(shownName(w, 0, 1), QStringLiteral("Kanał 1 (3)"));
    EXPECT_EQ(shownName(w, 0, 2), QStringLiteral("Kanał 2"));
    EXPECT_EQ(headers(w)->model()->rowCount(), 100) << "the first channel is on show";
}

// Closed while its start still reads the channels' files, the window goes without a fault.
TEST_F(MainFrmReadingTest, AWindowClosedWhileTheCountsAreReadGoesQuietly)
{
    prepareChannels(QList<int>(150, 50));
    for (int round = 0; round < 2; ++round) {
        Windows &w = createAll();
        if (round == 1)
            showWindow(*w.main);
        m_windows.clear();
        EXPECT_TRUE(WaitForQueuedEvents(2));
    }
}

// At the window's smallest size the banner makes way, and once the item's header has
// scrolled up the pane holds at least ten lines of the item's text.
TEST_F(MainFrmReadingTest, AtTheSmallestSizeTheItemHasRoomForTenLinesOfText)
{
    QByteArray text;
    for (int i = 0; i < 40; ++i)
        text += "&lt;p&gt;Wiersz numer " + QByteArray::number(i) + " tekstu&lt;/p&gt;";
    m_server.setHandler([text](const LoopbackRequest &) {
        return LoopbackReply::http("200 OK", channelDocument({QStringLiteral("Długa wiadomość"),
                                                              QStringLiteral("Druga")},
                                                             text));
    });
    Windows &w = createAll();
    // After the show: a first start places the window by the screen.
    showWindow(*w.main);
    w.main->resize(800, 480);
    ASSERT_TRUE(WaitUntil([&w] { return w.main->height() == 480; }));
    auto *browser = child<WebBrowser>(w.main, "wbContent");
    showChannel(w);
    ASSERT_TRUE(WaitUntil([browser] {
        return PagePlainText(browser->page()).contains(QStringLiteral("Wiersz numer 39"));
    }));
    EXPECT_FALSE(child<QWidget>(w.main, "pnBanner")->isVisible());
    const double lines =
        RunInApplicationWorld(browser->page(),
                              QStringLiteral("innerHeight / parseFloat(getComputedStyle("
                                             "document.querySelector('.text')).lineHeight)"))
            .toDouble();
    EXPECT_GE(lines, 10.0) << "pane " << browser->height() << " px";

    // A tall window keeps its banner.
    w.main->resize(800, 700);
    EXPECT_TRUE(WaitUntil([&] { return child<QWidget>(w.main, "pnBanner")->isVisible(); }));
}

} // namespace
