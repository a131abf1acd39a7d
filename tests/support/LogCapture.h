#pragma once

#include "SystemLog.h"

#include <QStringList>

#include <mutex>

namespace flowtally {

// Collects the log lines written while it lives, from any thread.
class LogCapture {
  public:
    LogCapture() {
        previous_ = setSystemLogSink([this](const QString &line) {
            std::lock_guard lock(mutex_);
            lines_.append(line);
        });
    }
    ~LogCapture() { setSystemLogSink(std::move(previous_)); }
    Q_DISABLE_COPY(LogCapture)

    QStringList lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // The lines that contain the given text.
    QStringList linesContaining(const QString &text) const { return lines().filter(text); }
    void clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

  private:
    mutable std::mutex mutex_;
    QStringList lines_;
    SystemLogSink previous_;
};

} // namespace flowtally
