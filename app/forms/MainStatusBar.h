#pragma once

#include "feed/DownloadUi.h"

#include <QList>
#include <QStatusBar>

class QLabel;
class QProgressBar;

// The main window's status bar `sbStatus`: panel 0 (status texts), panel 1 with the
// progress bar `pbDownloadProgress` lying on it, and panel 2 (the report notice). A click
// anywhere on it asks for the report window. Downloads report to it as their IDownloadUi.
class MainStatusBar : public QStatusBar, public IDownloadUi
{
    Q_OBJECT
public:
    static inline const QString ReadyText = QStringLiteral("Gotowe");

    explicit MainStatusBar(QWidget *parent);

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString &text);
    int panelWidth(int panel) const;
    // Panel 0 takes 60 % of the window's width.
    void fitToWindowWidth(int windowWidth);

    QProgressBar *progressBar() const { return m_progress; }
    // Lays the bar on panel 1 again, after a change of the panels' sizes.
    void placeProgressBar();
    // The browser's loading progress; a maximum of 0 or less hides the bar.
    void showProgress(int progress, int maximum);
    void hideProgress();

    // IDownloadUi: panel 0 and the progress bar.
    void setStatusText(const QString &text) override;
    void progressBegin(qint64 expectedBytes) override;
    void progressWork(qint64 bytesSoFar) override;
    void progressEnd() override;

signals:
    void clicked();                          // sbStatusClick
    void noticeChanged(const QString &text); // panel 2

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QLabel *> m_panels; // 0 and 2; panel 1 is drawn
    QWidget *m_drawnPanel = nullptr;
    QProgressBar *m_progress = nullptr;
};
