#include "ProcessProbe.h"

#include <QFile>

#include <chrono>
#include <thread>

namespace {

constexpr int kAttempts = 500;
constexpr std::chrono::milliseconds kPause{10};

bool ended(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    // The state follows the command name, which ends at the last ')'.
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

} // namespace

pid_t waitForPidFile(const QString &path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.readAll();
            if (text.endsWith('\n'))
                return static_cast<pid_t>(text.trimmed().toInt());
        }
        std::this_thread::sleep_for(kPause);
    }
    return -1;
}

bool waitUntilEnded(pid_t pid) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (ended(pid))
            return true;
        std::this_thread::sleep_for(kPause);
    }
    return false;
}
