#include "MainFrmFixture.h"
#include "SignalWait.h"
#include "app/WindowPlacement.h"
#include "base/LiveSettings.h"
#include "kit/WebBrowser.h"
#include "app/forms/AboutFrmUnit.h"
#include "kit/ActionFacts.h"
#include "app/forms/KolvaniApplication.h"
#include "app/forms/ConfigUnit.h"
#include "kit/ImageIndex.h"
#include "app/forms/MainFrmUnit.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "kit/WebBrowser.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "reading/HeaderListModel.h"
#include "reading/forms/ItemViewController.h"
#include "support/ProgramRun.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QTabBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <stdexcept>

namespace {

using namespace mainfrm_test;

TEST_F(MainFrmFixture, FirstStartCopiesShippedFoldersAndSecondCopiesNothing)
{
    {
        auto w = create();
        ASSERT_FALSE(w->startupFailed());
        EXPECT_EQ(w->appFolder(), appFolder());
        EXPECT_TRUE(QFileInfo(appFolder() + "data/tvChannels.xml").isFile());
        EXPECT_TRUE(QFileInfo(appFolder() + "data/rss2.xsl").isFile());
        EXPECT_TRUE(QFileInfo(appFolder() + "data/sub/nested.txt").isFile());
        EXPECT_TRUE(QFileInfo(appFolder() + "temp").isDir());
        EXPECT_EQ(w->channelTree()->count(), 1);
        EXPECT_EQ(w->channelTree()->root()->text(), QStringLiteral("Moje kanały"));
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Kolvani"));
    }
    ASSERT_TRUE(QFile::remove(appFolder() + "data/rss2.xsl"));
    auto again = create();
    ASSERT_FALSE(again->startupFailed());
    EXPECT_FALSE(QFileInfo::exists(appFolder() + "data/rss2.xsl"));
}

TEST_F(MainFrmFixture, WithoutDataHomeTheExecutableFolderIsUsed)
{
    // A data home that cannot exist: a plain file stands where its parent should be.
    writeFile(m_root.path() + QStringLiteral("/plain-file"), "x");
    qputenv("XDG_DATA_HOME", (m_root.path() + QStringLiteral("/plain-file/share")).toUtf8());
    auto w = create();
    ASSERT_FALSE(w->startupFailed());
    EXPECT_EQ(w->appFolder(), m_exeDir);
    EXPECT_FALSE(QFileInfo::exists(m_exeDir + QStringLiteral("Kolvani")));
}

TEST_F(MainFrmFixture, HiddenStartShowsNothingAndAskesNothing)
{
    auto w = create(true);
    ASSERT_TRUE(WaitForQueuedEvents(2)); // what the start queued had its moment
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(m_boxes.count(QStringLiteral("question"), NoChannelQuestion), 0);
    // The first click on the tray icon shows the window and runs the first show.
    w->ctTrayIconClick();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(WaitUntil([&] { return m_boxes.count(QStringLiteral("question"), NoChannelQuestion) == 1; }));
    EXPECT_EQ(m_boxes.count(QStringLiteral("question"), NoChannelQuestion), 1);
}

// The size the user gave the report window comes back at the next start.
TEST_F(MainFrmFixture, TheReportWindowKeepsItsSizeBetweenRuns)
{
    {
        Windows &w = createAll();
        showWindow(*w.main);
        w.report->show();
        w.report->resize(640, 360);
        ASSERT_TRUE(WaitUntil([&] { return w.report->size() == QSize(640, 360); }));
        w.main->FormCloseQuery(); // the saving of "&Koniec pracy"
    }
    m_windows.clear();
    Windows &w = createAll();
    EXPECT_EQ(w.report->size(), QSize(640, 360));
}

TEST_F(MainFrmFixture, PlacementIsRestoredAtFirstShowAndAHiddenRunLeavesItAlone)
{
    auto storedValues = [] {
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        store->beginGroup(WindowPlacementGroup);
        return QStringList{store->value(QStringLiteral("NormPos")).toString(),
                           store->value(QStringLiteral("pcLeftPanel_Width")).toString(),
                           store->value(QStringLiteral("pnTop_Height")).toString()};
    };
    {
        std::unique_ptr<QSettings> store = OpenWindowPlacementStore();
        store->remove(WindowPlacementGroup);
        WindowPlacement p;
        p.valid = true;
        // As wide as the offscreen screen of 800 x 600 leaves room for, with the frame.
        p.normalRect = QRect(4, 20, 792, 520);
        p.leftPanelWidth = 300;
        p.topPanelHeight = 150;
        WriteWindowPlacement(*store, p);
    }
    const QStringList before = storedValues();
    ASSERT_EQ(before, (QStringList{QStringLiteral("4,20,796,540"), QStringLiteral("300"),
                                   QStringLiteral("150")}));

    // Started in the tray and ended from its menu without ever being shown: the window was
    // never laid out, so the user's stored placement stays as it was.
    {
        auto hidden = create(true);
        ASSERT_TRUE(WaitForQueuedEvents(2));
        hidden->FormCloseQuery(); // the saving of "&Koniec pracy"
    }
    EXPECT_EQ(storedValues(), before);

    // Shown, the window takes the stored placement, and closing stores what it shows.
    {
        auto w = create();
        showWindow(*w);
        EXPECT_TRUE(WaitUntil([&] { return w->geometry().size() == QSize(792, 520); }));
        EXPECT_EQ(w->geometry().size(), QSize(792, 520));
        EXPECT_EQ(child<QTabWidget>(w, "pcLeftPanel")->width(), 300);
        EXPECT_EQ(child<QWidget>(w, "pnTop")->height(), 150);
        child<QSplitter>(w, "spLeft")
            ->setSizes({260, child<QSplitter>(w, "spLeft")->width() - 260});
        ASSERT_TRUE(WaitForQueuedEvents());
        w->FormCloseQuery();
    }
    EXPECT_EQ(storedValues().at(1), QStringLiteral("260"));
}

TEST_F(MainFrmFixture, FirstShowOffersTheWizardOnlyForAnEmptyTree)
{
    {
        auto w = create();
        showWindow(*w);
        EXPECT_TRUE(WaitUntil([&] { return m_boxes.count(QStringLiteral("question"), NoChannelQuestion) == 1; }));
        ASSERT_EQ(m_boxes.count(QStringLiteral("question"), NoChannelQuestion), 1);
        EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Kolvani"));
        // Hiding and showing again does not run the first show once more.
        w->hide();
        w->show();
        ASSERT_TRUE(WaitForQueuedEvents(2)); // a second showing had its moment
        EXPECT_EQ(m_boxes.count(QStringLiteral("question"), NoChannelQuestion), 1);

        ChannelNode *group = w->channelTree()->addNode(w->channelTree()->root(),
                                                       QStringLiteral("Grupa"), NodeKind::Group);
        w->channelTree()->addNode(group, QStringLiteral("Kanał A"), NodeKind::Channel);
        w->FormCloseQuery();
    }
    m_boxes.shown.clear();
    auto w = create();
    showWindow(*w);
    EXPECT_EQ(m_boxes.count(QStringLiteral("question"), NoChannelQuestion), 0);
    // The first channel is selected and the root is open.
    const QModelIndex current = child<QTreeView>(w, "tvChannels")->currentIndex();
    ASSERT_TRUE(current.isValid());
    EXPECT_EQ(w->channelTree()->nodeFromIndex(current)->text(), QStringLiteral("Kanał A"));
    EXPECT_TRUE(child<QTreeView>(w, "tvChannels")
                    ->isExpanded(w->channelTree()->indexOf(w->channelTree()->root())));
}

TEST_F(MainFrmFixture, ClosingToTheTraySavesSettingsAndTree)
{
    Windows &w = createAll();
    w.config->cbCloseAction->setChecked(true);
    w.report->cbDontShow->setChecked(true);
    w.main->channelTree()->addNode(w.main->channelTree()->root(), QStringLiteral("Nowy kanał"),
                                   NodeKind::Channel);
    w.main->headerRows().setSortState(2, true);
    showWindow(*w.main);
    m_boxes.shown.clear();

    EXPECT_FALSE(w.main->close());
    EXPECT_FALSE(w.main->isVisible());
    EXPECT_TRUE(m_boxes.shown.isEmpty());

    const QByteArray ini = readAll(appFolder() + "data/config.ini");
    EXPECT_TRUE(ini.contains("fmMainState=0")) << ini.constData();
    EXPECT_TRUE(ini.contains("cbDontShow=1")) << ini.constData();
    EXPECT_TRUE(ini.contains("bDescendingSort=1")) << ini.constData();
    EXPECT_TRUE(ini.contains("nColumnToSort=2")) << ini.constData();
    const QString tree = treeFileText(appFolder() + "data/tvChannels.xml");
    EXPECT_TRUE(tree.contains(QStringLiteral("<name>Nowy kanał</name>"))) << tree.toStdString();
    EXPECT_TRUE(tree.endsWith(QStringLiteral("</tree>\r\n")));
}

TEST_F(MainFrmFixture, WithoutASystemTrayClosingMinimisesInstead)
{
    MainFrmOptions options;
    options.executableDir = m_exeDir;
    options.messageBoxes = &m_boxes;
    options.showTrayIcon = false;
    options.trayAvailable = false;
    TfmMainFrm w(options);
    showWindow(w);
    m_boxes.shown.clear();
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.isMinimized());
    EXPECT_TRUE(m_boxes.shown.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(appFolder() + "data/config.ini"));
}

TEST_F(MainFrmFixture, ClosingWithTheQuestionSavesFirstAndEndsOnlyOnYes)
{
    Windows &w = createAll();
    w.config->cbCloseAction->setChecked(false);
    w.main->channelTree()->addNode(w.main->channelTree()->root(), QStringLiteral("Kanał B"),
                                   NodeKind::Channel);
    w.main->headerRows().setSortState(1, false);
    showWindow(*w.main);
    m_boxes.shown.clear();
    w.main->tmUpdates()->start(60000);

    m_boxes.answers = {false};
    EXPECT_FALSE(w.main->close());
    EXPECT_TRUE(w.main->isVisible());
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown.first().text, ExitQuestion);
    EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Pytanie:"));
    // No: the window stays, but everything has been written already.
    EXPECT_TRUE(readAll(appFolder() + "data/config.ini").contains("nColumnToSort=1"));
    EXPECT_TRUE(
        treeFileText(appFolder() + "data/tvChannels.xml").contains(QStringLiteral("Kanał B")));
    EXPECT_FALSE(w.main->cancelRequested());
    EXPECT_TRUE(w.main->tmUpdates()->isActive());

    m_boxes.answers = {true};
    EXPECT_TRUE(w.main->close());
    EXPECT_FALSE(w.main->isVisible());
    EXPECT_TRUE(w.main->cancelRequested());
    EXPECT_FALSE(w.main->tmUpdates()->isActive());
    EXPECT_EQ(w.main->tmUpdates()->interval(), 0);
}

TEST_F(MainFrmFixture, BrokenOrMissingTreeFileIsReplacedByTheDefaultAndTheProgramEnds)
{
    {
        create();
    } // first start makes the folder
    const QString treePath = appFolder() + "data/tvChannels.xml";
    const QByteArray shippedDefault = readAll(appFolder() + "data/tvChannels_e.xml");
    ASSERT_FALSE(shippedDefault.isEmpty());

    const QByteArray damaged = "<tree><treenodes><node><name>x</name></treen";
    writeFile(treePath, damaged);
    m_boxes.shown.clear();
    // The user's file stays beside under a dated name, which the message gives.
    const QString kept =
        treePath + ".damaged-" + QDate::currentDate().toString(Qt::ISODate);
    {
        auto w = create();
        EXPECT_TRUE(w->startupFailed());
        ASSERT_EQ(m_boxes.shown.size(), 1);
        EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("error"));
        EXPECT_EQ(m_boxes.shown.first().text,
                  TreeBroken + QStringLiteral(" Uszkodzony plik zachowano jako %1.").arg(kept));
        EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Błąd:"));
        // Nothing is written on the way out of a failed start.
        w->close();
    }
    EXPECT_EQ(readAll(treePath), shippedDefault);
    EXPECT_EQ(readAll(kept), damaged);
    // A second damaged file the same day takes the next name; the first copy stays.
    writeFile(treePath, "<tree>");
    m_boxes.shown.clear();
    create();
    EXPECT_EQ(readAll(kept + "-2"), "<tree>");
    EXPECT_EQ(readAll(kept), damaged);
    EXPECT_EQ(readAll(treePath), shippedDefault);

    ASSERT_TRUE(QFile::remove(treePath));
    m_boxes.shown.clear();
    {
        auto w = create();
        EXPECT_TRUE(w->startupFailed());
        EXPECT_EQ(m_boxes.count(QStringLiteral("error"), TreeBroken), 1);
    }
    EXPECT_EQ(readAll(treePath), shippedDefault);
    auto fine = create();
    EXPECT_FALSE(fine->startupFailed());
}

TEST_F(MainFrmFixture, ShippedTreeFilesHoldTheRootAlone)
{
    const QString text =
        QStringLiteral("<?xml version=\"1.0\"?>\r\n<tree>\r\n<treenodes name=\"tvChannels\">\r\n"
                       "<node>\r\n  <name>Moje kanały</name>\r\n  <type>0</type>\r\n</node>\r\n\r\n"
                       "</treenodes>\r\n</tree>\r\n");
    QByteArray bytes("\xff\xfe");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    EXPECT_EQ(readAll(QStringLiteral(KV_SOURCE_DIR "/data/tvChannels.xml")), bytes);
    // The same bytes as the program writes for a tree of the root alone.
    ChannelTree rootOnly;
    EXPECT_EQ(ChannelTreeFileBytes(rootOnly), bytes);
    EXPECT_EQ(readAll(QStringLiteral(KV_SOURCE_DIR "/data/tvChannels_e.xml")), bytes);
}

TEST_F(MainFrmFixture, SettingsReadAtStart)
{
    {
        create();
    }
    writeFile(appFolder() + "data/config.ini",
              "[config]\r\ncbUpdates=1\r\nseInterval=30\r\nbDescendingSort=1\r\nnColumnToSort=1\r\n"
              "cbRemoteContent=0\r\n"
              "[Channels]\r\nChannelsListURL=http://127.0.0.1/lista.xml\r\n");
    auto w = create();
    EXPECT_FALSE(child<WebBrowser>(w, "wbContent")->remoteContentAllowed());
    // The bar over the item waits until an item's remote content is held back.
    EXPECT_TRUE(child<QWidget>(w, "pnRemoteContent")->isHidden());
    w->liveSettings().set([&] {
        AppSettings s = w->liveSettings().values();
        s.remoteContent = true;
        return s;
    }());
    EXPECT_TRUE(child<WebBrowser>(w, "wbContent")->remoteContentAllowed());
    EXPECT_EQ(w->tmUpdates()->interval(), 1800000);
    EXPECT_TRUE(w->tmUpdates()->isActive());
    EXPECT_TRUE(w->headerRows().sortDescending());
    EXPECT_EQ(w->headerRows().sortColumn(), 1);
    EXPECT_EQ(w->channelsListUrl, QStringLiteral("http://127.0.0.1/lista.xml"));
    QAbstractItemModel *headers = child<QTreeView>(w, "lvHeaders")->model();
    for (int c = 0; c < headers->columnCount(); ++c) {
        const bool hasImage =
            !headers->headerData(c, Qt::Horizontal, Qt::DecorationRole).value<QIcon>().isNull();
        EXPECT_EQ(hasImage, c == 1) << c;
    }

    // An interval typed far above the spin edit's maximum is stored as typed; the timer
    // must still run, at its longest period, instead of wrapping around and stopping.
    writeFile(appFolder() + "data/config.ini", "[config]\r\ncbUpdates=1\r\nseInterval=50000\r\n");
    auto longInterval = create();
    EXPECT_TRUE(longInterval->tmUpdates()->isActive());
    EXPECT_EQ(longInterval->tmUpdates()->interval(), std::numeric_limits<int>::max());

    writeFile(appFolder() + "data/config.ini", "[config]\r\ncbUpdates=0\r\nseInterval=30\r\n");
    auto off = create();
    EXPECT_TRUE(child<WebBrowser>(off, "wbContent")->remoteContentAllowed())
        << "a settings file from before the choice keeps pictures on";
    EXPECT_FALSE(off->tmUpdates()->isActive());
    EXPECT_EQ(off->tmUpdates()->interval(), 0);
    EXPECT_FALSE(off->headerRows().sortDescending());
    EXPECT_EQ(off->headerRows().sortColumn(), 0);
}

// How many connections an object's signal has; QObject keeps the count to its subclasses.
struct SignalReceivers : QObject
{
    static int of(const QObject *object, const char *signal)
    {
        return (object->*(&SignalReceivers::receivers))(signal);
    }
};

// Every action can be seen, does something, and has keys of its own; every menu entry too.
// The menus show the actions' captions.
TEST_F(MainFrmFixture, EveryActionHasACaptionAHandlerAndKeysOfItsOwn)
{
    auto w = create();
    const QList<QAction *> actions = w->alMainFrmActions();
    EXPECT_EQ(actions.size(), 22);
    for (QAction *action : actions) {
        SCOPED_TRACE(action->objectName().toStdString());
        EXPECT_TRUE(action->objectName().startsWith(QLatin1String("ac")));
        EXPECT_FALSE(action->text().isEmpty() && action->statusTip().isEmpty());
        EXPECT_GT(SignalReceivers::of(action, SIGNAL(triggered(bool))), 0) << "no handler";
        // Its keys work wherever the focus is in the window, not only in an open menu.
        EXPECT_TRUE(w->actions().contains(action));
    }
    for (const QMenu *menu : w->findChildren<QMenu *>())
        for (const QAction *entry : menu->actions())
            if (!entry->isSeparator() && !entry->menu()) {
                SCOPED_TRACE((menu->objectName() + ' ' + entry->text()).toStdString());
                EXPECT_FALSE(entry->text().isEmpty());
                EXPECT_GT(SignalReceivers::of(entry, SIGNAL(triggered(bool))), 0);
            }

    // Each key reaches one action: the window's keys, and those of a widget with the focus.
    QMap<QString, QString> windowKeys;
    for (const QAction *action : w->actions())
        if (!action->shortcut().isEmpty()) {
            const QString key = action->shortcut().toString();
            EXPECT_FALSE(windowKeys.contains(key)) << qPrintable(key);
            windowKeys.insert(key, action->objectName());
        }
    EXPECT_EQ(windowKeys, (QMap<QString, QString>{{"Ctrl+Shift+N", "acChannelsAdd"},
                                                  {"Ctrl+C", "acCopyToClipBoard"},
                                                  {"Ctrl+U", "acMarkAsUnread"},
                                                  {"Ctrl+Shift+A", "acAddToArchive"},
                                                  {"Ctrl+A", "acSelectAll"},
                                                  {"Ctrl+F", "acFind"},
                                                  {"Ctrl+E", "acSaveToFile"},
                                                  {"Ctrl+P", "acPrintHeader"},
                                                  {"Ctrl++", "acZoomIn"},
                                                  {"Ctrl+-", "acZoomOut"},
                                                  {"Ctrl+0", "acZoomReset"},
                                                  {"Ctrl+Shift+G", "acShowGroupItems"},
                                                  {"Ctrl+Shift+F", "acFindInChannels"},
                                                  {"Ctrl+N", "acNextUnread"},
                                                  {"Ctrl+B", "acPreviousUnread"},
                                                  {"Ctrl+R", "acMarkChannelRead"}}));
    for (const QWidget *widget : w->findChildren<QWidget *>()) {
        if (qobject_cast<const QMenu *>(widget))
            continue;
        QStringList keys;
        for (const QAction *action : widget->actions())
            if (!action->shortcut().isEmpty() && action->shortcutContext() == Qt::WidgetShortcut)
                keys << action->shortcut().toString();
        for (const QString &key : keys)
            EXPECT_TRUE(keys.count(key) == 1 && !windowKeys.contains(key))
                << qPrintable(widget->objectName() + ' ' + key);
    }

    auto texts = [](const QMenu *menu) {
        QStringList list;
        for (const QAction *a : menu->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    };
    EXPECT_EQ(texts(child<QMenu>(w, "mnTray")),
              (QStringList{QStringLiteral("Pokaż program"), QStringLiteral("Konfiguracja programu"),
                           QStringLiteral("-"), QStringLiteral("&Synchronizuj wszystkie"),
                           QStringLiteral("-"), QStringLiteral("&Koniec pracy")}));
    EXPECT_EQ(child<QMenu>(w, "mnTray")->defaultAction(), child<QAction>(w, "Pokazprogram1"));
    const QString sep = QStringLiteral("-");
    EXPECT_EQ(texts(child<QMenu>(w, "mnPlik")),
              (QStringList{QStringLiteral("Dodaj nowy &kanał"), QStringLiteral("&Dodaj nową grupę"),
                           QString::fromUtf8("Importuj kanały z pliku OPML..."),
                           QString::fromUtf8("Eksportuj kanały do pliku OPML..."),
                           QString::fromUtf8("Przywróć kopię…"), sep, QStringLiteral("Ek&sportuj wiadomość do pliku XML"),
                           QStringLiteral("&Drukuj"), sep, QStringLiteral("&Koniec pracy")}));
    EXPECT_EQ(
        texts(child<QMenu>(w, "mnNarzedzia")),
        (QStringList{QStringLiteral("&Synchronizuj wszystkie"),
                     QStringLiteral("&Synchronizuj kanał"), sep, QStringLiteral("&Edytuj kanał"),
                     sep, QStringLiteral("Pokaż wiadomości &grupy"),
                     QStringLiteral("Szukaj we &wszystkich kanałach..."), sep,
                     QStringLiteral("Nagłówek"), sep, QStringLiteral("&Konfiguracja")}));
    EXPECT_EQ(child<QMenu>(w, "mnNarzedzia")->actions().at(8)->menu(),
              child<QMenu>(w, "mnNaglowek"));
    EXPECT_EQ(
        texts(child<QMenu>(w, "mnNaglowek")),
        (QStringList{QStringLiteral("Oznacz jako przeczytane"),
                     QStringLiteral("Oznacz jako nieprzeczytane"),
                     QStringLiteral("Kopiuj link do schowka"), QStringLiteral("Wyślij pocztą")}));
    EXPECT_EQ(texts(child<QMenu>(w, "mnPomoc")),
              (QStringList{QStringLiteral("&O programie"), QStringLiteral("-"),
                           QStringLiteral("&Kolvani w Internecie")}));
    EXPECT_EQ(
        texts(child<QMenu>(w, "mnChannelsAdd")),
        (QStringList{QStringLiteral("Dodaj nowy &kanał"), QStringLiteral("&Dodaj nową grupę")}));
    EXPECT_EQ(texts(child<QMenu>(w, "mnChannels")),
              (QStringList{QStringLiteral("Dodaj nowy &kanał"), QStringLiteral("&Dodaj nową grupę"),
                           sep, QStringLiteral("&Edytuj kanał"), QStringLiteral("&Poleć znajomemu"),
                           sep, QStringLiteral("Pokaż wiadomości &grupy"), sep,
                           QStringLiteral("&Synchronizuj wszystkie"),
                           QStringLiteral("Oznacz kanał jako przeczytany"), sep,
                           QStringLiteral("&Zmień nazwę"), QStringLiteral("&Usuń")}));
    EXPECT_EQ(texts(child<QMenu>(w, "mnCzytanie")),
              (QStringList{QStringLiteral("Następna nieprzeczytana"),
                           QStringLiteral("Poprzednia nieprzeczytana"), sep,
                           QStringLiteral("Oznacz kanał jako przeczytany")}));
    EXPECT_EQ(
        texts(child<QMenu>(w, "mnHeaders")),
        (QStringList{QStringLiteral("Otwórz link w nowym oknie"), sep,
                     QStringLiteral("Oznacz jako przeczytane"),
                     QStringLiteral("Oznacz jako nieprzeczytane"), sep,
                     QStringLiteral("&Zaznacz wszystkie"), sep, QStringLiteral("&Drukuj"),
                     QStringLiteral("Ek&sportuj wiadomość do pliku XML"), sep,
                     QStringLiteral("Wyślij pocztą"), QStringLiteral("Kopiuj link do schowka"), sep,
                     QStringLiteral("&Dodaj do archiwum"), QStringLiteral("&Usuń z archiwum")}));
    EXPECT_EQ(child<QAction>(w, "Usun1")->text(), QStringLiteral("&Usuń"));
    EXPECT_EQ(child<QAction>(w, "Usun1")->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(child<QAction>(w, "Usunzarchiwum1")->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(child<QMenu>(w, "mnHeaders")->defaultAction(), child<QAction>(w, "acOpenLink"));
    QStringList bar;
    for (QAction *a : w->menuBar()->actions())
        bar << a->text();
    EXPECT_EQ(bar, (QStringList{QStringLiteral("&Plik"), QStringLiteral("&Narzędzia"),
                                QStringLiteral("&Widok"), QStringLiteral("&Czytanie"),
                                QStringLiteral("&Pomo&c")}));
}

TEST_F(MainFrmFixture, EnablingRulesFollowTheWindowState)
{
    auto w = create();
    w->UpdateActions();
    // Only the root: nothing to synchronise, the root cannot be removed.
    EXPECT_FALSE(child<QAction>(w, "acSyncAll")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acRemoveTreeItem")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acSyncSelected")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acSelectAll")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acFind")->isEnabled());

    // A channel of two items, read from its cache file when selected.
    ChannelNode *channel =
        w->channelTree()->addNode(w->channelTree()->root(), QStringLiteral("K"), NodeKind::Channel);
    channel->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
    writeFile(appFolder() + "data/" + channel->channel()->GUID + ".xml",
              "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>K</title>"
              "<item GUID=\"{I1}\"><title>a</title><link>http://example.org/a</link>"
              "<unread>1</unread></item><item GUID=\"{I2}\"><title>c</title>"
              "<link>http://example.org/c</link><unread>1</unread></item></channel></rss>");
    child<QTreeView>(w, "tvChannels")->setCurrentIndex(w->channelTree()->indexOf(channel));
    w->UpdateActions();
    EXPECT_TRUE(child<QAction>(w, "acSyncAll")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acRemoveTreeItem")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "Usun1")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acSyncSelected")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acChannelsEditChanel")->isEnabled());
    EXPECT_TRUE(child<QToolButton>(w, "spRefresh")->isEnabled());

    // (During a channel update: see MainFrmSyncTest.)
    ActionFacts running = w->actionFacts();
    running.syncAllRunning = true;
    w->applyActionFacts(running);
    EXPECT_FALSE(child<QAction>(w, "acSyncAll")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acRemoveTreeItem")->isEnabled());

    // Header rows: one selected enables the single-row commands; the archive buttons share
    // one place and at most one shows.
    QAbstractItemModel *model = child<QTreeView>(w, "lvHeaders")->model();
    ASSERT_EQ(model->rowCount(), 2);
    child<QTreeView>(w, "lvHeaders")->selectionModel()->clear();
    w->UpdateActions();
    EXPECT_TRUE(child<QAction>(w, "acSelectAll")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acMarkAsRead")->isEnabled());
    child<QTreeView>(w, "lvHeaders")->setCurrentIndex(model->index(0, 0));
    w->UpdateActions();
    EXPECT_TRUE(child<QAction>(w, "acOpenLink")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acAddToArchive")->isEnabled());
    EXPECT_FALSE(child<QAction>(w, "acArchiveDelete")->isEnabled());
    EXPECT_FALSE(child<QToolButton>(w, "sbArchiveDelete")->isVisibleTo(w.get()));
    EXPECT_TRUE(child<QToolButton>(w, "sbAddToArchive")->isVisibleTo(w.get()));
    child<QAction>(w, "acSelectAll")->trigger();
    w->UpdateActions();
    EXPECT_FALSE(child<QAction>(w, "acOpenLink")->isEnabled());
    EXPECT_TRUE(child<QAction>(w, "acMarkAsUnread")->isEnabled());
    // Both rows into the archive, then its tab: the list shows archive rows.
    child<QAction>(w, "acAddToArchive")->trigger();
    child<QTabWidget>(w, "pcLeftPanel")->setCurrentIndex(1);
    ASSERT_EQ(model->rowCount(), 2);
    child<QAction>(w, "acSelectAll")->trigger();
    w->UpdateActions();
    EXPECT_FALSE(child<QAction>(w, "acAddToArchive")->isEnabled());
    EXPECT_FALSE(child<QToolButton>(w, "sbAddToArchive")->isVisibleTo(w.get()));
    EXPECT_TRUE(child<QToolButton>(w, "sbArchiveDelete")->isVisibleTo(w.get()));
}

TEST_F(MainFrmFixture, StatusPanelsAndTheProgressBar)
{
    auto w = create();
    showWindow(*w);
    // Loading the tree ends with "Gotowe.".
    EXPECT_EQ(w->statusPanelText(0), QStringLiteral("Gotowe."));
    EXPECT_TRUE(w->statusPanelText(2).isEmpty());
    EXPECT_FALSE(child<QProgressBar>(w, "pbDownloadProgress")->isVisible());
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->parentWidget(),
              child<QStatusBar>(w, "sbStatus"));
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->minimum(), 1);
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->maximum(), 10001);

    // Wide enough for 60 % beside the whole notice, with its count of errors.
    w->resize(1100, 600);
    EXPECT_TRUE(WaitUntil([&] { return child<QWidget>(w, "sbStatusPanel0")->width() == 660; }));
    EXPECT_EQ(child<QWidget>(w, "sbStatusPanel0")->width(), 660);
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->x(), 660);
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->y(), 2);
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->height(),
              child<QStatusBar>(w, "sbStatus")->height() - 2);

    IDownloadUi &ui = *child<MainStatusBar>(w, "sbStatus");
    ui.setStatusText(QStringLiteral("Pobieranie dokumentu http://127.0.0.1/"));
    EXPECT_EQ(w->statusPanelText(0), QStringLiteral("Pobieranie dokumentu http://127.0.0.1/"));
    ui.progressBegin(5000);
    EXPECT_TRUE(child<QProgressBar>(w, "pbDownloadProgress")->isVisible());
    ui.progressWork(2500);
    EXPECT_EQ(child<QProgressBar>(w, "pbDownloadProgress")->value(), 2500);
    ui.progressEnd();
    EXPECT_FALSE(child<QProgressBar>(w, "pbDownloadProgress")->isVisible());

    // The banner's menu stays centred.
    EXPECT_EQ(child<QWidget>(w, "pnTopMenu")->x(),
              (child<QWidget>(w, "pnFiller")->width() - child<QWidget>(w, "pnTopMenu")->width()) /
                  2);
}

TEST_F(MainFrmFixture, DialogsAreCentredOnTheScreenNotOverTheMainWindow)
{
    Windows &w = createAll();
    const QRect screen = w.main->screen()->availableGeometry();
    w.main->setGeometry(QRect(screen.topLeft(), QSize(800, 480)));
    showWindow(*w.main);
    for (QDialog *dialog : {static_cast<QDialog *>(w.report), static_cast<QDialog *>(w.config),
                            static_cast<QDialog *>(w.about)}) {
        dialog->show();
        WaitUntil([&] { return (dialog->frameGeometry().center() - screen.center()).manhattanLength() <= 2; });
        const QPoint offset = dialog->frameGeometry().center() - screen.center();
        EXPECT_LE(offset.manhattanLength(), 2) << dialog->objectName().toStdString();
        dialog->hide();
    }
}

TEST_F(MainFrmFixture, ErrorLineSetsTheNoticeAndAClickOnTheStatusBarShowsTheReport)
{
    Windows &w = createAll();
    showWindow(*w.main);
    ASSERT_FALSE(w.report->isVisible());
    w.main->ReportProblem(QStringLiteral("Nie można pobrać nowych nagłówków z Kanał"));
    EXPECT_EQ(w.main->statusPanelText(2), QStringLiteral("Wystąpiły błędy (1). Kliknij..."));
    EXPECT_FALSE(w.report->isVisible());

    const QPoint at(5, child<QStatusBar>(w.main, "sbStatus")->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at,
                      child<QStatusBar>(w.main, "sbStatus")->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at,
                        child<QStatusBar>(w.main, "sbStatus")->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(child<QStatusBar>(w.main, "sbStatus"), &press);
    QCoreApplication::sendEvent(child<QStatusBar>(w.main, "sbStatus"), &release);
    EXPECT_TRUE(WaitUntil([&] { return w.report->isVisible(); }));
    EXPECT_TRUE(w.report->isVisible());
    EXPECT_FALSE(w.report->isModal());
    EXPECT_TRUE(w.main->statusPanelText(2).isEmpty());
    w.report->hide();
}

TEST_F(MainFrmFixture, AnExceptionInAHandlerIsShownAndTheProgramGoesOn)
{
    Windows &w = createAll();
    ASSERT_NE(qobject_cast<KolvaniApplication *>(QCoreApplication::instance()), nullptr);
    m_boxes.shown.clear();
    bool laterRan = false;
    QTimer::singleShot(0, w.main.get(), [] { throw std::runtime_error("zepsuty plik"); });
    QTimer::singleShot(0, w.main.get(), [&laterRan] { laterRan = true; });
    EXPECT_TRUE(WaitUntil([&laterRan] { return laterRan; }));
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("error"));
    EXPECT_EQ(
        m_boxes.shown.first().text,
        QStringLiteral("Wystąpił błąd wewnętrzny (zepsuty plik). Przepraszamy za utrudnienie."));
    EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Informacja:"));
    EXPECT_TRUE(w.main->cancelRequested());
}

// The active tab of the left panel looks different from the same tab inactive.
TEST_F(MainFrmFixture, TheActiveLeftTabLooksActive)
{
    auto w = create();
    w->show();
    auto *tabs = child<QTabWidget>(w, "pcLeftPanel");
    QTabBar *bar = tabs->tabBar();
    const auto tabPicture = [&](int tab) {
        return bar->grab(bar->tabRect(tab)).toImage().convertToFormat(QImage::Format_RGB32);
    };
    tabs->setCurrentIndex(0);
    const QImage firstActive = tabPicture(0);
    const QImage secondInactive = tabPicture(1);
    tabs->setCurrentIndex(1);
    EXPECT_NE(tabPicture(0), firstActive);
    EXPECT_NE(tabPicture(1), secondInactive);
}

TEST_F(MainFrmFixture, TabsAreNamedAndTheBrowserButtonsStartDisabled)
{
    auto w = create();
    EXPECT_EQ(child<QTabWidget>(w, "pcLeftPanel")->count(), 2);
    EXPECT_EQ(child<QTabWidget>(w, "pcLeftPanel")->tabText(0),
              QStringLiteral("Kanały informacyjne"));
    EXPECT_EQ(child<QTabWidget>(w, "pcLeftPanel")->tabText(1), QStringLiteral("Archiwum"));
    EXPECT_EQ(child<QLabel>(w, "lbName")->text(), QStringLiteral("Kanały informacyjne"));
    EXPECT_FALSE(child<QToolButton>(w, "spBack")->isEnabled());
    EXPECT_FALSE(child<QToolButton>(w, "spForward")->isEnabled());
    EXPECT_EQ(child<QWidget>(w, "pnBanner")->height(), 81);
    EXPECT_EQ(child<QWidget>(w, "pnTopMenu")->size(), QSize(314, 19));
    EXPECT_EQ(w->minimumSize(), QSize(800, 480));
    EXPECT_EQ(child<QToolButton>(w, "sbShowAllArchive")->text(),
              QStringLiteral("&Pokaż wszystkie nagłówki z archiwum"));
    EXPECT_EQ(child<QToolButton>(w, "sbShowAllArchive")->toolTip(),
              QStringLiteral("Pokazuje całą zawartość archiwum"));
    // At the smallest window size the long caption still shows whole in the narrow panel.
    w->show();
    child<QTabWidget>(w, "pcLeftPanel")->setCurrentWidget(child<QWidget>(w, "tsArchive"));
    WaitUntil([&] {
        return child<QToolButton>(w, "sbShowAllArchive")->width() >=
               child<QToolButton>(w, "sbShowAllArchive")->sizeHint().width();
    });
    EXPECT_GE(child<QToolButton>(w, "sbShowAllArchive")->width(),
              child<QToolButton>(w, "sbShowAllArchive")->sizeHint().width());
    QAbstractItemModel *headers = child<QTreeView>(w, "lvHeaders")->model();
    QStringList captions;
    for (int c = 0; c < headers->columnCount(); ++c)
        captions << headers->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{QStringLiteral("Tytuł:"), QStringLiteral("Data publikacji:"),
                                     QStringLiteral("Autor:"), QStringLiteral("ID"),
                                     QStringLiteral("GUID"), QStringLiteral("chGUID"),
                                     QStringLiteral("sVersion"), QStringLiteral("CHName")}));
    for (int c = 3; c < headers->columnCount(); ++c)
        EXPECT_TRUE(child<QTreeView>(w, "lvHeaders")->isColumnHidden(c)) << c;
    // The tree shows the group and channel pictures of the image list.
    EXPECT_EQ(
        w->channelTree()
            ->data(w->channelTree()->indexOf(w->channelTree()->root()), ChannelTree::ImageIndexRole)
            .toInt(),
        ImageGroup);
}

TEST_F(MainFrmFixture, BrowserButtonsAndTheMakerSiteRule)
{
    auto w = create();
    QString address =
        QStringLiteral("file://") + w->appFolder() + QStringLiteral("data/{A}.xml#{B}");
    bool cancel = false;
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_FALSE(child<QToolButton>(w, "spBack")->isEnabled());
    address = QStringLiteral("http://127.0.0.1/strona.html");
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(address, QStringLiteral("http://127.0.0.1/strona.html"));
    EXPECT_TRUE(child<QToolButton>(w, "spBack")->isEnabled());
    EXPECT_TRUE(child<QToolButton>(w, "spForward")->isEnabled());
    address = QStringLiteral("about:blank");
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    EXPECT_FALSE(child<QToolButton>(w, "spForward")->isEnabled());

    // A web page that has finished loading with nothing to go forward to leaves "Dalej" off.
    address = QStringLiteral("http://127.0.0.1/strona.html");
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    ASSERT_TRUE(child<QToolButton>(w, "spForward")->isEnabled());
    emit child<WebBrowser>(w, "wbContent")->DocumentComplete(address);
    EXPECT_FALSE(child<QToolButton>(w, "spForward")->isEnabled());
    EXPECT_TRUE(child<QToolButton>(w, "spBack")->isEnabled());

    // A page of the maker's site gets the selected channel's credentials only when the
    // channel is the maker's own.
    ChannelNode *node =
        w->channelTree()->addNode(w->channelTree()->root(), QStringLiteral("K"), NodeKind::Channel);
    node->channel()->username = QStringLiteral("jan");
    node->channel()->password = QStringLiteral("tajne");
    node->channel()->url = QStringLiteral("https://obcy.example/rss.xml");
    child<QTreeView>(w, "tvChannels")->setCurrentIndex(w->channelTree()->indexOf(node));
    address = QStringLiteral("https://kolvani.pl/konto");
    cancel = false;
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(address, QStringLiteral("https://kolvani.pl/konto"));
    node->channel()->url = QStringLiteral("https://kolvani.pl/kanaly/premium.xml");
    child<ItemViewController>(w, "ItemViewController")->wbContentBeforeNavigate2(address, cancel);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(address, QStringLiteral("https://kolvani.pl/konto?UserName=jan&Password=tajne"));

    // The status bar never shows an address that carries a password.
    child<ItemViewController>(w, "ItemViewController")
        ->wbContentStatusTextChange(QStringLiteral("https://kolvani.pl/?UserName=a&Password=b"));
    EXPECT_FALSE(w->statusPanelText(0).contains(QStringLiteral("Password")));
    child<ItemViewController>(w, "ItemViewController")
        ->wbContentStatusTextChange(QStringLiteral("http://127.0.0.1/"));
    EXPECT_EQ(w->statusPanelText(0), QStringLiteral("http://127.0.0.1/"));
}

// The real program: a second start with the same user ends at once while the first runs,
// and the first saves when the system asks it to end.
TEST(MainFrmProcess, SecondInstanceEndsQuicklyAndTheFirstSavesOnTermination)
{
    const QString program = QStringLiteral(KV_BINARY_DIR "/kolvani");
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "kolvani not built";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QDir().mkpath(home.path() + "/share");
    QDir().mkpath(home.path() + "/config");
    QProcessEnvironment env = windowProgramEnvironment(home.path());
    env.insert("XDG_DATA_HOME", home.path() + "/share");
    env.insert("XDG_CONFIG_HOME", home.path() + "/config");

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {QStringLiteral("hid")});
    ASSERT_TRUE(first.waitForStarted(10000));
    const QString config = home.path() + "/share/Kolvani/data/config.ini";
    const QString tree = home.path() + "/share/Kolvani/data/tvChannels.xml";
    // The first instance is up once its tree is written and it listens for a second start.
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo::exists(tree); }));
    ASSERT_TRUE(WaitUntil([&] {
        return !QDir(home.path() + "/runtime").entryList({QStringLiteral("*.sock")}, QDir::System).isEmpty();
    }));
    ASSERT_EQ(first.state(), QProcess::Running);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    QFile::remove(config);
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(readAll(config).contains("fmMainState="))
        << first.readAllStandardError().constData();
    EXPECT_TRUE(QFileInfo::exists(tree));
}

// The program's own pages open in the system's web browser; without one (as on the offscreen
// platform, which opens nothing) the user is told, not left with a click that did nothing.
TEST_F(MainFrmFixture, APageTheSystemCannotOpenIsToldToTheUser)
{
    auto w = create();
    m_boxes.shown.clear();
    w->KolvaniwInternecie1Click();
    ASSERT_EQ(m_boxes.shown.size(), 1);
    EXPECT_EQ(m_boxes.shown.first().kind, QStringLiteral("error"));
    EXPECT_TRUE(m_boxes.shown.first().text.contains(TfmMainFrm::HomePageUrl));
    EXPECT_EQ(m_boxes.shown.first().caption, QStringLiteral("Błąd:"));
}

} // namespace

TEST_F(MainFrmFixture, TheSettingsDialogsIntervalReArmsTheRunsTimerAtOk)
{
    Windows &w = createAll();
    QTimer *timer = w.main->tmUpdates();
    ASSERT_FALSE(timer->isActive());
    w.config->cbUpdates->setChecked(true);
    w.config->seInterval->setValue(45);
    w.config->btCancel->click();
    EXPECT_FALSE(timer->isActive()) << "Cancel leaves the timer alone";

    w.config->btOK->click();
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 45 * 60000);
    w.config->seInterval->setValue(50);
    w.config->btOK->click();
    EXPECT_EQ(timer->interval(), 50 * 60000);
    w.config->cbUpdates->setChecked(false);
    w.config->btOK->click();
    EXPECT_FALSE(timer->isActive());
}
