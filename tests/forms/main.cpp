#include "app/forms/KolvaniApplication.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The windows need the program's own GUI application (its last-resort exception handler is
// under test); the browser needs a shared GL context made before it. CI runs as root
// without a display, so the defaults below make the tests runnable there.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    // Settings stores and autostart entries of the tests stay out of the user's own.
    QTemporaryDir configHome;
    if (configHome.isValid())
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    KolvaniApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvani"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
