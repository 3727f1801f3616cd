// The channel properties dialog: what it shows, OK and Cancel, Enter inside the
// description, the dates it cannot show, and the link label.

#include "catalogue/ChannelTree.h"
#include "catalogue/forms/EditChannelUnit.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class EditChannelFrmTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        node = tree.addNode(tree.root(), QStringLiteral("Kanał"), NodeKind::Channel);
        TtvChannel *c = node->channel();
        c->url = QStringLiteral("http://x.test/rss");
        c->link = QStringLiteral("http://x.test/");
        c->description = QStringLiteral("Opis");
        c->copyright = QStringLiteral("(c) X");
        c->username = QStringLiteral("jan");
        c->password = QStringLiteral("tajne");
        c->enabled = true;
        c->alerts = false;
        c->lastupdate = QDateTime(QDate(2024, 3, 5), QTime(14, 30, 27));
        c->lastbuild = QStringLiteral("not a date");
        frm.setLinkOpener([this](const QUrl &url) { opened << url; });
    }
    template <typename T> T *child(const char *name)
    {
        return frm.findChild<T *>(QString::fromLatin1(name));
    }
    // Opens the dialog modally and runs `step` inside it.
    bool edit(const std::function<void()> &step)
    {
        QTimer::singleShot(0, &frm, step);
        QTimer::singleShot(5000, &frm, [this] { frm.reject(); }); // a bound, never reached
        return frm.editChannel(tree, node);
    }

    ChannelTree tree;
    ChannelNode *node = nullptr;
    TfmEditChannelFrm frm;
    QList<QUrl> opened;
};

TEST_F(EditChannelFrmTest, ShowsTheChannel)
{
    frm.fill(*node);
    EXPECT_EQ(frm.windowTitle(), QString::fromUtf8("Właściwości kanału:"));
    EXPECT_GE(frm.width(), 322);
    EXPECT_GE(frm.height(), 442);
    EXPECT_EQ(child<QLineEdit>("edName")->text(), QString::fromUtf8("Kanał"));
    EXPECT_EQ(child<QLineEdit>("edURL")->text(), "http://x.test/rss");
    EXPECT_EQ(child<QPlainTextEdit>("mmDescription")->toPlainText(), "Opis");
    EXPECT_TRUE(child<QCheckBox>("cbEnabled")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("cbBalloonAlerts")->isChecked());
    EXPECT_EQ(child<QSpinBox>("seChannelInterval")->text(), QStringLiteral("jak w ustawieniach"));
    EXPECT_EQ(child<QGroupBox>("gbAuthorization")->title(), "Uwierzytelnianie: ");
    EXPECT_EQ(child<QLineEdit>("edUserName")->text(), "jan");
    EXPECT_EQ(child<QLineEdit>("edPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(child<QLabel>("lbLink")->text(), "http://x.test/");
    ASSERT_NE(child<QLabel>("lbCopyRight"), nullptr);
    EXPECT_EQ(child<QLabel>("lbCopyRight")->text(), "(c) X");
    const QDateTime last = node->channel()->lastupdate;
    EXPECT_EQ(child<QLabel>("lbLastUpdate")->text(),
              QLocale().toString(last.date(), QLocale::ShortFormat) + " " +
                  last.time().toString("HH:mm:ss"));
    EXPECT_EQ(child<QLabel>("lbLastBuild")->text(), "b.d.");
    EXPECT_EQ(child<QPushButton>("btOK")->text(), "&OK");
    EXPECT_EQ(child<QPushButton>("btCancel")->text(), "&Anuluj");

    node->channel()->lastupdate = QDateTime(QDate(2024, 3, 1), QTime(0, 0));
    frm.fill(*node);
    EXPECT_EQ(child<QLabel>("lbLastUpdate")->text(),
              QLocale().toString(QDate(2024, 3, 1), QLocale::ShortFormat))
        << "no time at midnight";
    node->channel()->lastupdate = QDateTime();
    frm.fill(*node);
    EXPECT_EQ(child<QLabel>("lbLastUpdate")->text(), "b.d.");
}

// A long copyright line shows whole, on as many lines as it takes, in a window that fits.
TEST_F(EditChannelFrmTest, ALongCopyrightLineShowsWhole)
{
    node->channel()->copyright = QString::fromUtf8(
        "Copyright (c) 2004-2024 Wydawnictwo Przykładowe Sp. z o.o., wszelkie prawa "
        "zastrzeżone; przedruk wyłącznie za zgodą redakcji");
    frm.fill(*node);
    frm.show();
    QApplication::processEvents();
    auto *label = child<QLabel>("lbCopyRight");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), node->channel()->copyright);
    EXPECT_LE(label->width(), frm.width());
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    frm.hide();
}

TEST_F(EditChannelFrmTest, EnterInTheDescriptionIsOkAndWritesEveryField)
{
    const bool ok = edit([this] {
        child<QLineEdit>("edName")->setText(QString(300, QLatin1Char('n')));
        child<QLineEdit>("edURL")->setText(QStringLiteral("https://y.test/feed"));
        child<QCheckBox>("cbEnabled")->setChecked(false);
        child<QCheckBox>("cbBalloonAlerts")->setChecked(true);
        child<QLineEdit>("edUserName")->setText(QStringLiteral("ala"));
        child<QLineEdit>("edPassword")->setText(QStringLiteral("kot"));
        auto *description = child<QPlainTextEdit>("mmDescription");
        description->setFocus();
        description->setPlainText(QStringLiteral("Nowy opis"));
        QTest::keyClick(description, Qt::Key_Return);
    });
    ASSERT_TRUE(ok);
    const TtvChannel *c = node->channel();
    EXPECT_EQ(node->text(), QString(300, QLatin1Char('n'))); // any length
    EXPECT_EQ(c->url, "https://y.test/feed");
    EXPECT_EQ(c->description, "Nowy opis"); // no line break from the Enter
    EXPECT_FALSE(c->enabled);
    EXPECT_TRUE(c->alerts);
    EXPECT_EQ(c->username, "ala");
    EXPECT_EQ(c->password, "kot");
    EXPECT_EQ(c->link, "http://x.test/");
}

// The interval follows the settings until the user gives one, and goes back to them one
// step below the shortest interval.
TEST_F(EditChannelFrmTest, TheIntervalIsTheSettingsUntilOneIsChosen)
{
    ASSERT_TRUE(edit([this] {
        auto *interval = child<QSpinBox>("seChannelInterval");
        interval->setFocus();
        QTest::keyClick(interval, Qt::Key_Up);
        EXPECT_EQ(interval->text(), QStringLiteral("10 min."));
        child<QPushButton>("btOK")->click();
    }));
    EXPECT_EQ(node->channel()->interval, 10);

    node->channel()->interval = 10;
    QString shown;
    ASSERT_TRUE(edit([this, &shown] {
        auto *interval = child<QSpinBox>("seChannelInterval");
        shown = interval->text();
        interval->setFocus();
        QTest::keyClick(interval, Qt::Key_Down);
        QTest::keyClick(interval, Qt::Key_Return);
    }));
    EXPECT_EQ(shown, QStringLiteral("10 min."));
    EXPECT_EQ(node->channel()->interval, 0);

    node->channel()->interval = 90;
    EXPECT_FALSE(edit([this] {
        child<QSpinBox>("seChannelInterval")->setValue(20);
        child<QPushButton>("btCancel")->click();
    }));
    EXPECT_EQ(node->channel()->interval, 90);
}

TEST_F(EditChannelFrmTest, EscapeAndCancelChangeNothing)
{
    EXPECT_FALSE(edit([this] {
        child<QLineEdit>("edName")->setText(QStringLiteral("Inna"));
        QTest::keyClick(child<QLineEdit>("edName"), Qt::Key_Escape);
    }));
    EXPECT_FALSE(edit([this] {
        child<QLineEdit>("edURL")->setText(QStringLiteral("http://other"));
        child<QPushButton>("btCancel")->click();
    }));
    EXPECT_EQ(node->text(), QString::fromUtf8("Kanał"));
    EXPECT_EQ(node->channel()->url, "http://x.test/rss");
}

TEST_F(EditChannelFrmTest, TheLinkLabelOpensOnlyWebAddresses)
{
    frm.fill(*node);
    frm.show();
    QTest::mouseClick(child<QLabel>("lbLink"), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl("http://x.test/"));

    node->channel()->link = QStringLiteral("file:///etc/passwd");
    frm.fill(*node);
    frm.lbLinkClick();
    EXPECT_EQ(opened.size(), 1);
}

// Without a web browser (the offscreen platform opens nothing) the click is answered.
TEST(EditChannelFrmLink, AChannelLinkThatDoesNotOpenIsToldToTheUser)
{
    ChannelTree tree;
    ChannelNode *node = tree.addNode(tree.root(), QStringLiteral("Kanał"), NodeKind::Channel);
    node->channel()->link = QStringLiteral("http://x.test/");
    TfmEditChannelFrm frm;
    frm.fill(*node);
    QString told;
    QTimer::singleShot(0, &frm, [&told] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            told = box->text();
            box->close();
        }
    });
    frm.lbLinkClick();
    EXPECT_TRUE(told.contains(QStringLiteral("http://x.test/"))) << told.toStdString();
}

} // namespace
