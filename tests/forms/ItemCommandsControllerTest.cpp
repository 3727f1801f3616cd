#include "support/SignalWait.h"
#include "reading/forms/ItemCommandsController.h"

#include "MainFrmFixture.h"
#include "base/UserFolder.h"
#include "kit/ActionFacts.h"
#include "kit/MainStatusBar.h"
#include "kit/WebBrowser.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemExport.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "xml/XmlDocument.h"
#include "reading/forms/FindUnit.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeView>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

struct Item
{
    const char *title, *author, *description, *link;
    bool unread;
};

// The rows' items in a document of the test's own; a row's ID is its item's position. A
// GUID in `failing` stands for a record that cannot be stored.
struct DocumentRows : IItemSource
{
    XmlNode itemNode(const HeaderRow &row) override
    {
        XmlNode n = first;
        for (int i = 0; n && i < row.id; ++i)
            n = n.nextSibling();
        return n;
    }
    bool setUnread(const HeaderRow &row, bool unread) override
    {
        if (row.guid == failing)
            throw std::runtime_error("database is locked");
        XmlNode n = itemNode(row);
        if (n.isNull())
            return false;
        n.child(QStringLiteral("unread")).setText(unread ? QStringLiteral("1") : QStringLiteral("0"));
        stored << row.guid + (unread ? "=1" : "=0");
        return true;
    }
    QString showItem(const HeaderRow &) override { return {}; }
    void exportItem(const HeaderRow &row, const QString &exportName) override
    {
        ExportChannelItem(document.fileName(), row.guid, exportName);
    }

    XmlDocument document;
    XmlNode first;
    QString failing;
    QStringList stored;
};

class ItemCommandsTest : public ::testing::Test
{
protected:
    ItemCommandsTest() : folder(dir.path())
    {
        window.resize(800, 480);
        lvHeaders = new QTreeView(&window);
        lvHeaders->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lvHeaders->setSelectionBehavior(QAbstractItemView::SelectRows);
        lvHeaders->setModel(&rows);
        sbStatus = new MainStatusBar(&window);
        window.setStatusBar(sbStatus);
        find = new TfmFindFrm(&window);
        ItemCommandsController::Widgets w;
        w.lvHeaders = lvHeaders;
        w.sbStatus = sbStatus;
        w.fmFindFrm = find;
        w.window = &window;
        controller = new ItemCommandsController(w, {}, onShow, folder, boxes, &window);
        controller->setDesktopOpener([this](const QUrl &url) {
            opened << url;
            return true;
        });
    }

    void fill(const std::vector<Item> &items, HeaderListModel::RowSource kind = HeaderListModel::RowSource::Channel)
    {
        QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\"><channel><title>K</title>";
        std::vector<HeaderRow> list;
        int id = 0;
        for (const Item &i : items) {
            const QString guid = QStringLiteral("{G%1}").arg(id);
            xml += "<item GUID=\"" + guid.toUtf8() + "\"><title>" + QString::fromUtf8(i.title).toHtmlEscaped().toUtf8()
                   + "</title><link>" + QString::fromUtf8(i.link).toHtmlEscaped().toUtf8() + "</link><description>" + i.description + "</description>"
                   + (i.unread ? "<unread>1</unread>" : "") + "</item>";
            HeaderRow row;
            row.title = QString::fromUtf8(i.title);
            row.author = QString::fromUtf8(i.author);
            row.id = id++;
            row.guid = guid;
            row.chGuid = QStringLiteral("{K}");
            row.unread = i.unread;
            list.push_back(row);
        }
        xml += "</channel></rss>\n";
        const QString cache = folder.cacheFile(QStringLiteral("{K}"));
        ASSERT_TRUE(writeAll(cache, xml));
        source.document.loadFromFile(cache);
        firstItem = source.document.documentElement().firstChild().firstChild().nextSibling();
        source.first = firstItem;
        if (kind == HeaderListModel::RowSource::Archive)
            onShow.showArchive(source, std::move(list));
        else
            onShow.showChannelRows(source, std::move(list));
    }

    void select(std::initializer_list<int> which)
    {
        lvHeaders->selectionModel()->clearSelection();
        for (int r : which)
            lvHeaders->selectionModel()->select(rows.index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString unreadText(int id)
    {
        XmlNode n = firstItem;
        for (int i = 0; i < id; ++i)
            n = n.nextSibling();
        const XmlNode u = n.findChild(QStringLiteral("unread"));
        return u ? u.text() : QStringLiteral("(none)");
    }
    int rowOfTitle(const char *title)
    {
        for (int r = 0; r < rows.rowCount(); ++r)
            if (rows.row(r).title == QString::fromUtf8(title))
                return r;
        return -1;
    }
    std::vector<int> rowsOf(std::initializer_list<const char *> titles)
    {
        std::vector<int> out;
        for (const char *t : titles)
            out.push_back(rowOfTitle(t));
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<int> selected()
    {
        std::vector<int> out;
        for (int r = 0; r < rows.rowCount(); ++r)
            if (lvHeaders->selectionModel()->isRowSelected(r, {}))
                out.push_back(r);
        return out;
    }

    QTemporaryDir dir;
    UserFolder folder;
    QMainWindow window;
    QTreeView *lvHeaders = nullptr;
    MainStatusBar *sbStatus = nullptr;
    TfmFindFrm *find = nullptr;
    RowsOnShow onShow;
    HeaderListModel &rows = onShow.model();
    DocumentRows source;
    mainfrm_test::ScriptedBoxes boxes;
    ItemCommandsController *controller = nullptr;
    XmlNode firstItem;
    QList<QUrl> opened;
};

const std::vector<Item> Three = {
    {"Alfa", "Anna", "&lt;p&gt;Pierwszy &lt;b&gt;opis&lt;/b&gt;&lt;/p&gt;", "http://k.pl/a", true},
    {"Beta", "Piotr", "drugi", "http://k.pl/b", false},
    {"Gamma", "Anna", "trzeci opis", "http://k.pl/c", true},
};

TEST_F(ItemCommandsTest, TheDelayedMarkReadsTheFirstSelectedRowAndIsNotRestarted)
{
    fill(Three);
    select({0});
    controller->startDelayedMark();
    QTimer *timer = controller->tmMarkAsUnread();
    ASSERT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 2000);
    // Some of the count gone, so that a restart would show.
    ASSERT_TRUE(WaitUntil([timer] { return timer->remainingTime() < 1990; }));
    const int left = timer->remainingTime();
    controller->startDelayedMark(); // moving to the next row does not restart the count
    EXPECT_LE(timer->remainingTime(), left);

    select({1}); // the row selected when the count ends is the one looked at: read
    controller->tmMarkAsUnreadTimer();
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(rows.row(0).unread);

    select({0, 1, 2});
    controller->tmMarkAsUnreadTimer(); // the first is unread: every selected unread row
    EXPECT_FALSE(rows.row(0).unread);
    EXPECT_FALSE(rows.row(2).unread);
    EXPECT_EQ(unreadText(0), "0");
    EXPECT_EQ(unreadText(2), "0");
    EXPECT_EQ(sbStatus->panelText(0), "Gotowe.");

    controller->startDelayedMark(); // stopped by its handler: the next change starts it
    EXPECT_TRUE(timer->isActive());
    controller->stopDelayedMark();
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 0);
}

TEST_F(ItemCommandsTest, MarkAsUnreadCancelsThePendingMarkAndCreatesMissingElements)
{
    fill(Three);
    select({1});
    controller->startDelayedMark();
    controller->acMarkAsUnreadExecute();
    EXPECT_FALSE(controller->tmMarkAsUnread()->isActive());
    EXPECT_TRUE(rows.row(1).unread);
    EXPECT_EQ(unreadText(1), "1"); // the element was missing

    select({1, 2});
    rows.setUnread(0, true);
    select({1, 0});
    // The first selected row in list order is row 0 (unread): both become read.
    controller->tmMarkAsUnreadTimer();
    EXPECT_FALSE(rows.row(0).unread);
    EXPECT_FALSE(rows.row(1).unread);

    controller->acMarkAsReadExecute(); // all read already: nothing changes, still "Gotowe."
    EXPECT_EQ(sbStatus->panelText(0), "Gotowe.");
    select({});
    controller->acMarkAsReadExecute();
    EXPECT_EQ(sbStatus->panelText(0), "Gotowe.");
}

TEST_F(ItemCommandsTest, InTheArchiveViewEachChangedRowIsStoredOnceAndAFailureKeepsItsMark)
{
    fill(Three, HeaderListModel::RowSource::Archive);
    source.failing = QStringLiteral("{G2}");
    select({0, 1, 2});
    controller->acMarkAsReadExecute();
    EXPECT_EQ(source.stored, QStringList{"{G0}=0"}); // row 1 was read already
    EXPECT_TRUE(rows.row(2).unread);           // its record could not change: neither does the list
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_TRUE(boxes.shown[0].text.contains("database is locked"));
}

TEST_F(ItemCommandsTest, LinksGoToTheClipboardTheBrowserAndTheMailProgram)
{
    fill({{"Żółć & gęś? #1", "", "", "http://k.pl/a?x=1&y=2", false},
          {"Zły", "", "", "javascript:alert(1)", false},
          {"Plik", "", "", "file:///etc/passwd", false}});
    select({rowOfTitle("Żółć & gęś? #1")});
    controller->acCopyLinkExecute();
    EXPECT_EQ(QApplication::clipboard()->text(), "http://k.pl/a?x=1&y=2");
    controller->acOpenLinkExecute();
    controller->acSendAsMailExecute();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl("http://k.pl/a?x=1&y=2"));
    const QUrlQuery mail(opened[1]);
    EXPECT_EQ(opened[1].scheme(), "mailto");
    EXPECT_EQ(mail.queryItemValue("subject", QUrl::FullyDecoded), QString::fromUtf8("Żółć & gęś? #1"));
    EXPECT_EQ(mail.queryItemValue("body", QUrl::FullyDecoded), "http://k.pl/a?x=1&y=2");

    for (int r : {rowOfTitle("Zły"), rowOfTitle("Plik")}) {
        select({r});
        controller->acOpenLinkExecute();
    }
    EXPECT_EQ(opened.size(), 2); // neither a script nor a file is handed on
}

// Links as channels write them: what a browser would percent-encode is encoded, not refused.
TEST_F(ItemCommandsTest, LinksABrowserWouldOpenAreEncodedNotRefused)
{
    fill({{"Znaki", "", "", " http://k.pl/a b|c^{d}%zz?q=1 2 ", false},
          {"Poczta", "", "", "mailto:redakcja@k.pl", false}});
    for (const char *title : {"Znaki", "Poczta"}) {
        select({rowOfTitle(title)});
        controller->acOpenLinkExecute();
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0].toEncoded(), "http://k.pl/a%20b%7Cc%5E%7Bd%7D%25zz?q=1%202");
    EXPECT_EQ(opened[1], QUrl("mailto:redakcja@k.pl"));
}

TEST_F(ItemCommandsTest, ALinkThatDoesNotOpenIsToldToTheUser)
{
    fill({{"Bez przeglądarki", "", "", "http://k.pl/a", false},
          {"Zły", "", "", "javascript:alert(1)", false},
          {"Pusty", "", "", "", false}});
    // A desktop without a web browser: the open fails.
    controller->setDesktopOpener([this](const QUrl &url) {
        opened << url;
        return false;
    });
    select({rowOfTitle("Bez przeglądarki")});
    controller->acOpenLinkExecute();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_TRUE(boxes.shown[0].text.contains("http://k.pl/a")) << boxes.shown[0].text.toStdString();
    for (const char *title : {"Zły", "Pusty"}) {
        select({rowOfTitle(title)});
        controller->acOpenLinkExecute();
    }
    EXPECT_EQ(opened.size(), 1); // neither is handed on, and neither passes in silence
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[1].kind, "information");
    EXPECT_EQ(boxes.shown[2].kind, "information");

    // Nor does a mail without a mail program.
    select({rowOfTitle("Bez przeglądarki")});
    controller->acSendAsMailExecute();
    EXPECT_EQ(opened.size(), 2);
    ASSERT_EQ(boxes.shown.size(), 4);
    EXPECT_EQ(boxes.shown[3].kind, "error");
    EXPECT_EQ(boxes.shown[3].caption, "Błąd:");
    EXPECT_TRUE(boxes.shown[3].text.contains("program pocztowy")) << boxes.shown[3].text.toStdString();
}

TEST_F(ItemCommandsTest, ExportWritesTheSelectedItemBesideTheWorkingSheet)
{
    fill(Three);
    ASSERT_TRUE(writeAll(folder.itemStyleSheet(), "<xsl/>"));
    const QString chosen = dir.filePath("eksport/wiadomość");
    QDir().mkpath(dir.filePath("eksport"));
    controller->setExportNameAsker([&] { return chosen; });
    select({rowOfTitle("Beta")});
    controller->acSaveToFileExecute();
    const QByteArray out = readAll(chosen + ".xml");
    EXPECT_TRUE(out.contains("Beta"));
    EXPECT_FALSE(out.contains("Alfa"));
    EXPECT_EQ(readAll(chosen + ".xml.xsl"), "<xsl/>");
    EXPECT_EQ(sbStatus->panelText(0), QStringLiteral("Gotowe. Wiadomość zapisana w pliku ") +
                                          QDir::toNativeSeparators(chosen + ".xml") + ".")
        << "the export says what it did";

    controller->setExportNameAsker([&] { return dir.filePath("brak/folderu/x"); });
    controller->acSaveToFileExecute();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].caption, "Błąd:");

    controller->setExportNameAsker([] { return QString(); }); // cancelled: nothing happens
    controller->acSaveToFileExecute();
    EXPECT_EQ(boxes.shown.size(), 1);
}

// Nothing the user has is written over without a question: "wynik" in the dialog is
// wynik.xml, which the dialog asks about, and the style sheet beside is asked about too.
TEST_F(ItemCommandsTest, ExportAsksBeforeReplacingTheFileOrItsStyleSheet)
{
    fill(Three);
    ASSERT_TRUE(writeAll(folder.itemStyleSheet(), "<xsl/>"));
    const QString existing = dir.filePath("wynik.xml");
    ASSERT_TRUE(writeAll(existing, "moje"));

    // The dialog itself: typing the bare name brings its question, answered No.
    QFileDialog *dialog = controller->sdExportXML();
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("xml"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->setDirectory(dir.path());
    bool asked = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(QMessageBox::No) ? box->button(QMessageBox::No)->click() : box->reject();
            return;
        }
        if (!dialog->isVisible())
            return;
        if (asked) {
            dialog->reject();
            return;
        }
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))) {
            name->setText(QStringLiteral("wynik"));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        }
    });
    driver.start();
    QTimer::singleShot(20000, dialog, &QFileDialog::reject); // never hangs the run
    select({rowOfTitle("Beta")});
    controller->acSaveToFileExecute();
    driver.stop();
    EXPECT_TRUE(asked);
    EXPECT_EQ(readAll(existing), "moje");

    // A name the export extends, and the style sheet beside: asked here, No writes nothing.
    const QString sheet = dir.filePath("inny.txt.xml.xsl");
    ASSERT_TRUE(writeAll(dir.filePath("inny.txt.xml"), "moje"));
    ASSERT_TRUE(writeAll(sheet, "mój arkusz"));
    controller->setExportNameAsker([&] { return dir.filePath("inny.txt"); });
    boxes.answers = {false};
    controller->acSaveToFileExecute();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].kind, "question");
    EXPECT_TRUE(boxes.shown[0].text.contains("inny.txt.xml")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(readAll(dir.filePath("inny.txt.xml")), "moje");
    boxes.answers = {true, false};
    controller->acSaveToFileExecute();
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_TRUE(boxes.shown[2].text.contains("inny.txt.xml.xsl")) << boxes.shown[2].text.toStdString();
    EXPECT_EQ(readAll(dir.filePath("inny.txt.xml")), "moje");
    EXPECT_EQ(readAll(sheet), "mój arkusz");
    boxes.answers = {true, true};
    controller->acSaveToFileExecute();
    EXPECT_TRUE(readAll(dir.filePath("inny.txt.xml")).contains("Beta"));
    EXPECT_EQ(readAll(sheet), "<xsl/>");
}

TEST_F(ItemCommandsTest, FindSelectsEveryMatchInTheChosenFieldWhateverTheCase)
{
    fill({{"Żółw na drodze", "Anna", "&lt;p&gt;o &lt;b&gt;żółwiach&lt;/b&gt;&lt;/p&gt;", "http://a", false},
          {"Kot", "ANNA Nowak", "nic", "http://b", false},
          {"ŻÓŁW wraca", "Piotr", "opis", "http://c", false},
          {"Pies", "Ewa", "b", "http://d", false},
          {"Zajawka", "Ewa", "Mówił &amp;#8222;tak&amp;#8221; [&amp;#8230;]", "http://e", false}});
    QLineEdit *edWhat = find->findChild<QLineEdit *>("edWhat");
    auto run = [&](const char *field, const char *text) {
        edWhat->setText(QString::fromUtf8(text));
        find->findChild<QRadioButton *>(field)->setChecked(true);
        QTimer::singleShot(0, find, [&] { find->accept(); });
        controller->acFindExecute();
    };
    run("cbTit", "żółw");
    EXPECT_EQ(selected(), rowsOf({"Żółw na drodze", "ŻÓŁW wraca"}));
    run("cbAut", "anna");
    EXPECT_EQ(selected(), rowsOf({"Kot", "Żółw na drodze"}));
    run("cbDesc", "ŻÓŁWIACH");
    EXPECT_EQ(selected(), std::vector<int>{rowOfTitle("Żółw na drodze")});
    run("cbDesc", "„tak” […]"); // references are the characters they stand for
    EXPECT_EQ(selected(), std::vector<int>{rowOfTitle("Zajawka")});
    run("cbDesc", "b"); // markup is not text
    EXPECT_EQ(selected(), std::vector<int>{rowOfTitle("Pies")});

    EXPECT_TRUE(boxes.shown.isEmpty());
    run("cbTit", "słoń");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].caption, "Informacja:");
    EXPECT_EQ(selected(), std::vector<int>{rowOfTitle("Pies")}); // the list stays as it was

    QSignalSpy archiveFind(controller, &ItemCommandsController::archiveFindRequested);
    find->findChild<QCheckBox *>("cbArch")->setChecked(true);
    run("cbAut", "x");
    ASSERT_EQ(archiveFind.count(), 1);
    EXPECT_EQ(archiveFind[0][0].toInt(), int(TfmFindFrm::Field::Author));
    EXPECT_EQ(archiveFind[0][1].toString(), "x");
}

TEST_F(ItemCommandsTest, TheFindDialogClosesWithOkOnEnterAndCancelOnEscapeAndChangesNothing)
{
    fill(Three);
    select({1});
    QLineEdit *edWhat = find->findChild<QLineEdit *>("edWhat");
    edWhat->setText("Alfa");
    find->findChild<QRadioButton *>("cbTit")->setChecked(true);
    EXPECT_EQ(find->windowTitle(), "Wyszukaj:");
    EXPECT_EQ(find->findChild<QRadioButton *>("cbDesc")->text(), "w polu \"&Opis\"");

    QTimer::singleShot(0, find, [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(edWhat, &esc);
    });
    controller->acFindExecute();
    EXPECT_EQ(find->result(), QDialog::Rejected);
    EXPECT_EQ(selected(), std::vector<int>{1});
    EXPECT_EQ(edWhat->text(), "Alfa"); // kept for the next opening

    QTimer::singleShot(0, find, [&] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(edWhat, &enter);
    });
    controller->acFindExecute();
    EXPECT_EQ(find->result(), QDialog::Accepted);
    EXPECT_EQ(selected(), std::vector<int>{rowOfTitle("Alfa")});
}

// However the dialog was left, it opens again with the text field ready for typing.
TEST_F(ItemCommandsTest, TheFindDialogReopensWithTheFocusInItsTextField)
{
    fill(Three);
    QLineEdit *edWhat = find->findChild<QLineEdit *>("edWhat");
    QWidget *cbArch = find->findChild<QCheckBox *>("cbArch");
    edWhat->setText("Alfa");
    QWidget *focusAtOpening = nullptr;
    QTimer::singleShot(0, find, [&] {
        cbArch->setFocus(); // the user moves on to the archive box, then cancels
        find->reject();
    });
    controller->acFindExecute();
    QTimer::singleShot(0, find, [&] {
        focusAtOpening = find->focusWidget();
        find->reject();
    });
    controller->acFindExecute();
    EXPECT_EQ(focusAtOpening, edWhat);
    EXPECT_EQ(edWhat->selectedText(), "Alfa") << "the last text, ready to be typed over";
}

TEST_F(ItemCommandsTest, EnabledStatesFollowTheSelection)
{
    QAction read, unread, link, all;
    ItemCommandsController::Actions a;
    a.acMarkAsRead = &read;
    a.acMarkAsUnread = &unread;
    a.acCopyLink = &link;
    a.acSelectAll = &all;
    ItemCommandsController c({lvHeaders, nullptr, sbStatus, find, &window}, a, onShow, folder, boxes, nullptr);
    ActionFacts f;
    c.updateActions(f);
    EXPECT_FALSE(read.isEnabled());
    EXPECT_FALSE(all.isEnabled());
    f.headerSelection = 2;
    f.headerRows = 5;
    c.updateActions(f);
    EXPECT_TRUE(unread.isEnabled());
    EXPECT_FALSE(link.isEnabled());
    EXPECT_TRUE(all.isEnabled());
    f.headerSelection = 1;
    c.updateActions(f);
    EXPECT_TRUE(link.isEnabled());
}

} // namespace
