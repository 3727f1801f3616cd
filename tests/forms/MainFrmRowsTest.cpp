// The rows on show in the real window while the tree changes and channels are updated: they
// never point into a document that went away, and downloads a run owns stay where they are.

#include "MainFrmFixture.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"
#include "sync/ReportLog.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <functional>

namespace {

using namespace mainfrm_test;

const QString GuidA = QStringLiteral("{AAAAAAAA-2222-4333-8444-555555555555}");
const QString GuidC = QStringLiteral("{CCCCCCCC-2222-4333-8444-555555555555}");

QByteArray feed(const QStringList &titles)
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                       "<title>K</title>";
    for (const QString &title : titles)
        bytes += "<item><title>" + title.toUtf8() + "</title></item>";
    return bytes + "</channel></rss>";
}

class MainFrmRowsTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_server.setHandler([this](const LoopbackRequest &request) {
            const QByteArray body = m_documents.value(request.target(), feed({"brak"}));
            if (request.target() != m_slowPath)
                return LoopbackReply::http("200 OK", body);
            // The slow channel's body comes only once the test has done what it does meanwhile.
            LoopbackReply reply;
            reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n");
            reply.thenWhenReleased(body);
            return reply;
        });
        ASSERT_TRUE(m_server.start());
    }

    ChannelNode *addChannel(Windows &w, ChannelNode *parent, const QString &name,
                            const QString &guid, const QByteArray &path)
    {
        ChannelNode *node = w.main->channelTree()->addNode(parent, name, NodeKind::Channel);
        node->channel()->url = m_server.url(path);
        node->channel()->GUID = guid;
        node->channel()->enabled = true;
        return node;
    }
    void select(Windows &w, ChannelNode *node)
    {
        tree(w)->setCurrentIndex(w.main->channelTree()->indexOf(node));
    }
    static QTreeView *tree(Windows &w) { return child<QTreeView>(w.main, "tvChannels"); }
    static QTreeView *headers(Windows &w) { return child<QTreeView>(w.main, "lvHeaders"); }
    static QAction *action(Windows &w, const char *name) { return child<QAction>(w.main, name); }
    static QStringList reportLines(Windows &w)
    {
        QStringList lines;
        for (const ReportLog::Line &line : w.report->reportLog()->lines())
            lines.append(line.text);
        return lines;
    }
    static QStringList titles(Windows &w)
    {
        QStringList shown;
        for (int r = 0; r < headers(w)->model()->rowCount(); ++r)
            shown.append(headers(w)->model()->index(r, 0).data().toString());
        return shown;
    }

    // Once the slow channel's download is under way (inside whatever loop the command that
    // started it serves events in), `meanwhile` runs, then the download goes on.
    void whileSlowDownload(std::function<void()> meanwhile)
    {
        m_watch = std::make_unique<QTimer>();
        m_watch->setInterval(5);
        QObject::connect(m_watch.get(), &QTimer::timeout, m_watch.get(), [this, meanwhile] {
            if (m_server.heldCount() == 0)
                return;
            m_watch->stop();
            m_sawSlowDownload = true;
            meanwhile();
            m_server.release();
        });
        m_watch->start();
    }

    LoopbackServer m_server;
    std::unique_ptr<QTimer> m_watch;
    QHash<QByteArray, QByteArray> m_documents;
    QByteArray m_slowPath;
    bool m_sawSlowDownload = false;
};

// "Moje kanały > A": A is on show and the only child of its group. Deleting it puts the
// selection on the group, which shows nothing of its own; the rows of A must go with A's
// document, so that no click and no delayed mark reaches into it.
TEST_F(MainFrmRowsTest, DeletingTheChannelOnShowLeavesNoRowsOfItWhenAGroupIsSelectedAfter)
{
    m_documents["/a"] = feed({"Pierwsza", "Druga"});
    Windows &w = createAll();
    ChannelTree *channels = w.main->channelTree();
    ChannelNode *group = channels->addNode(channels->root(), QStringLiteral("Moje kanały"),
                                           NodeKind::Group);
    ChannelNode *a = addChannel(w, group, QStringLiteral("A"), GuidA, "/a");
    tree(w)->expandAll();
    w.main->show();
    select(w, a); // fetches A and shows its rows
    ASSERT_EQ(headers(w)->model()->rowCount(), 2);

    m_boxes.answers = {true};
    action(w, "acRemoveTreeItem")->trigger();
    ASSERT_EQ(SelectedNode(tree(w), *channels), group);
    EXPECT_EQ(headers(w)->model()->rowCount(), 0);
    // What a user's click on an unread row would do next.
    for (int r = 0; r < headers(w)->model()->rowCount(); ++r) {
        headers(w)->selectionModel()->setCurrentIndex(
            headers(w)->model()->index(r, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        action(w, "acMarkAsRead")->trigger();
        action(w, "acMarkAsUnread")->trigger();
    }
    EXPECT_FALSE(QFile::exists(appFolder() + "data/" + GuidA + ".xml"));
}

// The record of a channel being updated is in use until the update returns: "Usuń" is
// disabled meanwhile and a deletion that slips through is refused.
TEST_F(MainFrmRowsTest, AChannelCannotBeDeletedWhileItIsBeingUpdated)
{
    m_documents["/slow"] = feed({"Pierwsza"});
    m_slowPath = "/slow";
    Windows &w = createAll();
    ChannelNode *a = addChannel(w, w.main->channelTree()->root(), QStringLiteral("A"), GuidA,
                                "/slow");
    {
        const QSignalBlocker quiet(tree(w)->selectionModel());
        select(w, a);
    }
    w.main->UpdateActions();
    ASSERT_TRUE(action(w, "acRemoveTreeItem")->isEnabled());

    bool seenBusy = false, enabledWhileBusy = true;
    whileSlowDownload([&] {
        seenBusy = w.main->channelUpdateBusy();
        w.main->UpdateActions();
        enabledWhileBusy = action(w, "acRemoveTreeItem")->isEnabled();
        m_boxes.answers = {true};
        action(w, "acRemoveTreeItem")->trigger(); // the Del key does the same
    });
    action(w, "acSyncSelected")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !w.main->channelUpdateBusy(); }));

    ASSERT_TRUE(m_sawSlowDownload);
    ASSERT_TRUE(seenBusy);
    EXPECT_FALSE(enabledWhileBusy);
    EXPECT_TRUE(w.main->channelTree()->nodesInPreOrder().contains(a));
    EXPECT_EQ(a->channel()->GUID, GuidA);
    EXPECT_TRUE(QFile::exists(appFolder() + "data/" + GuidA + ".xml"));
    w.main->UpdateActions();
    EXPECT_TRUE(action(w, "acRemoveTreeItem")->isEnabled());
}

// During a run A's download is fetched ahead while C is still being updated; refilling the
// list of A (the filter button) must not delete that finished download.
TEST_F(MainFrmRowsTest, ShowingTheChannelOnShowAgainDuringARunKeepsItsFetchedDownload)
{
    m_documents["/a"] = feed({"Pierwsza"});
    m_documents["/c"] = feed({"Inna"});
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(true);
    ChannelTree *channels = w.main->channelTree();
    addChannel(w, channels->root(), QStringLiteral("C"), GuidC, "/c");
    ChannelNode *a = addChannel(w, channels->root(), QStringLiteral("A"), GuidA, "/a");
    select(w, a);
    ASSERT_EQ(titles(w), QStringList{"Pierwsza"});

    m_documents["/a"] = feed({"Nowa", "Pierwsza"});
    m_slowPath = "/c";
    const QString download = appFolder() + "temp/" + GuidA + ".xml";
    bool refilledWithDownload = false;
    whileSlowDownload([&] {
        // A is fetched ahead while C is held back.
        refilledWithDownload = WaitUntil(
            [&] { return QFileInfo(download).size() >= m_documents["/a"].size(); });
        child<QPushButton>(w.main, "btFilter")->click();
    });
    action(w, "acSyncAll")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !w.main->syncAllRunning(); }));

    ASSERT_TRUE(m_sawSlowDownload);
    ASSERT_TRUE(refilledWithDownload);
    EXPECT_FALSE(reportLines(w).contains(QStringLiteral("Zły format kanału A")))
        << reportLines(w).join('\n').toStdString();
    EXPECT_TRUE(reportLines(w).contains(QStringLiteral("Uaktualniono A")));
    EXPECT_TRUE(readAll(appFolder() + "data/" + GuidA + ".xml").contains("Nowa"));
}

// A run updates A, whose rows are on show while the user has put the selection on a group:
// the rows follow the new file (new GUIDs), so a click shows the item and marks stick.
TEST_F(MainFrmRowsTest, ARunRefreshesTheRowsOnShowWhileAGroupIsSelected)
{
    m_documents["/a"] = feed({"Pierwsza"});
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(true);
    ChannelTree *channels = w.main->channelTree();
    ChannelNode *group = channels->addNode(channels->root(), QStringLiteral("Grupa"),
                                           NodeKind::Group);
    ChannelNode *a = addChannel(w, channels->root(), QStringLiteral("A"), GuidA, "/a");
    select(w, a);
    ASSERT_EQ(titles(w), QStringList{"Pierwsza"});
    select(w, group);
    ASSERT_EQ(titles(w), QStringList{"Pierwsza"}) << "a group keeps the rows on show";

    m_documents["/a"] = feed({"Nowa", "Pierwsza"});
    action(w, "acSyncAll")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !w.main->syncAllRunning(); }));

    EXPECT_EQ(titles(w).size(), 2);
    EXPECT_TRUE(titles(w).contains(QStringLiteral("Nowa")));
    const QString cache = QString::fromUtf8(readAll(appFolder() + "data/" + GuidA + ".xml"));
    for (int r = 0; r < headers(w)->model()->rowCount(); ++r) {
        const QString guid = headers(w)->model()->index(r, 4).data().toString();
        EXPECT_TRUE(!guid.isEmpty() && cache.contains(guid)) << guid.toStdString();
    }
}

// Closed to the tray, the window still counts as shown: a run started from the tray menu
// opens the report window as it would with the window on the screen.
TEST_F(MainFrmRowsTest, ARunStartedFromTheTrayAfterClosingToTheTrayOpensTheReportWindow)
{
    m_documents["/a"] = feed({"Pierwsza"});
    m_slowPath = "/a";
    Windows &w = createAll();
    w.report->cbDontShow->setChecked(false);
    w.config->cbCloseAction->setChecked(true);
    addChannel(w, w.main->channelTree()->root(), QStringLiteral("A"), GuidA, "/a");
    w.main->show();
    ASSERT_TRUE(WaitUntil([&] { return w.main->isVisible(); }));
    w.main->close();
    ASSERT_FALSE(w.main->isVisible()) << "closed to the tray";

    bool reportShown = false;
    whileSlowDownload([&] { reportShown = w.report->isVisible(); });
    w.main->UpdateActions();
    ASSERT_TRUE(action(w, "acSyncAll")->isEnabled());
    action(w, "acSyncAll")->trigger(); // the tray menu's entry
    ASSERT_TRUE(WaitUntil([&] { return !w.main->syncAllRunning(); }));
    ASSERT_TRUE(m_sawSlowDownload);
    EXPECT_TRUE(reportShown);
}

} // namespace
