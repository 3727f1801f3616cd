// The main window opens the new channel wizard and the channel properties dialog, as the
// program makes them, and deletes a channel on the Del key.

#include "MainFrmFixture.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "feed/forms/NewChanellUnit.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

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
    TfmNewChannelFrm *wizard = nullptr;
    TfmEditChannelFrm *properties = nullptr;
};

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

// The export asks where to write and gives a name typed without an extension ".opml".
TEST_F(MainFrmSubscribeTest, TheOpmlExportAddsTheExtensionToANameWithoutOne)
{
    Windows &w = createAll();
    QTemporaryDir target;
    ASSERT_TRUE(target.isValid());
    QAction *exportOpml = nullptr;
    for (QAction *action : w.main->findChildren<QAction *>())
        if (action->text().contains(QStringLiteral("OPML")) &&
            action->text().contains(QStringLiteral("Eksport")))
            exportOpml = action;
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
