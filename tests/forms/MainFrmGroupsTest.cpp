// A group's items and the search across all channels in the real window: the rows come from
// several cache files, their marks reach each row's own file, and the list follows its
// channels when they are updated, renamed or deleted while it is on show.

#include "MainFrmFixture.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/forms/SelectedNode.h"
#include "reading/forms/FindUnit.h"
#include "support/LoopbackServer.h"
#include "support/SignalWait.h"
#include "xml/XmlDocument.h"

#include <QAction>
#include <QCheckBox>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

using namespace mainfrm_test;

QString guidOf(int i)
{
    return QStringLiteral("{00000000-0000-4000-8000-%1}").arg(i, 12, 10, QLatin1Char('0'));
}

struct Item
{
    QString title;
    bool unread = true;
    QString description = QStringLiteral("opis");
};

QByteArray cacheDocument(const QString &prefix, const QList<Item> &items)
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                       "<rss version=\"2.0\"><channel><title>K</title><link>http://example.org/</link>";
    for (int i = 0; i < items.size(); ++i)
        bytes += "<item GUID=\"{" + prefix.toUtf8() + QByteArray::number(i) + "}\"><title>" +
                 items[i].title.toUtf8() + "</title><link>http://example.org/" +
                 QByteArray::number(i) + "</link><description>" +
                 items[i].description.toUtf8() + "</description><pubDate>2024-05-0" +
                 QByteArray::number(i + 1) + "</pubDate><unread>" +
                 (items[i].unread ? "1" : "0") + "</unread></item>";
    return bytes + "</channel></rss>";
}

QByteArray feedDocument(const QStringList &titles)
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
                       "<title>K</title>";
    for (const QString &title : titles)
        bytes += "<item><title>" + title.toUtf8() + "</title><description>nowy</description></item>";
    return bytes + "</channel></rss>";
}

// "Kanały" > "Wiadomości" > A, B and "Sport" > C; D stands outside the group.
class MainFrmGroupsTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        m_server.setHandler([this](const LoopbackRequest &request) {
            return LoopbackReply::http("200 OK", m_feeds.value(request.target(), feedDocument({"x"})));
        });
        ASSERT_TRUE(m_server.start());
        ChannelTree tree;
        ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
        addChannel(tree, group, 0, QStringLiteral("Kanał A"));
        addChannel(tree, group, 1, QStringLiteral("Kanał B"));
        ChannelNode *sport = tree.addNode(group, QStringLiteral("Sport"), NodeKind::Group);
        addChannel(tree, sport, 2, QStringLiteral("Kanał C"));
        addChannel(tree, tree.root(), 3, QStringLiteral("Kanał D"));
        QFile::remove(m_exeDir + "data/tvChannels.xml");
        SaveChannelTree(tree, m_exeDir + "data/tvChannels.xml");
        writeFile(m_exeDir + "data/" + guidOf(0) + ".xml",
                  cacheDocument("A", {{"Alfa pierwsza"}, {"Alfa druga", false}}));
        writeFile(m_exeDir + "data/" + guidOf(1) + ".xml",
                  cacheDocument("B", {{"Beta", true, "&lt;p&gt;Zielony &lt;b&gt;kot&lt;/b&gt;&lt;/p&gt;"}}));
        writeFile(m_exeDir + "data/" + guidOf(2) + ".xml",
                  cacheDocument("C", {{"Gol w doliczonym czasie"}, {"Remis", false}}));
        writeFile(m_exeDir + "data/" + guidOf(3) + ".xml", cacheDocument("D", {{"Delta kot"}}));
    }
    void addChannel(ChannelTree &tree, ChannelNode *parent, int i, const QString &name)
    {
        ChannelNode *node = tree.addNode(parent, name, NodeKind::Channel);
        node->channel()->GUID = guidOf(i);
        node->channel()->url = m_server.url("/" + QByteArray::number(i));
        node->channel()->enabled = false;
    }

    Windows &open()
    {
        Windows &w = createAll();
        showWindow(*w.main);
        tree(w)->expandAll();
        return w;
    }
    ChannelNode *node(Windows &w, const QString &name)
    {
        for (ChannelNode *n : w.main->channelTree()->nodesInPreOrder())
            if (n->text() == name)
                return n;
        ADD_FAILURE() << name.toStdString();
        return nullptr;
    }
    void select(Windows &w, const QString &name)
    {
        tree(w)->setCurrentIndex(w.main->channelTree()->indexOf(node(w, name)));
    }
    // Selects the group and shows its items as the tree's menu does; waits for them.
    void showGroup(Windows &w, const QString &name, int rows)
    {
        select(w, name);
        w.main->UpdateActions();
        QAction *show = action(w, "acShowGroupItems");
        ASSERT_TRUE(show->isEnabled());
        show->trigger();
        ASSERT_TRUE(WaitUntil([&] { return caption(w).contains(QStringLiteral("wiadomości grupy")); }));
        ASSERT_EQ(headers(w)->model()->rowCount(), rows) << titles(w).join('|').toStdString();
    }
    static QTreeView *tree(Windows &w) { return child<QTreeView>(w.main, "tvChannels"); }
    static QTreeView *headers(Windows &w) { return child<QTreeView>(w.main, "lvHeaders"); }
    static QAction *action(Windows &w, const char *name) { return child<QAction>(w.main, name); }
    static QString caption(Windows &w)
    {
        return headers(w)->model()->headerData(0, Qt::Horizontal).toString();
    }
    static QStringList titles(Windows &w)
    {
        QStringList list;
        for (int r = 0; r < headers(w)->model()->rowCount(); ++r)
            list << headers(w)->model()->index(r, 0).data().toString();
        return list;
    }
    static int rowOf(Windows &w, const QString &title)
    {
        return int(titles(w).indexOf(title));
    }
    static void selectRow(Windows &w, const QString &title)
    {
        const int row = rowOf(w, title);
        ASSERT_GE(row, 0) << title.toStdString();
        headers(w)->selectionModel()->setCurrentIndex(
            headers(w)->model()->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        w.main->UpdateActions();
    }
    QString cacheFile(int i) const { return appFolder() + "data/" + guidOf(i) + ".xml"; }
    // The unread mark of the item with that title in the channel's file as stored.
    QString markInFile(int channel, const QString &title) const
    {
        XmlDocument doc;
        doc.loadFromFile(cacheFile(channel));
        for (XmlNode item = doc.documentElement().findChild("channel").findChild("item"); item;
             item = item.nextSibling())
            if (item.isElement() && item.findChild("title").text() == title)
                return item.findChild("unread").text();
        return QStringLiteral("brak");
    }

    LoopbackServer m_server;
    QHash<QByteArray, QByteArray> m_feeds;
};

TEST_F(MainFrmGroupsTest, AGroupsItemsShowInOneSortableListWithTheirChannelAndUnreadInBold)
{
    Windows &w = open();
    QMenu *menu = child<QMenu>(w.main, "mnChannels");
    EXPECT_TRUE(menu->actions().contains(action(w, "acShowGroupItems")));
    select(w, QStringLiteral("Kanał D"));
    w.main->UpdateActions();
    EXPECT_FALSE(action(w, "acShowGroupItems")->isEnabled());

    showGroup(w, QStringLiteral("Wiadomości"), 5); // C sits in a subgroup, D outside
    EXPECT_EQ(caption(w), QStringLiteral("Tytuł: wiadomości grupy Wiadomości (5)"));
    EXPECT_FALSE(headers(w)->isColumnHidden(7));
    EXPECT_EQ(headers(w)->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Kanał:"));
    // Sorted by title, as every list is at first.
    EXPECT_EQ(titles(w), QStringList({"Alfa druga", "Alfa pierwsza", "Beta",
                                      "Gol w doliczonym czasie", "Remis"}));
    const QAbstractItemModel *model = headers(w)->model();
    EXPECT_EQ(model->index(rowOf(w, "Remis"), 7).data().toString(), QStringLiteral("Kanał C"));
    EXPECT_TRUE(model->index(rowOf(w, "Beta"), 1).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(model->index(rowOf(w, "Remis"), 0).data(Qt::FontRole).value<QFont>().bold());
    // The first row is on show.
    EXPECT_EQ(headers(w)->currentIndex().row(), 0);

    headers(w)->header()->sectionClicked(7); // by channel
    EXPECT_EQ(model->index(0, 7).data().toString(), QStringLiteral("Kanał A"));
    EXPECT_EQ(model->index(4, 7).data().toString(), QStringLiteral("Kanał C"));

    // A channel shown again takes the list back, without the channel column.
    select(w, QStringLiteral("Kanał D"));
    EXPECT_EQ(titles(w), QStringList({"Delta kot"}));
    EXPECT_TRUE(headers(w)->isColumnHidden(7));
}

// The channel on show holds its document in memory and writes it back later: once a group's
// list has written a mark to that channel's file, the older document must not overwrite it.
TEST_F(MainFrmGroupsTest, MarksMadeInTheGroupListReachTheirFilesAndSurviveTheChannelShownBefore)
{
    Windows &w = open();
    select(w, QStringLiteral("Kanał A"));
    ASSERT_EQ(titles(w).size(), 2);
    showGroup(w, QStringLiteral("Wiadomości"), 5);

    selectRow(w, QStringLiteral("Alfa pierwsza"));
    action(w, "acMarkAsRead")->trigger();
    selectRow(w, QStringLiteral("Gol w doliczonym czasie"));
    action(w, "acMarkAsRead")->trigger();
    selectRow(w, QStringLiteral("Remis"));
    action(w, "acMarkAsUnread")->trigger();
    EXPECT_EQ(markInFile(0, "Alfa pierwsza"), "0");
    EXPECT_EQ(markInFile(2, "Gol w doliczonym czasie"), "0");
    EXPECT_EQ(markInFile(2, "Remis"), "1");

    // Another channel is shown (the one before is written back first), then the program ends.
    select(w, QStringLiteral("Kanał D"));
    action(w, "Koniecpracy1")->trigger();
    EXPECT_EQ(markInFile(0, "Alfa pierwsza"), "0");
    EXPECT_EQ(markInFile(2, "Remis"), "1");
}

// Marking the group read rewrites its files under the list: a mark made in the list
// afterwards must not write back what the list read before.
TEST_F(MainFrmGroupsTest, AMarkAfterTheGroupWasMarkedReadKeepsTheOtherMarks)
{
    Windows &w = open();
    showGroup(w, QStringLiteral("Wiadomości"), 5);
    selectRow(w, QStringLiteral("Alfa druga"));
    QAction *markGroup = action(w, "acMarkChannelRead");
    ASSERT_TRUE(markGroup->isEnabled());
    markGroup->trigger();
    EXPECT_EQ(markInFile(0, "Alfa pierwsza"), "0");
    EXPECT_EQ(markInFile(1, "Beta"), "0");

    ASSERT_TRUE(WaitUntil([&] { return rowOf(w, QStringLiteral("Alfa druga")) >= 0; }));
    selectRow(w, QStringLiteral("Alfa druga"));
    action(w, "acMarkAsUnread")->trigger();
    EXPECT_EQ(markInFile(0, "Alfa druga"), "1");
    EXPECT_EQ(markInFile(0, "Alfa pierwsza"), "0") << "the group's mark was written over";
}

TEST_F(MainFrmGroupsTest, AnUpdatedChannelIsReadAgainAndItsRowsTakeMarksAfterwards)
{
    m_feeds["/2"] = feedDocument({"Gol w doliczonym czasie", "Nowy mecz"});
    Windows &w = open();
    node(w, QStringLiteral("Kanał C"))->channel()->enabled = true;
    showGroup(w, QStringLiteral("Sport"), 2);
    selectRow(w, QStringLiteral("Gol w doliczonym czasie"));

    action(w, "acSyncAll")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return titles(w).contains(QStringLiteral("Nowy mecz")); }))
        << titles(w).join('|').toStdString();
    EXPECT_EQ(titles(w).size(), 2);
    EXPECT_TRUE(caption(w).contains(QStringLiteral("wiadomości grupy Sport (2)")));
    // The row being read is the same item after the update, with its new GUID.
    ASSERT_EQ(rowOf(w, "Gol w doliczonym czasie"), headers(w)->currentIndex().row());
    action(w, "acMarkAsRead")->trigger();
    EXPECT_EQ(markInFile(2, "Gol w doliczonym czasie"), "0");
    EXPECT_TRUE(m_boxes.shown.isEmpty());
}

TEST_F(MainFrmGroupsTest, DeletedAndRenamedChannelsAreFollowedByTheList)
{
    Windows &w = open();
    showGroup(w, QStringLiteral("Wiadomości"), 5);
    ChannelNode *b = node(w, QStringLiteral("Kanał B"));
    w.main->channelTree()->renameNode(b, QStringLiteral("Kanał Bis"));
    EXPECT_EQ(headers(w)->model()->index(rowOf(w, "Beta"), 7).data().toString(),
              QStringLiteral("Kanał Bis"));

    // Another part (the account's synchronisation, say) deletes C and its file.
    QFile::remove(cacheFile(2));
    w.main->channelTree()->deleteNode(node(w, QStringLiteral("Kanał C")));
    EXPECT_EQ(titles(w), QStringList({"Alfa druga", "Alfa pierwsza", "Beta"}));
    EXPECT_TRUE(caption(w).endsWith(QStringLiteral("(3)")));
    selectRow(w, QStringLiteral("Beta"));
    action(w, "acMarkAsRead")->trigger();
    EXPECT_EQ(markInFile(1, "Beta"), "0");
    EXPECT_TRUE(m_boxes.shown.isEmpty());
}

TEST_F(MainFrmGroupsTest, TheUnreadFilterAndTheKeywordApplyAsTheyChange)
{
    Windows &w = open();
    showGroup(w, QStringLiteral("Wiadomości"), 5);
    child<QCheckBox>(w.main, "cbUnreadOnly")->setChecked(true);
    ASSERT_TRUE(WaitUntil([&] { return titles(w).size() == 3; })) << titles(w).join('|').toStdString();
    EXPECT_EQ(titles(w), QStringList({"Alfa pierwsza", "Beta", "Gol w doliczonym czasie"}));

    auto *keyword = child<QLineEdit>(w.main, "edKeyWord");
    keyword->setFocus();
    QTest::keyClicks(keyword, QStringLiteral("alfa"));
    ASSERT_TRUE(WaitUntil([&] { return titles(w).size() == 1; })) << titles(w).join('|').toStdString();
    EXPECT_EQ(titles(w), QStringList({"Alfa pierwsza"}));

    // A channel's own list follows both as well.
    child<QCheckBox>(w.main, "cbUnreadOnly")->setChecked(false);
    select(w, QStringLiteral("Kanał A"));
    EXPECT_EQ(titles(w), QStringList({"Alfa druga", "Alfa pierwsza"}));
    keyword->clear();
    QTest::keyClicks(keyword, QStringLiteral("druga"));
    ASSERT_TRUE(WaitUntil([&] { return titles(w).size() == 1; }));
    EXPECT_EQ(titles(w), QStringList({"Alfa druga"}));
}

TEST_F(MainFrmGroupsTest, SelectingAGroupShowsItsItemsOnlyWhereTheSettingSaysSo)
{
    Windows &w = open();
    select(w, QStringLiteral("Kanał D"));
    select(w, QStringLiteral("Sport"));
    ASSERT_TRUE(WaitForQueuedEvents(3));
    EXPECT_EQ(titles(w), QStringList({"Delta kot"})) << "the rows of the channel stay";

    auto *setting = child<QCheckBox>(w.config, "cbGroupShowsItems");
    EXPECT_FALSE(setting->isChecked());
    setting->setChecked(true);
    select(w, QStringLiteral("Wiadomości"));
    ASSERT_TRUE(WaitUntil([&] { return titles(w).size() == 5; }));
    // A channel picked before the group's files have been read wins over them.
    select(w, QStringLiteral("Sport"));
    select(w, QStringLiteral("Kanał D"));
    ASSERT_TRUE(WaitForQueuedEvents(5));
    EXPECT_EQ(titles(w), QStringList({"Delta kot"}));
}

TEST_F(MainFrmGroupsTest, TheSearchAcrossAllChannelsShowsItsResultsAsSuchAList)
{
    Windows &w = open();
    select(w, QStringLiteral("Kanał A"));
    auto *find = child<TfmFindFrm>(w.main, "fmFindFrm");
    QTimer::singleShot(0, find, [find] {
        find->findChild<QLineEdit *>("edWhat")->setText(QStringLiteral("kot"));
        find->findChild<QRadioButton *>("cbDesc")->setChecked(true);
        EXPECT_TRUE(find->findChild<QCheckBox *>("cbAllChannels")->isChecked());
        find->btOKClick();
    });
    action(w, "acFindInChannels")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return caption(w).contains(QStringLiteral("wyniki wyszukiwania")); }));
    // "kot" shows in B's description (across its markup), in D's title only: not found there.
    EXPECT_EQ(titles(w), QStringList({"Beta"}));
    EXPECT_EQ(caption(w), QStringLiteral("Tytuł: wyniki wyszukiwania we wszystkich kanałach (1)"));

    QTimer::singleShot(0, find, [find] {
        find->findChild<QRadioButton *>("cbTit")->setChecked(true);
        find->btOKClick();
    });
    action(w, "acFindInChannels")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return titles(w) == QStringList({"Delta kot"}); }))
        << titles(w).join('|').toStdString();
    selectRow(w, QStringLiteral("Delta kot"));
    action(w, "acMarkAsRead")->trigger();
    EXPECT_EQ(markInFile(3, "Delta kot"), "0");
}

} // namespace
