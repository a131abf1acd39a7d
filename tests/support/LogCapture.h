#pragma once

#include "SystemLog.h"

#include <QStringList>

#include <mutex>

// Collects the log lines written while it lives, from any thread.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    QStringList lines() const;
    // The lines that contain the given text.
    QStringList linesContaining(const QString &text) const;
    void clear();

  private:
    mutable std::mutex mutex_;
    QStringList lines_;
    SystemLogSink previous_;
};
