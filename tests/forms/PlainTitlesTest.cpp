// Titles, channel names and addresses come from channels: outside the item view they are
// text, so "Tekst <b>nie HTML</b>" shows its tags instead of bold type.

#include "ShownText.h"
#include "support/QtPrinters.h"
#include "SignalWait.h"
#include "alerts/AlertPlayback.h"
#include "alerts/AlertQueue.h"
#include "alerts/forms/NotifyFrm.h"
#include "archive/ArchiveChannelsModel.h"
#include "catalogue/ChannelTree.h"
#include "kit/MainStatusBar.h"
#include "kit/MessageBoxes.h"
#include "reading/HeaderListModel.h"
#include "sync/ReportLog.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString Tagged = QStringLiteral("Tekst <b>nie HTML</b>");

} // namespace

TEST(PlainTitles, ThePopUpAndTheStatusBarShowTitlesAsText)
{
    ChannelTree tree;
    tree.addNode(tree.root(), QStringLiteral("Kanał <i>kursywą</i>"), NodeKind::Channel);
    AlertQueue queue;
    queue.enqueue(Tagged, QStringLiteral("Kanał <i>kursywą</i>"));
    queue.newItemCount = 1;
    AlertPlayback playback(queue, tree);
    TfmNotifyFrm::setAnimationMs(0);
    TfmNotifyFrm form(playback);
    playback.endRun(true);
    TfmNotifyFrm::setAnimationMs(180);
    EXPECT_EQ(ShownText(form.findChild<QLabel *>("lbMsg")), Tagged);
    EXPECT_EQ(ShownText(form.findChild<QLabel *>("lbTitle")), QStringLiteral("Kanał <i>kursywą</i>"));

    QWidget window;
    MainStatusBar bar(&window);
    const QString downloading = QStringLiteral("Pobieranie dokumentu http://127.0.0.1/<b>x</b>");
    bar.setStatusText(downloading);
    bar.setPanelText(2, Tagged);
    EXPECT_EQ(ShownText(bar.findChild<QLabel *>("sbStatusPanel0")), downloading);
    EXPECT_EQ(ShownText(bar.findChild<QLabel *>("sbStatusPanel2")), Tagged);
}

// The report window's lines, the header list and the archive's channels show whole names
// in their tool tips.
TEST(PlainTitles, ToolTipsOfListsShowTitlesAsText)
{
    ReportLog log;
    const QString line = QStringLiteral("Uaktualniono kanał ") + Tagged;
    log.addLine(line, 0);
    EXPECT_EQ(ShownText(log.data(log.index(0, 0), Qt::ToolTipRole).toString()), line);

    HeaderListModel headers;
    HeaderRow row;
    row.title = Tagged + QStringLiteral("\nw dwóch wierszach");
    headers.setRows({row});
    EXPECT_EQ(ShownText(headers.data(headers.index(0, 0), Qt::ToolTipRole).toString()), row.title);

    ArchiveChannelsModel channels;
    channels.setRows({{Tagged, QStringLiteral("{G}")}});
    EXPECT_EQ(ShownText(channels.data(channels.index(0, ArchiveChannelsModel::NameColumn),
                                      Qt::ToolTipRole)
                            .toString()),
              Tagged);
}

TEST(PlainTitles, MessageBoxesShowTheirTextAsText)
{
    const QString question = QStringLiteral("Czy usunąć kanał „") + Tagged + QStringLiteral("”?");
    QString shown;
    QTimer::singleShot(0, [&] {
        WaitUntil([] { return QApplication::activeModalWidget() != nullptr; });
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown = ShownText(box->findChild<QLabel *>("qt_msgbox_label"));
        box->done(QMessageBox::No);
    });
    MessageBoxes::standard().question(nullptr, question, QStringLiteral("Pytanie:"));
    EXPECT_EQ(shown, question);
}
