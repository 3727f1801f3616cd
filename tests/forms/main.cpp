#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

// The windows need a GUI application; the browser needs a shared GL context made before it.
// CI runs as root without a display, so the defaults below make the tests runnable there.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvani"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
