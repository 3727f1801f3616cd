#include "feed/ProviderList.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

class ProviderListTest : public ::testing::Test
{
protected:
    QString write(const QByteArray &bytes)
    {
        const QString path = dir.filePath(QStringLiteral("lvChannels.xml"));
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
    QTemporaryDir dir;
};

const QByteArray List =
    "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
    "<lista><kanaly><opis>x</opis>"
    "<channel><name>Bez grupy</name><url>http://a.test/rss|quest|x=1|amp|y=2</url>"
    "<password>0</password></channel>"
    "<channel><name>Wiadomo\x9c" "ci</name><url></url><password>1</password></channel>"
    "<channel><name>Tajny</name><url>http://b.test/r.xml</url><password>tak</password></channel>"
    "<channel><name>Jawny</name><url>http://c.test/r.xml</url><password>0</password></channel>"
    "</kanaly></lista>";

TEST_F(ProviderListTest, ReadsEntriesFromTheFirstChannelOnUnescapingAddresses)
{
    const std::vector<ProviderEntry> entries = ReadProviderList(write(List));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].url, "http://a.test/rss?x=1&y=2");
    EXPECT_FALSE(entries[0].needsCredentials);
    EXPECT_TRUE(entries[1].isGroup());
    EXPECT_EQ(entries[1].name, QString::fromUtf8("Wiadomości"));
    EXPECT_FALSE(entries[1].needsCredentials); // a heading's password is not read
    EXPECT_TRUE(entries[2].needsCredentials);
    EXPECT_FALSE(entries[3].needsCredentials);
}

TEST_F(ProviderListTest, AFileWithoutEntriesOrNotXmlIsRefused)
{
    EXPECT_THROW(ReadProviderList(write("<lista><kanaly><x/></kanaly></lista>")),
                 ProviderListError);
    EXPECT_THROW(ReadProviderList(write("<html><body>404</body>")), XmlError);
    EXPECT_THROW(ReadProviderList(dir.filePath(QStringLiteral("missing.xml"))), XmlError);
}

TEST_F(ProviderListTest, RowsLeaveOutSubscribedAddressesExactlyAndKeepPerRowChoices)
{
    ProviderListModel model;
    const QSet<QString> subscribed = {QStringLiteral("http://b.test/r.xml"),
                                      QStringLiteral("HTTP://C.TEST/R.XML")};
    model.setEntries(ReadProviderList(write(List)),
                     [&](const QString &url) { return subscribed.contains(url); });
    ASSERT_EQ(model.rowCount(), 3); // "Tajny" is subscribed; "Jawny" differs only in case
    EXPECT_EQ(model.index(0, ProviderListModel::ColAuth).data().toString(), "Nie");
    EXPECT_EQ(model.index(1, ProviderListModel::ColAuth).data().toString(), "");
    EXPECT_EQ(model.index(1, ProviderListModel::ColName).data(ProviderListModel::ImageIndexRole), 1);
    EXPECT_EQ(model.index(2, ProviderListModel::ColName).data(ProviderListModel::ImageIndexRole), 0);
    EXPECT_EQ(model.index(2, ProviderListModel::ColUrl).data().toString(), "http://c.test/r.xml");
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(model.index(r, ProviderListModel::ColUser).data().toString(), "");
        EXPECT_EQ(model.index(r, ProviderListModel::ColCheck).data().toString(), "1");
    }
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Uwierzytelnianie");

    model.setSubItem(2, ProviderListModel::ColUser, QStringLiteral("ala"));
    model.setSubItem(2, ProviderListModel::ColCheck, QStringLiteral("0"));
    EXPECT_EQ(model.rows()[2].user, "ala");
    EXPECT_EQ(model.rows()[2].check, "0");
    EXPECT_EQ(model.rows()[0].user, "");
}

TEST_F(ProviderListTest, AGroupTickGoesToItsRowsOnlyAndAGroupKnowsWhenOneIsTicked)
{
    ProviderListModel model;
    model.setEntries({{"A", "", false}, {"a1", "http://1", false}, {"a2", "http://2", false},
                      {"B", "", false}, {"b1", "http://3", false}},
                     {});
    EXPECT_EQ(model.groupEnd(0), 3);
    EXPECT_FALSE(model.groupHasTicked(0));
    ASSERT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(model.rows()[1].ticked && model.rows()[2].ticked);
    EXPECT_FALSE(model.rows()[4].ticked);
    model.setTicked(1, false);
    model.setTicked(2, false);
    EXPECT_FALSE(model.groupHasTicked(0)); // the heading's own tick does not count
    model.setTicked(4, true);
    EXPECT_TRUE(model.groupHasTicked(3));
}

TEST_F(ProviderListTest, TheShippedListIsReadFromDataWithoutTheNetwork)
{
    EXPECT_EQ(ShippedListName(QString()), ShippedProviderList);
    EXPECT_EQ(ShippedListName(QStringLiteral("channels_list.xml")), "channels_list.xml");
    EXPECT_EQ(ShippedListName(QStringLiteral("http://lists.test/l.xml")), "");
    EXPECT_EQ(ShippedListName(QStringLiteral("../config.ini")), "");
    EXPECT_EQ(ShippedListName(QStringLiteral("/etc/passwd")), "");

    const std::vector<ProviderEntry> entries =
        ReadProviderList(QStringLiteral(KV_SOURCE_DIR "/data/") + ShippedProviderList);
    int groups = 0;
    QSet<QString> urls;
    for (const ProviderEntry &e : entries) {
        if (e.isGroup()) {
            ++groups;
            continue;
        }
        const QUrl url(e.url);
        EXPECT_TRUE(url.scheme() == "https" || url.scheme() == "http") << e.url.toStdString();
        EXPECT_FALSE(url.host().isEmpty());
        EXPECT_FALSE(e.needsCredentials);
        EXPECT_FALSE(urls.contains(e.url)) << "twice: " << e.url.toStdString();
        urls.insert(e.url);
    }
    EXPECT_GE(groups, 3);
    EXPECT_GE(urls.size(), 15);
    ASSERT_FALSE(entries.empty());
    EXPECT_TRUE(entries.front().isGroup());
    // The interface is Polish, so are the headings.
    for (const ProviderEntry &e : entries)
        if (e.isGroup())
            for (const char *english : {"news", "Technology", "Science", "World"})
                EXPECT_FALSE(e.name.contains(QLatin1String(english))) << e.name.toStdString();
    EXPECT_GE(ProviderListVersion(QStringLiteral(KV_SOURCE_DIR "/data/") + ShippedProviderList), 2)
        << "an edition later than the copies users made before editions were counted";
}

// A later edition of the shipped list replaces the user's older copy, keeping the entries
// the user added to it; an edition as old, a missing copy or a broken list change nothing.
TEST_F(ProviderListTest, ALaterShippedEditionReachesTheUsersCopyWithTheUsersOwnEntries)
{
    const QString copy = dir.filePath(QStringLiteral("channels_list.xml"));
    const QString shipped = dir.filePath(QStringLiteral("shipped.xml"));
    const QByteArray older =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<list><channels>\n"
        "<channel><name>World news</name><url></url><password>0</password></channel>\n"
        "<channel><name>A</name><url>http://a.test/r.xml</url><password>0</password></channel>\n"
        "<channel><name>Stary</name><url>http://old.test/r.xml</url><password>0</password></channel>\n"
        "<channel><name>Mój &amp; twój</name><url>http://mine.test/r|quest|a=1|amp|b=2</url>"
        "<password>1</password></channel>\n"
        "</channels></list>\n";
    const QByteArray newer =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<list version=\"2\"><channels>\n"
        "<channel><name>Wiadomości ze świata</name><url></url><password>0</password></channel>\n"
        "<channel><name>A</name><url>http://a.test/r.xml</url><password>0</password></channel>\n"
        "</channels>\n<former><url>http://old.test/r.xml</url></former>\n</list>\n";
    ASSERT_TRUE(writeAll(shipped, newer));
    EXPECT_FALSE(RefreshProviderListCopy(copy, shipped)) << "no copy yet: the shipped list is read";
    EXPECT_FALSE(QFile::exists(copy));

    ASSERT_TRUE(writeAll(copy, older));
    EXPECT_EQ(ProviderListVersion(copy), 0);
    ASSERT_TRUE(RefreshProviderListCopy(copy, shipped));
    EXPECT_EQ(ProviderListVersion(copy), 2);
    const std::vector<ProviderEntry> entries = ReadProviderList(copy);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, QString::fromUtf8("Wiadomości ze świata"));
    EXPECT_EQ(entries[1].url, "http://a.test/r.xml");
    EXPECT_EQ(entries[2].name, OwnEntriesHeading);
    EXPECT_TRUE(entries[2].isGroup());
    EXPECT_EQ(entries[3].name, QString::fromUtf8("Mój & twój"));
    EXPECT_EQ(entries[3].url, "http://mine.test/r?a=1&b=2");
    EXPECT_TRUE(entries[3].needsCredentials);

    // Once refreshed, the same edition leaves the copy alone, the user's later edits too.
    const QByteArray refreshed = readAll(copy);
    EXPECT_FALSE(RefreshProviderListCopy(copy, shipped));
    EXPECT_EQ(readAll(copy), refreshed);

    // A shipped list that does not read replaces nothing.
    ASSERT_TRUE(writeAll(copy, older));
    ASSERT_TRUE(writeAll(shipped, "<list version=\"3\"><channels>"));
    EXPECT_FALSE(RefreshProviderListCopy(copy, shipped));
    EXPECT_EQ(readAll(copy), older);
}

} // namespace
