#include "sync/forms/UpdateProgressUnit.h"

#include "base/LiveSettings.h"
#include "base/AppSettings.h"
#include "base/SettingsFile.h"
#include "kit/MainStatusBar.h"
#include "sync/ReportLog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QHeaderView>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

QIcon DrawnIcon(bool error)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(error ? QColor(200, 40, 40) : QColor(40, 150, 60));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    if (error) {
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    } else {
        p.drawLine(QPointF(4.5, 8.5), QPointF(7, 11));
        p.drawLine(QPointF(7, 11), QPointF(11.5, 5));
    }
    return QIcon(pixmap);
}

QIcon LineIcon(bool error)
{
    QIcon icon(error ? QStringLiteral(":/icons/error.svg") : QStringLiteral(":/icons/ok.svg"));
    if (icon.isNull() || icon.pixmap(16, 16).isNull())
        return DrawnIcon(error);
    return icon;
}

// Gives the log lines their pictures: icon 0 error, icon 1 success.
class IconProxyModel : public QIdentityProxyModel
{
public:
    explicit IconProxyModel(QObject *parent)
        : QIdentityProxyModel(parent), m_error(LineIcon(true)), m_success(LineIcon(false))
    {
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::DecorationRole) {
            const int icon = QIdentityProxyModel::data(index, ReportLog::IconRole).toInt();
            return icon == ReportLog::ErrorIcon ? m_error : m_success;
        }
        return QIdentityProxyModel::data(index, role);
    }

private:
    QIcon m_error;
    QIcon m_success;
};

// A line the column cuts shows whole in its tool tip; a line shown whole needs none.
class LogLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        if (!isCut(option, index)) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

    // Whether the line's text is elided in the cell `option` describes.
    bool isCut(const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        return sizeHint(opt, index).width() > opt.rect.width();
    }
};

} // namespace

TfmUpdateProgressFrm::TfmUpdateProgressFrm(LiveSettings &settings, QWidget *parent)
    : ProgramDialog(parent), m_settings(settings), m_log(new ReportLog(this))
{
    setObjectName(QStringLiteral("fmUpdateProgressFrm"));
    setWindowTitle(QStringLiteral("Kolvani"));
    // Long lines (addresses, server replies) need room: the window can be made larger.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setModal(false);
    const QIcon appIcon(QStringLiteral(":/icons/kolvani.svg"));
    if (!appIcon.isNull())
        setWindowIcon(appIcon);

    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setTextVisible(false);
    pbProgress->setFixedHeight(16);
    pbProgress->setValue(0);

    lvLog = new QTableView(this);
    lvLog->setObjectName(QStringLiteral("lvLog"));
    auto *icons = new IconProxyModel(lvLog);
    icons->setSourceModel(m_log);
    lvLog->setModel(icons);
    lvLog->setShowGrid(true);
    lvLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLog->setSelectionMode(QAbstractItemView::SingleSelection);
    lvLog->setWordWrap(false);
    lvLog->setTextElideMode(Qt::ElideRight);
    lvLog->setItemDelegate(new LogLineDelegate(lvLog));
    lvLog->setIconSize(QSize(16, 16));
    lvLog->verticalHeader()->hide();
    lvLog->verticalHeader()->setDefaultSectionSize(qMax(18, fontMetrics().height() + 4));
    lvLog->horizontalHeader()->setStretchLastSection(true);
    lvLog->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lvLog->horizontalHeader()->setHighlightSections(false);

    cbDontShow = new QCheckBox(QStringLiteral("Nie pokazuj domyślnie tego okna"), this);
    cbDontShow->setObjectName(QStringLiteral("cbDontShow"));

    btCancel = new QPushButton(QStringLiteral("&Anuluj"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setAutoDefault(false);
    btCancel->setMinimumWidth(75);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(cbDontShow);
    bottom->addStretch(1);
    bottom->addWidget(btCancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    layout->addWidget(pbProgress);
    layout->addWidget(lvLog, 1);
    layout->addLayout(bottom);

    connect(btCancel, &QPushButton::clicked, this, &TfmUpdateProgressFrm::btCancelClick);

    const QSize hint = minimumSizeHint();
    const QSize least(qMax(452, hint.width()), qMax(192, hint.height()));
    setMinimumSize(least);
    resize(least);
    FormCreate();
}

void TfmUpdateProgressFrm::FormCreate()
{
    cbDontShow->setChecked(m_settings.values().dontShow);
    // The box shows the live choice and changes it.
    connect(cbDontShow, &QCheckBox::toggled, this, [this](bool checked) {
        AppSettings s = m_settings.values();
        s.dontShow = checked;
        m_settings.set(s);
    });
    connect(&m_settings, &LiveSettings::changed, this,
            [this] { cbDontShow->setChecked(m_settings.values().dontShow); });
}

void TfmUpdateProgressFrm::runStarted(int total)
{
    pbProgress->setEnabled(true);
    pbProgress->setRange(0, total);
    pbProgress->setValue(0);
}

void TfmUpdateProgressFrm::runProgress(int done)
{
    pbProgress->setValue(done);
}

void TfmUpdateProgressFrm::runEnded()
{
    pbProgress->setEnabled(false);
}

void TfmUpdateProgressFrm::AddReportLine(const QString &text, int icon)
{
    m_log->addLine(text, icon);
    lvLog->scrollToBottom();
    if (icon == ReportLog::ErrorIcon)
        emit statusNoticeChanged(MainStatusBar::errorNotice(m_log->errorCount()));
}

void TfmUpdateProgressFrm::restoreSize(const QSize &size)
{
    if (size.isValid())
        resize(size.expandedTo(minimumSize()));
}

void TfmUpdateProgressFrm::ReportProblem(const QString &line)
{
    AddReportLine(line, ReportLog::ErrorIcon);
}

void TfmUpdateProgressFrm::clearLog()
{
    m_log->clear();
}

void TfmUpdateProgressFrm::btCancelClick()
{
    emit cancelRequested();
    hide();
}

void TfmUpdateProgressFrm::showEvent(QShowEvent *event)
{
    ProgramDialog::showEvent(event);
    emit statusNoticeChanged(QString()); // the notice has been seen
}

void TfmUpdateProgressFrm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        btCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}
