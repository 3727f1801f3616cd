#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

// Runs the built `kolvani` with `arguments` and its per-user folder under `dataHome` (as
// XDG_DATA_HOME), and gives its exit code, or -1 when it did not end normally. What it
// wrote to standard error goes to `errors`. A run that takes over a minute fails the test.
inline int runKolvani(const QStringList &arguments, const QString &dataHome, QString *errors)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(KV_BINARY_DIR "/kolvani"), arguments);
    EXPECT_TRUE(program.waitForFinished(60000));
    *errors = QString::fromUtf8(program.readAllStandardError());
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

// The environment of the window program started by a test for an account at `home`: its own
// private runtime folder (where the single-instance lock lives), the offscreen platform and
// the browser engine without its sandbox (CI runs as root).
inline QProcessEnvironment windowProgramEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (!env.contains(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS")))
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                   QStringLiteral("--no-sandbox --disable-gpu"));
    return env;
}
