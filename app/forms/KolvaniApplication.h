#pragma once

#include <QApplication>

#include <functional>

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
