#pragma once

#include "base/DownloadUi.h"

#include <QList>
#include <QStatusBar>

class QLabel;
class QProgressBar;

// The main window's status bar `sbStatus`: panel 0 (status texts), panel 1 with the
// progress bar `pbDownloadProgress` lying on it, and panel 2 (the report notice). A click
// anywhere on it asks for the report window. Downloads report to it as their IDownloadUi.
// Hints of buttons and menu entries (status tips) show in panel 0 while the mouse is on
// them, instead of covering the whole bar, and not at all while a download runs: the
// notice and the download's status stay in sight.
class MainStatusBar : public QStatusBar, public IDownloadUi
{
    Q_OBJECT
public:
    static inline const QString ReadyText = QStringLiteral("Gotowe.");
    // The notice after errors, with how many report lines tell of one.
    static QString errorNotice(int errors)
    {
        return QStringLiteral("Wystąpiły błędy (%1). Kliknij...").arg(errors);
    }
    // The widest notice the panel makes room for.
    static inline const QString NoticeText = errorNotice(999);

    explicit MainStatusBar(QWidget *parent);

    // The panel's own text; a hint shown over panel 0 is not part of it.
    QString panelText(int panel) const;
    // The hint on show in panel 0, empty when none.
    QString hintText() const { return m_hint; }
    void setPanelText(int panel, const QString &text);
    int panelWidth(int panel) const;
    // Panel 0 takes 60 % of the window's width, less when the whole notice of panel 2
    // would not fit beside it.
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
    void showHint(const QString &hint);

    QList<QLabel *> m_panels; // 0 and 2; panel 1 is drawn
    QString m_panel0Text;     // panel 0's own text, also while a hint covers it
    QString m_hint;
    QWidget *m_drawnPanel = nullptr;
    QProgressBar *m_progress = nullptr;
    bool m_downloading = false; // between progressBegin and progressEnd
};
