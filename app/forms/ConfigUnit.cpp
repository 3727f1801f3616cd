#include "app/forms/ConfigUnit.h"

#include "base/AppSettings.h"
#include "app/Autostart.h"
#include "base/LiveSettings.h"
#include "base/SettingsFile.h"
#include "kit/UiLook.h"
#include "feed/TextOps.h"
#include "base/SettingsFile.h"
#include "kit/UiLook.h"
#include "base/FileReplace.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QVBoxLayout>

#include <exception>
#include <limits>

namespace {

bool parseWholeNumber(const QString &text, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (ok && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max()) {
        *value = v;
        return true;
    }
    return false;
}

// Errors of a step that cannot refuse (creation, a click) go to the application's last
// net, the global error message, once control is back in the event loop.
void RaiseLater(QObject *context, const QString &message)
{
    QMetaObject::invokeMethod(
        context, [message] { throw FileError(message); }, Qt::QueuedConnection);
}

} // namespace

IntervalSpinEdit::IntervalSpinEdit(QWidget *parent) : QSpinBox(parent)
{
    connect(lineEdit(), &QLineEdit::textChanged, this, &IntervalSpinEdit::typedTextChanged);
    connect(this, &QAbstractSpinBox::editingFinished, this,
            [this] { emit typingEnded(lineEdit()->text()); });
}

int IntervalSpinEdit::typedValue() const
{
    qint64 v = 0;
    return parseWholeNumber(lineEdit()->text(), &v) ? int(v) : minimum();
}

QString IntervalSpinEdit::typedText() const
{
    return lineEdit()->text();
}

void IntervalSpinEdit::showValue(int value)
{
    setValue(value);
    const QString text = textFromValue(this->value());
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

QValidator::State IntervalSpinEdit::validate(QString &input, int &) const
{
    static const QRegularExpression allowed(QStringLiteral("^[+-]?[0-9]*$"));
    if (!allowed.match(input).hasMatch())
        return QValidator::Invalid;
    qint64 v = 0;
    if (parseWholeNumber(input, &v))
        return QValidator::Acceptable;
    const QString digits =
        input.mid(input.startsWith(QLatin1Char('+')) || input.startsWith(QLatin1Char('-')) ? 1 : 0);
    return digits.isEmpty() ? QValidator::Intermediate : QValidator::Invalid; // too long a number
}

void IntervalSpinEdit::fixup(QString &) const
{
    // Text that is not a number is left as it is; it reads as the minimum.
}

int IntervalSpinEdit::valueFromText(const QString &text) const
{
    qint64 v = 0;
    return parseWholeNumber(text, &v) ? int(v) : minimum();
}

void IntervalSpinEdit::focusOutEvent(QFocusEvent *event)
{
    const QString text = lineEdit()->text();
    qint64 v = 0;
    const bool number = parseWholeNumber(text, &v);
    if (number)
        setValue(int(qBound(qint64(minimum()), v, qint64(maximum()))));
    QSpinBox::focusOutEvent(event);
    if (!number && lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void IntervalSpinEdit::stepBy(int steps)
{
    setValue(qBound(minimum(), typedValue(), maximum()));
    QSpinBox::stepBy(steps);
}

TfmConfigFrm::TfmConfigFrm(LiveSettings &settings, const QString &configPath,
                           const QString &executablePath, QWidget *parent)
    : ProgramDialog(parent), m_settings(settings), m_configPath(configPath),
      m_executablePath(executablePath)
{
    setObjectName(QStringLiteral("fmConfigFrm"));
    buildControls();
    FormCreate();
    // Close-to-tray, the proxy and the alerts act as soon as their controls change.
    for (QCheckBox *box :
         {cbBalloon, cbCloseAction, cbEnableProxy, cbAutorun, cbRemoteContent, cbGroupShowsItems})
        connect(box, &QCheckBox::toggled, this, [this] { publish(false); });
    for (QLineEdit *edit : {edProxyServer, edProxyPort, edProxyUser, edProxyPassword})
        connect(edit, &QLineEdit::textChanged, this, [this] { publish(false); });
    // The proxy's fields mean nothing while no proxy is used: they wait, greyed, as typed.
    const auto enableProxyFields = [this](bool on) {
        for (QWidget *field : gbProxy->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (field != cbEnableProxy)
                field->setEnabled(on);
    };
    connect(cbEnableProxy, &QCheckBox::toggled, this, enableProxyFields);
    enableProxyFields(cbEnableProxy->isChecked());
}

void TfmConfigFrm::publish(bool withInterval)
{
    AppSettings s = m_settings.values();
    if (withInterval) {
        s.interval = seInterval->typedValue();
        s.updates = cbUpdates->isChecked();
        s.hostConnections = seHostConnections->value();
        s.keepItems = cbKeepItems->isChecked();
        s.keepDays = seKeepDays->value();
    }
    s.balloon = cbBalloon->isChecked();
    s.autorun = cbAutorun->isChecked();
    s.closeAction = cbCloseAction->isChecked();
    s.remoteContent = cbRemoteContent->isChecked();
    s.groupShowsItems = cbGroupShowsItems->isChecked();
    const ProxySettings proxy = proxySettings();
    s.enableProxy = proxy.enabled;
    s.proxyServer = proxy.server;
    s.proxyPort = proxy.port;
    s.proxyUser = proxy.user;
    s.proxyPassword = proxy.password;
    m_settings.set(s);
}

void TfmConfigFrm::buildControls()
{
    setWindowTitle(QStringLiteral("Ustawienia programu:"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    auto named = [](QWidget *w, const char *name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    gbSync = new QGroupBox(QStringLiteral(" Synchronizacja: "), this);
    named(gbSync, "gbSync");
    cbUpdates = new QCheckBox(QStringLiteral("&Uaktualniaj kanały co:"), gbSync);
    named(cbUpdates, "cbUpdates");
    seInterval = new IntervalSpinEdit(gbSync);
    named(seInterval, "seInterval");
    seInterval->setRange(30, 2000);
    seInterval->setValue(60);
    seInterval->setAccelerated(true);
    auto *lbMinutes = new QLabel(QStringLiteral("minut."), gbSync);
    cbBalloon =
        new QCheckBox(QStringLiteral("Pokazuj powiadomienia o nowych wiadomościach"), gbSync);
    named(cbBalloon, "cbBalloon");

    seHostConnections = new QSpinBox(gbSync);
    named(seHostConnections, "seHostConnections");
    seHostConnections->setRange(AppSettings::MinHostConnections, AppSettings::MaxHostConnections);
    seHostConnections->setValue(AppSettings::MaxHostConnections);
    auto *lbHostConnections =
        new QLabel(QStringLiteral("&Połączeń z serwerem większości kanałów:"), gbSync);
    lbHostConnections->setBuddy(seHostConnections);
    lbHostConnections->setToolTip(
        QStringLiteral("Z każdym innym serwerem program łączy się najwyżej dwa razy naraz."));

    cbKeepItems = new QCheckBox(QStringLiteral("&Zachowuj wiadomości usunięte z kanału przez"),
                                gbSync);
    named(cbKeepItems, "cbKeepItems");
    cbKeepItems->setToolTip(QStringLiteral(
        "Wiadomości, których kanał już nie podaje, zostają na liście ze swoim stanem "
        "przeczytania, dopóki nie będą starsze niż podana liczba dni."));
    seKeepDays = new QSpinBox(gbSync);
    named(seKeepDays, "seKeepDays");
    seKeepDays->setRange(AppSettings::MinKeepDays, AppSettings::MaxKeepDays);
    seKeepDays->setValue(AppSettings().keepDays);
    seKeepDays->setAccelerated(true);
    auto *lbDays = new QLabel(QStringLiteral("dni"), gbSync);
    connect(cbKeepItems, &QCheckBox::toggled, seKeepDays, &QWidget::setEnabled);

    auto *syncRow = new QHBoxLayout;
    syncRow->addWidget(cbUpdates);
    syncRow->addWidget(seInterval);
    syncRow->addWidget(lbMinutes);
    syncRow->addStretch(1);
    auto *syncLayout = new QVBoxLayout(gbSync);
    syncLayout->addLayout(syncRow);
    syncLayout->addWidget(cbBalloon);
    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(lbHostConnections);
    hostRow->addWidget(seHostConnections);
    hostRow->addStretch(1);
    syncLayout->addLayout(hostRow);
    // The days go under the check box: beside it the dialog would outgrow its width.
    syncLayout->addWidget(cbKeepItems);
    auto *keepRow = new QHBoxLayout;
    keepRow->addSpacing(20);
    keepRow->addWidget(seKeepDays);
    keepRow->addWidget(lbDays);
    keepRow->addStretch(1);
    syncLayout->addLayout(keepRow);

    gbProxy = new QGroupBox(QStringLiteral(" Ustawienia Proxy "), this);
    named(gbProxy, "gbProxy");
    cbEnableProxy = new QCheckBox(QStringLiteral("&Używaj Proxy"), gbProxy);
    named(cbEnableProxy, "cbEnableProxy");
    edProxyServer = new QLineEdit(gbProxy);
    named(edProxyServer, "edProxyServer");
    edProxyPort = new QLineEdit(gbProxy);
    named(edProxyPort, "edProxyPort");
    edProxyUser = new QLineEdit(gbProxy);
    named(edProxyUser, "edProxyUser");
    edProxyPassword = new QLineEdit(gbProxy);
    named(edProxyPassword, "edProxyPassword");
    edProxyPassword->setEchoMode(QLineEdit::Password);

    auto *proxyGrid = new QGridLayout(gbProxy);
    proxyGrid->addWidget(cbEnableProxy, 0, 0, 1, 4);
    auto addLabelled = [this, proxyGrid](const QString &caption, QLineEdit *edit, int row, int col,
                                         int span) {
        auto *label = new QLabel(caption, gbProxy);
        label->setBuddy(edit);
        proxyGrid->addWidget(label, row, col);
        proxyGrid->addWidget(edit, row, col + 1, 1, span);
    };
    addLabelled(QStringLiteral("&Serwer proxy:"), edProxyServer, 1, 0, 1);
    addLabelled(QStringLiteral("&Port:"), edProxyPort, 1, 2, 1);
    addLabelled(QStringLiteral("&Użytkownik:"), edProxyUser, 2, 0, 3);
    addLabelled(QStringLiteral("&Hasło::"), edProxyPassword, 3, 0, 3);
    edProxyPort->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    proxyGrid->setColumnStretch(1, 1);

    cbAutorun = new QCheckBox(QStringLiteral("&Uruchamiaj program przy starcie systemu"), this);
    named(cbAutorun, "cbAutorun");
    cbCloseAction =
        new QCheckBox(QStringLiteral("Po zamknięciu okna głównego ukryj program w tray'u"), this);
    named(cbCloseAction, "cbCloseAction");
    cbRemoteContent = new QCheckBox(
        QStringLiteral("&Wczytuj z sieci obrazy, filmy i dźwięki wiadomości"), this);
    named(cbRemoteContent, "cbRemoteContent");
    cbRemoteContent->setToolTip(QStringLiteral(
        "Wyłączone: zdalna zawartość wczytuje się dopiero po kliknięciu \"Wczytaj\" nad "
        "wiadomością, więc nadawca nie wie, że ją przeczytano."));

    cbGroupShowsItems =
        new QCheckBox(QStringLiteral("Zaznaczenie &grupy pokazuje jej wiadomości"), this);
    named(cbGroupShowsItems, "cbGroupShowsItems");

    // The program's own settings are the first page; subsystems add theirs (addPage).
    auto *general = new QWidget;
    auto *generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(gbSync);
    generalLayout->addWidget(gbProxy);
    generalLayout->addWidget(cbAutorun);
    generalLayout->addWidget(cbCloseAction);
    generalLayout->addWidget(cbRemoteContent);
    generalLayout->addWidget(cbGroupShowsItems);
    generalLayout->addStretch(1);
    pcPages = new QTabWidget(this);
    named(pcPages, "pcPages");
    pcPages->addTab(general, QStringLiteral("Ogólne"));

    // Made after the pages, so that the first field, not OK, has the focus when it opens.
    btOK = UiLook::flatPushButton("btOK", QStringLiteral("&OK"), this);
    btCancel = UiLook::flatPushButton("btCancel", QStringLiteral("&Anuluj"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(pcPages);
    layout->addLayout(buttons);

    connect(btOK, &QPushButton::clicked, this, &TfmConfigFrm::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfmConfigFrm::btCancelClick);
    connect(seInterval, &IntervalSpinEdit::typingEnded, this, &TfmConfigFrm::seIntervalChange);
    connect(cbAutorun, &QCheckBox::toggled, this, &TfmConfigFrm::cbAutorunClick);

    // Enter and Esc reach the dialog first, whichever control has the focus.
    enableKeyPreview();

    fixSizeAtLeast(QSize(317, 276));
}

void TfmConfigFrm::addPage(QWidget *page, const QString &title)
{
    pcPages->addTab(page, title);
}

void TfmConfigFrm::FormCreate()
{
    const AppSettings s = AppSettings::read(SettingsFile(m_configPath));
    seInterval->showValue(s.interval);
    cbUpdates->setChecked(s.updates);
    cbBalloon->setChecked(s.balloon);
    seHostConnections->setValue(s.hostConnections);
    cbKeepItems->setChecked(s.keepItems);
    seKeepDays->setValue(s.keepDays);
    seKeepDays->setEnabled(s.keepItems);
    cbCloseAction->setChecked(s.closeAction);
    cbRemoteContent->setChecked(s.remoteContent);
    cbGroupShowsItems->setChecked(s.groupShowsItems);
    cbEnableProxy->setChecked(s.enableProxy);
    edProxyServer->setText(s.proxyServer);
    edProxyPort->setText(s.proxyPort);
    edProxyUser->setText(s.proxyUser);
    edProxyPassword->setText(s.proxyPassword);

    // Checking the box writes the entry again with the current path of the executable.
    const bool wasChecked = cbAutorun->isChecked();
    {
        const QSignalBlocker block(cbAutorun);
        cbAutorun->setChecked(s.autorun);
    }
    if (cbAutorun->isChecked() != wasChecked) {
        try {
            setAutostart(cbAutorun->isChecked(), m_executablePath);
        } catch (const std::exception &e) {
            RaiseLater(this, QString::fromStdString(e.what()));
        }
    }
    // The interval was read by the main window's creation already; it changes only at OK.
    publish(false);
}

ProxySettings TfmConfigFrm::proxySettings() const
{
    ProxySettings p;
    p.enabled = cbEnableProxy->isChecked();
    p.server = edProxyServer->text();
    p.port = edProxyPort->text();
    p.user = edProxyUser->text();
    p.password = edProxyPassword->text();
    return p;
}

void TfmConfigFrm::btOKClick()
{
    qint64 port = 0;
    if (cbEnableProxy->isChecked() && !parseWholeNumber(edProxyPort->text(), &port)) {
        QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                        QStringLiteral("Podaj poprawną liczbę całkowitą jako numer portu Proxy"),
                        QMessageBox::Ok, this);
        box.exec();
        return;
    }

    // Enter and OK end the editing of the interval as leaving the field does.
    seIntervalChange(seInterval->typedText());
    try {
        writeSettings();
    } catch (const std::exception &e) {
        // The live settings keep them for this run; only the next start loses them.
        QMessageBox::critical(this, QStringLiteral("Błąd:"),
                              QStringLiteral("Nie można zapisać ustawień (%1).")
                                  .arg(QString::fromStdString(e.what())));
    }

    publish(true);
    accept();
}

void TfmConfigFrm::writeSettings()
{
    using namespace SettingsKeys;
    SettingsFile file(m_configPath);
    file.writeInt(ConfigSection, Interval, seInterval->typedValue());
    file.writeBool(ConfigSection, Updates, cbUpdates->isChecked());
    file.writeBool(ConfigSection, Balloon, cbBalloon->isChecked());
    file.writeInt(ConfigSection, HostConnections, seHostConnections->value());
    file.writeBool(ConfigSection, KeepItems, cbKeepItems->isChecked());
    file.writeInt(ConfigSection, KeepDays, seKeepDays->value());
    file.writeBool(ConfigSection, Autorun, cbAutorun->isChecked());
    file.writeBool(ConfigSection, CloseAction, cbCloseAction->isChecked());
    file.writeBool(ConfigSection, EnableProxy, cbEnableProxy->isChecked());
    file.writeString(ConfigSection, ProxyServer, edProxyServer->text());
    file.writeString(ConfigSection, ProxyPort, edProxyPort->text());
    file.writeString(ConfigSection, ProxyUser, edProxyUser->text());
    file.writeString(ConfigSection, ProxyPassword, edProxyPassword->text());
    file.writeBool(ConfigSection, RemoteContent, cbRemoteContent->isChecked());
    file.writeBool(ConfigSection, GroupShowsItems, cbGroupShowsItems->isChecked());
}

void TfmConfigFrm::btCancelClick()
{
    reject();
}

bool TfmConfigFrm::FormKeyDown(QKeyEvent *event)
{
    return enterOrEscape(event);
}

void TfmConfigFrm::enterPressed()
{
    // Enter on the focused Cancel button cancels.
    if (QApplication::focusWidget() == btCancel)
        btCancelClick();
    else
        btOKClick();
}

void TfmConfigFrm::seIntervalChange(const QString &text)
{
    qint64 v = 0;
    if (parseWholeNumber(text, &v) && v < seInterval->minimum())
        seInterval->showValue(seInterval->minimum());
}

void TfmConfigFrm::cbAutorunClick(bool checked)
{
    try {
        setAutostart(checked, m_executablePath);
    } catch (const std::exception &e) {
        RaiseLater(this, QString::fromStdString(e.what()));
    }
}
