#include "archive/forms/ArchiveController.h"

#include "MainFrmFixture.h"
#include "archive/ArchiveItemDocument.h"
#include "archive/ArchiveStore.h"
#include "archive/ArchiveView.h"
#include "base/UserFolder.h"
#include "reading/ItemSource.h"
#include "catalogue/ChannelTree.h"
#include "base/DownloadUi.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemDisplay.h"
#include "reading/RowsOnShow.h"
#include "reading/forms/FindUnit.h"
#include "support/ScopedEnv.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

using mainfrm_test::ScriptedBoxes;

const QString Ch1 = QStringLiteral("{11111111-0000-0000-0000-000000000001}");
const QString Ch2 = QStringLiteral("{22222222-0000-0000-0000-000000000002}");

class StatusLog : public IDownloadUi
{
public:
    void setStatusText(const QString &text) override { texts << text; }
    void progressBegin(qint64 maximum) override { maxima << maximum; visible = true; }
    void progressWork(qint64) override {}
    void progressEnd() override { visible = false; }
    QStringList texts;
    QList<qint64> maxima;
    bool visible = false;
};

// The channel on show, over a document of the test's own: items by their ID.
class ChannelRows : public IItemSource
{
public:
    explicit ChannelRows(XmlDocument &doc) : m_doc(doc) {}
    XmlNode itemNode(const HeaderRow &row) override
    {
        XmlNode item = m_doc.documentElement().firstChild().firstChild();
        for (int i = 0; i < row.id && item; ++i)
            item = item.nextSibling();
        return item;
    }
    bool setUnread(const HeaderRow &, bool) override { return false; }
    QString showItem(const HeaderRow &) override { return QString(); }
    void exportItem(const HeaderRow &, const QString &) override {}

private:
    XmlDocument &m_doc;
};

class ArchiveControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString path = m_dir.filePath("archive.mdb");
        ArchiveStore::create(path);
        m_store = ArchiveStore::open(path);
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("data"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + ItemDisplay::ArchiveSheet,
                                m_folder.dataFile(ItemDisplay::ArchiveSheet)));
        m_view = std::make_unique<ArchiveView>(*m_store, m_items, m_folder);

        ChannelNode *channel = m_tree.addNode(m_tree.root(), "Kanał", NodeKind::Channel);
        channel->channel()->GUID = Ch1;
        channel->channel()->link = "http://example.org/";
        channel->channel()->image = "http://example.org/logo.png";

        m_channelDoc.loadFromBytes(
            "<rss version=\"2.0\" xmlns:content=\"http://purl.org/rss/1.0/modules/content/\">"
            "<channel>"
            "<item GUID=\"{I0}\"><title>Pierwszy \"cytat\"</title><link>http://example.org/0"
            "</link><description>opis zero</description>"
            "<content:encoded>&lt;p&gt;Pełny tekst zero&lt;/p&gt;</content:encoded></item>"
            "<item GUID=\"{I1}\"><title>Zły <b>tytuł</b></title></item>"
            "<item GUID=\"{I2}\"><title>Trzeci</title><description>opis</description></item>"
            "</channel></rss>");

        for (QWidget *w : std::initializer_list<QWidget *>{&m_sbShowAll, &m_sbAdd, &m_sbDelete,
                                                            &m_lvCategories, &m_lvHeaders,
                                                            &m_cbAll, &m_edKeyWord})
            w->setParent(&m_window);
        m_lvHeaders.setModel(&m_rows);
        m_lvHeaders.setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_lvHeaders.setSelectionBehavior(QAbstractItemView::SelectRows);
        m_acAdd = new QAction(&m_window);
        m_acDelete = new QAction(&m_window);
        ArchiveController::Widgets w{&m_window,       &m_sbShowAll, &m_lvCategories,
                                     &m_cbAll,        &m_edKeyWord, &m_lvHeaders,
                                     m_acAdd,         m_acDelete,   &m_sbAdd,
                                     &m_sbDelete};
        m_controller = std::make_unique<ArchiveController>(
            w, m_tree, m_onShow, m_status, m_boxes, nullptr);
        m_controller->setArchive(m_store.get(), m_view.get());
        m_cbAll.hide();
        QObject::connect(&m_cbAll, &QCheckBox::clicked, m_controller.get(),
                         &ArchiveController::cbAllArchiveFilterClick);
    }

    void showChannelRows()
    {
        std::vector<HeaderRow> rows;
        const char *titles[] = {"Pierwszy \"cytat\"", "Zły tytuł", "Trzeci"};
        for (int i = 0; i < 3; ++i) {
            HeaderRow r;
            r.title = QString::fromUtf8(titles[i]);
            r.date = QStringLiteral("2024-01-0%1").arg(i + 1);
            r.author = QStringLiteral("Autor %1").arg(i);
            r.id = i;
            r.guid = QStringLiteral("{I%1}").arg(i);
            r.chGuid = Ch1;
            r.chName = QStringLiteral("Kanał \"K\"");
            r.version = QStringLiteral("2.0");
            rows.push_back(r);
        }
        m_onShow.showChannelRows(m_channelRows, rows);
    }

    // The rows of the channel's items that can be read (all but "Zły tytuł"), wherever the
    // list's sort put them.
    void selectReadableRows()
    {
        m_lvHeaders.selectionModel()->clearSelection();
        for (int r = 0; r < m_rows.rowCount(); ++r)
            if (m_rows.row(r).title != QStringLiteral("Zły tytuł"))
                m_lvHeaders.selectionModel()->select(
                    m_rows.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void selectHeaderRows(std::initializer_list<int> rows)
    {
        m_lvHeaders.selectionModel()->clearSelection();
        for (int r : rows)
            m_lvHeaders.selectionModel()->select(
                m_rows.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void archive(std::vector<ArchiveRecord> records)
    {
        m_store->archiveTable().insert(records);
    }

    static ArchiveRecord stored(const QString &guid, const QString &ch, const QString &title,
                                const QString &name)
    {
        ArchiveRecord r;
        r.sGUID = guid;
        r.sChGUID = ch;
        r.sTitle = title;
        r.sDescription = QStringLiteral("opis ") + title;
        r.sAuthor = QStringLiteral("A|B|");
        r.sDate = QStringLiteral("2024-02-02");
        r.sChannelName = name;
        return r;
    }

    QStringList listedTitles() const
    {
        QStringList out;
        for (const HeaderRow &r : m_rows.rows())
            out << r.title;
        return out;
    }

    QTemporaryDir m_dir;
    UserFolder m_folder{m_dir.path()};
    std::unique_ptr<ArchiveStore> m_store;
    ArchiveItemDocument m_items;
    std::unique_ptr<ArchiveView> m_view;
    ChannelTree m_tree;
    XmlDocument m_channelDoc;
    ChannelRows m_channelRows{m_channelDoc};
    RowsOnShow m_onShow;
    HeaderListModel &m_rows = m_onShow.model();
    QWidget m_window;
    QToolButton m_sbShowAll, m_sbAdd, m_sbDelete;
    QTreeView m_lvCategories, m_lvHeaders;
    QCheckBox m_cbAll;
    QLineEdit m_edKeyWord;
    QAction *m_acAdd = nullptr, *m_acDelete = nullptr;
    StatusLog m_status;
    ScriptedBoxes m_boxes;
    std::unique_ptr<ArchiveController> m_controller;
};

TEST_F(ArchiveControllerTest, AddingArchivesEachSelectedRowWithItsOwnValuesAndFullText)
{
    showChannelRows();
    selectReadableRows();
    m_controller->updateActions(2);
    EXPECT_TRUE(m_acAdd->isEnabled());
    EXPECT_FALSE(m_sbAdd.isHidden());
    EXPECT_FALSE(m_acDelete->isEnabled());
    EXPECT_TRUE(m_sbDelete.isHidden());

    m_controller->acAddToArchiveExecute();
    EXPECT_EQ(m_status.texts,
              QStringList({"Chwileczkę... Archiwizowanie danych.",
                           "Gotowe. Wiadomości dodane do archiwum: 2."}))
        << "the addition says what it did";
    EXPECT_EQ(m_status.maxima, QList<qint64>({2}));
    EXPECT_FALSE(m_status.visible);
    EXPECT_TRUE(m_boxes.shown.isEmpty());

    ArchiveQuery &query = m_store->archiveQuery();
    query.open(QString(), QString());
    ASSERT_EQ(query.recordCount(), 2);
    query.first();
    ArchiveRecord first = query.record();
    EXPECT_EQ(first.sTitle, "Pierwszy |cytat|");
    EXPECT_EQ(first.sDate, "2024-01-01");
    EXPECT_EQ(first.sAuthor, "Autor 0");
    EXPECT_EQ(first.sChannelName, "Kanał |K|");
    EXPECT_EQ(first.sChannelLink, "http://example.org/");
    EXPECT_EQ(first.sChannelImage, "http://example.org/logo.png");
    EXPECT_EQ(first.sLink, "http://example.org/0");
    EXPECT_EQ(first.sDescription, "opis zero");
    EXPECT_EQ(first.sContent, "<p>Pełny tekst zero</p>") << "the text the item view showed";
    query.next();
    EXPECT_EQ(query.record().sDate, "2024-01-03");
    EXPECT_EQ(query.record().sAuthor, "Autor 2");
    query.close();

    // The archive view shows the full text that was read.
    m_controller->sbShowAllArchiveClick();
    XmlDocument shown;
    ASSERT_FALSE(m_view->showItem(m_rows.row(0)).isEmpty());
    shown.loadFromFile(m_folder.archiveItemFile());
    EXPECT_EQ(shown.documentElement().firstChild().findChild("content:encoded").text(),
              "<p>Pełny tekst zero</p>");
    showChannelRows();

    // The channel list was read again; adding the same item again gives another row.
    EXPECT_EQ(m_lvCategories.model()->rowCount(), 1);
    EXPECT_EQ(m_lvCategories.model()->index(0, 0).data().toString(), "Kanał |K|");
    selectHeaderRows({0});
    m_controller->acAddToArchiveExecute();
    EXPECT_EQ(m_store->archiveTable().recordCount(), 3);
}

// An item that cannot be read (markup in its title) stops the addition: the user is told
// which, and none of the selection is archived.
TEST_F(ArchiveControllerTest, AnUnreadableItemIsNamedAndNothingOfTheSelectionIsAdded)
{
    showChannelRows();
    selectHeaderRows({0, 1, 2});
    m_controller->acAddToArchiveExecute();
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown[0].kind, "error");
    EXPECT_EQ(m_boxes.shown[0].text, QStringLiteral("Nie można odczytać wiadomości „Zły tytuł”. "
                                                    "Nic nie zostało dodane do archiwum."));
    EXPECT_EQ(m_store->archiveTable().recordCount(), 0);
    EXPECT_FALSE(m_status.visible);
}

// An archive that cannot be written: its folder refuses the journal, or the file is
// read-only. Adding and deleting each show the archive's error and change nothing, and the
// lists show what the file holds.
TEST_F(ArchiveControllerTest, AnArchiveThatCannotBeWrittenSaysSoAndChangesNothing)
{
    const auto attempt = [this](ArchiveStore &store, const QString &sentence) {
        SCOPED_TRACE(sentence.toStdString());
        m_controller->LoadArchiveChannels();
        showChannelRows();
        selectReadableRows();
        m_boxes.shown.clear();
        m_controller->acAddToArchiveExecute();
        ASSERT_EQ(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown[0].kind, "error");
        EXPECT_EQ(m_boxes.shown[0].caption, "Błąd:");
        EXPECT_EQ(m_boxes.shown[0].text, sentence + " Zmiany w archiwum nie zostały zapisane.");
        EXPECT_EQ(store.archiveTable().recordCount(), 1);
        EXPECT_EQ(m_lvCategories.model()->rowCount(), 1);
        EXPECT_FALSE(m_status.visible);

        m_controller->sbShowAllArchiveClick();
        selectHeaderRows({0});
        m_boxes.shown.clear();
        m_boxes.answers = {true};
        m_controller->acArchiveDeleteExecute();
        ASSERT_EQ(m_boxes.shown.size(), 2) << "the question, then the error";
        EXPECT_EQ(m_boxes.shown[1].text, sentence + " Zmiany w archiwum nie zostały zapisane.");
        EXPECT_EQ(listedTitles(), QStringList({"jeden"}));
        EXPECT_EQ(store.archiveTable().recordCount(), 1);
    };
    archive({stored("{A}", Ch1, "jeden", "K")});
    // Root is not stopped by a folder's permissions.
    if (geteuid() != 0) {
        const QFile::Permissions was = QFile::permissions(m_dir.path());
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        attempt(*m_store, QStringLiteral("Folder pliku archiwum nie pozwala na zapis."));
        QFile::setPermissions(m_dir.path(), was);
    }

    // Root writes to a read-only file: a file system mounted read-only stops it too.
    SmallFileSystem disk(m_dir.filePath(QStringLiteral("disk")), 1024 * 1024);
    QString path = m_store->path();
    if (geteuid() == 0) {
        if (!disk.mounted())
            GTEST_SKIP() << "no file system to make read-only";
        path = disk.path() + QStringLiteral("/archive.mdb");
        ASSERT_TRUE(QFile::copy(m_store->path(), path));
        ASSERT_TRUE(disk.makeReadOnly());
    } else {
        ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    }
    auto readOnly = ArchiveStore::open(path);
    ArchiveView readOnlyView(*readOnly, m_items, m_folder);
    m_onShow.clear();
    m_controller->setArchive(readOnly.get(), &readOnlyView);
    attempt(*readOnly, QStringLiteral("Plik archiwum jest tylko do odczytu."));
    m_onShow.clear();
    m_controller->setArchive(m_store.get(), m_view.get());
    readOnly.reset();
    QFile::setPermissions(m_store->path(), QFile::ReadOwner | QFile::WriteOwner);
}

TEST_F(ArchiveControllerTest, ArchivePageShowsChannelsAndTheWholeArchiveAsTheButtonsAsk)
{
    archive({stored("{A}", Ch1, "jeden |x|", "Pierwszy"), stored("{B}", Ch2, "dwa", "Drugi"),
             stored("{C}", Ch1, "trzy", "Pierwszy")});
    m_store->dbCommand().setUnread("{C}", true);
    m_controller->LoadArchiveChannels();
    ASSERT_EQ(m_lvCategories.model()->rowCount(), 2);
    EXPECT_FALSE(m_lvCategories.selectionModel()->hasSelection());

    // The page opens on the first channel (in name order: "Drugi").
    m_controller->pcLeftPanelChange();
    EXPECT_TRUE(m_controller->archiveViewShown());
    EXPECT_FALSE(m_cbAll.isHidden());
    EXPECT_FALSE(m_cbAll.isChecked());
    EXPECT_EQ(listedTitles(), QStringList({"dwa"}));

    m_controller->sbShowAllArchiveClick();
    EXPECT_TRUE(m_cbAll.isChecked());
    EXPECT_EQ(listedTitles(), QStringList({"jeden \"x\"", "dwa", "trzy"}));
    const std::vector<HeaderRow> &rows = m_rows.rows();
    EXPECT_EQ(rows[1].id, 1);
    EXPECT_EQ(rows[2].id, 2);
    EXPECT_EQ(rows[0].version, "1.0");
    EXPECT_EQ(rows[0].author, "A\"B\"");
    EXPECT_EQ(rows[0].chGuid, Ch1);
    EXPECT_EQ(rows[0].guid, "{A}");
    EXPECT_FALSE(rows[0].unread);
    EXPECT_TRUE(rows[2].unread);

    // A keyword typed but not applied narrows the next channel shown.
    m_edKeyWord.setText(QStringLiteral("TRZY"));
    m_lvCategories.setCurrentIndex(m_lvCategories.model()->index(1, 0));
    EXPECT_FALSE(m_cbAll.isChecked());
    EXPECT_EQ(listedTitles(), QStringList({"trzy"}));
    m_edKeyWord.clear();

    m_cbAll.click();
    EXPECT_TRUE(m_cbAll.isChecked());
    EXPECT_EQ(m_rows.rowCount(), 3);
    m_cbAll.click();
    EXPECT_EQ(listedTitles(), QStringList({"jeden \"x\"", "trzy"}));

    // In the archive view adding is off and deleting is on, each button where the other was.
    selectHeaderRows({0});
    m_controller->updateActions(1);
    EXPECT_FALSE(m_acAdd->isEnabled());
    EXPECT_TRUE(m_sbAdd.isHidden());
    EXPECT_TRUE(m_acDelete->isEnabled());
    EXPECT_FALSE(m_sbDelete.isHidden());

    // Channel rows take the list over: the archive view ends, its query with it.
    showChannelRows();
    EXPECT_FALSE(m_controller->archiveViewShown());
    EXPECT_FALSE(m_store->archiveQuery().active());
    EXPECT_TRUE(m_cbAll.isHidden());
}

// A find over the archive says in the list's caption that the rows are its results, and how
// many; the next list shown has its plain caption again.
TEST_F(ArchiveControllerTest, AFindOverTheArchiveNamesItsResultsInTheListCaption)
{
    archive({stored("{A}", Ch1, "jeden", "Pierwszy"), stored("{B}", Ch2, "dwa jeden", "Drugi"),
             stored("{C}", Ch1, "trzy", "Pierwszy")});
    m_controller->LoadArchiveChannels();
    const auto caption = [this] { return m_rows.headerData(0, Qt::Horizontal).toString(); };
    const QString plain = caption();
    m_controller->findInArchive(int(TfmFindFrm::Field::Title), QStringLiteral("jeden"));
    EXPECT_EQ(m_rows.rowCount(), 2);
    EXPECT_EQ(caption(), plain + QStringLiteral(" wyniki wyszukiwania w archiwum (2)"));

    m_controller->sbShowAllArchiveClick();
    EXPECT_EQ(m_rows.rowCount(), 3);
    EXPECT_EQ(caption(), plain);
}

TEST_F(ArchiveControllerTest, ArchivedChannelsWearTheChannelPicture)
{
    archive({stored("{A}", Ch1, "jeden", "Pierwszy")});
    m_controller->LoadArchiveChannels();
    m_lvCategories.resize(200, 100);
    const QImage shot = m_lvCategories.viewport()->grab().toImage();
    const QRect row = m_lvCategories.visualRect(m_lvCategories.model()->index(0, 0));
    ASSERT_FALSE(row.isEmpty());
    // The channel picture is orange; nothing else in the row is.
    int orange = 0;
    for (int y = row.top(); y <= row.bottom(); ++y)
        for (int x = row.left(); x < row.left() + 24 && x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x * shot.devicePixelRatio(), y * shot.devicePixelRatio());
            orange += c.red() > 200 && c.green() > 100 && c.green() < 170 && c.blue() < 80;
        }
    EXPECT_GT(orange, 20);
}

TEST_F(ArchiveControllerTest, AnEmptyArchiveLeavesTheListAndARefilledListShowsAgain)
{
    showChannelRows();
    m_controller->LoadArchiveChannels();
    m_controller->pcLeftPanelChange();
    EXPECT_FALSE(m_controller->archiveViewShown());
    EXPECT_EQ(m_rows.rowCount(), 3) << "the channel's headers stay";

    archive({stored("{A}", Ch1, "jeden", "Pierwszy"), stored("{B}", Ch2, "dwa", "Drugi")});
    m_controller->LoadArchiveChannels();
    m_lvCategories.setCurrentIndex(m_lvCategories.model()->index(0, 0));
    EXPECT_EQ(listedTitles(), QStringList({"dwa"}));

    // After a refill no channel is selected; unchecking "whole archive" then picks the
    // first channel, and the row shown before the refill shows again.
    m_controller->LoadArchiveChannels();
    EXPECT_EQ(m_controller->lastCategoryRow(), -1);
    m_controller->sbShowAllArchiveClick();
    m_cbAll.click();
    EXPECT_FALSE(m_cbAll.isChecked());
    EXPECT_EQ(listedTitles(), QStringList({"dwa"}));
    EXPECT_EQ(m_controller->lastCategoryRow(), 0);
}

TEST_F(ArchiveControllerTest, DeletingAsksFirstAndTakesTheSelectedCopyAloneWhileTheOtherRowsKeepTheirIds)
{
    archive({stored("{SAME}", Ch1, "kopia 1", "K"), stored("{O}", Ch1, "inny", "K"),
             stored("{SAME}", Ch1, "kopia 2", "K")});
    m_controller->LoadArchiveChannels();
    m_controller->sbShowAllArchiveClick();
    selectHeaderRows({0});

    m_boxes.answers = {false};
    m_controller->acArchiveDeleteExecute();
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown[0].text, "Czy chcesz trwale usunąć wybrane elementy?");
    EXPECT_EQ(m_boxes.shown[0].caption, "Pytanie:");
    EXPECT_EQ(m_store->archiveTable().recordCount(), 3);
    EXPECT_EQ(m_rows.rowCount(), 3);

    // Two copies of one item share its GUID; the one selected goes, the other stays.
    m_boxes.answers = {true};
    m_controller->acArchiveDeleteExecute();
    EXPECT_EQ(m_store->archiveTable().recordCount(), 2);
    EXPECT_EQ(listedTitles(), QStringList({"inny", "kopia 2"}));
    EXPECT_EQ(m_rows.rows()[0].id, 1);
    EXPECT_EQ(m_rows.rows()[1].id, 2);
    EXPECT_EQ(m_status.texts.mid(m_status.texts.size() - 2),
              QStringList({"Chwileczkę... Aktualizowanie archiwum.", "Gotowe."}));

    // The rows left still address the open query by their IDs, and show what the file holds.
    EXPECT_EQ(m_view->itemNode(m_rows.row(0)).findChild("title").text(), "inny");
    EXPECT_EQ(m_view->itemNode(m_rows.row(0)).findChild("description").text(), "opis inny");
    EXPECT_EQ(m_view->itemNode(m_rows.row(1)).findChild("title").text(), "kopia 2");
    EXPECT_EQ(m_view->itemNode(m_rows.row(1)).findChild("description").text(), "opis kopia 2");
    m_controller->sbShowAllArchiveClick();
    EXPECT_EQ(listedTitles(), QStringList({"inny", "kopia 2"}));
}

TEST_F(ArchiveControllerTest, ADatabaseErrorIsShownAndTheListsStayAsTheyWere)
{
    archive({stored("{A}", Ch1, "jeden", "K")});
    m_controller->LoadArchiveChannels();
    m_controller->sbShowAllArchiveClick();
    selectHeaderRows({0});

    sqlite3 *other = nullptr;
    sqlite3_open(QFile::encodeName(m_store->path()).constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    m_boxes.answers = {true};
    m_controller->acArchiveDeleteExecute();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    ASSERT_EQ(m_boxes.shown.size(), 2) << "the question, then the error";
    EXPECT_EQ(m_boxes.shown.last().kind, "error");
    EXPECT_EQ(m_boxes.shown.last().caption, "Błąd:");
    EXPECT_TRUE(m_boxes.shown.last().text.contains("zablokowane"));
    EXPECT_EQ(listedTitles(), QStringList({"jeden"})) << "nothing was deleted, nothing removed";
    EXPECT_EQ(m_store->archiveTable().recordCount(), 1);
    EXPECT_FALSE(m_status.visible);
}

} // namespace

namespace {

using ArchiveStartup = mainfrm_test::MainFrmFixture;

TEST_F(ArchiveStartup, TheShippedArchiveIsCopiedAndAMissingOrForeignOneEndsTheStart)
{
    const QString archivePath = appFolder() + QStringLiteral("data/archive.mdb");
    // No mdb-export here: the stand-in of the next test is not on this PATH.
    ScopedEnv path("PATH", "/nonexistent");
    {
        auto w = create();
        EXPECT_FALSE(w->startupFailed());
        EXPECT_TRUE(m_boxes.shown.isEmpty());
        EXPECT_NO_THROW(ArchiveStore::open(archivePath)) << "the first start copied it";
    }
    const QString message = ArchiveController::openFailedMessage();
    EXPECT_EQ(message, "Nie można nawiązać połączenia z bazą danych archiwum. Jest to "
                       "spowodowane brakiem pliku bazy lub brakiem sterowników w systemie. "
                       "Program kończy działanie.");
    for (const QByteArray &content : {QByteArray(), QByteArray("Standard Jet DB\0\0\0", 18)}) {
        QFile::remove(archivePath);
        if (!content.isNull())
            ASSERT_TRUE(writeAll(archivePath, content));
        m_boxes.shown.clear();
        auto w = create();
        EXPECT_TRUE(w->startupFailed());
        ASSERT_EQ(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown.first().kind, "error");
        EXPECT_EQ(m_boxes.shown.first().caption, "Błąd:");
        EXPECT_EQ(m_boxes.shown.first().text, message);
    }
    EXPECT_EQ(readAll(archivePath), QByteArray("Standard Jet DB\0\0\0", 18))
        << "a file that is not an archive is left for the user";
}

// The older program's Jet file does not lock the user out: it is moved aside, the program
// starts with an empty archive and says so once, naming the moved file.
TEST_F(ArchiveStartup, TheOlderProgramsArchiveIsMovedAsideAndTheStartGoesOn)
{
    const QString archivePath = appFolder() + QStringLiteral("data/archive.mdb");
    ScopedEnv path("PATH", "/nonexistent");
    { auto w = create(); }
    const QByteArray jet = QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(4000, '\0');
    ASSERT_TRUE(writeAll(archivePath, jet));
    const QString moved = archivePath + QStringLiteral(".old-") +
                          QDate::currentDate().toString(Qt::ISODate);
    m_boxes.shown.clear();
    {
        auto w = create();
        EXPECT_FALSE(w->startupFailed());
        ASSERT_EQ(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown[0].kind, "information");
        EXPECT_EQ(m_boxes.shown[0].text,
                  QStringLiteral("Plik archiwum pochodzi ze starszej wersji programu i nie "
                                 "może zostać otwarty. Został zachowany jako %1, a program "
                                 "zaczyna pracę z pustym archiwum.")
                      .arg(moved));
    }
    EXPECT_EQ(readAll(moved), jet);
    EXPECT_EQ(ArchiveStore::open(archivePath)->archiveTable().recordCount(), 0);
    m_boxes.shown.clear();
    { auto w = create(); }
    EXPECT_TRUE(m_boxes.shown.isEmpty()) << "said once";

    // Another one the same day keeps the first copy.
    ASSERT_TRUE(writeAll(archivePath, jet));
    { auto w = create(); }
    EXPECT_EQ(readAll(moved + QStringLiteral("-2")), jet);
}

// Where mdb-export is installed (here a stand-in that writes what mdbtools would), the
// message asks to copy the old rows, and Yes copies them with their texts as stored.
TEST_F(ArchiveStartup, WithMdbExportTheOldRowsAreCopiedInWhenTheUserSaysYes)
{
    QTemporaryDir bin;
    const QString tool = bin.filePath(QStringLiteral("mdb-export"));
    ASSERT_TRUE(writeAll(tool, "#!/bin/sh\n"
                               "[ \"$2\" = archive ] || exit 1\n"
                               "grep -q 'Standard Jet DB' \"$1\" || exit 1\n"
                               "printf '%s\\n' 'sGUID,sChGUID,sTitle,sDescription,sAuthor,sDate,"
                               "sLink,sChannelName,sChannelLink,sChannelImage,bUnread'\n"
                               "printf '%s\\n' '\"{G1}\",\"{C}\",\"Stary |tytuł|\",\"<p>wiersz'\n"
                               "printf '%s\\n' 'drugi, z \"\"cudzysłowem\"\"</p>\",\"Ja\",\"2005-01-02\","
                               "\"http://example.org/1\",\"Kanał\",\"http://example.org/\",\"\",1'\n"
                               "printf '%s\\n' '\"{G2}\",\"{C}\",\"Drugi\",\"\",\"\",\"\",\"\",\"Kanał\","
                               "\"\",\"\",0'\n"));
    ASSERT_TRUE(QFile::setPermissions(tool, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ExeOwner));
    ScopedEnv path("PATH", (bin.path() + QStringLiteral(":/usr/bin:/bin")).toLocal8Bit());
    const QString archivePath = appFolder() + QStringLiteral("data/archive.mdb");
    { auto w = create(); }
    const QByteArray jet = QByteArray("\0\1\0\0Standard Jet DB\0", 20) + QByteArray(4000, '\0');

    for (bool yes : {false, true}) {
        ASSERT_TRUE(writeAll(archivePath, jet));
        m_boxes.shown.clear();
        m_boxes.answers = {yes};
        auto w = create();
        EXPECT_FALSE(w->startupFailed());
        ASSERT_GE(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown[0].kind, "question");
        EXPECT_TRUE(m_boxes.shown[0].text.endsWith(
            "Czy skopiować wiadomości ze starego archiwum do nowego?"));
        if (!yes) {
            EXPECT_EQ(m_boxes.shown.size(), 1);
            continue;
        }
        ASSERT_EQ(m_boxes.shown.size(), 2);
        EXPECT_EQ(m_boxes.shown[1].text, "Skopiowano wiadomości ze starego archiwum: 2.");
    }
    auto store = ArchiveStore::open(archivePath);
    store->archiveQuery().open(QString(), QString());
    ASSERT_EQ(store->archiveQuery().recordCount(), 2);
    store->archiveQuery().first();
    const ArchiveRecord r = store->archiveQuery().record();
    EXPECT_EQ(r.sTitle, "Stary |tytuł|");
    EXPECT_EQ(r.sDescription, "<p>wiersz\ndrugi, z \"cudzysłowem\"</p>");
    EXPECT_EQ(r.sLink, "http://example.org/1");
    EXPECT_EQ(r.bUnread, 1);
    EXPECT_EQ(store->archiveQuery().rows()[1].sTitle, "Drugi");
}

} // namespace
