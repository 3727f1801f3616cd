#include "base/AppSettings.h"
#include "base/LiveSettings.h"
#include "base/SettingsFile.h"
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
#include <QToolTip>
#include <QHelpEvent>

#include <memory>

namespace {

class UpdateProgressFrmTest : public ::testing::Test
{
protected:
    QString config() const { return dir.filePath("config.ini"); }
    QTemporaryDir dir;
    LiveSettings live;
};

} // namespace

TEST_F(UpdateProgressFrmTest, LooksAsDescribed)
{
    TfmUpdateProgressFrm frm(live);
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
    TfmUpdateProgressFrm frm(live);
    QStringList notices;
    QObject::connect(&frm, &TfmUpdateProgressFrm::statusNoticeChanged,
                     [&](const QString &text) { notices << text; });

    frm.AddReportLine(QString::fromUtf8("Kanał A: pobrano"), 1);
    EXPECT_TRUE(notices.isEmpty()); // success lines leave the panel alone

    IReportSink &sink = frm;
    sink.ReportProblem(QString::fromUtf8("Błąd pobierania kanału B"));
    EXPECT_EQ(notices, QStringList{QString::fromUtf8("Wystąpiły błędy (1). Kliknij...")});

    frm.show();
    EXPECT_EQ(notices.last(), "");
    frm.AddReportLine("inny błąd", 0); // while shown, too; the count is of the error lines
    EXPECT_EQ(notices.last(), QString::fromUtf8("Wystąpiły błędy (2). Kliknij..."));
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

// Long lines (addresses, server replies) can be read: the window grows, and a line the
// column cuts shows whole in its tool tip, while a line shown whole has none.
TEST_F(UpdateProgressFrmTest, TheWindowGrowsAndACutLineShowsWholeInItsToolTip)
{
    TfmUpdateProgressFrm frm(live);
    EXPECT_GT(frm.maximumWidth(), frm.minimumWidth());
    EXPECT_GT(frm.maximumHeight(), frm.minimumHeight());
    EXPECT_GE(frm.minimumWidth(), 452);
    frm.restoreSize(QSize(300, 100)); // smaller than the least: the least
    EXPECT_EQ(frm.size(), frm.minimumSize());
    frm.restoreSize(QSize(700, 400));
    EXPECT_EQ(frm.size(), QSize(700, 400));
    frm.resize(frm.minimumSize());

    const QString longLine = QStringLiteral("Niepoprawny adres URL (http://example.org/") +
                             QString(200, QLatin1Char('x')) + QStringLiteral("/koniec.xml)");
    frm.AddReportLine(QStringLiteral("Uaktualniono A"), 1);
    frm.AddReportLine(longLine, 0);
    frm.show();
    QApplication::processEvents();

    const auto toolTipOf = [&](int row) {
        QToolTip::hideText();
        const QRect cell = frm.lvLog->visualRect(frm.lvLog->model()->index(row, 0));
        const QPoint at = cell.center();
        QHelpEvent help(QEvent::ToolTip, at, frm.lvLog->viewport()->mapToGlobal(at));
        QApplication::sendEvent(frm.lvLog->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(toolTipOf(0), QString()) << "shown whole";
    const QString tip = toolTipOf(1);
    EXPECT_TRUE(tip.contains(longLine.toHtmlEscaped())) << tip.toStdString();
    QToolTip::hideText();
    frm.hide();
}

TEST_F(UpdateProgressFrmTest, CancelSetsTheRequestAndHides)
{
    TfmUpdateProgressFrm frm(live);
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
    // As the program starts: the settings file read into the live settings first.
    const auto start = [this] {
        return std::make_unique<LiveSettings>(AppSettings::read(SettingsFile(config())));
    };
    {
        auto settings = start();
        TfmUpdateProgressFrm frm(*settings);
        frm.cbDontShow->setChecked(true);
        SettingsFile file(config());
        WriteClosingSettings(file, MainWindowState::Normal, settings->values().dontShow, false, 0);
    }
    auto settings = start();
    TfmUpdateProgressFrm next(*settings);
    EXPECT_TRUE(next.cbDontShow->isChecked());

    SettingsFile(config()).writeBool(SettingsKeys::ConfigSection, SettingsKeys::DontShow, false);
    settings = start();
    EXPECT_FALSE(TfmUpdateProgressFrm(*settings).cbDontShow->isChecked());
}

TEST_F(UpdateProgressFrmTest, DontShowFollowsTheLiveSettingsBothWays)
{
    TfmUpdateProgressFrm frm(live);
    frm.show();
    AppSettings s = live.values();
    s.dontShow = true;
    live.set(s);
    EXPECT_TRUE(frm.cbDontShow->isChecked()) << "the open window follows without reopening";
    frm.cbDontShow->setChecked(false);
    EXPECT_FALSE(live.values().dontShow);
}
