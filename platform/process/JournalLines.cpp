#include "platform/process/JournalLines.h"

#include "platform/process/ProgramRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <unistd.h>

namespace flowtally {

QList<LogLine> journalLines(const QByteArray &json, qint64 leftOut) {
    QList<LogLine> lines;
    for (const QByteArray &entryText : json.split('\n')) {
        const QJsonObject entry = QJsonDocument::fromJson(entryText).object();
        // The journal gives numbers as text; a message that is not text
        // comes as an array of bytes, and is left out.
        const QJsonValue message = entry.value(QStringLiteral("MESSAGE"));
        bool timed = false;
        const qint64 micros =
            entry.value(QStringLiteral("__REALTIME_TIMESTAMP")).toString().toLongLong(&timed);
        if (!message.isString() || !timed)
            continue;
        bool numbered = false;
        const qint64 pid = entry.value(QStringLiteral("_PID")).toString().toLongLong(&numbered);
        if (numbered && pid == leftOut)
            continue;
        lines.append({QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC), message.toString()});
    }
    return lines;
}

Status readEarlierLogLines(std::chrono::milliseconds timeLimit, QList<LogLine> *lines) {
    const QString journalctl = QStandardPaths::findExecutable(QStringLiteral("journalctl"));
    if (journalctl.isEmpty())
        return Status::notFound(QStringLiteral("journalctl is not installed"));
    Program program{journalctl,
                    {QStringLiteral("--user"), QStringLiteral("--identifier=flowtally"),
                     QStringLiteral("--output=json"),
                     QStringLiteral("--lines=%1").arg(kKeptLogLines), QStringLiteral("--no-pager"),
                     QStringLiteral("--quiet")}};
    program.errors = ErrorText::Collected;
    program.timeLimit = timeLimit;
    const ProgramOutcome outcome = runProgram(program);
    if (!outcome.started.ok())
        return outcome.started;
    if (outcome.timedOut)
        return Status::ioError(QStringLiteral("journalctl gave no answer in time"));
    if (outcome.status != 0)
        return Status::ioError(QStringLiteral("journalctl failed: %1")
                                   .arg(QString::fromUtf8(outcome.errors).trimmed()));
    *lines = journalLines(outcome.output, ::getpid());
    return Status::success();
}

} // namespace flowtally
