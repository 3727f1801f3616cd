#include "app/forms/AboutFrmUnit.h"
#include "base/FileReplace.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>

namespace {

const QString ShippedDir = QStringLiteral(KV_SOURCE_DIR "/resources");

void key(QWidget *target, int k)
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

} // namespace

TEST(AboutFrm, ShowsTheLicenceFromTheExecutablesFolder)
{
    TfmAboutFrm about(ShippedDir);
    EXPECT_EQ(about.windowTitle(), "O programie");
    EXPECT_GE(about.width(), 476);
    EXPECT_GE(about.height(), 410);
    EXPECT_EQ(about.minimumSize(), about.maximumSize());
    EXPECT_EQ(about.findChild<QTextBrowser *>("reLicense"), about.reLicense);
    EXPECT_EQ(about.findChild<QPushButton *>("btCancel")->text(), "&Zamknij");
    EXPECT_TRUE(about.reLicense->isReadOnly());
    EXPECT_EQ(about.reLicense->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(about.lbProduct->text(), "Kolvani");
    EXPECT_TRUE(about.lbCopyright->text().contains("Copyright (c) 2026 Kolvani"));
    // Every format the program reads is named, and the line shows whole.
    EXPECT_TRUE(about.lbCopyright->text().contains("Atom"));
    EXPECT_TRUE(about.lbCopyright->text().contains("JSON Feed"));
    about.show();
    EXPECT_GE(about.lbCopyright->width(), about.lbCopyright->sizeHint().width());
    about.hide();
    EXPECT_FALSE(about.imLogo->pixmap().isNull());

    const QString text = about.reLicense->toPlainText();
    EXPECT_TRUE(text.contains(QString::fromUtf8("Niniejszym udziela się bezpłatnie")));
    EXPECT_TRUE(text.contains("Permission is hereby granted"));
    // Nothing is waiting to be raised.
    EXPECT_NO_THROW(QCoreApplication::sendPostedEvents(&about, QEvent::MetaCall));
}

TEST(AboutFrm, MissingLicenceIsRaisedToTheGlobalHandler)
{
    QTemporaryDir empty;
    std::unique_ptr<TfmAboutFrm> about;
    ASSERT_NO_THROW(about = std::make_unique<TfmAboutFrm>(empty.path()));
    EXPECT_EQ(about->licensePath(), empty.path() + "/licencja.rtf");
    EXPECT_TRUE(about->reLicense->toPlainText().isEmpty());
    EXPECT_THROW(QCoreApplication::sendPostedEvents(about.get(), QEvent::MetaCall), FileError);
    // The box still opens and closes.
    about->show();
    about->btCancel->click();
    EXPECT_FALSE(about->isVisible());
}

TEST(AboutFrm, EnterEscAndTheButtonClose)
{
    TfmAboutFrm about(ShippedDir);
    about.show();
    key(about.reLicense, Qt::Key_Escape);
    EXPECT_FALSE(about.isVisible());
    about.show();
    key(about.reLicense, Qt::Key_Return);
    EXPECT_FALSE(about.isVisible());
    about.show();
    key(&about, Qt::Key_Enter);
    EXPECT_FALSE(about.isVisible());
    about.show();
    about.btCancel->click();
    EXPECT_FALSE(about.isVisible());
    // Other keys still scroll the licence rather than close the box.
    about.show();
    key(about.reLicense, Qt::Key_PageDown);
    EXPECT_TRUE(about.isVisible());
    about.hide();
}
