#include "platform/process/LogViewer.h"

#include "platform/process/ProgramRun.h"
#include "platform/system/SystemLog.h"

#include <QStandardPaths>
#include <QStringList>

namespace flowtally {

namespace {

struct Launch {
    QString program;
    QStringList arguments;
};

// What to start, best first: the desktop's own log viewers, then terminals
// that follow Flowtally's lines (each terminal takes the command its own way).
std::vector<Launch> candidates() {
    const QStringList follow{QStringLiteral("journalctl"), QStringLiteral("-t"),
                             QStringLiteral("flowtally"), QStringLiteral("-f")};
    const QString dashE = QStringLiteral("-e");
    std::vector<Launch> launches{{QStringLiteral("gnome-logs"), {}},
                                 {QStringLiteral("ksystemlog"), {}}};
    if (QStandardPaths::findExecutable(follow.first()).isEmpty())
        return launches;
    launches.push_back({QStringLiteral("x-terminal-emulator"), QStringList{dashE} + follow});
    launches.push_back(
        {QStringLiteral("gnome-terminal"), QStringList{QStringLiteral("--")} + follow});
    launches.push_back({QStringLiteral("konsole"), QStringList{dashE} + follow});
    launches.push_back({QStringLiteral("xterm"), QStringList{dashE} + follow});
    return launches;
}

} // namespace

Status launchLogViewer() {
    for (const Launch &launch : candidates()) {
        const QString path = QStandardPaths::findExecutable(launch.program);
        // One that cannot be started makes way for the next.
        if (!path.isEmpty() && startDetached(path, launch.arguments).ok())
            return Status::success();
    }
    const Status none = Status::notFound(
        QStringLiteral("No log viewer could be started: none of gnome-logs, ksystemlog, or a "
                       "terminal with journalctl, is installed"));
    systemLog(none.message());
    return none;
}

} // namespace flowtally
