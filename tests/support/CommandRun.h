#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace flowtally {

struct CommandResult {
    bool finished = false; // false: could not start, or killed after the bound
    int exitCode = -1;
    QString output;
    QString error;
};

// Runs a program to its end, waiting at most ten seconds.
inline CommandResult runCommand(const QString &program, const QStringList &arguments) {
    QProcess process; // kills what is still running when it goes
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit, process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The path of one of Flowtally's helper tools in the build: beside the test
// executables, or in FLOWTALLY_BIN_DIR.
inline QString helperToolPath(const QString &name) {
    const QString folder = qEnvironmentVariable("FLOWTALLY_BIN_DIR");
    return QDir(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder).filePath(name);
}

} // namespace flowtally
