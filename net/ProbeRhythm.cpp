#include "net/ProbeRhythm.h"

#include <algorithm>

namespace flowtally {

namespace {

// 2^30 ticks is far beyond the minute at any pace.
constexpr int kMostFailuresCounted = 30;

} // namespace

bool ProbeRhythm::isDue(const QString &conditions, const QDateTime &now) {
    std::lock_guard lock(mutex_);
    if (conditions != conditions_) {
        conditions_ = conditions;
        armed_ = true;
        failures_ = 0;
        answered_.reset();
    }
    ++ticksWaited_;
    if (armed_ || failures_ == 0)
        return true;
    // A clock that went back is no measure of the wait.
    const bool minuteOver =
        !probedAt_.isValid() || now < probedAt_ || probedAt_.secsTo(now) >= kLongestWaitSeconds;
    return minuteOver || ticksWaited_ >= (qint64(1) << failures_);
}

bool ProbeRhythm::probed(bool answered, const QDateTime &now) {
    std::lock_guard lock(mutex_);
    armed_ = false;
    ticksWaited_ = 0;
    probedAt_ = now;
    failures_ = answered ? 0 : std::min(failures_ + 1, kMostFailuresCounted);
    const bool changed = answered_ != answered;
    answered_ = answered;
    return changed;
}

void ProbeRhythm::rearm() {
    std::lock_guard lock(mutex_);
    armed_ = true;
    failures_ = 0;
}

} // namespace flowtally
