#pragma once
// The visomorf program run as a script or the desktop would start it. Test programs that use
// this name the program's path in VISOMORF_EXE.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace vm::test {

struct ProgramRun {
    int status = -1; // -1 when the program crashed or did not finish
    QString out, err;
};

struct RunOptions {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString workingDir; // empty: the test's own
    int timeoutMs = 120000;
};

// A run that does not finish in time fails the test and is ended.
inline ProgramRun Visomorf(const QStringList& arguments, const RunOptions& options = {}) {
    QProcess process;
    process.setProcessEnvironment(options.environment);
    if (!options.workingDir.isEmpty()) {
        process.setWorkingDirectory(options.workingDir);
    }
    process.start(QStringLiteral(VISOMORF_EXE), arguments);
    if (!process.waitForFinished(options.timeoutMs)) {
        ADD_FAILURE() << "visomorf did not finish: " << arguments.join(' ').toStdString();
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace vm::test
