#include "app/forms/AboutFrmUnit.h"

#include "base/UserFolder.h"
#include "kit/UiLook.h"

#include "app/RtfReader.h"
#include "base/FileReplace.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The program's icon when the resources have it; otherwise a feed sign drawn here.
QPixmap LogoPixmap(int size)
{
    const QIcon icon(QStringLiteral(":/icons/kolvani.svg"));
    if (!icon.isNull()) {
        const QPixmap pixmap = icon.pixmap(size, size);
        if (!pixmap.isNull())
            return pixmap;
    }
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(232, 119, 34));
    p.drawRoundedRect(QRectF(0, 0, size, size), size / 6.0, size / 6.0);
    p.setBrush(Qt::white);
    const qreal u = size / 8.0;
    p.drawEllipse(QPointF(2 * u, 6 * u), u * 0.8, u * 0.8);
    QPen pen(Qt::white, u * 0.9, Qt::SolidLine, Qt::FlatCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(2 * u - 2.8 * u, 6 * u - 2.8 * u, 5.6 * u, 5.6 * u), 0, 90 * 16);
    p.drawArc(QRectF(2 * u - 4.6 * u, 6 * u - 4.6 * u, 9.2 * u, 9.2 * u), 0, 90 * 16);
    return pixmap;
}

} // namespace

TfmAboutFrm::TfmAboutFrm(const QString &executableDir, QWidget *parent)
    : ProgramDialog(parent), m_executableDir(executableDir)
{
    setObjectName(QStringLiteral("fmAboutFrm"));
    setWindowTitle(QStringLiteral("O programie"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    imLogo = new QLabel(this);
    imLogo->setObjectName(QStringLiteral("imLogo"));
    imLogo->setPixmap(LogoPixmap(64));
    imLogo->setFixedSize(64, 64);

    lbProduct = new QLabel(QStringLiteral("Kolvani"), this);
    lbProduct->setObjectName(QStringLiteral("lbProduct"));
    QFont big = lbProduct->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.8);
    lbProduct->setFont(big);

    lbCopyright = new QLabel(QStringLiteral("Czytnik kanałów informacyjnych RSS, RDF, Atom i JSON Feed\n"
                                            "Copyright (c) 2026 Kolvani\n"
                                            "Program udostępniany na licencji MIT."),
                             this);
    lbCopyright->setObjectName(QStringLiteral("lbCopyright"));

    reLicense = new QTextBrowser(this);
    reLicense->setObjectName(QStringLiteral("reLicense"));
    reLicense->setReadOnly(true);
    reLicense->setOpenLinks(false);
    reLicense->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    btCancel = UiLook::flatPushButton("btCancel", QStringLiteral("&Zamknij"), this);

    auto *texts = new QVBoxLayout;
    texts->addWidget(lbProduct);
    texts->addWidget(lbCopyright);
    texts->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(imLogo, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(reLicense, 1);
    layout->addLayout(bottom);

    connect(btCancel, &QPushButton::clicked, this, &TfmAboutFrm::btCancelClick);
    enableKeyPreview();

    fixSizeAtLeast(QSize(476, 410));
    FormCreate();
}

QString TfmAboutFrm::licensePath() const
{
    return UserFolder(QString(), m_executableDir).licenceFile();
}

void TfmAboutFrm::FormCreate()
{
    QFile file(licensePath());
    if (!file.open(QIODevice::ReadOnly)) {
        reLicense->clear();
        const QString message = QStringLiteral("Nie można otworzyć pliku licencji %1: %2")
                                    .arg(licensePath(), file.errorString());
        // The box is made at start-up, where nothing can refuse: the global handler shows it.
        QMetaObject::invokeMethod(
            this, [message] { throw FileError(message); }, Qt::QueuedConnection);
        return;
    }
    reLicense->setHtml(RtfToHtml(file.readAll()));
}

void TfmAboutFrm::btCancelClick()
{
    reject();
}

bool TfmAboutFrm::FormKeyDown(QKeyEvent *event)
{
    return enterOrEscape(event); // both close the box
}

bool TfmAboutFrm::keyPreview(QKeyEvent *event)
{
    // Ctrl+C and the arrows keep working in the licence text.
    const auto modifiers = event->modifiers();
    return (modifiers == Qt::NoModifier || modifiers == Qt::KeypadModifier) && FormKeyDown(event);
}
