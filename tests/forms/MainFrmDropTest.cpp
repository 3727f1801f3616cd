// Drag and drop in the channel tree of the real window, as a drag ends over it: a
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
#include <QDropEvent>
#include <QMimeData>
#include <QTreeView>

#include <memory>

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
    // Drops `dragged` at `target` of the viewport as a drag of it over the tree ends there:
    // the view is handed the drag's enter, move and drop. The offscreen screen ends every
    // drag the moment it starts, so the drag itself is not begun with the mouse; the view is
    // let take a drop from outside for it (the internal mode asks the drag for its source).
    static bool dropAt(QTreeView *view, const QModelIndex &dragged, QPoint target)
    {
        view->setCurrentIndex(dragged);
        std::unique_ptr<QMimeData> data(view->model()->mimeData({dragged}));
        const QAbstractItemView::DragDropMode mode = view->dragDropMode();
        view->setDragDropMode(QAbstractItemView::DragDrop);
        QWidget *viewport = view->viewport();
        QDragEnterEvent enter(target, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(target, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        bool dropped = false;
        if (move.isAccepted()) {
            QDropEvent drop(QPointF(target), Qt::MoveAction, data.get(), Qt::LeftButton,
                            Qt::NoModifier);
            QApplication::sendEvent(viewport, &drop);
            dropped = drop.isAccepted();
        } else {
            QDragLeaveEvent leave;
            QApplication::sendEvent(viewport, &leave);
        }
        view->setDragDropMode(mode);
        return dropped && WaitForQueuedEvents();
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
    ASSERT_TRUE(dropAt(view, tree->indexOf(node(w, QStringLiteral("Kanał 2"))),
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
    ASSERT_TRUE(dropAt(view, tree->indexOf(node(w, QStringLiteral("Kanał 0"))),
                                 view->visualRect(tree->indexOf(target)).center()));
    EXPECT_EQ(names(target), QStringList{"Kanał 0"});
    EXPECT_TRUE(view->isExpanded(tree->indexOf(target)));
    EXPECT_EQ(savedRootNames(w), (QStringList{"Kanał 1", "Grupa"}));
}

} // namespace
