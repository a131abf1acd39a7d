#include "CommandRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

namespace flowtally {

CommandResult runCommand(const QString &program, const QStringList &arguments) {
    QProcess process; // kills what is still running when it goes
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit, process.exitCode(),
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString helperToolPath(const QString &name) {
    // The tools are built beside the test executables.
    const QString folder = qEnvironmentVariable("FLOWTALLY_BIN_DIR");
    return QDir(folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder).filePath(name);
}

} // namespace flowtally
