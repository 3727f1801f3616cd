// Editing the channel tree offscreen: groups, names in place, drops through the model,
// deletion with cache files, the properties dialog, mail and OPML, on a real tree view.

#include "MainFrmFixture.h"

#include "base/UserFolder.h"
#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "catalogue/forms/TreeEditingController.h"
#include "kit/ActionFacts.h"

#include <QDir>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrlQuery>

#include <gtest/gtest.h>

using mainfrm_test::ScriptedBoxes;

namespace {

class TreeEditingControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        folder = UserFolder(home.path());
        QDir().mkpath(folder.dataFolder());
        view.setModel(&tree);
        view.resize(300, 400);
        view.show();
        for (QAction **a : {&acRemove, &acEdit, &acEditChanel, &acSend})
            *a = new QAction(&view);
        TreeEditingController::Widgets w;
        w.window = &view;
        w.tvChannels = &view;
        w.mnChannelsAdd = &menu;
        w.acRemoveTreeItem = acRemove;
        w.acChannelsEdit = acEdit;
        w.acChannelsEditChanel = acEditChanel;
        w.acChannelsSendChannel = acSend;
        TreeEditingController::Outside outside;
        outside.syncAllRunning = [this] { return running; };
        outside.openUrl = [this](const QUrl &url) { opened << url; };
        outside.openOpmlFile = [this] { return opmlFile; };
        outside.saveOpmlFile = [this] { return opmlFile; };
        outside.showStatus = [this](const QString &text) { statuses << text; };
        outside.showWizard = [this] { ++wizardShown; };
        outside.editChannel = [this](ChannelNode *node) { return editFrm.editChannel(tree, node); };
        outside.groupRefusal = [this](const ChannelNode *node) {
            return serverGroup && serverGroup->contains(node) ? QStringLiteral("Nie na serwerze.")
                                                              : QString();
        };
        controller = std::make_unique<TreeEditingController>(w, tree, folder, boxes, outside);
        QObject::connect(controller.get(), &TreeEditingController::releaseCacheFile,
                         [this](const QString &path) { released << path; });

        news = tree.addNode(tree.root(), QStringLiteral("News"), NodeKind::Group);
        a = channel(news, QStringLiteral("A"), 1);
        sub = tree.addNode(news, QStringLiteral("Sub"), NodeKind::Group);
        b = channel(sub, QStringLiteral("B"), 2);
        deep = tree.addNode(sub, QStringLiteral("Deep"), NodeKind::Group);
        c = channel(deep, QStringLiteral("C"), 3);
        other = channel(tree.root(), QStringLiteral("Other"), 4);
        view.expandAll();
    }

    ChannelNode *channel(ChannelNode *parent, const QString &name, int n)
    {
        ChannelNode *node = tree.addNode(parent, name, NodeKind::Channel);
        node->channel()->url = QStringLiteral("http://x.test/") + name;
        node->channel()->GUID = QStringLiteral("{00000000-0000-4000-8000-%1}").arg(n, 12, 10, QLatin1Char('0'));
        writeAll(folder.cacheFile(node->channel()->GUID), "<rss/>");
        return node;
    }
    void select(ChannelNode *node)
    {
        view.setCurrentIndex(node ? tree.indexOf(node) : QModelIndex());
        if (!node)
            view.selectionModel()->clear();
        updateActions();
    }
    void updateActions()
    {
        ActionFacts facts;
        facts.node = controller->selectedNode();
        facts.syncAllRunning = running;
        controller->updateActions(facts);
    }
    // The editor open on the selected node, if any.
    QLineEdit *editor() { return qobject_cast<QLineEdit *>(view.indexWidget(view.currentIndex())); }
    // Types a name into the open editor and ends the edit with Enter (the view commits it
    // once the event loop runs).
    void typeName(const QString &name)
    {
        ASSERT_NE(editor(), nullptr);
        editor()->setText(name);
        QTest::keyClick(editor(), Qt::Key_Return);
        QCoreApplication::processEvents();
    }

    QTemporaryDir home;
    UserFolder folder;
    ChannelTree tree;
    QTreeView view;
    QMenu menu;
    TfmEditChannelFrm editFrm;
    ScriptedBoxes boxes;
    QAction *acRemove = nullptr, *acEdit = nullptr, *acEditChanel = nullptr, *acSend = nullptr;
    std::unique_ptr<TreeEditingController> controller;
    bool running = false;
    QList<QUrl> opened;
    QStringList released;
    QString opmlFile;
    int wizardShown = 0;
    QStringList statuses;
    ChannelNode *serverGroup = nullptr; // groups a synchronisation server cannot follow
    ChannelNode *news, *a, *sub, *b, *deep, *c, *other;
};

TEST_F(TreeEditingControllerTest, ANewGroupGoesBesideASelectedChannelAndIsRenamedAtOnce)
{
    select(a);
    controller->acChannelsGroupAddExecute();
    ChannelNode *made = news->child(news->childCount() - 1);
    EXPECT_EQ(made->text(), "Nowy folder");
    EXPECT_TRUE(made->isGroup());
    typeName(QStringLiteral("Sport"));
    EXPECT_EQ(made->text(), "Sport");

    select(nullptr);
    controller->acChannelsGroupAddExecute();
    EXPECT_EQ(tree.root()->child(tree.root()->childCount() - 1)->text(), "Nowy folder");
    select(sub);
    controller->acChannelsGroupAddExecute();
    EXPECT_EQ(sub->child(sub->childCount() - 1)->text(), "Nowy folder");
}

TEST_F(TreeEditingControllerTest, GroupsOfASynchronisationServerAreNeitherMadeNorRenamedHere)
{
    serverGroup = sub;
    select(b);
    const int before = sub->childCount();
    controller->acChannelsGroupAddExecute();
    EXPECT_EQ(sub->childCount(), before);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown.first().text, QStringLiteral("Nie na serwerze."));
    select(deep);
    controller->Zmienazw1Click();
    EXPECT_EQ(editor(), nullptr);
    EXPECT_EQ(boxes.shown.size(), 2);

    // Outside that group everything is as always.
    select(news);
    controller->Zmienazw1Click();
    EXPECT_NE(editor(), nullptr);
    EXPECT_EQ(boxes.shown.size(), 2);
}

TEST_F(TreeEditingControllerTest, ANameInPlaceMayBe250CharactersLongOrEmpty)
{
    select(a);
    controller->Zmienazw1Click();
    typeName(QString(251, QLatin1Char('x')));
    EXPECT_EQ(a->text(), "A");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].kind, "error");
    EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8("Maksymalna długość nazwy wynosi 250 znaków."));
    EXPECT_EQ(boxes.shown[0].caption, "Informacja:");

    controller->Zmienazw1Click();
    typeName(QString(250, QLatin1Char('y')));
    EXPECT_EQ(a->text(), QString(250, QLatin1Char('y')));

    select(tree.root()); // the root's name can be changed too
    controller->Zmienazw1Click();
    typeName(QStringLiteral("Kanały"));
    EXPECT_EQ(tree.root()->text(), QString::fromUtf8("Kanały"));
    // Space then Enter, as when paging an item: the name stays.
    controller->Zmienazw1Click();
    typeName(QStringLiteral(" "));
    EXPECT_EQ(tree.root()->text(), QString::fromUtf8("Kanały"));
    EXPECT_EQ(boxes.shown.size(), 1) << "refused without a message";
}

TEST_F(TreeEditingControllerTest, EditOpensAChannelsPropertiesOrRenamesAGroup)
{
    select(a);
    QTimer::singleShot(0, &editFrm, [this] {
        editFrm.findChild<QLineEdit *>(QStringLiteral("edURL"))->setText(QStringLiteral("http://new"));
        editFrm.accept();
    });
    controller->acChannelsEditExecute();
    EXPECT_EQ(a->channel()->url, "http://new");

    select(news);
    controller->acChannelsEditExecute();
    EXPECT_NE(editor(), nullptr);
}

TEST_F(TreeEditingControllerTest, DeletingAGroupDeletesTheCacheFilesOfEveryChannelBelowIt)
{
    select(news);
    boxes.answers = {false};
    controller->acRemoveTreeItemExecute();
    EXPECT_EQ(boxes.count("question", QString::fromUtf8("Czy chcesz usunąć grupę News z całą zawartością?")), 1);
    EXPECT_EQ(tree.count(), 8);
    EXPECT_TRUE(QFile::exists(folder.cacheFile(c->channel()->GUID)));

    const QStringList files = {folder.cacheFile(a->channel()->GUID),
                               folder.cacheFile(b->channel()->GUID),
                               folder.cacheFile(c->channel()->GUID)};
    const QString kept = folder.cacheFile(other->channel()->GUID);
    int removed = 0;
    QObject::connect(controller.get(), &TreeEditingController::nodeRemoved, [&] { ++removed; });
    boxes.answers = {true};
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(tree.count(), 2);
    EXPECT_EQ(tree.nodeDataBlocks().size(), 2u);
    for (const QString &f : files) {
        EXPECT_FALSE(QFile::exists(f)) << f.toStdString();
        EXPECT_TRUE(released.contains(f));
    }
    EXPECT_TRUE(QFile::exists(kept));
}

TEST_F(TreeEditingControllerTest, DeletionIsRefusedForTheRootAndDuringARun)
{
    select(tree.root());
    EXPECT_FALSE(acRemove->isEnabled());
    controller->acRemoveTreeItemExecute();
    EXPECT_TRUE(boxes.shown.isEmpty());

    select(other);
    EXPECT_TRUE(acRemove->isEnabled());
    EXPECT_TRUE(acEditChanel->isEnabled() && acSend->isEnabled());
    running = true;
    updateActions();
    EXPECT_FALSE(acRemove->isEnabled());
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(boxes.shown.isEmpty());
    running = false;

    boxes.answers = {true};
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_EQ(boxes.count("question", QString::fromUtf8("Czy chcesz usunąć kanał Other?")), 1);
    EXPECT_FALSE(QFile::exists(folder.cacheFile(QStringLiteral("{00000000-0000-4000-8000-000000000004}"))));
    select(news);
    EXPECT_FALSE(acEditChanel->isEnabled() || acSend->isEnabled());
    EXPECT_TRUE(acEdit->isEnabled());
}

TEST_F(TreeEditingControllerTest, ADropThroughTheViewsHandlerMovesAndExpandsTheTarget)
{
    view.collapseAll();
    std::unique_ptr<QMimeData> data(tree.mimeData({tree.indexOf(sub)}));
    ASSERT_TRUE(tree.dropMimeData(data.get(), Qt::MoveAction, -1, -1, tree.indexOf(other)));
    EXPECT_EQ(sub->parent(), other);
    EXPECT_TRUE(view.isExpanded(tree.indexOf(other)));
    EXPECT_TRUE(view.isExpanded(tree.indexOf(deep))); // with all its levels
    EXPECT_EQ(b->channel()->GUID, "{00000000-0000-4000-8000-000000000002}");
}

TEST_F(TreeEditingControllerTest, ARightClickSelectsTheNodeUnderTheMouse)
{
    select(a);
    const QRect rect = view.visualRect(tree.indexOf(other));
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rect.center());
    EXPECT_EQ(controller->selectedNode(), other);
    int again = 0;
    QObject::connect(controller.get(), &TreeEditingController::tvChannelsChangeRequested, [&] { ++again; });
    QTest::mouseClick(view.viewport(), Qt::RightButton, {}, rect.center());
    EXPECT_EQ(again, 1);
}

TEST_F(TreeEditingControllerTest, RecommendingAChannelOpensAMessageWithSubjectAndBody)
{
    select(a);
    controller->acChannelsSendChannelExecute();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    const QUrlQuery query(opened[0]);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
              QString::fromUtf8("Ciekawy kanał RSS: A"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
              QString::fromUtf8("http://x.test/A\r\n\r\nWysłano z program RSS Saltrino (http://kolvani.pl)"));
}

TEST_F(TreeEditingControllerTest, OpmlImportGoesUnderTheSelectedGroupAndABadFileIsReported)
{
    opmlFile = home.filePath(QStringLiteral("in.opml"));
    writeAll(opmlFile, "<opml version=\"2.0\"><body><outline text=\"N\" xmlUrl=\"http://n.test/\"/>"
                       "<outline text=\"Again\" xmlUrl=\"http://x.test/A\"/></body></opml>");
    select(b);
    controller->acImportOpml()->trigger();
    EXPECT_EQ(sub->child(sub->childCount() - 1)->text(), "N");
    EXPECT_EQ(boxes.count("information", QString::fromUtf8("Dodano kanałów: 1, grup: 0. Pominięto już subskrybowanych: 1.")), 1);

    writeAll(opmlFile, "not xml");
    const int nodes = tree.count();
    controller->acImportOpml()->trigger();
    EXPECT_EQ(tree.count(), nodes);
    ASSERT_EQ(boxes.shown.last().kind, "error");
    EXPECT_TRUE(boxes.shown.last().text.contains(opmlFile));

    opmlFile = home.filePath(QStringLiteral("out.opml"));
    statuses.clear();
    controller->acExportOpml()->trigger();
    EXPECT_TRUE(readAll(opmlFile).contains("xmlUrl=\"http://n.test/\""));
    // The export says what it did: every channel of the tree, and where.
    int channels = 0;
    for (const ChannelNode *node : tree.nodesInPreOrder())
        channels += node->channel() != nullptr;
    EXPECT_EQ(statuses, QStringList{QStringLiteral("Gotowe. Kanały (%1) zapisane w pliku %2.")
                                        .arg(channels)
                                        .arg(QDir::toNativeSeparators(opmlFile))});
}

} // namespace
