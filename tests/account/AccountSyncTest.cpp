// Subscriptions, items and read marks kept with a real Tiny Tiny RSS server.
#include "AccountFixture.h"

#include "account/MarkQueue.h"
#include "reading/ShownChannel.h"
#include "support/ProgramRun.h"

#include <QJsonArray>
#include <QSet>

TTRSS_ENVIRONMENT();

namespace {

class AccountSyncTest : public AccountFixture
{
protected:
    // Marks an item of the channel here, as the header list does, and writes it back.
    void markHere(ChannelNode *node, const QString &title, bool unread)
    {
        ShownChannel &shown = session->shownChannel();
        const HeaderFill fill =
            shown.fillHeaders(node->channel()->GUID, node->text(), QString(), false, folder, lines);
        bool found = false;
        for (const HeaderRow &row : fill.rows)
            if (row.title == title) {
                ASSERT_TRUE(shown.setUnread(row, unread));
                found = true;
            }
        ASSERT_TRUE(found) << title.toStdString();
        shown.writeBack();
        shown.document().setActive(false);
    }

    // Titles unread here, from the channel's cache file.
    QSet<QString> unreadHere(ChannelNode *node)
    {
        ShownChannel &shown = session->shownChannel();
        const HeaderFill fill =
            shown.fillHeaders(node->channel()->GUID, node->text(), QString(), false, folder, lines);
        QSet<QString> titles;
        for (const HeaderRow &row : fill.rows)
            if (row.unread)
                titles.insert(row.title);
        shown.document().setActive(false);
        return titles;
    }

    // Article ids by title on the server, and the unread titles there.
    QHash<QString, int> idsThere(int feedId, QSet<QString> *unread = nullptr)
    {
        bool ok = false;
        QHash<QString, int> ids;
        for (const TtrssHeadline &h : other.headlines(feedId, 0, false, false, 0, &ok)) {
            ids.insert(h.title, h.id);
            if (unread && h.unread)
                unread->insert(h.title);
        }
        EXPECT_TRUE(ok) << other.message().toStdString();
        return ids;
    }

    int feedOfTitle(const QString &title)
    {
        bool ok = false;
        for (const TtrssFeed &f : other.feeds(&ok))
            if (f.title == title)
                return f.id;
        return 0;
    }

    QSet<int> feedsThere()
    {
        bool ok = false;
        QSet<int> ids;
        for (const TtrssFeed &f : other.feeds(&ok))
            ids.insert(f.id);
        return ids;
    }
};

} // namespace

TEST_F(AccountSyncTest, FirstSyncBringsThreeCategoriesAndTwentyFeedsWithTheirItems)
{
    const int cats[3] = {addCategory(QStringLiteral("Nauka")), addCategory(QStringLiteral("Sport")),
                         addCategory(QStringLiteral("Kultura"))};
    for (int i = 0; i < 20; ++i)
        subscribeThere(QStringLiteral("%1/first%2.xml").arg(user).arg(i),
                       QStringLiteral("Kanał %1").arg(i), i < 18 ? cats[i % 3] : 0, 3);
    // A channel of the user's own, outside the account, stays as it is.
    ChannelTree &tree = session->channelTree();
    ChannelNode *own = tree.addNode(tree.root(), QStringLiteral("Własny"), NodeKind::Channel);
    own->channel()->url = QStringLiteral("http://127.0.0.1:1/własny.xml");
    own->channel()->GUID = QStringLiteral("{11111111-2222-3333-4444-555555555555}");

    run();
    ChannelNode *group = accountGroup();
    ASSERT_TRUE(group) << lines.lines.join('\n').toStdString();
    EXPECT_EQ(group->text(), settings.groupName());
    for (const char *name : {"Nauka", "Sport", "Kultura"}) {
        ChannelNode *category = find(group, QString::fromUtf8(name));
        ASSERT_TRUE(category && category->isGroup()) << name;
        EXPECT_EQ(category->childCount(), 6) << name;
    }
    int channels = 0;
    for (ChannelNode *node : tree.channelsInPreOrder())
        if (group->contains(node)) {
            ++channels;
            const QByteArray cache = cacheOf(node);
            EXPECT_EQ(cache.count("<item"), 3) << node->text().toStdString();
            EXPECT_TRUE(cache.contains(node->text().toUtf8() + " 3"));
        }
    EXPECT_EQ(channels, 20);
    EXPECT_TRUE(find(group, QStringLiteral("Kanał 19"))->parent() == group); // uncategorised
    EXPECT_EQ(own->parent(), tree.root());
    EXPECT_EQ(own->channel()->url, QStringLiteral("http://127.0.0.1:1/własny.xml"));
    EXPECT_EQ(session->alertQueue().newItemCount, 60);

    // The next run asks only for what is new: nothing doubles.
    ChannelNode *first = find(group, QStringLiteral("Kanał 0"));
    const QByteArray before = cacheOf(first);
    run();
    EXPECT_EQ(cacheOf(first).count("<item"), 3);
    EXPECT_EQ(session->alertQueue().newItemCount, 0);
    EXPECT_EQ(tree.channelsInPreOrder().size(), 21);
}

TEST_F(AccountSyncTest, MarksMadeOnEitherSideAreSeenOnTheOther)
{
    const int feed = subscribeThere(user + QStringLiteral("/marks.xml"), QStringLiteral("Znaki"), 0, 4);
    run();
    ChannelNode *node = find(accountGroup(), QStringLiteral("Znaki"));
    ASSERT_TRUE(node);
    EXPECT_EQ(unreadHere(node).size(), 4);

    // Read here, sent at the next run.
    markHere(node, QStringLiteral("Znaki 1"), false);
    // Read on the other machine, applied here at the next run.
    const QHash<QString, int> ids = idsThere(feed);
    ASSERT_TRUE(other.setUnread({ids.value(QStringLiteral("Znaki 2"))}, false));
    run();
    QSet<QString> unreadThere;
    idsThere(feed, &unreadThere);
    EXPECT_EQ(unreadThere, (QSet<QString>{QStringLiteral("Znaki 3"), QStringLiteral("Znaki 4")}));
    EXPECT_EQ(unreadHere(node), unreadThere);

    // Both sides change one item: the change made here, not yet sent, wins.
    markHere(node, QStringLiteral("Znaki 3"), false);
    ASSERT_TRUE(other.setUnread({ids.value(QStringLiteral("Znaki 3"))}, true));
    ASSERT_TRUE(other.setUnread({ids.value(QStringLiteral("Znaki 1"))}, true));
    run();
    unreadThere.clear();
    idsThere(feed, &unreadThere);
    EXPECT_EQ(unreadThere, (QSet<QString>{QStringLiteral("Znaki 1"), QStringLiteral("Znaki 4")}));
    EXPECT_EQ(unreadHere(node), unreadThere);
}

TEST_F(AccountSyncTest, FeedsAddedRenamedMovedAndRemovedOnEitherSide)
{
    const int science = addCategory(QStringLiteral("Nauka"));
    const int kept = subscribeThere(user + QStringLiteral("/kept.xml"), QStringLiteral("Stały"), 0, 1);
    const int gone = subscribeThere(user + QStringLiteral("/gone.xml"), QStringLiteral("Zniknie"), 0, 1);
    run();
    ChannelNode *group = accountGroup();
    ASSERT_TRUE(find(group, QStringLiteral("Zniknie")));

    // There: one added, one removed, one renamed and moved.
    subscribeThere(user + QStringLiteral("/added.xml"), QStringLiteral("Nowy"), science, 2);
    ASSERT_TRUE(other.unsubscribe(gone));
    server->sql(QStringLiteral("update ttrss_feeds set title = 'Przemianowany', cat_id = %1 where id = %2")
                    .arg(science)
                    .arg(kept));
    // Here: one subscribed under the account's group, and a group the server cannot make.
    server->setFeed(user + QStringLiteral("/here.xml"),
                    TestFeed(QStringLiteral("Tutaj"), QStringLiteral("Tutaj"), 2));
    ChannelTree &tree = session->channelTree();
    ChannelNode *here = tree.addNode(group, QStringLiteral("Dodany tutaj"), NodeKind::Channel);
    here->channel()->url = TtrssServer::feedUrl(user + QStringLiteral("/here.xml"));
    here->channel()->enabled = true;
    here->channel()->GUID = QStringLiteral("{AAAAAAAA-2222-3333-4444-555555555555}");
    tree.addNode(group, QStringLiteral("Moja grupa"), NodeKind::Group);
    run();

    EXPECT_FALSE(find(group, QStringLiteral("Zniknie")));
    ASSERT_TRUE(find(group, QStringLiteral("Nowy")));
    EXPECT_EQ(find(group, QStringLiteral("Nowy"))->parent()->text(), QStringLiteral("Nauka"));
    ChannelNode *renamed = find(group, QStringLiteral("Przemianowany"));
    ASSERT_TRUE(renamed);
    EXPECT_EQ(renamed->parent()->text(), QStringLiteral("Nauka"));
    EXPECT_TRUE(lines.has(QStringLiteral("„Moja grupa”")) && lines.has(QStringLiteral("nie pozwala")));
    bool ok = false;
    int hereId = 0;
    for (const TtrssFeed &f : other.feeds(&ok))
        if (f.url == here->channel()->url)
            hereId = f.id;
    ASSERT_GT(hereId, 0) << lines.lines.join('\n').toStdString();
    EXPECT_TRUE(cacheOf(here).contains("Tutaj 2"));

    // The server's title stands (its API cannot rename feeds).
    EXPECT_EQ(here->text(), QStringLiteral("Tutaj"));

    // Deleted here: unsubscribed there.
    tree.deleteNode(here);
    run();
    EXPECT_FALSE(feedsThere().contains(hereId));
    EXPECT_TRUE(feedsThere().contains(kept));
}

TEST_F(AccountSyncTest, AServerThatStopsDuringARunKeepsTheMarksMadeHereForLater)
{
    const int feed = subscribeThere(user + QStringLiteral("/a.xml"), QStringLiteral("Pierwszy"), 0, 2);
    subscribeThere(user + QStringLiteral("/b.xml"), QStringLiteral("Drugi"), 0, 2);
    run();
    ChannelNode *first = find(accountGroup(), QStringLiteral("Pierwszy"));
    ChannelNode *second = find(accountGroup(), QStringLiteral("Drugi"));
    ASSERT_TRUE(first && second);

    // The database goes down once the run has updated its first channel.
    markHere(first, QStringLiteral("Pierwszy 1"), false);
    const QByteArray before[2] = {cacheOf(first), cacheOf(second)};
    for (const QString &name : {QStringLiteral("Pierwszy"), QStringLiteral("Drugi")}) {
        server->setFeed(user + (name == QStringLiteral("Drugi") ? QStringLiteral("/b.xml")
                                                                 : QStringLiteral("/a.xml")),
                        TestFeed(name, name, 3));
        updateThere(feedOfTitle(name));
    }
    ChannelNode *updatedFirst = nullptr;
    QObject::connect(&session->syncRun(), &SyncRun::channelUpdated, &session->syncRun(),
                     [&](ChannelNode *node) {
                         if (!updatedFirst)
                             server->stopDatabase();
                         if (!updatedFirst)
                             updatedFirst = node;
                     });
    run();
    ASSERT_TRUE(updatedFirst);
    EXPECT_TRUE(lines.has(QStringLiteral("nie powiodła się"))) << lines.lines.join('\n').toStdString();
    ChannelNode *later = updatedFirst == first ? second : first;
    EXPECT_EQ(cacheOf(later), before[later == first ? 0 : 1]); // kept as it was
    EXPECT_TRUE(cacheOf(updatedFirst).contains(" 3</title>"));

    // While it is down, a mark made here waits on the disk.
    markHere(first, QStringLiteral("Pierwszy 2"), false);
    markHere(second, QStringLiteral("Drugi 1"), false);
    run();
    EXPECT_TRUE(lines.has(QStringLiteral("nie powiodła się")));
    EXPECT_FALSE(unreadHere(second).contains(QStringLiteral("Drugi 1")));
    MarkQueue queue(folder.dataFile(QStringLiteral("ttrss_marks.json")));
    ASSERT_TRUE(queue.load());
    EXPECT_GE(queue.size(), 2); // a mark sent before may go once more: the server takes it again

    // The program ends and starts again; the server is back.
    openSession();
    ASSERT_TRUE(server->start()) << server->error().toStdString();
    ASSERT_TRUE(other.login());
    run();
    second = find(accountGroup(), QStringLiteral("Drugi"));
    ASSERT_TRUE(second);
    EXPECT_EQ(session->channelTree().channelsInPreOrder().size(), 2); // the same two channels
    QSet<QString> unreadThere;
    idsThere(feed, &unreadThere);
    EXPECT_EQ(unreadThere, QSet<QString>{QStringLiteral("Pierwszy 3")});
    unreadThere.clear();
    idsThere(feedOfTitle(QStringLiteral("Drugi")), &unreadThere);
    EXPECT_EQ(unreadThere, (QSet<QString>{QStringLiteral("Drugi 2"), QStringLiteral("Drugi 3")}));
    EXPECT_TRUE(cacheOf(second).contains("Drugi 3"));
    ASSERT_TRUE(queue.load());
    EXPECT_EQ(queue.size(), 0);
}

TEST_F(AccountSyncTest, AWrongPasswordIsReportedAndNothingHereIsLost)
{
    subscribeThere(user + QStringLiteral("/pw.xml"), QStringLiteral("Hasło"), 0, 2);
    run();
    ChannelNode *node = find(accountGroup(), QStringLiteral("Hasło"));
    ASSERT_TRUE(node);
    const QByteArray cache = cacheOf(node);

    settings.password = QStringLiteral("wrong");
    settings.write(folder.dataFile(QStringLiteral("ttrss_account.json")));
    session->account().reloadSettings();
    run();
    EXPECT_TRUE(lines.has(QStringLiteral("odrzucił nazwę użytkownika lub hasło")))
        << lines.lines.join('\n').toStdString();
    ASSERT_EQ(find(accountGroup(), QStringLiteral("Hasło")), node);
    EXPECT_EQ(cacheOf(node), cache);
}

TEST_F(AccountSyncTest, TheCommandLineSynchronisesTheAccountWithoutAWindow)
{
    subscribeThere(user + QStringLiteral("/cli.xml"), QStringLiteral("Z wiersza"), 0, 2);
    session.reset(); // the command takes the per-user folder for itself
    const ProgramRun sync =
        runProgram(KolvaniProgram, {QStringLiteral("--sync")}, 120000, dataHomeEnvironment(home.path()));
    EXPECT_EQ(sync.exitCode, 0) << sync.out.toStdString() << sync.err.toStdString();
    EXPECT_TRUE(sync.err.contains(QStringLiteral("Uaktualniono Z wiersza"))) << sync.err.toStdString();
    EXPECT_TRUE(sync.err.contains(QStringLiteral("Nowych wiadomości: 2"))) << sync.err.toStdString();
    openSession();
    ChannelNode *node = find(accountGroup(), QStringLiteral("Z wiersza"));
    ASSERT_TRUE(node);
    EXPECT_TRUE(cacheOf(node).contains("Z wiersza 2"));
}
