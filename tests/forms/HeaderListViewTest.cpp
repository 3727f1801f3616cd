// The header list and the channel tree as views draw them: images from the image list, the
// unread counts after the names.
#include "catalogue/ChannelTree.h"
#include "reading/HeaderListModel.h"
#include "reading/UnreadCounts.h"
#include "reading/forms/HeaderImagesProxy.h"
#include "reading/forms/UnreadCountDelegate.h"

#include <QStandardItemModel>
#include <QPainter>
#include <QImage>
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

TEST(HeaderListViewTest, ALongNameGivesWayToItsUnreadCount)
{
    ChannelTree tree;
    ChannelNode *a = tree.addNode(tree.root(), QStringLiteral("Bardzo długa nazwa kanału informacyjnego o wszystkim"), NodeKind::Channel);
    a->channel()->GUID = QStringLiteral("{A}");
    UnreadCounts counts;
    counts.set(QStringLiteral("{A}"), 1234);
    QTreeView view;
    view.setModel(&tree);
    auto *delegate = new UnreadCountDelegate(tree, counts, images(), &view);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.font = view.font();

    option.rect = QRect(0, 0, 140, 20);
    const UnreadCountDelegate::Layout narrow = delegate->layout(option, tree.indexOf(a));
    EXPECT_EQ(narrow.count, "(1234)");
    EXPECT_TRUE(option.rect.contains(narrow.countRect)) << "the count is drawn whole";
    EXPECT_GE(QFontMetrics(option.font).horizontalAdvance(narrow.count), narrow.countRect.width());
    EXPECT_TRUE(narrow.name.endsWith(QChar(0x2026))) << qPrintable(narrow.name);
    EXPECT_LE(narrow.nameRect.right(), narrow.countRect.left()) << "name and count do not overlap";

    option.rect = QRect(0, 0, 900, 20);
    const UnreadCountDelegate::Layout wide = delegate->layout(option, tree.indexOf(a));
    EXPECT_EQ(wide.name, a->text());
    EXPECT_LT(wide.countRect.left(), 700) << "right after a name that fits";
    EXPECT_GE(delegate->sizeHint(option, tree.indexOf(a)).width(),
              QFontMetrics(option.font).horizontalAdvance(a->text() + " (1234)"));
}

TEST(HeaderListViewTest, ReportListsDrawGridLines)
{
    QStandardItemModel model(1, 1);
    model.setItem(0, 0, new QStandardItem(QStringLiteral("wiersz")));
    QTreeView view;
    view.setModel(&model);
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = QRect(0, 0, 60, 20);
    auto edgesDrawn = [&](const QStyledItemDelegate &delegate) {
        QImage image(60, 20, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
        painter.end();
        return qAlpha(image.pixel(30, 19)) > 0 && qAlpha(image.pixel(59, 10)) > 0;
    };
    EXPECT_TRUE(edgesDrawn(GridLinesDelegate(nullptr)));
    ImageIndexDelegate withImages(images(), Qt::UserRole, nullptr);
    EXPECT_FALSE(edgesDrawn(withImages));
    withImages.setGridLines(true);
    EXPECT_TRUE(edgesDrawn(withImages));
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
