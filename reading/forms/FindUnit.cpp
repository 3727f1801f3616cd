#include "reading/forms/FindUnit.h"

#include "kit/UiLook.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

QString TfmFindFrm::notFoundMessage(const QString &what)
{
    return QStringLiteral("Nie znaleziono wiadomości zawierających tekst \"") + what +
           QStringLiteral("\".");
}

TfmFindFrm::TfmFindFrm(QWidget *parent) : ProgramDialog(parent)
{
    setObjectName(QStringLiteral("fmFindFrm"));
    setWindowTitle(QStringLiteral("Wyszukaj:"));
    setModal(true);

    edWhat = new QLineEdit(this);
    edWhat->setObjectName(QStringLiteral("edWhat"));
    edWhat->setMinimumWidth(280);
    auto *lbWhat = new QLabel(QStringLiteral("&Wyszukaj zawierające:"), this);
    lbWhat->setBuddy(edWhat);

    cbDesc = new QRadioButton(QStringLiteral("w polu \"&Opis\""), this);
    cbDesc->setObjectName(QStringLiteral("cbDesc"));
    cbDesc->setChecked(true);
    cbAut = new QRadioButton(QStringLiteral("w polu \"&Autor\""), this);
    cbAut->setObjectName(QStringLiteral("cbAut"));
    cbTit = new QRadioButton(QStringLiteral("w polu \"&Tytuł\""), this);
    cbTit->setObjectName(QStringLiteral("cbTit"));
    cbArch = new QCheckBox(QStringLiteral("&Przeszukuj archiwum"), this);
    cbArch->setObjectName(QStringLiteral("cbArch"));
    cbAllChannels = new QCheckBox(QStringLiteral("Przeszukuj &wszystkie kanały"), this);
    cbAllChannels->setObjectName(QStringLiteral("cbAllChannels"));
    // One place is searched: the archive or the channels.
    connect(cbArch, &QCheckBox::toggled, cbAllChannels, [this](bool on) {
        if (on)
            cbAllChannels->setChecked(false);
    });
    connect(cbAllChannels, &QCheckBox::toggled, cbArch, [this](bool on) {
        if (on)
            cbArch->setChecked(false);
    });

    btOK = UiLook::flatPushButton("btOK", QStringLiteral("&OK"), this);
    btCancel = UiLook::flatPushButton("btCancel", QStringLiteral("&Anuluj"), this);

    auto *fields = new QVBoxLayout;
    fields->addWidget(cbDesc);
    fields->addWidget(cbAut);
    fields->addWidget(cbTit);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(lbWhat);
    layout->addWidget(edWhat);
    layout->addLayout(fields);
    layout->addWidget(cbArch);
    layout->addWidget(cbAllChannels);
    layout->addLayout(buttons);
    setFixedSize(sizeHint());

    connect(btOK, &QPushButton::clicked, this, &TfmFindFrm::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmFindFrm::btCancelClick);
    enableKeyPreview();
}

QString TfmFindFrm::what() const
{
    return edWhat->text();
}

TfmFindFrm::Field TfmFindFrm::field() const
{
    if (cbAut->isChecked())
        return Field::Author;
    if (cbTit->isChecked())
        return Field::Title;
    return Field::Description;
}

bool TfmFindFrm::searchArchive() const
{
    return cbArch->isChecked();
}

bool TfmFindFrm::searchAllChannels() const
{
    return cbAllChannels->isChecked();
}

void TfmFindFrm::setSearchAllChannels(bool all)
{
    cbAllChannels->setChecked(all);
}

void TfmFindFrm::showEvent(QShowEvent *event)
{
    ProgramDialog::showEvent(event);
    edWhat->setFocus(Qt::OtherFocusReason);
    edWhat->selectAll();
}

void TfmFindFrm::btOKClick()
{
    accept();
}

void TfmFindFrm::btCancelClick()
{
    reject();
}

