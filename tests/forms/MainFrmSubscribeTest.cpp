// The main window opens the new channel wizard and the channel properties dialog, as the
// program makes them, and deletes a channel on the Del key.

#include "MainFrmFixture.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "catalogue/forms/SelectedNode.h"
#include "feed/forms/NewChanellUnit.h"
#include "reading/HeaderListModel.h"
#include "reading/forms/UnreadCountDelegate.h"
#include "support/LoopbackServer.h"
#include "support/SmallFileSystem.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <optional>

namespace mainfrm_test {
namespace {

class MainFrmSubscribeTest : public MainFrmFixture
{
protected:
    Windows &createWithDialogs()
    {
        Windows &w = createAll();
        wizard = new TfmNewChannelFrm(w.main->newChannelEnv(), w.main.get());
        properties = new TfmEditChannelFrm(w.main.get());
        w.main->attachWindows({w.report, w.config, w.about, wizard, properties});
        return w;
    }
    // Chooses `file` in the file dialog the next action opens.
    void chooseInFileDialog(const QString &file)
    {
        QTimer::singleShot(0, [file] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->setOption(QFileDialog::DontUseNativeDialog);
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept();
        });
    }
    static QAction *opmlAction(TfmMainFrm &window, const QString &verb)
    {
        for (QAction *action : window.findChildren<QAction *>())
            if (action->text().contains(QStringLiteral("OPML")) && action->text().contains(verb))
                return action;
        ADD_FAILURE() << "no OPML action " << qPrintable(verb);
        return nullptr;
    }
    // Opens the wizard by its command, types `address` on its address page and subscribes;
    // returns once the wizard has closed and the window has done what follows.
    void subscribeByAddress(TfmMainFrm &main, const QString &address)
    {
        QTimer::singleShot(0, wizard, [this, address] {
            wizard->findChild<QTabWidget *>(QStringLiteral("pgMain"))
                ->setCurrentIndex(TfmNewChannelFrm::PageEnterName);
            wizard->findChild<QLineEdit *>(QStringLiteral("edURL"))->setText(address);
            wizard->findChild<QPushButton *>(QStringLiteral("btNext"))->click();
        });
        main.findChild<QAction *>(QStringLiteral("acChannelsAdd"))->trigger();
    }
    ChannelNode *addChannel(TfmMainFrm &main, ChannelNode *parent, const QString &name,
                            const QString &url)
    {
        ChannelNode *node = main.channelTree()->addNode(parent, name, NodeKind::Channel);
        node->channel()->url = url;
        node->channel()->GUID = QStringLiteral("{11111111-2222-4333-8444-555555555555}");
        return node;
    }
    static QTreeView *tree(TfmMainFrm &main)
    {
        return main.findChild<QTreeView *>(QStringLiteral("tvChannels"));
    }
    static QString shownText(TfmMainFrm &main, ChannelNode *node)
    {
        QTreeView *view = tree(main);
        return static_cast<UnreadCountDelegate *>(view->itemDelegate())
            ->displayText(main.channelTree()->indexOf(node));
    }

    TfmNewChannelFrm *wizard = nullptr;
    TfmEditChannelFrm *properties = nullptr;
    LoopbackServer m_server;
};

QByteArray feed(const char *title, int items)
{
    QByteArray doc = QByteArray("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>") +
                     title + "</title><link>http://site.test/</link>";
    for (int i = 1; i <= items; ++i)
        doc += "<item><title>Wiadomość " + QByteArray::number(i) + "</title></item>";
    return doc + "</channel></rss>";
}

// After a failed subscription and its error box, the keys go to the main window again.
TEST_F(MainFrmSubscribeTest, AfterAFailedSubscriptionTheKeysAreInTheMainWindow)
{
    m_server.setHandler([](const LoopbackRequest &) { return LoopbackReply::http("404 Not Found", "no"); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createWithDialogs();
    showWindow(*w.main);
    m_boxes.shown.clear(); // the first start's offer of the wizard
    w.main->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return w.main->isActiveWindow(); }));
    // The box is real, as the user sees it, and goes as the user's Enter makes it go.
    m_boxes.alsoShow = [](QWidget *parent) {
        QMessageBox box(QMessageBox::Critical, MessageCaptions::Error, QStringLiteral("x"),
                        QMessageBox::Ok, parent);
        WhenTrue(&box, [&box] { return box.isActiveWindow(); }, [&box](bool) { box.accept(); });
        box.exec();
    };
    subscribeByAddress(*w.main, m_server.url(QStringLiteral("/missing.xml")));
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown[0].kind, QStringLiteral("error"));
    EXPECT_FALSE(wizard->isVisible());
    ASSERT_TRUE(WaitForQueuedEvents(3));
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no window has the keys";
    EXPECT_EQ(focus->window(), w.main.get());
    EXPECT_EQ(w.main->channelTree()->count(), 1);
}

// A channel the tree has already, under another spelling of its address, is not probed or
// added again: the wizard says where it is and, asked to, the tree shows it.
TEST_F(MainFrmSubscribeTest, AChannelSubscribedAlreadyIsShownInsteadOfAddedTwice)
{
    m_server.setHandler([](const LoopbackRequest &) { return LoopbackReply::http("200 OK", feed("Kraj", 1)); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createWithDialogs();
    showWindow(*w.main);
    m_boxes.shown.clear(); // the first start's offer of the wizard
    ChannelTree *channels = w.main->channelTree();
    ChannelNode *group = channels->addNode(channels->root(), QString::fromUtf8("Wiadomości"), NodeKind::Group);
    ChannelNode *known = addChannel(*w.main, group, QStringLiteral("Kraj"),
                                    m_server.url(QStringLiteral("/kraj.xml")));
    tree(*w.main)->collapseAll();
    const int nodes = channels->count();

    m_boxes.answers = {false};
    const QString again = m_server.url(QStringLiteral("/kraj.xml/")).replace(QStringLiteral("http://"), QStringLiteral("HTTP://"));
    QString typedAfter;
    bool openAfter = false;
    QTimer::singleShot(0, wizard, [&] {
        wizard->findChild<QTabWidget *>(QStringLiteral("pgMain"))->setCurrentIndex(TfmNewChannelFrm::PageEnterName);
        wizard->findChild<QLineEdit *>(QStringLiteral("edURL"))->setText(again);
        wizard->findChild<QPushButton *>(QStringLiteral("btNext"))->click();
        // Declined: the wizard stays for the address meant instead.
        openAfter = wizard->isVisible();
        typedAfter = wizard->findChild<QLineEdit *>(QStringLiteral("edURL"))->text();
        wizard->reject();
    });
    w.main->findChild<QAction *>(QStringLiteral("acChannelsAdd"))->trigger();
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown[0].kind, QStringLiteral("question"));
    EXPECT_EQ(m_boxes.shown[0].text,
              QString::fromUtf8("Kanał Kraj jest już na liście kanałów, w grupie Moje kanały > "
                                "Wiadomości.\nCzy chcesz go pokazać?"));
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(typedAfter, again);
    EXPECT_NE(SelectedNode(tree(*w.main), *channels), known);

    m_boxes.answers = {true};
    subscribeByAddress(*w.main, again);
    EXPECT_EQ(m_boxes.shown.size(), 2);
    EXPECT_FALSE(wizard->isVisible());
    EXPECT_EQ(SelectedNode(tree(*w.main), *channels), known);
    EXPECT_TRUE(tree(*w.main)->isExpanded(channels->indexOf(group)));
    EXPECT_EQ(channels->count(), nodes);
    EXPECT_EQ(m_server.requestCount(), 1) << "the known channel was fetched to be shown, not probed";
}

// Once subscribed, the new channel is selected, fetched and shown, and its count is drawn.
TEST_F(MainFrmSubscribeTest, ANewChannelIsSelectedFetchedAndShownAtOnce)
{
    m_server.setHandler([](const LoopbackRequest &) { return LoopbackReply::http("200 OK", feed("Nowy", 2)); });
    ASSERT_TRUE(m_server.start());
    Windows &w = createWithDialogs();
    showWindow(*w.main);
    m_boxes.shown.clear(); // the first start's offer of the wizard
    subscribeByAddress(*w.main, m_server.url(QStringLiteral("/nowy.xml")));
    ChannelTree *channels = w.main->channelTree();
    ASSERT_EQ(channels->count(), 2);
    ChannelNode *added = channels->root()->child(0);
    EXPECT_EQ(SelectedNode(tree(*w.main), *channels), added);
    EXPECT_EQ(m_server.requestCount(), 2) << "the probe, then the channel's first update";
    EXPECT_EQ(w.main->headerRows().rowCount(), 2);
    EXPECT_EQ(shownText(*w.main, added), QStringLiteral("Nowy (2)"));
    EXPECT_TRUE(m_boxes.shown.isEmpty());
}

// The second click of a double click must not start renaming the channel whose properties
// the double click opens.
TEST_F(MainFrmSubscribeTest, ADoubleClickOpeningThePropertiesLeavesNoEditorOpen)
{
    Windows &w = createWithDialogs();
    showWindow(*w.main);
    m_boxes.shown.clear(); // the first start's offer of the wizard
    ChannelTree *channels = w.main->channelTree();
    ChannelNode *node = addChannel(*w.main, channels->root(), QStringLiteral("Kanał"),
                                   QStringLiteral("http://x.test/rss"));
    // Fetched before: a click shows its rows from the cache file.
    writeFile(w.main->userFolder().cacheFile(node->channel()->GUID), feed("Kanał", 1));
    QTreeView *view = tree(*w.main);
    view->expandAll();
    view->setCurrentIndex(channels->indexOf(node));
    w.main->UpdateActions();
    int opened = 0;
    QObject::connect(properties, &QDialog::finished, properties, [&] { ++opened; });
    // The user reads the properties for longer than a double click lasts.
    std::optional<QDeadlineTimer> reading;
    WhenTrue(
        properties,
        [&] {
            if (properties->isVisible() && !reading)
                reading.emplace(3 * QApplication::doubleClickInterval());
            return reading && reading->hasExpired();
        },
        [&](bool) { properties->reject(); });
    const QPoint at = view->visualRect(channels->indexOf(node)).center();
    // As a mouse sends it: a click on the selected node, then the second press as a double
    // click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QMouseEvent press(QEvent::MouseButtonPress, at, view->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &press);
    QMouseEvent twice(QEvent::MouseButtonDblClick, at, view->viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(view->viewport(), &twice);
    QMouseEvent release(QEvent::MouseButtonRelease, at, view->viewport()->mapToGlobal(at),
                        Qt::LeftButton, {}, {});
    QApplication::sendEvent(view->viewport(), &release);
    ASSERT_EQ(opened, 1);
    // A click's rename waits for the double-click time: past it, no editor has opened.
    const auto editorOpen = [&] { return view->indexWidget(channels->indexOf(node)) != nullptr; };
    EXPECT_FALSE(WaitUntil(editorOpen, 3 * QApplication::doubleClickInterval()));
    EXPECT_EQ(node->text(), QStringLiteral("Kanał"));

    // A single click on the selected node still renames it.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at + QPoint(0, 0));
    EXPECT_TRUE(WaitUntil(editorOpen));
}

TEST_F(MainFrmSubscribeTest, AddOpensTheWizardAndEditOpensTheChannelsProperties)
{
    Windows &w = createWithDialogs();
    bool wizardShown = false;
    QTimer::singleShot(0, wizard, [&] {
        wizardShown = wizard->isVisible();
        wizard->reject();
    });
    w.main->findChild<QAction *>(QStringLiteral("acChannelsAdd"))->trigger();
    EXPECT_TRUE(wizardShown);

    ChannelTree *tree = w.main->channelTree();
    ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
    node->channel()->url = QStringLiteral("http://x.test/rss");
    auto *view = w.main->findChild<QTreeView *>(QStringLiteral("tvChannels"));
    view->setCurrentIndex(tree->indexOf(node));
    w.main->UpdateActions();
    QAction *edit = w.main->findChild<QAction *>(QStringLiteral("acChannelsEditChanel"));
    ASSERT_TRUE(edit->isEnabled());
    QTimer::singleShot(0, properties, [&] {
        properties->findChild<QLineEdit *>(QStringLiteral("edName"))->setText(QStringLiteral("Nowa"));
        properties->accept();
    });
    edit->trigger();
    EXPECT_EQ(node->text(), "Nowa");

    m_boxes.answers = {true};
    w.main->findChild<QAction *>(QStringLiteral("acRemoveTreeItem"))->trigger();
    EXPECT_EQ(m_boxes.count(QStringLiteral("question"), QString::fromUtf8("Czy chcesz usunąć kanał Nowa?")), 1);
    EXPECT_EQ(tree->count(), 1);
}

// A channel's own interval, chosen in its properties, sets the runs' timer going at the
// greatest period that serves it and the settings alike, and comes back with the tree file.
TEST_F(MainFrmSubscribeTest, AChannelsOwnIntervalInItsPropertiesDrivesTheTimerAndIsKept)
{
    Windows &w = createWithDialogs();
    w.config->cbUpdates->setChecked(true);
    w.config->seInterval->setValue(60);
    w.config->btOK->click();
    QTimer *timer = w.main->tmUpdates();
    ASSERT_EQ(timer->interval(), 60 * 60000);

    ChannelTree *tree = w.main->channelTree();
    ChannelNode *node = tree->addNode(tree->root(), QStringLiteral("Kanał"), NodeKind::Channel);
    node->channel()->url = QStringLiteral("http://x.test/rss");
    w.main->findChild<QTreeView *>(QStringLiteral("tvChannels"))->setCurrentIndex(tree->indexOf(node));
    w.main->UpdateActions();
    QAction *edit = w.main->findChild<QAction *>(QStringLiteral("acChannelsEditChanel"));
    QString shown;
    QTimer::singleShot(0, properties, [&] {
        auto *interval = properties->findChild<QSpinBox *>(QStringLiteral("seChannelInterval"));
        shown = interval->text();
        interval->setFocus();
        interval->selectAll();
        QTest::keyClicks(interval, QStringLiteral("45"));
        properties->findChild<QPushButton *>(QStringLiteral("btOK"))->click();
    });
    edit->trigger();
    EXPECT_EQ(shown, TfmEditChannelFrm::AsInSettings);
    EXPECT_EQ(node->channel()->interval, 45);
    EXPECT_EQ(timer->interval(), 15 * 60000) << "60 and 45 minutes meet every 15";
    EXPECT_TRUE(timer->isActive());
    ASSERT_TRUE(WaitUntil([&] {
        return treeFileText(w.main->userFolder().treeFile()).contains("<interval>45</interval>");
    }));

    m_windows.clear();
    auto again = create();
    const QList<ChannelNode *> channels = again->channelTree()->channelsInPreOrder();
    ASSERT_EQ(channels.size(), 1);
    EXPECT_EQ(channels.first()->channel()->interval, 45);
    EXPECT_EQ(again->tmUpdates()->interval(), 15 * 60000);

    // Back to the settings' interval: the timer follows the settings alone again.
    channels.first()->channel()->interval = 0;
    again->channelTree()->noteRecordChanged(channels.first());
    EXPECT_EQ(again->tmUpdates()->interval(), 60 * 60000);
}

// The export asks where to write and gives a name typed without an extension ".opml".
TEST_F(MainFrmSubscribeTest, TheOpmlExportAddsTheExtensionToANameWithoutOne)
{
    Windows &w = createAll();
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());
    QAction *exportOpml = opmlAction(*w.main, QStringLiteral("Eksport"));
    ASSERT_NE(exportOpml, nullptr);
    QTimer::singleShot(0, w.main.get(), [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setDirectory(target.path());
        dialog->selectFile(target.filePath(QStringLiteral("kanaly")));
        static_cast<QDialog *>(dialog)->accept(); // as the Save button does
    });
    exportOpml->trigger();
    EXPECT_TRUE(QFileInfo::exists(target.filePath(QStringLiteral("kanaly.opml"))));
    EXPECT_FALSE(QFileInfo::exists(target.filePath(QStringLiteral("kanaly"))));
}

// The import's count comes once the new channels are in the tree file; when the file cannot
// be written the write error is said instead, and the file keeps what it held.
TEST_F(MainFrmSubscribeTest, TheOpmlImportSaysItsCountOnlyOnceTheTreeFileHoldsIt)
{
    Windows &w = createAll();
    ASSERT_FALSE(w.main->startupFailed());
    QAction *importOpml = opmlAction(*w.main, QStringLiteral("Import"));
    ASSERT_NE(importOpml, nullptr);
    const QString treeFile = w.main->userFolder().treeFile();
    const QString opml = m_root.filePath(QStringLiteral("in.opml"));
    writeFile(opml, "<opml version=\"1.0\"><body><outline text=\"Nowy\" "
                    "xmlUrl=\"http://nowy.test/rss\"/></body></opml>");

    const QString added = QString::fromUtf8("Dodano kanałów: 1, grup: 0.");
    chooseInFileDialog(opml);
    importOpml->trigger();
    // Said while the change is still to be written would be too early: no event has run since.
    ASSERT_EQ(m_boxes.count(QStringLiteral("information"), added), 1);
    EXPECT_TRUE(treeFileText(treeFile).contains(QStringLiteral("http://nowy.test/rss")));

    writeFile(opml, "<opml version=\"1.0\"><body><outline text=\"Drugi\" "
                    "xmlUrl=\"http://drugi.test/rss\"/></body></opml>");
    // The data folder turns read-only: a disk of its own over it, holding the tree file.
    const QByteArray before = readAll(treeFile);
    SmallFileSystem disk(w.main->userFolder().dataFolder());
    if (!disk.mounted())
        GTEST_SKIP() << "needs root to mount a small file system";
    writeFile(treeFile, before);
    ASSERT_TRUE(disk.makeReadOnly());
    m_boxes.shown.clear();
    chooseInFileDialog(opml);
    importOpml->trigger();
    EXPECT_EQ(m_boxes.count(QStringLiteral("information"), added), 0);
    ASSERT_FALSE(m_boxes.shown.isEmpty());
    EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("error"));
    EXPECT_TRUE(m_boxes.shown.first().text.contains(treeFile)) << qPrintable(m_boxes.shown.first().text);
    ASSERT_TRUE(WaitForQueuedEvents());
    EXPECT_EQ(m_boxes.shown.size(), 1) << "one message, not the import's and the tree's own";
    EXPECT_EQ(readAll(treeFile), before);
}

// An address handed to the program (its command line, a second start) opens the wizard on its
// address page with it, once; an address arriving while the wizard is open changes nothing.
TEST_F(MainFrmSubscribeTest, AnAddressHandedOverOpensTheWizardOnItsAddressPage)
{
    Windows &w = createWithDialogs();
    w.main->hide();
    QString typed;
    int page = -1;
    QTimer::singleShot(0, wizard, [&] {
        typed = wizard->findChild<QLineEdit *>(QStringLiteral("edURL"))->text();
        page = wizard->findChild<QTabWidget *>(QStringLiteral("pgMain"))->currentIndex();
        w.main->subscribeTo(QStringLiteral("http://inny.example.org/"));
        wizard->reject();
    });
    w.main->subscribeTo(QStringLiteral("http://example.org/rss?a=1&b=2"));
    EXPECT_TRUE(w.main->isVisible()) << "out of the tray";
    EXPECT_EQ(typed, QStringLiteral("http://example.org/rss?a=1&b=2"));
    EXPECT_EQ(page, int(TfmNewChannelFrm::PageEnterName));

    QTimer::singleShot(0, wizard, [&] {
        typed = wizard->findChild<QLineEdit *>(QStringLiteral("edURL"))->text();
        wizard->reject();
    });
    w.main->findChild<QAction *>(QStringLiteral("acChannelsAdd"))->trigger();
    EXPECT_EQ(typed, QStringLiteral("http://")) << "the handed address is used once";
}

} // namespace
} // namespace mainfrm_test
