#pragma once

#include <QWidget>

class AlertPlayback;
class QFrame;
class QLabel;
class QTimer;
class QVariantAnimation;

// The small pop-up that announces new items one at a time in the bottom right corner. It
// never takes the keyboard focus; while the mouse rests on it, its time stands still.
class TfmNotifyFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TfmNotifyFrm(AlertPlayback &playback, QWidget *parent = nullptr);

    // Shows one alert for `seconds`, then hides and asks for the next one.
    void ShowAlert(const QString &title, const QString &message, int seconds);

    QTimer *closeTimer() const { return tmClose; }
    // Whether an alert is on screen or on its way (the animation included).
    bool isShowing() const { return m_showing; }
    // Length of the two animations; tests set 0.
    static void setAnimationMs(int ms);

public slots:
    void tmCloseTimer();
    void imCloseBtnClick();
    void FormClick();
    void lbBackClick();
    void lbNextClick();

signals:
    // The user clicked the alert: bring the main window up and open the item.
    void alertClicked(int channelRow, const QString &itemTitle);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void FormCreate();
    void placeOnScreen();
    void playAppear();
    // No mask, and the whole window drawn anew.
    void revealWhole();
    void disappearAndHide();
    void stopClose();

    AlertPlayback &m_playback;
    QFrame *Shape1 = nullptr;
    QLabel *Image1 = nullptr;
    QLabel *lbTitle = nullptr;
    QLabel *imCloseBtn = nullptr;
    QLabel *Image2 = nullptr;
    QLabel *Image4 = nullptr;
    QLabel *lbMsg = nullptr;
    QLabel *Image3 = nullptr;
    QLabel *imLeft = nullptr;
    QLabel *imRight = nullptr;
    QLabel *lbCount = nullptr;
    QTimer *tmClose = nullptr;
    QVariantAnimation *m_animation = nullptr;
    bool m_showing = false;
    int m_pausedMs = 0; // time left while the mouse rests on the window
};
