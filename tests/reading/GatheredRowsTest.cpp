// Rows gathered from several channels' cache files, read on threads, and where their items
// and marks live: real files in a temporary per-user folder.
#include "base/UserFolder.h"
#include "reading/GatheredItems.h"
#include "reading/GatheredRows.h"
#include "support/SignalWait.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

const QString GuidA = QStringLiteral("{AAAAAAAA-1111-4111-8111-111111111111}");
const QString GuidB = QStringLiteral("{BBBBBBBB-1111-4111-8111-111111111111}");

struct Item
{
    QByteArray guid, title, unread, description = "opis", creator;
};

// A cache file as an update leaves it, a comment between the items (IDs have a gap).
QByteArray cacheFile(const std::vector<Item> &items)
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                       "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
                       "<channel><title>K</title>";
    for (const Item &i : items) {
        bytes += "<item GUID=\"" + i.guid + "\"><title>" + i.title + "</title><description>" +
                 i.description + "</description><pubDate>2024-05-01</pubDate>";
        if (!i.creator.isEmpty())
            bytes += "<dc:creator>" + i.creator + "</dc:creator>";
        bytes += "<unread>" + i.unread + "</unread></item><!-- między -->";
    }
    return bytes + "</channel></rss>";
}

QString unreadOf(const QString &file, const QString &guid)
{
    XmlDocument doc;
    doc.loadFromFile(file);
    XmlNode item = doc.documentElement().findChild("channel").findChild("item");
    for (; item; item = item.nextSibling())
        if (item.isElement() && item.attribute("GUID") == guid)
            return item.findChild("unread").text();
    return QStringLiteral("brak");
}

class GatheredRowsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = UserFolder(dir.path());
        QDir().mkpath(folder.dataFolder());
        ASSERT_TRUE(writeAll(folder.cacheFile(GuidA),
                             cacheFile({{"{A1}", "Pierwsza", "1", "&lt;p&gt;Kot &lt;b&gt;Filemon&lt;/b&gt;&lt;/p&gt;"},
                                        {"{A2}", "Druga", "0", "opis", "Nowak"},
                                        {"{A3}", "Trzecia", "1"}})));
        ASSERT_TRUE(writeAll(folder.cacheFile(GuidB),
                             cacheFile({{"{B1}", "Pogoda", "1", "deszcz", "Kowalska"},
                                        {"{B2}", "Sport", "0"}})));
    }
    std::vector<ChannelToRead> both() const
    {
        return {{GuidA, QStringLiteral("Kanał A"), folder.cacheFile(GuidA)},
                {GuidB, QStringLiteral("Kanał B"), folder.cacheFile(GuidB)}};
    }
    GatheredRows gather(const RowQuery &query) const
    {
        GatheredRows rows;
        for (const ChannelToRead &c : both())
            GatherChannelRows(c, query, rows);
        return rows;
    }
    static QStringList titles(const GatheredRows &rows)
    {
        QStringList list;
        for (const HeaderRow &r : rows.rows)
            list << r.title;
        return list;
    }
    HeaderRow rowOf(const QString &title) const
    {
        for (const HeaderRow &r : gather({}).rows)
            if (r.title == title)
                return r;
        return {};
    }

    QTemporaryDir dir;
    UserFolder folder;
};

TEST_F(GatheredRowsTest, RowsAreTheChannelsOwnWithTheirKeysAndNames)
{
    const GatheredRows rows = gather({});
    EXPECT_EQ(titles(rows), QStringList({"Pierwsza", "Druga", "Trzecia", "Pogoda", "Sport"}));
    const HeaderRow third = rows.rows[2];
    EXPECT_EQ(third.id, 4); // the comments between the items count as steps
    EXPECT_EQ(third.guid, QStringLiteral("{A3}"));
    EXPECT_EQ(third.chGuid, GuidA);
    EXPECT_EQ(third.chName, QStringLiteral("Kanał A"));
    EXPECT_TRUE(third.unread);
    EXPECT_EQ(rows.rows[1].author, QStringLiteral("Nowak"));
    EXPECT_EQ(rows.rows[4].chName, QStringLiteral("Kanał B"));
    EXPECT_TRUE(rows.unreadable.isEmpty());
}

TEST_F(GatheredRowsTest, TheKeywordUnreadOnlyAndTheSearchFieldsNarrowTheRows)
{
    RowQuery unread;
    unread.unreadOnly = true;
    EXPECT_EQ(titles(gather(unread)), QStringList({"Pierwsza", "Trzecia", "Pogoda"}));

    RowQuery keyword; // title or description, as a channel's own filter
    keyword.keyword = QStringLiteral("DESZCZ");
    EXPECT_EQ(titles(gather(keyword)), QStringList({"Pogoda"}));

    RowQuery author;
    author.searchField = RowQuery::Field::Author;
    author.searchText = QStringLiteral("kowal");
    EXPECT_EQ(titles(gather(author)), QStringList({"Pogoda"}));

    // The description as the item view shows it: text found across markup, markup not.
    RowQuery shown;
    shown.searchField = RowQuery::Field::Description;
    shown.searchText = QStringLiteral("kot filemon");
    EXPECT_EQ(titles(gather(shown)), QStringList({"Pierwsza"}));
    shown.searchText = QStringLiteral("<b>");
    EXPECT_TRUE(gather(shown).rows.empty());

    RowQuery title;
    title.searchField = RowQuery::Field::Title;
    title.searchText = QStringLiteral("o");
    title.unreadOnly = true;
    EXPECT_EQ(titles(gather(title)), QStringList({"Pogoda"}));
}

TEST_F(GatheredRowsTest, AMissingFileGivesNothingAndABrokenOneIsNamed)
{
    ASSERT_TRUE(writeAll(folder.cacheFile(GuidB), "<rss version=\"2.0\"><channel><item>"));
    GatheredRows rows;
    GatherChannelRows({GuidB, QStringLiteral("Kanał B"), folder.cacheFile(GuidB)}, {}, rows);
    GatherChannelRows({GuidA, QStringLiteral("Bez pliku"), folder.cacheFile("{none}")}, {}, rows);
    EXPECT_TRUE(rows.rows.empty());
    EXPECT_EQ(rows.unreadable, QStringList({"Kanał B"}));
}

TEST_F(GatheredRowsTest, ANewerGatheringWinsAndACancelledOneNeverArrives)
{
    RowGathering gathering;
    SignalCounter arrived(&gathering, &RowGathering::gathered);
    quint64 last = 0;
    QObject::connect(&gathering, &RowGathering::gathered, [&](quint64 n) { last = n; });
    gathering.start(both(), {});
    RowQuery unread;
    unread.unreadOnly = true;
    const quint64 newer = gathering.start(both(), unread);
    ASSERT_TRUE(arrived.wait());
    EXPECT_EQ(last, newer);
    EXPECT_EQ(gathering.takeRows().rows.size(), 3u);
    EXPECT_FALSE(gathering.busy());

    gathering.start(both(), {});
    gathering.cancel();
    ASSERT_TRUE(WaitForQueuedEvents(3));
    EXPECT_EQ(arrived.count(), 1);
}

TEST_F(GatheredRowsTest, MarksReachEachRowsOwnChannelFileWhenTheCommandEnds)
{
    GatheredItems items;
    items.setFolder(folder);
    const QByteArray before = readAll(folder.cacheFile(GuidA));
    // The item view reads A's item first: its document is the one the marks go into.
    ASSERT_FALSE(items.itemNode(rowOf("Pierwsza")).isNull());
    EXPECT_TRUE(items.setUnread(rowOf("Pierwsza"), false));
    EXPECT_TRUE(items.setUnread(rowOf("Pogoda"), false));
    EXPECT_TRUE(items.setUnread(rowOf("Sport"), true));
    EXPECT_EQ(readAll(folder.cacheFile(GuidA)), before) << "kept back until the command ends";

    const MarksStored stored = items.storeMarks();
    EXPECT_TRUE(stored.failed.isEmpty());
    EXPECT_TRUE(stored.problem.isEmpty());
    EXPECT_FALSE(items.marksPending());
    EXPECT_EQ(unreadOf(folder.cacheFile(GuidA), "{A1}"), "0");
    EXPECT_EQ(unreadOf(folder.cacheFile(GuidA), "{A3}"), "1");
    EXPECT_EQ(unreadOf(folder.cacheFile(GuidB), "{B1}"), "0");
    EXPECT_EQ(unreadOf(folder.cacheFile(GuidB), "{B2}"), "1");
    // The document kept for the item view holds the file as it is now.
    EXPECT_EQ(items.itemNode(rowOf("Druga")).findChild("title").text(), "Druga");
}

TEST_F(GatheredRowsTest, AReplacedFileLeadsOldRowsNowhereAndTheirMarksComeBack)
{
    GatheredItems items;
    items.setFolder(folder);
    const HeaderRow old = rowOf("Pierwsza");
    ASSERT_FALSE(items.itemNode(old).isNull());
    // An update: every item gets a new GUID.
    ASSERT_TRUE(writeAll(folder.cacheFile(GuidA), cacheFile({{"{N1}", "Pierwsza", "1"}})));
    items.forgetChannel(GuidA);
    EXPECT_TRUE(items.itemNode(old).isNull());
    EXPECT_TRUE(items.setUnread(old, false));
    const MarksStored stored = items.storeMarks();
    EXPECT_EQ(stored.failed, QSet<QString>({"{A1}"}));
    EXPECT_EQ(unreadOf(folder.cacheFile(GuidA), "{N1}"), "1");
}

TEST_F(GatheredRowsTest, AFullDiskKeepsTheFileWholeAndGivesTheMarksBack)
{
    SmallFileSystem disk(folder.dataFolder(), 64 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "no small file system here";
    const QByteArray content = cacheFile({{"{A1}", QByteArray(20000, 'x'), "1"}});
    ASSERT_TRUE(writeAll(folder.cacheFile(GuidA), content));
    ASSERT_TRUE(disk.fill());
    GatheredItems items;
    items.setFolder(folder);
    HeaderRow row = rowOf(QString(20000, 'x'));
    ASSERT_EQ(row.guid, QStringLiteral("{A1}"));
    items.setUnread(row, false);
    const MarksStored stored = items.storeMarks();
    EXPECT_EQ(stored.failed, QSet<QString>({"{A1}"}));
    EXPECT_FALSE(stored.problem.isEmpty());
    EXPECT_EQ(readAll(folder.cacheFile(GuidA)), content);
}

} // namespace
