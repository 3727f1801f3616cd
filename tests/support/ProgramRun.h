#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>

inline const QString KolvaniProgram = QStringLiteral(KV_BINARY_DIR "/kolvani");

// What a program run to its end gave; exitCode is -1 when it crashed or did not end in time.
struct ProgramRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs `program` with `arguments` to its end. One that cannot start gives -1 and says so in
// `err`; one still running after `limitMs` is killed and fails the test.
inline ProgramRun
runProgram(const QString &program, const QStringList &arguments, int limitMs = 60000,
           const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProgramRun result;
    if (!process.waitForStarted(10000)) {
        result.err = QStringLiteral("did not start: ") + program;
        return result;
    }
    if (!process.waitForFinished(limitMs)) {
        process.kill();
        process.waitForFinished(5000);
        ADD_FAILURE() << "did not end: " << program.toStdString();
        result.err = QStringLiteral("did not end: ") + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

// The system's environment with the per-user folder under `dataHome` (as XDG_DATA_HOME).
inline QProcessEnvironment dataHomeEnvironment(const QString &dataHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return env;
}

// Runs the built `kolvani` with its per-user folder under `dataHome`, and gives its exit
// code; what it wrote to standard error goes to `errors`.
inline int runKolvani(const QStringList &arguments, const QString &dataHome, QString *errors)
{
    const ProgramRun run =
        runProgram(KolvaniProgram, arguments, 60000, dataHomeEnvironment(dataHome));
    *errors = run.err;
    return run.exitCode;
}

// Waits, bounded, until `file` exists or `process` has ended; true when the file exists.
inline bool waitForFile(QProcess &process, const QString &file, int limitMs = 30000)
{
    QDeadlineTimer deadline(limitMs);
    while (!QFileInfo::exists(file) && !deadline.hasExpired() &&
           process.state() == QProcess::Running)
        process.waitForFinished(100);
    return QFileInfo::exists(file);
}

// True once the process `pid` catches SIGTERM: the window program has made its windows and
// runs, and a termination now goes through its closing steps.
inline bool catchesTermination(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// Waits, bounded, until the window program in `process` runs (see catchesTermination).
inline bool waitUntilRunning(QProcess &process, int limitMs = 30000)
{
    QDeadlineTimer deadline(limitMs);
    while (!catchesTermination(process.processId()) && !deadline.hasExpired() &&
           process.state() == QProcess::Running)
        process.waitForFinished(50);
    return catchesTermination(process.processId());
}

// Ends a running program as the system does (SIGTERM), and kills it when it has not ended
// in time; true when it ended by itself, with exit code 0.
inline bool endProgram(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    process.terminate();
    if (process.waitForFinished(20000))
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    process.kill();
    process.waitForFinished(5000);
    return false;
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
