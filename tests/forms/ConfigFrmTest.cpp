#include "support/SignalWait.h"
#include "app/Autostart.h"
#include "base/LiveSettings.h"
#include "base/SettingsFile.h"
#include "base/SettingsFile.h"
#include "app/forms/ConfigUnit.h"
#include "base/FileReplace.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {

void key(QWidget *target, int k, const QString &text = QString())
{
    QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

void typeInto(IntervalSpinEdit *spin, const QString &text)
{
    spin->selectAll();
    key(spin, Qt::Key_Backspace);
    for (const QChar c : text)
        key(spin, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_unknown, QString(c));
}

QString spinText(IntervalSpinEdit *spin)
{
    return spin->findChild<QLineEdit *>()->text();
}

// Closes the next message box that opens and keeps its text.
class MessageBoxCatcher : public QObject
{
public:
    MessageBoxCatcher()
    {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                text = box->text();
                title = box->windowTitle();
                icon = box->icon();
                box->done(QMessageBox::Ok);
                timer->stop();
            }
        });
        timer->start(10);
    }
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::Critical;
};

class ConfigFrmTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("xdgconfig")));
        writeAll(config(), "[Channels]\nChannelsListURL=\n");
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", m_oldConfigHome); }

    QString config() const { return dir.filePath("config.ini"); }
    QString entry() const { return dir.filePath("xdgconfig/autostart/Felvane.desktop"); }
    std::unique_ptr<TfmConfigFrm> makeDialog()
    {
        auto dlg = std::make_unique<TfmConfigFrm>(live, config(), "/opt/kolvani/kolvani");
        return dlg;
    }

    QTemporaryDir dir;
    LiveSettings live;
    QByteArray m_oldConfigHome;
};

} // namespace

TEST_F(ConfigFrmTest, LooksAsDescribed)
{
    auto dlg = makeDialog();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("Ustawienia programu:"));
    EXPECT_GE(dlg->width(), 317);
    EXPECT_GE(dlg->height(), 276);
    EXPECT_LE(dlg->width(), 420);
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize()); // fixed size

    struct Caption
    {
        const char *name;
        const char *text;
    };
    const Caption groups[] = {{"gbSync", " Synchronizacja: "}, {"gbProxy", " Ustawienia Proxy "}};
    for (const Caption &c : groups) {
        auto *g = dlg->findChild<QGroupBox *>(c.name);
        ASSERT_NE(g, nullptr) << c.name;
        EXPECT_EQ(g->title(), QString::fromUtf8(c.text));
    }
    const Caption boxes[] = {
        {"cbUpdates", "&Uaktualniaj kanały co:"},
        {"cbBalloon", "Pokazuj powiadomienia o nowych wiadomościach"},
        {"cbEnableProxy", "&Używaj Proxy"},
        {"cbAutorun", "&Uruchamiaj program przy starcie systemu"},
        {"cbCloseAction", "Po zamknięciu okna głównego ukryj program w tray'u"},
        {"cbRemoteContent", "&Wczytuj z sieci obrazy, filmy i dźwięki wiadomości"}};
    for (const Caption &c : boxes) {
        auto *b = dlg->findChild<QCheckBox *>(c.name);
        ASSERT_NE(b, nullptr) << c.name;
        EXPECT_EQ(b->text(), QString::fromUtf8(c.text));
    }
    EXPECT_EQ(dlg->findChild<QPushButton *>("btOK"), dlg->btOK);
    EXPECT_EQ(dlg->btOK->text(), "&OK");
    EXPECT_EQ(dlg->btCancel->text(), "&Anuluj");
    EXPECT_TRUE(dlg->btOK->isFlat());
    EXPECT_EQ(dlg->findChild<QSpinBox *>("seInterval"), dlg->seInterval);
    EXPECT_EQ(dlg->seInterval->minimum(), 30);
    EXPECT_EQ(dlg->seInterval->maximum(), 2000);
    for (const char *name : {"edProxyServer", "edProxyPort", "edProxyUser", "edProxyPassword"})
        EXPECT_NE(dlg->findChild<QLineEdit *>(name), nullptr) << name;
    EXPECT_EQ(dlg->edProxyPassword->echoMode(), QLineEdit::Password);

    // Labels with their accelerators lead to their edits.
    QStringList labels;
    for (QLabel *l : dlg->findChildren<QLabel *>())
        labels << l->text();
    for (const char *text : {"&Serwer proxy:", "&Port:", "&Użytkownik:", "&Hasło::", "minut."})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
    for (QLabel *l : dlg->findChildren<QLabel *>())
        if (l->text() == "&Port:")
            EXPECT_EQ(l->buddy(), dlg->edProxyPort);
}

TEST_F(ConfigFrmTest, FreshInstallationDefaults)
{
    QFile::remove(config());
    auto dlg = makeDialog();
    EXPECT_FALSE(dlg->cbUpdates->isChecked());
    EXPECT_EQ(dlg->seInterval->typedValue(), 60);
    EXPECT_EQ(spinText(dlg->seInterval), "60");
    EXPECT_TRUE(dlg->cbBalloon->isChecked());
    EXPECT_TRUE(dlg->cbCloseAction->isChecked());
    EXPECT_FALSE(dlg->cbEnableProxy->isChecked());
    EXPECT_EQ(dlg->edProxyPort->text(), "0");
    EXPECT_EQ(dlg->edProxyServer->text(), "");
    EXPECT_FALSE(dlg->cbAutorun->isChecked());
    EXPECT_TRUE(dlg->cbRemoteContent->isChecked()) << "pictures stay on";
    EXPECT_TRUE(live.values().remoteContent);
    EXPECT_FALSE(QFileInfo::exists(entry()));
    EXPECT_EQ(live.updateInterval(), 0);
    EXPECT_FALSE(QFileInfo::exists(config())); // reading creates nothing
}

// The proxy's fields are greyed while no proxy is used, and keep what was typed in them.
TEST_F(ConfigFrmTest, ProxyFieldsAreEnabledOnlyWhileTheProxyIsUsed)
{
    QFile::remove(config());
    auto dlg = makeDialog();
    const QList<QWidget *> fields = {dlg->edProxyServer, dlg->edProxyPort, dlg->edProxyUser,
                                     dlg->edProxyPassword};
    const auto allEnabled = [&](bool on) {
        for (QWidget *field : fields)
            if (field->isEnabled() != on)
                return false;
        for (QLabel *label : dlg->gbProxy->findChildren<QLabel *>())
            if (label->isEnabled() != on)
                return false;
        return true;
    };
    EXPECT_TRUE(allEnabled(false));
    EXPECT_TRUE(dlg->cbEnableProxy->isEnabled());
    dlg->cbEnableProxy->setChecked(true);
    EXPECT_TRUE(allEnabled(true));
    dlg->edProxyServer->setText(QStringLiteral("proxy.local"));
    dlg->cbEnableProxy->setChecked(false);
    EXPECT_TRUE(allEnabled(false));
    EXPECT_EQ(dlg->edProxyServer->text(), QStringLiteral("proxy.local"));
}

TEST_F(ConfigFrmTest, ReadsStoredValuesKeepingTheIntervalInRange)
{
    writeAll(config(), "[config]\nseInterval=45\ncbUpdates=1\ncbBalloon=0\ncbCloseAction=0\n"
                       "cbEnableProxy=1\nedProxyServer=proxy.local\nedProxyPort=8080\n"
                       "edProxyUser=ala\nedProxyPassword=kot\ncbRemoteContent=0\n");
    auto dlg = makeDialog();
    EXPECT_FALSE(dlg->cbRemoteContent->isChecked());
    EXPECT_FALSE(live.values().remoteContent);
    EXPECT_TRUE(dlg->cbUpdates->isChecked());
    EXPECT_EQ(dlg->seInterval->typedValue(), 45);
    EXPECT_FALSE(dlg->cbBalloon->isChecked());
    EXPECT_FALSE(dlg->cbCloseAction->isChecked());
    const ProxySettings p = dlg->proxySettings();
    EXPECT_TRUE(p.enabled);
    EXPECT_EQ(p.server, "proxy.local");
    EXPECT_EQ(p.port, "8080");
    EXPECT_EQ(p.user, "ala");
    EXPECT_EQ(p.password, "kot");
    // What the other parts use comes from here; the interval was read at the main window's
    // creation and changes only at OK.
    EXPECT_FALSE(live.values().balloon);
    EXPECT_FALSE(live.values().closeAction);
    EXPECT_EQ(live.proxy().server, "proxy.local");
    EXPECT_EQ(live.updateInterval(), 0);

    writeAll(config(), "[config]\nseInterval=5\n");
    EXPECT_EQ(makeDialog()->seInterval->typedValue(), 30);
    writeAll(config(), "[config]\nseInterval=2500\n");
    EXPECT_EQ(makeDialog()->seInterval->typedValue(), 2000);
    writeAll(config(), "[config]\nseInterval=abc\n");
    EXPECT_EQ(makeDialog()->seInterval->typedValue(), 60);
}

TEST_F(ConfigFrmTest, OkWritesEveryKeyInOrderAndSetsTheTimer)
{
    auto dlg = makeDialog();
    dlg->show();
    dlg->seInterval->setValue(30);
    dlg->cbUpdates->setChecked(true);
    dlg->cbBalloon->setChecked(false);
    dlg->cbCloseAction->setChecked(false);
    dlg->cbEnableProxy->setChecked(true);
    dlg->edProxyServer->setText("10.0.0.1");
    dlg->edProxyPort->setText(" 3128 ");
    dlg->edProxyUser->setText(QString::fromUtf8("żaba"));
    dlg->edProxyPassword->setText("tajne");
    dlg->cbRemoteContent->setChecked(false);
    dlg->btOK->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);

    EXPECT_EQ(
        QString::fromUtf8(readAll(config())),
        QString::fromUtf8("[Channels]\nChannelsListURL=\n\n[config]\nseInterval=30\ncbUpdates=1\n"
                          "cbBalloon=0\nseHostConnections=6\ncbKeepItems=0\nseKeepDays=30\ncbAutorun=0\ncbCloseAction=0\ncbEnableProxy=1\n"
                          "edProxyServer=10.0.0.1\nedProxyPort= 3128 \nedProxyUser=żaba\n"
                          "edProxyPassword=tajne\ncbRemoteContent=0\ncbGroupShowsItems=0\n"));
    EXPECT_EQ(live.updateInterval(), 1800000);

    dlg->show();
    dlg->seInterval->setValue(2000);
    dlg->btOK->click();
    EXPECT_EQ(live.updateInterval(), 120000000);
    EXPECT_EQ(SettingsFile(config()).readInt("config", "seInterval", 0), 2000);

    dlg->show();
    dlg->cbUpdates->setChecked(false);
    dlg->btOK->click();
    EXPECT_EQ(live.updateInterval(), 0);
    EXPECT_FALSE(SettingsFile(config()).readBool("config", "cbUpdates", true));
}

// Keeping the items a channel drops is off on a fresh installation; turned on at OK it
// reaches the updates of this run and the next start, and Cancel leaves it as it was.
TEST_F(ConfigFrmTest, KeepingDroppedItemsIsOffUntilTurnedOnAtOk)
{
    auto dlg = makeDialog();
    EXPECT_FALSE(dlg->cbKeepItems->isChecked());
    EXPECT_EQ(dlg->cbKeepItems->text(), QString::fromUtf8("&Zachowuj wiadomości usunięte z kanału przez"));
    EXPECT_FALSE(dlg->seKeepDays->isEnabled());
    EXPECT_EQ(dlg->seKeepDays->value(), 30);
    EXPECT_EQ(live.values().keptItemDays(), 0);

    dlg->show();
    dlg->cbKeepItems->setChecked(true);
    EXPECT_TRUE(dlg->seKeepDays->isEnabled());
    dlg->seKeepDays->setValue(14);
    dlg->btCancel->click();
    EXPECT_EQ(live.values().keptItemDays(), 0) << "not before OK";
    dlg->show();
    dlg->btOK->click();
    EXPECT_EQ(live.values().keptItemDays(), 14);
    EXPECT_TRUE(SettingsFile(config()).readBool("config", "cbKeepItems", false));
    EXPECT_EQ(SettingsFile(config()).readInt("config", "seKeepDays", 0), 14);

    LiveSettings next;
    TfmConfigFrm again(next, config(), "/opt/kolvani/kolvani");
    EXPECT_TRUE(again.cbKeepItems->isChecked());
    EXPECT_TRUE(again.seKeepDays->isEnabled());
    EXPECT_EQ(again.seKeepDays->value(), 14);
    // Days out of range in the file are brought within it.
    writeAll(config(), "[config]\ncbKeepItems=1\nseKeepDays=0\n");
    EXPECT_EQ(AppSettings::read(SettingsFile(config())).keptItemDays(), 1);
}

// Without a per-user folder the settings file has no place: nothing is written into the
// folder the program was started from, and the user is told.
TEST_F(ConfigFrmTest, WithoutAPerUserFolderTheSettingsAreNotWrittenAnywhere)
{
    QTemporaryDir startedFrom;
    QDir().mkpath(startedFrom.filePath("data"));
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(startedFrom.path()));
    for (const QString &path : {QString(), QStringLiteral("data/config.ini")}) {
        TfmConfigFrm dlg(live, path, "/opt/kolvani/kolvani");
        dlg.show();
        dlg.cbEnableProxy->setChecked(true);
        dlg.edProxyPort->setText("8080");
        dlg.edProxyPassword->setText("tajne");
        MessageBoxCatcher catcher;
        dlg.btOKClick();
        EXPECT_TRUE(catcher.text.startsWith(QString::fromUtf8("Nie można zapisać ustawień")))
            << qPrintable(catcher.text);
        EXPECT_EQ(catcher.title, QString::fromUtf8("Błąd:"));
    }
    QDir::setCurrent(oldCurrent);
    EXPECT_TRUE(QDir(startedFrom.filePath("data")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(startedFrom.filePath("config.ini")));
}

TEST_F(ConfigFrmTest, ProxyPortMustBeAWholeNumberOnlyWhileTheProxyIsOn)
{
    auto dlg = makeDialog();
    dlg->show();
    const QByteArray before = readAll(config());
    dlg->cbEnableProxy->setChecked(true);
    dlg->edProxyPort->setText("80a");
    dlg->cbUpdates->setChecked(true);
    {
        MessageBoxCatcher catcher;
        dlg->btOKClick();
        EXPECT_EQ(catcher.text,
                  QString::fromUtf8("Podaj poprawną liczbę całkowitą jako numer portu Proxy"));
        EXPECT_EQ(catcher.icon, QMessageBox::NoIcon);
    }
    EXPECT_TRUE(dlg->isVisible());        // stays open
    EXPECT_EQ(readAll(config()), before); // nothing written
    EXPECT_EQ(live.updateInterval(), 0);

    dlg->cbEnableProxy->setChecked(false);
    dlg->btOKClick();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(SettingsFile(config()).readString("config", "edProxyPort"), "80a");
    EXPECT_FALSE(SettingsFile(config()).readBool("config", "cbEnableProxy", true));
}

TEST_F(ConfigFrmTest, CancelKeepsTheChangesForThisRunOnly)
{
    auto dlg = makeDialog();
    const QByteArray before = readAll(config());
    dlg->show();
    dlg->cbCloseAction->setChecked(false);
    dlg->cbUpdates->setChecked(true);
    dlg->seInterval->setValue(90);
    dlg->edProxyServer->setText("changed");
    dlg->cbRemoteContent->setChecked(false);
    dlg->btCancel->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->cbCloseAction->isChecked()); // the live setting of this run
    EXPECT_EQ(dlg->proxySettings().server, "changed");
    EXPECT_EQ(readAll(config()), before);
    EXPECT_FALSE(live.values().closeAction) << "the others use the changed value";
    EXPECT_EQ(live.proxy().server, "changed");
    EXPECT_FALSE(live.values().remoteContent) << "remote content follows the box at once";
    EXPECT_EQ(live.updateInterval(), 0) << "the interval acts only at OK";

    // The next start reads the stored value again.
    EXPECT_TRUE(makeDialog()->cbCloseAction->isChecked());

    // Esc cancels as the button does, wherever the focus is.
    dlg->show();
    dlg->cbBalloon->setChecked(false);
    key(dlg->edProxyUser, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(readAll(config()), before);
}

TEST_F(ConfigFrmTest, EnterIsOk)
{
    auto dlg = makeDialog();
    dlg->show();
    dlg->cbBalloon->setChecked(false);
    key(dlg->edProxyServer, Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(SettingsFile(config()).readBool("config", "cbBalloon", true));
}

TEST_F(ConfigFrmTest, IntervalTypedAboveMaximumAndConfirmedWithEnterIsStoredAsTyped)
{
    auto dlg = makeDialog();
    dlg->show();
    dlg->cbUpdates->setChecked(true);
    typeInto(dlg->seInterval, "2500");
    EXPECT_EQ(spinText(dlg->seInterval), "2500");
    EXPECT_EQ(dlg->seInterval->typedValue(), 2500);
    key(dlg->seInterval, Qt::Key_Enter);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(SettingsFile(config()).readInt("config", "seInterval", 0), 2500);
    EXPECT_EQ(live.updateInterval(), 2500 * 60000);
}

// Enter and OK end the editing as leaving the field does: a number below the minimum,
// typed and confirmed at once, is stored and shown as the minimum.
TEST_F(ConfigFrmTest, IntervalBelowTheMinimumConfirmedWithEnterBecomesTheMinimum)
{
    auto dlg = makeDialog();
    dlg->show();
    dlg->cbUpdates->setChecked(true);
    typeInto(dlg->seInterval, "7");
    EXPECT_EQ(spinText(dlg->seInterval), "7");
    key(dlg->seInterval, Qt::Key_Enter);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(SettingsFile(config()).readInt("config", "seInterval", 0), 30);
    EXPECT_EQ(live.updateInterval(), 30 * 60000);
    EXPECT_EQ(spinText(dlg->seInterval), "30");
}

TEST_F(ConfigFrmTest, IntervalRules)
{
    auto dlg = makeDialog();
    dlg->show();
    IntervalSpinEdit *se = dlg->seInterval;

    // A number below the minimum stands while it is typed (else "45" could not be typed
    // through its "4") and becomes the minimum when the field loses the focus.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    typeInto(se, "45");
    EXPECT_EQ(spinText(se), "45");
    EXPECT_EQ(se->typedValue(), 45);
    typeInto(se, "1");
    EXPECT_EQ(spinText(se), "1");
    QApplication::sendEvent(se, &out);
    EXPECT_EQ(spinText(se), "30");
    EXPECT_EQ(se->typedValue(), 30);
    typeInto(se, "-5");
    QApplication::sendEvent(se, &out);
    EXPECT_EQ(spinText(se), "30");

    // Letters cannot be typed.
    typeInto(se, "4");
    key(se, Qt::Key_A, "a");
    EXPECT_EQ(spinText(se), "4");

    // Above the maximum: kept while typing, brought back when the field loses the focus.
    se->showValue(250);
    key(se, Qt::Key_End);
    key(se, Qt::Key_0, "0");
    EXPECT_EQ(se->typedValue(), 2500);
    QApplication::sendEvent(se, &out);
    EXPECT_EQ(spinText(se), "2000");
    EXPECT_EQ(se->typedValue(), 2000);

    // The arrows stay inside the range.
    key(se, Qt::Key_Up);
    EXPECT_EQ(se->typedValue(), 2000);
    se->showValue(30);
    key(se, Qt::Key_Down);
    EXPECT_EQ(se->typedValue(), 30);
    key(se, Qt::Key_Up);
    EXPECT_EQ(se->typedValue(), 31);

    // An empty field is left alone and reads as the minimum, also when OK stores it.
    typeInto(se, "");
    EXPECT_EQ(spinText(se), "");
    EXPECT_EQ(se->typedValue(), 30);
    QApplication::sendEvent(se, &out);
    EXPECT_EQ(spinText(se), "");
    dlg->btOKClick();
    EXPECT_EQ(SettingsFile(config()).readInt("config", "seInterval", 0), 30);
}

TEST_F(ConfigFrmTest, AutostartFollowsTheBoxAtOnce)
{
    auto dlg = makeDialog();
    dlg->show();
    dlg->cbAutorun->click();
    ASSERT_TRUE(QFileInfo::exists(entry()));
    EXPECT_TRUE(readAll(entry()).contains("Exec=\"/opt/kolvani/kolvani\" hid"));
    dlg->btCancel->click(); // the entry stays although the dialog is cancelled
    EXPECT_TRUE(QFileInfo::exists(entry()));
    EXPECT_FALSE(SettingsFile(config()).readBool("config", "cbAutorun", false));

    dlg->show();
    dlg->cbAutorun->click();
    EXPECT_FALSE(QFileInfo::exists(entry()));
}

TEST_F(ConfigFrmTest, StoredAutostartIsWrittenAgainWithTheCurrentPath)
{
    writeAll(config(), "[config]\ncbAutorun=1\n");
    QDir().mkpath(QFileInfo(entry()).absolutePath());
    writeAll(entry(), "[Desktop Entry]\nExec=\"/old/place/kolvani\" hid\n");
    TfmConfigFrm dlg(live, config(), "/new/place/kolvani");
    EXPECT_TRUE(dlg.cbAutorun->isChecked());
    EXPECT_TRUE(readAll(entry()).contains("Exec=\"/new/place/kolvani\" hid"));
    EXPECT_FALSE(readAll(entry()).contains("/old/"));

    // Stored off: the creation leaves any entry alone.
    writeAll(config(), "[config]\ncbAutorun=0\n");
    TfmConfigFrm off(live, config(), "/other/kolvani");
    EXPECT_TRUE(readAll(entry()).contains("/new/place/"));
}

TEST_F(ConfigFrmTest, AutostartFailureGoesToTheGlobalHandler)
{
    // A file where the autostart folder should be.
    QDir().mkpath(dir.filePath("xdgconfig"));
    writeAll(dir.filePath("xdgconfig/autostart"), "");
    auto dlg = makeDialog();
    dlg->cbAutorun->setChecked(true); // does not throw through the check box
    EXPECT_TRUE(dlg->cbAutorun->isChecked());
    EXPECT_THROW(QCoreApplication::sendPostedEvents(dlg.get(), QEvent::MetaCall), FileError);

    // At creation too, after the dialog is complete.
    writeAll(config(), "[config]\ncbAutorun=1\n");
    std::unique_ptr<TfmConfigFrm> created;
    ASSERT_NO_THROW(created = makeDialog());
    EXPECT_TRUE(created->cbAutorun->isChecked());
    EXPECT_THROW(QCoreApplication::sendPostedEvents(created.get(), QEvent::MetaCall), FileError);
}
