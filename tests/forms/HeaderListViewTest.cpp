// The header list and the channel tree as views draw them: images from the image list, the
// unread counts after the names.
#include "catalogue/ChannelTree.h"
#include "reading/HeaderListModel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderImagesProxy.h"
#include "reading/forms/UnreadCountDelegate.h"

#include <gtest/gtest.h>

#include <QPixmap>
#include <QTreeView>

namespace {

// Nine distinguishable pictures: image i is i+1 pixels wide.
QList<QIcon> images()
{
    QList<QIcon> list;
    for (int i = 0; i < 9; ++i) {
        QPixmap pixmap(i + 1, 16);
        pixmap.fill(Qt::red);
        list << QIcon(pixmap);
    }
    return list;
}

int imageOf(const QVariant &decoration)
{
    const QIcon icon = decoration.value<QIcon>();
    if (icon.isNull())
        return -1;
    return icon.availableSizes().value(0).width() - 1;
}

TEST(HeaderListViewTest, TreeShowsUnreadCountsAfterTheNameOnly)
{
    ChannelTree tree;
    ChannelNode *group = tree.addNode(tree.root(), QStringLiteral("Wiadomości"), NodeKind::Group);
    ChannelNode *a = tree.addNode(group, QStringLiteral("Kanał A"), NodeKind::Channel);
    ChannelNode *b = tree.addNode(group, QStringLiteral("Kanał B"), NodeKind::Channel);
    a->channel()->GUID = QStringLiteral("{A}");
    b->channel()->GUID = QStringLiteral("{B}");
    UnreadCounts counts;
    counts.set(QStringLiteral("{A}"), 12);
    QTreeView view;
    view.setModel(&tree);
    auto *delegate = new UnreadCountDelegate(tree, counts, images(), &view);
    view.setItemDelegate(delegate);

    EXPECT_EQ(delegate->displayText(tree.indexOf(a)), "Kanał A (12)");
    EXPECT_EQ(delegate->displayText(tree.indexOf(b)), "Kanał B");
    EXPECT_EQ(delegate->displayText(tree.indexOf(group)), "Wiadomości (12)");
    counts.set(QStringLiteral("{B}"), 3);
    EXPECT_EQ(delegate->displayText(tree.indexOf(group)), "Wiadomości (15)");
    EXPECT_EQ(delegate->displayText(tree.indexOf(tree.root())),
              ChannelTree::defaultRootName() + " (15)");
    // The model, and so an edit, still holds the plain name.
    EXPECT_EQ(tree.data(tree.indexOf(a), Qt::EditRole).toString(), "Kanał A");
    EXPECT_EQ(a->text(), "Kanał A");
}

TEST(HeaderListViewTest, HeaderListGetsRowAndSortImages)
{
    HeaderListModel model;
    std::vector<HeaderRow> rows(2);
    rows[0].title = QStringLiteral("a");
    rows[0].unread = true;
    rows[1].title = QStringLiteral("b");
    model.setRows(rows);
    HeaderImagesProxy proxy(images(), nullptr);
    proxy.setSourceModel(&model);
    EXPECT_EQ(imageOf(proxy.index(0, 0).data(Qt::DecorationRole)), 3);
    EXPECT_EQ(imageOf(proxy.index(1, 0).data(Qt::DecorationRole)), 4);
    EXPECT_EQ(imageOf(proxy.index(1, 1).data(Qt::DecorationRole)), -1);
    EXPECT_EQ(imageOf(proxy.headerData(0, Qt::Horizontal, Qt::DecorationRole)), 6);
    model.columnClicked(0);
    EXPECT_EQ(imageOf(proxy.headerData(0, Qt::Horizontal, Qt::DecorationRole)), 5);
    model.columnClicked(2);
    EXPECT_EQ(imageOf(proxy.headerData(0, Qt::Horizontal, Qt::DecorationRole)), -1);
    EXPECT_EQ(imageOf(proxy.headerData(2, Qt::Horizontal, Qt::DecorationRole)), 5);
    EXPECT_EQ(proxy.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Autor:");
}

} // namespace
