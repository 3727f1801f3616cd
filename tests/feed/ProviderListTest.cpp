#include "feed/ProviderList.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

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
}

} // namespace
