// Action states from facts: the selection counted by ranges, and the window following its
// state without a polling timer.

#include "kit/ActionFacts.h"
#include "MainFrmFixture.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/SelectedNode.h"

#include <QAction>
#include <QCoreApplication>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace mainfrm_test;

namespace {

class HeaderSelection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.setColumnCount(3);
        for (int r = 0; r < 10; ++r)
            model.appendRow(
                {new QStandardItem(QString::number(r)), new QStandardItem(), new QStandardItem()});
        view.setModel(&model);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
    }
    void click(int row, QItemSelectionModel::SelectionFlags flags)
    {
        view.selectionModel()->select(model.index(row, 0), flags | QItemSelectionModel::Rows);
    }
    int size() const { return SelectionSize(view.selectionModel()); }

    QStandardItemModel model;
    QTreeView view;
};

TEST_F(HeaderSelection, CountsRowsNotCellsUpToMany)
{
    EXPECT_EQ(size(), 0);
    click(3, QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(size(), 1) << "one row of three columns";
    click(5, QItemSelectionModel::Select); // Ctrl+click
    EXPECT_EQ(size(), 2);
    click(5, QItemSelectionModel::Deselect); // Ctrl+click again
    EXPECT_EQ(size(), 1);
    // Shift+click from row 2 to row 8
    view.selectionModel()->select(QItemSelection(model.index(2, 0), model.index(8, 2)),
                                  QItemSelectionModel::ClearAndSelect);
    EXPECT_EQ(size(), 2);
    view.selectAll();
    EXPECT_EQ(size(), 2);
    view.clearSelection();
    EXPECT_EQ(size(), 0);
}

class WindowActions : public MainFrmFixture
{
};

TEST_F(WindowActions, FollowTheTreeWithoutAPollingTimer)
{
    auto w = create();
    for (QTimer *timer : w->findChildren<QTimer *>())
        EXPECT_FALSE(timer->isActive() && !timer->isSingleShot() && timer->interval() < 1000)
            << "a timer polls: " << timer->objectName().toStdString();
    auto *acSyncAll = child<QAction>(w, "acSyncAll");
    auto *acSyncSelected = child<QAction>(w, "acSyncSelected");
    EXPECT_FALSE(acSyncAll->isEnabled());

    ChannelTree *tree = w->channelTree();
    ChannelNode *channel = tree->addNode(tree->root(), QStringLiteral("K"), NodeKind::Channel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(acSyncAll->isEnabled()) << "an added node is a changed fact";
    EXPECT_FALSE(acSyncSelected->isEnabled());

    child<QTreeView>(w, "tvChannels")->setCurrentIndex(tree->indexOf(channel));
    QCoreApplication::processEvents();
    EXPECT_TRUE(acSyncSelected->isEnabled()) << "a new selection is a changed fact";
    EXPECT_EQ(SelectedNode(child<QTreeView>(w, "tvChannels"), *tree), channel);

    tree->deleteNode(channel);
    QCoreApplication::processEvents();
    EXPECT_FALSE(acSyncAll->isEnabled());
    EXPECT_FALSE(acSyncSelected->isEnabled());
}

} // namespace
