// The item view against real widgets: a header list, the browser, the buttons and the
// delayed-mark timer, with the shipped style sheets in a temporary per-user folder.

#include "base/UserFolder.h"
#include "kit/MainStatusBar.h"
#include "kit/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "feed/ReportSink.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemSource.h"
#include "reading/RowsOnShow.h"
#include "reading/ShownChannel.h"
#include "reading/forms/ItemViewController.h"
#include "PageAnswers.h"
#include "SignalWait.h"
#include "support/TestFiles.h"
#include "xml/XmlDocument.h"

#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <optional>

namespace {

const QString ChGuid = QStringLiteral("{C0C0C0C0-1111-2222-3333-444444444444}");
const QString Guid0 = QStringLiteral("{00000000-AAAA-BBBB-CCCC-000000000000}");
const QString Guid1 = QStringLiteral("{11111111-AAAA-BBBB-CCCC-111111111111}");

QByteArray cacheFile()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<?xml-stylesheet type=\"text/xsl\" href=\"rss_xslt.xsl\"?>\n"
           "<rss version=\"2.0\"><channel><title>Kanał</title><link>http://127.0.0.1:9/</link>"
           "<item GUID=\"" +
           Guid0.toLatin1() +
           "\"><title>Pierwsza wiadomość</title><description>&lt;p&gt;Treść "
           "pierwszej&lt;/p&gt;</description><unread>1</unread></item>"
           "<item GUID=\"" +
           Guid1.toLatin1() +
           "\"><title>Druga wiadomość</title><description>Treść drugiej</description>"
           "<unread>1</unread></item></channel></rss>\n";
}

// Answers every request with a small page.
class PageServer
{
public:
    PageServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
                    if (!s->readAll().contains("\r\n\r\n"))
                        return;
                    const QByteArray body = "<html><body>Strona serwisu</body></html>";
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                             "Content-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    s->disconnectFromHost();
                });
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/strona").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
};

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

struct Lines : IReportSink
{
    void ReportProblem(const QString &line) override { lines << line; }
    QStringList lines;
};

// Stands in for the archive: the one-item document it writes for a row, and the rows asked.
struct ArchiveItems : IItemSource
{
    explicit ArchiveItems(const UserFolder &folder) : folder(folder) {}
    XmlNode itemNode(const HeaderRow &) override { return {}; }
    bool setUnread(const HeaderRow &, bool) override { return false; }
    QString showItem(const HeaderRow &row) override
    {
        asked << row.id;
        writeAll(folder.archiveItemFile(),
                 "<?xml version=\"1.0\"?>\n<rdf:RDF "
                 "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                 "xmlns=\"http://purl.org/rss/1.0/\"><item GUID=\"" +
                     row.guid.toLatin1() + "\"><title>Z archiwum</title></item></rdf:RDF>\n");
        return folder.archiveItemFile();
    }
    void exportItem(const HeaderRow &, const QString &) override {}
    UserFolder folder;
    QList<int> asked;
};

class ItemViewControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_folder = UserFolder(m_dir.path());
        QDir().mkpath(m_folder.dataFolder());
        for (const QString &sheet : {ItemDisplay::Rss1Sheet, ItemDisplay::Rss2Sheet,
                                     ItemDisplay::ArchiveSheet})
            ASSERT_TRUE(QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/") + sheet,
                                    m_folder.dataFile(sheet)));
        ASSERT_TRUE(writeAll(m_folder.cacheFile(ChGuid), cacheFile()));
        m_shown.setFolder(m_folder);
        m_channelRows = m_shown.fillHeaders(ChGuid, QStringLiteral("Kanał"), QString(), false,
                                            m_folder, m_report).rows;
        ASSERT_EQ(m_channelRows.size(), 2u);
        m_rows.setSortState(0, true); // by title, descending: the rows in document order
        m_onShow.showChannel(m_shown, m_channelRows);

        m_channel = m_tree.addNode(m_tree.root(), QStringLiteral("Kanał"), NodeKind::Channel);
        m_tvChannels.setModel(&m_tree);
        m_lvHeaders.setModel(&m_rows);
        m_lvHeaders.setSelectionMode(QAbstractItemView::ExtendedSelection);
        m_lvHeaders.setSelectionBehavior(QAbstractItemView::SelectRows);

        m_window.resize(800, 600);
        m_browser = new WebBrowser(&m_window);
        m_browser->resize(800, 500);
        m_back = new QToolButton(&m_window);
        m_forward = new QToolButton(&m_window);
        m_status = new MainStatusBar(&m_window);
        m_window.show();
        m_view = std::make_unique<ItemViewController>(
            ItemViewController::Widgets{m_browser, m_back, m_forward, m_status, &m_tvChannels,
                                        &m_lvHeaders},
            m_tree, m_onShow, nullptr);
        QObject::connect(m_view.get(), &ItemViewController::delayedMarkDue, m_view.get(),
                         [this] { ++m_marksDue; });
    }
    void TearDown() override
    {
        m_view.reset();
    }

    void selectChannel()
    {
        m_tvChannels.selectionModel()->select(m_tree.indexOf(m_channel),
                                              QItemSelectionModel::ClearAndSelect);
    }

    // Selects rows first..last alone; true when the browser completed a page in time.
    bool selectRows(int first, int last, int timeoutMs = 20000)
    {
        SignalCounter done(m_browser, &WebBrowser::DocumentComplete);
        QItemSelection selection(m_rows.index(first, 0), m_rows.index(last, m_rows.columnCount() - 1));
        m_lvHeaders.selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        return done.wait(timeoutMs);
    }

    QString pageText() { return PagePlainText(m_browser->page()); }

    QString workingSheet() const
    {
        return ItemDisplay::DecodeSheetText(readAll(m_folder.itemStyleSheet()));
    }
    // The shipped sheet as the working sheet for `guid` reads back.
    QString shippedFor(const QString &sheet, const QString &guid) const
    {
        const QString text = ItemDisplay::DecodeSheetText(readAll(m_folder.dataFile(sheet)));
        return ItemDisplay::DecodeSheetText(
            ItemDisplay::EncodeWorkingSheet(ItemDisplay::SheetForItem(text, guid)));
    }

    QTemporaryDir m_dir;
    UserFolder m_folder;
    Lines m_report;
    ShownChannel m_shown;
    RowsOnShow m_onShow;
    HeaderListModel &m_rows = m_onShow.model();
    std::vector<HeaderRow> m_channelRows; // as the fill gave them
    ChannelTree m_tree;
    ChannelNode *m_channel = nullptr;
    QTreeView m_tvChannels;
    QTreeView m_lvHeaders;
    QWidget m_window;
    WebBrowser *m_browser = nullptr;
    QToolButton *m_back = nullptr, *m_forward = nullptr;
    MainStatusBar *m_status = nullptr;
    int m_marksDue = 0; // the delayed read mark asked for
    std::unique_ptr<ItemViewController> m_view;
};

TEST_F(ItemViewControllerTest, SelectedRowShowsItsItemOnceAndOnlyAChangeOfTheFirstRowShowsAnother)
{
    selectChannel();
    ASSERT_TRUE(selectRows(0, 0));
    EXPECT_TRUE(pageText().contains(QStringLiteral("Pierwsza wiadomość")));
    EXPECT_FALSE(pageText().contains(QStringLiteral("Druga wiadomość")));
    EXPECT_EQ(m_view->lastShownRow(), 0);
    EXPECT_EQ(m_view->currentLocation(),
              QStringLiteral("file://") + ItemDisplay::ChannelItemAddress(m_folder, ChGuid, Guid0));
    EXPECT_EQ(workingSheet(), shippedFor(ItemDisplay::Rss2Sheet, Guid0));
    EXPECT_FALSE(m_back->isEnabled());
    EXPECT_FALSE(m_forward->isEnabled());
    EXPECT_GE(m_marksDue, 1);

    // Extending the selection keeps the first row: nothing new is shown; nor does a change of
    // the shown row's text (a read mark) reload it.
    EXPECT_FALSE(selectRows(0, 1, 1500));
    SignalCounter done(m_browser, &WebBrowser::DocumentComplete);
    m_rows.setUnread(0, false);
    EXPECT_FALSE(done.wait(1000));

    ASSERT_TRUE(selectRows(1, 1));
    EXPECT_TRUE(pageText().contains(QStringLiteral("Druga wiadomość")));
    EXPECT_EQ(m_view->lastShownRow(), 1);
    EXPECT_EQ(workingSheet(), shippedFor(ItemDisplay::Rss2Sheet, Guid1));

    // A refill forgets the row shown: the same index shows again.
    m_lvHeaders.selectionModel()->clearSelection();
    m_view->forgetShownRow();
    EXPECT_TRUE(selectRows(1, 1));
}

TEST_F(ItemViewControllerTest, EveryChangeAsksForTheDelayedMark)
{
    m_view->lvHeadersChange();
    m_view->lvHeadersChange();
    EXPECT_EQ(m_marksDue, 2);
}

TEST_F(ItemViewControllerTest, SheetFollowsTheVersionAndTheArchiveOnShowShowsItsOwnDocument)
{
    std::vector<HeaderRow> rows = m_channelRows;
    rows[1].version = QStringLiteral("1.0");
    m_onShow.replaceRows(rows);
    selectRows(1, 1);
    EXPECT_EQ(workingSheet(), shippedFor(ItemDisplay::Rss1Sheet, Guid1));

    // The archive on show: its rows lead to its own one-item document.
    ArchiveItems archive(m_folder);
    m_view->forgetShownRow();
    m_onShow.showArchive(archive, m_channelRows);
    ASSERT_TRUE(selectRows(0, 0));
    EXPECT_EQ(archive.asked, QList<int>{0});
    EXPECT_TRUE(m_view->currentLocation().endsWith(QStringLiteral("/data/arch_item.xml")));
    EXPECT_TRUE(pageText().contains(QStringLiteral("Z archiwum")));
    EXPECT_FALSE(m_back->isEnabled());

    // Back in the channel view, the channel's item again.
    m_view->forgetShownRow();
    m_onShow.showChannel(m_shown, m_channelRows);
    ASSERT_TRUE(selectRows(1, 1));
    EXPECT_EQ(archive.asked, QList<int>{0});
    EXPECT_TRUE(pageText().contains(QStringLiteral("Druga wiadomość")));
}

TEST_F(ItemViewControllerTest, ItemThatCannotBeShownRecoversThroughTheListAndTheTree)
{
    int firstChannel = 0;
    QList<ChannelNode *> refills;
    QObject::connect(m_view.get(), &ItemViewController::firstChannelRequested,
                     [&] { ++firstChannel; });
    QObject::connect(m_view.get(), &ItemViewController::channelRefillRequested,
                     [&](ChannelNode *node) {
                         refills << node;
                         // A refill clears the list, which reports its own changes.
                         m_lvHeaders.selectionModel()->clearSelection();
                         m_view->forgetShownRow();
                     });

    // The shipped sheet is gone: a channel is selected, so its list is refilled.
    QFile::remove(m_folder.dataFile(ItemDisplay::Rss2Sheet));
    selectChannel();
    EXPECT_FALSE(selectRows(0, 0, 1000));
    EXPECT_EQ(refills, QList<ChannelNode *>{m_channel});
    EXPECT_EQ(firstChannel, 0);
    EXPECT_GE(m_marksDue, 1) << "also when the item could not be shown";

    // An ID that leads to no item, with no channel selected: the first channel is chosen.
    QFile::copy(QStringLiteral(KV_SOURCE_DIR "/data/rss2.xsl"),
                m_folder.dataFile(ItemDisplay::Rss2Sheet));
    m_tvChannels.selectionModel()->clearSelection();
    std::vector<HeaderRow> rows = m_channelRows;
    rows[1].id = 7;
    m_onShow.replaceRows(rows);
    EXPECT_FALSE(selectRows(1, 1, 1000));
    EXPECT_EQ(firstChannel, 1);
    EXPECT_EQ(refills.size(), 1);
    EXPECT_EQ(m_lvHeaders.currentIndex().row(), 1);
}

TEST_F(ItemViewControllerTest, BackAndForwardFollowTheAddressAndNewWindowOpensThePageShown)
{
    PageServer server;
    ASSERT_TRUE(selectRows(0, 0));
    int linkRequests = 0;
    QObject::connect(m_view.get(), &ItemViewController::openLinkRequested,
                     [&] { ++linkRequests; });
    // An item on show: the item's own link is what opens.
    m_view->acOpenInNewWindowExecute();
    EXPECT_EQ(linkRequests, 1);

    // A page reached from the item: both buttons on, and that page is what opens.
    SignalCounter done(m_browser, &WebBrowser::DocumentComplete);
    m_view->NavigateContent(server.url());
    ASSERT_TRUE(done.wait(20000));
    EXPECT_TRUE(m_back->isEnabled());
    EXPECT_TRUE(m_forward->isEnabled());
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    m_view->acOpenInNewWindowExecute();
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(catcher.urls, QList<QUrl>{QUrl(server.url())});
    EXPECT_EQ(linkRequests, 1);

    // A page that is no web page is never handed to the desktop.
    UrlCatcher other;
    QStringList unopened;
    QObject::connect(m_view.get(), &ItemViewController::linkNotOpened,
                     [&](const QString &address) { unopened << address; });
    for (const char *scheme : {"data", "file"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &other, "open");
    for (const char *page : {"data:text/html,<p>x</p>", "file:///etc/passwd"}) {
        m_view->wbContentDocumentComplete(QLatin1String(page));
        m_view->acOpenInNewWindowExecute();
    }
    for (const char *scheme : {"data", "file"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    EXPECT_TRUE(other.urls.isEmpty());
    EXPECT_EQ(unopened.size(), 2);
    EXPECT_EQ(linkRequests, 1);

    // Another item disables both again; so does an empty page.
    ASSERT_TRUE(selectRows(1, 1));
    EXPECT_FALSE(m_back->isEnabled());
    m_view->NavigateContent(server.url());
    ASSERT_TRUE(done.wait(20000));
    ASSERT_TRUE(m_back->isEnabled());
    m_view->NavigateContent(QStringLiteral("about:blank"));
    EXPECT_TRUE(done.wait(5000));
    EXPECT_FALSE(m_back->isEnabled());
    EXPECT_FALSE(m_forward->isEnabled());
}

} // namespace

#include "ItemViewControllerTest.moc"
