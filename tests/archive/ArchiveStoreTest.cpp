#include "archive/ArchiveStore.h"

#include "ArchiveTestRows.h"
#include "support/SmallFileSystem.h"
#include "support/TestFiles.h"

#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString ChA = QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000001}");
const QString ChB = QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000002}");

QStringList titles(const ArchiveQuery &query)
{
    QStringList out;
    for (const ArchiveListedRow &row : query.rows())
        out << row.sTitle;
    return out;
}

// Runs one statement through the engine directly, as another program would.
QString rawScalar(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    QString value;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

class ArchiveStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("archive.mdb"));
        ArchiveStore::create(m_path);
    }

    std::unique_ptr<ArchiveStore> openStore() { return ArchiveStore::open(m_path); }

    QTemporaryDir m_dir;
    QString m_path;
};

TEST_F(ArchiveStoreTest, NewArchiveIsEmptyAndRowsComeBackInTheOrderAddedWithEveryField)
{
    auto store = openStore();
    EXPECT_FALSE(store->readOnly());
    EXPECT_EQ(store->archiveTable().recordCount(), 0);
    store->archiveChannelsQuery().open();
    EXPECT_TRUE(store->archiveChannelsQuery().rows().empty());
    EXPECT_FALSE(store->archiveQuery().active());
    store->archiveQuery().open(QString(), QString());
    EXPECT_TRUE(store->archiveQuery().active());
    EXPECT_EQ(store->archiveQuery().recordCount(), 0);

    ArchiveRecord full = archiveRow("g1", ChA, QStringLiteral("Żółty tytuł"),
                                    QString(5000, QLatin1Char('x')) + QStringLiteral("ąę"));
    full.sChannelImage = QStringLiteral("http://example.org/i.png");
    const std::vector<ArchiveRecord> rows = {full, archiveRow("g2", ChB, "drugi"),
                                             archiveRow("g3", ChA, "trzeci")};
    EXPECT_EQ(store->archiveTable().insert(rows), 3);
    EXPECT_EQ(store->archiveTable().recordCount(), 3);

    ArchiveQuery &query = store->archiveQuery();
    query.open(QString(), QString());
    EXPECT_EQ(titles(query), QStringList({"Żółty tytuł", "drugi", "trzeci"}));
    query.open(ChA, QString());
    EXPECT_EQ(titles(query), QStringList({"Żółty tytuł", "trzeci"}));

    // The cursor: first, then forward by a row's position, as the item view reads it.
    query.first();
    query.moveBy(1);
    EXPECT_EQ(query.fieldByName("STITLE"), "trzeci");
    query.first();
    const ArchiveRecord back = query.record();
    EXPECT_EQ(back.sGUID, full.sGUID);
    EXPECT_EQ(back.sChGUID, full.sChGUID);
    EXPECT_EQ(back.sTitle, full.sTitle);
    EXPECT_EQ(back.sDescription, full.sDescription);
    EXPECT_EQ(back.sAuthor, full.sAuthor);
    EXPECT_EQ(back.sDate, full.sDate);
    EXPECT_EQ(back.sLink, full.sLink);
    EXPECT_EQ(back.sChannelName, full.sChannelName);
    EXPECT_EQ(back.sChannelLink, full.sChannelLink);
    EXPECT_EQ(back.sChannelImage, full.sChannelImage);
    EXPECT_EQ(back.bUnread, 0) << "new rows are read";
    EXPECT_EQ(query.fieldByName("sdescription"), full.sDescription);
    EXPECT_EQ(query.fieldByName("bUnread"), "0");
    query.next();
    query.next();
    EXPECT_TRUE(query.eof());
    EXPECT_THROW(query.record(), ArchiveError);

    query.close();
    EXPECT_FALSE(store->archiveQuery().active());
}

TEST_F(ArchiveStoreTest, KeywordMatchesTitlesAndDescriptionsInAnyLetterCaseButNotAuthorsOrNames)
{
    auto store = openStore();
    ArchiveRecord byAuthor = archiveRow("g3", ChA, "nic");
    byAuthor.sAuthor = QStringLiteral("żółw");
    store->archiveTable().insert({
        archiveRow("g1", ChA, QStringLiteral("Mały żółw w ogrodzie")),
        archiveRow("g2", ChB, "opis", QStringLiteral("<p>ŻÓŁWIE jaja</p>")),
        byAuthor,
        archiveRow("g4", ChA, "inny", QString(), QStringLiteral("Żółw kanał")),
        archiveRow("g5", ChA, QStringLiteral("zolw bez ogonków")),
    });
    ArchiveQuery &query = store->archiveQuery();
    query.open(QString(), QStringLiteral("ŻÓŁW"));
    EXPECT_EQ(titles(query), QStringList({"Mały żółw w ogrodzie", "opis"}));
    query.open(QString(), QStringLiteral("żółwie"));
    EXPECT_EQ(titles(query), QStringList({"opis"}));
    query.open(ChA, QStringLiteral("Żółw"));
    EXPECT_EQ(titles(query), QStringList({"Mały żółw w ogrodzie"}));
    query.open(ChB, QStringLiteral("ogrodzie"));
    EXPECT_TRUE(titles(query).isEmpty());
}

TEST_F(ArchiveStoreTest, TheFindLooksInItsOneColumnAndAMissLeavesTheViewAsItWas)
{
    auto store = openStore();
    ArchiveRecord byAuthor = archiveRow("g3", ChB, "nic");
    byAuthor.sAuthor = QStringLiteral("Józef O'Brien 100%");
    store->archiveTable().insert({
        archiveRow("g1", ChA, QStringLiteral("Żółw w ogrodzie")),
        archiveRow("g2", ChB, "opis", QStringLiteral("<p>ŻÓŁW jaja</p>")),
        byAuthor,
        archiveRow("g4", ChB, "zajawka",
                   QStringLiteral("Mówił &#8222;tak&#8221; w <b>\"Sejmie\"</b> [&#8230;]")),
    });
    ArchiveQuery &query = store->archiveQuery();
    using Column = ArchiveQuery::Column;
    ASSERT_TRUE(query.openMatching(Column::Title, QStringLiteral("żółw")));
    EXPECT_EQ(titles(query), QStringList({"Żółw w ogrodzie"}));
    ASSERT_TRUE(query.openMatching(Column::Description, QStringLiteral("żółw")));
    EXPECT_EQ(titles(query), QStringList({"opis"}));
    ASSERT_TRUE(query.openMatching(Column::Author, QStringLiteral("o'brien 100%")));
    EXPECT_EQ(titles(query), QStringList({"nic"}));
    // The description is found as the reader sees it: references decoded, tags left out.
    ASSERT_TRUE(query.openMatching(Column::Description, QStringLiteral("„TAK” w \"sejmie\"")));
    EXPECT_EQ(titles(query), QStringList({"zajawka"}));
    EXPECT_FALSE(query.openMatching(Column::Description, QStringLiteral("8222")));
    EXPECT_FALSE(query.openMatching(Column::Description, QStringLiteral("<b>")));

    query.open(ChA, QString());
    EXPECT_FALSE(query.openMatching(Column::Author, QStringLiteral("_")));
    EXPECT_FALSE(query.openMatching(Column::Title, QStringLiteral("\" OR 1=1 --")));
    EXPECT_TRUE(query.active());
    EXPECT_EQ(titles(query), QStringList({"Żółw w ogrodzie"})) << "the view shown before stays";
}

TEST_F(ArchiveStoreTest, HostileValuesAreStoredAndFoundAsThemselves)
{
    auto store = openStore();
    const QString evilGuid = QStringLiteral("x\" OR \"1\"=\"1");
    const QString evilChannel = QStringLiteral("{C}'; DROP TABLE archive; --");
    store->archiveTable().insert({
        archiveRow(evilGuid, evilChannel, QStringLiteral("100% pewne")),
        archiveRow("g2", ChA, QStringLiteral("snake_case")),
        archiveRow("g3", ChA, QStringLiteral("C:\\temp\\plik")),
        archiveRow("g4", ChA, QStringLiteral("O'Reilly")),
        archiveRow("g5", ChA, QStringLiteral("zwykły tytuł 1000 razy")),
    });
    ArchiveQuery &query = store->archiveQuery();
    const auto find = [&](const QString &keyword) {
        query.open(QString(), keyword);
        return titles(query);
    };
    EXPECT_EQ(find("%"), QStringList({"100% pewne"}));
    EXPECT_EQ(find("_"), QStringList({"snake_case"}));
    EXPECT_EQ(find("\\"), QStringList({"C:\\temp\\plik"}));
    EXPECT_EQ(find("'"), QStringList({"O'Reilly"}));
    EXPECT_EQ(find("0%"), QStringList({"100% pewne"}));

    query.open(evilChannel, QString());
    EXPECT_EQ(titles(query), QStringList({"100% pewne"}));
    query.first();
    EXPECT_EQ(query.record().sGUID, evilGuid);

    EXPECT_EQ(store->dbCommand().deleteByGuid(evilGuid), 1);
    EXPECT_EQ(store->dbCommand().deleteByGuid(QStringLiteral("\" OR 1=1 OR \"")), 0);
    EXPECT_EQ(store->archiveTable().recordCount(), 4);
}

TEST_F(ArchiveStoreTest, DoubleQuotesAreStoredAsBarsAndShownAsDoubleQuotes)
{
    ArchiveRecord shown = archiveRow("g1", ChA, QStringLiteral("Powiedział \"tak\""),
                                     QStringLiteral("<a href=\"x\">"),
                                     QStringLiteral("Kanał \"Nowy\""));
    shown.sAuthor = QStringLiteral("\"Anonim\"");
    shown.sLink = QStringLiteral("http://example.org/?q=\"a\"");
    shown.sChannelImage = QStringLiteral("http://example.org/a|b.png");
    const ArchiveRecord stored = archiveText(shown, ArchiveTextWay::ToStored);
    EXPECT_EQ(stored.sTitle, "Powiedział |tak|");
    EXPECT_EQ(stored.sDescription, "<a href=|x|>");
    EXPECT_EQ(stored.sAuthor, "|Anonim|");
    EXPECT_EQ(stored.sChannelName, "Kanał |Nowy|");
    EXPECT_EQ(stored.sLink, shown.sLink) << "other columns are stored as they are";
    EXPECT_EQ(stored.sChannelImage, shown.sChannelImage);

    auto store = openStore();
    store->archiveTable().insert({stored, archiveRow("g2", ChA, QStringLiteral("a|b"))});
    ArchiveQuery &query = store->archiveQuery();
    query.open(QString(), QStringLiteral("\"tak\""));
    ASSERT_EQ(query.recordCount(), 1) << "a typed double quote finds the stored bar";
    query.first();
    const ArchiveRecord back = archiveText(query.record(), ArchiveTextWay::ToShown);
    EXPECT_EQ(back.sTitle, shown.sTitle);
    EXPECT_EQ(back.sDescription, shown.sDescription);
    EXPECT_EQ(back.sAuthor, shown.sAuthor);
    EXPECT_EQ(back.sChannelName, shown.sChannelName);
    EXPECT_EQ(back.sChannelImage, "http://example.org/a\"b.png");
    EXPECT_EQ(archiveText(QStringLiteral("a|b"), ArchiveTextWay::ToShown), "a\"b")
        << "a bar that was in the title before archiving shows as a double quote";
}

TEST_F(ArchiveStoreTest, DeletingByGuidTakesEveryCopyAndTheOpenViewKeepsWhatItListed)
{
    auto store = openStore();
    store->archiveTable().insert({archiveRow("same", ChA, "pierwsza kopia", "opis"),
                                  archiveRow("other", ChA, "inny"),
                                  archiveRow("same", ChA, "druga kopia", "opis")});
    ArchiveQuery &query = store->archiveQuery();
    query.open(ChA, QString());
    ASSERT_EQ(query.recordCount(), 3);

    EXPECT_EQ(store->dbCommand().deleteByGuids({QStringLiteral("same")}), 2);
    EXPECT_EQ(store->archiveTable().recordCount(), 1);
    // The second copy is still listed until the view is opened again; reading it gives what
    // was listed instead of another row's content.
    query.first();
    query.moveBy(2);
    const ArchiveRecord gone = query.record();
    EXPECT_EQ(gone.sTitle, "druga kopia");
    EXPECT_TRUE(gone.sDescription.isEmpty());
    query.first();
    query.moveBy(1);
    EXPECT_EQ(query.record().sTitle, "inny");

    query.open(ChA, QString());
    EXPECT_EQ(titles(query), QStringList({"inny"}));
}

TEST_F(ArchiveStoreTest, ChannelListHasEachChannelOnceUnderItsLastNameInNameOrder)
{
    auto store = openStore();
    const QString ChC = QStringLiteral("{C0000000-0000-0000-0000-000000000000}");
    const QString ChD = QStringLiteral("{D0000000-0000-0000-0000-000000000000}");
    store->archiveTable().insert({
        archiveRow("1", ChA, "a", {}, QStringLiteral("Zebra (stara nazwa)")),
        archiveRow("2", ChA, "b", {}, QStringLiteral("zebra")),
        archiveRow("3", ChB, "c", {}, QStringLiteral("Onet")),
        archiveRow("4", ChC, "d", {}, QStringLiteral("Łódź")),
        archiveRow("5", ChD, "e", {}, QStringLiteral("Ala |ma| kota")),
        archiveRow("6", ChB, "f", {}, QStringLiteral("onet")),
        archiveRow("7", ChA, "g", {}, QStringLiteral("zebra")),
    });
    ArchiveChannelsQuery &channels = store->archiveChannelsQuery();
    channels.open();
    QStringList names;
    for (const ArchiveChannel &c : channels.rows())
        names << c.sChannelName + " " + c.sChGUID.left(2);
    EXPECT_EQ(names, QStringList({"Ala |ma| kota {D", "Łódź {C", "onet {B", "zebra {A"}));
}

TEST_F(ArchiveStoreTest, MarksChangeEveryCopyOfTheItem)
{
    auto store = openStore();
    store->archiveTable().insert({archiveRow("g", ChA, "a"), archiveRow("g", ChA, "b"),
                                  archiveRow("h", ChA, "c")});
    EXPECT_EQ(store->dbCommand().setUnread("g", true), 2);
    ArchiveQuery &query = store->archiveQuery();
    query.open(QString(), QString());
    ASSERT_EQ(query.recordCount(), 3);
    EXPECT_EQ(query.rows()[0].bUnread, 1);
    EXPECT_EQ(query.rows()[1].bUnread, 1);
    EXPECT_EQ(query.rows()[2].bUnread, 0);
    EXPECT_EQ(store->dbCommand().setUnread("g", false), 2);
}

// A row the engine refuses, whether it ends only the statement (ABORT), gives the whole
// transaction up by itself (ROLLBACK, as on a full disk) or swallows the row (IGNORE): the
// addition raises and no row of it is committed, neither before nor after the bad one.
TEST_F(ArchiveStoreTest, ARowThatFailsLeavesNoRowOfTheAdditionWritten)
{
    for (const char *raise : {"RAISE(ABORT, 'no')", "RAISE(ROLLBACK, 'database or disk is full')",
                              "RAISE(IGNORE)"}) {
        SCOPED_TRACE(raise);
        {
            sqlite3 *db = nullptr;
            sqlite3_open(QFile::encodeName(m_path).constData(), &db);
            sqlite3_exec(db, "DROP TRIGGER IF EXISTS refuse", nullptr, nullptr, nullptr);
            const QByteArray trigger = QByteArray("CREATE TRIGGER refuse BEFORE INSERT ON archive "
                                                  "WHEN NEW.sTitle = 'zły' BEGIN SELECT ") +
                                       raise + "; END";
            ASSERT_EQ(sqlite3_exec(db, trigger.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(db);
        }
        auto store = openStore();
        EXPECT_THROW(store->archiveTable().insert({archiveRow("1", ChA, "dobry"),
                                                   archiveRow("2", ChA, QStringLiteral("zły")),
                                                   archiveRow("3", ChA, "też dobry")}),
                     ArchiveError);
        EXPECT_EQ(store->archiveTable().recordCount(), 0);
        // The connection goes on working: the next addition is written whole.
        EXPECT_EQ(store->archiveTable().insert({archiveRow("4", ChA, "potem")}), 1);
        EXPECT_EQ(store->dbCommand().deleteByGuid("4"), 1);
    }
    EXPECT_EQ(rawScalar(m_path, "SELECT count(*) FROM archive"), "0");
}

// Two copies of one item (the same GUID, as after a 304): each has its own identity, and
// deleting by it takes that copy alone.
TEST_F(ArchiveStoreTest, EachRowHasItsOwnIdentityThatItsDeletionUses)
{
    auto store = openStore();
    store->archiveTable().insert({archiveRow("same", ChA, "pierwsza kopia"),
                                  archiveRow("same", ChA, "druga kopia")});
    ArchiveQuery &query = store->archiveQuery();
    query.open(ChA, QString());
    ASSERT_EQ(query.recordCount(), 2);
    const long long first = query.rows()[0].rowId;
    const long long second = query.rows()[1].rowId;
    EXPECT_NE(first, second);
    query.first();
    query.moveBy(1);
    EXPECT_EQ(query.record().rowId, second);

    EXPECT_EQ(store->dbCommand().deleteByRowIds({first}), 1);
    query.open(ChA, QString());
    EXPECT_EQ(titles(query), QStringList({"druga kopia"}));
    EXPECT_EQ(store->dbCommand().deleteByRowIds({first}), 0) << "gone already";
    EXPECT_EQ(store->dbCommand().deleteByRowIds({}), 0);
}

// A file of an earlier version has no full-text column: it loads, its rows show their
// description, the column is added, and new rows keep their full text, found by the keyword.
TEST_F(ArchiveStoreTest, AnArchiveWithoutTheFullTextColumnLoadsAndGetsIt)
{
    const QString old = m_dir.filePath(QStringLiteral("old.mdb"));
    {
        sqlite3 *db = nullptr;
        sqlite3_open(QFile::encodeName(old).constData(), &db);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE archive (sGUID TEXT, sChGUID TEXT, sTitle TEXT,"
                               " sDescription TEXT, sAuthor TEXT, sDate TEXT, sLink TEXT,"
                               " sChannelName TEXT, sChannelLink TEXT, sChannelImage TEXT,"
                               " bUnread INTEGER DEFAULT 0);"
                               "INSERT INTO archive (sGUID, sChGUID, sTitle, sDescription) "
                               "VALUES ('g', 'c', 'stary', 'tylko opis');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    if (geteuid() != 0) {
        // Read-only, it still loads and shows its rows.
        ASSERT_TRUE(QFile::setPermissions(old, QFile::ReadOwner));
        auto store = ArchiveStore::open(old);
        store->archiveQuery().open(QString(), QStringLiteral("opis"));
        ASSERT_EQ(store->archiveQuery().recordCount(), 1);
        EXPECT_EQ(store->archiveQuery().record().sDescription, "tylko opis");
        QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner);
    }
    auto store = ArchiveStore::open(old);
    ArchiveQuery &query = store->archiveQuery();
    query.open(QString(), QString());
    ASSERT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.record().sDescription, "tylko opis");
    EXPECT_TRUE(query.record().sContent.isEmpty());

    ArchiveRecord full = archiveRow("n", ChA, "nowy", QStringLiteral("zajawka"));
    full.sContent = QStringLiteral("<p>Cały tekst z |cytatem| i słowem żółw</p>");
    EXPECT_EQ(store->archiveTable().insert({full}), 1);
    query.open(QString(), QStringLiteral("ŻÓŁW"));
    ASSERT_EQ(query.recordCount(), 1) << "the keyword finds the full text";
    EXPECT_EQ(query.record().sContent, full.sContent);
    EXPECT_EQ(query.record().field("SCONTENT"), full.sContent);
    EXPECT_TRUE(query.openMatching(ArchiveQuery::Column::Description, QStringLiteral("żółw")));
    store.reset();
    EXPECT_EQ(rawScalar(old, "SELECT count(*) FROM pragma_table_info('archive') "
                             "WHERE name='sContent'"),
              "1");
}

TEST_F(ArchiveStoreTest, MissingForeignAndDamagedFilesAreRefusedWithTheirReason)
{
    const auto kindOf = [](const QString &path) {
        try {
            ArchiveStore::open(path);
        } catch (const ArchiveError &e) {
            EXPECT_FALSE(e.message().isEmpty());
            return e.kind();
        }
        return ArchiveError::Kind::Other;
    };
    EXPECT_EQ(kindOf(m_dir.filePath("none.mdb")), ArchiveError::Kind::Missing);
    EXPECT_EQ(kindOf(m_dir.path()), ArchiveError::Kind::NotAnArchive);

    const QString text = m_dir.filePath("text.mdb");
    writeAll(text, QByteArray(8192, 'j'));
    EXPECT_EQ(kindOf(text), ArchiveError::Kind::NotAnArchive);

    // An SQLite file with some other table.
    const QString foreign = m_dir.filePath("foreign.mdb");
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(foreign).constData(), &db);
    sqlite3_exec(db, "CREATE TABLE archive (sGUID TEXT, other TEXT)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(kindOf(foreign), ArchiveError::Kind::NotAnArchive);

    // A pipe under the name must not block the start.
    const QString fifo = m_dir.filePath("fifo.mdb");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(kindOf(fifo), ArchiveError::Kind::NotAnArchive);

    // A file whose pages were overwritten: refused at opening or by the query, never read as
    // an empty or shorter archive without a word.
    {
        auto store = openStore();
        std::vector<ArchiveRecord> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back(archiveRow(QString::number(i), ChA, "t", QString(900, 'd')));
        store->archiveTable().insert(rows);
    }
    QByteArray bytes = readAll(m_path);
    ASSERT_GT(bytes.size(), 40000);
    for (int i = 4096; i < bytes.size(); i += 4096)
        bytes.replace(i, 64, QByteArray(64, '\x7f'));
    writeAll(m_path, bytes);
    bool refused = false;
    try {
        auto store = openStore();
        store->archiveQuery().open(QString(), QStringLiteral("x"));
        store->archiveChannelsQuery().open();
    } catch (const ArchiveError &e) {
        refused = e.kind() == ArchiveError::Kind::Damaged;
        EXPECT_TRUE(e.message().startsWith("Plik archiwum jest uszkodzony.")) << e.what();
    }
    EXPECT_TRUE(refused);
}

// Read-only: by its permissions, or (for root, whom permissions do not stop) on a file
// system mounted read-only. The folder refusing the journal: a folder where the journal
// would go. Every change then raises with its own sentence, and the file keeps its rows.
TEST_F(ArchiveStoreTest, AReadOnlyFileOrAFolderRefusingTheJournalRefusesChangesAndKeepsRows)
{
    const auto expectRefused = [](ArchiveStore &store, const QString &sentence) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            try {
                if (attempt == 0)
                    store.archiveTable().insert({archiveRow("h", ChA, "nowy")});
                else if (attempt == 1)
                    store.dbCommand().deleteByGuids({QStringLiteral("g")});
                else
                    store.dbCommand().deleteByRowIds({1});
                ADD_FAILURE() << "a change succeeded, attempt " << attempt;
            } catch (const ArchiveError &e) {
                EXPECT_EQ(e.kind(), ArchiveError::Kind::ReadOnly);
                EXPECT_EQ(e.message(), sentence + " Zmiany w archiwum nie zostały zapisane.");
            }
        }
        store.archiveQuery().open(QString(), QString());
        EXPECT_EQ(titles(store.archiveQuery()), QStringList({"zostaje"}));
    };
    {
        auto store = openStore();
        store->archiveTable().insert({archiveRow("g", ChA, "zostaje")});
    }
    // Root is not stopped by a folder's permissions.
    if (geteuid() != 0) {
        const QFile::Permissions was = QFile::permissions(m_dir.path());
        ASSERT_TRUE(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        auto store = openStore();
        expectRefused(*store, QStringLiteral("Folder pliku archiwum nie pozwala na zapis."));
        store.reset();
        QFile::setPermissions(m_dir.path(), was);
    }

    SmallFileSystem disk(m_dir.filePath(QStringLiteral("disk")), 1024 * 1024);
    QString path = m_path;
    if (geteuid() == 0) {
        if (!disk.mounted())
            GTEST_SKIP() << "no file system to make read-only";
        path = disk.path() + QStringLiteral("/archive.mdb");
        ASSERT_TRUE(QFile::copy(m_path, path));
        ASSERT_TRUE(disk.makeReadOnly());
    } else {
        ASSERT_TRUE(QFile::setPermissions(m_path, QFile::ReadOwner));
    }
    auto store = ArchiveStore::open(path);
    EXPECT_TRUE(store->readOnly());
    expectRefused(*store, QStringLiteral("Plik archiwum jest tylko do odczytu."));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
}

// A full disk, whatever part of the addition meets it: the user reads that the disk is full,
// in Polish, and not one row of the addition is committed.
TEST_F(ArchiveStoreTest, AFullDiskSaysSoAndWritesNoRow)
{
    SmallFileSystem disk(m_dir.filePath(QStringLiteral("disk")), 256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "no small file system to fill";
    const QString path = disk.path() + QStringLiteral("/archive.mdb");
    ArchiveStore::create(path);
    auto store = ArchiveStore::open(path);
    store->archiveTable().insert({archiveRow("base", ChA, "stały")});
    ASSERT_TRUE(disk.fill(0));
    for (int rows : {1, 40}) {
        std::vector<ArchiveRecord> batch;
        for (int i = 0; i < rows; ++i)
            batch.push_back(archiveRow(QString::number(i), ChA, "t", QString(8000, 'd')));
        try {
            store->archiveTable().insert(batch);
            ADD_FAILURE() << "an addition to a full disk succeeded";
        } catch (const ArchiveError &e) {
            EXPECT_EQ(e.kind(), ArchiveError::Kind::Full);
            EXPECT_EQ(e.message(), "Brak miejsca na dysku. Zmiany w archiwum nie zostały zapisane.");
        }
        EXPECT_EQ(store->archiveTable().recordCount(), 1);
    }
}

TEST_F(ArchiveStoreTest, AFileLockedByAnotherProgramGivesAMessageAfterAShortWait)
{
    auto store = openStore();
    store->archiveTable().insert({archiveRow("g", ChA, "a")});

    sqlite3 *other = nullptr;
    sqlite3_open(QFile::encodeName(m_path).constData(), &other);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    QElapsedTimer timer;
    timer.start();
    try {
        store->archiveTable().insert({archiveRow("h", ChA, "b")});
        ADD_FAILURE() << "insert into a locked file succeeded";
    } catch (const ArchiveError &e) {
        EXPECT_EQ(e.kind(), ArchiveError::Kind::Busy);
        EXPECT_EQ(e.message(), "Archiwum jest zablokowane przez inny program. Zmiany w archiwum "
                               "nie zostały zapisane. Spróbuj ponownie za chwilę.");
    }
    EXPECT_THROW(ArchiveStore::open(m_path), ArchiveError);
    EXPECT_LT(timer.elapsed(), 30000);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_EQ(store->archiveTable().insert({archiveRow("h", ChA, "b")}), 1);
    EXPECT_EQ(store->archiveTable().recordCount(), 2);
}

// A child process adds and removes batches until it is killed; whatever moment the kill
// hits, the file holds whole batches and passes the engine's own check.
TEST_F(ArchiveStoreTest, AKillDuringAddingOrDeletingLeavesTheArchiveWhole)
{
    constexpr int Batch = 400;
    {
        auto store = openStore();
        store->archiveTable().insert({archiveRow("base", ChA, "stały")});
    }
    for (int round = 0; round < 3; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(ready[0]);
            try {
                auto store = ArchiveStore::open(m_path);
                for (int k = 0;; ++k) {
                    std::vector<ArchiveRecord> rows;
                    std::vector<QString> guids;
                    for (int i = 0; i < Batch; ++i) {
                        guids.push_back(QStringLiteral("k%1-%2").arg(k).arg(i));
                        rows.push_back(archiveRow(guids.back(), ChB, "t", QString(700, 'o')));
                    }
                    store->archiveTable().insert(rows);
                    if (write(ready[1], "i", 1) != 1)
                        _exit(3);
                    store->dbCommand().deleteByGuids(guids);
                    if (write(ready[1], "d", 1) != 1)
                        _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(ready[1]);
        // Each round lets the writer finish a different number of steps, so the kill lands
        // in an insert in one round and in a delete in another.
        char byte = 0;
        for (int step = 0; step <= round; ++step)
            ASSERT_EQ(read(ready[0], &byte, 1), 1);
        kill(child, SIGKILL);
        close(ready[0]);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        auto store = openStore();
        const int count = store->archiveTable().recordCount();
        EXPECT_TRUE(count == 1 || count == 1 + Batch) << count;
        store.reset();
        EXPECT_EQ(rawScalar(m_path, "PRAGMA integrity_check"), "ok");
        // Leave the next round a file without the half-done batch.
        auto cleanup = openStore();
        cleanup->archiveQuery().open(ChB, QString());
        std::vector<QString> guids;
        for (const ArchiveListedRow &row : cleanup->archiveQuery().rows())
            guids.push_back(row.sGUID);
        cleanup->dbCommand().deleteByGuids(guids);
    }
}

} // namespace
