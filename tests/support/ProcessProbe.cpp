#include "tests/support/ProcessProbe.h"

#include <QFile>

#include <optional>

namespace flowtally {

pid_t waitForPidFile(const QString &path) {
    const std::optional<pid_t> pid = pollUntil([&]() -> std::optional<pid_t> {
        QFile file(path);
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        return text.endsWith('\n') ? std::optional(pid_t(text.trimmed().toInt())) : std::nullopt;
    });
    return pid.value_or(-1);
}

bool waitUntilEnded(pid_t pid) {
    return pollUntil([&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        // The state (Z for a zombie nobody reaped yet) follows the command
        // name, which ends at the last ')'.
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        return close < 0 || line.mid(close + 2, 1) == "Z";
    });
}

bool waitUntilReaped(pid_t pid) {
    return pollUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(pid)); });
}

} // namespace flowtally
