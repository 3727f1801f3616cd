#include "kit/MainStatusBar.h"

#include "kit/UiLook.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QStatusTipEvent>

namespace {

// Panel 1: filled with the window colour; the progress bar lies on it.
class StatusDrawnPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), UiLook::ground(UiLook::WindowColour));
    }
};

// Progress bar with a navy-to-window-colour gradient.
class GradientProgressBar : public QProgressBar
{
public:
    using QProgressBar::QProgressBar;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect frame = rect().adjusted(0, 0, -1, -1);
        painter.fillRect(frame, palette().color(QPalette::Base));
        const qint64 span = qint64(maximum()) - minimum();
        const double share = span > 0 ? double(qint64(value()) - minimum()) / double(span) : 0.0;
        const int width = int((frame.width() - 2) * qBound(0.0, share, 1.0));
        if (width > 0) {
            const QRect chunk(frame.left() + 1, frame.top() + 1, width, frame.height() - 1);
            QLinearGradient gradient(chunk.topLeft(), chunk.topRight());
            gradient.setColorAt(0.0, QColor(0, 0, 128));
            gradient.setColorAt(1.0, UiLook::ground(UiLook::DialogColour));
            painter.fillRect(chunk, gradient);
        }
        painter.setPen(UiLook::ground(UiLook::BorderColour));
        painter.drawRect(frame);
    }
};

} // namespace

MainStatusBar::MainStatusBar(QWidget *parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("sbStatus"));
    setSizeGripEnabled(false);
    setAutoFillBackground(true);
    UiLook::setGround(this, UiLook::WindowColour);
    setStyleSheet(QStringLiteral("QStatusBar::item { border: none; }"));

    auto *panel0 = new QLabel(ReadyText, this);
    panel0->setObjectName(QStringLiteral("sbStatusPanel0"));
    // Addresses and link targets of items show here: text, never markup.
    panel0->setTextFormat(Qt::PlainText);
    panel0->setFixedWidth(300);
    panel0->setIndent(4);
    m_drawnPanel = new StatusDrawnPanel(this);
    m_drawnPanel->setObjectName(QStringLiteral("sbStatusPanel1"));
    m_drawnPanel->setFixedWidth(200);
    auto *panel2 = new QLabel(NoticeText, this);
    panel2->setObjectName(QStringLiteral("sbStatusPanel2"));
    panel2->setTextFormat(Qt::PlainText);
    panel2->setIndent(4);
    QPalette notice = panel2->palette();
    notice.setColor(QPalette::WindowText, UiLook::isDark(QGuiApplication::palette())
                                              ? QColor(255, 138, 122)
                                              : QColor(160, 32, 24));
    panel2->setPalette(notice);
    addWidget(panel0, 0);
    addWidget(m_drawnPanel, 0);
    addWidget(panel2, 1);
    m_panels = {panel0, nullptr, panel2};
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(panel0), m_drawnPanel,
                       static_cast<QWidget *>(panel2)}) {
        w->installEventFilter(this);
        w->setCursor(Qt::PointingHandCursor);
    }
    setToolTip(QStringLiteral("Kliknij, aby zobaczyć raport synchronizacji"));

    m_panel0Text = ReadyText;
    // Status tips travel up to the window, which would show them across the whole bar.
    if (parent)
        parent->window()->installEventFilter(this);

    m_progress = new GradientProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pbDownloadProgress"));
    m_progress->setTextVisible(false);
    m_progress->setRange(1, 10001);
    m_progress->hide();
}

QString MainStatusBar::panelText(int panel) const
{
    if (panel < 0 || panel >= m_panels.size() || !m_panels.at(panel))
        return QString();
    return panel == 0 ? m_panel0Text : m_panels.at(panel)->text();
}

void MainStatusBar::setPanelText(int panel, const QString &text)
{
    if (panel < 0 || panel >= m_panels.size() || !m_panels.at(panel))
        return;
    if (panel == 0) {
        m_panel0Text = text;
        if (!m_hint.isEmpty())
            return; // shows once the hint goes
    }
    m_panels.at(panel)->setText(text);
    if (panel == 2)
        emit noticeChanged(text);
}

int MainStatusBar::panelWidth(int panel) const
{
    if (panel == 1)
        return m_drawnPanel->width();
    return panel >= 0 && panel < m_panels.size() && m_panels.at(panel) ? m_panels.at(panel)->width()
                                                                       : 0;
}

void MainStatusBar::showHint(const QString &hint)
{
    m_hint = hint;
    m_panels.at(0)->setText(hint.isEmpty() ? m_panel0Text : hint);
}

void MainStatusBar::fitToWindowWidth(int windowWidth)
{
    QLabel *notice = m_panels.at(2);
    const int noticeWidth = notice->fontMetrics().horizontalAdvance(NoticeText) +
                            2 * notice->indent() + 2 * notice->margin() + 4;
    notice->setMinimumWidth(noticeWidth);
    // What the bar's layout keeps for itself around and between the panels.
    const int slack = 16;
    const int room = windowWidth - panelWidth(1) - noticeWidth - slack;
    m_panels.at(0)->setFixedWidth(qMax(100, qMin(int(0.6 * windowWidth), room)));
    // The bar follows once the status bar has laid the panels out anew.
    placeProgressBar();
    QMetaObject::invokeMethod(
        this, [this] { placeProgressBar(); }, Qt::QueuedConnection);
}

void MainStatusBar::placeProgressBar()
{
    // The bar starts where panel 0 ends, 2 pixels from the top, and reaches the bottom edge.
    m_progress->setGeometry(m_panels.at(0)->width(), 2, panelWidth(1) - 4, qMax(4, height() - 2));
}

void MainStatusBar::showProgress(int progress, int maximum)
{
    if (maximum <= 0) {
        m_progress->hide();
        return;
    }
    m_progress->setMaximum(maximum);
    placeProgressBar();
    m_progress->show();
    if (progress < m_progress->maximum())
        m_progress->setValue(qMax(progress, m_progress->minimum()));
}

void MainStatusBar::hideProgress()
{
    m_progress->setValue(m_progress->minimum());
    m_progress->hide();
}

void MainStatusBar::setStatusText(const QString &text)
{
    setPanelText(0, text);
}

void MainStatusBar::progressBegin(qint64 expectedBytes)
{
    // What is being fetched matters more than the hint of a button the mouse passes.
    m_downloading = true;
    showHint(QString());
    const int maximum = int(qBound<qint64>(qint64(2), expectedBytes, qint64(0x7fffffff)));
    m_progress->setRange(1, maximum);
    m_progress->setValue(1);
    placeProgressBar();
    m_progress->show();
}

void MainStatusBar::progressWork(qint64 bytesSoFar)
{
    const qint64 value =
        qBound<qint64>(qint64(m_progress->minimum()), bytesSoFar, qint64(m_progress->maximum()));
    m_progress->setValue(int(value));
}

void MainStatusBar::progressEnd()
{
    m_downloading = false;
    m_progress->hide();
    m_progress->setValue(m_progress->minimum());
}

bool MainStatusBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::StatusTip && watched == window()) {
        if (!m_downloading)
            showHint(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    if (watched == window())
        return QStatusBar::eventFilter(watched, event);
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit clicked();
        return true;
    }
    if (event->type() == QEvent::Resize && watched == this)
        placeProgressBar();
    return QStatusBar::eventFilter(watched, event);
}
