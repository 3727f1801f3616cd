// The header list on screen, offscreen: which channel it shows, its sort and its filter,
// against real cache files in a temporary per-user folder.
#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "feed/ReportSink.h"
#include "reading/HeaderListModel.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderListController.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QByteArray channelFile(const QStringList &titles, const QStringList &marks = {})
{
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
                       "<rss version=\"2.0\"><channel><title>K</title>";
    for (int i = 0; i < titles.size(); ++i)
        bytes += "<item GUID=\"{I" + QByteArray::number(i) + "}\"><title>" + titles[i].toUtf8() +
                 "</title><description>opis " + QByteArray::number(i) + "</description>"
                 "<pubDate>2024-01-0" + QByteArray::number(i % 9 + 1) + "</pubDate><unread>" +
                 (i < marks.size() ? marks[i] : QStringLiteral("1")).toUtf8() +
                 "</unread></item>";
    return bytes + "</channel></rss>";
}

struct Lines : IReportSink
{
    void ReportProblem(const QString &line) override { lines << line; }
    QStringList lines;
};

// Stands in for the archive: the rows it gave and when they left the list.
struct ArchiveRows : IItemSource
{
    XmlNode itemNode(const HeaderRow &) override { return {}; }
    bool setUnread(const HeaderRow &, bool) override { return false; }
    QString showItem(const HeaderRow &) override { return {}; }
    void exportItem(const HeaderRow &, const QString &) override {}
    void rowsLeft() override { ++left; }
    int left = 0;
};

class HeaderListControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = UserFolder(dir.path());
        QDir().mkpath(folder.dataFolder());
        QDir().mkpath(folder.tempFolder());
        group = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
        a = addChannel(group, QStringLiteral("Kanał A"), QStringLiteral("{AAAA}"));
        b = addChannel(group, QStringLiteral("Kanał B"), QStringLiteral("{BBBB}"));
        ASSERT_TRUE(writeAll(folder.cacheFile("{AAAA}"),
                             channelFile({"Zebra", "ala", "Mecz"}, {"1", "0", "1"})));
        ASSERT_TRUE(writeAll(folder.cacheFile("{BBBB}"), channelFile({"Pogoda", "Sport"})));

        auto *layout = new QVBoxLayout(&window);
        for (QWidget *w : std::initializer_list<QWidget *>{
                 tabs = new QTabWidget, tv = new QTreeView, lv = new QTreeView,
                 edit = new QLineEdit, button = new QPushButton, all = new QCheckBox,
                 name = new QLabel})
            layout->addWidget(w);
        tabs->addTab(new QWidget, QStringLiteral("Kanały informacyjne"));
        tabs->addTab(new QWidget, QStringLiteral("Archiwum wiadomości"));
        tv->setModel(&tree);
        lv->setSelectionMode(QAbstractItemView::ExtendedSelection);
        lv->setSelectionBehavior(QAbstractItemView::SelectRows);
        rows.setLocale(QLocale(QLocale::Polish, QLocale::Poland));
        controller = std::make_unique<HeaderListController>(
            HeaderListController::Widgets{tv, lv, edit, button, all, tabs, name}, tree, shown,
            onShow, counts, folder, report, QList<QIcon>(), nullptr);
        QObject::connect(tv->selectionModel(), &QItemSelectionModel::currentChanged,
                         controller.get(), &HeaderListController::tvChannelsChange);
        window.show();
    }

    ChannelNode *addChannel(ChannelNode *parent, const QString &text, const QString &guid)
    {
        ChannelNode *node = tree.addNode(parent, text, NodeKind::Channel);
        node->channel()->GUID = guid;
        return node;
    }

    QStringList titles() const
    {
        QStringList list;
        for (int r = 0; r < rows.rowCount(); ++r)
            list << rows.row(r).title;
        return list;
    }
    void select(ChannelNode *node) { tv->setCurrentIndex(tree.indexOf(node)); }

    QTemporaryDir dir;
    UserFolder folder;
    ChannelTree tree;
    ChannelNode *group = nullptr, *a = nullptr, *b = nullptr;
    ShownChannel shown;
    RowsOnShow onShow;
    HeaderListModel &rows = onShow.model();
    UnreadCounts counts;
    Lines report;
    ArchiveRows archive;
    QWidget window;
    QTabWidget *tabs = nullptr;
    QTreeView *tv = nullptr, *lv = nullptr;
    QLineEdit *edit = nullptr;
    QPushButton *button = nullptr;
    QCheckBox *all = nullptr;
    QLabel *name = nullptr;
    std::unique_ptr<HeaderListController> controller;
};

TEST_F(HeaderListControllerTest, SelectingAChannelFillsTheListAndSelectsItsFirstRow)
{
    QSignalSpy shownSpy(controller.get(), &HeaderListController::headersShown);
    QSignalSpy blank(controller.get(), &HeaderListController::navigateRequested);
    controller->firstShow();
    EXPECT_EQ(tv->currentIndex(), tree.indexOf(a)); // groups are passed over
    EXPECT_EQ(titles(), (QStringList{"ala", "Mecz", "Zebra"}));
    EXPECT_EQ(lv->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(lv->currentIndex().row(), 0);
    EXPECT_EQ(shownSpy.size(), 1);
    EXPECT_TRUE(blank.isEmpty());
    EXPECT_EQ(counts.count("{AAAA}"), 2);
    EXPECT_EQ(rows.row(0).chName, "Kanał A");
    EXPECT_EQ(shown.itemNode(rows.row(0).id).attribute("GUID"), rows.row(0).guid);

    // A group leaves the list as it is.
    select(group);
    EXPECT_EQ(titles().size(), 3);
    select(b);
    EXPECT_EQ(titles(), (QStringList{"Pogoda", "Sport"}));
    // The channel already on show is read again (here after an update replaced its file).
    shown.beginReplace(folder.cacheFile("{BBBB}"));
    ASSERT_TRUE(writeAll(folder.cacheFile("{BBBB}"), channelFile({"Nowa"})));
    shown.endReplace(folder.cacheFile("{BBBB}"));
    EXPECT_FALSE(shown.itemNode(0)) << "the nodes went with the old document";
    controller->tvChannelsChange();
    EXPECT_EQ(titles(), QStringList{"Nowa"});
    EXPECT_EQ(shownSpy.size(), 3);
    EXPECT_TRUE(report.lines.isEmpty());
}

TEST_F(HeaderListControllerTest, AChannelWithoutCacheFileIsFetchedFirst)
{
    ChannelNode *fresh = addChannel(group, QStringLiteral("Nowy"), QStringLiteral("{NEW}"));
    QObject::connect(controller.get(), &HeaderListController::syncRequested, controller.get(),
                     [&](ChannelNode *node, const QString &text) {
                         EXPECT_EQ(node, fresh);
                         EXPECT_EQ(text, "Nowy");
                         writeAll(folder.cacheFile("{NEW}"), channelFile({"Pobrana"}));
                         controller->channelUpdated(node);
                     });
    select(fresh);
    EXPECT_EQ(titles(), QStringList{"Pobrana"});
    EXPECT_EQ(lv->currentIndex().row(), 0);
}

TEST_F(HeaderListControllerTest, AnUpdateOfTheChannelOnShowKeepsTheRowBeingRead)
{
    select(b);
    const int sport = titles().indexOf("Sport");
    lv->selectionModel()->setCurrentIndex(lv->model()->index(sport, 0),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    // The update brings a new item and gives every item a new GUID.
    shown.beginReplace(folder.cacheFile("{BBBB}"));
    ASSERT_TRUE(writeAll(folder.cacheFile("{BBBB}"), channelFile({"Nowa", "Pogoda", "Sport"})));
    shown.endReplace(folder.cacheFile("{BBBB}"));
    controller->channelUpdated(b);
    ASSERT_EQ(titles().size(), 3);
    const QModelIndex current = lv->currentIndex();
    ASSERT_TRUE(current.isValid()) << "the item being read is shown again, not lost";
    const HeaderRow &row = rows.row(current.row());
    EXPECT_EQ(row.title, "Sport");
    EXPECT_TRUE(lv->selectionModel()->isRowSelected(current.row(), QModelIndex()));
    EXPECT_EQ(row.guid, "{I2}");
    EXPECT_EQ(shown.itemNode(row.id).attribute("GUID"), row.guid);

    // An item that left the channel leaves nothing selected.
    shown.beginReplace(folder.cacheFile("{BBBB}"));
    ASSERT_TRUE(writeAll(folder.cacheFile("{BBBB}"), channelFile({"Nowa", "Pogoda"})));
    shown.endReplace(folder.cacheFile("{BBBB}"));
    controller->channelUpdated(b);
    EXPECT_TRUE(lv->selectionModel()->selectedRows().isEmpty());
}

TEST_F(HeaderListControllerTest, MissingOrCorruptCacheFilesLeaveTheListEmpty)
{
    QSignalSpy navigate(controller.get(), &HeaderListController::navigateRequested);
    controller->ShowChannelHeaders(a, "Kanał A", false);
    ASSERT_EQ(titles().size(), 3);
    QFile::remove(folder.cacheFile("{BBBB}"));
    controller->ShowChannelHeaders(b, "Kanał B", false);
    EXPECT_TRUE(titles().isEmpty());
    ASSERT_EQ(navigate.size(), 1);
    EXPECT_EQ(navigate.at(0).at(0).toString(), "about:blank");

    ASSERT_TRUE(writeAll(folder.cacheFile("{BBBB}"), "<rss version=\"2.0\"><channel><item>"));
    controller->ShowChannelHeaders(b, "Kanał B", false);
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_EQ(report.lines, QStringList{"Zły format kanału Kanał B"});
    EXPECT_FALSE(button->isEnabled());
    // The corrupt file is left as it was.
    EXPECT_EQ(readAll(folder.cacheFile("{BBBB}")), "<rss version=\"2.0\"><channel><item>");
}

// The marks made in memory reach the file when another channel is shown; a leftover download
// copy of the channel goes.
TEST_F(HeaderListControllerTest, ShowingAnotherChannelWritesTheShownOneBack)
{
    controller->ShowChannelHeaders(a, "Kanał A", false);
    const int zebra = titles().indexOf("Zebra");
    shown.itemNode(rows.row(zebra).id).child("unread").setText("0");
    rows.setUnread(zebra, false);
    EXPECT_EQ(counts.count("{AAAA}"), 1);
    ASSERT_TRUE(writeAll(folder.downloadFile("{AAAA}"), "leftover"));
    controller->ShowChannelHeaders(b, "Kanał B", false);
    EXPECT_FALSE(QFile::exists(folder.downloadFile("{AAAA}")));
    const QByteArray saved = readAll(folder.cacheFile("{AAAA}"));
    EXPECT_EQ(saved.count("<unread>0</unread>"), 2) << saved.constData();
    // An item that lacked children has them in the file after its fill.
    ASSERT_TRUE(writeAll(folder.cacheFile("{AAAA}"),
                         "<rss version=\"2.0\"><channel><item><title>t</title></item></channel></rss>"));
    controller->ShowChannelHeaders(a, "Kanał A", false);
    EXPECT_TRUE(readAll(folder.cacheFile("{AAAA}")).contains("<unread/>"));
}

TEST_F(HeaderListControllerTest, FilterButtonNarrowsFromTheDocumentInMemory)
{
    controller->ShowChannelHeaders(a, "Kanał A", false);
    select(a);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "&Filtruj");
    edit->setText("MECZ");
    // A change in memory only: the refill reads the document, not the file.
    shown.itemNode(rows.row(titles().indexOf("ala")).id).child("title").setText("ala i mecz");
    controller->btFilterClick();
    EXPECT_TRUE(controller->filterOn());
    EXPECT_EQ(button->text(), "&Wyłącz filtr");
    EXPECT_FALSE(edit->isEnabled());
    EXPECT_EQ(titles(), (QStringList{"ala i mecz", "Mecz"}));
    // The keyword narrows the next channel too.
    select(b);
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_TRUE(button->isEnabled()) << "the filter is on";
    controller->btFilterClick();
    EXPECT_FALSE(controller->filterOn());
    EXPECT_TRUE(edit->text().isEmpty());
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_EQ(titles(), (QStringList{"Pogoda", "Sport"}));
}

TEST_F(HeaderListControllerTest, EnterSwitchesTheFilterOnlyWithRows)
{
    QFile::remove(folder.cacheFile("{AAAA}"));
    controller->ShowChannelHeaders(a, "Kanał A", false);
    EXPECT_FALSE(button->isEnabled());
    edit->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(edit, &enter);
    EXPECT_FALSE(controller->filterOn());
    EXPECT_FALSE(controller->edKeyWordKeyDown(Qt::Key_A));

    select(b);
    edit->setText("sport");
    QCoreApplication::sendEvent(edit, &enter);
    EXPECT_TRUE(controller->filterOn());
    EXPECT_EQ(titles(), QStringList{"Sport"});
}

TEST_F(HeaderListControllerTest, ColumnClicksSortAndKeepTheSelectedRow)
{
    select(a);
    lv->selectionModel()->setCurrentIndex(lv->model()->index(2, 0),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    controller->lvHeadersColumnClick(ColTitle);
    EXPECT_TRUE(rows.sortDescending());
    EXPECT_EQ(titles(), (QStringList{"Zebra", "Mecz", "ala"}));
    EXPECT_EQ(lv->currentIndex().row(), 0);
    EXPECT_EQ(lv->selectionModel()->selectedRows().value(0).row(), 0);
}

TEST_F(HeaderListControllerTest, TheArchiveOnShowIsClosedByAChannelAndRefilledByTheFilter)
{
    HeaderRow row;
    row.title = QStringLiteral("Zarchiwizowana");
    onShow.showArchive(archive, {row});
    QSignalSpy refill(controller.get(), &HeaderListController::archiveRefillRequested);
    all->show();
    controller->btFilterClick();
    EXPECT_EQ(refill.count(), 1);
    EXPECT_EQ(archive.left, 0);
    select(a);
    EXPECT_EQ(archive.left, 1);
    EXPECT_FALSE(onShow.archiveView());
    EXPECT_TRUE(all->isHidden());
    EXPECT_EQ(titles().size(), 3);
    controller->btFilterClick();
    EXPECT_EQ(refill.count(), 1);
}

TEST_F(HeaderListControllerTest, TheChannelTabSelectsAChannelWhenNoneIs)
{
    controller->pcLeftPanelChange(0);
    EXPECT_EQ(tv->currentIndex(), tree.indexOf(a));
    EXPECT_EQ(titles().size(), 3);
    EXPECT_EQ(name->text(), "Kanały informacyjne");
    EXPECT_TRUE(lv->hasFocus() || !QApplication::focusWindow());

    ChannelTree lone;
    QTreeView loneView;
    loneView.setModel(&lone);
    RowsOnShow loneRows;
    HeaderListController empty({&loneView, lv, edit, button, all, tabs, name}, lone, shown,
                               loneRows, counts, folder, report, QList<QIcon>(), nullptr);
    empty.SelectFirstChannel();
    EXPECT_FALSE(loneView.currentIndex().isValid());
}

} // namespace
