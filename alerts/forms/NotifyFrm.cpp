#include "alerts/forms/NotifyFrm.h"

#include "alerts/AlertPlayback.h"
#include "kit/UiLook.h"

#include <QEnterEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>

namespace {
int animationMs = 180;

constexpr int FormWidth = 264;
constexpr int FormHeight = 160;

QLabel *picture(QWidget *parent, const char *name, const QString &svg, const QRect &place)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setPixmap(UiLook::svgPixmap(svg, place.size(), parent->devicePixelRatioF()));
    return label;
}

QLabel *textLabel(QWidget *parent, const char *name, const QRect &place, bool bold,
                  const QColor &colour)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText); // titles and channel names are the channels' text
    label->setAttribute(Qt::WA_TranslucentBackground);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}
} // namespace

TfmNotifyFrm::TfmNotifyFrm(AlertPlayback &playback, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                          | Qt::WindowDoesNotAcceptFocus),
      m_playback(playback)
{
    FormCreate();
    connect(&m_playback, &AlertPlayback::alertShown, this,
            [this](const QString &channel, const QString &title, const QString &counter, int seconds) {
                lbCount->setText(counter);
                lbCount->adjustSize();
                ShowAlert(channel, title, seconds);
            });
    connect(&m_playback, &AlertPlayback::labelsChanged, this,
            [this](const QString &channel, const QString &title, const QString &counter) {
                lbCount->setText(counter);
                lbCount->adjustSize();
                lbTitle->setText(channel);
                lbMsg->setText(title);
            });
}

void TfmNotifyFrm::setAnimationMs(int ms)
{
    animationMs = ms;
}

void TfmNotifyFrm::FormCreate()
{
    setObjectName(QStringLiteral("fmNotifyFrm"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(FormWidth, FormHeight);
    setWindowOpacity(245.0 / 255.0);
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setGeometry(0, 0, FormWidth, FormHeight);
    Shape1->setStyleSheet(QStringLiteral("#Shape1 { border: 1px solid rgb(%1, %2, %3); background: transparent; }")
                              .arg(UiLook::BorderColour.red())
                              .arg(UiLook::BorderColour.green())
                              .arg(UiLook::BorderColour.blue()));

    Image4 = picture(this, "Image4", QStringLiteral(":/icons/notify_decoration.svg"), {130, 23, 129, 119});
    Image1 = picture(this, "Image1", QStringLiteral(":/icons/channel.svg"), {4, 2, 16, 16});
    Image2 = picture(this, "Image2", QStringLiteral(":/icons/notify_separator.svg"), {4, 19, 250, 9});
    Image3 = picture(this, "Image3", QStringLiteral(":/icons/notify_counter.svg"), {6, 132, 145, 11});
    lbTitle = textLabel(this, "lbTitle", {20, 4, 223, 14}, true, QColor(252, 102, 4));
    lbMsg = textLabel(this, "lbMsg", {18, 29, 223, 106}, false, UiLook::TextColour);
    imCloseBtn = picture(this, "imCloseBtn", QStringLiteral(":/icons/notify_close.svg"), {243, 5, 16, 16});
    imLeft = picture(this, "imLeft", QStringLiteral(":/icons/notify_left.svg"), {3, 141, 15, 14});
    imRight = picture(this, "imRight", QStringLiteral(":/icons/notify_right.svg"), {21, 141, 15, 14});
    lbCount = textLabel(this, "lbCount", {39, 142, 60, 14}, true, QColor(28, 78, 148));
    lbCount->setWordWrap(false);

    // Pictures that only decorate let clicks through to the window, which opens the alert.
    for (QWidget *w : {static_cast<QWidget *>(Shape1), static_cast<QWidget *>(Image1), static_cast<QWidget *>(Image2),
                       static_cast<QWidget *>(Image3), static_cast<QWidget *>(Image4), static_cast<QWidget *>(lbCount)})
        w->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (QLabel *l : {lbTitle, lbMsg, imCloseBtn, imLeft, imRight})
        l->installEventFilter(this);

    tmClose = new QTimer(this);
    tmClose->setObjectName(QStringLiteral("tmClose"));
    tmClose->setSingleShot(true);
    tmClose->setTimerType(Qt::PreciseTimer); // the time left is kept exactly while held
    connect(tmClose, &QTimer::timeout, this, &TfmNotifyFrm::tmCloseTimer);

    m_animation = new QVariantAnimation(this);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        setMask(value.toRect());
    });
    placeOnScreen();
}

void TfmNotifyFrm::placeOnScreen()
{
    // The corner of the available area, so the desktop's panel does not cover the window.
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.right() + 1 - FormWidth, area.bottom() + 1 - FormHeight);
}

void TfmNotifyFrm::ShowAlert(const QString &title, const QString &message, int seconds)
{
    lbTitle->setText(title);
    lbMsg->setText(message);
    m_pausedMs = 0;
    tmClose->start(seconds * 1000);
    placeOnScreen();
    m_showing = true;
    playAppear();
    show();
}

void TfmNotifyFrm::playAppear()
{
    m_animation->stop();
    disconnect(m_animation, &QVariantAnimation::finished, this, nullptr);
    if (animationMs <= 0) {
        clearMask();
        return;
    }
    // Revealed from the top edge downwards.
    m_animation->setDuration(animationMs);
    m_animation->setStartValue(QRect(0, 0, FormWidth, 1));
    m_animation->setEndValue(QRect(0, 0, FormWidth, FormHeight));
    setMask(QRect(0, 0, FormWidth, 1));
    connect(m_animation, &QVariantAnimation::finished, this, [this] { clearMask(); });
    m_animation->start();
}

void TfmNotifyFrm::disappearAndHide()
{
    m_showing = false;
    m_animation->stop();
    disconnect(m_animation, &QVariantAnimation::finished, this, nullptr);
    if (animationMs <= 0 || !isVisible()) {
        hide();
        clearMask();
        return;
    }
    // Collapses towards its middle line.
    m_animation->setDuration(animationMs);
    m_animation->setStartValue(QRect(0, 0, FormWidth, FormHeight));
    m_animation->setEndValue(QRect(0, FormHeight / 2, FormWidth, 1));
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        if (!m_showing)
            hide();
        clearMask();
    });
    m_animation->start();
}

void TfmNotifyFrm::stopClose()
{
    tmClose->stop();
    m_pausedMs = 0;
}

void TfmNotifyFrm::tmCloseTimer()
{
    stopClose();
    disappearAndHide();
    m_playback.tmBalloonsTimer();
}

void TfmNotifyFrm::imCloseBtnClick()
{
    stopClose();
    disappearAndHide();
}

void TfmNotifyFrm::FormClick()
{
    stopClose();
    emit alertClicked(m_playback.channelRow(), m_playback.shownTitle());
    disappearAndHide();
    stopClose();
}

void TfmNotifyFrm::lbBackClick()
{
    if (m_playback.back())
        stopClose();
}

void TfmNotifyFrm::lbNextClick()
{
    if (m_playback.next())
        stopClose();
}

void TfmNotifyFrm::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        FormClick();
}

bool TfmNotifyFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == imCloseBtn)
            imCloseBtnClick();
        else if (watched == imLeft)
            lbBackClick();
        else if (watched == imRight)
            lbNextClick();
        else
            FormClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfmNotifyFrm::enterEvent(QEnterEvent *event)
{
    // The reader is looking at it: hold the time until the mouse leaves.
    if (tmClose->isActive()) {
        m_pausedMs = qMax(1, tmClose->remainingTime());
        tmClose->stop();
    }
    QWidget::enterEvent(event);
}

void TfmNotifyFrm::leaveEvent(QEvent *event)
{
    if (m_pausedMs > 0 && m_showing) {
        tmClose->start(m_pausedMs);
        m_pausedMs = 0;
    }
    QWidget::leaveEvent(event);
}
