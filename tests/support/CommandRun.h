#pragma once

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
CommandResult runCommand(const QString &program, const QStringList &arguments);

// The path of one of Flowtally's helper tools in the build.
QString helperToolPath(const QString &name);

} // namespace flowtally
