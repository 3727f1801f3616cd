#pragma once

#include "base/ProxySettings.h"

#include "kit/ProgramDialog.h"

#include <QSpinBox>
#include <QString>

class LiveSettings;
class QCheckBox;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPushButton;
class QTabWidget;

// Spin edit whose value is the number typed, like a classic spin edit: arrows and leaving
// the field keep it between minimum and maximum, but a larger number typed and confirmed
// with Enter at once stays as typed. While the user types, any number stands, so that "45"
// can be typed through its "4". Text that is not a number reads as the minimum.
class IntervalSpinEdit : public QSpinBox
{
    Q_OBJECT
public:
    explicit IntervalSpinEdit(QWidget *parent = nullptr);

    // The number in the field as typed; the minimum when the text is not a whole number.
    int typedValue() const;
    // The text in the field.
    QString typedText() const;
    // Sets the value (kept in range) and shows it, also when the value itself is unchanged.
    void showValue(int value);

    QValidator::State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

protected:
    int valueFromText(const QString &text) const override;
    void focusOutEvent(QFocusEvent *event) override;
    void stepBy(int steps) override;

signals:
    // Every change of the text, typed or set (QSpinBox itself only tells value changes).
    void typedTextChanged(const QString &text);
    // Editing ended (the focus left, or Enter) with this text in the field.
    void typingEnded(const QString &text);
};

// The settings dialog. It edits the live settings of the run: close-to-tray, proxy, alerts
// and remote content change there as the controls change (also when the dialog is then cancelled), the
// synchronisation interval at OK.
class TfmConfigFrm : public ProgramDialog
{
    Q_OBJECT
public:
    // Reads every setting from `configPath` into the controls and into `settings`, which
    // must outlive the dialog. `executablePath` goes into the autostart entry.
    TfmConfigFrm(LiveSettings &settings, const QString &configPath,
                 const QString &executablePath, QWidget *parent = nullptr);

    QGroupBox *gbSync = nullptr;
    QCheckBox *cbUpdates = nullptr;
    IntervalSpinEdit *seInterval = nullptr;
    QCheckBox *cbBalloon = nullptr;
    QSpinBox *seHostConnections = nullptr;
    QCheckBox *cbKeepItems = nullptr;
    QSpinBox *seKeepDays = nullptr;
    QGroupBox *gbProxy = nullptr;
    QCheckBox *cbEnableProxy = nullptr;
    QLineEdit *edProxyServer = nullptr;
    QLineEdit *edProxyPort = nullptr;
    QLineEdit *edProxyUser = nullptr;
    QLineEdit *edProxyPassword = nullptr;
    QCheckBox *cbAutorun = nullptr;
    QCheckBox *cbCloseAction = nullptr;
    QCheckBox *cbRemoteContent = nullptr;
    QCheckBox *cbGroupShowsItems = nullptr;
    QPushButton *btOK = nullptr;
    QPushButton *btCancel = nullptr;
    QTabWidget *pcPages = nullptr;

    // A page of its own after the program's settings (the dialog takes the widget).
    void addPage(QWidget *page, const QString &title);

    // The proxy controls as one value, read before every download.
    ProxySettings proxySettings() const;
    const QString &configPath() const { return m_configPath; }

public slots:
    // Sets every control from the settings file (missing keys give their defaults).
    // An autostart entry that cannot be written is raised to the global handler.
    void FormCreate();
    // Refuses a proxy port that is not a whole number while the proxy is on; otherwise
    // writes the settings, hands the interval to the live settings and closes.
    void btOKClick();
    // Closes without writing; the controls keep what the user changed.
    void btCancelClick();
    // Enter is OK, Esc is Cancel, wherever the focus is. True when the key was taken.
    bool FormKeyDown(QKeyEvent *event);
    // A typed number below the minimum becomes the minimum, once editing ends (the focus
    // leaves, Enter, OK): on every keystroke it would turn "45" into "305".
    void seIntervalChange(const QString &text);
    // Writes or deletes the autostart entry at once; failures go to the global handler.
    void cbAutorunClick(bool checked);

protected:
    bool keyPreview(QKeyEvent *event) override { return FormKeyDown(event); }
    void enterPressed() override;
    void escapePressed() override { btCancelClick(); }

private:
    void buildControls();
    void writeSettings();
    // The controls into the live settings; the interval only at OK.
    void publish(bool withInterval);

    LiveSettings &m_settings;
    QString m_configPath;
    QString m_executablePath;
};
