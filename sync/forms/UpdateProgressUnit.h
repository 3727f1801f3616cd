#pragma once

#include "feed/ReportSink.h"

#include "kit/ProgramDialog.h"

#include <QSize>
#include <QString>

class LiveSettings;
class QCheckBox;
class QKeyEvent;
class QProgressBar;
class QPushButton;
class QTableView;
class ReportLog;

// The report window: every network and feed problem is written here; a synchronisation
// run also shows its progress and success lines in it. Shown without blocking.
class TfmUpdateProgressFrm : public ProgramDialog, public IReportSink
{
    Q_OBJECT
public:
    // Ticks cbDontShow as `settings` say (read from the settings file at start) and keeps
    // the two together; `settings` must outlive the window.
    explicit TfmUpdateProgressFrm(LiveSettings &settings, QWidget *parent = nullptr);

    QProgressBar *pbProgress = nullptr;
    QTableView *lvLog = nullptr;
    QCheckBox *cbDontShow = nullptr;
    QPushButton *btCancel = nullptr;

    // Appends a line; icon 0 (error) also puts the error notice, with the number of error
    // lines in the log, in the status bar.
    void AddReportLine(const QString &text, int icon);
    void ReportProblem(const QString &line) override;
    // Empties the log (at the start of a run over all channels).
    void clearLog();
    ReportLog *reportLog() const { return m_log; }
    // A run's progress bar: `total` nodes from now on, `done` of them so far, the run over.
    void runStarted(int total);
    void runProgress(int done);
    void runEnded();
    // The size the user gave the window last time; an invalid size keeps the default.
    void restoreSize(const QSize &size);

signals:
    // "&Anuluj" or Esc: the run in progress stops after its current channel.
    void cancelRequested();
    // Text for panel 2 of the main window's status bar.
    void statusNoticeChanged(const QString &text);

public slots:
    void FormCreate();
    void btCancelClick();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    LiveSettings &m_settings;
    ReportLog *m_log = nullptr;
};
