// Reading by keyboard in the real window: the next and the previous unread across channels,
// Space through the item, Enter and a double click on a row, the item view's ends, marking a
// channel or a group read, the focused list, and the reading menu.

#include "MainFrmFixture.h"
#include "PageAnswers.h"
#include "PreparedChannels.h"
#include "catalogue/ChannelTree.h"
#include "kit/FocusMark.h"
#include "kit/WebBrowser.h"
#include "reading/HeaderListModel.h"
#include "reading/forms/ReadingKeysController.h"
#include "reading/forms/UnreadCountDelegate.h"
#include "support/ShortWrite.h"
#include "support/SignalWait.h"
#include "sync/ReportLog.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

using namespace mainfrm_test;

class LinkCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

const QList<bool> AllRead{false, false};

class MainFrmKeysTest : public MainFrmFixture
{
protected:
    // The prepared channels in the window, shown and active, their counts read.
    Windows &start()
    {
        EXPECT_TRUE(prepared.write(m_exeDir + "data/"));
        Windows &w = createAll();
        showWindow(*w.main);
        w.main->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(w.main.get()));
        const QString last = prepared.tree.nodesInPreOrder().constLast()->text();
        EXPECT_TRUE(WaitUntil([&] { return !shownName(w, last).isEmpty(); }));
        // Counts arrive in batches; the last one ends the reading.
        EXPECT_TRUE(WaitForQueuedEvents(3));
        return w;
    }

    static QTreeView *tree(Windows &w) { return child<QTreeView>(w.main, "tvChannels"); }
    static QTreeView *headers(Windows &w) { return child<QTreeView>(w.main, "lvHeaders"); }
    static WebBrowser *browser(Windows &w) { return child<WebBrowser>(w.main, "wbContent"); }
    static ChannelNode *node(Windows &w, const QString &name)
    {
        for (ChannelNode *n : w.main->channelTree()->nodesInPreOrder())
            if (n->text() == name)
                return n;
        ADD_FAILURE() << name.toStdString();
        return nullptr;
    }
    // The name as the tree draws it, with its unread count.
    static QString shownName(Windows &w, const QString &name)
    {
        ChannelTree *channels = w.main->channelTree();
        ChannelNode *n = nullptr;
        for (ChannelNode *each : channels->nodesInPreOrder())
            if (each->text() == name)
                n = each;
        auto *delegate = dynamic_cast<UnreadCountDelegate *>(tree(w)->itemDelegate());
        return n && delegate ? delegate->displayText(channels->indexOf(n)) : QString();
    }
    static QString selectedChannel(Windows &w) { return tree(w)->currentIndex().data().toString(); }
    static QString currentTitle(Windows &w)
    {
        const QModelIndex current = headers(w)->currentIndex();
        return current.isValid() ? current.siblingAtColumn(0).data().toString() : QString();
    }
    // A key as the user presses it where the focus is; the delayed read mark is stopped at
    // once, so that only the keys decide what is read.
    static void press(Windows &w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : w.main.get(), Qt::Key(key), modifiers);
        w.main->tmMarkAsUnread()->stop();
    }
    static int scrollY(Windows &w)
    {
        return RunInApplicationWorld(browser(w)->page(), QStringLiteral("window.scrollY"), -1).toInt();
    }
    // The item whose link is `link` is on show, laid out.
    static bool itemShown(Windows &w, const QString &link)
    {
        return WaitUntil([&] {
            return RunInApplicationWorld(browser(w)->page(),
                                         QStringLiteral("document.readyState === 'complete' && "
                                                        "document.body.scrollHeight > 0 && "
                                                        "document.querySelector('h1 a').href"))
                       .toString() == link;
        });
    }
    QString cacheText(int n) const
    {
        return QString::fromUtf8(readAll(appFolder() + "data/" + PreparedGuid(n) + ".xml"));
    }

    PreparedChannels prepared;
};

TEST_F(MainFrmKeysTest, NextAndPreviousUnreadFollowTheTreeOrderAcrossChannelsAndWrapWithAWord)
{
    ChannelNode *news = prepared.group(nullptr, QStringLiteral("Wiadomości"));
    prepared.channel(news, 0, {false, true, false, true});
    prepared.channel(news, 1, AllRead);
    prepared.channel(prepared.group(nullptr, QStringLiteral("Sport")), 2, {true, false});
    prepared.channel(nullptr, 3, AllRead);
    Windows &w = start();
    ASSERT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    ASSERT_EQ(currentTitle(w), QStringLiteral("Wiadomość 0"));
    ASSERT_EQ(shownName(w, QStringLiteral("Kanał 2")), QStringLiteral("Kanał 2 (1)"));

    press(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 1"));
    press(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 3"));
    // The channel without unread items is passed over; the next one is shown at its first.
    press(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(selectedChannel(w), QStringLiteral("Kanał 2"));
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 0"));
    EXPECT_NE(w.main->statusPanelText(0), ReadingKeysController::WrappedForwardText);
    EXPECT_TRUE(itemShown(w, QStringLiteral("http://example.org/2/0")));
    // Past the tree's end the walk goes on from its start, and says so.
    press(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 1"));
    EXPECT_EQ(w.main->statusPanelText(0), ReadingKeysController::WrappedForwardText);

    press(w, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(selectedChannel(w), QStringLiteral("Kanał 2"));
    EXPECT_EQ(w.main->statusPanelText(0), ReadingKeysController::WrappedBackwardText);
    // Backwards a channel is entered at its last unread item.
    press(w, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 3"));
}

TEST_F(MainFrmKeysTest, WithNothingElseUnreadTheWalkSaysSoAndStaysOnTheItemBeingRead)
{
    prepared.channel(nullptr, 0, {true, false});
    prepared.channel(nullptr, 1, AllRead);
    Windows &w = start();
    ASSERT_EQ(currentTitle(w), QStringLiteral("Wiadomość 0"));
    // The one unread item is the one being read: it is no next one.
    press(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(w.main->statusPanelText(0), ReadingKeysController::NoUnreadText);
    EXPECT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 0"));
}

TEST_F(MainFrmKeysTest, SpacePagesThroughTheItemAndAtItsEndGoesToTheNextUnread)
{
    QByteArray longText;
    for (int i = 0; i < 80; ++i)
        longText += "&lt;p&gt;Akapit " + QByteArray::number(i) + " długiej wiadomości&lt;/p&gt;";
    prepared.channel(nullptr, 0, {true, false, true}, longText);
    Windows &w = start();
    headers(w)->setFocus();
    ASSERT_TRUE(itemShown(w, QStringLiteral("http://example.org/0/0")));
    ASSERT_EQ(scrollY(w), 0);

    press(w, Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return scrollY(w) > 0; }));
    press(w, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_TRUE(WaitUntil([&] { return scrollY(w) == 0; }));
    // Page after page to the end, then on to the next unread item (the read one is passed).
    for (int page = 0; page < 100 && currentTitle(w) == QStringLiteral("Wiadomość 0"); ++page) {
        const int before = scrollY(w);
        press(w, Qt::Key_Space);
        WaitUntil([&] {
            return currentTitle(w) != QStringLiteral("Wiadomość 0") || scrollY(w) != before;
        });
    }
    EXPECT_EQ(currentTitle(w), QStringLiteral("Wiadomość 2"));
    EXPECT_TRUE(headers(w)->hasFocus());

    // In the item itself Space pages the same way.
    ASSERT_TRUE(itemShown(w, QStringLiteral("http://example.org/0/2")));
    headers(w)->selectionModel()->setCurrentIndex(
        headers(w)->model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ASSERT_TRUE(itemShown(w, QStringLiteral("http://example.org/0/0")));
    ASSERT_NE(browser(w)->focusProxy(), nullptr);
    browser(w)->focusProxy()->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return browser(w)->focusProxy()->hasFocus(); }));
    press(w, Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return scrollY(w) > 0; }));
}

TEST_F(MainFrmKeysTest, EndAndHomeInTheItemViewReachItsEnds)
{
    QByteArray longText;
    for (int i = 0; i < 80; ++i)
        longText += "&lt;p&gt;Akapit " + QByteArray::number(i) + "&lt;/p&gt;";
    prepared.channel(nullptr, 0, {true}, longText);
    Windows &w = start();
    ASSERT_TRUE(itemShown(w, QStringLiteral("http://example.org/0/0")));
    ASSERT_NE(browser(w)->focusProxy(), nullptr);
    browser(w)->focusProxy()->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return browser(w)->focusProxy()->hasFocus(); }));
    const int end = RunInApplicationWorld(browser(w)->page(),
                                          QStringLiteral("document.scrollingElement.scrollHeight - "
                                                         "window.innerHeight"))
                        .toInt();
    ASSERT_GT(end, 0);
    press(w, Qt::Key_End);
    EXPECT_TRUE(WaitUntil([&] { return scrollY(w) >= end - 1; })) << scrollY(w) << " of " << end;
    press(w, Qt::Key_Home);
    EXPECT_TRUE(WaitUntil([&] { return scrollY(w) == 0; })) << scrollY(w);
}

TEST_F(MainFrmKeysTest, EnterAndADoubleClickOnARowOpenItsLink)
{
    prepared.channel(nullptr, 0, {true, true});
    Windows &w = start();
    LinkCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    headers(w)->setFocus();
    headers(w)->selectionModel()->setCurrentIndex(
        headers(w)->model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    press(w, Qt::Key_Return);
    const QRect first = headers(w)->visualRect(headers(w)->model()->index(0, 0));
    // As a desktop delivers it: the first click, then the second as the double click.
    QTest::mouseClick(headers(w)->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
    QTest::mouseDClick(headers(w)->viewport(), Qt::LeftButton, Qt::NoModifier, first.center());
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QStringList opened;
    for (const QUrl &url : catcher.urls)
        opened << url.toString();
    EXPECT_EQ(opened, (QStringList{"http://example.org/0/1", "http://example.org/0/0"}))
        << opened.join(QLatin1Char(' ')).toStdString();
}

TEST_F(MainFrmKeysTest, MarkingAGroupReadMarksEveryChannelBeneathItAndTheirCounts)
{
    ChannelNode *news = prepared.group(nullptr, QStringLiteral("Wiadomości"));
    ChannelNode *first = prepared.channel(news, 0, {true, false, true});
    prepared.channel(first, 1, {true}); // dropped onto a channel, so its child
    prepared.channel(prepared.group(news, QStringLiteral("Głębiej")), 2, {true, true});
    prepared.channel(nullptr, 3, {true});
    Windows &w = start();
    ASSERT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    // The list on show holds only some of its rows: all of them are marked all the same.
    auto *keyword = child<QLineEdit>(w.main, "edKeyWord");
    keyword->setFocus();
    keyword->setText(QStringLiteral("Wiadomość 2"));
    QTest::keyClick(keyword, Qt::Key_Return);
    ASSERT_EQ(headers(w)->model()->rowCount(), 1);

    tree(w)->setCurrentIndex(w.main->channelTree()->indexOf(node(w, QStringLiteral("Wiadomości"))));
    w.main->UpdateActions();
    QMenu *treeMenu = child<QMenu>(w.main, "mnChannels");
    auto *mark = child<QAction>(w.main, "acMarkChannelRead");
    ASSERT_TRUE(treeMenu->actions().contains(mark));
    ASSERT_TRUE(mark->isEnabled());
    mark->trigger();

    EXPECT_EQ(shownName(w, QStringLiteral("Wiadomości")), QStringLiteral("Wiadomości"));
    EXPECT_EQ(shownName(w, QStringLiteral("Kanał 3")), QStringLiteral("Kanał 3 (1)"));
    EXPECT_EQ(headers(w)->model()->index(0, 0).data(HeaderListModel::ImageIndexRole).toInt(), 4);
    for (int n : {0, 1, 2}) {
        EXPECT_FALSE(cacheText(n).contains(QStringLiteral("<unread>1</unread>"))) << n;
        EXPECT_TRUE(cacheText(n).contains(QStringLiteral("<unread>0</unread>"))) << n;
    }
    EXPECT_TRUE(cacheText(3).contains(QStringLiteral("<unread>1</unread>")));
    EXPECT_EQ(w.main->statusPanelText(0), QStringLiteral("Gotowe."));
}

TEST_F(MainFrmKeysTest, AChannelWhoseFileCannotBeWrittenKeepsItsMarksAndIsReported)
{
    prepared.channel(nullptr, 0, {false});
    prepared.channel(prepared.group(nullptr, QStringLiteral("Grupa")), 1, {true, true});
    Windows &w = start();
    ASSERT_EQ(selectedChannel(w), QStringLiteral("Kanał 0"));
    const QString before = cacheText(1);
    tree(w)->setCurrentIndex(w.main->channelTree()->indexOf(node(w, QStringLiteral("Grupa"))));
    w.main->UpdateActions();
    {
        InjectedShortWrite fullDisk;
        child<QAction>(w.main, "acMarkChannelRead")->trigger();
    }
    EXPECT_EQ(cacheText(1), before);
    EXPECT_EQ(shownName(w, QStringLiteral("Kanał 1")), QStringLiteral("Kanał 1 (2)"));
    const QVector<ReportLog::Line> lines = w.report->reportLog()->lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.constLast().text.startsWith(
        QStringLiteral("Nie można oznaczyć kanału jako przeczytanego (Kanał 1")))
        << lines.constLast().text.toStdString();
}

TEST_F(MainFrmKeysTest, TheFocusedListShowsItsFocus)
{
    prepared.channel(nullptr, 0, {true, false});
    Windows &w = start();
    QTreeView *lists[] = {tree(w), headers(w)};
    for (QTreeView *focused : lists) {
        focused->setFocus();
        ASSERT_TRUE(WaitUntil([&] { return focused->hasFocus(); }));
        for (QTreeView *view : lists) {
            auto *frame = view->findChild<QWidget *>(QString::fromLatin1(FocusMark::FrameName));
            ASSERT_NE(frame, nullptr);
            // The frame's edge in the accent colour, on the focused list only.
            const QImage picture = view->grab().toImage();
            const QColor edge = picture.pixelColor(picture.width() / 2, 1);
            EXPECT_EQ(edge == QColor(45, 92, 158), view == focused)
                << view->objectName().toStdString() << " " << edge.name().toStdString();
        }
        // The selection of the other list stays in sight, paler.
        const QPalette pal = headers(w)->palette();
        EXPECT_NE(pal.color(QPalette::Inactive, QPalette::Highlight),
                  pal.color(QPalette::Active, QPalette::Highlight));
        EXPECT_NE(pal.color(QPalette::Inactive, QPalette::Highlight),
                  pal.color(QPalette::Active, QPalette::Base));
    }
}

// The three reading actions in their menu with their keys (the window's keys are checked
// for clashes with the rest of the action list).
TEST_F(MainFrmKeysTest, TheReadingActionsStandInTheirMenuWithTheirKeys)
{
    Windows &w = createAll();
    QMenu *reading = child<QMenu>(w.main, "mnCzytanie");
    ASSERT_NE(reading, nullptr);
    const QList<QPair<const char *, const char *>> keys{
        {"acNextUnread", "Ctrl+N"}, {"acPreviousUnread", "Ctrl+B"}, {"acMarkChannelRead", "Ctrl+R"}};
    for (const auto &[name, key] : keys) {
        auto *action = child<QAction>(w.main, name);
        EXPECT_TRUE(reading->actions().contains(action)) << name;
        EXPECT_EQ(action->shortcut(), QKeySequence(QLatin1String(key))) << name;
        EXPECT_TRUE(w.main->actions().contains(action)) << name << " works wherever the focus is";
    }
}

} // namespace

#include "MainFrmKeysTest.moc"
