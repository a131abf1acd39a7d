#include "LogCapture.h"

LogCapture::LogCapture() {
    previous_ = setSystemLogSink([this](const QString &line) {
        std::lock_guard lock(mutex_);
        lines_.append(line);
    });
}

LogCapture::~LogCapture() {
    setSystemLogSink(std::move(previous_));
}

QStringList LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

QStringList LogCapture::linesContaining(const QString &text) const {
    std::lock_guard lock(mutex_);
    QStringList found;
    for (const QString &line : lines_) {
        if (line.contains(text))
            found.append(line);
    }
    return found;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}
