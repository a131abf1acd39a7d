#include "SystemLog.h"

#include <mutex>
#include <syslog.h>
#include <unistd.h>

namespace flowtally {

namespace {

std::mutex sinkMutex;
SystemLogSink currentSink;

void writeToStandardError(const QByteArray &line) {
    QByteArray text = "flowtally: " + line + '\n';
    const char *data = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        ssize_t written = ::write(STDERR_FILENO, data, static_cast<size_t>(left));
        if (written <= 0)
            return;
        data += written;
        left -= written;
    }
}

void writeToSystemLog(const QByteArray &line) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("flowtally", LOG_PID | LOG_NDELAY, LOG_USER); });
    syslog(LOG_NOTICE, "%s", line.constData());
}

} // namespace

void systemLog(const QString &line) {
    {
        std::lock_guard lock(sinkMutex);
        if (currentSink) {
            currentSink(line);
            return;
        }
    }
    const QByteArray utf8 = line.toUtf8();
    writeToStandardError(utf8);
    writeToSystemLog(utf8);
}

SystemLogSink setSystemLogSink(SystemLogSink sink) {
    std::lock_guard lock(sinkMutex);
    SystemLogSink previous = std::move(currentSink);
    currentSink = std::move(sink);
    return previous;
}

} // namespace flowtally
