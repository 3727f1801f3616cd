#include "app/forms/KolvaniApplication.h"

#include "app/AppLog.h"

#include <exception>

KolvaniApplication::KolvaniApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KolvaniApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        if (!m_handler)
            throw; // nobody to show it yet: as without this class
        handle(receiver, QString::fromUtf8(e.what()));
    } catch (...) {
        if (!m_handler)
            throw;
        handle(receiver, QStringLiteral("nieznany błąd"));
    }
    return false;
}

void KolvaniApplication::handle(QObject *receiver, const QString &message)
{
    // Also on standard error: a box alone is lost when nobody looks at the screen.
    qCWarning(lcApp).noquote() << message;
    try {
        m_handler(receiver, message);
    } catch (...) {
    }
}
