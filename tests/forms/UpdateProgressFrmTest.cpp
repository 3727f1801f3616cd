#include "base/AppSettings.h"
#include "base/SettingsFile.h"
#include "sync/ReportLog.h"
#include "sync/forms/UpdateProgressUnit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

namespace {

class UpdateProgressFrmTest : public ::testing::Test
{
protected:
    QString config() const { return dir.filePath("config.ini"); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(UpdateProgressFrmTest, LooksAsDescribed)
{
    TfmUpdateProgressFrm frm(config());
    EXPECT_EQ(frm.windowTitle(), "Kolvani");
    EXPECT_GE(frm.width(), 452);
    EXPECT_GE(frm.height(), 192);
    EXPECT_FALSE(frm.isModal());
    EXPECT_EQ(frm.findChild<QProgressBar *>("pbProgress"), frm.pbProgress);
    EXPECT_EQ(frm.findChild<QTableView *>("lvLog"), frm.lvLog);
    EXPECT_EQ(frm.cbDontShow->text(), "Nie pokazuj domyślnie tego okna");
    EXPECT_EQ(frm.btCancel->text(), "&Anuluj");
    EXPECT_EQ(frm.lvLog->model()->headerData(0, Qt::Horizontal).toString(), "Raport:");
    EXPECT_EQ(frm.lvLog->model()->columnCount(), 1);
    EXPECT_TRUE(frm.lvLog->showGrid());
    EXPECT_EQ(frm.lvLog->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(frm.cbDontShow->isChecked()); // default without a settings file
}

TEST_F(UpdateProgressFrmTest, ErrorLinesSetTheNoticeAndShowingClearsIt)
{
    TfmUpdateProgressFrm frm(config());
    QStringList notices;
    QObject::connect(&frm, &TfmUpdateProgressFrm::statusNoticeChanged,
                     [&](const QString &text) { notices << text; });

    frm.AddReportLine(QString::fromUtf8("Kanał A: pobrano"), 1);
    EXPECT_TRUE(notices.isEmpty()); // success lines leave the panel alone

    IReportSink &sink = frm;
    sink.ReportProblem(QString::fromUtf8("Błąd pobierania kanału B"));
    EXPECT_EQ(notices, QStringList{QString::fromUtf8("Wystąpiły błędy. Kliknij...")});

    frm.show();
    EXPECT_EQ(notices.last(), "");
    frm.AddReportLine("inny błąd", 0); // while shown, too
    EXPECT_EQ(notices.last(), QString::fromUtf8("Wystąpiły błędy. Kliknij..."));
    frm.hide();

    QAbstractItemModel *model = frm.lvLog->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(0, 0).data().toString(), QString::fromUtf8("Kanał A: pobrano"));
    EXPECT_EQ(model->index(1, 0).data().toString(), QString::fromUtf8("Błąd pobierania kanału B"));
    EXPECT_EQ(model->index(0, 0).data(ReportLog::IconRole).toInt(), 1);
    EXPECT_EQ(model->index(1, 0).data(ReportLog::IconRole).toInt(), 0);
    const QIcon ok = model->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
    const QIcon error = model->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
    EXPECT_FALSE(ok.isNull());
    EXPECT_FALSE(error.isNull());
    EXPECT_NE(ok.pixmap(16).toImage(), error.pixmap(16).toImage());

    frm.clearLog();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST_F(UpdateProgressFrmTest, CancelSetsTheRequestAndHides)
{
    TfmUpdateProgressFrm frm(config());
    int requests = 0;
    QObject::connect(&frm, &TfmUpdateProgressFrm::cancelRequested, &frm, [&] { ++requests; });
    frm.show();
    frm.btCancel->click();
    EXPECT_EQ(requests, 1);
    EXPECT_FALSE(frm.isVisible());

    frm.show();
    frm.close(); // by the frame: hidden, no stop request
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(requests, 1);

    frm.show();
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(frm.lvLog, &esc);
    EXPECT_FALSE(frm.isVisible());
    EXPECT_EQ(requests, 2);
}

TEST_F(UpdateProgressFrmTest, DontShowIsKeptBetweenRuns)
{
    {
        TfmUpdateProgressFrm frm(config());
        frm.cbDontShow->setChecked(true);
        SettingsFile file(config());
        WriteClosingSettings(file, MainWindowState::Normal, frm.cbDontShow->isChecked(), false, 0);
    }
    TfmUpdateProgressFrm next(config());
    EXPECT_TRUE(next.cbDontShow->isChecked());

    SettingsFile(config()).writeBool(SettingsKeys::ConfigSection, SettingsKeys::DontShow, false);
    EXPECT_FALSE(TfmUpdateProgressFrm(config()).cbDontShow->isChecked());
}

TEST(ReportLog, KeepsLinesInOrderUntilCleared)
{
    ReportLog log;
    int inserted = 0;
    QObject::connect(&log, &QAbstractItemModel::rowsInserted, [&] { ++inserted; });
    log.addLine("a", ReportLog::ErrorIcon);
    log.addLine("b", ReportLog::SuccessIcon);
    log.addLine("c", ReportLog::ErrorIcon);
    EXPECT_EQ(inserted, 3);
    ASSERT_EQ(log.rowCount(), 3);
    EXPECT_EQ(log.lines()[2].text, "c");
    EXPECT_EQ(log.errorCount(), 2);
    EXPECT_EQ(log.flags(log.index(0)) & Qt::ItemIsEditable, Qt::NoItemFlags);
    EXPECT_FALSE(log.data(log.index(5)).isValid());
    log.clear();
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(log.errorCount(), 0);
}
