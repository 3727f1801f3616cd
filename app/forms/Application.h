#pragma once

#include <QApplication>

#include <functional>

struct CommandLine;

// The GUI application. An exception that escapes an event handler ends here and goes to
// the exception handler (the main window's HandleAppException); the program goes on.
// Until a handler is set, exceptions pass on as with a plain QApplication.
class KolvaniApplication : public QApplication
{
    Q_OBJECT
public:
    using ExceptionHandler = std::function<void(QObject *receiver, const QString &message)>;

    KolvaniApplication(int &argc, char **argv);

    void setExceptionHandler(ExceptionHandler handler) { m_handler = std::move(handler); }
    bool notify(QObject *receiver, QEvent *event) override;

private:
    void handle(QObject *receiver, const QString &message);

    ExceptionHandler m_handler;
};

// True when the first parameter is exactly "hid": start hidden in the tray.
bool StartsHidden(int argc, char **argv);

// Runs the windowed program: single instance, the windows, the message loop. Returns the
// process exit code. `commandLine` is what ParseCommandLine made of the arguments.
int runApplication(int argc, char **argv, const CommandLine &commandLine);
