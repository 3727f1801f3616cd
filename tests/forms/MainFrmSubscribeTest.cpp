// The main window opens the new channel wizard and the channel properties dialog, as the
// program makes them, and deletes a channel on the Del key.

#include "MainFrmFixture.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"
#include "feed/forms/NewChanellUnit.h"
#include "support/SmallFileSystem.h"

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
