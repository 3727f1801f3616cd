// The archive as the header list shows it, without widgets: rows from the query, each row's
// item by its position, and what showing, marking, exporting and deleting a row do.

#include "archive/ArchiveView.h"

#include "ArchiveTestRows.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveStore.h"
#include "base/UserFolder.h"
#include "reading/ItemDisplay.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString Ch1 = QStringLiteral("{11111111-0000-0000-0000-000000000001}");
const QString Ch2 = QStringLiteral("{22222222-0000-0000-0000-000000000002}");

class ArchiveViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("data"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + ItemDisplay::ArchiveSheet,
                                m_folder.dataFile(ItemDisplay::ArchiveSheet)));
        ArchiveStore::create(m_folder.archiveFile());
        m_store = ArchiveStore::open(m_folder.archiveFile());
        ArchiveRecord g = archiveRow("{G}", Ch1, QStringLiteral("Tytuł |z| ąę"), "opis G",
                                     QStringLiteral("Kanał |Q|"));
        m_store->archiveTable().insert({archiveRow("{F}", Ch1, "pierwszy", "opis F"), g,
                                        archiveRow("{F}", Ch2, "kopia", "opis kopii")});
        m_view = std::make_unique<ArchiveView>(*m_store, m_items, m_folder);
    }

    static QStringList titles(const std::vector<HeaderRow> &rows)
    {
        QStringList out;
        for (const HeaderRow &r : rows)
            out << r.title;
        return out;
    }

    QTemporaryDir m_dir;
    UserFolder m_folder{m_dir.path()};
    std::unique_ptr<ArchiveStore> m_store;
    ArchiveItemDocument m_items;
    std::unique_ptr<ArchiveView> m_view;
};

TEST_F(ArchiveViewTest, EachRowLeadsToItsOwnRecordWhileTheQueryIsOpen)
{
    const std::vector<HeaderRow> rows = m_view->open(QString(), QString());
    ASSERT_EQ(titles(rows), QStringList({"pierwszy", "Tytuł \"z\" ąę", "kopia"}));
    EXPECT_TRUE(m_view->isOpen());
    EXPECT_EQ(m_view->itemNode(rows[1]).attribute("GUID"), "{G}");
    EXPECT_EQ(m_view->itemNode(rows[2]).findChild("title").text(), "kopia");

    // Showing writes the one-item document the browser reads, under the archive's sheet.
    const QString address = m_view->showItem(rows[1]);
    EXPECT_EQ(address, ItemDisplay::ArchiveItemAddress(m_folder));
    EXPECT_TRUE(ItemDisplay::DecodeSheetText(readAll(m_folder.itemStyleSheet()))
                    .contains(QStringLiteral("sChannelName")));
    XmlDocument doc;
    doc.loadFromFile(m_folder.archiveItemFile());
    const XmlNode item = doc.documentElement().firstChild();
    EXPECT_EQ(item.attribute("GUID"), "{G}");
    EXPECT_EQ(item.findChild("sChannelName").text(), "Kanał \"Q\"");
    EXPECT_TRUE(readAll(m_folder.archiveItemFile()).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));

    // One channel, narrowed by a keyword.
    EXPECT_EQ(titles(m_view->open(Ch1, QStringLiteral("TYTUŁ"))), QStringList({"Tytuł \"z\" ąę"}));

    // A row past the query's end and any row once the query is closed lead nowhere.
    HeaderRow past = rows[2];
    past.id = 99;
    EXPECT_TRUE(m_view->itemNode(past).isNull());
    m_view->rowsLeft();
    EXPECT_FALSE(m_view->isOpen());
    EXPECT_TRUE(m_view->itemNode(rows[0]).isNull());
    EXPECT_TRUE(m_view->showItem(rows[0]).isEmpty());
}

TEST_F(ArchiveViewTest, DeletingTakesTheRowsOwnCopyAndMarksReachEveryCopy)
{
    const std::vector<HeaderRow> rows = m_view->open(QString(), QString());
    ASSERT_EQ(rows.size(), 3u);
    m_view->setUnread(rows[0], true);
    const std::vector<HeaderRow> marked = m_view->open(QString(), QString());
    EXPECT_TRUE(marked[0].unread);
    EXPECT_TRUE(marked[2].unread) << "the other copy of {F}";

    m_view->remove({marked[0]});
    const std::vector<HeaderRow> left = m_view->open(QString(), QString());
    EXPECT_EQ(titles(left), QStringList({"Tytuł \"z\" ąę", "kopia"}));
}

TEST_F(ArchiveViewTest, FindingNothingKeepsTheRowsAndTheExportWritesTheRowsItem)
{
    const std::vector<HeaderRow> rows = m_view->open(QString(), QString());
    std::vector<HeaderRow> found = rows;
    EXPECT_FALSE(m_view->openMatching(ArchiveQuery::Column::Title, "nic takiego", found));
    EXPECT_EQ(found.size(), 3u);
    EXPECT_EQ(m_view->itemNode(rows[1]).attribute("GUID"), "{G}") << "the query stays";
    ASSERT_TRUE(m_view->openMatching(ArchiveQuery::Column::Description, "KOPII", found));
    ASSERT_EQ(titles(found), QStringList({"kopia"}));

    const QString exported = m_dir.filePath("wynik.xml");
    m_view->exportItem(found[0], exported);
    XmlDocument doc;
    doc.loadFromFile(exported);
    EXPECT_EQ(doc.documentElement().firstChild().findChild("title").text(), "kopia");
}

} // namespace
