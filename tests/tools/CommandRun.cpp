#include "CommandRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

CommandResult runCommand(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(10000))
        return result;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.error = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString helperToolPath(const QString &name) {
    // The tools are built beside the test executables.
    const QString folder = qEnvironmentVariable("FLOWTALLY_BIN_DIR");
    return QDir(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder).filePath(name);
}
