// Drag and drop in the channel tree of the real window, with the mouse as a user drags: a
// drop between two nodes puts the node there, a drop onto a channel nests under it, and the
// tree file follows as after every other edit.

#include "MainFrmFixture.h"
#include "PreparedChannels.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeFile.h"
#include "catalogue/ChannelTreeSaver.h"
#include "support/SignalWait.h"
#include "xml/XmlDocument.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

using namespace mainfrm_test;

class MainFrmDropTest : public MainFrmFixture
{
protected:
    void SetUp() override
    {
        MainFrmFixture::SetUp();
        prepared.channel(nullptr, 0, {false});
        prepared.channel(nullptr, 1, {false});
        prepared.channel(prepared.group(nullptr, QStringLiteral("Grupa")), 2, {false});
        ASSERT_TRUE(prepared.write(m_exeDir + "data/"));
    }

    QTreeView *shownTree(Windows &w)
    {
        auto *view = child<QTreeView>(w.main, "tvChannels");
        view->expandAll();
        return view;
    }
    static ChannelNode *node(Windows &w, const QString &name)
    {
        for (ChannelNode *n : w.main->channelTree()->nodesInPreOrder())
            if (n->text() == name)
                return n;
        ADD_FAILURE() << name.toStdString();
        return nullptr;
    }
    static QStringList names(const ChannelNode *parent)
    {
        QStringList result;
        for (const ChannelNode *c : parent->children())
            result << c->text();
        return result;
    }
    static void send(QWidget *widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
                     Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(widget, &event);
    }
    // Presses on `dragged`, moves past the drag distance, which starts the drag, and inside
    // the drag moves to `target` of the viewport and lets go. True once the drag has ended.
    static bool dragWithTheMouse(QTreeView *view, const QModelIndex &dragged, QPoint target)
    {
        QWidget *viewport = view->viewport();
        const QPoint from = view->visualRect(dragged).center();
        QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
        bool dropped = false;
        QTimer::singleShot(0, viewport, [&] {
            // Runs in the drag's own loop: the drag manager takes these.
            send(viewport, QEvent::MouseMove, target, Qt::NoButton, Qt::LeftButton);
            send(viewport, QEvent::MouseButtonRelease, target, Qt::LeftButton, Qt::NoButton);
            dropped = true;
        });
        const QPoint away = from + QPoint(0, 2 * QApplication::startDragDistance() + 4);
        send(viewport, QEvent::MouseMove, from + QPoint(0, 1), Qt::NoButton, Qt::LeftButton);
        send(viewport, QEvent::MouseMove, away, Qt::NoButton, Qt::LeftButton);
        return WaitUntil([&] { return dropped; }) && WaitForQueuedEvents();
    }
    // The tree as its file holds it once the saver has written it.
    QStringList savedRootNames(Windows &w)
    {
        EXPECT_TRUE(WaitUntil([&] { return !w.main->treeSaver()->pending(); }));
        ChannelTree loaded;
        XmlDocument document;
        EXPECT_TRUE(LoadChannelTree(loaded, document, appFolder() + "data/tvChannels.xml").ok);
        return names(loaded.root());
    }

    PreparedChannels prepared;
};

TEST_F(MainFrmDropTest, ADropBetweenTwoNodesPutsTheNodeThereAndTheTreeFileFollows)
{
    Windows &w = createAll();
    showWindow(*w.main);
    QTreeView *view = shownTree(w);
    ChannelTree *tree = w.main->channelTree();
    const QRect second = view->visualRect(tree->indexOf(node(w, QStringLiteral("Kanał 1"))));
    // Just inside the top edge of "Kanał 1": between it and "Kanał 0".
    ASSERT_TRUE(dragWithTheMouse(view, tree->indexOf(node(w, QStringLiteral("Kanał 2"))),
                                 QPoint(second.center().x(), second.top() + 1)));
    EXPECT_EQ(names(tree->root()),
              (QStringList{"Kanał 0", "Kanał 2", "Kanał 1", "Grupa"}));
    EXPECT_EQ(node(w, QStringLiteral("Grupa"))->childCount(), 0);
    EXPECT_EQ(tree->nodeFromIndex(view->currentIndex()), node(w, QStringLiteral("Kanał 2")))
        << "the moved node stays selected";
    EXPECT_EQ(savedRootNames(w), (QStringList{"Kanał 0", "Kanał 2", "Kanał 1", "Grupa"}));
}

TEST_F(MainFrmDropTest, ADropOntoAChannelNestsUnderItAndTheTreeFileFollows)
{
    Windows &w = createAll();
    showWindow(*w.main);
    QTreeView *view = shownTree(w);
    ChannelTree *tree = w.main->channelTree();
    ChannelNode *target = node(w, QStringLiteral("Kanał 1"));
    ASSERT_TRUE(dragWithTheMouse(view, tree->indexOf(node(w, QStringLiteral("Kanał 0"))),
                                 view->visualRect(tree->indexOf(target)).center()));
    EXPECT_EQ(names(target), QStringList{"Kanał 0"});
    EXPECT_TRUE(view->isExpanded(tree->indexOf(target)));
    EXPECT_EQ(savedRootNames(w), (QStringList{"Kanał 1", "Grupa"}));
}

} // namespace
