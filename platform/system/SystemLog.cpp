#include "platform/system/SystemLog.h"

#include "platform/system/Environment.h"

#include <deque>
#include <mutex>
#include <syslog.h>
#include <unistd.h>
#include <utility>

namespace flowtally {

namespace {

thread_local HeldLogLines *heldLines = nullptr;

// The last lines logged, the oldest first.
struct KeptLines {
    std::mutex mutex;
    std::deque<LogLine> lines;
};

// As long as the process: a thread may still log while it ends.
KeptLines &keptLines() {
    static KeptLines *const kept = new KeptLines;
    return *kept;
}

void keep(const QString &line) {
    LogLine logged{Environment::current().now(), line};
    KeptLines &kept = keptLines();
    const std::lock_guard lock(kept.mutex);
    if (qsizetype(kept.lines.size()) == kKeptLogLines)
        kept.lines.pop_front();
    kept.lines.push_back(std::move(logged));
}

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

} // namespace

HeldLogLines::HeldLogLines() : outer_(heldLines) {
    heldLines = this;
}

HeldLogLines::~HeldLogLines() {
    heldLines = outer_;
    for (const QString &line : std::as_const(lines_))
        systemLog(line);
}

QStringList HeldLogLines::take() {
    return std::exchange(lines_, {});
}

void systemLog(const QString &line) {
    if (heldLines) {
        heldLines->lines_.append(line);
        return;
    }
    keep(line);
    Environment::current().log(line);
}

QList<LogLine> recentLogLines() {
    KeptLines &kept = keptLines();
    const std::lock_guard lock(kept.mutex);
    return QList<LogLine>(kept.lines.begin(), kept.lines.end());
}

void writeToSystemLog(const QString &line) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("flowtally", LOG_PID | LOG_NDELAY, LOG_USER); });
    const QByteArray utf8 = line.toUtf8();
    writeToStandardError(utf8);
    syslog(LOG_NOTICE, "%s", utf8.constData());
}

} // namespace flowtally
