#pragma once

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
